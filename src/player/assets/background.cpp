#include "player/assets/background.h"

#include "player/assets/picture_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace morvane {
namespace {

int Clamp255(double v) {
  return std::clamp(int(std::lround(v)), 0, 255);
}

double Luminance(QRgb p) {
  return 0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p);
}

// Pixels are touched through raw scan lines: a picture of a million pixels
// goes through every filter in a few milliseconds.
template <typename F>
void ForEachPixel(QImage& image, F f) {
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) line[x] = f(line[x]);
  }
}

// Maps the three colour channels through one table.
void ApplyTable(QImage& image, const std::array<uint8_t, 256>& table) {
  ForEachPixel(image, [&table](QRgb p) {
    return qRgba(table[qRed(p)], table[qGreen(p)], table[qBlue(p)], qAlpha(p));
  });
}

// Rounded division of box sums by the box size, as a multiplication: exact
// while sum * n stays below 2^32 (at most 255 * 201 * 201 here).
struct BoxDivider {
  explicit BoxDivider(int n) : half(uint32_t(n / 2)), mul(((uint64_t(1) << 32) + n - 1) / n) {}
  int operator()(int sum) const { return int(((uint32_t(sum) + half) * mul) >> 32); }
  uint32_t half;
  uint64_t mul;
};

// One box pass along a row, the edge pixels repeated beyond the ends.
void BoxLine(const QRgb* in, QRgb* out, int length, int radius) {
  auto at = [&](int i) { return in[std::clamp(i, 0, length - 1)]; };
  int sum[4] = {0, 0, 0, 0};
  for (int i = -radius; i <= radius; ++i) {
    QRgb p = at(i);
    sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p), sum[3] += qAlpha(p);
  }
  const BoxDivider div(2 * radius + 1);
  for (int i = 0; i < length; ++i) {
    out[i] = qRgba(div(sum[0]), div(sum[1]), div(sum[2]), div(sum[3]));
    // Away from the ends no index needs clamping.
    bool inside = i - radius >= 0 && i + radius + 1 < length;
    QRgb leaving = inside ? in[i - radius] : at(i - radius);
    QRgb entering = inside ? in[i + radius + 1] : at(i + radius + 1);
    sum[0] += qRed(entering) - qRed(leaving), sum[1] += qGreen(entering) - qGreen(leaving);
    sum[2] += qBlue(entering) - qBlue(leaving), sum[3] += qAlpha(entering) - qAlpha(leaving);
  }
}

// A box pass down every column at once, one row at a time: running sums per
// column keep the reads in memory order.
void BoxColumns(QImage& image, int radius) {
  const QImage source = image.copy();
  const int w = image.width(), h = image.height();
  std::vector<int> sums(size_t(w) * 4, 0);
  auto add = [&](int y, int sign) {
    const auto* row = reinterpret_cast<const QRgb*>(source.constScanLine(std::clamp(y, 0, h - 1)));
    int* sum = sums.data();
    for (int x = 0; x < w; ++x, sum += 4) {
      QRgb p = row[x];
      sum[0] += sign * qRed(p), sum[1] += sign * qGreen(p);
      sum[2] += sign * qBlue(p), sum[3] += sign * qAlpha(p);
    }
  };
  for (int i = -radius; i <= radius; ++i) add(i, 1);
  const BoxDivider div(2 * radius + 1);
  for (int y = 0; y < h; ++y) {
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    const int* sum = sums.data();
    for (int x = 0; x < w; ++x, sum += 4) {
      out[x] = qRgba(div(sum[0]), div(sum[1]), div(sum[2]), div(sum[3]));
    }
    add(y + radius + 1, 1);
    add(y - radius, -1);
  }
}

// Three box passes each way approximate a Gaussian; the cost does not grow
// with the radius.
void Blur(QImage& image, int radius) {
  const int w = image.width(), h = image.height();
  std::vector<QRgb> line(static_cast<size_t>(w));
  for (int pass = 0; pass < 3; ++pass) {
    for (int y = 0; y < h; ++y) {
      auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
      std::copy(row, row + w, line.begin());
      BoxLine(line.data(), row, w, radius);
    }
    BoxColumns(image, radius);
  }
}

