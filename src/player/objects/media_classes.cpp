// The rows of the classes whose engines come later: sounds, videos, Flash
// movies, web browsers and plug-in windows. They are built with every
// property and companion the package gives them and stay inert.

#include "platform/path_macros.h"
#include "player/objects/media_objects.h"
#include "player/objects/object_class.h"
#include "player/assets/picture_reader.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"

#include <QSlider>
#include <QTimer>

namespace morvane {

Script* TQMSound::EventScript(ObjectEvent event) {
  if (event == ObjectEvent::kStart) return &evntStart;
  if (event == ObjectEvent::kFinish) return &evntFinish;
  return nullptr;
}

Script* TQMVideo::EventScript(ObjectEvent event) {
  if (event == ObjectEvent::kStart) return &evntStart;
  if (event == ObjectEvent::kFinish) return &evntFinish;
  return nullptr;
}

void TQMVideo::Moved(int32_t left, int32_t top) {
  if (Stl) Stl->move(left, top);
  hide();
}

void TQMVideo::DestroyOwned(const std::function<void(std::string_view name)>& destroy) {
  // The still goes with the video rather than staying over the page.
  if (!Stl) return;
  destroy("IMG" + model().name);
  Stl = nullptr;
}

namespace {

// A hidden position tracker.
QSlider* Track(ObjectBuilder& b, std::string_view name) {
  auto* track = new QSlider(Qt::Horizontal, &b.surface);
  track->setVisible(false);
  b.Name(*track, name);
  return track;
}

void BuildSound(ObjectBuilder& b, const PageObject& o) {
  auto* s = new TQMSound(o, &b.form);
  s->Loop = o.loop;
  s->PlayWithPageStart = o.play_with_page_start;
  s->volume = o.volume;
  s->DelayBetweenLoops = o.delay;
  s->NumberOfLoops = o.loops;
  s->FileName = ExpandPathMacros(o.file, b.player.environment().macro_folders());
  s->evntStart = o.evntStart, s->evntFinish = o.evntFinish;
  b.Add(*s);
  Track(b, "SND" + o.name);
  if (o.play_with_page_start) {
    auto* start = new QTimer(&b.form);
    start->setSingleShot(true);
    start->setInterval(1);
    b.Name(*start, "TIMOBJ" + o.name);
  }
}

void BuildVideo(ObjectBuilder& b, const PageObject& o) {
  Environment& env = b.player.environment();
  const MacroFolders folders = env.macro_folders();
  b.Name(*new QObject(&b.form), "FIL" + o.name);
  Track(b, "TRK" + o.name);
  auto* v = new TQMVideo(o, &b.surface);
  v->Loop = o.loop;
  v->PlayWithPageStart = o.play_with_page_start;
  v->Volume = o.volume;
  b.Place(*v, o);
  v->DelayBetweenLoops = o.delay;
  v->Speed = o.speed;
  v->Path = ExpandPathMacros(o.file, folders);
  v->evntStart = o.evntStart, v->evntFinish = o.evntFinish;
  // The still over the video's box, from a file no part of the player
  // writes; without it the still stays empty.
  auto* still = new TQMImage(DefaultObject(ObjectKind::Image), &b.surface);
  still->SetPlacement(true, false, false);
  still->setGeometry(v->geometry());
  std::string still_path = folders.temp + "FIL" + o.name + ".bmp";
  if (std::optional<std::string> host = env.drives().ToHost(still_path)) {
    if (std::optional<std::string> bytes = ReadHostFile(*host)) {
      still->SetPicture(ReadPicture(*bytes), false, QColor(), false);
      still->ImgPath = still_path;
    }
  }
  still->setVisible(true);
  still->raise();
  b.Name(*still, "IMG" + o.name);
  v->Stl = still;
  v->setVisible(o.visible && o.play_with_page_start);
  b.Add(*v);
}

void BuildBrowser(ObjectBuilder& b, const PageObject& o) {
  auto* w = new TQMBrowser(o, &b.surface);
  w->setVisible(o.visible);
  b.TabStop(*w, o);
  w->RegisterAsDropTarget = o.drop_target;
  w->ContextMenu = o.context_menu;
  w->Offline = o.offline;
  w->Selectable = o.selectable;
  w->Borders3D = o.borders_3d;
  w->ScrollBars = o.scroll_bars;
  b.Place(*w, o);
  w->tab_order = o.tab_order;
  w->cursor_number = o.cursor;
  b.player.cursors().Apply(*w, o.cursor);
  w->DefPath = ExpandPathMacros(o.file, b.player.environment().macro_folders());
  b.Hint(*w, o);
  w->evntBN = o.evntBN, w->evntAN = o.evntAN, w->evntNW = o.evntNW, w->evntPC = o.evntPC;
  w->evntSC = o.evntSC, w->evntTC = o.evntTC, w->evntAC = o.evntAC;
  b.DoubleBuffer(*w);
  w->setVisible(o.visible);
  b.Add(*w);
}

void BuildPlugin(ObjectBuilder& b, const PageObject& o) {
  auto* p = new TQMMPlugin(o, &b.surface);
  b.Place(*p, o);
  p->Path = ExpandPathMacros(o.file, b.player.environment().macro_folders());
  auto* service = new QTimer(&b.form);
  service->setSingleShot(true);
  service->setInterval(1);
  b.Name(*service, "P" + o.name);
  p->setVisible(o.visible);
  b.Add(*p);
}

// An action the class accepts whose engine this build does not have: it does
// nothing, and the compatibility table lists it.
ObjectActionRow Waiting(int32_t code, const char* kinds) {
  return {code, kinds, [](ObjectActionCall&) {}};
}

}  // namespace

ObjectClass SoundClass() {
  ObjectClass row{ObjectKind::Sound, "TQMSound"};
  row.companions = {"SND"};
  row.built_with_page = true;
  row.visual = false;
  row.inert = true;
  row.build = BuildSound;
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMSound(defaults, &b.form);
  };
  row.create_words = {"sound"};
  row.create = [](ObjectBuilder& b, const PageObject& model, std::string_view) -> PageObjectItem* {
    auto* s = new TQMSound(model, &b.form);
    Track(b, "SND" + model.name);
    return s;
  };
  row.actions = {
      {42, "B", [](ObjectActionCall& c) { static_cast<TQMSound&>(c.item).Loop = c.args.B(0); }},
      Waiting(50, "N"),
      Waiting(51, "B"),
      Waiting(52, "N"),
      Waiting(53, "N"),
      Waiting(54, ""),
      Waiting(55, ""),
      Waiting(56, ""),
      Waiting(57, "P"),
      {77, "E", ReplaceEventScriptAction},
      {78, "E", ReplaceEventScriptAction},
      Waiting(79, "N"),
      Waiting(103, ""),
  };
  return row;
}

