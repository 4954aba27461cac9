#include "player/events/event_dispatch.h"

#include "expr/values.h"
#include "package/project_model.h"
#include "player/assets/cursors.h"
#include "player/events/edit_filters.h"
#include "player/events/key_names.h"
#include "player/objects/button_object.h"
#include "player/objects/classic_look.h"
#include "player/objects/edit_object.h"
#include "player/objects/image_object.h"
#include "player/objects/list_box_object.h"
#include "player/objects/object_class.h"
#include "player/objects/page_objects.h"
#include "player/objects/runtime_objects.h"
#include "player/objects/shape_object.h"
#include "player/objects/text_object.h"
#include "player/player.h"
#include "player/shell/page_window.h"
#include "util/code_page.h"

#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <map>

namespace morvane {
namespace {

int ButtonNumber(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return 1;
    case Qt::MiddleButton:
      return 2;
    case Qt::RightButton:
      return 3;
    default:
      return 0;
  }
}

QPoint Global(const QMouseEvent* e) {
  return e->globalPosition().toPoint();
}

// The page object a child of the surface is, from the child under a point.
QWidget* DirectChild(QWidget& surface, QWidget* w) {
  while (w && w->parentWidget() != &surface) w = w->parentWidget();
  return w;
}

}  // namespace

bool StrictlyInside(const QRect& r, QPoint p) {
  return r.left() < p.x() && p.x() < r.left() + r.width() && r.top() < p.y() &&
         p.y() < r.top() + r.height();
}

EventDispatch& EventDispatch::For(Player& player, TQMForm& first_page) {
  static std::map<Player*, QPointer<EventDispatch>> dispatches;
  QPointer<EventDispatch>& d = dispatches[&player];
  if (!d) {
    d = new EventDispatch(player, &first_page);
    qApp->installEventFilter(d);
  }
  return *d;
}

EventDispatch::EventDispatch(Player& player, QObject* parent) : QObject(parent), m_player(player) {
  m_hover_update.setSingleShot(true);
  m_hover_update.setInterval(0);
  QObject::connect(&m_hover_update, &QTimer::timeout, this,
                   [this] { UpdateHover(QCursor::pos()); });
}

void EventDispatch::AddPage(TQMForm& form) {
  m_forms.push_back(&form);
  QWidget& surface = form.surface();
  m_surfaces.insert(&surface, &form);
  form.setMouseTracking(true);
  surface.setMouseTracking(true);
  // Pages build their objects when first shown or looked at; each is
  // attached as it comes.
  form.objects().ForEachObject([this](PageObjectItem& item) {
    if (QWidget* w = item.AsWidget()) Attach(item, *w);
  });
  if (auto* timer = qobject_cast<QTimer*>(form.objects().FindComponent("LBRefresh"))) {
    timer->setSingleShot(true);
    QPointer<TQMForm> page(&form);
    QObject::connect(timer, &QTimer::timeout, this, [this, page] {
      if (page) ListRefreshTick(*page);
    });
  }
  ScheduleHoverUpdate();
}

void EventDispatch::Attach(PageObjectItem& item, QWidget& widget) {
  if (m_attached.contains(&widget)) return;
  m_attached.insert(&widget);
  QObject::connect(&widget, &QObject::destroyed, this, [this](QObject* gone) {
    m_attached.remove(gone);
    m_page_cursor_shapes.remove(gone);
  });
  // Every pointer move reaches the object under it, which is where the
  // enter and leave look is taken.
  widget.setMouseTracking(true);
  if (auto attach = ClassOf(item.kind()).pointer.attach) attach(*this, item);
}

void EventDispatch::WatchEdit(TQMEdit& edit) {
  QObject::connect(&edit, &QLineEdit::textChanged, this, [this, e = &edit](const QString& text) {
    if (!m_player.terminating()) EditChanged(*e, text);
  });
  MirrorEditText(edit);
}

EventDispatch::Place EventDispatch::Locate(QWidget* widget) const {
  Place place;
  for (QWidget* w = widget; w; w = w->parentWidget()) {
    if (auto it = m_surfaces.find(w); it != m_surfaces.end()) {
      place.form = it.value();
      place.at_surface = w == widget;
      return place;
    }
    QWidget* parent = w->parentWidget();
    if (parent) {
      if (auto it = m_surfaces.find(parent); it != m_surfaces.end()) {
        place.form = it.value();
        place.object_widget = w;
        place.item = dynamic_cast<PageObjectItem*>(w);
        return place;
      }
    }
    if (w->isWindow()) {
      for (const QPointer<TQMForm>& f : m_forms) {
        if (f == w) place.form = f;
      }
      return place;
    }
  }
  return place;
}

