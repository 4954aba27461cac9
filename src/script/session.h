#pragma once

// `Session`: the core of one run, the same for the player, the command-line
// tools, the benchmarks and the tests. It assembles the variable store, the
// environment over the host's stage, the evaluator over both and the script
// engine over all of them, in that order, and takes them apart in reverse:
// the engine, whose worker threads use everything else, goes first.
//
// A host that reads a project runs the start-up phases below in their order;
// each phase may end the run. Hosts without a project (the script tool, the
// tests) assemble the session and run scripts.

#include <memory>

#include "expr/environment.h"
#include "expr/evaluator.h"
#include "expr/values.h"
#include "script/script_engine.h"
#include "script/script_stage.h"

namespace morvane {

// The start-up of a project, in order: read the package, build the page
// windows and their objects, extract the embedded files, register the fonts
// and cursors, settle which instance runs, show the first page.
enum class StartPhase { kRead, kBuild, kExtract, kFonts, kSingleInstance, kShow };
const char* StartPhaseName(StartPhase phase);

// The most a project's string variables may hold together: the longest
// string and half as much again, far beyond what any real project keeps,
// and with what evaluating them takes, within a gigabyte.
inline constexpr size_t kMaxStoreStringBytes = size_t{384} << 20;

struct SessionOptions {
  EnvironmentOptions environment;
  EvalMode eval_mode = EvalMode::kFast;
  ScriptEngine::Mode engine_mode = ScriptEngine::Mode::kParsed;
};

class Session {
 public:
  // Raises what the environment's creation raises (a prefix that cannot be made).
  Session(ScriptStage& stage, const SessionOptions& options = {});
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  TValues& values() { return m_values; }
  Environment& environment() { return *m_environment; }
  Evaluator& evaluator() { return *m_evaluator; }
  ScriptEngine& engine() { return *m_engine; }

  // Ends the engine and waits for its worker threads, before the host takes
  // apart what those threads may still reach (pages, objects).
  void StopEngine() { m_engine.reset(); }
  // An engine over another stage, for hosts that wrap the one they began with.
  void ReplaceEngine(ScriptStage& stage);

 private:
  // Invariant: declared in the order they depend on each other.
  TValues m_values;
  std::unique_ptr<Environment> m_environment;
  std::unique_ptr<Evaluator> m_evaluator;
  std::unique_ptr<ScriptEngine> m_engine;
  ScriptEngine::Mode m_engine_mode;
};

}  // namespace morvane
