#include "player/assets/cursor_file.h"

#include <QPixmap>

#include <cstdint>
#include <cstring>

namespace morvane {
namespace {

uint32_t U16(std::string_view b, size_t at) {
  return uint8_t(b[at]) | uint32_t(uint8_t(b[at + 1])) << 8;
}
uint32_t U32(std::string_view b, size_t at) {
  return U16(b, at) | U16(b, at + 2) << 16;
}

// A device-independent bitmap as stored in icon files: the header, the
// palette, the colour rows, then the 1-bit AND mask rows; the header's height
// counts both. Rows are bottom-up and padded to 4 bytes.
std::optional<QImage> ReadIconDib(std::string_view dib) {
  if (dib.size() < 40) return std::nullopt;
  uint32_t header_size = U32(dib, 0);
  int32_t width = int32_t(U32(dib, 4));
  int32_t double_height = int32_t(U32(dib, 8));
  uint32_t bits = U16(dib, 14);
  uint32_t compression = U32(dib, 16);
  uint32_t colours_used = U32(dib, 32);
  if (header_size < 40 || header_size > dib.size() || compression != 0) return std::nullopt;
  if (width <= 0 || width > 256 || double_height <= 0 || double_height > 512) return std::nullopt;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return std::nullopt;
  int height = double_height / 2;
  if (height == 0) return std::nullopt;
  uint32_t palette_size = bits <= 8 ? (colours_used ? colours_used : 1u << bits) : 0;
  if (palette_size > 256) return std::nullopt;
  size_t palette_at = header_size;
  size_t pixels_at = palette_at + size_t(palette_size) * 4;
  size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
  size_t mask_stride = ((size_t(width) + 31) / 32) * 4;
  size_t mask_at = pixels_at + stride * height;
  bool has_mask = mask_at + mask_stride * height <= dib.size();
  if (mask_at > dib.size()) return std::nullopt;

  QImage image(width, height, QImage::Format_ARGB32);
  bool any_alpha = false;
  for (int row = 0; row < height; ++row) {
    const char* line = dib.data() + pixels_at + stride * (height - 1 - row);
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(row));
    for (int x = 0; x < width; ++x) {
      QRgb pixel = 0;
      if (bits == 32) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(line) + x * 4;
        pixel = qRgba(p[2], p[1], p[0], p[3]);
        any_alpha = any_alpha || p[3] != 0;
      } else if (bits == 24) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(line) + x * 3;
        pixel = qRgb(p[2], p[1], p[0]);
      } else {
        int per_byte = 8 / int(bits);
        uint8_t byte = uint8_t(line[x / per_byte]);
        int shift = 8 - int(bits) * (x % per_byte + 1);
        uint32_t index = (byte >> shift) & ((1u << bits) - 1);
        if (index < palette_size) {
          const char* q = dib.data() + palette_at + index * 4;
          pixel = qRgb(uint8_t(q[2]), uint8_t(q[1]), uint8_t(q[0]));
        }
      }
      out[x] = pixel;
    }
  }
  // The AND mask decides transparency unless the 32-bit colours carry alpha.
  if (!(bits == 32 && any_alpha)) {
    for (int row = 0; row < height; ++row) {
      auto* out = reinterpret_cast<QRgb*>(image.scanLine(row));
      const char* mask =
          has_mask ? dib.data() + mask_at + mask_stride * (height - 1 - row) : nullptr;
      for (int x = 0; x < width; ++x) {
        bool transparent = mask && ((uint8_t(mask[x / 8]) >> (7 - x % 8)) & 1);
        out[x] = transparent ? qRgba(0, 0, 0, 0) : (out[x] | 0xff000000u);
      }
    }
  }
  return image;
}

}  // namespace

