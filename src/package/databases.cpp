#include "package/databases.h"

#include "util/ascii_case.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace morvane {

std::string DatabaseEngineLibraryPath(std::string_view windows_folder) {
  std::string path(windows_folder);
  if (path.empty() || path.back() != '\\') path += '\\';
  return path + "System32\\sqlite3.dll";
}

std::string EnsureDatabaseEngine(const DriveTable& drives, std::string_view windows_folder,
                                 const Container& container) {
  const std::string windows_path = DatabaseEngineLibraryPath(windows_folder);
  const std::string cannot_write = "Cannot create file \"" + windows_path + "\".";
  std::optional<std::string> host = drives.ToHost(windows_path, PathAccess::kWrite);
  if (!host) return cannot_write;
  std::error_code ec;
  if (std::filesystem::exists(*host, ec)) return "";
  std::optional<std::string> bytes = container.Resource("SQLite3");
  if (!bytes) return "Resource SQLite3 not found.";
  const std::filesystem::path target(*host);
  std::filesystem::create_directories(target.parent_path(), ec);
  // Written beside its place first, so that no half-written library is ever
  // found there.
  const std::filesystem::path part = target.parent_path() / (target.filename().string() + "." +
                                                             std::to_string(getpid()) + ".part");
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out.write(bytes->data(), std::streamsize(bytes->size()));
    out.close();
    if (!out) {
      std::filesystem::remove(part, ec);
      return cannot_write;
    }
  }
  // A hard link never replaces a file that another player put there meanwhile.
  std::filesystem::create_hard_link(part, target, ec);
  const bool linked = !ec;
  const bool there = std::filesystem::exists(target, ec);
  std::filesystem::remove(part, ec);
  return linked || there ? "" : cannot_write;
}

bool GetDB(const std::vector<TAPDatabase>& databases, std::string_view name, TAPDatabase& record) {
  for (const TAPDatabase& db : databases) {
    if (EqualsIgnoreCase(db.name, name)) {
      record = db;
      return true;
    }
  }
  return false;
}

}  // namespace morvane
