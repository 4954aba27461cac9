#pragma once

// Generates projects whose every field differs from its default, with awkward
// bytes in texts and scripts, for round-trip tests and benchmarks.

#include <random>
#include <string>

#include "package/object_layout.h"
#include "package/project_model.h"

namespace morvane::testing {

class ProjectGenerator {
 public:
  // Awkward projects use any byte in colours and code-page letters in texts.
  // Such bytes can make a record end like a separator under any key, so big
  // awkward projects may not be writable at all; typical ones (colours from a
  // palette, plain ASCII texts) always are.
  enum class Style { kAwkward, kTypical };

  explicit ProjectGenerator(uint32_t seed, Style style = Style::kAwkward)
      : m_random(seed), m_style(style) {}

  Project Generate(int pages, int objects_per_page) {
    Project p;
    p.key = static_cast<uint8_t>(Int(1, 99));
    p.signature = "2" + Text(3);
    p.title = "Title " + Text(6);
    ProjectOptions& o = p.options;
    o.first = static_cast<uint8_t>(Int(2, 9));
    o.no_cursor_shadow = o.no_screen_saver = o.swap_mouse_buttons = o.no_menu_fade = true;
    o.extract_all = o.hint_follows_pointer = o.run_without_flash = o.single_instance = true;
    o.hint_colour = Col();
    o.hint_text_colour = Col();
    o.hint_hide_pause = Int(0, 100000);
    p.hint_pause = Int(-5, 5000);
    p.display_flags = std::string("\x01\x02", 2);
    p.display_mode = "800x600 65536 Colors 75 Hertz";
    p.on_error = ScriptText();
    p.on_hint = ScriptText();
    p.on_minimize = ScriptText();
    p.on_restore = ScriptText();
    p.help = ScriptText();
    p.lan_message = ScriptText();
    p.lan_message_pad = "!";
    p.lan_file = ScriptText();
    p.lan_file_pad = "?";
    p.command_line = ScriptText();
    p.embedded_files = {{"[src]\\\\intro.wav", 0}, {"pointer.cur", 0}};
    p.fonts = {{"[embed]\\\\font.ttf", 0}};
    p.cursors = {{"[embed]\\\\pointer.cur", 0}};
    p.databases = {{"people", "[src]\\\\people.db", 0}};
    p.threads = {{1, 5, 3, 0}, true, 0};
    p.functions = {{"Greet", "Ctrl+G", 2, ScriptText(), 0}, {"Bye", "", 0, "", 0}};
    for (int i = 0; i < pages; ++i) p.pages.push_back(MakePage(i + 1, objects_per_page));
    if (pages > 0 && objects_per_page > 0) {
      p.embedded_files.push_back({"late.txt", pages});
      p.fonts.push_back({"late.ttf", pages});
    }
    return p;
  }

  Page MakePage(int number, int objects) {
    Page page;
    page.name = "Page" + std::to_string(number);
    page.caption = Text(8);
    page.client_width = Int(-1, 1600);
    page.client_height = Int(-1, 1200);
    page.alpha = Int(0, 255);
    page.lightness = Int(-100, 100);
    page.blur = Int(0, 10);
    page.contrast = Int(-100, 100);
    page.saturation = Int(-100, 100);
    page.sharpen = Int(0, 10);
    page.sponge = Int(0, 10);
    page.cursor = Int(0, 20);
    page.background_record = Text(2);
    PageOptions& o = page.options;
    o.right_to_left = o.help_icon = o.resizable = o.stay_on_top = o.frame = o.reserved = true;
    o.system_menu = o.minimize_icon = o.maximize_icon = false;
    o.position = Int(0, 9);
    o.border_kind = Int(0, 3);
    o.horizontal_scroll = o.vertical_scroll = o.alpha_blend = o.smooth_background = true;
    o.grayscale = o.flip_horizontal = o.emboss = o.invert = o.flip_vertical = true;
    o.background_transparent = o.colour_key = o.double_buffered = o.hidden_at_start = true;
    o.draw_style = Int(0, 5);
    o.background_transparent_colour = Col();
    o.key_colour = Col();
    o.page_colour = Col();
    o.show_transition = static_cast<uint8_t>(number % 15);
    if (o.show_transition != 0) {
      o.transition_duration = Int(1, 5000);
    } else {
      o.unread_tail = "77";
    }
    page.transition_options = "0" + std::to_string(Int(0, 3)) + std::string("\x01\x00", 2);
    page.transition_style = Int(0, 9);
    page.transition_substyle = Int(0, 9);
    page.transition_size = Int(0, 99);
    page.transition_block_height = Int(0, 99);
    page.mask_path = "[src]mask.bmp";
    page.on_show = ScriptText();
    page.on_close = ScriptText();
    page.on_resize = ScriptText();
    page.on_wheel = ScriptText();
    for (int i = 0; i < objects; ++i) {
      page.objects.push_back(MakeObject(static_cast<ObjectKind>(i % kObjectKindCount), i + 1));
    }
    return page;
  }

