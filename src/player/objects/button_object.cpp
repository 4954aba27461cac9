#include "player/objects/button_object.h"

#include "player/objects/classic_look.h"

#include <QPainter>
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
  QStyleOptionButton option;
  initStyleOption(&option);
  if (!m_show_focus_rect) option.state &= ~QStyle::State_HasFocus;
  const bool outlined = option.features & QStyleOptionButton::DefaultButton;
  Drawn wanted;
  wanted.state = int(option.state);
  wanted.features = int(option.features);
  wanted.text = option.text;
  wanted.rect = option.rect;
  wanted.palette = option.palette.cacheKey();
  wanted.font = font().key();
  wanted.direction = int(option.direction);
  const bool same = !m_drawn.image.isNull() && m_drawn.state == wanted.state &&
                    m_drawn.features == wanted.features && m_drawn.rect == wanted.rect &&
                    m_drawn.palette == wanted.palette && m_drawn.direction == wanted.direction &&
                    m_drawn.text == wanted.text && m_drawn.font == wanted.font &&
                    option.icon.isNull();
  if (!KeepsWholePicture(size())) {
    // Drawn straight onto the widget, clipped to what this paint exposes.
    m_drawn = Drawn();
    QPainter p(this);
    DrawButton(p, option, outlined);
    return;
  }
  if (!same) {
    const qreal ratio = devicePixelRatioF();
    QImage image((QSizeF(size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    DrawButton(p, option, outlined);
    p.end();
    wanted.image = std::move(image);
    m_drawn = std::move(wanted);
  }
  QPainter p(this);
  p.drawImage(0, 0, m_drawn.image);
}

void TQMButton::DrawButton(QPainter& p, QStyleOptionButton& option, bool outlined) {
  p.setFont(font());
  if (outlined) {
    // The default button: a black line around the raised button.
    option.features &= ~QStyleOptionButton::DefaultButton;
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    option.rect.adjust(1, 1, -1, -1);
  }
  style()->drawControl(QStyle::CE_PushButton, &option, &p, this);
}

}  // namespace morvane
