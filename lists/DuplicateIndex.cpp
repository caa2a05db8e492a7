#include "lists/DuplicateIndex.h"

#include "platform/Text.h"

namespace lists {

DuplicateIndex::DuplicateIndex(platform::ListModel* model, QObject* parent)
    : QObject(parent), m_model(model) {
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
  connect(model, &M::layoutChanged, this, &DuplicateIndex::Rebuild);
  connect(model, &M::rowsMoved, this, &DuplicateIndex::Rebuild);
  connect(model, &QObject::destroyed, this, [this] {
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
  return ContainsKey(KeyOf(address));
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
  m_keys.clear();
  m_counts.clear();
  if (m_model.isNull()) return;
  const int count = m_model->ListCount();
  m_keys.reserve(static_cast<size_t>(count));
  m_counts.reserve(count);
  for (int row = 0; row < count; ++row) {
    m_keys.push_back(KeyOf(m_model->Cell(row, 0)));
    Add(m_keys.back());
  }
}

void DuplicateIndex::RowsInserted(int first, int last) {
  if (m_model.isNull() || first < 0 || first > static_cast<int>(m_keys.size()) || last < first) {
    Rebuild();
    return;
  }
  std::vector<QString> added;
  added.reserve(static_cast<size_t>(last - first + 1));
  for (int row = first; row <= last; ++row) {
    added.push_back(KeyOf(m_model->Cell(row, 0)));
    Add(added.back());
  }
  m_keys.insert(m_keys.begin() + first, std::make_move_iterator(added.begin()),
                std::make_move_iterator(added.end()));
}

void DuplicateIndex::RowsRemoved(int first, int last) {
  if (first < 0 || last >= static_cast<int>(m_keys.size()) || last < first) {
    Rebuild();
    return;
  }
  for (int row = first; row <= last; ++row) Drop(m_keys[static_cast<size_t>(row)]);
  m_keys.erase(m_keys.begin() + first, m_keys.begin() + last + 1);
}

void DuplicateIndex::CellsChanged(int first, int last) {
  if (m_model.isNull() || first < 0 || last >= static_cast<int>(m_keys.size())) {
    Rebuild();
    return;
  }
  for (int row = first; row <= last; ++row) {
    QString key = KeyOf(m_model->Cell(row, 0));
    QString& old = m_keys[static_cast<size_t>(row)];
    if (key == old) continue;
    Drop(old);
    Add(key);
    old = std::move(key);
  }
}

}  // namespace lists
