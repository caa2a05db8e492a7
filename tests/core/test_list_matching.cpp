#include <gtest/gtest.h>

#include <QRegularExpression>
#include <algorithm>
#include <random>

#include "platform/ListModel.h"
#include "support/ListToolsOracle.h"
#include "tools/AddressMatch.h"
#include "tools/AddressPattern.h"

namespace {

using Outcome = tools::AddressPattern::Outcome;

// Find all matches and rejects exactly as QRegularExpression does, with the same words.
TEST(ListMatching, PatternsMatchAsQRegularExpression) {
  const QStringList patterns =
      QString(
          R"(example\.com$ ^A \bbob\b [aeiou]{2} [^a-z0-9@.] (a)\1 \d+@ x? [[] []] \x41 \w+@\w+ o \x{e9} ^$ . )"
          R"((?i)ANN a|b|c ( a{2,1} [z-a] \ (?<n *)")
          .split(' ');
  // clang-format off
  const QStringList subjects = {"ann@example.com", "Ann@Example.COM", "bob@x.org", "a-b@x", "aa@x.org", "", "[x]@y.z",
      QString::fromUtf8("j\xC3\xA9r\xC3\xB4me@x.fr"), QString("ab") + QChar(0xDC80) + "cd",
      QString::fromUtf8("\xF0\x9F\x98\x80@x.org"), "A1@x", "x\ny", QString("a@x") + QChar(0xD83D),
      QString(QChar(0xDE00)) + QChar(0xD83D) + "o"};
  // clang-format on
  for (const QString& text : patterns) {
    const QRegularExpression reference(text);
    tools::AddressPattern pattern(text);
    ASSERT_EQ(pattern.IsValid(), reference.isValid()) << text.toStdString();
    EXPECT_EQ(pattern.ErrorText(), reference.isValid() ? QString() : reference.errorString())
        << text.toStdString();
    if (!reference.isValid()) continue;
    QString scratch;
    for (const QString& subject : subjects) {
      const auto expected = reference.match(subject).hasMatch() ? Outcome::Match : Outcome::NoMatch;
      EXPECT_EQ(pattern.Matches(subject), expected) << text.toStdString() << " on " << subject.toStdString();
      if (std::all_of(subject.begin(), subject.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        EXPECT_EQ(pattern.MatchesAscii(subject.toLatin1(), scratch), expected)
            << text.toStdString() << " on " << subject.toStdString();
      }
    }
  }
}

// Where the engine gives up on a backtracking pattern the subject may match: that is no
// "no match", and the engine's words name the limit.
TEST(ListMatching, GivingUpIsNoNoMatch) {
  tools::AddressPattern pattern("^(?:(a|aa)+$|a)");
  QString scratch;
  EXPECT_EQ(pattern.Matches(QString(60, 'a') + QChar(0xE9)), Outcome::GaveUp);
  EXPECT_EQ(pattern.MatchesAscii(QByteArray(60, 'a') + "@x", scratch), Outcome::GaveUp);
  EXPECT_EQ(pattern.ErrorText(), QString("match limit exceeded"));
}

// "Remove all from Main List" against the literal walks, on lists of repeats and case
// variants: the same rows leave both lists, and Trash gets the same lines.
TEST(ListMatching, BulkRemovalAgreesWithTheLiteralWalk) {
  std::mt19937 random(3104);
  const QStringList pool = {"ann@example.com", "Ann@example.com", "ANN@EXAMPLE.COM", "bob@x.org",
                            "cid@y.net",       "dan@z.de",        "eve@example.com", ""};
  const auto draw = [&](int count) {
    QStringList list;
    for (int i = 0; i < count; ++i) list.append(pool[random() % pool.size()]);
    return list;
  };
  for (int trial = 0; trial < 200; ++trial) {
    oracle::LiteralBulkRemoval literal{draw(random() % 12), draw(random() % 30), {}};
    platform::ListModel listed(1);
    platform::ListModel main(2);
    for (const QString& a : literal.listed) listed.AddRow(a);
    for (const QString& a : literal.main) main.AddRow(QStringList{a, "News(1/2/26) "});
    literal.Run();

    const tools::BulkRemoval plan = tools::PlanBulkRemoval(listed, main);
    QStringList listedLeft;
    QStringList mainLeft;
    QStringList trash;
    std::vector<bool> gone(static_cast<size_t>(main.ListCount()));
    for (const int row : plan.mainRows) trash.append(main.Cell(row, 0));
    for (const int row : plan.mainRows) gone[row] = true;
    for (int r = 0; r < listed.ListCount(); ++r)
      if (plan.repeats[r] == 0) listedLeft.append(listed.Cell(r, 0));
    for (int r = 0; r < main.ListCount(); ++r)
      if (!gone[r]) mainLeft.append(main.Cell(r, 0));
    ASSERT_EQ(listedLeft, literal.listed) << trial;
    ASSERT_EQ(mainLeft, literal.main) << trial;
    ASSERT_EQ(trash, literal.trash) << trial;
  }
}

}  // namespace
