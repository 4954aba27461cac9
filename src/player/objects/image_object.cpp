#include "player/objects/image_object.h"

#include "player/assets/background.h"
#include "player/objects/shape_geometry.h"

#include <QPainter>

namespace morvane {

TQMImage::TQMImage(const PageObject& model, QWidget* owner)
    : QWidget(owner), PageObjectItem(model) {
  setAttribute(Qt::WA_NoSystemBackground);
  resize(105, 105);
}

TQMImage::~TQMImage() {
  m_movie.reset();
  m_movie_data.reset();
}

void TQMImage::SetPicture(PictureData picture, bool transparent, const QColor& key, bool loop) {
  m_movie.reset();
  m_movie_data.reset();
  m_picture = std::move(picture);
  m_unfiltered = m_picture.image;
  m_transparent = transparent;
  m_key = key;
  m_loop = loop;
  m_drawn = m_picture.image;
  if (m_picture.format == PictureData::kBitmap && transparent) {
    m_drawn = KeyOutColour(m_drawn, key.rgb());
  }
  if (m_picture.animated()) {
    m_movie_data = std::make_unique<QBuffer>();
    m_movie_data->setData(m_picture.frames);
    m_movie_data->open(QIODevice::ReadOnly);
    m_movie = std::make_unique<QMovie>(m_movie_data.get(), QByteArray("gif"));
    m_movie->setCacheMode(QMovie::CacheNone);
    QObject::connect(m_movie.get(), &QMovie::frameChanged, this, [this](int f) { OnFrame(f); });
    QObject::connect(m_movie.get(), &QMovie::finished, this, [this] {
      if (m_loop && m_movie) m_movie->start();
    });
    m_movie->start();
  }
  if (m_auto_size && !m_picture.empty()) resize(m_picture.image.size());
  update();
}

void TQMImage::SetTransparentColour(const QColor& key) {
  m_key = key;
  if (m_picture.format != PictureData::kBitmap || !m_transparent) return;
  m_drawn = KeyOutColour(m_unfiltered, key.rgb());
  Smooth();
  update();
}

void TQMImage::OnFrame(int frame) {
  // Played once, the movie rests on its last frame.
  if (!m_loop && m_movie && m_movie->frameCount() > 0 && frame == m_movie->frameCount() - 1) {
    m_movie->setPaused(true);
  }
  update();
}

void TQMImage::SetPlacement(bool stretch, bool proportional, bool center) {
  m_stretch = stretch;
  m_proportional = proportional;
  m_center = center;
  update();
}

void TQMImage::SetAutoSize(bool on) {
  m_auto_size = on;
  if (on && !m_picture.empty()) resize(m_picture.image.size());
}

void TQMImage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Auto-size wins over any size given later, as the picture box's does.
  if (m_auto_size && !m_picture.empty() && size() != m_picture.image.size()) {
    resize(m_picture.image.size());
  }
}

void TQMImage::Smooth() {
  if (!m_stretch || m_picture.empty() || m_movie) return;
  QRect target = Destination(m_picture.image.size());
  if (target.size() == m_drawn.size() || target.isEmpty()) return;
  m_drawn = m_drawn.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  update();
}

QRect TQMImage::Destination(QSize picture) const {
  BoxRect r = ImageDestination(picture.width(), picture.height(), width(), height(), m_stretch,
                               m_proportional, m_center);
  return QRect(r.x, r.y, r.width, r.height);
}

void TQMImage::paintEvent(QPaintEvent*) {
  if (m_picture.empty()) return;
  QPainter p(this);
  if (m_movie) {
    QImage frame = m_movie->currentImage();
    if (frame.isNull()) frame = m_picture.image;
    QRect target = Destination(frame.size());
    if (!m_transparent) p.fillRect(target, QColor(m_picture.gif_background));
    p.drawImage(target, frame);
    return;
  }
  QRect target = Destination(m_picture.image.size());
  if (target.size() == m_drawn.size()) {
    p.drawImage(target.topLeft(), m_drawn);
  } else {
    p.drawImage(target, m_drawn);
  }
}

void TQMImage::Start() {
  if (m_movie) m_movie->start();
}

void TQMImage::Pause() {
  if (m_movie) m_movie->setPaused(true);
}

void TQMImage::Resume() {
  if (m_movie && m_movie->state() == QMovie::Paused) m_movie->setPaused(false);
}

void TQMImage::Stop() {
  if (m_movie) m_movie->stop();
}

void TQMImage::Restart() {
  if (!m_movie) return;
  m_movie->stop();
  m_movie->jumpToFrame(0);
  m_movie->start();
}

bool TQMImage::paused() const {
  return m_movie && m_movie->state() == QMovie::Paused;
}

bool TQMImage::running() const {
  return m_movie && m_movie->state() == QMovie::Running;
}

}  // namespace morvane
