// The main window's members of the POP3 log-in check; the work is Pop3Login's.
#include "app/ui/MainWindow.h"
#include "mailing/Pop3Login.h"

void MainWindow::StartPopLogIn() {
  const app::Preferences& account = m_settings.Values();
  if (mailing::Pop3Login::ShouldStart(account.popusername))
    m_popLogin->start(account.popserver, account.popusername, account.poppassword);
}

void MainWindow::POPSocket_Disconnected() {
  m_popLogin->POPSocket_Disconnected();
}

void MainWindow::POPSocket_LoginSuccessful() {
  m_popLogin->POPSocket_LoginSuccessful();
}

void MainWindow::POPSocket_ConnectionEstablished() {
  m_popLogin->POPSocket_ConnectionEstablished();
}

void MainWindow::POPSocket_MessageCount(int count) {
  m_popLogin->POPSocket_MessageCount(count);
}
