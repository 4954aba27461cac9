#include "player/assets/picture_reader.h"

#include "player/assets/metafile_reader.h"

#include <QBuffer>
#include <QImageReader>

namespace morvane {
namespace {

// The limits on hostile input, for every picture: a picture of more pixels is
// refused from its header, before anything is decoded, and no reader may
// allocate more (room for the largest picture allowed at 8 bytes a pixel, as
// 16-bit PNGs decode).
constexpr qint64 kMaxPixels = 64ll * 1024 * 1024;
constexpr int kMaxAllocationMegabytes = int(kMaxPixels * 8 / (1024 * 1024));

QRgb GifBackground(std::string_view b) {
  if (b.size() < 13) return qRgb(255, 255, 255);
  auto flags = uint8_t(b[10]);
  auto index = uint8_t(b[11]);
  if (!(flags & 0x80)) return qRgb(255, 255, 255);
  size_t entries = size_t(1) << ((flags & 7) + 1);
  if (index >= entries || 13 + size_t(index) * 3 + 3 > b.size()) return qRgb(255, 255, 255);
  size_t at = 13 + size_t(index) * 3;
  return qRgb(uint8_t(b[at]), uint8_t(b[at + 1]), uint8_t(b[at + 2]));
}

}  // namespace

PictureData ReadPicture(std::string_view bytes) {
  PictureData out;
  const QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
  struct Reader {
    const char* name;
    PictureData::Format format;
  };
  static const Reader kReaders[] = {{"jpeg", PictureData::kJpeg}, {"bmp", PictureData::kBitmap},
                                    {"png", PictureData::kPng},   {"gif", PictureData::kGif},
                                    {"", PictureData::kMetafile}, {"ico", PictureData::kIcon}};
  for (const Reader& r : kReaders) {
    if (r.format == PictureData::kMetafile) {
      if (!LooksLikeMetafile(bytes)) continue;
      QImage image = ReadMetafile(bytes);
      if (image.isNull()) continue;
      out.format = r.format;
      out.image = std::move(image);
      return out;
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, r.name);
    reader.setAutoDetectImageFormat(false);
    reader.setAllocationLimit(kMaxAllocationMegabytes);
    if (!reader.canRead()) continue;
    QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxPixels) continue;
    QImage image = reader.read();
    if (image.isNull()) continue;
    out.format = r.format;
    out.image = std::move(image);
    if (r.format == PictureData::kGif) {
      out.gif_background = GifBackground(bytes);
      if (reader.imageCount() > 1 || reader.supportsAnimation()) {
        QBuffer again;
        again.setData(data);
        again.open(QIODevice::ReadOnly);
        QImageReader counter(&again, "gif");
        counter.setAutoDetectImageFormat(false);
        // The frames outlive the caller's bytes: a copy of its own.
        if (counter.imageCount() > 1)
          out.frames = QByteArray(bytes.data(), qsizetype(bytes.size()));
      }
    }
    return out;
  }
  return out;
}

}  // namespace morvane
