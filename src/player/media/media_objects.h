#pragma once

// Sound and video objects. A sound is its own media graph; a video is a
// window that shows what its graph "FIL" + n renders, with the still "IMG" + n
// over its box. Both report their position through a tracker ("SND" + n,
// "TRK" + n) once a second while their graph holds a file.

#include "player/media/media_graph.h"
#include "player/objects/image_object.h"
#include "player/objects/page_object.h"

#include <QPointer>
#include <QSlider>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace morvane {

class TQMSound : public QObject, public PageObjectItem {
 public:
  TQMSound(const PageObject& model, QObject* owner);
  QObject* AsObject() override { return this; }
  ObjectSnapshot Snapshot() override;
  Script* EventScript(ObjectEvent event) override;

  MediaGraph& graph() { return *m_graph; }
  // The volume setting, 0 to 10000, given to the graph.
  void SetVolume(int64_t v);

  Script evntStart, evntFinish;
  bool Loop = false;
  int32_t DelayBetweenLoops = 0;
  bool PlayWithPageStart = false;
  int32_t NumberOfLoops = 0;
  std::string FileName;  // expanded, a Windows path
  int32_t volume = 0;
  int loop_counter = 0;

 private:
  MediaGraph* m_graph;  // a child: the sound's own graph
};

class TQMVideo : public QWidget, public PageObjectItem {
 public:
  TQMVideo(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }
  ObjectSnapshot Snapshot() override;
  Script* EventScript(ObjectEvent event) override;
  // The still follows the video; the video stops and waits to be played again.
  void Moved(int32_t left, int32_t top) override;
  void DestroyOwned(const std::function<void(std::string_view name)>& destroy) override;

  // The graph "FIL" + n; nothing once a script deleted it.
  MediaGraph* graph() const { return m_graph; }
  void BindGraph(MediaGraph* graph);

  std::string Path;
  bool Loop = false;
  int32_t DelayBetweenLoops = 0;
  bool PlayWithPageStart = false;
  int32_t Speed = 0;
  int32_t Volume = 0;
  TQMImage* Stl = nullptr;  // the still image "IMG" + name
  Script evntStart, evntFinish;
  int32_t TempWidth = 0, TempHeight = 0, TempLeft = 0, TempTop = 0;
  // Filling its page (full screen) until full screen ends.
  bool aligned = false;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QPointer<MediaGraph> m_graph;
};

// A hidden track bar bound to a graph: every second while its graph holds a
// file it hands the position and duration (milliseconds) to `report`.
class PositionTracker : public QSlider {
 public:
  PositionTracker(QWidget* parent);
  void Bind(MediaGraph* graph, std::function<void(int64_t current, int64_t duration)> report);

 private:
  void Tick();
  QPointer<MediaGraph> m_graph;
  QTimer m_timer;
  std::function<void(int64_t, int64_t)> m_report;
};

}  // namespace morvane
