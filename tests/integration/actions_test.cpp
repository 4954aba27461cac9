// Object actions, objects made at run time and dialogs in the real player,
// headless: worker threads hand their object actions to the main thread,
// dialogs take their answers from a file, and a replaced event script runs.

#include "support/player_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace morvane::test;

const std::string& kFixtures = kPlayerFixtures;

class ActionsRun : public PlayerRunTest {};

TEST_F(ActionsRun, ScriptsActOnObjectsFromEveryThread) {
  const fs::path answers = m_dir / "answers.txt";
  std::ofstream(answers) << "C:\\a.txt|C:\\b.txt\ncancel\nArial,9,0,i\n";
  const fs::path input = m_dir / "input.txt";
  std::ofstream(input) << "wait 600\nclick 20 150\nwait 100\nclick 20 150\nwait 100\n";
  const fs::path vars = m_dir / "vars.json";
  EXPECT_EQ(Run(kFixtures + "/actions-run",
                "--quit-after 2500 --dialog-answers " + Quote(answers.string()) + " --input " +
                    Quote(input.string()) + " --dump-vars " + Quote(vars.string())),
            1);
  const std::string dump = ReadText(vars);
  const std::string trace = ReadText(m_dir / "trace.jsonl");
  // Each worker's actions ran on the main thread with its own arguments.
  for (const char* entry : {R"("across": "40")", R"("down": "60")", R"("made_left": "150")",
                            R"("files": "C:\\a.txt|C:\\b.txt|")", R"("colour": "")",
                            R"("font": "Arial,9,0,I")", R"("clicked": "1")", R"("after": "1")"}) {
    EXPECT_NE(dump.find(entry), std::string::npos) << entry << "\n" << dump;
  }
  EXPECT_EQ(dump.find("not_reached"), std::string::npos) << dump;
  EXPECT_NE(trace.find(R"({"event":"dialog","kind":"open","result":"C:\\a.txt|C:\\b.txt|"})"),
            std::string::npos)
      << trace;
  EXPECT_NE(trace.find(R"({"event":"dialog","kind":"colour","result":"cancel"})"),
            std::string::npos)
      << trace;
  // The button deleted itself from its own mouse-up script: the second click
  // finds nothing there.
  EXPECT_NE(trace.find(R"({"event":"exit","code":1})"), std::string::npos) << trace;
  EXPECT_NE(trace.find(R"("text":"Line #13: Failed creating the component with name \"8\".")"),
            std::string::npos)
      << trace;
}

}  // namespace

TEST_F(ActionsRun, AnObjectMadeByAScriptRunsItsScriptsInThatScriptsWindow) {
  const fs::path input = m_dir / "input.txt";
  std::ofstream(input) << "wait 600\nclick 20 20\nwait 200\n";
  EXPECT_EQ(
      Run(kFixtures + "/actions-context", "--quit-after 1500 --input " + Quote(input.string())), 1);
  const std::string trace = ReadText(m_dir / "trace.jsonl");
  EXPECT_NE(trace.find(R"({"event":"hide","page":2})"), std::string::npos) << trace;
  EXPECT_EQ(trace.find(R"({"event":"hide","page":1})"), std::string::npos) << trace;
}
