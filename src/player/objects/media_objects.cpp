#include "player/objects/media_objects.h"

#include "player/objects/classic_look.h"

#include <QPainter>

namespace morvane {

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

}  // namespace morvane
