#pragma once

// `TQMButton`: a classic push button. The default button carries the extra
// dark outline; the focus rectangle can be switched off.

#include "player/objects/page_object.h"

#include <QPushButton>

namespace morvane {

class TQMButton : public QPushButton, public PageObjectItem {
 public:
  TQMButton(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }

  void SetShowFocusRect(bool on) { m_show_focus_rect = on; }

  int8_t RealCursor = 0;
  Script evntMenter, evntMleave, evntMdown, evntMup;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool m_show_focus_rect = true;
};

}  // namespace morvane
