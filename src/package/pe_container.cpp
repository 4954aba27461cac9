#include "package/pe_container.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "util/ascii_case.h"
#include "util/fd_io.h"

#include "platform/trailer.h"

namespace morvane {

namespace {

constexpr uint32_t kRcDataType = 10;
constexpr uint16_t kPe32Magic = 0x10b;
constexpr uint16_t kPe32PlusMagic = 0x20b;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kHighBit = 0x80000000u;

[[noreturn]] void Fail(const std::string& what) {
  throw ContainerError("malformed Windows executable: " + what);
}

uint16_t Le16(const char* p) {
  return static_cast<uint16_t>(uint8_t(p[0]) | uint8_t(p[1]) << 8);
}

uint32_t Le32(const char* p) {
  return uint32_t(uint8_t(p[0])) | uint32_t(uint8_t(p[1])) << 8 | uint32_t(uint8_t(p[2])) << 16 |
         uint32_t(uint8_t(p[3])) << 24;
}

// `size` bytes at `offset`, or a failure naming `what`.
const char* At(std::string_view bytes, uint64_t offset, uint64_t size, const char* what) {
  if (offset > bytes.size() || bytes.size() - offset < size)
    Fail(std::string(what) + " is cut off");
  return bytes.data() + offset;
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | code >> 6));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | code >> 12));
    out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | code >> 18));
    out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// UTF-16LE to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const char* p, uint32_t units) {
  std::string out;
  for (uint32_t i = 0; i < units; ++i) {
    uint32_t code = Le16(p + 2 * i);
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < units) {
      const uint32_t low = Le16(p + 2 * (i + 1));
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;
    AppendUtf8(out, code);
  }
  return out;
}

struct Section {
  uint32_t virtual_address;
  uint32_t virtual_size;
  uint32_t raw_size;
  uint32_t raw_offset;
};

// Where an RVA lies in the file and how many bytes of file data follow it.
struct Span {
  uint64_t offset;
  uint64_t available;
};

class ImageMap {
 public:
  ImageMap(std::string_view bytes, std::vector<Section> sections, uint32_t header_size)
      : m_bytes(bytes), m_sections(std::move(sections)), m_header_size(header_size) {}

  std::optional<Span> Map(uint64_t rva) const {
    for (const Section& s : m_sections) {
      // Raw data beyond the virtual size is still mapped up to the page end,
      // so a section spans whichever of the two sizes is larger.
      const uint64_t extent = std::max(s.virtual_size, s.raw_size);
      if (rva < s.virtual_address || rva - s.virtual_address >= extent) continue;
      const uint64_t delta = rva - s.virtual_address;
      if (delta >= s.raw_size) return std::nullopt;  // zero fill, not in the file
      return Clip(uint64_t(s.raw_offset) + delta, s.raw_size - delta);
    }
    if (rva < m_header_size) return Clip(rva, m_header_size - rva);
    return std::nullopt;
  }

  // `size` bytes at an RVA, all of them in the file.
  const char* Read(uint64_t rva, uint64_t size, const char* what) const {
    const std::optional<Span> span = Map(rva);
    if (!span) Fail(std::string(what) + " lies outside the file");
    if (span->available < size) Fail(std::string(what) + " runs past its section or the file");
    return m_bytes.data() + span->offset;
  }

 private:
  std::optional<Span> Clip(uint64_t offset, uint64_t available) const {
    if (offset >= m_bytes.size()) return std::nullopt;
    return Span{offset, std::min<uint64_t>(available, m_bytes.size() - offset)};
  }

  std::string_view m_bytes;
  std::vector<Section> m_sections;
  uint32_t m_header_size;
};

struct DirectoryEntry {
  uint32_t name;
  uint32_t target;
};

