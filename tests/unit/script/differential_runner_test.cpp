// The parsed runner against the re-reading one on generated scripts: blocks
// nested every way, loops, stops, functions and errors must give the same
// variables, the same messages and the same error.

#include <gtest/gtest.h>

#include <random>

#include "script_world.h"

namespace morvane::testing {
namespace {

const char* const kTemplates[] = {
    "0(#a<3)",
    "0(#a=1)|(#b>1)",
    "0($s>\"x2\")",
    "2(#i=1,3)",
    "2(#j=2,0)step0.5",
    "120(#w<3)",
    "120(#w<2)&(#a<9)",
    "1",
    "1",
    "1",
    "3",
    "3 ",
    "23",
    "#a=#a+1",
    "#w=#w+1",
    "#b=#b+#i",
    "#i=#i+1",
    "$s=\"x\"+#a",
    "!t=#a>2",
    "5(\"m\"+#a+#w)",
    "124(#a)",
    "125",
    "#e=1+",
    "2(#k=1,2)step0",
    "zz",
    "",
    "0",
    "0(#a)",
};
constexpr size_t kTemplateCount = sizeof kTemplates / sizeof kTemplates[0];

std::string Outcome(ScriptWorld& world, const std::string& script) {
  TFunc plain;
  plain.body = "#f=#f+1\r\n0(#f<4)\r\n124\r\n1\r\n$1=$1+\"!\"";
  TFunc stopping;
  stopping.body = "#g=#g+1\r\n23\r\n#never=1";
  world.engine->SetFunctions({plain, stopping});
  world.engine->SetStepLimit(5000);
  std::string outcome = world.Run(script) + "\n";
  for (const auto& [name, value] : world.values.Numbers())
    outcome += name + "=" + FloatToText(value) + "\n";
  for (const auto& [name, value] : world.values.Strings()) outcome += name + "=" + value + "\n";
  for (const auto& [name, value] : world.values.Booleans())
    outcome += name + (value ? "=T\n" : "=F\n");
  for (const std::string& message : world.Messages()) outcome += "message " + message + "\n";
  return outcome;
}

TEST(DifferentialRunnerTest, ParsedAndReReadingRunsAgree) {
  std::mt19937 random(20240315);
  for (int round = 0; round < 150; ++round) {
    std::string script;
    const int lines = 1 + static_cast<int>(random() % 14);
    for (int i = 0; i < lines; ++i) {
      script += kTemplates[random() % kTemplateCount];
      script += "\r\n";
    }
    ScriptWorld parsed(ScriptEngine::Mode::kParsed, false);
    ScriptWorld reference(ScriptEngine::Mode::kReference, false);
    const std::string parsed_outcome = Outcome(parsed, script);
    // A script that hit the step budget may stop at different places.
    if (parsed.engine->Terminating()) continue;
    EXPECT_EQ(parsed_outcome, Outcome(reference, script)) << script;
  }
}

}  // namespace
}  // namespace morvane::testing
