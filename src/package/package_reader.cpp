#include "package/package_reader.h"

#include <algorithm>
#include <cstring>

#include "package/object_layout.h"
#include "package/scramble.h"
#include "util/int_text.h"

namespace morvane {
namespace {

// A load failure whose message the player shows as it is.
struct LoadFailure {
  std::string message;
};

constexpr std::string_view kNoKeyMessage =
    "Morvane doesn't know how to execute this file, recompile your project.";
constexpr std::string_view kScriptSeparator{"\x03\x04\x05", 3};

std::string ScriptText(std::string plain) {
  std::replace(plain.begin(), plain.end(), '\x01', '\r');
  return plain;
}

int Digit(char c) {
  if (c < '0' || c > '9') throw ConversionError(std::string_view(&c, 1));
  return c - '0';
}

bool Flag(char c) { return c != 0; }

Colour ColourAt(std::string_view bytes, size_t at) {
  return {static_cast<uint8_t>(bytes[at]), static_cast<uint8_t>(bytes[at + 1]),
          static_cast<uint8_t>(bytes[at + 2])};
}

// Coordinates are stored plus one.
int32_t Coordinate(std::string_view text) {
  const int32_t stored = StrToInt(text);
  if (stored == INT32_MIN) throw ConversionError(text);
  return stored - 1;
}

class PackageReader {
 public:
  explicit PackageReader(std::string_view data) : m_data(data) {}

  LoadResult Read() {
    try {
      FindKey();
    } catch (const LoadFailure& failure) {
      return LoadError{0, failure.message};
    }
    try {
      CutRecords();
    } catch (const LoadFailure& failure) {
      return Failed(failure.message);
    } catch (const ConversionError& error) {
      return Failed(error.what());
    }
    return std::move(m_project);
  }

 private:
  LoadError Failed(std::string message) const {
    LoadError error{m_slot, std::move(message)};
    if (m_title_read) error.title = m_project.title;
    return error;
  }

  void FindKey() {
    for (int key = 1; key < 100; ++key) {
      auto plain = [&](size_t i) {
        return i < m_data.size() ? static_cast<char>(static_cast<uint8_t>(m_data[i]) - key) : 0;
      };
      if (plain(0) != 'Q' || plain(1) != 'M' || plain(2) != 'C') continue;
      m_key = static_cast<uint8_t>(key);
      m_project.key = m_key;
      return;
    }
    throw LoadFailure{std::string(kNoKeyMessage)};
  }

  void CutRecords() {
    size_t record_start = 0;
    size_t at = 0;
    const size_t size = m_data.size();
    while (at < size) {
      const void* zero = std::memchr(m_data.data() + at, 0, size - at);
      if (!zero) break;
      at = static_cast<const char*>(zero) - m_data.data();
      if (IsSeparatorAt(m_data, at)) {
        ++m_slot;
        Interpret(m_data.substr(record_start, at - record_start));
        at += kRecordSeparator.size();
        record_start = at;
        continue;
      }
      if (at == 7) throw LoadFailure{};
      ++at;
    }
    // Bytes after the last separator belong to no record.
  }

  std::string Plain(std::string_view stored) const { return Unscramble(stored, m_key); }

  void Interpret(std::string_view stored) {
    if (m_slot >= 1 && m_slot <= 10) m_project.header_records = m_slot;
    switch (m_slot) {
      case 0: {
        const std::string plain = Plain(stored);
        if (plain.compare(0, 3, "QMC") != 0) throw LoadFailure{};
        m_project.signature = plain.substr(3);
        m_project.header_records = 0;
        return;
      }
      case 1:
        m_project.title = Plain(stored);
        m_title_read = true;
        return;
      case 2: ReadOptions(stored); return;
      case 3: m_project.hint_pause = StrToInt(Plain(stored)); return;
      case 4: m_project.display_flags = std::string(stored); return;
      case 5: m_project.display_mode = Plain(stored); return;
      case 6: m_project.on_error = ScriptText(Plain(stored)); return;
      case 7: m_project.on_hint = ScriptText(Plain(stored)); return;
      case 8: m_project.on_minimize = ScriptText(Plain(stored)); return;
      case 9: m_project.on_restore = ScriptText(Plain(stored)); return;
      case 10: ReadProjectScripts(ScriptText(Plain(stored))); return;
      case 11: ReadTagged(stored); return;
      default: break;
    }
    if (m_slot <= 34) {
      ReadPageRecord(stored);
      return;
    }
    if (m_slot == 35) {
      if (TagOf(stored) == "FORM") {
        m_slot = 11;
        ReadTagged(stored);
      } else {
        ReadObjectHeader(stored);
      }
      return;
    }
    if (m_object && ReadObjectRecord(stored)) return;
    // A record the current object does not read decides what follows.
    const std::string tag = TagOf(stored);
    if (tag == "FORM" || tag == "EMBD") {
      m_slot = 11;
      ReadTagged(stored);
    } else if (!stored.empty() && static_cast<uint8_t>(stored[0] - m_key) <= 9) {
      m_slot = 35;
      ReadObjectHeader(stored);
    }
  }

