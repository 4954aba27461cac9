#include "player/transitions/transition_frame.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>
#include <random>

namespace morvane {
namespace {

using Dir = TransitionDirection;
constexpr double kPi = std::numbers::pi;

// The effects' own randomness is fixed, so a page looks the same each time.
constexpr uint32_t kSeed = 0x6d6f7276;

uint32_t Mix(uint32_t a, uint32_t b, uint32_t w) {
  const uint32_t rb = (((a & 0xff00ff) * (256 - w) + (b & 0xff00ff) * w) >> 8) & 0xff00ff;
  const uint32_t g = (((a & 0x00ff00) * (256 - w) + (b & 0x00ff00) * w) >> 8) & 0x00ff00;
  return 0xff000000u | rb | g;
}

uint32_t Shade(uint32_t p, uint32_t s) {
  const uint32_t rb = (((p & 0xff00ff) * s) >> 8) & 0xff00ff;
  const uint32_t g = (((p & 0x00ff00) * s) >> 8) & 0x00ff00;
  return 0xff000000u | rb | g;
}

// Coordinates along the way the new page travels: u from the edge it comes
// from (0) to the far edge (L - 1), v across.
template <Dir D>
struct Axis {
  int w, h;
  static constexpr bool kAcross = D == Dir::kLeft || D == Dir::kRight;
  int L() const { return kAcross ? w : h; }
  int M() const { return kAcross ? h : w; }
  int U(int x, int y) const {
    if constexpr (D == Dir::kRight) return x;
    if constexpr (D == Dir::kLeft) return w - 1 - x;
    if constexpr (D == Dir::kDown) return y;
    return h - 1 - y;
  }
  int V(int x, int y) const { return kAcross ? y : x; }
  int X(int u, int v) const {
    if constexpr (D == Dir::kRight) return u;
    if constexpr (D == Dir::kLeft) return w - 1 - u;
    return v;
  }
  int Y(int u, int v) const {
    if constexpr (D == Dir::kDown) return u;
    if constexpr (D == Dir::kUp) return h - 1 - u;
    return v;
  }
};

// A picture read in the coordinates of an axis.
struct Pixels {
  const uint32_t* bits;
  qsizetype stride;  // in pixels
  explicit Pixels(const QImage& image)
      : bits(reinterpret_cast<const uint32_t*>(image.constBits())),
        stride(image.bytesPerLine() / 4) {}
  template <class A>
  uint32_t At(const A& axis, int u, int v) const {
    return bits[qsizetype(axis.Y(u, v)) * stride + axis.X(u, v)];
  }
};

// Calls fill(axis) with the axis of the direction as a compile-time type.
template <class F>
void WithAxis(Dir d, int w, int h, F&& fill) {
  switch (d) {
    case Dir::kUp:
      fill(Axis<Dir::kUp>{w, h});
      break;
    case Dir::kDown:
      fill(Axis<Dir::kDown>{w, h});
      break;
    case Dir::kLeft:
      fill(Axis<Dir::kLeft>{w, h});
      break;
    case Dir::kRight:
      fill(Axis<Dir::kRight>{w, h});
      break;
  }
}

// Every pixel of `out` from pixel(u, v).
template <class A, class P>
void FillPixels(const A& axis, QImage& out, P&& pixel) {
  for (int y = 0; y < axis.h; ++y) {
    auto* line = reinterpret_cast<uint32_t*>(out.scanLine(y));
    for (int x = 0; x < axis.w; ++x) line[x] = pixel(axis.U(x, y), axis.V(x, y));
  }
}

// One source per position along the axis: which picture, where, how lit.
struct Source {
  bool to = false;
  int at = 0;
  uint32_t shade = 256;
};

uint16_t Quantise(double order) {
  return uint16_t(std::clamp(order * 65536.0, 0.0, 65535.0));
}

int ValidOr(int value, int count) {
  return value >= 0 && value < count ? value : 0;
}

// The order in which the cells of a rows x cols grid appear, one rank per
// cell, by block Style.
std::vector<int> CellRanks(int style, int rows, int cols) {
  const int n = rows * cols;
  std::vector<int> cells(static_cast<size_t>(n));
  std::iota(cells.begin(), cells.end(), 0);
  auto by = [&](auto key) {
    std::stable_sort(cells.begin(), cells.end(), [&](int a, int b) { return key(a) < key(b); });
  };
  switch (style) {
    case 1:  // rows, left to right, top to bottom
      break;
    case 2:  // columns, top to bottom, left to right
      by([&](int c) { return (c % cols) * rows + c / cols; });
      break;
    case 3: {  // a spiral from the edges in
      std::vector<int> walk;
      walk.reserve(size_t(n));
      int top = 0, bottom = rows - 1, left = 0, right = cols - 1;
      while (top <= bottom && left <= right) {
        for (int c = left; c <= right; ++c) walk.push_back(top * cols + c);
        for (int r = top + 1; r <= bottom; ++r) walk.push_back(r * cols + right);
        if (top < bottom)
          for (int c = right - 1; c >= left; --c) walk.push_back(bottom * cols + c);
        if (left < right)
          for (int r = bottom - 1; r > top; --r) walk.push_back(r * cols + left);
        ++top, --bottom, ++left, --right;
      }
      cells = std::move(walk);
      break;
    }
    case 4: {  // from the centre out
      const double cr = (rows - 1) / 2.0, cc = (cols - 1) / 2.0;
      by([&](int c) { return std::hypot(c / cols - cr, c % cols - cc); });
      break;
    }
    case 5:  // diagonals from the top left corner
      by([&](int c) { return c / cols + c % cols; });
      break;
    default: {  // at random
      std::mt19937 random(kSeed);
      std::shuffle(cells.begin(), cells.end(), random);
      break;
    }
  }
  std::vector<int> rank(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) rank[size_t(cells[size_t(i)])] = i;
  return rank;
}

}  // namespace

TransitionFrame::TransitionFrame(TransitionKind kind, const TransitionOptions& options, QSize size,
                                 const QImage& mask)
    : m_kind(kind), m_options(options), m_size(size.expandedTo(QSize(1, 1))) {
  if (int(m_kind) < int(TransitionKind::kBlend) || int(m_kind) > int(TransitionKind::kMask))
    m_kind = TransitionKind::kBlend;
  if (m_kind == TransitionKind::kMask && mask.isNull()) m_kind = TransitionKind::kBlend;
  BuildOrder(mask);
}

QImage TransitionFrame::Prepare(const QImage& picture, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  if (picture.isNull()) {
    image.fill(Qt::black);
    return image;
  }
  if (picture.size() == size && picture.format() == QImage::Format_RGB32) return picture;
  image.fill(Qt::black);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(QPoint(0, 0), size), picture);
  return image;
}

