#pragma once

// `TQMText`: a label. Draws its caption as a Windows label does: optional
// background fill, layout (top, centre, bottom), alignment, word wrap, the
// "&" accelerator prefix, auto-size, and the embossed look when disabled.

#include "player/objects/page_object.h"
#include "player/objects/pointer_rules.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QWidget>

namespace morvane {

class TQMText : public QWidget, public PageObjectItem {
 public:
  TQMText(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }
  Script* EventScript(ObjectEvent event) override;

  void SetCaption(QString caption);
  void SetLayoutDigit(int digit) { m_layout = digit; }
  void SetAlignmentDigit(int digit) { m_alignment = digit; }
  void SetWordWrap(bool on) { m_word_wrap = on, m_text_height = -1; }
  void SetTransparent(bool on) { m_transparent = on; }
  void SetAutoSize(bool on) { m_auto_size = on; }
  void SetFontColour(const QColor& c) { m_font_colour = c; }
  void SetBackground(const QColor& c) { m_background = c; }
  void SetRightToLeft(bool on) override { m_right_to_left = on; }
  // Fits the box to the caption when auto-size is on.
  void AdjustBounds();

  Colour ColorNormal, ColorHover, ColorClick;
  bool ColorEvents = false;
  Script evntMDown, evntMUp, evntMEnter, evntMLeave;

 protected:
  void paintEvent(QPaintEvent*) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int TextFlags() const;
  // The caption as the text draws it, in the widget's own coordinates.
  void DrawCaption(QPainter& painter, int flags);
  QRect TextRect(const QRect& area) const;

  QString m_caption;
  int m_layout = 1, m_alignment = 1;
  bool m_word_wrap = false, m_transparent = false, m_auto_size = false;
  bool m_right_to_left = false;
  QColor m_font_colour{0, 0, 0}, m_background{240, 240, 240};
  mutable int m_text_height = -1;  // of the caption laid out at the width; -1 stale

  // The caption as last drawn, kept with everything that shaped it: laying
  // out and drawing text costs far more than copying its pixels.
  struct DrawnCaption {
    QImage image;
    QSize size;
    QString caption;
    QFont font;
    QRgb colour = 0;
    int flags = 0;
    int layout = 0;
    bool enabled = true;
    bool right_to_left = false;
    bool same(const DrawnCaption& o) const {
      return size == o.size && colour == o.colour && flags == o.flags && layout == o.layout &&
             enabled == o.enabled && right_to_left == o.right_to_left && caption == o.caption &&
             font == o.font;
    }
  };
  DrawnCaption m_drawn;
};

// A press on a text: the event variables, the click colour, the mouse-down
// script. A text pressed into with the left button held counts as pressed.
void PressText(PointerDesk& desk, TQMText& text, int button, QPoint at);

}  // namespace morvane
