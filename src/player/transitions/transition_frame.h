#pragma once

// The pictures of a page transition. A frame is a pure function of the old
// picture, the new picture, the progress (0 gives the old picture exactly, 1
// the new one exactly) and the options; nothing here knows about windows or
// clocks, so the effects are drawn the same on screen, headless and in tests.
//
// Most kinds are a reveal order: a number per pixel saying when it turns from
// the old picture to the new one, computed once per effect, so that a frame
// costs one pass over the pixels. Push, roll, slide, waterfall and the sliding
// lines of interlaced move the pictures instead.

#include "player/transitions/transition_settings.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <vector>

namespace morvane {

class TransitionFrame {
 public:
  // Pages larger than this many pixels appear at once.
  static constexpr int64_t kMaxPixels = int64_t(4096) * 4096;

  // Prepares `kind` (blend to mask; anything else draws as a blend) for
  // pictures of `size`. `mask` is the mask kind's picture, any size, scaled to
  // fit; its grey levels give the order, dark first. A mask kind without a
  // mask draws as a blend.
  TransitionFrame(TransitionKind kind, const TransitionOptions& options, QSize size,
                  const QImage& mask = QImage());

  // What is drawn: the kind asked for, or blend in its place.
  TransitionKind kind() const { return m_kind; }
  QSize size() const { return m_size; }

  // A picture in the form Render() takes: opaque 32-bit, scaled to `size`.
  static QImage Prepare(const QImage& picture, QSize size);

  // The state at `progress` (clamped to 0..1) into `out`, which is made a
  // picture of size() when it is not one. `from` and `to` come from Prepare().
  void Render(const QImage& from, const QImage& to, double progress, QImage& out) const;

 private:
  void BuildOrder(const QImage& mask);
  void RenderMoving(const QImage& from, const QImage& to, double t, QImage& out) const;

  TransitionKind m_kind;
  TransitionOptions m_options;
  QSize m_size;
  // Reveal order per pixel, 0 first; a pixel shows the new picture once the
  // progress passes its value. Empty for the moving kinds and blend.
  std::vector<uint16_t> m_order;
  // Width of the soft edge in order units; 0 is a hard edge.
  uint32_t m_band = 0;
  // Waterfall: where each line's front lags, 0 to 1.
  std::vector<float> m_lag;
};

// One frame, for a single picture: prepares, renders and returns it.
QImage RenderTransitionFrame(TransitionKind kind, const TransitionOptions& options,
                             const QImage& from, const QImage& to, double progress,
                             const QImage& mask = QImage());

}  // namespace morvane
