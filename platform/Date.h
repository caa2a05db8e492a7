#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

namespace platform {

// A moment in local time, with the short-date and long-time forms of the default locale
// (QLocale(): the system's, unless QLocale::setDefault chose another, as tests do).
// Short dates are what the mailing history stores, so ParseDate reads back every short
// date that ShortDate writes from 1970 on (a two-digit year reads as 1970..2069).
class Date {
 public:
  Date();  // now, from the clock in force
  explicit Date(QDateTime moment);

  static Date Now() { return Date(); }

  QString ShortDate() const;
  QString LongTime() const;
  // Seconds since the epoch, with the fraction of the current second.
  double TotalSeconds() const;
  QDateTime Moment() const { return m_moment; }

 private:
  QDateTime m_moment;
};

// Date().LongTime(), for callers that ask many times a second (a report per address of an
// import): the clock is read cheaply and the text made once a second (every time when the
// form shows milliseconds).
QString LongTimeNow();

// Reads a date in the default locale's short form (as ShortDate writes it), or in ISO
// form, as the start of that day. Nothing when the text is not such a date.
std::optional<Date> ParseDate(const QString& text);

// Makes the C library keep the local time zone instead of reading /etc/localtime again
// for every clock reading (it does so while TZ is unset), which made each log row cost a
// file system look-up. Call once at process start, before any thread starts.
void CacheLocalTimeZone();

// The clock, for tests that need a fixed or moving time. An empty function restores
// the system clock.
void SetClockForTests(std::function<QDateTime()> clock);

}  // namespace platform