// The entries of the resource directory at an RVA. Their number is bounded
// by the 16-bit counts and by the bytes present.
std::vector<DirectoryEntry> ReadDirectory(const ImageMap& image, uint64_t rva, const char* what) {
  const char* header = image.Read(rva, 16, what);
  const uint32_t count = uint32_t(Le16(header + 12)) + Le16(header + 14);
  const char* table = image.Read(rva, 16 + uint64_t(count) * 8, what);
  std::vector<DirectoryEntry> entries(count);
  for (uint32_t i = 0; i < count; ++i) {
    entries[i].name = Le32(table + 16 + 8 * i);
    entries[i].target = Le32(table + 16 + 8 * i + 4);
  }
  return entries;
}

// The first entry of the resource directory at an RVA, if it has any.
std::optional<DirectoryEntry> FirstEntry(const ImageMap& image, uint64_t rva, const char* what) {
  const char* header = image.Read(rva, 16, what);
  if (Le16(header + 12) == 0 && Le16(header + 14) == 0) return std::nullopt;
  const char* entry = image.Read(rva + 16, 8, what);
  return DirectoryEntry{Le32(entry), Le32(entry + 4)};
}

class Mapping {
 public:
  Mapping(void* address, size_t size) : m_address(address), m_size(size) {}
  ~Mapping() { munmap(m_address, m_size); }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;

 private:
  void* m_address;
  size_t m_size;
};

}  // namespace

std::unique_ptr<PeContainer> PeContainer::Open(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw ContainerError(path + ": " + std::strerror(errno));
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    throw ContainerError(path + ": not a regular file");
  }
  const size_t size = static_cast<size_t>(info.st_size);
  std::shared_ptr<const void> owner;
  std::string_view bytes;
  // The mapping stays valid while the file grows (trailers are only ever
  // appended); a file cut short under a running reader is not guarded against.
  void* address = size > 0 ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
  if (address != MAP_FAILED) {
    owner = std::make_shared<Mapping>(address, size);
    bytes = std::string_view(static_cast<const char*>(address), size);
  } else {
    auto buffer = std::make_shared<std::string>(size, '\0');
    buffer->resize(PreadUpTo(fd, buffer->data(), size, 0));
    bytes = *buffer;
    owner = std::move(buffer);
  }
  close(fd);
  try {
    return std::unique_ptr<PeContainer>(new PeContainer(std::move(owner), bytes));
  } catch (const ContainerError& error) {
    throw ContainerError(path + ": " + error.what());
  }
}

PeContainer::PeContainer(std::string bytes) {
  auto buffer = std::make_shared<std::string>(std::move(bytes));
  m_bytes = *buffer;
  m_owner = std::move(buffer);
  Parse();
}

PeContainer::PeContainer(std::shared_ptr<const void> owner, std::string_view bytes)
    : m_owner(std::move(owner)), m_bytes(bytes) {
  Parse();
}

