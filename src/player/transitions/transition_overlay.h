#pragma once

// One effect playing over a page: a child widget covering the page inside
// the page's own window (no window of its own), showing frames drawn from the
// clock. Each tick draws the state at the time elapsed, so a slow machine
// drops frames instead of stretching the effect; once the duration has
// passed the overlay reports the end and the page itself shows.

#include "player/transitions/transition_frame.h"
#include "player/transitions/transition_settings.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace morvane {

class TransitionOverlay : public QWidget {
 public:
  // What the effect has cost so far: CPU time of drawing and painting frames.
  struct Stats {
    int frames = 0;
    double total_ms = 0;
    double worst_ms = 0;
  };

  // Covers `page` with `from`, what was on screen where the page appears.
  // `mask` is the mask kind's picture; without one the mask kind blends.
  TransitionOverlay(QWidget& page, TransitionKind kind, const TransitionOptions& options,
                    int duration_ms, const QImage& from, const QImage& mask = QImage());
  ~TransitionOverlay() override;

  // What the effect draws (blend in place of a mask kind without a mask).
  TransitionKind kind() const { return m_kind; }
  int duration_ms() const { return m_duration_ms; }

  // Starts the clock. `grab` gives the page's picture as it will show,
  // again whenever the page's size changes; `ended` is called once, when the
  // duration has passed.
  void Start(std::function<QImage()> grab, std::function<void()> ended);

  // The frame on screen now.
  const QImage& picture() const { return m_shown; }
  const Stats& stats() const { return m_stats; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Tick();
  void Prepare(QSize size);

  QPointer<QWidget> m_page;
  TransitionKind m_kind;
  TransitionOptions m_options;
  int m_duration_ms;
  QImage m_from_source, m_mask;
  QImage m_from, m_to, m_shown;
  std::unique_ptr<TransitionFrame> m_frame;
  std::function<QImage()> m_grab;
  std::function<void()> m_ended;
  QElapsedTimer m_clock;
  QTimer m_timer;
  Stats m_stats;
  double m_paint_ms = 0;
};

}  // namespace morvane
