#pragma once

// How the classic Windows desktop drew controls: its system colours, the
// sunken client edge, the single border, the bevels of edits and list boxes
// and the dotted focus rectangle. Object widgets use the classic widget style
// so scroll bars and push buttons look the same.

#include "package/project_model.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRect>
#include <QSize>
#include <QStyle>

#include <cstdint>
#include <string_view>

namespace morvane {

namespace classic {
inline const QColor kFace{212, 208, 200};       // button face
inline const QColor kLight{212, 208, 200};      // 3-D light
inline const QColor kHighlight{255, 255, 255};  // button highlight
inline const QColor kShadow{128, 128, 128};     // button shadow
inline const QColor kDarkShadow{64, 64, 64};    // 3-D dark shadow
inline const QColor kWindowFrame{0, 0, 0};
inline const QColor kSelection{10, 36, 106};  // highlight
}  // namespace classic

QColor ToQColor(const Colour& c);

// The shared classic style (one instance for the run).
QStyle* ClassicStyle();
// A classic style whose password character is `c`; one per character.
QStyle* PasswordStyle(QChar c);

// The frame of an edit or list box: bevel (kind, inner, outer) outermost,
// then the border (single: the sunken client edge with the 3-D look, else a
// black line; none). Widths in pixels on every side.
struct FrameSpec {
  int bevel_kind = 3, inner_bevel = 3, outer_bevel = 3, border = 0;
  bool ctl3d = true;
  int BevelWidth() const;
  int BorderWidth() const;
  int Width() const { return BevelWidth() + BorderWidth(); }
};
FrameSpec FrameOf(const PageObject& o);
void DrawFrame(QPainter& painter, const QRect& outer, const FrameSpec& frame);

// A font as an object names it: family and character set from the package,
// the size in points at 96 dots per inch, the four style flags.
QFont ObjectFont(const PageObject& o, int project_code_page);

// A hint text for display: "\q" a double quote, "\br" a line break; "\q\q"
// and "\br\br" keep the literal escapes.
std::string HintText(std::string_view raw);

// The dotted focus rectangle (every other pixel inverted).
void DrawFocusRect(QPainter& painter, const QRect& rect);

// Whether a control of this size keeps a picture of itself between paints.
// A larger one (a package may ask for 32767 x 32767) draws only what each
// paint exposes instead: its whole picture would cost gigabytes.
inline bool KeepsWholePicture(QSize size) {
  return int64_t(size.width()) * size.height() <= int64_t{2048} * 2048;
}

}  // namespace morvane
