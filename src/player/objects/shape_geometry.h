#pragma once

// The arithmetic of shapes and pictures, kept apart from drawing so that the
// rules can be checked without a window: the kinds of `TQuillmereShape`, the
// box the classic shape rule draws in, the figure hit tests and where an
// image puts its picture.

#include "package/project_model.h"

#include <cstdint>
#include <vector>

namespace morvane {

// `TQuillmereShape`'s `Shape` values, in their declared order.
enum class ShapeType : uint8_t {
  stRectangle,
  stSquare,
  stRoundRect,
  stRoundSquare,
  stEllipse,
  stCircle,
  stLine,
  stPolygon,
  stPolyline,
  stPolyBezier,
  stHotSpot,
  stPolyHotSpot,
};

// The package's shape-kind byte: 1 rectangle, 2 ellipse, 3 line, 4 polygon,
// 5 polyline, 6 poly-Bezier, 7 rectangle, 8 polygon (its pen cleared by the
// loader). A rectangle with the shape option set is rounded. Unknown bytes
// keep the default rectangle.
ShapeType ShapeTypeFromKind(uint8_t kind, bool shape_option);

struct BoxRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool operator==(const BoxRect&) const = default;
};

// The box the classic shape rule draws rectangles, squares, rounded
// rectangles, ellipses and circles in (right and bottom exclusive, as GDI
// takes them), and the corner size of the rounded kinds.
struct ShapeBox {
  BoxRect box;
  int32_t corner = 0;
};
ShapeBox ClassicShapeBox(ShapeType type, int32_t width, int32_t height, int32_t pen_width);

// The points a poly-Bezier is drawn through: the second-to-last point is
// repeated until (count - 1) is a multiple of 3. Fewer than two points give
// the list unchanged.
std::vector<Point> BezierPoints(const std::vector<Point>& points);

// Even-odd crossing rule; no points contain nothing.
bool PolygonContains(const std::vector<Point>& points, int32_t x, int32_t y);

// Whether (x, y), in the shape's own coordinates, is inside its figure.
bool ShapeFigureContains(ShapeType type, const std::vector<Point>& points, int32_t width,
                         int32_t height, int32_t x, int32_t y);

// Where an image draws a picture of w x h in a box of cw x ch.
BoxRect ImageDestination(int32_t w, int32_t h, int32_t cw, int32_t ch, bool stretch,
                         bool proportional, bool center);

}  // namespace morvane
