#include "platform/ListModel.h"

#include <QHashFunctions>
#include <QVarLengthArray>
#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/Text.h"

namespace platform {

namespace {

using StoredCell = ListModel::StoredCell;
using CellForm = ListModel::CellForm;

// A record holds, for each column, a header, then the stored value's bytes. The header
// is the byte count shifted left by two with the form in the low bits, written seven bits
// a byte, low bits first, the high bit set on every byte but the last.
char* PutHeader(char* p, quint64 value) {
  while (value >= 0x80) {
    *p++ = static_cast<char>(value | 0x80);
    value >>= 7;
  }
  *p++ = static_cast<char>(value);
  return p;
}

size_t HeaderSize(quint64 value) {
  size_t size = 1;
  while (value >= 0x80) {
    value >>= 7;
    ++size;
  }
  return size;
}

[[gnu::always_inline]] inline const char* GetHeader(const char* p, quint64* value) {
  quint64 v = 0;
  int shift = 0;
  for (;;) {
    const auto byte = static_cast<unsigned char>(*p++);
    v |= quint64(byte & 0x7F) << shift;
    if (byte < 0x80) break;
    shift += 7;
  }
  *value = v;
  return p;
}

quint64 HeaderOf(const StoredCell& cell) {
  return quint64(cell.bytes.size()) << 2 | static_cast<quint64>(cell.form);
}

[[gnu::always_inline]] inline StoredCell CellIn(const char* record, int column) {
  const char* p = record;
  for (int c = 0;; ++c) {
    quint64 header = 0;
    p = GetHeader(p, &header);
    const auto size = static_cast<qsizetype>(header >> 2);
    if (c == column) return {QByteArrayView(p, size), static_cast<CellForm>(header & 3)};
    p += size;
  }
}

size_t RecordSize(const char* record, int columns) {
  const char* p = record;
  for (int c = 0; c < columns; ++c) {
    quint64 header = 0;
    p = GetHeader(p, &header);
    p += header >> 2;
  }
  return static_cast<size_t>(p - record);
}

bool IsAscii(QByteArrayView bytes) {
  const char* p = bytes.data();
  const qsizetype n = bytes.size();
  qsizetype i = 0;
  quint64 any = 0;
  for (; i + 8 <= n; i += 8) {
    quint64 word;
    std::memcpy(&word, p + i, sizeof word);
    any |= word;
  }
  for (; i < n; ++i) any |= static_cast<unsigned char>(p[i]);
  return (any & 0x8080808080808080ULL) == 0;
}

// Latin-1 bytes as UTF-16 units, eight at a time where the machine can.
[[gnu::always_inline]] inline void Widen(const char* from, qsizetype n, char16_t* to) {
  const auto* in = reinterpret_cast<const unsigned char*>(from);
  qsizetype i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= n; i += 8) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_unpacklo_epi8(bytes, zero));
  }
#endif
  for (; i < n; ++i) to[i] = in[i];
}

// UTF-16 units below 0x80 as bytes, eight at a time where the machine can.
void Narrow(const char16_t* from, qsizetype n, char* to) {
  qsizetype i = 0;
#if defined(__SSE2__)
  for (; i + 8 <= n; i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to + i), _mm_packus_epi16(units, units));
  }
#endif
  for (; i < n; ++i) to[i] = static_cast<char>(from[i]);
}

// Every unit or-ed together: below 0x80 when the text is ASCII.
char16_t OrOfUnits(const char16_t* units, qsizetype n) {
  qsizetype i = 0;
  char16_t all = 0;
#if defined(__SSE2__)
  __m128i any = _mm_setzero_si128();
  for (; i + 8 <= n; i += 8)
    any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i)));
  alignas(16) char16_t lanes[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), any);
  for (const char16_t lane : lanes) all |= lane;
#endif
  for (; i < n; ++i) all |= units[i];
  return all;
}

// The largest number of UTF-16 units the cell's text can take.
[[gnu::always_inline]] inline qsizetype MostUnits(const StoredCell& cell) {
  return cell.form == CellForm::Utf16 ? cell.bytes.size() / 2 : cell.bytes.size();
}

// Writes the cell's text at out (room for MostUnits); returns the units written.
[[gnu::always_inline]] inline qsizetype WriteText(const StoredCell& cell, char16_t* out) {
  const qsizetype n = cell.bytes.size();
  switch (cell.form) {
    case CellForm::Ascii:
      Widen(cell.bytes.data(), n, out);
      return n;
    case CellForm::Bytes:
      return DecodeBytesTo(cell.bytes, out);
    case CellForm::Utf16:
      std::memcpy(out, cell.bytes.data(), static_cast<size_t>(n));
      return n / 2;
  }
  return 0;
}

