// morvane-script FILE: message boxes on standard output, answers, the
// variable dump and the exit status of a failing script.

#include <gtest/gtest.h>

#include <cstdio>

#include "script_world.h"

namespace morvane::testing {
namespace {

struct ToolResult {
  int status = -1;
  std::string output;
};

// The tool's prefix (drive C:) goes into `scratch`.
ToolResult RunTool(const std::string& arguments, const ScratchFolder& scratch) {
  const std::string command = "MORVANE_PREFIX='" + scratch.path() + "/c' " +
                              std::string(MORVANE_BINARY_DIR) + "/morvane-script " + arguments +
                              " 2>&1";
  ToolResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(ScriptToolTest, RunsAScriptFile) {
  if (!std::filesystem::exists(std::string(MORVANE_BINARY_DIR) + "/morvane-script"))
    GTEST_SKIP() << "morvane-script is not built";
  ScratchFolder scratch;
  const std::string script = scratch.path() + "/s.txt";
  // "caf\xe9" is café in the project's code page 1252.
  WriteHostFile(script,
                "2(#i=1,3)\r\n#n=#n+#i\r\n1\r\n$s=\"caf\xe9 \\qq\\q\"\r\n"
                "20(\"Go on?\",\"Ask\",36)\r\n0(#_result=7)\r\n5(\"no\")\r\n1\r\n!b=1\r\n");
  const std::string dump = scratch.path() + "/vars.json";
  const ToolResult result =
      RunTool("--answers 7 --dump-vars '" + dump + "' '" + script + "'", scratch);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, "message: Go on?\nmessage: no\n");
  EXPECT_EQ(ReadHostFile(dump),
            "{\n  \"numbers\": {\n    \"i\": \"4\",\n    \"n\": \"6\",\n    \"_result\": \"7\"\n"
            "  },\n  \"strings\": {\n    \"s\": \"caf\xc3\xa9 \\\"q\\\"\"\n  },\n"
            "  \"booleans\": {\n    \"b\": true\n  }\n}\n");
}

TEST(ScriptToolTest, AFailingScriptExitsWithOne) {
  if (!std::filesystem::exists(std::string(MORVANE_BINARY_DIR) + "/morvane-script"))
    GTEST_SKIP() << "morvane-script is not built";
  ScratchFolder scratch;
  const std::string script = scratch.path() + "/bad.txt";
  WriteHostFile(script, "#a=1\r\n2(#i=1,2)\r\n#b=1+\r\n1\r\n");
  const ToolResult result = RunTool("'" + script + "'", scratch);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output, "error: Line #2: Line #1: Parsing integer failed.\n");
}

}  // namespace
}  // namespace morvane::testing
