#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "MainWindowFixture.h"
#include "app/CommandRouter.h"
#include "platform/EventLoop.h"
#include "platform/ui/Listbox.h"

namespace {

class WindowLifetimesTest : public MainWindowFixture {
 protected:
  void SetUp() override { MainWindowFixture::SetUp(); }
  testing_support::YieldEveryStep m_yielding;
  static QWidget* Newest(const char* kind) {
    QWidget* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->inherits(kind) && w->isVisible()) found = w;
    return found;
  }
  // Types into a field of the newest window of a kind; presses a button, else sends the command.
  static void Type(const char* kind, const char* field, const QString& text) {
    Newest(kind)->findChild<QLineEdit*>(field)->setText(text);
  }
  static void Press(QWidget* window, const QString& button) {
    if (auto* b = window->findChild<QPushButton*>(button)) return b->click();
    app::CommandRouter::Instance().Dispatch(window, button);
  }
};

// The main window closes (or goes in the middle of the dialog's own work) while each kind
// of window is open and its button is pressed: nothing crashes, no second main window comes
// up, the dialogs that act on the main window go with it, the others stay and still work
// on their own list.
TEST_F(WindowLifetimesTest, TheMainWindowGoesWhileAnyWindowIsOpen) {
  const struct {
    const char* kind;
    std::function<void(MainWindow&)> open;
    QString press;
    bool stays;  // the window is still open afterwards
  } cases[] = {
      // clang-format off
      {"EditWindow", [](auto& m) { m.elist->SetListIndex(0), m.elist_DoubleClick(); }, "PushButton1", false},
      {"NewAddressWin",
       [](auto& m) { m._AddressesNew_Action(), Type("NewAddressWin", "emailaddress", "new@example.com"); },
       "OK", false},
      {"MLWindow", [](auto& m) { m._MailingListsNewMailingList_Action(); }, "OK", false},
      {"SendWindow", [](auto& m) {
         m.server = "smtp.example.com", m.elist->Model()->SetAllSelected(true), m.ToolbarItem1[0]->trigger();
         Type("SendWindow", "Name", "Launch"); }, "PushButton1", false},
      {"PreferencesWindow", [](auto& m) { m._FilePreferences_Action(); }, "PushButton1", false},
      {"SearchWindow", [](auto& m) { m._EditFind_Action(), Type("SearchWindow", "Address", "m1"); },
       "FindAll", false},
      {"SortWindow", [](auto& m) { m.ToolbarItem1[2]->trigger(); }, "PushButton1", true},
      {"MessageWindow", [](auto& m) {
         m._AddressesBulkRemove_Action();
         Newest("MessageWindow")->findChild<platform::Listbox*>("MessageList")->AddRow(
             QString("m1@example.com")); },
       "RemoveFromMain", true},
      {"HelpWindow", [](auto& m) { m._HelpVelmoraHelp_Action(); }, "FileClose", false},
      {"AboutWindow", [](auto& m) { m._AppleAboutVelmora_Action(); }, "FileQuit", true},
      // clang-format on
  };
  for (const auto& c : cases) {
    for (const bool during : {false, true}) {
      SCOPED_TRACE(std::string(c.kind) + (during ? ", during the press" : ""));
      Start();
      for (int i = 0; i < 20000; ++i)
        m_window->elist->AddRow(QStringList{QString("m%1@example.com").arg(i % 977), {}});
      c.open(*m_window);
      QPointer<QWidget> window = Newest(c.kind);
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
      if (window) Press(window, c.press);
      EXPECT_EQ(testing_support::WaitUntil([&] { return main.isNull(); }), true);
      QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      EXPECT_EQ(MainWindow::Existing(), nullptr);
      EXPECT_EQ(window && window->isVisible(), c.stays);
      if (window && c.press == "RemoveFromMain") {  // its own Add Address still fills its own list
        Press(window, "PushButton1");
        Type("NewAddressWin", "emailaddress", "new@example.com");
        Press(Newest("NewAddressWin"), "OK");
        EXPECT_EQ(window->findChild<platform::Listbox*>("MessageList")->ListCount(), 2);
      }
      TearDown();
      SetUp();
    }
  }
}

}  // namespace
