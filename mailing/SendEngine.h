#pragma once

#include <QHash>
#include <QObject>
#include <QPersistentModelIndex>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "mailing/AddressIndex.h"
#include "mailing/SendQueueIndex.h"
#include "platform/Date.h"
#include "platform/EmailMessage.h"
#include "platform/ListModel.h"
#include "platform/LongWork.h"
#include "platform/SMTPSocket.h"

namespace mailing {

// The SMTP account the engine hands to the client with each message.
struct SmtpAccount {
  QString server;
  QString username;
  QString password;
};

// The send session and its paced engine: the one owner of the queue's sending, its pace, the
// count of accepted mail since the mailing started, the progress, the summary and the send
// timer's period. It emits a signal when one of these changes; windows only show them and
// pass the user's pacing in. The send queue is a list of rows (address, message name,
// "HTML" or "Plain Text", status); the send window appends them "Queued". Every tick
// builds a message from the stored message file for each of the first `Rate` "Queued"
// rows in list order whose file can be read, hands it to the SMTP client and marks the
// row "Waiting"; it starts the client when a row waits and the client is idle. The
// client's answers come back through the handlers below: an accepted message writes
// "Name(short date) " into the Mailings column of every address-list row of its
// recipient and takes the recipient's waiting rows off the queue; a refused one leaves
// the queue with a log row; a failed connection puts the queue back to "Queued".
//
// A server that keeps failing gets a rest: from the second failed connection in a row on,
// no tick hands over or connects for 1 s, then 2 s, 4 s and so on up to 5 minutes, until
// a connection goes well. A message whose data the server took without answering is sent
// once more at most; after that its row leaves the queue with a log row.
//
// Queue and address list are indexed (SendQueueIndex, AddressIndex), so a tick and an
// answer cost the same for ten rows or a million.
//
// The client's events reach the handlers through the window that owns the client.
class SendEngine : public QObject {
  Q_OBJECT
 public:
  // `account` is asked at every hand-over, so a changed setting holds from the next message.
  SendEngine(platform::ListModel* queue, platform::ListModel* addresses, platform::SMTPSocket* client,
             std::function<SmtpAccount()> account, QObject* parent = nullptr);
  ~SendEngine() override;

  // The send queue, where the send window appends a batch.
  platform::ListModel* Queue() const { return m_queue; }
  // A batch has been queued: the mailing starts now, counted from 0, and its progress runs
  // to the number of rows now in the queue.
  void StartMailing();
  // When the running mailing was queued; nothing before the first batch.
  const std::optional<platform::Date>& StartTime() const { return m_starttime; }
  // Messages accepted since then.
  qint32 MailsSent() const { return m_mailssent; }

  // The pace as the user sets it. Rate: most rows handed over per tick, 1 to 5; RatePer:
  // seconds between ticks, 1 to 180; RandRate: each period spread by up to 20 %.
  void SetRate(int rows) { m_rate = rows; }
  void SetRatePer(int seconds) { m_ratePer = seconds; }
  void SetRandRate(bool random) { m_randRate = random; }
  // The summary is worked out only while it is shown; meanwhile it keeps its last text.
  void SetSummaryShown(bool shown) { m_summaryShown = shown; }

  // One tick of the send timer: progress, summary, hand-over, connection, next period.
  void Tick();
  // Sets the send timer's period from RatePer, spread by up to 20 % either way when
  // RandRate is checked.
  void SetSendTimer();
  // "<Rate> messages every <RatePer> seconds", with " +- 20%" when random, on the status
  // line; while failures hold the connection back, with how long.
  void ShowRate();
  // Reports how many queue rows are selected, when any is.
  void QueueSelectionChanged();
  // Empties the queue and the client's outgoing list and drops the connection.
  void StopSending();
  // Removes the selected queue rows; mail already handed over for them is taken back
  // from the client's list (a message going out right now still gets its answer).
  void DeleteFromSendQueue();

  // Called with the recipient and the entry each time an accepted message has written its
  // history entry into the address list, before the client may go on to its next message:
  // where the entry is made to survive a crash.
  void SetHistoryJournal(std::function<void(const QString& address, const QString& entry)> journal) {
    m_journal = std::move(journal);
  }

  // The client's events.
  void MessageSent(const platform::EmailMessagePtr& message);
  void MessageRefused(const platform::EmailMessagePtr& message, const QString& reply);
  void ConnectionFailed();
  void ConnectionEstablished(const QString& greeting);

 signals:
  void progressChanged(int value, int maximum);
  void summaryChanged(const QString& text);
  // Each time the period is worked out, also when it comes out the same: the timer counts
  // the next tick afresh from there.
  void periodChanged(int milliseconds);
  // A report for the status line and the log.
  void reported(const QString& text);
  // The rate text, for the status line alone.
  void rateShown(const QString& text);
  // History entries went into the address list: it has edits not yet saved.
  void addressesEdited();

 private:
  // A stored message as one tick reads it, once per message name.
  struct Loaded {
    bool readable = false;
    QString from;
    QString subject;
    QString body;  // with CR LF line ends, as the message carries it
  };
  void ShowProgressAndSummary();
  void SetProgress(int value, int maximum);
  // Hands over up to Rate rows; false when the engine went away while it yielded.
  bool HandOver(const platform::LongWork& work);
  void HandOverRow(int row, const Loaded& message);
  // The message may have reached the server without an answer; the second time its row
  // leaves the queue rather than mail the address a third time.
  void CountUnanswered(const platform::EmailMessagePtr& message);
  void CountFailure();
  bool BackingOff() const;

  platform::ListModel* m_queue;
  platform::ListModel* m_addresses;
  platform::SMTPSocket* m_client;
  // The queue row of each message in the client's list. Two rows may name the same
  // address and message, so the row itself is kept; it follows the row as others go.
  struct HandedOver {
    QPersistentModelIndex row;
    int unanswered = 0;  // times its data went out without an answer
  };
  QHash<const platform::EmailMessage*, HandedOver> m_handedOver;
  // Rows put back to "Queued" whose message went out unanswered, and how often.
  std::vector<std::pair<QPersistentModelIndex, int>> m_unansweredRows;
  int m_failures = 0;    // failed connections in a row
  double m_retryAt = 0;  // no connection before this, in the clock's total seconds
  std::function<SmtpAccount()> m_account;
  std::optional<platform::Date> m_starttime;
  qint32 m_mailssent = 0;
  // As the controls start: both sliders at the bottom of their ranges, not random.
  int m_rate = 1;
  int m_ratePer = 1;
  bool m_randRate = false;
  bool m_summaryShown = false;
  int m_progressValue = 0;
  int m_progressMaximum = 100;
  QString m_summary = QStringLiteral("0 addresses");
  SendQueueIndex m_queueIndex;
  AddressIndex m_addressIndex;
  std::function<void(const QString&, const QString&)> m_journal;
};

}  // namespace mailing
