// The button row: buttons from their records, the template, buttons made by
// scripts, and the actions on buttons.

#include <QCursor>
#include "player/assets/fonts.h"
#include "player/objects/button_object.h"
#include "player/objects/classic_look.h"
#include "player/objects/object_class.h"
#include "player/player.h"

namespace morvane {

Script* TQMButton::EventScript(ObjectEvent event) {
  return PointerScript(event, evntMdown, evntMup, evntMenter, evntMleave);
}

namespace {

// A button's click (the left button pressed and released over it, or the
// keyboard) runs its mouse-up script; the press runs its mouse-down script.
void Attach(PointerDesk& desk, PageObjectItem& item) {
  auto* button = static_cast<TQMButton*>(&item);
  QObject::connect(button, &QAbstractButton::clicked, desk.context(), [&desk, button] {
    if (desk.terminating()) return;
    desk.SetPosition(desk.MainWindowPosition(QCursor::pos()));
    desk.SetButtonFromKeys();
    desk.RunObjectScript(*button, *button->EventScript(ObjectEvent::kMouseUp));
  });
}

void Build(ObjectBuilder& b, const PageObject& o) {
  const int cp = b.code_page();
  auto* button = new TQMButton(o, &b.surface);
  b.TabStop(*button, o);
  button->setDefault(o.default_button);
  button->setEnabled(o.enabled);
  button->SetShowFocusRect(o.show_focus_rect);
  if (o.right_to_left) button->setLayoutDirection(Qt::RightToLeft);
  b.Place(*button, o);
  b.Hint(*button, o);
  button->setText(PackageText(o.caption, o.charset, cp));
  button->setFont(ObjectFont(o, cp));
  b.Cursor(*button, *button, o.cursor);
  button->evntMdown = o.evntMDown, button->evntMup = o.evntMUp;
  button->evntMenter = o.evntMEnter, button->evntMleave = o.evntMLeave;
  b.DoubleBuffer(*button);
  button->setVisible(o.visible);
  b.Add(*button);
}

TQMButton& Button(ObjectActionCall& c) {
  return static_cast<TQMButton&>(c.item);
}

}  // namespace

ObjectClass ButtonClass() {
  ObjectClass row{ObjectKind::Button, "TQMButton"};
  row.tracked_hover = true;
  row.build = Build;
  row.pointer = {Attach, PressOwnWidget, nullptr};
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMButton(defaults, &b.surface);
  };
  row.create_words = {"button"};
  row.create = [](ObjectBuilder& b, const PageObject& model, std::string_view) -> PageObjectItem* {
    auto* button = new TQMButton(model, &b.surface);
    button->setFont(WindowsFont("MS Sans Serif", 8, 1, b.code_page()));
    return button;
  };
  row.actions = {
      {12, "S",
       [](ObjectActionCall& c) {
         Button(c).setText(PackageText(c.args.S(0), ObjectCharset(c.item), c.player.code_page()));
       }},
      {13, "F",
       [](ObjectActionCall& c) {
         FontAction(c);
         Button(c).update();
       }},
      {20, "B",
       [](ObjectActionCall& c) {
         Button(c).SetShowFocusRect(c.args.B(0));
         Button(c).update();
       }},
      {27, "N", TabOrderAction},
      {38, "B", [](ObjectActionCall& c) { Button(c).setDefault(c.args.B(0)); }},
      {71, "E", ReplaceEventScriptAction},
      {72, "E", ReplaceEventScriptAction},
      {73, "E", ReplaceEventScriptAction},
      {74, "E", ReplaceEventScriptAction},
  };
  return row;
}

}  // namespace morvane
