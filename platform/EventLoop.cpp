#include "platform/EventLoop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <vector>

namespace platform {

int detail::g_yieldCountdown = 1;

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::microseconds g_interval{8000};
Clock::time_point g_last = Clock::now();
unsigned long long g_runs = 0;

// Steps between two clock readings. It doubles while a stride of steps takes less
// than a sixteenth of the interval and drops back to one as soon as a stride takes
// more than a quarter, so fast loops read the clock rarely and slow ones every step.
constexpr int kMaxStride = 256;
int g_stride = 1;
Clock::time_point g_lastCheck = Clock::now();
bool g_watchingDispatcher = false;

void RestartStride() {
  g_stride = 1;
  detail::g_yieldCountdown = 1;
}

// When the program goes back to waiting for events, the next loop may have steps of
// any cost: it starts again with a clock reading per step.
void WatchDispatcher() {
  if (g_watchingDispatcher) return;
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (dispatcher == nullptr) return;
  QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher, RestartStride);
  g_watchingDispatcher = true;
}

std::vector<BeforeEventLoop*>& FlushScopes() {
  static std::vector<BeforeEventLoop*> scopes;
  return scopes;
}

// The longest interval a scope asks for.
std::chrono::microseconds g_scopeInterval{0};

void UpdateScopeInterval() {
  g_scopeInterval = std::chrono::microseconds(0);
  for (const BeforeEventLoop* scope : FlushScopes()) {
    g_scopeInterval = std::max<std::chrono::microseconds>(g_scopeInterval, scope->AtMostEvery());
  }
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
  g_last = Clock::now();
  ++g_runs;
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  RestartStride();
  g_lastCheck = Clock::now();
}

void detail::YieldCheck() {
  WatchDispatcher();
  const Clock::time_point now = Clock::now();
  const Clock::duration sinceCheck = now - g_lastCheck;
  g_lastCheck = now;
  if (sinceCheck * 16 < g_interval) {
    if (g_stride < kMaxStride) g_stride *= 2;
  } else if (sinceCheck * 4 > g_interval) {
    g_stride = 1;
  }
  g_yieldCountdown = g_stride;
  const std::chrono::microseconds interval =
      g_interval.count() == 0 ? g_interval : std::max(g_interval, g_scopeInterval);
  if (now - g_last >= interval) YieldNow();
}

void SetYieldInterval(std::chrono::microseconds interval) {
  g_interval = interval;
  RestartStride();
}

std::chrono::microseconds YieldInterval() {
  return g_interval;
}

unsigned long long YieldRuns() {
  return g_runs;
}

}  // namespace platform
