// The Queue tab's controls and the SMTP client wired to the send engine in the main
// window (offscreen); the fixture's client reaches no server.

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

#include "MainWindowFixture.h"
#include "mailing/MessageFile.h"
#include "platform/SMTPSocket.h"
#include "platform/ui/Listbox.h"

namespace {

class SendQueueTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    m_window = MainWindow::Instance();
    m_window->SendTimer->stop();  // ticks are run by hand
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("eMail"));
    ASSERT_TRUE(mailing::WriteMessageFile(mailing::MessageFolder(), "Offer",
                                          {"shop@example.com", "Hi", false, "Hi"}));
    for (const char* address : {"a@x.org", "b@x.org", "c@x.org"}) {
      m_window->CheckList->AddRow({address, "Offer", "Plain Text", "Queued"});
    }
  }

  QStringList Statuses() const {
    QStringList statuses;
    for (int row = 0; row < m_window->CheckList->ListCount(); ++row)
      statuses << m_window->CheckList->Cell(row, 3);
    return statuses;
  }
};

TEST_F(SendQueueTest, RateControlsSelectionAndStop) {
  const qsizetype logged = LogRows().size();
  struct Step {
    std::function<void(MainWindow&)> action;
    QString slug;
    int period;
  };
  const std::vector<Step> steps = {
      {[](MainWindow& w) { w.Rate->setValue(3); }, "3 messages every 1 seconds", 1000},
      {[](MainWindow& w) { w.RatePer->setValue(20); }, "3 messages every 20 seconds", 20000},
      {[](MainWindow& w) { w.RandRate->click(); }, "3 messages every 20 seconds +- 20%", 20000},
      {[](MainWindow& w) { w.Rate->setValue(1); }, "1 messages every 20 seconds +- 20%", 20000},
  };
  for (const Step& step : steps) {
    step.action(*m_window);
    EXPECT_EQ(m_window->Slug->text(), step.slug);
    EXPECT_EQ(m_window->SendTimer->interval(), step.period) << step.slug.toStdString();
  }
  EXPECT_EQ(LogRows().size(), logged);  // the rate text writes no log row

  m_window->CheckList->SetSelected(0, true);
  m_window->CheckList->SetSelected(2, true);
  EXPECT_EQ(LogRows().first(), Logged("2 addresses in the send queue selected."));

  m_window->StopSending->click();
  EXPECT_EQ(m_window->CheckList->ListCount(), 0);
}

// A tick with the Queue tab in front: the summary, two rows handed over, "Connecting...";
// the server cannot be reached, and the failure puts the rows back.
TEST_F(SendQueueTest, TickAndUnreachableServer) {
  m_window->TabPanel1->setCurrentIndex(1);
  m_window->server = "mail.example.org";
  m_window->Rate->setValue(2);
  m_window->RatePer->setValue(4);
  m_window->SendTimer->setInterval(1);
  m_window->SendTimer_Action();
  EXPECT_EQ(m_window->QueueStatus->text(), "3 addresses");
  EXPECT_EQ(Statuses(), QStringList({"Waiting", "Waiting", "Queued"}));
  EXPECT_EQ(m_window->TCPSocket1->Messages().size(), 2);
  EXPECT_EQ(m_window->SendTimer->interval(), 4000);
  EXPECT_EQ(m_window->ProgressBar1->value(), 0);
  ASSERT_TRUE(testing_support::WaitUntil([this] { return !m_window->TCPSocket1->IsConnected(); }));
  EXPECT_EQ(LogRows().mid(0, 3),
            QStringList({Logged("Error sending mail.  Please check your connection to the internet."),
                         Logged("Error 103"), Logged("Connecting...")}));
  EXPECT_EQ(Statuses(), QStringList({"Queued", "Queued", "Queued"}));
  EXPECT_EQ(m_window->TCPSocket1->Messages().size(), 0);
}

}  // namespace
