// The sound and video rows: objects from their records and their companions,
// the templates, sounds made by scripts, and the media actions.

#include "player/media/media_rows.h"

#include "expr/environment.h"
#include "platform/path_macros.h"
#include "player/assets/picture_reader.h"
#include "player/media/media_host.h"
#include "player/media/media_objects.h"
#include "player/objects/object_class.h"
#include "player/player.h"
#include "player/shell/page_window.h"

#include <QTimer>

namespace morvane {
namespace {

PositionTracker* Track(ObjectBuilder& b, std::string_view name) {
  auto* track = new PositionTracker(&b.surface);
  b.Name(*track, name);
  return track;
}

void WireNewSound(ObjectBuilder& b, TQMSound& s, const std::string& number) {
  MediaHost& host = MediaHost::For(b.player);
  host.WireSound(s, b.form);
  host.BindTracker(*Track(b, "SND" + number), s.graph(), number);
}

void BuildSound(ObjectBuilder& b, const PageObject& o) {
  auto* s = new TQMSound(o, &b.form);
  s->Loop = o.loop;
  s->PlayWithPageStart = o.play_with_page_start;
  s->SetVolume(o.volume);
  s->DelayBetweenLoops = o.delay;
  s->NumberOfLoops = o.loops;
  s->FileName = ExpandPathMacros(o.file, b.player.environment().macro_folders());
  s->evntStart = o.evntStart, s->evntFinish = o.evntFinish;
  b.Add(*s);
  WireNewSound(b, *s, o.name);
  if (o.play_with_page_start) {
    // Plays the sound once, as soon as the program runs.
    auto* start = new QTimer(&b.form);
    start->setSingleShot(true);
    start->setInterval(1);
    b.Name(*start, "TIMOBJ" + o.name);
    MediaHost::For(b.player).StartSoundTimer(*start, *s, b.form);
  }
}

void BuildVideo(ObjectBuilder& b, const PageObject& o) {
  Environment& env = b.player.environment();
  const MacroFolders folders = env.macro_folders();
  MediaHost& host = MediaHost::For(b.player);
  auto* graph = new MediaGraph(MediaKind::kVideo, &b.form);
  graph->SetVolume(o.volume);
  b.Name(*graph, "FIL" + o.name);
  PositionTracker* track = Track(b, "TRK" + o.name);
  auto* v = new TQMVideo(o, &b.surface);
  v->Loop = o.loop;
  v->PlayWithPageStart = o.play_with_page_start;
  v->Volume = o.volume;
  b.Place(*v, o);
  v->DelayBetweenLoops = o.delay;
  v->Speed = o.speed;
  v->Path = ExpandPathMacros(o.file, folders);
  v->evntStart = o.evntStart, v->evntFinish = o.evntFinish;
  host.WireVideo(*v, *graph, b.form);
  host.BindTracker(*track, *graph, o.name);
  // The still over the video's box, from a file no part of the player
  // writes; without it the still stays empty.
  auto* still = new TQMImage(DefaultObject(ObjectKind::Image), &b.surface);
  still->SetPlacement(true, false, false);
  still->setGeometry(v->geometry());
  std::string still_path = folders.temp + "FIL" + o.name + ".bmp";
  if (std::optional<std::string> host_path = env.drives().ToHost(still_path)) {
    if (std::optional<std::string> bytes = ReadHostFile(*host_path)) {
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
  if (o.play_with_page_start) host.AutoStartVideo(*v, b.form);
}

TQMSound& Sound(ObjectActionCall& c) {
  return static_cast<TQMSound&>(c.item);
}

TQMVideo& Video(ObjectActionCall& c) {
  return static_cast<TQMVideo&>(c.item);
}

// Runs a media step; a file that cannot be played fails the action.
template <class Step>
void Media(Step step) {
  try {
    step();
  } catch (const MediaError& e) {
    throw ObjectActionFailure(e.what());
  }
}

void PlaySound(ObjectActionCall& c) {
  TQMSound& s = Sound(c);
  Media([&] { MediaHost::For(c.player).PlayGraph(s.graph(), s.FileName); });
}

void LoadSound(ObjectActionCall& c) {
  TQMSound& s = Sound(c);
  s.FileName = c.args.P(0);
  Media([&] { MediaHost::For(c.player).LoadGraph(s.graph(), s.FileName); });
}

void SeekAndPlay(MediaGraph& graph, int32_t ms) {
  graph.SetPositionMs(ms);
  graph.Play();
}

// The video's graph; nothing once a script deleted it.
MediaGraph* VideoGraph(ObjectActionCall& c) {
  return Video(c).graph();
}

ObjectClass SoundRow() {
  ObjectClass row{ObjectKind::Sound, "TQMSound"};
  row.companions = {"SND"};
  row.built_with_page = true;
  row.visual = false;
  row.build = BuildSound;
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMSound(defaults, &b.form);
  };
  row.create_words = {"sound"};
  row.create = [](ObjectBuilder& b, const PageObject& model, std::string_view) -> PageObjectItem* {
    auto* s = new TQMSound(model, &b.form);
    WireNewSound(b, *s, model.name);
    return s;
  };
  row.actions = {
      {42, "B", [](ObjectActionCall& c) { Sound(c).Loop = c.args.B(0); }},
      {50, "N", [](ObjectActionCall& c) { Sound(c).SetVolume(c.args.N(0)); }},
      {51, "B", [](ObjectActionCall& c) { Sound(c).PlayWithPageStart = c.args.B(0); }},
      {52, "N", [](ObjectActionCall& c) { Sound(c).NumberOfLoops = c.args.N(0); }},
      {53, "N", [](ObjectActionCall& c) { Sound(c).DelayBetweenLoops = c.args.N(0); }},
      {54, "", PlaySound},
      {55, "", [](ObjectActionCall& c) { Sound(c).graph().Pause(); }},
      {56, "", [](ObjectActionCall& c) { Sound(c).graph().Stop(); }},
      {57, "P", LoadSound},
      {77, "E", ReplaceEventScriptAction},
      {78, "E", ReplaceEventScriptAction},
      {79, "N", [](ObjectActionCall& c) { SeekAndPlay(Sound(c).graph(), c.args.N(0)); }},
      {103, "", [](ObjectActionCall& c) { Sound(c).graph().SetPositionMs(0); }},
  };
  return row;
}

ObjectClass VideoRow() {
  ObjectClass row{ObjectKind::Video, "TQMVideo"};
  row.companions = {"FIL", "TRK", "IMG"};
  row.build = BuildVideo;
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMVideo(defaults, &b.surface);
  };
  row.actions = {
      {54, "",
       [](ObjectActionCall& c) {
         if (MediaGraph* g = VideoGraph(c))
           Media([&] { MediaHost::For(c.player).PlayGraph(*g, Video(c).Path); });
       }},
      {55, "",
       [](ObjectActionCall& c) {
         if (MediaGraph* g = VideoGraph(c)) g->Pause();
       }},
      {56, "",
       [](ObjectActionCall& c) {
         if (MediaGraph* g = VideoGraph(c)) {
           g->Stop();
           g->Clear();
           g->SetActive(false);
         }
         Video(c).hide();
       }},
      {57, "P",
       [](ObjectActionCall& c) {
         TQMVideo& v = Video(c);
         v.Path = c.args.P(0);
         if (MediaGraph* g = VideoGraph(c))
           Media([&] { MediaHost::For(c.player).LoadGraph(*g, v.Path); });
       }},
      {77, "E", ReplaceEventScriptAction},
      {78, "E", ReplaceEventScriptAction},
      {79, "N",
       [](ObjectActionCall& c) {
         const int32_t ms = c.args.N(0);
         if (MediaGraph* g = VideoGraph(c)) SeekAndPlay(*g, ms);
       }},
      {89, "B",
       [](ObjectActionCall& c) { MediaHost::For(c.player).FullScreen(Video(c), c.args.B(0)); }},
      {103, "",
       [](ObjectActionCall& c) {
         if (MediaGraph* g = VideoGraph(c)) g->SetPositionMs(0);
       }},
  };
  return row;
}

}  // namespace

void RegisterMediaClasses() {
  RegisterObjectClass(SoundRow());
  RegisterObjectClass(VideoRow());
}

}  // namespace morvane
