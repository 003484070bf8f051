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
    if (s.data == nullptr) return i;
    if (s.hash == low && std::string_view(s.data, s.size) == text) return i;
  }
}

std::string_view TTextPool::Find(std::string_view text) const {
  if (text.empty() || slots_.empty()) return {};
  const TSlot& s = slots_[SlotOf(text, Hash(text))];
  return s.data == nullptr ? std::string_view() : std::string_view(s.data, s.size);
}

std::string_view TTextPool::Intern(std::string_view text) {
  if (text.empty()) return {};
  if ((count_ + 1) * 2 > slots_.size()) Grow();
  const uint64_t hash = Hash(text);
  TSlot& s = slots_[SlotOf(text, hash)];
  if (s.data == nullptr) {
    s = {Store(text), static_cast<uint32_t>(text.size()), static_cast<uint32_t>(hash)};
    ++count_;
  }
  return {s.data, s.size};
}

const char* TTextPool::Store(std::string_view text) {
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
    if (s.data == nullptr) continue;
    size_t i = s.hash & mask;
    while (slots_[i].data != nullptr) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

void TTextPool::Clear() {
  blocks_.clear();
  block_used_ = block_size_ = 0;
  slots_.clear();
  count_ = 0;
}

}  // namespace trelvar
