#include "platform/EventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

std::chrono::microseconds g_interval{8000};
Clock::time_point g_last = Clock::now();
unsigned long long g_runs = 0;

}  // namespace

void YieldNow() {
  g_last = Clock::now();
  ++g_runs;
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
}

void YieldToEventLoop() {
  if (Clock::now() - g_last >= g_interval) {
    YieldNow();
  }
}

void SetYieldInterval(std::chrono::microseconds interval) {
  g_interval = interval;
}

std::chrono::microseconds YieldInterval() {
  return g_interval;
}

unsigned long long YieldRuns() {
  return g_runs;
}

}  // namespace platform
