#include "player/assets/background.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <vector>

namespace morvane {
namespace {

int Clamp255(double v) {
  return std::clamp(int(std::lround(v)), 0, 255);
}

template <typename F>
void ForEachPixel(QImage& image, F f) {
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) line[x] = f(line[x]);
  }
}

// A box blur applied three times approximates a Gaussian of that radius.
QImage Blur(const QImage& source, int radius) {
  if (radius <= 0) return source;
  QImage image = source;
  QImage temp = source;
  int w = image.width(), h = image.height();
  for (int pass = 0; pass < 3; ++pass) {
    for (int horizontal = 1; horizontal >= 0; --horizontal) {
      const QImage& from = horizontal ? image : temp;
      QImage& to = horizontal ? temp : image;
      int length = horizontal ? w : h, lines = horizontal ? h : w;
      for (int l = 0; l < lines; ++l) {
        auto at = [&](const QImage& img, int i) -> QRgb {
          i = std::clamp(i, 0, length - 1);
          return horizontal ? img.pixel(i, l) : img.pixel(l, i);
        };
        int sum[4] = {0, 0, 0, 0};
        for (int i = -radius; i <= radius; ++i) {
          QRgb p = at(from, i);
          sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p), sum[3] += qAlpha(p);
        }
        int n = 2 * radius + 1;
        for (int i = 0; i < length; ++i) {
          QRgb value = qRgba(sum[0] / n, sum[1] / n, sum[2] / n, sum[3] / n);
          if (horizontal)
            to.setPixel(i, l, value);
          else
            to.setPixel(l, i, value);
          QRgb out = at(from, i - radius), in = at(from, i + radius + 1);
          sum[0] += qRed(in) - qRed(out), sum[1] += qGreen(in) - qGreen(out);
          sum[2] += qBlue(in) - qBlue(out), sum[3] += qAlpha(in) - qAlpha(out);
        }
      }
    }
  }
  return image;
}

// A 3x3 convolution over the colour channels; alpha is kept.
QImage Convolve(const QImage& source, const double kernel[9], double offset) {
  QImage out = source;
  int w = source.width(), h = source.height();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double sum[3] = {offset, offset, offset};
      for (int k = 0; k < 9; ++k) {
        QRgb p =
            source.pixel(std::clamp(x + k % 3 - 1, 0, w - 1), std::clamp(y + k / 3 - 1, 0, h - 1));
        sum[0] += kernel[k] * qRed(p), sum[1] += kernel[k] * qGreen(p),
            sum[2] += kernel[k] * qBlue(p);
      }
      out.setPixel(
          x, y,
          qRgba(Clamp255(sum[0]), Clamp255(sum[1]), Clamp255(sum[2]), qAlpha(source.pixel(x, y))));
    }
  }
  return out;
}

// Moves each channel towards (amount > 0) or away from the pixel's grey.
QRgb Saturate(QRgb p, double factor) {
  double grey = 0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p);
  return qRgba(Clamp255(grey + (qRed(p) - grey) * factor),
               Clamp255(grey + (qGreen(p) - grey) * factor),
               Clamp255(grey + (qBlue(p) - grey) * factor), qAlpha(p));
}

}  // namespace

QImage DecodeBackground(std::string_view bytes) {
  QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
  for (const char* format : {"jpeg", "bmp", "png", "gif", "ico"}) {
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(512);  // megabytes: a hostile header cannot exhaust memory
    QImage image = reader.read();
    if (!image.isNull()) return image;
  }
  return QImage();
}

QImage AdjustBackground(QImage image, const Page& page) {
  if (image.isNull()) return image;
  const PageOptions& o = page.options;
  bool any = page.lightness || page.blur || page.contrast || page.saturation || page.sharpen ||
             page.sponge || o.grayscale || o.flip_horizontal || o.flip_vertical || o.emboss ||
             o.invert;
  if (!any) return image;
  image = image.convertToFormat(QImage::Format_ARGB32);
  if (int l = std::clamp(page.lightness, -100, 100)) {
    // Towards white for positive values, towards black for negative ones.
    double t = l / 100.0;
    ForEachPixel(image, [t](QRgb p) {
      auto ch = [t](int c) { return t > 0 ? Clamp255(c + (255 - c) * t) : Clamp255(c * (1 + t)); };
      return qRgba(ch(qRed(p)), ch(qGreen(p)), ch(qBlue(p)), qAlpha(p));
    });
  }
  if (page.blur > 0) image = Blur(image, std::clamp(page.blur, 0, 50));
  if (int c = std::clamp(page.contrast, -100, 100)) {
    double factor = c > 0 ? 1.0 + c / 50.0 : 1.0 + c / 100.0;
    ForEachPixel(image, [factor](QRgb p) {
      auto ch = [factor](int v) { return Clamp255((v - 128) * factor + 128); };
      return qRgba(ch(qRed(p)), ch(qGreen(p)), ch(qBlue(p)), qAlpha(p));
    });
  }
  if (int s = std::clamp(page.saturation, -100, 100)) {
    double factor = 1.0 + s / 100.0;
    ForEachPixel(image, [factor](QRgb p) { return Saturate(p, factor); });
  }
  for (int i = 0; i < std::clamp(page.sharpen, 0, 10); ++i) {
    static const double kSharpen[9] = {0, -1, 0, -1, 5, -1, 0, -1, 0};
    image = Convolve(image, kSharpen, 0);
  }
  if (int sponge = std::clamp(page.sponge, 0, 10)) {
    // A sponge takes colour out: each step removes a tenth of the saturation.
    double factor = 1.0 - sponge / 10.0;
    ForEachPixel(image, [factor](QRgb p) { return Saturate(p, factor); });
  }
  if (o.grayscale) ForEachPixel(image, [](QRgb p) { return Saturate(p, 0); });
  if (o.flip_horizontal || o.flip_vertical) {
    image = image.mirrored(o.flip_horizontal, o.flip_vertical);
  }
  if (o.emboss) {
    static const double kEmboss[9] = {-1, -1, 0, -1, 0, 1, 0, 1, 1};
    image = Convolve(image, kEmboss, 128);
    ForEachPixel(image, [](QRgb p) { return Saturate(p, 0); });
  }
  if (o.invert) {
    ForEachPixel(image, [](QRgb p) {
      return qRgba(255 - qRed(p), 255 - qGreen(p), 255 - qBlue(p), qAlpha(p));
    });
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

}  // namespace morvane
