#include "package/package_writer.h"

#include <algorithm>
#include <cstring>

#include "package/object_layout.h"
#include "package/scramble.h"

namespace morvane {
namespace {

constexpr std::string_view kScriptSeparator{"\x03\x04\x05", 3};

std::string PackageText(std::string text) {
  for (char& c : text)
    if (c == '\r') c = '\x01';
  return text;
}

// The model itself is fine, but this key cannot write it.
class KeyError : public WriteError {
 public:
  using WriteError::WriteError;
};

char FlagByte(bool value) { return value ? '\x01' : '\x00'; }

char DigitChar(int value, const char* what) {
  if (value < 0 || value > 9) throw WriteError(std::string(what) + " must be a digit 0 to 9");
  return static_cast<char>('0' + value);
}

void AppendColour(std::string& out, Colour c) {
  out += static_cast<char>(c.r);
  out += static_cast<char>(c.g);
  out += static_cast<char>(c.b);
}

std::string Number(int32_t value) { return std::to_string(value); }

std::string Coordinate(int32_t value, const char* what) {
  if (value == INT32_MAX) throw WriteError(std::string(what) + " is too large");
  return std::to_string(int64_t{value} + 1);
}

std::string FourDigits(int32_t value) {
  char text[8];
  if (value >= 0 && value <= 9999) {
    std::snprintf(text, sizeof text, "%04d", static_cast<int>(value));
  } else if (value < 0 && value >= -999) {
    std::snprintf(text, sizeof text, "-%03d", static_cast<int>(-value));
  } else {
    throw WriteError("volume " + std::to_string(value) + " does not fit in four characters");
  }
  return text;
}

template <typename Entry>
void CheckOrder(const std::vector<Entry>& entries, size_t pages, const char* what) {
  int last = 0;
  for (const Entry& e : entries) {
    if (e.after_page < last || e.after_page < 0 || static_cast<size_t>(e.after_page) > pages)
      throw WriteError(std::string(what) + " entries must stand in page order");
    last = e.after_page;
  }
}

class PackageWriter {
 public:
  explicit PackageWriter(const Project& project) : m_p(project), m_key(project.key) {}

  std::string Write() {
    if (m_key < 1 || m_key > 99) throw WriteError("the package key must be 1 to 99");
    Validate();
    Record(S("QMC" + m_p.signature));
    WriteHeader();
    WriteTags(0);
    for (size_t i = 0; i < m_p.pages.size(); ++i) {
      WritePage(m_p.pages[i]);
      WriteTags(static_cast<int>(i + 1));
    }
    CheckCutting();
    return std::move(m_out);
  }

 private:
  std::string S(std::string_view plain) const { return Scramble(plain, m_key); }

  void Record(std::string_view stored) {
    ++m_slot;
    m_out += stored;
    m_separators.push_back(m_out.size());
    m_record_slots.push_back(m_slot);
    m_out += kRecordSeparator;
  }

  // The grammar reads some orders of records differently from what the model
  // says; refuse those models rather than write a package that loads to
  // something else.
  void Validate() const {
    const size_t pages = m_p.pages.size();
    const bool has_tags = !m_p.embedded_files.empty() || !m_p.fonts.empty() ||
                          !m_p.cursors.empty() || !m_p.databases.empty() ||
                          m_p.threads.present || !m_p.functions.empty();
    if (m_p.header_records < 0 || m_p.header_records > 10)
      throw WriteError("header records must be 0 to 10");
    if (m_p.header_records < 10 && (has_tags || pages > 0))
      throw WriteError("a project with a short header can hold no lists and no pages");
    CheckOrder(m_p.embedded_files, pages, "embedded file");
    CheckOrder(m_p.fonts, pages, "font");
    CheckOrder(m_p.cursors, pages, "cursor");
    CheckOrder(m_p.databases, pages, "database");
    CheckOrder(m_p.functions, pages, "function");
    if (m_p.threads.present && m_p.threads.after_page > static_cast<int>(pages))
      throw WriteError("thread slots must stand in page order");
    for (int k = 1; k <= static_cast<int>(pages); ++k) {
      if (HasTagsAfter(k) && m_p.pages[k - 1].records < 23)
        throw WriteError("no list can follow the short page " + std::to_string(k));
    }
    for (size_t i = 0; i < pages; ++i) {
      const Page& page = m_p.pages[i];
      const bool last_page = i + 1 == pages;
      if (page.records < 0 || page.records > 23) throw WriteError("page records must be 0 to 23");
      if (page.records < 23 && (!last_page || !page.objects.empty()))
        throw WriteError("only the last page may be short, and then without objects");
      for (size_t j = 0; j < page.objects.size(); ++j) {
        const PageObject& o = page.objects[j];
        const int full = static_cast<int>(LayoutOf(o.kind).records.size());
        if (o.records < 0 || o.records > full)
          throw WriteError("object " + o.name + " has too many records");
        if (o.records < full && (!last_page || j + 1 != page.objects.size() ||
                                 HasTagsAfter(static_cast<int>(i + 1))))
          throw WriteError("only the very last object may be short");
      }
    }
  }

