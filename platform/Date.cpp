#include "platform/Date.h"

#include <QLocale>

namespace platform {
namespace {

std::function<QDateTime()>& ClockFn() {
  static std::function<QDateTime()> fn;
  return fn;
}

QDateTime CurrentMoment() {
  return ClockFn() ? ClockFn()() : QDateTime::currentDateTime();
}

QString ShortFormat() {
  return QLocale().dateFormat(QLocale::ShortFormat);
}

}  // namespace

Date::Date() : m_moment(CurrentMoment()) {}

Date::Date(QDateTime moment) : m_moment(std::move(moment)) {}

QString Date::ShortDate() const {
  return QLocale().toString(m_moment.date(), QLocale::ShortFormat);
}

QString Date::LongTime() const {
  return QLocale().toString(m_moment.time(), QLocale::LongFormat);
}

double Date::TotalSeconds() const {
  return static_cast<double>(m_moment.toMSecsSinceEpoch()) / 1000.0;
}

std::optional<Date> ParseDate(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return std::nullopt;
  const QString format = ShortFormat();
  QDate date = QLocale().toDate(trimmed, format);
  if (date.isValid() && !format.contains(QLatin1String("yyyy")) && format.contains(QLatin1String("yy"))) {
    // A two-digit year reads as 19xx; the history is written in this century.
    if (date.year() < 1970) date = date.addYears(100);
  }
  if (!date.isValid()) date = QDate::fromString(trimmed, Qt::ISODate);
  if (!date.isValid()) return std::nullopt;
  return Date(QDateTime(date, QTime(0, 0)));
}

void SetClockForTests(std::function<QDateTime()> clock) {
  ClockFn() = std::move(clock);
}

}  // namespace platform
