#include "player/assets/cursors.h"

#include <algorithm>

namespace morvane {

std::optional<Qt::CursorShape> StockCursorShape(int number) {
  switch (number) {
    case 1:
      return Qt::ArrowCursor;
    case 2:
      return Qt::WhatsThisCursor;
    case 3:
      return Qt::BusyCursor;
    case 4:
      return Qt::WaitCursor;
    case 5:
      return Qt::DragMoveCursor;
    case 6:
      return Qt::DragCopyCursor;
    case 7:
      return Qt::PointingHandCursor;
    case 8:
      return Qt::IBeamCursor;
    case 9:
      return Qt::CrossCursor;
    case 10:
      return Qt::SplitHCursor;
    case 11:
      return Qt::SplitVCursor;
    case 12:
      return Qt::ForbiddenCursor;
    // The toolkit's own numbering of its stock cursors.
    case -1:
      return Qt::BlankCursor;
    case -2:
      return Qt::ArrowCursor;
    case -3:
      return Qt::CrossCursor;
    case -4:
      return Qt::IBeamCursor;
    case -5:
      return Qt::SizeAllCursor;
    case -6:
      return Qt::SizeBDiagCursor;
    case -7:
      return Qt::SizeVerCursor;
    case -8:
      return Qt::SizeFDiagCursor;
    case -9:
      return Qt::SizeHorCursor;
    case -10:
      return Qt::UpArrowCursor;
    case -11:
      return Qt::WaitCursor;
    case -12:
      return Qt::DragMoveCursor;
    case -13:
      return Qt::ForbiddenCursor;
    case -14:
      return Qt::SplitHCursor;
    case -15:
      return Qt::SplitVCursor;
    case -16:
      return Qt::DragCopyCursor;
    case -17:
      return Qt::WaitCursor;
    case -18:
      return Qt::ForbiddenCursor;
    case -19:
      return Qt::BusyCursor;
    case -20:
      return Qt::WhatsThisCursor;
    case -21:
      return Qt::PointingHandCursor;
    case -22:
      return Qt::SizeAllCursor;
    default:
      return std::nullopt;
  }
}

void CursorTable::Add(CursorAnimation cursor) {
  auto custom = std::make_unique<Custom>();
  for (const CursorFrame& frame : cursor.frames) custom->cursors.push_back(MakeCursor(frame));
  custom->animation = std::move(cursor);
  m_custom.push_back(std::move(custom));
}

void CursorTable::Apply(QWidget& widget, int number) {
  for (auto& custom : m_custom) {
    auto& users = custom->users;
    users.erase(std::remove_if(users.begin(), users.end(),
                               [&](const QPointer<QWidget>& w) { return !w || w == &widget; }),
                users.end());
  }
  if (number >= 13) {
    size_t index = size_t(number - 13);
    if (index >= m_custom.size()) {
      widget.unsetCursor();
      return;
    }
    Custom& custom = *m_custom[index];
    const CursorAnimation& a = custom.animation;
    widget.setCursor(custom.cursors[size_t(a.sequence[custom.step % a.sequence.size()])]);
    if (a.sequence.size() > 1) {
      custom.users.push_back(&widget);
      if (!custom.timer) {
        custom.timer = std::make_unique<QTimer>();
        custom.timer->setSingleShot(true);
        Custom* c = &custom;
        QObject::connect(custom.timer.get(), &QTimer::timeout, [this, c] { Advance(*c); });
      }
      if (!custom.timer->isActive()) {
        custom.timer->start(a.durations_ms[custom.step % a.sequence.size()]);
      }
    }
    return;
  }
  if (std::optional<Qt::CursorShape> shape = StockCursorShape(number)) {
    widget.setCursor(*shape);
  } else {
    widget.unsetCursor();
  }
}

void CursorTable::Advance(Custom& custom) {
  auto& users = custom.users;
  users.erase(std::remove_if(users.begin(), users.end(), [](auto& w) { return !w; }), users.end());
  // The timer stops while no widget shows the cursor.
  if (users.empty()) return;
  const CursorAnimation& a = custom.animation;
  custom.step = (custom.step + 1) % a.sequence.size();
  for (auto& w : users) w->setCursor(custom.cursors[size_t(a.sequence[custom.step])]);
  custom.timer->start(a.durations_ms[custom.step]);
}

void CursorTable::StopAnimations() {
  for (auto& custom : m_custom) {
    if (custom->timer) custom->timer->stop();
    custom->users.clear();
  }
}

}  // namespace morvane
