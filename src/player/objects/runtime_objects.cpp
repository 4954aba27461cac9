#include "player/objects/runtime_objects.h"

#include "player/assets/fonts.h"
#include "player/objects/button_object.h"
#include "player/objects/classic_look.h"
#include "player/objects/edit_object.h"
#include "player/objects/image_object.h"
#include "player/objects/media_objects.h"
#include "player/objects/page_objects.h"
#include "player/objects/shape_object.h"
#include "player/objects/text_object.h"
#include "player/objects/timer_object.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"

#include <QSlider>

#include <memory>
#include <optional>
#include <string>

namespace morvane {
namespace {

// The package record of an object that has none: the class's defaults under
// the object's name. It lives as a child of the object it describes.
class RuntimeModel : public QObject {
 public:
  RuntimeModel(ObjectKind kind, std::string_view number) {
    model.kind = kind;
    model.name = std::string(number);
  }
  PageObject model;
};

struct KindInfo {
  ObjectKind kind;
  std::optional<ShapeType> shape;
};

std::optional<KindInfo> KindOf(std::string_view kind) {
  if (kind == "text") return KindInfo{ObjectKind::Text, {}};
  if (kind == "edit") return KindInfo{ObjectKind::Edit, {}};
  if (kind == "button") return KindInfo{ObjectKind::Button, {}};
  if (kind == "image") return KindInfo{ObjectKind::Image, {}};
  if (kind == "rectangle") return KindInfo{ObjectKind::Shape, ShapeType::stRectangle};
  if (kind == "circle") return KindInfo{ObjectKind::Shape, ShapeType::stEllipse};
  if (kind == "line") return KindInfo{ObjectKind::Shape, ShapeType::stLine};
  if (kind == "hotspot") return KindInfo{ObjectKind::Shape, ShapeType::stHotSpot};
  if (kind == "timer") return KindInfo{ObjectKind::Timer, {}};
  if (kind == "sound") return KindInfo{ObjectKind::Sound, {}};
  if (kind == "browser") return KindInfo{ObjectKind::Browser, {}};
  // Flash objects need the Flash control, which this player never has; list
  // boxes, videos and plug-in windows cannot be made while a project runs.
  return std::nullopt;
}

// Component names are identifiers: "OBJ" + number must stay one.
bool ValidNumber(std::string_view number) {
  for (char c : number) {
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

bool CreateRuntimeObject(Player& player, std::string_view kind, std::string_view number,
                         int32_t script_page) {
  const std::optional<KindInfo> info = KindOf(kind);
  TQMForm* form = player.GetFormByNum(player.CurrentPage());
  if (!info || !form || !ValidNumber(number)) return false;
  PageObjects& objects = form->objects();
  const std::string n(number);
  if (objects.FindComponent("OBJ" + n)) return false;
  if (info->kind == ObjectKind::Sound && objects.FindComponent("SND" + n)) return false;

  auto holder = std::make_unique<RuntimeModel>(info->kind, number);
  const PageObject& model = holder->model;
  QWidget* surface = &form->surface();
  const int cp = player.code_page();
  const QFont default_font = WindowsFont("MS Sans Serif", 8, 1, cp);
  PageObjectItem* item = nullptr;
  QWidget* companion = nullptr;

  switch (info->kind) {
    case ObjectKind::Text: {
      auto* t = new TQMText(model, surface);
      t->setFont(default_font);
      item = t;
      break;
    }
    case ObjectKind::Edit: {
      auto* e = new TQMEdit(model, surface);
      e->setFont(default_font);
      e->SetColours(QColor(255, 255, 255), QColor(0, 0, 0));
      e->ColorNormal = Colour{255, 255, 255};
      item = e;
      break;
    }
    case ObjectKind::Button: {
      auto* b = new TQMButton(model, surface);
      b->setFont(default_font);
      item = b;
      break;
    }
    case ObjectKind::Image:
      item = new TQMImage(model, surface);
      break;
    case ObjectKind::Shape: {
      auto* s = new TQMShape(model, surface);
      s->SetShape(*info->shape);
      item = s;
      break;
    }
    case ObjectKind::Timer: {
      auto* t = new TQMTimer(model, form);
      t->stop();
      // Its script runs in the window of the script that made it.
      Player* p = &player;
      t->SetTickHandler([p, script_page](TQMTimer& timer) {
        if (TQMForm* page = p->GetFormByNum(script_page)) p->RunScript(timer.evntTimer, *page);
      });
      item = t;
      break;
    }
    case ObjectKind::Sound: {
      item = new TQMSound(model, form);
      auto* track = new QSlider(Qt::Horizontal, surface);
      track->setVisible(false);
      companion = track;
      break;
    }
    case ObjectKind::Browser:
      item = new TQMBrowser(model, surface);
      break;
    default:
      return false;
  }

  QObject* object = item->AsObject();
  holder->setParent(object);
  holder.release();
  // Event handlers of objects made here run their scripts in this window.
  object->setProperty(kScriptPageProperty, script_page);
  if (QWidget* w = item->AsWidget()) {
    w->show();
    w->raise();
  }
  if (companion) objects.Register(*companion, "SND" + n);
  objects.AddObject(*item, n);
  if (info->kind == ObjectKind::Sound || info->kind == ObjectKind::Browser) {
    player.trace().Write("inert", {{"page", form->number()},
                                   {"object", "OBJ" + n},
                                   {"kind", std::string(ObjectKindName(info->kind))}});
  }
  return true;
}

}  // namespace morvane
