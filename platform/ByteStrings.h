#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace platform {

// Texts as bytes, kept one after another in a single buffer with where each ends: a few
// bytes apiece over their own, where a list of byte arrays costs dozens.
class ByteStrings {
 public:
  int Count() const { return static_cast<int>(m_ends.size()); }
  QByteArrayView At(int i) const {
    const qsizetype start = i == 0 ? 0 : m_ends[static_cast<size_t>(i) - 1];
    return QByteArrayView(m_bytes).sliced(start, m_ends[static_cast<size_t>(i)] - start);
  }
  void Append(QByteArrayView bytes) {
    m_bytes.append(bytes);
    m_ends.push_back(m_bytes.size());
  }
  void Clear() {
    m_bytes.resize(0);
    m_ends.clear();
  }

 private:
  QByteArray m_bytes;
  std::vector<qsizetype> m_ends;
};

}  // namespace platform
