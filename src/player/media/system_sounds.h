#pragma once

// Message beeps and tones. A beep plays the desktop sound theme's sound of
// its type, or a short generated tone when no theme is installed, and
// returns at once; a tone plays a generated sine and returns when it ends.
// Both go to the same audio output as the graphs, and may be asked for from
// any thread.

#include <cstdint>
#include <functional>
#include <string>

namespace morvane {

// The theme sound a beep type plays (MB_ICONHAND 0x10 and so on), as a
// sound name of the freedesktop theme.
const char* BeepSoundName(int32_t type);

void PlayBeep(int32_t type);
// Returns once the tone has played (at once for a duration of 0 or less), or
// as soon as `go_on` says no.
void PlayTone(int32_t frequency, int32_t duration_ms,
              const std::function<bool()>& go_on = nullptr);
// Ends the beeps still playing; called at exit.
void StopSystemSounds();

}  // namespace morvane
