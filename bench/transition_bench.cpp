// The page transitions: for each kind, the CPU time of one frame drawn by the
// effect code alone (mean and worst over frames spread across the effect),
// and a real one-second effect played over a page window in this process,
// offscreen: frames drawn, mean and worst CPU time of drawing and painting
// a frame.
//
//   transition_bench [--size WxH] [--strips DIR]
//
// --strips writes the picture strips of docs/transitions.md into DIR instead.

#include "player/transitions/transition_frame.h"
#include "player/transitions/transition_overlay.h"
#include "player/transitions/transition_settings.h"

#include <QApplication>
#include <QEventLoop>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

using namespace morvane;

namespace {

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Two pages that tell apart at a glance: a light one with a grid and a
// dark one with circles.
QImage OldPage(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(QColor(236, 232, 220));
  QPainter p(&image);
  p.setPen(QPen(QColor(190, 180, 160), std::max(1, size.width() / 160)));
  for (int x = 0; x < size.width(); x += size.width() / 8) p.drawLine(x, 0, x, size.height());
  for (int y = 0; y < size.height(); y += size.height() / 6) p.drawLine(0, y, size.width(), y);
  p.setPen(QColor(120, 60, 20));
  QFont font;
  font.setPixelSize(size.height() / 5);
  font.setBold(true);
  p.setFont(font);
  p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("OLD"));
  return image;
}

QImage NewPage(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient sky(0, 0, 0, size.height());
  sky.setColorAt(0, QColor(20, 40, 110));
  sky.setColorAt(1, QColor(40, 120, 170));
  p.fillRect(image.rect(), sky);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(250, 200, 60));
  const int r = size.height() / 6;
  p.drawEllipse(QPoint(size.width() / 4, size.height() / 3), r, r);
  p.setBrush(QColor(230, 90, 70));
  p.drawEllipse(QPoint(size.width() * 3 / 4, size.height() * 2 / 3), r, r);
  p.setPen(Qt::white);
  QFont font;
  font.setPixelSize(size.height() / 5);
  font.setBold(true);
  p.setFont(font);
  p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("NEW"));
  return image;
}

// Dark in the middle, light at the rim, with rings: the mask of the mask kind.
QImage Mask(QSize size) {
  QImage image(size, QImage::Format_Grayscale8);
  for (int y = 0; y < size.height(); ++y) {
    for (int x = 0; x < size.width(); ++x) {
      const double dx = (x - size.width() / 2.0) / size.width();
      const double dy = (y - size.height() / 2.0) / size.height();
      const double d = std::min(1.0, std::hypot(dx, dy) * 1.4);
      image.scanLine(y)[x] = uchar(d * 200 + ((x / 16 + y / 16) % 2) * 55);
    }
  }
  return image;
}

struct Row {
  const char* name;
  TransitionKind kind;
  TransitionOptions options;
};

std::vector<Row> BenchRows() {
  std::vector<Row> rows;
  for (int k = 1; k <= kTransitionKindCount; ++k) {
    rows.push_back({TransitionKindName(TransitionKind(k)), TransitionKind(k), {}});
  }
  TransitionOptions tiny;
  tiny.size = tiny.block_height = 1;
  rows.push_back({"block 1x1", TransitionKind::kBlock, tiny});
  TransitionOptions roll3d;
  roll3d.first_flag = true;
  rows.push_back({"roll 3D", TransitionKind::kRoll, roll3d});
  return rows;
}

void Bench(QSize size) {
  const QImage from = OldPage(size), to = NewPage(size), mask = Mask(size);
  std::printf("\nTransitions at %dx%d (CPU ms per frame)\n", size.width(), size.height());
  std::printf("%-12s %8s %8s | %7s %8s %8s\n", "kind", "mean", "worst", "frames", "mean", "worst");
  std::printf("%-12s %17s | %25s\n", "", "effect code alone", "1000-ms effect on a page");
  QWidget page;
  page.setFixedSize(size);
  page.show();
  QCoreApplication::processEvents();
  for (const Row& row : BenchRows()) {
    // The effect code alone.
    const double setup_start = ThreadCpuMs();
    TransitionFrame frame(row.kind, row.options, size, mask);
    const double setup = ThreadCpuMs() - setup_start;
    QImage out;
    constexpr int kFrames = 60;
    double total = 0, worst = 0;
    for (int i = 0; i < kFrames; ++i) {
      const double start = ThreadCpuMs();
      frame.Render(from, to, (i + 0.5) / kFrames, out);
      const double spent = ThreadCpuMs() - start;
      total += spent;
      worst = std::max(worst, spent);
    }
    // A real effect over a page.
    auto* overlay = new TransitionOverlay(page, row.kind, row.options, 1000, from, mask);
    QEventLoop loop;
    overlay->Start([&] { return to; }, [&] { loop.quit(); });
    loop.exec();
    const TransitionOverlay::Stats stats = overlay->stats();
    delete overlay;
    std::printf("%-12s %8.2f %8.2f | %7d %8.2f %8.2f   (set-up %.1f ms)\n", row.name,
                total / kFrames, worst, stats.frames,
                stats.frames ? stats.total_ms / stats.frames : 0.0, stats.worst_ms, setup);
  }
}

