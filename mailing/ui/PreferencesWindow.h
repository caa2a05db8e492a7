#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>
#include <array>

#include "app/Settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

// The SMTP account used for sending, the POP3 account logged into before sending, and
// whether addresses already in the list are left out when adding. OK makes them the
// program's settings and stores them in the Preferences file; closing the window drops the
// edits.
class PreferencesWindow : public QWidget {
  Q_OBJECT
 public:
  // The window stands in front of `parent` and goes with it.
  PreferencesWindow(app::Settings& settings, QWidget* parent);

  // The fields, from these settings.
  void SetSettings(const app::Preferences& settings);
  app::Preferences Settings() const;

  QTabWidget* TabPanel1 = nullptr;
  QLabel* StaticText1 = nullptr;
  QLineEdit* Server = nullptr;
  QLabel* StaticText2 = nullptr;
  QLabel* StaticText3 = nullptr;
  QLineEdit* Username = nullptr;
  QLabel* StaticText4 = nullptr;
  QLabel* StaticText5 = nullptr;
  QLineEdit* Password = nullptr;
  QLabel* StaticText6 = nullptr;
  QPushButton* PushButton1 = nullptr;  // "OK"
  QCheckBox* XDuplicates = nullptr;
  QLabel* StaticText7 = nullptr;
  QLabel* StaticText8 = nullptr;
  QLabel* StaticText9 = nullptr;
  QLabel* StaticText10 = nullptr;
  QLineEdit* POPServer = nullptr;
  QLabel* StaticText11 = nullptr;
  QLineEdit* POPUsername = nullptr;
  QLabel* StaticText12 = nullptr;
  QLineEdit* POPPassword = nullptr;

  void PushButton1_Action();
  void AddMenuHandlers();
  void Event_EnableMenuItems();
  bool _EditSelectAll_Action();

 signals:
  // OK took the fields as the settings; `saved` says whether the file could be written.
  void Confirmed(const platform::FileResult& saved);

 private:
  void Layout();
  void CreateControls();
  void _CreateControls0();
  // A control on the tab panel's page (0 "General", 1 "SMTP Settings", 2 "POP Settings"):
  // it stands on the window at its bounds and shows while its page is in front.
  template <typename T>
  T* OnPage(int page, T* control, const QString& name, QRect bounds);
  void ShowControlsOfPage(int page);

  QPointer<app::Settings> m_settings;
  QWidget* m_content = nullptr;  // under the menu bar; the controls stand on it
  std::array<QList<QWidget*>, 3> m_pageControls;
};
