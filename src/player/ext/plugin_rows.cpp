// The plug-in window's row: windows from their records with their start
// timers, the template, and the actions that call the library.

#include "player/ext/plugin_rows.h"

#include "expr/environment.h"
#include "expr/evaluator.h"
#include "expr/values.h"
#include "platform/drive_table.h"
#include "platform/path_macros.h"
#include "player/ext/plugin_library.h"
#include "player/ext/plugin_window.h"
#include "player/player.h"
#include "player/shell/page_window.h"
#include "util/code_page.h"

#include <QTimer>

#include <cstring>

namespace morvane {
namespace {

void BuildPlugin(ObjectBuilder& b, const PageObject& o) {
  auto* p = new TQMMPlugin(o, &b.surface);
  b.Place(*p, o);
  p->Path = ExpandPathMacros(o.file, b.player.environment().macro_folders());
  auto* start = new QTimer(&b.form);
  b.Name(*start, "P" + o.name);
  ArmPluginStart(b.player, b.form, *start);
  p->setVisible(o.visible);
  b.Add(*p);
}

TQMMPlugin& Window(ObjectActionCall& c) {
  return static_cast<TQMMPlugin&>(c.item);
}

// The window's library; an action that needs one fails without it.
PluginLibrary& Library(ObjectActionCall& c) {
  TQMMPlugin& window = Window(c);
  if (PluginLibrary* library = window.library()) return *library;
  throw ObjectActionFailure("The plug-in library \"" + window.Path + "\" is not loaded.");
}

// The export an action needs; the action fails without it.
template <class Fn>
Fn Export(ObjectActionCall& c, const char* name) {
  PluginLibrary& library = Library(c);
  if (const Fn fn = library.Find<Fn>(name)) return fn;
  throw ObjectActionFailure("The plug-in " + FromUtf8(library.name(), c.player.code_page()) +
                            " does not export " + name + ".");
}

// Calls into the window's library; a failure inside fails the action.
template <class F>
void Call(ObjectActionCall& c, const char* name, F&& body) {
  try {
    CallPlugin(Library(c), name, std::forward<F>(body));
  } catch (const PluginFailure& e) {
    Window(c).ShowCanvas();
    throw ObjectActionFailure(FromUtf8(e.what(), c.player.code_page()));
  }
  Window(c).ShowCanvas();
}

void Resize(ObjectActionCall& c) {
  ResizeAction(c);
  TQMMPlugin& window = Window(c);
  const auto draw = Export<MorvaneDrawFn>(c, "Draw");
  window.FitCanvas();
  const int32_t w = window.width(), h = window.height();
  Call(c, "Draw", [&] { draw(nullptr, 0, 0, w, h); });
}

// The host path a script's path names, for the plug-in; the text as it is
// when it names none.
std::string HostPathForPlugin(ObjectActionCall& c, const std::string& windows_path) {
  if (std::optional<std::string> host = c.player.environment().drives().ToHost(windows_path))
    return *host;
  return ToUtf8(windows_path, c.player.code_page());
}

// What GetFile returned, for a script: an absolute host path as the Windows
// path scripts use for it, any other text as it is.
std::string TextFromPlugin(ObjectActionCall& c, const std::string& utf8) {
  if (!utf8.empty() && utf8.front() == '/') {
    if (std::optional<std::string> windows = c.player.environment().drives().ToWindows(utf8))
      return *windows;
  }
  return FromUtf8(utf8, c.player.code_page());
}

void Send(ObjectActionCall& c) {
  const std::string& raw = c.args.R(0);
  if (!raw.empty() && (raw.front() == '$' || raw.front() == '"')) {
    const std::string path = HostPathForPlugin(c, c.args.P(0));
    const auto set_file = Export<MorvaneSetFileFn>(c, "SetFile");
    const char* text = path.c_str();
    Call(c, "SetFile", [&] { set_file(text); });
  } else {
    const int32_t value = c.args.N(0);
    const auto set_data = Export<MorvaneSetDataFn>(c, "SetData");
    Call(c, "SetData", [&] { set_data(value); });
  }
}

void CallAny(ObjectActionCall& c) {
  const std::string name = c.args.S(0);
  PluginLibrary* library = Window(c).library();
  if (!library) return;
  const auto fn = library->Find<MorvaneAnyFn>(name.c_str());
  if (!fn) return;
  try {
    CallPlugin(*library, name.c_str(), [&] { fn(); });
  } catch (const PluginFailure&) {
  }
  Window(c).ShowCanvas();
}

void Read(ObjectActionCall& c) {
  const std::string& raw = c.args.R(0);
  const char prefix = raw.empty() ? '\0' : raw.front();
  if (prefix != '$' && prefix != '#' && prefix != '!') {
    c.player.MessageBox("Syntax Error", kPluginPrefixError, kMbOk | kMbIconError);
    return;
  }
  const std::string name = raw.substr(1);
  TValues& values = c.player.values();
  IndexEvaluator* index = &c.args.evaluator();
  if (prefix == '$') {
    const auto get_file = Export<MorvaneGetFileFn>(c, "GetFile");
    std::string text;
    std::string* into = &text;
    // Copied inside the call: a string that is no string fails there.
    Call(c, "GetFile", [&] {
      const char* got = get_file();
      if (got) into->assign(got, std::strlen(got));
    });
    values.SetString(name, TextFromPlugin(c, text), index);
    return;
  }
  const auto get_data = Export<MorvaneGetDataFn>(c, "GetData");
  int32_t value = 0;
  Call(c, "GetData", [&] { value = get_data(); });
  if (prefix == '#')
    values.SetNumber(name, double(value), index);
  else
    values.SetBoolean(name, value > 0, index);
}

}  // namespace

ObjectClass PluginClass() {
  ObjectClass row{ObjectKind::Plugin, "TQMMPlugin", "mplugin"};
  row.companions = {"P"};
  row.built_with_page = true;
  row.build = BuildPlugin;
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMMPlugin(defaults, &b.surface);
  };
  row.actions = {
      {8, "NN", Resize},
      {65, "R", Send},
      {66, "S", CallAny},
      {67, "R", Read},
  };
  return row;
}

}  // namespace morvane
