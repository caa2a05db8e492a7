// The send engine in a main window, on a queue and an address list of up to a million
// rows: one tick of the send timer, one accepted message, and a batch queued followed by
// the first tick. The peers are the literal walks the design gives step by step
// (tests/support/SendEngineOracle.h), on the same rows, and a queue with nothing
// following its edits.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "BenchSupport.h"
#include "app/ui/MainWindow.h"
#include "mailing/MessageFile.h"
#include "platform/Seams.h"
#include "platform/ui/App.h"
#include "platform/ui/Listbox.h"
#include "tests/support/FakeByteStream.h"
#include "tests/support/SendEngineOracle.h"

namespace {

// A main window in a scratch application folder with one stored message, its timer
// stopped and the Queue tab in front, handing over 5 rows a tick to a client whose
// server never answers, so every tick's hand-over is the same work.
class SendWindow {
 public:
  SendWindow() {
    platform::FolderItem::SetAppFolderForTests(m_dir.path());
    App::SetQuitForTests([] {});
    window = MainWindow::Instance();
    window->SendTimer->stop();
    window->TabPanel1->setCurrentIndex(1);
    window->Rate->setValue(5);
    window->server = QStringLiteral("mail.example.org");
    window->TCPSocket1->SetStreamFactory([](const platform::TlsPolicy&) {
      using testing_support::FakeByteStream;
      return std::make_unique<FakeByteStream>(FakeByteStream::ParseScript({QStringLiteral("Z:")}), false, 0);
    });
    if (!mailing::MessageFolder().CreateAsFolder().Ok()) qFatal("cannot make the eMail folder");
    const bool stored =
        mailing::WriteMessageFile(
            mailing::MessageFolder(), QStringLiteral("Offer"),
            {QStringLiteral("shop@example.com"), QStringLiteral("Spring offer"), true,
             QStringLiteral("<p>Dear member,</p>\r<p>our spring offer is here.</p>\r<p>Regards</p>")})
            .Ok();
    if (!stored) qFatal("cannot store the message");
  }
  ~SendWindow() {
    bench_support::CloseProgramWindows();
    App::SetQuitForTests({});
    platform::FolderItem::SetAppFolderForTests({});
  }

  MainWindow* window = nullptr;

 private:
  QTemporaryDir m_dir;
  platform::ScopedSeams m_seams{{}};
};

QString Address(int i) {
  return QStringLiteral("member%1@example.org").arg(i);
}

// `count` queue rows; the first `waiting` of them already handed over.
std::vector<QStringList> QueueRows(int count, int waiting) {
  std::vector<QStringList> rows;
  rows.reserve(static_cast<size_t>(count));
  const QString name = QStringLiteral("Offer");
  const QString format = QStringLiteral("HTML");
  const QString queued = QStringLiteral("Queued");
  const QString handedOver = QStringLiteral("Waiting");
  for (int i = 0; i < count; ++i)
    rows.push_back({Address(i), name, format, i < waiting ? handedOver : queued});
  return rows;
}

// The best of three literal hand-overs on a copy of the rows.
double LiteralTickSeconds(const std::vector<QStringList>& rows) {
  platform::ListModel queue(4);
  queue.AppendRows(rows);
  platform::SMTPSocket client;
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    QElapsedTimer timer;
    timer.start();
    oracle::HandOverLiterally(queue, 5, mailing::MessageFolder(), {}, client);
    best = std::min(best, timer.nsecsElapsed() / 1e9);
  }
  return best;
}

// One tick over a queue whose first half is already waiting: the first five queued rows
// are half-way down.
void BM_SendTick(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  SendWindow send;
  const std::vector<QStringList> queueRows = QueueRows(rows, rows / 2);
  send.window->CheckList->Model()->AppendRows(queueRows);
  send.window->SendTimer_Action();  // the index reads the queue once
  double total = 0;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    send.window->SendTimer_Action();
    total += timer.nsecsElapsed() / 1e9;
  }
  const double ours = total / static_cast<double>(state.iterations());
  bench_support::ReportAgainstPeer(state, ours, LiteralTickSeconds(queueRows), "literal_walk");
  state.counters["rows"] = rows;
}
BENCHMARK(BM_SendTick)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Iterations(2000);

