// Reading a list file in one go and in pieces against reading it line by line,
// and writing the rows back: the same rows again, and the same bytes as the literal writer.

#include <cstdint>
#include <cstdlib>

#include "lists/ListFileFormat.h"
#include "platform/Text.h"
#include "tests/support/ListFileOracle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const std::vector<QStringList> rows = lists::ParseListFile(bytes);
  if (rows != oracle::ReadListLiterally(bytes)) std::abort();
  // Read in pieces, as a list is opened: the first byte picks their size.
  lists::ListFileSplitter splitter;
  std::vector<QStringList> pieced;
  const auto row = [&](QByteArrayView a, QByteArrayView m) {
    pieced.push_back({platform::DecodeBytes(a), platform::DecodeBytes(m)});
  };
  const qsizetype step = size > 0 ? data[0] % 16 + 1 : 1;
  for (qsizetype at = 0; at < bytes.size(); at += step) {
    splitter.Feed(QByteArrayView(bytes).sliced(at, std::min(step, bytes.size() - at)), row);
  }
  splitter.Finish(row);
  if (pieced != rows) std::abort();

  QByteArray written;
  for (const QStringList& row : rows) {
    if (row.size() != 2 || row[0].isEmpty()) std::abort();
    if (lists::ParseListLine(row[0] + u' ' + row[1]) != row) std::abort();
    written += platform::EncodeText(lists::FormatListLine(row[0], row[1]));
    written += '\n';
  }
  if (written != oracle::WriteListLiterally(rows)) std::abort();
  if (lists::ParseListFile(written) != rows) std::abort();
  return 0;
}
