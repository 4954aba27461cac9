#include "player/transitions/transition_overlay.h"

#include <QPainter>

#include <algorithm>
#include <ctime>

namespace morvane {
namespace {

// A frame every 16 ms: a 60 Hz display gets a new picture at each refresh.
constexpr int kFrameInterval = 16;

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

}  // namespace

TransitionOverlay::TransitionOverlay(QWidget& page, TransitionKind kind,
                                     const TransitionOptions& options, int duration_ms,
                                     const QImage& from, const QImage& mask)
    : QWidget(&page),
      m_page(&page),
      m_kind(kind),
      m_options(options),
      m_duration_ms(std::max(duration_ms, 1)),
      m_from_source(from),
      m_mask(mask) {
  if (m_kind == TransitionKind::kMask && m_mask.isNull()) m_kind = TransitionKind::kBlend;
  setObjectName(QStringLiteral("Transition%1").arg(int(m_kind)));
  // Pointer input goes to the page beneath, where it is held back; the
  // overlay never takes the focus.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  setGeometry(page.rect());
  m_shown = TransitionFrame::Prepare(m_from_source, page.size().expandedTo(QSize(1, 1)));
  m_timer.setTimerType(Qt::PreciseTimer);
  m_timer.setInterval(kFrameInterval);
  QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
  raise();
  show();
}

TransitionOverlay::~TransitionOverlay() = default;

void TransitionOverlay::Start(std::function<QImage()> grab, std::function<void()> ended) {
  m_grab = std::move(grab);
  m_ended = std::move(ended);
  Prepare(m_page ? m_page->size() : size());
  m_clock.start();
  m_timer.start();
}

void TransitionOverlay::Prepare(QSize size) {
  size = size.expandedTo(QSize(1, 1));
  setGeometry(QRect(QPoint(0, 0), size));
  m_from = TransitionFrame::Prepare(m_from_source, size);
  m_to = TransitionFrame::Prepare(m_grab ? m_grab() : QImage(), size);
  m_frame = std::make_unique<TransitionFrame>(m_kind, m_options, size, m_mask);
  // The first frame is the old picture.
  m_shown = m_from;
}

void TransitionOverlay::Tick() {
  const qint64 elapsed = m_clock.elapsed();
  if (elapsed >= m_duration_ms || !m_page) {
    m_timer.stop();
    // The page itself is the final picture; the owner takes the overlay away.
    if (auto ended = std::move(m_ended)) ended();
    return;
  }
  const double start = ThreadCpuMs();
  if (m_page->size() != m_frame->size()) Prepare(m_page->size());
  raise();
  m_frame->Render(m_from, m_to, double(elapsed) / m_duration_ms, m_shown);
  update();
  const double spent = ThreadCpuMs() - start;
  ++m_stats.frames;
  m_stats.total_ms += spent;
  m_stats.worst_ms = std::max(m_stats.worst_ms, spent + m_paint_ms);
  m_paint_ms = 0;
}

void TransitionOverlay::paintEvent(QPaintEvent*) {
  const double start = ThreadCpuMs();
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(0, 0, m_shown);
  const double spent = ThreadCpuMs() - start;
  m_paint_ms += spent;
  m_stats.total_ms += spent;
}

}  // namespace morvane
