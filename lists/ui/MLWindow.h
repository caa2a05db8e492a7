#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
namespace lists {
class OpenList;
}

// The new-list dialog of Mailing Lists > New Mailing List...: asks for a name, creates an
// empty list file under the first free name of that series and opens it. The window stands
// in front of the main window and goes with it.
class MLWindow : public QWidget {
  Q_OBJECT
 public:
  // The file goes into the open list's Database folder and the open list opens it; then
  // `listsChanged` shows the lists anew. `report` says what failed; `parent` is the main window.
  MLWindow(lists::OpenList* openList, std::function<void()> listsChanged,
           std::function<void(const QString&)> report, QWidget* parent);

  QLabel* StaticText1 = nullptr;
  QLineEdit* EditField1 = nullptr;
  QPushButton* OK = nullptr;
  QPushButton* Cancel = nullptr;

  void OK_Action();
  void Cancel_Action();

 private:
  void Accept();
  void Layout();
  void CreateControls();
  void _CreateControls0();

  QPointer<lists::OpenList> m_openList;
  std::function<void()> m_listsChanged;
  std::function<void(const QString&)> m_report;
};
