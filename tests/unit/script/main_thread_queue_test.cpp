// The hand-over of work from worker threads to the main thread.

#include "script/main_thread_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace morvane {
namespace {

// The wake comes once the task is queued, so the main thread it wakes finds
// the task; the task's failure reaches the waiting worker.
TEST(MainThreadQueue, WakesTheMainThreadOnceTheTaskIsQueued) {
  MainThreadQueue queue;
  std::atomic<int> wakes{0};
  queue.SetWake([&] { ++wakes; });
  int ran = 0;
  bool failed = false;
  std::thread worker([&] {
    queue.Run([&] { ran = 1; });
    try {
      queue.Run([] { throw std::runtime_error("no"); });
    } catch (const std::runtime_error&) {
      failed = true;
    }
  });
  for (int handled = 0; handled < 2;) {
    if (wakes.load() > handled) {
      queue.Process();
      ++handled;
    }
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(failed);
  EXPECT_EQ(wakes.load(), 2);
}

TEST(MainThreadQueue, ClosingReleasesTheWaitingWorker) {
  MainThreadQueue queue;
  std::atomic<bool> woken{false};
  queue.SetWake([&] { woken = true; });
  bool ran = false;
  std::thread worker([&] { queue.Run([&] { ran = true; }); });
  while (!woken.load()) std::this_thread::yield();
  queue.Close();
  worker.join();
  EXPECT_FALSE(ran);
  // On the main thread a task always runs at once.
  queue.Run([&] { ran = true; });
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace morvane
