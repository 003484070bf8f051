// TRowIndex: finds the row of a text value in one probe of a flat table.
//
// Reports count every log line into rows found by their value; with tens
// of thousands of rows a node-based hash map costs a cache miss per node.
// This index keeps the row pointers in one array (open addressing, linear
// probing, at most three quarters full) and compares the texts only when
// a 16-bit piece of their hashes agrees. The tables of big reports are a
// large part of a run's memory, so that piece rides in the pointer's top
// bits, which user-space addresses leave unused: a slot is one word. Should
// an address ever use them, the index keeps plain pointers and compares
// the text of every row it meets instead. The rows own their texts; the
// index holds pointers and must be cleared or rebuilt when rows go. A value
// added twice keeps its first row. Not thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace trelvar {

// `kTagShift` is where the hash piece begins; tests move it down to meet
// addresses that use those bits.
template <typename Row, unsigned kTagShift = 48>
class TRowIndex {
 public:
  Row* Find(std::string_view value) const {
    if (slots_.empty()) return nullptr;
    const uint64_t h = Hash(value);
    for (size_t i = h & mask_;; i = (i + 1) & mask_) {
      const uintptr_t s = slots_[i];
      if (s == 0) return nullptr;
      if (((s ^ h) & tag_mask_) == 0 && Key(*RowOf(s)) == value) return RowOf(s);
    }
  }

  void Insert(Row* row) {
    if ((reinterpret_cast<uintptr_t>(row) & tag_mask_) != 0) Untag();
    if ((count_ + 1) * 4 > slots_.size() * 3) Rebuild(slots_.empty() ? 16 : slots_.size() * 2);
    if (Place(slots_, Hash(Key(*row)), row)) ++count_;
  }

  void Clear() {
    slots_.clear();
    count_ = 0;
    mask_ = 0;
  }
  size_t Size() const { return count_; }

 private:
  static_assert(sizeof(uintptr_t) == 8 && kTagShift < 64, "the tag needs 64-bit addresses");

  static std::string_view Key(const Row& row) { return row.value; }
  static uint64_t Hash(std::string_view v) { return std::hash<std::string_view>{}(v); }
  Row* RowOf(uintptr_t slot) const { return reinterpret_cast<Row*>(slot & ~tag_mask_); }

  // False when the value is there already. The low bits of the hash choose
  // the slot, its top bits are the tag.
  bool Place(std::vector<uintptr_t>& slots, uint64_t h, Row* row) const {
    const size_t mask = slots.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
      uintptr_t& s = slots[i];
      if (s == 0) {
        s = reinterpret_cast<uintptr_t>(row) | (h & tag_mask_);
        return true;
      }
      if (((s ^ h) & tag_mask_) == 0 && Key(*RowOf(s)) == Key(*row)) return false;
    }
  }

  // Small first: reports keep thousands of short lists with an index each.
  void Rebuild(size_t size) {
    std::vector<uintptr_t> fresh(size);
    for (uintptr_t s : slots_)
      if (s != 0) Place(fresh, Hash(Key(*RowOf(s))), RowOf(s));
    slots_.swap(fresh);
    mask_ = slots_.size() - 1;
  }
  // From now on every slot holds a plain pointer.
  void Untag() {
    for (uintptr_t& s : slots_) s &= ~tag_mask_;  // the places stay
    tag_mask_ = 0;
  }

  std::vector<uintptr_t> slots_;  // 0: free
  size_t mask_ = 0;
  size_t count_ = 0;
  uintptr_t tag_mask_ = ~uintptr_t{0} << kTagShift;  // 0 once untagged
};

}  // namespace trelvar
