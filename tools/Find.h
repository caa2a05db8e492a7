#pragma once

#include <QPointer>
#include <QString>
#include <functional>

#include "platform/ListModel.h"

namespace tools {

// Find and Find Next look for the search text inside each address (column 0), ignoring
// letter case (platform::InStr).
bool AddressContains(const QString& address, const QString& text);

// The first row from `first` on, up to and including last() (read again at every step, so
// rows added or removed meanwhile count), whose address holds the text; -1 when none, or
// when the list goes. Yields to the event loop once per row examined.
int FindRow(const QPointer<platform::ListModel>& list, const QString& text, int first,
            const std::function<int()>& last);

// Find Next: the first row after the selected one whose address holds the text, looked for
// to the end, then from the top up to the row before the selected one (the selected row
// itself is not looked at), the selection and the rows read again at every step; -1 when
// none, or when the list goes.
int FindNextRow(const QPointer<platform::ListModel>& list, const QString& text);

// The status texts: the text in double quotes, then " found on line " and the row counted
// from 1, or " not found.".
QString FoundText(const QString& text, int row);
QString NotFoundText(const QString& text);

}  // namespace tools
