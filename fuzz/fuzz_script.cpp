// The script runner on generated scripts. An input whose first byte is even
// is a script text as it is; otherwise each further byte picks a line from a
// set of templates, so that blocks, loops, stops, functions and file actions
// nest in every way. The stage touches nothing outside a scratch drive D: and
// the prefix C:, starts no program and fetches nothing; every input gets a
// fresh store and engine with a step budget, so an endless loop (a script's
// right) ends at the budget, and a bound on the strings it may build.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "expr/environment.h"
#include "expr/evaluator.h"
#include "expr/values.h"
#include "fuzz_root.h"
#include "platform/system_info.h"
#include "script/console_script_stage.h"
#include "script/script_engine.h"

namespace morvane::fuzz {
namespace {

class FuzzStage : public ConsoleScriptStage {
 public:
  void Sleep(int32_t, const std::function<void(int32_t)>&) override {}
  void Download(const DriveTable&, std::string_view, std::string_view) override {}
};

const char* const kLines[] = {
    "0(#a<3)",
    "0(#a=1)|($s>\"b\")",
    "0($s<\"x\")",
    "2(#i=1,3)",
    "2(#i=3,1)step0.5",
    "2(#j=0,1)step0.1",
    "120(#w<3)",
    "120($s<>\"\")&(#w<2)",
    "1",
    "3",
    "23",
    "#a=#a+1",
    "#w=#w+1",
    "#i=#i+10",
    "$s=\"x\"+#i",
    "$s=\"\"",
    "!b=#a>1",
    "124(\"a\",#i)",
    "125",
    "126($s)",
    "41(\"D:\\f\"+#i+\".txt\",$s)",
    "32(\"D:\\f1.txt\",\"D:\\g.txt\")",
    "33(\"D:\\g.txt\",\"D:\\h.txt\")",
    "35(\"D:\\h.txt\")",
    "122(\"*\",\"D:\\\",\"anyfile folder\")",
    "123($r)",
    "121(\"a,b,,c\",\",\",$p)",
    "20(\"q\",\"c\",36)",
    "5(\"m\"+#a)",
    "10(\"1\",\"\").5(1)",
    "13",
    "15($s)",
    "40(\"button\",#a)",
    "102(\"D:\\s.ini\")",
    "103(\"x\",\"y\",$s)",
    "107(\"D:\\f1.txt\",\"data\")",
    "30(\"Arial:0:10:000000\")",
    "25(1000)",
    "#x=1/0",
    "2(#i=1,3)step0",
    "abc",
    "   ",
    "76(300)",
    "9",
};
constexpr size_t kLineCount = sizeof kLines / sizeof kLines[0];

struct World {
  World() {
    root = FuzzRoot("script");
    std::filesystem::create_directories(root + "/d");
    EnvironmentOptions options;
    options.prefix = root + "/c";
    options.registry = false;
    options.removable_media = false;
    env = Environment::Create(stage, options);
    env->drives().Unmap('Z');
    // Fixed figures for the disk and the memory: the live ones change with
    // whatever else runs, and a run must repeat.
    env->drives().SetFixedSpace(uint64_t{8} << 30, uint64_t{3} << 30);
    SetFixedMemoryStatus({uint64_t{4} << 30, uint64_t{1} << 30});
    env->drives().Map('D', root + "/d", DriveKind::kFixed);
    env->SetFolders("D:\\p.exe", "C:\\windows\\", "C:\\windows\\temp\\");
    env->drives().SetCurrentFolder("D:\\");
    std::vector<ConsoleStage::Page> pages(2);
    pages[0].name = "One";
    pages[1].name = "Two";
    stage.SetPages(pages, 1);
  }
  std::string root;
  FuzzStage stage;
  std::unique_ptr<Environment> env;
};

World& TheWorld() {
  static World world;
  return world;
}

std::string Generate(const uint8_t* data, size_t size) {
  std::string script;
  for (size_t i = 1; i < size; ++i) {
    script += kLines[data[i] % kLineCount];
    script += "\r\n";
  }
  return script;
}

}  // namespace
}  // namespace morvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace morvane;
  if (size == 0 || size > 4096) return 0;
  fuzz::World& world = fuzz::TheWorld();
  const std::string script = data[0] % 2 == 0
                                 ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1)
                                 : fuzz::Generate(data, size);
  TValues values;
  Evaluator evaluator(values, *world.env);
  ScriptEngine engine(world.stage, *world.env, values, evaluator);
  TFunc plain;
  plain.body = "#f=#f+1\r\n0(#f<5)\r\n124\r\n1\r\n23";
  TFunc second;
  second.body = "$t=$1+$2\r\n2(#k=1,2)\r\n125\r\n1";
  TFunc third;
  third.body = "121($1,\"x\",$q)\r\n#e=1+";
  engine.SetFunctions({plain, second, third});
  engine.SetStepLimit(5000);
  // A doubling string outgrows any budget of lines.
  engine.SetMaxStringBytes(size_t{1} << 20);
  try {
    engine.DoActions(1, script, 0);
  } catch (const std::exception&) {
  }
  world.stage.ClearLog();
  return 0;
}
