#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <chrono>

#include <QTest>

#include "MainWindowFixture.h"
#include "lists/ui/NewAddressWin.h"
#include "platform/EventLoop.h"
#include "platform/ui/DragItem.h"
#include "platform/ui/Listbox.h"
#include "support/TestSupport.h"
#include "tools/ui/MessageWindow.h"
#include "tools/ui/SearchWindow.h"
#include "tools/ui/SortWindow.h"

using testing_support::ReadAll;
using namespace std::chrono_literals;

namespace {

class ListToolsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    StartCountingSaves();
    platform::SetYieldInterval(0us);
  }
  void TearDown() override {
    platform::SetYieldInterval(2ms);
    CloseToolWindows();
    MainWindowFixture::TearDown();
  }
  static void CloseToolWindows() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<SearchWindow*>(w) || qobject_cast<SortWindow*>(w) || qobject_cast<MessageWindow*>(w) ||
          qobject_cast<NewAddressWin*>(w))
        delete w;
    }
  }

  // The windows of a kind on screen (closed ones wait for the event loop to go).
  template <typename T>
  static QList<T*> Windows() {
    QList<T*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) found.append(t);
    }
    return found;
  }
  void Fill(const QStringList& addresses) {
    m_window->elist->DeleteAllRows();
    for (const QString& a : addresses) m_window->elist->AddRow(QStringList{a, "News(1/2/26) "});
  }
  static QStringList Column(platform::Listbox* list, int column = 0) {
    QStringList cells;
    for (int r = 0; r < list->ListCount(); ++r) cells.append(list->Cell(r, column));
    return cells;
  }
  SearchWindow* OpenSearch(const QString& text) {
    m_window->_EditFind_Action();
    SearchWindow* search = Windows<SearchWindow>().value(0);
    search->Address->setText(text);
    return search;
  }
  MessageWindow* OpenMessageWindow(const QStringList& addresses) {
    m_window->_AddressesBulkRemove_Action();
    MessageWindow* window = Windows<MessageWindow>().value(0);
    for (const QString& a : addresses) window->MessageList->AddRow(a);
    return window;
  }
};

// Find selects the first row holding the text (letter case aside), Find Next goes on and
// wraps round without looking at the selected row, and only addresses are searched.
TEST_F(ListToolsTest, FindAndFindNext) {
  QStringList rows;
  for (int i = 0; i < 10; ++i)
    rows.append(QString("r%1%2@example.com").arg(i).arg(i == 3 || i == 8 ? "zz" : ""));
  const struct {
    const char* action;  // "find", "next", or "next" after selecting `select`
    QString text;
    int select;
    int selected;
    QString status;
  } steps[] = {
      {"find", "ZZ", -2, 3, "\"ZZ\" found on line 4."}, {"next", "ZZ", -2, 8, "\"ZZ\" found on line 9."},
      {"next", "ZZ", -2, 3, "\"ZZ\" found on line 4."}, {"next", "r5", 5, 5, "\"r5\" not found."},
      {"next", "zz", -1, 3, "\"zz\" found on line 4."}, {"find", "News", -2, 3, "\"News\" not found."},
  };
  Fill(rows);
  for (const auto& step : steps) {
    if (step.select != -2) m_window->elist->SetListIndex(step.select);
    if (QString(step.action) == "find") {
      OpenSearch(step.text)->Find->click();
      EXPECT_EQ(Windows<SearchWindow>().size(), 0);
    } else {
      m_window->SearchField = step.text;
      m_window->_EditFindNext_Action();
    }
    EXPECT_EQ(m_window->SearchField, step.text);
    EXPECT_EQ(m_window->elist->ListIndex(), step.selected) << step.action << " " << step.text.toStdString();
    EXPECT_EQ(m_window->Slug->text(), step.status);
  }
  Fill({});
  m_window->_EditFindNext_Action();
  EXPECT_EQ(m_window->Slug->text(), QString("\"News\" not found."));
}

// Find all lists every address the pattern matches somewhere, in list order, in a new
// window; a rejected pattern is reported on the status line, unless the list is empty.
TEST_F(ListToolsTest, FindAll) {
  const QStringList rows = {"ann@x.org", "bob@y.org", "bea@x.org", "cid@z.net",
                            "dan@x.org", "eve@y.org", "fay@z.net", "ben@z.net"};
  const struct {
    QStringList list;
    QString pattern;
    QStringList found;
    QString status;
  } cases[] = {
      {rows, "^b.*@[xz]", {"bea@x.org", "ben@z.net"}, "Slug"},
      {rows, "Y\\.ORG", {}, "Slug"},
      {rows, "x\\.o", {"ann@x.org", "bea@x.org", "dan@x.org"}, "Slug"},
      {rows, "(", {}, "Search error = missing closing parenthesis"},
      {{}, "(", {}, "Slug"},
  };
  for (const auto& c : cases) {
    Fill(c.list);
    m_window->Slug->setText("Slug");
    OpenSearch(c.pattern)->FindAll->click();
    ASSERT_EQ(Windows<MessageWindow>().size(), 1);
    MessageWindow* results = Windows<MessageWindow>().first();
    EXPECT_EQ(results->windowTitle(), QString("Search results..."));
    EXPECT_EQ(Column(results->MessageList), c.found) << c.pattern.toStdString();
    EXPECT_EQ(m_window->Slug->text(), c.status) << c.pattern.toStdString();
    EXPECT_EQ(m_window->SearchField, c.pattern);
    delete results;
  }
}

