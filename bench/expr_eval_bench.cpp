// Evaluations per second of typical expressions, for the reference evaluators
// and the fast ones. The counter "evals/s" is the figure to compare; the
// summary at the end prints both and their ratio for each expression.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "expr/console_stage.h"
#include "expr/environment.h"
#include "expr/evaluator.h"
#include "expr/values.h"

namespace morvane {
namespace {

// Out of line: inlined, g++ 12 warns wrongly about the path concatenation.
[[gnu::noinline]] std::string BenchPrefix() {
  return (std::filesystem::temp_directory_path() / "morvane-bench-prefix").string();
}

struct World {
  explicit World(EvalMode mode) {
    EnvironmentOptions options;
    options.prefix = BenchPrefix();
    options.registry = false;
    options.removable_media = false;
    env = Environment::Create(stage, options);
    values.SetNumber("a", 12);
    values.SetNumber("b", 3.5);
    values.SetNumber("c", 9);
    values.SetNumber("i", 2);
    values.SetNumber("x[2]", 40);
    values.SetString("name", "Morvane");
    values.SetNumber("count", 7);
    evaluator = std::make_unique<Evaluator>(values, *env, mode);
  }
  ConsoleStage stage;
  std::unique_ptr<Environment> env;
  TValues values;
  std::unique_ptr<Evaluator> evaluator;
};

struct Expression {
  const char* label;
  const char* text;
  bool numeric;
};

constexpr Expression kExpressions[] = {
    {"arithmetic", "#a+#b*2-(#c/3)", true},
    {"array_index", "#x[#i]*2+1", true},
    {"function_call", "@57%(#a-20)+@42%(#b)*2", true},
    {"string_concat_function", "\"Hello, \"+4($name)+\" #\"+#count", false},
};

// Evaluations per CPU second by mode and label.
std::map<std::pair<EvalMode, std::string>, double> g_rates;

void Run(benchmark::State& state, EvalMode mode, const Expression& expression) {
  World world(mode);
  Evaluator& ev = *world.evaluator;
  for (auto _ : state) {
    if (expression.numeric) {
      benchmark::DoNotOptimize(ev.Number(expression.text));
    } else {
      benchmark::DoNotOptimize(ev.String(expression.text));
    }
  }
  state.counters["evals/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetLabel(expression.text);
}

// Records the rate of every finished run, then reports as usual.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Color : OO_None) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const std::string name = run.benchmark_name();
      const bool fast = name.rfind("Fast/", 0) == 0;
      const std::string label = name.substr(name.find('/') + 1);
      const double rate = run.cpu_accumulated_time > 0
                              ? static_cast<double>(run.iterations) / run.cpu_accumulated_time
                              : 0;
      g_rates[{fast ? EvalMode::kFast : EvalMode::kReference, label}] = rate;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

void PrintSummary() {
  std::printf("\n%-24s %16s %16s %8s\n", "expression (evals/s)", "reference", "fast", "ratio");
  for (const Expression& expression : kExpressions) {
    const double reference = g_rates[{EvalMode::kReference, expression.label}];
    const double fast = g_rates[{EvalMode::kFast, expression.label}];
    if (reference <= 0 && fast <= 0) continue;
    std::printf("%-24s %16.0f %16.0f %8.1f\n", expression.label, reference, fast,
                reference > 0 ? fast / reference : 0.0);
  }
}

void Register() {
  for (const Expression& expression : kExpressions) {
    for (EvalMode mode : {EvalMode::kReference, EvalMode::kFast}) {
      std::string name = mode == EvalMode::kFast ? "Fast/" : "Reference/";
      name.append(expression.label);
      benchmark::RegisterBenchmark(name.c_str(), [mode, &expression](benchmark::State& state) {
        Run(state, mode, expression);
      });
    }
  }
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
  morvane::Register();
  benchmark::Initialize(&argc, argv);
  morvane::SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  morvane::PrintSummary();
  return 0;
}