bool EventDispatch::IsActive(const TQMForm* form) const {
  if (!form) return false;
  QWidget* active = QApplication::activeWindow();
  if (active) return active == form;
  return m_player.CurrentPage() == form->number();
}

bool EventDispatch::eventFilter(QObject* watched, QEvent* event) {
  if (m_player.terminating() || !watched->isWidgetType()) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ZOrderChange:
    case QEvent::ChildRemoved:
    case QEvent::Leave:
      break;
    default:
      return false;
  }
  auto* widget = static_cast<QWidget*>(watched);
  Place at = Locate(widget);
  if (!at.form) return false;
  QPointer<QWidget> alive(widget);

  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      // The pointer got here before it pressed: a look at every page would
      // have found that first.
      if (Global(mouse) != m_pointer) UpdateHover(Global(mouse));
      if (!alive) return true;
      m_buttons = mouse->buttons() | mouse->button();
      if (at.at_surface) return PageMouse(*at.form, mouse);
      if (!at.item || !at.object_widget->isEnabled()) return false;
      Attach(*at.item, *at.object_widget);
      bool used = ObjectPress(at, widget, mouse);
      return used || !alive;
    }
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (Global(mouse) != m_pointer) UpdateHover(Global(mouse));
      if (!alive) return true;
      m_buttons = mouse->buttons() & ~mouse->button();
      if (at.at_surface) return PageMouse(*at.form, mouse);
      if (!at.item || !at.object_widget->isEnabled()) return false;
      bool used = ObjectRelease(at, widget, mouse);
      return used || !alive;
    }
    case QEvent::MouseMove: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      UpdateHover(Global(mouse));
      if (!alive) return true;
      if (at.at_surface) return PageMouse(*at.form, mouse);
      if (at.item && at.object_widget->isEnabled()) ObjectMove(at, widget, mouse);
      return !alive;
    }
    case QEvent::Wheel: {
      auto* wheel = static_cast<QWheelEvent*>(event);
      // Once per turn: at the widget the turn was sent to, not again as it
      // travels up to the parents.
      QPoint global = wheel->globalPosition().toPoint();
      QWidget* first = at.form->childAt(at.form->mapFromGlobal(global));
      if (widget != (first ? first : at.form)) return false;
      Wheel(*at.form, wheel);
      return !alive;
    }
    case QEvent::KeyPress: {
      QWidget* focus = at.form->focusWidget();
      if (widget != (focus ? focus : at.form)) return false;
      return KeyDown(*at.form, static_cast<QKeyEvent*>(event)) || !alive;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
      if (!at.item || at.object_widget != widget || at.item->kind() != ObjectKind::Edit) {
        return false;
      }
      Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      // The whole window losing or regaining the focus is no focus change of
      // the edit's own.
      if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
      EditFocus(*static_cast<TQMEdit*>(at.item), event->type() == QEvent::FocusIn);
      return !alive;
    }
    case QEvent::Show:
      if (at.item && at.object_widget == widget) Attach(*at.item, *widget);
      [[fallthrough]];
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Hide:
    case QEvent::ZOrderChange:
      // The page, its surface or one of its objects moved, resized, appeared
      // or vanished: what lies under the resting pointer may have changed.
      if (widget == at.form || at.at_surface || at.object_widget == widget) ScheduleHoverUpdate();
      return false;
    case QEvent::ChildRemoved:
    case QEvent::Leave:
      if (widget == at.form || at.at_surface) ScheduleHoverUpdate();
      return false;
    default:
      return false;
  }
}

// --- Event variables and scripts

void EventDispatch::SetPosition(QPoint at) {
  TValues& v = m_player.values();
  v.SetNumber("_mx", at.x());
  v.SetNumber("_my", at.y());
}

bool EventDispatch::terminating() const {
  return m_player.terminating();
}

void EventDispatch::SetButton(int button) {
  if (button > 0) m_player.values().SetNumber("_btn", button);
}

