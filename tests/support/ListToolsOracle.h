#pragma once

// The sort and the bulk removal done the slow, literal way, step by step as the program's
// design describes them, on plain vectors of rows: the references for tools::SortRows and
// tools::PlanBulkRemoval.

#include <QString>
#include <QStringList>
#include <vector>

#include "platform/Date.h"
#include "platform/Text.h"
#include "tools/ListSort.h"

namespace oracle {

// A row-moving quicksort over rows of at least two cells (address, history); the other
// cells ride along. The keys are built afresh at every step.
class LiteralSort {
 public:
  LiteralSort(std::vector<QStringList> rows, tools::SortBy by, bool ascending)
      : rows(std::move(rows)), m_by(by), m_ascending(ascending) {}

  std::vector<QStringList> rows;

  QString Process(const QString& address, const QString& history) const {
    using namespace platform;
    if (m_by == tools::SortBy::Date) {
      double best = 0;
      const int fields = CountFields(history, QStringLiteral("("));
      for (int n = 2; n <= fields; ++n) {
        const QString f = NthField(history, QStringLiteral("("), n);
        const int q = InStr(f, QStringLiteral(")"));
        if (f.size() > 1) {
          if (const auto date = ParseDate(Left(f, q - 1))) {
            const double days = date->TotalSeconds() / 3600 / 24;
            if (days > best) best = days;
          }
        }
      }
      return Str(best);
    }
    QString key = address;
    if (CountFields(address, QStringLiteral("@")) > 1) {
      if (m_by == tools::SortBy::Domain || m_by == tools::SortBy::Subdomain) {
        key = NthField(address, QStringLiteral("@"), 2);
      }
      if (m_by == tools::SortBy::Domain && InStr(key, QStringLiteral(".")) > 0) {
        key = NthField(key, QStringLiteral("."), CountFields(key, QStringLiteral(".")) - 1);
      }
    }
    return key;
  }

  void SortTable(int lo, int hi) {
    if (lo >= hi) return;
    int p = (lo + hi) / 2;
    const QString pk = Key(p);
    int i = lo;
    while (i <= hi) {
      const int order = platform::StrComp(Key(i), pk, 0);
      int step = 0;
      if (i < p) {
        if (m_ascending ? order > 0 : order < 0) {  // the row belongs after the pivot
          const QStringList moved = rows[i];
          rows.erase(rows.begin() + i);
          p = p - 1;
          rows.insert(rows.begin() + p + 1, moved);
        } else {
          step = 1;
        }
      } else if (p < i) {
        if (m_ascending ? order < 0 : order > 0) {  // the row belongs before the pivot
          const QStringList moved = rows[i];
          rows.erase(rows.begin() + i);
          rows.insert(rows.begin() + p, moved);
          p = p + 1;
        }
        step = 1;
      } else {
        step = 1;
      }
      i = i + step;
    }
    SortTable(lo, p - 1);
    SortTable(p + 1, hi);
  }

 private:
  QString Key(int row) const { return Process(rows[row].value(0), rows[row].value(1)); }

  tools::SortBy m_by;
  bool m_ascending;
};

// "Remove all from Main List": for each listed address in turn, its later repeats leave
// the listed rows, then every main row holding it leaves the main list, from the last row
// up, its address going to Trash.
struct LiteralBulkRemoval {
  QStringList listed;
  QStringList main;
  QStringList trash;

  void Run() {
    for (int i = 0; i <= listed.size() - 1; ++i) {
      for (int j = listed.size() - 1; j >= i + 1; --j) {
        if (platform::StrComp(listed[j], listed[i], 0) == 0) listed.removeAt(j);
      }
      for (int k = main.size() - 1; k >= 0; --k) {
        if (platform::StrComp(main[k], listed[i], 0) == 0) {
          trash.append(main[k]);
          main.removeAt(k);
        }
      }
    }
  }
};

}  // namespace oracle
