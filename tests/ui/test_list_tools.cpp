#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "MainWindowFixture.h"
#include "platform/EventLoop.h"
#include "platform/TextStream.h"
#include "platform/ui/DragItem.h"
#include "platform/ui/Listbox.h"
#include "support/FailingFile.h"
#include "tools/ui/MessageWindow.h"
#include "tools/ui/SearchWindow.h"
#include "tools/ui/SortWindow.h"

namespace {

class ListToolsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    Start();
  }
  testing_support::YieldEveryStep m_yielding;
  void Fill(const QStringList& addresses) {
    m_window->elist->DeleteAllRows();
    for (const QString& a : addresses) m_window->elist->AddRow(QStringList{a, "News(1/2/26) "});
  }
  static QStringList Column(platform::Listbox* list) { return testing_support::Column(*list->Model()); }
  SearchWindow* OpenSearch(const QString& text) {
    m_window->_EditFind_Action();
    Shown<SearchWindow>()->Address->setText(text);
    return Shown<SearchWindow>();
  }
};

// Find selects the first row holding the text (letter case aside), Find Next goes on and
// wraps round without looking at the selected row, and only addresses are searched.
TEST_F(ListToolsTest, FindAndFindNext) {
  QStringList rows;
  for (int i = 0; i < 10; ++i)
    rows.append(QString("r%1%2@example.com").arg(i).arg(i == 3 || i == 8 ? "zz" : ""));
  // Find (or Next), text, row selected before (-2: as left), after, status line
  using Step = std::tuple<bool, QString, int, int, QString>;
  const Step steps[] = {
      {true, "ZZ", -2, 3, "\"ZZ\" found on line 4."},  {false, "ZZ", -2, 8, "\"ZZ\" found on line 9."},
      {false, "ZZ", -2, 3, "\"ZZ\" found on line 4."}, {false, "r5", 5, 5, "\"r5\" not found."},
      {false, "zz", -1, 3, "\"zz\" found on line 4."}, {true, "News", -2, 3, "\"News\" not found."},
  };
  Fill(rows);
  for (const auto& [find, text, before, selected, status] : steps) {
    SCOPED_TRACE((find ? "Find " : "Find Next ") + text.toStdString() + " from " + std::to_string(before));
    if (before != -2) m_window->elist->SetListIndex(before);
    if (find) OpenSearch(text)->Find->click();
    if (!find) m_window->SearchField = text, m_window->_EditFindNext_Action();
    EXPECT_EQ(std::make_tuple(Shown<SearchWindow>(), m_window->SearchField, m_window->elist->ListIndex(),
                              m_window->Slug->text()),
              std::make_tuple(nullptr, text, selected, status));
  }
  Fill({});
  m_window->_EditFindNext_Action();
  EXPECT_EQ(m_window->Slug->text(), QString("\"News\" not found."));
}

// Find all lists every address the pattern matches somewhere, in list order, in a new
// window; a rejected pattern is reported on the status line, unless the list is empty, and
// so is a row the engine gives up on, where the search ends.
TEST_F(ListToolsTest, FindAll) {
  const QStringList rows = {"ann@x.org", "bob@y.org", "bea@x.org", "cid@z.net", "dan@x.org", "ben@z.net"};
  using Case = std::tuple<QStringList, QString, QStringList, QString>;  // list, pattern, found, status line
  const Case cases[] = {
      {rows, "^b.*@[xz]", {"bea@x.org", "ben@z.net"}, "Slug"},
      {rows, "Y\\.ORG", {}, "Slug"},
      {rows, "x\\.o", {"ann@x.org", "bea@x.org", "dan@x.org"}, "Slug"},
      {rows, "(", {}, "Search error = missing closing parenthesis"},
      {{"al@x.org", QString(60, 'a') + "@x.org", "ann@x.org"},
       "^(?:(a|aa)+$|a)",
       {"al@x.org"},
       "Search error = match limit exceeded at line 2"},
      {{}, "(", {}, "Slug"},
  };
  for (const auto& [list, pattern, found, status] : cases) {
    SCOPED_TRACE(pattern.toStdString() + (list.isEmpty() ? " in an empty list" : ""));
    Fill(list);
    m_window->Slug->setText("Slug");
    OpenSearch(pattern)->FindAll->click();
    ASSERT_NE(Shown<MessageWindow>(), nullptr);
    EXPECT_EQ(std::make_tuple(Column(Shown<MessageWindow>()->MessageList), m_window->Slug->text(),
                              m_window->SearchField),
              std::make_tuple(found, status, pattern));
    delete Shown<MessageWindow>();
  }
}

