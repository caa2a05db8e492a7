#include "lists/DuplicateIndex.h"

#include <sys/mman.h>

#include <QHashFunctions>
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "platform/Text.h"

namespace lists {

namespace {

// Eight ASCII bytes with "a".."z" made upper case.
inline quint64 UpperWord(quint64 word) {
  const quint64 low7 = word & 0x7F7F7F7F7F7F7F7FULL;
  const quint64 fromA = low7 + 0x1F1F1F1F1F1F1F1FULL;  // high bit set from "a" (0x61) on
  const quint64 pastZ = low7 + 0x0505050505050505ULL;  // high bit set past "z" (0x7A)
  const quint64 lower = fromA & ~pastZ & ~word & 0x8080808080808080ULL;
  return word - (lower >> 2);
}

inline quint64 WordAt(const char* p, qsizetype left) {
  quint64 word = 0;
  std::memcpy(&word, p, static_cast<size_t>(std::min<qsizetype>(left, 8)));
  return word;
}

// The hash of ASCII text as upper-cased, read eight bytes at a time.
quint32 AsciiHash(QByteArrayView bytes) {
  const char* p = bytes.data();
  const qsizetype n = bytes.size();
  quint64 h = 0x9E3779B97F4A7C15ULL ^ static_cast<quint64>(n);
  for (qsizetype i = 0; i < n; i += 8) {
    h = (h ^ UpperWord(WordAt(p + i, n - i))) * 0xFF51AFD7ED558CCDULL;
    h ^= h >> 32;
  }
  h *= 0xC4CEB9FE1A85EC53ULL;
  return static_cast<quint32>(h >> 32);
}

bool EqualUpper(QByteArrayView a, QByteArrayView b) {
  const qsizetype n = a.size();
  if (n != b.size()) return false;
  for (qsizetype i = 0; i < n; i += 8) {
    if (UpperWord(WordAt(a.data() + i, n - i)) != UpperWord(WordAt(b.data() + i, n - i))) return false;
  }
  return true;
}

int RowIn(quint64 entry) {
  return static_cast<int>(static_cast<quint32>(entry)) - 1;
}

quint32 HashIn(quint64 entry) {
  return static_cast<quint32>(entry >> 32);
}

}  // namespace

DuplicateIndex::Slots::~Slots() {
  Release();
}

DuplicateIndex::Slots::Slots(Slots&& other) noexcept {
  *this = std::move(other);
}

DuplicateIndex::Slots& DuplicateIndex::Slots::operator=(Slots&& other) noexcept {
  if (this == &other) return *this;
  Release();
  m_data = std::exchange(other.m_data, nullptr);
  m_size = std::exchange(other.m_size, 0);
  m_mapping = std::exchange(other.m_mapping, nullptr);
  m_mapped = std::exchange(other.m_mapped, 0);
  return *this;
}

void DuplicateIndex::Slots::Release() {
  if (m_mapping != nullptr) {
    ::munmap(m_mapping, m_mapped);
  } else {
    std::free(m_data);
  }
  m_data = nullptr;
  m_size = 0;
  m_mapping = nullptr;
  m_mapped = 0;
}

void DuplicateIndex::Slots::Assign(size_t size) {
  Release();
  constexpr size_t kHugePage = size_t(2) << 20;
  const size_t bytes = size * sizeof(quint64);
  if (bytes >= kHugePage) {
    // Mapped with room to start on a huge-page boundary; fresh pages read as zero.
    const size_t mapped = bytes + kHugePage;
    void* mapping = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping != MAP_FAILED) {
      void* start = mapping;
      size_t room = mapped;
      std::align(kHugePage, bytes, start, room);
      ::madvise(start, bytes, MADV_HUGEPAGE);
      m_data = static_cast<quint64*>(start);
      m_size = size;
      m_mapping = mapping;
      m_mapped = mapped;
      return;
    }
  }
  m_data = static_cast<quint64*>(std::calloc(size, sizeof(quint64)));
  if (m_data == nullptr) throw std::bad_alloc();
  m_size = size;
}

