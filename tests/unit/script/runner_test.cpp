// The runner: lines, block structure, for and while loops, the stop request
// and error prefixes, in both the parsed and the re-reading mode.

#include <gtest/gtest.h>

#include "script_world.h"

namespace morvane::testing {
namespace {

struct RunnerCase {
  const char* name;
  std::string script;
  std::string error;  // expected message, "" for none
  std::vector<std::pair<std::string, double>> numbers;
  std::vector<std::string> messages;
};

std::vector<RunnerCase> RunnerCases() {
  return {
      {"spaces only", "   ", "error: Line #1: '' is not a valid integer value", {}, {}},
      {"empty lines", "\r\n\n\r", "", {}, {}},
      {"misspelt code",
       "#a=1\r\n5x(1)",
       "error: Line #2: '5x' is not a valid integer value",
       {{"a", 1}},
       {}},
      {"trailing D8 dropped once", "#a=1\xD8\r\n\xD8", "", {{"a", 1}}, {}},
      {"then branch", "#a=1\r\n0(#a=1)\r\n5(\"yes\")\r\n3\r\n5(\"no\")\r\n1", "", {}, {"yes"}},
      {"else branch", "#a=2\r\n0(#a=1)\r\n5(\"yes\")\r\n3\r\n5(\"no\")\r\n1", "", {}, {"no"}},
      {"false if without end", "0(1=2)\r\n#x=5", "", {{"x", 5}}, {}},
      {"else without end", "3\r\n#a=1", "", {{"a", 1}}, {}},
      {"nested else belongs to inner if",
       "0(1=2)\r\n0(1=1)\r\n#a=1\r\n3\r\n#b=1\r\n1\r\n3\r\n#c=1\r\n1",
       "",
       {{"a", 0}, {"b", 0}, {"c", 1}},
       {}},
      {"while in skipped branch",
       "0(1=2)\r\n120(1=1)\r\n1\r\n#a=1\r\n1\r\n#b=1",
       "",
       {{"a", 0}, {"b", 1}},
       {}},
      {"empty for body", "2(#i=1,10)\r\n1", "", {{"i", 11}}, {}},
      {"single pass", "2(#i=5,5)\r\n#n=#n+1\r\n1", "", {{"i", 6}, {"n", 1}}, {}},
      {"negative step", "2(#i=10,1)step-1\r\n#n=#n+1\r\n1", "", {{"i", 0}, {"n", 10}}, {}},
      {"step sign follows the bounds",
       "2(#i=10,1)step1\r\n#n=#n+1\r\n1",
       "",
       {{"i", 0}, {"n", 10}},
       {}},
      {"decimal step", "2(#x=0,1)step0.1\r\n#n=#n+1\r\n1", "", {{"x", 1.1}, {"n", 11}}, {}},
      {"step past the end", "2(#i=1,11)step3\r\n#s=#s+#i\r\n1", "", {{"i", 14}, {"s", 22}}, {}},
      {"counting down by default", "2(#i=1,0)\r\n#n=#n+1\r\n1", "", {{"i", -1}, {"n", 2}}, {}},
      {"step not a number", "2(#i=1,3)stepx\r\n#n=#n+1\r\n1", "", {{"n", 3}}, {}},
      {"step with spaces", "2( #i = 1 , 4 ) step 2\r\n#n=#n+1\r\n1", "", {{"i", 6}, {"n", 2}}, {}},
      {"zero step",
       "2(#i=1,3)step0\r\n#n=1\r\n1",
       "error: Line #1: Invalid For Loop, Step can not be zero.",
       {{"i", 1}, {"n", 0}},
       {}},
      {"body moves the variable past the limit",
       "2(#i=1,10)\r\n#n=#n+1\r\n#i=100\r\n1",
       "",
       {{"i", 11}, {"n", 1}},
       {}},
      {"for without end", "2(#i=1,3)\r\n#n=#n+1", "", {{"n", 3}}, {}},
      {"while", "120(#i<5)\r\n#i=#i+1\r\n1\r\n#after=1", "", {{"i", 5}, {"after", 1}}, {}},
      {"while without end", "120(#i<5)\r\n#i=#i+1", "", {{"i", 5}}, {}},
      {"stop leaves every loop",
       "120(1=1)\r\n2(#i=1,5)\r\n0(#i=3)\r\n23\r\n1\r\n#n=#n+1\r\n1\r\n#w=1\r\n1\r\n#after=1",
       "",
       {{"i", 3}, {"n", 2}, {"w", 0}, {"after", 0}},
       {}},
      {"stop in if block", "0(1=1)\r\n23\r\n#a=1\r\n1\r\n#b=1", "", {{"a", 0}, {"b", 0}}, {}},
      {"error in loop body",
       "#a=1\r\n2(#i=1,2)\r\n#b=1\r\n#c=1+\r\n1",
       "error: Line #2: Line #2: Parsing integer failed.",
       {{"b", 1}, {"i", 1}},
       {}},
      {"error ends the run",
       "#c=(\r\n#d=1",
       "error: Line #1: Parsing integer failed.",
       {{"d", 0}},
       {}},
      {"textual less than", "$s=\"abc\"\r\n0($s<\"b\")\r\n1", "error: Line #2: ", {}, {}},
      {"boolean assignment", "!a=0.4\r\n!b=-1\r\n!c=2\r\n#x=!a+!b+!c", "", {{"x", 2}}, {}},
      {"number assignment ignores spaces", "  # a = 1 + 2", "", {{"a", 3}}, {}},
      {"codes without an entry",
       "4\r\n19(1)\r\n22\r\n45\r\n72(1)\r\n116\r\n-1\r\n999(\"x\")\r\n1\r\n0",
       "",
       {},
       {}},
  };
}

class RunnerTest : public ::testing::TestWithParam<ScriptEngine::Mode> {};

TEST_P(RunnerTest, Cases) {
  for (const RunnerCase& c : RunnerCases()) {
    SCOPED_TRACE(c.name);
    ScriptWorld world(GetParam(), false);
    EXPECT_EQ(world.Run(c.script), c.error);
    for (const auto& [name, value] : c.numbers) {
      EXPECT_EQ(FloatToText(world.Num(name)), FloatToText(value)) << name;
    }
    EXPECT_EQ(world.Messages(), c.messages);
  }
}

TEST_P(RunnerTest, StringAssignmentSpacingAndConditionSqueezing) {
  ScriptWorld world(GetParam(), false);
  EXPECT_EQ(world.Run("$a = \"x y\"\r\n$b=\"x y\""), "");
  EXPECT_EQ(world.Str("a"), "x y");
  EXPECT_EQ(world.Str("b"), "x y");
  // A string constant keeps its spaces in an if condition, loses them in a while.
  EXPECT_EQ(world.Run("0($a=\"x y\")\r\n#if=1\r\n1\r\n120($a=\"x y\")&(#w<1)\r\n#w=#w+1\r\n1"), "");
  EXPECT_EQ(world.Num("if"), 1);
  EXPECT_EQ(world.Num("w"), 0);
}

TEST_P(RunnerTest, StopAtTheEndDoesNotCarryOver) {
  ScriptWorld world(GetParam(), false);
  EXPECT_EQ(world.Run("#a=1\r\n23"), "");
  EXPECT_EQ(world.Run("#b=1"), "");
  EXPECT_EQ(world.Num("b"), 1);
}

TEST_P(RunnerTest, LoopVariableWithIndex) {
  ScriptWorld world(GetParam(), false);
  EXPECT_EQ(world.Run("#k=2\r\n2(#v[#k]=1,3)\r\n#s=#s+#v[2]\r\n1"), "");
  EXPECT_EQ(world.Num("s"), 6);
  EXPECT_EQ(world.Num("v[2]"), 4);
}

TEST_P(RunnerTest, StringsAreBounded) {
  ScriptWorld world(GetParam(), false);
  world.engine->SetMaxStringBytes(1000);
  EXPECT_EQ(world.Run("$s=\"ab\"\r\n2(#i=1,20)\r\n$s=$s+$s\r\n1"),
            "error: Line #2: Line #1: Out of memory");
  EXPECT_EQ(world.Str("s").size(), 512u);
}

TEST_P(RunnerTest, StringsAreBoundedTogether) {
  ScriptWorld world(GetParam(), false);
  world.values.SetStringBudget(2000);
  // Replacing a value counts what it replaces no more.
  const auto text = [](size_t n) { return "\"" + std::string(n, 'x') + "\""; };
  EXPECT_EQ(world.Run("$a=" + text(900) + "\r\n$a=" + text(950) + "\r\n$b=" + text(900) +
                      "\r\n$c=" + text(900) + "\r\n$d=\"after\""),
            "error: Line #4: Out of memory");
  EXPECT_EQ(world.Str("a").size(), 950u);
  EXPECT_EQ(world.Str("b").size(), 900u);
  EXPECT_EQ(world.Str("c"), "");
  EXPECT_EQ(world.values.StringBytes(), 1850u);
}

INSTANTIATE_TEST_SUITE_P(Modes, RunnerTest,
                         ::testing::Values(ScriptEngine::Mode::kParsed,
                                           ScriptEngine::Mode::kReference));

TEST(ScriptProgramTest, BlocksMatchAsTheScannerFindsThem) {
  const auto program = ParseScript("0(1)\r\n2(#i=1,2)\r\n3\r\n1\r\n3\r\n1\r\n1");
  ASSERT_EQ(program->lines.size(), 7u);
  EXPECT_EQ(program->lines[0].match, 5u);
  EXPECT_EQ(program->lines[0].else_line, 4u);
  EXPECT_EQ(program->lines[1].match, 3u);
  EXPECT_EQ(program->lines[2].match, 3u);  // an else inside the for body
  EXPECT_EQ(program->lines[6].match, kNoLine);
}

TEST(ScriptProgramTest, LineSplitting) {
  EXPECT_EQ(SplitScriptLines("a\r\nb\rc\nd\r\n").size(), 4u);
  EXPECT_EQ(SplitScriptLines("a\n\n").size(), 2u);
  EXPECT_EQ(SplitScriptLines("").size(), 0u);
}

}  // namespace
}  // namespace morvane::testing
