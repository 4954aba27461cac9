#pragma once

// The project's database declarations: the engine library the player puts on
// the machine once a database is declared, and the lookup by name.

#include "package/container.h"
#include "package/project_model.h"
#include "platform/drive_table.h"

#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// The engine library's Windows path: the Windows folder (ending in "\") +
// "System32\sqlite3.dll".
std::string DatabaseEngineLibraryPath(std::string_view windows_folder);

// Writes the container's "SQLite3" resource to the engine library path when
// no file is there; an existing file is never replaced. Returns the failure's
// message, empty on success.
std::string EnsureDatabaseEngine(const DriveTable& drives, std::string_view windows_folder,
                                 const Container& container);

// `GetDB`: the first declaration whose name equals `name` ignoring case goes
// to `record`; when none does, `record` is left as it was and false returned.
bool GetDB(const std::vector<TAPDatabase>& databases, std::string_view name, TAPDatabase& record);

}  // namespace morvane