std::optional<CursorFrame> ReadCursorFile(std::string_view bytes) {
  if (bytes.size() < 6 || U16(bytes, 0) != 0) return std::nullopt;
  uint32_t type = U16(bytes, 2), count = U16(bytes, 4);
  if ((type != 1 && type != 2) || count == 0 || 6 + size_t(count) * 16 > bytes.size()) {
    return std::nullopt;
  }
  std::optional<CursorFrame> best;
  for (uint32_t i = 0; i < count; ++i) {
    size_t entry = 6 + size_t(i) * 16;
    uint32_t size = U32(bytes, entry + 8), offset = U32(bytes, entry + 12);
    if (offset > bytes.size() || size > bytes.size() - offset) continue;
    std::string_view data = bytes.substr(offset, size);
    std::optional<QImage> image;
    if (data.size() >= 8 && std::memcmp(data.data(), "\x89PNG", 4) == 0) {
      QImage png;
      if (png.loadFromData(reinterpret_cast<const uchar*>(data.data()), int(data.size()), "PNG")) {
        image = png.convertToFormat(QImage::Format_ARGB32);
      }
    } else {
      image = ReadIconDib(data);
    }
    if (!image) continue;
    if (best && best->image.width() * best->image.height() >= image->width() * image->height()) {
      continue;
    }
    CursorFrame frame;
    frame.image = *image;
    if (type == 2) {
      frame.hot_x = std::min<int>(int(U16(bytes, entry + 4)), image->width() - 1);
      frame.hot_y = std::min<int>(int(U16(bytes, entry + 6)), image->height() - 1);
    } else {
      frame.hot_x = image->width() / 2;
      frame.hot_y = image->height() / 2;
    }
    best = frame;
  }
  return best;
}

std::optional<CursorAnimation> ReadAnimatedCursor(std::string_view bytes) {
  if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "ACON") {
    return std::nullopt;
  }
  CursorAnimation animation;
  uint32_t steps = 0, default_rate = 10;
  std::vector<uint32_t> rates, sequence;
  // Chunks nest one level deep inside "LIST" chunks; a bounded walk of both.
  auto walk = [&](auto&& self, std::string_view body, int depth) -> void {
    size_t at = 0;
    while (at + 8 <= body.size()) {
      std::string_view id = body.substr(at, 4);
      uint32_t size = U32(body, at + 4);
      if (size > body.size() - at - 8) size = uint32_t(body.size() - at - 8);
      std::string_view data = body.substr(at + 8, size);
      if (id == "anih" && data.size() >= 36) {
        steps = U32(data, 8);
        default_rate = U32(data, 28);
      } else if (id == "rate") {
        for (size_t i = 0; i + 4 <= data.size(); i += 4) rates.push_back(U32(data, i));
      } else if (id == "seq ") {
        for (size_t i = 0; i + 4 <= data.size(); i += 4) sequence.push_back(U32(data, i));
      } else if (id == "icon") {
        if (std::optional<CursorFrame> frame = ReadCursorFile(data)) {
          animation.frames.push_back(std::move(*frame));
        }
      } else if (id == "LIST" && depth == 0 && data.size() >= 4) {
        self(self, data.substr(4), depth + 1);
      }
      at += 8 + size + (size & 1);
    }
  };
  walk(walk, bytes.substr(12), 0);
  if (animation.frames.empty()) return std::nullopt;
  if (sequence.empty()) {
    for (uint32_t i = 0; i < animation.frames.size(); ++i) sequence.push_back(i);
  }
  if (steps != 0 && steps < sequence.size()) sequence.resize(steps);
  for (size_t i = 0; i < sequence.size(); ++i) {
    if (sequence[i] >= animation.frames.size()) return std::nullopt;
    uint32_t jiffies = i < rates.size() ? rates[i] : default_rate;
    if (jiffies == 0) jiffies = 1;
    animation.sequence.push_back(int(sequence[i]));
    // A jiffy is 1/60 s.
    animation.durations_ms.push_back(int(std::min<uint32_t>(jiffies, 6000) * 1000 / 60));
  }
  return animation;
}

std::optional<CursorAnimation> ReadAnyCursor(std::string_view bytes) {
  if (std::optional<CursorAnimation> animated = ReadAnimatedCursor(bytes)) return animated;
  std::optional<CursorFrame> frame = ReadCursorFile(bytes);
  if (!frame) return std::nullopt;
  CursorAnimation single;
  single.frames.push_back(std::move(*frame));
  single.sequence = {0};
  single.durations_ms = {0};
  return single;
}

QCursor MakeCursor(const CursorFrame& frame) {
  return QCursor(QPixmap::fromImage(frame.image), frame.hot_x, frame.hot_y);
}

}  // namespace morvane
