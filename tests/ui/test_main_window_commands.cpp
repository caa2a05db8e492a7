#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <chrono>

#include "MainWindowFixture.h"
#include "app/CommandRouter.h"
#include "lists/ui/NewAddressWin.h"
#include "platform/EventLoop.h"
#include "platform/TextStream.h"
#include "platform/ui/Listbox.h"
#include "support/FailingFile.h"

using testing_support::ReadAll;
using testing_support::Rows;
using testing_support::SetRows;
using testing_support::WriteAll;

namespace {

// The main window on a Database that holds the list "Friends" and Trash.
class ListCommandsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    QDir(m_dir.path()).mkdir("Database");
    WriteAll(TrashPath(), "old@x.com\n");
    WriteAll(DatabasePath() + "/Friends", "");
    m_window = MainWindow::Instance();
  }
  QString TrashPath() const { return DatabasePath() + "/Trash"; }
  bool Run(const QString& command) { return app::CommandRouter::Instance().Dispatch(m_window, command); }
};

// Each command by its item name; an address leaves the list only once it is in Trash.
TEST_F(ListCommandsTest, Commands) {
  enum Trash { File, Missing, DiskFull, OpenTrash };
  struct Case {
    const char* command;
    int tab;
    Trash trash;
    QStringList before;
    QString clipboard;  // before, and after
    QStringList after;
    QString clipboardAfter;
    QByteArray trashAfter;  // null: not looked at
    int queueLeft;
    QStringList messages;
    bool changed;
  };
  const QStringList rows = {"a@x.com|H ", "*b@x.com|", "c@x.com|", "*d@x.com|H(1/2/26) "};
  const QStringList kept = {"a@x.com|H ", "c@x.com|"};
  const QString full =
      "The addresses could not be written to Trash (No space left on device), so none was removed.";
  // clang-format off
  const Case cases[] = {
      {"EditDuplicate", 0, File, {"a@x.com|H ", "*b@x.com|", "*c@x.com|H "}, "", {"a@x.com|H ", "*b@x.com|", "*c@x.com|H ", "c@x.com|", "b@x.com|"}, "", {}, 2, {}, true},
      {"EditDuplicate", 0, File, {"a@x.com|"}, "", {"a@x.com|"}, "", {}, 2, {"Select a list entry to duplicate."}, false},
      {"EditCopy", 0, File, {"*a@x.com|", "b@x.com|", "*c@x.com|H "}, "kept", {"*a@x.com|", "b@x.com|", "*c@x.com|H "}, "a@x.com, c@x.com", {}, 2, {}, false},
      {"EditCopy", 0, File, {"a@x.com|"}, "kept", {"a@x.com|"}, "kept", {}, 2, {}, false},
      {"EditPaste", 0, File, {"a@x.com|"}, "To: <b@x.com>, A@x.com.", {"a@x.com|", "b@x.com|"}, "To: <b@x.com>, A@x.com.", {}, 2, {}, true},
      {"EditSelectUnsent", 0, File, {"*a@x.com|H ", "*b@x.com|Black Listed", "c@x.com|"}, "", {"a@x.com|H ", "b@x.com|Black Listed", "*c@x.com|"}, "", {}, 2, {}, false},
      {"EditSelectAll", 2, File, {"a@x.com|", "*b@x.com|"}, "", {"a@x.com|", "*b@x.com|"}, "", {}, 2, {}, false},
      {"EditUnselectAll", 1, File, {"*a@x.com|", "*b@x.com|"}, "", {"a@x.com|", "b@x.com|"}, "", {}, 2, {}, false},
      {"AddressesBlackList", 0, File, {"*a@x.com|N(1/2/26) ", "*b@x.com|Opted Out", "*c@x.com|black listed", "d@x.com|N "}, "", {"*a@x.com|Black Listed", "*b@x.com|Black Listed", "*c@x.com|", "d@x.com|N "}, "", {}, 2, {}, true},
      {"AddressesBlackList", 0, File, {"a@x.com|N "}, "", {"a@x.com|N "}, "", {}, 2, {"You must select an email address from the list."}, false},
      {"AddressesClearHistory", 0, File, {"*a@x.com|N(1/2/26) ", "*b@x.com|Black Listed", "*c@x.com|x Opted Out", "e@x.com|N "}, "", {"*a@x.com|", "*b@x.com|Black Listed", "*c@x.com|x Opted Out", "e@x.com|N "}, "", {}, 2, {}, true},
      {"AddressesClearHistory", 0, File, {"*b@x.com|Black Listed"}, "", {"*b@x.com|Black Listed"}, "", {}, 2, {}, false},
      {"AddressesRemove", 0, File, rows, "", kept, "", "old@x.com\nd@x.com\nb@x.com\n", 2, {}, true},
      {"AddressesRemove", 0, OpenTrash, rows, "", kept, "", "old@x.com\n", 2, {}, true},
      {"AddressesRemove", 1, File, rows, "", rows, "", "old@x.com\n", 1, {}, false},
      {"AddressesRemove", 0, Missing, kept, "", kept, "", "", 2, {"Select a list entry to delete."}, false},
      {"AddressesRemove", 0, DiskFull, rows, "", rows, "", "old@x.com\n", 2, {full}, false},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.command << " " << c.before.join(" ").toStdString() << " "
                                    << c.trash);
    QFile::remove(TrashPath());
    if (c.trash != Missing) WriteAll(TrashPath(), "old@x.com\n");
    m_window->Changed = false;
    m_window->OpenDatabase(c.trash == OpenTrash ? "Trash" : "Friends");
    SetRows(*m_window->elist->Model(), c.before);
    SetRows(*m_window->CheckList->Model(), {"*q1@x.com|News|HTML|Queued", "q2@x.com|News|HTML|Queued"});
    m_window->TabPanel1->setCurrentIndex(c.tab);
    m_window->Changed = false;
    m_window->xduplicates = true;
    m_recorded.clipboard = c.clipboard;
    m_recorded.messages.clear();
    if (c.trash == DiskFull) {  // Trash's one write, at its close, fails
      platform::TextOutputStream::SetDeviceFactoryForTests([](const QString& path) {
        return std::make_unique<testing_support::FailingFile>(path, 0, 0, ENOSPC);
      });
    }
    ASSERT_EQ(Run(c.command), true);
    platform::TextOutputStream::SetDeviceFactoryForTests({});
    EXPECT_EQ(Rows(*m_window->elist->Model()), c.after);
    EXPECT_EQ(m_recorded.clipboard, c.clipboardAfter);
    EXPECT_EQ(m_window->CheckList->ListCount(), c.queueLeft);
    EXPECT_EQ(m_recorded.messages, c.messages);
    EXPECT_EQ(Changed(), c.changed);
    if (!c.trashAfter.isNull()) {
      EXPECT_EQ(QFile::exists(TrashPath()) ? ReadAll(TrashPath()) : "missing", c.trashAfter);
    }
  }
}

// New addresses stay in their list when another list is opened while they are added.
TEST_F(ListCommandsTest, NewAddressesStayInTheirListWhenAnotherOpens) {
  testing_support::YieldEveryStep yielding;
  WriteAll(DatabasePath() + "/Other", "o@x.com \n");
  m_window->OpenDatabase("Friends");
  ASSERT_EQ(Run("AddressesNew"), true);
  auto* dialog = m_window->findChild<NewAddressWin*>();
  ASSERT_NE(dialog, nullptr);
  QStringList typed;
  for (int i = 0; i < 20; ++i) typed << QString("a%1@x.com").arg(i);
  dialog->emailaddress->setText(typed.join(' '));
  QTimer::singleShot(0, [&] { m_window->OpenDatabase("Other"); });
  dialog->OK_Action();
  EXPECT_EQ(Rows(*m_window->elist->Model()), QStringList{"o@x.com|"});
  EXPECT_EQ(ReadAll(DatabasePath() + "/Friends"), (typed.join(" \n") + " \n").toUtf8());
}

}  // namespace
