#pragma once

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <optional>

#include "app/FileTypes.h"
#include "app/Settings.h"
#include "lists/OpenList.h"
#include "platform/Date.h"
#include "platform/EmailMessage.h"
#include "platform/FolderItem.h"

class QAction;
class QCheckBox;
class QLabel;
class LogView;
class QMimeData;
class QProgressBar;
class QPushButton;
class QSlider;
class QTabWidget;
class QTimer;
class QToolBar;

namespace app {
class MessageLog;
}
namespace lists {
class DuplicateIndex;
class FileImport;
}  // namespace lists
namespace mailing {
class Pop3Login;
class SendEngine;
}  // namespace mailing
namespace platform {
class DragItem;
class Listbox;
class POP3Socket;
class SMTPSocket;
class TCPSocket;
}  // namespace platform
namespace tools {
class OptOutCheck;
}  // namespace tools

// Every item of the menu bar, in the table's order; one accessor each on the main window.
// clang-format off
#define VELMORA_MENU_ITEMS(X)                                                                    \
  X(UntitledMenu7) X(FileSave) X(FileSaveAs) X(UntitledMenu8) X(FileClose) X(FileQuit)          \
  X(FilePreferences)                                                                             \
  X(UntitledMenu3) X(EditUndo) X(UntitledMenu6) X(EditSelectAll) X(EditUnselectAll)             \
  X(EditSelectUnsent) X(UntitledMenu5) X(EditCopy) X(EditPaste) X(EditDuplicate)                \
  X(UntitledMenu4) X(EditFind) X(EditFindNext)                                                   \
  X(MailingListsMenu) X(MailingListsNewMailingList) X(MailingListsRemoveMailingList)            \
  X(UntitledMenu2) X(MailingListsEmptyTash)                                                      \
  X(AddressesMenu) X(AddressesSendeMail) X(UntitledMenu1) X(AddressesNew) X(AddressesRemove)    \
  X(AddressesBulkRemove) X(UntitledMenu0) X(AddressesClearHistory) X(AddressesBlackList)        \
  X(AddressesCheckOptOut)                                                                        \
  X(HelpMenu) X(HelpVelmoraHelp) X(AppleAboutVelmora)
// clang-format on

