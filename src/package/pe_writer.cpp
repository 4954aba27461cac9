#include "package/pe_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>

#include "util/ascii_case.h"

#include "package/package_writer.h"
#include "platform/trailer.h"

namespace morvane {

namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kPeOffset = 0x80;
constexpr uint32_t kHeaderSize = 0x200;
constexpr uint32_t kTextRva = 0x1000;
constexpr uint32_t kTextOffset = kHeaderSize;
constexpr uint32_t kResourceRva = 0x2000;
constexpr uint32_t kResourceOffset = kTextOffset + kFileAlignment;
constexpr uint64_t kMaxImageSize = 0x80000000u;
constexpr uint32_t kRcDataType = 10;
constexpr uint32_t kHighBit = 0x80000000u;

// A real-mode program that prints the usual notice and exits.
constexpr unsigned char kDosStub[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09,
                                      0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
constexpr char kDosMessage[] = "This program cannot be run in DOS mode.\r\r\n$";
// xor eax, eax; ret
constexpr unsigned char kEntryCode[] = {0x31, 0xC0, 0xC3};

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

void Put16(std::string& out, size_t at, uint32_t value) {
  out[at] = static_cast<char>(value);
  out[at + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>(value >> (8 * i));
}

// UTF-8 to UTF-16 code units; throws WriteError on bytes that are no UTF-8.
std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  size_t i = 0;
  const auto bad = [&text]() {
    return WriteError("resource name is not UTF-8: " + std::string(text));
  };
  while (i < text.size()) {
    const uint8_t lead = static_cast<uint8_t>(text[i]);
    int extra;
    uint32_t code;
    if (lead < 0x80) {
      extra = 0, code = lead;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      extra = 1, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      extra = 2, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead < 0xF5) {
      extra = 3, code = lead & 0x07;
    } else {
      throw bad();
    }
    if (text.size() - i <= size_t(extra)) throw bad();
    for (int k = 1; k <= extra; ++k) {
      const uint8_t next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) throw bad();
      code = code << 6 | (next & 0x3F);
    }
    const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (code < least[extra] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) throw bad();
    if (code >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += size_t(extra) + 1;
  }
  return out;
}

std::optional<uint32_t> NumberedName(std::string_view name) {
  if (name.size() < 2 || name.size() > 6 || name[0] != '#') return std::nullopt;
  uint32_t value = 0;
  for (char c : name.substr(1)) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + uint32_t(c - '0');
  }
  if (value > 0xFFFF || std::to_string(value) != name.substr(1)) return std::nullopt;
  return value;
}

struct Item {
  std::u16string name;  // empty for a numbered entry
  std::u16string key;   // the name folded to upper case, the order of named entries
  uint32_t id = 0;
  const std::string* data = nullptr;
};

// The .rsrc section for resources whose data starts at `kResourceRva`.
std::string ResourceSection(const std::vector<std::pair<std::string, std::string>>& resources) {
  std::vector<Item> items;
  std::set<std::string> seen;
  for (const auto& [name, data] : resources) {
    if (name.empty()) throw WriteError("empty resource name");
    if (!seen.insert(AsciiUpper(name)).second) {
      throw WriteError("resource name given twice: " + name);
    }
    Item item;
    item.data = &data;
    if (const auto id = NumberedName(name)) {
      item.id = *id;
    } else {
      item.name = Utf8ToUtf16(name);
      if (item.name.size() > 0xFFFF) throw WriteError("resource name too long");
      item.key = item.name;
      for (char16_t& c : item.key) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
      }
    }
    items.push_back(std::move(item));
  }
  // Windows looks entries up by binary search: named entries first, ordered
  // by their upper-case names, then numbered ones in ascending order.
  std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
    const bool a_named = !a.name.empty(), b_named = !b.name.empty();
    if (a_named != b_named) return a_named;
    return a_named ? a.key < b.key : a.id < b.id;
  });
  const size_t named =
      std::count_if(items.begin(), items.end(), [](const Item& i) { return !i.name.empty(); });
  if (items.empty()) return std::string(16, '\0');

  const uint64_t n = items.size();
  const uint64_t type_dir = 24;
  const uint64_t language_dirs = type_dir + 16 + 8 * n;
  const uint64_t data_entries = language_dirs + 24 * n;
  uint64_t end = data_entries + 16 * n;
  std::vector<uint64_t> name_at(n), data_at(n);
  for (size_t i = 0; i < n; ++i) {
    if (items[i].name.empty()) continue;
    name_at[i] = end;
    end = AlignUp(end + 2 + 2 * items[i].name.size(), 2);
  }
  for (size_t i = 0; i < n; ++i) {
    end = AlignUp(end, 8);
    data_at[i] = end;
    end += items[i].data->size();
    if (kResourceRva + end > kMaxImageSize) throw WriteError("resources too large for a PE image");
  }

  std::string out(end, '\0');
  Put16(out, 14, 1);
  Put32(out, 16, kRcDataType);
  Put32(out, 20, kHighBit | static_cast<uint32_t>(type_dir));
  Put16(out, type_dir + 12, static_cast<uint32_t>(named));
  Put16(out, type_dir + 14, static_cast<uint32_t>(n - named));
  for (size_t i = 0; i < n; ++i) {
    const Item& item = items[i];
    const size_t entry = type_dir + 16 + 8 * i;
    const size_t language_dir = language_dirs + 24 * i;
    const size_t data_entry = data_entries + 16 * i;
    if (item.name.empty()) {
      Put32(out, entry, item.id);
    } else {
      Put32(out, entry, kHighBit | static_cast<uint32_t>(name_at[i]));
      Put16(out, name_at[i], static_cast<uint32_t>(item.name.size()));
      for (size_t k = 0; k < item.name.size(); ++k)
        Put16(out, name_at[i] + 2 + 2 * k, item.name[k]);
    }
    Put32(out, entry + 4, kHighBit | static_cast<uint32_t>(language_dir));
    Put16(out, language_dir + 14, 1);  // one entry, language neutral
    Put32(out, language_dir + 20, static_cast<uint32_t>(data_entry));
    Put32(out, data_entry, static_cast<uint32_t>(kResourceRva + data_at[i]));
    Put32(out, data_entry + 4, static_cast<uint32_t>(item.data->size()));
    std::memcpy(out.data() + data_at[i], item.data->data(), item.data->size());
  }
  return out;
}

