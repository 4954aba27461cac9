// Input latency and idle cost of the running player, in process and headless.
//
// A project of ten open pages, each with images, buttons, texts and edits
// that have enter and leave scripts. 1,000 clicks on an image of the main
// page are timed from the press to the end of the image's one-line mouse-up
// script (median and 99th percentile). Then the pointer wanders over the
// objects, comes to rest, and the CPU the player uses while idle is measured.
//
//   input_bench [CLICKS]   (default 1000)

#include "player/assets/fonts.h"
#include "player/automation/options.h"
#include "player/objects/page_objects.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void WriteProject(const fs::path& dir) {
  std::ofstream out(dir / "project.yaml");
  out << "title: Input bench\npages:\n";
  for (int page = 1; page <= 10; ++page) {
    out << "  - name: P" << page << "\n    client_width: 640\n    client_height: 480\n"
        << "    options: {position: 1}\n    objects:\n";
    int n = 1;
    for (int row = 0; row < 5; ++row) {
      for (int col = 0; col < 4; ++col, ++n) {
        const char* kinds[] = {"image", "button", "text", "edit"};
        const char* kind = kinds[(row + col) % 4];
        out << "      - {kind: " << kind << ", name: " << n << ", left: " << 10 + col * 150
            << ", top: " << 10 + row * 90 << ", width: 120, height: 60"
            << ", on_mouse_enter: \"#enters=#enters+1\", on_mouse_leave: \"#leaves=#leaves+1\"";
        if (n == 1) out << ", on_mouse_up: \"#clicks=#clicks+1\"";
        out << "}\n";
      }
    }
  }
}

void Send(QWidget* target, QEvent::Type type, QPoint global) {
  QPoint local = target->mapFromGlobal(global);
  QCursor::setPos(global);
  Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
  Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(local), QPointF(local), QPointF(global), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

}  // namespace

int main(int argc, char** argv) {
  int clicks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  fs::path dir = fs::temp_directory_path() / ("morvane-input-bench-" + std::to_string(getpid()));
  fs::create_directories(dir / "project");
  setenv("MORVANE_PREFIX", (dir / "prefix").c_str(), 1);
  WriteProject(dir / "project");

  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  morvane::InstallFontSubstitutes();
  morvane::PlayerOptions options;
  options.project = (dir / "project").string();
  options.headless = true;
  morvane::PlayerShell player(options, {});
  if (!player.Start()) {
    std::fprintf(stderr, "the player did not start\n");
    return 1;
  }
  // Let every page show and settle.
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 500) QApplication::processEvents(QEventLoop::AllEvents, 50);

  morvane::TQMForm* main = player.GetFormByNum(1);
  auto* image = qobject_cast<QWidget*>(main->objects().FindComponent("OBJ1"));
  if (!image) {
    std::fprintf(stderr, "no image on the main page\n");
    return 1;
  }
  QPoint global = image->mapToGlobal(QPoint(20, 20));
  Send(image, QEvent::MouseMove, global);
  std::vector<double> latencies;
  latencies.reserve(size_t(clicks));
  for (int i = 0; i < clicks; ++i) {
    auto start = std::chrono::steady_clock::now();
    Send(image, QEvent::MouseButtonPress, global);
    Send(image, QEvent::MouseButtonRelease, global);
    latencies.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count());
    QApplication::processEvents();
  }
  double counted = player.values().GetNumber("clicks");
  std::sort(latencies.begin(), latencies.end());
  double median = latencies[latencies.size() / 2];
  double p99 = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];

  // Wander over the objects of the main page, then rest.
  QWidget& surface = main->surface();
  for (int y = 5; y < 470; y += 7) {
    for (int x = 5; x < 630; x += 13) {
      QPoint at = surface.mapToGlobal(QPoint(x, y));
      QWidget* target = surface.childAt(QPoint(x, y));
      Send(target ? target : &surface, QEvent::MouseMove, at);
    }
  }
  double enters = player.values().GetNumber("enters");
  settle.restart();
  while (settle.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 50);

  double cpu_before = ProcessCpuSeconds();
  auto idle_start = std::chrono::steady_clock::now();
  QEventLoop idle;
  QTimer::singleShot(5000, &idle, &QEventLoop::quit);
  idle.exec();
  double idle_s =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - idle_start).count();
  double cpu_percent = 100.0 * (ProcessCpuSeconds() - cpu_before) / idle_s;

  std::printf("clicks: %d (mouse-up scripts run: %.0f)\n", clicks, counted);
  std::printf(
      "click to the end of the mouse-up script: median %.1f us, 99th percentile %.1f us "
      "(aim: median under 1000 us)\n",
      median, p99);
  std::printf("pointer sweep: %.0f enter scripts run\n", enters);
  std::printf(
      "idle CPU with ten pages open, after the sweep: %.2f %% of one core over %.1f s "
      "(aim: under 1 %%)\n",
      cpu_percent, idle_s);
  player.EndProgram(0);
  fs::remove_all(dir);
  return 0;
}