QString TextOf(const StoredCell& cell) {
  if (cell.bytes.isEmpty()) return QString();
  if (cell.form == CellForm::Ascii) return QString::fromLatin1(cell.bytes);
  QString text(MostUnits(cell), Qt::Uninitialized);
  text.truncate(WriteText(cell, reinterpret_cast<char16_t*>(text.data())));
  return text;
}

void AppendText(const StoredCell& cell, QString& out) {
  const qsizetype start = out.size();
  out.resize(start + MostUnits(cell));
  out.truncate(start + WriteText(cell, reinterpret_cast<char16_t*>(out.data()) + start));
}

void AppendFileBytes(const StoredCell& cell, QByteArray& out) {
  if (cell.form != CellForm::Utf16) {
    out.append(cell.bytes);
    return;
  }
  AppendEncodedText(out, TextOf(cell));
}

// Appends the text's stored value to `out` and returns its form.
CellForm EncodeTo(QStringView text, QByteArray& out) {
  const char16_t* units = text.utf16();
  const qsizetype n = text.size();
  const char16_t all = OrOfUnits(units, n);
  const qsizetype start = out.size();
  if (all < 0x80) {
    out.resize(start + n);
    Narrow(units, n, out.data() + start);
    return CellForm::Ascii;
  }
  bool surrogate = false;
  for (qsizetype i = 0; i < n && !surrogate; ++i) surrogate = QChar::isSurrogate(units[i]);
  if (!surrogate) {
    AppendEncodedText(out, text);
    return CellForm::Bytes;
  }
  // Bytes kept from a file come back from their file form; a stray surrogate, or kept
  // bytes that would join into a character, do not.
  const QByteArray bytes = EncodeText(text.toString());
  if (DecodeBytes(bytes) == text) {
    out.append(bytes);
    return CellForm::Bytes;
  }
  out.resize(start + n * 2);
  std::memcpy(out.data() + start, units, static_cast<size_t>(n) * 2);
  return CellForm::Utf16;
}

}  // namespace

ListModel::ListModel(int columnCount, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::max(1, columnCount)) {}

ListModel::~ListModel() {
  KeepSnapshotRows();
}

void ListModel::CopyRowsIntoSnapshots() {
  for (const std::weak_ptr<Snapshot::Rows>& reading : m_readingSnapshots) {
    const std::shared_ptr<Snapshot::Rows> rows = reading.lock();
    if (!rows) continue;
    // The gap has not moved since the snapshot (that would have come here first); rows
    // appended since lie past the snapshot's.
    const auto first = m_rows.begin();
    const int before = std::min(rows->gapRow, rows->count);
    rows->records.reserve(static_cast<size_t>(rows->count));
    rows->records.insert(rows->records.end(), first, first + before);
    const auto after = first + rows->gapRow + rows->gapRows;
    rows->records.insert(rows->records.end(), after, after + (rows->count - before));
    rows->list = nullptr;
  }
  m_readingSnapshots.clear();
}

void ListModel::SetHeadings(const QStringList& headings) {
  m_headings = headings;
  emit headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
}

void ListModel::SetHasHeading(bool hasHeading) {
  if (m_hasHeading == hasHeading) return;
  m_hasHeading = hasHeading;
  emit headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
}

bool ListModel::HasHeading() const {
  return m_hasHeading;
}

QString ListModel::Heading(int column) const {
  return m_headings.value(column);
}

void ListModel::AddRow(const QString& firstCell) {
  AddRow(QStringList{firstCell});
}

void ListModel::AddRow(const QStringList& cells) {
  const int row = ListCount();
  beginInsertRows({}, row, row);
  // The last row's slot is the vector's end whether or not a gap lies before it.
  AppendTextRows(1, [&](size_t, int c) { return c < cells.size() ? QStringView(cells[c]) : QStringView(); });
  m_selected.push_back(0);
  m_lastIndex = row;
  ++m_rowEdits;
  endInsertRows();
}

// ---- Records ----------------------------------------------------------------------------

[[gnu::always_inline]] inline ListModel::StoredCell ListModel::CellOf(Ref record, int column) const {
  if (record == kEmptyRow) return {};
  return CellIn(m_arena.At(record), column);
}

ListModel::Ref ListModel::WriteRecord(const StoredCell* cells) {
  size_t size = 0;
  bool empty = true;
  for (int c = 0; c < m_columns; ++c) {
    size += HeaderSize(HeaderOf(cells[c])) + static_cast<size_t>(cells[c].bytes.size());
    empty = empty && cells[c].bytes.isEmpty();
  }
  if (empty) return kEmptyRow;
  Ref record = 0;
  char* p = m_arena.Allocate(size, &record);
  for (int c = 0; c < m_columns; ++c) {
    p = PutHeader(p, HeaderOf(cells[c]));
    if (!cells[c].bytes.isEmpty())
      std::memcpy(p, cells[c].bytes.data(), static_cast<size_t>(cells[c].bytes.size()));
    p += cells[c].bytes.size();
  }
  return record;
}