// The program's one main window and the hub of its subsystems: its properties hold the
// working values every window shares and name the settings (app::Settings holds them) and
// the open list's values (lists::OpenList holds them), its controls are the address list, the send queue, the
// status line and the message log. The windows it opens get the owners they work on, never
// this window (app/ui/Windows.h); Instance() is for start-up and the about window's Continue,
// which may have to bring it up.
//
// Sizes: Width() and Height() are those of the content area under the menu bar and the
// toolbar, which is what the layout figures are given for.
class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // ---- The one instance --------------------------------------------------------------
  // Reaching the main window when there is none creates one and opens it, which runs the
  // whole start-up road of Event_Open again.
  static MainWindow* Instance();
  // The main window when there is one; never creates it.
  static MainWindow* Existing();

  ~MainWindow() override;

  // The settings, read at start-up and replaced by the preferences window.
  app::Settings& Settings() { return m_settings; }
  // The open list: its file, its unsaved mark, saving and reading. Whatever edits the rows
  // of elist says so here.
  lists::OpenList& OpenList() { return m_openList; }

 private:
  // Declared before the settings and the open list's values below, which reach them.
  app::Settings m_settings;
  lists::OpenList m_openList;

 public:
  // ---- Properties (settings and working values) --------------------------------------
  // The Database folder beside the application: the open list's, which start-up sets.
  const platform::FolderItem& database = m_openList.Database();
  // The open list has edits not yet saved.
  lists::OpenListValue<&lists::OpenList::IsChanged, &lists::MarkChangedAs> Changed{m_openList};
  // The open list's file; null when none.
  lists::OpenListValue<&lists::OpenList::File, &lists::OpenList::SetFile> existingfile{m_openList};
  QString SearchField;  // the last search text
  // SMTP server, user name and password
  app::Setting<&app::Preferences::server> server{m_settings};
  app::Setting<&app::Preferences::username> username{m_settings};
  app::Setting<&app::Preferences::password> password{m_settings};
  QPointer<QWidget> SideBar;  // the list side bar docked beside the window (a SideBarWindow)
  // The name of the list opened last.
  lists::OpenListValue<&lists::OpenList::LastOpen, &lists::OpenList::SetLastOpen> lastopen{m_openList};
  // test for duplicates when adding addresses
  app::Setting<&app::Preferences::xduplicates> xduplicates{m_settings};
  QString checkaddresses;  // the addresses of the opt-out request, each with a comma
  // POP3 server, user name and password
  app::Setting<&app::Preferences::popserver> popserver{m_settings};
  app::Setting<&app::Preferences::popusername> popusername{m_settings};
  app::Setting<&app::Preferences::poppassword> poppassword{m_settings};
  // When the running mailing was queued, and the messages accepted since: the send
  // session's (SendSession()), read here.
  std::optional<platform::Date> starttime() const;
  qint32 mailssent() const;

  // ---- Controls, in creation order ---------------------------------------------------
  QTabWidget* TabPanel1 = nullptr;
  platform::Listbox* elist = nullptr;
  QLabel* Slug = nullptr;
  QTimer* SaveTimer = nullptr;
  platform::SMTPSocket* TCPSocket1 = nullptr;  // the SMTP client of the send engine
  std::array<QAction*, 3> ToolbarItem1{};      // 0 "Send", 1 "Delete", 2 "Sort"
  // oosocket, the opt-out check's socket, is among the list tools' members below.
  platform::Listbox* CheckList = nullptr;
  QPushButton* StopSending = nullptr;
  QTimer* SendTimer = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QLabel* QueueStatus = nullptr;
  platform::POP3Socket* POPSocket = nullptr;  // the POP3 client of the log-in check
  LogView* UserMessages = nullptr;
  QSlider* Rate = nullptr;
  QSlider* RatePer = nullptr;
  QCheckBox* RandRate = nullptr;
  QToolBar* Toolbar = nullptr;

  // The rows of UserMessages, newest first.
  app::MessageLog& UserMessagesLog() const { return *m_log; }

  // ---- Size and layout ----------------------------------------------------------------
  int Width() const;
  int Height() const;
  // Sizes the window so that its content area measures width by height.
  void SetSize(int width, int height);
  // Lays out the controls for the current size and docks the side bar.
  void ResizeControls();

  // ---- Menu items and commands ---------------------------------------------------------
  // The item of that name in this window's menu bar; nullptr when none.
  QAction* MenuItem(const QString& name) const;
  // clang-format off
#define VELMORA_MENU_ACCESSOR(name) QAction* name() const { return MenuItem(QStringLiteral(#name)); }
  VELMORA_MENU_ITEMS(VELMORA_MENU_ACCESSOR)
  // clang-format on
