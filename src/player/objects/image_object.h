#pragma once

// `TQMImage`: a picture box. Places its picture by stretch, proportional and
// centre; a transparent bitmap leaves its transparent colour undrawn; an
// animated GIF plays (for ever or once) and can be paused, resumed, stopped
// and restarted.

#include "player/assets/picture_reader.h"
#include "player/objects/page_object.h"

#include <QBuffer>
#include <QImage>
#include <QMovie>
#include <QWidget>

#include <memory>
#include <string>

namespace morvane {

class TQMImage : public QWidget, public PageObjectItem {
 public:
  TQMImage(const PageObject& model, QWidget* owner);
  ~TQMImage() override;
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }
  Script* EventScript(ObjectEvent event) override;

  // Sets the picture; `transparent` and `key` apply to bitmaps and GIFs.
  void SetPicture(PictureData picture, bool transparent, const QColor& key, bool loop);
  void SetPlacement(bool stretch, bool proportional, bool center);
  // After the box is final: a stretched still picture is resampled once, with
  // smoothing, to the size it is drawn at.
  void Smooth();
  // Replaces the picture, keeping the transparency, key colour and looping.
  void LoadPicture(PictureData picture) {
    SetPicture(std::move(picture), m_transparent, m_key, m_loop);
  }
  // The key colour of a transparent bitmap; kept for a later bitmap otherwise.
  void SetTransparentColour(const QColor& key);
  // With auto-size the box takes the picture's size.
  void SetAutoSize(bool on);
  QSize PictureSize() const { return m_picture.image.size(); }
  const QImage& Unfiltered() const { return m_unfiltered; }
  bool animated() const { return m_movie != nullptr; }

  // Animated GIFs.
  void Start();
  void Pause();
  void Resume();
  void Stop();
  void Restart();
  void SetLoop(bool loop) { m_loop = loop; }
  bool running() const;
  bool paused() const;

  std::string RealName;
  std::string ImgPath;  // a Windows path
  Script evntMDown, evntMUp, evntMEnter, evntMLeave;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QRect Destination(QSize picture) const;
  void OnFrame(int frame);

  PictureData m_picture;
  QImage m_drawn;       // the still as drawn (keyed, smoothed)
  QImage m_unfiltered;  // the picture as loaded
  bool m_transparent = false;
  QColor m_key;
  bool m_stretch = false, m_proportional = false, m_center = false, m_auto_size = false;
  bool m_loop = false;
  std::unique_ptr<QBuffer> m_movie_data;
  std::unique_ptr<QMovie> m_movie;
};

}  // namespace morvane
