#pragma once

// Opening documents and programs as the desktop would: an executable file is
// started directly with the parameters as its arguments; any other file, a
// folder or an address goes to the desktop's opener (xdg-open). Programs are
// started with an argument vector, never through a shell, so no text of a
// script is ever interpreted as a command.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_table.h"

namespace morvane {

// The argument vector that opens `target` (a Windows path or an address such
// as http://... or mailto:...) with `parameters` (8-bit texts of the code
// page); nothing when the target names no existing file or folder of the
// drive table.
std::optional<std::vector<std::string>> OpenCommand(const DriveTable& drives,
                                                    std::string_view target,
                                                    std::string_view parameters,
                                                    int code_page = kDefaultCodePage);

// A command line cut into arguments the way Windows programs cut theirs:
// blanks separate arguments outside double quotes, quotes group and are
// removed, backslashes before a quote escape it in pairs.
std::vector<std::string> SplitCommandLine(std::string_view parameters);

// Starts argv[0] (searched in PATH when it has no "/") with the arguments and
// returns at once; the child is reaped when it ends. Failures are silent.
void SpawnDetached(const std::vector<std::string>& argv);

}  // namespace morvane