  std::string TagOf(std::string_view stored) const { return Plain(stored.substr(0, 4)); }

  void ReadOptions(std::string_view stored) {
    // Positions 1 to 15 are raw bytes; the hint hide pause follows, scrambled.
    if (stored.size() < 15) throw ConversionError("");
    ProjectOptions& o = m_project.options;
    o.first = static_cast<uint8_t>(stored[0]);
    o.no_cursor_shadow = Flag(stored[1]);
    o.no_screen_saver = Flag(stored[2]);
    o.swap_mouse_buttons = Flag(stored[3]);
    o.no_menu_fade = Flag(stored[4]);
    o.extract_all = Flag(stored[5]);
    o.hint_follows_pointer = Flag(stored[6]);
    o.hint_colour = ColourAt(stored, 7);
    o.hint_text_colour = ColourAt(stored, 10);
    o.run_without_flash = Flag(stored[13]);
    o.single_instance = Flag(stored[14]);
    o.hint_hide_pause = StrToInt(Plain(stored.substr(15)));
  }

  // Help, LAN message, LAN file and command-line scripts. The middle two end
  // two bytes before the next separator, so one byte is dropped from each.
  void ReadProjectScripts(const std::string& text) {
    Project& p = m_project;
    p.lan_message.clear();
    p.lan_file.clear();
    p.command_line.clear();
    p.lan_message_pad.clear();
    p.lan_file_pad.clear();
    const size_t first = text.find(kScriptSeparator);
    p.help = text.substr(0, first);
    if (first == std::string::npos) return;
    const size_t second = text.find(kScriptSeparator, first + 3);
    if (second == std::string::npos) return;
    if (second > first + 3) {
      p.lan_message = text.substr(first + 3, second - 1 - (first + 3));
      p.lan_message_pad = text.substr(second - 1, 1);
    }
    const size_t third = text.find(kScriptSeparator, second + 3);
    if (third == std::string::npos) return;
    if (third > second + 3) {
      p.lan_file = text.substr(second + 3, third - 1 - (second + 3));
      p.lan_file_pad = text.substr(third - 1, 1);
    }
    p.command_line = text.substr(third + 3);
  }

  void ReadTagged(std::string_view stored) {
    // Every tag but FORM sets the slot back, so the next record is read at
    // slot 11 again. A record that is no tagged record, or has an unknown
    // tag, is passed over the same way.
    const bool tagged = stored.size() >= 5 && stored[4] == '\x05';
    const std::string tag = tagged ? TagOf(stored) : std::string();
    const std::string content = tagged ? Plain(stored.substr(5)) : std::string();
    if (tag == "FORM") {
      StartPage(content);
      return;
    }
    m_slot = 10;
    const int after = static_cast<int>(m_project.pages.size());
    if (tag == "EMBD") {
      m_project.embedded_files.push_back({content, after});
    } else if (tag == "FONT") {
      m_project.fonts.push_back({content, after});
    } else if (tag == "CURS") {
      m_project.cursors.push_back({content, after});
    } else if (tag == "DBAS") {
      const size_t split = content.find('\x01');
      TAPDatabase db;
      db.name = content.substr(0, split);
      if (split != std::string::npos) db.file = content.substr(split + 1);
      db.after_page = after;
      m_project.databases.push_back(std::move(db));
    } else if (tag == "THRD") {
      ThreadSlots threads;
      for (char c : content) threads.digits.push_back(Digit(c));
      threads.present = true;
      threads.after_page = after;
      m_project.threads = std::move(threads);
    } else if (tag == "FUNC") {
      m_project.functions.push_back(ParseFunction(content, after));
    }
  }

