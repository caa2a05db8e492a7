#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include "platform/EventLoop.h"

using namespace std::chrono_literals;

// A fast loop lets the yield read the clock only every so many steps. Once the program
// goes back to waiting for events, the next loop may have slow steps, so it must start
// reading the clock at every step again or the window could freeze for the whole stride.
TEST(YieldStride, WaitingForEventsRestartsTheStride) {
  platform::SetYieldInterval(1s);
  for (int i = 0; i < 100000; ++i) platform::YieldToEventLoop();
  EXPECT_GT(platform::detail::g_yieldCountdown, 1);

  QEventLoop wait;
  QTimer::singleShot(20, &wait, &QEventLoop::quit);
  wait.exec();
  EXPECT_EQ(platform::detail::g_yieldCountdown, 1);
  platform::SetYieldInterval(8ms);
}

// With no interval every step runs the event loop, whatever came before.
TEST(YieldStride, ZeroIntervalYieldsEveryStep) {
  platform::SetYieldInterval(1s);
  for (int i = 0; i < 100000; ++i) platform::YieldToEventLoop();
  platform::SetYieldInterval(0us);
  const auto before = platform::YieldRuns();
  for (int i = 0; i < 50; ++i) platform::YieldToEventLoop();
  EXPECT_EQ(platform::YieldRuns() - before, 50u);
  platform::SetYieldInterval(8ms);
}
