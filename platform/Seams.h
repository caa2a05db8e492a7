#pragma once

// The points where the program meets a person or the desktop: modal message boxes,
// the save dialog, the clipboard, the keyboard's live modifier state and the web
// browser. The window layer installs the real ones at start-up; tests install their
// own to answer without a person and to record what was shown.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace platform {

struct SaveDialogRequest {
  QString title;
  QString filter;
  QString initialFolder;  // absolute path; empty for the dialog's default
  QString suggestedName;
};

struct Seams {
  // Shows a modal message box with one OK button; returns when it is dismissed.
  std::function<void(const QString& text)> messageBox;
  // Asks a modal question with two buttons captioned as given; true for the accept button.
  // The reject button is the default and the Escape button.
  std::function<bool(const QString& text, const QString& acceptText, const QString& rejectText)> confirm;
  // Shows the modal save dialog; an empty result means the user cancelled.
  std::function<std::optional<QString>(const SaveDialogRequest&)> saveDialog;
  std::function<QString()> clipboardText;
  std::function<void(const QString&)> setClipboardText;
  // The keyboard's live modifier state: the Command key (Ctrl on Linux) and Shift.
  std::function<bool()> commandKeyDown;
  std::function<bool()> shiftKeyDown;
  // Opens a web address in the default browser.
  std::function<void(const QString& url)> openUrl;
};

// The seams in force. A member left unset does nothing: no box is shown, the save
// dialog is cancelled, a question gets its reject button's answer, the clipboard is
// empty and no modifier key is down.
Seams& CurrentSeams();

// Replaces the seams for as long as the returned guard lives, then restores the old ones.
class ScopedSeams {
 public:
  explicit ScopedSeams(Seams seams);
  ~ScopedSeams();
  ScopedSeams(const ScopedSeams&) = delete;
  ScopedSeams& operator=(const ScopedSeams&) = delete;

 private:
  Seams m_saved;
};

// Convenience wrappers used by the program.
void MsgBox(const QString& text);
bool Confirm(const QString& text, const QString& acceptText, const QString& rejectText);
std::optional<QString> ShowSaveDialog(const SaveDialogRequest& request);
QString ClipboardText();
void SetClipboardText(const QString& text);
bool AsyncCommandKey();
bool AsyncShiftKey();
void ShowURL(const QString& url);

// A seam set that records every message box and question and answers the save dialog and
// the questions from queues; for tests.
struct RecordingSeams {
  QStringList messages;  // the texts of the message boxes and the questions
  QStringList openedUrls;
  QStringList saveDialogTitles;
  QList<std::optional<QString>> saveAnswers;  // consumed front first; empty: cancel
  QList<bool> confirmAnswers;                 // consumed front first; empty: reject
  QString clipboard;
  bool command = false;
  bool shift = false;
  Seams seams();
};

}  // namespace platform