void TransitionFrame::BuildOrder(const QImage& mask) {
  const int w = m_size.width(), h = m_size.height();
  const TransitionOptions& o = m_options;
  auto field = [&](auto order) {
    m_order.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
      uint16_t* line = m_order.data() + size_t(y) * size_t(w);
      for (int x = 0; x < w; ++x) line[x] = Quantise(order(x, y));
    }
  };
  auto band = [&](double fraction) { m_band = uint32_t(std::clamp(fraction, 0.0, 1.0) * 65535); };
  // Along an axis: order(u, v, L, M).
  auto along = [&](auto order) {
    WithAxis(o.direction, w, h, [&](const auto& axis) {
      const int L = axis.L(), M = axis.M();
      field([&](int x, int y) { return order(axis.U(x, y), axis.V(x, y), L, M); });
    });
  };

  switch (m_kind) {
    case TransitionKind::kBlock: {
      const int bw = std::clamp(o.size > 0 ? o.size : 32, 1, w);
      const int bh = std::clamp(o.block_height > 0 ? o.block_height : 32, 1, h);
      // Puzzle: every other row of pieces is set off by half a piece.
      const int shift = o.first_flag ? bw / 2 : 0;
      const int rows = (h + bh - 1) / bh;
      const int cols = (w + shift + bw - 1) / bw;
      std::vector<int> rank = CellRanks(o.style, rows, cols);
      int steps = rows * cols;
      if (o.second_flag) {
        // Dual: the order runs from both of its ends at once.
        for (int& r : rank) r = std::min(r, steps - 1 - r);
        steps = (steps + 1) / 2;
      }
      const int substyle = ValidOr(o.substyle, 3);
      constexpr double kGrow = 0.35;
      if (substyle == 1) band(0.3);
      field([&](int x, int y) {
        const int row = y / bh;
        const int sx = x + (row % 2 ? shift : 0);
        const double start = double(rank[size_t(row * cols + sx / bw)]) / steps;
        if (substyle != 2) return start;
        // Grow: a piece opens from its centre as a square.
        const double dx = std::abs((sx % bw) + 0.5 - bw / 2.0) / (bw / 2.0);
        const double dy = std::abs((y % bh) + 0.5 - bh / 2.0) / (bh / 2.0);
        return start * (1 - kGrow) + kGrow * std::min(0.999, std::max(dx, dy));
      });
      break;
    }
    case TransitionKind::kCircle: {
      const int style = ValidOr(o.style, 4);
      const int substyle = ValidOr(o.substyle, 3);
      const double cell = std::max(16, std::min(w, h) / 4);
      field([&](int x, int y) {
        const double px = x + 0.5, py = y + 0.5;
        double d = 0;
        switch (style) {
          case 1:  // from the four corners
            d = std::min({std::hypot(px, py), std::hypot(w - px, py), std::hypot(px, h - py),
                          std::hypot(w - px, h - py)}) /
                std::hypot(w / 2.0, h / 2.0);
            break;
          case 2: {  // a grid of circles
            const double cx = std::fmod(px, cell) - cell / 2, cy = std::fmod(py, cell) - cell / 2;
            d = std::hypot(cx, cy) / (cell * std::numbers::sqrt2 / 2);
            break;
          }
          case 3:  // from the top left corner
            d = std::hypot(px, py) / std::hypot(w, h);
            break;
          default:  // from the centre
            d = std::hypot(px - w / 2.0, py - h / 2.0) / std::hypot(w / 2.0, h / 2.0);
            break;
        }
        d = std::min(d, 0.9999);
        // Closing: the old page shrinks into the circle.
        return substyle == 1 ? 0.9999 - d : d;
      });
      if (substyle == 2) band(0.15);
      break;
    }
    case TransitionKind::kDiagonal: {
      const int style = ValidOr(o.style, 5);
      const int substyle = ValidOr(o.substyle, 3);
      field([&](int x, int y) {
        const double fx = (x + 0.5) / w, fy = (y + 0.5) / h;
        double d = 0;
        switch (style) {
          case 1:
            d = (1 - fx + fy) / 2;
            break;
          case 2:
            d = (2 - fx - fy) / 2;
            break;
          case 3:
            d = (fx + 1 - fy) / 2;
            break;
          case 4:  // from two opposite corners, meeting in the middle
            d = std::min(fx + fy, 2 - fx - fy);
            break;
          default:
            d = (fx + fy) / 2;
            break;
        }
        if (substyle == 2) {
          // A saw-tooth edge, teeth 40 pixels apart along the diagonal.
          const double tooth = std::fmod(double(x - y + 40000), 40.0) / 40.0;
          d = d * 0.85 + 0.15 * std::abs(2 * tooth - 1);
        }
        return d;
      });
      if (substyle == 1) band(0.2);
      break;
    }
    case TransitionKind::kDrip: {
      constexpr int kDrop = 8;
      constexpr double kTip = 6;
      std::mt19937 random(kSeed);
      std::uniform_real_distribution<double> speed(0, 0.7);
      std::vector<double> speeds;
      along([&](int u, int v, int L, int M) {
        if (speeds.empty()) {
          speeds.resize(size_t(M / kDrop + 1));
          for (double& s : speeds) s = speed(random);
        }
        // Each drop runs at its own speed, its tip rounded.
        const double across = (v % kDrop + 0.5 - kDrop / 2.0) / (kDrop / 2.0);
        const double tip = kTip * (1 - std::sqrt(std::max(0.0, 1 - across * across)));
        return (u + tip) / ((L + kTip) * (1 + speeds[size_t(v / kDrop)]));
      });
      break;
    }
    case TransitionKind::kInterlaced: {
      const int substyle = ValidOr(o.substyle, 3);
      if (substyle == 1) break;  // sliding lines move the picture
      const int thickness = std::array{4, 1, 16}[size_t(ValidOr(o.style, 3))];
      along([&](int u, int v, int L, int M) {
        if (substyle == 2) {
          // Whole lines across the way, every other one first.
          const int lines = (L + thickness - 1) / thickness;
          const int line = u / thickness;
          const int half = (lines + 1) / 2;
          const double place = line % 2 ? half + line / 2 : line / 2;
          return place / lines;
        }
        // Lines along the way: the even ones come from the near edge, the odd
        // ones from the far edge.
        return (v / thickness) % 2 ? (L - 1 - u + 0.5) / L : (u + 0.5) / L;
      });
      break;
    }
    case TransitionKind::kRadial: {
      const int style = ValidOr(o.style, 5);
      const int substyle = ValidOr(o.substyle, 3);
      field([&](int x, int y) {
        const double px = x + 0.5, py = y + 0.5;
        double a = 0;
        switch (style) {
          case 1:  // counter-clockwise from twelve o'clock
            a = 1 - std::atan2(px - w / 2.0, h / 2.0 - py) / (2 * kPi);
            break;
          case 2: {  // two hands, from twelve and from six
            double turn = std::atan2(px - w / 2.0, h / 2.0 - py);
            if (turn < 0) turn += 2 * kPi;
            a = std::fmod(turn, kPi) / kPi;
            break;
          }
          case 3:  // a fan from the middle of the top edge, left to right
            a = std::atan2(py, w / 2.0 - px) / kPi;
            break;
          case 4:  // a quarter turn about the top left corner
            a = std::atan2(py, px) / (kPi / 2);
            break;
          default:  // clockwise from twelve o'clock
            a = std::atan2(px - w / 2.0, h / 2.0 - py) / (2 * kPi);
            break;
        }
        a -= std::floor(a);
        // Blades: eight sectors sweep at once.
        if (substyle == 2) a = std::fmod(a * 8, 1.0);
        return a;
      });
      if (substyle == 1) band(0.1);
      break;
    }
    case TransitionKind::kWipe:
      along([](int u, int, int L, int) { return (u + 0.5) / L; });
      if (o.size > 0) {
        WithAxis(o.direction, w, h, [&](const auto& axis) { band(double(o.size) / axis.L()); });
      }
      break;
    case TransitionKind::kMask: {
      const QImage grey = mask.convertToFormat(QImage::Format_Grayscale8)
                              .scaled(m_size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      field([&](int x, int y) { return grey.constScanLine(y)[x] / 256.0; });
      band(0.1);
      break;
    }
    case TransitionKind::kWaterfall: {
      WithAxis(o.direction, w, h, [&](const auto& axis) {
        m_lag.resize(size_t(axis.M()));
        for (size_t v = 0; v < m_lag.size(); ++v) {
          m_lag[v] = float(0.5 + 0.25 * std::sin(double(v) * 0.05) +
                           0.25 * std::sin(double(v) * 0.13 + 1.7));
        }
      });
      break;
    }
    default:
      break;
  }
}

