#pragma once

// The body's entity rewrite the slow, obvious way: thirteen passes, each searching from the
// start again (case-blind InStr) after every replacement. The reference for ConvertHTMLTags.

#include <QString>
#include <QStringList>

#include "platform/Text.h"

namespace oracle {

inline QString ConvertHTMLTagsLiterally(QString text, QStringList& reports) {
  static const char* const kPasses[][2] = {
      {"\u00E1", "&aacute;"}, {"\u00E9", "&eacute;"}, {"\u00ED", "&iacute;"}, {"\u00F3", "&oacute;"},
      {"\u00FA", "&uacute;"}, {"\u00C1", "&Aacute;"}, {"\u00C9", "&Eacute;"}, {"\u00CD", "&Iacute;"},
      {"\u00D3", "&Oacute;"}, {"\u00DA", "&Uacute;"}, {"\u00F1", "&ntilde;"}, {"\u00D1", "&Ntilde;"},
      {"\u00A1", "&iexcl;"}};
  for (const auto& pass : kPasses) {
    const QString character = QString::fromUtf8(pass[0]);
    const QString entity = QString::fromLatin1(pass[1]);
    for (int at = platform::InStr(text, character); at > 0; at = platform::InStr(text, character)) {
      reports << QStringLiteral("Changing ") + character + QStringLiteral(" to ") + entity;
      text = platform::Left(text, at - 1) + entity + platform::Mid(text, at + 1);
    }
  }
  return text;
}

}  // namespace oracle
