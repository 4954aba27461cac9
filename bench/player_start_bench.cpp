// Starts the real player headless on a generated project of 50 pages of 40
// objects of mixed classes and prints the time until page 1 is shown (with
// nine more pages open at start), the CPU used by then, the resident memory
// then, and the CPU the player uses while idle with ten pages open.
//
//   player_start_bench [PLAYER_BINARY]   (default: ../morvane-player-bare)

#include "package/native_container.h"
#include "package/package_writer.h"
#include "support/project_generator.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "process_figures.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// User plus system time of the process, in clock ticks.
long long CpuTicks(pid_t pid) {
  std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream in(stat.substr(close + 2));
  std::string field;
  long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && in >> field; ++i) {
    if (i == 14) utime = std::stoll(field);
    if (i == 15) stime = std::stoll(field);
  }
  return utime + stime;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path self = fs::read_symlink("/proc/self/exe");
  fs::path player =
      argc > 1 ? fs::path(argv[1]) : self.parent_path().parent_path() / "morvane-player-bare";
  if (!fs::exists(player)) {
    std::fprintf(stderr, "no player binary at %s\n", player.c_str());
    return 1;
  }
  fs::path dir = fs::temp_directory_path() / ("morvane-player-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);

  morvane::testing::ProjectGenerator generator(7,
                                               morvane::testing::ProjectGenerator::Style::kTypical);
  morvane::Project project = generator.Generate(50, 40);
  project.display_flags.clear();  // the screen as it is
  project.databases.clear();      // no database engine to provide
  for (size_t i = 0; i < project.pages.size(); ++i) {
    morvane::PageOptions& o = project.pages[i].options;
    o.hidden_at_start = i >= 10;  // ten pages open
    o.show_transition = 0;
  }
  std::string package = morvane::WritePackageChoosingKey(project);
  fs::path exe = dir / "generated";
  morvane::WriteNativeExecutable(player.string(), {{"PDATA", package}}, std::nullopt, exe.string());
  fs::path trace = dir / "trace.jsonl";

  Clock::time_point start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    setenv("MORVANE_PREFIX", (dir / "prefix").c_str(), 1);
    // BENCH_VERBOSE=1 keeps the player's messages.
    if (!std::getenv("BENCH_VERBOSE")) freopen("/dev/null", "w", stderr);
    execl(exe.c_str(), exe.c_str(), "--headless", "--trace", trace.c_str(), "--quit-after", "15000",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  double first_page_ms = -1;
  while (Clock::now() - start < std::chrono::seconds(10)) {
    // Page 1, the main window, is shown after the other pages open at start.
    if (ReadText(trace).find("{\"event\":\"show\",\"page\":1}") != std::string::npos) {
      first_page_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  if (first_page_ms < 0) {
    int status = 0;
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
    std::fprintf(stderr, "the player showed no page (status %d); its trace:\n%s\n", status,
                 ReadText(trace).c_str());
    fs::remove_all(dir);
    return 1;
  }
  long long ticks_at_first_page = CpuTicks(pid);
  long rss_at_first_page = ResidentKb(pid);
  // Let the start settle, then measure ten seconds of idling.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  long long ticks_before = CpuTicks(pid);
  Clock::time_point idle_start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(10));
  long long ticks_after = CpuTicks(pid);
  double idle_s = std::chrono::duration<double>(Clock::now() - idle_start).count();
  long rss_idle = ResidentKb(pid);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);

  double cpu_percent =
      100.0 * double(ticks_after - ticks_before) / double(sysconf(_SC_CLK_TCK)) / idle_s;
  std::printf("project: 50 pages x 40 objects, %zu bytes of package\n", package.size());
  std::printf("first page shown: %.1f ms (aim: under 300 ms), %.0f ms of CPU by then\n",
              first_page_ms, 1000.0 * double(ticks_at_first_page) / double(sysconf(_SC_CLK_TCK)));
  std::printf("resident memory at first page: %.1f MB, after idling: %.1f MB (aim: under 150 MB)\n",
              rss_at_first_page / 1024.0, rss_idle / 1024.0);
  std::printf("idle CPU with ten pages open: %.2f %% of one core over %.1f s (aim: under 1 %%)\n",
              cpu_percent, idle_s);
  // BENCH_KEEP=1 keeps the generated project for profiling.
  if (std::getenv("BENCH_KEEP")) {
    std::printf("generated project kept at %s\n", exe.c_str());
  } else {
    fs::remove_all(dir);
  }
  return 0;
}
