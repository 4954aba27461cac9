// Script lines per second of three workloads: a for loop with an assignment
// and an if in its body, a while loop over a string array, and a plain user
// function called 100,000 times. Each runs on the parsed runner with the fast
// evaluators and on the re-reading runner with the reference evaluators (the
// literal baseline); the summary at the end prints the ratio, and how much
// the peak resident memory grew during the parsed runs.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "expr/environment.h"
#include "expr/evaluator.h"
#include "expr/values.h"
#include "script/console_script_stage.h"
#include "script/script_engine.h"

namespace morvane {
namespace {

[[gnu::noinline]] std::string BenchPrefix() {
  return (std::filesystem::temp_directory_path() / "morvane-bench-prefix").string();
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct World {
  World(ScriptEngine::Mode mode, EvalMode eval_mode) {
    EnvironmentOptions options;
    options.prefix = BenchPrefix();
    options.registry = false;
    options.removable_media = false;
    env = Environment::Create(stage, options);
    evaluator = std::make_unique<Evaluator>(values, *env, eval_mode);
    engine = std::make_unique<ScriptEngine>(stage, *env, values, *evaluator, mode);
  }
  ConsoleScriptStage stage;
  std::unique_ptr<Environment> env;
  TValues values;
  std::unique_ptr<Evaluator> evaluator;
  std::unique_ptr<ScriptEngine> engine;
};

struct Workload {
  const char* name;
  // The script for a number of passes, and the lines it executes.
  std::string (*script)(int passes);
  double (*lines)(int passes);
  void (*setup)(World& world, int passes);
};

const Workload kWorkloads[] = {
    {"ForLoop",
     [](int passes) {
       return "#s=0\r\n2(#i=1," + std::to_string(passes) +
              ")\r\n#s=#s+#i\r\n0(#i>0)\r\n#c=#c+1\r\n1\r\n1";
     },
     [](int passes) { return 4.0 * passes; }, [](World&, int) {}},
    {"WhileOverStringArray",
     [](int) { return std::string("#k=1\r\n120($a[#k]<>\"\")\r\n$last=$a[#k]\r\n#k=#k+1\r\n1"); },
     [](int passes) { return 2.0 * passes; },
     [](World& world, int passes) {
       for (int k = 1; k <= passes; ++k)
         world.values.SetString("a[" + std::to_string(k) + "]", "item" + std::to_string(k));
       world.values.SetString("a[" + std::to_string(passes + 1) + "]", "");
     }},
    {"FunctionCalls",
     [](int passes) { return "2(#i=1," + std::to_string(passes) + ")\r\n124(#i)\r\n1"; },
     [](int passes) { return 2.0 * passes; },
     [](World& world, int) {
       TFunc function;
       function.body = "#r=#r+$1";
       world.engine->SetFunctions({function});
     }},
};

struct Figure {
  double lines_per_second = 0;
  long rss_growth_kb = 0;
};
std::map<std::string, Figure> g_figures;

void RunWorkload(benchmark::State& state, const Workload& workload, bool parsed) {
  // The for loop makes a million passes; the baseline, far slower, fewer.
  const bool for_loop = &workload == &kWorkloads[0];
  const int passes = for_loop ? (parsed ? 1000000 : 50000) : (parsed ? 100000 : 20000);
  World world(parsed ? ScriptEngine::Mode::kParsed : ScriptEngine::Mode::kReference,
              parsed ? EvalMode::kFast : EvalMode::kReference);
  workload.setup(world, passes);
  const std::string script = workload.script(passes);
  double lines = 0;
  double seconds = 0;
  const long rss_before = PeakKilobytes();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    world.engine->DoActions(1, script, 0);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    lines += workload.lines(passes);
  }
  Figure& figure = g_figures[std::string(workload.name) + (parsed ? "/parsed" : "/reference")];
  figure.lines_per_second = lines / seconds;
  figure.rss_growth_kb = PeakKilobytes() - rss_before;
  state.counters["lines/s"] = figure.lines_per_second;
  state.counters["passes"] = passes;
}

void Register() {
  for (const Workload& workload : kWorkloads) {
    for (bool parsed : {true, false}) {
      const std::string name = std::string(workload.name) + (parsed ? "/parsed" : "/reference");
      benchmark::RegisterBenchmark(
          name.c_str(),
          [&workload, parsed](benchmark::State& state) { RunWorkload(state, workload, parsed); })
          ->Unit(benchmark::kMillisecond)
          ->Iterations(parsed ? 3 : 1);
    }
  }
}

void PrintSummary() {
  std::printf("\n%-22s %16s %16s %8s %14s\n", "workload", "parsed lines/s", "reference lines/s",
              "ratio", "rss growth kB");
  for (const Workload& workload : kWorkloads) {
    const Figure parsed = g_figures[std::string(workload.name) + "/parsed"];
    const Figure reference = g_figures[std::string(workload.name) + "/reference"];
    std::printf(
        "%-22s %16.0f %16.0f %8.1f %14ld\n", workload.name, parsed.lines_per_second,
        reference.lines_per_second,
        reference.lines_per_second > 0 ? parsed.lines_per_second / reference.lines_per_second : 0.0,
        parsed.rss_growth_kb);
  }
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
  morvane::Register();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  morvane::PrintSummary();
  return 0;
}
