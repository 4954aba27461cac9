#pragma once

// `TQMEdit`: a single-line edit with the classic frame (bevels, then the
// client edge or a single line), character case, the stored password
// character and its own colours.

#include "player/objects/classic_look.h"
#include "player/objects/page_object.h"

#include <QLineEdit>

namespace morvane {

class TQMEdit : public QLineEdit, public PageObjectItem {
 public:
  TQMEdit(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }

  void SetFrame(const FrameSpec& frame);
  const FrameSpec& frame_spec() const { return m_frame; }
  // 0 normal, 1 upper, 2 lower: typed and set text follows it.
  void SetCharCase(int char_case);
  void SetColours(const QColor& background, const QColor& font);
  // Height from the font when auto-size is on and the border is single.
  void AdjustHeight();

  Colour ColorNormal, ColorHover, ColorEnter, ColorNormalF, ColorHoverF, ColorEnterF;
  bool ColorEvents = false;
  int8_t RealCursor = 0;
  int8_t Validation = 0;
  bool AutoSize = false;
  // Tabbing into the edit selects its whole text.
  bool AutoSelect = true;
  Script evntCH, evntMenter, evntMleave, evntMdown, evntMup;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void ApplyCase();
  FrameSpec m_frame;
  int m_char_case = 0;
};

}  // namespace morvane
