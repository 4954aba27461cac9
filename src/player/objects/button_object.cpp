#include "player/objects/button_object.h"

#include "player/objects/classic_look.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace morvane {

TQMButton::TQMButton(const PageObject& model, QWidget* owner)
    : QPushButton(owner), PageObjectItem(model) {
  setStyle(ClassicStyle());
  setAutoDefault(false);
  // Windows draws push-button text in the button-text colour whatever the
  // font colour says.
  QPalette p = palette();
  p.setColor(QPalette::Button, classic::kFace);
  p.setColor(QPalette::ButtonText, Qt::black);
  p.setColor(QPalette::Disabled, QPalette::ButtonText, classic::kShadow);
  p.setColor(QPalette::Light, classic::kHighlight);
  p.setColor(QPalette::Midlight, classic::kLight);
  p.setColor(QPalette::Mid, classic::kShadow);
  p.setColor(QPalette::Dark, classic::kShadow);
  p.setColor(QPalette::Shadow, classic::kDarkShadow);
  setPalette(p);
  resize(75, 25);
}

void TQMButton::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  if (!m_show_focus_rect) option.state &= ~QStyle::State_HasFocus;
  if (option.features & QStyleOptionButton::DefaultButton) {
    // The default button: a black line around the raised button.
    option.features &= ~QStyleOptionButton::DefaultButton;
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    option.rect.adjust(1, 1, -1, -1);
  }
  p.drawControl(QStyle::CE_PushButton, option);
}

}  // namespace morvane
