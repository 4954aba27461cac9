#include "player/objects/runtime_objects.h"

#include "player/automation/trace.h"
#include "player/objects/object_class.h"
#include "player/objects/page_objects.h"
#include "player/player.h"
#include "player/shell/page_window.h"

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
  // Flash objects need the Flash player (their row makes none without it);
  // list boxes, videos and plug-in windows cannot be made while a project runs.
  const ObjectClass* row = ClassOfCreateWord(kind);
  TQMForm* form = player.GetFormByNum(player.CurrentPage());
  if (!row || !form || !ValidNumber(number)) return false;
  PageObjects& objects = form->objects();
  const std::string n(number);
  if (objects.FindComponent("OBJ" + n)) return false;
  for (const std::string& prefix : row->companions) {
    if (objects.FindComponent(prefix + n)) return false;
  }

  auto holder = std::make_unique<RuntimeModel>(row->kind, number);
  ObjectBuilder b(
      player, *form, form->surface(), nullptr,
      [&objects](QObject& companion, std::string_view name) { objects.Register(companion, name); },
      [](PageObjectItem&) {});
  PageObjectItem* item = row->create(b, holder->model, kind);
  if (!item) return false;

  QObject* object = item->AsObject();
  holder->setParent(object);
  holder.release();
  // Event handlers of objects made here run their scripts in this window.
  object->setProperty(kScriptPageProperty, script_page);
  if (QWidget* w = item->AsWidget()) {
    w->show();
    w->raise();
  }
  objects.AddObject(*item, n);
  if (row->inert) {
    player.trace().Write("inert", {{"page", form->number()},
                                   {"object", "OBJ" + n},
                                   {"kind", std::string(ObjectKindName(row->kind))}});
  }
  return true;
}

}  // namespace morvane
