// Sound and video in the real player, headless, on media made here with
// ffmpeg. Prints:
//   - the time from action 54 to the sound's start script for a WAV, over 20
//     sounds after a first one that starts the media engine;
//   - the CPU the player uses to play a 10-s 640 x 480 MPEG-1 and MS-MPEG4
//     video in a 640 x 480 video object, against gst-launch-1.0 playing the
//     same file through playbin with the same sinks;
//   - the resident memory of a page of 50 sounds before and after each has
//     played once;
//   - the time to the first page of a project without media objects and of
//     the same project with 50 sounds and 10 videos nobody plays, and whether
//     the media engine started in either.
// Each measure runs in a fresh process of its own (this program, started
// again with --part NAME).
//
//   media_bench [PLAYER_BINARY]   (default: ../morvane-player-bare, for the
//                                  first-page times)

#include "player/shell/page_window.h"
#include "player/shell/player.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "process_figures.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double CpuSeconds(const rusage& r) {
  return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

double SelfCpuSeconds() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return CpuSeconds(r);
}

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

std::string WindowsPath(const fs::path& host) {
  std::string s = "Z:" + host.string();
  std::replace(s.begin(), s.end(), '/', '\\');
  return s;
}

bool Ffmpeg(const std::string& arguments, const fs::path& out) {
  const std::string command =
      "ffmpeg -hide_banner -loglevel error -y " + arguments + " " + Quote(out.string());
  if (std::system(command.c_str()) == 0) return true;
  std::fprintf(stderr, "failed: %s\n", command.c_str());
  return false;
}

// The bench's media, made once per run in the shared folder.
bool MakeMedia(const fs::path& dir) {
  return Ffmpeg("-f lavfi -i sine=f=660:d=0.3 -ac 1 -c:a pcm_s16le", dir / "short.wav") &&
         Ffmpeg("-f lavfi -i testsrc2=s=640x480:r=25:d=10 -f lavfi -i sine=f=440:d=10 "
                "-c:v mpeg1video -b:v 1500k -c:a mp2 -f mpeg",
                dir / "clip.mpg") &&
         Ffmpeg("-f lavfi -i testsrc2=s=640x480:r=25:d=10 -f lavfi -i sine=f=440:d=10 "
                "-c:v msmpeg4 -b:v 1500k -c:a libmp3lame",
                dir / "clip.avi");
}

// A one-page project folder of these objects (YAML flow maps).
fs::path WriteProject(const fs::path& dir, const std::string& name,
                      const std::vector<std::string>& objects, int width = 320,
                      int height = 240) {
  const fs::path project = dir / name;
  fs::create_directories(project);
  std::ofstream yaml(project / "project.yaml");
  yaml << "title: Bench\npages:\n  - name: Main\n    client_width: " << width
       << "\n    client_height: " << height << "\n    options:\n      position: 1\n"
       << "    objects:\n";
  for (const std::string& o : objects) yaml << "      - " << o << "\n";
  return project;
}

// --- the parts that run the player in this process

class InProcess {
 public:
  InProcess(int& argc, char** argv, const fs::path& project)
      : m_app(argc, argv), m_player(Options(project), {"media_bench"}) {}

