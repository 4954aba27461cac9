#include "player/objects/shape_geometry.h"

#include <algorithm>
#include <cmath>

namespace morvane {

ShapeType ShapeTypeFromKind(uint8_t kind, bool shape_option) {
  switch (kind) {
    case 1:
    case 7:
      return shape_option ? ShapeType::stRoundRect : ShapeType::stRectangle;
    case 2:
      return ShapeType::stEllipse;
    case 3:
      return ShapeType::stLine;
    case 4:
    case 8:
      return ShapeType::stPolygon;
    case 5:
      return ShapeType::stPolyline;
    case 6:
      return ShapeType::stPolyBezier;
    default:
      return ShapeType::stRectangle;
  }
}

ShapeBox ClassicShapeBox(ShapeType type, int32_t width, int32_t height, int32_t pen_width) {
  int64_t x = pen_width / 2, y = x;
  int64_t w = int64_t(width) - pen_width + 1, h = int64_t(height) - pen_width + 1;
  if (pen_width == 0) --w, --h;
  int64_t s = std::min(w, h);
  if (type == ShapeType::stSquare || type == ShapeType::stRoundSquare ||
      type == ShapeType::stCircle) {
    x += (w - s) / 2;
    y += (h - s) / 2;
    w = h = s;
  }
  auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  return {{clamp(x), clamp(y), clamp(w), clamp(h)}, clamp(s / 4)};
}

std::vector<Point> BezierPoints(const std::vector<Point>& points) {
  std::vector<Point> out = points;
  if (out.size() < 2) return out;
  Point repeat = out[out.size() - 2];
  while ((out.size() - 1) % 3 != 0) out.insert(out.end() - 1, repeat);
  return out;
}

bool PolygonContains(const std::vector<Point>& points, int32_t x, int32_t y) {
  bool inside = false;
  size_t n = points.size();
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const Point& a = points[i];
    const Point& b = points[j];
    int32_t lo = std::min(a.y, b.y), hi = std::max(a.y, b.y);
    if (y < lo || y >= hi) continue;
    // The edge's x at height y; the edge is not horizontal here.
    double edge_x = a.x + double(y - a.y) * (double(b.x) - a.x) / (double(b.y) - a.y);
    if (x < edge_x) inside = !inside;
  }
  return inside;
}

bool ShapeFigureContains(ShapeType type, const std::vector<Point>& points, int32_t width,
                         int32_t height, int32_t x, int32_t y) {
  switch (type) {
    case ShapeType::stPolygon:
      return PolygonContains(points, x, y);
    case ShapeType::stCircle: {
      double dx = double(x) - width / 2, dy = double(y) - height / 2;
      // Rounded half to even, as the distance is rounded to an integer.
      double distance = std::nearbyint(std::sqrt(dx * dx + dy * dy));
      return distance < height / 2;
    }
    case ShapeType::stEllipse: {
      double rx = width / 2.0, ry = height / 2.0;
      if (rx <= 0 || ry <= 0) return false;
      double nx = (x - rx) / rx, ny = (y - ry) / ry;
      return nx * nx + ny * ny < 1;
    }
    default:
      return true;
  }
}

BoxRect ImageDestination(int32_t w, int32_t h, int32_t cw, int32_t ch, bool stretch,
                         bool proportional, bool center) {
  if (stretch || (proportional && (w > cw || h > ch))) {
    if (proportional && w > 0 && h > 0) {
      double aspect = double(w) / h;
      if (w > h) {
        w = cw;
        h = int32_t(std::trunc(cw / aspect));
        if (h > ch) {
          h = ch;
          w = int32_t(std::trunc(ch * aspect));
        }
      } else {
        h = ch;
        w = int32_t(std::trunc(ch * aspect));
        if (w > cw) {
          w = cw;
          h = int32_t(std::trunc(cw / aspect));
        }
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  BoxRect r{0, 0, w, h};
  if (center) {
    r.x = (cw - w) / 2;
    r.y = (ch - h) / 2;
  }
  return r;
}

}  // namespace morvane
