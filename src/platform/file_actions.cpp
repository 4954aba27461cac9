#include "platform/file_actions.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "platform/trailer.h"
#include "util/ascii_case.h"
#include "util/fd_io.h"

namespace morvane {
namespace {

bool Exists(const std::string& host) {
  struct stat info {};
  return lstat(host.c_str(), &info) == 0;
}

bool ReadAt(int fd, uint64_t offset, size_t size, std::string& out) {
  out.assign(size, '\0');
  return PreadFully(fd, out.data(), size, offset);
}

bool HasKeyword(std::string_view lowered, std::string_view keyword) {
  return lowered.find(keyword) != std::string_view::npos;
}

}  // namespace

bool CopyFileReplacing(const DriveTable& drives, std::string_view from, std::string_view to) {
  const std::optional<std::string> source = drives.ToHost(from);
  const std::optional<std::string> target = drives.ToHost(to, PathAccess::kWrite);
  if (!source || !target) return false;
  std::error_code error;
  if (!std::filesystem::is_regular_file(*source, error)) return false;
  return std::filesystem::copy_file(*source, *target,
                                    std::filesystem::copy_options::overwrite_existing, error) &&
         !error;
}

bool MoveFileNoReplace(const DriveTable& drives, std::string_view from, std::string_view to) {
  // Moving takes the file away from where it was: both ends are writes.
  const std::optional<std::string> source = drives.ToHost(from, PathAccess::kWrite);
  const std::optional<std::string> target = drives.ToHost(to, PathAccess::kWrite);
  if (!source || !target || !Exists(*source) || Exists(*target)) return false;
  if (rename(source->c_str(), target->c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  std::error_code error;
  if (!std::filesystem::is_regular_file(*source, error)) return false;
  if (!std::filesystem::copy_file(*source, *target, error) || error) return false;
  if (unlink(source->c_str()) != 0) {
    unlink(target->c_str());
    return false;
  }
  return true;
}

bool DeleteFileOnly(const DriveTable& drives, std::string_view path) {
  const std::optional<std::string> host = drives.ToHost(path, PathAccess::kWrite);
  return host && unlink(host->c_str()) == 0;
}

void WriteWholeFile(const DriveTable& drives, std::string_view path, std::string_view bytes) {
  const HostResolution resolved = drives.Resolve(path, PathAccess::kWrite);
  const std::optional<std::string>& host = resolved.host;
  auto fail = [&](int error) {
    throw FileError("Cannot create file \"" + std::string(path) + "\". " + std::strerror(error));
  };
  if (!host) fail(RefusalErrno(resolved.refusal));
  const int fd = open(host->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fail(errno);
  const bool written = WriteFully(fd, bytes.data(), bytes.size());
  const int error = errno;
  if (close(fd) != 0 || !written) fail(written ? errno : error);
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*" || pattern == "*") return true;
  size_t p = 0, n = 0;
  size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || AsciiToLower(pattern[p]) == AsciiToLower(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool SearchAdmits(std::string_view kinds, const EntryAttributes& entry) {
  const std::string lowered = AsciiLower(kinds);
  const bool any = HasKeyword(lowered, "anyfile");
  const bool normal = HasKeyword(lowered, "normalfile");
  const bool hidden = HasKeyword(lowered, "hiddenfile");
  const bool system = HasKeyword(lowered, "systemfile");
  const bool read_only = HasKeyword(lowered, "readonlyfile");
  const bool folder = HasKeyword(lowered, "folder");
  const bool volume = HasKeyword(lowered, "volumeid");
  const bool symlink = HasKeyword(lowered, "symlink");
  if (any) {
    if (!entry.directory) return true;
    if (folder) return true;
  }
  if (normal) {
    if (!entry.read_only && !entry.hidden && !entry.system && !entry.volume_label &&
        !entry.directory && !entry.archive)
      return false;
    const bool unwanted = (entry.hidden && !hidden) || (entry.system && !system) ||
                          (entry.read_only && !read_only) || (entry.directory && !folder) ||
                          (entry.volume_label && !volume) || (entry.symlink && !symlink);
    if (!unwanted) return true;
  }
  return (entry.hidden && hidden) || (entry.system && system) || (entry.read_only && read_only) ||
         (entry.directory && folder) || (entry.volume_label && volume) ||
         (entry.symlink && symlink);
}

std::vector<std::string> SearchFolder(const DriveTable& drives, std::string_view mask,
                                      std::string_view folder, std::string_view kinds,
                                      int code_page) {
  std::string pattern(folder);
  if (pattern.empty() || (pattern.back() != '\\' && pattern.back() != '/')) pattern.push_back('\\');
  if (mask.find('*') != std::string_view::npos) {
    pattern.append(mask);
  } else {
    pattern += "*" + std::string(mask) + "*";
  }
  const size_t cut = pattern.find_last_of("\\/");
  const std::string name_pattern = pattern.substr(cut + 1);
  const std::optional<std::string> host = drives.ToHost(pattern.substr(0, cut + 1));
  std::vector<std::string> names;
  if (!host) return names;
  DIR* dir = opendir(host->c_str());
  if (!dir) return names;
  while (dirent* entry = readdir(dir)) {
    const std::string raw = entry->d_name;
    const std::string name = FromUtf8(raw, code_page);
    if (!WildcardMatch(name_pattern, name)) continue;
    const std::string path = (*host == "/" ? "" : *host) + "/" + raw;
    struct stat link {};
    struct stat info {};
    if (lstat(path.c_str(), &link) != 0) continue;
    const bool is_link = S_ISLNK(link.st_mode);
    if (stat(path.c_str(), &info) != 0) info = link;
    EntryAttributes attributes;
    attributes.symlink = is_link;
    attributes.directory = S_ISDIR(info.st_mode);
    attributes.archive = S_ISREG(info.st_mode);
    attributes.read_only = !attributes.directory && (info.st_mode & S_IWUSR) == 0;
    attributes.hidden = raw.size() > 1 && raw[0] == '.' && raw != "..";
    if (SearchAdmits(kinds, attributes)) names.push_back(name);
  }
  closedir(dir);
  return names;
}

void WritePlayerData(const DriveTable& drives, std::string_view path, std::string_view data) {
  const HostResolution resolved = drives.Resolve(path, PathAccess::kWrite);
  const std::optional<std::string>& host = resolved.host;
  if (!host) {
    // A player on a read-only drive is there but cannot take the data.
    struct stat info {};
    const std::optional<std::string> there = drives.ToHost(path);
    if (resolved.refusal == PathRefusal::kReadOnly && there && stat(there->c_str(), &info) == 0 &&
        S_ISREG(info.st_mode))
      throw FileError("Failed to set data.");
    return;
  }
  struct stat info {};
  if (stat(host->c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  if (size < 4) return;
  const int fd = open(host->c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileError("Failed to set data.");
  std::string field;
  std::string block;
  bool read_ok = ReadAt(fd, size - 4, 4, field);
  std::optional<uint32_t> length;
  if (read_ok) {
    length = TrailerBlockLength(field, size);
    if (length) read_ok = ReadAt(fd, size - *length, *length - 4, block);
  }
  close(fd);
  if (!read_ok) throw FileError("Failed to set data.");
  if (!length) return;
  if (block.empty() || (block[0] != '0' && block[0] != '1'))
    throw FileError("This file is not an Morvane executable file.");
  std::string updated = block.substr(0, 1);
  updated.append(data);
  if (data.size() + 1 < block.size()) updated.append(block, data.size() + 1);
  if (!AppendTrailerFile(*host, updated)) throw FileError("Failed to set data.");
}

}  // namespace morvane
