// TTextPool: keeps each distinct text once, for reports that hold the same
// values (page URLs, referrers) in thousands of rows.
//
// Intern answers a view of the pooled copy of a text, Number its number
// (from 0, in order of first arrival); equal texts give the same view and
// number, so a view stays valid (and its characters never move) until
// Clear or the pool's end. The characters live in large blocks released as
// a whole, and the texts are found through one flat table, so a text costs
// its length and a few words instead of a string object, a heap block and
// a hash node. Not thread-safe: one thread interns at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace trelvar {

class TTextPool {
 public:
  static constexpr uint32_t kMissing = UINT32_MAX;

  TTextPool() = default;
  TTextPool(const TTextPool&) = delete;
  TTextPool& operator=(const TTextPool&) = delete;
  TTextPool(TTextPool&&) = default;
  TTextPool& operator=(TTextPool&&) = default;

  uint32_t Number(std::string_view text);
  std::string_view Intern(std::string_view text) { return Text(Number(text)); }
  std::string_view Text(uint32_t number) const { return texts_[number]; }
  // kMissing when the text was never interned.
  uint32_t Find(std::string_view text) const;
  size_t Size() const { return texts_.size(); }
  void Clear();

 private:
  struct TSlot {
    uint32_t number = kMissing;  // kMissing: a free slot
    uint32_t hash = 0;           // the low bits of the text's hash
  };
  static uint64_t Hash(std::string_view text);
  // The slot of the text, or the free slot where it belongs.
  size_t SlotOf(std::string_view text, uint64_t hash) const;
  const char* Store(std::string_view text);
  void Grow();

  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t block_used_ = 0, block_size_ = 0;  // of the last block
  std::vector<std::string_view> texts_;     // by number
  std::vector<TSlot> slots_;                // at most three quarters full
};

}  // namespace trelvar
