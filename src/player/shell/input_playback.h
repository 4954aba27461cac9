#pragma once

// Plays the steps of an --input file on the current page, one after another
// from the event loop.

#include "player/automation/input_steps.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <string>

namespace morvane {

class Player;

class InputPlayback {
 public:
  InputPlayback(Player& player, InputScript script, std::string shot_dir);
  void Start();

 private:
  void Next();
  void Play(const InputStep& step);
  QWidget* Page();
  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button);

  Player& m_player;
  InputScript m_script;
  std::string m_shot_dir;
  size_t m_next = 0;
  QTimer m_timer;
  QPointer<QWidget> m_grabber;  // the widget a press went to gets its release
  Qt::MouseButtons m_buttons;
};

}  // namespace morvane
