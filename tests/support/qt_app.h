#pragma once

// One QApplication, on the offscreen platform, for each suite of tests that
// runs the player in its own process. The application goes with the suite,
// and with it the font caches.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

namespace morvane::test {

class QtAppSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "morvane-tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) s_app = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    delete s_app;
    s_app = nullptr;
  }

  static inline QApplication* s_app = nullptr;
};

}  // namespace morvane::test
