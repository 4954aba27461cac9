#pragma once

// Windows cursor files: static .cur (and .ico) files and animated .ani files.
// Read here rather than through an image plug-in because the hot spot, the
// frame rates and the frame sequence are part of the cursor.

#include <QCursor>
#include <QImage>

#include <optional>
#include <string_view>
#include <vector>

namespace morvane {

struct CursorFrame {
  QImage image;
  int hot_x = 0, hot_y = 0;
};

struct CursorAnimation {
  std::vector<CursorFrame> frames;
  // The frames to show in order, with how long each shows in milliseconds.
  std::vector<int> sequence;
  std::vector<int> durations_ms;
};

// The largest image of a .cur or .ico file; nothing for anything else.
std::optional<CursorFrame> ReadCursorFile(std::string_view bytes);

// An .ani file (RIFF "ACON"); nothing when it holds no readable frame or its
// sequence names a frame it lacks.
std::optional<CursorAnimation> ReadAnimatedCursor(std::string_view bytes);

// Either kind; a static cursor gives one frame.
std::optional<CursorAnimation> ReadAnyCursor(std::string_view bytes);

QCursor MakeCursor(const CursorFrame& frame);

}  // namespace morvane
