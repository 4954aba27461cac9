// Conditions: groups, connectors, operator choice and the numeric or textual
// kind of each comparison.

#include <gtest/gtest.h>

#include "script/conditions.h"
#include "script_world.h"

namespace morvane::testing {
namespace {

struct ConditionCase {
  std::string condition;  // what follows the "0" of an if line
  bool expected;
};

TEST(ConditionsTest, Table) {
  const std::vector<ConditionCase> cases = {
      {"(#a=1)|(#b=2)", true},
      {"(#a=2)|(#b=2)", true},
      {"(#a=2)|(#b=3)", false},
      {"(#a=1)&(#b=2)", true},
      {"(#a=1)&(#b=3)", false},
      {"(#a=1)&(#a=1)", true},
      {"(#a=1)|(#a=10)", true},
      {"(@round%(#x)=3)&(#b=2)", true},
      {"(@round%(#x)=3)&(#b=3)", false},
      {"($s=\"abc\")", true},
      {"($s=\"ABC\")", false},
      {"($s>\"abb\")", true},
      {"($s>\"abcd\")", false},
      {"($s>=\"abc\")", false},
      {"($s<=\"abc\")", false},
      {"($s<>\"abd\")", true},
      {"(10>9)", true},
      {"($ten>9)", true},  // a string holding a number is numeric
      {"(!t)", false},     // no operator
      {"(#a==1)", false},
      {"(#a<<2)", false},
      {"(#a=<1)", true},
      {"(#a=>1)", true},
      {"(#b<=2)", true},
      {"(#b>=3)", false},
      {"(#a<>2)", true},
      {"(#a><2)", false},
      {"(\"a=b\"=\"a=b\")", true},  // operators inside quotes do not count
      {"(#a)", false},
      {"", false},  // no group at the start of a run
      {"(1=1) | (1=2)", true},
  };
  for (const ConditionCase& c : cases) {
    SCOPED_TRACE(c.condition);
    ScriptWorld world(ScriptEngine::Mode::kParsed, false);
    world.values.SetNumber("a", 1);
    world.values.SetNumber("b", 2);
    world.values.SetNumber("x", 3.2);
    world.values.SetString("s", "abc");
    world.values.SetString("ten", "10");
    world.values.SetBoolean("t", true);
    EXPECT_EQ(world.Run("0" + c.condition + "\r\n#r=1\r\n1"), "");
    EXPECT_EQ(world.Num("r"), c.expected ? 1 : 0);
  }
}

// The record of a run keeps its connector and groups from one line to the next.
TEST(ConditionsTest, RecordCarriesOverWithinARun) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  // The connector written after a blank is not seen: "any" stays.
  EXPECT_EQ(world.Run("0(1=1) & (1=2)\r\n#r1=1\r\n1"), "");
  EXPECT_EQ(world.Num("r1"), 1);
  // "&" set by the first line holds for a later line whose groups have no connector.
  EXPECT_EQ(world.Run("0(1=1)&(1=1)\r\n1\r\n0(1=1)(1=2)\r\n#r2=1\r\n1"), "");
  EXPECT_EQ(world.Num("r2"), 0);
  // A line without groups evaluates the previous condition again.
  EXPECT_EQ(world.Run("0(1=1)\r\n1\r\n0\r\n#r3=1\r\n1"), "");
  EXPECT_EQ(world.Num("r3"), 1);
  // A new run starts with no condition and "any".
  EXPECT_EQ(world.Run("0\r\n#r4=1\r\n1\r\n0(1=1)(1=2)\r\n#r5=1\r\n1"), "");
  EXPECT_EQ(world.Num("r4"), 0);
  EXPECT_EQ(world.Num("r5"), 1);
}

TEST(ConditionsTest, GroupsAndOperators) {
  const std::string text = "0(@abs%(#x)>3)|(\"a\"=\"a\")";
  const ConditionLine line = ReadCondition(text, text);
  ASSERT_EQ(line.groups.size(), 2u);
  EXPECT_EQ(line.groups[0].text, "@abs%(#x)>3");
  EXPECT_EQ(line.groups[1].text, "\"a\"=\"a\"");
  EXPECT_EQ(line.all, std::optional<bool>(false));
  // Quotes do not protect parentheses: the "(" in the constant leaves the
  // group open to the end of the line, so there is none.
  EXPECT_FALSE(ReadCondition("0($s=\"(\")", "0($s=\"(\")").has_groups);

  const ConditionGroup apart = ParseConditionGroup("#a<1=2");
  EXPECT_EQ(apart.op, CompareOp::kNone);
  const ConditionGroup spaced = ParseConditionGroup(" #a <= 2 ");
  EXPECT_EQ(spaced.op, CompareOp::kLessEqual);
  EXPECT_EQ(spaced.left, " #a ");
  EXPECT_EQ(spaced.right, " 2 ");
}

TEST(ConditionsTest, ClauseStopsAtTheDecidingGroup) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  // The second group would raise if it were evaluated.
  EXPECT_EQ(world.Run("0(1=1)|($s<\"x\")\r\n#r=1\r\n1"), "");
  EXPECT_EQ(world.Num("r"), 1);
  EXPECT_EQ(world.Run("0(1=2)&($s<\"x\")\r\n1"), "");
  EXPECT_EQ(world.Run("0(1=2)|($s<\"x\")\r\n1"), "error: Line #1: ");
}

}  // namespace
}  // namespace morvane::testing
