#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <functional>

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

// Answers the next modal dialog once it is up: the seams block in exec() until then.
void WhenModalShows(std::function<void(QWidget*)> answer) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    poll->stop();
    poll->deleteLater();
    QPointer<QWidget> guard(modal);
    answer(modal);
    // A failed check inside answer must not leave the test blocked in exec().
    if (guard && guard->isVisible()) guard->close();
  });
  poll->start(10);
}

class DesktopSeamsTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::InstallDesktopSeams(); }
  void TearDown() override { platform::CurrentSeams() = platform::Seams{}; }
};

}  // namespace

TEST_F(DesktopSeamsTest, MessageBoxIsModalWithOneOkButton) {
  QString shown;
  WhenModalShows([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    shown = box->text() + " / buttons: " + QString::number(box->buttons().size());
    box->button(QMessageBox::Ok)->click();
  });
  platform::MsgBox("Select a list entry to delete.");
  EXPECT_EQ(shown, "Select a list entry to delete. / buttons: 1");
}

TEST_F(DesktopSeamsTest, SaveDialogReturnsTheChosenFileOrNothing) {
  QTemporaryDir folder;
  const QString chosen = folder.filePath("My List");
  QString shownFolder;
  WhenModalShows([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    shownFolder = dialog->directory().absolutePath();
    // Typed as a person would: selectFile() waits for the folder to be listed first.
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText("My List");
    QMetaObject::invokeMethod(dialog, "accept");
  });
  platform::SaveDialogRequest request{
      "Select a name for your new email address file...", "text/plain", folder.path(), {}};
  EXPECT_EQ(platform::ShowSaveDialog(request), std::optional<QString>(chosen));
  EXPECT_EQ(shownFolder, QDir(folder.path()).absolutePath());

  WhenModalShows([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  EXPECT_EQ(platform::ShowSaveDialog(request), std::nullopt);
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
    // As WhenModalShows, but the box stays up for the window's deletion to take along.
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, &window] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) return;
      poll->stop();
      poll->deleteLater();
      EXPECT_EQ(modal->parentWidget(), window.data());
      window->close();
      // Should the box outlive its window all the same, close it: the test must not hang.
      QTimer::singleShot(2000, [guard = QPointer<QWidget>(modal)] {
        if (guard) guard->close();
      });
    });
    poll->start(10);
    show();
    EXPECT_EQ(window.isNull(), true);
  }
}
