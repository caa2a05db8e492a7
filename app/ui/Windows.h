#pragma once

#include <QString>
#include <functional>

class MainWindow;
class MessageWindow;
class MLWindow;
class NewAddressWin;
class QWidget;
class SearchWindow;
class SendWindow;
class SortWindow;

namespace app::ui {

// The windows of the subsystems, made with what they work on (the address list, the open
// list, the settings, the send session) and with the main window's ways to report and to
// open other windows; none of them knows the main window.

// Shows the text on the main window's status line and in its log while the window stands.
std::function<void(const QString&)> ReportTo(MainWindow& main);

// The one-address dialog in front of `opener`; its opener shows it and sets its list.
NewAddressWin* MakeNewAddressWin(MainWindow& main, QWidget* opener);
// The new-list dialog in front of the main window.
MLWindow* MakeMLWindow(MainWindow& main);

// The send window in front of the main window, for its selected addresses; OpenSendWindow
// also shows it.
SendWindow* MakeSendWindow(MainWindow& main);
void OpenSendWindow(MainWindow& main);

// The list tools' windows, each standing alone: the search window of Edit > Find, the sort
// window, and an address-list window (bulk removal, search results, opted-out addresses).
SearchWindow* MakeSearchWindow(MainWindow& main);
SortWindow* MakeSortWindow(MainWindow& main);
MessageWindow* MakeMessageWindow(MainWindow& main);

// Opens a new about window in front; its Continue shows the main window, bringing one up
// when there is none, and its Quit saves the open list and quits.
void OpenAboutWindow();

}  // namespace app::ui
