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
