// Mailing: the entity rewrite of a large message body, OK in the send window queueing a
// million selected addresses, and choosing a stored message with long lines or many.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <random>
#include <utility>

#include "BenchSupport.h"
#include "app/ui/MainWindow.h"
#include "app/ui/Windows.h"
#include "mailing/MessageFile.h"
#include "mailing/ui/SendWindow.h"
#include "platform/FolderItem.h"
#include "platform/Seams.h"
#include "platform/ui/App.h"
#include "platform/ui/Listbox.h"
#include "tests/support/ConvertHTMLTagsOracle.h"

namespace {

double Seconds(const QElapsedTimer& t) {
  return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

// A Spanish newsletter of about `bytes` UTF-8 bytes: some 3 % of its letters are among
// the thirteen that become entities.
QString NewsletterBody(qsizetype bytes) {
  static const char* const kWords[] = {
      "la",     "lista",   "de",    "correo", "información", "está",    "señor",    "¡Hola!",
      "niño",   "canción", "Ángel", "el",     "mailing",     "nuestro", "miembros", "y",
      "amigos", "Él",      "para",  "más",    "noticias",    "reunión", "ÑANDÚ",    "<b>gracias</b>"};
  std::mt19937 random(2105);
  QByteArray text;
  text.reserve(bytes + 32);
  while (text.size() < bytes) {
    text += kWords[random() % std::size(kWords)];
    text += random() % 12 == 0 ? '\r' : ' ';
  }
  return QString::fromUtf8(text);
}

// GNU sed making the same thirteen replacements, in the same order, each capital found in
// its small letter's turn as the program's case-blind search finds it.
double SedSeconds(const QString& body) {
  const QString path = bench_support::ScratchDir() + QStringLiteral("/body.txt");
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return -1;
  file.write(body.toUtf8());
  file.close();
  const char* const kPasses[][3] = {{"á", "Á", "aacute"}, {"é", "É", "eacute"}, {"í", "Í", "iacute"},
                                    {"ó", "Ó", "oacute"}, {"ú", "Ú", "uacute"}, {"Á", "Á", "Aacute"},
                                    {"É", "É", "Eacute"}, {"Í", "Í", "Iacute"}, {"Ó", "Ó", "Oacute"},
                                    {"Ú", "Ú", "Uacute"}, {"ñ", "Ñ", "ntilde"}, {"Ñ", "Ñ", "Ntilde"},
                                    {"¡", "¡", "iexcl"}};
  QStringList args;
  for (const auto& p : kPasses) {
    args << QStringLiteral("-e")
         << QString::fromUtf8("s/%1\\|%2/\\&%3;/g")
                .arg(QString::fromUtf8(p[0]), QString::fromUtf8(p[1]), p[2]);
  }
  args << path;
  double best = -1;
  for (int i = 0; i < 3; ++i) {
    const double s = bench_support::RunPeerSeconds(QStringLiteral("sed"), args);
    if (s > 0 && (best < 0 || s < best)) best = s;
  }
  return best;
}

// A main window in a scratch application folder, with no person to answer it.
struct Program {
  QTemporaryDir dir;
  platform::ScopedSeams seams{{}};
  MainWindow* window = nullptr;
  Program() {
    platform::FolderItem::SetAppFolderForTests(dir.path());
    App::SetQuitForTests([] {});
    window = MainWindow::Instance();
    window->SendTimer->stop();
  }
  ~Program() {
    bench_support::CloseProgramWindows();
    App::SetQuitForTests({});
    platform::FolderItem::SetAppFolderForTests({});
  }
};

// The rewrite as OK runs it on the body, every replacement reported through the main
// window's status line and log; beside sed doing the same replacements on the same body.
void BM_ConvertHTMLTags(benchmark::State& state) {
  const QString body = NewsletterBody(state.range(0) << 20);
  double best = -1;
  qsizetype reports = 0;
  for (auto _ : state) {
    Program program;
    reports = 0;
    QElapsedTimer t;
    t.start();
    const QString out = mailing::ConvertHTMLTags(body, [&](const QString& text) {
      program.window->SetSlug(text);
      ++reports;
    });
    const double s = Seconds(t);
    benchmark::DoNotOptimize(out.size());
    state.SetIterationTime(s);
    if (best < 0 || s < best) best = s;
  }
  state.counters["reports"] = static_cast<double>(reports);
  state.SetBytesProcessed(state.iterations() * body.size() * 2);
  bench_support::ReportAgainstPeer(state, best, SedSeconds(body), "sed");
}
BENCHMARK(BM_ConvertHTMLTags)->Arg(1)->Arg(10)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The one-pass rewrite against the literal passes (quadratic) on a 100 KB body.
void BM_ConvertHTMLTagsAgainstLiteral(benchmark::State& state) {
  const QString body = NewsletterBody(100 << 10);
  double fast = -1;
  for (auto _ : state) {
    QStringList reports;
    QElapsedTimer t;
    t.start();
    benchmark::DoNotOptimize(mailing::ConvertHTMLTags(body, [&](const QString& r) { reports << r; }).size());
    const double s = Seconds(t);
    state.SetIterationTime(s);
    if (fast < 0 || s < fast) fast = s;
  }
  QStringList reports;
  QElapsedTimer t;
  t.start();
  benchmark::DoNotOptimize(oracle::ConvertHTMLTagsLiterally(body, reports).size());
  bench_support::ReportAgainstPeer(state, fast, Seconds(t), "literal");
}
BENCHMARK(BM_ConvertHTMLTagsAgainstLiteral)->UseManualTime()->Iterations(20)->Unit(benchmark::kMicrosecond);

// OK in the send window with a million selected addresses on the list: the message is
// stored and every address queued. The baseline makes the same queue rows from the same
// list in one plain loop, appended in the program's batches, with nothing else.
void BM_SendEmailQueuesAMillionRows(benchmark::State& state) {
  constexpr int kRows = 1000000;
  double best = -1;
  double modelSignals = 0;
  for (auto _ : state) {
    Program program;
    MainWindow* w = program.window;
    std::vector<QStringList> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i)
      rows.push_back({QStringLiteral("member.%1@example.com").arg(i), i % 50 == 0 ? "Black Listed" : ""});
    w->elist->Model()->AppendRows(std::move(rows));
    w->elist->Model()->SetAllSelected(true);
    w->server = QStringLiteral("smtp.example.com");
    app::ui::OpenSendWindow(*w);
    auto* send = w->findChild<SendWindow*>();
    send->Name->setText(QStringLiteral("Launch"));
    send->From->setText(QStringLiteral("news@example.com"));
    send->Body->setPlainText(QString::fromUtf8("¡Hola!\nNoticias de la reunión."));
    QApplication::processEvents();
    int inserted = 0;
    QObject::connect(w->CheckList->Model(), &platform::ListModel::rowsInserted, w,
                     [&inserted] { ++inserted; });
    QElapsedTimer t;
    t.start();
    send->PushButton1->click();
    QApplication::processEvents();  // the queue's view catches up
    const double s = Seconds(t);
    state.SetIterationTime(s);
    if (best < 0 || s < best) best = s;
    modelSignals = inserted;
    if (w->CheckList->ListCount() != kRows - kRows / 50) state.SkipWithError("wrong number of queue rows");
  }

  // Baseline: the same rows, straight from a list to a queue, in the batches OK appends.
  constexpr size_t kBatchRows = 8192;
  platform::ListModel elist(2), queue(4);
  std::vector<QStringList> rows;
  rows.reserve(kRows);
  for (int i = 0; i < kRows; ++i) rows.push_back({QStringLiteral("member.%1@example.com").arg(i), ""});
  elist.AppendRows(std::move(rows));
  QElapsedTimer t;
  t.start();
  std::vector<QStringList> queued;
  const QString name = QStringLiteral("Launch"), format = QStringLiteral("Plain Text"), status = "Queued";
  for (int i = 0; i < elist.ListCount(); ++i) {
    queued.push_back({elist.Cell(i, 0), name, format, status});
    if (queued.size() == kBatchRows) queue.AppendRows(std::exchange(queued, {}));
  }
  queue.AppendRows(std::move(queued));
  const double baseline = Seconds(t);

  state.counters["model_signals"] = modelSignals;
  state.SetItemsProcessed(state.iterations() * kRows);
  bench_support::ReportAgainstPeer(state, best, baseline, "plain_append");
}
BENCHMARK(BM_SendEmailQueuesAMillionRows)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The longest time the event loop could not run while `step` ran: a precise timer notes
// the gaps between its turns.
template <typename Step>
double LongestStallSeconds(Step step) {
  QTimer beat;
  beat.setTimerType(Qt::PreciseTimer);
  beat.setInterval(1);
  QElapsedTimer since;
  qint64 longest = 0;
  QObject::connect(&beat, &QTimer::timeout, [&] {
    longest = std::max(longest, since.nsecsElapsed());
    since.restart();
  });
  since.start();
  beat.start();
  step();
  return static_cast<double>(std::max(longest, since.nsecsElapsed())) / 1e9;
}

enum MessageKind { kOneLineOfWords, kOneUnbrokenLine, kManyLines };

// A stored message file of `bytes` in all: after the three header lines, one line of words,
// one unbroken run (as base64 is), or lines of some 30 bytes.
QByteArray MessageFile(qsizetype bytes, MessageKind kind) {
  static const char* const kWords[] = {"la",     "lista", "de",       "correo", "https://example.com/a?b=c",
                                       "amigos", "para",  "noticias", "y",      "mailing"};
  std::mt19937 random(2106);
  QByteArray file = "news@example.com\nLaunch\nPlain Text\n";
  file.reserve(bytes + 64);
  while (file.size() < bytes) {
    if (kind == kOneUnbrokenLine) {
      file += "aGVsbG8gd29ybGQgdGhpcyBpcyBiYXNlNjQ";
    } else {
      file += kWords[random() % std::size(kWords)];
      file += kind == kManyLines && random() % 5 == 0 ? '\n' : ' ';
    }
  }
  file.truncate(bytes);
  return file;
}

// The body as the toolkit's own text field takes it at once, breaking lines anywhere (its
// quickest way), shown and drawn at the send window's size.
double PlainFieldSeconds(const QByteArray& file) {
  QPlainTextEdit field;
  field.setWordWrapMode(QTextOption::WrapAnywhere);
  field.resize(442, 166);
  field.show();
  QApplication::processEvents();
  const QString body = QString::fromUtf8(file.mid(file.indexOf("Plain Text\n") + 11));
  QElapsedTimer t;
  t.start();
  field.setPlainText(body);
  QApplication::processEvents();
  field.viewport()->repaint();
  return Seconds(t);
}

// Choosing a stored message in the send window (as the popup does), until the window has
// caught up and drawn it; with the longest time the window could not answer. Beside the
// toolkit's field given the body at once, except for the largest line, where that takes
// over half a minute and gigabytes.
void BM_ChooseStoredMessage(benchmark::State& state) {
  const QByteArray file = MessageFile(state.range(0) << 10, static_cast<MessageKind>(state.range(1)));
  Program program;
  QDir(program.dir.path()).mkpath(QStringLiteral("eMail"));
  QFile out(program.dir.filePath(QStringLiteral("eMail/Launch")));
  if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
    state.SkipWithError("no message file");
  out.close();
  program.window->server = QStringLiteral("smtp.example.com");  // the body field shows
  double best = -1, stall = 0;
  qsizetype shown = 0;
  for (auto _ : state) {
    app::ui::OpenSendWindow(*program.window);
    auto* send = program.window->findChild<SendWindow*>();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    stall = std::max(stall, LongestStallSeconds([&] {
                       send->emails->setCurrentIndex(0);
                       QApplication::processEvents();
                       send->Body->viewport()->repaint();
                     }));
    const double s = Seconds(t);
    state.SetIterationTime(s);
    if (best < 0 || s < best) best = s;
    shown = send->Body->Text().size();
    delete send;
  }
  state.counters["longest_stall_ms"] = stall * 1000;
  state.counters["body_chars"] = static_cast<double>(shown);
  const bool largestLine = state.range(1) == kOneUnbrokenLine && state.range(0) > (10 << 10);
  bench_support::ReportAgainstPeer(state, best, largestLine ? -1 : PlainFieldSeconds(file), "plain_field");
}
// A line of 1 MB, of words or unbroken, and an unbroken one of 10 MB; then the largest
// message file, as one line and as two million lines.
BENCHMARK(BM_ChooseStoredMessage)
    ->Args({1 << 10, kOneLineOfWords})
    ->Args({1 << 10, kOneUnbrokenLine})
    ->Args({10 << 10, kOneUnbrokenLine})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseStoredMessage)
    ->Args({64 << 10, kOneUnbrokenLine})
    ->Args({64 << 10, kManyLines})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
