#include "player/objects/media_objects.h"

#include "player/objects/classic_look.h"

#include <QPainter>

namespace morvane {

TQMSound::TQMSound(const PageObject& model, QObject* owner)
    : QObject(owner), PageObjectItem(model) {}

ObjectSnapshot TQMSound::Snapshot() {
  ObjectSnapshot s = PageObjectItem::Snapshot();
  s.media_volume = volume;
  s.media_state = 0;
  return s;
}

TQMVideo::TQMVideo(const PageObject& model, QWidget* owner)
    : QWidget(owner), PageObjectItem(model) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(320, 240);
}

ObjectSnapshot TQMVideo::Snapshot() {
  ObjectSnapshot s = PageObjectItem::Snapshot();
  s.media_volume = Volume;
  s.media_state = 0;
  return s;
}

void TQMVideo::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
}

TQMFlash::TQMFlash(const PageObject& model, QWidget* owner)
    : QWidget(owner), PageObjectItem(model) {
  resize(192, 192);
}

TQMBrowser::TQMBrowser(const PageObject& model, QWidget* owner)
    : QWidget(owner), PageObjectItem(model) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(300, 150);
}

void TQMBrowser::paintEvent(QPaintEvent*) {
  // An empty browser: a white page, with the sunken edge when 3-D borders are on.
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  if (Borders3D) {
    FrameSpec edge;
    DrawFrame(p, rect(), edge);
  }
}

TQMMPlugin::TQMMPlugin(const PageObject& model, QWidget* owner)
    : QWidget(owner), PageObjectItem(model) {
  resize(100, 100);
}

}  // namespace morvane
