#pragma once

// `TQuillmereShape`, the graphic control that draws a figure with its pen
// and brush by the classic shape rule, and `TQMShape`, the page object on it
// with its figure hit test.

#include "player/objects/page_object.h"
#include "player/objects/shape_geometry.h"

#include <QColor>
#include <QWidget>

#include <vector>

namespace morvane {

struct ShapePen {
  QColor colour{0, 0, 0};
  uint8_t style = 1;  // 0 clear, 1 solid, 2 dot, 3 dash, 4 dash-dot, 5 dash-dot-dot
  int width = 1;
  bool inverted = false;  // draws the inverse of the pixels below
};

struct ShapeBrush {
  QColor colour{255, 255, 255};
  // 0 clear, 1 solid, 2 horizontal, 3 vertical, 4 cross, 5 diagonal cross,
  // 6 forward diagonal, 7 backward diagonal
  uint8_t style = 1;
};

class TQuillmereShape : public QWidget {
 public:
  explicit TQuillmereShape(QWidget* owner);

  void SetPen(const ShapePen& pen);
  void SetBrush(const ShapeBrush& brush);
  void SetShape(ShapeType type);
  void SetReverse(bool on);
  void SetPoints(std::vector<Point> points);
  const ShapePen& Pen() const { return m_pen; }
  const ShapeBrush& Brush() const { return m_brush; }
  ShapeType Shape() const { return m_shape; }
  bool Reverse() const { return m_reverse; }
  const std::vector<Point>& points() const { return m_points; }

  bool LockPosition = false;
  std::string RealHint;
  bool RealVisible = true, RealEnabled = true;
  int32_t RealLeft = 0, RealTop = 0;
  std::string RealName;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  ShapePen m_pen;
  ShapeBrush m_brush;
  ShapeType m_shape = ShapeType::stRectangle;
  bool m_reverse = false;
  std::vector<Point> m_points;
};

class TQMShape : public TQuillmereShape, public PageObjectItem {
 public:
  TQMShape(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }
  Script* EventScript(ObjectEvent event) override;
  void Moved(int32_t left, int32_t top) override { RealLeft = left, RealTop = top; }

  // Whether the point, in the shape's coordinates, is inside its figure.
  bool FigureContains(int x, int y) const;

  Script evntMDown, evntMUp, evntMEnter, evntMLeave;
  bool inside = false;
};

}  // namespace morvane
