#include "lists/AddressScanner.h"

#include <array>
#include <cstring>

#include "platform/EventLoop.h"

namespace lists {
namespace {

// Characters examined between two offers to run the event loop: small enough that a
// drop of many megabytes keeps the window live, large enough to cost nothing.
constexpr qsizetype kYieldEvery = 16384;

constexpr std::array<bool, 128> MakeAddressTable() {
  std::array<bool, 128> table{};
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) table[c] = true;
  for (int c = '0'; c <= '9'; ++c) table[c] = true;
  table['-'] = table['.'] = table['_'] = true;
  return table;
}
constexpr std::array<bool, 128> kAddressChar = MakeAddressTable();

// Lower-case ASCII letters count because the text is compared upper-cased; nothing above
// 127 counts, whatever upper-casing makes of it (the dotless "ı" becomes "I"), since an
// address with such a letter cannot be mailed.
template <typename Unit>
inline bool IsAddressChar(Unit c) {
  const auto code = static_cast<std::make_unsigned_t<Unit>>(c);
  return code < 128 && kAddressChar[code];
}

inline qsizetype FindAt(const char* text, qsizetype from, qsizetype to) {
  const void* hit = std::memchr(text + from, '@', static_cast<size_t>(to - from));
  return hit == nullptr ? -1 : static_cast<const char*>(hit) - text;
}

inline qsizetype FindAt(const char16_t* text, qsizetype from, qsizetype to) {
  const qsizetype hit = QStringView(text + from, to - from).indexOf(u'@');
  return hit < 0 ? -1 : from + hit;
}

// The scan proper, over UTF-16 code units or bytes. `restart` is where the rest of the
// text begins after the last candidate: a left scan never reaches before it, which
// matters only when the last candidate lost trailing dots (the first is consumed, the
// others start the rest of the text and may start the next address).
template <typename Unit, typename Found>
void Scan(const Unit* text, qsizetype n, Found&& found) {
  qsizetype restart = 0;
  qsizetype searchFrom = 0;
  qsizetype sinceYield = 0;
  while (searchFrom < n) {
    // Find the next "@", offering the event loop a turn between stretches of text.
    const qsizetype searchEnd = std::min(n, searchFrom + kYieldEvery);
    const qsizetype at = FindAt(text, searchFrom, searchEnd);
    if (at < 0) {
      searchFrom = searchEnd;
      platform::YieldToEventLoop();
      sinceYield = 0;
      continue;
    }

    qsizetype start = at;
    while (start > restart && IsAddressChar(text[start - 1])) --start;
    qsizetype stop = at + 1;
    while (stop < n && IsAddressChar(text[stop])) ++stop;
    qsizetype last = stop - 1;
    while (text[last] == Unit('.')) --last;  // the "@" ends this

    const qsizetype length = last - start + 1;
    const qsizetype domainLength = last - at;
    if (length >= 6 && length <= kMaxAddressLength && domainLength >= 2) {
      qsizetype dot = at + 1;
      while (dot <= last && text[dot] != Unit('.')) ++dot;
      // Keep it when the domain has a dot with at least two characters after it.
      if (dot <= last && last - dot >= 2) found(start, length);
    }

    sinceYield += stop - searchFrom;
    restart = searchFrom = last + 2;
    if (sinceYield >= kYieldEvery) {
      platform::YieldToEventLoop();
      sinceYield = 0;
    }
  }
}

template <typename Unit>
QString Join(const Unit* text, qsizetype n) {
  QString result;
  Scan(text, n, [&](qsizetype start, qsizetype length) {
    if (!result.isEmpty()) result += u' ';
    if constexpr (sizeof(Unit) == 1) {
      result += QLatin1StringView(text + start, length);  // an address is ASCII
    } else {
      result += QStringView(text + start, length);
    }
  });
  return result;
}

}  // namespace

bool IsAddressBoundary(char byte) {
  return byte != '@' && !IsAddressChar(byte);
}

QString FindEmails(const QString& text) {
  // A shared copy keeps the characters alive whatever the event loop does to the caller's.
  const QString keep = text;  // NOLINT(performance-unnecessary-copy-initialization)
  return Join(QStringView(keep).utf16(), keep.size());
}

QString FindEmails(QByteArrayView bytes) {
  return Join(bytes.data(), bytes.size());
}

void ForEachEmail(QStringView text, const FoundAddress& found) {
  Scan(text.utf16(), text.size(), found);
}

void ForEachEmail(QByteArrayView bytes, const FoundAddress& found) {
  Scan(bytes.data(), bytes.size(), found);
}

}  // namespace lists
