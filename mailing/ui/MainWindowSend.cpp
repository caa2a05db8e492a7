// The main window's members of the send queue and the paced send engine.
#include "app/ui/MainWindow.h"
#include "platform/EventLoop.h"
#include "platform/Seams.h"
#include "platform/ui/Listbox.h"

void MainWindow::DeleteFromSendQueue() {
  platform::ListModel* queue = CheckList->Model();
  if (queue->SelCount() == 0) platform::MsgBox(QStringLiteral("Select a list entry to delete."));
  // One model signal for the whole removal, whatever the number of rows.
  queue->RemoveRowsIf([queue](int row) { return queue->Selected(row); });
}
