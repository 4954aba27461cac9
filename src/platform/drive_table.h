#pragma once

// The drive letters scripts see, each mapped to a folder of the host. Windows
// paths ("C:\Data\a.txt", backslashes or slashes, any letter case) become host
// paths only when a file is touched; each component is looked up ignoring
// case, so a project written for a case-blind file system finds its files.
//
// Every path is resolved component by component: ".." never climbs above the
// drive's root, names Windows refuses (device names such as CON or NUL,
// names holding ":", wildcards or control bytes) are refused here too, and
// trailing dots and blanks are dropped from each name as Windows drops them.
// A drive may be read-only; a confined table follows no symbolic link that
// leads out of the drive it starts in.
//
// The table is shared by every thread of the player; all members lock.

#include <cstdint>
#include <functional>
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

// What a path is wanted for: writing covers creating, replacing, renaming
// and deleting.
enum class PathAccess { kRead, kWrite };

// Why a Windows path has no host path.
enum class PathRefusal {
  kNone,
  kUnmapped,  // no such drive, a network path, an empty path
  kBadName,   // a name Windows refuses
  kReadOnly,  // a write to a read-only drive
  kOutside,   // a symbolic link that leaves its drive, in a confined table
};

// The errno value a refusal stands for: ENOENT, EINVAL, EACCES, EACCES.
int RefusalErrno(PathRefusal refusal);

// Whether Windows refuses `name` as one component of a path: a device name
// (CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$, with or without an
// extension), or a name holding a control byte or one of < > : " / \ | ? *.
// `name` is taken after its trailing dots and blanks are dropped.
bool IsForbiddenName(std::string_view name);

struct HostResolution {
  std::optional<std::string> host;
  PathRefusal refusal = PathRefusal::kNone;
};

class DriveTable {
 public:
  explicit DriveTable(int code_page = kDefaultCodePage);

  // Maps `letter` (A-Z, either case) to the host folder `host_root`. Without a
  // kind, the kind comes from the file system the folder lives on.
  void Map(char letter, std::string host_root, std::optional<DriveKind> kind = std::nullopt,
           bool read_only = false);
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
  // Writes are refused on a read-only drive.
  std::optional<std::string> ToHost(std::string_view windows_path,
                                    PathAccess access = PathAccess::kRead) const;
  // The same, with the reason when there is no host path.
  HostResolution Resolve(std::string_view windows_path, PathAccess access) const;

  // Confined: a symbolic link met on the way (or at the end) must lead to a
  // place inside the drive's folder, or the path is refused. For projects the
  // user does not trust; their own projects follow links as the host does.
  void SetConfined(bool confined);
  bool confined() const;
  bool IsReadOnly(char letter) const;
  // Told of every refusal of a read-only drive or of a link that leaves its
  // drive, on the thread that asked; set before the table is shared.
  void SetRefusalHandler(
      std::function<void(std::string_view windows_path, PathRefusal refusal)> handler);

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
    bool read_only = false;
  };
  std::optional<Drive> Find(char letter) const;

  int m_code_page;
  mutable std::mutex m_mutex;
  // --- The following fields are protected by m_mutex.
  std::map<char, Drive> m_drives;
  std::string m_current_folder = "C:\\";
  std::optional<std::pair<uint64_t, uint64_t>> m_fixed_space;  // total, free
  bool m_confined = false;
  std::function<void(std::string_view, PathRefusal)> m_refusal_handler;
};

// The kind of the file system that holds `host_path`, from /proc/mounts.
DriveKind FileSystemKind(const std::string& host_path);

}  // namespace morvane
