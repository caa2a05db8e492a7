// Message files and the Preferences file read from any bytes: the two message readers agree
// on sender and subject always, and on the body whenever the third line names a format;
// the entity rewrite agrees with its literal passes; settings written and read back are
// the settings, each kept on its line; the first lines read at start-up are a text stream's.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/Preferences.h"
#include "mailing/MessageFile.h"
#include "platform/Text.h"
#include "platform/TextStream.h"
#include "tests/support/ConvertHTMLTagsOracle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

  QString from, subject, body;
  auto forSending = platform::TextInputStream::FromBytes(bytes);
  mailing::LoadEmail(*forSending, from, subject, body);
  auto forWindow = platform::TextInputStream::FromBytes(bytes);
  const mailing::ChosenMessage chosen = mailing::ReadChosenMessage(*forWindow);
  if (chosen.from != from || chosen.subject != subject) std::abort();
  auto lines = platform::TextInputStream::FromBytes(bytes);
  lines->ReadLine();
  lines->ReadLine();
  const QString format = lines->ReadLine();
  if (format == QStringLiteral("HTML") || format == QStringLiteral("Plain Text")) {
    if (chosen.body != body || chosen.html != (format == QStringLiteral("HTML"))) std::abort();
  }

  const QString text = platform::DecodeBytes(bytes.left(4096));
  QStringList reports, literalReports;
  const QString converted = mailing::ConvertHTMLTags(text, [&](const QString& r) { reports << r; });
  if (converted != oracle::ConvertHTMLTagsLiterally(text, literalReports) || reports != literalReports)
    std::abort();

  QStringList values = text.split(QChar(0));
  while (values.size() < 7) values << QString();
  const app::Preferences settings{values[0], values[1], values[2], size % 2 == 1,
                                  values[4], values[5], values[6]};
  auto file = platform::TextInputStream::FromBytes(
      platform::EncodeText(app::PreferencesLines(settings).join(QLatin1Char('\n')) + QLatin1Char('\n')));
  QStringList read;
  for (int i = 0; i < 7; ++i) read << file->ReadLine();
  const app::Preferences back = app::ParsePreferences(read);
  const app::Preferences expected{platform::OneLine(values[0]), platform::OneLine(values[1]),
                                  platform::OneLine(values[2]), settings.xduplicates,
                                  platform::OneLine(values[4]), platform::OneLine(values[5]),
                                  platform::OneLine(values[6])};
  if (!(back == expected)) std::abort();
  QStringList streamLines;
  auto stream = platform::TextInputStream::FromBytes(bytes);
  for (int i = 0; i < 7; ++i) streamLines << stream->ReadLine();
  // Fuzzed inputs are shorter than the longest line: all of them are read, unless the file
  // goes on after them and the lines do not all end within them.
  const std::optional<QStringList> whole = app::SplitFirstLines(bytes, 7, false);
  const std::optional<QStringList> cut = app::SplitFirstLines(bytes, 7, true);
  if (whole != streamLines || (cut && *cut != streamLines)) std::abort();
  return 0;
}
