#include "platform/LongWork.h"

#include <array>
#include <bit>
#include <deque>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {

namespace {

constexpr int kKinds = 8;

int KindIndex(LongWork::Kind kind) {
  return std::countr_zero(static_cast<unsigned>(kind));
}

}  // namespace

// What is under way at a place and what waits for it to end. It is kept only while some
// work holds it or something waits, so an idle place costs nothing.
struct LongWork::Place {
  struct Waiting {
    Kinds kinds;
    QPointer<const QObject> owner;
    std::function<void()> action;
  };

  const QObject* key = nullptr;
  QPointer<const QObject> object;
  std::array<int, kKinds> busy{};
  std::array<unsigned, kKinds> newest{};  // the serial of the newest work of each kind
  std::deque<Waiting> queue;
  std::vector<Waiting> requests;
  bool running = false;  // the queue is being run

  bool IsBusy(Kinds kinds) const {
    for (int index = 0; index < kKinds; ++index) {
      if ((kinds & (1u << index)) != 0 && busy[static_cast<size_t>(index)] > 0) return true;
    }
    return false;
  }
  void End(Kind kind);
};

namespace {

std::unordered_map<const QObject*, std::shared_ptr<LongWork::Place>>& Places() {
  static std::unordered_map<const QObject*, std::shared_ptr<LongWork::Place>> places;
  return places;
}

void Forget(const LongWork::Place& place) {
  const auto it = Places().find(place.key);
  if (it != Places().end() && it->second.get() == &place) Places().erase(it);
}

// The state of the place; made when asked to `create`. An object that went leaves its
// state to the work that still holds it, never to another object at its address.
std::shared_ptr<LongWork::Place> Find(const QObject* object, bool create) {
  if (object == nullptr) return nullptr;
  const auto it = Places().find(object);
  if (it != Places().end() && it->second->object) return it->second;
  if (it != Places().end()) Places().erase(it);
  if (!create) return nullptr;
  auto place = std::make_shared<LongWork::Place>();
  place->key = object;
  place->object = object;
  Places().emplace(object, place);
  return place;
}

}  // namespace

void LongWork::Place::End(Kind kind) {
  --busy[static_cast<size_t>(KindIndex(kind))];
  // An action run from here that takes and ends work of its own leaves the rest of the
  // queue to this loop, so the queue keeps its order.
  if (running) return;
  running = true;
  while (!queue.empty() && !IsBusy(queue.front().kinds)) {
    const Waiting next = std::move(queue.front());
    queue.pop_front();
    if (next.owner) next.action();
    if (!object) return;  // the place went with the action: nothing more runs there
  }
  running = false;
  // Requests come after the queue, each taken off before it runs: the work it does may end
  // here again.
  for (size_t i = 0; i < requests.size();) {
    if (IsBusy(requests[i].kinds)) {
      ++i;
      continue;
    }
    const Waiting next = std::move(requests[i]);
    requests.erase(requests.begin() + static_cast<std::ptrdiff_t>(i));
    if (next.owner) next.action();
    if (!object) return;
    i = 0;
  }
  if (!IsBusy(~0u) && queue.empty() && requests.empty()) Forget(*this);
}

LongWork::LongWork(const QObject* owner) : m_owner(owner) {}

LongWork::LongWork(const QObject* place, Kind kind, const QObject* owner)
    : m_owner(owner != nullptr ? owner : place), m_place(Find(place, true)), m_kind(kind) {
  if (!m_place) return;
  const auto index = static_cast<size_t>(KindIndex(kind));
  ++m_place->busy[index];
  m_serial = ++m_place->newest[index];
}

LongWork::~LongWork() {
  if (!m_place) return;
  // Held here: the actions run as the work ends may end the last other hold.
  const std::shared_ptr<Place> place = std::move(m_place);
  if (place->object) {
    place->End(m_kind);
  } else {
    Forget(*place);
  }
}

bool LongWork::Stopped() const {
  if (!m_owner) return true;
  return m_place && (m_kind & kNewestTakesOver) != 0 &&
         m_place->newest[static_cast<size_t>(KindIndex(m_kind))] != m_serial;
}

namespace {

// The state of the place when any of `kinds` is under way there.
std::shared_ptr<LongWork::Place> BusyWith(const QObject* place, LongWork::Kinds kinds) {
  std::shared_ptr<LongWork::Place> state = Find(place, false);
  return state && state->IsBusy(kinds) ? state : nullptr;
}

}  // namespace

bool LongWork::IsBusy(const QObject* place, Kinds kinds) {
  return BusyWith(place, kinds) != nullptr;
}

void LongWork::RunWhenIdle(const QObject* place, Kinds kinds, const QObject* owner,
                           std::function<void()> action) {
  const std::shared_ptr<Place> state = BusyWith(place, kinds);
  if (!state) {
    action();
    return;
  }
  state->queue.push_back({kinds, owner, std::move(action)});
}

void LongWork::RequestWhenIdle(const QObject* place, Kinds kinds, const QObject* owner,
                               std::function<void()> action) {
  const std::shared_ptr<Place> state = BusyWith(place, kinds);
  if (!state) {
    action();
    return;
  }
  for (const Place::Waiting& waiting : state->requests) {
    if (waiting.owner == owner) return;
  }
  state->requests.push_back({kinds, owner, std::move(action)});
}

}  // namespace platform