void ListModel::ReplaceCell(Ref& record, int column, const StoredCell& cell) {
  QVarLengthArray<StoredCell, 8> cells(m_columns);
  size_t size = 0;
  for (int c = 0; c < m_columns; ++c) {
    cells[c] = c == column ? cell : CellOf(record, c);
    size += HeaderSize(HeaderOf(cells[c])) + static_cast<size_t>(cells[c].bytes.size());
  }
  const size_t old = record == kEmptyRow ? 0 : RecordSize(m_arena.At(record), m_columns);
  // A record that no snapshot shares and that the new one fits in is written over (made
  // aside first: the cells kept are read from it); otherwise a new one is written.
  if (size <= old && !m_arena.Shared(record)) {
    QVarLengthArray<char, 256> bytes(static_cast<qsizetype>(size));
    char* p = bytes.data();
    for (int c = 0; c < m_columns; ++c) {
      p = PutHeader(p, HeaderOf(cells[c]));
      if (!cells[c].bytes.isEmpty())
        std::memcpy(p, cells[c].bytes.data(), static_cast<size_t>(cells[c].bytes.size()));
      p += cells[c].bytes.size();
    }
    std::memcpy(const_cast<char*>(m_arena.At(record)), bytes.data(), size);
    m_wasted += old - size;
    return;
  }
  const Ref updated = WriteRecord(cells.data());
  m_wasted += old;
  record = updated;
}

ListModel::StoredCell ListModel::Encode(QStringView text) {
  m_encoded.resize(0);
  const CellForm form = EncodeTo(text, m_encoded);
  return {QByteArrayView(m_encoded), form};
}

template <typename CellText>
void ListModel::AppendTextRows(size_t count, CellText cellText) {
  QVarLengthArray<qsizetype, 8> ends(m_columns);
  QVarLengthArray<CellForm, 8> forms(m_columns);
  QVarLengthArray<StoredCell, 8> cells(m_columns);
  for (size_t i = 0; i < count; ++i) {
    m_encoded.resize(0);
    for (int c = 0; c < m_columns; ++c) {
      forms[c] = EncodeTo(cellText(i, c), m_encoded);
      ends[c] = m_encoded.size();
    }
    for (int c = 0; c < m_columns; ++c) {
      const qsizetype start = c == 0 ? 0 : ends[c - 1];
      cells[c] = {QByteArrayView(m_encoded).sliced(start, ends[c] - start), forms[c]};
    }
    m_rows.push_back(WriteRecord(cells.data()));
  }
}

void ListModel::Discard(Ref record) {
  if (record != kEmptyRow) m_wasted += RecordSize(m_arena.At(record), m_columns);
}

void ListModel::PackIfWasteful() {
  // Each packing copies the rows once and at least halves the arena, so edits pay for
  // it a few bytes each.
  constexpr size_t kSmallest = size_t(1) << 20;
  if (m_wasted < kSmallest || m_wasted * 2 < m_arena.Used()) return;
  KeepSnapshotRows();
  ByteArena packed;
  packed.Reserve(m_arena.Used() - m_wasted);
  for (Ref& record : m_rows) {
    if (record == kEmptyRow) continue;
    const char* from = m_arena.At(record);
    const size_t size = RecordSize(from, m_columns);
    std::memcpy(packed.Allocate(size, &record), from, size);
  }
  m_arena = std::move(packed);
  m_wasted = 0;
}

// ---- Rows -------------------------------------------------------------------------------

// Shifts the gap so that it starts at row, moving the rows in between across it.
void ListModel::MoveGapTo(int row) {
  if (m_gapRows == 0) {
    m_gapRow = row;
    return;
  }
  if (row != m_gapRow) KeepSnapshotRows();
  const size_t gap = static_cast<size_t>(m_gapRows);
  const auto moveSlot = [&](size_t from, size_t to) {
    m_rows[to] = m_rows[from];
    m_rows[from] = kEmptyRow;
    m_selected[to] = m_selected[from];
    m_selected[from] = 0;
  };
  for (int r = m_gapRow - 1; r >= row; --r) moveSlot(static_cast<size_t>(r), r + gap);
  for (int r = m_gapRow; r < row; ++r) moveSlot(r + gap, static_cast<size_t>(r));
  m_gapRow = row;
}

void ListModel::CloseGap() {
  if (m_gapRows == 0) return;
  KeepSnapshotRows();
  const int count = ListCount();
  MoveGapTo(count);
  m_rows.resize(static_cast<size_t>(count));
  m_selected.resize(static_cast<size_t>(count));
  m_gapRows = 0;
  m_gapRow = 0;
}

