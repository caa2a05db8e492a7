#include <gtest/gtest.h>

#include <QLocale>

#include "platform/Date.h"

using namespace platform;

namespace {

class DateTest : public ::testing::Test {
 protected:
  void TearDown() override {
    QLocale::setDefault(QLocale::system());
    SetClockForTests({});
  }
};

std::vector<QDate> SampleDates() {
  std::vector<QDate> dates;
  for (QDate d(1970, 1, 1); d.year() < 2070; d = d.addDays(97)) dates.push_back(d);
  for (int year : {1999, 2000, 2001, 2009, 2010, 2026, 2068, 2069}) {
    dates.emplace_back(year, 1, 1);
    dates.emplace_back(year, 12, 31);
    dates.emplace_back(year, 2, 28);
  }
  dates.emplace_back(2024, 2, 29);
  return dates;
}

TEST_F(DateTest, ShortDatesReadBackInEveryLocale) {
  const auto locales =
      QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
  const auto dates = SampleDates();
  int failures = 0;
  QString lastFailing;
  for (const QLocale& locale : locales) {
    QLocale::setDefault(locale);
    for (const QDate& day : dates) {
      const QString written = Date(QDateTime(day, QTime(13, 45, 7))).ShortDate();
      const auto read = ParseDate(written);
      if (!read || read->Moment().date() != day) {
        ++failures;
        if (lastFailing != locale.name()) {
          lastFailing = locale.name();
          ADD_FAILURE() << locale.name().toStdString() << " "
                        << locale.dateFormat(QLocale::ShortFormat).toStdString() << ": "
                        << written.toStdString() << " for " << day.toString(Qt::ISODate).toStdString()
                        << " read as "
                        << (read ? read->Moment().date().toString(Qt::ISODate).toStdString() : "nothing");
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST_F(DateTest, TwoDigitYearsAndOtherFormsTable) {
  struct Case {
    const char* locale = nullptr;
    const char* text = nullptr;
    QDate expected;  // invalid: not a date
  };
  const Case cases[] = {
      {"en_US", "1/2/26", QDate(2026, 1, 2)},
      {"en_US", "12/31/69", QDate(2069, 12, 31)},  // the last year of the two-digit window
      {"en_US", "1/1/70", QDate(1970, 1, 1)},      // the first
      {"en_US", " 1/2/26 ", QDate(2026, 1, 2)},    // blanks around it, as cut from a history
      {"en_US", "2026-01-02", QDate(2026, 1, 2)},  // ISO form in any locale
      {"en_US", "2/30/26", QDate()},
      {"en_US", "13/1/26", QDate()},
      {"en_US", "", QDate()},
      {"en_US", "Launch", QDate()},
      {"en_US", "1/2/26)", QDate()},
      {"de_DE", "02.01.26", QDate(2026, 1, 2)},
      {"en_GB", "02/01/2026", QDate(2026, 1, 2)},
      {"ja_JP", "2026/01/02", QDate(2026, 1, 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " '" + c.text + "'");
    QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
    const auto read = ParseDate(QString::fromUtf8(c.text));
    EXPECT_EQ(read.has_value(), c.expected.isValid());
    if (read) {
      EXPECT_EQ(read->Moment().date(), c.expected);
      EXPECT_EQ(read->Moment().time(), QTime(0, 0));
    }
  }
}

TEST_F(DateTest, ClockAndSeconds) {
  const QDateTime fixed = QDateTime::fromMSecsSinceEpoch(1767225600123LL);  // 2026-01-01 00:00:00.123 UTC
  SetClockForTests([] { return QDateTime::fromMSecsSinceEpoch(1767225600123LL); });
  EXPECT_EQ(Date().Moment(), fixed);
  EXPECT_EQ(Date::Now().TotalSeconds(), 1767225600.123);
  EXPECT_EQ(Date(QDateTime::fromMSecsSinceEpoch(0)).TotalSeconds(), 0.0);

  QLocale::setDefault(QLocale(QStringLiteral("en_US")));
  const Date moment(QDateTime(QDate(2026, 3, 4), QTime(15, 6, 7)));
  EXPECT_EQ(moment.ShortDate(), QStringLiteral("3/4/26"));
  EXPECT_EQ(moment.LongTime().left(7), QStringLiteral("3:06:07"));

  SetClockForTests({});
  const QDateTime before = QDateTime::currentDateTime();
  const QDateTime now = Date().Moment();
  EXPECT_LE(before, now);
}

}  // namespace
