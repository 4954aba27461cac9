// The rows of the classes whose engines come later: Flash movies and web
// browsers. They are built with every property and companion the package
// gives them and stay inert. Plug-in windows have their row in ext/.

#include "expr/environment.h"
#include "platform/path_macros.h"
#include "player/assets/cursors.h"
#include "player/assets/picture_reader.h"
#include "player/objects/media_objects.h"
#include "player/objects/object_class.h"
#include "player/player.h"
#include "player/shell/page_window.h"

#include <QTimer>

namespace morvane {

namespace {

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

// An action the class accepts whose engine this build does not have: it does
// nothing, and the compatibility table lists it.
ObjectActionRow Waiting(int32_t code, const char* kinds) {
  return {code, kinds, [](ObjectActionCall&) {}};
}

}  // namespace

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

}  // namespace morvane