// The toolbar's Sort opens the sort window; Sort reorders the list by the options chosen,
// clears the progress and marks the list changed.
TEST_F(ListToolsTest, SortWindowSortsTheList) {
  Fill({"b@mail.example.com", "A@example.org", "zed", "c@host", "a@b.example.com"});
  m_window->ToolbarItem1[2]->trigger();
  SortWindow* sort = Windows<SortWindow>().value(0);
  ASSERT_NE(sort, nullptr);
  sort->DomainSort->setChecked(true);
  sort->Descending->setChecked(true);
  sort->PushButton1->click();
  EXPECT_EQ(Column(m_window->elist),
            QStringList({"zed", "c@host", "A@example.org", "b@mail.example.com", "a@b.example.com"}));
  EXPECT_EQ(sort->SortCount->text(), QString());
  EXPECT_EQ(m_window->Changed, true);
}

// Bulk removal: the window's repeats go, every main row holding a listed address exactly
// goes to Trash first; the open list Trash gets nothing appended; and when Trash cannot
// be written no row leaves the list and the user is told.
TEST_F(ListToolsTest, RemoveAllFromMainList) {
  const QString trash = DatabasePath() + "/Trash";
  const struct {
    const char* name;
    QString openList;  // the open list's file name; empty for none
    bool trashIsFolder;
    QStringList listed;
    QStringList main;
    QStringList listedAfter;
    QStringList mainAfter;
    QByteArray trashAfter;
    bool changed;
  } cases[] = {
      // clang-format off
      {"repeats and letter case", "", false, {"ann@x.org", "ann@x.org", "Ann@x.org"},
       {"ann@x.org", "ANN@X.ORG", "bob@x.org", "ann@x.org"}, {"ann@x.org", "Ann@x.org"}, {"ANN@X.ORG", "bob@x.org"},
       "ann@x.org\nann@x.org\n", true},
      {"Trash open", "Trash", false, {"bob@x.org"}, {"bob@x.org", "cid@x.org"}, {"bob@x.org"}, {"cid@x.org"}, "", true},
      {"empty window", "Friends", false, {}, {"bob@x.org"}, {}, {"bob@x.org"}, "", false},
      {"Trash cannot be written", "", true, {"bob@x.org"}, {"bob@x.org"}, {"bob@x.org"}, {"bob@x.org"}, "", false},
      // clang-format on
  };
  for (const auto& c : cases) {
    QFile::remove(trash);
    QDir().rmdir(trash);
    if (c.trashIsFolder) QDir().mkpath(trash);
    m_window->existingfile = c.openList.isEmpty() ? platform::FolderItem()
                                                  : platform::FolderItem(DatabasePath() + "/" + c.openList);
    m_window->Changed = false;
    m_recorded.messages.clear();
    Fill(c.main);
    MessageWindow* window = OpenMessageWindow(c.listed);
    window->RemoveFromMain->click();
    EXPECT_EQ(Column(window->MessageList), c.listedAfter) << c.name;
    EXPECT_EQ(Column(m_window->elist), c.mainAfter) << c.name;
    EXPECT_EQ(m_window->Changed, c.changed) << c.name;
    if (c.trashIsFolder) {
      EXPECT_EQ(
          m_recorded.messages.last(),
          QString("The addresses could not be copied to Trash, so none of them was removed from the list."));
    } else {
      EXPECT_EQ(ReadAll(trash), c.trashAfter) << c.name;
      EXPECT_EQ(m_window->Slug->text(), QString::number(c.mainAfter.size()) + " addresses") << c.name;
    }
    delete window;
  }
}

// Bulk Remove first explains itself; a drop adds every address found (repeats too) and
// shows the count, a selection shows its size, and Escape closes the window.
TEST_F(ListToolsTest, AddressListWindow) {
  m_window->_AddressesBulkRemove_Action();
  EXPECT_EQ(m_recorded.messages.last().startsWith("Drag and drop the email addresses to remove"), true);
  MessageWindow* window = Windows<MessageWindow>().value(0);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), QString("Bulk Remove..."));

  QMimeData text;
  text.setText("Write to ann@x.org, or to ann@x.org, bob@x.org or cid@x.org.");
  platform::DragItem item(text);
  window->Event_DropObject(item);
  EXPECT_EQ(Column(window->MessageList), QStringList({"ann@x.org", "ann@x.org", "bob@x.org", "cid@x.org"}));
  EXPECT_EQ(window->Slug->text(), QString("4 addresses."));
  for (int row : {0, 2, 3}) window->MessageList->SetSelected(row, true);
  EXPECT_EQ(window->Slug->text(), QString("3 selected."));
  window->MessageList->SetListIndex(-1);
  EXPECT_EQ(window->Slug->text(), QString("3 selected."));

  QPointer<MessageWindow> guard(window);
  QTest::keyClick(window, Qt::Key_Escape);
  EXPECT_EQ(testing_support::WaitUntil([&] { return guard.isNull(); }), true);
}

}  // namespace