void EventDispatch::SetButtonFromKeys() {
  // A later button overwrites an earlier one; none keeps the old value.
  int button = 0;
  if (m_buttons & Qt::LeftButton) button = 1;
  if (m_buttons & Qt::MiddleButton) button = 2;
  if (m_buttons & Qt::RightButton) button = 3;
  SetButton(button);
}

QPoint EventDispatch::MainWindowPosition(QPoint global) const {
  TQMForm* main = m_player.GetFormByNum(1);
  return main ? main->mapFromGlobal(global) : global;
}

void EventDispatch::ClearMainFocus() {
  if (TQMForm* main = m_player.GetFormByNum(1)) {
    if (QWidget* focus = main->focusWidget()) focus->clearFocus();
  }
}

void EventDispatch::RunObjectScript(const std::string& script) {
  if (TQMForm* main = m_player.GetFormByNum(1)) RunPageScript(script, *main);
}

void EventDispatch::RunObjectScript(PageObjectItem& item, const std::string& script) {
  // Objects a script made run their scripts in that script's window.
  const QVariant page = item.AsObject()->property(kScriptPageProperty);
  TQMForm* form = page.isValid() ? m_player.GetFormByNum(page.toInt()) : nullptr;
  if (form)
    RunPageScript(script, *form);
  else
    RunObjectScript(script);
}

void EventDispatch::RunPageScript(const std::string& script, TQMForm& page) {
  // The player reports what the script raises, where the script starts.
  if (script.empty() || m_player.terminating()) return;
  m_player.RunScript(script, page);
}

// --- Mouse on objects

PointerEvent EventDispatch::OnObject(const Place& at, QWidget* receiver, QMouseEvent* event) {
  return PointerEvent{*at.item,
                      *at.object_widget,
                      receiver,
                      event,
                      ButtonNumber(event->button()),
                      event->type() == QEvent::MouseButtonDblClick,
                      event->position().toPoint(),
                      Global(event)};
}

bool EventDispatch::ObjectPress(const Place& at, QWidget* receiver, QMouseEvent* event) {
  if (ButtonNumber(event->button()) == 0) return false;
  auto press = ClassOf(at.item->kind()).pointer.press;
  return press && press(*this, OnObject(at, receiver, event));
}

bool EventDispatch::ObjectRelease(const Place& at, QWidget* receiver, QMouseEvent* event) {
  auto release = ClassOf(at.item->kind()).pointer.release;
  return release && release(*this, OnObject(at, receiver, event));
}

void EventDispatch::ReleaseRule(PageObjectItem& item, QWidget& widget, QMouseEvent* event) {
  QWidget* parent = widget.parentWidget();
  if (!parent) return;
  QPointer<QWidget> alive(&widget);
  QPoint global = Global(event);
  QPoint in_parent = parent->mapFromGlobal(global);
  QWidget* under = DirectChild(*parent, parent->childAt(in_parent));
  auto* under_item = dynamic_cast<PageObjectItem*>(under);
  if (under_item && under->isEnabled() && under_item->kind() == item.kind()) {
    bool enter = true;
    if (item.kind() == ObjectKind::Shape) {
      QPoint p = under->mapFromGlobal(global);
      enter = static_cast<TQMShape*>(under_item)->FigureContains(p.x(), p.y());
    }
    if (enter) {
      if (item.kind() == ObjectKind::Text) {
        TextEnter(*static_cast<TQMText*>(under_item), global);
      } else {
        MouseEnter(*under_item);
      }
    }
  }
  if (!alive || under != &widget) return;
  SetPosition(event->position().toPoint());
  SetButton(1);
  if (Script* up = item.EventScript(ObjectEvent::kMouseUp)) RunObjectScript(item, *up);
}

void EventDispatch::ObjectMove(const Place& at, QWidget* receiver, QMouseEvent* event) {
  PageObjectItem& item = *at.item;
  if (item.kind() == ObjectKind::Shape && receiver == at.object_widget) {
    // The shape watches its figure itself.
    auto& shape = static_cast<TQMShape&>(item);
    QPoint pos = event->position().toPoint();
    bool inside = shape.FigureContains(pos.x(), pos.y());
    // Outside its figure the shape shows its page's cursor.
    bool page_cursor = m_page_cursor_shapes.contains(&shape);
    if (inside == page_cursor) {
      if (inside) {
        m_page_cursor_shapes.remove(&shape);
        m_player.cursors().Apply(shape, shape.RealCursor);
      } else {
        m_page_cursor_shapes.insert(&shape);
        m_player.cursors().Apply(shape, at.form->page().cursor);
      }
    }
    if (inside && !shape.inside) {
      shape.inside = true;
      MouseEnter(shape);
    } else if (!inside && shape.inside) {
      shape.inside = false;
      MouseLeave(shape);
    }
  } else if (item.kind() == ObjectKind::ListBox) {
    auto& list = static_cast<TQMListBox&>(item);
    if (event->buttons() == Qt::LeftButton && !list.multi_select()) list.viewport()->update();
  }
}

