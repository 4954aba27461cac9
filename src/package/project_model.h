#pragma once

// The in-memory project: everything the package records say, as plain data.
//
// Texts are 8-bit strings in the project's code page, exactly as stored (after
// unscrambling). Scripts keep their line breaks as CR (the package's byte 01).
// Hint texts, paths and list-box items are kept raw: escapes and path macros
// are expanded by whoever uses them, because expansion depends on the machine.
//
// The model is lossless for what the reader looks at: writing a model and
// reading it back gives an equal model, and fields the player never acts on
// (reserved flags, ignored records, the revision character) are kept too.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

struct Colour {
  uint8_t r = 0, g = 0, b = 0;
  // The Windows colour value: red + 256 * green + 65536 * blue.
  uint32_t Value() const { return r | (uint32_t(g) << 8) | (uint32_t(b) << 16); }
  bool operator==(const Colour&) const = default;
};

struct Point {
  int32_t x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// A script text; line breaks are CR.
using Script = std::string;

// Project options record (header slot 2).
struct ProjectOptions {
  uint8_t first = 0;  // position 1, not read by the player
  bool no_cursor_shadow = false;
  bool no_screen_saver = false;
  bool swap_mouse_buttons = false;
  bool no_menu_fade = false;
  bool extract_all = false;  // else only cursor files are extracted at start
  bool hint_follows_pointer = false;
  Colour hint_colour{255, 255, 225};
  Colour hint_text_colour{0, 0, 0};
  bool run_without_flash = false;
  bool single_instance = false;
  int32_t hint_hide_pause = 2500;
  bool operator==(const ProjectOptions&) const = default;
};

// The tagged lists. `after_page` says where the record stands in the package:
// 0 before the first page header, k after the records of page k (only EMBD
// records, and tags that directly follow them, are read there).
struct EmbeddedFile {
  std::string path;
  int after_page = 0;
  bool operator==(const EmbeddedFile&) const = default;
};

struct FontFile {
  std::string path;
  int after_page = 0;
  bool operator==(const FontFile&) const = default;
};

struct CursorFile {
  std::string path;
  int after_page = 0;
  bool operator==(const CursorFile&) const = default;
};

struct TAPDatabase {
  std::string name;
  std::string file;
  int after_page = 0;
  bool operator==(const TAPDatabase&) const = default;
};

struct TFunc {
  std::string name;
  std::string shortcut;
  int32_t thread_slot = 0;
  Script body;
  int after_page = 0;
  bool operator==(const TFunc&) const = default;
};

// The THRD record: one digit per thread slot; slot i gets priority 6 - digit.
// A later THRD record replaces the list.
struct ThreadSlots {
  std::vector<int> digits;
  bool present = false;
  int after_page = 0;
  bool operator==(const ThreadSlots&) const = default;
};

// Page options record (page slot 24).
struct PageOptions {
  bool right_to_left = false;        // 1
  int position = 0;                  // 2: digit, 0 centred, else at 0,0
  bool system_menu = true;           // 3
  bool minimize_icon = true;         // 4
  bool maximize_icon = true;         // 5
  bool help_icon = false;            // 6
  bool resizable = false;            // 7
  bool stay_on_top = false;          // 8
  bool frame = false;                // 9
  bool reserved = false;             // 10, not acted on
  int border_kind = 0;               // 11: digit, 0 normal, 1 tool, 2 none+drag, 3 none
  bool horizontal_scroll = false;    // 12
  bool vertical_scroll = false;      // 13
  bool alpha_blend = false;          // 14
  bool smooth_background = false;    // 15
  bool grayscale = false;            // 16
  bool flip_horizontal = false;      // 17
  bool emboss = false;               // 18
  bool invert = false;               // 19
  bool flip_vertical = false;        // 20
  bool background_transparent = false;  // 21
  int draw_style = 0;                // 22: digit
  Colour background_transparent_colour;  // 23-25, stored as is
  bool colour_key = false;           // 26
  Colour key_colour;                 // 27-29, stored scrambled twice
  bool double_buffered = false;      // 30
  Colour page_colour{240, 240, 240}; // 31-33, stored scrambled twice
  bool hidden_at_start = false;      // 34
  uint8_t show_transition = 0;       // 35: 0 none, 1-13 a kind, 14 random
  int32_t transition_duration = 0;   // 36-: read only when show_transition != 0
  std::string unread_tail;           // 36-: kept as is when show_transition == 0
  bool operator==(const PageOptions&) const = default;
};

enum class ObjectKind : uint8_t {
  Text, Edit, Button, Image, Shape, Timer, Sound, Video, Flash, Browser, Plugin, ListBox
};
constexpr int kObjectKindCount = 12;

// One page object: the union of the fields of all twelve classes. Each class
// reads the header bytes and record slots its table gives and leaves the other
// fields at their defaults.
struct PageObject {
  ObjectKind kind = ObjectKind::Text;
  std::string name;  // from the header; the component is "OBJ" + name
  // Object records read from slot 36 on. The object is put on its page only
  // at its class's last slot, so a short object is never shown.
  int records = 0;

