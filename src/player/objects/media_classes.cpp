// The row of the class whose engine comes later: plug-in windows. They are
// built with every property and companion the package gives them and stay
// inert.

#include "expr/environment.h"
#include "platform/path_macros.h"
#include "player/objects/media_objects.h"
#include "player/objects/object_class.h"
#include "player/player.h"
#include "player/shell/page_window.h"

#include <QTimer>

namespace morvane {

namespace {

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