void TransitionFrame::Render(const QImage& from, const QImage& to, double progress,
                             QImage& out) const {
  if (out.size() != m_size || out.format() != QImage::Format_RGB32)
    out = QImage(m_size, QImage::Format_RGB32);
  const double t = std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
  const QImage a = Prepare(from, m_size), b = Prepare(to, m_size);
  const int w = m_size.width(), h = m_size.height();

  if (!m_order.empty()) {
    const auto thr = int32_t(std::llround(t * (65536.0 + m_band)));
    const int32_t edge = int32_t(std::max<uint32_t>(m_band, 1));
    for (int y = 0; y < h; ++y) {
      const auto* pa = reinterpret_cast<const uint32_t*>(a.constScanLine(y));
      const auto* pb = reinterpret_cast<const uint32_t*>(b.constScanLine(y));
      const uint16_t* order = m_order.data() + size_t(y) * size_t(w);
      auto* po = reinterpret_cast<uint32_t*>(out.scanLine(y));
      for (int x = 0; x < w; ++x) {
        const int32_t v = thr - order[x];
        if (v <= 0)
          po[x] = pa[x];
        else if (v >= edge)
          po[x] = pb[x];
        else
          po[x] = Mix(pa[x], pb[x], uint32_t(v) * 256 / uint32_t(edge));
      }
    }
    return;
  }
  if (m_kind == TransitionKind::kBlend) {
    const auto weight = uint32_t(std::lround(t * 256));
    for (int y = 0; y < h; ++y) {
      const auto* pa = reinterpret_cast<const uint32_t*>(a.constScanLine(y));
      const auto* pb = reinterpret_cast<const uint32_t*>(b.constScanLine(y));
      auto* po = reinterpret_cast<uint32_t*>(out.scanLine(y));
      for (int x = 0; x < w; ++x) po[x] = Mix(pa[x], pb[x], weight);
    }
    return;
  }
  RenderMoving(a, b, t, out);
}

