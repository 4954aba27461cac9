#pragma once

// `TQMButton`: a classic push button. The default button carries the extra
// dark outline; the focus rectangle can be switched off.

#include "player/objects/page_object.h"

#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QString>

namespace morvane {

class TQMButton : public QPushButton, public PageObjectItem {
 public:
  TQMButton(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }
  Script* EventScript(ObjectEvent event) override;

  void SetShowFocusRect(bool on) { m_show_focus_rect = on; }

  Script evntMenter, evntMleave, evntMdown, evntMup;

 protected:
  void paintEvent(QPaintEvent* event) override;
  // The button as its style draws it, on `painter`.
  void DrawButton(QPainter& painter, QStyleOptionButton& option, bool outlined);

 private:
  bool m_show_focus_rect = true;
  // The button as last drawn and what it was drawn from: styles draw a
  // button's bevel and caption at a cost worth not paying twice.
  struct Drawn {
    QImage image;
    int state = 0, features = 0;
    QString text;
    QRect rect;
    qint64 palette = 0;
    QString font;
    int direction = 0;
  } m_drawn;
};

}  // namespace morvane
