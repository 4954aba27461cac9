#pragma once

// The open, save, folder, colour and font dialogs of the script actions.

#include "script/script_stage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

class Player;

// The chosen paths; empty when cancelled.
std::vector<std::string> RunOpenFileDialog(Player& player, int32_t page,
                                           const OpenFileRequest& request);
std::optional<std::string> RunSaveFileDialog(Player& player, int32_t page,
                                             const SaveFileRequest& request);
// The chosen folder, or the initial one when cancelled.
std::string RunFolderDialog(Player& player, int32_t page, const FolderRequest& request);
std::optional<uint32_t> RunColourDialog(Player& player, int32_t page,
                                        std::optional<uint32_t> initial);
FontChoice RunFontDialog(Player& player, int32_t page, const FontChoice& initial);

}  // namespace morvane
