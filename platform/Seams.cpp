#include "platform/Seams.h"

#include <utility>

namespace platform {

Seams& CurrentSeams() {
  static Seams seams;
  return seams;
}

ScopedSeams::ScopedSeams(Seams seams) : m_saved(std::exchange(CurrentSeams(), std::move(seams))) {}

ScopedSeams::~ScopedSeams() {
  CurrentSeams() = std::move(m_saved);
}

void MsgBox(const QString& text) {
  if (CurrentSeams().messageBox) CurrentSeams().messageBox(text);
}

bool Confirm(const QString& text, const QString& acceptText, const QString& rejectText) {
  return CurrentSeams().confirm && CurrentSeams().confirm(text, acceptText, rejectText);
}

std::optional<QString> ShowSaveDialog(const SaveDialogRequest& request) {
  if (CurrentSeams().saveDialog) return CurrentSeams().saveDialog(request);
  return std::nullopt;
}

QString ClipboardText() {
  return CurrentSeams().clipboardText ? CurrentSeams().clipboardText() : QString();
}

void SetClipboardText(const QString& text) {
  if (CurrentSeams().setClipboardText) CurrentSeams().setClipboardText(text);
}

bool AsyncCommandKey() {
  return CurrentSeams().commandKeyDown && CurrentSeams().commandKeyDown();
}

bool AsyncShiftKey() {
  return CurrentSeams().shiftKeyDown && CurrentSeams().shiftKeyDown();
}

void ShowURL(const QString& url) {
  if (CurrentSeams().openUrl) CurrentSeams().openUrl(url);
}

Seams RecordingSeams::seams() {
  Seams s;
  s.messageBox = [this](const QString& text) { messages.append(text); };
  s.confirm = [this](const QString& text, const QString&, const QString&) {
    messages.append(text);
    return !confirmAnswers.isEmpty() && confirmAnswers.takeFirst();
  };
  s.saveDialog = [this](const SaveDialogRequest& r) -> std::optional<QString> {
    saveDialogTitles.append(r.title);
    if (saveAnswers.isEmpty()) return std::nullopt;
    return saveAnswers.takeFirst();
  };
  s.clipboardText = [this] { return clipboard; };
  s.setClipboardText = [this](const QString& text) { clipboard = text; };
  s.commandKeyDown = [this] { return command; };
  s.shiftKeyDown = [this] { return shift; };
  s.openUrl = [this](const QString& url) { openedUrls.append(url); };
  return s;
}

}  // namespace platform
