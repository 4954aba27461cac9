#pragma once

// The action-script runner: `DoActions` runs a script in the context of a
// page window and a thread number, `DoAction` executes one assignment or
// action line through the action tables. User functions (`TFunc`) run on the
// caller's thread, on the main thread when a worker calls them, or on a new
// worker thread (`TAppThread`) of their slot.
//
// Scripts are parsed once per text and kept in a cache; loop bodies run as
// ranges of their script's lines. The reference mode re-reads the text of
// every run and of every loop pass instead, as a baseline for benchmarks and
// differential tests; both behave alike.
//
// The stop request and the stopped mark are kept per thread: a stop ends the
// runs of its own thread only.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "expr/environment.h"
#include "expr/evaluator.h"
#include "expr/values.h"
#include "package/project_model.h"
#include "script/compat_recorder.h"
#include "script/conditions.h"
#include "script/lan_port.h"
#include "script/script_program.h"
#include "script/script_stage.h"

namespace morvane {

// Nested runs (loop bodies, function calls) one thread may stack up before
// the run fails with "Stack overflow".
inline constexpr int kMaxRunDepth = 200;

// Whether the action tables have an entry for the code (0 to 123).
bool IsKnownActionCode(int32_t code);

class ScriptEngine {
 public:
  enum class Mode { kParsed, kReference };

  // The evaluator must work on `values` and `environment`.
  ScriptEngine(ScriptStage& stage, Environment& environment, TValues& values, Evaluator& evaluator,
               Mode mode = Mode::kParsed);
  // Terminates and waits for the worker threads.
  ~ScriptEngine();
  ScriptEngine(const ScriptEngine&) = delete;
  ScriptEngine& operator=(const ScriptEngine&) = delete;

  // The functions, thread slots and embedded files of the project.
  void SetProject(const Project& project);
  void SetFunctions(std::vector<TFunc> functions);
  // One priority digit per slot, slot 1 first.
  void SetThreadDigits(const std::vector<int>& digits);
  void SetEmbeddedFiles(std::vector<EmbeddedFile> files);

  // `DoActions`: runs the script to its end on the calling thread. `page` is
  // the script's window (1 = the main window), `thread` 0 on the main thread
  // or the worker slot. Raises ScriptError with the "Line #" prefixes.
  void DoActions(int32_t page, std::string_view script, int32_t thread = 0);

  // `DoUnthreadActions`: runs the script on the main thread in the main
  // window and waits for it, from any thread (the LAN server's connection
  // threads hand their scripts over so). Errors come back to the caller.
  void DoUnthreadActions(std::string_view script);

  // The stop request of action 23 for the runs of the calling thread.
  static void RequestStop();

  // From now on no script runs and running ones end at their next line; a
  // wait of action 25 ends at once. Safe from any thread.
  void Terminate();
  bool Terminating() const { return m_terminating.load(std::memory_order_relaxed); }
  // Waits until every worker thread has ended, running the main thread's
  // hand-overs meanwhile. Main thread only.
  void WaitForThreads();
  int RunningThreads() const;

  // Terminates once this many lines and loop passes have run (0: never).
  void SetStepLimit(uint64_t steps) { m_step_limit = steps; }
  // The longest text a string assignment or a function argument may store;
  // a longer one fails with "Out of memory". As much as a file read may give
  // by default.
  void SetMaxStringBytes(size_t bytes) { m_max_string_bytes = bytes; }

  // Notes every action and function of the compatibility table that scripts
  // meet, with the line running; nothing: none is noted. Set before scripts
  // run; the recorder must outlive the runs.
  void SetCompatRecorder(CompatRecorder* recorder);
  // The LAN of actions 109 to 114; without one the network is not there.
  // The port outlives the engine.
  void SetLan(LanPort* lan) { m_lan = lan ? lan : &m_no_lan; }
  CompatRecorder* compat_recorder() const { return m_compat; }

  // The page the last navigation action aimed at.
  std::string NavigationTarget() const;

  TValues& values() { return m_values; }
  Evaluator& evaluator() { return m_evaluator; }
  ScriptStage& stage() { return m_stage; }

 private:
  void RunRange(const ScriptProgram& program, size_t begin, size_t end, int32_t page,
                int32_t thread);
  void RunBody(const ScriptProgram& program, size_t begin, size_t end, int32_t page,
               int32_t thread);
  // Returns false when the run that holds the loop must end (a stop).
  bool RunFor(const ScriptProgram& program, size_t at, size_t end, int32_t page, int32_t thread);
  bool RunWhile(const ScriptProgram& program, size_t at, size_t end, Tifclause& clause,
                int32_t page, int32_t thread);
  bool CountStep();
  // Action 25: blocks the calling thread, until the engine terminates.
  void Wait(int32_t milliseconds);
  // `text`, or "Out of memory" when it is longer than a string may be.
  std::string Bounded(std::string text) const;

  // `DoAction`
  void DoAction(const ScriptLine& line, size_t number, int32_t page, int32_t thread);
  void Dispatch(int32_t code, const ScriptLine& line, int32_t page, int32_t thread);
  void CoreAction(int32_t code, const ScriptLine& line, int32_t page, int32_t thread);
  void AppearanceAction(int32_t code, const ScriptLine& line, int32_t thread);
  void DialogAction(int32_t code, const ScriptLine& line, int32_t page, int32_t thread);
  void FileAction(int32_t code, const ScriptLine& line, int32_t page, int32_t thread);
  void SettingsAction(int32_t code, const ScriptLine& line, int32_t thread);
  void LanAction(int32_t code, const ScriptLine& line);
  void Navigate(int32_t code, const ScriptLine& line, int32_t page, int32_t thread);
  void CallFunction(size_t number, const ScriptLine& line, int32_t page, int32_t thread);
  void StartThread(int32_t slot, std::string body);

  // Argument kinds.
  std::string S(const ScriptLine& line, size_t i);
  std::string ObjectNumber(const ScriptLine& line, size_t i);
  double D(const ScriptLine& line, size_t i);
  int32_t N(const ScriptLine& line, size_t i);
  bool B(const ScriptLine& line, size_t i);
  std::string P(const ScriptLine& line, size_t i);
  uint32_t C(const ScriptLine& line, size_t i);

  // Runs `task` on the main thread: at once for thread 0, handed over otherwise.
  void OnMain(int32_t thread, const std::function<void()>& task);

  ScriptStage& m_stage;
  Environment& m_environment;
  TValues& m_values;
  Evaluator& m_evaluator;
  const Mode m_mode;
  ScriptCache m_cache;
  std::atomic<bool> m_terminating{false};
  std::mutex m_wait_mutex;
  std::condition_variable m_wait_ended;  // told when the engine terminates
  uint64_t m_step_limit = 0;
  size_t m_max_string_bytes = size_t{256} << 20;
  std::atomic<uint64_t> m_steps{0};
  CompatRecorder* m_compat = nullptr;
  UnavailableLan m_no_lan;
  LanPort* m_lan = &m_no_lan;

  // Set before scripts run; read by every thread.
  std::vector<TFunc> m_functions;
  std::vector<int> m_priorities;  // slot n at n - 1: 6 minus its digit
  std::vector<EmbeddedFile> m_embedded_files;

  mutable std::mutex m_mutex;
  std::condition_variable m_thread_ended;
  // --- The following fields are protected by m_mutex.
  std::string m_navigation_target;
  std::string m_ini_name;  // the INI file bound, as the script named it
  int m_running_threads = 0;
};

}  // namespace morvane
