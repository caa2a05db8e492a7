#include "mailing/SlotBits.h"

#include <algorithm>
#include <bit>

namespace mailing {

namespace {

constexpr std::uint64_t kOne = 1;

size_t WordsFor(size_t bits) {
  return (bits + 63) / 64;
}

}  // namespace

SlotBits::SlotBits() {
  Reserve(64);
}

void SlotBits::Reserve(int bits) {
  size_t words = WordsFor(static_cast<size_t>(bits > 64 ? bits : 64));
  if (!m_levels.empty() && words <= m_levels[0].size()) return;
  std::vector<std::uint64_t> members =
      m_levels.empty() ? std::vector<std::uint64_t>() : std::move(m_levels[0]);
  // Grow geometrically: slots are handed out one by one.
  words = std::max(words, members.size() * 2);
  members.resize(words, 0);
  m_levels.clear();
  m_levels.push_back(std::move(members));
  Summarise();
}

void SlotBits::Summarise() {
  m_levels.resize(1);
  while (m_levels.back().size() > 1) {
    const std::vector<std::uint64_t>& below = m_levels.back();
    std::vector<std::uint64_t> above(WordsFor(below.size()), 0);
    for (size_t w = 0; w < below.size(); ++w) {
      if (below[w] != 0) above[w / 64] |= kOne << (w % 64);
    }
    m_levels.push_back(std::move(above));
  }
}

void SlotBits::Clear() {
  for (auto& level : m_levels) std::fill(level.begin(), level.end(), 0);
  m_count = 0;
}

bool SlotBits::Test(int i) const {
  const auto at = static_cast<size_t>(i);
  return i >= 0 && at / 64 < m_levels[0].size() && (m_levels[0][at / 64] >> (at % 64) & 1) != 0;
}

void SlotBits::Set(int i) {
  if (i < 0 || Test(i)) return;
  Reserve(i + 1);
  ++m_count;
  auto at = static_cast<size_t>(i);
  for (auto& level : m_levels) {
    std::uint64_t& word = level[at / 64];
    const bool wasEmpty = word == 0;
    word |= kOne << (at % 64);
    if (!wasEmpty) return;
    at /= 64;
  }
}

void SlotBits::Reset(int i) {
  if (!Test(i)) return;
  --m_count;
  auto at = static_cast<size_t>(i);
  for (auto& level : m_levels) {
    std::uint64_t& word = level[at / 64];
    word &= ~(kOne << (at % 64));
    if (word != 0) return;
    at /= 64;
  }
}

int SlotBits::NextFrom(int i) const {
  return Next(0, static_cast<size_t>(i < 0 ? 0 : i));
}

int SlotBits::PrevBefore(int i) const {
  return i <= 0 ? -1 : Prev(0, static_cast<size_t>(i));
}

int SlotBits::Next(size_t level, size_t i) const {
  const std::vector<std::uint64_t>& words = m_levels[level];
  size_t w = i / 64;
  if (w >= words.size()) return -1;
  const std::uint64_t word = words[w] & (~std::uint64_t(0) << (i % 64));
  if (word != 0) return static_cast<int>(w * 64 + std::countr_zero(word));
  if (level + 1 == m_levels.size()) return -1;  // the last level is one word
  const int above = Next(level + 1, w + 1);
  if (above < 0) return -1;
  const auto at = static_cast<size_t>(above);
  return static_cast<int>(at * 64 + std::countr_zero(words[at]));
}

int SlotBits::Prev(size_t level, size_t i) const {
  const std::vector<std::uint64_t>& words = m_levels[level];
  if (i > words.size() * 64) i = words.size() * 64;
  if (i == 0) return -1;
  const size_t last = i - 1;
  const size_t w = last / 64;
  const std::uint64_t word = words[w] & (~std::uint64_t(0) >> (63 - last % 64));
  if (word != 0) return static_cast<int>(w * 64 + 63 - std::countl_zero(word));
  if (w == 0 || level + 1 == m_levels.size()) return -1;
  const int above = Prev(level + 1, w);
  if (above < 0) return -1;
  const auto at = static_cast<size_t>(above);
  return static_cast<int>(at * 64 + 63 - std::countl_zero(words[at]));
}

}  // namespace mailing
