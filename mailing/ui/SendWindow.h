#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "mailing/ui/BodyField.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
namespace app {
class Settings;
}
namespace lists {
class OpenList;
}
namespace mailing {
class SendEngine;
}
namespace platform {
class ListModel;
}

// Where a mailing starts: the user picks a stored message or composes one, and OK stores
// it and queues it for the selected addresses of the main window's list. Without an SMTP
// server (and always by Copy to Clipboard) the addresses go to the clipboard instead and
// are marked as mailed at once.
class SendWindow : public QWidget {
  Q_OBJECT
 public:
  // What a mailing works on: the main window's address list, whose selected rows it mails,
  // the open list, marked changed when rows are marked as mailed, the settings (without an
  // SMTP server the addresses go to the clipboard), the send session, which queues the
  // rows, and the way to report.
  struct Owners {
    QPointer<platform::ListModel> rows;
    QPointer<lists::OpenList> openList;
    QPointer<app::Settings> settings;
    QPointer<mailing::SendEngine> session;
    std::function<void(const QString&)> report;
  };

  // The window stands in front of `parent`, the main window, and goes with it.
  SendWindow(Owners owners, QWidget* parent);

  // Shows the window and runs its open event.
  void Open();

  QLineEdit* Name = nullptr;
  QLineEdit* From = nullptr;
  QLineEdit* Subject = nullptr;
  BodyField* Body = nullptr;
  QPushButton* PushButton1 = nullptr;  // "OK"
  QPushButton* PushButton2 = nullptr;  // "Cancel"
  QLabel* StaticText1 = nullptr;
  QLabel* StaticText2 = nullptr;
  QLabel* StaticText3 = nullptr;
  QLabel* StaticText4 = nullptr;
  QComboBox* emails = nullptr;
  QLabel* Warning = nullptr;
  QPushButton* PushButton3 = nullptr;  // "Copy to Clipboard"
  QCheckBox* HTMLcoded = nullptr;

  // The key events of the three one-line fields and of the window: each steps the popup
  // with the arrow keys and lets the key go on to be handled as usual.
  bool Name_KeyDown(const QString& key) { return Event_KeyDown(key); }
  bool From_KeyDown(const QString& key) { return Event_KeyDown(key); }
  bool Subject_KeyDown(const QString& key) { return Event_KeyDown(key); }
  void PushButton1_Action();
  void PushButton2_Action();
  void emails_Change();
  void PushButton3_Action();
  bool Event_KeyDown(const QString& key);
  void Event_Open();
  void ShowWarning();
  // Stores the message, then queues, or marks and copies, the selected addresses. False
  // when the message could not be stored, or is to be queued with a sender that is no
  // e-mail address: nothing is queued, marked or copied and the window stays open so the
  // name or the sender can be changed.
  bool SendEmail();
  void ProcessKeyDown(const QString& key);

  // The body as the program keeps it, a carriage return between lines; the field shows
  // line breaks. Setting it yields when the body is long (see BodyField::Show): false when
  // the window is gone or another body was set meanwhile.
  QString BodyText() const;
  bool SetBodyText(const QString& body);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Layout();
  void CreateControls();
  void _CreateControls0();
  // OK and Copy to Clipboard: send, then close unless the message could not be stored.
  void SendAndClose();
  void CopyAndClose();
  // While a chosen message is read and shown, OK and Copy to Clipboard do nothing: they
  // would store the message half read over its file.
  bool Loading() const;
  void EnableSending(bool enabled);

  Owners m_owners;
};
