#pragma once

// A media graph: one playbin that plays one file at a time, with the
// operations sounds and videos are driven by (Active, Clear, Render, Play,
// Pause, Stop, State, Volume, Position, current position and duration) and
// its notifications, delivered on the main thread: the start (the rendered
// file really began playing), the complete (every stream reached its end)
// and errors while it plays. Video frames come out of an appsink in BGRx and
// are painted by the video's own widget.
//
// Nothing of GStreamer exists before the first Render: a page of many sounds
// costs nothing until they play. Every call is made on the main thread.

#include <QImage>
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;

namespace morvane {

enum class MediaKind { kSound, kVideo };
enum class GraphState { kUninitialised = 0, kPlaying = 1, kPaused = 2, kStopped = 3 };

// A file that cannot be played; the message says why.
class MediaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct GraphLink;
struct EngineMends;

class MediaGraph : public QObject {
 public:
  explicit MediaGraph(MediaKind kind, QObject* parent = nullptr);
  ~MediaGraph() override;
  MediaGraph(const MediaGraph&) = delete;
  MediaGraph& operator=(const MediaGraph&) = delete;

  MediaKind kind() const { return m_kind; }

  // Active false releases the pipeline and everything it holds.
  void SetActive(bool on);
  bool active() const { return m_active; }
  // Stops and forgets the file; the pipeline stays for the next Render.
  void Clear();
  // Builds what plays the host file and waits until it is ready to play;
  // raises MediaError when it cannot be played (the graph is then clear).
  void Render(const std::string& host_path);
  bool rendered() const { return m_rendered; }

  void Play();
  void Pause();
  void Stop();
  GraphState state() const;

  // 0 to 10000, clamped; applied on the graph's own scale.
  void SetVolume(int64_t volume);
  int32_t volume() const { return m_volume; }

  // Milliseconds from the start of the file; nothing when nothing is rendered.
  void SetPositionMs(int64_t ms);
  // Plays from `from_ms` up to `to_ms`; a negative bound leaves it as it is.
  void SetSegmentMs(int64_t from_ms, int64_t to_ms);
  std::optional<int64_t> CurrentMs();
  std::optional<int64_t> DurationMs();

  // The latest video frame; null before the first.
  QImage Frame() const;

  std::function<void()> on_start;
  std::function<void()> on_complete;
  std::function<void(const std::string& message)> on_error;
  std::function<void()> on_frame;
  // Each is called once a file is rendered.
  std::vector<std::function<void()>> on_rendered;

  // Releases every graph's pipeline: nothing plays any more (at exit).
  static void ReleaseAll();

  // Called from streaming threads, through the graph's link.
  void TakeFrame(QImage frame);
  void DrainBus();

  // When the engine reported the notification being handled, in
  // milliseconds of its monotonic clock.
  int64_t event_ms() const { return int64_t(m_event_ns / 1000000); }

 private:
  void Build();
  void Release();
  void ApplyVolume();
  std::string TakeBusError();
  void Handle(GstMessage* message);

  MediaKind m_kind;
  bool m_active = true;
  bool m_rendered = false;
  bool m_stopped = false;
  bool m_started = false;  // the start of the current file was told
  GraphState m_wanted = GraphState::kStopped;
  int32_t m_volume = 10000;
  int64_t m_first_position_ns = 0;
  // How long a program stream was seen to be, kept while the same file is
  // rendered again (a loop that starts it anew).
  std::string m_length_file;
  int64_t m_length_ms = 0;
  uint64_t m_event_ns = 0;
  GstElement* m_pipeline = nullptr;
  std::shared_ptr<GraphLink> m_link;
  std::shared_ptr<EngineMends> m_mends;
  mutable std::mutex m_frame_mutex;
  QImage m_frame;  // guarded by m_frame_mutex
};

}  // namespace morvane
