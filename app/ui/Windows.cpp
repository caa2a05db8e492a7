#include "app/ui/Windows.h"

#include <QPointer>

#include "app/ui/MainWindow.h"
#include "lists/ui/MLWindow.h"
#include "lists/ui/NewAddressWin.h"

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

}  // namespace app::ui
