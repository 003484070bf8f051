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

  // Keeps only the texts the owner still holds and releases the others:
  // owners that drop rows call it, or the pool would keep every text it
  // ever had. It does nothing until the pool holds twice the texts it kept
  // the last time, so that its walks over the owner cost a few steps per
  // text. `for_each_held(f)` must call `f` with a reference to every number
  // the owner holds; each is rewritten to its text's new number (the order
  // of arrival stays). Views of the old texts become invalid.
  template <typename ForEachHeld>
  void KeepOnly(ForEachHeld for_each_held) {
    if (!Grown()) return;
    std::vector<uint32_t> renumber(texts_.size(), kMissing);
    for_each_held([&](uint32_t& number) { renumber[number] = 0; });
    TTextPool kept;
    for (size_t n = 0; n < texts_.size(); ++n)
      if (renumber[n] != kMissing) renumber[n] = kept.Number(texts_[n]);
    for_each_held([&](uint32_t& number) { number = renumber[number]; });
    Replace(std::move(kept));
  }
  // The same for an owner that holds views of the texts: `f` gets a
  // reference to every view held and points it at the kept copy.
  template <typename ForEachHeld>
  void KeepOnlyViews(ForEachHeld for_each_held) {
    if (!Grown()) return;
    TTextPool kept;
    for_each_held([&](std::string_view& text) { text = kept.Intern(text); });
    Replace(std::move(kept));
  }

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
  size_t kept_ = 0;  // the texts kept the last time

  bool Grown() const { return texts_.size() >= 2 * kept_ && texts_.size() >= 1024; }
  void Replace(TTextPool&& kept) {
    *this = std::move(kept);
    kept_ = texts_.size();
  }
};

}  // namespace trelvar
