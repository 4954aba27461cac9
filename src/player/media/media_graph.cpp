#include "player/media/media_graph.h"

#include "player/media/engine_mends.h"
#include "player/media/media_engine.h"
#include "player/media/volume_scale.h"

#include <gst/app/gstappsink.h>
#include <gst/audio/streamvolume.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <filesystem>
#include <unordered_set>

namespace morvane {

// What streaming threads reach the graph through. The graph clears
// `graph` under the lock before it goes, so a late message or frame finds
// nobody instead of a freed graph.
struct GraphLink {
  std::mutex mutex;
  MediaGraph* graph = nullptr;  // guarded by mutex
  std::atomic<bool> drain_queued{false};
  // The bus's messages, taken as they are posted (the bus's own queue
  // would get them only after the handler returns, too late for a drain
  // already under way).
  std::deque<GstMessage*> messages;  // guarded by mutex
  std::atomic<bool> frame_queued{false};
};

namespace {

// playbin's flags.
constexpr guint kFlagVideo = 0x01, kFlagAudio = 0x02, kFlagSoftVolume = 0x10,
                kFlagNativeVideo = 0x40;
// Long enough for any file a project carries to get ready on a busy
// machine; a file that takes longer counts as unplayable.
constexpr GstClockTime kRenderTimeout = 15 * GST_SECOND;

// A handler that answers GST_BUS_DROP owns the message: the graph's queue
// keeps the reference the bus hands over, and drops it once handled.
GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
  auto& link = **static_cast<std::shared_ptr<GraphLink>*>(data);
  std::lock_guard lock(link.mutex);
  if (!link.graph) {
    gst_message_unref(message);
    return GST_BUS_DROP;
  }
  // The time it happened, for the trace; the bus leaves the field unset.
  GST_MESSAGE_TIMESTAMP(message) = gst_util_get_timestamp();
  link.messages.push_back(message);
  if (!link.drain_queued.exchange(true)) {
    MediaGraph* graph = link.graph;
    QMetaObject::invokeMethod(
        graph, [graph] { graph->DrainBus(); }, Qt::QueuedConnection);
  }
  return GST_BUS_DROP;
}

// Takes the messages posted so far; the caller unrefs them.
std::deque<GstMessage*> TakeMessages(GraphLink& link) {
  std::lock_guard lock(link.mutex);
  link.drain_queued = false;
  std::deque<GstMessage*> taken;
  taken.swap(link.messages);
  return taken;
}

GstFlowReturn OnNewSample(GstAppSink* sink, gpointer data) {
  auto& link = **static_cast<std::shared_ptr<GraphLink>*>(data);
  GstSample* sample = gst_app_sink_pull_sample(sink);
  if (!sample) return GST_FLOW_OK;
  GstVideoInfo info;
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  GstCaps* caps = gst_sample_get_caps(sample);
  QImage frame;
  if (buffer && caps && gst_video_info_from_caps(&info, caps)) {
    GstVideoFrame mapped;
    if (gst_video_frame_map(&mapped, &info, buffer, GST_MAP_READ)) {
      // BGRx in memory is 0xffRRGGBB read as a 32-bit word on little-endian
      // machines: QImage's RGB32.
      const QImage view(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0)),
                        GST_VIDEO_FRAME_WIDTH(&mapped), GST_VIDEO_FRAME_HEIGHT(&mapped),
                        GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0), QImage::Format_RGB32);
      frame = view.copy();
      gst_video_frame_unmap(&mapped);
    }
  }
  gst_sample_unref(sample);
  std::lock_guard lock(link.mutex);
  if (link.graph && !frame.isNull()) link.graph->TakeFrame(std::move(frame));
  return GST_FLOW_OK;
}

// Every graph that exists; main thread only.
std::unordered_set<MediaGraph*>& Graphs() {
  static std::unordered_set<MediaGraph*> graphs;
  return graphs;
}

void DeleteLink(gpointer data) {
  delete static_cast<std::shared_ptr<GraphLink>*>(data);
}

}  // namespace

MediaGraph::MediaGraph(MediaKind kind, QObject* parent)
    : QObject(parent), m_kind(kind), m_link(std::make_shared<GraphLink>()) {
  m_link->graph = this;
  Graphs().insert(this);
}

void MediaGraph::ReleaseAll() {
  for (MediaGraph* graph : Graphs()) graph->Release();
}

MediaGraph::~MediaGraph() {
  {
    std::lock_guard lock(m_link->mutex);
    m_link->graph = nullptr;
  }
  Graphs().erase(this);
  Release();
  for (GstMessage* m : TakeMessages(*m_link)) gst_message_unref(m);
}

