#include "base/text_pool.h"

#include <cstring>
#include <functional>

namespace trelvar {

namespace {
// Blocks of this size hold the short texts; a longer text gets a block of
// its own, so a block never wastes more than a quarter of itself.
constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kOwnBlock = kBlockSize / 4;
}  // namespace

uint64_t TTextPool::Hash(std::string_view text) { return std::hash<std::string_view>{}(text); }

size_t TTextPool::SlotOf(std::string_view text, uint64_t hash) const {
  const size_t mask = slots_.size() - 1;
  const auto low = static_cast<uint32_t>(hash);
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const TSlot& s = slots_[i];
    if (s.number == kMissing) return i;
    if (s.hash == low && texts_[s.number] == text) return i;
  }
}

uint32_t TTextPool::Find(std::string_view text) const {
  if (slots_.empty()) return kMissing;
  return slots_[SlotOf(text, Hash(text))].number;
}

uint32_t TTextPool::Number(std::string_view text) {
  if ((texts_.size() + 1) * 4 > slots_.size() * 3) Grow();
  const uint64_t hash = Hash(text);
  TSlot& s = slots_[SlotOf(text, hash)];
  if (s.number == kMissing) {
    s = {static_cast<uint32_t>(texts_.size()), static_cast<uint32_t>(hash)};
    texts_.emplace_back(Store(text), text.size());
  }
  return s.number;
}

const char* TTextPool::Store(std::string_view text) {
  if (text.empty()) return "";
  if (text.size() >= kOwnBlock) {
    auto own = std::make_unique<char[]>(text.size());
    std::memcpy(own.get(), text.data(), text.size());
    const char* data = own.get();
    // Kept ahead of the current block, which still has room.
    blocks_.insert(blocks_.empty() ? blocks_.end() : blocks_.end() - 1, std::move(own));
    return data;
  }
  if (blocks_.empty() || block_size_ - block_used_ < text.size()) {
    blocks_.push_back(std::make_unique<char[]>(kBlockSize));
    block_used_ = 0;
    block_size_ = kBlockSize;
  }
  char* data = blocks_.back().get() + block_used_;
  std::memcpy(data, text.data(), text.size());
  block_used_ += text.size();
  return data;
}

void TTextPool::Grow() {
  std::vector<TSlot> old(slots_.empty() ? 64 : slots_.size() * 2);
  old.swap(slots_);
  // The texts are distinct, and a table of fewer than 2^32 slots starts a
  // probe from the low bits of the hash alone, which the slot keeps.
  const size_t mask = slots_.size() - 1;
  for (const TSlot& s : old) {
    if (s.number == kMissing) continue;
    size_t i = s.hash & mask;
    while (slots_[i].number != kMissing) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

void TTextPool::Clear() {
  blocks_.clear();
  block_used_ = block_size_ = 0;
  texts_.clear();
  slots_.clear();
  kept_ = 0;
}

}  // namespace trelvar
