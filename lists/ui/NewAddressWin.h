#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
namespace platform {
class Listbox;
}

// Adds the addresses found in typed text to a list: the main window's address list or
// the list of an address-list window.
class NewAddressWin : public QWidget {
  Q_OBJECT
 public:
  explicit NewAddressWin(QWidget* parent = nullptr);

  // The list that receives the addresses; set by the opener after showing the window.
  QPointer<platform::Listbox> list;

  QLabel* StaticText1 = nullptr;
  QLineEdit* emailaddress = nullptr;
  QPushButton* OK = nullptr;
  QPushButton* Cancel = nullptr;

  void OK_Action();
  void Cancel_Action();

 private:
  void Accept();

  bool m_accepting = false;
};
