#pragma once

#include <QPointer>
#include <QWidget>

class MainWindow;
class QLabel;
class QLineEdit;
class QPushButton;

// The new-list dialog of Mailing Lists > New Mailing List...: asks for a name, creates an
// empty list file under the first free name of that series and opens it. The window stands
// in front of the main window and goes with it.
class MLWindow : public QWidget {
  Q_OBJECT
 public:
  explicit MLWindow(QPointer<MainWindow> main);

  QLabel* StaticText1 = nullptr;
  QLineEdit* EditField1 = nullptr;
  QPushButton* OK = nullptr;
  QPushButton* Cancel = nullptr;

  void OK_Action();
  void Cancel_Action();

 private:
  void Accept();
  void Layout();
  void CreateControls();
  void _CreateControls0();

  QPointer<MainWindow> m_main;
  bool m_accepting = false;
};