  static TFunc ParseFunction(const std::string& content, int after) {
    TFunc f;
    const size_t dash = content.find('-');
    const size_t colon1 = content.find(':');
    const size_t colon2 =
        colon1 == std::string::npos ? std::string::npos : content.find(':', colon1 + 1);
    if (dash == std::string::npos || colon1 == std::string::npos || colon1 < dash ||
        colon2 == std::string::npos) {
      // Without its "-" and two ":" the thread slot cannot be read.
      throw ConversionError(colon1 == std::string::npos ? std::string_view()
                                                        : std::string_view(content).substr(colon1 + 1));
    }
    f.name = content.substr(0, dash);
    f.shortcut = content.substr(dash + 1, colon1 - dash - 1);
    f.thread_slot = StrToInt(std::string_view(content).substr(colon1 + 1, colon2 - colon1 - 1));
    f.body = ScriptText(content.substr(colon2 + 1));
    f.after_page = after;
    return f;
  }

  void StartPage(const std::string& name) {
    Page page;
    page.name = name;
    page.records = 0;
    m_project.pages.push_back(std::move(page));
    m_object = nullptr;
  }

  void ReadPageRecord(std::string_view stored) {
    Page& page = m_project.pages.back();
    page.records = m_slot - 11;
    std::string plain = Plain(stored);
    switch (m_slot) {
      case 12: page.caption = std::move(plain); break;
      case 13: page.client_width = StrToInt(plain); break;
      case 14: page.client_height = StrToInt(plain); break;
      case 15: page.alpha = StrToInt(plain); break;
      case 16: page.lightness = StrToInt(plain); break;
      case 17: page.blur = StrToInt(plain); break;
      case 18: page.contrast = StrToInt(plain); break;
      case 19: page.saturation = StrToInt(plain); break;
      case 20: page.sharpen = StrToInt(plain); break;
      case 21: page.sponge = StrToInt(plain); break;
      case 22: page.cursor = StrToInt(plain); break;
      case 23: page.background_record = plain; break;
      case 24: ReadPageOptions(page.options, stored, plain); break;
      case 25: page.transition_options = plain; break;
      case 26: page.transition_style = StrToInt(plain); break;
      case 27: page.transition_substyle = StrToInt(plain); break;
      case 28: page.transition_size = StrToInt(plain); break;
      case 29: page.transition_block_height = StrToInt(plain); break;
      case 30: page.mask_path = plain; break;
      case 31: page.on_show = ScriptText(std::move(plain)); break;
      case 32: page.on_close = ScriptText(std::move(plain)); break;
      case 33: page.on_resize = ScriptText(std::move(plain)); break;
      case 34: page.on_wheel = ScriptText(std::move(plain)); break;
      default: break;
    }
  }

  void ReadPageOptions(PageOptions& o, std::string_view stored, const std::string& plain) {
    if (plain.size() < 35) throw ConversionError("");
    o.right_to_left = Flag(plain[0]);
    o.position = Digit(plain[1]);
    o.system_menu = Flag(plain[2]);
    o.minimize_icon = Flag(plain[3]);
    o.maximize_icon = Flag(plain[4]);
    o.help_icon = Flag(plain[5]);
    o.resizable = Flag(plain[6]);
    o.stay_on_top = Flag(plain[7]);
    o.frame = Flag(plain[8]);
    o.reserved = Flag(plain[9]);
    o.border_kind = Digit(plain[10]);
    o.horizontal_scroll = Flag(plain[11]);
    o.vertical_scroll = Flag(plain[12]);
    o.alpha_blend = Flag(plain[13]);
    o.smooth_background = Flag(plain[14]);
    o.grayscale = Flag(plain[15]);
    o.flip_horizontal = Flag(plain[16]);
    o.emboss = Flag(plain[17]);
    o.invert = Flag(plain[18]);
    o.flip_vertical = Flag(plain[19]);
    o.background_transparent = Flag(plain[20]);
    o.draw_style = Digit(plain[21]);
    o.background_transparent_colour = ColourAt(stored, 22);
    o.colour_key = Flag(plain[25]);
    o.key_colour = ColourAt(Plain(plain.substr(26, 3)), 0);
    o.double_buffered = Flag(plain[29]);
    o.page_colour = ColourAt(Plain(plain.substr(30, 3)), 0);
    o.hidden_at_start = Flag(plain[33]);
    o.show_transition = static_cast<uint8_t>(plain[34]);
    o.transition_duration = 0;
    o.unread_tail.clear();
    if (o.show_transition != 0) {
      o.transition_duration = StrToInt(std::string_view(plain).substr(35));
    } else {
      o.unread_tail = plain.substr(35);
    }
  }

