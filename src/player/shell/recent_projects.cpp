#include "player/shell/recent_projects.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace morvane {

namespace fs = std::filesystem;

std::string RecentProjects::DefaultFile() {
  fs::path config;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && fs::path(xdg).is_absolute()) {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    config = fs::path(home) / ".config";
  } else {
    return {};
  }
  return (config / "morvane-player" / "recent-projects").string();
}

std::vector<std::string> RecentProjects::Load() const {
  std::vector<std::string> entries;
  std::ifstream in(m_file);
  for (std::string line; entries.size() < kMaxEntries && std::getline(in, line);) {
    if (!line.empty() && line[0] == '/') entries.push_back(line);
  }
  return entries;
}

bool RecentProjects::Add(const std::string& project) const {
  if (m_file.empty()) return false;
  std::error_code ec;
  fs::path absolute = fs::absolute(project, ec).lexically_normal();
  if (ec) return false;
  // "folder/" and "folder" are one project.
  if (!absolute.has_filename() && absolute.has_parent_path()) absolute = absolute.parent_path();
  const std::string entry = absolute.string();
  if (entry.find('\n') != std::string::npos) return false;  // a line cannot hold it
  std::vector<std::string> entries{entry};
  for (const std::string& old : Load()) {
    if (old != entry && entries.size() < kMaxEntries) entries.push_back(old);
  }
  const fs::path file(m_file);
  fs::create_directories(file.parent_path(), ec);
  const fs::path temp = file.string() + ".new-" + std::to_string(getpid());
  {
    std::ofstream out(temp, std::ios::trunc);
    for (const std::string& e : entries) out << e << '\n';
    out.close();
    if (!out) {
      fs::remove(temp, ec);
      return false;
    }
  }
  fs::rename(temp, file, ec);
  if (!ec) return true;
  fs::remove(temp, ec);
  return false;
}

}  // namespace morvane
