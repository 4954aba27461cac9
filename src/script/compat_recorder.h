#pragma once

// The compatibility report: which rows of the compatibility table a run met
// (or the scripts of a project name), how often, and where first. The player
// keeps one recorder when a report is asked for and none otherwise; the
// script engine, the object actions and the evaluators only look at a null
// pointer then.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "expr/environment.h"
#include "package/project_model.h"
#include "script/compat_table.h"

namespace morvane {

// A place in a project. Object names and events are as the project's sources
// name them ("OBJ5", "on_mouse_down", "on_show", "function 2").
struct CompatPlace {
  std::optional<int32_t> page;
  std::string object;          // in the project's code page; empty: none
  std::string event;           // empty: not known
  std::optional<size_t> line;  // from 1
  bool operator==(const CompatPlace&) const = default;
};

struct CompatEntry {
  const CompatRow* row = nullptr;
  uint64_t count = 0;
  CompatPlace first;
  // What was asked for (a library, a file), each once, in the order met;
  // bytes of the project's code page. At most kMaxCompatDetails.
  std::vector<std::string> details;
};

inline constexpr size_t kMaxCompatDetails = 32;

// A script line as it runs: the script's text, its window and its line
// number (from 1) within that text. Empty outside scripts.
struct ScriptSite {
  std::string_view script;
  int32_t page = 0;
  size_t line = 0;
};

// The place of a running script in the project: the first script of the
// project with the same text (one on the script's own page first); the
// script's window and line when none has it (a script replaced at run time).
CompatPlace LocateScript(const Project* project, const ScriptSite& site);

class CompatRecorder final : public FunctionObserver {
 public:
  // `project` (may be null) places running scripts; it must outlive the
  // recorder.
  explicit CompatRecorder(const Project* project = nullptr) : m_project(project) {}

  // Thread-safe.
  void Note(const CompatRow& row, const ScriptSite& site);
  void Note(const CompatRow& row, const CompatPlace& place, uint64_t times = 1,
            std::string_view detail = {});
  void NoteAction(int32_t code, const ScriptSite& site);
  void NoteObjectAction(ObjectKind object, int32_t code, const ScriptSite& site);
  void NoteService(CompatService service, const CompatPlace& place, std::string_view detail = {});

  // The script line running on the calling thread.
  void NumericFunctionCalled(int32_t code) override;
  void StringFunctionCalled(int32_t code) override;

  // In table order.
  std::vector<CompatEntry> Entries() const;

 private:
  const Project* m_project;
  mutable std::mutex m_mutex;
  // --- The following fields are protected by m_mutex.
  std::vector<CompatEntry> m_entries;  // in the order met
};

// The script line running on the calling thread, as the script engine keeps
// it while a recorder is installed.
ScriptSite CurrentScriptSite();

// The report as a JSON document: {"entries": [{...}, ...]}. Object names and
// details are converted from `code_page`.
std::string CompatReportJson(const std::vector<CompatEntry>& entries, int code_page);

}  // namespace morvane
