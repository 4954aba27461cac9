#include "player/shell/end_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>

namespace morvane {
namespace {

// The signal's pipe, made once for the whole process; a signal before the
// first watch waits in it for that watch.
int g_signal_pipe[2] = {-1, -1};
std::once_flag g_signal_pipe_made;

void MakeSignalPipe() {
  if (pipe(g_signal_pipe) != 0) return;
  for (int fd : g_signal_pipe) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
}

std::atomic<int> g_signal_write{-1};

}  // namespace

EndWatch::EndWatch(std::function<void()> let_go, std::chrono::milliseconds grace)
    : m_let_go(std::move(let_go)), m_grace(grace) {
  std::call_once(g_signal_pipe_made, [] {
    MakeSignalPipe();
    g_signal_write.store(g_signal_pipe[1]);
  });
  if (pipe(m_wake) != 0) return;
  for (int fd : m_wake) fcntl(fd, F_SETFD, FD_CLOEXEC);
  m_thread = std::thread([this] { Run(); });
}

EndWatch::~EndWatch() {
  {
    std::lock_guard lock(m_mutex);
    m_closing = true;
  }
  Wake();
  if (m_thread.joinable()) m_thread.join();
  for (int fd : m_wake)
    if (fd >= 0) close(fd);
}

void EndWatch::NoteSignal() {
  const int fd = g_signal_write.load();
  if (fd < 0) return;
  char byte = 1;
  [[maybe_unused]] ssize_t written = write(fd, &byte, 1);
}

void EndWatch::SetDeadline(std::chrono::milliseconds from_now) {
  {
    std::lock_guard lock(m_mutex);
    m_deadline = std::chrono::steady_clock::now() + from_now;
  }
  Wake();
}

void EndWatch::Begun() {
  {
    std::lock_guard lock(m_mutex);
    m_begun = true;
  }
  Wake();
}

void EndWatch::Wake() {
  if (m_wake[1] < 0) return;
  char byte = 1;
  [[maybe_unused]] ssize_t written = write(m_wake[1], &byte, 1);
}

void EndWatch::Run() {
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> due;  // when the main thread should have begun
  for (;;) {
    int timeout = -1;
    {
      std::lock_guard lock(m_mutex);
      if (m_closing || m_begun) return;
      std::optional<Clock::time_point> until = due;
      if (!until && m_deadline) until = *m_deadline + m_grace;
      if (until) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*until - Clock::now());
        if (left.count() <= 0) break;
        timeout = int(std::min<int64_t>(left.count() + 1, 60000));
      }
    }
    pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {g_signal_pipe[0], POLLIN, 0}};
    const int ready = poll(fds, g_signal_pipe[0] >= 0 ? 2 : 1, timeout);
    if (ready <= 0) continue;
    char bytes[64];
    if (fds[0].revents & POLLIN) [[maybe_unused]] ssize_t got = read(m_wake[0], bytes, sizeof bytes);
    if (fds[1].revents & POLLIN) {
      // The signal stays for the main thread too: it has a pipe of its own.
      [[maybe_unused]] ssize_t got = read(g_signal_pipe[0], bytes, sizeof bytes);
      if (!due) due = Clock::now() + m_grace;
    }
  }
  m_let_go();
}

}  // namespace morvane
