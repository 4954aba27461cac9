#pragma once

// Pictures of image objects and page backgrounds: the readers are tried in
// the order JPEG, BMP, PNG, GIF, Windows metafile (WMF or EMF), icon. A picture
// no reader understands, or one larger than the limits below allow, gives an
// empty picture.

#include <QByteArray>
#include <QImage>

#include <string_view>

namespace morvane {

struct PictureData {
  enum Format { kNone, kJpeg, kBitmap, kPng, kGif, kMetafile, kIcon };
  Format format = kNone;
  QImage image;       // the first frame
  QByteArray frames;  // the file again when it is a GIF of more than one frame
  // A GIF's logical-screen background, drawn under its transparent pixels
  // when the image is not transparent.
  QRgb gif_background = qRgb(255, 255, 255);

  bool empty() const { return image.isNull(); }
  bool animated() const { return !frames.isEmpty(); }
};

PictureData ReadPicture(std::string_view bytes);

}  // namespace morvane
