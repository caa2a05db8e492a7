#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// Changes the address of the selected row of the main window's address list.
class EditWindow : public QWidget {
  Q_OBJECT
 public:
  explicit EditWindow(QWidget* parent = nullptr);

  QLineEdit* Address = nullptr;
  QLabel* emaillist = nullptr;
  QPushButton* PushButton1 = nullptr;  // "Update"
  QPushButton* PushButton2 = nullptr;  // "Cancel"

  void PushButton1_Action();
  void PushButton2_Action();
};
