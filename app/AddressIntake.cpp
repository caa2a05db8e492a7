#include "app/AddressIntake.h"

#include <chrono>
#include <utility>

#include "app/Settings.h"
#include "app/StatusReports.h"
#include "lists/AddressAdder.h"
#include "lists/DuplicateIndex.h"
#include "lists/FileImport.h"
#include "lists/OpenList.h"
#include "platform/EventLoop.h"
#include "platform/LongWork.h"
#include "platform/Text.h"

namespace app {

AddressIntake::AddressIntake(lists::OpenList& list, const Settings& settings, StatusReports& reports,
                             QObject* parent)
    : QObject(parent), m_list(list), m_settings(settings), m_reports(reports) {}

lists::DuplicateIndex& AddressIntake::Duplicates() {
  if (!m_duplicates) m_duplicates = new lists::DuplicateIndex(m_list.List(), this);
  return *m_duplicates;
}

bool AddressIntake::AddAddress(const QString& address) {
  if (m_settings.Values().xduplicates && Duplicates().Contains(address)) {
    m_reports.Report(address + QStringLiteral(" already exists in the database."));
    return true;
  }
  AddNewAddress(address);
  const int count = m_list.List()->ListCount();
  m_reports.Report(platform::Str(static_cast<long long>(count)) + QStringLiteral(" addresses"));
  m_list.MarkChanged();
  if (count % 100 == 0) emit progressed();
  return true;
}

bool AddressIntake::AddNewAddress(const QString& address) {
  m_list.List()->AddRow(address);
  return true;
}

void AddressIntake::ImportItem(const platform::FolderItem& item) {
  Import([&item](lists::FileImport& import) { import.ImportItem(item); });
}

void AddressIntake::ImportText(const QString& text) {
  Import([&text](lists::FileImport& import) { import.ImportText(text); });
}

void AddressIntake::Import(const std::function<void(lists::FileImport&)>& import) {
  // The hooks below run while the import yields: each asks first whether this is still there.
  const platform::LongWork importing(m_list.List(), platform::LongWork::Importing, this);
  // Made now, it costs nothing until the duplicate test first asks it.
  lists::DuplicateIndex& duplicates = Duplicates();
  lists::AddressAdder::Reports reports;
  reports.added = [this, &importing](long long rows) {
    if (importing.Stopped()) return;
    m_reports.ReportAdded(rows);
    m_list.MarkChanged();
  };
  reports.exists = [this, &importing](QByteArrayView address) {
    if (!importing.Stopped()) m_reports.ReportExists(address);
  };
  lists::AddressAdder adder(
      m_list.List(), &duplicates,
      [this, &importing] { return !importing.Stopped() && m_settings.Values().xduplicates; },
      std::move(reports));
  // The rows and log rows held back go in before anything else can look at them.
  const auto flush = [this, &importing, &adder] {
    adder.Flush();
    if (!importing.Stopped()) m_reports.Log().Publish();
  };
  // The window is redrawn at most every 50 ms, so drawing does not take the import's time.
  const platform::BeforeEventLoop flushing(flush, std::chrono::milliseconds(50));

  lists::ImportHooks hooks;
  hooks.addAddress = [&importing, &adder](QByteArrayView address) {
    if (!importing.Stopped()) adder.Add(address);
  };
  hooks.reserve = [this, &importing, &adder](qsizetype addresses) {
    adder.Reserve(addresses);
    if (!importing.Stopped()) m_reports.Log().Reserve(addresses);  // a report per address
  };
  hooks.setSlug = [this, &importing, &adder](const QString& text) {
    // The reports of the addresses before it come first.
    adder.CatchUp();
    if (!importing.Stopped()) m_reports.Report(text);
  };
  hooks.refresh = [this, &importing] {
    if (!importing.Stopped()) emit progressed();
  };
  hooks.rowCount = [&adder] { return adder.RowCount(); };
  hooks.stopped = [&importing] { return importing.Stopped(); };
  lists::FileImport fileImport(hooks);
  import(fileImport);
  flush();
  if (!importing.Stopped()) m_reports.ShowHeldBack();
}

}  // namespace app

#include "moc_AddressIntake.cpp"
