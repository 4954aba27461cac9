#pragma once

// The process-wide state the built-in functions read, in one object handed to
// the evaluators: the stage, the drive table, the player's folders, the
// registry and INI accessors, the clock, the random generator and the result
// list of the last file search. The script layer writes the parts its actions
// change (the open INI file, the search results, the registry key).
//
// Thread-safe: each part locks for itself.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "expr/stage.h"
#include "platform/drive_table.h"
#include "platform/ini_file.h"
#include "platform/path_macros.h"
#include "platform/registry_store.h"
#include "platform/sandbox_policy.h"

namespace morvane {

// The local date and time of the moment.
struct LocalTime {
  int year = 2000;
  int month = 1;  // 1-12
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 6;  // 0 Sunday ... 6 Saturday
};

LocalTime SystemLocalTime();

// Told of every call of a built-in function, on the evaluating thread.
class FunctionObserver {
 public:
  virtual void NumericFunctionCalled(int32_t code) = 0;
  virtual void StringFunctionCalled(int32_t code) = 0;

 protected:
  ~FunctionObserver() = default;
};

struct EnvironmentOptions {
  // The host folder that is drive C: (it gets windows\, windows\system32\ and
  // windows\temp\). Empty: $MORVANE_PREFIX, else ~/.local/share/morvane/prefix.
  std::string prefix;
  // The host path of the project file; the exe folder is its folder, seen
  // through Z:. Empty: the running program.
  std::string exe_host_path;
  // The registry database; empty: "registry.db" in the prefix.
  std::string registry_file;
  // Without a registry every registry read fails.
  bool registry = true;
  int code_page = kDefaultCodePage;
  // Whether mounted removable media get drive letters.
  bool removable_media = true;
  // In the sandbox the drive table holds C: (the prefix, which the caller
  // names: SandboxPrefix) and the exe folder as the read-only drive D:,
  // nothing else, and links may not lead out of their drive.
  SandboxSettings sandbox;
};

class Environment {
 public:
  // A stage and nothing else: no registry, an empty drive table, folders
  // under C:. For callers that set up the rest themselves.
  explicit Environment(Stage& stage, int code_page = kDefaultCodePage);
  // The usual set-up: the prefix created, C: and Z: mapped (C: and D: in the
  // sandbox), the registry open.
  // Throws std::runtime_error when the prefix cannot be made.
  static std::unique_ptr<Environment> Create(Stage& stage, const EnvironmentOptions& options);

  Stage& stage() { return *m_stage; }
  DriveTable& drives() { return m_drives; }
  RegistryAccessor& registry() { return *m_registry; }
  // What the run may do beyond its drive table; refusals of the drive table
  // (read-only drives, links that leave a drive) reach its observer too.
  SandboxPolicy& sandbox() { return *m_sandbox; }
  const SandboxPolicy& sandbox() const { return *m_sandbox; }
  int code_page() const { return m_code_page; }

  // Windows paths, each ending in "\".
  const std::string& exe_folder() const { return m_exe_folder; }
  const std::string& windows_folder() const { return m_windows_folder; }
  const std::string& temp_folder() const { return m_temp_folder; }
  // The program's own path (a Windows path).
  const std::string& exe_path() const { return m_exe_path; }
  void SetFolders(std::string exe_path, std::string windows_folder, std::string temp_folder);
  MacroFolders macro_folders() const;

  // Replaces the clock, for tests.
  void SetClock(std::function<LocalTime()> clock);
  LocalTime Now() const;

  // A whole number r with 0 <= r < range; 0 when range < 1.
  int64_t Random(int64_t range);
  void SeedRandom(uint64_t seed);

  // The file-search result list: nothing before the first search.
  void SetSearchResults(std::vector<std::string> names);
  std::optional<std::vector<std::string>> SearchResults() const;

  // The INI file the INI actions bound, by host path; nothing before.
  void BindIniFile(std::string host_path);
  std::optional<IniFile> BoundIniFile() const;

  // Set before any script runs; nothing: no one is told.
  void SetFunctionObserver(FunctionObserver* observer) { m_function_observer = observer; }
  FunctionObserver* function_observer() const { return m_function_observer; }

 private:
  Stage* m_stage;
  int m_code_page;
  DriveTable m_drives;
  std::unique_ptr<SandboxPolicy> m_sandbox = std::make_unique<SandboxPolicy>();
  std::unique_ptr<RegistryStore> m_registry_store;
  std::unique_ptr<RegistryAccessor> m_registry;
  std::string m_exe_folder = "C:\\";
  std::string m_windows_folder = "C:\\windows\\";
  std::string m_temp_folder = "C:\\windows\\temp\\";
  std::string m_exe_path = "C:\\player.exe";
  FunctionObserver* m_function_observer = nullptr;

  mutable std::mutex m_mutex;
  // --- The following fields are protected by m_mutex.
  std::function<LocalTime()> m_clock = SystemLocalTime;
  std::mt19937_64 m_random{std::random_device{}()};
  std::optional<std::vector<std::string>> m_search_results;
  std::optional<IniFile> m_ini;
};

}  // namespace morvane
