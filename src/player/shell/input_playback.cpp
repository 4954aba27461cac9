#include "player/shell/input_playback.h"

#include "player/shell/page_window.h"
#include "player/shell/player.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QWheelEvent>

#include <filesystem>

namespace morvane {

InputPlayback::InputPlayback(Player& player, InputScript script, std::string shot_dir)
    : m_player(player), m_script(std::move(script)), m_shot_dir(std::move(shot_dir)) {
  m_timer.setSingleShot(true);
  QObject::connect(&m_timer, &QTimer::timeout, [this] { Next(); });
}

void InputPlayback::Start() {
  m_timer.start(0);
}

void InputPlayback::Next() {
  while (m_next < m_script.steps.size() && !m_player.terminating()) {
    const InputStep& step = m_script.steps[m_next++];
    if (step.action == InputAction::kWait) {
      m_timer.start(step.amount);
      return;
    }
    if (step.action == InputAction::kUntil && m_player.trace().Count(step.text) < step.amount) {
      // Looked at again shortly; the run's time limit ends a wait for an
      // event that never comes.
      --m_next;
      m_timer.start(10);
      return;
    }
    if (step.action == InputAction::kUntil) continue;
    Play(step);
    // Let the step's effects (scripts, repaints, shown pages) happen first.
    m_timer.start(0);
    return;
  }
}

QWidget* InputPlayback::Page() {
  int current = m_player.CurrentPage();
  TQMForm* form = m_player.GetFormByNum(current > 0 ? current : 1);
  return form;
}

void InputPlayback::Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button) {
  auto* form = static_cast<TQMForm*>(Page());
  if (!form) return;
  QPoint global = form->mapToGlobal(at);
  if (QCursor::pos() != global) {
    QCursor::setPos(global);
    // The window system hears of the pointer's new place first, as it would
    // have from the hand that moved it.
    QCoreApplication::processEvents();
    form = static_cast<TQMForm*>(Page());
    if (!form) return;
  }
  QWidget& surface = form->surface();
  QPoint in_surface = surface.mapFrom(form, at);
  QPointer<QWidget> target = surface.childAt(in_surface);
  if (!target) target = &surface;
  if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
    m_grabber = target;
    m_buttons |= button;
    // A press gives the focus to the first widget up from the target that
    // takes it by clicking, as the window system's presses do.
    for (QWidget* w = target; w && !w->isWindow(); w = w->parentWidget()) {
      if (w->hasFocus()) break;
      if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus) {
        w->setFocus(Qt::MouseFocusReason);
        break;
      }
    }
  } else if (type == QEvent::MouseButtonRelease) {
    if (m_grabber) target = m_grabber;
    m_buttons &= ~button;
    if (!m_buttons) m_grabber = nullptr;
  } else if (m_grabber) {
    target = m_grabber;
  }
  if (!target) return;
  QPoint local = target->mapFromGlobal(global);
  QMouseEvent event(type, QPointF(local), QPointF(local), QPointF(global), button, m_buttons,
                    QApplication::keyboardModifiers());
  QApplication::sendEvent(target, &event);
}

void InputPlayback::Play(const InputStep& step) {
  Qt::MouseButton button = step.button == MouseButton::kRight    ? Qt::RightButton
                           : step.button == MouseButton::kMiddle ? Qt::MiddleButton
                                                                 : Qt::LeftButton;
  QPoint at(step.x, step.y);
  switch (step.action) {
    case InputAction::kWait:
    case InputAction::kUntil:
      break;
    case InputAction::kMove:
      Mouse(QEvent::MouseMove, at, Qt::NoButton);
      break;
    case InputAction::kPress:
      Mouse(QEvent::MouseButtonPress, at, button);
      break;
    case InputAction::kRelease:
      Mouse(QEvent::MouseButtonRelease, at, button);
      break;
    case InputAction::kClick:
      Mouse(QEvent::MouseButtonPress, at, button);
      Mouse(QEvent::MouseButtonRelease, at, button);
      break;
    case InputAction::kDoubleClick:
      Mouse(QEvent::MouseButtonPress, at, button);
      Mouse(QEvent::MouseButtonRelease, at, button);
      Mouse(QEvent::MouseButtonDblClick, at, button);
      Mouse(QEvent::MouseButtonRelease, at, button);
      break;
    case InputAction::kWheel: {
      QWidget* page = Page();
      if (!page) break;
      QPoint local = page->mapFromGlobal(QCursor::pos());
      QWidget* target = page->childAt(local);
      if (!target) target = page;
      QPoint global = QCursor::pos();
      QWheelEvent event(QPointF(target->mapFromGlobal(global)), QPointF(global), QPoint(),
                        QPoint(0, 120 * step.amount), m_buttons, Qt::NoModifier, Qt::NoScrollPhase,
                        false);
      QApplication::sendEvent(target, &event);
      break;
    }
    case InputAction::kKey:
    case InputAction::kType: {
      QWidget* page = Page();
      if (!page) break;
      QWidget* target = page->focusWidget() ? page->focusWidget() : page;
      auto send = [&](int key, Qt::KeyboardModifiers mods, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods, text);
        QApplication::sendEvent(target, &release);
      };
      if (step.action == InputAction::kType) {
        for (QChar c : QString::fromUtf8(step.text.c_str())) {
          QKeySequence seq(QString(c).toUpper());
          int key = seq.isEmpty() ? 0 : seq[0].key();
          send(key, Qt::NoModifier, QString(c));
        }
        break;
      }
      Qt::KeyboardModifiers mods;
      if (step.shift) mods |= Qt::ShiftModifier;
      if (step.ctrl) mods |= Qt::ControlModifier;
      if (step.alt) mods |= Qt::AltModifier;
      if (step.keypad) mods |= Qt::KeypadModifier;
      const int key = step.key;
      QString text;
      if (key == Qt::Key_Return || key == Qt::Key_Enter)
        text = QStringLiteral("\r");
      else if (key == Qt::Key_Tab)
        text = QStringLiteral("\t");
      else if (key == Qt::Key_Space)
        text = QStringLiteral(" ");
      else if (key >= 0x20 && key < 0x7f && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        text = (mods & Qt::ShiftModifier) ? QString(QChar(key)) : QString(QChar(key)).toLower();
      }
      send(key, mods, text);
      break;
    }
    case InputAction::kShot: {
      std::string name = step.text;
      if (name.size() < 4 || name.substr(name.size() - 4) != ".png") name += ".png";
      std::string dir = m_shot_dir.empty() ? "." : m_shot_dir;
      std::error_code ec;
      std::filesystem::create_directories(dir, ec);
      int current = m_player.CurrentPage();
      m_player.SavePagePicture(current > 0 ? current : 1, dir + "/" + name);
      break;
    }
  }
}

}  // namespace morvane
