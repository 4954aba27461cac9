#include "player/objects/shape_object.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace morvane {
namespace {

Qt::BrushStyle BrushPattern(uint8_t style) {
  switch (style) {
    case 0:
      return Qt::NoBrush;
    case 2:
      return Qt::HorPattern;
    case 3:
      return Qt::VerPattern;
    case 4:
      return Qt::CrossPattern;
    case 5:
      return Qt::DiagCrossPattern;
    case 6:
      return Qt::FDiagPattern;
    case 7:
      return Qt::BDiagPattern;
    default:
      return Qt::SolidPattern;
  }
}

// The cosmetic pen patterns of the classic desktop, in pixels.
QPen MakePen(const ShapePen& pen, uint8_t style) {
  if (style == 0) return QPen(Qt::NoPen);
  QPen p(pen.colour);
  p.setWidth(std::max(pen.width, 1));
  p.setCapStyle(Qt::FlatCap);
  p.setJoinStyle(Qt::MiterJoin);
  if (pen.width <= 1) {
    switch (style) {
      case 2:
        p.setDashPattern({3, 3});
        break;
      case 3:
        p.setDashPattern({18, 6});
        break;
      case 4:
        p.setDashPattern({9, 6, 3, 6});
        break;
      case 5:
        p.setDashPattern({9, 3, 3, 3, 3, 3});
        break;
      default:
        break;
    }
  }
  return p;
}

QPolygon ToPolygon(const std::vector<Point>& points) {
  QPolygon polygon;
  polygon.reserve(qsizetype(points.size()));
  for (const Point& pt : points) polygon << QPoint(pt.x, pt.y);
  return polygon;
}

}  // namespace

TQuillmereShape::TQuillmereShape(QWidget* owner) : QWidget(owner) {
  setAttribute(Qt::WA_NoSystemBackground);
  resize(65, 65);
}

void TQuillmereShape::SetPen(const ShapePen& pen) {
  m_pen = pen;
  update();
}

void TQuillmereShape::SetBrush(const ShapeBrush& brush) {
  m_brush = brush;
  update();
}

void TQuillmereShape::SetShape(ShapeType type) {
  m_shape = type;
  update();
}

void TQuillmereShape::SetReverse(bool on) {
  m_reverse = on;
  update();
}

void TQuillmereShape::SetPoints(std::vector<Point> points) {
  m_points = std::move(points);
  update();
}

void TQuillmereShape::paintEvent(QPaintEvent*) {
  if (!parentWidget()) return;
  QPainter p(this);
  ShapeBrush brush = m_brush;
  uint8_t pen_style = m_pen.style;
  bool inverted = m_pen.inverted;
  if (m_shape == ShapeType::stHotSpot || m_shape == ShapeType::stPolyHotSpot) {
    brush.style = 0;
    pen_style = 3;
    if (m_shape == ShapeType::stPolyHotSpot) inverted = true;
  }
  QPen pen = MakePen(m_pen, pen_style);
  p.setPen(pen);
  p.setBrush(brush.style == 0 ? QBrush(Qt::NoBrush)
                              : QBrush(brush.colour, BrushPattern(brush.style)));
  // A solid brush draws the gaps of a dashed outline in its colour; other
  // brushes leave them clear.
  if (brush.style == 1) {
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(brush.colour);
  }
  auto outline = [&](auto draw) {
    if (!inverted || pen_style == 0) {
      draw();
      return;
    }
    // The figure is filled normally; its outline inverts what lies below.
    p.setPen(Qt::NoPen);
    draw();
    p.setBrush(Qt::NoBrush);
    QPen not_pen = pen;
    not_pen.setColor(Qt::white);
    p.setPen(not_pen);
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    draw();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  };
  switch (m_shape) {
    case ShapeType::stLine: {
      QPoint from = m_reverse ? QPoint(width() - 1, 0) : QPoint(0, 0);
      QPoint to = m_reverse ? QPoint(0, height() - 1) : QPoint(width() - 1, height() - 1);
      outline([&] { p.drawLine(from, to); });
      return;
    }
    case ShapeType::stPolygon:
    case ShapeType::stPolyHotSpot:
      if (m_points.empty()) return;
      outline([&] { p.drawPolygon(ToPolygon(m_points), Qt::OddEvenFill); });
      return;
    case ShapeType::stPolyline:
      if (m_points.empty()) return;
      outline([&] { p.drawPolyline(ToPolygon(m_points)); });
      return;
    case ShapeType::stPolyBezier: {
      std::vector<Point> pts = BezierPoints(m_points);
      if (pts.size() < 4) return;
      QPainterPath path(QPointF(pts[0].x, pts[0].y));
      for (size_t i = 1; i + 2 < pts.size(); i += 3) {
        path.cubicTo(pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y, pts[i + 2].x, pts[i + 2].y);
      }
      p.setBrush(Qt::NoBrush);
      outline([&] { p.drawPath(path); });
      return;
    }
    default:
      break;
  }
  int pen_width = pen_style == 0 ? 0 : std::max(m_pen.width, 1);
  // The classic rule is computed with the pen's width as set; a clear pen
  // keeps its width of one.
  ShapeBox sb = ClassicShapeBox(m_shape, width(), height(), std::max(m_pen.width, 0));
  QRect box(sb.box.x, sb.box.y, sb.box.width, sb.box.height);
  // GDI leaves the right and bottom edges out; without a pen the fill is one
  // pixel smaller still.
  QRect drawn = pen_width ? box.adjusted(0, 0, -1, -1) : box.adjusted(0, 0, -1, -1);
  if (drawn.width() < 0 || drawn.height() < 0) return;
  switch (m_shape) {
    case ShapeType::stRoundRect:
    case ShapeType::stRoundSquare: {
      double radius = sb.corner / 2.0;
      outline([&] {
        if (pen_width)
          p.drawRoundedRect(drawn, radius, radius);
        else
          p.drawRoundedRect(QRectF(drawn).adjusted(0, 0, 0, 0), radius, radius);
      });
      return;
    }
    case ShapeType::stEllipse:
    case ShapeType::stCircle:
      outline([&] { p.drawEllipse(drawn); });
      return;
    default:
      outline([&] {
        if (pen_width)
          p.drawRect(drawn);
        else
          p.fillRect(QRect(drawn.topLeft(), QSize(drawn.width(), drawn.height())), p.brush());
      });
      return;
  }
}

TQMShape::TQMShape(const PageObject& model, QWidget* owner)
    : TQuillmereShape(owner), PageObjectItem(model) {}

bool TQMShape::FigureContains(int x, int y) const {
  return ShapeFigureContains(Shape(), points(), width(), height(), x, y);
}

}  // namespace morvane
