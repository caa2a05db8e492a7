#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
namespace lists {
class OpenList;
}
namespace platform {
class Listbox;
}

// Changes the address of the selected row of the main window's address list. The window
// stands in front of the main window and goes with it.
class EditWindow : public QWidget {
  Q_OBJECT
 public:
  // `list` is the open list's address list, `parent` the main window.
  EditWindow(platform::Listbox* list, lists::OpenList* openList, QWidget* parent);

  QLineEdit* Address = nullptr;
  QLabel* emaillist = nullptr;
  QPushButton* PushButton1 = nullptr;  // "Update"
  QPushButton* PushButton2 = nullptr;  // "Cancel"

  void PushButton1_Action();
  void PushButton2_Action();

 private:
  QPointer<platform::Listbox> m_list;
  QPointer<lists::OpenList> m_openList;
};
