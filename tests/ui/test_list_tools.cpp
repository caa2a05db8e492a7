#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QUrl>
#include <chrono>

#include <QTest>

#include "MainWindowFixture.h"
#include "lists/ui/NewAddressWin.h"
#include "platform/EventLoop.h"
#include "platform/ui/DragItem.h"
#include "platform/ui/Listbox.h"
#include "support/ListToolsOracle.h"
#include "support/TestSupport.h"
#include "tools/ui/MessageWindow.h"
#include "tools/ui/SearchWindow.h"
#include "tools/ui/SortWindow.h"

using testing_support::ReadAll;
using testing_support::WriteAll;
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
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<SearchWindow*>(w) || qobject_cast<SortWindow*>(w) || qobject_cast<MessageWindow*>(w) ||
          qobject_cast<NewAddressWin*>(w))
        delete w;
    }
    MainWindowFixture::TearDown();
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

// Edit > Find offers the last text, wholly selected; Cancel keeps it.
TEST_F(ListToolsTest, FindOffersTheLastText) {
  m_window->SearchField = "ann";
  SearchWindow* search = OpenSearch("bob");
  search->PushButton2->click();
  EXPECT_EQ(m_window->SearchField, QString("ann"));
  m_window->_EditFind_Action();
  search = Windows<SearchWindow>().value(0);
  EXPECT_EQ(search->Address->text(), QString("ann"));
  EXPECT_EQ(search->Address->selectedText(), QString("ann"));
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
    EXPECT_EQ(Windows<SearchWindow>().size(), 0);
    ASSERT_EQ(Windows<MessageWindow>().size(), 1);
    MessageWindow* results = Windows<MessageWindow>().first();
    EXPECT_EQ(results->windowTitle(), QString("Search results..."));
    EXPECT_EQ(Column(results->MessageList), c.found) << c.pattern.toStdString();
    EXPECT_EQ(m_window->Slug->text(), c.status) << c.pattern.toStdString();
    EXPECT_EQ(m_window->SearchField, c.pattern);
    delete results;
  }
}

// The toolbar's Sort opens the sort window; Sort reorders the list as the literal quicksort
// does, with the options chosen, clears the progress and marks the list changed.
TEST_F(ListToolsTest, SortWindowSortsTheList) {
  const QStringList addresses = {"b@mail.example.com", "A@example.org", "a@b.example.com",  "zed", "c@host",
                                 "a@mail.example.com", "b@example.org", "x@y.z.example.net"};
  Fill(addresses);
  m_window->ToolbarItem1[2]->trigger();
  ASSERT_EQ(Windows<SortWindow>().size(), 1);
  SortWindow* sort = Windows<SortWindow>().first();
  sort->DomainSort->setChecked(true);
  sort->Descending->setChecked(true);
  std::vector<QStringList> rows;
  for (const QString& a : addresses) rows.push_back({a, "News(1/2/26) "});
  oracle::LiteralSort literal(rows, tools::SortBy::Domain, false);
  literal.SortTable(0, static_cast<int>(rows.size()) - 1);
  QStringList expected;
  for (const QStringList& row : literal.rows) expected.append(row[0]);
  sort->PushButton1->click();
  EXPECT_EQ(Column(m_window->elist), expected);
  EXPECT_EQ(sort->SortCount->text(), QString());
  EXPECT_EQ(m_window->Changed, true);
  EXPECT_EQ(sort->isVisible(), true);
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
      {"repeats and letter case",
       "",
       false,
       {"ann@x.org", "ann@x.org", "Ann@x.org"},
       {"ann@x.org", "ANN@X.ORG", "bob@x.org", "ann@x.org"},
       {"ann@x.org", "Ann@x.org"},
       {"ANN@X.ORG", "bob@x.org"},
       "ann@x.org\nann@x.org\n",
       true},
      {"Trash open",
       "Trash",
       false,
       {"bob@x.org"},
       {"bob@x.org", "cid@x.org"},
       {"bob@x.org"},
       {"cid@x.org"},
       "",
       true},
      {"empty window", "Friends", false, {}, {"bob@x.org"}, {}, {"bob@x.org"}, "", false},
      {"Trash cannot be written",
       "",
       true,
       {"bob@x.org"},
       {"bob@x.org"},
       {"bob@x.org"},
       {"bob@x.org"},
       "",
       false},
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

// Bulk Remove first explains itself; drops of text and of folders add every address found
// (repeats too) and show the count, a selection shows its size, Add Address fills this
// window's list, and Escape closes the window.
TEST_F(ListToolsTest, AddressListWindow) {
  m_window->_AddressesBulkRemove_Action();
  EXPECT_EQ(m_recorded.messages.last().startsWith("Drag and drop the email addresses to remove"), true);
  MessageWindow* window = Windows<MessageWindow>().value(0);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), QString("Bulk Remove..."));

  QDir(m_dir.path()).mkpath("drop/inner");
  WriteAll(m_dir.filePath("drop/a.txt"), "one: cid@x.org\n");
  WriteAll(m_dir.filePath("drop/inner/b.txt"), "dan@x.org and eve@x.org\n");
  QMimeData text;
  text.setText("Write to ann@x.org, or to ann@x.org.");
  QMimeData folder;
  folder.setUrls({QUrl::fromLocalFile(m_dir.filePath("drop"))});
  for (QMimeData* data : {&text, &folder}) {
    platform::DragItem item(*data);
    window->Event_DropObject(item);
  }
  EXPECT_EQ(Column(window->MessageList),
            QStringList({"ann@x.org", "ann@x.org", "cid@x.org", "dan@x.org", "eve@x.org"}));
  EXPECT_EQ(window->Slug->text(), QString("5 addresses."));
  for (int row : {0, 2, 4}) window->MessageList->SetSelected(row, true);
  EXPECT_EQ(window->Slug->text(), QString("3 selected."));
  window->MessageList->SetListIndex(-1);
  EXPECT_EQ(window->Slug->text(), QString("3 selected."));

  const int mainRows = m_window->elist->ListCount();
  window->PushButton1->click();
  NewAddressWin* dialog = Windows<NewAddressWin>().value(0);
  ASSERT_NE(dialog, nullptr);
  dialog->emailaddress->setText("fay@x.org");
  dialog->OK->click();
  EXPECT_EQ(window->MessageList->Cell(5, 0), QString("fay@x.org"));
  EXPECT_EQ(m_window->elist->ListCount(), mainRows);

  QPointer<MessageWindow> guard(window);
  QTest::keyClick(window, Qt::Key_Escape);
  EXPECT_EQ(testing_support::WaitUntil([&] { return guard.isNull(); }), true);
}