  bool HasTagsAfter(int k) const {
    auto after = [k](const auto& list) {
      for (const auto& e : list)
        if (e.after_page == k) return true;
      return false;
    };
    return after(m_p.embedded_files) || after(m_p.fonts) || after(m_p.cursors) ||
           after(m_p.databases) || after(m_p.functions) ||
           (m_p.threads.present && m_p.threads.after_page == k);
  }

  void WriteHeader() {
    const int count = m_p.header_records;
    if (count >= 1) Record(S(m_p.title));
    if (count >= 2) WriteOptions();
    if (count >= 3) Record(S(Number(m_p.hint_pause)));
    if (count >= 4) Record(m_p.display_flags);
    if (count >= 5) Record(S(m_p.display_mode));
    if (count >= 6) Record(S(PackageText(m_p.on_error)));
    if (count >= 7) Record(S(PackageText(m_p.on_hint)));
    if (count >= 8) Record(S(PackageText(m_p.on_minimize)));
    if (count >= 9) Record(S(PackageText(m_p.on_restore)));
    if (count >= 10) WriteProjectScripts();
  }

  void WriteOptions() {
    const ProjectOptions& o = m_p.options;
    std::string stored;
    stored += static_cast<char>(o.first);
    stored += FlagByte(o.no_cursor_shadow);
    stored += FlagByte(o.no_screen_saver);
    stored += FlagByte(o.swap_mouse_buttons);
    stored += FlagByte(o.no_menu_fade);
    stored += FlagByte(o.extract_all);
    stored += FlagByte(o.hint_follows_pointer);
    AppendColour(stored, o.hint_colour);
    AppendColour(stored, o.hint_text_colour);
    stored += FlagByte(o.run_without_flash);
    stored += FlagByte(o.single_instance);
    stored += S(Number(o.hint_hide_pause));
    Record(stored);
  }

  void WriteProjectScripts() {
    const Project& p = m_p;
    // The command-line script runs to the end and may hold anything.
    for (const std::string& s : {p.help, p.lan_message + p.lan_message_pad,
                                 p.lan_file + p.lan_file_pad})
      if (s.find(kScriptSeparator) != std::string::npos)
        throw WriteError("a project script holds the bytes 03 04 05");
    for (const std::string* pad : {&p.lan_message_pad, &p.lan_file_pad})
      if (pad->size() > 1) throw WriteError("a script pad is one byte or none");
    if ((!p.lan_message.empty() && p.lan_message_pad.empty()) ||
        (!p.lan_file.empty() && p.lan_file_pad.empty()))
      throw WriteError("a LAN script needs its pad byte");
    std::string text = p.help;
    text += kScriptSeparator;
    text += p.lan_message + p.lan_message_pad;
    text += kScriptSeparator;
    text += p.lan_file + p.lan_file_pad;
    text += kScriptSeparator;
    text += p.command_line;
    Record(S(PackageText(text)));
  }

  // A tagged record is always read at slot 11; every tag but FORM then sets
  // the slot back by one.
  void Tagged(std::string_view tag, std::string_view content) {
    m_slot = 10;
    Record(S(tag) + '\x05' + S(content));
    if (tag != "FORM") m_slot = 10;
  }