  // --- header bytes
  bool visible = true;
  bool enabled = true;
  bool tab_stop = true;
  bool word_wrap = false;
  bool bold = false, italic = false, underline = false, strike_out = false;
  bool right_to_left = false;
  bool transparent = false;
  bool auto_size = false;
  bool color_events = false;  // `ColorEvents`
  bool read_only = false;
  bool auto_select = false;
  bool ctl3d = true;          // three-dimensional look
  bool default_button = false;
  bool show_focus_rect = true;
  bool proportional = false;
  bool stretch = false;
  bool center = false;
  bool loop = false;           // image: GIF loops; sound, video, Flash: `Loop`
  bool play_with_page_start = false;  // `PlayWithPageStart`
  bool playing = false;        // Flash
  bool context_menu = true;    // Flash, browser
  bool drop_target = false;    // browser
  bool offline = false;        // browser
  bool selectable = true;      // browser
  bool borders_3d = true;      // browser
  bool scroll_bars = true;     // browser
  bool sorted = false;         // list box
  bool multi_select = false;   // list box
  bool shape_option = false;   // shape: line reversed, rectangle rounded
  bool pen_inverted = false;   // shape
  int layout = 1;              // text: digit
  int alignment = 1;           // text: digit
  int char_case = 0;           // edit: digit
  int inner_bevel = 3, outer_bevel = 3, bevel_kind = 3, border = 0;  // edit, list box: digits
  int validation = 0;          // edit: digit `Validation`
  uint8_t password_char = 0;   // edit: the byte as stored, never unscrambled
  uint8_t brush_style = 1, pen_style = 1, shape_kind = 1;  // shape: byte values
  uint8_t quality = 1, scale_mode = 0;                     // Flash: byte values
  int32_t volume = 0;          // sound, video: four digits
  Colour font_colour;          // also `ColorNormal` (text), `ColorNormalF` (edit)
  Colour background_colour{255, 255, 255};  // also `ColorNormal` (edit)
  Colour hover_colour;         // `ColorHover`
  Colour click_colour;         // `ColorClick`
  Colour hover_font_colour;    // `ColorHoverF`
  Colour enter_colour;         // `ColorEnter`
  Colour enter_font_colour;    // `ColorEnterF`
  Colour sel_colour;           // `SelColor`
  Colour sel_font_colour;      // `SelFColor`
  Colour transparent_colour;   // image
  Colour brush_colour{255, 255, 255};  // shape
  Colour pen_colour;           // shape

