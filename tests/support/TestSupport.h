#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace platform {
class ListModel;
}

namespace testing_support {

// Runs the event loop until the predicate holds or the timeout passes; returns the predicate.
bool WaitUntil(const std::function<bool()>& predicate, int timeoutMs = 5000);

// Whole-file helpers for arranging and checking test folders.
QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);

// A two-column list's rows as "address|mailings", led by "*" when selected.
QStringList Rows(const platform::ListModel& list);
void SetRows(platform::ListModel& list, const QStringList& rows);

}  // namespace testing_support
