// Script lines per second of three workloads: a for loop with an assignment
// and an if in its body, a while loop over a string array, and a plain user
// function called 100,000 times. Each runs three ways: the parsed runner with
// the fast evaluators (what the player uses), the re-reading runner with the
// same evaluators (the runner's own baseline), and the re-reading runner with
// the reference evaluators (the literal baseline). The summary at the end
// prints the ratios, and how much the peak resident memory grew during the
// parsed runs. The parsed runner also runs once with a compatibility recorder
// installed (/report), as with the player's --compat-report, to show what the
// bookkeeping of the running line costs.

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
#include "script/compat_recorder.h"
#include "script/console_script_stage.h"
#include "script/script_engine.h"
#include "script/session.h"

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
  World(ScriptEngine::Mode mode, EvalMode eval_mode) : session(stage, Options(mode, eval_mode)) {}
  static SessionOptions Options(ScriptEngine::Mode mode, EvalMode eval_mode) {
    SessionOptions options;
    options.environment.prefix = BenchPrefix();
    options.environment.registry = false;
    options.environment.removable_media = false;
    options.eval_mode = eval_mode;
    options.engine_mode = mode;
    return options;
  }
  ConsoleScriptStage stage;
  Session session;
  TValues& values = session.values();
  Evaluator* evaluator = &session.evaluator();
  ScriptEngine* engine = &session.engine();
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

enum class Way { kParsed, kReread, kLiteral, kReport };
const char* const kWayNames[] = {"/parsed", "/reread", "/literal", "/report"};

void RunWorkload(benchmark::State& state, const Workload& workload, Way way) {
  const bool parsed = way == Way::kParsed || way == Way::kReport;
  // The for loop makes a million passes; the baselines, far slower, fewer.
  const bool for_loop = &workload == &kWorkloads[0];
  const int passes = for_loop ? (parsed ? 1000000 : 50000) : (parsed ? 100000 : 20000);
  CompatRecorder recorder;  // outlives the engine
  World world(parsed ? ScriptEngine::Mode::kParsed : ScriptEngine::Mode::kReference,
              way == Way::kLiteral ? EvalMode::kReference : EvalMode::kFast);
  workload.setup(world, passes);
  if (way == Way::kReport) world.engine->SetCompatRecorder(&recorder);
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
  Figure& figure = g_figures[std::string(workload.name) + kWayNames[static_cast<int>(way)]];
  figure.lines_per_second = lines / seconds;
  figure.rss_growth_kb = PeakKilobytes() - rss_before;
  state.counters["lines/s"] = figure.lines_per_second;
  state.counters["passes"] = passes;
}

void Register() {
  for (const Workload& workload : kWorkloads) {
    for (Way way : {Way::kParsed, Way::kReread, Way::kLiteral, Way::kReport}) {
      const std::string name = std::string(workload.name) + kWayNames[static_cast<int>(way)];
      benchmark::RegisterBenchmark(
          name.c_str(),
          [&workload, way](benchmark::State& state) { RunWorkload(state, workload, way); })
          ->Unit(benchmark::kMillisecond)
          ->Iterations(way == Way::kParsed || way == Way::kReport ? 3 : 1);
    }
  }
}

void PrintSummary() {
  std::printf("\n%-22s %14s %14s %14s %9s %9s %10s\n", "workload (lines/s)", "parsed", "re-reading",
              "literal", "x reread", "x literal", "rss kB");
  for (const Workload& workload : kWorkloads) {
    const std::string name = workload.name;
    const Figure parsed = g_figures[name + "/parsed"];
    const Figure reread = g_figures[name + "/reread"];
    const Figure literal = g_figures[name + "/literal"];
    auto ratio = [&](const Figure& base) {
      return base.lines_per_second > 0 ? parsed.lines_per_second / base.lines_per_second : 0.0;
    };
    std::printf("%-22s %14.0f %14.0f %14.0f %9.1f %9.1f %10ld\n", workload.name,
                parsed.lines_per_second, reread.lines_per_second, literal.lines_per_second,
                ratio(reread), ratio(literal), parsed.rss_growth_kb);
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