  bool Start() {
    if (!m_player.Start()) return false;
    m_form = m_player.GetFormByNum(1);
    Settle(300);
    return m_form != nullptr;
  }
  void Run(const std::string& script) { m_player.RunScript(script, *m_form); }
  double Number(const std::string& name) { return m_player.values().GetNumber(name); }
  // Runs the event loop until `done` holds or the bound passes; false then.
  bool RunUntil(const std::function<bool()>& done, int bound_ms = 30000) {
    QElapsedTimer clock;
    clock.start();
    // Wakes the loop now and then, so the bound is seen without events.
    QTimer wake;
    wake.start(50);
    while (!done()) {
      if (clock.elapsed() > bound_ms) return false;
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
  }
  void Settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  void End() { m_player.EndProgram(1); }

 private:
  static morvane::PlayerOptions Options(const fs::path& project) {
    morvane::PlayerOptions options;
    options.project = project.string();
    options.headless = true;
    options.audio = "none";
    return options;
  }

  QApplication m_app;
  morvane::PlayerShell m_player;
  morvane::TQMForm* m_form = nullptr;
};

std::string Act(int object, const std::string& action) {
  return "10(\"" + std::to_string(object) + "\",\"\")." + action + "\r";
}

int LatencyPart(int argc, char** argv, const fs::path& dir) {
  // Sound 21 plays first and starts the engine; 1 to 20 are measured.
  std::vector<std::string> objects;
  for (int n = 1; n <= 21; ++n) {
    objects.push_back("{kind: sound, name: " + std::to_string(n) + ", file: '" +
                      WindowsPath(dir / "short.wav") +
                      "', on_start: '#started=#started+1', on_finish: '#done=#done+1'}");
  }
  InProcess p(argc, argv, WriteProject(dir, "latency", objects));
  if (!p.Start()) return 1;
  std::vector<double> times;
  double first = 0;
  for (int k = 1; k <= 21; ++k) {
    const int object = k == 1 ? 21 : k - 1;
    const Clock::time_point start = Clock::now();
    p.Run(Act(object, "54"));
    if (!p.RunUntil([&] { return p.Number("started") >= k; })) {
      std::fprintf(stderr, "sound %d never started\n", object);
      return 1;
    }
    const double ms = Ms(Clock::now() - start);
    if (k == 1)
      first = ms;
    else
      times.push_back(ms);
    // One sound at a time: the next starts once this one ended.
    if (!p.RunUntil([&] { return p.Number("done") >= k; })) return 1;
  }
  p.End();
  std::sort(times.begin(), times.end());
  std::printf("first sound played (the media engine starts): %.1f ms from action 54 to its start "
              "script\n",
              first);
  std::printf("action 54 to the start script, 0.3-s PCM WAV, 20 sounds: median %.1f ms, worst "
              "%.1f ms (aim: under 30 ms)\n",
              (times[9] + times[10]) / 2, times.back());
  return 0;
}

int VideoPart(int argc, char** argv, const fs::path& dir, const std::string& file) {
  const std::string object = "{kind: video, name: 1, left: 0, top: 0, width: 640, height: 480, "
                             "visible: true, file: '" +
                             WindowsPath(dir / file) +
                             "', on_start: '#started=1', on_finish: '#finished=1'}";
  InProcess p(argc, argv, WriteProject(dir, "video-" + file, {object}, 640, 480));
  if (!p.Start()) return 1;
  const double cpu_before = SelfCpuSeconds();
  const Clock::time_point start = Clock::now();
  p.Run(Act(1, "4(1)") + Act(1, "54"));
  if (!p.RunUntil([&] { return p.Number("finished") >= 1; }, 60000)) {
    std::fprintf(stderr, "%s never finished\n", file.c_str());
    return 1;
  }
  const double cpu = SelfCpuSeconds() - cpu_before;
  const double wall = Ms(Clock::now() - start) / 1000;
  p.End();
  // Read by the parent.
  std::printf("%.3f %.3f\n", cpu, wall);
  return 0;
}

int MemoryPart(int argc, char** argv, const fs::path& dir) {
  std::vector<std::string> objects;
  for (int n = 1; n <= 50; ++n) {
    objects.push_back("{kind: sound, name: " + std::to_string(n) + ", file: '" +
                      WindowsPath(dir / "short.wav") + "', on_finish: '#done=#done+1'}");
  }
  InProcess p(argc, argv, WriteProject(dir, "memory", objects));
  if (!p.Start()) return 1;
  p.Settle(500);
  const long before = ResidentKb(getpid());
  long after_first = 0;
  for (int n = 1; n <= 50; ++n) {
    p.Run(Act(n, "54"));
    if (!p.RunUntil([&] { return p.Number("done") >= n; })) {
      std::fprintf(stderr, "sound %d never finished\n", n);
      return 1;
    }
    if (n == 1) {
      p.Settle(300);
      after_first = ResidentKb(getpid());
    }
  }
  p.Settle(500);
  const long after = ResidentKb(getpid());
  p.End();
  std::printf("page of 50 sounds: resident memory %.1f MB before any played, %.1f MB after the "
              "first (the media engine started), %.1f MB after each played once (%.0f KB for "
              "each sound after the first)\n",
              before / 1024.0, after_first / 1024.0, after / 1024.0,
              double(after - after_first) / 49);
  return 0;
}

// --- the parts that run other programs

// Runs a command line in a shell; its CPU seconds, or -1.
double CommandCpu(const std::string& command, double* wall_s) {
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    return -1;
  }
  if (wall_s) *wall_s = Ms(Clock::now() - start) / 1000;
  return CpuSeconds(usage);
}

