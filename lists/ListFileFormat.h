#pragma once

// The line format of an address-list file: the address, one blank, then the Mailings
// column unchanged. Reading takes everything before the first blank as the address and
// everything after that one blank as the Mailings column, so blanks that start the column
// (or end it) come back as they were; a line without a blank is all address (as the
// lines of Trash are); a line whose address is empty (an empty line, or one that begins
// with a blank) is no row.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace lists {

// One line (without its line end) as a row {address, mailings}; nothing when the line is
// no row.
std::optional<QStringList> ParseListLine(const QString& line);

// The line that stands for a row, without a line end.
QString FormatListLine(const QString& address, const QString& mailings);

// Why an address typed by hand cannot be stored in column 0, or nothing when it can (as
// StorableAddress gives it). The list file must give the row back as it was: an empty
// address drops the row with its history when the list is read again, a blank splits it
// into an address and a false history, and a line end or another control character cuts
// it into rows of its own. An address also has at most kMaxAddressLength bytes.
std::optional<QString> AddressProblem(const QString& typed);

// An address typed by hand, as it is stored in column 0: without the blanks around it.
// Nothing when AddressProblem refuses it.
std::optional<QString> StorableAddress(const QString& typed);

// A whole file's bytes as rows {address, mailings}, in file order, ready for
// platform::ListModel::AppendRows. Lines end in LF, CR LF or a lone CR. Bytes that are not
// UTF-8 are kept the way platform::DecodeBytes keeps them, so writing the rows back gives
// the same bytes. The same rows as reading the file line by line with ParseListLine.
std::vector<QStringList> ParseListFile(QByteArrayView bytes);

}  // namespace lists
