#include "player/assets/metafile_reader.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

namespace morvane {
namespace {

// More records than this end the drawing, so a hostile file cannot cost
// without bound.
constexpr int kMaxRecords = 20000;
constexpr int kMaxObjects = 4096;
constexpr double kMaxCoordinate = 1e6;

// Little-endian reads within a record; out of range reads give 0 and mark the
// reader as failed, so a short record draws nothing.
class Bytes {
 public:
  explicit Bytes(std::string_view b) : m_b(b) {}
  size_t size() const { return m_b.size(); }
  bool ok() const { return m_ok; }
  bool Has(size_t at, size_t n) const { return at <= m_b.size() && n <= m_b.size() - at; }
  uint32_t U8(size_t at) { return Has(at, 1) ? uint8_t(m_b[at]) : Fail(); }
  uint32_t U16(size_t at) { return Has(at, 2) ? U8(at) | U8(at + 1) << 8 : Fail(); }
  uint32_t U32(size_t at) { return Has(at, 4) ? U16(at) | U16(at + 2) << 16 : Fail(); }
  int S16(size_t at) { return int16_t(U16(at)); }
  int S32(size_t at) { return int32_t(U32(at)); }
  float F32(size_t at) {
    uint32_t v = U32(at);
    float f;
    std::memcpy(&f, &v, 4);
    return std::isfinite(f) ? f : 0.0f;
  }
  std::string_view Slice(size_t at, size_t n) {
    if (!Has(at, n)) {
      Fail();
      return {};
    }
    return m_b.substr(at, n);
  }

 private:
  uint32_t Fail() {
    m_ok = false;
    return 0;
  }
  std::string_view m_b;
  bool m_ok = true;
};

QColor ColourRef(uint32_t c) {
  return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

double Clamp(double v) {
  return std::clamp(v, -kMaxCoordinate, kMaxCoordinate);
}

// A device-independent bitmap (header, colours, bits) as a picture, read by
// the bitmap reader after a file header is put in front of it.
QImage DecodeDib(std::string_view info, std::string_view bits) {
  if (info.size() < 12) return {};
  Bytes b(info);
  uint32_t header = b.U32(0);
  if (header < 12 || header > info.size()) return {};
  size_t colours = 0;
  if (header >= 40) {
    uint32_t bit_count = b.U16(14);
    uint32_t compression = b.U32(16);
    uint32_t used = b.U32(32);
    colours = used ? used : (bit_count <= 8 ? size_t(1) << bit_count : 0);
    size_t entries =
        colours * 4 + (header == 40 && (compression == 3 || compression == 6) ? 12 : 0);
    if (entries > info.size() - header) entries = info.size() - header;
    colours = entries;
  } else {
    uint32_t bit_count = b.U16(10);
    colours = bit_count <= 8 ? (size_t(1) << bit_count) * 3 : 0;
    if (colours > info.size() - header) colours = info.size() - header;
  }
  std::string file;
  const size_t offset = 14 + header + colours;
  const size_t total = 14 + info.size() + bits.size();
  if (total > 0x7FFFFFFF) return {};
  file.reserve(total);
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) file.push_back(char((v >> (8 * i)) & 0xFF));
  };
  file += "BM";
  put32(uint32_t(total));
  put32(0);
  put32(uint32_t(offset));
  file.append(info.substr(0, header + colours));
  file.append(bits);
  QImage image;
  if (!image.loadFromData(reinterpret_cast<const uchar*>(file.data()), int(file.size()), "BMP")) {
    return {};
  }
  return image;
}

struct Object {
  enum Kind { kNone, kPen, kBrush, kFont, kOther } kind = kNone;
  QPen pen;
  QBrush brush;
  QFont font;
  int font_height = 0;  // logical units; negative is the character height
  int escapement = 0;   // tenths of a degree
};

struct State {
  QPen pen{Qt::black, 0};
  QBrush brush{Qt::white};
  QFont font;
  int font_height = 0;
  int escapement = 0;
  QColor text_colour{Qt::black};
  QColor back_colour{Qt::white};
  bool opaque_back = true;
  Qt::FillRule fill_rule = Qt::OddEvenFill;
  uint32_t text_align = 0;
  QPointF position;
  // Logical to device mapping.
  int map_mode = 1;
  QPointF window_org, viewport_org;
  QSizeF window_ext{1, 1}, viewport_ext{1, 1};
  QTransform world;
};

QPen MakePen(uint32_t style, double width, const QColor& colour) {
  QPen pen(colour);
  pen.setWidthF(std::clamp(width, 0.0, 1000.0));
  switch (style & 0x0F) {
    case 1:
      pen.setStyle(Qt::DashLine);
      break;
    case 2:
      pen.setStyle(Qt::DotLine);
      break;
    case 3:
      pen.setStyle(Qt::DashDotLine);
      break;
    case 4:
      pen.setStyle(Qt::DashDotDotLine);
      break;
    case 5:
      pen.setStyle(Qt::NoPen);
      break;
    default:
      pen.setStyle(Qt::SolidLine);
      break;
  }
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

QBrush MakeBrush(uint32_t style, const QColor& colour, uint32_t hatch) {
  switch (style) {
    case 0:
      return QBrush(colour);
    case 1:
      return QBrush(Qt::NoBrush);
    case 2: {
      static const Qt::BrushStyle kHatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                Qt::FDiagPattern, Qt::BDiagPattern,
                                                Qt::CrossPattern, Qt::DiagCrossPattern};
      return QBrush(colour, hatch < 6 ? kHatches[hatch] : Qt::SolidPattern);
    }
    default:
      return QBrush(colour);  // patterns: their average is near enough
  }
}

QFont MakeFont(const QString& face, int weight, bool italic, bool underline, bool strike) {
  QFont font(face.isEmpty() ? QStringLiteral("MS Sans Serif") : face);
  font.setWeight(weight >= 600 ? QFont::Bold : QFont::Normal);
  font.setItalic(italic);
  font.setUnderline(underline);
  font.setStrikeOut(strike);
  return font;
}

// Plays records onto a painter; shared by both kinds of metafile.
class Player {
 public:
  explicit Player(QPainter& painter, QTransform device) : m_p(painter), m_device(device) {}

