#pragma once

// The projects the player opened lately, newest first, for its start window.
// They are kept in one text file, one absolute path a line, in the user's
// configuration folder ($XDG_CONFIG_HOME, else ~/.config).

#include <string>
#include <vector>

namespace morvane {

class RecentProjects {
 public:
  static constexpr size_t kMaxEntries = 10;

  explicit RecentProjects(std::string file) : m_file(std::move(file)) {}
  // $XDG_CONFIG_HOME/morvane-player/recent-projects, ~/.config in place of
  // an unset or relative $XDG_CONFIG_HOME; empty when neither is known.
  static std::string DefaultFile();

  // Newest first; nothing when the file does not exist or cannot be read.
  std::vector<std::string> Load() const;
  // Puts the project at the front (once), keeps kMaxEntries, and replaces the
  // file whole, so a reader never sees half a list. False when the file
  // cannot be written; the list is a convenience and nothing else fails.
  bool Add(const std::string& project) const;

  const std::string& file() const { return m_file; }

 private:
  std::string m_file;
};

}  // namespace morvane
