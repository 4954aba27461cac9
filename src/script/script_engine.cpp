#include "script/script_engine.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "expr/eval_error.h"
#include "util/int_text.h"
#include "util/number_text.h"

namespace morvane {
namespace {

// The stop request and the stopped mark of the runs of this thread, and how
// deep its runs are nested.
struct RunFlags {
  bool stop_request = false;
  bool stopped = false;
  int depth = 0;
};
thread_local RunFlags t_flags;

// The script running on this thread and its line, kept only while a
// compatibility recorder is installed. A run (DoActions) owns one site; the
// ranges it runs point `index` at their line counter in turn. Invariant:
// every range of a parsed run belongs to the program of the innermost site.
struct RunSite {
  std::string_view script;
  int32_t page = 0;
  const size_t* index = nullptr;  // the line counter of the innermost range
};
thread_local RunSite* t_site = nullptr;

// Makes `site` the thread's site for a scope; nothing for a null site.
class SiteScope {
 public:
  explicit SiteScope(RunSite* site) : m_active(site != nullptr) {
    if (!m_active) return;
    m_saved = t_site;
    t_site = site;
  }
  ~SiteScope() {
    if (m_active) t_site = m_saved;
  }
  SiteScope(const SiteScope&) = delete;
  SiteScope& operator=(const SiteScope&) = delete;

 private:
  bool m_active;
  RunSite* m_saved = nullptr;
};

// Points the thread's site at a range's line counter for a scope.
class RangeScope {
 public:
  RangeScope(bool active, const size_t* index) : m_site(active ? t_site : nullptr) {
    if (!m_site) return;
    m_saved = m_site->index;
    m_site->index = index;
  }
  ~RangeScope() {
    if (m_site) m_site->index = m_saved;
  }
  RangeScope(const RangeScope&) = delete;
  RangeScope& operator=(const RangeScope&) = delete;

