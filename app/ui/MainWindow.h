#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <optional>

#include "app/AddressIntake.h"
#include "app/FileTypes.h"
#include "app/Settings.h"
#include "app/StatusReports.h"
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

// The program's one main window. It builds the controls and wires them to the owners of
// the state they show, each in its core folder: the settings (app::Settings), the open list
// with its file and unsaved mark (lists::OpenList), the status line and the log
// (app::StatusReports), the addresses coming in (app::AddressIntake), the send session
// (mailing::SendEngine), the POP3 log-in (mailing::Pop3Login) and the opt-out check
// (tools::OptOutCheck). Its properties and named members keep the names the rest of the
// program knows them by, and hand the work to those owners. The windows it opens get the
// owners they work on, never this window (app/ui/Windows.h); Instance() is for start-up and
// the about window's Continue, which may have to bring it up.
//
// Sizes: Width() and Height() are those of the content area under the menu bar and the
// toolbar, which is what the layout figures are given for.
class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // ---- The one instance ------------------------------------------------------------------
  // Reaching the main window when there is none creates one and opens it, which runs the
  // whole start-up road of Event_Open again.
  static MainWindow* Instance();
  // The main window when there is one; never creates it.
  static MainWindow* Existing();

  ~MainWindow() override;

  // ---- The owners ------------------------------------------------------------------------
  // The settings, read at start-up and replaced by the preferences window.
  app::Settings& Settings() { return m_settings; }
  // The open list: its file, its unsaved mark, saving and reading. Whatever edits the rows
  // of elist says so here.
  lists::OpenList& OpenList() { return m_openList; }
  // The send session: the queue's sending, its pace, counters and progress. The send window
  // queues its batch through it.
  mailing::SendEngine* SendSession() const;
  // The rows of UserMessages, newest first.
  app::MessageLog& UserMessagesLog() { return m_reports.Log(); }

 private:
  // Declared before the properties below, which reach them.
  app::Settings m_settings;
  lists::OpenList m_openList;
  app::StatusReports m_reports;
  app::AddressIntake m_intake{m_openList, m_settings, m_reports};

 public:
  // ---- Properties (settings and working values) ------------------------------------------
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
  // session's, read here.
  std::optional<platform::Date> starttime() const;
  qint32 mailssent() const;
  // How long a connected opt-out check waits for the service's next byte before it reads
  // what came.
  int optOutIdleMs = 30000;

  // ---- Controls, in creation order -------------------------------------------------------
  QTabWidget* TabPanel1 = nullptr;
  platform::Listbox* elist = nullptr;
  QLabel* Slug = nullptr;
  QTimer* SaveTimer = nullptr;
  platform::SMTPSocket* TCPSocket1 = nullptr;  // the SMTP client of the send session
  std::array<QAction*, 3> ToolbarItem1{};      // 0 "Send", 1 "Delete", 2 "Sort"
  platform::TCPSocket* oosocket = nullptr;     // the socket of the opt-out check
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

  // ---- Size and layout -------------------------------------------------------------------
  int Width() const;
  int Height() const;
  // Sizes the window so that its content area measures width by height.
  void SetSize(int width, int height);
  // Lays out the controls for the current size and docks the side bar.
  void ResizeControls();
  void Event_Moved();
  void Event_Resizing();

  // ---- Start-up and the window's events ----------------------------------------------------
  void Event_Open();
  // Sets the toolbar images and rebuilds the side bar's lists.
  void UpdateLists();
  bool Event_KeyDown(const QString& key);
  void Event_Activate();
  void Event_Deactivate();
  // The side bar is a window of its own, which a click or the keyboard makes the active
  // one: it shows while this window or the side bar is active, hides when neither is.
  void ActivationChanged();
  // Saves unsaved edits and closes the side bar; false when the edits could not be saved
  // and the window must stay open.
  bool Event_Close();
  // Accepts dropped files of the named file type (letter case ignored) / dropped text.
  void AcceptFileDrop(const QString& fileTypeName);
  void AcceptTextDrop();
  bool AcceptsDrop(const QMimeData& data) const;
  void Event_DropObject(platform::DragItem& obj);

  // ---- Status line and message log -------------------------------------------------------
  // The one way to report: shows the text in the status line and puts it, after the time,
  // at the top of the message log.
  void SetSlug(const QString& text);

  // ---- Menu items and their handlers -----------------------------------------------------
  // The item of that name in this window's menu bar; nullptr when none.
  QAction* MenuItem(const QString& name) const;
  // clang-format off
