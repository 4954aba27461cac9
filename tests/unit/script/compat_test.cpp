// The compatibility table, the recorder the running scripts feed and the
// static scan of a project's scripts.

#include <gtest/gtest.h>
#include <yaml-cpp/yaml.h>

#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "expr/evaluator.h"
#include "script/compat_recorder.h"
#include "script/compat_scan.h"
#include "script/compat_table.h"
#include "script/script_engine.h"
#include "script_world.h"

namespace morvane {
namespace {

using testing::ScriptWorld;

TEST(CompatTable, EveryRowNamesACodeTheTablesKnowOnce) {
  std::set<std::tuple<CompatKind, int32_t, int>> seen;
  for (const CompatRow& row : CompatTable()) {
    SCOPED_TRACE(std::string(CompatKindName(row.kind)) + " " + std::to_string(row.code));
    EXPECT_TRUE(seen.emplace(row.kind, row.code, row.object ? int(*row.object) : -1).second)
        << "a second row";
    EXPECT_NE(std::string(row.name), "");
    EXPECT_NE(std::string(row.reason), "");
    switch (row.kind) {
      case CompatKind::kAction:
        EXPECT_TRUE(IsKnownActionCode(row.code));
        EXPECT_FALSE(row.object);
        EXPECT_EQ(FindCompatRow(row.kind, row.code), &row);
        break;
      case CompatKind::kObjectAction:
        // The object layer's table checks the kind (tests/unit/player).
        ASSERT_TRUE(row.object);
        EXPECT_EQ(FindObjectActionRow(*row.object, row.code), &row);
        break;
      case CompatKind::kNumericFunction:
        EXPECT_TRUE(IsNumericFunctionCode(row.code));
        EXPECT_EQ(FindCompatRow(row.kind, row.code), &row);
        break;
      case CompatKind::kStringFunction:
        EXPECT_TRUE(IsStringFunctionCode(row.code));
        EXPECT_EQ(FindCompatRow(row.kind, row.code), &row);
        break;
      case CompatKind::kService:
        EXPECT_GE(row.code, int32_t(CompatService::kCursorShadow));
        EXPECT_LE(row.code, int32_t(CompatService::kSandboxLink));
        EXPECT_EQ(FindServiceRow(CompatService(row.code)), &row);
        break;
    }
  }
  // Codes done in full have no row.
  EXPECT_EQ(FindCompatRow(CompatKind::kAction, 5), nullptr);
  EXPECT_EQ(FindObjectActionRow(ObjectKind::Image, 54), nullptr);
  EXPECT_EQ(FindCompatRow(CompatKind::kAction, -1), nullptr);
  EXPECT_EQ(FindCompatRow(CompatKind::kAction, 100000), nullptr);
}

TEST(CompatScan, FindsFunctionCodesOutsideQuotes) {
  using Found = std::vector<std::pair<CompatKind, int32_t>>;
  constexpr CompatKind kNumeric = CompatKind::kNumericFunction;
  constexpr CompatKind kString = CompatKind::kStringFunction;
  struct Case {
    const char* text;
    Found expected;
  } cases[] = {
      {"@5%(65)+@47%(\"2\")*2", {{kNumeric, 5}, {kNumeric, 47}}},
      {"@10%", {{kNumeric, 10}}},
      {"\"@5%(65)\"", {}},
      {"3(\"@5%\")", {}},
      {"32(\"4\",\"x\")", {{kString, 32}}},
      {"$a + 32(\"1\",\"v\")", {{kString, 32}}},
      {"4(32(\"1\",\"v\"))", {{kString, 32}}},
      // Codes with no row, digits that start no operand, calls without "%".
      {"132(\"a\")", {}},
      {"#x32(1)", {}},
      {"@5(1)", {}},
      {"@%", {}},
  };
  for (const Case& c : cases) {
    Found found;
    ForEachFunctionCode(c.text,
                        [&](CompatKind kind, int32_t code) { found.emplace_back(kind, code); });
    EXPECT_EQ(found, c.expected) << c.text;
  }
}

PageObject Object(ObjectKind kind, std::string name) {
  PageObject object;
  object.kind = kind;
  object.name = std::move(name);
  return object;
}

// Two pages whose object 2 is a Flash movie on one and a text on the other.
Project TwoPageProject() {
  Project project;
  project.options.single_instance = true;
  project.on_error = "42(\"0409\")";
  project.functions.push_back(TFunc{"Paint", "", 0, "#a=1\r79(1)", 0});
  Page first;
  first.name = "One";
  first.on_show =
      "#k=@5%(65)\r2(#i=1,3)\r42(\"0409\")\r1\r"
      "10(\"2\",\"\").61(1)\r"      // the script's own page: the movie
      "10(2,\"two\").80(\"a\",\"b\")\r"  // page by name, ignoring case: the text, no row
      "10(\"2\",$page).42(1)\r"     // any page: the movie's is the one listed
      "10($o,\"\").54\r"            // an object no scan can tell
      "10(\"2\",\"Nowhere\").54\r"  // no such page: nothing happens
      "124\r2(#j=1,2)\r0(#j>0)\r#k=@5%(16)\r1\r1";
  first.objects.push_back(Object(ObjectKind::Flash, "2"));
  PageObject text = Object(ObjectKind::Text, "1");
  text.evntMDown = "$v=32(\"4\",\"x\")\r10(\"1\",\"\").54";
  first.objects.push_back(text);
  Page second;
  second.name = "Two";
  second.objects.push_back(Object(ObjectKind::Text, "2"));
  project.pages = {first, second};
  return project;
}

struct Expected {
  CompatKind kind;
  int32_t code;
  std::optional<ObjectKind> object;
  uint64_t count;
  CompatPlace first;
};

void ExpectEntries(const std::vector<CompatEntry>& entries, const std::vector<Expected>& expected) {
  ASSERT_EQ(entries.size(), expected.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const CompatRow& row = *entries[i].row;
    SCOPED_TRACE(std::string(CompatKindName(row.kind)) + " " + std::to_string(row.code));
    EXPECT_EQ(row.kind, expected[i].kind);
    EXPECT_EQ(row.code, expected[i].code);
    EXPECT_EQ(row.object, expected[i].object);
    EXPECT_EQ(entries[i].count, expected[i].count);
    EXPECT_EQ(entries[i].first, expected[i].first);
  }
}

CompatPlace At(std::optional<int32_t> page, std::string object, std::string event,
               std::optional<size_t> line) {
  return CompatPlace{page, std::move(object), std::move(event), line};
}

TEST(CompatScan, CountsWhatTheScriptsNameWithTheFirstPlace) {
  const Project project = TwoPageProject();
  using K = CompatKind;
  using O = ObjectKind;
  ExpectEntries(
      ScanProject(project),
      {
          {K::kAction, 42, {}, 2, At({}, "", "on_error", 1)},
          {K::kAction, 79, {}, 1, At({}, "", "function 1", 2)},
          {K::kObjectAction, 42, O::Flash, 1, At(1, "", "on_show", 7)},
          {K::kObjectAction, 61, O::Flash, 1, At(1, "", "on_show", 5)},
          {K::kNumericFunction, 5, {}, 2, At(1, "", "on_show", 1)},
          {K::kStringFunction, 32, {}, 1, At(1, "OBJ1", "on_mouse_down", 1)},
      });
}

TEST(CompatRecorder, NotesWhatRunningScriptsMeetWithTheirPlace) {
  const Project project = TwoPageProject();
  ScriptWorld world;
  CompatRecorder recorder(&project);
  world.engine->SetCompatRecorder(&recorder);
  world.engine->SetFunctions(project.functions);
  // The page's show script, run in its window: a loop body's lines count
  // from the start of the script; the function places its own line.
  EXPECT_EQ(world.Run(project.pages[0].on_show, 1), "");
  // A script no part of the project holds keeps its window and line.
  EXPECT_EQ(world.Run("#z=0\r42(\"0409\")", 2), "");
  using K = CompatKind;
  ExpectEntries(recorder.Entries(), {
                                        {K::kAction, 42, {}, 4, At(1, "", "on_show", 3)},
                                        {K::kAction, 79, {}, 1, At(1, "", "function 1", 2)},
                                        {K::kNumericFunction, 5, {}, 3, At(1, "", "on_show", 1)},
                                    });

  // The report parses as JSON and carries every field.
  const YAML::Node report = YAML::Load(CompatReportJson(recorder.Entries(), 1252));
  ASSERT_TRUE(report["entries"].IsSequence());
  ASSERT_EQ(report["entries"].size(), 3u);
  const YAML::Node layout = report["entries"][0];
  EXPECT_EQ(layout["kind"].as<std::string>(), "action");
  EXPECT_EQ(layout["code"].as<int>(), 42);
  EXPECT_TRUE(layout["object_kind"].IsNull());
  EXPECT_EQ(layout["name"].as<std::string>(), "keyboard layout");
  EXPECT_EQ(layout["level"].as<std::string>(), "unsupported");
  EXPECT_EQ(layout["count"].as<int>(), 4);
  EXPECT_EQ(layout["first"]["page"].as<int>(), 1);
  EXPECT_TRUE(layout["first"]["object"].IsNull());
  EXPECT_EQ(layout["first"]["event"].as<std::string>(), "on_show");
  EXPECT_EQ(layout["first"]["line"].as<int>(), 3);

  // Without a recorder nothing is noted and no site is kept.
  world.engine->SetCompatRecorder(nullptr);
  EXPECT_EQ(world.Run("42(\"0409\")"), "");
  EXPECT_EQ(recorder.Entries()[0].count, 4u);
  EXPECT_EQ(CurrentScriptSite().line, 0u);
}

}  // namespace
}  // namespace morvane
