#include "app/ui/Windows.h"

#include <QPointer>

#include "app/ui/MainWindow.h"
#include "lists/ui/MLWindow.h"
#include "lists/ui/NewAddressWin.h"
#include "mailing/SendEngine.h"
#include "mailing/ui/SendWindow.h"
#include "platform/ui/App.h"
#include "platform/ui/Listbox.h"
#include "tools/ui/AboutWindow.h"
#include "tools/ui/MessageWindow.h"
#include "tools/ui/SearchWindow.h"
#include "tools/ui/SortWindow.h"

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

SearchWindow* MakeSearchWindow(MainWindow& main) {
  QPointer<MainWindow> window(&main);
  auto setSearchText = [window](const QString& text) {
    if (window) window->SearchField = text;
  };
  auto findString = [window] {
    if (window) window->FindString();
  };
  auto newResultsWindow = [window] { return window ? MakeMessageWindow(*window) : nullptr; };
  return new SearchWindow({main.elist, setSearchText, findString, newResultsWindow, ReportTo(main)});
}

SortWindow* MakeSortWindow(MainWindow& main) {
  return new SortWindow(main.elist, &main.OpenList(), ReportTo(main));
}

MessageWindow* MakeMessageWindow(MainWindow& main) {
  // The dialog fills the address-list window's own list, never the main window's.
  auto openAddressDialog = [](platform::Listbox* list, QWidget* opener) {
    auto* dialog = new NewAddressWin(nullptr, {}, opener);
    dialog->show();
    dialog->list = list;
  };
  return new MessageWindow({main.elist, &main.OpenList(), ReportTo(main), openAddressDialog});
}

void OpenAboutWindow() {
  auto* about = new AboutWindow();
  QObject::connect(about, &AboutWindow::Continued, about, [] {
    // Without a main window this starts one, and its start-up yields: the new window may be
    // gone when it returns.
    if (MainWindow* main = MainWindow::Instance()) main->setVisible(true);
  });
  QObject::connect(about, &AboutWindow::QuitChosen, about, [] {
    // Quitting must not create a main window only to save it.
    if (MainWindow* main = MainWindow::Existing()) main->SaveFile();
    App::Quit();
  });
  about->OpenInFront();
}

}  // namespace app::ui
