// How the installed programs start: --version, --demo, and an executable that
// holds no project.

#include "support/player_run.h"

#include "package/pe_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace morvane::test;

class Launch : public PlayerRunTest {};

std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

TEST_F(Launch, EveryProgramShowsTheProjectVersion) {
  for (const char* program :
       {"morvane-player", "morvane-player-bare", "morvane-pack", "morvane-inspect",
        "morvane-script"}) {
    SCOPED_TRACE(program);
    std::string name = program;
    if (name == "morvane-player-bare") name = "morvane-player";
    EXPECT_EQ(Output(Quote(kBinaryDir + "/" + program) + " --version"),
              name + " " MORVANE_VERSION "\n");
  }
}

TEST_F(Launch, AnExecutableWithoutAProjectSaysSo) {
  const fs::path setup = m_dir / "setup.exe";
  std::ofstream(setup, std::ios::binary) << morvane::WritePeExecutable({}, std::nullopt);
  struct Case {
    std::string project;  // empty: the player's own executable
    std::string name;
  };
  const Case cases[] = {{"", "morvane-player-bare"}, {setup.string(), "setup.exe"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(trace());
    EXPECT_EQ(Run(c.project, ""), 1);
    EXPECT_EQ(TraceLines(),
              (std::vector<std::string>{R"({"event":"message","caption":"Morvane Player","text":")" +
                                            c.name +
                                            R"( is not a Morvane project","flags":16,"result":1})",
                                        R"({"event":"exit","code":1})"}));
  }
}

TEST_F(Launch, DemoRunsTheDemoTheExecutableCarries) {
  EXPECT_EQ(Run("", "--demo --quit-after 300", "morvane-player"), 1);
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{R"({"event":"show","page":1})",
                                                    R"({"event":"exit","code":1})"}));
  // Without a demo, or with a project besides, --demo is refused.
  EXPECT_EQ(Run("", "--demo"), 2);
  EXPECT_NE(ReadText(m_dir / "stderr.txt").find("carries no demo"), std::string::npos);
  EXPECT_EQ(Run(kPlayerFixtures + "/pages", "--demo", "morvane-player"), 2);
}

}  // namespace
