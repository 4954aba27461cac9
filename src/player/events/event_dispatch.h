#pragma once

// Turns what the user does on the pages into event scripts: presses,
// releases, clicks and double clicks on objects, the enter and leave events,
// typing into edits and their focus, the wheel, keyboard shortcuts, help and
// the dragging of borderless pages.
//
// One dispatch per player watches the whole application (an application
// event filter), so objects made while the pages run are served like the
// others. Enter and leave come from where the pointer is, as a 1 ms look at
// every page would find them, but the look is taken only when something can
// change the answer: the pointer moved, or an object or window moved,
// resized, appeared or vanished. An idle player does nothing.
//
// Object event scripts run in the main window's context, page events in their
// own page's; everything here runs on the main thread.

#include "player/objects/page_object.h"
#include "player/objects/pointer_rules.h"

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <string>
#include <vector>

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

namespace morvane {

class Player;
class TQMForm;
class TQMText;
class TQMEdit;
class TQMShape;
class TQMListBox;

class EventDispatch : public QObject, private PointerDesk {
 public:
  // The player's dispatch, made with the player's first page (and living as
  // long as it does).
  static EventDispatch& For(Player& player, TQMForm& first_page);
  // Serves a page and its objects; call once the page's objects exist.
  void AddPage(TQMForm& form);

  // Enter and leave as the pointer at `global` (screen coordinates) gives
  // them, on every page.
  void UpdateHover(QPoint global);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  EventDispatch(Player& player, QObject* parent);

  // Where a widget sits: its page, and the page object it belongs to (the
  // direct child of the page's surface on its way up), if any.
  struct Place {
    TQMForm* form = nullptr;
    QWidget* object_widget = nullptr;
    PageObjectItem* item = nullptr;
    bool at_surface = false;  // the widget is the page's background
  };
  Place Locate(QWidget* widget) const;
  void Attach(PageObjectItem& item, QWidget& widget);
  bool IsActive(const TQMForm* form) const;

  // --- Mouse on objects. Each returns true when the event is used up.
  bool ObjectPress(const Place& at, QWidget* receiver, QMouseEvent* event);
  bool ObjectRelease(const Place& at, QWidget* receiver, QMouseEvent* event);
  void ObjectMove(const Place& at, QWidget* receiver, QMouseEvent* event);
  // The press or release as the rules of the object's class see it.
  PointerEvent OnObject(const Place& at, QWidget* receiver, QMouseEvent* event);
  void ReleaseRule(PageObjectItem& item, QWidget& widget, QMouseEvent* event) override;

  // --- Enter and leave.
  void PageTick(TQMForm& form, QPoint global);
  void NativeTextHover(QPoint global);
  void ExecuteOnLeave(PageObjectItem& item);
  void MouseEnter(PageObjectItem& item);
  void MouseLeave(PageObjectItem& item);
  void Hover(PageObjectItem& item, bool inside);
  void TextEnter(TQMText& text, QPoint global);
  void TextLeave(TQMText& text);
  void ScheduleHoverUpdate();

  // --- Edits.
  void EditFocus(TQMEdit& edit, bool in);
  bool EditKey(TQMEdit& edit, QKeyEvent* event);
  void EditChanged(TQMEdit& edit, const QString& text);
  void MirrorEditText(TQMEdit& edit);
  void WatchEdit(TQMEdit& edit) override;

  // --- The page.
  bool PageMouse(TQMForm& form, QMouseEvent* event);
  void Wheel(TQMForm& form, QWheelEvent* event);
  void ListRefreshTick(TQMForm& form);
  bool KeyDown(TQMForm& form, QKeyEvent* event);
  bool Shortcut(QKeyEvent* event);
  void Help();

  // --- Event variables and scripts.
  void SetPosition(QPoint at) override;
  void SetButton(int button) override;
  void SetButtonFromKeys() override;
  QPoint MainWindowPosition(QPoint global) const override;
  void ClearMainFocus() override;
  bool terminating() const override;
  QObject* context() override { return this; }
  // Runs a script in the main window's context.
  void RunObjectScript(const std::string& script);
  void RunObjectScript(PageObjectItem& item, const std::string& script) override;
  void RunPageScript(const std::string& script, TQMForm& page);

  Player& m_player;
  std::vector<QPointer<TQMForm>> m_forms;  // in page order
  QHash<QWidget*, TQMForm*> m_surfaces;
  QSet<QObject*> m_attached;
  QSet<QObject*> m_page_cursor_shapes;  // shapes the pointer is over outside their figure

  Qt::MouseButtons m_buttons;  // as the presses and releases left them
  QPoint m_pointer;            // the last position the hover look was taken at
  QTimer m_hover_update;       // single shot: a look after geometry changes
  bool m_in_hover = false;
  QPointer<TQMText> m_text_under;  // the text that had the last native enter
  int m_wheel_rest = 0;            // of a high-resolution wheel, below a notch

  // Page dragging, one for the whole program.
  bool m_drag_pressed = false;
  bool m_drag_moving = false;
  QPoint m_drag_point;  // page client coordinates
  // The list box to repaint once more after a wheel turn.
  QString m_refresh_name;
};

// Whether the point lies strictly inside the rectangle, on all four sides.
bool StrictlyInside(const QRect& r, QPoint p);

}  // namespace morvane
