#pragma once

#include <QPointer>
#include <QWidget>

class MainWindow;
class QLabel;
class QLineEdit;
class QPushButton;

// Changes the address of the selected row of the main window's address list. The window
// stands in front of the main window and goes with it.
class EditWindow : public QWidget {
  Q_OBJECT
 public:
  explicit EditWindow(QPointer<MainWindow> main);

  QLineEdit* Address = nullptr;
  QLabel* emaillist = nullptr;
  QPushButton* PushButton1 = nullptr;  // "Update"
  QPushButton* PushButton2 = nullptr;  // "Cancel"

  void PushButton1_Action();
  void PushButton2_Action();

 private:
  QPointer<MainWindow> m_main;
};
