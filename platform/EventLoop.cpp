#include "platform/EventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace platform {

std::atomic<bool> detail::g_yieldDue{true};

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::microseconds g_interval{8000};
Clock::time_point g_last = Clock::now();
unsigned long long g_runs = 0;

// The timekeeper: a thread that sleeps until the deadline it was given, raises
// g_yieldDue and sleeps again until it is given the next. When the program waits for
// events nobody gives it one, so an idle program wakes no thread. Its state is never
// freed: the thread may outlive every static destructor.
struct Timekeeper {
  std::mutex mutex;
  std::condition_variable wake;
  std::optional<Clock::time_point> deadline;

  Timekeeper() {
    std::thread([this] { Run(); }).detach();
  }
  void Arm(Clock::time_point at) {
    {
      const std::lock_guard lock(mutex);
      deadline = at;
    }
    wake.notify_one();
  }
  void Run() {
    std::unique_lock lock(mutex);
    for (;;) {
      wake.wait(lock, [this] { return deadline.has_value(); });
      const Clock::time_point at = *deadline;
      if (wake.wait_until(lock, at, [&] { return deadline != at; })) continue;  // re-armed
      deadline.reset();
      detail::g_yieldDue.store(true, std::memory_order_relaxed);
    }
  }
};

Timekeeper& Keeper() {
  static Timekeeper* keeper = new Timekeeper;
  return *keeper;
}

std::vector<BeforeEventLoop*>& FlushScopes() {
  static std::vector<BeforeEventLoop*> scopes;
  return scopes;
}

// The longest interval a scope asks for.
std::chrono::microseconds g_scopeInterval{0};

std::chrono::microseconds EffectiveInterval() {
  return g_interval.count() == 0 ? g_interval : std::max(g_interval, g_scopeInterval);
}

void UpdateScopeInterval() {
  g_scopeInterval = std::chrono::microseconds(0);
  for (const BeforeEventLoop* scope : FlushScopes()) {
    g_scopeInterval = std::max<std::chrono::microseconds>(g_scopeInterval, scope->AtMostEvery());
  }
  // A shorter interval than the one armed counts from the last run at the next step.
  detail::g_yieldDue.store(true, std::memory_order_relaxed);
}

// Waits for the next step that comes after the interval; an interval of zero is due at
// every step.
void ArmForNextRun() {
  const std::chrono::microseconds interval = EffectiveInterval();
  if (interval.count() == 0) return;
  detail::g_yieldDue.store(false, std::memory_order_relaxed);
  Keeper().Arm(g_last + interval);
}

}  // namespace

BeforeEventLoop::BeforeEventLoop(std::function<void()> flush, std::chrono::milliseconds atMostEvery)
    : m_flush(std::move(flush)), m_atMostEvery(atMostEvery) {
  FlushScopes().push_back(this);
  UpdateScopeInterval();
}

BeforeEventLoop::~BeforeEventLoop() {
  std::erase(FlushScopes(), this);
  UpdateScopeInterval();
}

std::chrono::milliseconds BeforeEventLoop::AtMostEvery() const {
  return m_atMostEvery;
}

void YieldNow() {
  for (size_t i = 0; i < FlushScopes().size(); ++i) FlushScopes()[i]->Flush();
  ++g_runs;
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  // Counted from the end of the run: a paint that takes longer than the interval must not
  // be followed by another after a single step.
  g_last = Clock::now();
  ArmForNextRun();
}

void detail::YieldCheck() {
  if (Clock::now() - g_last >= EffectiveInterval()) {
    YieldNow();
  } else {
    ArmForNextRun();
  }
}

void SetYieldInterval(std::chrono::microseconds interval) {
  g_interval = interval;
  detail::g_yieldDue.store(true, std::memory_order_relaxed);
}

std::chrono::microseconds YieldInterval() {
  return g_interval;
}

unsigned long long YieldRuns() {
  return g_runs;
}

}  // namespace platform
