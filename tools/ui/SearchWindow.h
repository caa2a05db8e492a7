#pragma once

#include <QPointer>
#include <QWidget>

class MainWindow;
class QLabel;
class QLineEdit;
class QPushButton;

// The search window of Edit > Find: Find selects the first address holding the typed
// text, Find all lists every address the text matches as a regular expression. It closes
// itself after either, or Cancel.
class SearchWindow : public QWidget {
  Q_OBJECT
 public:
  explicit SearchWindow(QPointer<MainWindow> main, QWidget* parent = nullptr);

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

  QPointer<MainWindow> m_main;
  // Both searches yield: a button pressed again meanwhile must not start a second one.
  bool m_searching = false;
};
