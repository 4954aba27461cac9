#pragma once

// The world both expression fuzzers evaluate in: two stores with the same
// variables, one per evaluator, a console stage, and a prefix of its own with
// a few files. Both see the same random numbers.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "expr/console_stage.h"
#include "expr/environment.h"
#include "expr/eval_error.h"
#include "expr/evaluator.h"
#include "expr/values.h"
#include "fuzz_root.h"
#include "platform/system_info.h"
#include "util/number_text.h"

namespace morvane::fuzz {

struct World {
  World() {
    const std::string root = FuzzRoot("expr");
    std::filesystem::create_directories(root + "/d");
    std::ofstream(root + "/d/f.txt") << "1\r\n2\r\n";
    EnvironmentOptions options;
    options.prefix = root + "/c";
    options.registry = false;
    options.removable_media = false;
    env = Environment::Create(stage, options);
    env->drives().Unmap('Z');  // nothing outside the prefix
    // Fixed figures for the disk and the memory: the live ones change with
    // whatever else runs, and a run must repeat.
    env->drives().SetFixedSpace(uint64_t{8} << 30, uint64_t{3} << 30);
    SetFixedMemoryStatus({uint64_t{4} << 30, uint64_t{1} << 30});
    env->drives().Map('D', root + "/d", DriveKind::kFixed);
    env->SetFolders("D:\\p.exe", "C:\\windows\\", "C:\\windows\\temp\\");
    env->SetClock([] { return LocalTime{2024, 3, 15, 13, 5, 9, 5}; });
    for (TValues* values : {&reference_values, &fast_values}) {
      values->SetNumber("a", 3);
      values->SetNumber("x[2]", -4.5);
      values->SetNumber("i", 2);
      values->SetBoolean("t", true);
      values->SetString("s", "2*3");
      values->SetString("self", "$self");
      values->SetString("name", "a\\qb");
    }
    reference = std::make_unique<Evaluator>(reference_values, *env, EvalMode::kReference);
    fast = std::make_unique<Evaluator>(fast_values, *env, EvalMode::kFast);
  }

  std::string Numeric(Evaluator& ev, const std::string& text) {
    env->SeedRandom(1);  // the same random numbers for both evaluators
    try {
      return FloatToText(ev.Number(text));
    } catch (const EvalError&) {
      return "error";
    }
  }

  std::string Text(Evaluator& ev, const std::string& text) {
    env->SeedRandom(1);
    try {
      return ev.String(text);
    } catch (const std::exception& error) {
      return std::string("error: ") + error.what();
    }
  }

  ConsoleStage stage;
  std::unique_ptr<Environment> env;
  TValues reference_values;
  TValues fast_values;
  std::unique_ptr<Evaluator> reference;
  std::unique_ptr<Evaluator> fast;
};

// Variables live for ever, and every input may create new ones: a fresh world
// every few thousand inputs keeps the memory of a long run bounded.
inline World& TheWorld() {
  static std::unique_ptr<World> world;
  static int uses = 0;
  if (!world || ++uses % 5000 == 0) {
    world.reset();
    world = std::make_unique<World>();
  }
  return *world;
}

}  // namespace morvane::fuzz
