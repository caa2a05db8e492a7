#pragma once

// The line format of an address-list file: the address, one blank, then the Mailings
// column unchanged. Reading takes everything before the first blank as the address and
// everything after that one blank as the Mailings column, so blanks that start the column
// (or end it) come back as they were; a line without a blank is all address (as the
// lines of Trash are); a line whose address is empty (an empty line, or one that begins
// with a blank) is no row.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstring>
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

// A whole file's bytes as rows {address, mailings}, in file order. Lines end in LF, CR LF
// or a lone CR. Bytes that are not UTF-8 are kept the way platform::DecodeBytes keeps
// them, so writing the rows back gives the same bytes. The same rows as reading the file
// line by line with ParseListLine, and as ListFileSplitter gives.
std::vector<QStringList> ParseListFile(QByteArrayView bytes);

// Calls row(address, mailings) for each line of `bytes` that is a row, with both fields as
// bytes (their text is what DecodeBytes makes of them, as ParseListLine splits the decoded
// line: a blank or a line end is never part of a character). Returns where the last,
// unfinished line starts; with `whole`, that line is taken as the file's last line.
template <typename Row>
qsizetype SplitListLines(QByteArrayView bytes, bool whole, Row&& row);

// Cuts a list file's bytes, handed in pieces of any size as they are read, into the rows
// that reading it whole gives: a line begun in one piece and ended in a later one comes
// whole. The fields handed to row() stay valid until the next call.
class ListFileSplitter {
 public:
  template <typename Row>
  void Feed(QByteArrayView piece, Row&& row);
  // The end of the file: its last line, when it ends without a line end.
  template <typename Row>
  void Finish(Row&& row);

 private:
  QByteArray m_unfinished;
  QByteArray m_finished;
};

// ---- Templates --------------------------------------------------------------------------

namespace detail {

template <typename Row>
void SplitListLine(QByteArrayView line, Row& row) {
  if (line.isEmpty() || line.front() == ' ') return;
  const qsizetype blank = line.indexOf(' ');
  if (blank < 0) {
    row(line, QByteArrayView());
  } else {
    row(line.first(blank), line.sliced(blank + 1));
  }
}

}  // namespace detail

template <typename Row>
qsizetype SplitListLines(QByteArrayView bytes, bool whole, Row&& row) {
  const char* const data = bytes.data();
  const qsizetype n = bytes.size();
  // The next LF and the next CR at or after pos, each found once: a file whose lines end
  // in CR alone must not be searched to its end for an LF at every line. -1: none left.
  qsizetype nextLF = -2;
  qsizetype nextCR = -2;
  const auto next = [&](char byte, qsizetype& at, qsizetype pos) {
    if (at == -1 || at >= pos) return;
    const void* found = std::memchr(data + pos, byte, static_cast<size_t>(n - pos));
    at = found == nullptr ? -1 : static_cast<const char*>(found) - data;
  };
  qsizetype pos = 0;
  while (pos < n) {
    next('\n', nextLF, pos);
    next('\r', nextCR, pos);
    qsizetype end = nextLF < 0 ? nextCR : (nextCR < 0 ? nextLF : std::min(nextLF, nextCR));
    if (end < 0) {
      if (!whole) return pos;
      end = n;
    }
    // Any line end, CR LF included: the empty line between a CR and its LF is no row.
    detail::SplitListLine(bytes.sliced(pos, end - pos), row);
    pos = end + 1;
  }
  return n;
}

template <typename Row>
void ListFileSplitter::Feed(QByteArrayView piece, Row&& row) {
  qsizetype from = 0;
  if (!m_unfinished.isEmpty()) {
    qsizetype end = 0;
    while (end < piece.size() && piece[end] != '\n' && piece[end] != '\r') ++end;
    if (end == piece.size()) {
      m_unfinished.append(piece);
      return;
    }
    // The line begun before ends here; it is kept apart until the next call.
    m_finished = std::move(m_unfinished);
    m_finished.append(piece.first(end));
    m_unfinished = QByteArray();
    detail::SplitListLine(QByteArrayView(m_finished), row);
    from = end + 1;
  }
  const QByteArrayView rest = piece.sliced(from);
  m_unfinished = rest.sliced(SplitListLines(rest, false, row)).toByteArray();
}

template <typename Row>
void ListFileSplitter::Finish(Row&& row) {
  m_finished = std::move(m_unfinished);
  m_unfinished = QByteArray();
  detail::SplitListLine(QByteArrayView(m_finished), row);
}

}  // namespace lists
