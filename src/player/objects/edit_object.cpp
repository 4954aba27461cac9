#include "player/objects/edit_object.h"

#include "player/objects/classic_look.h"

#include <QPainter>
#include <QTimer>

namespace morvane {

TQMEdit::TQMEdit(const PageObject& model, QWidget* owner)
    : QLineEdit(owner), PageObjectItem(model) {
  setStyle(ClassicStyle());
  setFrame(false);
  setAutoFillBackground(true);
  // A Windows edit writes from the top of its client area.
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setMaxLength(32767);
  resize(121, 21);
  SetFrame(m_frame);
  QObject::connect(this, &QLineEdit::textChanged, this, [this] { ApplyCase(); });
}

void TQMEdit::SetFrame(const FrameSpec& frame) {
  m_frame = frame;
  ++m_frame_version;
  int w = frame.Width();
  setContentsMargins(w, w + 1, w, w);
  update();
}

void TQMEdit::SetCharCase(int char_case) {
  m_char_case = char_case;
  ApplyCase();
}

void TQMEdit::ApplyCase() {
  if (m_char_case != 1 && m_char_case != 2) return;
  QString current = text();
  QString wanted = m_char_case == 1 ? current.toUpper() : current.toLower();
  if (wanted == current) return;
  int cursor = cursorPosition();
  setText(wanted);
  setCursorPosition(std::min(cursor, int(wanted.size())));
}

void TQMEdit::SetColours(const QColor& background, const QColor& font) {
  QPalette p = palette();
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(g, QPalette::Base, background);
    p.setColor(g, QPalette::Window, background);
    p.setColor(g, QPalette::Text, g == QPalette::Disabled ? classic::kShadow : font);
    p.setColor(g, QPalette::Highlight, classic::kSelection);
    p.setColor(g, QPalette::HighlightedText, Qt::white);
  }
  setPalette(p);
}

void TQMEdit::AdjustHeight() {
  if (!AutoSize || m_frame.border != 0) return;
  QFontMetrics metrics(font());
  resize(width(), metrics.height() + (m_frame.ctl3d ? 8 : 6));
}

void TQMEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (!AutoSelect && hasSelectedText()) deselect();
}

TQMEdit::Drawn TQMEdit::WantedLook() const {
  Drawn wanted;
  wanted.text = displayText();
  wanted.size = size();
  wanted.font = font().key();
  wanted.palette = palette().cacheKey();
  wanted.frame_version = m_frame_version;
  wanted.cursor = cursorPosition();
  wanted.selection = selectionStart();
  wanted.flags = int(alignment()) | isEnabled() << 16 | isReadOnly() << 17 | underMouse() << 18 |
                 int(layoutDirection()) << 19 | int(echoMode()) << 21;
  return wanted;
}

void TQMEdit::KeepDrawnPicture() {
  m_picture_pending = false;
  if (hasFocus()) return;
  Drawn wanted = WantedLook();
  if (!m_drawn.image.isNull() && m_drawn == wanted) return;
  const qreal ratio = devicePixelRatioF();
  QImage image((QSizeF(size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  m_drawing_for_cache = true;
  render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
  m_drawing_for_cache = false;
  wanted.image = std::move(image);
  m_drawn = std::move(wanted);
}

void TQMEdit::paintEvent(QPaintEvent* event) {
  if (!hasFocus() && !m_drawing_for_cache && KeepsWholePicture(size())) {
    if (!m_drawn.image.isNull() && m_drawn == WantedLook()) {
      QPainter p(this);
      p.drawImage(0, 0, m_drawn.image);
      return;
    }
    if (!m_picture_pending) {
      m_picture_pending = true;
      QTimer::singleShot(0, this, [this] { KeepDrawnPicture(); });
    }
  }
  {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
  }
  QLineEdit::paintEvent(event);
  QPainter p(this);
  DrawFrame(p, rect(), m_frame);
}

}  // namespace morvane
