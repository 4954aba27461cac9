#pragma once

// Path macros and the names embedded files are extracted under.

#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// The folders the macros stand for, each ending in "\".
struct MacroFolders {
  std::string exe;      // [src]
  std::string windows;  // [win]; [sys] is this + "System32\"
  std::string temp;     // [tmp]
  std::string qmtemp;   // [embed]: temp + "QMTEMP\"
};

// Replaces "[src]", "[win]", "[tmp]", "[sys]" and "[embed]" in any letter
// case, in that order, then every doubled backslash by a single one.
std::string ExpandPathMacros(std::string_view text, const MacroFolders& folders);

// The name an embedded file is extracted under: the part of its path after the
// last "\" or ":". Nothing when that name could leave the extraction folder or
// name no file ("", ".", "..", or a "/" or NUL in it).
std::optional<std::string> ExtractionName(std::string_view entry_path);

// Whether the name, from its first "." on and in lower case, is ".cur" or
// ".ani": the files extracted at start even when not all files are.
bool IsCursorFileName(std::string_view name);

// Whether the name ends in ".so" in any letter case: a native plug-in
// library, also extracted at start.
bool IsNativeLibraryName(std::string_view name);

}  // namespace morvane