  void ReadObjectHeader(std::string_view stored) {
    m_object = nullptr;
    const std::string plain = Plain(stored);
    if (plain.size() < 2) return;
    for (const ObjectLayout& layout : ObjectLayouts()) {
      if (static_cast<uint8_t>(plain[0]) != layout.code[0] ||
          static_cast<uint8_t>(plain[1]) != layout.code[1])
        continue;
      const size_t fixed = layout.HeaderWidth();
      // A header too short for its class creates nothing, like an unknown one.
      if (plain.size() < 2 + fixed) return;
      PageObject object;
      object.kind = layout.kind;
      object.name = plain.substr(2, plain.size() - 2 - fixed);
      size_t at = plain.size() - fixed;
      for (const HeaderByte& b : layout.header) {
        switch (b.type) {
          case HeaderByte::kFlag: object.*b.flag = Flag(plain[at]); break;
          case HeaderByte::kDigit: object.*b.digit = Digit(plain[at]); break;
          case HeaderByte::kByte: object.*b.byte = static_cast<uint8_t>(plain[at]); break;
          case HeaderByte::kRawByte: object.*b.byte = static_cast<uint8_t>(stored[at]); break;
          case HeaderByte::kColour: object.*b.colour = ColourAt(plain, at); break;
          case HeaderByte::kDigits4:
            object.*b.number = StrToInt(std::string_view(plain).substr(at, 4));
            break;
        }
        at += b.Width();
      }
      Page& page = m_project.pages.back();
      page.objects.push_back(std::move(object));
      m_object = &page.objects.back();
      m_layout = &layout;
      return;
    }
  }

  // False when the current object's class reads nothing at this slot.
  bool ReadObjectRecord(std::string_view stored) {
    const int index = m_slot - 36;
    if (index < 0 || index >= static_cast<int>(m_layout->records.size())) return false;
    const RecordSlot& slot = m_layout->records[index];
    PageObject& o = *m_object;
    o.records = index + 1;
    std::string plain = Plain(stored);
    switch (slot.type) {
      case RecordSlot::kLeftAndDigit:
        if (plain.empty()) throw ConversionError("");
        o.enabled_digit = Digit(plain.back());
        plain.pop_back();
        o.left = Coordinate(plain);
        break;
      case RecordSlot::kLeft: o.left = Coordinate(plain); break;
      case RecordSlot::kTop: o.top = Coordinate(plain); break;
      case RecordSlot::kNumber: o.*slot.number = StrToInt(plain); break;
      case RecordSlot::kOptionalNumber:
        // Only an image passes over a bad size.
        o.*slot.optional = o.kind == ObjectKind::Image ? ParseInt32(plain) : StrToInt(plain);
        break;
      case RecordSlot::kText:
        o.*slot.text = slot.script ? ScriptText(std::move(plain)) : std::move(plain);
        break;
      case RecordSlot::kPicture:
        o.picture_name = plain;
        o.picture_index = ++m_image_counter;
        break;
      case RecordSlot::kShapeHint: ReadShapeHint(o, plain); break;
    }
    return true;
  }

  // The hint, then points each introduced by byte 01 and written x,y.
  static void ReadShapeHint(PageObject& o, const std::string& plain) {
    const size_t split = plain.find('\x01');
    o.hint = plain.substr(0, split);
    o.points.clear();
    o.has_points = split != std::string::npos;
    if (!o.has_points) return;
    size_t at = split;
    while (at < plain.size()) {
      const size_t start = at + 1;
      size_t end = plain.find('\x01', start);
      if (end == std::string::npos) end = plain.size();
      const std::string_view item = std::string_view(plain).substr(start, end - start);
      if (!item.empty()) {
        const size_t comma = item.find(',');
        if (comma == std::string_view::npos) throw ConversionError(item);
        o.points.push_back({StrToInt(item.substr(0, comma)), StrToInt(item.substr(comma + 1))});
      }
      at = end;
    }
  }

  std::string_view m_data;
  uint8_t m_key = 0;
  int m_slot = -1;
  bool m_title_read = false;  // header slot 1 was read: the title is known
  Project m_project;
  // Invariant: m_object points into m_project.pages.back().objects, and
  // m_layout is its class's layout; both are reset when a page starts.
  PageObject* m_object = nullptr;
  const ObjectLayout* m_layout = nullptr;
  int m_image_counter = 0;
};

}  // namespace

LoadResult ReadPackage(std::string_view pdata) { return PackageReader(pdata).Read(); }

LoadResult LoadProject(const Container& container) {
  std::optional<std::string> pdata = container.Resource("PDATA");
  if (!pdata) return LoadError{0, "Resource PDATA not found"};
  return ReadPackage(*pdata);
}

std::string InitialisationFailureText(const LoadError& error) {
  return "Application could not be intialized, run the application again or recompile your "
         "Morvane\u2122 project.\n\nDetailed Error (" +
         std::to_string(error.slot) + "): \n" + error.message;
}

}  // namespace morvane