// The player's video sinks, as gst-launch-1.0 builds them.
// The same decoding and conversion to BGRx in real time, into a sink that
// keeps nothing (an appsink that nobody pulls from stalls gst-launch).
std::string BarePlaybin(const fs::path& file) {
  return "gst-launch-1.0 -q playbin uri=" + Quote("file://" + file.string()) +
         " flags=0x53 audio-sink='fakesink sync=true' video-sink='videoconvert ! "
         "video/x-raw,format=BGRx ! fakesink sync=true qos=true' >/dev/null";
}

void VideoFigures(const fs::path& self, const fs::path& dir, const std::string& file,
                  const char* what) {
  const std::string child = Quote(self.string()) + " --part video --dir " +
                            Quote(dir.string()) + " --file " + file;
  FILE* pipe = popen((child + " 2>/dev/null").c_str(), "r");
  double player_cpu = -1, player_wall = -1;
  if (pipe) {
    if (std::fscanf(pipe, "%lf %lf", &player_cpu, &player_wall) != 2) player_cpu = -1;
    pclose(pipe);
  }
  double bare_wall = -1;
  const double bare_cpu = CommandCpu(BarePlaybin(dir / file), &bare_wall);
  if (player_cpu < 0 || bare_cpu <= 0) {
    std::printf("%s: not measured\n", what);
    return;
  }
  std::printf("%s, 10 s at 640 x 480: the player %.2f s of CPU (%.0f %% of a core over %.1f s), "
              "gst-launch-1.0 playbin %.2f s (%.0f %% over %.1f s): %.2fx (aim: at most 1.2x)\n",
              what, player_cpu, 100 * player_cpu / player_wall, player_wall, bare_cpu,
              100 * bare_cpu / bare_wall, bare_wall, player_cpu / bare_cpu);
}

