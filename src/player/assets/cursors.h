#pragma once

// The cursor numbers of pages and objects: 0 to 12 stock cursors, 13 and up
// the project's cursors in the order of its cursor list, negative numbers the
// toolkit's own stock cursors. Animated cursors run on a timer while some
// widget shows them.

#include "player/assets/cursor_file.h"

#include <QCursor>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

namespace morvane {

// The stock cursor of a number below 13; nothing for 0 (the control's own
// default) and for numbers without a stock cursor.
std::optional<Qt::CursorShape> StockCursorShape(int number);

class CursorTable {
 public:
  CursorTable() = default;
  CursorTable(const CursorTable&) = delete;
  CursorTable& operator=(const CursorTable&) = delete;

  // Adds the next custom cursor (number 13 + count so far).
  void Add(CursorAnimation cursor);
  size_t custom_count() const { return m_custom.size(); }

  // Gives the widget the cursor of that number: unset for 0 and for numbers
  // that name no cursor.
  void Apply(QWidget& widget, int number);
  void StopAnimations();

 private:
  struct Custom {
    CursorAnimation animation;
    std::vector<QCursor> cursors;  // one per frame
    std::vector<QPointer<QWidget>> users;
    std::unique_ptr<QTimer> timer;
    size_t step = 0;
  };
  void Advance(Custom& custom);

  std::vector<std::unique_ptr<Custom>> m_custom;
};

}  // namespace morvane
