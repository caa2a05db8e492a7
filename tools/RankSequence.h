#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace tools {

// A sequence of rows with integer sort ranks that can be cut, joined and reversed in
// logarithmic time (a treap ordered by position, with the smallest and largest rank of
// every subtree and a pending reversal). The sort runs the quicksort's long chains of
// lopsided partitions on it, where each partition moves only a few rows to their final
// places but would shift all the others in an array.
class RankSequence {
 public:
  struct Entry {
    uint32_t rank;
    int row;
  };
  // A sequence is named by its root node; kNone is the empty one.
  static constexpr int kNone = -1;

  // Makes one sequence of the entries, in their order, in linear time.
  int Build(const Entry* entries, int count);

  int Size(int t) const { return t == kNone ? 0 : m_nodes[t].size; }
  uint32_t MinRank(int t) const { return m_nodes[t].min; }
  uint32_t MaxRank(int t) const { return m_nodes[t].max; }
  Entry At(int t, int index);
  // The first `count` entries and the rest.
  void Split(int t, int count, int& first, int& rest);
  int Join(int first, int rest);
  void Reverse(int t);
  // Takes every entry of this rank out, in order, appending them to `out`; the rank must
  // be the sequence's smallest or largest.
  int TakeRank(int t, uint32_t rank, std::vector<Entry>& out);
  // Appends the entries in order.
  void Flatten(int t, std::vector<Entry>& out);

 private:
  struct Node {
    uint32_t rank;
    uint32_t min;
    uint32_t max;
    uint32_t priority;
    int row;
    int size;
    int left;
    int right;
    bool reversed;
  };
  void Push(int t);
  void Pull(int t);
  bool Holds(int t, uint32_t rank) const {
    return t != kNone && (m_nodes[t].min == rank || m_nodes[t].max == rank);
  }

  std::vector<Node> m_nodes;
  std::mt19937 m_random{20260504};
};

}  // namespace tools