  void WriteTags(int after) {
    if (after > 0 && HasTagsAfter(after) && m_p.pages[after - 1].objects.empty()) {
      // Tags are read after a page only where an object's records end; an
      // object header of no class creates nothing and gives them that place.
      m_slot = 34;
      Record(S(std::string("\0\0", 2)));
    }
    if (after > 0 && HasTagsAfter(after) &&
        std::none_of(m_p.embedded_files.begin(), m_p.embedded_files.end(),
                     [after](const EmbeddedFile& e) { return e.after_page == after; })) {
      // After an object only an EMBD record leads back to the lists; one that
      // is no tagged record (its fifth byte is not 05) adds nothing.
      m_slot = 35;
      Record(S("EMBD-"));
    }
    for (const EmbeddedFile& e : m_p.embedded_files)
      if (e.after_page == after) Tagged("EMBD", e.path);
    for (const FontFile& f : m_p.fonts)
      if (f.after_page == after) Tagged("FONT", f.path);
    for (const CursorFile& c : m_p.cursors)
      if (c.after_page == after) Tagged("CURS", c.path);
    for (const TAPDatabase& d : m_p.databases) {
      if (d.after_page != after) continue;
      if (d.name.find('\x01') != std::string::npos)
        throw WriteError("a database name holds the byte 01");
      Tagged("DBAS", d.name + '\x01' + d.file);
    }
    if (m_p.threads.present && m_p.threads.after_page == after) {
      std::string digits;
      for (int d : m_p.threads.digits) digits += DigitChar(d, "a thread priority");
      Tagged("THRD", digits);
    }
    for (const TFunc& f : m_p.functions) {
      if (f.after_page != after) continue;
      if (f.name.find('-') != std::string::npos || f.name.find(':') != std::string::npos)
        throw WriteError("function name " + f.name + " holds \"-\" or \":\"");
      if (f.shortcut.find(':') != std::string::npos)
        throw WriteError("the shortcut of function " + f.name + " holds \":\"");
      Tagged("FUNC", f.name + '-' + f.shortcut + ':' + Number(f.thread_slot) + ':' +
                         PackageText(f.body));
    }
  }

  void WritePage(const Page& page) {
    Tagged("FORM", page.name);
    const int count = page.records;
    auto text = [&](int slot, const std::string& plain) {
      if (slot - 11 <= count) Record(S(plain));
    };
    text(12, page.caption);
    text(13, Number(page.client_width));
    text(14, Number(page.client_height));
    text(15, Number(page.alpha));
    text(16, Number(page.lightness));
    text(17, Number(page.blur));
    text(18, Number(page.contrast));
    text(19, Number(page.saturation));
    text(20, Number(page.sharpen));
    text(21, Number(page.sponge));
    text(22, Number(page.cursor));
    text(23, page.background_record);
    if (count >= 13) Record(PageOptionsRecord(page.options));
    text(25, page.transition_options);
    text(26, Number(page.transition_style));
    text(27, Number(page.transition_substyle));
    text(28, Number(page.transition_size));
    text(29, Number(page.transition_block_height));
    text(30, page.mask_path);
    text(31, PackageText(page.on_show));
    text(32, PackageText(page.on_close));
    text(33, PackageText(page.on_resize));
    text(34, PackageText(page.on_wheel));
    for (const PageObject& object : page.objects) WriteObject(object);
  }

  std::string PageOptionsRecord(const PageOptions& o) const {
    if (o.show_transition != 0 && !o.unread_tail.empty())
      throw WriteError("a page with a show transition keeps no unread tail");
    std::string plain;
    for (bool f : {o.right_to_left}) plain += FlagByte(f);
    plain += DigitChar(o.position, "the page position");
    for (bool f : {o.system_menu, o.minimize_icon, o.maximize_icon, o.help_icon, o.resizable,
                   o.stay_on_top, o.frame, o.reserved})
      plain += FlagByte(f);
    plain += DigitChar(o.border_kind, "the border kind");
    for (bool f : {o.horizontal_scroll, o.vertical_scroll, o.alpha_blend, o.smooth_background,
                   o.grayscale, o.flip_horizontal, o.emboss, o.invert, o.flip_vertical,
                   o.background_transparent})
      plain += FlagByte(f);
    plain += DigitChar(o.draw_style, "the draw style");
    plain += "   ";  // 23-25: written raw below
    plain += FlagByte(o.colour_key);
    // 27-29 and 31-33 are read back unscrambled twice.
    std::string twice;
    AppendColour(twice, o.key_colour);
    plain += S(twice);
    plain += FlagByte(o.double_buffered);
    twice.clear();
    AppendColour(twice, o.page_colour);
    plain += S(twice);
    plain += FlagByte(o.hidden_at_start);
    plain += static_cast<char>(o.show_transition);
    plain += o.show_transition != 0 ? Number(o.transition_duration) : o.unread_tail;
    std::string stored = S(plain);
    stored[22] = static_cast<char>(o.background_transparent_colour.r);
    stored[23] = static_cast<char>(o.background_transparent_colour.g);
    stored[24] = static_cast<char>(o.background_transparent_colour.b);
    return stored;
  }

