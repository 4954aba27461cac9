#pragma once

// The media engine as a whole: GStreamer, started the first time a media
// graph, a beep or a tone needs it, so a project without media pays nothing,
// and the audio output every graph uses.

#include <string>

typedef struct _GstElement GstElement;

namespace morvane {

// Where sound goes: a silent sink that still keeps real time, or the
// desktop's output.
enum class AudioOutput { kSilent, kDesktop };

// Chosen once at start: headless runs are silent unless asked otherwise.
void SetAudioOutput(AudioOutput output);
AudioOutput CurrentAudioOutput();

// Starts GStreamer on the first call; false, with the reason, when it cannot.
bool EnsureMediaEngine(std::string* why = nullptr);
// Whether anything has started the engine yet.
bool MediaEngineStarted();

// A new audio sink for one graph: `fakesink sync=true` when silent.
GstElement* MakeAudioSink();

}  // namespace morvane
