// Evaluations per second of typical expressions, for the reference evaluators
// and the fast ones. The counter "evals/s" is the figure to compare.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

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
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