void TransitionFrame::RenderMoving(const QImage& from, const QImage& to, double t,
                                   QImage& out) const {
  const TransitionOptions& o = m_options;
  const Pixels pa(from), pb(to);
  WithAxis(o.direction, m_size.width(), m_size.height(), [&](const auto& axis) {
    const int L = axis.L();
    const int p = int(std::lround(t * L));
    // Sources per position along the way, the same on every line.
    std::vector<Source> table(static_cast<size_t>(L));
    auto by_table = [&](const std::vector<Source>& sources) {
      FillPixels(axis, out, [&](int u, int v) {
        const Source& s = sources[size_t(u)];
        const uint32_t px = (s.to ? pb : pa).At(axis, s.at, v);
        return s.shade == 256 ? px : Shade(px, s.shade);
      });
    };
    switch (m_kind) {
      case TransitionKind::kPush:
        for (int u = 0; u < L; ++u)
          table[size_t(u)] = u < p ? Source{true, u + L - p} : Source{false, u - p};
        by_table(table);
        break;
      case TransitionKind::kSlide:
        for (int u = 0; u < L; ++u) {
          if (u < p) {
            // ElasticDst: the new page stretches out of the edge.
            const int at = o.second_flag ? int(int64_t(u) * L / p) : u + L - p;
            table[size_t(u)] = Source{true, std::min(at, L - 1)};
          } else {
            // ElasticSrc: the old page is squeezed instead of covered.
            const int at = o.first_flag ? int(int64_t(u - p) * L / (L - p)) : u;
            table[size_t(u)] = Source{false, std::min(at, L - 1)};
          }
        }
        by_table(table);
        break;
      case TransitionKind::kRoll: {
        const int size = std::clamp(o.size > 0 ? o.size : 48, 2, std::max(2, L));
        const bool use3d = o.first_flag, unroll = o.second_flag;
        const int front = int(std::lround(t * (L + size)));
        const int start = front - size;
        for (int u = 0; u < L; ++u) {
          if (u < start) {
            table[size_t(u)] = Source{true, u};
          } else if (u >= front) {
            table[size_t(u)] = Source{false, u};
          } else {
            const double k = (u - start + 0.5) / size;
            // Along the roll: flat, or as the arc of a cylinder seen from above.
            const double along = use3d ? (1 - std::cos(kPi * k)) / 2 * size * kPi / 2 : u - start;
            // Rolling away shows the back of the old page just rolled up;
            // unrolling shows the new page still on the roll.
            const int at = unroll ? start + int(along) : start - 1 - int(along);
            const uint32_t shade =
                use3d ? uint32_t(256 * (0.35 + 0.65 * std::sin(kPi * k))) : uint32_t(180);
            table[size_t(u)] = Source{unroll, std::clamp(at, 0, L - 1), shade};
          }
        }
        by_table(table);
        break;
      }
      case TransitionKind::kInterlaced: {
        // Sliding lines: the even ones come in from the near edge, the odd
        // ones from the far edge, each carrying its part of the new page.
        const int thickness = std::array{4, 1, 16}[size_t(ValidOr(o.style, 3))];
        std::vector<Source> odd(static_cast<size_t>(L));
        for (int u = 0; u < L; ++u) {
          table[size_t(u)] = u < p ? Source{true, u + L - p} : Source{false, u};
          odd[size_t(u)] = u >= L - p ? Source{true, u - (L - p)} : Source{false, u};
        }
        FillPixels(axis, out, [&](int u, int v) {
          const Source& s = ((v / thickness) % 2 ? odd : table)[size_t(u)];
          return (s.to ? pb : pa).At(axis, s.at, v);
        });
        break;
      }
      case TransitionKind::kWaterfall: {
        // The new page pours in faster and faster, its front wavy, the water
        // just behind the front streaked and light.
        const double e = t * (0.35 + 0.65 * t);
        const double lag = L / 6.0;
        const double streak = L / 8.0 * (1 - t);
        const int across = axis.M();
        std::vector<int> fronts(static_cast<size_t>(across)), streaks(static_cast<size_t>(across));
        for (int v = 0; v < across; ++v) {
          const double f = e * (L + lag) - lag * m_lag[size_t(v)];
          fronts[size_t(v)] = int(std::lround(f));
          streaks[size_t(v)] = int(std::lround(f - streak));
        }
        FillPixels(axis, out, [&](int u, int v) {
          const int front = fronts[size_t(v)], begin = streaks[size_t(v)];
          if (u >= front) return pa.At(axis, u, v);
          if (u < begin) return pb.At(axis, u, v);
          const int at = std::clamp(begin + (u - begin) / 4, 0, L - 1);
          return Mix(pb.At(axis, at, v), 0xffffffffu, 64);
        });
        break;
      }
      default:
        break;
    }
  });
}

QImage RenderTransitionFrame(TransitionKind kind, const TransitionOptions& options,
                             const QImage& from, const QImage& to, double progress,
                             const QImage& mask) {
  const QSize size = to.isNull() ? from.size() : to.size();
  TransitionFrame frame(kind, options, size, mask);
  QImage out;
  frame.Render(TransitionFrame::Prepare(from, size), TransitionFrame::Prepare(to, size), progress,
               out);
  return out;
}

}  // namespace morvane
