#pragma once

#include <atomic>
#include <chrono>
#include <functional>

namespace platform {

// Lets the event loop run in the middle of a long loop over list rows or file lines,
// so timers, sockets and the window stay live. Call it once per step: it really runs
// the event loop only when a few milliseconds have passed since it last did, so a
// loop over a million rows costs next to nothing more.
//
// Anything the caller holds may be gone when this returns (a window closed by the
// user, a row removed by a timer): re-check bounds and guard objects with QPointer.
void YieldToEventLoop();

namespace detail {
// Set by a timekeeper thread once the interval since the last run of the event loop has
// passed, so that a step costs one load, whatever its pace: a loop whose steps turn slow
// after a million fast ones still yields on time.
extern std::atomic<bool> g_yieldDue;
void YieldCheck();
}  // namespace detail

inline void YieldToEventLoop() {
  if (detail::g_yieldDue.load(std::memory_order_relaxed)) detail::YieldCheck();
}

// Runs the event loop now, whatever the time since the last run.
void YieldNow();

// While it lives, `flush` runs each time YieldToEventLoop or YieldNow is about to run the
// event loop: work held back for speed (rows not yet appended to a list, log rows not yet
// shown) is put in place before any other handler can look. Scopes nest; the outer ones
// flush first. A scope may also ask YieldToEventLoop to run the loop no more often than
// every `atMostEvery` (a long import need not redraw its window more often than that),
// unless the interval is zero and the loop runs at every step.
class BeforeEventLoop {
 public:
  explicit BeforeEventLoop(std::function<void()> flush,
                           std::chrono::milliseconds atMostEvery = std::chrono::milliseconds(0));
  ~BeforeEventLoop();
  BeforeEventLoop(const BeforeEventLoop&) = delete;
  BeforeEventLoop& operator=(const BeforeEventLoop&) = delete;
  void Flush() const {
    if (m_flush) m_flush();
  }
  std::chrono::milliseconds AtMostEvery() const;

 private:
  std::function<void()> m_flush;
  std::chrono::milliseconds m_atMostEvery;
};

// The interval between the end of one real run of the event loop and the start of the
// next; tests shorten it to zero.
void SetYieldInterval(std::chrono::microseconds interval);
std::chrono::microseconds YieldInterval();

// How many times YieldToEventLoop really ran the event loop (for tests and benchmarks).
unsigned long long YieldRuns();

}  // namespace platform
