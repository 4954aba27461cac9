#pragma once

// Players that run beside the test: each headless in a folder of its own
// (prefix, trace, variable dump, output), started in the background and
// waited for with generous bounds, so that a test can talk to them while
// they run. Helpers for loopback sockets written in a few lines of POSIX.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "support/loopback.h"
#include "support/player_run.h"

namespace morvane::test {

inline constexpr auto kGenerous = std::chrono::seconds(60);

// Polls `done` until it holds or `bound` has passed.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds bound = kGenerous) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

inline size_t Occurrences(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class PlayerProcess {
 public:
  // `dir` holds the player's prefix and files, `runtime` is its runtime
  // folder (where instances of a project meet); `environment` is put before
  // the command (NAME=value ...), `arguments` (shell words) after the project.
  // An empty `project` runs the one `binary` carries.
  PlayerProcess(fs::path dir, const fs::path& runtime, std::string project, std::string options,
                std::string environment = "", std::string arguments = "",
                std::string binary = kBinaryDir + "/morvane-player-bare")
      : m_dir(std::move(dir)) {
    fs::create_directories(m_dir);
    const std::string command =
        "cd " + Quote(m_dir.string()) + " && exec env QT_QPA_PLATFORM=offscreen MORVANE_PREFIX=" +
        Quote((m_dir / "prefix").string()) +
        " XDG_CONFIG_HOME=" + Quote((m_dir / "config").string()) +
        " XDG_DATA_HOME=" + Quote((m_dir / "data").string()) +
        " XDG_RUNTIME_DIR=" + Quote(runtime.string()) + " " + environment + " " + Quote(binary) +
        " --headless --trace " + Quote(trace().string()) + " --dump-vars " +
        Quote(vars().string()) + " " + options + " " +
        (project.empty() ? std::string() : Quote(project)) + " " + arguments + " >" +
        Quote((m_dir / "stdout.txt").string()) + " 2>" + Quote((m_dir / "stderr.txt").string());
    m_pid = fork();
    if (m_pid == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~PlayerProcess() {
    if (m_pid > 0 && !m_status) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
  }
  PlayerProcess(const PlayerProcess&) = delete;
  PlayerProcess& operator=(const PlayerProcess&) = delete;

  // The exit status once the player ended within the bound, else nothing.
  std::optional<int> Wait(std::chrono::milliseconds bound = kGenerous) {
    WaitUntil([this] { return Exited(); }, bound);
    return m_status;
  }
  bool Exited() {
    if (m_status) return true;
    int status = 0;
    if (m_pid <= 0 || waitpid(m_pid, &status, WNOHANG) != m_pid) return false;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
  }
  // Waits until the trace holds `entry` at least `count` times.
  bool WaitForTrace(const std::string& entry, size_t count = 1) {
    return WaitUntil([&] { return Occurrences(ReadText(trace()), entry) >= count || Exited(); }) &&
           Occurrences(ReadText(trace()), entry) >= count;
  }
  // The C: drive's host folder.
  fs::path c_drive() const { return m_dir / "prefix"; }
  fs::path trace() const { return m_dir / "trace.jsonl"; }
  fs::path vars() const { return m_dir / "vars.json"; }
  std::string Var(const std::string& section, const std::string& name) const {
    return DumpEntry(ReadText(vars()), section, name);
  }
  pid_t pid() const { return m_pid; }

 private:
  fs::path m_dir;
  pid_t m_pid = -1;
  std::optional<int> m_status;
};

}  // namespace morvane::test