void MediaGraph::Build() {
  m_pipeline = gst_element_factory_make("playbin", nullptr);
  if (!m_pipeline) throw MediaError("The media engine has no playbin element.");
  gst_object_ref_sink(m_pipeline);
  guint flags = kFlagAudio | kFlagSoftVolume;
  if (m_kind == MediaKind::kVideo) flags |= kFlagVideo | kFlagNativeVideo;
  g_object_set(m_pipeline, "flags", flags, nullptr);
  if (GstElement* audio = MakeAudioSink()) g_object_set(m_pipeline, "audio-sink", audio, nullptr);
  if (m_kind == MediaKind::kVideo) {
    GError* error = nullptr;
    GstElement* video = gst_parse_bin_from_description(
        "videoconvert ! appsink name=frames caps=video/x-raw,format=BGRx max-buffers=2 drop=true "
        "qos=true",
        TRUE, &error);
    if (error) g_error_free(error);
    if (video) {
      if (GstElement* sink = gst_bin_get_by_name(GST_BIN(video), "frames")) {
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = OnNewSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks,
                                   new std::shared_ptr<GraphLink>(m_link), DeleteLink);
        gst_object_unref(sink);
      }
      g_object_set(m_pipeline, "video-sink", video, nullptr);
    }
  }
  m_mends = std::make_shared<EngineMends>();
  WatchForEngineFaults(m_pipeline, m_mends);
  GstBus* bus = gst_element_get_bus(m_pipeline);
  gst_bus_set_sync_handler(bus, OnBusMessage, new std::shared_ptr<GraphLink>(m_link), DeleteLink);
  gst_object_unref(bus);
}

void MediaGraph::Release() {
  m_rendered = false;
  m_stopped = false;
  if (!m_pipeline) return;
  gst_element_set_state(m_pipeline, GST_STATE_NULL);
  GstBus* bus = gst_element_get_bus(m_pipeline);
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
  gst_object_unref(bus);
  gst_object_unref(m_pipeline);
  m_pipeline = nullptr;
  for (GstMessage* m : TakeMessages(*m_link)) gst_message_unref(m);
  std::lock_guard lock(m_frame_mutex);
  m_frame = QImage();
}

void MediaGraph::SetActive(bool on) {
  if (!on) Release();
  m_active = on;
}

void MediaGraph::Clear() {
  m_rendered = false;
  m_stopped = false;
  m_started = false;
  if (!m_pipeline) return;
  gst_element_set_state(m_pipeline, GST_STATE_NULL);
  // What the old file left on the bus is no news any more.
  for (GstMessage* m : TakeMessages(*m_link)) gst_message_unref(m);
}

std::string MediaGraph::TakeBusError() {
  std::string message;
  for (GstMessage* m : TakeMessages(*m_link)) {
    if (message.empty() && GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) {
      GError* error = nullptr;
      gst_message_parse_error(m, &error, nullptr);
      if (error) message = error->message;
      if (error) g_error_free(error);
    }
    gst_message_unref(m);
  }
  return message;
}

void MediaGraph::Render(const std::string& host_path) {
  std::string why;
  if (!EnsureMediaEngine(&why)) throw MediaError("The media engine cannot start: " + why);
  if (!m_active) throw MediaError("The media graph is not active.");
  Clear();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(host_path, ec))
    throw MediaError("Cannot render the file: the system cannot find the file specified.");
  if (!m_pipeline) Build();
  GError* error = nullptr;
  gchar* uri = gst_filename_to_uri(host_path.c_str(), &error);
  if (error) g_error_free(error);
  if (!uri) throw MediaError("Cannot render the file: its name is not valid.");
  g_object_set(m_pipeline, "uri", uri, nullptr);
  g_free(uri);
  m_mends->program_stream = false;
  m_mends->adpcm_rescaled = false;
  m_mends->parsed_end_ns = -1;
  m_first_position_ns = 0;
  if (host_path != m_length_file) {
    m_length_file = host_path;
    m_length_ms = 0;
  }
  {
    std::lock_guard lock(m_frame_mutex);
    m_frame = QImage();
  }
  GstStateChangeReturn r = gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
  if (r == GST_STATE_CHANGE_ASYNC)
    r = gst_element_get_state(m_pipeline, nullptr, nullptr, kRenderTimeout);
  if (r == GST_STATE_CHANGE_FAILURE || r == GST_STATE_CHANGE_ASYNC) {
    std::string reason = TakeBusError();
    if (reason.empty()) reason = r == GST_STATE_CHANGE_ASYNC ? "it does not get ready" : "unknown";
    Clear();
    throw MediaError("Cannot render the file: " + reason);
  }
  m_rendered = true;
  m_stopped = true;
  m_wanted = GraphState::kStopped;
  ApplyVolume();
  if (m_mends->program_stream) {
    gint64 first = 0;
    if (gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &first) && first > 0)
      m_first_position_ns = first;
  }
  for (const auto& each : on_rendered) each();
}

void MediaGraph::Play() {
  if (!m_rendered) return;
  m_stopped = false;
  m_wanted = GraphState::kPlaying;
  gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
}

void MediaGraph::Pause() {
  if (!m_rendered) return;
  m_stopped = false;
  m_wanted = GraphState::kPaused;
  gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
}

void MediaGraph::Stop() {
  if (!m_rendered) return;
  // Stopped keeps the file ready at its position, as a paused graph.
  m_stopped = true;
  m_wanted = GraphState::kStopped;
  gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
}

