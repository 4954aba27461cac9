#pragma once

// The two volume scales of media graphs. A volume runs from 0 (silent) to
// 10000 (full); the graph applies it as an attenuation in hundredths of a
// decibel, 0 at full level and -10000 at silence.

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace morvane {

inline int32_t ClampVolume(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, 0, 10000));
}

// Sounds: logarithmic, so that the middle of the scale sounds like the middle.
inline int32_t SoundAttenuation(int32_t volume) {
  const double v = ClampVolume(volume);
  return int32_t(std::nearbyint(std::log(v + 1.0) * 1085.73)) - 10000;
}

// Videos: the volume less 10000.
inline int32_t VideoAttenuation(int32_t volume) {
  return ClampVolume(volume) - 10000;
}

}  // namespace morvane
