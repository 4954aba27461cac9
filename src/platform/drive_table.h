#pragma once

// The drive letters scripts see, each mapped to a folder of the host. Windows
// paths ("C:\Data\a.txt", backslashes or slashes, any letter case) become host
// paths only when a file is touched; each component is looked up ignoring
// case, so a project written for a case-blind file system finds its files.
//
// The table is shared by every thread of the player; all members lock.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "util/code_page.h"

namespace morvane {

// The drive kinds scripts can ask for, numbered as they see them.
enum class DriveKind {
  kUnknown = 0,
  kFixed = 1,
  kCdRom = 2,
  kNetwork = 3,
  kRam = 4,
  kRemovable = 5
};

class DriveTable {
 public:
  explicit DriveTable(int code_page = kDefaultCodePage);

  // Maps `letter` (A-Z, either case) to the host folder `host_root`. Without a
  // kind, the kind comes from the file system the folder lives on.
  void Map(char letter, std::string host_root, std::optional<DriveKind> kind = std::nullopt);
  void Unmap(char letter);
  std::optional<std::string> HostRoot(char letter) const;
  // The mapped letters, upper case, in order.
  std::vector<char> Letters() const;

  // Maps every mounted removable medium (a USB stick, a memory card, anything
  // mounted under /media or /run/media) that is not mapped yet to the next free
  // letter from D on.
  void AddRemovableMedia();

  // Relative paths and paths without a drive start from this folder (a Windows
  // path ending in "\"); the exe folder by default.
  void SetCurrentFolder(std::string windows_folder);
  std::string CurrentFolder() const;

  // The host path of a Windows path; nothing for an unmapped drive, a network
  // path or a name that cannot be a host name. ".." never climbs above the
  // drive's root. Components that exist are found ignoring case; the rest are
  // taken as written, so the result also names files about to be created.
  std::optional<std::string> ToHost(std::string_view windows_path) const;

  // The Windows path of a host path, through the drive whose folder holds it
  // most closely (Z: is the host root when it is mapped so).
  std::optional<std::string> ToWindows(std::string_view host_path) const;

  // What the drive is; kUnknown for an unmapped letter or a folder that is gone.
  DriveKind Kind(char letter) const;
  // Size and free space of the file system the drive's folder lives on.
  std::optional<uint64_t> TotalBytes(char letter) const;
  std::optional<uint64_t> FreeBytes(char letter) const;
  // Gives every mapped drive this size and free space in place of its file
  // system's, which change with whatever else uses the disk; for runs that
  // must repeat exactly.
  void SetFixedSpace(uint64_t total, uint64_t free);

 private:
  struct Drive {
    std::string host_root;  // no trailing "/" except for "/" itself
    std::optional<DriveKind> kind;
  };
  std::optional<Drive> Find(char letter) const;

  int m_code_page;
  mutable std::mutex m_mutex;
  // --- The following fields are protected by m_mutex.
  std::map<char, Drive> m_drives;
  std::string m_current_folder = "C:\\";
  std::optional<std::pair<uint64_t, uint64_t>> m_fixed_space;  // total, free
};

// The kind of the file system that holds `host_path`, from /proc/mounts.
DriveKind FileSystemKind(const std::string& host_path);

}  // namespace morvane
