#include "script/main_thread_queue.h"

namespace morvane {

void MainThreadQueue::Run(const std::function<void()>& task) {
  if (OnMainThread()) {
    task();
    return;
  }
  Pending pending;
  pending.task = &task;
  std::unique_lock lock(m_mutex);
  if (m_closed) return;
  m_pending.push_back(&pending);
  m_changed.notify_all();
  if (m_wake) {
    lock.unlock();
    m_wake();
    lock.lock();
  }
  m_changed.wait(lock, [&] { return pending.done; });
  if (pending.error) std::rethrow_exception(pending.error);
}

void MainThreadQueue::Process() {
  for (;;) {
    Pending* pending = nullptr;
    {
      std::lock_guard lock(m_mutex);
      if (m_pending.empty()) return;
      pending = m_pending.front();
      m_pending.pop_front();
    }
    std::exception_ptr error;
    try {
      (*pending->task)();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(m_mutex);
    pending->error = std::move(error);
    pending->done = true;
    m_changed.notify_all();
  }
}

void MainThreadQueue::Close() {
  std::lock_guard lock(m_mutex);
  m_closed = true;
  for (Pending* pending : m_pending) pending->done = true;
  m_pending.clear();
  m_changed.notify_all();
}

}  // namespace morvane
