#pragma once

// The address scanner the slow, obvious way, step for step as designed (quadratic), plus
// the program's own rule: a candidate over lists::kMaxAddressLength is rejected.

#include <QString>

#include "lists/AddressScanner.h"
#include "platform/EventLoop.h"
#include "platform/Text.h"

namespace oracle {

// `original` is `upper` before upper-casing (empty for the slashes); above 127 never counts.
inline bool IsAddressCharacter(const QString& upper, const QString& original) {
  if (!original.isEmpty() && platform::Asc(original) > 127) return false;
  const int code = platform::Asc(upper);
  return (code >= 65 && code <= 90) || (code >= 48 && code <= 57) || code == 45 || code == 46 || code == 95;
}

inline QString FindEmailsLiterally(const QString& text) {
  QString result;
  QString remainder = text;
  for (;;) {
    const QString scan = QStringLiteral("/") + platform::Uppercase(remainder) + QStringLiteral("/");
    const int at = platform::InStr(scan, QStringLiteral("@"));
    if (at == 0) return result;

    auto addressCharAt = [&](int position) {
      return IsAddressCharacter(platform::Mid(scan, position, 1), platform::Mid(remainder, position - 1, 1));
    };
    int position = at;
    while (position > 1) {
      position -= 1;
      platform::YieldToEventLoop();
      if (!addressCharAt(position)) break;
    }
    const int first = position + 1;
    position = at;
    while (position < scan.size()) {
      position += 1;
      platform::YieldToEventLoop();
      if (!addressCharAt(position)) break;
    }
    int last = position - 1;
    while (platform::Mid(scan, last, 1) == QStringLiteral(".")) last -= 1;

    QString candidate = platform::Mid(remainder, first - 1, last - first + 1);
    const QString domain = platform::NthField(candidate, QStringLiteral("@"), 2);
    if (candidate.size() < 6) candidate.clear();
    if (candidate.size() > lists::kMaxAddressLength) candidate.clear();
    if (domain.size() < 2) candidate.clear();
    if (platform::InStr(domain, QStringLiteral(".")) == 0) candidate.clear();
    if (platform::InStr(domain, QStringLiteral(".")) > domain.size() - 2) candidate.clear();

    if (!candidate.isEmpty()) {
      if (!result.isEmpty()) result += QStringLiteral(" ");
      result += candidate;
    }

    const int keep = remainder.size() - last;
    if (keep < 1) return result;
    remainder = platform::Right(remainder, keep);
    platform::YieldToEventLoop();
  }
}

}  // namespace oracle
