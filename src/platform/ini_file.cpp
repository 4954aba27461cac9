#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

#include "util/ascii_case.h"
#include "util/fd_io.h"
#include "util/int_text.h"
#include "util/number_text.h"

namespace morvane {
namespace {

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// The file's lines; *found tells whether it could be read.
std::vector<std::string> ReadLines(const std::string& path, bool* found) {
  const std::optional<std::string> bytes = ReadRegularFile(path);
  *found = bytes.has_value();
  std::vector<std::string> lines;
  if (!bytes) return lines;
  std::istringstream in(*bytes);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Writes of this process to one file, one at a time.
std::mutex& WriteLock(const std::string& path) {
  static std::mutex guard;
  static std::map<std::string, std::unique_ptr<std::mutex>> locks;
  std::lock_guard lock(guard);
  std::unique_ptr<std::mutex>& m = locks[path];
  if (!m) m = std::make_unique<std::mutex>();
  return *m;
}

// The section name of a header line, or nothing for other lines.
std::optional<std::string_view> SectionOf(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] != '[') return std::nullopt;
  const size_t close = trimmed.find(']');
  return Trim(
      trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// The key of a "key=value" line, or nothing.
std::optional<std::string_view> KeyOf(std::string_view line) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(0, equals));
}

}  // namespace

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) const {
  bool found = false;
  const std::vector<std::string> lines = ReadLines(m_path, &found);
  bool in_section = false;
  bool seen_section = false;
  for (const std::string& line : lines) {
    if (const std::optional<std::string_view> name = SectionOf(line)) {
      if (seen_section && in_section) return std::nullopt;
      in_section = EqualsIgnoreCase(*name, Trim(section));
      seen_section |= in_section;
      continue;
    }
    if (!in_section) continue;
    const std::optional<std::string_view> line_key = KeyOf(line);
    if (!line_key || !EqualsIgnoreCase(*line_key, Trim(key))) continue;
    std::string_view value = Trim(std::string_view(line).substr(line.find('=') + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
      value = value.substr(1, value.size() - 2);
    return std::string(value);
  }
  return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  const std::optional<std::string> value = Read(section, key);
  return value ? *value : std::string(fallback);
}

double IniFile::ReadFloat(std::string_view section, std::string_view key, double fallback) const {
  const std::optional<std::string> value = Read(section, key);
  if (!value || value->empty()) return fallback;
  return TextToFloat(*value).value_or(fallback);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t fallback) const {
  const std::optional<std::string> value = Read(section, key);
  if (!value || value->empty()) return fallback;
  return ParseInt32(*value).value_or(fallback);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
  std::lock_guard write_lock(WriteLock(m_path));
  bool found = false;
  std::vector<std::string> lines = ReadLines(m_path, &found);
  // Something is there that cannot be read (a folder, a device, a huge
  // file): it is not replaced by what little this write knows.
  std::error_code ec;
  if (!found && std::filesystem::symlink_status(m_path, ec).type() !=
                    std::filesystem::file_type::not_found)
    throw IniWriteError("Unable to write to " + m_path);
  const std::string entry = std::string(Trim(key)) + "=" + std::string(value);
  std::optional<size_t> section_line;
  std::optional<size_t> key_line;
  size_t section_end = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (const std::optional<std::string_view> name = SectionOf(lines[i])) {
      if (section_line) {
        section_end = i;
        break;
      }
      if (EqualsIgnoreCase(*name, Trim(section))) section_line = i;
      continue;
    }
    if (section_line && !key_line) {
      const std::optional<std::string_view> line_key = KeyOf(lines[i]);
      if (line_key && EqualsIgnoreCase(*line_key, Trim(key))) key_line = i;
    }
  }
  if (key_line) {
    lines[*key_line] = entry;
  } else if (section_line) {
    // After the section's last non-blank line.
    size_t at = section_end;
    while (at > *section_line + 1 && Trim(lines[at - 1]).empty()) --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
  } else {
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + std::string(Trim(section)) + "]");
    lines.push_back(entry);
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";

  // A name of this write's own, beside the file.
  std::string temp = m_path + ".tmpXXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) throw IniWriteError("Unable to write to " + m_path);
  // The old file's mode, or the usual one of a new file (mkostemp makes it
  // private to the user).
  struct stat old {};
  const mode_t mode = stat(m_path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  const bool written = fchmod(fd, mode) == 0 && WriteFully(fd, text.data(), text.size());
  if (close(fd) != 0 || !written) {
    std::remove(temp.c_str());
    throw IniWriteError("Unable to write to " + m_path);
  }
  if (std::rename(temp.c_str(), m_path.c_str()) != 0) {
    std::remove(temp.c_str());
    throw IniWriteError("Unable to write to " + m_path);
  }
}

}  // namespace morvane
