#include <gtest/gtest.h>

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include "platform/EventLoop.h"
#include "platform/LongWork.h"

using namespace std::chrono_literals;

// A fast loop does not run the event loop on every step. When its steps turn slow (a
// pattern that backtracks on long rows), a timer fires within the interval, however many
// fast steps came before: the window never freezes for a run of slow steps (the bound
// leaves room for a loaded machine).
TEST(EventLoop, FastLoopsYieldRarelyAndSlowStepsOnTime) {
  platform::SetYieldInterval(2ms);
  const auto before = platform::YieldRuns();
  for (int i = 0; i < 100000; ++i) platform::YieldToEventLoop();
  EXPECT_LT(platform::YieldRuns() - before, 1000u);
  for (const bool waitFirst : {false, true}) {
    if (waitFirst) {
      QEventLoop wait;
      QTimer::singleShot(20, &wait, &QEventLoop::quit);
      wait.exec();
    }
    for (int i = 0; i < 1000000; ++i) platform::YieldToEventLoop();
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    int steps = 0;
    for (; !fired && steps < 1000; ++steps) QThread::msleep(1), platform::YieldToEventLoop();
    EXPECT_LT(steps, 30) << (waitFirst ? "after a wait for events" : "straight after fast steps");
  }
}

// Work held back for speed is in place before any other handler runs: the flush comes
// before the timer the event loop then runs. While such a scope asks for it, the loop
// runs less often (unless it runs at every step).
TEST(EventLoop, HeldBackWorkIsInPlaceBeforeHandlersRun) {
  platform::SetYieldInterval(0ms);
  int held = 0, flushed = 0, seenByTimer = -1;
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
  for (const auto start = std::chrono::steady_clock::now(); std::chrono::steady_clock::now() - start < 50ms;)
    platform::YieldToEventLoop();
  EXPECT_EQ(platform::YieldRuns() - before, 0u);
}

// What waits for a place runs once its kinds are idle, in the order queued (also when one of
// the actions takes work of its own), a repeated request once; what an owner gone left is
// dropped, as is everything once the place goes. Only a newer Seeking stops the older one.
TEST(LongWork, WaitersAndStops) {
  using platform::LongWork;
  auto place = std::make_unique<QObject>(), gone = std::make_unique<QObject>();
  QStringList ran;
  const auto note = [&ran](const char* name) { return [&ran, name] { ran << name; }; };
  {
    const LongWork writing(place.get(), LongWork::Writing);
    LongWork::RunWhenIdle(place.get(), LongWork::Writing, place.get(), [&] {
      { const LongWork again(place.get(), LongWork::Writing); }
      const LongWork seek(place.get(), LongWork::Seeking);
      const bool newerStops = !LongWork(place.get(), LongWork::Seeking).Stopped() && seek.Stopped();
      ran << (newerStops ? "a" : "a not stopped");
    });
    LongWork::RunWhenIdle(place.get(), LongWork::Importing, place.get(), note("now"));
    for (const char* name : {"request", "joined"})
      LongWork::RequestWhenIdle(place.get(), LongWork::Writing, place.get(), note(name));
    LongWork::RunWhenIdle(place.get(), LongWork::Writing, gone.get(), note("dropped")), gone.reset();
    LongWork::RunWhenIdle(place.get(), LongWork::Writing, place.get(), note("b"));
  }
  const LongWork reading(place.get(), LongWork::Reading);
  LongWork::RunWhenIdle(place.get(), LongWork::Reading, place.get(), note("never"));
  place.reset();
  EXPECT_EQ(std::make_pair(ran.join(", ").toStdString(), reading.Stopped()),
            std::make_pair(std::string("now, a, b, request"), true));
}
