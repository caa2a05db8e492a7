// A history journal read from any bytes: every record it gives is written back to a line that
// reads as that record alone. Any two texts (the input's halves) come back from their line,
// and no part of that line short of its end reads as a record, even with a line end after
// it (a line that a crash cut short, closed by the next line written).

#include <cstdint>
#include <cstdlib>

#include "lists/HistoryJournalFormat.h"
#include "platform/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  for (const lists::JournalRecord& record : lists::ParseJournal(bytes)) {
    QByteArray line;
    lists::AppendJournalLine(line, record.address, record.entry);
    if (lists::ParseJournal(line) != std::vector{record}) std::abort();
  }
  const qsizetype half = bytes.size() / 2;
  const lists::JournalRecord record{platform::DecodeBytes(bytes.first(half)),
                                    platform::DecodeBytes(bytes.sliced(half))};
  QByteArray line;
  lists::AppendJournalLine(line, record.address, record.entry);
  if (lists::ParseJournal(line) != std::vector{record}) std::abort();
  QByteArray torn;
  torn.reserve(line.size());
  for (qsizetype cut = 0; cut + 1 < line.size(); ++cut) {
    torn.truncate(0);
    torn.append(line.constData(), cut).append('\n');
    if (!lists::ParseJournal(torn).empty()) std::abort();
  }
  return 0;
}
