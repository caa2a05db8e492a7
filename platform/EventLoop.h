#pragma once

#include <chrono>

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
// Steps left before YieldToEventLoop next reads the clock. Reading the clock costs as
// much as a cheap loop step, so it is read once per a stride of steps that adapts to
// how long the steps take; the count-down is inline so a step costs a decrement.
extern int g_yieldCountdown;
void YieldCheck();
}  // namespace detail

inline void YieldToEventLoop() {
  if (--detail::g_yieldCountdown <= 0) detail::YieldCheck();
}

// Runs the event loop now, whatever the time since the last run.
void YieldNow();

// The interval between two real runs of the event loop; tests shorten it to zero.
void SetYieldInterval(std::chrono::microseconds interval);
std::chrono::microseconds YieldInterval();

// How many times YieldToEventLoop really ran the event loop (for tests and benchmarks).
unsigned long long YieldRuns();

}  // namespace platform