void ListModel::InsertRow(int row, const QString& firstCell) {
  const int count = ListCount();
  row = std::clamp(row, 0, count);
  beginInsertRows({}, row, row);
  KeepSnapshotRows();
  if (m_gapRows == 0) {
    // Open a gap some rows wide, so a run of inserts at the top (the message log's
    // newest-first rows) does not shift every row each time.
    const int width = std::max(16, count / 16);
    m_rows.insert(m_rows.begin() + row, static_cast<size_t>(width), kEmptyRow);
    m_selected.insert(m_selected.begin() + row, static_cast<size_t>(width), 0);
    m_gapRow = row;
    m_gapRows = width;
  } else {
    MoveGapTo(row);
  }
  // The gap's first slot becomes the new row.
  QVarLengthArray<StoredCell, 8> cells(m_columns);
  cells[0] = Encode(firstCell);
  m_rows[static_cast<size_t>(row)] = WriteRecord(cells.data());
  ++m_gapRow;
  --m_gapRows;
  // The new row is not selected, so every row below m_firstSelectedBound still isn't.
  m_lastIndex = row;
  ++m_rowEdits;
  endInsertRows();
}

void ListModel::RemoveRow(int row) {
  if (row < 0 || row >= ListCount()) return;
  beginRemoveRows({}, row, row);
  KeepSnapshotRows();
  // Bring the gap to just after the row, then widen it over the row.
  MoveGapTo(row + 1);
  Discard(m_rows[row]);
  m_rows[row] = kEmptyRow;
  if (m_selected[row] != 0) --m_selCount;
  m_selected[row] = 0;
  m_gapRow = row;
  ++m_gapRows;
  if (row < m_firstSelectedBound) --m_firstSelectedBound;
  // LastIndex keeps naming the same row, or none once that row is gone.
  if (row < m_lastIndex) {
    --m_lastIndex;
  } else if (row == m_lastIndex) {
    m_lastIndex = -1;
  }
  ++m_rowEdits;
  PackIfWasteful();
  endRemoveRows();
}

void ListModel::DeleteAllRows() {
  if (ListCount() == 0) return;
  beginResetModel();
  KeepSnapshotRows();
  m_rows.clear();
  m_selected.clear();
  m_arena.Clear();
  m_wasted = 0;
  m_gapRow = 0;
  m_gapRows = 0;
  m_selCount = 0;
  m_firstSelectedBound = 0;
  m_lastIndex = -1;
  ++m_rowEdits;
  endResetModel();
}

QString ListModel::Cell(int row, int column) const {
  return TextOf(CellAt(row, column));
}

ListModel::StoredCell ListModel::CellBytes(int row, int column) const {
  return CellAt(row, column);
}

void ListModel::ReadCell(int row, int column, QString& into) const {
  const StoredCell cell = CellAt(row, column);
  if (!into.isDetached()) into = QString();
  into.resize(MostUnits(cell));
  into.truncate(WriteText(cell, reinterpret_cast<char16_t*>(into.data())));
}

void ListModel::AppendCellText(int row, int column, QString& out) const {
  AppendText(CellAt(row, column), out);
}

void ListModel::AppendCellFileBytes(int row, int column, QByteArray& out) const {
  AppendFileBytes(CellAt(row, column), out);
}

bool ListModel::CellEquals(int row, int column, QStringView text) const {
  return Holds(CellAt(row, column), text);
}

bool ListModel::Holds(const StoredCell& cell, QStringView text) {
  const qsizetype n = cell.bytes.size();
  switch (cell.form) {
    case CellForm::Ascii: {
      if (n != text.size()) return false;
      const auto* bytes = reinterpret_cast<const unsigned char*>(cell.bytes.data());
      const char16_t* units = text.utf16();
      for (qsizetype i = 0; i < n; ++i) {
        if (units[i] != bytes[i]) return false;
      }
      return true;
    }
    case CellForm::Bytes: {
      if (n < text.size()) return false;
      QVarLengthArray<char16_t, 256> units(n);
      const qsizetype length = WriteText(cell, units.data());
      return QStringView(units.data(), length) == text;
    }
    case CellForm::Utf16:
      return n / 2 == text.size() &&
             std::memcmp(cell.bytes.data(), text.utf16(), static_cast<size_t>(n)) == 0;
  }
  return false;
}

bool ListModel::SameCell(int rowA, int rowB, int column) const {
  const StoredCell a = CellAt(rowA, column);
  const StoredCell b = CellAt(rowB, column);
  return a.form == b.form && a.bytes == b.bytes;
}

size_t ListModel::CellHash(int row, int column) const {
  const StoredCell cell = CellAt(row, column);
  return qHashBits(cell.bytes.data(), static_cast<size_t>(cell.bytes.size()), cell.form == CellForm::Utf16);
}

