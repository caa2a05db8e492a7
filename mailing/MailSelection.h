#pragma once

// The addresses of a mailing: the selected rows of the address list that may be mailed,
// either queued for the send engine or marked as mailed at once (when the user sends the
// message from another mail program).

#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

#include "platform/Date.h"
#include "platform/ListModel.h"

namespace mailing {

// What one message leaves in an address's Mailings column: the message's name, the short
// date in parentheses and one blank, "Launch(5/4/26) ".
QString HistoryEntry(const QString& name, const platform::Date& date);

// A row may be mailed unless its Mailings column holds "Black Listed" or "Opted Out"
// anywhere in it (letter case ignored); a row with history alone may be mailed again.
bool IsSendable(const QString& mailings);

struct Mailing {
  QString name;  // the stored message's name
  bool html = false;
  bool markAsSent = false;  // mark the rows as mailed instead of queueing them
  platform::Date date;      // the date of the history entries
};

// Walks the rows of the address list that are selected when it begins, in order, yielding
// to the event loop once per row. The address of every such row that may be mailed joins
// the returned text, with ", " between two. Queueing gives each such address a send-queue
// row (address, message name, "HTML" or "Plain Text", "Queued"); the rows are appended in
// batches, one model signal per batch, so the engine may start on the first rows before the
// last are in. Marking appends the history entry to the Mailings column of those rows once
// the walk ends, in one change (a row edited meanwhile keeps the edit and gets no entry),
// and calls markChanged.
//
// Nothing when a list went away during the walk (its window was closed); what was queued
// until then stays.
std::optional<QString> MailSelectedRows(const QPointer<platform::ListModel>& elist,
                                        const QPointer<platform::ListModel>& queue, const Mailing& mailing,
                                        const std::function<void()>& markChanged);

}  // namespace mailing
