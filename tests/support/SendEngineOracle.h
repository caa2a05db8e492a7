#pragma once

// The send engine's walks the slow, obvious way, row by row as designed: the reference for
// mailing::SendEngine's tick and accepted message (tests and benchmarks).

#include <QString>
#include <QStringList>
#include <memory>

#include "mailing/MessageFile.h"
#include "mailing/SendEngine.h"
#include "platform/Date.h"
#include "platform/EventLoop.h"
#include "platform/ListModel.h"
#include "platform/SMTPSocket.h"
#include "platform/Text.h"

namespace oracle {

// One tick: the first `rate` "Queued" rows whose message reads go to the client, marked
// "Waiting"; the row count read anew per row. True when a visited row is "Waiting".
inline bool HandOverLiterally(platform::ListModel& queue, int rate, const platform::FolderItem& folder,
                              const mailing::SmtpAccount& account, platform::SMTPSocket& client) {
  int taken = 0;
  bool waiting = false;
  for (int row = 0; row <= queue.ListCount() - 1; ++row) {
    if (taken < rate && queue.Cell(row, 3) == QLatin1String("Queued")) {
      QString from, subject, body;
      if (mailing::LoadEmail(folder, queue.Cell(row, 1), from, subject, body)) {
        auto message = std::make_shared<platform::SpecialEmail>();
        message->AddRecipient(queue.Cell(row, 0));
        message->SetFromAddress(from);
        message->SetSubject(subject);
        message->SetName(queue.Cell(row, 1));
        QString built;
        for (const QString& field : body.split(QLatin1Char('\r'))) {
          built += field + QLatin1String("\r\n");
          platform::YieldToEventLoop();
        }
        if (queue.Cell(row, 2) == QLatin1String("HTML")) {
          message->SetBodyHTML(built);
        } else {
          message->SetBodyPlainText(built);
        }
        client.Messages().append(message);
        client.SetUsername(account.username);
        client.SetPassword(account.password);
        client.SetAddress(account.server);
        queue.SetCell(row, 3, QStringLiteral("Waiting"));
        ++taken;
      }
    }
    if (queue.Cell(row, 3) == QLatin1String("Waiting")) waiting = true;
    platform::YieldToEventLoop();
  }
  return waiting;
}

// An accepted message: counted, a history entry in every address-list row of its
// recipient (last row first), and every "Waiting" queue row of the recipient removed.
inline void MessageSentLiterally(platform::ListModel& addresses, platform::ListModel& queue,
                                 const platform::SpecialEmail& message, const platform::Date& date,
                                 qint32& mailssent, bool& changed) {
  ++mailssent;
  const QString to = message.ToAddress();
  for (int row = addresses.ListCount() - 1; row >= 0; --row) {
    if (platform::StrComp(addresses.Cell(row, 0), to, 0) == 0) {
      addresses.SetCell(row, 1,
                        addresses.Cell(row, 1) + message.Name() + QLatin1Char('(') + date.ShortDate() +
                            QLatin1String(") "));
      changed = true;
    }
    platform::YieldToEventLoop();
  }
  for (int row = queue.ListCount() - 1; row >= 0; --row) {
    if (platform::StrComp(queue.Cell(row, 0), to, 0) == 0 &&
        platform::StrComp(queue.Cell(row, 3), QStringLiteral("Waiting"), 0) == 0) {
      queue.RemoveRow(row);
    }
    platform::YieldToEventLoop();
  }
}

}  // namespace oracle