// The toolbar's Sort opens the window that sorts the list by the options chosen.
TEST_F(ListToolsTest, SortWindowSortsTheList) {
  Fill({"b@mail.example.com", "A@example.org", "zed", "c@host", "a@b.example.com"});
  m_window->ToolbarItem1[2]->trigger();
  SortWindow* sort = Shown<SortWindow>();
  ASSERT_NE(sort, nullptr);
  sort->DomainSort->setChecked(true);
  sort->Descending->setChecked(true);
  sort->PushButton1->click();
  EXPECT_EQ(Column(m_window->elist),
            QStringList({"zed", "c@host", "A@example.org", "b@mail.example.com", "a@b.example.com"}));
  EXPECT_EQ(std::make_pair(sort->SortCount->text(), Changed()), std::make_pair(QString(), true));
}

// Bulk removal: repeats go, matching main rows go to Trash first (none when Trash is open);
// when Trash cannot be written (a read-only disk) no row leaves and the user is told why.
TEST_F(ListToolsTest, RemoveAllFromMainList) {
  const QString trash = DatabasePath() + "/Trash";
  // open list, Trash cannot be opened, the window's rows, the main rows; both after, and Trash
  using Case = std::tuple<QString, bool, QStringList, QStringList, QStringList, QStringList, QByteArray>;
  const Case cases[] = {
      {"", false, {"a@x", "a@x", "A@x"}, {"a@x", "A@X", "a@x"}, {"a@x", "A@x"}, {"A@X"}, "a@x\na@x\n"},
      {"Trash", false, {"bob@x.org"}, {"bob@x.org", "cid@x.org"}, {"bob@x.org"}, {"cid@x.org"}, ""},
      {"Friends", false, {}, {"bob@x.org"}, {}, {"bob@x.org"}, ""},
      {"", true, {"bob@x.org"}, {"bob@x.org"}, {"bob@x.org"}, {"bob@x.org"}, ""},
  };
  for (const auto& [openList, trashFails, listed, main, listedAfter, mainAfter, trashAfter] : cases) {
    SCOPED_TRACE("open list \"" + openList.toStdString() + (trashFails ? "\", Trash fails" : "\""));
    QFile::remove(trash);
    if (trashFails) {
      platform::TextOutputStream::SetDeviceFactoryForTests([](const QString& path) {
        return std::make_unique<testing_support::FailingFile>(path, 0, -1, EROFS);
      });
    }
    m_window->existingfile =
        platform::FolderItem(openList.isEmpty() ? QString() : DatabasePath() + "/" + openList);
    m_window->Changed = false;
    Fill(main);
    m_window->_AddressesBulkRemove_Action();
    MessageWindow* window = Shown<MessageWindow>();
    for (const QString& a : listed) window->MessageList->AddRow(a);
    window->RemoveFromMain->click();
    platform::TextOutputStream::SetDeviceFactoryForTests({});
    const QString told = trashFails ? m_recorded.messages.last() : m_window->Slug->text();
    EXPECT_EQ(
        std::make_tuple(Column(window->MessageList), Column(m_window->elist), Changed(),
                        testing_support::ReadAll(trash), told),
        std::make_tuple(listedAfter, mainAfter, mainAfter != main, trashAfter,
                        trashFails ? "The addresses could not be copied to Trash (Read-only file system), "
                                     "so none of them was removed from the list."
                                   : QString::number(mainAfter.size()) + " addresses"));
    delete window;
  }
}

// Bulk Remove first explains itself; a drop adds every address found (repeats too) and
// shows the count, a selection shows its size, and Escape closes the window.
TEST_F(ListToolsTest, AddressListWindow) {
  m_window->_AddressesBulkRemove_Action();
  EXPECT_EQ(m_recorded.messages.last().startsWith("Drag and drop the email addresses to remove"), true);
  QPointer<MessageWindow> window = Shown<MessageWindow>();
  QMimeData text;
  text.setText("Write to ann@x.org, or to ann@x.org, bob@x.org or cid@x.org.");
  platform::DragItem item(text);
  window->Event_DropObject(item);
  EXPECT_EQ(Column(window->MessageList) << window->Slug->text(),
            QStringList({"ann@x.org", "ann@x.org", "bob@x.org", "cid@x.org", "4 addresses."}));
  for (int row : {0, 2, 3}) window->MessageList->SetSelected(row, true);
  window->MessageList->SetListIndex(-1);
  EXPECT_EQ(window->Slug->text(), QString("3 selected."));
  QTest::keyClick(window, Qt::Key_Escape);
  EXPECT_EQ(testing_support::WaitUntil([&] { return window.isNull(); }), true);
}

}  // namespace
