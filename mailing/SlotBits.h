#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mailing {

// A set of small integers (row slots) that finds the next or previous member of any
// number in a few steps whatever the set's size: bits in 64-bit words, and above them
// levels of summary bits, one per word below that holds any member.
class SlotBits {
 public:
  SlotBits();

  // Makes room for members up to bits - 1, keeping the members.
  void Reserve(int bits);
  void Clear();

  void Set(int i);
  void Reset(int i);
  bool Test(int i) const;
  int Count() const { return m_count; }

  // The least member >= i, or -1.
  int NextFrom(int i) const;
  // The greatest member < i, or -1.
  int PrevBefore(int i) const;

 private:
  int Next(std::size_t level, std::size_t i) const;
  int Prev(std::size_t level, std::size_t i) const;
  void Summarise();

  // m_levels[0] holds the members; bit w of level k + 1 is set when word w of level k is
  // not zero. The last level has one word.
  std::vector<std::vector<std::uint64_t>> m_levels;
  int m_count = 0;
};

}  // namespace mailing
