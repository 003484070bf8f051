// TTextPool: keeps each distinct text once, for reports that hold the same
// values (page URLs, referrers) in thousands of rows.
//
// Intern answers a view of the pooled copy of a text; equal texts give the
// same view, so a view stays valid (and its characters never move) until
// Clear or the pool's end. The characters live in large blocks released as
// a whole, and the texts are found through one flat table, so a text costs
// its length plus a table slot instead of a string object, a heap block and
// a hash node. Not thread-safe: one thread interns at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace trelvar {

class TTextPool {
 public:
  TTextPool() = default;
  TTextPool(const TTextPool&) = delete;
  TTextPool& operator=(const TTextPool&) = delete;
  TTextPool(TTextPool&&) = default;
  TTextPool& operator=(TTextPool&&) = default;

  std::string_view Intern(std::string_view text);
  // The pooled view of the text, or an empty view when it was never
  // interned (the empty text is always there).
  std::string_view Find(std::string_view text) const;
  // Distinct texts held, the empty one aside.
  size_t Size() const { return count_; }
  void Clear();

 private:
  struct TSlot {
    const char* data = nullptr;  // null: a free slot
    uint32_t size = 0;
    uint32_t hash = 0;  // the low bits of the text's hash
  };
  static uint64_t Hash(std::string_view text);
  // The slot of the text, or the free slot where it belongs.
  size_t SlotOf(std::string_view text, uint64_t hash) const;
  const char* Store(std::string_view text);
  void Grow();

  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t block_used_ = 0, block_size_ = 0;  // of the last block
  std::vector<TSlot> slots_;  // at most half full
  size_t count_ = 0;
};

}  // namespace trelvar
