#pragma once

// What a player's sounds and videos share: the handlers of their graphs'
// notifications (start and finish scripts, loops and their delay timers),
// the sounds that start with their page, the page's auto-start video, the
// position reports, the full-screen register with its Escape watch, and the
// end of every playback at exit. Everything runs on the main thread.

#include "player/media/media_objects.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <memory>
#include <string>

namespace morvane {

class Player;
class TQMForm;
class MultimediaDevices;

class MediaHost : public QObject {
 public:
  // The player's host, made on the first call; it hooks itself into the
  // page's show script and into `TerminateApp`.
  static MediaHost& For(Player& player);
  ~MediaHost() override;

  // Connects a sound or video built on `page` to the handlers.
  void WireSound(TQMSound& sound, TQMForm& page);
  void WireVideo(TQMVideo& video, MediaGraph& graph, TQMForm& page);
  // The tracker named prefix + number reports into "_" + number + "_...".
  void BindTracker(PositionTracker& tracker, MediaGraph& graph, const std::string& number);
  // The one-shot start timer "TIMOBJ" + n of a sound that starts with its page.
  void StartSoundTimer(QTimer& timer, TQMSound& sound, TQMForm& page);
  // The page's `VideoTimer` starts this video, the last one asking.
  void AutoStartVideo(TQMVideo& video, TQMForm& page);

  // The host file of a Windows path; MediaError when there is none.
  std::string HostFile(const std::string& windows_path) const;
  // Clear, Active false, Active true, Render(file), Play.
  void RestartGraph(MediaGraph& graph, const std::string& windows_path);
  // Rebuilds a stopped or never built graph with the file, then runs it.
  void PlayGraph(MediaGraph& graph, const std::string& windows_path);
  // Clear, Active false and true (their failures ignored), then Render.
  void LoadGraph(MediaGraph& graph, const std::string& windows_path);
  // Position 0, keeping the stop position; then Play.
  static void RewindAndPlay(MediaGraph& graph);

  // Full screen on or off for a video (action 89).
  void FullScreen(TQMVideo& video, bool on);
  TQMVideo* full_screen() const { return m_full_screen; }

  // The multimedia command strings' devices.
  MultimediaDevices& devices();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit MediaHost(Player& player);
  void AfterShowScript(TQMForm& page);
  void StopAll();
  void SoundFinished(TQMSound& sound, TQMForm& page);
  void VideoFinished(TQMVideo& video, MediaGraph& graph, TQMForm& page);
  void RunEvent(PageObjectItem& item, const Script& script);
  // Traced at the time the graph reported it.
  void Trace(TQMForm& page, PageObjectItem& item, const char* what, const MediaGraph* graph);
  void LeaveFullScreen(TQMVideo& video);

  Player& m_player;
  QPointer<TQMVideo> m_full_screen;  // the full-screen register
  bool m_watching_escape = false;
  QElapsedTimer m_clock;  // the times of events without a graph
  std::unique_ptr<MultimediaDevices> m_devices;
};

}  // namespace morvane
