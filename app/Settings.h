#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <type_traits>
#include <utility>

#include "app/Preferences.h"
#include "platform/FolderItem.h"

namespace app {

// The program's one copy of the settings, kept in the Preferences file of the Database
// folder. Whatever uses a setting reads it here when it needs it, so a change holds at once
// for the next reader.
class Settings : public QObject {
  Q_OBJECT
 public:
  explicit Settings(QObject* parent = nullptr) : QObject(parent) {}

  const Preferences& Values() const { return m_values; }
  // The values change in place: a reference to one of them stays good.
  void Set(const Preferences& values);
  template <typename T>
  void Set(T Preferences::*field, const T& value) {
    Preferences values = m_values;
    values.*field = value;
    Set(values);
  }

  // Reads the Preferences file of `database`, the folder that Save writes to from then on.
  // Without a file the values stay as they are; so they do when a file stands there that
  // cannot be read, and then the reason is returned.
  std::optional<QString> Load(const platform::FolderItem& database);
  // Replaces the file with the values; a failure (the old file stands) also before Load
  // named a folder.
  platform::FileResult Save() const;
  // The Preferences file; null before Load.
  platform::FolderItem File() const;

 signals:
  void changed();

 private:
  platform::FolderItem m_database;
  Preferences m_values;
};

// One setting, under its own name on a window that shows the settings: reading it reads the
// owner's value and assigning to it sets the owner's. It holds no value of its own.
template <auto Field>
class Setting {
 public:
  using Value = std::remove_cvref_t<decltype(std::declval<Preferences&>().*Field)>;

  explicit Setting(Settings& owner) : m_owner(owner) {}
  Setting(const Setting&) = delete;
  Setting& operator=(const Setting&) = delete;

  operator const Value&() const { return m_owner.Values().*Field; }
  Setting& operator=(const Value& value) {
    m_owner.Set(Field, value);
    return *this;
  }

 private:
  Settings& m_owner;
};

}  // namespace app