#undef VELMORA_MENU_ACCESSOR

  void AddMenuHandlers();
  void Event_EnableMenuItems();

  bool _AppleAboutVelmora_Action();
  bool _FilePreferences_Action();
  bool _AddressesSendeMail_Action();

  // ---- Events ---------------------------------------------------------------------------
  void Event_Open();
  void Event_Moved();
  void Event_Resizing();

  // ---- Status line and message log -------------------------------------------------------
  // The one way to report: shows the text in the status line and puts it, after the time,
  // at the top of the message log.
  void SetSlug(const QString& text);
  // Reports made by the thousand during an import: "<n> addresses" and "<address> already
  // exists in the database.", put in the log at once (shown with its next signal) and on
  // the status line by a timer, at most every 50 ms; ShowPendingStatus shows it now.
  void ReportAdded(long long rows);
  void ReportExists(QByteArrayView address);
  void ShowPendingStatus();

  // ---- Work that other subsystems provide (MainWindowHooks) ------------------------------
  void SaveFile();
  void OpenDatabase(const QString& name);
  void UpdateLists();

  // ---- POP3 log-in (mailing/ui/MainWindowPop3.cpp) -------------------------------------
  // When the settings name a POP3 user, sets POPSocket to port 110 with their server and
  // account and connects; the events below do the rest, and nothing waits for them.
  void StartPopLogIn();
  void POPSocket_Disconnected();
  void POPSocket_LoginSuccessful();
  void POPSocket_ConnectionEstablished();
  void POPSocket_MessageCount(int count);

  // ---- Drops ----------------------------------------------------------------------------
  // Accepts dropped files of the named file type (letter case ignored) / dropped text.
  void AcceptFileDrop(const QString& fileTypeName);
  void AcceptTextDrop();
  bool AcceptsDrop(const QMimeData& data) const;

  // ---- Timers and toolbar ---------------------------------------------------------------
  // The autosave tick (lists/ui/MainWindowLists.cpp).
  void SaveTimer_Action();
  void ToolbarItem1_Open(int index);
  // The toolbar's Send, Delete and Sort come with the windows they open.
  void ToolbarItem1_Action(int index);

  // ---- Address lists (lists/ui/MainWindowLists.cpp) -------------------------------------
  bool SaveAsFile();
  void ReadEmails();
  QString findemailold(const QString& text);
  bool AddAddress(const QString& address);
  bool AddNewAddress(const QString& address);
  void getemailfromfile(const platform::FolderItem& item);
  // Runs an import (dropped or pasted text, dropped files) into elist: each address goes
  // through AddAddress's steps, in batches; the list and the log catch up before the event
  // loop runs, and all is in place when this returns.
  void ImportAddresses(const std::function<void(lists::FileImport&)>& import);
  bool Event_KeyDown(const QString& key);
  void Event_Activate();
  void Event_Deactivate();
  // The side bar is a window of its own, which a click or the keyboard makes the active
  // one: it shows while this window or the side bar is active, hides when neither is.
  void ActivationChanged();
  void Event_DropObject(platform::DragItem& obj);
  // Saves unsaved edits and closes the side bar; false when the edits could not be saved
  // and the window must stay open.
  bool Event_Close();
  void elist_DoubleClick();
  bool elist_KeyDown(const QString& key);
  void elist_Change();
  bool _MailingListsNewMailingList_Action();
  bool _MailingListsRemoveMailingList_Action();
  bool _MailingListsEmptyTash_Action();

  // ---- List editing commands (lists/ui/MainWindowCommands.cpp) --------------------------
  // The menu commands that edit the address list or open a window; each registered by
  // item name in AddMenuHandlers.
  bool _FileSave_Action();
  bool _FileSaveAs_Action();
  bool _HelpVelmoraHelp_Action();
  bool _EditPaste_Action();
  bool _EditDuplicate_Action();
  bool _EditSelectAll_Action();
  bool _EditUnselectAll_Action();
  bool _EditSelectUnsent_Action();
  bool _EditCopy_Action();
  bool _AddressesNew_Action();
  bool _AddressesRemove_Action();
  bool _AddressesClearHistory_Action();
  bool _AddressesBlackList_Action();
  // Removes the selection of the tab in front: addresses on the Addresses tab, send-queue
  // rows on any other (Addresses > Remove, the toolbar's Delete, Backspace).
  void DeleteItems();
  // Removes the selected addresses once they are safely in Trash.
  void DeleteEmails();
  // ---- end of the list editing commands ---------------------------------------------------

  // ---- Send queue and engine (mailing/ui/MainWindowSend.cpp) ----------------------------
  // The send session: the queue's sending, its pace, counters and progress. The send window
  // queues its batch through it.
  mailing::SendEngine* SendSession() const;
  // The work is mailing::SendEngine's; these forward to it.
  // The send timer's tick: hands up to Rate queued rows to TCPSocket1 and connects.
  void SendTimer_Action();
  // Sets SendTimer's period from RatePer and RandRate.
  void SetSendTimer();
  // The rate controls show the rate on the status line; RatePer also re-times SendTimer.
  void Rate_ValueChanged();
  void RatePer_ValueChanged();
  void RandRate_Action();
  void CheckList_Change();
  // Empties the queue and the client's outgoing list and disconnects.
  void StopSending_Action();
  // Removes the selected rows of the send queue, whatever their status.
  void DeleteFromSendQueue();
  // Reads the stored message `name` from the eMail folder for sending; false when it is
  // missing or cannot be opened. `format` is the caller's copy and comes back unchanged.
  bool LoadEmail(const QString& name, QString& from, QString& subject, QString& body, QString format);
  // TCPSocket1's events; a refused message (ServerError) leaves the queue with a log row.
  void TCPSocket1_MessageSent(const platform::EmailMessagePtr& message);
  void TCPSocket1_ServerError(const platform::EmailMessagePtr& message, int code, const QString& reply);
  void TCPSocket1_Error();
  void TCPSocket1_ConnectionEstablished(const QString& greeting);
  bool TCPSocket1_SendProgress(qint64 bytesSent, qint64 bytesTotal);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // ---- end of the address lists' members ------------------------------------------------

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  MainWindow();
  void Layout();
  void CreateControls();
  void _CreateControls0();
  void ShowControlsOfTab(int tab);
  template <typename T>
  T* AddControl(T* control, const QString& name, QRect bounds, int tabPage);

  QWidget* m_content = nullptr;
  app::MessageLog* m_log = nullptr;
  // Controls on the tab panel by 0-based tab; they stand on the content area at their
  // design bounds and are shown while their tab is in front.
  std::array<QList<QWidget*>, 3> m_tabControls;
  QList<app::FileType> m_acceptedFileTypes;
  bool m_acceptsText = false;
  mailing::Pop3Login* m_popLogin = nullptr;
  // Made and wired to its controls last of all (mailing/ui/MainWindowSend.cpp).
  void CreateSendEngine();
  mailing::SendEngine* m_sendEngine = nullptr;
  // Address lists: made on first use.
  lists::DuplicateIndex* m_duplicates = nullptr;
  // The status line's text still to show (ReportAdded, ReportExists) and its timer.
  enum class PendingStatus { None, Added, Exists };
  PendingStatus m_pendingStatus = PendingStatus::None;
  long long m_pendingRows = 0;
  QByteArray m_pendingAddress;
  QTimer* m_statusTimer = nullptr;
  void StartStatusTimer();

  // ---- List tools (tools/ui/MainWindowTools.cpp) -----------------------------------------
 public:
  // The opt-out check's socket; made by the first check.
  platform::TCPSocket* oosocket = nullptr;
  // How long a connected check waits for the service's next byte before it reads what came.
  int optOutIdleMs = 30000;

  // Edit > Find and Find Next: the search window, and the search for SearchField from the
  // top (FindString) or on from the selected row, round to it (Find Next).
  bool _EditFind_Action();
  bool _EditFindNext_Action();
  void FindString();
  // The toolbar's Sort.
  void OpenSortWindow();
  // Addresses > Bulk Remove...: an address-list window to collect the addresses in.
  bool _AddressesBulkRemove_Action();
  // Addresses > Check OptOut List: sends the selected addresses to the opt-out service and
  // marks those it lists "Opted Out".
  bool _AddressesCheckOptOut_Action();
  void oosocket_Connected();
  void oosocket_DataAvailable();
  void oosocket_Error();
  // Sets column 1 of every row holding the address (exactly) to the status.
  void SetAddressStatus(const QString& address, const QString& status);
  qint32 ConvertHex2Dec(const QString& text);

 private:
  // The check that oosocket's events go to; made with oosocket.
  tools::OptOutCheck* m_optOutCheck = nullptr;
  // ---- end of the list tools' members -------------------------------------------------------
};
