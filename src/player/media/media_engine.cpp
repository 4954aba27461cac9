#include "player/media/media_engine.h"

#include <gst/gst.h>

#include <atomic>
#include <mutex>

namespace morvane {
namespace {

std::atomic<AudioOutput> g_output{AudioOutput::kDesktop};
std::once_flag g_once;
bool g_ready = false;
std::string g_failure;
std::atomic<bool> g_started{false};

}  // namespace

void SetAudioOutput(AudioOutput output) {
  g_output = output;
}

AudioOutput CurrentAudioOutput() {
  return g_output;
}

bool EnsureMediaEngine(std::string* why) {
  std::call_once(g_once, [] {
    GError* error = nullptr;
    g_ready = gst_init_check(nullptr, nullptr, &error);
    if (!g_ready) g_failure = error ? error->message : "the media engine cannot start";
    if (error) g_error_free(error);
    g_started = true;
  });
  if (!g_ready && why) *why = g_failure;
  return g_ready;
}

bool MediaEngineStarted() {
  return g_started;
}

GstElement* MakeAudioSink() {
  if (g_output == AudioOutput::kDesktop) {
    if (GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr)) return sink;
  }
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  if (sink) g_object_set(sink, "sync", TRUE, nullptr);
  return sink;
}

}  // namespace morvane
