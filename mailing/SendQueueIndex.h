#pragma once

#include <QHash>
#include <QString>
#include <vector>

#include "mailing/SlotBits.h"
#include "mailing/TrackedRows.h"

namespace mailing {

// What the send engine asks of the send queue (address, message name, format, status),
// answered without a walk over the rows: which rows are "Queued", in list order, which
// are "Waiting", and for which address. Statuses are compared exactly.
//
// It follows the queue through the model's signals, so it stays right whoever edits the
// queue (the send window appending a batch, the engine's own hand-over, removals).
class SendQueueIndex : public TrackedRows {
 public:
  explicit SendQueueIndex(platform::ListModel* queue, QObject* parent = nullptr);

  // The queue's columns.
  static constexpr int kAddress = 0;
  static constexpr int kMailing = 1;
  static constexpr int kFormat = 2;
  static constexpr int kStatus = 3;

  static const QString& Queued();
  static const QString& Waiting();

  int QueuedCount();
  int WaitingCount();

  // Message names are numbered while they are in the queue; the numbers change when the
  // queue is read afresh, and NameNumbering() with them.
  unsigned NameNumbering();
  // The number of a message name; -1 when no row names it.
  int NameId(const QString& name);

  // The first "Queued" row at or after `row` whose message is not one of those numbered
  // in `passOver` (passOver[id] true); -1 when there is none.
  int NextQueuedRow(int row, const std::vector<bool>& passOver);
  // The last row before `row` whose status is not "Queued"; -1 when none.
  int LastUnqueuedRowBefore(int row);
  // The "Waiting" rows of the address (exact comparison), in list order.
  std::vector<int> WaitingRowsOf(const QString& address);

 protected:
  void Clear(int slotCount) override;
  void RowAdded(int slot, int row) override;
  void RowRemoved(int slot) override;
  void RowChanged(int slot, int row) override;
  bool Watches(int firstColumn, int lastColumn) const override;

 private:
  enum Status : unsigned char { kOther, kQueued, kWaiting };
  int IdOfName(const QString& name);
  void Forget(int slot);
  std::vector<int> RowsOfSlots(const std::vector<int>& slotList) const;

  // By slot.
  std::vector<unsigned char> m_status;
  std::vector<int> m_name;
  SlotBits m_queued;
  SlotBits m_unqueued;  // every live slot that is not "Queued"
  // "Waiting" rows by address, and the address of each.
  QHash<QString, std::vector<int>> m_waitingByAddress;
  QHash<int, QString> m_waitingAddress;

  QHash<QString, int> m_nameIds;
  std::vector<int> m_queuedOfName;
  // The name looked up last: a batch names one message in every row, the same text.
  QString m_lastName;
  int m_lastNameId = -1;
};

}  // namespace mailing