ObjectClass VideoClass() {
  ObjectClass row{ObjectKind::Video, "TQMVideo"};
  row.companions = {"FIL", "TRK", "IMG"};
  row.inert = true;
  row.build = BuildVideo;
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMVideo(defaults, &b.surface);
  };
  row.actions = {
      Waiting(54, ""),
      Waiting(55, ""),
      Waiting(56, ""),
      Waiting(57, "P"),
      {77, "E", ReplaceEventScriptAction},
      {78, "E", ReplaceEventScriptAction},
      Waiting(79, "N"),
      Waiting(89, "B"),
      Waiting(103, ""),
  };
  return row;
}

ObjectClass FlashClass() {
  ObjectClass row{ObjectKind::Flash, "TQMFlash"};
  // Without the Flash control, Flash objects are skipped with their records.
  row.build = [](ObjectBuilder&, const PageObject&) {};
  // The Flash template lives on the main window only.
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    if (b.form_number() != 1) return nullptr;
    return new TQMFlash(defaults, &b.surface);
  };
  row.actions = {
      Waiting(42, "B"), Waiting(54, ""),  Waiting(56, ""),  Waiting(57, "P"),  Waiting(58, "B"),
      Waiting(59, "N"), Waiting(60, "N"), Waiting(61, "N"), Waiting(80, "SS"), Waiting(103, ""),
  };
  return row;
}

ObjectClass BrowserClass() {
  ObjectClass row{ObjectKind::Browser, "TQMBrowser"};
  row.inert = true;
  row.build = BuildBrowser;
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMBrowser(defaults, &b.surface);
  };
  row.create_words = {"browser"};
  row.create = [](ObjectBuilder& b, const PageObject& model, std::string_view) -> PageObjectItem* {
    return new TQMBrowser(model, &b.surface);
  };
  row.actions = {
      {27, "N",
       [](ObjectActionCall& c) {
         const int32_t order = c.args.N(0);
         static_cast<TQMBrowser&>(c.item).tab_order = order;
         TabOrderAction(c);
       }},
      {34, "B",
       [](ObjectActionCall& c) { static_cast<TQMBrowser&>(c.item).Borders3D = c.args.B(0); }},
      Waiting(49, "P"),
      Waiting(58, "B"),
      Waiting(62, "B"),
      Waiting(63, "B"),
      Waiting(64, "B"),
      Waiting(81, ""),
      Waiting(82, ""),
      Waiting(83, ""),
      Waiting(84, ""),
      Waiting(85, "SP"),
      Waiting(86, ""),
      Waiting(87, ""),
      Waiting(88, ""),
  };
  return row;
}

ObjectClass PluginClass() {
  ObjectClass row{ObjectKind::Plugin, "TQMMPlugin", "mplugin"};
  row.companions = {"P"};
  row.inert = true;
  row.build = BuildPlugin;
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMMPlugin(defaults, &b.surface);
  };
  row.actions = {Waiting(65, "R"), Waiting(66, "S"), Waiting(67, "R")};
  return row;
}

}  // namespace morvane
