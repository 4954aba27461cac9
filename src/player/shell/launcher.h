#pragma once

// How morvane-player starts: the project named on the command line, the demo
// (--demo), the project its own executable carries, or, when that is the demo
// or nothing and a user is there to choose (not headless), the start window.
// A project chosen in the start window runs as if it had been named on the
// command line. Projects opened by path, but never the demo, join the recent
// projects once they have started.

#include "player/automation/options.h"
#include "player/shell/recent_projects.h"

#include <memory>
#include <string>
#include <vector>

namespace morvane {

class PlayerShell;
class StartWindow;

class Launcher {
 public:
  // `self` is the player's own executable.
  Launcher(PlayerOptions options, std::vector<std::string> command_line, std::string self,
           RecentProjects recent);
  ~Launcher();
  Launcher(const Launcher&) = delete;
  Launcher& operator=(const Launcher&) = delete;

  // Starts the player or shows the start window; false when the program must
  // end now with exit_code() (the reason was shown).
  bool Launch();
  int exit_code() const;

  // Ends the program the orderly way, whichever window runs.
  void EndProgram(int exit_code);

  PlayerShell* player() const { return m_player.get(); }
  StartWindow* start_window() const { return m_start_window.get(); }

 private:
  bool StartPlayer(std::string project, bool record);
  void ShowStartWindow(bool demo_available);

  PlayerOptions m_options;
  std::vector<std::string> m_command_line;
  std::string m_self;
  RecentProjects m_recent;
  std::unique_ptr<PlayerShell> m_player;
  std::unique_ptr<StartWindow> m_start_window;
  int m_exit_code = 1;
};

}  // namespace morvane