size_t ListModel::TextHash(QStringView text) {
  QByteArray bytes;
  const CellForm form = EncodeTo(text, bytes);
  return qHashBits(bytes.constData(), static_cast<size_t>(bytes.size()), form == CellForm::Utf16);
}

void ListModel::SetCell(int row, int column, const QString& text) {
  if (!HasCell(row, column)) return;
  const StoredCell cell = Encode(text);
  const StoredCell old = CellAt(row, column);
  if (old.form == cell.form && old.bytes == cell.bytes) return;
  KeepSnapshotRows();
  ReplaceCell(m_rows[Slot(row)], column, cell);
  ++m_cellEdits;
  PackIfWasteful();
  const QModelIndex changed = index(row, column);
  emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
}

bool ListModel::Selected(int row) const {
  if (row < 0 || row >= ListCount()) return false;
  return m_selected[Slot(row)] != 0;
}

void ListModel::SetSelected(int row, bool selected) {
  if (row < 0 || row >= ListCount()) return;
  unsigned char& flag = m_selected[Slot(row)];
  if ((flag != 0) == selected) return;
  flag = selected ? 1 : 0;
  if (selected) {
    ++m_selCount;
    m_firstSelectedBound = std::min(m_firstSelectedBound, row);
  } else {
    --m_selCount;
  }
  ChangeSelection(row, row);
}

void ListModel::ChangeSelection(int firstChanged, int lastChanged) {
  emit dataChanged(index(firstChanged, 0), index(lastChanged, m_columns - 1), {SelectedRole});
  emit SelectionChanged();
}

// Clears every flag, visiting only the span from the first selected row up to the
// last one, and widens [firstChanged, lastChanged] over the rows it changed.
void ListModel::ClearSelectionFlags(int& firstChanged, int& lastChanged) {
  // Gap slots hold clear flags, so the walk can run over slots.
  for (size_t slot = Slot(m_firstSelectedBound); slot < m_selected.size() && m_selCount > 0; ++slot) {
    if (m_selected[slot] == 0) continue;
    m_selected[slot] = 0;
    --m_selCount;
    const int row = RowOfSlot(slot);
    firstChanged = std::min(firstChanged, row);
    lastChanged = std::max(lastChanged, row);
  }
  m_selCount = 0;
  m_firstSelectedBound = 0;
}

void ListModel::SelectOnly(int first, int last) {
  if (first > last) std::swap(first, last);
  first = std::max(first, 0);
  last = std::min(last, ListCount() - 1);
  if (first > last) {
    SetListIndex(-1);
    return;
  }
  const int wanted = last - first + 1;
  if (m_selCount == wanted) {
    int inRange = 0;
    for (int row = first; row <= last; ++row) inRange += m_selected[Slot(row)];
    if (inRange == wanted) return;
  }
  int firstChanged = first;
  int lastChanged = last;
  ClearSelectionFlags(firstChanged, lastChanged);
  for (int row = first; row <= last; ++row) m_selected[Slot(row)] = 1;
  m_selCount = wanted;
  m_firstSelectedBound = first;
  ChangeSelection(firstChanged, lastChanged);
}

int ListModel::ListIndex() const {
  if (m_selCount == 0) return -1;
  const unsigned char* begin = m_selected.data();
  const size_t from = Slot(m_firstSelectedBound);
  const auto* found =
      static_cast<const unsigned char*>(std::memchr(begin + from, 1, m_selected.size() - from));
  if (found == nullptr) return -1;  // cannot happen while m_selCount > 0
  m_firstSelectedBound = RowOfSlot(static_cast<size_t>(found - begin));
  return m_firstSelectedBound;
}

void ListModel::SetListIndex(int row) {
  if (row >= ListCount() || row < -1) return;  // a row that has gone: leave the selection alone
  if (row == -1) {
    if (m_selCount == 0) return;
    int firstChanged = ListCount();
    int lastChanged = -1;
    ClearSelectionFlags(firstChanged, lastChanged);
    ChangeSelection(firstChanged, lastChanged);
    return;
  }
  SelectOnly(row, row);
}

int ListModel::SelCount() const {
  return m_selCount;
}

int ListModel::LastIndex() const {
  return m_lastIndex;
}

template <typename AppendRecords>
void ListModel::AppendRowsWith(size_t count, AppendRecords appendRecords) {
  if (count == 0) return;
  const int first = ListCount();
  const int last = first + static_cast<int>(count) - 1;
  beginInsertRows({}, first, last);
  CloseGap();
  // Grow geometrically: a list filled in many batches must not be copied per batch.
  const size_t needed = static_cast<size_t>(last) + 1;
  if (needed > m_rows.capacity()) m_rows.reserve(std::max(needed, m_rows.capacity() * 2));
  if (needed > m_selected.capacity()) m_selected.reserve(std::max(needed, m_selected.capacity() * 2));
  appendRecords();
  m_selected.resize(needed, 0);
  m_lastIndex = last;
  ++m_rowEdits;
  endInsertRows();
}

