#pragma once

#include <QDialog>

class LinkLabel;
class QLabel;
class QPushButton;

// The about window: the product's logo, version and description, with link labels to
// the maker's web page. Every opening makes a new one; Continue (Continued) shows the main
// window and closes this one. File > Quit (QuitChosen) works while it is in front.
class AboutWindow : public QDialog {
  Q_OBJECT
 public:
  // The maker's web page, which StaticText7 shows and every link label opens.
  static const QString kMakerPage;

  explicit AboutWindow(QWidget* parent = nullptr);

  // Shows the window in front of the others.
  void OpenInFront();

  // Controls, in creation order.
  LinkLabel* StaticText1 = nullptr;
  LinkLabel* StaticText2 = nullptr;
  QLabel* StaticText4 = nullptr;
  QPushButton* CloseAbout = nullptr;
  QLabel* StaticText6 = nullptr;
  LinkLabel* StaticText7 = nullptr;
  QLabel* StaticText3 = nullptr;
  QLabel* StaticText5 = nullptr;

  void StaticText1_MouseExit();
  void StaticText1_MouseEnter();
  bool StaticText1_MouseDown(int x, int y);
  bool StaticText2_MouseDown(int x, int y);
  void StaticText2_MouseEnter();
  void StaticText2_MouseExit();
  void CloseAbout_Action();
  void StaticText7_MouseEnter();
  void StaticText7_MouseExit();
  bool StaticText7_MouseDown(int x, int y);
  void AddMenuHandlers();
  void Event_EnableMenuItems();
  bool _FileQuit_Action();

 signals:
  // Continue was pressed: the main window is to be shown, or brought up when there is none.
  // This window closes after, unless it is gone by then.
  void Continued();
  // File > Quit was chosen here: the open list is to be saved and the program to quit.
  void QuitChosen();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Layout();
  void CreateControls();
  void _CreateControls0();
  LinkLabel* AddLink(const QString& name, const QString& text, QRect bounds, int pixelSize);
  QLabel* AddLabel(const QString& name, const QString& text, QRect bounds, int pixelSize, QColor color);

  QWidget* m_content = nullptr;  // under the menu bar; the controls stand on it
};
