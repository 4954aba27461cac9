// The shape row: shapes and hot spots from their records, the template,
// shapes made by scripts, and the actions on shapes.

#include "player/assets/fonts.h"
#include "player/objects/classic_look.h"
#include "player/objects/object_class.h"
#include "player/objects/shape_geometry.h"
#include "player/objects/shape_object.h"
#include "player/player.h"

#include <climits>
#include <cstdlib>

namespace morvane {

Script* TQMShape::EventScript(ObjectEvent event) {
  return PointerScript(event, evntMDown, evntMUp, evntMEnter, evntMLeave);
}

namespace {

// Presses and releases outside the figure are not passed on.
bool Press(PointerDesk& desk, const PointerEvent& e) {
  auto& shape = static_cast<TQMShape&>(e.item);
  if (!shape.FigureContains(e.pos.x(), e.pos.y())) return true;
  desk.SetPosition(e.pos);
  desk.SetButton(e.button);
  desk.ClearMainFocus();
  desk.RunObjectScript(shape, shape.evntMDown);
  return true;
}

bool Release(PointerDesk& desk, const PointerEvent& e) {
  auto& shape = static_cast<TQMShape&>(e.item);
  if (e.button == 1 && shape.FigureContains(e.pos.x(), e.pos.y())) {
    desk.ReleaseRule(shape, shape, e.event);
  }
  return true;
}

void Build(ObjectBuilder& b, const PageObject& o) {
  auto* s = new TQMShape(o, &b.surface);
  s->setEnabled(o.enabled);
  s->RealEnabled = o.enabled;
  ShapeBrush brush{ToQColor(o.brush_colour), o.brush_style};
  ShapePen pen;
  pen.colour = ToQColor(o.pen_colour);
  pen.style = o.shape_kind == 8 ? 0 : o.pen_style;
  pen.inverted = o.pen_inverted;
  s->SetBrush(brush);
  s->SetPen(pen);
  s->SetShape(ShapeTypeFromKind(o.shape_kind, o.shape_option));
  s->SetReverse(o.shape_kind == 3 && o.shape_option);
  s->setProperty("Tag", int(o.shape_kind));
  b.Place(*s, o);
  s->RealLeft = o.left, s->RealTop = o.top;
  s->RealHint = o.hint;
  b.Hint(*s, o);
  if (o.has_points) s->SetPoints(o.points);
  b.Cursor(*s, *s, o.cursor);
  s->evntMDown = o.evntMDown, s->evntMUp = o.evntMUp;
  s->evntMEnter = o.evntMEnter, s->evntMLeave = o.evntMLeave;
  s->RealName = o.name;
  s->RealVisible = o.visible;
  s->setVisible(o.visible);
  b.Add(*s);
}

TQMShape& Shape(ObjectActionCall& c) {
  return static_cast<TQMShape&>(c.item);
}

// Number-to-style maps; anything else gives the first value of the target.
uint8_t PenStyle(int32_t n) {
  return n >= 0 && n <= 5 ? uint8_t(n) : 1;
}
uint8_t BrushStyle(int32_t n) {
  return n >= 0 && n <= 7 ? uint8_t(n) : 1;
}

void BrushColour(ObjectActionCall& c) {
  ShapeBrush brush = Shape(c).Brush();
  brush.colour = QColorOfValue(c.args.C(0));
  Shape(c).SetBrush(brush);
}

}  // namespace

ObjectClass ShapeClass() {
  ObjectClass row{ObjectKind::Shape, "TQMShape"};
  row.tracked_hover = true;
  row.build = Build;
  row.pointer = {nullptr, Press, Release};
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMShape(defaults, &b.surface);
  };
  row.create_words = {"rectangle", "circle", "line", "hotspot"};
  row.create = [](ObjectBuilder& b, const PageObject& model,
                  std::string_view word) -> PageObjectItem* {
    auto* s = new TQMShape(model, &b.surface);
    s->SetShape(word == "circle"    ? ShapeType::stEllipse
                : word == "line"    ? ShapeType::stLine
                : word == "hotspot" ? ShapeType::stHotSpot
                                    : ShapeType::stRectangle);
    return s;
  };
  // A shape keeps its enabled and visible state, its place and its hint
  // apart from its widget's.
  row.actions = {
      {3, "B",
       [](ObjectActionCall& c) {
         const bool on = c.args.B(0);
         Shape(c).setEnabled(on);
         Shape(c).RealEnabled = on;
       }},
      {4, "B",
       [](ObjectActionCall& c) {
         const bool on = c.args.B(0);
         Shape(c).setVisible(on);
         Shape(c).RealVisible = on;
       }},
      {10, "S",
       [](ObjectActionCall& c) {
         const std::string hint = c.args.S(0);
         Shape(c).setToolTip(PackageText(hint, 1, c.player.code_page()));
         Shape(c).RealHint = hint;
       }},
      {15, "C", BrushColour},
      {34, "N",
       [](ObjectActionCall& c) {
         ShapePen pen = Shape(c).Pen();
         pen.style = PenStyle(c.args.N(0));
         Shape(c).SetPen(pen);
       }},
      {43, "N",
       [](ObjectActionCall& c) {
         ShapeBrush brush = Shape(c).Brush();
         brush.style = BrushStyle(c.args.N(0));
         Shape(c).SetBrush(brush);
       }},
      {44, "C",
       [](ObjectActionCall& c) {
         ShapePen pen = Shape(c).Pen();
         pen.colour = QColorOfValue(c.args.C(0));
         Shape(c).SetPen(pen);
       }},
      {45, "C", BrushColour},
      {47, "B",
       [](ObjectActionCall& c) {
         ShapePen pen = Shape(c).Pen();
         pen.inverted = c.args.B(0);
         Shape(c).SetPen(pen);
       }},
      {48, "B",
       [](ObjectActionCall& c) {
         Shape(c).SetShape(c.args.B(0) ? ShapeType::stRoundRect : ShapeType::stRectangle);
       }},
      // Only lines take new end points.
      {70, "NNNN",
       [](ObjectActionCall& c) {
         TQMShape& shape = Shape(c);
         if (shape.Shape() != ShapeType::stLine) return;
         const int32_t x1 = c.args.N(0), y1 = c.args.N(1), x2 = c.args.N(2), y2 = c.args.N(3);
         shape.SetReverse(!((x2 > x1 && y2 > y1) || (x2 < x1 && y2 < y1)));
         const int64_t width = std::abs(int64_t(x2) - x1);
         const int64_t height = std::abs(int64_t(y2) - y1);
         shape.setGeometry(WindowBounds(std::min(x1, x2), std::min(y1, y2), width, height));
         shape.RealLeft = shape.x();
         shape.RealTop = shape.y();
       }},
      {71, "E", ReplaceEventScriptAction},
      {72, "E", ReplaceEventScriptAction},
      {73, "E", ReplaceEventScriptAction},
      {74, "E", ReplaceEventScriptAction},
  };
  return row;
}

}  // namespace morvane