// Starts the player on the project and returns the time until page 1 shows
// (ms), or -1; `engine` tells whether the media engine started by then.
double FirstPage(const fs::path& player, const fs::path& project, const fs::path& dir,
                 bool* engine) {
  const fs::path trace = dir / "start-trace.jsonl";
  const fs::path probe = dir / "engine.log";
  fs::remove(trace);
  fs::remove(probe);
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("MORVANE_PREFIX", (dir / "prefix").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The media engine opens its log file when it starts.
    setenv("GST_DEBUG_FILE", probe.c_str(), 1);
    freopen("/dev/null", "w", stderr);
    execl(player.c_str(), player.c_str(), "--headless", "--trace", trace.c_str(), "--quit-after",
          "10000", project.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  double ms = -1;
  while (Clock::now() - start < std::chrono::seconds(10)) {
    if (ReadText(trace).find("{\"event\":\"show\",\"page\":1}") != std::string::npos) {
      ms = Ms(Clock::now() - start);
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  // A moment for anything that would start the engine after the page.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  *engine = fs::exists(probe);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  return ms;
}

void StartFigures(const fs::path& player, const fs::path& dir) {
  std::vector<std::string> plain;
  for (int n = 1; n <= 40; ++n) {
    const std::string at = "left: " + std::to_string(10 + (n % 8) * 75) +
                           ", top: " + std::to_string(10 + (n / 8) * 60);
    plain.push_back(n % 2 ? "{kind: text, name: " + std::to_string(n) + ", " + at +
                                ", width: 70, height: 20, caption: Text}"
                          : "{kind: button, name: " + std::to_string(n) + ", " + at +
                                ", width: 70, height: 24, caption: Button}");
  }
  std::vector<std::string> media = plain;
  for (int n = 41; n <= 90; ++n) {
    media.push_back("{kind: sound, name: " + std::to_string(n) + ", file: '" +
                    WindowsPath(dir / "short.wav") + "'}");
  }
  for (int n = 91; n <= 100; ++n) {
    media.push_back("{kind: video, name: " + std::to_string(n) + ", left: 10, top: 400, width: "
                    "64, height: 48, file: '" +
                    WindowsPath(dir / "clip.avi") + "'}");
  }
  const fs::path without = WriteProject(dir, "no-media", plain, 640, 480);
  const fs::path with = WriteProject(dir, "idle-media", media, 640, 480);
  for (const auto& [project, what] :
       {std::pair{without, "40 texts and buttons, no media objects"},
        std::pair{with, "the same with 50 sounds and 10 videos nobody plays"}}) {
    std::vector<double> times;
    bool engine = false;
    for (int i = 0; i < 7; ++i) {
      bool started = false;
      const double ms = FirstPage(player, project, dir, &started);
      engine = engine || started;
      if (ms >= 0) times.push_back(ms);
    }
    if (times.empty()) {
      std::printf("first page, %s: not shown\n", what);
      continue;
    }
    std::sort(times.begin(), times.end());
    std::printf("first page, %s: median %.1f ms of 7 starts; the media engine %s\n", what,
                times[times.size() / 2], engine ? "STARTED" : "did not start");
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  auto option = [&](const std::string& name) -> std::string {
    for (size_t i = 0; i + 1 < args.size(); ++i)
      if (args[i] == name) return args[i + 1];
    return "";
  };
  const std::string part = option("--part");
  if (!part.empty()) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const fs::path dir = option("--dir");
    setenv("MORVANE_PREFIX", (dir / ("prefix-" + std::to_string(getpid()))).c_str(), 1);
    // The player's own messages would mix with the figures.
    if (!std::getenv("BENCH_VERBOSE")) freopen("/dev/null", "w", stderr);
    int qt_argc = 1;
    if (part == "latency") return LatencyPart(qt_argc, argv, dir);
    if (part == "video") return VideoPart(qt_argc, argv, dir, option("--file"));
    if (part == "memory") return MemoryPart(qt_argc, argv, dir);
    return 2;
  }

  const fs::path self = fs::read_symlink("/proc/self/exe");
  const fs::path player =
      !args.empty() ? fs::path(args[0]) : self.parent_path().parent_path() / "morvane-player-bare";
  const fs::path dir = fs::temp_directory_path() / ("morvane-media-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  if (!MakeMedia(dir)) return 1;
  auto run_part = [&](const std::string& name) {
    const std::string command =
        Quote(self.string()) + " --part " + name + " --dir " + Quote(dir.string());
    if (std::system(command.c_str()) != 0) std::printf("%s: failed\n", name.c_str());
    std::fflush(stdout);
  };
  run_part("latency");
  VideoFigures(self, dir, "clip.mpg", "MPEG-1 program stream (MPEG-1 video, MP2 sound)");
  VideoFigures(self, dir, "clip.avi", "AVI (MS-MPEG4 v3 video, MP3 sound)");
  std::fflush(stdout);
  run_part("memory");
  if (fs::exists(player)) {
    StartFigures(player, dir);
  } else {
    std::printf("first page: no player binary at %s\n", player.c_str());
  }
  // BENCH_KEEP=1 keeps the media and projects.
  if (std::getenv("BENCH_KEEP"))
    std::printf("kept %s\n", dir.c_str());
  else
    fs::remove_all(dir);
  return 0;
}