void PutSection(std::string& out, size_t at, const char* name, uint32_t virtual_size, uint32_t rva,
                uint32_t raw_size, uint32_t raw_offset, uint32_t characteristics) {
  std::memcpy(out.data() + at, name, std::strlen(name));
  Put32(out, at + 8, virtual_size);
  Put32(out, at + 12, rva);
  Put32(out, at + 16, raw_size);
  Put32(out, at + 20, raw_offset);
  Put32(out, at + 36, characteristics);
}

}  // namespace

std::string WritePeExecutable(const std::vector<std::pair<std::string, std::string>>& resources,
                              std::optional<std::string_view> trailer_payload) {
  const std::string rsrc = ResourceSection(resources);
  const uint32_t rsrc_raw = static_cast<uint32_t>(AlignUp(rsrc.size(), kFileAlignment));
  const uint32_t image_size =
      static_cast<uint32_t>(AlignUp(kResourceRva + rsrc.size(), kSectionAlignment));

  std::string out(kResourceOffset + rsrc_raw, '\0');
  out[0] = 'M', out[1] = 'Z';
  Put16(out, 0x02, 0x90);    // bytes on the last page
  Put16(out, 0x04, 3);       // pages
  Put16(out, 0x08, 4);       // header paragraphs
  Put16(out, 0x0C, 0xFFFF);  // most memory
  Put16(out, 0x10, 0xB8);    // initial SP
  Put16(out, 0x18, 0x40);    // relocation table offset
  Put32(out, 0x3C, kPeOffset);
  std::memcpy(out.data() + 0x40, kDosStub, sizeof kDosStub);
  std::memcpy(out.data() + 0x40 + sizeof kDosStub, kDosMessage, sizeof kDosMessage - 1);

  const size_t coff = kPeOffset + 4;
  std::memcpy(out.data() + kPeOffset, "PE\0\0", 4);
  Put16(out, coff, 0x14C);  // i386
  Put16(out, coff + 2, 2);  // sections
  Put16(out, coff + 16, 224);
  Put16(out, coff + 18, 0x0103);  // executable, 32-bit, no relocations

  const size_t opt = coff + 20;
  Put16(out, opt, 0x10B);
  Put32(out, opt + 4, kFileAlignment);  // size of code
  Put32(out, opt + 8, rsrc_raw);        // size of initialised data
  Put32(out, opt + 16, kTextRva);       // entry point
  Put32(out, opt + 20, kTextRva);
  Put32(out, opt + 24, kResourceRva);
  Put32(out, opt + 28, 0x400000);
  Put32(out, opt + 32, kSectionAlignment);
  Put32(out, opt + 36, kFileAlignment);
  Put16(out, opt + 40, 4);  // operating system version
  Put16(out, opt + 48, 4);  // subsystem version
  Put32(out, opt + 56, image_size);
  Put32(out, opt + 60, kHeaderSize);
  Put16(out, opt + 68, 2);  // Windows GUI
  Put32(out, opt + 72, 0x100000);
  Put32(out, opt + 76, 0x1000);
  Put32(out, opt + 80, 0x100000);
  Put32(out, opt + 84, 0x1000);
  Put32(out, opt + 92, 16);
  Put32(out, opt + 96 + 2 * 8, kResourceRva);
  Put32(out, opt + 96 + 2 * 8 + 4, static_cast<uint32_t>(rsrc.size()));

  const size_t sections = opt + 224;
  PutSection(out, sections, ".text", sizeof kEntryCode, kTextRva, kFileAlignment, kTextOffset,
             0x60000020);
  PutSection(out, sections + 40, ".rsrc", static_cast<uint32_t>(rsrc.size()), kResourceRva,
             rsrc_raw, kResourceOffset, 0x40000040);
  std::memcpy(out.data() + kTextOffset, kEntryCode, sizeof kEntryCode);
  std::memcpy(out.data() + kResourceOffset, rsrc.data(), rsrc.size());

  if (trailer_payload) out += TrailerBlock(*trailer_payload);
  return out;
}

}  // namespace morvane
