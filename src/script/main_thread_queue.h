#pragma once

// A synchronous hand-over of work to one thread, for stages without an event
// loop of their own (the command-line tools, tests, fuzzers). The thread that
// creates the queue is its main thread; it runs the waiting tasks when it
// calls Process().

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace morvane {

class MainThreadQueue {
 public:
  MainThreadQueue() : m_main(std::this_thread::get_id()) {}
  MainThreadQueue(const MainThreadQueue&) = delete;
  MainThreadQueue& operator=(const MainThreadQueue&) = delete;

  bool OnMainThread() const { return std::this_thread::get_id() == m_main; }

  // Runs `task` on the main thread and waits for it; the task's exception is
  // raised again here. After Close() a task is dropped and this returns at once.
  void Run(const std::function<void()>& task);
  // Runs every task waiting now; main thread only.
  void Process();
  // Drops the waiting tasks and every later one, releasing their callers.
  void Close();
  // Called by a waiting thread once its task is queued, so that a main thread
  // busy in an event loop learns it has to call Process(). Set it before other
  // threads use the queue.
  void SetWake(std::function<void()> wake) { m_wake = std::move(wake); }

 private:
  struct Pending {
    const std::function<void()>* task = nullptr;
    bool done = false;
    std::exception_ptr error;
  };

  const std::thread::id m_main;
  std::function<void()> m_wake;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  // --- The following fields are protected by m_mutex.
  std::deque<Pending*> m_pending;
  bool m_closed = false;
};

}  // namespace morvane