#define VELMORA_MENU_ACCESSOR(name) QAction* name() const { return MenuItem(QStringLiteral(#name)); }
  VELMORA_MENU_ITEMS(VELMORA_MENU_ACCESSOR)
  // clang-format on
#undef VELMORA_MENU_ACCESSOR

  // Registers the handlers below by item name.
  void AddMenuHandlers();
  void Event_EnableMenuItems();

  bool _FileSave_Action();
  bool _FileSaveAs_Action();
  bool _FilePreferences_Action();
  bool _EditPaste_Action();
  bool _EditDuplicate_Action();
  bool _EditSelectAll_Action();
  bool _EditUnselectAll_Action();
  bool _EditSelectUnsent_Action();
  bool _EditCopy_Action();
  // Edit > Find and Find Next: the search window, and the search for SearchField on from
  // the selected row, round to it.
  bool _EditFind_Action();
  bool _EditFindNext_Action();
  bool _MailingListsNewMailingList_Action();
  bool _MailingListsRemoveMailingList_Action();
  bool _MailingListsEmptyTash_Action();
  bool _AddressesSendeMail_Action();
  bool _AddressesNew_Action();
  bool _AddressesRemove_Action();
  // Addresses > Bulk Remove...: an address-list window to collect the addresses in.
  bool _AddressesBulkRemove_Action();
  bool _AddressesClearHistory_Action();
  bool _AddressesBlackList_Action();
  // Addresses > Check OptOut List: sends the selected addresses to the opt-out service and
  // marks those it lists "Opted Out".
  bool _AddressesCheckOptOut_Action();
  bool _HelpVelmoraHelp_Action();
  bool _AppleAboutVelmora_Action();

  // ---- The address list ------------------------------------------------------------------
  void SaveFile();
  bool SaveAsFile();
  void OpenDatabase(const QString& name);
  void ReadEmails();
  QString findemailold(const QString& text);
  bool AddAddress(const QString& address);
  bool AddNewAddress(const QString& address);
  void getemailfromfile(const platform::FolderItem& item);
  // Removes the selection of the tab in front: addresses on the Addresses tab, send-queue
  // rows on any other (Addresses > Remove, the toolbar's Delete, Backspace).
  void DeleteItems();
  // Removes the selected addresses once they are safely in Trash.
  void DeleteEmails();
  // The search for SearchField from the top.
  void FindString();
  // Sets column 1 of every row holding the address (exactly) to the status.
  void SetAddressStatus(const QString& address, const QString& status);
  qint32 ConvertHex2Dec(const QString& text);
  void elist_DoubleClick();
  bool elist_KeyDown(const QString& key);
  void elist_Change();
  // The autosave tick.
  void SaveTimer_Action();
  void ToolbarItem1_Open(int index);
  // The toolbar's Send, Delete and Sort.
  void ToolbarItem1_Action(int index);

  // ---- Send queue and engine -------------------------------------------------------------
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
  void TCPSocket1_MessageSent(const platform::EmailMessagePtr& message);
  void TCPSocket1_Error();
  void TCPSocket1_ConnectionEstablished(const QString& greeting);
  bool TCPSocket1_SendProgress(qint64 bytesSent, qint64 bytesTotal);

  // ---- POP3 log-in and opt-out check -----------------------------------------------------
  // Start-up and the preferences window start the log-in when the settings name a POP3
  // user; these events do the rest, and nothing waits for them.
  void POPSocket_Disconnected();
  void POPSocket_LoginSuccessful();
  void POPSocket_ConnectionEstablished();
  void POPSocket_MessageCount(int count);
  void oosocket_Connected();
  void oosocket_DataAvailable();
  void oosocket_Error();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  MainWindow();
  void Layout();
  void CreateControls();
  // Creates the controls, and the owners they show, and wires them together.
  void _CreateControls0();
  void ShowControlsOfTab(int tab);
  template <typename T>
  T* AddControl(T* control, const QString& name, QRect bounds, int tabPage);

  QWidget* m_content = nullptr;
  // Controls on the tab panel by 0-based tab; they stand on the content area at their
  // design bounds and are shown while their tab is in front.
  std::array<QList<QWidget*>, 3> m_tabControls;
  app::DropFilter m_drops;
  // Made with the controls they serve; the send session last of all.
  mailing::Pop3Login* m_popLogin = nullptr;
  tools::OptOutCheck* m_optOutCheck = nullptr;
  mailing::SendEngine* m_sendEngine = nullptr;
};
