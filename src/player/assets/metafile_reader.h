#pragma once

// Windows metafiles, both the 16-bit kind (WMF, with or without the placeable
// header) and the enhanced kind (EMF), played onto a picture with QPainter.
// The records that pictures of the authoring era use are drawn: pens,
// brushes, fonts, lines, rectangles, ellipses, polygons, Bézier curves, text
// and device-independent bitmaps, with the window, viewport and world
// mappings. Other records are passed over.

#include <QImage>

#include <string_view>

namespace morvane {

// True when the bytes begin as a WMF or an EMF does.
bool LooksLikeMetafile(std::string_view bytes);

// The picture the metafile draws, on a transparent ground, at its own size
// (the placeable header's or the EMF frame's, in pixels at 96 per inch); a
// null image for anything that is not a metafile or whose header is broken.
// Records cut short end the drawing where they are. A picture larger than
// `max_side` on either side is drawn scaled down to it.
QImage ReadMetafile(std::string_view bytes, int max_side = 2048);

}  // namespace morvane