void ListModel::AppendRows(std::vector<QStringList> rows) {
  AppendRowsWith(rows.size(), [&] {
    AppendTextRows(rows.size(), [&](size_t i, int c) {
      return c < rows[i].size() ? QStringView(rows[i][c]) : QStringView();
    });
  });
}

void ListModel::AppendRows(std::vector<QString> firstCells) {
  AppendRowsWith(firstCells.size(), [&] {
    AppendTextRows(firstCells.size(),
                   [&](size_t i, int c) { return c == 0 ? QStringView(firstCells[i]) : QStringView(); });
  });
}

void ListModel::AppendFirstCells(QStringList texts) {
  const auto count = static_cast<size_t>(texts.size());
  AppendRowsWith(count, [&] {
    AppendTextRows(count, [&](size_t i, int c) {
      return c == 0 ? QStringView(texts.at(static_cast<qsizetype>(i))) : QStringView();
    });
  });
}

void ListModel::CopyCell(int row, int column, CellCopies& into) const {
  AppendCopy(CellAt(row, column), into);
}

void ListModel::AppendCopy(const StoredCell& cell, CellCopies& into) {
  into.m_bytes.append(cell.bytes);
  into.m_cells.push_back({into.m_bytes.size(), cell.form});
}

void ListModel::AppendFirstCells(const CellCopies& copies) {
  const auto count = static_cast<size_t>(copies.Count());
  AppendRowsWith(count, [&] {
    QVarLengthArray<StoredCell, 8> row(m_columns);
    qsizetype start = 0;
    for (size_t i = 0; i < count; ++i) {
      const auto [end, form] = copies.m_cells[i];
      row[0] = {QByteArrayView(copies.m_bytes).sliced(start, end - start), form};
      start = end;
      m_rows.push_back(WriteRecord(row.data()));
    }
  });
}

void ListModel::AppendRowsFromBytes(std::span<const QByteArrayView> cells) {
  const size_t count = cells.size() / static_cast<size_t>(m_columns);
  AppendRowsWith(count, [&] {
    QVarLengthArray<StoredCell, 8> row(m_columns);
    for (size_t i = 0; i < count; ++i) {
      for (int c = 0; c < m_columns; ++c) {
        const QByteArrayView bytes = cells[i * m_columns + c];
        row[c] = {bytes, IsAscii(bytes) ? CellForm::Ascii : CellForm::Bytes};
      }
      m_rows.push_back(WriteRecord(row.data()));
    }
  });
}

void ListModel::RemoveRowsIf(const std::function<bool(int row)>& remove) {
  CloseGap();
  const int count = ListCount();
  const unsigned edits = m_rowEdits;
  // Ask about every row before changing anything, so the predicate sees the rows as
  // they were and may read any of them.
  std::vector<unsigned char> gone(static_cast<size_t>(count), 0);
  int removed = 0;
  for (int row = 0; row < count; ++row) {
    if (remove(row)) {
      gone[row] = 1;
      ++removed;
    }
  }
  if (removed == 0) return;
  if (m_rowEdits != edits) {
    // The predicate must only read: it changed the rows, so the answers no longer fit.
    qWarning("ListModel::RemoveRowsIf: rows changed while being tested; nothing removed");
    return;
  }
  if (removed == count) {
    DeleteAllRows();
    return;
  }

  KeepSnapshotRows();
  // One layout change instead of a signal per run of removed rows; the view keeps its
  // scroll place and the persistent indexes follow their rows.
  emit layoutAboutToBeChanged();
  const QModelIndexList persistent = persistentIndexList();
  std::vector<int> newRow;
  if (!persistent.isEmpty()) newRow.assign(static_cast<size_t>(count), -1);

  int kept = 0;
  int lastIndex = -1;
  for (int row = 0; row < count; ++row) {
    if (gone[row] != 0) {
      if (m_selected[row] != 0) --m_selCount;
      Discard(m_rows[row]);
      continue;
    }
    if (kept != row) {
      m_rows[kept] = m_rows[row];
      m_selected[kept] = m_selected[row];
    }
    if (row == m_lastIndex) lastIndex = kept;
    if (!newRow.empty()) newRow[row] = kept;
    ++kept;
  }
  m_rows.resize(static_cast<size_t>(kept));
  m_selected.resize(static_cast<size_t>(kept));
  m_lastIndex = lastIndex;
  m_firstSelectedBound = 0;
  ++m_rowEdits;
  PackIfWasteful();

  if (!persistent.isEmpty()) {
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& old : persistent) {
      const int row = old.row() < count ? newRow[old.row()] : -1;
      moved.append(row < 0 ? QModelIndex() : index(row, old.column()));
    }
    changePersistentIndexList(persistent, moved);
  }
  emit layoutChanged();
}

