#include "platform/sandbox_policy.h"

#include <cstdlib>
#include <fstream>

#include "platform/md5.h"
#include "util/ascii_case.h"

namespace morvane {
namespace {

// $NAME when it is set to an absolute path, else $HOME + `fallback`.
std::string XdgFolder(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  if (value && value[0] == '/') return value;
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : "/tmp") + fallback;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

std::optional<bool> TruthValue(std::string_view text) {
  const std::string lowered = AsciiLower(text);
  if (lowered == "yes" || lowered == "true" || lowered == "on" || lowered == "1") return true;
  if (lowered == "no" || lowered == "false" || lowered == "off" || lowered == "0") return false;
  return std::nullopt;
}

}  // namespace

const char* SandboxRefusalName(SandboxRefusal what) {
  switch (what) {
    case SandboxRefusal::kProgramStart:
      return "program";
    case SandboxRefusal::kDownload:
      return "download";
    case SandboxRefusal::kLan:
      return "lan";
    case SandboxRefusal::kPlugin:
      return "plugin";
    case SandboxRefusal::kWrite:
      return "write";
    case SandboxRefusal::kLink:
      return "link";
  }
  return "";
}

void SandboxPolicy::Refuse(SandboxRefusal what, std::string_view detail) const {
  std::function<void(SandboxRefusal, std::string_view)> observer;
  {
    std::lock_guard lock(m_mutex);
    observer = m_observer;
  }
  if (observer) observer(what, detail);
}

void SandboxPolicy::SetObserver(
    std::function<void(SandboxRefusal what, std::string_view detail)> observer) {
  std::lock_guard lock(m_mutex);
  m_observer = std::move(observer);
}

std::string PlayerConfigPath() {
  return XdgFolder("XDG_CONFIG_HOME", "/.config") + "/morvane/player.conf";
}

PlayerConfig ReadPlayerConfig(const std::string& path) {
  PlayerConfig config;
  std::ifstream in(path, std::ios::binary);
  if (!in) return config;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '#') continue;
    const size_t equals = text.find('=');
    const std::string where = path + ":" + std::to_string(number) + ": ";
    if (equals == std::string_view::npos) {
      config.error = where + "expected NAME = VALUE";
      return config;
    }
    const std::string name = AsciiLower(Trim(text.substr(0, equals)));
    const std::string_view value = Trim(text.substr(equals + 1));
    bool* setting = name == "sandbox"         ? &config.sandbox.sandbox
                    : name == "allow-network" ? &config.sandbox.allow_network
                    : name == "allow-plugins" ? &config.sandbox.allow_plugins
                                              : nullptr;
    if (!setting) {
      config.error = where + "unknown setting '" + name + "'";
      return config;
    }
    const std::optional<bool> truth = TruthValue(value);
    if (!truth) {
      config.error = where + "'" + std::string(value) + "' is not yes or no";
      return config;
    }
    *setting = *truth;
  }
  return config;
}

std::string SandboxPrefix(std::string_view title, uint64_t size) {
  const std::string key = std::string(title) + "\n" + std::to_string(size);
  return XdgFolder("XDG_DATA_HOME", "/.local/share") + "/morvane/sandbox/" +
         Md5Hex(key).substr(0, 16);
}

}  // namespace morvane
