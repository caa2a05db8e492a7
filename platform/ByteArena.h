#pragma once

#include <QtGlobal>
#include <cstddef>
#include <memory>
#include <vector>

namespace platform {

// Bytes kept in large blocks that never move, so a million small texts cost their bytes
// and no allocation each. A piece handed out stays where it is until the arena is
// cleared; whoever shares the blocks (see Blocks) keeps them alive past that.
class ByteArena {
 public:
  // Where a piece is: the block in the high bits, the offset in it in the low 40.
  using Ref = quint64;
  using Blocks = std::vector<std::shared_ptr<char[]>>;

  // Room for `size` bytes in one piece: *ref tells where it is; write the bytes at the
  // pointer returned.
  char* Allocate(size_t size, Ref* ref);
  const char* At(Ref ref) const { return m_bases[ref >> kOffsetBits] + (ref & kOffsetMask); }
  // Makes the next block at least this large, so that many pieces to come lie together.
  void Reserve(size_t size);
  void Clear();
  // Bytes handed out so far.
  size_t Used() const { return m_used; }
  // The blocks, shared: the pieces in them stay readable while the copy lives.
  const Blocks& Shared() const { return m_blocks; }
  // Whether someone shares the block that holds the piece.
  bool Shared(Ref ref) const { return m_blocks[ref >> kOffsetBits].use_count() > 1; }
  static const char* At(const Blocks& blocks, Ref ref) {
    return blocks[ref >> kOffsetBits].get() + (ref & kOffsetMask);
  }

 private:
  static constexpr int kOffsetBits = 40;
  static constexpr Ref kOffsetMask = (Ref(1) << kOffsetBits) - 1;
  void NewBlock(size_t atLeast);

  Blocks m_blocks;
  std::vector<char*> m_bases;
  size_t m_blockSize = 0;
  size_t m_blockUsed = 0;
  size_t m_nextBlock = 4096;
  size_t m_used = 0;
};

}  // namespace platform