void ListModel::SetAllSelected(bool selected) {
  const int count = ListCount();
  if (count == 0 || m_selCount == (selected ? count : 0)) return;
  CloseGap();
  std::fill(m_selected.begin(), m_selected.end(), selected ? 1 : 0);
  m_selCount = selected ? count : 0;
  m_firstSelectedBound = 0;
  ChangeSelection(0, count - 1);
}

void ListModel::SetSelectedWhere(const std::function<bool(int row)>& select) {
  const int count = ListCount();
  int firstChanged = count;
  int lastChanged = -1;
  int selCount = 0;
  for (int row = 0; row < count; ++row) {
    const unsigned char on = select(row) ? 1 : 0;
    unsigned char& flag = m_selected[Slot(row)];
    selCount += on;
    if (flag == on) continue;
    flag = on;
    firstChanged = std::min(firstChanged, row);
    lastChanged = row;
  }
  m_selCount = selCount;
  m_firstSelectedBound = 0;
  if (lastChanged >= 0) ChangeSelection(firstChanged, lastChanged);
}

int ListModel::EditColumn(int column, const std::function<bool(int row, QString& cell)>& edit) {
  if (column < 0 || column >= m_columns) return 0;
  const int count = ListCount();
  int firstChanged = count;
  int lastChanged = -1;
  int acted = 0;
  // Every row's text is read into one buffer and handed over as a shared copy, so a row
  // the edit leaves alone costs no string of its own.
  QString buffer;
  QString cell;
  // The text encoded last: an edit that sets many rows to one text (a marker) shares it.
  QString encodedText;
  QByteArray encodedBytes;
  StoredCell encoded;
  for (int row = 0; row < count; ++row) {
    cell = QString();
    ReadCell(row, column, buffer);
    cell = buffer;
    if (!edit(row, cell)) continue;
    ++acted;
    Ref& record = m_rows[Slot(row)];
    if (cell.isSharedWith(buffer) || Holds(CellOf(record, column), cell)) continue;
    if (!cell.isSharedWith(encodedText) || cell.isNull() != encodedText.isNull()) {
      encodedText = cell;
      encodedBytes.resize(0);
      encoded.form = EncodeTo(cell, encodedBytes);
      encoded.bytes = encodedBytes;
    }
    KeepSnapshotRows();
    ReplaceCell(record, column, encoded);
    firstChanged = std::min(firstChanged, row);
    lastChanged = row;
  }
  PackIfWasteful();
  if (lastChanged >= 0) {
    ++m_cellEdits;
    emit dataChanged(index(firstChanged, column), index(lastChanged, column),
                     {Qt::DisplayRole, Qt::EditRole});
  }
  return acted;
}

