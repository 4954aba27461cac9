#include "player/shell/page_look.h"

#include <algorithm>

namespace morvane {

PageLook::PageLook(const Page& page) : background(page) {
  const PageOptions& o = page.options;
  colour = QColor(o.page_colour.r, o.page_colour.g, o.page_colour.b);
  frame_line = o.frame;
  colour_key = o.colour_key;
  key_colour = qRgb(o.key_colour.r, o.key_colour.g, o.key_colour.b);
  alpha_blend = o.alpha_blend;
  alpha = std::clamp(page.alpha, 0, 255);
  double_buffered = o.double_buffered;
  system_menu = o.system_menu;
  minimize_icon = o.minimize_icon;
  maximize_icon = o.maximize_icon;
  help_icon = o.help_icon;
}

double PageLook::Opacity() const {
  return alpha_blend ? std::clamp(alpha, 0, 255) / 255.0 : 1.0;
}

void PageLook::Paint(QPainter& painter, const QRect& area) {
  painter.fillRect(area, colour);
  background.Draw(painter, area);
  if (frame_line) {
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
  }
  if (frame_shape) {
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(kFrameShape.translated(area.topLeft()).adjusted(0, 0, -1, -1));
  }
}

}  // namespace morvane
