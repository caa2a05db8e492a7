#include <gtest/gtest.h>

#include <QLocale>

#include "platform/Date.h"

using namespace platform;

namespace {

class DateTest : public ::testing::Test {
 protected:
  void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(DateTest, ShortDatesReadBackInEveryLocale) {
  std::vector<QDate> dates = {QDate(2024, 2, 29)};
  for (QDate d(1970, 1, 1); d.year() < 2070; d = d.addDays(97)) dates.push_back(d);
  for (int year : {1999, 2000, 2001, 2009, 2010, 2026, 2068, 2069})
    dates.insert(dates.end(), {QDate(year, 1, 1), QDate(year, 12, 31), QDate(year, 2, 28)});
  QStringList failures;
  for (const QLocale& locale :
       QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
    QLocale::setDefault(locale);
    for (const QDate& day : dates) {
      const QString written = Date(QDateTime(day, QTime(13, 45, 7))).ShortDate();
      const auto read = ParseDate(written);
      if (!read || read->Moment().date() != day)
        failures << locale.name() + ": " + written + " for " + day.toString(Qt::ISODate);
    }
  }
  EXPECT_EQ(failures.mid(0, 10).join('\n').toStdString(), "") << failures.size() << " in all";
}

// The two-digit window is 1970..2069; blanks around a date (as cut from a history) are
// ignored; the ISO form reads too; a date must be whole.
TEST_F(DateTest, TwoDigitYearsAndOtherForms) {
  QLocale::setDefault(QLocale(QStringLiteral("en_US")));
  const std::pair<const char*, const char*> cases[] = {// text, the date read
                                                       {"12/31/69", "2069-12-31"},
                                                       {"1/1/70", "1970-01-01"},
                                                       {" 1/2/26 ", "2026-01-02"},
                                                       {"2026-01-02", "2026-01-02"},
                                                       {"2/30/26", ""},
                                                       {"Launch", ""},
                                                       {"1/2/26)", ""}};
  for (const auto& [text, iso] : cases) {
    const auto read = ParseDate(QString::fromUtf8(text));
    EXPECT_EQ(read ? read->Moment() : QDateTime(),
              QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate))
        << text;
  }
}

// The log formats each second once: a reading must still give the time of its own second,
// in the locale in force when it is read.
TEST_F(DateTest, LongTimeFollowsTheSecondAndTheLocale) {
  const std::pair<const char*, QTime> readings[] = {
      {"en_US", QTime(13, 14, 15, 0)}, {"en_US", QTime(13, 14, 15, 999)}, {"en_US", QTime(13, 14, 16, 0)},
      {"de_DE", QTime(13, 14, 16, 1)}, {"de_DE", QTime(1, 14, 16, 1)},    {"en_US", QTime(1, 14, 16, 1)}};
  for (const auto& [locale, time] : readings) {
    QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
    EXPECT_EQ(Date(QDateTime(QDate(2026, 5, 4), time)).LongTime(),
              QLocale().toString(time, QLocale::LongFormat))
        << locale << " " << time.toString(u"hh:mm:ss.zzz").toStdString();
  }
}

}  // namespace
