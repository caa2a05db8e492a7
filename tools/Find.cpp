#include "tools/Find.h"

#include "platform/EventLoop.h"
#include "platform/Text.h"

namespace tools {

bool AddressContains(const QString& address, const QString& text) {
  return platform::InStr(address, text) != 0;
}

int FindRow(const QPointer<platform::ListModel>& list, const QString& text, int first,
            const std::function<int()>& last) {
  for (int row = first; list && row <= last(); ++row) {
    if (AddressContains(list->Cell(row, 0), text)) return row;
    platform::YieldToEventLoop();
  }
  return -1;
}

int FindNextRow(const QPointer<platform::ListModel>& list, const QString& text) {
  const int row = FindRow(list, text, list ? list->ListIndex() + 1 : 0,
                          [list] { return list ? list->ListCount() - 1 : -1; });
  if (row >= 0) return row;
  return FindRow(list, text, 0, [list] { return list ? list->ListIndex() - 1 : -1; });
}

QString FoundText(const QString& text, int row) {
  return QLatin1Char('"') + text + QStringLiteral("\" found on line ") +
         platform::Str(static_cast<long long>(row) + 1) + QLatin1Char('.');
}

QString NotFoundText(const QString& text) {
  return QLatin1Char('"') + text + QStringLiteral("\" not found.");
}

}  // namespace tools
