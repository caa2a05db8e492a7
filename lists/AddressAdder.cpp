#include "lists/AddressAdder.h"

#include <climits>
#include <utility>

namespace lists {

namespace {

// The bytes a row of an address takes in the list, about: its text and a few more.
constexpr qsizetype kRowBytes = 24;

}  // namespace

AddressAdder::AddressAdder(platform::ListModel* list, DuplicateIndex* duplicates,
                           std::function<bool()> testDuplicates, Reports reports)
    : m_list(list),
      m_duplicates(duplicates),
      m_testDuplicates(std::move(testDuplicates)),
      m_reports(std::move(reports)) {}

AddressAdder::~AddressAdder() {
  if (m_duplicates) m_duplicates->ForgetPending(m_pending);
}

int AddressAdder::RowCount() {
  CatchUp();
  return (m_list ? m_list->ListCount() : 0) + m_pending.Count();
}

void AddressAdder::Add(QByteArrayView address) {
  if (!m_list) return;
  const bool test = m_duplicates && m_testDuplicates && m_testDuplicates();
  if (test != m_batchTested) {
    // The setting changed: the addresses tested so far go in first.
    Flush();
    m_batchTested = test;
  }
  if (!test) {
    m_pending.Append(address);
    if (m_reports.added) m_reports.added(m_list->ListCount() + m_pending.Count());
    return;
  }
  m_aheadHashes[static_cast<size_t>(m_ahead.Count())] = m_duplicates->Prepare(address);
  m_ahead.Append(address);
  if (m_ahead.Count() == kAhead) CatchUp();
}

void AddressAdder::CatchUp() {
  const int count = m_ahead.Count();
  if (count == 0) return;
  for (int i = 0; i < count && m_list && m_duplicates; ++i) {
    const QByteArrayView address = m_ahead.At(i);
    if (m_duplicates->ContainsOrAdd(address, m_aheadHashes[static_cast<size_t>(i)], m_pending)) {
      if (m_reports.exists) m_reports.exists(address);
    } else if (m_reports.added) {
      m_reports.added(m_list->ListCount() + m_pending.Count());
    }
  }
  m_ahead.Clear();
}

void AddressAdder::Reserve(qsizetype more) {
  if (!m_list || more <= 0) return;
  const qsizetype rows = RowCount() + more;
  m_list->Reserve(static_cast<int>(std::min<qsizetype>(rows, INT_MAX)));
  m_list->ReserveText(more * kRowBytes);
  if (m_duplicates && m_testDuplicates && m_testDuplicates()) m_duplicates->Reserve(rows);
}

int AddressAdder::Flush() {
  CatchUp();
  const int count = m_pending.Count();
  if (count == 0) return 0;
  if (!m_list) {
    m_pending.Clear();
    return 0;
  }
  m_cells.clear();
  const int columns = m_list->columnCount();
  m_cells.reserve(static_cast<size_t>(count) * columns);
  for (int i = 0; i < count; ++i) {
    m_cells.push_back(m_pending.At(i));
    for (int c = 1; c < columns; ++c) m_cells.emplace_back();
  }
  if (m_batchTested && m_duplicates) m_duplicates->StagedRowsFollow();
  m_list->AppendRowsFromBytes(m_cells);
  m_pending.Clear();
  return count;
}

}  // namespace lists
