#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/Seams.h"
#include "platform/ui/DesktopSeams.h"
#include "support/TestSupport.h"

namespace {

// Receives what QDesktopServices would hand to the browser.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls.append(url); }
};

// Answers the next modal dialog once it is up: the seams block in exec() until then. The
// dialog is closed after unless `keep`; a test that keeps it must not hang on it.
void WhenModalShows(std::function<void(QWidget*)> answer, bool keep = false) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, answer, keep] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    poll->stop();
    poll->deleteLater();
    QPointer<QWidget> guard(modal);
    answer(modal);
    QTimer::singleShot(keep ? 2000 : 0, [guard] {
      if (guard && guard->isVisible()) guard->close();
    });
  });
  poll->start(10);
}

class DesktopSeamsTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::InstallDesktopSeams(); }
  void TearDown() override { platform::CurrentSeams() = platform::Seams{}; }
};

}  // namespace

// The dialog lists the list files, which have no extension, and returns the file chosen.
TEST_F(DesktopSeamsTest, SaveDialogReturnsTheChosenFileOrNothing) {
  QTemporaryDir folder;
  testing_support::WriteAll(folder.filePath("Friends"), "a@example.com \n");
  QString shownFolder;
  bool listed = false;
  WhenModalShows([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    shownFolder = dialog->directory().absolutePath();
    auto* view = dialog->findChild<QAbstractItemView*>("listView");
    listed = testing_support::WaitUntil(
        [view] { return view->model()->index(0, 0, view->rootIndex()).data() == "Friends"; });
    // Typed: selectFile() would wait for the folder to be listed.
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText("My List");
    QMetaObject::invokeMethod(dialog, "accept");
  });
  platform::SaveDialogRequest request{
      "Select a name for your new email address file...", "text/plain", folder.path(), {}};
  EXPECT_EQ(platform::ShowSaveDialog(request), std::optional<QString>(folder.filePath("My List")));
  EXPECT_EQ(std::make_pair(shownFolder, listed), std::make_pair(QDir(folder.path()).absolutePath(), true));
  WhenModalShows([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  EXPECT_EQ(platform::ShowSaveDialog(request), std::nullopt);
}

// The question shows the captions given; Return and Escape answer with the second.
TEST_F(DesktopSeamsTest, ConfirmAnswersTrueOnlyForTheAcceptButton) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_unknown}) {
    WhenModalShows([key](QWidget* modal) {
      const QList<QAbstractButton*> buttons = qobject_cast<QMessageBox*>(modal)->buttons();
      EXPECT_EQ(buttons.first()->text() + "|" + buttons.last()->text(), "Discard|Keep Open");
      key == Qt::Key_unknown ? buttons.first()->click() : QTest::keyClick(modal, key);
    });
    EXPECT_EQ(platform::Confirm("Leave?", "Discard", "Keep Open"), key == Qt::Key_unknown);
  }
}

// Only a well-formed address reaches the browser.
TEST_F(DesktopSeamsTest, ShowUrlOpensOnlyWellFormedAddresses) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("https", &catcher, "open");
  platform::ShowURL("https://velmora.example/");
  platform::ShowURL("not a url at all");
  QDesktopServices::unsetUrlHandler("https");
  EXPECT_EQ(catcher.urls, QList<QUrl>{QUrl("https://velmora.example/")});
}

#include "test_desktop_seams.moc"

// The boxes take the active window as parent. Should that window close for good while
// one is up (a timer, the network), the box goes with it: what follows must not touch it.
TEST_F(DesktopSeamsTest, AWindowClosedUnderABoxTakesItAlong) {
  const std::function<void()> shows[] = {
      [] { platform::MsgBox("Saving..."); },
      [] { EXPECT_EQ(platform::Confirm("Leave?", "Discard", "Keep Open"), false); },
      [] {
        EXPECT_EQ(platform::ShowSaveDialog({"Save", "text/plain", {}, {}}), std::nullopt);
      },
  };
  for (const auto& show : shows) {
    QPointer<QWidget> window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->activateWindow();
    ASSERT_EQ(testing_support::WaitUntil([&] { return QApplication::activeWindow() == window; }), true);
    WhenModalShows(
        [&window](QWidget* modal) {
          EXPECT_EQ(modal->parentWidget(), window.data());
          window->close();
        },
        true);
    show();
    EXPECT_EQ(window.isNull(), true);
  }
}
