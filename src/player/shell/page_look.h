#pragma once

// What a page window looks like beyond its page objects: the background
// component, the window colour, the frame line and the frame shape, the
// window-wide transparency. Starts from the page record; the appearance
// actions change it while the page runs.

#include "package/project_model.h"
#include "player/assets/background.h"

#include <QColor>
#include <QPainter>
#include <QRect>

namespace morvane {

struct PageLook {
  PageLook() = default;
  explicit PageLook(const Page& page);

  PageBackground background;
  QColor colour{240, 240, 240};
  bool frame_line = false;   // a line around the client area
  bool frame_shape = false;  // the outlined square of `kFrameShape`, hidden at start
  bool colour_key = false;   // pixels of `key_colour` are cut out of the window
  QRgb key_colour = qRgb(0, 0, 0);
  bool alpha_blend = false;
  int alpha = 255;
  bool double_buffered = false;
  // Border icons as last asked for; the window shows them while it has a
  // border and a system menu (maximize only when it can be resized).
  bool system_menu = true, minimize_icon = true, maximize_icon = true, help_icon = false;

  static constexpr QRect kFrameShape{0, 8, 65, 65};

  // The opacity the window gets: 1 unless alpha blending is on.
  double Opacity() const;
  // Window colour, background picture, frame line and frame shape.
  void Paint(QPainter& painter, const QRect& area);
};

}  // namespace morvane
