#include "package/project_yaml.h"

#include <charconv>
#include <limits>
#include <set>

#include "package/object_layout.h"

namespace morvane {
namespace {

const std::string kFile = kProjectFileName;

// ---------------------------------------------------------------- writing

// Script files are named for where the script belongs: "project-error",
// "page-2-show", "page-1-OBJ5-mouse-down", "function-3-Open".
std::string EventPart(std::string_view key) {
  std::string part(key.substr(key.starts_with("on_") ? 3 : 0));
  for (char& c : part)
    if (c == '_') c = '-';
  return part;
}

// A name as part of a file name, or nothing when it has other characters.
std::optional<std::string> FileNamePart(std::string_view name) {
  if (name.empty() || name.size() > 40) return std::nullopt;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-';
    if (!ok) return std::nullopt;
  }
  return std::string(name);
}

class YamlWriter {
 public:
  YamlWriter(const SourceText& text, SourceFiles& files) : m_text(text), m_files(files) {}

  YAML::Emitter& Out() { return m_out; }
  const SourceText& Text() const { return m_text; }

  void Write(bool v) { m_out << v; }
  void Write(int32_t v) { m_out << v; }
  void Write(uint8_t v) { m_out << static_cast<int>(v); }
  void Write(const std::string& v) { m_text.EmitText(m_out, v); }
  void Write(Colour c) {
    m_out << YAML::Flow << YAML::BeginSeq << static_cast<int>(c.r) << static_cast<int>(c.g)
          << static_cast<int>(c.b) << YAML::EndSeq;
  }
  void Write(const std::optional<int32_t>& v) {
    if (v) {
      m_out << *v;
    } else {
      m_out << YAML::Null;
    }
  }
  void Write(const std::vector<Point>& points) {
    m_out << YAML::Flow << YAML::BeginSeq;
    for (const Point& p : points)
      m_out << YAML::Flow << YAML::BeginSeq << p.x << p.y << YAML::EndSeq;
    m_out << YAML::EndSeq;
  }
  void Write(const std::vector<int>& digits) {
    m_out << YAML::Flow << YAML::BeginSeq;
    for (int d : digits) m_out << d;
    m_out << YAML::EndSeq;
  }

  // A script goes inline when it is one simple line, into a file when it
  // converts to readable lines, and in the bytes form otherwise.
  void WriteScript(const std::string& script, const std::string& file_stem) {
    if (m_text.ScriptFitsInline(script)) {
      Write(script);
      return;
    }
    std::optional<std::string> file_text = m_text.ScriptFileText(script);
    if (!file_text) {
      EmitBytes(m_out, script);
      return;
    }
    std::string path = "scripts/" + file_stem + ".mvs";
    for (int n = 2; m_files.count(path); ++n)
      path = "scripts/" + file_stem + "-" + std::to_string(n) + ".mvs";
    m_files[path] = std::move(*file_text);
    m_out << YAML::LocalTag(kFileTag + 1) << path;
  }

 private:
  const SourceText& m_text;
  SourceFiles& m_files;
  YAML::Emitter m_out;
};

// Writes the fields of one struct that differ from their defaults.
template <class S>
class FieldWriter {
 public:
  FieldWriter(YamlWriter& w, const S& value, const S& defaults, std::string script_stem = {})
      : m_w(w), m_value(value), m_defaults(defaults), m_stem(std::move(script_stem)) {}

  template <class T>
  void Field(const char* key, T S::*member) {
    if (m_value.*member == m_defaults.*member) return;
    m_w.Out() << YAML::Key << key << YAML::Value;
    m_w.Write(m_value.*member);
  }

  void ScriptField(const char* key, Script S::*member) {
    if (m_value.*member == m_defaults.*member) return;
    m_w.Out() << YAML::Key << key << YAML::Value;
    m_w.WriteScript(m_value.*member, m_stem + EventPart(key));
  }

 private:
  YamlWriter& m_w;
  const S& m_value;
  const S m_defaults;
  std::string m_stem;
};

// ---------------------------------------------------------------- reading

std::string ScalarText(const YAML::Node& node) {
  return node.IsScalar() ? node.Scalar() : "";
}

class YamlReader {
 public:
  YamlReader(const std::function<std::string(const std::string&)>& read_file)
      : m_read_file(read_file) {}

  void SetCodePage(int code_page) { m_text = SourceText(code_page); }

