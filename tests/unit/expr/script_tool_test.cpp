// morvane-script as a user runs it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "expr_fixture.h"

namespace morvane {
namespace {

struct Outcome {
  int exit_code = -1;
  std::string output;  // standard output and standard error
};

Outcome RunTool(const std::string& prefix, const std::string& arguments) {
  const std::string command = "MORVANE_PREFIX='" + prefix +
                              "' '" MORVANE_BINARY_DIR "/morvane-script' " + arguments + " 2>&1";
  Outcome outcome;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return outcome;
  std::array<char, 4096> buffer{};
  size_t got = 0;
  while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    outcome.output.append(buffer.data(), got);
  const int status = pclose(pipe);
  outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

TEST(MorvaneScript, EvaluatesNumbersAndTextsAfterSettingVariables) {
  testing::TempFolder prefix;
  Outcome outcome = RunTool(prefix.path(),
                            "--set '#a=-3' --set '$s=2*3' --set '!b=1' --set '#a[2]=4' "
                            "--num '5-#a' --num '@44%($s)+!b' --str '\"v=\"+#a[2]+\"\\q\"' "
                            "--num '1/3' --str '2(200)'");
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.output, "8\n7\nv=4\"\n0.333333333333333\n\xc8\n");

  outcome = RunTool(prefix.path(), "--num '2*3^2'");
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.output, "error: Parsing integer failed.\n");

  outcome = RunTool(prefix.path(), "--str '11(\"C:\\none.txt\")'");
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.output.rfind("error: Cannot open file", 0), 0u);

  // The value of --set is taken as it is, not evaluated.
  outcome = RunTool(prefix.path(), "--set '$t=1+\"x' --str '$t' --set '#n=1+1'");
  EXPECT_EQ(outcome.exit_code, 2);
  outcome = RunTool(prefix.path(), "--set '$t=1+\"x' --str '$t'");
  EXPECT_EQ(outcome.output, "1+\"x\n");

  outcome = RunTool(prefix.path(), "--help");
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_NE(outcome.output.find("--num EXPR"), std::string::npos);
}

}  // namespace
}  // namespace morvane