// p + k (4p - the four neighbours): k = 1 is the classic 3 x 3 sharpen.
void Sharpen(QImage& image, double k) {
  const QImage source = image.copy();
  const int w = image.width(), h = image.height();
  for (int y = 0; y < h; ++y) {
    const auto* up = reinterpret_cast<const QRgb*>(source.constScanLine(std::max(y - 1, 0)));
    const auto* mid = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    const auto* down = reinterpret_cast<const QRgb*>(source.constScanLine(std::min(y + 1, h - 1)));
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      QRgb p = mid[x], l = mid[std::max(x - 1, 0)], r = mid[std::min(x + 1, w - 1)];
      QRgb u = up[x], d = down[x];
      auto ch = [&](int (*c)(QRgb)) {
        return Clamp255(c(p) + k * (4 * c(p) - c(l) - c(r) - c(u) - c(d)));
      };
      out[x] = qRgba(ch(qRed), ch(qGreen), ch(qBlue), qAlpha(p));
    }
  }
}

// Moves each channel towards (factor < 1) or away from (factor > 1) the
// pixel's grey.
QRgb Saturate(QRgb p, double factor) {
  double grey = Luminance(p);
  return qRgba(Clamp255(grey + (qRed(p) - grey) * factor),
               Clamp255(grey + (qGreen(p) - grey) * factor),
               Clamp255(grey + (qBlue(p) - grey) * factor), qAlpha(p));
}

// Grey relief: 128 plus the brightness rising towards the lower right.
void Emboss(QImage& image) {
  const int w = image.width(), h = image.height();
  std::vector<double> lum(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < w; ++x) lum[size_t(y) * size_t(w) + size_t(x)] = Luminance(line[x]);
  }
  auto l = [&](int x, int y) {
    return lum[size_t(std::clamp(y, 0, h - 1)) * size_t(w) + size_t(std::clamp(x, 0, w - 1))];
  };
  for (int y = 0; y < h; ++y) {
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      double relief = -l(x - 1, y - 1) - l(x, y - 1) - l(x - 1, y) + l(x + 1, y) + l(x, y + 1) +
                      l(x + 1, y + 1);
      int v = Clamp255(128 + relief);
      out[x] = qRgba(v, v, v, qAlpha(out[x]));
    }
  }
}

}  // namespace

QImage DecodeBackground(std::string_view bytes) {
  return ReadPicture(bytes).image;
}

BackgroundFilters FiltersOfPage(const Page& page) {
  BackgroundFilters f;
  f.lightness = page.lightness;
  f.blur = page.blur;
  f.contrast = page.contrast;
  f.saturation = page.saturation;
  f.sharpen = page.sharpen;
  f.sponge = page.sponge;
  const PageOptions& o = page.options;
  f.grayscale = o.grayscale;
  f.flip_horizontal = o.flip_horizontal;
  f.flip_vertical = o.flip_vertical;
  f.emboss = o.emboss;
  f.invert = o.invert;
  return f;
}

QImage ApplyBackgroundFilters(QImage image, const BackgroundFilters& f) {
  if (image.isNull() || f == BackgroundFilters{}) return image;
  image = image.convertToFormat(QImage::Format_ARGB32);
  if (int l = std::clamp(f.lightness, -100, 100)) {
    // Towards white for positive amounts, towards black for negative ones.
    std::array<uint8_t, 256> table{};
    double t = l / 100.0;
    for (int c = 0; c < 256; ++c) {
      table[size_t(c)] = uint8_t(t > 0 ? Clamp255(c + (255 - c) * t) : Clamp255(c * (1 + t)));
    }
    ApplyTable(image, table);
  }
  if (int radius = std::clamp(f.blur, 0, 100)) Blur(image, radius);
  if (int c = std::clamp(f.contrast, -100, 100)) {
    // Up to three times the distance from mid grey, down to flat grey.
    std::array<uint8_t, 256> table{};
    double factor = c > 0 ? 1.0 + c / 50.0 : 1.0 + c / 100.0;
    for (int v = 0; v < 256; ++v) table[size_t(v)] = uint8_t(Clamp255((v - 128) * factor + 128));
    ApplyTable(image, table);
  }
  if (int s = std::clamp(f.saturation, -100, 100)) {
    double factor = 1.0 + s / 100.0;
    ForEachPixel(image, [factor](QRgb p) { return Saturate(p, factor); });
  }
  if (int k = std::clamp(f.sharpen, 0, 100)) Sharpen(image, k / 10.0);
  if (int sponge = std::clamp(f.sponge, -10, 10)) {
    double factor = 1.0 - sponge / 10.0;
    ForEachPixel(image, [factor](QRgb p) { return Saturate(p, factor); });
  }
  if (f.grayscale) ForEachPixel(image, [](QRgb p) { return Saturate(p, 0); });
  if (f.flip_horizontal || f.flip_vertical) {
    image = image.mirrored(f.flip_horizontal, f.flip_vertical);
  }
  if (f.emboss) Emboss(image);
  if (f.invert) {
    ForEachPixel(image, [](QRgb p) { return p ^ 0x00ffffffu; });
  }
  return image;
}

