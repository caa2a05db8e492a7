#include "app/ui/Windows.h"

#include <QPointer>

#include "app/ui/MainWindow.h"
#include "lists/ui/MLWindow.h"
#include "lists/ui/NewAddressWin.h"
#include "mailing/SendEngine.h"
#include "mailing/ui/SendWindow.h"
#include "platform/ui/Listbox.h"

namespace app::ui {

std::function<void(const QString&)> ReportTo(MainWindow& main) {
  return [main = QPointer<MainWindow>(&main)](const QString& text) {
    if (main) main->SetSlug(text);
  };
}

NewAddressWin* MakeNewAddressWin(MainWindow& main, QWidget* opener) {
  auto addToMain = [main = QPointer<MainWindow>(&main)](const QString& address) {
    if (main) main->AddAddress(address);
  };
  return new NewAddressWin(main.elist, addToMain, opener);
}

MLWindow* MakeMLWindow(MainWindow& main) {
  auto listsChanged = [main = QPointer<MainWindow>(&main)] {
    if (main) main->UpdateLists();
  };
  return new MLWindow(&main.OpenList(), listsChanged, ReportTo(main), &main);
}

SendWindow* MakeSendWindow(MainWindow& main) {
  return new SendWindow(
      {main.elist->Model(), &main.OpenList(), &main.Settings(), main.SendSession(), ReportTo(main)}, &main);
}

void OpenSendWindow(MainWindow& main) {
  MakeSendWindow(main)->Open();
}

}  // namespace app::ui
