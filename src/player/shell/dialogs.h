#pragma once

// The open, save, folder, colour and font dialogs of the script actions. Each
// page window keeps its own open-file dialog settings and colour; paths go in
// and come back as Windows paths through the drive table.
//
// The player's user host answers each (Qt's dialogs on a desktop, the lines
// of --dialog-answers headless: see user_host.h). Every dialog is traced as
// {"event":"dialog","kind":...,"result":...}.

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
// `initial`: nothing keeps the page's last colour. Nothing when cancelled.
std::optional<uint32_t> RunColourDialog(Player& player, int32_t page,
                                        std::optional<uint32_t> initial);
// The dialog's font afterwards: the chosen one, or `initial` when cancelled.
FontChoice RunFontDialog(Player& player, int32_t page, const FontChoice& initial);

// The file dialogs' filter text ("Text|*.txt|All|*.*") as Qt name filters.
std::vector<std::string> NameFilters(std::string_view filter);

}  // namespace morvane
