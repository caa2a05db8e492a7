#pragma once

#include <QPointer>
#include <QWidget>

class MainWindow;
class QLabel;
class QLineEdit;
class QPushButton;
namespace platform {
class Listbox;
}

// Adds the addresses found in typed text to a list: the main window's address list or
// the list of an address-list window. It stands in front of the window that opened it, the
// one whose list it fills, and goes with it.
class NewAddressWin : public QWidget {
  Q_OBJECT
 public:
  // `main` is the main window when the opener has one: addresses aimed at its address list
  // go through its duplicate test and mark it changed.
  explicit NewAddressWin(QPointer<MainWindow> main, QWidget* opener = nullptr);

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

  QPointer<MainWindow> m_main;
  bool m_accepting = false;
};