  State& state() { return m_state; }

  void SaveDc() {
    if (m_saved.size() < 256) m_saved.push_back(m_state);
  }
  void RestoreDc(int which) {
    // Negative: relative to the newest; positive: an absolute level.
    if (m_saved.empty()) return;
    size_t keep;
    if (which < 0) {
      size_t back = size_t(-int64_t(which));
      if (back > m_saved.size()) return;
      keep = m_saved.size() - back;
    } else {
      if (size_t(which) < 1 || size_t(which) > m_saved.size()) return;
      keep = size_t(which) - 1;
    }
    m_state = m_saved[keep];
    m_saved.resize(keep);
  }

  void Put(size_t index, Object o) {
    if (index >= size_t(kMaxObjects)) return;
    m_objects[index] = std::move(o);
  }
  // The WMF way: the lowest free slot.
  void Add(Object o) {
    size_t i = 0;
    while (m_objects.contains(i)) ++i;
    Put(i, std::move(o));
  }
  void Delete(size_t index) { m_objects.erase(index); }
  void Select(size_t index) {
    auto it = m_objects.find(index);
    if (it == m_objects.end()) return;
    Apply(it->second);
  }
  void Apply(const Object& o) {
    switch (o.kind) {
      case Object::kPen:
        m_state.pen = o.pen;
        break;
      case Object::kBrush:
        m_state.brush = o.brush;
        break;
      case Object::kFont:
        m_state.font = o.font;
        m_state.font_height = o.font_height;
        m_state.escapement = o.escapement;
        break;
      default:
        break;
    }
  }

  QTransform Mapping() const {
    const State& s = m_state;
    QTransform t = s.world;
    if (s.map_mode == 7 || s.map_mode == 8) {
      double sx = s.window_ext.width() ? s.viewport_ext.width() / s.window_ext.width() : 1;
      double sy = s.window_ext.height() ? s.viewport_ext.height() / s.window_ext.height() : 1;
      if (s.map_mode == 7) {
        // Isotropic: the smaller scale both ways, keeping each sign.
        double m = std::min(std::abs(sx), std::abs(sy));
        sx = std::copysign(m, sx);
        sy = std::copysign(m, sy);
      }
      t *= QTransform::fromTranslate(-s.window_org.x(), -s.window_org.y());
      t *= QTransform::fromScale(sx, sy);
      t *= QTransform::fromTranslate(s.viewport_org.x(), s.viewport_org.y());
    } else {
      t *= QTransform::fromTranslate(s.viewport_org.x() - s.window_org.x(),
                                     s.viewport_org.y() - s.window_org.y());
    }
    return t * m_device;
  }

  void Prepare(bool fill) {
    QTransform t = Mapping();
    if (!t.isInvertible()) {
      m_skip = true;
      return;
    }
    m_skip = false;
    m_p.setTransform(t);
    QPen pen = m_state.pen;
    // A pen of width 0 or 1 is one device pixel, whatever the mapping.
    if (pen.widthF() <= 1) pen.setCosmetic(true), pen.setWidthF(1);
    m_p.setPen(pen);
    m_p.setBrush(fill ? m_state.brush : QBrush(Qt::NoBrush));
    m_p.setBackground(m_state.back_colour);
    m_p.setBackgroundMode(m_state.opaque_back ? Qt::OpaqueMode : Qt::TransparentMode);
  }

  bool Count() { return ++m_drawn <= kMaxRecords; }

