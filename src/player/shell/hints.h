#pragma once

// The application's hints: the project's colours, the Tahoma hint font, the
// pause before a hint shows and the pause before it hides again; and the
// application hint, whose every change sets `_hint` and runs the on-hint
// script.

#include <QObject>
#include <QString>

namespace morvane {

class Player;

class HintHandler : public QObject {
 public:
  // Call once the project is read and before the page windows exist.
  explicit HintHandler(Player& player);
  ~HintHandler() override;
  // Puts the handler before every other application-wide event filter; call
  // again once the pages and their objects exist.
  void Watch();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void NoteHint(const QString& hint);

  Player& m_player;
  QString m_current;
};

// The hint a widget gives: its own, else that of the nearest parent that has
// one, up to its page window.
QString HintOf(const QWidget* widget);

}  // namespace morvane
