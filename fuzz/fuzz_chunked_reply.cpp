// Feeds arbitrary bytes to the opt-out check as the service's reply, cut into arrivals at
// places the input picks, and holds the reader to the literal reading of the whole reply:
// the body decoded through a text stream line by line, then the fields of its lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/Text.h"
#include "platform/TextStream.h"
#include "tools/OptOut.h"

namespace {

QString LiteralBody(QByteArrayView reply) {
  std::unique_ptr<platform::TextInputStream> in = platform::TextInputStream::FromBytes(reply.toByteArray());
  int n = 0;
  quint32 total = 0;
  QString body;
  while (!in->EOF_()) {
    const QString line = in->ReadLine();
    ++n;
    if (n != 7) continue;
    total += static_cast<quint32>(tools::optout::ConvertHex2Dec(line));
    const auto wanted = static_cast<qint32>(total);
    if (body.size() == wanted) break;
    while (body.size() < wanted && !in->EOF_()) {
      body += in->ReadLine();
      if (body.size() != wanted) body += QLatin1Char('\n');
    }
    --n;
  }
  return body;
}

QStringList LiteralOptedOut(const QString& body) {
  QStringList found;
  std::unique_ptr<platform::TextInputStream> in =
      platform::TextInputStream::FromBytes(platform::EncodeText(body));
  while (!in->EOF_()) {
    const QString line = in->ReadLine();
    if (platform::StrComp(platform::NthField(line, QStringLiteral("~"), 2), QStringLiteral("In"), 0) == 0)
      found.append(platform::NthField(line, QStringLiteral("~"), 1));
  }
  return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte gives the arrivals' length (0: the whole reply at once) and how many
  // lines are read after each before the next arrives (its low bits; 0: all there are).
  if (size < 1) return 0;
  const qsizetype piece = data[0] >> 2 == 0 ? static_cast<qsizetype>(size) : data[0] >> 2;
  const int stepsPerArrival = data[0] & 3;
  const QByteArrayView reply(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size) - 1);

  tools::optout::ReplyReader reader;
  for (qsizetype at = 0; at < reply.size(); at += piece) {
    const QByteArrayView arrival = reply.sliced(at, std::min(piece, reply.size() - at));
    reader.Add(arrival);
    for (int step = 0; (stepsPerArrival == 0 || step < stepsPerArrival) && reader.Step(); ++step) {
    }
    if (reader.Complete() != tools::optout::ReplyComplete(reply.first(at + arrival.size()))) std::abort();
  }
  reader.End();
  while (reader.Step()) {
  }
  QStringList found;
  const tools::optout::AddressBytes& optedOut = reader.OptedOut();
  for (int i = 0; i < optedOut.Count(); ++i) found.append(platform::DecodeBytes(optedOut.At(i)));
  if (found != LiteralOptedOut(LiteralBody(reply))) std::abort();
  return 0;
}
