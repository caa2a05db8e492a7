#include "lists/DuplicateIndex.h"

#include "platform/Text.h"

namespace lists {

DuplicateIndex::DuplicateIndex(platform::ListModel* model, QObject* parent)
    : QObject(parent), m_model(model) {
  if (model == nullptr) return;
  using M = platform::ListModel;
  connect(model, &M::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { RowsInserted(first, last); });
  connect(model, &M::rowsRemoved, this,
          [this](const QModelIndex&, int first, int last) { RowsRemoved(first, last); });
  connect(model, &M::dataChanged, this,
          [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
            // Selection changes come by the thousand and touch no text.
            if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole) && !roles.contains(Qt::EditRole)) return;
            if (topLeft.column() > 0) return;
            CellsChanged(topLeft.row(), bottomRight.row());
          });
  // Edits that the model reports only as a whole: rows moved, removed in bulk, replaced.
  connect(model, &M::modelReset, this, &DuplicateIndex::Rebuild);
  connect(model, &M::layoutChanged, this, &DuplicateIndex::Relayout);
  connect(model, &M::rowsMoved, this, &DuplicateIndex::Rebuild);
  connect(model, &QObject::destroyed, this, [this] {
    m_cells.clear();
    m_keys.clear();
    m_counts.clear();
  });
  Rebuild();
}

QString DuplicateIndex::KeyOf(const QString& address) {
  // Most addresses are ASCII: upper-case them here, and hand back the same (shared) text
  // when nothing changes, which is what platform::Uppercase gives for ASCII too.
  const char16_t* text = reinterpret_cast<const char16_t*>(address.constData());
  const qsizetype n = address.size();
  bool lower = false;
  for (qsizetype i = 0; i < n; ++i) {
    if (text[i] >= 0x80) return platform::Uppercase(address);
    lower = lower || (text[i] >= u'a' && text[i] <= u'z');
  }
  if (!lower) return address;
  QString key(n, Qt::Uninitialized);
  char16_t* out = reinterpret_cast<char16_t*>(key.data());
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = text[i];
    out[i] = (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
  }
  return key;
}

bool DuplicateIndex::Contains(const QString& address) const {
  m_testedCell = address;
  m_testedKey = KeyOf(address);
  return ContainsKey(m_testedKey);
}

bool DuplicateIndex::ContainsKey(const QString& key) const {
  return m_counts.contains(key);
}

void DuplicateIndex::Add(const QString& key) {
  ++m_counts[key];
}

void DuplicateIndex::Drop(const QString& key) {
  const auto it = m_counts.find(key);
  if (it == m_counts.end()) return;
  if (--it.value() == 0) m_counts.erase(it);
}

void DuplicateIndex::Rebuild() {
  m_cells.clear();
  m_keys.clear();
  m_counts.clear();
  if (m_model.isNull()) return;
  const int count = m_model->ListCount();
  m_cells.reserve(static_cast<size_t>(count));
  m_keys.reserve(static_cast<size_t>(count));
  m_counts.reserve(count);
  for (int row = 0; row < count; ++row) {
    m_cells.push_back(m_model->Cell(row, 0));
    m_keys.push_back(KeyOf(m_cells.back()));
    Add(m_keys.back());
  }
}

namespace {

// The very same characters: we hold a reference to the old cell, so its buffer cannot
// have been freed and reused, nor changed in place.
bool SameText(const QString& a, const QString& b) {
  return a.constData() == b.constData() && a.size() == b.size();
}

}  // namespace

void DuplicateIndex::Relayout() {
  // A bulk removal moves the rows that stay, in order, without touching their text: match
  // them with the old rows and keep their keys. Anything else (rows reordered) is indexed
  // afresh.
  if (m_model.isNull()) {
    Rebuild();
    return;
  }
  const int count = m_model->ListCount();
  if (static_cast<size_t>(count) > m_cells.size()) {
    Rebuild();
    return;
  }
  std::vector<QString> cells;
  std::vector<QString> keys;
  std::vector<unsigned char> kept(m_cells.size(), 0);
  cells.reserve(static_cast<size_t>(count));
  keys.reserve(static_cast<size_t>(count));
  size_t old = 0;
  for (int row = 0; row < count; ++row) {
    QString cell = m_model->Cell(row, 0);
    while (old < m_cells.size() && !SameText(m_cells[old], cell)) ++old;
    if (old == m_cells.size()) {
      Rebuild();
      return;
    }
    kept[old] = 1;
    cells.push_back(std::move(cell));
    keys.push_back(m_keys[old++]);
  }
  // Forget the removed rows, or count the kept ones afresh when that is less work.
  if (m_cells.size() - static_cast<size_t>(count) > static_cast<size_t>(count)) {
    m_counts.clear();
    m_counts.reserve(count);
    for (const QString& key : keys) Add(key);
  } else {
    for (size_t row = 0; row < kept.size(); ++row) {
      if (kept[row] == 0) Drop(m_keys[row]);
    }
  }
  m_cells = std::move(cells);
  m_keys = std::move(keys);
}

void DuplicateIndex::RowsInserted(int first, int last) {
  if (m_model.isNull() || first < 0 || first > static_cast<int>(m_keys.size()) || last < first) {
    Rebuild();
    return;
  }
  const size_t added = static_cast<size_t>(last) - static_cast<size_t>(first) + 1;
  if (added == 1 && static_cast<size_t>(first) == m_keys.size()) {
    // One row appended, as an import adds them.
    QString cell = m_model->Cell(first, 0);
    QString key = SameText(cell, m_testedCell) ? m_testedKey : KeyOf(cell);
    Add(key);
    m_cells.push_back(std::move(cell));
    m_keys.push_back(std::move(key));
    return;
  }
  // One growth for a whole batch rather than a rehash every time the table doubles.
  if (added > 1) m_counts.reserve(m_counts.size() + static_cast<qsizetype>(added));
  std::vector<QString> cells;
  std::vector<QString> keys;
  cells.reserve(added);
  keys.reserve(added);
  for (int row = first; row <= last; ++row) {
    cells.push_back(m_model->Cell(row, 0));
    keys.push_back(KeyOf(cells.back()));
    Add(keys.back());
  }
  m_cells.insert(m_cells.begin() + first, std::make_move_iterator(cells.begin()),
                 std::make_move_iterator(cells.end()));
  m_keys.insert(m_keys.begin() + first, std::make_move_iterator(keys.begin()),
                std::make_move_iterator(keys.end()));
}

void DuplicateIndex::RowsRemoved(int first, int last) {
  if (first < 0 || last >= static_cast<int>(m_keys.size()) || last < first) {
    Rebuild();
    return;
  }
  for (int row = first; row <= last; ++row) Drop(m_keys[static_cast<size_t>(row)]);
  m_cells.erase(m_cells.begin() + first, m_cells.begin() + last + 1);
  m_keys.erase(m_keys.begin() + first, m_keys.begin() + last + 1);
}

void DuplicateIndex::CellsChanged(int first, int last) {
  if (m_model.isNull() || first < 0 || last >= static_cast<int>(m_keys.size())) {
    Rebuild();
    return;
  }
  for (int row = first; row <= last; ++row) {
    const auto at = static_cast<size_t>(row);
    QString cell = m_model->Cell(row, 0);
    if (SameText(cell, m_cells[at])) continue;
    QString key = KeyOf(cell);
    Drop(m_keys[at]);
    Add(key);
    m_cells[at] = std::move(cell);
    m_keys[at] = std::move(key);
  }
}

}  // namespace lists
