#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <functional>

#include "MainWindowFixture.h"
#include "lists/ui/EditWindow.h"
#include "lists/ui/MLWindow.h"
#include "lists/ui/MainWindowListsSetup.h"
#include "lists/ui/NewAddressWin.h"
#include "mailing/ui/PreferencesWindow.h"
#include "mailing/ui/SendWindow.h"
#include "platform/EventLoop.h"
#include "platform/ui/Listbox.h"
#include "support/TestSupport.h"
#include "tools/ui/HelpWindow.h"
#include "tools/ui/MessageWindow.h"
#include "tools/ui/SearchWindow.h"
#include "tools/ui/SortWindow.h"

using namespace std::chrono_literals;

namespace {

class WindowLifetimesTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    lists::ui::InstallMainWindowHooks();
    mailing::ui::InstallSendWindowHook();
    platform::SetYieldInterval(0us);
  }
  void TearDown() override {
    platform::SetYieldInterval(2ms);
    QList<QPointer<QWidget>> others;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      // The menus are windows too, shared by every window for the life of the program.
      if (!qobject_cast<QMenu*>(w) && !qobject_cast<MainWindow*>(w) && !qobject_cast<AboutWindow*>(w) &&
          !w->parentWidget())
        others.append(w);
    }
    for (const QPointer<QWidget>& w : others) delete w.data();
    MainWindowFixture::TearDown();
  }

  // The open window of a kind made last.
  template <typename T>
  static T* Newest() {
    T* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) found = t;
    }
    return found;
  }
  static int MainWindows() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) count += qobject_cast<MainWindow*>(w) != nullptr;
    return count;
  }
};

// The main window closes (or goes in the middle of the dialog's own work) while each kind
// of window is open and its button is pressed: nothing crashes, no second main window comes
// up, the dialogs that act on the main window go with it, the others stay and still work
// on their own list.
TEST_F(WindowLifetimesTest, TheMainWindowGoesWhileAnyWindowIsOpen) {
  struct Case {
    const char* kind;
    std::function<QWidget*(MainWindow&)> open;  // returns the window whose button is pressed
    std::function<void(QWidget*)> press;
    bool stays;  // the window is still open afterwards
  };
  const Case cases[] = {
      {"EditWindow",
       [](MainWindow& m) {
         m.elist->SetListIndex(0);
         m.elist_DoubleClick();
         return Newest<EditWindow>();
       },
       [](QWidget* w) { static_cast<EditWindow*>(w)->PushButton1->click(); }, false},
      {"NewAddressWin",
       [](MainWindow& m) {
         m._AddressesNew_Action();
         Newest<NewAddressWin>()->emailaddress->setText("new@example.com");
         return Newest<NewAddressWin>();
       },
       [](QWidget* w) { static_cast<NewAddressWin*>(w)->OK->click(); }, false},
      {"MLWindow",
       [](MainWindow& m) {
         m._MailingListsNewMailingList_Action();
         return Newest<MLWindow>();
       },
       [](QWidget* w) { static_cast<MLWindow*>(w)->OK->click(); }, false},
      {"SendWindow",
       [](MainWindow& m) {
         m.server = "smtp.example.com";
         m.elist->Model()->SetAllSelected(true);
         m.ToolbarItem1[0]->trigger();
         Newest<SendWindow>()->Name->setText("Launch");
         return Newest<SendWindow>();
       },
       [](QWidget* w) { static_cast<SendWindow*>(w)->PushButton1->click(); }, false},
      {"PreferencesWindow",
       [](MainWindow& m) {
         m._FilePreferences_Action();
         return Newest<PreferencesWindow>();
       },
       [](QWidget* w) { static_cast<PreferencesWindow*>(w)->PushButton1->click(); }, false},
      {"SearchWindow",
       [](MainWindow& m) {
         m._EditFind_Action();
         Newest<SearchWindow>()->Address->setText("m1");
         return Newest<SearchWindow>();
       },
       [](QWidget* w) { static_cast<SearchWindow*>(w)->FindAll->click(); }, false},
      {"SortWindow",
       [](MainWindow& m) {
         m.OpenSortWindow();
         return Newest<SortWindow>();
       },
       [](QWidget* w) { static_cast<SortWindow*>(w)->PushButton1->click(); }, true},
      {"MessageWindow",
       [](MainWindow& m) {
         m._AddressesBulkRemove_Action();
         Newest<MessageWindow>()->MessageList->AddRow(QString("m1@example.com"));
         return Newest<MessageWindow>();
       },
       [](QWidget* w) {
         auto* window = static_cast<MessageWindow*>(w);
         window->RemoveFromMain->click();
         // Its own Add Address still fills its own list.
         window->PushButton1->click();
         Newest<NewAddressWin>()->emailaddress->setText("new@example.com");
         Newest<NewAddressWin>()->OK->click();
         EXPECT_EQ(window->MessageList->ListCount(), 2);
       },
       true},
      {"HelpWindow",
       [](MainWindow& m) {
         m._HelpVelmoraHelp_Action();
         return Newest<HelpWindow>();
       },
       [](QWidget* w) { static_cast<HelpWindow*>(w)->_FileClose_Action(); }, false},
      {"AboutWindow",
       [](MainWindow& m) {
         m._AppleAboutVelmora_Action();
         return Newest<AboutWindow>();
       },
       [](QWidget* w) { static_cast<AboutWindow*>(w)->_FileQuit_Action(); }, true},
  };
  for (const Case& c : cases) {
    // The main window is closed before the press, or goes at the first turn of the event
    // loop after it, in the middle of the window's own work.
    for (const bool during : {false, true}) {
      SCOPED_TRACE(std::string(c.kind) + (during ? ", during the press" : ""));
      StartCountingSaves();
      for (int i = 0; i < 20000; ++i)
        m_window->elist->AddRow(QStringList{QString("m%1@example.com").arg(i % 977), {}});
      QPointer<QWidget> window = c.open(*m_window);
      ASSERT_NE(window, nullptr);
      QPointer<MainWindow> main(m_window);
      if (during) {
        QTimer::singleShot(0, [main] { delete main.data(); });
      } else {
        m_window->Changed = false;
        m_window->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(main, nullptr);
      }
      // A window that went with the main window has nothing left to press.
      if (window) c.press(window);
      EXPECT_EQ(testing_support::WaitUntil([&] { return main.isNull(); }), true);
      QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      EXPECT_EQ(MainWindows(), 0);
      EXPECT_EQ(MainWindow::Existing(), nullptr);
      EXPECT_EQ(window && window->isVisible(), c.stays);
      TearDown();
      SetUp();
    }
  }
}

}  // namespace