GraphState MediaGraph::state() const {
  if (!m_rendered) return GraphState::kUninitialised;
  return m_stopped ? GraphState::kStopped : m_wanted;
}

void MediaGraph::SetVolume(int64_t volume) {
  m_volume = ClampVolume(volume);
  ApplyVolume();
}

void MediaGraph::ApplyVolume() {
  if (!m_pipeline) return;
  const int32_t attenuation =
      m_kind == MediaKind::kSound ? SoundAttenuation(m_volume) : VideoAttenuation(m_volume);
  gst_stream_volume_set_volume(GST_STREAM_VOLUME(m_pipeline), GST_STREAM_VOLUME_FORMAT_DB,
                               attenuation / 100.0);
}

void MediaGraph::SetPositionMs(int64_t ms) {
  if (!m_rendered) return;
  const gint64 target = std::max<int64_t>(ms, 0) * GST_MSECOND;
  gst_element_seek_simple(m_pipeline, GST_FORMAT_TIME,
                          GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), target);
}

void MediaGraph::SetSegmentMs(int64_t from_ms, int64_t to_ms) {
  if (!m_rendered) return;
  gst_element_seek(
      m_pipeline, 1.0, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
      from_ms < 0 ? GST_SEEK_TYPE_NONE : GST_SEEK_TYPE_SET, from_ms < 0 ? 0 : from_ms * GST_MSECOND,
      to_ms < 0 ? GST_SEEK_TYPE_NONE : GST_SEEK_TYPE_SET, to_ms < 0 ? 0 : to_ms * GST_MSECOND);
}

std::optional<int64_t> MediaGraph::CurrentMs() {
  if (!m_rendered) return std::nullopt;
  gint64 position = 0;
  if (!gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &position)) return std::nullopt;
  position -= m_first_position_ns;
  return std::max<int64_t>(position, 0) / GST_MSECOND;
}

std::optional<int64_t> MediaGraph::DurationMs() {
  if (!m_rendered) return std::nullopt;
  gint64 duration = 0;
  if (!gst_element_query_duration(m_pipeline, GST_FORMAT_TIME, &duration) || duration < 0)
    return std::nullopt;
  int64_t ms = duration / GST_MSECOND;
  // A program stream's duration runs short of its last frame: the file
  // lasts at least up to the end of the last frame parsed.
  if (m_mends->program_stream) {
    const int64_t parsed_end = m_mends->parsed_end_ns.load();
    if (parsed_end > m_first_position_ns)
      m_length_ms = std::max<int64_t>(m_length_ms, (parsed_end - m_first_position_ns) / GST_MSECOND);
    ms = std::max(ms, m_length_ms);
  }
  return ms;
}

QImage MediaGraph::Frame() const {
  std::lock_guard lock(m_frame_mutex);
  return m_frame;
}

void MediaGraph::TakeFrame(QImage frame) {
  {
    std::lock_guard lock(m_frame_mutex);
    m_frame = std::move(frame);
  }
  if (!m_link->frame_queued.exchange(true)) {
    QMetaObject::invokeMethod(
        this,
        [this] {
          m_link->frame_queued = false;
          if (on_frame) on_frame();
        },
        Qt::QueuedConnection);
  }
}

void MediaGraph::DrainBus() {
  std::deque<GstMessage*> messages = TakeMessages(*m_link);
  GstElement* pipeline = m_pipeline;
  // A handler may clear or release the graph: what is left then is no news.
  while (!messages.empty()) {
    GstMessage* m = messages.front();
    messages.pop_front();
    if (m_pipeline && m_pipeline == pipeline) Handle(m);
    gst_message_unref(m);
  }
}

void MediaGraph::Handle(GstMessage* m) {
  switch (GST_MESSAGE_TYPE(m)) {
    case GST_MESSAGE_STATE_CHANGED:
      if (GST_MESSAGE_SRC(m) == GST_OBJECT(m_pipeline) && m_rendered) {
        GstState old_state, new_state;
        gst_message_parse_state_changed(m, &old_state, &new_state, nullptr);
        if (new_state == GST_STATE_PLAYING && !m_started) {
          m_started = true;
          m_event_ns = GST_MESSAGE_TIMESTAMP(m);
          if (on_start) on_start();
        }
      }
      break;
    case GST_MESSAGE_EOS:
      m_event_ns = GST_MESSAGE_TIMESTAMP(m);
      // The whole file went through: its length is known for the next pass.
      if (m_rendered && m_mends->program_stream) DurationMs();
      if (m_rendered && on_complete) on_complete();
      break;
    case GST_MESSAGE_ERROR: {
      GError* error = nullptr;
      gst_message_parse_error(m, &error, nullptr);
      std::string message = error ? error->message : "playback failed";
      if (error) g_error_free(error);
      if (m_rendered) {
        m_event_ns = GST_MESSAGE_TIMESTAMP(m);
        Clear();
        if (on_error) on_error(message);
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace morvane