  PageObject MakeObject(ObjectKind kind, int number) {
    PageObject o;
    o.kind = kind;
    o.name = std::to_string(number);
    const ObjectLayout& layout = LayoutOf(kind);
    o.records = static_cast<int>(layout.records.size());
    for (const HeaderByte& b : layout.header) {
      switch (b.type) {
        case HeaderByte::kFlag: o.*b.flag = !(o.*b.flag); break;
        case HeaderByte::kDigit: o.*b.digit = Int(0, 9); break;
        case HeaderByte::kByte:
        case HeaderByte::kRawByte:
          o.*b.byte = static_cast<uint8_t>(m_style == Style::kTypical ? Int(32, 126) : Int(0, 255));
          break;
        case HeaderByte::kColour: o.*b.colour = Col(); break;
        case HeaderByte::kDigits4: o.*b.number = Int(-999, 9999); break;
      }
    }
    for (const RecordSlot& slot : layout.records) {
      switch (slot.type) {
        case RecordSlot::kLeftAndDigit:
          o.enabled_digit = Int(0, 9);
          [[fallthrough]];
        case RecordSlot::kLeft: o.left = Int(-1, 2000); break;
        case RecordSlot::kTop: o.top = Int(-1, 2000); break;
        case RecordSlot::kNumber: o.*slot.number = Int(-100, 100000); break;
        case RecordSlot::kOptionalNumber: o.*slot.optional = Int(0, 3000); break;
        case RecordSlot::kText: o.*slot.text = slot.script ? ScriptText() : Text(12); break;
        case RecordSlot::kPicture:
          o.picture_name = "picture.png";
          o.picture_index = ++m_images;
          break;
        case RecordSlot::kShapeHint:
          o.hint = Text(5);
          o.has_points = true;
          o.points = {{Int(-50, 50), Int(-50, 50)}, {Int(0, 500), Int(0, 500)}};
          break;
      }
    }
    return o;
  }

 private:
  int Int(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
  Colour Col() {
    if (m_style == Style::kTypical) {
      static constexpr Colour kPalette[] = {{0, 0, 0},     {255, 255, 255}, {192, 192, 192},
                                            {0, 0, 128},   {255, 0, 0},     {0, 128, 0},
                                            {255, 255, 225}, {240, 240, 240}};
      return kPalette[Int(0, 7)];
    }
    return {static_cast<uint8_t>(Int(0, 255)), static_cast<uint8_t>(Int(0, 255)),
            static_cast<uint8_t>(Int(0, 255))};
  }
  // Printable text with some bytes of the upper half (code-page letters).
  std::string Text(int length) {
    std::string text;
    for (int i = 0; i < length; ++i) {
      const int pick = Int(0, 9);
      const bool letter = m_style == Style::kAwkward && pick >= 8;
      text += static_cast<char>(letter ? Int(0xC0, 0xFE) : Int(32, 126));
    }
    return text;
  }
  // A few action lines with CR line breaks, quotes and commas.
  std::string ScriptText() {
    std::string script = "#x=" + std::to_string(Int(0, 99)) + "\r";
    script += "0(#x>2)\r10(5,\"Page, 2\").54\r1\r$s=\"" + Text(6) + "\"";
    return script;
  }

  std::mt19937 m_random;
  Style m_style;
  int m_images = 0;
};

}  // namespace morvane::testing
