#include "player/objects/page_object.h"

namespace morvane {

ObjectSnapshot PageObjectItem::Snapshot() {
  ObjectSnapshot s;
  QWidget* w = AsWidget();
  if (!w) {
    s.visible = false;
    return s;
  }
  s.visible = !w->isHidden();
  s.left = w->x();
  s.top = w->y();
  s.width = w->width();
  s.height = w->height();
  return s;
}

void PageObjectItem::SetRightToLeft(bool on) {
  if (QWidget* w = AsWidget()) w->setLayoutDirection(on ? Qt::RightToLeft : Qt::LeftToRight);
}

Script* PointerScript(ObjectEvent event, Script& down, Script& up, Script& enter, Script& leave) {
  switch (event) {
    case ObjectEvent::kMouseDown:
      return &down;
    case ObjectEvent::kMouseUp:
      return &up;
    case ObjectEvent::kMouseEnter:
      return &enter;
    case ObjectEvent::kMouseLeave:
      return &leave;
    default:
      return nullptr;
  }
}

void NameComponent(QObject& object, std::string_view name) {
  // Names are ASCII: a prefix and an object number.
  object.setObjectName(QString::fromLatin1(name.data(), qsizetype(name.size())));
}

}  // namespace morvane
