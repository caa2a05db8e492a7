#pragma once

#include <QHash>
#include <QObject>
#include <QPersistentModelIndex>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "mailing/AddressIndex.h"
#include "mailing/SendQueueIndex.h"
#include "platform/Date.h"
#include "platform/EmailMessage.h"
#include "platform/ListModel.h"
#include "platform/SMTPSocket.h"

namespace mailing {

// The main window's values that the engine reads and writes; the window owns them (the
// send window sets starttime and mailssent when it queues a batch).
struct SendRefs {
  const QString& server;
  const QString& username;
  const QString& password;
  const std::optional<platform::Date>& starttime;
  qint32& mailssent;
  bool& changed;
};

// The controls of the main window's Queue tab, its status line and its log, as the
// engine uses them.
class SendControls {
 public:
  virtual ~SendControls() = default;
  virtual int Rate() const = 0;     // most rows handed over per tick, 1 to 5
  virtual int RatePer() const = 0;  // seconds between ticks, 1 to 180
  virtual bool RandRate() const = 0;
  virtual bool QueueTabInFront() const = 0;
  virtual void SetProgressMaximum(int maximum) = 0;
  virtual void SetProgressValue(int value) = 0;
  virtual void SetQueueStatus(const QString& text) = 0;
  virtual void SetSendPeriod(int milliseconds) = 0;
  // The status line alone, without a log row.
  virtual void SetStatusLine(const QString& text) = 0;
  // The status line and a log row.
  virtual void SetSlug(const QString& text) = 0;
};

// The paced send engine. The send queue is a list of rows (address, message name,
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
  SendEngine(platform::ListModel* queue, platform::ListModel* addresses, platform::SMTPSocket* client,
             SendRefs refs, std::unique_ptr<SendControls> controls, QObject* parent = nullptr);
  ~SendEngine() override;

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

 private:
  // A stored message as one tick reads it, once per message name.
  struct Loaded {
    bool readable = false;
    QString from;
    QString subject;
    QString body;  // with CR LF line ends, as the message carries it
  };
  void ShowProgressAndSummary();
  // Hands over up to Rate rows; false when the engine went away while it yielded.
  bool HandOver();
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
  SendRefs m_refs;
  std::unique_ptr<SendControls> m_controls;
  SendQueueIndex m_queueIndex;
  AddressIndex m_addressIndex;
  bool m_ticking = false;
  std::function<void(const QString&, const QString&)> m_journal;
};

}  // namespace mailing
