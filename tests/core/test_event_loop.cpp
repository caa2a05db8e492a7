#include <gtest/gtest.h>

#include <QTimer>
#include <utility>

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

// Work held back for speed is in place before any other handler runs: the flush comes
// before the timer the event loop then runs. While such a scope asks for it, the loop
// runs less often (unless it runs at every step).
TEST(EventLoop, HeldBackWorkIsInPlaceBeforeHandlersRun) {
  platform::SetYieldInterval(0ms);
  int held = 0;
  int flushed = 0;
  int seenByTimer = -1;
  {
    const platform::BeforeEventLoop flushing([&] { flushed += std::exchange(held, 0); }, 200ms);
    QTimer::singleShot(0, [&] { seenByTimer = flushed; });
    held = 3;
    platform::YieldToEventLoop();
  }
  EXPECT_EQ(seenByTimer, 3);

  platform::SetYieldInterval(2ms);
  const platform::BeforeEventLoop rarely({}, 200ms);
  const auto before = platform::YieldRuns();
  for (const auto start = std::chrono::steady_clock::now();
       std::chrono::steady_clock::now() - start < 50ms;) {
    platform::YieldToEventLoop();
  }
  EXPECT_EQ(platform::YieldRuns() - before, 0u);
}
