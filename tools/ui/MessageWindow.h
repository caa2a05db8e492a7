#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
namespace lists {
class OpenList;
}
namespace platform {
class DragItem;
class FolderItem;
class Listbox;
}  // namespace platform

// The address-list window: a list of addresses of its own, filled by its opener (search
// results, opted-out addresses), by drops of text and files, or through Add Address, whose
// addresses "Remove all from Main List" removes from the main window's list at once.
// Several can be open; each stays until closed, and nothing of it is kept.
class MessageWindow : public QWidget {
  Q_OBJECT
 public:
  // What it works on besides its own list: the main window's address list, from which
  // "Remove all from Main List" removes the listed addresses to Trash through the open list,
  // the way to report, and the opening of the one-address dialog in front of `opener` for
  // `list` (Add Address).
  struct Owners {
    QPointer<platform::Listbox> mainList;
    QPointer<lists::OpenList> openList;
    std::function<void(const QString&)> report;
    std::function<void(platform::Listbox* list, QWidget* opener)> openAddressDialog;
  };

  explicit MessageWindow(Owners owners, QWidget* parent = nullptr);

  // Shows the window in front of the others.
  void OpenInFront();

  platform::Listbox* MessageList = nullptr;
  QPushButton* Close = nullptr;
  QPushButton* RemoveFromList = nullptr;
  QPushButton* RemoveFromMain = nullptr;
  QPushButton* PushButton1 = nullptr;  // "Add Address"
  QLabel* Slug = nullptr;

  void MessageList_Change();
  void Close_Action();
  void RemoveFromList_Action();
  void RemoveFromMain_Action();
  void PushButton1_Action();
  void AddMenuHandlers();
  void Event_Activate();
  void Event_DropObject(platform::DragItem& item);
  bool Event_KeyDown(const QString& key);
  void Event_EnableMenuItems();
  void Event_Open();
  bool _AddressesNew_Action();
  void getemailfromfile(const platform::FolderItem& item);

 protected:
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void ShowCount();
  void AddFound(const QString& found);

  Owners m_owners;
};
