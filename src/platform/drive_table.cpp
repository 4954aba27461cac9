#include "platform/drive_table.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "util/ascii_case.h"

namespace morvane {
namespace {

char UpperLetter(char letter) {
  const char upper = AsciiToUpper(letter);
  return upper >= 'A' && upper <= 'Z' ? upper : '\0';
}

std::string TrimRoot(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root.empty() ? "/" : root;
}

std::string JoinHost(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// Windows drops the trailing dots and blanks of a name ("a.txt. " is
// "a.txt"); "." and ".." are left to the caller.
std::string_view TrimName(std::string_view name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  return name;
}

std::optional<std::string> RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  if (!realpath(path.c_str(), buffer)) return std::nullopt;
  return std::string(buffer);
}

bool IsUnder(const std::string& path, const std::string& folder);

// The entry of `folder` named `name` ignoring ASCII case; the exact name wins.
std::optional<std::string> FindEntry(const std::string& folder, const std::string& name) {
  struct stat info {};
  if (lstat(JoinHost(folder, name).c_str(), &info) == 0) return name;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return std::nullopt;
  std::optional<std::string> found;
  while (dirent* entry = readdir(dir)) {
    if (EqualsIgnoreCase(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

struct Mount {
  std::string device;
  std::string point;
  std::string type;
};

// /proc/mounts escapes spaces and a few other bytes as \ooo.
std::string Unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string octal = field.substr(i + 1, 3);
      if (octal.find_first_not_of("01234567") == std::string::npos) {
        out.push_back(static_cast<char>(std::stoi(octal, nullptr, 8)));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

std::vector<Mount> ReadMounts() {
  std::vector<Mount> mounts;
  std::ifstream in("/proc/mounts");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    Mount mount;
    if (fields >> mount.device >> mount.point >> mount.type) {
      mount.device = Unescape(mount.device);
      mount.point = Unescape(mount.point);
      mounts.push_back(std::move(mount));
    }
  }
  return mounts;
}

bool IsUnder(const std::string& path, const std::string& folder) {
  if (folder == "/") return !path.empty() && path[0] == '/';
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == '/');
}

// The whole-disk name of a partition device: /dev/sdb1 -> sdb, /dev/mmcblk0p1
// -> mmcblk0, /dev/nvme0n1p2 -> nvme0n1.
std::string DiskOfDevice(const std::string& device) {
  if (device.rfind("/dev/", 0) != 0) return "";
  std::string name = device.substr(5);
  if (name.rfind("mmcblk", 0) == 0 || name.rfind("nvme", 0) == 0) {
    const size_t p = name.rfind('p');
    if (p != std::string::npos && p + 1 < name.size() && p > 4 &&
        name.find_first_not_of("0123456789", p + 1) == std::string::npos)
      name.resize(p);
    return name;
  }
  while (!name.empty() && name.back() >= '0' && name.back() <= '9') name.pop_back();
  return name;
}

bool IsRemovableDevice(const std::string& device) {
  const std::string disk = DiskOfDevice(device);
  if (disk.empty()) return false;
  std::ifstream in("/sys/block/" + disk + "/removable");
  char flag = '0';
  return in >> flag && flag == '1';
}

bool IsRemovableMount(const Mount& mount) {
  return IsUnder(mount.point, "/media") || IsUnder(mount.point, "/run/media") ||
         IsRemovableDevice(mount.device);
}

}  // namespace

DriveKind FileSystemKind(const std::string& host_path) {
  const Mount* best = nullptr;
  const std::vector<Mount> mounts = ReadMounts();
  for (const Mount& mount : mounts) {
    if (IsUnder(host_path, mount.point) && (!best || mount.point.size() >= best->point.size()))
      best = &mount;
  }
  if (!best) return DriveKind::kFixed;
  const std::string& type = best->type;
  if (type == "nfs" || type == "nfs4" || type == "cifs" || type == "smb3" || type == "smbfs" ||
      type == "9p" || type == "fuse.sshfs" || type == "afs" || type == "ceph")
    return DriveKind::kNetwork;
  if (type == "tmpfs" || type == "ramfs") return DriveKind::kRam;
  if (type == "iso9660" || type == "udf") return DriveKind::kCdRom;
  if (best->point != "/" && IsRemovableMount(*best)) return DriveKind::kRemovable;
  return DriveKind::kFixed;
}

int RefusalErrno(PathRefusal refusal) {
  switch (refusal) {
    case PathRefusal::kNone:
      return 0;
    case PathRefusal::kUnmapped:
      return ENOENT;
    case PathRefusal::kBadName:
      return EINVAL;
    case PathRefusal::kReadOnly:
    case PathRefusal::kOutside:
      return EACCES;
  }
  return ENOENT;
}

bool IsForbiddenName(std::string_view name) {
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
    if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) return true;
  }
  // A device name stays one with an extension and with blanks before it.
  std::string base(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  base = AsciiUpper(base);
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
      base == "CONOUT$")
    return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '0' && base[3] <= '9';
}

DriveTable::DriveTable(int code_page) : m_code_page(code_page) {}

void DriveTable::Map(char letter, std::string host_root, std::optional<DriveKind> kind,
                     bool read_only) {
  const char upper = UpperLetter(letter);
  if (!upper) return;
  std::lock_guard lock(m_mutex);
  m_drives[upper] = Drive{TrimRoot(std::move(host_root)), kind, read_only};
}

void DriveTable::SetConfined(bool confined) {
  std::lock_guard lock(m_mutex);
  m_confined = confined;
}

bool DriveTable::confined() const {
  std::lock_guard lock(m_mutex);
  return m_confined;
}

bool DriveTable::IsReadOnly(char letter) const {
  const std::optional<Drive> drive = Find(letter);
  return drive && drive->read_only;
}

void DriveTable::SetRefusalHandler(
    std::function<void(std::string_view windows_path, PathRefusal refusal)> handler) {
  std::lock_guard lock(m_mutex);
  m_refusal_handler = std::move(handler);
}

void DriveTable::Unmap(char letter) {
  std::lock_guard lock(m_mutex);
  m_drives.erase(UpperLetter(letter));
}

std::optional<DriveTable::Drive> DriveTable::Find(char letter) const {
  std::lock_guard lock(m_mutex);
  const auto it = m_drives.find(UpperLetter(letter));
  if (it == m_drives.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> DriveTable::HostRoot(char letter) const {
  const std::optional<Drive> drive = Find(letter);
  if (!drive) return std::nullopt;
  return drive->host_root;
}

std::vector<char> DriveTable::Letters() const {
  std::lock_guard lock(m_mutex);
  std::vector<char> letters;
  for (const auto& [letter, drive] : m_drives) letters.push_back(letter);
  return letters;
}

void DriveTable::AddRemovableMedia() {
  for (const Mount& mount : ReadMounts()) {
    if (mount.point == "/" || !IsRemovableMount(mount)) continue;
    std::lock_guard lock(m_mutex);
    bool mapped = false;
    for (const auto& [letter, drive] : m_drives) mapped |= drive.host_root == mount.point;
    if (mapped) continue;
    for (char letter = 'D'; letter <= 'Y'; ++letter) {
      if (!m_drives.count(letter)) {
        m_drives[letter] = Drive{mount.point, DriveKind::kRemovable};
        break;
      }
    }
  }
}

void DriveTable::SetCurrentFolder(std::string windows_folder) {
  if (windows_folder.empty() || (windows_folder.back() != '\\' && windows_folder.back() != '/'))
    windows_folder.push_back('\\');
  std::lock_guard lock(m_mutex);
  m_current_folder = std::move(windows_folder);
}

std::string DriveTable::CurrentFolder() const {
  std::lock_guard lock(m_mutex);
  return m_current_folder;
}

std::optional<std::string> DriveTable::ToHost(std::string_view windows_path,
                                              PathAccess access) const {
  return Resolve(windows_path, access).host;
}

HostResolution DriveTable::Resolve(std::string_view windows_path, PathAccess access) const {
  auto refuse = [&](PathRefusal refusal) {
    if (refusal == PathRefusal::kReadOnly || refusal == PathRefusal::kOutside) {
      std::function<void(std::string_view, PathRefusal)> handler;
      {
        std::lock_guard lock(m_mutex);
        handler = m_refusal_handler;
      }
      if (handler) handler(windows_path, refusal);
    }
    return HostResolution{std::nullopt, refusal};
  };
  std::string path(windows_path);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.rfind("\\\\", 0) == 0) return refuse(PathRefusal::kUnmapped);  // a network share
  const std::string current = CurrentFolder();
  char letter = 0;
  std::string rest;
  if (path.size() >= 2 && path[1] == ':' && UpperLetter(path[0])) {
    letter = UpperLetter(path[0]);
    rest = path.substr(2);
    // "C:name" is relative to the drive's root: the player keeps no current
    // folder per drive.
  } else if (!path.empty() && path[0] == '\\') {
    letter = UpperLetter(current.empty() ? 'C' : current[0]);
    rest = path;
  } else {
    letter = UpperLetter(current.empty() ? 'C' : current[0]);
    rest = (current.size() > 2 ? current.substr(2) : std::string("\\")) + "\\" + path;
  }
  const std::optional<Drive> drive = Find(letter);
  if (!drive) return refuse(PathRefusal::kUnmapped);

  // Windows reads ".." by the text of the path, before any file is looked at,
  // so a link inside the drive cannot turn it into a way out.
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= rest.size()) {
    const size_t end = std::min(rest.find('\\', start), rest.size());
    const std::string_view part = std::string_view(rest).substr(start, end - start);
    start = end + 1;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    const std::string_view name = TrimName(part);
    if (name.empty()) continue;  // "", ".", "..." and blanks stay where they are
    if (IsForbiddenName(name)) return refuse(PathRefusal::kBadName);
    parts.emplace_back(name);
  }
  if (access == PathAccess::kWrite && drive->read_only) return refuse(PathRefusal::kReadOnly);

  const bool confined = this->confined();
  std::optional<std::string> real_root;
  if (confined) real_root = RealPath(drive->host_root).value_or(drive->host_root);
  std::string host = drive->host_root;
  bool exists = true;
  for (const std::string& part : parts) {
    const std::string name = ToUtf8(part, m_code_page);
    if (name.find('/') != std::string::npos) return refuse(PathRefusal::kBadName);
    std::optional<std::string> found;
    if (exists) found = FindEntry(host, name);
    exists = found.has_value();
    host = JoinHost(host, found ? *found : name);
    if (!confined || !exists) continue;
    struct stat link {};
    if (lstat(host.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) continue;
    // A dangling link is refused too: creating its file would create the
    // link's target, wherever it points.
    const std::optional<std::string> target = RealPath(host);
    if (!target || !IsUnder(*target, *real_root)) return refuse(PathRefusal::kOutside);
  }
  return HostResolution{host, PathRefusal::kNone};
}

std::optional<std::string> DriveTable::ToWindows(std::string_view host_path) const {
  const std::string host(host_path);
  std::lock_guard lock(m_mutex);
  const std::pair<const char, Drive>* best = nullptr;
  for (const auto& entry : m_drives) {
    if (!IsUnder(host, entry.second.host_root)) continue;
    if (!best || entry.second.host_root.size() > best->second.host_root.size()) best = &entry;
  }
  if (!best) return std::nullopt;
  const std::string& root = best->second.host_root;
  std::string rest =
      root == "/" ? host.substr(1) : host.substr(std::min(host.size(), root.size() + 1));
  for (char& c : rest) {
    if (c == '/') c = '\\';
  }
  return std::string(1, best->first) + ":\\" + FromUtf8(rest, m_code_page);
}

DriveKind DriveTable::Kind(char letter) const {
  const std::optional<Drive> drive = Find(letter);
  if (!drive) return DriveKind::kUnknown;
  struct stat info {};
  if (stat(drive->host_root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return DriveKind::kUnknown;
  if (drive->kind) return *drive->kind;
  return FileSystemKind(drive->host_root);
}

void DriveTable::SetFixedSpace(uint64_t total, uint64_t free) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_fixed_space.emplace(total, free);
}

std::optional<uint64_t> DriveTable::TotalBytes(char letter) const {
  const std::optional<Drive> drive = Find(letter);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (drive && m_fixed_space) return m_fixed_space->first;
  }
  struct statvfs fs {};
  if (!drive || statvfs(drive->host_root.c_str(), &fs) != 0) return std::nullopt;
  return static_cast<uint64_t>(fs.f_blocks) * fs.f_frsize;
}

std::optional<uint64_t> DriveTable::FreeBytes(char letter) const {
  const std::optional<Drive> drive = Find(letter);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (drive && m_fixed_space) return m_fixed_space->second;
  }
  struct statvfs fs {};
  if (!drive || statvfs(drive->host_root.c_str(), &fs) != 0) return std::nullopt;
  return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
}

}  // namespace morvane
