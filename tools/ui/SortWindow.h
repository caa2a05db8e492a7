#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "tools/ListSort.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
namespace lists {
class OpenList;
}
namespace platform {
class Listbox;
}

// The sort window of the toolbar's Sort: reorders the main window's address list by
// address, domain, host or latest mailing date, ascending or descending. It stays open
// after sorting until closed.
class SortWindow : public QWidget {
  Q_OBJECT
 public:
  // Sort sorts `list`, the open list's address list, and marks `openList` changed; `report`
  // says when the list changed under the sort.
  SortWindow(platform::Listbox* list, lists::OpenList* openList, std::function<void(const QString&)> report,
             QWidget* parent = nullptr);

  // The list being sorted, the cells moved with each row, and the steps of the sort so far.
  QPointer<platform::Listbox> thetable;
  int columns = 0;
  long long totalticks = 0;

  QLabel* StaticText1 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QRadioButton* IDSort = nullptr;
  QRadioButton* DomainSort = nullptr;
  QRadioButton* SubdomainSort = nullptr;
  QRadioButton* DateSort = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QRadioButton* Ascending = nullptr;
  QRadioButton* Descending = nullptr;
  QLabel* SortCount = nullptr;
  QPushButton* PushButton2 = nullptr;  // "Close"
  QPushButton* PushButton1 = nullptr;  // "Sort"

  void PushButton1_Action();
  void PushButton2_Action();
  // Sorts rows lo..hi of thetable.
  void SortTable(int lo, int hi);
  // The sort key of a row under the options chosen now.
  QString Process(const QString& address, const QString& history) const;

 private:
  tools::SortBy Option() const;

  QPointer<platform::Listbox> m_list;
  QPointer<lists::OpenList> m_openList;
  std::function<void(const QString&)> m_report;
};
