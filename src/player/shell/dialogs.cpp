#include "player/shell/dialogs.h"

namespace morvane {

std::vector<std::string> RunOpenFileDialog(Player&, int32_t, const OpenFileRequest&) {
  return {};
}

std::optional<std::string> RunSaveFileDialog(Player&, int32_t, const SaveFileRequest&) {
  return std::nullopt;
}

std::string RunFolderDialog(Player&, int32_t, const FolderRequest& request) {
  return request.initial_folder;
}

std::optional<uint32_t> RunColourDialog(Player&, int32_t, std::optional<uint32_t>) {
  return std::nullopt;
}

FontChoice RunFontDialog(Player&, int32_t, const FontChoice& initial) {
  return initial;
}

}  // namespace morvane
