// The edit row: edits from their records, the template, edits made by
// scripts, and the actions on edits.

#include "player/assets/fonts.h"
#include "player/objects/classic_look.h"
#include "player/objects/edit_object.h"
#include "player/objects/object_class.h"
#include "player/player.h"

namespace morvane {

Script* TQMEdit::EventScript(ObjectEvent event) {
  if (event == ObjectEvent::kChange) return &evntCH;
  return PointerScript(event, evntMdown, evntMup, evntMenter, evntMleave);
}

void TQMEdit::ShowHover(bool inside) {
  if (!ColorEvents) return;
  if (inside) {
    SetColours(ToQColor(ColorHover), ToQColor(ColorHoverF));
  } else {
    SetColours(ToQColor(ColorNormal), ToQColor(ColorNormalF));
  }
  update();
}

namespace {

void Attach(PointerDesk& desk, PageObjectItem& item) {
  desk.WatchEdit(static_cast<TQMEdit&>(item));
}

// A click: the left button released where it was pressed.
bool Release(PointerDesk& desk, const PointerEvent& e) {
  if (e.button != 1 || e.receiver != &e.object_widget) return false;
  if (!e.object_widget.rect().contains(e.pos)) return false;
  desk.SetPosition(desk.MainWindowPosition(e.global));
  desk.SetButtonFromKeys();
  desk.RunObjectScript(e.item, *e.item.EventScript(ObjectEvent::kMouseUp));
  return false;
}

void Build(ObjectBuilder& b, const PageObject& o) {
  const int cp = b.code_page();
  auto* e = new TQMEdit(o, &b.surface);
  b.TabStop(*e, o);
  e->setReadOnly(o.read_only);
  if (o.right_to_left) e->setLayoutDirection(Qt::RightToLeft);
  e->setEnabled(o.enabled);
  e->ColorEvents = o.color_events;
  e->AutoSize = o.auto_size;
  if (o.password_char != 0) {
    QString c = PackageText(std::string(1, char(o.password_char)), o.charset, cp);
    if (!c.isEmpty()) {
      e->setStyle(PasswordStyle(c.at(0)));
      e->setEchoMode(QLineEdit::Password);
    }
  }
  e->SetFrame(FrameOf(o));
  e->ColorNormalF = o.font_colour;
  e->ColorNormal = o.background_colour;
  e->ColorHover = o.hover_colour;
  e->ColorHoverF = o.hover_font_colour;
  e->ColorEnter = o.enter_colour;
  e->ColorEnterF = o.enter_font_colour;
  e->SetColours(ToQColor(o.background_colour), ToQColor(o.font_colour));
  e->Validation = int8_t(o.validation);
  b.Place(*e, o);
  b.Hint(*e, o);
  e->setFont(ObjectFont(o, cp));
  e->setMaxLength(o.max_length > 0 ? o.max_length : 32767);
  e->setText(PackageText(o.caption, o.charset, cp));
  e->SetCharCase(o.char_case);
  e->setCursorPosition(0);
  b.Cursor(*e, *e, o.cursor);
  e->evntCH = o.evntCH, e->evntMdown = o.evntMDown, e->evntMup = o.evntMUp;
  e->evntMenter = o.evntMEnter, e->evntMleave = o.evntMLeave;
  e->AdjustHeight();
  b.DoubleBuffer(*e);
  e->setVisible(o.visible);
  b.Add(*e);
}

TQMEdit& Edit(ObjectActionCall& c) {
  return static_cast<TQMEdit&>(c.item);
}

QColor Background(TQMEdit& edit) {
  return edit.palette().color(QPalette::Active, QPalette::Base);
}

QColor FontColour(TQMEdit& edit) {
  return edit.palette().color(QPalette::Active, QPalette::Text);
}

int Bevel(int32_t n) {
  return n >= 0 && n <= 3 ? n : 3;
}

// 34 to 37: the border and the three bevels.
void FrameAction(ObjectActionCall& c) {
  TQMEdit& edit = Edit(c);
  FrameSpec frame = edit.frame_spec();
  const int32_t n = c.args.N(0);
  if (c.code == 34) frame.border = n == 0 ? 0 : 1;
  if (c.code == 35) frame.inner_bevel = Bevel(n);
  if (c.code == 36) frame.outer_bevel = Bevel(n);
  if (c.code == 37) frame.bevel_kind = Bevel(n);
  edit.SetFrame(frame);
  edit.AdjustHeight();
}

}  // namespace

ObjectClass EditClass() {
  ObjectClass row{ObjectKind::Edit, "TQMEdit"};
  row.tracked_hover = true;
  row.build = Build;
  row.pointer = {Attach, PressOwnWidget, Release};
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMEdit(defaults, &b.surface);
  };
  row.create_words = {"edit"};
  row.create = [](ObjectBuilder& b, const PageObject& model, std::string_view) -> PageObjectItem* {
    auto* e = new TQMEdit(model, &b.surface);
    e->setFont(WindowsFont("MS Sans Serif", 8, 1, b.code_page()));
    e->SetColours(QColor(255, 255, 255), QColor(0, 0, 0));
    e->ColorNormal = Colour{255, 255, 255};
    return e;
  };
  row.actions = {
      {12, "S",
       [](ObjectActionCall& c) {
         Edit(c).setText(PackageText(c.args.S(0), ObjectCharset(c.item), c.player.code_page()));
         Edit(c).setCursorPosition(0);
       }},
      {13, "F",
       [](ObjectActionCall& c) {
         FontAction(c);
         Edit(c).AdjustHeight();
         Edit(c).update();
       }},
      {14, "C",
       [](ObjectActionCall& c) {
         const QColor background = Background(Edit(c));
         Edit(c).SetColours(background, QColorOfValue(c.args.C(0)));
       }},
      {15, "C",
       [](ObjectActionCall& c) {
         const QColor font = FontColour(Edit(c));
         const uint32_t colour = c.args.C(0);
         Edit(c).ColorNormal = ColourOfValue(colour);
         Edit(c).SetColours(QColorOfValue(colour), font);
       }},
      {16, "C", [](ObjectActionCall& c) { Edit(c).ColorHover = ColourOfValue(c.args.C(0)); }},
      {23, "B", [](ObjectActionCall& c) { Edit(c).ColorEvents = c.args.B(0); }},
      {24, "B",
       [](ObjectActionCall& c) {
         Edit(c).AutoSize = c.args.B(0);
         Edit(c).AdjustHeight();
       }},
      {25, "S",
       [](ObjectActionCall& c) {
         TQMEdit& edit = Edit(c);
         const std::string text = c.args.S(0);
         QString ch = text.empty() ? QString()
                                   : PackageText(text.substr(0, 1), ObjectCharset(edit),
                                                 c.player.code_page());
         if (ch.isEmpty()) {
           edit.setEchoMode(QLineEdit::Normal);
           edit.setStyle(ClassicStyle());
         } else {
           edit.setStyle(PasswordStyle(ch.at(0)));
           edit.setEchoMode(QLineEdit::Password);
         }
       }},
      {26, "N",
       [](ObjectActionCall& c) {
         const int32_t length = c.args.N(0);
         Edit(c).setMaxLength(length > 0 ? length : 32767);
       }},
      {27, "N", TabOrderAction},
      {28, "N",
       [](ObjectActionCall& c) {
         const int32_t n = c.args.N(0);
         Edit(c).SetCharCase(n == 1 || n == 2 ? n : 0);
       }},
      {29, "C", [](ObjectActionCall& c) { Edit(c).ColorHover = ColourOfValue(c.args.C(0)); }},
      {30, "C", [](ObjectActionCall& c) { Edit(c).ColorHoverF = ColourOfValue(c.args.C(0)); }},
      {31, "C", [](ObjectActionCall& c) { Edit(c).ColorEnter = ColourOfValue(c.args.C(0)); }},
      {32, "C", [](ObjectActionCall& c) { Edit(c).ColorEnterF = ColourOfValue(c.args.C(0)); }},
      {33, "B", [](ObjectActionCall& c) { Edit(c).AutoSelect = c.args.B(0); }},
      {34, "N", FrameAction},
      {35, "N", FrameAction},
      {36, "N", FrameAction},
      {37, "N", FrameAction},
      {71, "E", ReplaceEventScriptAction},
      {72, "E", ReplaceEventScriptAction},
      {73, "E", ReplaceEventScriptAction},
      {74, "E", ReplaceEventScriptAction},
      {75, "E", ReplaceEventScriptAction},
      {105, "N", [](ObjectActionCall& c) { Edit(c).Validation = int8_t(c.args.N(0)); }},
  };
  return row;
}

}  // namespace morvane
