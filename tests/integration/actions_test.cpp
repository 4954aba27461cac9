// Object actions, objects made at run time and dialogs in the real player,
// headless: worker threads hand their object actions to the main thread,
// dialogs take their answers from a file, and a replaced event script runs.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kBinaryDir = MORVANE_BINARY_DIR;
const std::string kFixtures = std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/player";

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class ActionsRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = fs::temp_directory_path() /
            ("morvane-actions-run-" + std::string(info->name()) + "-" + std::to_string(getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(m_dir);
  }
  int Run(const std::string& project, const std::string& options) {
    std::string command = "MORVANE_PREFIX=" + Quote((m_dir / "prefix").string()) + " " +
                          Quote(kBinaryDir + "/morvane-player-bare") + " --headless --trace " +
                          Quote((m_dir / "trace.jsonl").string()) + " " + options + " " +
                          Quote(project) + " >" + Quote((m_dir / "stdout.txt").string()) + " 2>" +
                          Quote((m_dir / "stderr.txt").string());
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path m_dir;
};

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