// Strips for the manual: six frames from the old page to the new one.
struct Strip {
  const char* file;
  TransitionKind kind;
  TransitionOptions options;
};

std::vector<Strip> Strips() {
  auto o = [](auto change) {
    TransitionOptions options;
    change(options);
    return options;
  };
  using K = TransitionKind;
  using D = TransitionDirection;
  return {
      {"blend", K::kBlend, {}},
      {"block", K::kBlock, {}},
      {"block-rows-grow", K::kBlock,
       o([](auto& x) { x.style = 1, x.substyle = 2, x.size = x.block_height = 20; })},
      {"block-spiral-fade", K::kBlock,
       o([](auto& x) { x.style = 3, x.substyle = 1, x.size = x.block_height = 20; })},
      {"block-centre-puzzle", K::kBlock,
       o([](auto& x) { x.style = 4, x.first_flag = true, x.size = x.block_height = 20; })},
      {"block-diagonal-dual", K::kBlock,
       o([](auto& x) { x.style = 5, x.second_flag = true, x.size = x.block_height = 16; })},
      {"circle", K::kCircle, {}},
      {"circle-corners", K::kCircle, o([](auto& x) { x.style = 1; })},
      {"circle-grid-soft", K::kCircle, o([](auto& x) { x.style = 2, x.substyle = 2; })},
      {"circle-corner-closing", K::kCircle, o([](auto& x) { x.style = 3, x.substyle = 1; })},
      {"diagonal", K::kDiagonal, {}},
      {"diagonal-two-corners-soft", K::kDiagonal, o([](auto& x) { x.style = 4, x.substyle = 1; })},
      {"diagonal-bottom-left-teeth", K::kDiagonal, o([](auto& x) { x.style = 3, x.substyle = 2; })},
      {"drip", K::kDrip, {}},
      {"drip-down", K::kDrip, o([](auto& x) { x.direction = D::kDown; })},
      {"interlaced", K::kInterlaced, {}},
      {"interlaced-thick-sliding", K::kInterlaced, o([](auto& x) { x.style = 2, x.substyle = 1; })},
      {"interlaced-whole-lines-down", K::kInterlaced,
       o([](auto& x) { x.style = 2, x.substyle = 2, x.direction = D::kDown; })},
      {"push", K::kPush, {}},
      {"push-up", K::kPush, o([](auto& x) { x.direction = D::kUp; })},
      {"radial", K::kRadial, {}},
      {"radial-two-hands", K::kRadial, o([](auto& x) { x.style = 2; })},
      {"radial-fan-soft", K::kRadial, o([](auto& x) { x.style = 3, x.substyle = 1; })},
      {"radial-corner-blades", K::kRadial, o([](auto& x) { x.style = 4, x.substyle = 2; })},
      {"roll", K::kRoll, {}},
      {"roll-3d", K::kRoll, o([](auto& x) { x.first_flag = true; })},
      {"roll-3d-unroll-left", K::kRoll,
       o([](auto& x) { x.first_flag = x.second_flag = true, x.direction = D::kLeft; })},
      {"slide", K::kSlide, {}},
      {"slide-elastic-src", K::kSlide, o([](auto& x) { x.first_flag = true; })},
      {"slide-elastic-dst-down", K::kSlide,
       o([](auto& x) { x.second_flag = true, x.direction = D::kDown; })},
      {"waterfall", K::kWaterfall, o([](auto& x) { x.direction = D::kDown; })},
      {"waterfall-right", K::kWaterfall, {}},
      {"wipe", K::kWipe, {}},
      {"wipe-band-left", K::kWipe, o([](auto& x) { x.size = 40, x.direction = D::kLeft; })},
      {"mask", K::kMask, {}},
  };
}

int WriteStrips(const std::string& dir) {
  const QSize size(160, 120);
  const QImage from = OldPage(size), to = NewPage(size), mask = Mask(size);
  constexpr int kFrames = 6, kGap = 4;
  for (const Strip& s : Strips()) {
    TransitionFrame frame(s.kind, s.options, size, mask);
    QImage strip(kFrames * size.width() + (kFrames - 1) * kGap, size.height(),
                 QImage::Format_RGB32);
    strip.fill(Qt::white);
    QPainter p(&strip);
    QImage out;
    for (int i = 0; i < kFrames; ++i) {
      frame.Render(from, to, double(i) / (kFrames - 1), out);
      p.drawImage(i * (size.width() + kGap), 0, out);
    }
    p.end();
    const std::string path = dir + "/" + s.file + ".png";
    if (!strip.save(QString::fromStdString(path), "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  std::vector<QSize> sizes;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--strips" && i + 1 < argc) return WriteStrips(argv[i + 1]);
    int w = 0, h = 0;
    if (arg == "--size" && i + 1 < argc && std::sscanf(argv[++i], "%dx%d", &w, &h) == 2 && w > 0 &&
        h > 0) {
      sizes.emplace_back(w, h);
    }
  }
  if (sizes.empty()) sizes = {QSize(1024, 768), QSize(800, 600)};
  for (QSize size : sizes) Bench(size);
  return 0;
}
