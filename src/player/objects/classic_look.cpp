#include "player/objects/classic_look.h"

#include "player/assets/fonts.h"

#include <QFontDatabase>
#include <QProxyStyle>
#include <QStyleFactory>

#include <map>
#include <memory>

namespace morvane {

QColor ToQColor(const Colour& c) {
  return QColor(c.r, c.g, c.b);
}

QStyle* ClassicStyle() {
  static QStyle* style = [] {
    QStyle* s = QStyleFactory::create(QStringLiteral("Windows"));
    if (!s) s = QStyleFactory::create(QStringLiteral("Fusion"));
    return s;
  }();
  return style;
}

namespace {

class PasswordProxy : public QProxyStyle {
 public:
  explicit PasswordProxy(QChar c) : QProxyStyle(QStringLiteral("Windows")), m_char(c) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return m_char.unicode();
    return QProxyStyle::styleHint(hint, option, widget, data);
  }

 private:
  QChar m_char;
};

void Line(QPainter& p, int x1, int y1, int x2, int y2, const QColor& c) {
  p.setPen(c);
  p.drawLine(x1, y1, x2, y2);
}

// One ring of an edge: top and left in `tl`, bottom and right in `br`.
void Ring(QPainter& p, const QRect& r, const QColor& tl, const QColor& br) {
  if (r.width() <= 0 || r.height() <= 0) return;
  Line(p, r.left(), r.top(), r.right() - 1, r.top(), tl);
  Line(p, r.left(), r.top(), r.left(), r.bottom() - 1, tl);
  Line(p, r.left(), r.bottom(), r.right(), r.bottom(), br);
  Line(p, r.right(), r.top(), r.right(), r.bottom(), br);
}

}  // namespace

QStyle* PasswordStyle(QChar c) {
  static std::map<char16_t, std::unique_ptr<QStyle>> styles;
  auto& slot = styles[c.unicode()];
  if (!slot) slot = std::make_unique<PasswordProxy>(c);
  return slot.get();
}

int FrameSpec::BevelWidth() const {
  if (bevel_kind < 0 || bevel_kind > 2) return 0;
  return (inner_bevel >= 0 && inner_bevel <= 2 ? 1 : 0) +
         (outer_bevel >= 0 && outer_bevel <= 2 ? 1 : 0);
}

int FrameSpec::BorderWidth() const {
  if (border != 0) return 0;
  return ctl3d ? 2 : 1;
}

FrameSpec FrameOf(const PageObject& o) {
  return {o.bevel_kind, o.inner_bevel, o.outer_bevel, o.border, o.ctl3d};
}

void DrawFrame(QPainter& p, const QRect& outer, const FrameSpec& f) {
  p.save();
  p.setBrush(Qt::NoBrush);
  QRect r = outer;
  if (f.BevelWidth() > 0) {
    // Raised: light above and left; lowered: the reverse. A flat bevel is a
    // shadow line, a soft one uses the lighter colours.
    auto bevel = [&](int kind, bool inner) {
      if (kind < 0 || kind > 2) return;
      if (kind != 2) {
        bool raised = kind == 0;
        QColor light = inner ? classic::kHighlight : classic::kLight;
        QColor dark = inner ? classic::kShadow : classic::kDarkShadow;
        if (f.bevel_kind == 1) {
          light = classic::kHighlight;
          dark = classic::kShadow;
        }
        if (f.bevel_kind == 0)
          Ring(p, r, classic::kShadow, classic::kShadow);
        else
          Ring(p, r, raised ? light : dark, raised ? dark : light);
      }
      r.adjust(1, 1, -1, -1);
    };
    bevel(f.outer_bevel, false);
    bevel(f.inner_bevel, true);
  }
  if (f.BorderWidth() == 2) {
    Ring(p, r, classic::kShadow, classic::kHighlight);
    r.adjust(1, 1, -1, -1);
    Ring(p, r, classic::kDarkShadow, classic::kLight);
  } else if (f.BorderWidth() == 1) {
    Ring(p, r, classic::kWindowFrame, classic::kWindowFrame);
  }
  p.restore();
}

QFont ObjectFont(const PageObject& o, int project_code_page) {
  QFont font = WindowsFont(o.font_name, o.font_size, o.charset, project_code_page);
  // A face nobody has falls back to the system's default face once, here,
  // rather than on every drawing.
  static std::map<QString, bool> known;
  auto [it, fresh] = known.try_emplace(font.family(), false);
  if (fresh) {
    it->second = QFontDatabase::hasFamily(font.family()) ||
                 !FontSubstitutesFor(std::string(o.font_name)).empty();
  }
  if (!it->second) font.setFamily(QStringLiteral("MS Sans Serif"));
  // Point sizes as Windows measured them: 96 pixels per inch.
  const int points = FontPoints(o.font_size);
  font.setPixelSize(std::max(1, (points * 96 + 36) / 72));
  font.setBold(o.bold);
  font.setItalic(o.italic);
  font.setUnderline(o.underline);
  font.setStrikeOut(o.strike_out);
  font.setStyleStrategy(QFont::NoSubpixelAntialias);
  return font;
}

std::string HintText(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size();) {
    std::string_view rest = raw.substr(i);
    if (rest.starts_with("\\q\\q")) {
      out += "\\q";
      i += 4;
    } else if (rest.starts_with("\\br\\br")) {
      out += "\\br";
      i += 6;
    } else if (rest.starts_with("\\q")) {
      out += '"';
      i += 2;
    } else if (rest.starts_with("\\br")) {
      out += "\r\n";
      i += 3;
    } else {
      out += raw[i++];
    }
  }
  return out;
}

void DrawFocusRect(QPainter& painter, const QRect& rect) {
  painter.save();
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::NoBrush);
  QColor white(255, 255, 255);
  auto dot = [&](int x, int y) {
    if (((x + y) & 1) == 0) painter.fillRect(x, y, 1, 1, white);
  };
  for (int x = rect.left(); x <= rect.right(); ++x) dot(x, rect.top()), dot(x, rect.bottom());
  for (int y = rect.top() + 1; y < rect.bottom(); ++y) dot(rect.left(), y), dot(rect.right(), y);
  painter.restore();
}

}  // namespace morvane
