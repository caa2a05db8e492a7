#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "platform/FolderItem.h"

class FolderButton;
class QScrollBar;

// The narrow window docked at the main window's right: one button per address list in
// the Database folder, the open list highlighted; a click opens that list.
class SideBarWindow : public QWidget {
  Q_OBJECT
 public:
  // What the side bar reads from and asks of the main window.
  struct Host {
    std::function<platform::FolderItem()> database;
    std::function<QString()> lastopen;
    // Opens the named list; `done` learns, once the open has run, whether the open list
    // was left (not when it stays because its edits could not be saved).
    std::function<void(const QString& name, std::function<void(bool left)> done)> openDatabase;
    // This window became or stopped being the active one.
    std::function<void()> activationChanged;
  };

  explicit SideBarWindow(Host host, QWidget* parent = nullptr);

  // Rebuilds the buttons from the Database folder.
  void UpdateLists();
  void ClearSelected();
  int CountFolderButtons() const;

  // The buttons, in place order (for the main window's tests and accessibility).
  std::vector<FolderButton*> Buttons() const;
  QScrollBar* ScrollBar1 = nullptr;

  // Makes this the active window, with the keyboard on the open list's button (or the
  // first). Up and Down then move between the buttons, Space or Return opens a list,
  // Escape gives the keyboard back to the main window, as ReturnKeyboard does. A click on
  // a button leaves the keyboard where it was.
  void TakeKeyboard();
  void ReturnKeyboard();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FolderButtons_MouseUp(FolderButton* button);
  // Marks the button of the list now open, and only it.
  void MarkOpened(FolderButton* button);
  void KeepKeyboardAfterClick();
  void StepFocus(int step);
  // Scrolls the column until the button stands wholly in the window.
  void ShowButton(FolderButton* button);
  // Tells assistive technology of the buttons whose mark changed.
  void AnnounceMarks(const std::vector<FolderButton*>& markedBefore);
  void ScrollBar1_ValueChanged();
  void Event_Resized();

  Host m_host;
  std::vector<QPointer<FolderButton>> m_buttons;
  int m_rebuilds = 0;  // rebuilds started so far
  // The keyboard was brought here (TakeKeyboard) and has not left.
  bool m_keyboardTaken = false;
  // A click on a button came before the activation that the window manager gives for it.
  bool m_clickAwaitsActivation = false;
};
