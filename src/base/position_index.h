// TPositionIndex: finds elements of a list by a hash of theirs, for lists
// of tens of thousands of small elements where a node-based hash map would
// cost more than the elements themselves.
//
// A slot is the element's position + 1 (0: free) in one flat table (open
// addressing, linear probing, at most three quarters full), 4 bytes each.
// The list owns the elements and their hashes; the index only keeps
// positions, so it must be rebuilt whenever the elements move (sorting,
// cutting). Positions are placed in list order, so of two equal elements
// the earlier one is met first. Not thread-safe.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace trelvar {

class TPositionIndex {
 public:
  static constexpr ptrdiff_t kNone = -1;

  // The first position placed under `hash` for which `is_it(position)`
  // answers true, or kNone.
  template <typename IsIt>
  ptrdiff_t Find(uint64_t hash, IsIt is_it) const {
    if (slots_.empty()) return kNone;
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask; slots_[i] != 0; i = (i + 1) & mask)
      if (is_it(slots_[i] - 1)) return static_cast<ptrdiff_t>(slots_[i] - 1);
    return kNone;
  }

  // Places the newest of `size` elements; `hash_at(position)` answers the
  // hash of any of them, for when the table grows.
  template <typename HashAt>
  void Add(size_t size, HashAt hash_at) {
    if (size * 4 > slots_.size() * 3) {
      Fill(std::max<size_t>(kSmallest, slots_.size() * 2), size, hash_at);
      return;
    }
    Place(size - 1, hash_at(size - 1));
  }

  // Places all `size` elements anew, after they moved.
  template <typename HashAt>
  void Rebuild(size_t size, HashAt hash_at) {
    size_t slots = std::max(kSmallest, slots_.size());
    while (size * 4 > slots * 3) slots *= 2;
    Fill(slots, size, hash_at);
  }

  void Clear() { slots_.clear(); }

 private:
  static constexpr size_t kSmallest = 16;

  template <typename HashAt>
  void Fill(size_t slots, size_t size, HashAt hash_at) {
    slots_.assign(slots, 0);
    for (size_t k = 0; k < size; ++k) Place(k, hash_at(k));
  }
  void Place(size_t position, uint64_t hash) {
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = static_cast<uint32_t>(position + 1);
  }

  std::vector<uint32_t> slots_;
};

}  // namespace trelvar
