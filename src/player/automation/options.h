#pragma once

// The player's command line.

#include <optional>
#include <string>
#include <vector>

#include "platform/sandbox_policy.h"

namespace morvane {

struct PlayerOptions {
  std::string project;  // empty: the running executable, or the start window
  // What the project's own command line holds: the arguments after PROJECT,
  // or, for an executable that carries its project, every argument that is
  // not an option of the player ("--" ends those).
  std::vector<std::string> project_arguments;
  bool demo = false;    // run the demo the player's own executable carries
  bool headless = false;
  bool no_transitions = false;  // every page appears at once
  std::vector<int> answers;
  std::string trace_file;
  std::optional<int> quit_after_ms;
  std::string dump_vars_file;
  std::string compat_report_file;
  std::string screenshot_dir;
  std::string input_file;
  // Headless dialog answers, one per line; empty: every dialog is cancelled.
  std::string dialog_answers_file;
  std::string print_to_dir;      // not empty: print jobs become PDF files there
  std::optional<int> code_page;  // else guessed from the project's fonts
  // "none": sound plays silently in real time; "auto": the desktop's output;
  // empty: none when headless, else auto.
  std::string audio;
  // --sandbox / --no-sandbox; nothing: as the per-user settings say.
  std::optional<bool> sandbox;
  bool allow_network = false;
  bool allow_plugins = false;
  // How long a LAN connection may send nothing before the server closes it.
  std::optional<int> lan_idle_timeout_ms;
  // The per-user settings (player.conf), read by the program's entry.
  SandboxSettings user_settings;
  bool help = false;
  bool version = false;
};

// The sandbox settings of the run: the command line over the user's settings.
SandboxSettings SandboxOf(const PlayerOptions& options);

struct ParsedOptions {
  PlayerOptions options;
  std::string error;  // not empty: the arguments were refused
};

// `packed`: the player's own executable carries the project, so it takes no
// PROJECT and every argument that is not an option goes to the project.
ParsedOptions ParsePlayerArguments(const std::vector<std::string>& arguments,
                                   bool packed = false);

const char* PlayerUsage();

}  // namespace morvane
