#include "player/objects/timer_object.h"

namespace morvane {

TQMTimer::TQMTimer(const PageObject& model, QObject* owner) : QTimer(owner), PageObjectItem(model) {
  setInterval(1000);
  QObject::connect(this, &QTimer::timeout, this, [this] { OnTick(); });
}

void TQMTimer::Restart() {
  m_ticks = 0;
  start();
}

void TQMTimer::OnTick() {
  ++m_ticks;
  if (m_ticks == NumberOfLoops) {
    m_ticks = 0;
    stop();
  }
  if (m_handler) m_handler(*this);
}

}  // namespace morvane
