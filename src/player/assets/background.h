#pragma once

// Page backgrounds: the picture of resource "BDATAG" + page number, with the
// page's adjustments and filters applied once as it is loaded, and drawn in
// one of the page's draw styles.

#include "package/project_model.h"

#include <QImage>
#include <QPainter>
#include <QRect>

#include <string_view>

namespace morvane {

// Tries the readers in the order JPEG, BMP, PNG, GIF, then icon (metafiles
// have no reader here); a null image when none understands the bytes.
QImage DecodeBackground(std::string_view bytes);

// The adjustments (lightness, blur, contrast, saturation, sharpen, sponge)
// and the filters (grey scale, flips, emboss, invert) of the page, in that
// order. Values outside their ranges are clamped.
QImage AdjustBackground(QImage image, const Page& page);

// Draws the picture into `area` in the page's draw style: 0 normal, 1 centred,
// 2 tiled, 3 stretched, 4 proportional, 5 proportional and centred. With
// `transparent`, pixels of `key` are left undrawn.
void DrawBackground(QPainter& painter, const QRect& area, const QImage& image, int draw_style,
                    bool smooth);

// The picture with every pixel of the colour made fully transparent.
QImage KeyOutColour(const QImage& image, QRgb key);

}  // namespace morvane