  void Rect(QRectF r) {
    Prepare(true);
    if (!m_skip) m_p.drawRect(r.normalized());
  }
  void Ellipse(QRectF r) {
    Prepare(true);
    if (!m_skip) m_p.drawEllipse(r.normalized());
  }
  void RoundRect(QRectF r, double w, double h) {
    Prepare(true);
    if (!m_skip) m_p.drawRoundedRect(r.normalized(), std::abs(w) / 2, std::abs(h) / 2);
  }
  void LineTo(QPointF to) {
    Prepare(false);
    if (!m_skip) m_p.drawLine(m_state.position, to);
    m_state.position = to;
  }
  void Polygon(const QPolygonF& points) {
    if (points.size() < 2) return;
    Prepare(true);
    if (!m_skip) m_p.drawPolygon(points, m_state.fill_rule);
  }
  void PolyPolygon(const std::vector<QPolygonF>& polygons) {
    QPainterPath path;
    path.setFillRule(m_state.fill_rule);
    for (const QPolygonF& poly : polygons) {
      if (poly.size() < 2) continue;
      path.addPolygon(poly);
      path.closeSubpath();
    }
    Prepare(true);
    if (!m_skip) m_p.drawPath(path);
  }
  void Polyline(const QPolygonF& points) {
    if (points.size() < 2) return;
    Prepare(false);
    if (!m_skip) m_p.drawPolyline(points);
  }
  // From the current position when `to` is set; the position follows.
  void Bezier(QPolygonF points, bool to) {
    if (to) points.prepend(m_state.position);
    if (points.size() < 4) return;
    QPainterPath path(points[0]);
    qsizetype i = 1;
    for (; i + 2 < points.size(); i += 3) path.cubicTo(points[i], points[i + 1], points[i + 2]);
    if (to) m_state.position = points[i - 1];
    Prepare(false);
    if (!m_skip) m_p.drawPath(path);
  }
  // Text is filled as outlines, never drawn through the toolkit's glyph
  // cache: under mappings a metafile may hold (a glyph far wider than high,
  // say) FreeType fails to render the glyph bitmap, and the cache then reads
  // from nothing. Outlines go through the same path filling as the shapes,
  // which clips whatever the mapping.
  void Text(QPointF at, const QString& text) {
    if (text.isEmpty()) return;
    Prepare(false);
    if (m_skip) return;
    QFont font = m_state.font;
    int64_t h = std::abs(int64_t(m_state.font_height));
    // Logical heights go through the mapping with the rest of the drawing.
    font.setPixelSize(int(std::clamp<int64_t>(h ? h : 12, 1, 4000)));
    QFontMetricsF metrics(font);
    double x = 0, y = 0;
    uint32_t align = m_state.text_align;
    double width = metrics.horizontalAdvance(text);
    if ((align & 6) == 6)
      x = -width / 2;
    else if (align & 2)
      x = -width;
    if ((align & 24) == 24)
      y = 0;  // base line
    else if ((align & 24) == 8)
      y = -metrics.descent();  // bottom
    else
      y = metrics.ascent();  // top
    m_p.save();
    m_p.translate(at);
    if (m_state.escapement) m_p.rotate(-(m_state.escapement / 10.0));
    // Text wholly outside the picture, or under a mapping that is not finite,
    // is not shaped at all.
    const QRectF box(x, y - metrics.ascent(), width, metrics.height());
    const QRectF shown = m_p.combinedTransform().mapRect(box);
    const QRectF picture(QPointF(0, 0), m_p.device()
                                            ? QSizeF(m_p.device()->width(), m_p.device()->height())
                                            : QSizeF());
    if (std::isfinite(shown.left()) && std::isfinite(shown.top()) && std::isfinite(shown.width()) &&
        std::isfinite(shown.height()) && shown.adjusted(-1, -1, 1, 1).intersects(picture)) {
      if (m_state.opaque_back) m_p.fillRect(box, m_state.back_colour);
      QPainterPath path;
      path.addText(QPointF(x, y), font, text);
      m_p.setRenderHint(QPainter::Antialiasing, true);
      m_p.fillPath(path, m_state.text_colour);
    }
    m_p.restore();
  }
  void Bitmap(const QImage& image, QRectF target, QRectF source) {
    if (image.isNull()) return;
    target = QRectF(QPointF(Clamp(target.left()), Clamp(target.top())),
                    QSizeF(Clamp(target.width()), Clamp(target.height())));
    Prepare(false);
    if (m_skip) return;
    if (!source.isValid()) source = image.rect();
    m_p.drawImage(target.normalized(), image, source);
  }

