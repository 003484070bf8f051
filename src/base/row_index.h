// TRowIndex: finds the row of a text value in one probe of a flat table.
//
// Reports count every log line into rows found by their value; with tens
// of thousands of rows a node-based hash map costs a cache miss per node.
// This index keeps the hash and the row pointer side by side in one array
// (open addressing, linear probing, at most three quarters full: the
// tables of big reports are a large part of a run's memory; the stored
// hash keeps the longer probes cheap) and compares the
// texts only when the hashes agree. The rows own their texts; the index
// holds pointers and must be cleared or rebuilt when rows go. A value added
// twice keeps its first row. Not thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace trelvar {

template <typename Row>
class TRowIndex {
 public:
  // `key` gives the text of a row.
  Row* Find(std::string_view value) const {
    if (slots_.empty()) return nullptr;
    const uint64_t h = Hash(value);
    for (size_t i = h & mask_;; i = (i + 1) & mask_) {
      const TSlot& s = slots_[i];
      if (s.row == nullptr) return nullptr;
      if (s.hash == h && Key(*s.row) == value) return s.row;
    }
  }

  void Insert(Row* row) {
    if ((count_ + 1) * 4 > slots_.size() * 3) Grow();
    if (Place(slots_, Hash(Key(*row)), row)) ++count_;
  }

  void Clear() {
    slots_.clear();
    count_ = 0;
    mask_ = 0;
  }
  size_t Size() const { return count_; }

 private:
  struct TSlot {
    uint64_t hash = 0;
    Row* row = nullptr;
  };

  static std::string_view Key(const Row& row) { return row.value; }
  static uint64_t Hash(std::string_view v) { return std::hash<std::string_view>{}(v); }

  // False when the value is there already.
  bool Place(std::vector<TSlot>& slots, uint64_t h, Row* row) {
    const size_t mask = slots.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
      TSlot& s = slots[i];
      if (s.row == nullptr) {
        s = {h, row};
        return true;
      }
      if (s.hash == h && Key(*s.row) == Key(*row)) return false;
    }
  }

  void Grow() {
    // Small first: reports keep thousands of short lists with an index each.
    std::vector<TSlot> bigger(slots_.empty() ? 16 : slots_.size() * 2);
    for (const TSlot& s : slots_)
      if (s.row != nullptr) Place(bigger, s.hash, s.row);
    slots_.swap(bigger);
    mask_ = slots_.size() - 1;
  }

  std::vector<TSlot> slots_;
  size_t mask_ = 0;
  size_t count_ = 0;
};

}  // namespace trelvar