// --- Enter and leave

void EventDispatch::ScheduleHoverUpdate() {
  if (!m_hover_update.isActive()) m_hover_update.start();
}

void EventDispatch::UpdateHover(QPoint global) {
  if (m_in_hover) {
    // A script of an enter or leave event moved things; look again after it.
    ScheduleHoverUpdate();
    return;
  }
  m_in_hover = true;
  m_pointer = global;
  std::vector<QPointer<TQMForm>> forms = m_forms;
  for (const QPointer<TQMForm>& form : forms) {
    if (form && !m_player.terminating()) PageTick(*form, global);
  }
  if (!m_player.terminating()) NativeTextHover(global);
  m_in_hover = false;
}

void EventDispatch::PageTick(TQMForm& form, QPoint global) {
  QWidget& surface = form.surface();
  QPoint p = surface.mapFromGlobal(global);
  // Scripts may add or delete objects meanwhile.
  std::vector<QPointer<QWidget>> children;
  for (QObject* child : surface.children()) {
    if (child->isWidgetType()) children.emplace_back(static_cast<QWidget*>(child));
  }
  for (const QPointer<QWidget>& child : children) {
    if (!child || child->parentWidget() != &surface) continue;
    auto* item = dynamic_cast<PageObjectItem*>(child.data());
    if (!item) continue;
    auto* shape = item->kind() == ObjectKind::Shape ? static_cast<TQMShape*>(item) : nullptr;
    QRect bounds = child->geometry();
    if (!StrictlyInside(bounds, p)) {
      if (shape) {
        if (shape->inside) {
          shape->inside = false;
          ExecuteOnLeave(*item);
        }
      } else if (item->Tag == 1) {
        ExecuteOnLeave(*item);
      }
    } else if (item->Tag == 0 && !child->isHidden()) {
      item->Tag = 1;
      if (!ClassOf(item->kind()).tracked_hover) continue;
      if (!shape) {
        MouseEnter(*item);
      } else if (shape->FigureContains(p.x() - bounds.left(), p.y() - bounds.top()) &&
                 !shape->inside) {
        shape->inside = true;
        MouseEnter(*item);
      }
    }
  }
}

void EventDispatch::ExecuteOnLeave(PageObjectItem& item) {
  item.Tag = 0;
  if (ClassOf(item.kind()).tracked_hover) MouseLeave(item);
}

void EventDispatch::MouseEnter(PageObjectItem& item) {
  Hover(item, true);
}

void EventDispatch::MouseLeave(PageObjectItem& item) {
  Hover(item, false);
}

void EventDispatch::Hover(PageObjectItem& item, bool inside) {
  QWidget* widget = item.AsWidget();
  if (!widget || !ClassOf(item.kind()).tracked_hover) return;
  auto* form = Locate(widget).form;
  if (!IsActive(form)) return;
  item.ShowHover(inside);
  Script* script = item.EventScript(inside ? ObjectEvent::kMouseEnter : ObjectEvent::kMouseLeave);
  if (script) RunObjectScript(item, *script);
}

void EventDispatch::NativeTextHover(QPoint global) {
  // The window under the pointer: the active page when it covers the point.
  TQMForm* form = nullptr;
  for (const QPointer<TQMForm>& f : m_forms) {
    if (f && f->isVisible() && IsActive(f) && f->frameGeometry().contains(global)) form = f;
  }
  if (!form) {
    QWidget* top = QApplication::topLevelAt(global);
    for (const QPointer<TQMForm>& f : m_forms) {
      if (f && f == top) form = f;
    }
  }
  TQMText* under = nullptr;
  if (form) {
    QWidget& surface = form->surface();
    QWidget* child = DirectChild(surface, surface.childAt(surface.mapFromGlobal(global)));
    auto* item = dynamic_cast<PageObjectItem*>(child);
    if (item && item->kind() == ObjectKind::Text && child->isEnabled()) {
      under = static_cast<TQMText*>(item);
    }
  }
  if (under == m_text_under) return;
  QPointer<TQMText> left = m_text_under;
  m_text_under = under;
  if (left) TextLeave(*left);
  if (under && m_text_under == under) TextEnter(*under, global);
}

