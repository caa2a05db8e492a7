#pragma once

#include <QString>
#include <vector>

#include "platform/FolderItem.h"

class QMimeData;

namespace platform {

// A drop, walked item by item: every local file or folder dropped is one item, and
// dropped text is one more after them. The current item starts at the first;
// NextItem moves on and returns false when there is no further item.
class DragItem {
 public:
  explicit DragItem(const QMimeData& data);

  // The current item's file or folder; nil when it carries none.
  platform::FolderItem FolderItem() const;
  bool TextAvailable() const;
  QString Text() const;
  bool NextItem();

 private:
  struct Item {
    platform::FolderItem folder;
    bool hasText = false;
    QString text;
  };
  const Item* Current() const;

  std::vector<Item> m_items;
  size_t m_current = 0;
};

}  // namespace platform
