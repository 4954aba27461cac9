#include "platform/path_macros.h"

#include "util/ascii_case.h"

namespace morvane {

std::string ExpandPathMacros(std::string_view text, const MacroFolders& folders) {
  std::string result(text);
  if (result.find('[') != std::string::npos) {
    result = ReplaceAllIgnoreCase(result, "[src]", folders.exe);
    result = ReplaceAllIgnoreCase(result, "[win]", folders.windows);
    result = ReplaceAllIgnoreCase(result, "[tmp]", folders.temp);
    result = ReplaceAllIgnoreCase(result, "[sys]", folders.windows + "System32\\");
    result = ReplaceAllIgnoreCase(result, "[embed]", folders.qmtemp);
  }
  return ReplaceAllIgnoreCase(result, "\\\\", "\\");
}

std::optional<std::string> ExtractionName(std::string_view entry_path) {
  const size_t cut = entry_path.find_last_of("\\:");
  const std::string_view name =
      cut == std::string_view::npos ? entry_path : entry_path.substr(cut + 1);
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos)
    return std::nullopt;
  return std::string(name);
}

bool IsCursorFileName(std::string_view name) {
  const size_t dot = name.find('.');
  if (dot == std::string_view::npos) return false;
  const std::string extension = AsciiLower(name.substr(dot));
  return extension == ".cur" || extension == ".ani";
}

bool IsNativeLibraryName(std::string_view name) {
  return name.size() > 3 && AsciiLower(name.substr(name.size() - 3)) == ".so";
}

}  // namespace morvane