void EventDispatch::TextEnter(TQMText& text, QPoint global) {
  if (!IsActive(Locate(&text).form)) return;
  QPointer<TQMText> alive(&text);
  if (text.ColorEvents) {
    if (m_buttons & Qt::LeftButton) {
      PressText(*this, text, 1, text.mapFromGlobal(global));
      if (!alive) return;
    } else {
      text.SetFontColour(ToQColor(text.ColorHover));
      text.update();
    }
  }
  RunObjectScript(text, text.evntMEnter);
}

void EventDispatch::TextLeave(TQMText& text) {
  if (text.ColorEvents) {
    text.SetFontColour(ToQColor(text.ColorNormal));
    text.update();
  }
  RunObjectScript(text, text.evntMLeave);
}

// --- Edits

void EventDispatch::EditFocus(TQMEdit& edit, bool in) {
  if (in) {
    if (edit.ColorEvents) {
      edit.SetColours(ToQColor(edit.ColorEnter), ToQColor(edit.ColorEnterF));
      edit.update();
    }
    edit.Tag = 2;
    RunObjectScript(edit, edit.evntMenter);
  } else {
    edit.SetColours(ToQColor(edit.ColorNormal), ToQColor(edit.ColorNormalF));
    edit.update();
    edit.Tag = 0;
  }
}

bool EventDispatch::EditKey(TQMEdit& edit, QKeyEvent* event) {
  QString text = event->text();
  QChar typed;
  if (event->key() == Qt::Key_Backspace) {
    typed = u'\b';
  } else if (text.size() == 1 && text[0].isPrint()) {
    typed = text[0];
  } else {
    return false;  // no character: nothing to filter
  }
  bool ctrl = event->modifiers() & Qt::ControlModifier;
  return KeyFilterDiscards(edit.Validation, ctrl, typed, LocaleDecimalSeparator());
}

void EventDispatch::EditChanged(TQMEdit& edit, const QString& text) {
  // A change whose text has been changed again meanwhile was handled by the
  // nested change.
  if (text != edit.text()) return;
  QPointer<TQMEdit> alive(&edit);
  qsizetype bad = FirstRejected(edit.Validation, edit.text(), LocaleDecimalSeparator());
  if (bad >= 0) {
    // Each removal rewrites the text, which is a change of its own that
    // cleans the rest and runs the change script.
    QString cleaned = edit.text();
    cleaned.remove(bad, 1);
    int cursor = edit.cursorPosition();
    edit.setText(cleaned);
    if (!alive) return;
    edit.setCursorPosition(
        int(std::min<qsizetype>(cursor > bad ? cursor - 1 : cursor, edit.text().size())));
  }
  MirrorEditText(edit);
  RunObjectScript(edit, edit.evntCH);
}

void EventDispatch::MirrorEditText(TQMEdit& edit) {
  QString name = edit.objectName();
  if (!name.startsWith(QLatin1String("OBJ"), Qt::CaseInsensitive)) return;
  std::string variable = name.mid(3).toLower().toStdString();
  int code_page = CodePageForCharset(edit.model().charset, m_player.code_page());
  m_player.values().SetString(variable, FromUtf8(edit.text().toStdString(), code_page));
}

// --- The page

bool EventDispatch::PageMouse(TQMForm& form, QMouseEvent* event) {
  QPoint client = form.mapFromGlobal(Global(event));
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      bool borderless = form.page().options.border_kind >= 2;
      if (event->button() == Qt::LeftButton && borderless && m_player.drag_by_background()) {
        m_drag_pressed = true;
        m_drag_moving = false;
        m_drag_point = client;
      }
      if (QWidget* focus = form.focusWidget()) focus->clearFocus();
      return true;
    }
    case QEvent::MouseMove:
      // A move without the left button is none of a drag: the press always
      // comes first, and the window system moves the pointer on its own
      // after windows move.
      if (!(event->buttons() & Qt::LeftButton)) return true;
      if (!m_drag_moving && ((client - m_drag_point).x() > 5 || (client - m_drag_point).x() < -5 ||
                             (client - m_drag_point).y() > 5 || (client - m_drag_point).y() < -5)) {
        m_drag_moving = true;
        m_drag_point = client;
      }
      if (m_drag_pressed && m_drag_moving) {
        form.move(Global(event) - m_drag_point);
        form.surface().setCursor(Qt::SizeAllCursor);
      }
      return true;
    case QEvent::MouseButtonRelease:
      if (m_drag_moving) m_player.cursors().Apply(form.surface(), form.page().cursor);
      m_drag_pressed = false;
      m_drag_moving = false;
      return true;
    default:
      return false;
  }
}

