// Runs the real player headless and prints:
//   - LAN messages per second delivered to the LAN message script from a
//     loopback peer (1,000 messages, one connection each, sent one after
//     another as fast as the peer can);
//   - the player's resident-memory growth with 1,000 idle connections held
//     open against its server (the server reads 64 at a time and closes the
//     one idle the longest for a newcomer);
//   - the time from a second start of a project to the end of the
//     command-line script in the first (median, fastest and slowest of 20),
//     and how long the second start takes until it has ended.
//
//   lan_bench [PLAYER_BINARY]   (default: ../morvane-player-bare)

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

bool WaitFor(const fs::path& file, std::chrono::seconds bound = std::chrono::seconds(120)) {
  const auto deadline = Clock::now() + bound;
  while (!fs::exists(file)) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return true;
}

int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  close(s);
  return ntohs(address.sin_port);
}

int Connect(int port, bool blocking = true) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  if (!blocking) fcntl(s, F_SETFL, O_NONBLOCK);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(uint16_t(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
      (blocking || errno != EINPROGRESS)) {
    close(s);
    return -1;
  }
  return s;
}

// A headless player on `project`, in `dir`, in the background.
pid_t Start(const fs::path& player, const fs::path& dir, const fs::path& runtime,
            const fs::path& project, const std::string& arguments = "") {
  fs::create_directories(dir);
  const std::string command =
      "cd '" + dir.string() + "' && exec env QT_QPA_PLATFORM=offscreen MORVANE_PREFIX='" +
      (dir / "prefix").string() + "' XDG_RUNTIME_DIR='" + runtime.string() + "' '" +
      player.string() + "' --headless --quit-after 300000 --trace '" +
      (dir / "trace.jsonl").string() + "' '" + project.string() + "' " + arguments +
      " >/dev/null 2>&1";
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

void End(pid_t pid) {
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

void Project(const fs::path& folder, const std::string& yaml) {
  fs::create_directories(folder);
  std::ofstream(folder / "project.yaml") << yaml;
}

// The peer: kSenders threads, each sending its share of `count` messages,
// one connection each, one after another.
constexpr int kSenders = 8;

void SendMessages(int port, int count) {
  std::vector<std::thread> senders;
  for (int t = 0; t < kSenders; ++t) {
    senders.emplace_back([port, count, t] {
      for (int i = t; i < count; i += kSenders) {
        const int s = Connect(port);
        if (s < 0) continue;
        const std::string line = "message " + std::to_string(i) + "\r\n";
        [[maybe_unused]] ssize_t n = send(s, line.data(), line.size(), MSG_NOSIGNAL);
        close(s);
      }
    });
  }
  for (auto& sender : senders) sender.join();
}

// The peer against a server that reads every connection to its end and
// counts: the machine's own cost of a connection.
double BaselineSeconds(int count) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
  listen(listener, 128);
  const auto from = Clock::now();
  std::thread server([listener, count] {
    char buffer[256];
    for (int got = 0; got < count;) {
      const int c = accept(listener, nullptr, nullptr);
      if (c < 0) break;
      while (read(c, buffer, sizeof buffer) > 0) {
      }
      close(c);
      ++got;
    }
  });
  SendMessages(ntohs(address.sin_port), count);
  server.join();
  close(listener);
  return std::chrono::duration<double>(Clock::now() - from).count();
}

long long MonotonicMs(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
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
  std::string runtime_template = (fs::temp_directory_path() / "mvb-XXXXXX").string();
  if (!mkdtemp(runtime_template.data())) return 1;
  const fs::path runtime = runtime_template;
  const fs::path dir =
      fs::temp_directory_path() / ("morvane-lan-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  signal(SIGPIPE, SIG_IGN);

  // --- Messages per second
  const int port = FreePort();
  const int kMessages = 1000;
  Project(dir / "receiver",
          "title: LAN Bench\non_lan_message: \"#n=#n+1\\r0(#n=" + std::to_string(kMessages) +
              ")\\r41(\\\"C:\\\\done.txt\\\",\\\"1\\\")\\r1\"\npages:\n  - name: Main\n"
              "    client_width: 100\n    client_height: 100\n    on_show: \"110(" +
              std::to_string(port) +
              ")\\r111(\\\"\\\")\\r41(\\\"C:\\\\ready.txt\\\",\\\"1\\\")\"\n");
  const pid_t receiver = Start(player, dir / "run-receiver", runtime, dir / "receiver");
  if (!WaitFor(dir / "run-receiver" / "prefix" / "ready.txt")) {
    std::fprintf(stderr, "the receiver did not start\n");
    End(receiver);
    return 1;
  }
  const auto sent_from = Clock::now();
  SendMessages(port, kMessages);
  const bool delivered = WaitFor(dir / "run-receiver" / "prefix" / "done.txt");
  const double seconds = std::chrono::duration<double>(Clock::now() - sent_from).count();
  if (delivered) {
    std::printf("LAN messages delivered to the script: %d in %.3f s, %.0f messages/s\n", kMessages,
                seconds, kMessages / seconds);
    // What the machine's loopback allows the same peer against a server
    // that only reads.
    const double baseline = BaselineSeconds(kMessages);
    std::printf("  the same peer against a bare reading server: %.3f s, %.0f messages/s\n",
                baseline, kMessages / baseline);
  } else {
    std::printf("LAN messages: not all %d delivered within the bound\n", kMessages);
  }

  // --- Memory with 1,000 idle connections
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const long before_kb = ResidentKb(receiver);
  std::vector<int> idle;
  long peak_kb = before_kb;
  for (int i = 0; i < 1000; ++i) {
    const int s = Connect(port, false);
    if (s >= 0) idle.push_back(s);
    if (i % 100 == 99) peak_kb = std::max(peak_kb, ResidentKb(receiver));
  }
  for (int i = 0; i < 20; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    peak_kb = std::max(peak_kb, ResidentKb(receiver));
  }
  // A message still gets through while they are held.
  const auto good_from = Clock::now();
  const int s = Connect(port);
  bool good = false;
  if (s >= 0) {
    const std::string line = "good\r\n";
    good = send(s, line.data(), line.size(), MSG_NOSIGNAL) == ssize_t(line.size());
    close(s);
  }
  const std::string good_entry = "\"text\":\"good\"";
  const auto bound = Clock::now() + std::chrono::seconds(60);
  while (good &&
         ReadText(dir / "run-receiver" / "trace.jsonl").find(good_entry) == std::string::npos &&
         Clock::now() < bound)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const double good_ms =
      std::chrono::duration<double, std::milli>(Clock::now() - good_from).count();
  std::printf(
      "1000 idle connections: resident memory %ld kB before, %ld kB at most while held, "
      "growth %.1f MB; a message sent meanwhile arrived after %.1f ms\n",
      before_kb, peak_kb, double(peak_kb - before_kb) / 1024.0, good_ms);
  for (int c : idle) close(c);
  End(receiver);

  // --- Second-start latency
  Project(dir / "single",
          "title: Single Bench\noptions:\n  single_instance: true\n"
          "on_command_line: \"#runs=#runs+1\"\npages:\n  - name: Main\n"
          "    client_width: 100\n    client_height: 100\n");
  const pid_t first = Start(player, dir / "run-first", runtime, dir / "single");
  const fs::path first_trace = dir / "run-first" / "trace.jsonl";
  const auto shown_bound = Clock::now() + std::chrono::seconds(60);
  while (ReadText(first_trace).find("\"event\":\"show\"") == std::string::npos &&
         Clock::now() < shown_bound)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::vector<double> to_script, to_exit;
  for (int i = 0; i < 20; ++i) {
    const auto from = Clock::now();
    const pid_t later = Start(player, dir / ("run-later" + std::to_string(i)), runtime,
                              dir / "single", "a" + std::to_string(i));
    waitpid(later, nullptr, 0);
    to_exit.push_back(std::chrono::duration<double, std::milli>(Clock::now() - from).count());
    // The first's trace holds when each command-line script ended.
    const std::string trace = ReadText(first_trace);
    size_t at = std::string::npos;
    for (int k = 0; k <= i; ++k) {
      at = trace.find("\"event\":\"command-line\"", at == std::string::npos ? 0 : at + 1);
      if (at == std::string::npos) break;
    }
    if (at == std::string::npos) continue;
    const size_t ms = trace.find("\"ms\":", at);
    if (ms == std::string::npos) continue;
    to_script.push_back(double(std::atoll(trace.c_str() + ms + 5) - MonotonicMs(from)));
  }
  End(first);
  std::sort(to_script.begin(), to_script.end());
  std::sort(to_exit.begin(), to_exit.end());
  if (!to_script.empty()) {
    std::printf(
        "second start to the end of the first's command-line script: median %.0f ms "
        "(fastest %.0f, slowest %.0f, %zu starts)\n",
        to_script[to_script.size() / 2], to_script.front(), to_script.back(), to_script.size());
    std::printf("second start until it has ended: median %.0f ms (fastest %.0f, slowest %.0f)\n",
                to_exit[to_exit.size() / 2], to_exit.front(), to_exit.back());
  }
  fs::remove_all(dir);
  fs::remove_all(runtime);
  return 0;
}
