#pragma once

#include <QMainWindow>

class QLabel;
class QPlainTextEdit;
class QTabWidget;
namespace platform {
class Listbox;
}

// The user's guide on a tab "General" and the pattern syntax of Find all on a tab "Find
// all Syntax", under the product's logo. Every opening makes a new window, which stays
// until the user closes it; File > Close closes it while it is in front.
//
// Sizes: Width() and Height() are those of the content area under the menu bar, which is
// what the layout figures are given for.
class HelpWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows the window in front of the others.
  void OpenInFront();

  int Width() const;
  int Height() const;
  // Sizes the window so that its content area measures width by height.
  void SetSize(int width, int height);

  // Controls, in creation order.
  QLabel* StaticText1 = nullptr;
  QLabel* StaticText3 = nullptr;
  QLabel* StaticText7 = nullptr;
  QLabel* StaticText5 = nullptr;
  QLabel* StaticText6 = nullptr;
  QTabWidget* TabPanel1 = nullptr;
  QPlainTextEdit* EditField1 = nullptr;
  platform::Listbox* ListBox1 = nullptr;

  void AddMenuHandlers();
  // Follows the window's size with the tab panel, the text and the table.
  void Event_Resized();
  bool _FileClose_Action();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Layout();
  void CreateControls();
  void _CreateControls0();
  QLabel* AddLabel(const QString& name, const QString& text, QRect bounds, int pixelSize, QColor color);
  void ShowControlsOfTab(int tab);

  QWidget* m_content = nullptr;
};
