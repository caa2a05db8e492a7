#include "app/Settings.h"

namespace app {

namespace {

constexpr int kPreferencesLines = 7;

}  // namespace

void Settings::Set(const Preferences& values) {
  if (values == m_values) return;
  m_values = values;
  emit changed();
}

std::optional<QString> Settings::Load(const platform::FolderItem& database) {
  m_database = database;
  const FirstLines read = ReadFirstLines(File(), kPreferencesLines);
  if (read.state == FirstLines::State::Unreadable) return read.problem;
  if (read.state == FirstLines::State::Read) Set(ParsePreferences(read.lines));
  return std::nullopt;
}

platform::FileResult Settings::Save() const {
  return WritePreferences(m_database, m_values);
}

platform::FolderItem Settings::File() const {
  if (m_database.IsNull()) return {};
  return m_database.Child(QStringLiteral("Preferences"));
}

}  // namespace app

#include "moc_Settings.cpp"