 private:
  QPainter& m_p;
  QTransform m_device;
  State m_state;
  std::vector<State> m_saved;
  std::map<size_t, Object> m_objects;
  bool m_skip = false;
  int m_drawn = 0;
};

// --- 16-bit metafiles

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;

bool WmfHeaderAt(Bytes& b, size_t at) {
  if (!b.Has(at, 18)) return false;
  uint32_t type = b.U16(at);
  uint32_t header_words = b.U16(at + 2);
  uint32_t version = b.U16(at + 4);
  return b.ok() && (type == 1 || type == 2) && header_words == 9 &&
         (version == 0x0100 || version == 0x0300);
}

QString WmfText(std::string_view bytes) {
  // The text is in the font's ANSI code page; Latin-1 keeps every byte.
  return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

QImage PlayWmf(std::string_view data, int max_side) {
  Bytes b(data);
  size_t at = 0;
  QRectF frame;
  if (b.U32(0) == kPlaceableKey) {
    int left = b.S16(6), top = b.S16(8), right = b.S16(10), bottom = b.S16(12);
    if (!b.ok()) return {};
    frame = QRectF(QPointF(left, top), QPointF(right, bottom)).normalized();
    at = 22;
    if (!WmfHeaderAt(b, at)) return {};
  } else if (!WmfHeaderAt(b, 0)) {
    return {};
  }
  const size_t records = at + 18;
  // Without a placeable header the size comes from the window extent.
  if (frame.isEmpty()) {
    for (size_t r = records; b.Has(r, 6);) {
      uint32_t words = b.U32(r);
      uint32_t function = b.U16(r + 4);
      if (words < 3 || !b.Has(r, size_t(words) * 2)) break;
      if (function == 0x020B) frame.moveTo(b.S16(r + 8), b.S16(r + 6));
      if (function == 0x020C) frame.setSize(QSizeF(b.S16(r + 8), b.S16(r + 6)));
      if (function == 0 || !frame.size().isEmpty()) break;
      r += size_t(words) * 2;
    }
    frame = frame.normalized();
    if (frame.isEmpty()) return {};
  }
  // Logical units per inch: the placeable header's, or screen pixels.
  double inch = at == 22 && b.U16(14) ? double(b.U16(14)) : 96.0;
  QSizeF pixels(frame.width() * 96.0 / inch, frame.height() * 96.0 / inch);
  double shrink = std::min(1.0, double(max_side) / std::max(pixels.width(), pixels.height()));
  QSize size(std::max(1, int(std::lround(pixels.width() * shrink))),
             std::max(1, int(std::lround(pixels.height() * shrink))));
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  // Logical units of the frame onto the picture.
  QTransform device =
      QTransform::fromTranslate(-frame.left(), -frame.top()) *
      QTransform::fromScale(size.width() / frame.width(), size.height() / frame.height());
  Player player(painter, device);
  State& s = player.state();
  s.map_mode = 8;
  s.window_org = s.viewport_org = frame.topLeft();
  s.window_ext = s.viewport_ext = frame.size();

  auto point = [&](size_t at_) { return QPointF(Clamp(b.S16(at_)), Clamp(b.S16(at_ + 2))); };
  auto points = [&](size_t from, size_t count) {
    QPolygonF poly;
    if (!b.Has(from, count * 4)) return poly;
    poly.reserve(qsizetype(count));
    for (size_t i = 0; i < count; ++i) poly << point(from + i * 4);
    return poly;
  };
  // Rectangles are stored bottom, right, top, left.
  auto rect = [&](size_t p) {
    return QRectF(QPointF(b.S16(p + 6), b.S16(p + 4)), QPointF(b.S16(p + 2), b.S16(p)));
  };

  for (size_t r = records; b.Has(r, 6) && player.Count();) {
    const uint32_t words = b.U32(r);
    const uint32_t function = b.U16(r + 4);
    if (words < 3 || !b.Has(r, size_t(words) * 2)) break;
    const size_t end = r + size_t(words) * 2;
    const size_t p = r + 6;  // parameters
    auto has = [&](size_t n) { return p + n <= end; };
    switch (function) {
      case 0x0000:
        r = data.size();
        continue;  // end of file
      case 0x020B:
        if (has(4)) s.window_org = QPointF(b.S16(p + 2), b.S16(p));
        break;
      case 0x020C:
        if (has(4)) s.window_ext = QSizeF(b.S16(p + 2), b.S16(p));
        break;
      case 0x020D:
        if (has(4)) s.viewport_org = QPointF(b.S16(p + 2), b.S16(p));
        break;
      case 0x020E:
        if (has(4)) s.viewport_ext = QSizeF(b.S16(p + 2), b.S16(p));
        break;
      case 0x0201:
        if (has(4)) s.back_colour = ColourRef(b.U32(p));
        break;
      case 0x0209:
        if (has(4)) s.text_colour = ColourRef(b.U32(p));
        break;
      case 0x0102:
        if (has(2)) s.opaque_back = b.U16(p) == 2;
        break;
      case 0x0106:
        if (has(2)) s.fill_rule = b.U16(p) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
        break;
      case 0x012E:
        if (has(2)) s.text_align = b.U16(p);
        break;
      case 0x001E:
        player.SaveDc();
        break;
      case 0x0127:
        if (has(2)) player.RestoreDc(b.S16(p));
        break;
      case 0x02FA: {  // pen
        if (!has(10)) break;
        Object o;
        o.kind = Object::kPen;
        o.pen = MakePen(b.U16(p), b.S16(p + 2), ColourRef(b.U32(p + 6)));
        player.Add(o);
        break;
      }
      case 0x02FC: {  // brush
        if (!has(8)) break;
        Object o;
        o.kind = Object::kBrush;
        o.brush = MakeBrush(b.U16(p), ColourRef(b.U32(p + 2)), b.U16(p + 6));
        player.Add(o);
        break;
      }
      case 0x02FB: {  // font
        if (!has(18)) break;
        Object o;
        o.kind = Object::kFont;
        o.font_height = b.S16(p);
        o.escapement = b.S16(p + 4);
        size_t face_at = p + 18;
        size_t face_len = 0;
        while (face_at + face_len < end && face_len < 32 && data[face_at + face_len] != 0) {
          ++face_len;
        }
        o.font = MakeFont(WmfText(data.substr(face_at, face_len)), b.S16(p + 8), b.U8(p + 10),
                          b.U8(p + 11), b.U8(p + 12));
        player.Add(o);
        break;
      }
      case 0x00F7:  // palette, regions and pattern brushes take a slot
      case 0x06FF:
      case 0x0142:
      case 0x01F9: {
        Object o;
        o.kind = function == 0x0142 || function == 0x01F9 ? Object::kBrush : Object::kOther;
        o.brush = QBrush(Qt::gray);
        player.Add(o);
        break;
      }
      case 0x012D:
        if (has(2)) player.Select(b.U16(p));
        break;
      case 0x01F0:
        if (has(2)) player.Delete(b.U16(p));
        break;
      case 0x0214:
        if (has(4)) s.position = QPointF(b.S16(p + 2), b.S16(p));
        break;
      case 0x0213:
        if (has(4)) player.LineTo(QPointF(b.S16(p + 2), b.S16(p)));
        break;
      case 0x041B:
        if (has(8)) player.Rect(rect(p));
        break;
      case 0x0418:
        if (has(8)) player.Ellipse(rect(p));
        break;
      case 0x061C:
        if (has(12)) player.RoundRect(rect(p + 4), b.S16(p + 2), b.S16(p));
        break;
      case 0x0324:
      case 0x0325: {
        if (!has(2)) break;
        size_t count = b.U16(p);
        if (!has(2 + count * 4)) break;
        QPolygonF poly = points(p + 2, count);
        function == 0x0324 ? player.Polygon(poly) : player.Polyline(poly);
        break;
      }
      case 0x0538: {  // poly-polygon
        if (!has(2)) break;
        size_t n = b.U16(p);
        if (!has(2 + n * 2)) break;
        std::vector<QPolygonF> polys;
        size_t at_points = p + 2 + n * 2;
        for (size_t i = 0; i < n; ++i) {
          size_t count = b.U16(p + 2 + i * 2);
          if (at_points + count * 4 > end) break;
          polys.push_back(points(at_points, count));
          at_points += count * 4;
        }
        player.PolyPolygon(polys);
        break;
      }
      case 0x0521: {  // text out: length, text, y, x
        if (!has(2)) break;
        size_t len = b.U16(p);
        size_t padded = (len + 1) & ~size_t(1);
        if (!has(2 + padded + 4)) break;
        QString text = WmfText(data.substr(p + 2, len));
        player.Text(QPointF(b.S16(p + 2 + padded + 2), b.S16(p + 2 + padded)), text);
        break;
      }
      case 0x0A32: {  // extended text out: y, x, length, options, [rect], text
        if (!has(8)) break;
        size_t len = b.U16(p + 4);
        uint32_t options = b.U16(p + 6);
        size_t text_at = p + 8 + ((options & 0x06) ? 8 : 0);
        if (text_at + len > end) break;
        player.Text(QPointF(b.S16(p + 2), b.S16(p)), WmfText(data.substr(text_at, len)));
        break;
      }
      case 0x0F43: {  // stretch DIB
        if (!has(22)) break;
        int sh = b.S16(p + 6), sw = b.S16(p + 8), sy = b.S16(p + 10), sx = b.S16(p + 12);
        int dh = b.S16(p + 14), dw = b.S16(p + 16), dy = b.S16(p + 18), dx = b.S16(p + 20);
        QImage dib = DecodeDib(data.substr(p + 22, end - (p + 22)), {});
        player.Bitmap(dib, QRectF(dx, dy, dw, dh), QRectF(sx, sy, sw, sh));
        break;
      }
      case 0x0B41: {  // DIB stretch blit
        if (!has(20) || words * 2 <= 6 + 22) break;
        int sh = b.S16(p + 4), sw = b.S16(p + 6), sy = b.S16(p + 8), sx = b.S16(p + 10);
        int dh = b.S16(p + 12), dw = b.S16(p + 14), dy = b.S16(p + 16), dx = b.S16(p + 18);
        QImage dib = DecodeDib(data.substr(p + 20, end - (p + 20)), {});
        player.Bitmap(dib, QRectF(dx, dy, dw, dh), QRectF(sx, sy, sw, sh));
        break;
      }
      case 0x0940: {  // DIB blit
        if (!has(16)) break;
        int sy = b.S16(p + 4), sx = b.S16(p + 6);
        int h = b.S16(p + 8), w = b.S16(p + 10), dy = b.S16(p + 12), dx = b.S16(p + 14);
        QImage dib = DecodeDib(data.substr(p + 16, end - (p + 16)), {});
        player.Bitmap(dib, QRectF(dx, dy, w, h), QRectF(sx, sy, w, h));
        break;
      }
      default:
        break;
    }
    r = end;
  }
  painter.end();
  return image;
}

// --- Enhanced metafiles

constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"

QImage PlayEmf(std::string_view data, int max_side) {
  Bytes b(data);
  if (b.U32(0) != 1 || b.U32(40) != kEmfSignature) return {};
  const uint32_t header_size = b.U32(4);
  if (!b.ok() || header_size < 88 || header_size > data.size()) return {};
  // Inclusive rectangles of 32-bit values; their sizes are taken in double.
  const double bl = b.S32(8), bt = b.S32(12), br = b.S32(16), bb = b.S32(20);
  const double fl = b.S32(24), ft = b.S32(28), fr = b.S32(32), fb = b.S32(36);
  const int device_w = b.S32(72), device_h = b.S32(76);
  const int mm_w = b.S32(80), mm_h = b.S32(84);
  QRectF source;
  QSizeF pixels;
  if (device_w > 0 && device_h > 0 && mm_w > 0 && mm_h > 0 && fr - fl > 1 && fb - ft > 1) {
    // The frame is in 0.01 mm; the reference device says how many pixels that is.
    double px = double(device_w) / (mm_w * 100.0), py = double(device_h) / (mm_h * 100.0);
    source = QRectF(fl * px, ft * py, (fr - fl) * px, (fb - ft) * py);
    pixels = QSizeF((fr - fl) * 96.0 / 2540.0, (fb - ft) * 96.0 / 2540.0);
  } else {
    source = QRectF(bl, bt, br - bl + 1, bb - bt + 1);
    pixels = source.size();
  }
  if (!(source.width() > 0 && source.height() > 0 && pixels.width() >= 0.5 &&
        pixels.height() >= 0.5) ||
      !std::isfinite(pixels.width()) || !std::isfinite(pixels.height())) {
    return {};
  }
  double shrink = std::min(1.0, double(max_side) / std::max(pixels.width(), pixels.height()));
  QSize size(std::max(1, int(std::lround(pixels.width() * shrink))),
             std::max(1, int(std::lround(pixels.height() * shrink))));
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  QTransform device =
      QTransform::fromTranslate(-source.left(), -source.top()) *
      QTransform::fromScale(size.width() / source.width(), size.height() / source.height());
  Player player(painter, device);
  State& s = player.state();

  auto point32 = [&](size_t at) { return QPointF(Clamp(b.S32(at)), Clamp(b.S32(at + 4))); };
  auto point16 = [&](size_t at) { return QPointF(b.S16(at), b.S16(at + 2)); };
  auto rectl = [&](size_t at) { return QRectF(point32(at), point32(at + 8)); };

  for (size_t r = header_size; b.Has(r, 8) && player.Count();) {
    const uint32_t type = b.U32(r);
    const uint32_t size_bytes = b.U32(r + 4);
    if (size_bytes < 8 || size_bytes % 4 != 0 || !b.Has(r, size_bytes)) break;
    const size_t end = r + size_bytes;
    const size_t p = r + 8;
    auto has = [&](size_t n) { return n <= end - p; };
    // Polylines: bounds, count, points (32- or 16-bit).
    auto poly = [&](bool wide) {
      QPolygonF out;
      if (!has(20)) return out;
      size_t count = b.U32(p + 16);
      size_t each = wide ? 8 : 4;
      if (count > (end - p - 20) / each) return out;
      out.reserve(qsizetype(count));
      for (size_t i = 0; i < count; ++i) {
        out << (wide ? point32(p + 20 + i * 8) : point16(p + 20 + i * 4));
      }
      return out;
    };
    auto polys = [&](bool wide) {
      std::vector<QPolygonF> out;
      if (!has(24)) return out;
      size_t n = b.U32(p + 16);
      size_t each = wide ? 8 : 4;
      if (n > (end - p - 24) / 4) return out;
      size_t at = p + 24 + n * 4;
      for (size_t i = 0; i < n; ++i) {
        size_t count = b.U32(p + 24 + i * 4);
        if (count > (end - at) / each) break;
        QPolygonF one;
        for (size_t k = 0; k < count; ++k) {
          one << (wide ? point32(at + k * 8) : point16(at + k * 4));
        }
        at += count * each;
        out.push_back(std::move(one));
      }
      return out;
    };
    auto dib = [&](size_t off_bmi, size_t cb_bmi, size_t off_bits, size_t cb_bits) {
      if (off_bmi < 8 || cb_bmi == 0 || off_bmi > size_bytes || cb_bmi > size_bytes - off_bmi ||
          off_bits > size_bytes || cb_bits > size_bytes - off_bits) {
        return QImage();
      }
      return DecodeDib(data.substr(r + off_bmi, cb_bmi), data.substr(r + off_bits, cb_bits));
    };

    switch (type) {
      case 14:
        r = data.size();
        continue;  // end of file
      case 9:
        if (has(8)) s.window_ext = QSizeF(b.S32(p), b.S32(p + 4));
        break;
      case 10:
        if (has(8)) s.window_org = point32(p);
        break;
      case 11:
        if (has(8)) s.viewport_ext = QSizeF(b.S32(p), b.S32(p + 4));
        break;
      case 12:
        if (has(8)) s.viewport_org = point32(p);
        break;
      case 17:
        if (has(4)) s.map_mode = int(b.U32(p));
        break;
      case 18:
        if (has(4)) s.opaque_back = b.U32(p) == 2;
        break;
      case 19:
        if (has(4)) s.fill_rule = b.U32(p) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
        break;
      case 22:
        if (has(4)) s.text_align = b.U32(p);
        break;
      case 24:
        if (has(4)) s.text_colour = ColourRef(b.U32(p));
        break;
      case 25:
        if (has(4)) s.back_colour = ColourRef(b.U32(p));
        break;
      case 27:
        if (has(8)) s.position = point32(p);
        break;
      case 54:
        if (has(8)) player.LineTo(point32(p));
        break;
      case 33:
        player.SaveDc();
        break;
      case 34:
        if (has(4)) player.RestoreDc(b.S32(p));
        break;
      case 35:
      case 36: {  // world transform: set, or modify (identity, left or right multiply, set)
        if (!has(24)) break;
        QTransform x(b.F32(p), b.F32(p + 4), b.F32(p + 8), b.F32(p + 12), b.F32(p + 16),
                     b.F32(p + 20));
        uint32_t mode = type == 35 ? 4 : (has(28) ? b.U32(p + 24) : 0);
        if (mode == 1)
          s.world = QTransform();
        else if (mode == 2)
          s.world = x * s.world;
        else if (mode == 3)
          s.world = s.world * x;
        else if (mode == 4)
          s.world = x;
        break;
      }
      case 37: {  // select: stock objects have the high bit
        if (!has(4)) break;
        uint32_t index = b.U32(p);
        if (index & 0x80000000u) {
          Object o;
          switch (index & 0x7FFFFFFF) {
            case 0:
              o.kind = Object::kBrush, o.brush = QBrush(Qt::white);
              break;
            case 1:
              o.kind = Object::kBrush, o.brush = QBrush(QColor(192, 192, 192));
              break;
            case 2:
              o.kind = Object::kBrush, o.brush = QBrush(QColor(128, 128, 128));
              break;
            case 3:
              o.kind = Object::kBrush, o.brush = QBrush(QColor(64, 64, 64));
              break;
            case 4:
              o.kind = Object::kBrush, o.brush = QBrush(Qt::black);
              break;
            case 5:
              o.kind = Object::kBrush, o.brush = QBrush(Qt::NoBrush);
              break;
            case 6:
              o.kind = Object::kPen, o.pen = QPen(Qt::white, 0);
              break;
            case 7:
              o.kind = Object::kPen, o.pen = QPen(Qt::black, 0);
              break;
            case 8:
              o.kind = Object::kPen, o.pen = QPen(Qt::NoPen);
              break;
            default:
              break;
          }
          player.Apply(o);
        } else {
          player.Select(index);
        }
        break;
      }
      case 38: {  // pen
        if (!has(20)) break;
        Object o;
        o.kind = Object::kPen;
        o.pen = MakePen(b.U32(p + 4), b.S32(p + 8), ColourRef(b.U32(p + 16)));
        player.Put(b.U32(p), o);
        break;
      }
      case 95: {  // extended pen
        if (!has(40)) break;
        Object o;
        o.kind = Object::kPen;
        o.pen = MakePen(b.U32(p + 20), double(b.U32(p + 24)), ColourRef(b.U32(p + 32)));
        if (b.U32(p + 28) == 1) o.pen.setStyle(Qt::NoPen);
        player.Put(b.U32(p), o);
        break;
      }
      case 39: {  // brush
        if (!has(16)) break;
        Object o;
        o.kind = Object::kBrush;
        o.brush = MakeBrush(b.U32(p + 4), ColourRef(b.U32(p + 8)), b.U32(p + 12));
        player.Put(b.U32(p), o);
        break;
      }
      case 93:  // pattern brushes: a grey brush keeps the slot
      case 94: {
        if (!has(4)) break;
        Object o;
        o.kind = Object::kBrush;
        o.brush = QBrush(Qt::gray);
        player.Put(b.U32(p), o);
        break;
      }
      case 82: {  // font (the name in UTF-16)
        if (!has(4 + 28)) break;
        Object o;
        o.kind = Object::kFont;
        o.font_height = b.S32(p + 4);
        o.escapement = b.S32(p + 12);
        QString face;
        for (size_t i = 0; i < 32 && has(4 + 28 + i * 2 + 2); ++i) {
          char16_t c = char16_t(b.U16(p + 4 + 28 + i * 2));
          if (c == 0) break;
          face += QChar(c);
        }
        o.font = MakeFont(face, b.S32(p + 20), b.U8(p + 24), b.U8(p + 25), b.U8(p + 26));
        player.Put(b.U32(p), o);
        break;
      }
      case 40:
        if (has(4)) player.Delete(b.U32(p));
        break;
      case 43:
        if (has(16)) player.Rect(rectl(p));
        break;
      case 42:
        if (has(16)) player.Ellipse(rectl(p));
        break;
      case 44:
        if (has(24)) player.RoundRect(rectl(p), b.S32(p + 16), b.S32(p + 20));
        break;
      case 3:
        player.Polygon(poly(true));
        break;
      case 86:
        player.Polygon(poly(false));
        break;
      case 4:
        player.Polyline(poly(true));
        break;
      case 87:
        player.Polyline(poly(false));
        break;
      case 2:
        player.Bezier(poly(true), false);
        break;
      case 85:
        player.Bezier(poly(false), false);
        break;
      case 5:
        player.Bezier(poly(true), true);
        break;
      case 88:
        player.Bezier(poly(false), true);
        break;
      case 6:
      case 89: {  // polyline from the current position
        QPolygonF line = poly(type == 6);
        for (const QPointF& pt : line) player.LineTo(pt);
        break;
      }
      case 8:
        player.PolyPolygon(polys(true));
        break;
      case 91:
        player.PolyPolygon(polys(false));
        break;
      case 7:
      case 90:
        for (const QPolygonF& line : polys(type == 7)) player.Polyline(line);
        break;
      case 84: {  // extended text out, UTF-16
        if (!has(16 + 12 + 40)) break;
        size_t t = p + 28;  // the text record
        QPointF at = point32(t);
        size_t chars = b.U32(t + 8);
        size_t offset = b.U32(t + 12);
        if (offset > size_bytes || chars > (size_bytes - offset) / 2) break;
        QString text;
        text.reserve(qsizetype(chars));
        for (size_t i = 0; i < chars; ++i) text += QChar(char16_t(b.U16(r + offset + i * 2)));
        player.Text(at, text);
        break;
      }
      case 81: {  // stretch DI bits
        if (!has(72)) break;
        QRectF target(b.S32(p + 16), b.S32(p + 20), b.S32(p + 64), b.S32(p + 68));
        QRectF source_rect(b.S32(p + 24), b.S32(p + 28), b.S32(p + 32), b.S32(p + 36));
        QImage bits = dib(b.U32(p + 40), b.U32(p + 44), b.U32(p + 48), b.U32(p + 52));
        player.Bitmap(bits, target, source_rect);
        break;
      }
      case 77: {  // stretch blit with a bitmap
        if (!has(100)) break;
        QRectF target(b.S32(p + 16), b.S32(p + 20), b.S32(p + 24), b.S32(p + 28));
        QRectF source_rect(b.S32(p + 36), b.S32(p + 40), b.S32(p + 92), b.S32(p + 96));
        QImage bits = dib(b.U32(p + 76), b.U32(p + 80), b.U32(p + 84), b.U32(p + 88));
        player.Bitmap(bits, target, source_rect);
        break;
      }
      default:
        break;
    }
    r = end;
  }
  painter.end();
  return image;
}

}  // namespace

bool LooksLikeMetafile(std::string_view bytes) {
  Bytes b(bytes);
  if (b.U32(0) == kPlaceableKey) return true;
  if (b.U32(0) == 1 && b.U32(40) == kEmfSignature) return true;
  return WmfHeaderAt(b, 0);
}

QImage ReadMetafile(std::string_view bytes, int max_side) {
  max_side = std::max(max_side, 1);
  Bytes b(bytes);
  if (b.U32(0) == 1 && b.U32(40) == kEmfSignature) return PlayEmf(bytes, max_side);
  return PlayWmf(bytes, max_side);
}

}  // namespace morvane
