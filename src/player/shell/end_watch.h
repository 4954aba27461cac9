#pragma once

// Hears a request to end the program while a script keeps the main thread
// busy. The orderly end (screenshots, dump, exit record) runs on the main
// thread from its event loop, which a script in an endless loop, a long wait
// or a long tone never returns to. A watch thread sees the request (a
// termination signal, or the --quit-after deadline) and, when the main thread
// has not begun to end within a grace time, lets the running scripts go:
// they end at their next line, and waits and tones end at once. The event
// loop then runs the end that was asked for. Until the request, scripts see
// nothing of the watch.

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace morvane {

class EndWatch {
 public:
  // `let_go` runs on the watch thread, at most once, and must be safe there.
  explicit EndWatch(std::function<void()> let_go,
                    std::chrono::milliseconds grace = std::chrono::milliseconds(300));
  // Stops the watch; `let_go` is not called any more once this returns.
  ~EndWatch();
  EndWatch(const EndWatch&) = delete;
  EndWatch& operator=(const EndWatch&) = delete;

  // The end is due this long from now.
  void SetDeadline(std::chrono::milliseconds from_now);
  // The main thread has begun to end: nothing is left to watch.
  void Begun();

  // A termination signal came; safe in a signal handler.
  static void NoteSignal();

 private:
  void Run();
  void Wake();

  std::function<void()> m_let_go;
  std::chrono::milliseconds m_grace;
  int m_wake[2] = {-1, -1};
  std::mutex m_mutex;
  // --- Protected by m_mutex.
  std::optional<std::chrono::steady_clock::time_point> m_deadline;
  bool m_begun = false;
  bool m_closing = false;
  // ---
  std::thread m_thread;
};

}  // namespace morvane