void PeContainer::Parse() {
  const std::string_view b = m_bytes;
  if (b.size() < 2 || b[0] != 'M' || b[1] != 'Z') Fail("no MZ signature");
  const uint32_t pe_offset = Le32(At(b, 0x3C, 4, "the DOS header"));
  if (std::memcmp(At(b, pe_offset, 4, "the PE signature"), "PE\0\0", 4) != 0) {
    Fail("no PE signature");
  }
  const char* file_header = At(b, uint64_t(pe_offset) + 4, 20, "the file header");
  const uint16_t section_count = Le16(file_header + 2);
  const uint16_t optional_size = Le16(file_header + 16);
  const uint64_t optional_offset = uint64_t(pe_offset) + 24;
  const char* optional = At(b, optional_offset, optional_size, "the optional header");
  if (optional_size < 2) Fail("the optional header is too short");
  const uint16_t magic = Le16(optional);
  uint32_t directories_at;
  if (magic == kPe32Magic) {
    directories_at = 96;
  } else if (magic == kPe32PlusMagic) {
    directories_at = 112;
  } else {
    Fail("unknown optional header kind");
  }
  if (optional_size < directories_at) Fail("the optional header is too short");
  const uint32_t header_size = Le32(optional + 60);
  const uint32_t directory_count = Le32(optional + directories_at - 4);

  std::vector<Section> sections(section_count);
  const char* table =
      At(b, optional_offset + optional_size, uint64_t(section_count) * 40, "the section table");
  for (uint32_t i = 0; i < section_count; ++i) {
    const char* s = table + 40 * i;
    sections[i] = Section{Le32(s + 12), Le32(s + 8), Le32(s + 16), Le32(s + 20)};
  }
  const ImageMap image(b, std::move(sections), header_size);

  const uint64_t resource_entry = directories_at + uint64_t(kResourceDirectoryIndex) * 8;
  if (directory_count <= kResourceDirectoryIndex || resource_entry + 8 > optional_size) return;
  const uint32_t root_rva = Le32(optional + resource_entry);
  if (root_rva == 0) return;  // no resources

  // Level 1: resource types. Only the first RCDATA entry is looked into.
  const std::vector<DirectoryEntry> types =
      ReadDirectory(image, root_rva, "the resource directory");
  const auto rcdata = std::find_if(types.begin(), types.end(),
                                   [](const DirectoryEntry& e) { return e.name == kRcDataType; });
  if (rcdata == types.end()) return;
  if (!(rcdata->target & kHighBit)) Fail("the RCDATA entry holds no name directory");

  // Level 2: names; level 3: languages, of which the first one is used. Every
  // directory offset counts from the root, and nothing is deeper than three
  // levels, so no directory can loop back on another.
  const auto from_root = [root_rva](uint32_t offset) {
    return uint64_t(root_rva) + (offset & ~kHighBit);
  };
  const std::vector<DirectoryEntry> names =
      ReadDirectory(image, from_root(rcdata->target), "the RCDATA name directory");
  // Entries may share one name string; decoding it over and over would cost
  // far more than the file holds, so the names together may not exceed it.
  uint64_t name_budget = b.size();
  for (const DirectoryEntry& entry : names) {
    std::string name;
    if (entry.name & kHighBit) {
      const uint64_t at = from_root(entry.name);
      const uint16_t units = Le16(image.Read(at, 2, "a resource name"));
      const char* text = image.Read(at + 2, uint64_t(units) * 2, "a resource name");
      if (uint64_t(units) * 2 > name_budget)
        Fail("the resource names add up to more than the file");
      name_budget -= uint64_t(units) * 2;
      name = Utf16ToUtf8(text, units);
    } else {
      name = "#" + std::to_string(entry.name);
    }
    if (!(entry.target & kHighBit)) Fail("resource " + name + " has no language directory");
    const std::optional<DirectoryEntry> language =
        FirstEntry(image, from_root(entry.target), "a language directory");
    if (!language) continue;
    if (language->target & kHighBit) Fail("resource " + name + " nests deeper than three levels");
    const char* data_entry = image.Read(from_root(language->target), 16, "a resource data entry");
    const uint32_t data_rva = Le32(data_entry);
    const uint32_t data_size = Le32(data_entry + 4);
    Location location{0, data_size};
    if (data_size > 0) {
      const char* data = image.Read(data_rva, data_size, ("the data of resource " + name).c_str());
      location.offset = static_cast<uint64_t>(data - b.data());
    }
    if (m_by_folded_name.emplace(AsciiUpper(name), m_entries.size()).second) {
      m_entries.push_back(Entry{std::move(name), location});
    }
  }
}

std::optional<PeContainer::Location> PeContainer::Locate(std::string_view name) const {
  const auto found = m_by_folded_name.find(AsciiUpper(name));
  if (found == m_by_folded_name.end()) return std::nullopt;
  return m_entries[found->second].location;
}

std::optional<std::string> PeContainer::Resource(std::string_view name) const {
  const std::optional<Location> location = Locate(name);
  if (!location) return std::nullopt;
  return std::string(m_bytes.substr(location->offset, location->size));
}

std::vector<std::string> PeContainer::ResourceNames() const {
  std::vector<std::string> names;
  names.reserve(m_entries.size());
  for (const Entry& entry : m_entries) names.push_back(entry.name);
  return names;
}

std::optional<std::string> PeContainer::Trailer() const {
  return ReadTrailerBlock(m_bytes);
}

}  // namespace morvane
