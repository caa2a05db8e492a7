#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <random>

#include "BenchSupport.h"
#include "lists/AddressScanner.h"
#include "platform/Text.h"
#include "tests/support/AddressScannerOracle.h"

// Address scanning of a large dropped file, against ripgrep pulling out the same kind of
// words, and the fast scanner against the literal one on a single-line web page.
namespace {

const char* const kWords[] = {"the",     "mailing", "list",  "of",     "our",     "members", "and",
                              "friends", "please",  "reply", "to",     "contact", "us",      "at",
                              "for",     "more",    "news",  "about",  "spring",  "meeting", "in",
                              "room",    "12",      "see",   "you",    "there",   "thanks",  "regards",
                              "—",       "café",    "naïve", "résumé", "2026",    "e-mail",  "v1.2"};
const char* const kDomains[] = {"example.com", "mail.example.org", "uni-x.edu", "host.co.uk", "a.de"};

// One line of text with, now and then, an address in one of the ways web pages and mails
// write them, or an "@" that is no address.
void AppendLine(QByteArray& out, std::mt19937& random) {
  const int words = 6 + static_cast<int>(random() % 10);
  for (int w = 0; w < words; ++w) {
    if (w > 0) out += ' ';
    const unsigned pick = random() % 100;
    if (pick < 3) {
      const QByteArray user = QByteArray(kWords[random() % std::size(kWords)]) + '.' +
                              QByteArray::number(static_cast<int>(random() % 100000));
      const QByteArray domain = kDomains[random() % std::size(kDomains)];
      switch (random() % 4) {
        case 0:
          out += user + '@' + domain;
          break;
        case 1:
          out += "<a href=\"mailto:" + user + '@' + domain + "\">" + user + "</a>";
          break;
        case 2:
          out += '<' + user + '@' + domain + ">,";
          break;
        default:
          out += user + '@' + domain + '.';
          break;
      }
    } else if (pick < 4) {
      out += "@handle";
    } else {
      out += kWords[random() % std::size(kWords)];
    }
  }
  out += '\n';
}

QByteArray MakeText(qsizetype size, bool lineEnds) {
  std::mt19937 random(2026);
  QByteArray text;
  text.reserve(size + 200);
  while (text.size() < size) AppendLine(text, random);
  if (!lineEnds) text.replace('\n', ' ');
  return text;
}

// The 100 MB file, written once per run.
const QString& BigFile() {
  static const QString path = [] {
    QString p = bench_support::ScratchDir() + QStringLiteral("/page-100MB.txt");
    QFile f(p);
    if (f.open(QIODevice::WriteOnly)) f.write(MakeText(100 << 20, true));
    return p;
  }();
  return path;
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double RipgrepSeconds(const QString& file) {
  // Best of three. ripgrep does not cut its work short when its output is /dev/null
  // (checked: the same time as through a pipe).
  double best = -1;
  for (int i = 0; i < 3; ++i) {
    const double s = bench_support::RunPeerSeconds(
        QStringLiteral("rg"),
        {QStringLiteral("-o"), QStringLiteral("[A-Za-z0-9._-]+@[A-Za-z0-9._-]+"), file});
    if (s > 0 && (best < 0 || s < best)) best = s;
  }
  return best;
}

template <typename Scan>
void TimeAgainstRipgrep(benchmark::State& state, Scan scan) {
  const QString& file = BigFile();
  double best = -1;
  qsizetype found = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    const QString result = scan(ReadFile(file));
    const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
    state.SetIterationTime(s);
    if (best < 0 || s < best) best = s;
    found = result.count(u' ') + (result.isEmpty() ? 0 : 1);
  }
  state.counters["addresses"] = static_cast<double>(found);
  state.SetBytesProcessed(state.iterations() * (100 << 20));
  bench_support::ReportAgainstPeer(state, best, RipgrepSeconds(file), "rg");
}

// Read, then scan the bytes as they are (the result equals scanning the decoded text).
void BM_Scan100MBFileBytes(benchmark::State& state) {
  TimeAgainstRipgrep(state, [](const QByteArray& bytes) { return lists::FindEmails(QByteArrayView(bytes)); });
}
BENCHMARK(BM_Scan100MBFileBytes)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// Read, decode to text, then scan the text.
void BM_Scan100MBFileDecoded(benchmark::State& state) {
  TimeAgainstRipgrep(state,
                     [](const QByteArray& bytes) { return lists::FindEmails(platform::DecodeBytes(bytes)); });
}
BENCHMARK(BM_Scan100MBFileDecoded)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A web page of one 1 MB line: the literal scanner upper-cases the rest of the page again
// for every "@", so it is quadratic and takes seconds; it runs once, the fast one 20 times.
void BM_LiteralAgainstFastOn1MBOneLinePage(benchmark::State& state) {
  const QString page = QString::fromUtf8(MakeText(1 << 20, false));
  double fast = -1;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    benchmark::DoNotOptimize(lists::FindEmails(page));
    const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
    state.SetIterationTime(s);
    if (fast < 0 || s < fast) fast = s;
  }
  QElapsedTimer t;
  t.start();
  benchmark::DoNotOptimize(oracle::FindEmailsLiterally(page));
  const double literal = static_cast<double>(t.nsecsElapsed()) / 1e9;
  state.SetBytesProcessed(state.iterations() * page.size() * 2);
  bench_support::ReportAgainstPeer(state, fast, literal, "literal");
}
BENCHMARK(BM_LiteralAgainstFastOn1MBOneLinePage)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
