#include "tools/RankSequence.h"

#include <algorithm>
#include <utility>

namespace tools {

int RankSequence::Build(const Entry* entries, int count) {
  m_nodes.clear();
  m_nodes.reserve(static_cast<size_t>(count));
  // A Cartesian tree of random priorities, built along its right spine.
  std::vector<int> spine;
  for (int i = 0; i < count; ++i) {
    m_nodes.push_back({entries[i].rank, entries[i].rank, entries[i].rank, static_cast<uint32_t>(m_random()),
                       entries[i].row, 1, kNone, kNone, false});
    int last = kNone;
    while (!spine.empty() && m_nodes[spine.back()].priority < m_nodes[i].priority) {
      last = spine.back();
      spine.pop_back();
    }
    m_nodes[i].left = last;
    if (!spine.empty()) m_nodes[spine.back()].right = i;
    spine.push_back(i);
  }
  if (spine.empty()) return kNone;
  // Sizes and ranks from the leaves up: a node comes after its children in this order.
  std::vector<int> order;
  std::vector<int> pending{spine.front()};
  while (!pending.empty()) {
    const int t = pending.back();
    pending.pop_back();
    order.push_back(t);
    if (m_nodes[t].left != kNone) pending.push_back(m_nodes[t].left);
    if (m_nodes[t].right != kNone) pending.push_back(m_nodes[t].right);
  }
  for (auto it = order.rbegin(); it != order.rend(); ++it) Pull(*it);
  return spine.front();
}

void RankSequence::Push(int t) {
  Node& n = m_nodes[t];
  if (!n.reversed) return;
  std::swap(n.left, n.right);
  if (n.left != kNone) m_nodes[n.left].reversed = !m_nodes[n.left].reversed;
  if (n.right != kNone) m_nodes[n.right].reversed = !m_nodes[n.right].reversed;
  n.reversed = false;
}

void RankSequence::Pull(int t) {
  Node& n = m_nodes[t];
  n.size = 1;
  n.min = n.max = n.rank;
  for (const int child : {n.left, n.right}) {
    if (child == kNone) continue;
    n.size += m_nodes[child].size;
    n.min = std::min(n.min, m_nodes[child].min);
    n.max = std::max(n.max, m_nodes[child].max);
  }
}

RankSequence::Entry RankSequence::At(int t, int index) {
  while (true) {
    Push(t);
    const int leftSize = Size(m_nodes[t].left);
    if (index < leftSize) {
      t = m_nodes[t].left;
    } else if (index == leftSize) {
      return {m_nodes[t].rank, m_nodes[t].row};
    } else {
      index -= leftSize + 1;
      t = m_nodes[t].right;
    }
  }
}

void RankSequence::Split(int t, int count, int& first, int& rest) {
  if (t == kNone) {
    first = rest = kNone;
    return;
  }
  Push(t);
  const int leftSize = Size(m_nodes[t].left);
  if (count <= leftSize) {
    Split(m_nodes[t].left, count, first, m_nodes[t].left);
    rest = t;
  } else {
    Split(m_nodes[t].right, count - leftSize - 1, m_nodes[t].right, rest);
    first = t;
  }
  Pull(t);
}

int RankSequence::Join(int first, int rest) {
  if (first == kNone) return rest;
  if (rest == kNone) return first;
  if (m_nodes[first].priority > m_nodes[rest].priority) {
    Push(first);
    m_nodes[first].right = Join(m_nodes[first].right, rest);
    Pull(first);
    return first;
  }
  Push(rest);
  m_nodes[rest].left = Join(first, m_nodes[rest].left);
  Pull(rest);
  return rest;
}

void RankSequence::Reverse(int t) {
  if (t != kNone) m_nodes[t].reversed = !m_nodes[t].reversed;
}

int RankSequence::TakeRank(int t, uint32_t rank, std::vector<Entry>& out) {
  while (Holds(t, rank)) {
    // The place of the first entry of that rank.
    int index = 0;
    for (int n = t;;) {
      Push(n);
      const int left = m_nodes[n].left;
      if (Holds(left, rank)) {
        n = left;
      } else if (m_nodes[n].rank == rank) {
        index += Size(left);
        break;
      } else {
        index += Size(left) + 1;
        n = m_nodes[n].right;
      }
    }
    int before = kNone;
    int rest = kNone;
    int taken = kNone;
    int after = kNone;
    Split(t, index, before, rest);
    Split(rest, 1, taken, after);
    out.push_back({m_nodes[taken].rank, m_nodes[taken].row});
    t = Join(before, after);
  }
  return t;
}

void RankSequence::Flatten(int t, std::vector<Entry>& out) {
  std::vector<int> stack;
  while (t != kNone || !stack.empty()) {
    while (t != kNone) {
      Push(t);
      stack.push_back(t);
      t = m_nodes[t].left;
    }
    t = stack.back();
    stack.pop_back();
    out.push_back({m_nodes[t].rank, m_nodes[t].row});
    t = m_nodes[t].right;
  }
}

}  // namespace tools
