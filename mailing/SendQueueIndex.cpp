#include "mailing/SendQueueIndex.h"

#include <algorithm>

namespace mailing {

SendQueueIndex::SendQueueIndex(platform::ListModel* queue, QObject* parent) : TrackedRows(queue, parent) {}

const QString& SendQueueIndex::Queued() {
  static const QString text = QStringLiteral("Queued");
  return text;
}

const QString& SendQueueIndex::Waiting() {
  static const QString text = QStringLiteral("Waiting");
  return text;
}

int SendQueueIndex::QueuedCount() {
  Refresh();
  return m_queued.Count();
}

int SendQueueIndex::WaitingCount() {
  Refresh();
  return static_cast<int>(m_waitingAddress.size());
}

unsigned SendQueueIndex::NameNumbering() {
  Refresh();
  return Generation();
}

int SendQueueIndex::NameId(const QString& name) {
  Refresh();
  return m_nameIds.value(name, -1);
}

int SendQueueIndex::NextQueuedRow(int row, const std::vector<bool>& passOver) {
  Refresh();
  if (row < 0) row = 0;
  if (row >= RowCount()) return -1;
  // Rows of the messages passed over are stepped past one by one; stop as soon as none
  // of the others is left anywhere.
  int others = m_queued.Count();
  for (size_t id = 0; id < passOver.size() && id < m_queuedOfName.size(); ++id) {
    if (passOver[id]) others -= m_queuedOfName[id];
  }
  if (others <= 0) return -1;
  for (int slot = m_queued.NextFrom(SlotOfRow(row)); slot >= 0; slot = m_queued.NextFrom(slot + 1)) {
    const auto name = static_cast<size_t>(m_name[static_cast<size_t>(slot)]);
    if (name < passOver.size() && passOver[name]) continue;
    return RowOfSlot(slot);
  }
  return -1;
}

int SendQueueIndex::LastUnqueuedRowBefore(int row) {
  Refresh();
  row = std::min(row, RowCount());
  if (row <= 0) return -1;
  const int slot = m_unqueued.PrevBefore(SlotOfRow(row - 1) + 1);
  return slot < 0 ? -1 : RowOfSlot(slot);
}

std::vector<int> SendQueueIndex::RowsOfSlots(const std::vector<int>& slotList) const {
  std::vector<int> rows;
  rows.reserve(slotList.size());
  for (int slot : slotList) rows.push_back(RowOfSlot(slot));
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::vector<int> SendQueueIndex::WaitingRowsOf(const QString& address) {
  Refresh();
  const auto it = m_waitingByAddress.constFind(address);
  return it == m_waitingByAddress.cend() ? std::vector<int>() : RowsOfSlots(it.value());
}

int SendQueueIndex::IdOfName(const QString& name) {
  if (m_lastNameId >= 0 && name.constData() == m_lastName.constData() && name.size() == m_lastName.size()) {
    return m_lastNameId;
  }
  auto it = m_nameIds.find(name);
  if (it == m_nameIds.end()) {
    it = m_nameIds.insert(name, static_cast<int>(m_queuedOfName.size()));
    m_queuedOfName.push_back(0);
  }
  m_lastName = name;
  m_lastNameId = it.value();
  return m_lastNameId;
}

void SendQueueIndex::Clear(int slotCount) {
  m_status.assign(static_cast<size_t>(slotCount), kOther);
  m_name.assign(static_cast<size_t>(slotCount), -1);
  m_queued.Clear();
  m_unqueued.Clear();
  m_queued.Reserve(slotCount);
  m_unqueued.Reserve(slotCount);
  m_waitingByAddress.clear();
  m_waitingAddress.clear();
  m_nameIds.clear();
  m_queuedOfName.clear();
  m_lastName.clear();
  m_lastNameId = -1;
}

void SendQueueIndex::RowAdded(int slot, int row) {
  const auto at = static_cast<size_t>(slot);
  if (at >= m_status.size()) {
    const size_t size = std::max(at + 1, m_status.size() * 2);
    m_status.resize(size, kOther);
    m_name.resize(size, -1);
  }
  platform::ListModel* queue = Model();
  // A batch names one message in every row: compared with the name looked up last, a
  // row's name costs no text of its own.
  const int name = m_lastNameId >= 0 && queue->CellEquals(row, kMailing, m_lastName)
                       ? m_lastNameId
                       : IdOfName(queue->Cell(row, kMailing));
  m_name[at] = name;
  if (queue->CellEquals(row, kStatus, Queued())) {
    m_status[at] = kQueued;
    m_queued.Set(slot);
    ++m_queuedOfName[static_cast<size_t>(name)];
    return;
  }
  m_unqueued.Set(slot);
  m_status[at] = kOther;
  if (!queue->CellEquals(row, kStatus, Waiting())) return;
  m_status[at] = kWaiting;
  const QString address = queue->Cell(row, kAddress);
  m_waitingByAddress[address].push_back(slot);
  m_waitingAddress.insert(slot, address);
}

void SendQueueIndex::Forget(int slot) {
  const auto at = static_cast<size_t>(slot);
  switch (m_status[at]) {
    case kQueued:
      m_queued.Reset(slot);
      --m_queuedOfName[static_cast<size_t>(m_name[at])];
      break;
    case kWaiting: {
      const QString address = m_waitingAddress.take(slot);
      const auto it = m_waitingByAddress.find(address);
      if (it != m_waitingByAddress.end()) {
        std::erase(it.value(), slot);
        if (it.value().empty()) m_waitingByAddress.erase(it);
      }
      [[fallthrough]];
    }
    default:
      m_unqueued.Reset(slot);
  }
  m_status[at] = kOther;
  m_name[at] = -1;
}

void SendQueueIndex::RowRemoved(int slot) {
  Forget(slot);
}

void SendQueueIndex::RowChanged(int slot, int row) {
  Forget(slot);
  RowAdded(slot, row);
}

bool SendQueueIndex::Watches(int firstColumn, int lastColumn) const {
  return !(firstColumn == kFormat && lastColumn == kFormat);
}

}  // namespace mailing
