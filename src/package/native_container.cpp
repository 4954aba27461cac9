#include "package/native_container.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <set>

#include "util/ascii_case.h"
#include "util/fd_io.h"

#include "package/package_writer.h"
#include "platform/trailer.h"

namespace morvane {

namespace {

constexpr char kMagic[8] = {'M', 'R', 'V', 'N', 'P', 'A', 'K', '\xC7'};
constexpr uint32_t kVersion = 1;
constexpr uint64_t kFooterSize = 48;
constexpr uint64_t kMinEntrySize = 2 + 8 + 8;
// Trailer blocks stepped over before giving up; each write of start-up data
// adds one, and no real file comes near this many.
constexpr int kMaxTrailerBlocks = 1 << 16;

[[noreturn]] void Fail(const std::string& what) {
  throw ContainerError("malformed packed executable: " + what);
}

uint16_t Le16(const char* p) {
  return static_cast<uint16_t>(uint8_t(p[0]) | uint8_t(p[1]) << 8);
}

uint32_t Le32(const char* p) {
  return uint32_t(uint8_t(p[0])) | uint32_t(uint8_t(p[1])) << 8 | uint32_t(uint8_t(p[2])) << 16 |
         uint32_t(uint8_t(p[3])) << 24;
}

uint64_t Le64(const char* p) {
  return uint64_t(Le32(p)) | uint64_t(Le32(p + 4)) << 32;
}

void Append(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

uint32_t Crc32(std::string_view bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (char b : bytes) crc = table[(crc ^ uint8_t(b)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

}  // namespace

// Random access to the packed file, its size fixed when it was opened.
class NativeContainer::Source {
 public:
  virtual ~Source() = default;
  virtual uint64_t Size() const = 0;
  // Exactly `size` bytes at `offset`, or false.
  virtual bool Read(uint64_t offset, uint64_t size, char* out) const = 0;

  std::optional<std::string> ReadString(uint64_t offset, uint64_t size) const {
    if (offset > Size() || Size() - offset < size) return std::nullopt;
    std::string out(size, '\0');
    if (!Read(offset, size, out.data())) return std::nullopt;
    return out;
  }
};

namespace {

using Source = NativeContainer::Source;

class ViewSource : public Source {
 public:
  explicit ViewSource(std::string_view bytes) : m_bytes(bytes) {}
  uint64_t Size() const override { return m_bytes.size(); }
  bool Read(uint64_t offset, uint64_t size, char* out) const override {
    if (offset > m_bytes.size() || m_bytes.size() - offset < size) return false;
    std::memcpy(out, m_bytes.data() + offset, size);
    return true;
  }

 protected:
  std::string_view m_bytes;
};

class OwnedSource : public ViewSource {
 public:
  explicit OwnedSource(std::string bytes) : ViewSource({}), m_owned(std::move(bytes)) {
    m_bytes = m_owned;
  }

 private:
  std::string m_owned;
};

class FileSource : public Source {
 public:
  // Throws ContainerError for a file that cannot be opened or is not regular.
  explicit FileSource(const std::string& path) {
    m_fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) throw ContainerError(path + ": " + std::strerror(errno));
    struct stat info;
    if (fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
      close(m_fd);
      throw ContainerError(path + ": not a regular file");
    }
    m_size = static_cast<uint64_t>(info.st_size);
    m_mode = info.st_mode;
  }
  ~FileSource() override { close(m_fd); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  uint64_t Size() const override { return m_size; }
  mode_t Mode() const { return m_mode; }
  int Fd() const { return m_fd; }

  bool Read(uint64_t offset, uint64_t size, char* out) const override {
    return size <= std::numeric_limits<size_t>::max() &&
           PreadFully(m_fd, out, static_cast<size_t>(size), offset);
  }

 private:
  int m_fd = -1;
  uint64_t m_size = 0;
  mode_t m_mode = 0;
};

struct Footer {
  uint64_t archive_offset;
  uint64_t archive_size;
  uint32_t entry_count;
  uint32_t table_size;
  uint32_t table_crc;
};

// The footer found by stepping back from the end over trailer blocks, or
// nothing. A footer whose magics are right but whose fields do not fit is an
// error, not a reason to look further.
std::optional<Footer> FindFooter(const Source& source) {
  uint64_t end = source.Size();
  for (int step = 0; step <= kMaxTrailerBlocks; ++step) {
    if (end >= kFooterSize) {
      char f[kFooterSize];
      if (!source.Read(end - kFooterSize, kFooterSize, f)) Fail("the footer cannot be read");
      if (std::memcmp(f, kMagic, 8) == 0 && std::memcmp(f + 40, kMagic, 8) == 0) {
        const uint64_t footer_at = end - kFooterSize;
        const Footer footer{Le64(f + 16), Le64(f + 24), Le32(f + 12), Le32(f + 32), Le32(f + 36)};
        if (Le32(f + 8) != kVersion) Fail("unknown format version " + std::to_string(Le32(f + 8)));
        if (footer.archive_size > footer_at ||
            footer.archive_offset != footer_at - footer.archive_size) {
          Fail("the archive does not end at the footer");
        }
        if (footer.table_size > footer.archive_size) Fail("the table runs past the archive");
        if (uint64_t(footer.entry_count) * kMinEntrySize > footer.table_size) {
          Fail("more entries than the table holds");
        }
        return footer;
      }
    }
    if (end < 4) return std::nullopt;
    char field[4];
    if (!source.Read(end - 4, 4, field)) return std::nullopt;
    const std::optional<uint32_t> block = TrailerBlockLength(std::string_view(field, 4), end);
    if (!block) return std::nullopt;
    end -= *block;
  }
  return std::nullopt;
}

// The size of the player binary in front of an archive, or all of it.
uint64_t PlayerPart(const Source& source) {
  try {
    if (const std::optional<Footer> footer = FindFooter(source)) return footer->archive_offset;
  } catch (const ContainerError&) {
    // A damaged archive is nothing to keep; the new one will be found first.
  }
  return source.Size();
}

// The archive and its footer for an archive starting at `archive_offset`.
std::string ArchiveAndFooter(const std::vector<std::pair<std::string, std::string>>& resources,
                             uint64_t archive_offset) {
  std::set<std::string> seen;
  uint64_t table_size = 0;
  for (const auto& [name, data] : resources) {
    if (name.empty()) throw WriteError("empty resource name");
    if (name.size() > 0xFFFF) throw WriteError("resource name too long");
    if (!seen.insert(AsciiUpper(name)).second) {
      throw WriteError("resource name given twice: " + name);
    }
    table_size += kMinEntrySize + name.size();
  }
  if (table_size > 0xFFFFFFFFu || resources.size() > 0xFFFFFFFFu) {
    throw WriteError("too many resources");
  }
  std::string archive;
  uint64_t data_at = table_size;
  for (const auto& [name, data] : resources) {
    Append(archive, name.size(), 2);
    archive += name;
    Append(archive, data_at, 8);
    Append(archive, data.size(), 8);
    data_at += data.size();
  }
  const uint32_t crc = Crc32(archive);
  archive.reserve(data_at + kFooterSize);
  for (const auto& resource : resources) archive += resource.second;

  archive.append(kMagic, 8);
  Append(archive, kVersion, 4);
  Append(archive, resources.size(), 4);
  Append(archive, archive_offset, 8);
  Append(archive, data_at, 8);
  Append(archive, table_size, 4);
  Append(archive, crc, 4);
  archive.append(kMagic, 8);
  return archive;
}

}  // namespace

std::unique_ptr<NativeContainer> NativeContainer::Open(const std::string& path) {
  auto source = std::make_unique<FileSource>(path);
  try {
    return std::unique_ptr<NativeContainer>(new NativeContainer(std::move(source)));
  } catch (const ContainerError& error) {
    throw ContainerError(path + ": " + error.what());
  }
}

bool NativeContainer::HasArchive(const std::string& path) {
  std::unique_ptr<FileSource> source;
  try {
    source = std::make_unique<FileSource>(path);
  } catch (const ContainerError&) {
    return false;
  }
  try {
    return FindFooter(*source).has_value();
  } catch (const ContainerError&) {
    return true;  // a footer whose fields do not fit
  }
}

NativeContainer::NativeContainer(std::string bytes)
    : NativeContainer(std::make_unique<OwnedSource>(std::move(bytes))) {}

NativeContainer::~NativeContainer() = default;

NativeContainer::NativeContainer(std::unique_ptr<Source> source) : m_source(std::move(source)) {
  const std::optional<Footer> footer = FindFooter(*m_source);
  if (!footer) throw ContainerError("neither a Windows nor a packed player executable");
  m_archive_offset = footer->archive_offset;
  const std::optional<std::string> table =
      m_source->ReadString(footer->archive_offset, footer->table_size);
  if (!table) Fail("the table cannot be read");
  if (Crc32(*table) != footer->table_crc) Fail("the table checksum does not match");

  const char* p = table->data();
  uint64_t left = table->size();
  m_entries.reserve(footer->entry_count);
  for (uint32_t i = 0; i < footer->entry_count; ++i) {
    if (left < 2) Fail("the table is cut off");
    const uint16_t name_size = Le16(p);
    if (name_size == 0) Fail("a resource without a name");
    if (left < kMinEntrySize + name_size) Fail("the table is cut off");
    std::string name(p + 2, name_size);
    const uint64_t offset = Le64(p + 2 + name_size);
    const uint64_t size = Le64(p + 2 + name_size + 8);
    p += kMinEntrySize + name_size;
    left -= kMinEntrySize + name_size;
    if (offset < footer->table_size || offset > footer->archive_size ||
        size > footer->archive_size - offset) {
      Fail("resource " + name + " lies outside the archive");
    }
    if (m_by_folded_name.emplace(AsciiUpper(name), m_entries.size()).second) {
      m_entries.push_back(Entry{std::move(name), footer->archive_offset + offset, size});
    }
  }
  if (left != 0) Fail("the table holds more than its entries");
}

std::optional<std::string> NativeContainer::Resource(std::string_view name) const {
  const auto found = m_by_folded_name.find(AsciiUpper(name));
  if (found == m_by_folded_name.end()) return std::nullopt;
  const Entry& entry = m_entries[found->second];
  return m_source->ReadString(entry.offset, entry.size);
}

std::vector<std::string> NativeContainer::ResourceNames() const {
  std::vector<std::string> names;
  names.reserve(m_entries.size());
  for (const Entry& entry : m_entries) names.push_back(entry.name);
  return names;
}

std::optional<std::string> NativeContainer::Trailer() const {
  const uint64_t size = m_source->Size();
  if (size < 4) return std::nullopt;
  char field[4];
  if (!m_source->Read(size - 4, 4, field)) return std::nullopt;
  const std::optional<uint32_t> length = TrailerBlockLength(std::string_view(field, 4), size);
  if (!length) return std::nullopt;
  return m_source->ReadString(size - *length, *length - 4);
}

std::string BuildNativeExecutable(std::string_view player_binary,
                                  const std::vector<std::pair<std::string, std::string>>& resources,
                                  std::optional<std::string_view> trailer_payload) {
  const uint64_t player_size = PlayerPart(ViewSource(player_binary));
  std::string out(player_binary.substr(0, player_size));
  out += ArchiveAndFooter(resources, player_size);
  if (trailer_payload) out += TrailerBlock(*trailer_payload);
  return out;
}

void WriteNativeExecutable(const std::string& player_binary_path,
                           const std::vector<std::pair<std::string, std::string>>& resources,
                           std::optional<std::string_view> trailer_payload,
                           const std::string& out_path) {
  std::unique_ptr<FileSource> player;
  try {
    player = std::make_unique<FileSource>(player_binary_path);
  } catch (const ContainerError& error) {
    throw WriteError(error.what());
  }
  const uint64_t player_size = PlayerPart(*player);
  std::string tail = ArchiveAndFooter(resources, player_size);
  if (trailer_payload) tail += TrailerBlock(*trailer_payload);

  std::string temp_path = out_path + ".XXXXXX";
  const int out = mkstemp(temp_path.data());
  if (out < 0) throw WriteError(out_path + ": " + std::strerror(errno));
  const auto fail = [&](const std::string& what, const std::string& reason) {
    close(out);
    unlink(temp_path.c_str());
    return WriteError(what + ": " + reason);
  };
  std::string buffer(1 << 20, '\0');
  for (uint64_t done = 0; done < player_size;) {
    const uint64_t chunk = std::min<uint64_t>(buffer.size(), player_size - done);
    if (!player->Read(done, chunk, buffer.data())) throw fail(player_binary_path, "read failed");
    if (!WriteFully(out, buffer.data(), chunk)) throw fail(out_path, std::strerror(errno));
    done += chunk;
  }
  if (!WriteFully(out, tail.data(), tail.size())) throw fail(out_path, std::strerror(errno));
  if (fchmod(out, player->Mode() & 0777) != 0) throw fail(out_path, std::strerror(errno));
  if (close(out) != 0) {
    const std::string reason = std::strerror(errno);
    unlink(temp_path.c_str());
    throw WriteError(out_path + ": " + reason);
  }
  if (rename(temp_path.c_str(), out_path.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    unlink(temp_path.c_str());
    throw WriteError(out_path + ": " + reason);
  }
}

}  // namespace morvane
