// The image row: pictures from their records, the template, images made by
// scripts, and the actions on images.

#include "expr/environment.h"
#include "package/container.h"
#include "platform/path_macros.h"
#include "player/assets/picture_reader.h"
#include "player/objects/classic_look.h"
#include "player/objects/image_object.h"
#include "player/objects/object_class.h"
#include "player/player.h"

#include <cstdio>
#include <fstream>

namespace morvane {

Script* TQMImage::EventScript(ObjectEvent event) {
  return PointerScript(event, evntMDown, evntMUp, evntMEnter, evntMLeave);
}

namespace {

bool Press(PointerDesk& desk, const PointerEvent& e) {
  desk.SetPosition(desk.MainWindowPosition(e.global));
  desk.SetButtonFromKeys();
  desk.ClearMainFocus();
  desk.RunObjectScript(e.item, *e.item.EventScript(ObjectEvent::kMouseDown));
  return true;
}

bool Release(PointerDesk& desk, const PointerEvent& e) {
  if (e.button == 1) desk.ReleaseRule(e.item, e.object_widget, e.event);
  return true;
}

// The picture's extension as the author's file name gives it; one that would
// name another folder is dropped.
std::string PictureExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string_view ext = name.substr(dot);
  if (ext.find_first_of("\\/:") != std::string_view::npos) return {};
  return std::string(ext);
}

void Build(ObjectBuilder& b, const PageObject& o) {
  Environment& env = b.player.environment();
  auto* i = new TQMImage(o, &b.surface);
  i->setEnabled(o.enabled);
  i->SetPlacement(o.stretch, o.proportional, o.center);
  i->SetAutoSize(o.auto_size);
  i->RealName = o.name;
  // The picture goes through the temp folder, as the file it is loaded from.
  std::string windows_path = env.macro_folders().temp + "IDATA" + PictureExtension(o.picture_name);
  std::optional<std::string> bytes =
      b.player.project_container().Resource("IDATA" + std::to_string(o.picture_index));
  std::optional<std::string> host = env.drives().ToHost(windows_path, PathAccess::kWrite);
  if (bytes && host) {
    std::ofstream out(*host, std::ios::binary | std::ios::trunc);
    out.write(bytes->data(), std::streamsize(bytes->size()));
    out.close();
    i->ImgPath = windows_path;
    std::optional<std::string> loaded = ReadHostFile(*host);
    PictureData picture = ReadPicture(loaded ? *loaded : *bytes);
    if (picture.empty()) {
      std::fprintf(stderr, "morvane-player: page %d: the picture of image OBJ%s is unreadable\n",
                   b.form_number(), o.name.c_str());
    }
    i->SetPicture(std::move(picture), o.transparent, ToQColor(o.transparent_colour), o.loop);
  }
  b.Place(*i, o);
  b.Hint(*i, o);
  b.Cursor(*i, *i, o.cursor);
  i->evntMDown = o.evntMDown, i->evntMUp = o.evntMUp;
  i->evntMEnter = o.evntMEnter, i->evntMLeave = o.evntMLeave;
  i->Smooth();
  i->setVisible(o.visible);
  b.Add(*i);
}

TQMImage& Image(ObjectActionCall& c) {
  return static_cast<TQMImage&>(c.item);
}

}  // namespace

ObjectClass ImageClass() {
  ObjectClass row{ObjectKind::Image, "TQMImage"};
  row.tracked_hover = true;
  row.build = Build;
  row.pointer = {nullptr, Press, Release};
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMImage(defaults, &b.surface);
  };
  row.create_words = {"image"};
  row.create = [](ObjectBuilder& b, const PageObject& model, std::string_view) -> PageObjectItem* {
    return new TQMImage(model, &b.surface);
  };
  row.actions = {
      {42, "B", [](ObjectActionCall& c) { Image(c).SetLoop(c.args.B(0)); }},
      {54, "",
       [](ObjectActionCall& c) {
         TQMImage& image = Image(c);
         if (!image.animated()) return;
         if (image.paused()) {
           image.Resume();
         } else if (!image.running()) {
           image.Start();
         }
       }},
      {55, "", [](ObjectActionCall& c) { Image(c).Pause(); }},
      {56, "", [](ObjectActionCall& c) { Image(c).Stop(); }},
      {57, "P",
       [](ObjectActionCall& c) {
         const std::string path = c.args.P(0);
         PictureData picture = ReadPicture(ReadObjectFile(c.player, path));
         if (picture.empty()) throw ObjectActionFailure("Bitmap image is not valid");
         Image(c).LoadPicture(std::move(picture));
         Image(c).ImgPath = path;
         Image(c).Smooth();
       }},
      // A bad colour leaves the key colour as it was, without a box.
      {68, "C",
       [](ObjectActionCall& c) {
         try {
           Image(c).SetTransparentColour(QColorOfValue(c.args.C(0)));
         } catch (...) {
         }
       }},
      {71, "E", ReplaceEventScriptAction},
      {72, "E", ReplaceEventScriptAction},
      {73, "E", ReplaceEventScriptAction},
      {74, "E", ReplaceEventScriptAction},
      {103, "", [](ObjectActionCall& c) { Image(c).Restart(); }},
  };
  return row;
}

}  // namespace morvane