// Every tool window outlives the main window: its buttons then do nothing harmful and
// never bring up a second main window, also when the main window goes in the middle of
// a sort or a search.
TEST_F(ListToolsTest, ToolWindowsOutliveTheMainWindow) {
  QStringList many;
  for (int i = 0; i < 20000; ++i) many.append(QString("m%1@example.com").arg(i % 977));
  const std::function<void()> scenarios[] = {
      [&] {
        SearchWindow* search = OpenSearch("m1");
        delete m_window;
        search->Find->click();
      },
      [&] {
        SearchWindow* search = OpenSearch("m1");
        delete m_window;
        search->FindAll->click();
      },
      [&] {
        QPointer<SearchWindow> search = OpenSearch("m1");
        QTimer::singleShot(0, [this] { delete m_window; });
        search->FindAll->click();
      },
      [&] {
        m_window->OpenSortWindow();
        SortWindow* sort = Windows<SortWindow>().value(0);
        delete m_window;
        sort->PushButton1->click();
      },
      [&] {
        m_window->OpenSortWindow();
        SortWindow* sort = Windows<SortWindow>().value(0);
        QTimer::singleShot(0, [this] { delete m_window; });
        sort->PushButton1->click();
        EXPECT_EQ(sort->SortCount->text().isEmpty(), true);
      },
      [&] {
        MessageWindow* window = OpenMessageWindow({"m1@example.com"});
        window->PushButton1->click();
        NewAddressWin* dialog = Windows<NewAddressWin>().value(0);
        dialog->emailaddress->setText("new@example.com");
        delete m_window;
        window->RemoveFromMain->click();
        dialog->OK->click();
        EXPECT_EQ(window->MessageList->ListCount(), 2);
      },
  };
  int scenario = 0;
  for (const auto& run : scenarios) {
    m_window = MainWindow::Instance();
    Fill(many);
    run();
    EXPECT_EQ(MainWindow::Existing(), nullptr) << "scenario " << scenario++;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<SearchWindow*>(w) || qobject_cast<SortWindow*>(w) || qobject_cast<MessageWindow*>(w) ||
          qobject_cast<AboutWindow*>(w) || qobject_cast<NewAddressWin*>(w))
        delete w;
    }
  }
}

}  // namespace
