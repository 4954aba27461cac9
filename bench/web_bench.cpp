// Browsers and Flash objects in the real player, headless. Prints:
//   - the time to the first page of a project of 40 texts and buttons, and
//     the player's resident memory then, with this build's player and, when
//     a second player is named, with that one (the build before the web
//     engine, say), and whether the web engine was mapped;
//   - for a page with one browser on a local HTML page: the time from the
//     page's show to the browser's navigation-complete event, and the
//     resident memory then;
//   - for a page with one Flash object: the time from the page's show to the
//     movie's first FSCommand.
// Each figure is the median of 7 starts, each in a fresh process.
//
//   web_bench [PLAYER [OTHER_PLAYER]]   (default: ../morvane-player-bare)

#include "support/swf_writer.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "process_figures.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

bool MapsWebEngine(pid_t pid) {
  return ReadText("/proc/" + std::to_string(pid) + "/maps").find("libQt6WebEngineCore") !=
         std::string::npos;
}

struct Start {
  double first_page_ms = -1;  // from the start of the process to page 1
  double event_ms = -1;       // from page 1 to the event
  long rss_kb = -1;           // when the event came (or the page, without one)
  bool web_engine = false;
};

// Runs the player on the project until the trace holds `event` (or only the
// page when it is empty).
Start Run(const fs::path& player, const fs::path& project, const fs::path& dir,
          const std::string& event) {
  const fs::path trace = dir / "trace.jsonl";
  fs::remove(trace);
  Start s;
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("MORVANE_PREFIX", (dir / "prefix").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    chdir(dir.c_str());
    freopen("/dev/null", "w", stderr);
    execl(player.c_str(), player.c_str(), "--headless", "--trace", trace.c_str(), "--quit-after",
          "30000", project.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Clock::time_point shown;
  while (Clock::now() - start < std::chrono::seconds(30)) {
    const std::string text = ReadText(trace);
    if (s.first_page_ms < 0 && text.find("{\"event\":\"show\",\"page\":1}") != std::string::npos) {
      shown = Clock::now();
      s.first_page_ms = std::chrono::duration<double, std::milli>(shown - start).count();
      if (event.empty()) break;
    }
    if (s.first_page_ms >= 0 && text.find("{\"event\":\"" + event + "\"") != std::string::npos) {
      s.event_ms = std::chrono::duration<double, std::milli>(Clock::now() - shown).count();
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  // What the process holds once it is there, after a moment to settle.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  s.rss_kb = ResidentKb(pid);
  s.web_engine = MapsWebEngine(pid);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  return s;
}

double Median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Figures {
  double first_page_ms, event_ms, rss_mb;
  bool web_engine;
};

Figures Measure(const fs::path& player, const fs::path& project, const fs::path& dir,
                const std::string& event) {
  std::vector<double> first, events, rss;
  bool engine = false;
  for (int i = 0; i < 7; ++i) {
    const Start s = Run(player, project, dir, event);
    if (s.first_page_ms >= 0) first.push_back(s.first_page_ms);
    if (s.event_ms >= 0) events.push_back(s.event_ms);
    if (s.rss_kb >= 0) rss.push_back(s.rss_kb / 1024.0);
    engine = engine || s.web_engine;
  }
  return {Median(first), Median(events), Median(rss), engine};
}

fs::path WriteProject(const fs::path& dir, const std::string& name,
                      const std::vector<std::string>& objects) {
  const fs::path project = dir / name;
  fs::create_directories(project);
  std::ofstream yaml(project / "project.yaml");
  yaml << "title: Bench\npages:\n  - name: Main\n    client_width: 640\n    client_height: 480\n"
          "    objects:\n";
  for (const std::string& o : objects) yaml << "      - " << o << "\n";
  return project;
}

}  // namespace

int main(int argc, char** argv) {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  const fs::path player =
      argc > 1 ? fs::path(argv[1]) : self.parent_path() / ".." / "morvane-player-bare";
  const fs::path dir =
      fs::temp_directory_path() / ("morvane-web-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);

  std::vector<std::string> plain;
  for (int n = 1; n <= 40; ++n) {
    const std::string at = "left: " + std::to_string(10 + (n % 8) * 75) +
                           ", top: " + std::to_string(10 + (n / 8) * 60);
    plain.push_back(n % 2 ? "{kind: text, name: " + std::to_string(n) + ", " + at +
                                ", width: 70, height: 20, caption: Text}"
                          : "{kind: button, name: " + std::to_string(n) + ", " + at +
                                ", width: 70, height: 24, caption: Button}");
  }
  const fs::path text = WriteProject(dir, "text", plain);
  for (int i = 1; i < std::min(argc, 3) || i == 1; ++i) {
    const fs::path which = i == 1 ? player : fs::path(argv[2]);
    const Figures f = Measure(which, text, dir, "");
    std::printf(
        "first page, 40 texts and buttons (%s): %.1f ms, resident %.1f MB; the web engine "
        "%s\n",
        which.string().c_str(), f.first_page_ms, f.rss_mb, f.web_engine ? "MAPPED" : "not mapped");
    if (argc < 3) break;
  }

  std::ofstream(dir / "page.html") << "<!DOCTYPE html><title>Local</title><p>A local page.</p>";
  const fs::path browser = WriteProject(dir, "browser",
                                        {"{kind: browser, name: 1, left: 0, top: 0, width: 640, "
                                         "height: 480, file: \"[src]page.html\"}"});
  const Figures b = Measure(player, browser, dir, "web-complete");
  std::printf(
      "one browser on a local page: %.1f ms from the page's show to the navigation-complete "
      "event (first page after %.1f ms), resident %.1f MB\n",
      b.event_ms, b.first_page_ms, b.rss_mb);

  morvane::test::SwfActions actions;
  actions.FsCommand("ready", "").Stop();
  std::ofstream(dir / "movie.swf", std::ios::binary)
      << morvane::test::SwfWriter(200, 100, 0, 0, 255).Frame(actions).Bytes();
  const fs::path flash = WriteProject(
      dir, "flash",
      {"{kind: flash, name: 1, left: 0, top: 0, width: 200, height: 100, playing: true, file: "
       "\"[src]movie.swf\"}"});
  const Figures m = Measure(player, flash, dir, "web-fscommand");
  std::printf(
      "one Flash object: %.1f ms from the page's show to the movie's first FSCommand, "
      "resident %.1f MB\n",
      m.event_ms, m.rss_mb);
  fs::remove_all(dir, ec);
  return 0;
}
