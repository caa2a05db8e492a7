#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

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
  // Addresses aimed at the main window's address list, `mainList`, go in through
  // `addToMain` (its duplicate test, and the open list marked changed); any other list gets
  // a row for each.
  NewAddressWin(platform::Listbox* mainList, std::function<void(const QString&)> addToMain,
                QWidget* opener = nullptr);

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

  QPointer<platform::Listbox> m_mainList;
  std::function<void(const QString&)> m_addToMain;
};
