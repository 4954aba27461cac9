#include "player/media/media_objects.h"

#include <QPainter>
#include <QResizeEvent>

namespace morvane {

TQMSound::TQMSound(const PageObject& model, QObject* owner)
    : QObject(owner), PageObjectItem(model), m_graph(new MediaGraph(MediaKind::kSound, this)) {}

void TQMSound::SetVolume(int64_t v) {
  m_graph->SetVolume(v);
  volume = m_graph->volume();
}

ObjectSnapshot TQMSound::Snapshot() {
  ObjectSnapshot s = PageObjectItem::Snapshot();
  s.media_volume = volume;
  s.media_state = int32_t(m_graph->state());
  return s;
}

Script* TQMSound::EventScript(ObjectEvent event) {
  if (event == ObjectEvent::kStart) return &evntStart;
  if (event == ObjectEvent::kFinish) return &evntFinish;
  return nullptr;
}

TQMVideo::TQMVideo(const PageObject& model, QWidget* owner)
    : QWidget(owner), PageObjectItem(model) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(320, 240);
}

void TQMVideo::BindGraph(MediaGraph* graph) {
  m_graph = graph;
  if (graph)
    graph->on_frame = [self = QPointer<TQMVideo>(this)] {
      if (self) self->update();
    };
}

ObjectSnapshot TQMVideo::Snapshot() {
  ObjectSnapshot s = PageObjectItem::Snapshot();
  s.media_volume = m_graph ? m_graph->volume() : Volume;
  s.media_state = m_graph ? int32_t(m_graph->state()) : 0;
  return s;
}

Script* TQMVideo::EventScript(ObjectEvent event) {
  if (event == ObjectEvent::kStart) return &evntStart;
  if (event == ObjectEvent::kFinish) return &evntFinish;
  return nullptr;
}

void TQMVideo::Moved(int32_t left, int32_t top) {
  if (Stl) Stl->move(left, top);
  if (m_graph) {
    m_graph->Stop();
    m_graph->SetActive(false);
  }
  hide();
}

void TQMVideo::DestroyOwned(const std::function<void(std::string_view name)>& destroy) {
  // The still goes with the video rather than staying over the page.
  if (!Stl) return;
  destroy("IMG" + model().name);
  Stl = nullptr;
}

void TQMVideo::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QImage frame = m_graph ? m_graph->Frame() : QImage();
  if (frame.isNull()) {
    p.fillRect(rect(), Qt::black);
    return;
  }
  // The picture is stretched to the window's box.
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(rect(), frame);
}

void TQMVideo::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  update();
}

PositionTracker::PositionTracker(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setVisible(false);
  m_timer.setInterval(1000);
  QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
}

void PositionTracker::Bind(MediaGraph* graph,
                           std::function<void(int64_t current, int64_t duration)> report) {
  m_graph = graph;
  m_report = std::move(report);
  // The tracker ticks only while its graph holds a file.
  if (graph) {
    graph->on_rendered.push_back([self = QPointer<PositionTracker>(this)] {
      if (self && !self->m_timer.isActive()) self->m_timer.start();
    });
  }
}

void PositionTracker::Tick() {
  if (!m_graph || !m_graph->active() || !m_graph->rendered()) {
    m_timer.stop();
    return;
  }
  if (!isEnabled()) return;
  const std::optional<int64_t> current = m_graph->CurrentMs();
  const std::optional<int64_t> duration = m_graph->DurationMs();
  if (m_report) m_report(current.value_or(0), duration.value_or(0));
}

}  // namespace morvane
