#pragma once

#include <QByteArrayView>
#include <QPointer>
#include <array>
#include <functional>
#include <vector>

#include "lists/DuplicateIndex.h"
#include "platform/ListModel.h"

namespace lists {

// Adds addresses to the open list as AddAddress does, many at a time: the duplicate test
// (when an index is given) and one report per address, in order. The addresses wait in a
// batch and reach the list together, in one append and one model signal, when Flush is
// called: the owner calls it before anything else can look at the list (before the event
// loop runs) and at the end.
class AddressAdder {
 public:
  struct Reports {
    // An address was added; the list holds this many rows with it.
    std::function<void(long long rows)> added;
    // The list holds the address already, letter case aside.
    std::function<void(QByteArrayView address)> exists;
  };

  // The duplicate test runs while testDuplicates() says so, through `duplicates` (the
  // list's index); without them every address is added.
  AddressAdder(platform::ListModel* list, DuplicateIndex* duplicates, std::function<bool()> testDuplicates,
               Reports reports);
  ~AddressAdder();
  AddressAdder(const AddressAdder&) = delete;
  AddressAdder& operator=(const AddressAdder&) = delete;

  // An address as the scanner finds it (ASCII bytes).
  void Add(QByteArrayView address);
  // Room for this many more addresses, in the list and its index.
  void Reserve(qsizetype more);
  // Appends the waiting addresses to the list; the number appended.
  int Flush();
  // Tests and reports the addresses taken so far (Add may hold a few back); done before
  // anything else reports, so the reports stay in order.
  void CatchUp();
  // The list's rows with the waiting ones.
  int RowCount();

 private:
  // Addresses taken but not yet tested: their places in the index are fetched ahead.
  static constexpr int kAhead = 16;
  PendingAddresses m_ahead;
  std::array<quint32, kAhead> m_aheadHashes{};

  QPointer<platform::ListModel> m_list;
  QPointer<DuplicateIndex> m_duplicates;
  std::function<bool()> m_testDuplicates;
  Reports m_reports;
  // Whether the waiting addresses passed the duplicate test (a batch is tested whole).
  bool m_batchTested = false;
  PendingAddresses m_pending;
  std::vector<QByteArrayView> m_cells;
};

}  // namespace lists
