#pragma once

// How a class's objects answer the pointer: what the page's event dispatch
// does with a press or a release on one of them, and what it connects when it
// first sees one. The rules live with their class; the dispatch
// (player/events/) lends them the event variables and the script runner
// through PointerDesk, and applies the rules of the object under the pointer.

#include <QPoint>

#include <string>

class QMouseEvent;
class QObject;
class QWidget;

namespace morvane {

class PageObjectItem;
class TQMEdit;

class PointerDesk {
 public:
  // `_mx` and `_my`.
  virtual void SetPosition(QPoint at) = 0;
  // `_btn`; nothing for 0.
  virtual void SetButton(int button) = 0;
  // `_btn` from the mouse buttons held down now.
  virtual void SetButtonFromKeys() = 0;
  // A screen point in the main window's client coordinates.
  virtual QPoint MainWindowPosition(QPoint global) const = 0;
  // The main window's focused object loses the focus.
  virtual void ClearMainFocus() = 0;
  // Runs an object's event script in the context its page gives it.
  virtual void RunObjectScript(PageObjectItem& item, const std::string& script) = 0;
  // The release of objects that do not take the pointer themselves (texts,
  // images, shapes): the mouse-up script of the object the button went up
  // over, once it was pressed on this one.
  virtual void ReleaseRule(PageObjectItem& item, QWidget& widget, QMouseEvent* event) = 0;
  // An edit's typing becomes its change script, and its text its variable.
  virtual void WatchEdit(TQMEdit& edit) = 0;
  // True once the program ends: no script runs any more.
  virtual bool terminating() const = 0;
  // What a rule's connections live as long as.
  virtual QObject* context() = 0;

 protected:
  ~PointerDesk() = default;
};

// A press or a release on an object.
struct PointerEvent {
  PageObjectItem& item;
  QWidget& object_widget;  // the object's own widget: the page surface's direct child
  QWidget* receiver;       // the widget the event goes to: the object's or a part of it
  QMouseEvent* event;
  int button;  // 1 left, 2 right, 3 middle; 0 for any other
  bool double_click;
  QPoint pos;     // in the receiver's coordinates
  QPoint global;  // on the screen
};

struct PointerRules {
  // When the dispatch first sees an object of the class.
  void (*attach)(PointerDesk& desk, PageObjectItem& item) = nullptr;
  // Each returns true when the event is used up (the widget does not see it);
  // a class without a rule lets the widget have the event.
  bool (*press)(PointerDesk& desk, const PointerEvent& e) = nullptr;
  bool (*release)(PointerDesk& desk, const PointerEvent& e) = nullptr;
};

// The press on an object whose widget takes the pointer itself (buttons,
// edits): on the widget's own area, the event variables and the mouse-down
// script, and the widget still sees the press.
bool PressOwnWidget(PointerDesk& desk, const PointerEvent& e);

}  // namespace morvane
