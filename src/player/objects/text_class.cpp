// The text row: labels from their records, the template, texts made by
// scripts, and the actions on texts.

#include "player/assets/fonts.h"
#include "player/objects/classic_look.h"
#include "player/objects/object_class.h"
#include "player/objects/text_object.h"
#include "player/player.h"

namespace morvane {

Script* TQMText::EventScript(ObjectEvent event) {
  return PointerScript(event, evntMDown, evntMUp, evntMEnter, evntMLeave);
}

void PressText(PointerDesk& desk, TQMText& text, int button, QPoint at) {
  desk.SetPosition(at);
  desk.SetButton(button);
  desk.ClearMainFocus();
  if (button == 1 && text.ColorEvents) {
    text.SetFontColour(ToQColor(text.ColorClick));
    text.update();
  }
  desk.RunObjectScript(text, text.evntMDown);
}

namespace {

bool Press(PointerDesk& desk, const PointerEvent& e) {
  PressText(desk, static_cast<TQMText&>(e.item), e.button, e.pos);
  return true;
}

bool Release(PointerDesk& desk, const PointerEvent& e) {
  if (e.button == 1) desk.ReleaseRule(e.item, e.object_widget, e.event);
  return true;
}

void Build(ObjectBuilder& b, const PageObject& o) {
  const int cp = b.code_page();
  auto* t = new TQMText(o, &b.surface);
  t->SetWordWrap(o.word_wrap);
  t->SetFontColour(ToQColor(o.font_colour));
  t->ColorNormal = o.font_colour;
  t->SetRightToLeft(o.right_to_left);
  t->SetTransparent(o.transparent);
  t->SetLayoutDigit(o.layout);
  t->SetAutoSize(o.auto_size);
  t->SetAlignmentDigit(o.alignment);
  t->ColorEvents = o.color_events;
  t->SetBackground(ToQColor(o.background_colour));
  t->ColorHover = o.hover_colour;
  t->ColorClick = o.click_colour;
  b.Place(*t, o);
  t->setEnabled(o.enabled_digit > 0);
  b.Hint(*t, o);
  t->SetCaption(PackageText(o.caption, o.charset, cp));
  t->setFont(ObjectFont(o, cp));
  b.Cursor(*t, *t, o.cursor);
  t->evntMDown = o.evntMDown, t->evntMUp = o.evntMUp;
  t->evntMEnter = o.evntMEnter, t->evntMLeave = o.evntMLeave;
  t->AdjustBounds();
  t->setVisible(o.visible);
  b.Add(*t);
}

TQMText& Text(ObjectActionCall& c) {
  return static_cast<TQMText&>(c.item);
}

}  // namespace

ObjectClass TextClass() {
  ObjectClass row{ObjectKind::Text, "TQMText"};
  row.build = Build;
  row.pointer = {nullptr, Press, Release};
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMText(defaults, &b.surface);
  };
  row.create_words = {"text"};
  row.create = [](ObjectBuilder& b, const PageObject& model, std::string_view) -> PageObjectItem* {
    auto* t = new TQMText(model, &b.surface);
    t->setFont(WindowsFont("MS Sans Serif", 8, 1, b.code_page()));
    return t;
  };
  row.actions = {
      {8, "NN",
       [](ObjectActionCall& c) {
         ResizeAction(c);
         Text(c).AdjustBounds();
       }},
      {12, "S",
       [](ObjectActionCall& c) {
         Text(c).SetCaption(PackageText(c.args.S(0), ObjectCharset(c.item), c.player.code_page()));
         Text(c).AdjustBounds();
       }},
      {13, "F",
       [](ObjectActionCall& c) {
         FontAction(c);
         Text(c).AdjustBounds();
         Text(c).update();
       }},
      {14, "C",
       [](ObjectActionCall& c) {
         Text(c).SetFontColour(QColorOfValue(c.args.C(0)));
         Text(c).update();
       }},
      // `ColorNormal` of a text is its resting font colour; the background is not it.
      {15, "C",
       [](ObjectActionCall& c) {
         Text(c).SetBackground(QColorOfValue(c.args.C(0)));
         Text(c).update();
       }},
      {16, "C", [](ObjectActionCall& c) { Text(c).ColorHover = ColourOfValue(c.args.C(0)); }},
      {17, "C", [](ObjectActionCall& c) { Text(c).ColorClick = ColourOfValue(c.args.C(0)); }},
      {18, "N",
       [](ObjectActionCall& c) {
         Text(c).SetLayoutDigit(c.args.N(0));
         Text(c).update();
       }},
      {19, "N",
       [](ObjectActionCall& c) {
         Text(c).SetAlignmentDigit(c.args.N(0));
         Text(c).AdjustBounds();
         Text(c).update();
       }},
      {20, "B",
       [](ObjectActionCall& c) {
         Text(c).SetWordWrap(c.args.B(0));
         Text(c).AdjustBounds();
         Text(c).update();
       }},
      {22, "B",
       [](ObjectActionCall& c) {
         Text(c).SetTransparent(c.args.B(0));
         Text(c).update();
       }},
      {23, "B", [](ObjectActionCall& c) { Text(c).ColorEvents = c.args.B(0); }},
      {24, "B",
       [](ObjectActionCall& c) {
         Text(c).SetAutoSize(c.args.B(0));
         Text(c).AdjustBounds();
         Text(c).update();
       }},
      {71, "E", ReplaceEventScriptAction},
      {72, "E", ReplaceEventScriptAction},
      {73, "E", ReplaceEventScriptAction},
      {74, "E", ReplaceEventScriptAction},
  };
  return row;
}

}  // namespace morvane
