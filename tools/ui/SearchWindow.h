#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

class MessageWindow;
class QLabel;
class QLineEdit;
class QPushButton;
namespace platform {
class Listbox;
}

// The search window of Edit > Find: Find selects the first address holding the typed
// text, Find all lists every address the text matches as a regular expression. It closes
// itself after either, or Cancel.
class SearchWindow : public QWidget {
  Q_OBJECT
 public:
  // What the searches work on: the main window's address list, its search text (the
  // typed text becomes it), its Find from the top of the list (FindString), a new window for
  // the results of Find all, and the way to report.
  struct Owners {
    QPointer<platform::Listbox> list;
    std::function<void(const QString&)> setSearchText;
    std::function<void()> findString;
    std::function<MessageWindow*()> newResultsWindow;
    std::function<void(const QString&)> report;
  };

  explicit SearchWindow(Owners owners, QWidget* parent = nullptr);

  QLineEdit* Address = nullptr;
  QPushButton* PushButton2 = nullptr;  // "Cancel"
  QPushButton* Find = nullptr;
  QPushButton* FindAll = nullptr;
  QLabel* StaticText1 = nullptr;

  void Find_Action();
  void FindAll_Action();
  void PushButton2_Action();

 private:
  void RunFind();
  void RunFindAll();

  Owners m_owners;
};
