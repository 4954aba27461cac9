#include "player/shell/load_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

namespace morvane {

TQMLoad::TQMLoad()
    : QWidget(nullptr,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("QMLoad"));
  setWindowTitle(QStringLiteral("Intializing"));
  setAttribute(Qt::WA_QuitOnClose, false);
  setFixedSize(270, 38);
  auto* label = new QLabel(QStringLiteral("Loading..."), this);
  label->setGeometry(8, 2, 254, 16);
  m_progress = new QProgressBar(this);
  m_progress->setGeometry(8, 20, 254, 14);
  m_progress->setTextVisible(false);
  m_progress->setRange(0, 1);
  m_progress->setValue(0);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect s = screen->geometry();
    move(s.left() + (s.width() - width()) / 2, s.top() + (s.height() - height()) / 2);
  }
}

void TQMLoad::SetProgress(int position, int maximum) {
  m_progress->setRange(0, std::max(maximum, 1));
  m_progress->setValue(std::clamp(position, 0, std::max(maximum, 1)));
}

}  // namespace morvane
