#include "platform/Date.h"

#include <QLocale>

#include <cstdlib>
#include <ctime>

namespace platform {
namespace {

std::function<QDateTime()>& ClockFn() {
  static std::function<QDateTime()> fn;
  return fn;
}

QDateTime CurrentMoment() {
  return ClockFn() ? ClockFn()() : QDateTime::currentDateTime();
}

}  // namespace

Date::Date() : m_moment(CurrentMoment()) {}

Date::Date(QDateTime moment) : m_moment(std::move(moment)) {}

QString Date::ShortDate() const {
  return QLocale().toString(m_moment.date(), QLocale::ShortFormat);
}

QString Date::LongTime() const {
  // A long import reports once per address, many times a second: format each second once.
  // Long time forms stop at whole seconds unless they show milliseconds ("z").
  struct Cache {
    QLocale locale;
    bool showsMilliseconds = false;
    int msecsOfDay = -1;
    QString text;
  };
  static Cache cache;
  const QLocale locale;
  const QTime time = m_moment.time();
  if (locale != cache.locale || cache.msecsOfDay < 0) {
    cache.locale = locale;
    cache.showsMilliseconds = locale.timeFormat(QLocale::LongFormat).contains(QLatin1Char('z'));
    cache.msecsOfDay = -1;
  }
  const int key = cache.showsMilliseconds ? time.msecsSinceStartOfDay() : time.msecsSinceStartOfDay() / 1000;
  if (key != cache.msecsOfDay) {
    cache.text = locale.toString(time, QLocale::LongFormat);
    cache.msecsOfDay = key;
  }
  return cache.text;
}

QString LongTimeNow() {
  static qint64 shownSecond = -1;
  static bool showsMilliseconds = false;
  static QString shown;
  if (ClockFn()) return Date().LongTime();
  if (showsMilliseconds) {
    showsMilliseconds = QLocale().timeFormat(QLocale::LongFormat).contains(QLatin1Char('z'));
    if (showsMilliseconds) return Date().LongTime();
    shownSecond = -1;
  }
  // The coarse clock costs a few nanoseconds and is at most a few milliseconds behind: the
  // text changes that much after the second does, no more.
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  if (now.tv_sec == shownSecond) return shown;
  // A new second: the text as Date makes it, in the locale now in force.
  shown = Date(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(now.tv_sec) * 1000 + now.tv_nsec / 1000000))
              .LongTime();
  shownSecond = now.tv_sec;
  showsMilliseconds = QLocale().timeFormat(QLocale::LongFormat).contains(QLatin1Char('z'));
  return shown;
}

double Date::TotalSeconds() const {
  return static_cast<double>(m_moment.toMSecsSinceEpoch()) / 1000.0;
}

namespace {

// The text with the locale's own digits written as ASCII digits. Qt cannot read back
// digits outside the Basic Multilingual Plane (Chakma, Adlam) that it writes itself.
QString WithAsciiDigits(const QString& text, const QLocale& locale) {
  const QList<uint> zero = locale.zeroDigit().toUcs4();
  if (zero.size() != 1 || zero.first() == '0') return text;
  const QList<uint> points = text.toUcs4();
  QString out;
  for (uint c : points) {
    if (c >= zero.first() && c <= zero.first() + 9) {
      out += QChar(char16_t('0' + (c - zero.first())));
    } else {
      const char32_t cp = c;
      out += QString::fromUcs4(&cp, 1);
    }
  }
  return out;
}

QDate ReadShortDate(const QString& text) {
  const QLocale locale;
  const QString format = locale.dateFormat(QLocale::ShortFormat);
  QDate date = locale.toDate(text, format);
  if (!date.isValid()) date = QLocale::c().toDate(WithAsciiDigits(text, locale), format);
  if (date.isValid() && !format.contains(QLatin1String("yyyy")) && format.contains(QLatin1String("yy"))) {
    // A two-digit year reads as 19xx; dates are written from 1970 on, so 00..69 are 20xx.
    if (date.year() < 1970) date = date.addYears(100);
  }
  return date;
}

}  // namespace

std::optional<Date> ParseDate(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return std::nullopt;
  QDate date = ReadShortDate(trimmed);
  if (!date.isValid()) date = QDate::fromString(trimmed, Qt::ISODate);
  if (!date.isValid()) return std::nullopt;
  // startOfDay, not 00:00: where clocks jump at midnight, 00:00 does not exist that day.
  return Date(date.startOfDay());
}

void CacheLocalTimeZone() {
  if (qEnvironmentVariableIsEmpty("TZ")) {
    setenv("TZ", ":/etc/localtime", 0);
    tzset();
  }
}

void SetClockForTests(std::function<QDateTime()> clock) {
  ClockFn() = std::move(clock);
}

}  // namespace platform