  std::string At(const YAML::Node& node) const { return Where(kFile, node); }

  [[noreturn]] void Fail(const YAML::Node& node, const std::string& message) const {
    throw SourceError(At(node) + ": " + message);
  }

  int64_t Integer(const YAML::Node& node, int64_t low, int64_t high) const {
    const std::string text = ScalarText(node);
    int64_t value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (!node.IsScalar() || text.empty() || ec != std::errc() || ptr != end || value < low ||
        value > high) {
      Fail(node, "expected a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + (node.IsScalar() ? ", not '" + text + "'" : ""));
    }
    return value;
  }

  void Read(const YAML::Node& node, bool& v) const {
    const std::string text = ScalarText(node);
    if (node.IsScalar() && (text == "true" || text == "True" || text == "TRUE")) {
      v = true;
    } else if (node.IsScalar() && (text == "false" || text == "False" || text == "FALSE")) {
      v = false;
    } else {
      Fail(node, "expected true or false" + (node.IsScalar() ? ", not '" + text + "'" : ""));
    }
  }
  void Read(const YAML::Node& node, int32_t& v) const {
    v = static_cast<int32_t>(
        Integer(node, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
  }
  void Read(const YAML::Node& node, uint8_t& v) const {
    v = static_cast<uint8_t>(Integer(node, 0, 255));
  }
  void Read(const YAML::Node& node, std::string& v) const { v = m_text.ReadText(node, At(node)); }
  void Read(const YAML::Node& node, Colour& c) const {
    if (!node.IsSequence() || node.size() != 3) Fail(node, "expected a colour [red, green, blue]");
    c = {static_cast<uint8_t>(Integer(node[0], 0, 255)),
         static_cast<uint8_t>(Integer(node[1], 0, 255)),
         static_cast<uint8_t>(Integer(node[2], 0, 255))};
  }
  void Read(const YAML::Node& node, std::optional<int32_t>& v) const {
    if (node.IsNull()) {
      v.reset();
      return;
    }
    int32_t value = 0;
    Read(node, value);
    v = value;
  }
  void Read(const YAML::Node& node, std::vector<Point>& points) const {
    if (!node.IsSequence()) Fail(node, "expected a list of points [[x, y], ...]");
    points.clear();
    for (const YAML::Node& item : node) {
      if (!item.IsSequence() || item.size() != 2) Fail(item, "expected a point [x, y]");
      Point p;
      Read(item[0], p.x);
      Read(item[1], p.y);
      points.push_back(p);
    }
  }
  void Read(const YAML::Node& node, std::vector<int>& digits) const {
    if (!node.IsSequence()) Fail(node, "expected a list of digits [1, 2, ...]");
    digits.clear();
    for (const YAML::Node& item : node) digits.push_back(static_cast<int>(Integer(item, 0, 9)));
  }

  Script ReadScript(const YAML::Node& node) const {
    if (node.IsScalar() && node.Tag() == kFileTag) {
      const std::string path = node.Scalar();
      return m_text.ScriptFromFile(m_read_file(CheckedPath(node, path)), path);
    }
    return m_text.ReadInlineScript(node, At(node));
  }

  // A path inside the source folder: relative, without "." or ".." parts.
  std::string CheckedPath(const YAML::Node& node, const std::string& path) const {
    bool ok = !path.empty() && path[0] != '/' && IsValidUtf8(path) &&
              path.find('\0') == std::string::npos && path.find('\\') == std::string::npos;
    size_t start = 0;
    while (ok && start <= path.size()) {
      size_t end = path.find('/', start);
      if (end == std::string::npos) end = path.size();
      const std::string_view part = std::string_view(path).substr(start, end - start);
      ok = !part.empty() && part != "." && part != "..";
      start = end + 1;
    }
    if (!ok) Fail(node, "'" + path + "' is no file path inside the project folder");
    return path;
  }

  const SourceText& Text() const { return m_text; }

 private:
  const std::function<std::string(const std::string&)>& m_read_file;
  SourceText m_text;
};

// Reads the fields of one struct from a YAML map; unknown keys are errors.
template <class S>
class FieldReader {
 public:
  FieldReader(const YamlReader& r, YAML::Node map, S& value, const char* what)
      : m_r(r), m_map(map), m_value(value) {
    if (!map.IsMap()) r.Fail(map, std::string("expected the keys of ") + what);
  }

  YAML::Node Take(const char* key) {
    m_known.insert(key);
    return m_map[key];
  }

  template <class T>
  void Field(const char* key, T S::*member) {
    const YAML::Node node = Take(key);
    if (node) m_r.Read(node, m_value.*member);
  }

  void ScriptField(const char* key, Script S::*member) {
    const YAML::Node node = Take(key);
    if (node) m_value.*member = m_r.ReadScript(node);
  }

  // Fails on a key no field took, and on a key given twice.
  void Finish() const {
    std::set<std::string> seen;
    for (const auto& item : m_map) {
      const std::string key = ScalarText(item.first);
      if (!m_known.count(key)) m_r.Fail(item.first, "unknown key '" + key + "'");
      if (!seen.insert(key).second) m_r.Fail(item.first, "key '" + key + "' given twice");
    }
  }

 private:
  const YamlReader& m_r;
  const YAML::Node m_map;
  S& m_value;
  std::set<std::string> m_known;
};

// ---------------------------------------------------------------- fields

template <class V>
void ProjectOptionsFields(V& v) {
  using O = ProjectOptions;
  v.Field("no_cursor_shadow", &O::no_cursor_shadow);
  v.Field("no_screen_saver", &O::no_screen_saver);
  v.Field("swap_mouse_buttons", &O::swap_mouse_buttons);
  v.Field("no_menu_fade", &O::no_menu_fade);
  v.Field("extract_all", &O::extract_all);
  v.Field("hint_follows_pointer", &O::hint_follows_pointer);
  v.Field("hint_colour", &O::hint_colour);
  v.Field("hint_text_colour", &O::hint_text_colour);
  v.Field("run_without_flash", &O::run_without_flash);
  v.Field("single_instance", &O::single_instance);
  v.Field("hint_hide_pause", &O::hint_hide_pause);
  v.Field("first_byte", &O::first);
}

template <class V>
void ProjectHeaderFields(V& v) {
  using P = Project;
  v.Field("title", &P::title);
  v.Field("hint_pause", &P::hint_pause);
  v.Field("display_flags", &P::display_flags);
  v.Field("display_mode", &P::display_mode);
  v.Field("signature", &P::signature);
  v.Field("header_records", &P::header_records);
}

template <class V>
void ProjectScriptFields(V& v) {
  using P = Project;
  v.ScriptField("on_error", &P::on_error);
  v.ScriptField("on_hint", &P::on_hint);
  v.ScriptField("on_minimize", &P::on_minimize);
  v.ScriptField("on_restore", &P::on_restore);
  v.ScriptField("on_help", &P::help);
  v.ScriptField("on_lan_message", &P::lan_message);
  v.ScriptField("on_lan_file", &P::lan_file);
  v.ScriptField("on_command_line", &P::command_line);
  v.Field("lan_message_pad", &P::lan_message_pad);
  v.Field("lan_file_pad", &P::lan_file_pad);
}

template <class V>
void PageFields(V& v) {
  using P = Page;
  v.Field("caption", &P::caption);
  v.Field("client_width", &P::client_width);
  v.Field("client_height", &P::client_height);
  v.Field("alpha", &P::alpha);
  v.Field("lightness", &P::lightness);
  v.Field("blur", &P::blur);
  v.Field("contrast", &P::contrast);
  v.Field("saturation", &P::saturation);
  v.Field("sharpen", &P::sharpen);
  v.Field("sponge", &P::sponge);
  v.Field("cursor", &P::cursor);
  v.Field("background_record", &P::background_record);
  v.Field("transition_options", &P::transition_options);
  v.Field("transition_style", &P::transition_style);
  v.Field("transition_substyle", &P::transition_substyle);
  v.Field("transition_size", &P::transition_size);
  v.Field("transition_block_height", &P::transition_block_height);
  v.Field("mask_path", &P::mask_path);
  v.ScriptField("on_show", &P::on_show);
  v.ScriptField("on_close", &P::on_close);
  v.ScriptField("on_resize", &P::on_resize);
  v.ScriptField("on_wheel", &P::on_wheel);
  v.Field("records", &P::records);
}

template <class V>
void PageOptionsFields(V& v) {
  using O = PageOptions;
  v.Field("right_to_left", &O::right_to_left);
  v.Field("position", &O::position);
  v.Field("system_menu", &O::system_menu);
  v.Field("minimize_icon", &O::minimize_icon);
  v.Field("maximize_icon", &O::maximize_icon);
  v.Field("help_icon", &O::help_icon);
  v.Field("resizable", &O::resizable);
  v.Field("stay_on_top", &O::stay_on_top);
  v.Field("frame", &O::frame);
  v.Field("reserved", &O::reserved);
  v.Field("border_kind", &O::border_kind);
  v.Field("horizontal_scroll", &O::horizontal_scroll);
  v.Field("vertical_scroll", &O::vertical_scroll);
  v.Field("alpha_blend", &O::alpha_blend);
  v.Field("smooth_background", &O::smooth_background);
  v.Field("grayscale", &O::grayscale);
  v.Field("flip_horizontal", &O::flip_horizontal);
  v.Field("emboss", &O::emboss);
  v.Field("invert", &O::invert);
  v.Field("flip_vertical", &O::flip_vertical);
  v.Field("background_transparent", &O::background_transparent);
  v.Field("draw_style", &O::draw_style);
  v.Field("background_transparent_colour", &O::background_transparent_colour);
  v.Field("colour_key", &O::colour_key);
  v.Field("key_colour", &O::key_colour);
  v.Field("double_buffered", &O::double_buffered);
  v.Field("page_colour", &O::page_colour);
  v.Field("hidden_at_start", &O::hidden_at_start);
  v.Field("show_transition", &O::show_transition);
  v.Field("transition_duration", &O::transition_duration);
  v.Field("unread_tail", &O::unread_tail);
}

template <class V>
void ObjectFields(V& v) {
  using O = PageObject;
  v.Field("left", &O::left);
  v.Field("top", &O::top);
  v.Field("width", &O::width);
  v.Field("height", &O::height);
  v.Field("caption", &O::caption);
  v.Field("hint", &O::hint);
  v.Field("items", &O::items);
  v.Field("picture_name", &O::picture_name);
  v.Field("file", &O::file);
  v.Field("font_name", &O::font_name);
  v.Field("charset", &O::charset);
  v.Field("font_size", &O::font_size);
  v.Field("bold", &O::bold);
  v.Field("italic", &O::italic);
  v.Field("underline", &O::underline);
  v.Field("strike_out", &O::strike_out);
  v.Field("font_colour", &O::font_colour);
  v.Field("background_colour", &O::background_colour);
  v.Field("hover_colour", &O::hover_colour);
  v.Field("click_colour", &O::click_colour);
  v.Field("hover_font_colour", &O::hover_font_colour);
  v.Field("enter_colour", &O::enter_colour);
  v.Field("enter_font_colour", &O::enter_font_colour);
  v.Field("sel_colour", &O::sel_colour);
  v.Field("sel_font_colour", &O::sel_font_colour);
  v.Field("transparent_colour", &O::transparent_colour);
  v.Field("brush_colour", &O::brush_colour);
  v.Field("pen_colour", &O::pen_colour);
  v.Field("visible", &O::visible);
  v.Field("enabled", &O::enabled);
  v.Field("enabled_digit", &O::enabled_digit);
  v.Field("tab_stop", &O::tab_stop);
  v.Field("tab_order", &O::tab_order);
  v.Field("cursor", &O::cursor);
  v.Field("word_wrap", &O::word_wrap);
  v.Field("right_to_left", &O::right_to_left);
  v.Field("transparent", &O::transparent);
  v.Field("auto_size", &O::auto_size);
  v.Field("color_events", &O::color_events);
  v.Field("read_only", &O::read_only);
  v.Field("auto_select", &O::auto_select);
  v.Field("ctl3d", &O::ctl3d);
  v.Field("default_button", &O::default_button);
  v.Field("show_focus_rect", &O::show_focus_rect);
  v.Field("proportional", &O::proportional);
  v.Field("stretch", &O::stretch);
  v.Field("center", &O::center);
  v.Field("loop", &O::loop);
  v.Field("play_with_page_start", &O::play_with_page_start);
  v.Field("playing", &O::playing);
  v.Field("context_menu", &O::context_menu);
  v.Field("drop_target", &O::drop_target);
  v.Field("offline", &O::offline);
  v.Field("selectable", &O::selectable);
  v.Field("borders_3d", &O::borders_3d);
  v.Field("scroll_bars", &O::scroll_bars);
  v.Field("sorted", &O::sorted);
  v.Field("multi_select", &O::multi_select);
  v.Field("shape_option", &O::shape_option);
  v.Field("pen_inverted", &O::pen_inverted);
  v.Field("layout", &O::layout);
  v.Field("alignment", &O::alignment);
  v.Field("char_case", &O::char_case);
  v.Field("inner_bevel", &O::inner_bevel);
  v.Field("outer_bevel", &O::outer_bevel);
  v.Field("bevel_kind", &O::bevel_kind);
  v.Field("border", &O::border);
  v.Field("validation", &O::validation);
  v.Field("password_char", &O::password_char);
  v.Field("brush_style", &O::brush_style);
  v.Field("pen_style", &O::pen_style);
  v.Field("shape_kind", &O::shape_kind);
  v.Field("has_points", &O::has_points);
  v.Field("points", &O::points);
  v.Field("quality", &O::quality);
  v.Field("scale_mode", &O::scale_mode);
  v.Field("volume", &O::volume);
  v.Field("max_length", &O::max_length);
  v.Field("columns", &O::columns);
  v.Field("interval", &O::interval);
  v.Field("loops", &O::loops);
  v.Field("delay", &O::delay);
  v.Field("speed", &O::speed);
  v.Field("frame", &O::frame);
  v.Field("ignored_36", &O::ignored_36);
  v.Field("ignored_37", &O::ignored_37);
  v.Field("still_record", &O::still_record);
  v.ScriptField("on_mouse_down", &O::evntMDown);
  v.ScriptField("on_mouse_up", &O::evntMUp);
  v.ScriptField("on_mouse_enter", &O::evntMEnter);
  v.ScriptField("on_mouse_leave", &O::evntMLeave);
  v.ScriptField("on_change", &O::evntCH);
  v.ScriptField("on_double_click", &O::evntdbl);
  v.ScriptField("on_timer", &O::evntTimer);
  v.ScriptField("on_start", &O::evntStart);
  v.ScriptField("on_finish", &O::evntFinish);
  v.ScriptField("on_flash_command", &O::evntFS);
  v.ScriptField("on_flash_call", &O::evntFC);
  v.ScriptField("on_before_navigate", &O::evntBN);
  v.ScriptField("on_navigate_complete", &O::evntAN);
  v.ScriptField("on_new_window", &O::evntNW);
  v.ScriptField("on_progress_change", &O::evntPC);
  v.ScriptField("on_status_change", &O::evntSC);
  v.ScriptField("on_title_change", &O::evntTC);
  v.ScriptField("on_app_call", &O::evntAC);
}

template <class V>
void PathEntryFields(V& v) {
  using E = EmbeddedFile;
  v.Field("path", &E::path);
  v.Field("after_page", &E::after_page);
}

template <class V>
void DatabaseFields(V& v) {
  using D = TAPDatabase;
  v.Field("name", &D::name);
  v.Field("file", &D::file);
  v.Field("after_page", &D::after_page);
}

template <class V>
void FunctionFields(V& v) {
  using F = TFunc;
  v.Field("name", &F::name);
  v.Field("shortcut", &F::shortcut);
  v.Field("thread_slot", &F::thread_slot);
  v.ScriptField("body", &F::body);
  v.Field("after_page", &F::after_page);
}

template <class V>
void ThreadFields(V& v) {
  using T = ThreadSlots;
  v.Field("digits", &T::digits);
  v.Field("present", &T::present);
  v.Field("after_page", &T::after_page);
}

// Embedded files, fonts and cursors have the same two fields.
template <class Entry>
EmbeddedFile AsEmbedded(const Entry& e) {
  return {e.path, e.after_page};
}

// ---------------------------------------------------------------- writing the file

template <class Entry>
void WritePathList(YamlWriter& w, const char* key, const std::vector<Entry>& entries) {
  if (entries.empty()) return;
  YAML::Emitter& out = w.Out();
  out << YAML::Key << key << YAML::Value << YAML::BeginSeq;
  for (const Entry& entry : entries) {
    // Entries before the first page are written as their path alone.
    if (entry.after_page == 0) {
      w.Write(entry.path);
      continue;
    }
    const EmbeddedFile e = AsEmbedded(entry);
    out << YAML::BeginMap;
    FieldWriter<EmbeddedFile> fields(w, e, EmbeddedFile{});
    PathEntryFields(fields);
    out << YAML::EndMap;
  }
  out << YAML::EndSeq;
}

void WriteObject(YamlWriter& w, const PageObject& o, const std::string& stem) {
  YAML::Emitter& out = w.Out();
  out << YAML::BeginMap;
  out << YAML::Key << "kind" << YAML::Value << ObjectKindName(o.kind);
  out << YAML::Key << "name" << YAML::Value;
  w.Write(o.name);
  if (o.records != FullObjectRecords(o.kind))
    out << YAML::Key << "records" << YAML::Value << o.records;
  FieldWriter<PageObject> fields(w, o, PageObject{}, stem);
  ObjectFields(fields);
  out << YAML::EndMap;
}

void WritePage(YamlWriter& w, const Page& page, int number) {
  YAML::Emitter& out = w.Out();
  const std::string stem = "page-" + std::to_string(number) + "-";
  out << YAML::BeginMap;
  out << YAML::Key << "name" << YAML::Value;
  w.Write(page.name);
  FieldWriter<Page> fields(w, page, Page{}, stem);
  PageFields(fields);
  if (page.options != PageOptions{}) {
    out << YAML::Key << "options" << YAML::Value << YAML::BeginMap;
    FieldWriter<PageOptions> options(w, page.options, PageOptions{});
    PageOptionsFields(options);
    out << YAML::EndMap;
  }
  if (!page.objects.empty()) {
    out << YAML::Key << "objects" << YAML::Value << YAML::BeginSeq;
    for (size_t i = 0; i < page.objects.size(); ++i) {
      const PageObject& o = page.objects[i];
      const std::optional<std::string> part = FileNamePart(o.name);
      const std::string object_stem =
          stem + (part ? "OBJ" + *part : "object-" + std::to_string(i + 1)) + "-";
      WriteObject(w, o, object_stem);
    }
    out << YAML::EndSeq;
  }
  out << YAML::EndMap;
}

// ---------------------------------------------------------------- reading the file

template <class Entry>
void ReadPathList(const YamlReader& r, const YAML::Node& node, std::vector<Entry>& entries) {
  if (!node.IsSequence()) r.Fail(node, "expected a list of paths");
  for (const YAML::Node& item : node) {
    EmbeddedFile e;
    if (item.IsMap()) {
      FieldReader<EmbeddedFile> fields(r, item, e, "a list entry (path, after_page)");
      PathEntryFields(fields);
      fields.Finish();
    } else {
      r.Read(item, e.path);
    }
    Entry entry;
    entry.path = std::move(e.path);
    entry.after_page = e.after_page;
    entries.push_back(std::move(entry));
  }
}

template <class S, class Fields>
void ReadList(const YamlReader& r, const YAML::Node& node, std::vector<S>& list, const char* what,
              Fields fields_of) {
  if (!node.IsSequence()) r.Fail(node, std::string("expected a list of ") + what);
  for (const YAML::Node& item : node) {
    S value;
    FieldReader<S> fields(r, item, value, what);
    fields_of(fields);
    fields.Finish();
    list.push_back(std::move(value));
  }
}

PageObject ReadObject(const YamlReader& r, const YAML::Node& node) {
  PageObject o;
  FieldReader<PageObject> fields(r, node, o, "a page object");
  const YAML::Node kind = fields.Take("kind");
  if (!kind) r.Fail(node, "the object has no kind");
  const std::optional<ObjectKind> parsed = ObjectKindFromName(ScalarText(kind));
  if (!parsed) {
    std::string names;
    for (int i = 0; i < kObjectKindCount; ++i)
      names += std::string(i ? ", " : "") + ObjectKindName(static_cast<ObjectKind>(i));
    r.Fail(kind, "unknown object kind '" + ScalarText(kind) + "' (known: " + names + ")");
  }
  o.kind = *parsed;
  if (const YAML::Node name = fields.Take("name")) r.Read(name, o.name);
  o.records = FullObjectRecords(o.kind);
  if (const YAML::Node records = fields.Take("records"))
    o.records = static_cast<int>(r.Integer(records, 0, FullObjectRecords(o.kind)));
  ObjectFields(fields);
  fields.Finish();
  return o;
}

Page ReadPage(const YamlReader& r, const YAML::Node& node) {
  Page page;
  FieldReader<Page> fields(r, node, page, "a page");
  if (const YAML::Node name = fields.Take("name")) r.Read(name, page.name);
  PageFields(fields);
  if (page.records < 0 || page.records > 23) {
    r.Fail(node["records"], "page records must be 0 to 23");
  }
  if (const YAML::Node options = fields.Take("options")) {
    FieldReader<PageOptions> option_fields(r, options, page.options, "the page options");
    PageOptionsFields(option_fields);
    option_fields.Finish();
  }
  if (const YAML::Node objects = fields.Take("objects")) {
    if (!objects.IsSequence()) r.Fail(objects, "expected a list of page objects");
    for (const YAML::Node& item : objects) page.objects.push_back(ReadObject(r, item));
  }
  fields.Finish();
  return page;
}

}  // namespace

int FullObjectRecords(ObjectKind kind) {
  return static_cast<int>(LayoutOf(kind).records.size());
}

void NumberImagePictures(Project& project) {
  int counter = 0;
  for (Page& page : project.pages) {
    for (PageObject& o : page.objects) {
      o.picture_index = 0;
      if (o.kind == ObjectKind::Image && o.records >= 1) o.picture_index = ++counter;
    }
  }
}

std::string WriteProjectYaml(const ProjectYaml& yaml, SourceFiles& files) {
  const SourceText text(yaml.code_page);
  const Project& p = yaml.project;
  YamlWriter w(text, files);
  YAML::Emitter& out = w.Out();
  out << YAML::BeginMap;
  out << YAML::Key << "code_page" << YAML::Value << yaml.code_page;
  out << YAML::Key << "key" << YAML::Value << static_cast<int>(p.key);
  if (yaml.startup_options != std::optional<std::string>(kDefaultStartupOptions)) {
    out << YAML::Key << "startup_options" << YAML::Value;
    if (yaml.startup_options) {
      text.EmitText(out, *yaml.startup_options);
    } else {
      out << YAML::Null;
    }
  }
  {
    FieldWriter<Project> fields(w, p, Project{}, "project-");
    ProjectHeaderFields(fields);
  }
  if (p.options != ProjectOptions{}) {
    out << YAML::Key << "options" << YAML::Value << YAML::BeginMap;
    FieldWriter<ProjectOptions> fields(w, p.options, ProjectOptions{});
    ProjectOptionsFields(fields);
    out << YAML::EndMap;
  }
  {
    FieldWriter<Project> fields(w, p, Project{}, "project-");
    ProjectScriptFields(fields);
  }

  WritePathList(w, "embedded_files", p.embedded_files);
  WritePathList(w, "fonts", p.fonts);
  WritePathList(w, "cursors", p.cursors);
  if (!p.databases.empty()) {
    out << YAML::Key << "databases" << YAML::Value << YAML::BeginSeq;
    for (const TAPDatabase& db : p.databases) {
      out << YAML::BeginMap;
      FieldWriter<TAPDatabase> fields(w, db, TAPDatabase{});
      DatabaseFields(fields);
      out << YAML::EndMap;
    }
    out << YAML::EndSeq;
  }
  if (p.threads != ThreadSlots{}) {
    ThreadSlots defaults;
    // Present is what a written `threads` key says unless told otherwise.
    defaults.present = true;
    out << YAML::Key << "threads" << YAML::Value << YAML::BeginMap;
    FieldWriter<ThreadSlots> fields(w, p.threads, defaults);
    ThreadFields(fields);
    out << YAML::EndMap;
  }
  if (!p.functions.empty()) {
    out << YAML::Key << "functions" << YAML::Value << YAML::BeginSeq;
    for (size_t i = 0; i < p.functions.size(); ++i) {
      const TFunc& f = p.functions[i];
      const std::optional<std::string> part = FileNamePart(f.name);
      std::string stem = "function-" + std::to_string(i + 1) + (part ? "-" + *part : "") + "-";
      out << YAML::BeginMap;
      FieldWriter<TFunc> fields(w, f, TFunc{}, std::move(stem));
      FunctionFields(fields);
      out << YAML::EndMap;
    }
    out << YAML::EndSeq;
  }
  if (!yaml.resource_files.empty()) {
    out << YAML::Key << "resources" << YAML::Value << YAML::BeginSeq;
    for (const auto& [name, file] : yaml.resource_files) {
      out << YAML::BeginMap << YAML::Key << "name" << YAML::Value;
      EmitName(out, name);
      out << YAML::Key << "file" << YAML::Value;
      EmitString(out, file);
      out << YAML::EndMap;
    }
    out << YAML::EndSeq;
  }
  if (!p.pages.empty()) {
    // A blank line between pages helps the eye in a long file.
    out << YAML::Key << "pages" << YAML::Value << YAML::BeginSeq;
    for (size_t i = 0; i < p.pages.size(); ++i) {
      if (i > 0) out << YAML::Newline;
      WritePage(w, p.pages[i], static_cast<int>(i + 1));
    }
    out << YAML::EndSeq;
  }
  out << YAML::EndMap;
  if (!out.good()) throw SourceError(kFile + ": " + out.GetLastError());
  return std::string(out.c_str()) + "\n";
}

ProjectYaml ReadProjectYaml(std::string_view text,
                            const std::function<std::string(const std::string&)>& read_file) {
  YAML::Node root;
  try {
    root = YAML::Load(std::string(text));
  } catch (const YAML::ParserException& error) {
    throw SourceError(kFile + ":" + std::to_string(error.mark.line + 1) + ":" +
                      std::to_string(error.mark.column + 1) + ": " + error.msg);
  }
  YamlReader r(read_file);
  ProjectYaml yaml;
  if (root.IsNull()) return yaml;
  Project& p = yaml.project;
  try {
    FieldReader<Project> fields(r, root, p, "a project");
    if (const YAML::Node code_page = fields.Take("code_page")) {
      yaml.code_page = static_cast<int>(r.Integer(code_page, 1, 65535));
      try {
        r.SetCodePage(yaml.code_page);
      } catch (const SourceError& error) {
        r.Fail(code_page, error.what());
      }
    }
    if (const YAML::Node key = fields.Take("key"))
      p.key = static_cast<uint8_t>(r.Integer(key, 1, 99));
    if (const YAML::Node startup = fields.Take("startup_options")) {
      yaml.startup_options.reset();
      if (!startup.IsNull()) yaml.startup_options = r.Text().ReadText(startup, r.At(startup));
    }
    ProjectHeaderFields(fields);
    if (p.header_records < 0 || p.header_records > 10) {
      r.Fail(root["header_records"], "header records must be 0 to 10");
    }
    if (const YAML::Node options = fields.Take("options")) {
      FieldReader<ProjectOptions> option_fields(r, options, p.options, "the project options");
      ProjectOptionsFields(option_fields);
      option_fields.Finish();
    }
    ProjectScriptFields(fields);
    if (const YAML::Node node = fields.Take("embedded_files"))
      ReadPathList(r, node, p.embedded_files);
    if (const YAML::Node node = fields.Take("fonts")) ReadPathList(r, node, p.fonts);
    if (const YAML::Node node = fields.Take("cursors")) ReadPathList(r, node, p.cursors);
    if (const YAML::Node node = fields.Take("databases")) {
      ReadList(r, node, p.databases, "databases (name, file, after_page)",
               [](auto& f) { DatabaseFields(f); });
    }
    if (const YAML::Node node = fields.Take("threads")) {
      p.threads.present = true;
      FieldReader<ThreadSlots> thread_fields(r, node, p.threads, "the thread slots");
      ThreadFields(thread_fields);
      thread_fields.Finish();
    }
    if (const YAML::Node node = fields.Take("functions")) {
      ReadList(r, node, p.functions, "functions (name, shortcut, thread_slot, body, after_page)",
               [](auto& f) { FunctionFields(f); });
    }
    if (const YAML::Node node = fields.Take("resources")) {
      if (!node.IsSequence()) r.Fail(node, "expected a list of resources (name, file)");
      for (const YAML::Node& item : node) {
        if (!item.IsMap() || !item["name"] || !item["file"] || item.size() != 2) {
          r.Fail(item, "a resource entry has exactly the keys name and file");
        }
        const std::string name = ReadName(item["name"], r.At(item["name"]));
        if (name.empty()) r.Fail(item["name"], "a resource name may not be empty");
        const std::string file = r.CheckedPath(item["file"], ReadName(item["file"], r.At(item)));
        yaml.resource_files.emplace_back(name, file);
      }
    }
    if (const YAML::Node node = fields.Take("pages")) {
      if (!node.IsSequence()) r.Fail(node, "expected a list of pages");
      for (const YAML::Node& item : node) p.pages.push_back(ReadPage(r, item));
    }
    fields.Finish();
  } catch (const YAML::Exception& error) {
    // The reader checks node types before it converts, so this is a bug
    // guard rather than an expected path.
    throw SourceError(kFile + ": " + error.what());
  }
  NumberImagePictures(p);
  return yaml;
}

}  // namespace morvane
