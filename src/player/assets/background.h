#pragma once

// Page backgrounds: the picture of resource "BDATAG" + page number or of a
// file a script names, kept as loaded; the page's adjustments and filters are
// applied to that picture whenever one of them changes, and the result is
// drawn in one of the draw styles.

#include "package/project_model.h"

#include <QImage>
#include <QPainter>
#include <QRect>

#include <string_view>

namespace morvane {

// The first frame of the picture as ReadPicture reads it, with its limits on
// hostile input; a null image when no reader understands the bytes.
QImage DecodeBackground(std::string_view bytes);

// The adjustments and filters of a background, as the page record and the
// appearance actions set them. Amounts outside their ranges are clamped when
// applied: lightness, contrast and saturation -100 ... 100 (percent), blur
// 0 ... 100 (radius in pixels), sharpen 0 ... 100 (10 is one classic sharpen
// step), sponge -10 ... 10 (tenths of the colour taken out; negative puts
// colour in).
struct BackgroundFilters {
  int lightness = 0, blur = 0, contrast = 0, saturation = 0, sharpen = 0, sponge = 0;
  bool grayscale = false, flip_horizontal = false, flip_vertical = false, emboss = false,
       invert = false;
  bool operator==(const BackgroundFilters&) const = default;
};

BackgroundFilters FiltersOfPage(const Page& page);

// The filters in the order lightness, blur, contrast, saturation, sharpen,
// sponge, grey scale, flips, emboss, invert. Alpha is kept. The result is
// ARGB32 unless no filter is set, when the picture comes back unchanged.
QImage ApplyBackgroundFilters(QImage image, const BackgroundFilters& filters);

inline QImage AdjustBackground(QImage image, const Page& page) {
  return ApplyBackgroundFilters(std::move(image), FiltersOfPage(page));
}

// Draws the picture into `area` in a draw style: 0 normal, 1 centred,
// 2 tiled, 3 stretched, 4 proportional, 5 proportional and centred.
void DrawBackground(QPainter& painter, const QRect& area, const QImage& image, int draw_style,
                    bool smooth);

// The picture with every pixel of the colour made fully transparent.
QImage KeyOutColour(const QImage& image, QRgb key);

// The background component of a page: the picture as loaded and everything
// that says how it is drawn. The drawn picture is rebuilt lazily after a
// change.
class PageBackground {
 public:
  PageBackground() = default;
  explicit PageBackground(const Page& page);

  // A null picture: the page has none.
  void SetPicture(QImage picture);
  const QImage& picture() const { return m_picture; }
  void SetFilters(const BackgroundFilters& filters);
  const BackgroundFilters& filters() const { return m_filters; }
  // Styles other than 0 ... 5 change nothing; false then.
  bool SetDrawStyle(int style);
  int draw_style() const { return m_draw_style; }
  void SetSmooth(bool on) { m_smooth = on; }
  bool smooth() const { return m_smooth; }
  void SetTransparent(bool on);
  bool transparent() const { return m_transparent; }
  void SetTransparentColour(QRgb colour);
  QRgb transparent_colour() const { return m_transparent_colour; }

  // The picture with the filters applied and the transparent colour keyed out.
  const QImage& Drawn();
  void Draw(QPainter& painter, const QRect& area);

 private:
  QImage m_picture;
  QImage m_drawn;
  bool m_dirty = false;
  BackgroundFilters m_filters;
  int m_draw_style = 0;
  bool m_smooth = false;
  bool m_transparent = false;
  QRgb m_transparent_colour = qRgb(0, 0, 0);
};

}  // namespace morvane