// An upper-cased address: ASCII bytes (upper-cased as they are compared), or the text
// when upper-casing leaves a character above 127.
struct DuplicateIndex::Key {
  bool ascii = true;
  QByteArrayView bytes;
  QByteArray kept;  // the ASCII form of a text, when bytes points here
  QString wide;
  quint32 hash = 0;

  static Key OfAscii(QByteArrayView bytes, quint32 hash) {
    Key key;
    key.bytes = bytes;
    key.hash = hash;
    return key;
  }
  static Key OfAscii(QByteArrayView bytes) { return OfAscii(bytes, AsciiHash(bytes)); }
  static Key OfText(const QString& text) {
    const QString upper = platform::Uppercase(text);
    bool ascii = true;
    for (const QChar c : upper) ascii = ascii && c.unicode() < 0x80;
    Key key;
    if (ascii) {
      key.kept = upper.toLatin1();
      key.bytes = key.kept;
      key.hash = AsciiHash(key.bytes);
    } else {
      key.ascii = false;
      key.wide = upper;
      key.hash = static_cast<quint32>(qHash(upper));
    }
    return key;
  }
  bool operator==(const Key& other) const {
    if (ascii != other.ascii) return false;
    return ascii ? EqualUpper(bytes, other.bytes) : wide == other.wide;
  }
};

DuplicateIndex::DuplicateIndex(platform::ListModel* model, QObject* parent)
    : QObject(parent), m_model(model) {
  if (model == nullptr) return;
  using M = platform::ListModel;
  connect(model, &M::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { RowsInserted(first, last); });
  connect(model, &M::rowsRemoved, this, &DuplicateIndex::MarkStale);
  connect(model, &M::dataChanged, this,
          [this](const QModelIndex& topLeft, const QModelIndex&, const QList<int>& roles) {
            // Selection changes come by the thousand and touch no text.
            if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole) && !roles.contains(Qt::EditRole)) return;
            if (topLeft.column() == 0) MarkStale();
          });
  // Edits that the model reports only as a whole: rows moved, removed in bulk, replaced.
  connect(model, &M::modelReset, this, &DuplicateIndex::MarkStale);
  connect(model, &M::layoutChanged, this, &DuplicateIndex::MarkStale);
  connect(model, &M::rowsMoved, this, &DuplicateIndex::MarkStale);
  connect(model, &QObject::destroyed, this, &DuplicateIndex::MarkStale);
}

void DuplicateIndex::MarkStale() {
  m_stale = true;
  m_staged = 0;
  m_stagedFollow = false;
}

DuplicateIndex::Key DuplicateIndex::KeyOfRow(int row) const {
  if (row >= m_rows) return Key::OfAscii(m_pending->At(row - m_rows));
  const platform::ListModel::StoredCell cell = m_model->CellBytes(row, 0);
  if (cell.form == platform::ListModel::CellForm::Ascii) return Key::OfAscii(cell.bytes);
  return Key::OfText(m_model->Cell(row, 0));
}

bool DuplicateIndex::RowHolds(int row, const Key& key) const {
  if (row >= m_rows) return key.ascii && EqualUpper(m_pending->At(row - m_rows), key.bytes);
  const platform::ListModel::StoredCell cell = m_model->CellBytes(row, 0);
  if (cell.form == platform::ListModel::CellForm::Ascii)
    return key.ascii && EqualUpper(cell.bytes, key.bytes);
  return KeyOfRow(row) == key;
}

size_t DuplicateIndex::Find(const Key& key) const {
  const size_t mask = m_table.size() - 1;
  for (size_t at = key.hash & mask;; at = (at + 1) & mask) {
    const quint64 entry = m_table[at];
    if (entry == 0 || (HashIn(entry) == key.hash && RowHolds(RowIn(entry), key))) return at;
  }
}

