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
  for (int row = 0; row < elist->ListCount(); ++row) {
    if (elist->Selected(row) && IsSendable(elist->Cell(row, 1))) {
      const QString address = elist->Cell(row, 0);
      if (!addresses.isEmpty()) addresses += QLatin1String(", ");
      addresses += address;
      if (mailing.markAsSent) {
        elist->SetCell(row, 1, elist->Cell(row, 1) + entry);
        if (markChanged) markChanged();
      } else {
        batch.push_back({address, mailing.name, format, queued});
        if (batch.size() == kBatchRows) flush();
      }
    }
    platform::YieldToEventLoop();
    if (gone()) return std::nullopt;
  }
  flush();
  return addresses;
}

}  // namespace mailing