void EventDispatch::Wheel(TQMForm& form, QWheelEvent* event) {
  QPointer<TQMForm> alive(&form);
  QWidget& surface = form.surface();
  QPoint global = event->globalPosition().toPoint();
  QWidget* under = DirectChild(surface, surface.childAt(surface.mapFromGlobal(global)));
  if (auto* list = dynamic_cast<TQMListBox*>(under)) {
    list->viewport()->update();
    m_refresh_name = list->objectName();
    if (auto* timer = qobject_cast<QTimer*>(form.objects().FindComponent("LBRefresh"))) {
      timer->start();
    }
  }
  m_wheel_rest += event->angleDelta().y();
  while (alive && (m_wheel_rest >= 120 || m_wheel_rest <= -120)) {
    bool up = m_wheel_rest > 0;
    m_wheel_rest += up ? -120 : 120;
    m_player.values().SetString("_dir", up ? "UP" : "DOWN");
    RunPageScript(form.page().on_wheel, form);
  }
}

void EventDispatch::ListRefreshTick(TQMForm& form) {
  auto* list = dynamic_cast<TQMListBox*>(
      form.objects().FindComponent(m_refresh_name.toLatin1().toStdString()));
  if (list) list->viewport()->update();
}

bool EventDispatch::KeyDown(TQMForm& form, QKeyEvent* event) {
  QWidget* focus = form.focusWidget();
  auto* edit = dynamic_cast<TQMEdit*>(focus);
  if (edit) {
    if (EditKey(*edit, event)) return true;
  } else if (Shortcut(event)) {
    return true;
  }
  if (event->key() == Qt::Key_F1 && !event->isAutoRepeat()) {
    Help();
    return true;
  }
  Place at = focus ? Locate(focus) : Place{};
  if (at.item && at.item->kind() == ObjectKind::ListBox) {
    auto* list = static_cast<TQMListBox*>(at.item);
    // A key that moves the list box's current item is a click of the list,
    // as a click that picks an item is.
    int before = list->currentRow();
    QPointer<TQMListBox> alive(list);
    static_cast<QObject*>(focus)->event(event);
    if (alive && list->currentRow() != before) ClickList(*this, *list);
    return true;
  }
  return false;
}

bool EventDispatch::Shortcut(QKeyEvent* event) {
  Qt::KeyboardModifiers mods = event->modifiers();
  int32_t key = VirtualKeyOf(event->key(), mods);
  if (key == 0) return false;
  std::string triple =
      ModifierTriple(mods & Qt::ShiftModifier, mods & Qt::ControlModifier, mods & Qt::AltModifier);
  const std::vector<TFunc>& functions = m_player.project().functions;
  bool handled = false;
  for (size_t k = 0; k < functions.size() && !m_player.terminating(); ++k) {
    const TFunc& f = functions[k];
    if (!ShortcutMatches(f.shortcut, triple, key)) continue;
    handled = true;
    if (f.thread_slot > 0) {
      // Started on its slot exactly as a call of the function starts it.
      RunObjectScript(std::to_string(123 + k + 1));
    } else {
      RunObjectScript(f.body);
    }
  }
  return handled;
}

void EventDispatch::Help() {
  TQMForm* page = m_player.GetFormByNum(m_player.CurrentPage());
  if (!page) return;
  QWidget& surface = page->surface();
  QWidget* under = DirectChild(surface, surface.childAt(surface.mapFromGlobal(QCursor::pos())));
  if (!under || !under->objectName().startsWith(QLatin1String("OBJ"))) return;
  m_player.values().SetString("_help", under->objectName().mid(3).toLatin1().toStdString());
  // Only the main window holds the project's help script.
  if (page->number() == 1) RunPageScript(m_player.project().help, *page);
}

}  // namespace morvane
