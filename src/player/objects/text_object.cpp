#include "player/objects/text_object.h"

#include "player/objects/classic_look.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

namespace morvane {

TQMText::TQMText(const PageObject& model, QWidget* owner) : QWidget(owner), PageObjectItem(model) {
  setAttribute(Qt::WA_NoSystemBackground);
  resize(65, 17);
}

void TQMText::SetCaption(QString caption) {
  m_caption = std::move(caption);
  m_text_height = -1;
  update();
}

int TQMText::TextFlags() const {
  int align = m_alignment == 2 ? 2 : m_alignment == 3 ? 3 : 1;
  // Right-to-left reading mirrors the alignment.
  if (m_right_to_left && align != 2) align = align == 1 ? 3 : 1;
  int flags = Qt::TextShowMnemonic | Qt::TextExpandTabs | Qt::AlignTop | Qt::AlignAbsolute;
  flags |= align == 2 ? Qt::AlignHCenter : align == 3 ? Qt::AlignRight : Qt::AlignLeft;
  if (m_word_wrap) flags |= Qt::TextWordWrap;
  return flags;
}

// The rectangle the caption takes when drawn from the top of `area`.
QRect TQMText::TextRect(const QRect& area) const {
  QFontMetrics metrics(font());
  QString text = m_caption.isEmpty() ? QStringLiteral(" ") : m_caption;
  int flags = TextFlags();
  QRect bound = m_word_wrap ? QRect(area.left(), area.top(), std::max(area.width(), 1), 1 << 20)
                            : QRect(area.left(), area.top(), 1 << 20, 1 << 20);
  QRect used = metrics.boundingRect(bound, flags & ~(Qt::AlignHCenter | Qt::AlignRight), text);
  return used;
}

void TQMText::AdjustBounds() {
  if (!m_auto_size) return;
  QRect used = TextRect(QRect(0, 0, width(), height()));
  int new_width = m_word_wrap ? width() : used.width();
  int new_height = used.height();
  int x = this->x();
  // A right-aligned label keeps its right edge.
  int align = m_alignment == 3 ? 3 : m_alignment == 2 ? 2 : 1;
  if (m_right_to_left && align != 2) align = align == 1 ? 3 : 1;
  if (align == 3) x = x + width() - new_width;
  setGeometry(x, y(), new_width, new_height);
}

void TQMText::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) m_text_height = -1;
}

void TQMText::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_text_height = -1;
}

void TQMText::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!m_transparent) p.fillRect(rect(), m_background);
  if (m_caption.isEmpty()) return;
  const int flags = TextFlags();
  DrawnCaption wanted;
  wanted.size = size();
  wanted.caption = m_caption;
  wanted.font = font();
  wanted.colour = m_font_colour.rgba();
  wanted.flags = flags;
  wanted.right_to_left = m_right_to_left;
  wanted.layout = m_layout;
  wanted.enabled = isEnabled();
  if (!KeepsWholePicture(size())) {
    // Drawn straight onto the widget, clipped to what this paint exposes.
    m_drawn = DrawnCaption();
    DrawCaption(p, flags);
    return;
  }
  if (m_drawn.image.isNull() || !m_drawn.same(wanted)) {
    const qreal ratio = devicePixelRatioF();
    QImage image((QSizeF(size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter text(&image);
    DrawCaption(text, flags);
    text.end();
    wanted.image = std::move(image);
    m_drawn = std::move(wanted);
  }
  p.drawImage(0, 0, m_drawn.image);
}

void TQMText::DrawCaption(QPainter& text, int flags) {
  QRect area = rect();
  if (m_layout == 2 || m_layout == 3) {
    if (m_text_height < 0) m_text_height = TextRect(area).height();
    int offset = height() - m_text_height;
    area.translate(0, m_layout == 3 ? offset : offset / 2);
  }
  text.setFont(font());
  if (m_right_to_left) text.setLayoutDirection(Qt::RightToLeft);
  if (!isEnabled()) {
    text.setPen(classic::kHighlight);
    text.drawText(area.translated(1, 1), flags, m_caption);
    text.setPen(classic::kShadow);
  } else {
    text.setPen(m_font_colour);
  }
  text.drawText(area, flags, m_caption);
}

}  // namespace morvane
