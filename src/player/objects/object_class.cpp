#include "player/objects/object_class.h"

#include "expr/environment.h"
#include "player/assets/cursors.h"
#include "player/assets/fonts.h"
#include "player/objects/classic_look.h"
#include "player/objects/page_objects.h"
#include "player/player.h"
#include "player/shell/page_window.h"
#include "util/fd_io.h"
#include "util/font_string.h"

#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <optional>

namespace morvane {

// The rows of the classes built into the player, each defined beside its class.
ObjectClass TextClass();
ObjectClass EditClass();
ObjectClass ButtonClass();
ObjectClass ImageClass();
ObjectClass ShapeClass();
ObjectClass TimerClass();
ObjectClass ListBoxClass();
ObjectClass PluginClass();

namespace {

constexpr const char* kCharsetProperty = "MorvaneCharset";

using Table = std::array<std::unique_ptr<ObjectClass>, kObjectKindCount>;

Table& Rows() {
  static Table rows = [] {
    Table t;
    for (ObjectClass row :
         {TextClass(), EditClass(), ButtonClass(), ImageClass(), ShapeClass(), TimerClass(),
          ListBoxClass(), PluginClass()}) {
      const size_t at = size_t(row.kind);
      t[at] = std::make_unique<ObjectClass>(std::move(row));
    }
    // A kind whose engine registers its row later (sounds, videos, browsers
    // and Flash objects) builds nothing until it does.
    for (size_t at = 0; at < t.size(); ++at) {
      if (t[at]) continue;
      const ObjectKind kind = ObjectKind(at);
      auto bare = std::make_unique<ObjectClass>(kind, ObjectKindName(kind));
      bare->visual = false;
      bare->build = [](ObjectBuilder&, const PageObject&) {};
      bare->make_template = [](ObjectBuilder&, const PageObject&) -> QObject* { return nullptr; };
      t[at] = std::move(bare);
    }
    return t;
  }();
  return rows;
}

// Destroys a component once the events under way are handled: the object
// may be the one whose event script deleted it. It leaves the page at once.
void Destroy(PageObjects& objects, std::string_view name) {
  QObject* component = objects.FindComponent(name);
  if (!component) return;
  objects.Forget(name);
  if (auto* widget = qobject_cast<QWidget*>(component)) widget->hide();
  if (auto* timer = qobject_cast<QTimer*>(component)) timer->stop();
  component->deleteLater();
}

// 0: the object and the companions "FIL", "SND" and "TRK" of its number,
// whichever kind it is.
void DeleteAction(ObjectActionCall& call) {
  for (const char* prefix : {"FIL", "SND", "TRK"}) Destroy(call.objects, prefix + call.number);
  call.item.DestroyOwned([&](std::string_view name) { Destroy(call.objects, name); });
  Destroy(call.objects, "OBJ" + call.number);
}

QWidget& Widget(ObjectActionCall& call) {
  return *call.item.AsWidget();
}

// Puts the widget at `order` among the page objects in its parent's tab
// order, the others moving up.
void SetTabOrder(PageObjects& objects, QWidget& widget, int32_t order) {
  QWidget* parent = widget.parentWidget();
  if (!parent) return;
  std::vector<QWidget*> chain;
  auto is_object = [&](QWidget* w) {
    return std::any_of(objects.objects().begin(), objects.objects().end(),
                       [w](PageObjectItem* o) { return o->AsWidget() == w; });
  };
  // The focus chain runs through the whole window; its length bounds the walk.
  QWidget* next = parent->nextInFocusChain();
  for (int guard = 0; next && next != parent && guard < 100000; ++guard) {
    // Only objects that take the focus by tabbing have a place in the order.
    if (next->parentWidget() == parent && next != &widget && (next->focusPolicy() & Qt::TabFocus) &&
        is_object(next)) {
      chain.push_back(next);
    }
    next = next->nextInFocusChain();
  }
  const size_t at = size_t(std::clamp<int64_t>(order, 0, int64_t(chain.size())));
  chain.insert(chain.begin() + ptrdiff_t(at), &widget);
  for (size_t i = 0; i + 1 < chain.size(); ++i) QWidget::setTabOrder(chain[i], chain[i + 1]);
}

// The font of a font string; the default font when it names none.
QFont FontOf(const std::optional<FontSpec>& spec, int code_page) {
  if (!spec) return WindowsFont("MS Sans Serif", 8, 1, code_page);
  QFont font = WindowsFont(spec->name, spec->size, spec->charset, code_page);
  font.setBold(spec->bold);
  font.setItalic(spec->italic);
  font.setUnderline(spec->underline);
  font.setStrikeOut(spec->strike_out);
  return font;
}

// The rows every visual object shares.
const std::vector<ObjectActionRow>& VisualRows() {
  static const std::vector<ObjectActionRow> rows = {
      {1, "", [](ObjectActionCall& c) { Widget(c).raise(); }},
      {2, "", [](ObjectActionCall& c) { Widget(c).lower(); }},
      {3, "B", [](ObjectActionCall& c) { Widget(c).setEnabled(c.args.B(0)); }},
      {4, "B", [](ObjectActionCall& c) { Widget(c).setVisible(c.args.B(0)); }},
      {5, "", [](ObjectActionCall& c) { Widget(c).repaint(); }},
      {6, "B",
       [](ObjectActionCall& c) {
         c.item.SetRightToLeft(c.args.B(0));
         Widget(c).update();
       }},
      {7, "NN", MoveAction},
      {8, "NN", ResizeAction},
      {9, "N",
       [](ObjectActionCall& c) {
         const int32_t number = c.args.N(0);
         c.player.cursors().Apply(Widget(c), number);
         c.item.SetCursorNumber(number);
       }},
      {10, "S",
       [](ObjectActionCall& c) {
         Widget(c).setToolTip(PackageText(c.args.S(0), 1, c.player.code_page()));
       }},
      {11, "S",
       [](ObjectActionCall& c) {
         const int page = c.player.PageNumberByName(c.args.S(0));
         TQMForm* target = c.player.GetFormByNum(page);
         QWidget& widget = Widget(c);
         if (!target || widget.parentWidget() == &target->surface()) return;
         // The object shows on the other page; it stays the component of its
         // own page, where scripts keep finding it.
         const bool visible = !widget.isHidden();
         const QRect bounds = widget.geometry();
         widget.setParent(&target->surface());
         widget.setGeometry(bounds);
         widget.setVisible(visible);
       }},
      // The font string is read whatever the class; only texts, edits and
      // buttons take it (their rows).
      {13, "F", [](ObjectActionCall& c) { c.args.F(0); }},
      // Only edits, buttons and browsers have a place in the tab order.
      {27, "N", [](ObjectActionCall&) {}},
  };
  return rows;
}

const ObjectActionRow* FindIn(const std::vector<ObjectActionRow>& rows, int32_t code) {
  for (const ObjectActionRow& row : rows) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

}  // namespace

void RegisterObjectClass(ObjectClass row) {
  const size_t at = size_t(row.kind);
  Rows()[at] = std::make_unique<ObjectClass>(std::move(row));
}

const ObjectClass& ClassOf(ObjectKind kind) {
  return *Rows()[size_t(kind)];
}

const ObjectClass* ClassOfCreateWord(std::string_view word) {
  for (const auto& row : Rows()) {
    if (row->create && std::find(row->create_words.begin(), row->create_words.end(), word) !=
                           row->create_words.end())
      return row.get();
  }
  return nullptr;
}

const ObjectActionRow* FindObjectAction(ObjectKind kind, int32_t code) {
  static const ObjectActionRow kDelete{0, "", DeleteAction};
  if (code == 0) return &kDelete;
  const ObjectClass& row = ClassOf(kind);
  if (const ObjectActionRow* own = FindIn(row.actions, code)) return own;
  if (row.visual) return FindIn(VisualRows(), code);
  return nullptr;
}

QRect WindowBounds(int64_t left, int64_t top, int64_t width, int64_t height) {
  constexpr int64_t kMax = kMaxWindowCoordinate;
  return QRect(int(std::clamp<int64_t>(left, -kMax - 1, kMax)),
               int(std::clamp<int64_t>(top, -kMax - 1, kMax)),
               int(std::clamp<int64_t>(width, 0, kMax)), int(std::clamp<int64_t>(height, 0, kMax)));
}

void MoveAction(ObjectActionCall& call) {
  const int32_t left = call.args.N(0);
  const int32_t top = call.args.N(1);
  QWidget& widget = Widget(call);
  widget.move(WindowBounds(left, top, 0, 0).topLeft());
  call.item.Moved(left, top);
}

void ResizeAction(ObjectActionCall& call) {
  const int32_t width = call.args.N(0);
  const int32_t height = call.args.N(1);
  Widget(call).resize(WindowBounds(0, 0, width, height).size());
}

void FontAction(ObjectActionCall& call) {
  const std::optional<FontSpec> spec = call.args.F(0);
  QWidget& widget = Widget(call);
  widget.setFont(FontOf(spec, call.player.code_page()));
  widget.setProperty(kCharsetProperty, spec ? spec->charset : 1);
}

void TabOrderAction(ObjectActionCall& call) {
  SetTabOrder(call.objects, Widget(call), call.args.N(0));
}

void ReplaceEventScriptAction(ObjectActionCall& call) {
  static constexpr ObjectEvent kEvents[] = {ObjectEvent::kMouseDown,  ObjectEvent::kMouseUp,
                                            ObjectEvent::kMouseEnter, ObjectEvent::kMouseLeave,
                                            ObjectEvent::kChange,     ObjectEvent::kTimer,
                                            ObjectEvent::kStart,      ObjectEvent::kFinish};
  if (call.code < 71 || call.code > 78) return;
  Script script = call.args.E(0);
  if (Script* target = call.item.EventScript(kEvents[call.code - 71])) *target = std::move(script);
}

QColor QColorOfValue(uint32_t value) {
  return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

Colour ColourOfValue(uint32_t value) {
  return Colour{uint8_t(value & 0xFF), uint8_t((value >> 8) & 0xFF), uint8_t((value >> 16) & 0xFF)};
}

const PageObject& DefaultObject(ObjectKind kind) {
  static const std::array<PageObject, kObjectKindCount> defaults = [] {
    std::array<PageObject, kObjectKindCount> a{};
    for (int i = 0; i < kObjectKindCount; ++i) a[size_t(i)].kind = ObjectKind(i);
    return a;
  }();
  return defaults[size_t(kind)];
}

int ObjectCharset(PageObjectItem& item) {
  QVariant set = item.AsObject()->property(kCharsetProperty);
  return set.isValid() ? set.toInt() : item.model().charset;
}

std::optional<std::string> ReadHostFile(const std::string& path) {
  return ReadRegularFile(path);
}

std::string ReadObjectFile(Player& player, const std::string& windows_path) {
  std::optional<std::string> host = player.environment().drives().ToHost(windows_path);
  std::optional<std::string> bytes = host ? ReadRegularFile(*host) : std::nullopt;
  if (!bytes)
    throw ObjectActionFailure("Cannot open file \"" + windows_path +
                              "\". The system cannot find the file specified");
  return std::move(*bytes);
}

void WriteObjectFile(Player& player, const std::string& windows_path, const std::string& bytes) {
  std::optional<std::string> host =
      player.environment().drives().ToHost(windows_path, PathAccess::kWrite);
  std::ofstream out;
  if (host) out.open(*host, std::ios::binary | std::ios::trunc);
  if (!out)
    throw ObjectActionFailure("Cannot create file \"" + windows_path + "\". Access is denied");
  out.write(bytes.data(), std::streamsize(bytes.size()));
  out.close();
  if (!out) throw ObjectActionFailure("Cannot write file \"" + windows_path + "\"");
}

// --- ObjectBuilder

int ObjectBuilder::code_page() const {
  return player.code_page();
}

int ObjectBuilder::form_number() const {
  return form.number();
}

void ObjectBuilder::Place(QWidget& w, const PageObject& o) const {
  w.setGeometry(WindowBounds(o.left, o.top, o.width.value_or(w.width()), o.height.value_or(w.height())));
}

void ObjectBuilder::Hint(QWidget& w, const PageObject& o) const {
  if (!o.hint.empty()) w.setToolTip(PackageText(HintText(o.hint), 1, player.code_page()));
}

void ObjectBuilder::Cursor(QWidget& w, PageObjectItem& item, int32_t cursor) const {
  item.RealCursor = int8_t(cursor);
  player.cursors().Apply(w, cursor);
}

void ObjectBuilder::TabStop(QWidget& w, const PageObject& o) const {
  w.setFocusPolicy(o.tab_stop ? Qt::StrongFocus : Qt::ClickFocus);
}

void ObjectBuilder::DoubleBuffer(QWidget& w) const {
  if (page) w.setProperty("DoubleBuffered", page->options.double_buffered);
}

bool PressOwnWidget(PointerDesk& desk, const PointerEvent& e) {
  if (e.receiver != &e.object_widget) return false;
  desk.SetPosition(e.pos);
  desk.SetButton(e.button);
  desk.RunObjectScript(e.item, *e.item.EventScript(ObjectEvent::kMouseDown));
  return false;
}

}  // namespace morvane