void ListModel::ReorderRows(const std::vector<int>& order) {
  const int count = ListCount();
  if (order.size() != static_cast<size_t>(count)) return;
  // Where each row goes, checking that order is a permutation.
  std::vector<int> newRow(static_cast<size_t>(count), -1);
  bool moves = false;
  for (int i = 0; i < count; ++i) {
    const int from = order[i];
    if (from < 0 || from >= count || newRow[from] != -1) return;
    newRow[from] = i;
    moves = moves || from != i;
  }
  if (!moves) return;

  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  KeepSnapshotRows();
  CloseGap();
  std::vector<Ref> rows(m_rows.size());
  std::vector<unsigned char> selected(m_selected.size());
  for (int i = 0; i < count; ++i) {
    const auto from = static_cast<size_t>(order[i]);
    rows[i] = m_rows[from];
    selected[i] = m_selected[from];
  }
  m_rows = std::move(rows);
  m_selected = std::move(selected);
  if (m_lastIndex >= 0) m_lastIndex = newRow[m_lastIndex];
  m_firstSelectedBound = 0;
  ++m_rowEdits;

  const QModelIndexList persistent = persistentIndexList();
  QModelIndexList moved;
  moved.reserve(persistent.size());
  for (const QModelIndex& old : persistent) {
    moved.append(old.row() < count ? index(newRow[old.row()], old.column()) : QModelIndex());
  }
  changePersistentIndexList(persistent, moved);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ListModel::Reserve(int rows) {
  if (rows <= 0) return;
  m_rows.reserve(static_cast<size_t>(rows) + m_gapRows);
  m_selected.reserve(static_cast<size_t>(rows) + m_gapRows);
}

void ListModel::ReserveText(qsizetype bytes) {
  if (bytes > 0) m_arena.Reserve(static_cast<size_t>(bytes));
}

ListModel::Snapshot ListModel::TakeSnapshot() const {
  Snapshot snapshot;
  snapshot.m_columns = m_columns;
  snapshot.m_blocks = m_arena.Shared();
  snapshot.m_rows = std::make_shared<Snapshot::Rows>();
  snapshot.m_rows->list = this;
  snapshot.m_rows->count = ListCount();
  snapshot.m_rows->gapRow = m_gapRow;
  snapshot.m_rows->gapRows = m_gapRows;
  snapshot.m_rows->of = this;
  snapshot.m_rows->rowEdits = m_rowEdits;
  snapshot.m_rows->cellEdits = m_cellEdits;
  std::erase_if(m_readingSnapshots, [](const std::weak_ptr<Snapshot::Rows>& rows) { return rows.expired(); });
  m_readingSnapshots.push_back(snapshot.m_rows);
  return snapshot;
}

ListModel::Snapshot ListModel::TakeSelectedSnapshot() const {
  Snapshot snapshot;
  snapshot.m_columns = m_columns;
  snapshot.m_blocks = m_arena.Shared();
  snapshot.m_rows = std::make_shared<Snapshot::Rows>();
  std::vector<Ref>& records = snapshot.m_rows->records;
  records.reserve(static_cast<size_t>(SelCount()));
  for (size_t slot = 0; slot < m_rows.size(); ++slot) {
    if (m_selected[slot] != 0) records.push_back(m_rows[slot]);
  }
  snapshot.m_rows->count = static_cast<int>(records.size());
  return snapshot;
}

ListModel::StoredCell ListModel::Snapshot::CellAt(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0 || column >= m_columns) return {};
  const Ref record = m_rows->At(row);
  return record == kEmptyRow ? StoredCell{} : CellIn(ByteArena::At(m_blocks, record), column);
}

void ListModel::Snapshot::AppendCellText(int row, int column, QString& out) const {
  AppendText(CellAt(row, column), out);
}

void ListModel::Snapshot::CopyCell(int row, int column, CellCopies& into) const {
  AppendCopy(CellAt(row, column), into);
}

int ListModel::Snapshot::AppendRowLines(int row, char between, char end, QByteArray& out,
                                        qsizetype until) const {
  row = std::max(row, 0);
  // Lines are written into room made ahead, the size set once at the end: a save of
  // millions of rows spends its time copying bytes, not growing the buffer row by row.
  qsizetype at = out.size();
  out.resize(std::max(out.capacity(), until + kLineRoom));
  QVarLengthArray<StoredCell, 8> cells(m_columns);
  for (; row < RowCount() && at < until; ++row) {
    const Ref record = m_rows->At(row);
    qsizetype size = m_columns;  // the separators and the end
    bool utf16 = false;
    const char* p = record == kEmptyRow ? nullptr : ByteArena::At(m_blocks, record);
    for (int c = 0; c < m_columns; ++c) {
      if (p == nullptr) {
        cells[c] = {};
        continue;
      }
      quint64 header = 0;
      p = GetHeader(p, &header);
      const auto n = static_cast<qsizetype>(header >> 2);
      cells[c] = {QByteArrayView(p, n), static_cast<CellForm>(header & 3)};
      p += n;
      size += n;
      utf16 = utf16 || cells[c].form == CellForm::Utf16;
    }
    if (utf16) {
      // Encoded on the way out: rare, and of unknown length until then.
      out.resize(at);
      for (int c = 0; c < m_columns; ++c) {
        AppendFileBytes(cells[c], out);
        out.append(c + 1 < m_columns ? between : end);
      }
      at = out.size();
      out.resize(std::max(out.capacity(), until + kLineRoom));
      continue;
    }
    if (at + size > out.size()) out.resize(at + size + kLineRoom);
    char* q = out.data() + at;
    for (int c = 0; c < m_columns; ++c) {
      const qsizetype n = cells[c].bytes.size();
      if (n > 0) std::memcpy(q, cells[c].bytes.data(), static_cast<size_t>(n));
      q += n;
      *q++ = c + 1 < m_columns ? between : end;
    }
    at += size;
  }
  out.resize(at);
  return row;
}

void ListModel::Snapshot::AppendCellFileBytes(int row, int column, QByteArray& out) const {
  AppendFileBytes(CellAt(row, column), out);
}

int ListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ListCount();
}

int ListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_columns;
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= ListCount() || index.column() >= m_columns) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return Cell(index.row(), index.column());
    case SelectedRole:
      return m_selected[Slot(index.row())] != 0;
    default:
      return {};
  }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (!m_hasHeading || orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= m_columns) return {};
  return m_headings.value(section);
}

}  // namespace platform
