#include "mailing/MailSelection.h"

#include <vector>

#include "platform/EventLoop.h"
#include "platform/Text.h"

namespace mailing {

namespace {

// Rows appended to the queue per model signal: few signals for a million rows, and the
// engine still sees the first rows early.
constexpr size_t kBatchRows = 8192;

}  // namespace

QString HistoryEntry(const QString& name, const platform::Date& date) {
  return name + QLatin1Char('(') + date.ShortDate() + QLatin1String(") ");
}

bool IsSendable(const QString& mailings) {
  return platform::InStr(mailings, QStringLiteral("Black Listed")) == 0 &&
         platform::InStr(mailings, QStringLiteral("Opted Out")) == 0;
}

std::optional<QString> MailSelectedRows(const QPointer<platform::ListModel>& elist,
                                        const QPointer<platform::ListModel>& queue, const Mailing& mailing,
                                        const std::function<void()>& markChanged) {
  const QString format = mailing.html ? QStringLiteral("HTML") : QStringLiteral("Plain Text");
  const QString queued = QStringLiteral("Queued");
  const QString entry = HistoryEntry(mailing.name, mailing.date);
  QString addresses;
  std::vector<QStringList> batch;
  auto flush = [&] {
    if (queue && !batch.empty()) queue->AppendRows(std::move(batch));
    batch.clear();
  };
  auto gone = [&] { return !elist || (!mailing.markAsSent && !queue); };
  if (gone()) return std::nullopt;
  // The walk yields: it reads the rows selected when the mailing began.
  const platform::ListModel::Snapshot selected = elist->TakeSelectedSnapshot();
  std::vector<unsigned char> mailed(static_cast<size_t>(selected.RowCount()), 0);
  QString mailings;  // one buffer for every row's history
  for (int row = 0; row < selected.RowCount(); ++row) {
    mailings.resize(0);
    selected.AppendCellText(row, 1, mailings);
    if (IsSendable(mailings)) {
      QString address;  // its own: the queue row shares it
      selected.AppendCellText(row, 0, address);
      if (!addresses.isEmpty()) addresses += QLatin1String(", ");
      addresses += address;
      mailed[static_cast<size_t>(row)] = 1;
      if (!mailing.markAsSent) {
        batch.push_back({address, mailing.name, format, queued});
        if (batch.size() == kBatchRows) flush();
      }
    }
    platform::YieldToEventLoop();
    if (gone()) return std::nullopt;
  }
  flush();
  if (mailing.markAsSent) {
    // The rows as they are now: a row edited meanwhile (black listed, say) keeps the
    // user's edit and no mark.
    const std::vector<int> was = elist->MatchSnapshot(selected);
    const int marked = elist->EditColumn(1, [&](int row, QString& cell) {
      const int from = was[static_cast<size_t>(row)];
      if (from < 0 || mailed[static_cast<size_t>(from)] == 0) return false;
      cell += entry;
      return true;
    });
    if (marked > 0 && markChanged) markChanged();
  }
  return addresses;
}

}  // namespace mailing
