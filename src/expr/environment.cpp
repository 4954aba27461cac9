#include "expr/environment.h"

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>

namespace morvane {

LocalTime SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                   parts.tm_min,         parts.tm_sec,     parts.tm_wday};
}

Environment::Environment(Stage& stage, int code_page)
    : m_stage(&stage),
      m_code_page(code_page),
      m_drives(code_page),
      m_registry(std::make_unique<RegistryAccessor>(nullptr)) {}

std::unique_ptr<Environment> Environment::Create(Stage& stage, const EnvironmentOptions& options) {
  namespace fs = std::filesystem;
  auto env = std::make_unique<Environment>(stage, options.code_page);
  std::string prefix = options.prefix;
  if (prefix.empty()) {
    if (const char* value = std::getenv("MORVANE_PREFIX")) prefix = value;
  }
  if (prefix.empty()) {
    const char* home = std::getenv("HOME");
    prefix = std::string(home ? home : "/tmp") + "/.local/share/morvane/prefix";
  }
  std::error_code error;
  fs::create_directories(fs::path(prefix) / "windows" / "system32", error);
  fs::create_directories(fs::path(prefix) / "windows" / "temp", error);
  if (!fs::is_directory(fs::path(prefix) / "windows" / "temp"))
    throw std::runtime_error("cannot make the prefix folder " + prefix);
  prefix = fs::absolute(prefix).lexically_normal().string();

  std::string exe_host = options.exe_host_path;
  if (exe_host.empty()) exe_host = fs::read_symlink("/proc/self/exe", error).string();
  exe_host = fs::absolute(exe_host, error).lexically_normal().string();

  env->m_drives.Map('C', prefix);
  if (options.sandbox.sandbox) {
    env->m_sandbox = std::make_unique<SandboxPolicy>(options.sandbox);
    // The exe folder, as a CD would give it: there to read, never to change.
    std::string exe_folder = fs::path(exe_host).parent_path().string();
    env->m_drives.Map('D', exe_folder.empty() ? "/" : exe_folder, std::nullopt, true);
    env->m_drives.SetConfined(true);
    SandboxPolicy* policy = env->m_sandbox.get();
    env->m_drives.SetRefusalHandler([policy](std::string_view path, PathRefusal refusal) {
      policy->Refuse(
          refusal == PathRefusal::kOutside ? SandboxRefusal::kLink : SandboxRefusal::kWrite, path);
    });
  } else {
    env->m_drives.Map('Z', "/");
    if (options.removable_media) env->m_drives.AddRemovableMedia();
  }
  const std::string exe_windows = env->m_drives.ToWindows(exe_host).value_or("C:\\player.exe");
  env->SetFolders(exe_windows, "C:\\windows\\", "C:\\windows\\temp\\");
  env->m_drives.SetCurrentFolder(env->m_exe_folder);

  if (options.registry) {
    const std::string file =
        options.registry_file.empty() ? prefix + "/registry.db" : options.registry_file;
    env->m_registry_store = std::make_unique<RegistryStore>(file);
    env->m_registry = std::make_unique<RegistryAccessor>(env->m_registry_store.get());
  }
  return env;
}

void Environment::SetFolders(std::string exe_path, std::string windows_folder,
                             std::string temp_folder) {
  m_exe_path = std::move(exe_path);
  const size_t cut = m_exe_path.find_last_of('\\');
  m_exe_folder = cut == std::string::npos ? std::string() : m_exe_path.substr(0, cut + 1);
  m_windows_folder = std::move(windows_folder);
  m_temp_folder = std::move(temp_folder);
}

MacroFolders Environment::macro_folders() const {
  return MacroFolders{m_exe_folder, m_windows_folder, m_temp_folder, m_temp_folder + "QMTEMP\\"};
}

void Environment::SetClock(std::function<LocalTime()> clock) {
  std::lock_guard lock(m_mutex);
  m_clock = std::move(clock);
}

LocalTime Environment::Now() const {
  std::lock_guard lock(m_mutex);
  return m_clock();
}

int64_t Environment::Random(int64_t range) {
  if (range < 1) return 0;
  std::lock_guard lock(m_mutex);
  return std::uniform_int_distribution<int64_t>(0, range - 1)(m_random);
}

void Environment::SeedRandom(uint64_t seed) {
  std::lock_guard lock(m_mutex);
  m_random.seed(seed);
}

void Environment::SetSearchResults(std::vector<std::string> names) {
  std::lock_guard lock(m_mutex);
  m_search_results = std::move(names);
}

std::optional<std::vector<std::string>> Environment::SearchResults() const {
  std::lock_guard lock(m_mutex);
  return m_search_results;
}

void Environment::BindIniFile(std::string host_path) {
  std::lock_guard lock(m_mutex);
  m_ini.emplace(std::move(host_path));
}

std::optional<IniFile> Environment::BoundIniFile() const {
  std::lock_guard lock(m_mutex);
  return m_ini;
}

}  // namespace morvane
