#include "player/media/system_sounds.h"

#include "player/media/media_engine.h"

#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace morvane {
namespace {

constexpr const char* kThemeFolders[] = {"/usr/share/sounds/freedesktop/stereo/",
                                         "/usr/local/share/sounds/freedesktop/stereo/"};

std::mutex g_mutex;
std::condition_variable g_done;
int g_playing = 0;  // beeps under way; guarded by g_mutex
std::atomic<bool> g_stopping{false};

// A pipeline of a generated sine of that many milliseconds.
GstElement* TonePipeline(int32_t frequency, int32_t duration_ms) {
  GstElement* pipeline = gst_pipeline_new(nullptr);
  GstElement* source = gst_element_factory_make("audiotestsrc", nullptr);
  GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
  GstElement* sink = MakeAudioSink();
  if (!pipeline || !source || !convert || !sink) {
    for (GstElement* e : {pipeline, source, convert, sink})
      if (e) gst_object_unref(e);
    return nullptr;
  }
  // 10-ms buffers of 44100 Hz samples make the length exact to 10 ms.
  const int buffers = std::max(1, (duration_ms + 5) / 10);
  g_object_set(source, "freq", double(std::clamp(frequency, 37, 32767)), "samplesperbuffer", 441,
               "num-buffers", buffers, nullptr);
  gst_bin_add_many(GST_BIN(pipeline), source, convert, sink, nullptr);
  gst_element_link_many(source, convert, sink, nullptr);
  return pipeline;
}

GstElement* ThemePipeline(const std::string& file) {
  GstElement* playbin = gst_element_factory_make("playbin", nullptr);
  if (!playbin) return nullptr;
  gchar* uri = gst_filename_to_uri(file.c_str(), nullptr);
  g_object_set(playbin, "uri", uri, "flags", 0x02, nullptr);
  g_free(uri);
  if (GstElement* sink = MakeAudioSink()) g_object_set(playbin, "audio-sink", sink, nullptr);
  return playbin;
}

// Plays to the end, an error, the bound, the player's exit or until `go_on`
// says no.
void PlayToEnd(GstElement* pipeline, int64_t bound_ms,
               const std::function<bool()>& go_on = nullptr) {
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  for (int64_t waited = 0; waited < bound_ms && !g_stopping && (!go_on || go_on());
       waited += 50) {
    GstMessage* m = gst_bus_timed_pop_filtered(bus, 50 * GST_MSECOND,
                                               GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (m) {
      gst_message_unref(m);
      break;
    }
  }
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
}

}  // namespace

const char* BeepSoundName(int32_t type) {
  switch (type) {
    case 0x10:
      return "dialog-error";
    case 0x20:
      return "dialog-question";
    case 0x30:
      return "dialog-warning";
    case 0x40:
      return "dialog-information";
    case 0:
      return "message";
    default:
      return "bell";
  }
}

void PlayBeep(int32_t type) {
  if (g_stopping || !EnsureMediaEngine()) return;
  std::string file;
  for (const char* folder : kThemeFolders) {
    std::error_code ec;
    const std::string candidate = std::string(folder) + BeepSoundName(type) + ".oga";
    if (std::filesystem::is_regular_file(candidate, ec)) {
      file = candidate;
      break;
    }
  }
  GstElement* pipeline = file.empty() ? TonePipeline(750, 150) : ThemePipeline(file);
  if (!pipeline) return;
  {
    std::lock_guard lock(g_mutex);
    ++g_playing;
  }
  std::thread([pipeline] {
    PlayToEnd(pipeline, 5000);
    std::lock_guard lock(g_mutex);
    --g_playing;
    g_done.notify_all();
  }).detach();
}

void PlayTone(int32_t frequency, int32_t duration_ms, const std::function<bool()>& go_on) {
  if (duration_ms <= 0 || g_stopping || !EnsureMediaEngine()) return;
  GstElement* pipeline = TonePipeline(frequency, duration_ms);
  if (!pipeline) return;
  PlayToEnd(pipeline, int64_t(duration_ms) + 10000, go_on);
}

void StopSystemSounds() {
  g_stopping = true;
  // Each beep sees the flag within 50 ms.
  std::unique_lock lock(g_mutex);
  g_done.wait_for(lock, std::chrono::seconds(2), [] { return g_playing == 0; });
}

}  // namespace morvane
