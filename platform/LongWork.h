#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

namespace platform {

// Long work that yields. YieldToEventLoop, a message box, a file dialog, a signal whose
// handler may do one of these: each runs the event loop, and there a timer tick, a socket
// event or a click may edit the rows, start the same work again or close the window that
// owns the work. Every loop and every handler that yields is written one way:
//
// 1. It holds a LongWork for as long as it runs. Made with a place (the list it works on,
//    the window or session it belongs to) and a kind of work, the LongWork is that
//    place's busy token for that kind: others ask IsBusy and hand what must not run in the
//    middle of the work (a second writer of the list's file, a second tick of the send
//    queue) to RunWhenIdle, which runs it once the work has ended. A request that may come
//    again before it has run (an autosave tick) goes to RequestWhenIdle instead.
// 2. A walk over rows reads a ListModel::Snapshot taken when it starts, which nothing done
//    meanwhile changes, and finds its rows again afterwards with MatchSnapshot (or asks
//    SameRows). A walk that adds the rows itself (a read) tells others' edits by the list's
//    EditCount between its own. Only a search whose answer is a place in the list as it is
//    when found (Find, Find Next, the type-ahead) reads the live rows, checking the bounds
//    at every step.
// 3. After every yield it checks one thing, Stopped(): the owner of the work has gone, or a
//    newer work of a kind where the newest takes over has begun. It then returns at once,
//    touching nothing of the owner; what it copied before (a report function, the rows'
//    snapshot) it may still use.
// 4. Work held back for speed (rows not yet appended, log rows not yet shown) is put in
//    place by a BeforeEventLoop scope at the yield itself (platform/EventLoop.h): that is
//    part of yielding, not a guard.
class LongWork {
 public:
  enum Kind : unsigned {
    Writing = 1,      // the rows go to a file
    Reading = 2,      // rows come in from a file; a server's replies are read
    Importing = 4,    // addresses found in dropped text or files come in
    Sorting = 8,      // the rows are put in a new order
    Seeking = 16,     // a walk looks for a row; the newest takes over
    Sending = 32,     // queued rows are handed to the mail client
    Loading = 64,     // a window fills what it shows; the newest takes over
    Accepting = 128,  // a dialog's OK or Find is carried out
  };
  using Kinds = unsigned;
  // The kinds where a newer work stops the one under way.
  static constexpr Kinds kNewestTakesOver = Seeking | Loading;

  // Work that yields on behalf of `owner` (a window, a session, an owner of state).
  explicit LongWork(const QObject* owner);
  // Work of `kind` at `place` on behalf of `owner` (the place itself when none is named):
  // the place is busy with it as long as this lives. A place already gone (null) is busy
  // with nothing.
  LongWork(const QObject* place, Kind kind, const QObject* owner = nullptr);
  ~LongWork();
  LongWork(const LongWork&) = delete;
  LongWork& operator=(const LongWork&) = delete;

  // Asked after every yield: the owner has gone, or a newer work of the same kind at the
  // same place has begun where the newest takes over.
  bool Stopped() const;

  // Whether any of `kinds` is under way at `place`.
  static bool IsBusy(const QObject* place, Kinds kinds);
  // Runs `action` now when none of `kinds` is under way at `place`, otherwise once they
  // have ended; an action whose owner has gone by then is dropped. Queued actions run in
  // the order queued, each once every earlier one has run.
  static void RunWhenIdle(const QObject* place, Kinds kinds, const QObject* owner,
                          std::function<void()> action);
  // As RunWhenIdle, for a request that may come many times before it runs: while one of
  // the owner's requests waits at the place, later ones join it. It holds up none of the
  // queued actions, and runs once its kinds are idle and the queue has run as far as it
  // can.
  static void RequestWhenIdle(const QObject* place, Kinds kinds, const QObject* owner,
                              std::function<void()> action);

  struct Place;

 private:
  QPointer<const QObject> m_owner;
  std::shared_ptr<Place> m_place;
  Kind m_kind = Writing;
  unsigned m_serial = 0;
};

}  // namespace platform
