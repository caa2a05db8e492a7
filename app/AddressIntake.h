#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "platform/FolderItem.h"

namespace lists {
class DuplicateIndex;
class FileImport;
class OpenList;
}  // namespace lists

namespace app {

class Settings;
class StatusReports;

// Addresses coming into the open list: one at a time (AddAddress, as the new-address dialog
// adds them) or by the thousand from dropped or pasted text and dropped files and folders.
// While the settings ask for it, an address the list holds already (letter case aside) is
// reported and left out; every other one is appended, reported with the list's new row
// count, and marks the list changed.
//
// The duplicate test asks an index of the list, made on first use and kept in step with
// the list by its signals, so that it costs the same on a list of a million rows as on an
// empty one. An import ends early when this goes (with its window) while it yields.
class AddressIntake : public QObject {
  Q_OBJECT
 public:
  AddressIntake(lists::OpenList& list, const Settings& settings, StatusReports& reports,
                QObject* parent = nullptr);

  // Always true.
  bool AddAddress(const QString& address);
  // Appends the address without a test or a report.
  bool AddNewAddress(const QString& address);
  // A dropped file or folder (every file in it), and dropped or pasted text. The list and
  // the log catch up before the event loop runs, and all is in place when they return.
  void ImportItem(const platform::FolderItem& item);
  void ImportText(const QString& text);

 signals:
  // Rows came in: the window redraws, so that a long import shows its progress.
  void progressed();

 private:
  void Import(const std::function<void(lists::FileImport&)>& import);
  lists::DuplicateIndex& Duplicates();

  lists::OpenList& m_list;
  const Settings& m_settings;
  StatusReports& m_reports;
  lists::DuplicateIndex* m_duplicates = nullptr;
};

}  // namespace app
