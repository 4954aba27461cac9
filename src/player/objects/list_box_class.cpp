// The list-box row: list boxes from their records, the template, and the
// actions on list boxes. Scripts cannot make list boxes.

#include <QCursor>
#include <QPointer>
#include "player/assets/fonts.h"
#include "player/objects/classic_look.h"
#include "player/objects/list_box_object.h"
#include "player/objects/object_class.h"
#include "player/player.h"

namespace morvane {

Script* TQMListBox::EventScript(ObjectEvent event) {
  if (event == ObjectEvent::kDoubleClick) return &evntdbl;
  return PointerScript(event, evntMdown, evntMup, evntMenter, evntMleave);
}

void TQMListBox::SetRightToLeft(bool on) {
  m_right_to_left = on;
  setLayoutDirection(on ? Qt::RightToLeft : Qt::LeftToRight);
}

void ClickList(PointerDesk& desk, TQMListBox& list) {
  desk.SetPosition(desk.MainWindowPosition(QCursor::pos()));
  desk.SetButtonFromKeys();
  list.viewport()->update();
  desk.RunObjectScript(list, list.evntMup);
}

namespace {

void Attach(PointerDesk&, PageObjectItem& item) {
  static_cast<TQMListBox&>(item).viewport()->setMouseTracking(true);
}

bool Press(PointerDesk& desk, const PointerEvent& e) {
  auto& list = static_cast<TQMListBox&>(e.item);
  // The scroll bars are the frame of the list, not its client area.
  if (e.receiver != list.viewport() && e.receiver != &list) return false;
  QPointer<TQMListBox> alive(&list);
  if (e.double_click) {
    desk.RunObjectScript(list, list.evntdbl);
    if (!alive) return true;
  }
  desk.SetPosition(list.viewport()->mapFromGlobal(e.global));
  desk.SetButton(e.button);
  list.viewport()->update();
  desk.RunObjectScript(list, list.evntMdown);
  return false;
}

bool Release(PointerDesk& desk, const PointerEvent& e) {
  auto& list = static_cast<TQMListBox&>(e.item);
  if (e.button != 1 || e.receiver != list.viewport()) return false;
  // The user picked an item: the click of the list box.
  if (!list.indexAt(e.pos).isValid()) return false;
  ClickList(desk, list);
  return false;
}

void Build(ObjectBuilder& b, const PageObject& o) {
  const int cp = b.code_page();
  auto* l = new TQMListBox(o, &b.surface);
  b.TabStop(*l, o);
  l->SetSorted(o.sorted);
  l->setEnabled(o.enabled);
  l->SetMultiSelect(o.multi_select);
  if (o.right_to_left) l->SetRightToLeft(true);
  l->SetColours(ToQColor(o.background_colour), ToQColor(o.font_colour));
  l->SelColor = o.sel_colour;
  l->SelFColor = o.sel_font_colour;
  l->SetFrame(FrameOf(o));
  b.Place(*l, o);
  if (!o.hint.empty()) l->setToolTip(PackageText(o.hint, 1, cp));
  l->setFont(ObjectFont(o, cp));
  b.Cursor(*l, *l, o.cursor);
  l->SetColumns(o.columns);
  l->evntMdown = o.evntMDown, l->evntMup = o.evntMUp;
  l->evntMenter = o.evntMEnter, l->evntMleave = o.evntMLeave, l->evntdbl = o.evntdbl;
  // The items wait for the last slot.
  l->SetItems(o.items, o.charset, cp);
  b.DoubleBuffer(*l);
  l->setVisible(o.visible);
  b.Add(*l);
}

// 90 to 104; the list draws again after each.
void ListAction(ObjectActionCall& c) {
  auto& list = static_cast<TQMListBox&>(c.item);
  ActionArgs& a = c.args;
  const int cp = c.player.code_page();
  const int charset = ObjectCharset(list);
  auto index_error = [](int32_t n) {
    return ObjectActionFailure("List index out of bounds (" + std::to_string(n) + ")");
  };
  auto in_range = [&](int32_t n) { return n >= 1 && n <= list.count(); };
  switch (c.code) {
    case 90:
      list.clear();
      list.SetItems("", charset, cp);
      break;
    case 91:
      list.AddItem(a.P(0), charset, cp);
      break;
    case 92:
      list.RemoveItem(a.N(0) - 1);
      break;
    case 93:
    case 94: {
      const int32_t n = a.N(0);
      std::string text = a.S(1);
      const int64_t at = int64_t(n) - 1 + (c.code == 94 ? 1 : 0);
      if (at < 0 || at > list.count() || !list.InsertItem(int(at), std::move(text), charset, cp)) {
        throw ObjectActionFailure("Unable to insert a line");
      }
      break;
    }
    case 95:
    case 96:
      list.SetItemSelected(a.N(0) - 1, c.code == 95);
      list.viewport()->repaint();
      break;
    case 97:
    case 98:
      list.SetAllSelected(c.code == 97);
      break;
    case 99: {
      const int32_t from = a.N(0);
      const int32_t to = a.N(1);
      if (!in_range(from)) throw index_error(from - 1);
      if (!in_range(to)) throw index_error(to - 1);
      list.MoveItem(from - 1, to - 1);
      break;
    }
    case 100: {
      std::string bytes;
      for (const std::string& item : list.item_bytes()) bytes += item + "\r\n";
      WriteObjectFile(c.player, a.P(0), bytes);
      break;
    }
    case 101: {
      const std::string bytes = ReadObjectFile(c.player, a.P(0));
      list.SetItems(bytes, charset, cp);
      break;
    }
    case 102: {
      const int32_t n = a.N(0);
      std::string text = a.P(1);
      if (!in_range(n)) throw index_error(n - 1);
      list.SetItemText(n - 1, std::move(text), charset, cp);
      break;
    }
    case 104:
      list.SetColumns(a.N(0));
      break;
    default:
      return;
  }
  list.viewport()->update();
}

}  // namespace

ObjectClass ListBoxClass() {
  ObjectClass row{ObjectKind::ListBox, "TQMListBox"};
  row.tracked_hover = true;
  row.build = Build;
  row.pointer = {Attach, Press, Release};
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMListBox(defaults, &b.surface);
  };
  row.actions = {
      {90, "", ListAction},    {91, "P", ListAction},  {92, "N", ListAction},
      {93, "NS", ListAction},  {94, "NS", ListAction}, {95, "N", ListAction},
      {96, "N", ListAction},   {97, "", ListAction},   {98, "", ListAction},
      {99, "NN", ListAction},  {100, "P", ListAction}, {101, "P", ListAction},
      {102, "NP", ListAction}, {104, "N", ListAction},
  };
  return row;
}

}  // namespace morvane
