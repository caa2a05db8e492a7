#include "platform/ui/DesktopSeams.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

#include "platform/Seams.h"

namespace platform {
namespace {

// The dialogs are children of the active window, and the event loop runs while they are
// up: should that window be deleted meanwhile (closed by a timer or a network event), it
// deletes them too. So they live on the heap behind a guard, never on the stack.
void ShowMessageBox(const QString& text) {
  const QPointer<QMessageBox> box =
      new QMessageBox(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                      QApplication::activeWindow());
  box->setWindowModality(Qt::ApplicationModal);
  box->setAccessibleName(text);
  box->exec();
  delete box.data();
}

// Plain push buttons with the captions given: screen readers read them by their captions.
bool AskConfirm(const QString& text, const QString& acceptText, const QString& rejectText) {
  const QPointer<QMessageBox> box =
      new QMessageBox(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                      QMessageBox::NoButton, QApplication::activeWindow());
  box->setWindowModality(Qt::ApplicationModal);
  box->setAccessibleName(text);
  QPushButton* accept = box->addButton(acceptText, QMessageBox::AcceptRole);
  QPushButton* reject = box->addButton(rejectText, QMessageBox::RejectRole);
  box->setDefaultButton(reject);
  box->setEscapeButton(reject);
  box->exec();
  // Gone with its window: the question is left unanswered, as with the reject button.
  if (!box) return false;
  const bool accepted = box->clickedButton() == accept;
  delete box.data();
  return accepted;
}

// The program names its save filter by file type ("text/plain"). List files carry no
// extension, so the dialog offers every file too, and starts on it: otherwise the lists
// already in the folder would be hidden and could be overwritten unseen.
std::optional<QString> ShowSave(const SaveDialogRequest& request) {
  const QPointer<QFileDialog> dialog =
      new QFileDialog(QApplication::activeWindow(), request.title, request.initialFolder);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setAccessibleName(request.title);
  if (request.filter.contains('/') && !request.filter.contains('*')) {
    const QString anyFile = QStringLiteral("application/octet-stream");
    dialog->setMimeTypeFilters({request.filter, anyFile});
    dialog->selectMimeTypeFilter(anyFile);
  } else if (!request.filter.isEmpty()) {
    dialog->setNameFilters({request.filter, QFileDialog::tr("All files (*)")});
  }
  if (!request.suggestedName.isEmpty()) dialog->selectFile(request.suggestedName);
  const bool accepted = dialog->exec() == QDialog::Accepted;
  // Gone with its window: a cancel.
  if (!dialog) return std::nullopt;
  const QStringList chosen = dialog->selectedFiles();
  delete dialog.data();
  if (!accepted || chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
  return chosen.first();
}

bool ModifierDown(Qt::KeyboardModifier modifier) {
  // The live state, not the last event's: the program asks while a handler runs.
  return QGuiApplication::queryKeyboardModifiers().testFlag(modifier);
}

}  // namespace

void InstallDesktopSeams() {
  Seams seams;
  seams.messageBox = ShowMessageBox;
  seams.confirm = AskConfirm;
  seams.saveDialog = ShowSave;
  seams.clipboardText = [] { return QGuiApplication::clipboard()->text(); };
  seams.setClipboardText = [](const QString& text) { QGuiApplication::clipboard()->setText(text); };
  // Qt reports the Command key as Control on macOS, and Control is the command key elsewhere.
  seams.commandKeyDown = [] { return ModifierDown(Qt::ControlModifier); };
  seams.shiftKeyDown = [] { return ModifierDown(Qt::ShiftModifier); };
  seams.openUrl = [](const QString& url) {
    const QUrl address(url, QUrl::StrictMode);
    if (address.isValid() && !address.isRelative()) QDesktopServices::openUrl(address);
  };
  CurrentSeams() = std::move(seams);
}

}  // namespace platform