 private:
  RunSite* m_site;
  const size_t* m_saved = nullptr;
};

class RunDepth {
 public:
  RunDepth() {
    if (++t_flags.depth > kMaxRunDepth) {
      --t_flags.depth;
      throw ScriptError("Stack overflow");
    }
  }
  ~RunDepth() { --t_flags.depth; }
  RunDepth(const RunDepth&) = delete;
  RunDepth& operator=(const RunDepth&) = delete;
};

// Digits after the decimal point in the shortest decimal form of `value`.
int DecimalPlaces(double value) {
  const std::string text = FloatToText(value);
  const size_t exponent = text.find('E');
  const std::string mantissa = text.substr(0, exponent);
  const size_t point = mantissa.find('.');
  int places = point == std::string::npos ? 0 : static_cast<int>(mantissa.size() - point - 1);
  if (exponent != std::string::npos) places -= std::atoi(text.c_str() + exponent + 1);
  return std::max(places, 0);
}

double RoundToPlaces(double value, int places) {
  if (places == 0) return std::nearbyint(value);
  if (places > 300) return value;
  const double scale = std::pow(10.0, places);
  const double scaled = value * scale;
  if (!std::isfinite(scaled)) return value;
  return std::nearbyint(scaled) / scale;
}

// Whether the number texts of x and of the limit are the same. Values far
// apart cannot share their 15 significant digits, which spares the text.
bool SameNumberText(double x, double limit, const std::string& limit_text) {
  if (x == limit) return true;
  const double scale = std::max(std::fabs(x), std::fabs(limit));
  if (std::isfinite(scale) && std::fabs(x - limit) > scale * 1e-13) return false;
  return FloatToText(x) == limit_text;
}

int NiceOfPriority(int priority) {
  switch (priority) {
    case 1:
      return 19;
    case 2:
      return 10;
    case 3:
      return 5;
    case 5:
      return -5;
    case 6:
      return -10;
    case 7:
      return -20;
    default:
      return 0;
  }
}

}  // namespace

ScriptSite CurrentScriptSite() {
  const RunSite* site = t_site;
  if (!site) return {};
  return ScriptSite{site->script, site->page, site->index ? *site->index + 1 : 0};
}

ScriptEngine::ScriptEngine(ScriptStage& stage, Environment& environment, TValues& values,
                           Evaluator& evaluator, Mode mode)
    : m_stage(stage),
      m_environment(environment),
      m_values(values),
      m_evaluator(evaluator),
      m_mode(mode) {}

ScriptEngine::~ScriptEngine() {
  Terminate();
  WaitForThreads();
}

void ScriptEngine::SetProject(const Project& project) {
  SetFunctions(project.functions);
  SetThreadDigits(project.threads.digits);
  SetEmbeddedFiles(project.embedded_files);
}

void ScriptEngine::SetFunctions(std::vector<TFunc> functions) {
  m_functions = std::move(functions);
}

void ScriptEngine::SetThreadDigits(const std::vector<int>& digits) {
  m_priorities.clear();
  for (int digit : digits) m_priorities.push_back(6 - digit);
}

void ScriptEngine::SetEmbeddedFiles(std::vector<EmbeddedFile> files) {
  m_embedded_files = std::move(files);
}

void ScriptEngine::SetCompatRecorder(CompatRecorder* recorder) {
  m_compat = recorder;
  m_environment.SetFunctionObserver(recorder);
}

void ScriptEngine::RequestStop() {
  t_flags.stop_request = true;
}

void ScriptEngine::Terminate() {
  {
    std::lock_guard lock(m_wait_mutex);
    m_terminating.store(true);
  }
  m_wait_ended.notify_all();
}

void ScriptEngine::Wait(int32_t milliseconds) {
  if (milliseconds <= 0) return;
  std::unique_lock lock(m_wait_mutex);
  m_wait_ended.wait_for(lock, std::chrono::milliseconds(milliseconds),
                        [this] { return Terminating(); });
}

void ScriptEngine::WaitForThreads() {
  for (;;) {
    m_stage.ProcessMainThreadTasks();
    std::unique_lock lock(m_mutex);
    if (m_running_threads == 0) return;
    m_thread_ended.wait_for(lock, std::chrono::milliseconds(1));
  }
}

int ScriptEngine::RunningThreads() const {
  std::lock_guard lock(m_mutex);
  return m_running_threads;
}

std::string ScriptEngine::NavigationTarget() const {
  std::lock_guard lock(m_mutex);
  return m_navigation_target;
}

bool ScriptEngine::CountStep() {
  if (m_step_limit && m_steps.fetch_add(1, std::memory_order_relaxed) >= m_step_limit) Terminate();
  return !Terminating();
}

void ScriptEngine::DoUnthreadActions(std::string_view script) {
  const std::string text(script);
  m_stage.RunOnMainThread([&] { DoActions(1, text, 0); });
}

std::string ScriptEngine::Bounded(std::string text) const {
  if (text.size() > m_max_string_bytes) throw ScriptError("Out of memory");
  return text;
}

void ScriptEngine::DoActions(int32_t page, std::string_view script, int32_t thread) {
  if (Terminating()) return;
  RunSite site{script, page, nullptr};
  SiteScope site_scope(m_compat ? &site : nullptr);
  if (m_mode == Mode::kReference) {
    const std::shared_ptr<const ScriptProgram> program = ParseScript(script);
    RunRange(*program, 0, program->lines.size(), page, thread);
  } else {
    const std::shared_ptr<const ScriptProgram> program = m_cache.Get(script);
    RunRange(*program, 0, program->lines.size(), page, thread);
  }
}

void ScriptEngine::RunBody(const ScriptProgram& program, size_t begin, size_t end, int32_t page,
                           int32_t thread) {
  if (m_mode == Mode::kReference) {
    DoActions(page, JoinScriptLines(program, begin, end), thread);
  } else if (!Terminating()) {
    RunRange(program, begin, end, page, thread);
  }
}

void ScriptEngine::RunRange(const ScriptProgram& program, size_t begin, size_t end, int32_t page,
                            int32_t thread) {
  RunDepth depth;
  RunFlags& flags = t_flags;
  Tifclause clause;
  size_t i = begin;
  RangeScope range_scope(m_compat != nullptr, &i);
  for (;;) {
    if (i >= end) {
      if (flags.stop_request) {
        flags.stop_request = false;
        flags.stopped = true;
      }
      return;
    }
    if (flags.stop_request) {
      flags.stop_request = false;
      flags.stopped = true;
      return;
    }
    if (!CountStep()) return;
    const ScriptLine& line = program.lines[i];
    const size_t number = i - begin + 1;
    try {
      switch (line.kind) {
        case LineKind::kEmpty:
          ++i;
          break;
        case LineKind::kElse:
          // Reached after a then-branch ran: skip to after the end line.
          i = line.match < end ? line.match + 1 : i + 1;
          break;
        case LineKind::kIf:
          clause.Read(line.condition);
          if (EvaluateClause(clause, m_evaluator) == 1 || line.match >= end) {
            ++i;
          } else {
            i = (line.else_line != kNoLine ? line.else_line : line.match) + 1;
          }
          break;
        case LineKind::kFor:
          if (!RunFor(program, i, end, page, thread)) return;
          i = line.match < end ? line.match + 1 : end;
          break;
        case LineKind::kWhile:
          clause.Read(line.condition);
          if (!RunWhile(program, i, end, clause, page, thread)) return;
          i = line.match < end ? line.match + 1 : end;
          break;
        default:
          DoAction(line, number, page, thread);
          ++i;
          break;
      }
    } catch (const std::exception& error) {
      throw ScriptError("Line #" + std::to_string(number) + ": " + error.what());
    }
  }
}

bool ScriptEngine::RunFor(const ScriptProgram& program, size_t at, size_t end, int32_t page,
                          int32_t thread) {
  const ScriptLine& line = program.lines[at];
  const ForHeader& header = line.for_header;
  const double from = m_evaluator.Number(header.from);
  const double to = m_evaluator.Number(header.to);
  const double step = to < from ? -header.step : header.step;
  m_values.SetNumber(header.variable, from, &m_evaluator);
  if (header.step == 0) throw ScriptError("Invalid For Loop, Step can not be zero.");
  const double limit = to + step;
  const std::string limit_text = FloatToText(limit);
  const int places = DecimalPlaces(header.step);
  const size_t body_end = std::min(line.match, end);
  RunFlags& flags = t_flags;
  for (;;) {
    double x = m_values.GetNumber(header.variable, &m_evaluator);
    if (SameNumberText(x, limit, limit_text)) return true;
    flags.stopped = false;
    RunBody(program, at + 1, body_end, page, thread);
    if (flags.stopped || !CountStep()) return false;
    x = m_values.GetNumber(header.variable, &m_evaluator) + step;
    // A value that has passed the end value is pulled back to the limit.
    if (x != limit) {
      const double next = RoundToPlaces(x + step, places);
      if (step > 0 ? next > limit : next < limit) x = limit;
    }
    m_values.SetNumber(header.variable, x, &m_evaluator);
  }
}

bool ScriptEngine::RunWhile(const ScriptProgram& program, size_t at, size_t end, Tifclause& clause,
                            int32_t page, int32_t thread) {
  const size_t body_end = std::min(program.lines[at].match, end);
  RunFlags& flags = t_flags;
  while (EvaluateClause(clause, m_evaluator) > 0) {
    flags.stopped = false;
    RunBody(program, at + 1, body_end, page, thread);
    if (flags.stopped || !CountStep()) return false;
  }
  return true;
}

void ScriptEngine::DoAction(const ScriptLine& line, size_t number, int32_t page, int32_t thread) {
  switch (line.kind) {
    case LineKind::kNumberAssignment:
      m_values.SetNumber(line.name, m_evaluator.Number(line.expression), &m_evaluator);
      return;
    case LineKind::kStringAssignment:
      m_values.SetString(line.name, Bounded(m_evaluator.String(line.expression)), &m_evaluator);
      return;
    case LineKind::kBooleanAssignment:
      m_values.SetBoolean(line.name, m_evaluator.Number(line.expression) > 0, &m_evaluator);
      return;
    case LineKind::kAction:
      if (!line.code) throw ConversionError(line.code_text);
      if (m_compat) m_compat->NoteAction(*line.code, CurrentScriptSite());
      Dispatch(*line.code, line, page, thread);
      return;
    default:
      return;
  }
}

void ScriptEngine::OnMain(int32_t thread, const std::function<void()>& task) {
  if (thread == 0) {
    task();
  } else {
    m_stage.RunOnMainThread(task);
  }
}

void ScriptEngine::CallFunction(size_t number, const ScriptLine& line, int32_t page,
                                int32_t thread) {
  if (number < 1 || number > m_functions.size()) return;
  for (size_t i = 0; i < kActionArgumentCount; ++i) {
    if (!line.arguments[i].empty())
      m_values.SetString(std::to_string(i + 1), Bounded(S(line, i)), &m_evaluator);
  }
  const TFunc& function = m_functions[number - 1];
  if (function.thread_slot > 0) {
    StartThread(function.thread_slot, function.body);
  } else if (thread == 0) {
    DoActions(page, function.body, 0);
  } else {
    // A plain function called from a worker runs on the main thread, in the
    // main window; a stop inside it reaches the worker's enclosing loops.
    bool stopped = false;
    m_stage.RunOnMainThread([&] {
      const bool before = t_flags.stopped;
      t_flags.stopped = false;
      try {
        DoActions(1, function.body, 0);
      } catch (...) {
        t_flags.stopped = before;
        throw;
      }
      stopped = t_flags.stopped;
      t_flags.stopped = before;
    });
    if (stopped) t_flags.stopped = true;
  }
}

void ScriptEngine::StartThread(int32_t slot, std::string body) {
  if (Terminating()) return;
  const size_t index = static_cast<size_t>(slot) - 1;
  const int priority = index < m_priorities.size() ? m_priorities[index] : 4;
  {
    std::lock_guard lock(m_mutex);
    ++m_running_threads;
  }
  // `TAppThread`: runs in the main window; any error ends it silently.
  try {
    std::thread([this, slot, priority, body = std::move(body)] {
      setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), NiceOfPriority(priority));
      try {
        DoActions(1, body, slot);
      } catch (...) {
      }
      std::lock_guard lock(m_mutex);
      --m_running_threads;
      m_thread_ended.notify_all();
    }).detach();
  } catch (...) {
    // No thread could be made (the system's limit): the call fails.
    std::lock_guard lock(m_mutex);
    --m_running_threads;
    m_thread_ended.notify_all();
    throw;
  }
}

}  // namespace morvane
