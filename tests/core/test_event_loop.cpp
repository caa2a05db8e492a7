#include <gtest/gtest.h>

#include <QTimer>

#include "platform/EventLoop.h"

using namespace std::chrono_literals;

// A timer must fire in the middle of a long loop that yields once per step, and the
// loop must not run the event loop on every step.
TEST(EventLoop, TimersRunDuringLongLoopButNotEveryStep) {
  platform::SetYieldInterval(2ms);
  bool fired = false;
  QTimer::singleShot(1, [&] { fired = true; });
  const auto before = platform::YieldRuns();
  const auto start = std::chrono::steady_clock::now();
  unsigned long steps = 0;
  while (!fired && std::chrono::steady_clock::now() - start < 2s) {
    platform::YieldToEventLoop();
    ++steps;
  }
  EXPECT_TRUE(fired);
  EXPECT_LT(platform::YieldRuns() - before, steps);
}
