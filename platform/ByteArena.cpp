#include "platform/ByteArena.h"

#include <sys/mman.h>

#include <algorithm>
#include <memory>

namespace platform {

namespace {

// Blocks grow with the arena up to this size; a piece larger than it gets a block of its
// own size.
constexpr size_t kLargestBlock = size_t(4) << 20;

}  // namespace

void ByteArena::NewBlock(size_t atLeast) {
  const size_t size = std::max(atLeast, m_nextBlock);
  // Not zeroed: pages the arena never writes take no memory.
  m_blocks.emplace_back(new char[size]);
  // A large block in huge pages: reading rows scattered over a big list (the duplicate
  // test compares with them) then waits for fewer page-table walks.
  constexpr size_t kHugePage = size_t(2) << 20;
  void* start = m_blocks.back().get();
  size_t room = size;
  if (std::align(kHugePage, kHugePage, start, room)) ::madvise(start, room & ~(kHugePage - 1), MADV_HUGEPAGE);
  m_bases.push_back(m_blocks.back().get());
  m_blockSize = size;
  m_blockUsed = 0;
  m_nextBlock = std::min(kLargestBlock, std::max(m_nextBlock, size / 2) * 2);
}

char* ByteArena::Allocate(size_t size, Ref* ref) {
  if (m_blocks.empty() || m_blockSize - m_blockUsed < size) NewBlock(size);
  const size_t block = m_blocks.size() - 1;
  *ref = (Ref(block) << kOffsetBits) | Ref(m_blockUsed);
  char* at = m_bases.back() + m_blockUsed;
  m_blockUsed += size;
  m_used += size;
  return at;
}

void ByteArena::Reserve(size_t size) {
  if (!m_blocks.empty() && m_blockSize - m_blockUsed >= size) return;
  m_nextBlock = std::max(m_nextBlock, size);
  NewBlock(size);
}

void ByteArena::Clear() {
  *this = ByteArena();
}

}  // namespace platform