QImage KeyOutColour(const QImage& source, QRgb key) {
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  key &= 0xffffffu;
  ForEachPixel(image, [key](QRgb p) { return (p & 0xffffffu) == key ? qRgba(0, 0, 0, 0) : p; });
  return image;
}

void DrawBackground(QPainter& painter, const QRect& area, const QImage& image, int draw_style,
                    bool smooth) {
  if (image.isNull() || area.isEmpty()) return;
  painter.save();
  painter.setClipRect(area);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  QSize size = image.size();
  switch (draw_style) {
    case 1:  // centred
      painter.drawImage(area.x() + (area.width() - size.width()) / 2,
                        area.y() + (area.height() - size.height()) / 2, image);
      break;
    case 2:  // tiled
      for (int y = area.top(); y <= area.bottom(); y += size.height()) {
        for (int x = area.left(); x <= area.right(); x += size.width())
          painter.drawImage(x, y, image);
      }
      break;
    case 3:  // stretched
      painter.drawImage(area, image);
      break;
    case 4:    // proportional: shrunk to fit when larger, never enlarged
    case 5: {  // proportional and centred
      QSize fitted = size;
      if (size.width() > area.width() || size.height() > area.height()) {
        fitted = size.scaled(area.size(), Qt::KeepAspectRatio);
      }
      QPoint at = area.topLeft();
      if (draw_style == 5) {
        at += QPoint((area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2);
      }
      painter.drawImage(QRect(at, fitted), image);
      break;
    }
    default:
      painter.drawImage(area.topLeft(), image);
  }
  painter.restore();
}

PageBackground::PageBackground(const Page& page)
    : m_filters(FiltersOfPage(page)),
      m_draw_style(page.options.draw_style),
      m_smooth(page.options.smooth_background),
      m_transparent(page.options.background_transparent) {
  const Colour& c = page.options.background_transparent_colour;
  m_transparent_colour = qRgb(c.r, c.g, c.b);
}

void PageBackground::SetPicture(QImage picture) {
  m_picture = std::move(picture);
  m_drawn = QImage();
  m_dirty = true;
}

void PageBackground::SetFilters(const BackgroundFilters& filters) {
  if (filters == m_filters) return;
  m_filters = filters;
  m_dirty = true;
}

bool PageBackground::SetDrawStyle(int style) {
  if (style < 0 || style > 5) return false;
  m_draw_style = style;
  return true;
}

void PageBackground::SetTransparent(bool on) {
  if (on == m_transparent) return;
  m_transparent = on;
  m_dirty = true;
}

void PageBackground::SetTransparentColour(QRgb colour) {
  colour = qRgb(qRed(colour), qGreen(colour), qBlue(colour));
  if (colour == m_transparent_colour) return;
  m_transparent_colour = colour;
  m_dirty = m_dirty || m_transparent;
}

const QImage& PageBackground::Drawn() {
  if (m_dirty) {
    m_dirty = false;
    m_drawn = ApplyBackgroundFilters(m_picture, m_filters);
    if (m_transparent && !m_drawn.isNull()) m_drawn = KeyOutColour(m_drawn, m_transparent_colour);
  }
  return m_drawn;
}

void PageBackground::Draw(QPainter& painter, const QRect& area) {
  DrawBackground(painter, area, Drawn(), m_draw_style, m_smooth);
}

}  // namespace morvane