void DuplicateIndex::Place(size_t at, quint32 hash, int row) const {
  m_table[at] = quint64(hash) << 32 | static_cast<quint32>(row + 1);
  ++m_entries;
  // At most 70% full keeps the runs of linear probing short.
  if (m_entries * 10 > m_table.size() * 7) Grow(m_table.size() * 2);
}

void DuplicateIndex::Grow(size_t capacity) const {
  Slots old = std::move(m_table);
  m_table.Assign(capacity);
  const size_t mask = m_table.size() - 1;
  for (size_t i = 0; i < old.size(); ++i) {
    const quint64 entry = old[i];
    if (entry == 0) continue;
    size_t at = HashIn(entry) & mask;
    while (m_table[at] != 0) at = (at + 1) & mask;
    m_table[at] = entry;
  }
}

void DuplicateIndex::Reserve(qsizetype rows) {
  const auto wanted = std::bit_ceil(static_cast<size_t>(std::max<qsizetype>(rows, 0)) * 10 / 7 + 1);
  if (wanted > m_table.size() && !m_stale) Grow(wanted);
  if (wanted > m_table.size() && m_stale) m_table.Assign(wanted);
}

void DuplicateIndex::IndexRow(int row) const {
  const Key key = KeyOfRow(row);
  const size_t at = Find(key);
  // One entry per key is enough to tell that the list holds it.
  if (m_table[at] == 0) Place(at, key.hash, row);
}

void DuplicateIndex::Refresh() const {
  if (!m_stale) return;
  m_stale = false;
  m_rows = m_model.isNull() ? 0 : m_model->ListCount();
  // Addresses of a batch under way are indexed again as the rows they will become.
  const int pending = m_pending != nullptr ? m_pending->Count() : 0;
  const size_t wanted = std::bit_ceil(static_cast<size_t>(m_rows + pending) * 10 / 7 + 1024);
  m_table.Assign(std::max(wanted, m_table.size()));
  m_entries = 0;
  for (int row = 0; row < m_rows + pending; ++row) IndexRow(row);
  m_staged = pending;
}

void DuplicateIndex::RowsInserted(int first, int last) {
  if (m_stale) return;
  if (first != m_rows || last < first || (m_staged > 0 && !m_stagedFollow)) {
    MarkStale();
    return;
  }
  // The staged rows come first, already indexed.
  if (m_stagedFollow) {
    const int staged = std::min(m_staged, last - first + 1);
    if (staged < m_staged) {
      MarkStale();
      return;
    }
    m_rows += staged;
    m_staged = 0;
    m_stagedFollow = false;
    first += staged;
  }
  // Nothing is staged now, so the rows count from the list alone.
  for (int row = first; row <= last; ++row) {
    m_rows = row + 1;
    IndexRow(row);
  }
}

bool DuplicateIndex::Contains(const QString& address) const {
  Refresh();
  return m_table[Find(Key::OfText(address))] != 0;
}

quint32 DuplicateIndex::Prepare(QByteArrayView address) const {
  Refresh();
  const quint32 hash = AsciiHash(address);
  __builtin_prefetch(m_table.data() + (hash & (m_table.size() - 1)));
  return hash;
}

bool DuplicateIndex::ContainsOrAdd(QByteArrayView address, quint32 hash, PendingAddresses& pending) {
  if (m_pending != &pending) {
    // Another batch's addresses are no longer pending: index the list afresh.
    if (m_staged > 0) MarkStale();
    m_pending = &pending;
  }
  Refresh();
  const Key key = Key::OfAscii(address, hash);
  const size_t at = Find(key);
  if (m_table[at] != 0) return true;
  pending.Append(address);
  ++m_staged;
  Place(at, key.hash, m_rows + pending.Count() - 1);
  return false;
}

void DuplicateIndex::ForgetPending(const PendingAddresses& pending) {
  if (m_pending != &pending) return;
  if (m_staged > 0) MarkStale();
  m_pending = nullptr;
}

}  // namespace lists
