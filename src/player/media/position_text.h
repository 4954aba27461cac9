#pragma once

// The position of media as scripts read it: HH:MM:SS from whole seconds,
// each field at least two digits; hours grow past 99.

#include <cstdint>
#include <cstdio>
#include <string>

namespace morvane {

struct PositionParts {
  int64_t hours, minutes, seconds;
};

inline PositionParts SplitPosition(int64_t ms) {
  const int64_t whole = ms < 0 ? 0 : ms / 1000;
  const int64_t minutes = whole / 60;
  return {minutes / 60, minutes % 60, whole % 60};
}

inline std::string PositionText(int64_t ms) {
  const PositionParts p = SplitPosition(ms);
  char text[64];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(p.hours),
                static_cast<long long>(p.minutes), static_cast<long long>(p.seconds));
  return text;
}

}  // namespace morvane
