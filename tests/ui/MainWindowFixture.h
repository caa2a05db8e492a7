#pragma once

// A main window in a temporary application folder, with recording seams and quit, and mail
// going nowhere; every window is gone after.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <memory>

#include "app/MessageLog.h"
#include "app/ui/MainWindow.h"
#include "app/ui/Windows.h"
#include "lists/ui/FolderButton.h"
#include "lists/ui/SideBarWindow.h"
#include "platform/Date.h"
#include "platform/FolderItem.h"
#include "platform/Seams.h"
#include "platform/SocketFactory.h"
#include "platform/ui/App.h"
#include "support/FakeByteStream.h"
#include "support/TestSupport.h"
#include "tools/ui/AboutWindow.h"

class MainWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    platform::FolderItem::SetAppFolderForTests(m_dir.path());
    m_seams = std::make_unique<platform::ScopedSeams>(m_recorded.seams());
    App::SetQuitForTests([this] { ++m_quits; });
    platform::SetClockForTests([] { return QDateTime(QDate(2026, 5, 4), QTime(13, 14, 15)); });
    platform::SetByteStreamFactoryForTests([](const platform::TlsPolicy&) {
      using testing_support::FakeByteStream;
      return std::make_unique<FakeByteStream>(FakeByteStream::ParseScript({"U:"}), false, 0);
    });
  }

  void TearDown() override {
    CloseAll();
    App::SetQuitForTests({});
    platform::SetClockForTests({});
    platform::SetByteStreamFactoryForTests({});
    m_seams.reset();
    platform::FolderItem::SetAppFolderForTests({});
  }

  // Every window but the shared menus; deleting one may delete others it owns.
  static void CloseAll() {
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (!w->parentWidget() && !w->inherits("QMenu")) windows.append(w);
    for (const QPointer<QWidget>& w : windows) delete w.data();
  }

  // Every window of a kind, shown or not.
  template <typename T>
  static QList<T*> Windows() {
    QList<T*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* t = qobject_cast<T*>(w)) found.append(t);
    return found;
  }

  // The visible window of a kind made last.
  template <typename T>
  static T* Shown() {
    T* found = nullptr;
    for (T* t : Windows<T>())
      if (t->isVisible()) found = t;
    return found;
  }

  QString DatabasePath() const { return m_dir.filePath("Database"); }
  bool Changed() const { return m_window->Changed; }

  // The side bar's lists, the open one marked "*".
  QStringList SideBarNames() const {
    QStringList names;
    for (FolderButton* b : qobject_cast<SideBarWindow*>(m_window->SideBar.data())->Buttons())
      names.append(b->FolderName + (b->Selected ? "*" : ""));
    return names;
  }

  QStringList LogRows() const {
    QStringList rows;
    for (int i = 0; i < m_window->UserMessagesLog().Count(); ++i) rows << m_window->UserMessagesLog().Row(i);
    return rows;
  }

  void WritePreferences(const QByteArray& bytes) {
    QDir(m_dir.path()).mkpath("Database");
    testing_support::WriteAll(DatabasePath() + "/Preferences", bytes);
  }

  // What SetSlug logs for a text at the fixed clock.
  static QString Logged(const QString& text) {
    return platform::Date(QDateTime(QDate(2026, 5, 4), QTime(13, 14, 15))).LongTime() + " " + text;
  }

  // Starts the program; the about window of start-up is in m_about.
  void Start() {
    m_window = MainWindow::Instance();
    ASSERT_EQ(Windows<AboutWindow>().size(), 1);
    m_about = Windows<AboutWindow>().first();
  }

  QTemporaryDir m_dir;
  platform::RecordingSeams m_recorded;
  std::unique_ptr<platform::ScopedSeams> m_seams;
  int m_quits = 0;
  MainWindow* m_window = nullptr;
  QPointer<AboutWindow> m_about;
};