  // --- object records
  int32_t left = 0, top = 0;   // stored in the package as the coordinate plus one
  // Image width and height ignore a bad number; every other class fails on one.
  std::optional<int32_t> width = 0, height = 0;
  int enabled_digit = 1;       // text slot 36: the digit after left + 1
  std::string hint;            // hint text, raw (\q and \br escapes)
  std::string caption;         // text and button caption, edit text
  std::string font_name;
  int32_t charset = 1;
  int32_t font_size = 8;
  int32_t cursor = 0;          // a cursor number
  int32_t max_length = 0;      // edit
  int32_t tab_order = 0;
  int32_t columns = 0;         // list box
  std::string items;           // list box slot 41, raw
  std::string picture_name;    // image slot 36: only the extension is used
  int picture_index = 0;       // image: n of "IDATA" + n, counted over the package (derived)
  bool has_points = false;     // shape slot 40 held a point list
  std::vector<Point> points;
  int32_t interval = 1000;     // timer
  int32_t loops = 0;           // `NumberOfLoops`
  int32_t delay = 0;           // `DelayBetweenLoops`
  int32_t speed = 0;           // video `Speed`
  int32_t frame = 0;           // Flash frame number
  std::string file;            // sound `FileName`, video `Path`, Flash movie, browser `DefPath`, plug-in `Path`
  std::string ignored_36, ignored_37;  // sound slots read and ignored
  std::string still_record;    // video slot 43, not read

  Script evntMDown, evntMUp, evntMEnter, evntMLeave;
  Script evntCH;      // edit text change
  Script evntdbl;     // list box double click
  Script evntTimer;
  Script evntStart, evntFinish;
  Script evntFS, evntFC;  // Flash
  Script evntBN, evntAN, evntNW, evntPC, evntSC, evntTC, evntAC;  // browser

  bool operator==(const PageObject&) const = default;
};

// One page: the FORM record and the page records of slots 12 to 34.
struct Page {
  std::string name;
  int records = 23;  // page records read (slots 12 on); fewer only when the package ends early
  std::string caption;                   // 12
  int32_t client_width = 640;            // 13, -1 = screen width
  int32_t client_height = 480;           // 14, -1 = screen height
  int32_t alpha = 255;                   // 15
  int32_t lightness = 0, blur = 0, contrast = 0, saturation = 0, sharpen = 0, sponge = 0;  // 16-21
  int32_t cursor = 0;                    // 22
  std::string background_record;         // 23, not read: the background is "BDATAG" + page number
  PageOptions options;                   // 24
  std::string transition_options;        // 25, raw: position 2 direction digit, 3 and 4 flags
  int32_t transition_style = 0;          // 26
  int32_t transition_substyle = 0;       // 27
  int32_t transition_size = 0;           // 28: BlockWidth, Size, BandWidth
  int32_t transition_block_height = 0;   // 29
  std::string mask_path;                 // 30, not expanded
  Script on_show, on_close, on_resize, on_wheel;  // 31-34
  std::vector<PageObject> objects;
  bool operator==(const Page&) const = default;
};

struct Project {
  uint8_t key = 42;           // the package key (1 to 99); found again on reading
  std::string signature;      // record 0 after "QMC": the revision character and the rest
  int header_records = 10;    // header records read (slots 1 to 10); fewer only in a truncated package
  std::string title;                     // 1
  ProjectOptions options;                // 2
  int32_t hint_pause = 500;              // 3
  std::string display_flags{"\0\0", 2};  // 4, raw: p1 change mode, p2 stop when unavailable
  std::string display_mode;              // 5
  Script on_error, on_hint, on_minimize, on_restore;  // 6-9
  // 10: four scripts. Each of the middle two loses the byte before the next
  // separator; those bytes are kept here (one byte, or none when the script
  // and its byte are both absent).
  Script help, lan_message, lan_file, command_line;
  std::string lan_message_pad = " ", lan_file_pad = " ";

  std::vector<EmbeddedFile> embedded_files;  // entry n is resource "DATAE" + n
  std::vector<FontFile> fonts;
  std::vector<CursorFile> cursors;           // entry i is cursor number 12 + i
  std::vector<TAPDatabase> databases;
  ThreadSlots threads;
  std::vector<TFunc> functions;              // numbered from 1

  std::vector<Page> pages;                   // page n is pages[n - 1]

  bool ChangeDisplayMode() const { return display_flags.size() >= 2 && display_flags[0] != 0; }
  bool StopIfModeUnsupported() const {
    return display_flags.size() >= 2 && display_flags[1] != 0;
  }
  bool operator==(const Project&) const = default;
};

const char* ObjectKindName(ObjectKind kind);  // "text", "edit", ...: the names used in sources
std::optional<ObjectKind> ObjectKindFromName(std::string_view name);

}  // namespace morvane