// An accepted message on an address list of a million rows, with a million queue rows of
// which the first 10,000 wait. The first message after the list was read makes the
// address index ("first_message_s"); the queue's index is made by the tick before.
void BM_MessageSent(benchmark::State& state) {
  constexpr int kRows = 1000000;
  SendWindow send;
  std::vector<QStringList> listRows;
  listRows.reserve(kRows);
  for (int i = 0; i < kRows; ++i) listRows.push_back({Address(i), QString()});
  send.window->elist->Model()->AppendRows(listRows);
  const std::vector<QStringList> queueRows = QueueRows(kRows, 10000);
  send.window->CheckList->Model()->AppendRows(queueRows);
  send.window->Rate->setValue(1);
  send.window->SendTimer_Action();

  auto letter = [](int i) {
    auto message = std::make_shared<platform::SpecialEmail>();
    message->AddRecipient(Address(i));
    message->SetName(QStringLiteral("Offer"));
    message->SetSubject(QStringLiteral("Spring offer"));
    return message;
  };
  QElapsedTimer first;
  first.start();
  send.window->TCPSocket1_MessageSent(letter(0));
  const double firstSeconds = first.nsecsElapsed() / 1e9;

  int next = 1;
  double total = 0;
  for (auto _ : state) {
    auto message = letter(next++);
    QElapsedTimer timer;
    timer.start();
    send.window->TCPSocket1_MessageSent(message);
    total += timer.nsecsElapsed() / 1e9;
  }
  const double ours = total / static_cast<double>(state.iterations());

  platform::ListModel list(2);
  list.AppendRows(listRows);
  platform::ListModel queue(4);
  queue.AppendRows(queueRows);
  double literal = 1e9;
  qint32 mailssent = 0;
  bool changed = false;
  for (int i = 0; i < 3; ++i) {
    QElapsedTimer timer;
    timer.start();
    oracle::MessageSentLiterally(list, queue, *letter(i), platform::Date(), mailssent, changed);
    literal = std::min(literal, timer.nsecsElapsed() / 1e9);
  }
  bench_support::ReportAgainstPeer(state, ours, literal, "literal_walk");
  state.counters["first_message_s"] = firstSeconds;
  state.counters["rows"] = kRows;
}
BENCHMARK(BM_MessageSent)->Unit(benchmark::kMicrosecond)->Iterations(5000);

// An accepted message on a list of a million rows opened from its file: its history entry
// journaled and forced to disk before the client may go on. Beside it dd appending the same
// line with an fsync. The counters give the same message on a list without a file (nothing
// journaled) and one atomic save of the list, the other way to keep the entry safe, which
// a tick that accepted mail would then pay.
void BM_MessageSentJournaled(benchmark::State& state) {
  bench_support::Program program({bench_support::ListFile(1000000), false, {}});
  MainWindow* window = program.Window();
  const int rows = window->elist->ListCount();
  int next = 0;
  auto accept = [&] {
    auto message = std::make_shared<platform::SpecialEmail>();
    message->AddRecipient(window->elist->Cell(next++ * 7919 % rows, 0));
    message->SetName(QStringLiteral("Offer"));
    window->TCPSocket1_MessageSent(message);
  };
  accept();  // the address index is made by the first message after the list was read
  double total = 0;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    accept();
    total += timer.nsecsElapsed() / 1e9;
  }
  const double ours = total / static_cast<double>(state.iterations());

  const QString journal = program.Folder() + QStringLiteral("/Database/.Members.velmora-journal");
  QFile journalFile(journal);
  if (!journalFile.open(QIODevice::ReadOnly)) state.SkipWithError("no journal was written");
  const QByteArray oneLine = journalFile.readAll().split('\n').value(0) + '\n';
  const QString line = bench_support::ScratchDir() + QStringLiteral("/journal-line");
  const QString peerJournal = bench_support::ScratchDir() + QStringLiteral("/journal-peer");
  QFile lineFile(line);
  if (!lineFile.open(QIODevice::WriteOnly) || lineFile.write(oneLine) != oneLine.size())
    state.SkipWithError("cannot write the peer's line");
  lineFile.close();
  const double peer = bench_support::BestPeerSeconds(
      QStringLiteral("dd"),
      {QStringLiteral("if=") + line, QStringLiteral("of=") + peerJournal, QStringLiteral("oflag=append"),
       QStringLiteral("conv=notrunc,fsync"), QStringLiteral("status=none")});
  bench_support::ReportAgainstPeer(state, ours, peer, "dd_append_fsync");

  const platform::FolderItem file = window->existingfile;
  window->existingfile = platform::FolderItem();
  QElapsedTimer unjournaled;
  unjournaled.start();
  for (int i = 0; i < 100; ++i) accept();
  state.counters["no_journal_s"] = unjournaled.nsecsElapsed() / 1e9 / 100;
  window->existingfile = file;
  window->Changed = true;
  QElapsedTimer save;
  save.start();
  window->SaveFile();
  state.counters["atomic_save_s"] = save.nsecsElapsed() / 1e9;
  state.counters["rows"] = rows;
}
BENCHMARK(BM_MessageSentJournaled)->Unit(benchmark::kMicrosecond)->Iterations(200);

// A million rows queued in one batch, as the send window queues them, and the first tick
// that hands five of them over; the peer appends the same batch to a queue that nothing
// follows.
void BM_QueueBatchThenFirstTick(benchmark::State& state) {
  constexpr int kRows = 1000000;
  const std::vector<QStringList> rows = QueueRows(kRows, 0);
  double ours = 1e9;
  for (auto _ : state) {
    SendWindow send;
    send.window->SendTimer_Action();
    QElapsedTimer timer;
    timer.start();
    send.window->CheckList->Model()->AppendRows(rows);
    send.window->SendTimer_Action();
    ours = std::min(ours, timer.nsecsElapsed() / 1e9);
  }
  double plain = 1e9;
  for (int i = 0; i < 3; ++i) {
    platform::ListModel queue(4);
    QElapsedTimer timer;
    timer.start();
    queue.AppendRows(rows);
    plain = std::min(plain, timer.nsecsElapsed() / 1e9);
  }
  bench_support::ReportAgainstPeer(state, ours, plain, "plain_append");
  state.counters["rows"] = kRows;
}
BENCHMARK(BM_QueueBatchThenFirstTick)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
