// Reads arbitrary bytes as a static (.cur, .ico) or animated (.ani) cursor.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "player/assets/cursor_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (std::optional<morvane::CursorAnimation> cursor = morvane::ReadAnyCursor(bytes)) {
    // What the player relies on: every step names a frame and has a duration.
    if (cursor->sequence.size() != cursor->durations_ms.size()) __builtin_trap();
    for (int frame : cursor->sequence) {
      if (frame < 0 || size_t(frame) >= cursor->frames.size()) __builtin_trap();
    }
    for (const morvane::CursorFrame& f : cursor->frames) {
      if (f.image.isNull() || f.hot_x < 0 || f.hot_y < 0 || f.hot_x >= f.image.width() ||
          f.hot_y >= f.image.height()) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