  void WriteObject(const PageObject& o) {
    const ObjectLayout& layout = LayoutOf(o.kind);
    std::string plain;
    plain += static_cast<char>(layout.code[0]);
    plain += static_cast<char>(layout.code[1]);
    plain += o.name;
    std::vector<std::pair<size_t, uint8_t>> raw;
    for (const HeaderByte& b : layout.header) {
      switch (b.type) {
        case HeaderByte::kFlag: plain += FlagByte(o.*b.flag); break;
        case HeaderByte::kDigit: plain += DigitChar(o.*b.digit, "a header digit"); break;
        case HeaderByte::kByte: plain += static_cast<char>(o.*b.byte); break;
        case HeaderByte::kRawByte:
          raw.emplace_back(plain.size(), o.*b.byte);
          plain += ' ';
          break;
        case HeaderByte::kColour: AppendColour(plain, o.*b.colour); break;
        case HeaderByte::kDigits4: plain += FourDigits(o.*b.number); break;
      }
    }
    std::string stored = S(plain);
    for (auto [at, byte] : raw) stored[at] = static_cast<char>(byte);
    m_slot = 34;
    Record(stored);
    for (int i = 0; i < o.records; ++i) Record(S(ObjectRecord(o, layout.records[i])));
  }

  static std::string ObjectRecord(const PageObject& o, const RecordSlot& slot) {
    switch (slot.type) {
      case RecordSlot::kLeftAndDigit:
        return Coordinate(o.left, "left") + DigitChar(o.enabled_digit, "the enabled digit");
      case RecordSlot::kLeft: return Coordinate(o.left, "left");
      case RecordSlot::kTop: return Coordinate(o.top, "top");
      case RecordSlot::kNumber: return Number(o.*slot.number);
      case RecordSlot::kOptionalNumber: {
        const std::optional<int32_t>& value = o.*slot.optional;
        if (!value && o.kind != ObjectKind::Image)
          throw WriteError("object " + o.name + " needs a width and a height");
        return value ? Number(*value) : std::string();
      }
      case RecordSlot::kText: return slot.script ? PackageText(o.*slot.text) : o.*slot.text;
      case RecordSlot::kPicture: return o.picture_name;
      case RecordSlot::kShapeHint: {
        if (o.hint.find('\x01') != std::string::npos)
          throw WriteError("the hint of shape " + o.name + " holds the byte 01");
        std::string text = o.hint;
        if (o.has_points && o.points.empty()) text += '\x01';
        for (const Point& p : o.points) {
          if (!o.has_points) break;
          text += '\x01' + Number(p.x) + ',' + Number(p.y);
        }
        return text;
      }
    }
    return {};
  }

  // Cut the written bytes the way the reader does and make sure every record
  // ends exactly where it was written: content that happens to look like a
  // separator, or a stray 00 at offset 7, would change what is read.
  void CheckCutting() const {
    size_t next = 0;
    size_t at = 0;
    while (at < m_out.size()) {
      const void* zero = std::memchr(m_out.data() + at, 0, m_out.size() - at);
      if (!zero) break;
      at = static_cast<const char*>(zero) - m_out.data();
      if (IsSeparatorAt(m_out, at)) {
        if (next >= m_separators.size() || m_separators[next] != at) Refuse(next);
        ++next;
        at += kRecordSeparator.size();
        continue;
      }
      if (at == 7) Refuse(next);
      ++at;
    }
    if (next != m_separators.size()) Refuse(next);
  }

  [[noreturn]] void Refuse(size_t record) const {
    const int slot = record < m_record_slots.size() ? m_record_slots[record] : m_slot;
    throw KeyError("with key " + std::to_string(m_key) + " the record at slot " +
                     std::to_string(slot) +
                     " would read as a record separator; choose another key");
  }

  const Project& m_p;
  uint8_t m_key;
  std::string m_out;
  int m_slot = -1;
  std::vector<size_t> m_separators;  // offset of each separator written
  std::vector<int> m_record_slots;   // slot of each record written
};

}  // namespace

std::string WritePackage(const Project& project) { return PackageWriter(project).Write(); }

std::string WritePackageChoosingKey(Project& project) {
  const uint8_t wanted = project.key;
  try {
    return WritePackage(project);
  } catch (const KeyError&) {
  }
  for (int key = 1; key <= 99; ++key) {
    if (key == wanted) continue;
    project.key = static_cast<uint8_t>(key);
    try {
      return WritePackage(project);
    } catch (const KeyError&) {
    }
  }
  project.key = wanted;
  return WritePackage(project);
}

}  // namespace morvane
