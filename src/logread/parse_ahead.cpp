#include "logread/parse_ahead.h"

#include <algorithm>
#include <utility>

namespace trelvar {

char* TPackedBytes::Room(size_t n) {
  if (size_ + n > capacity_) {
    // A batch of common lines fits in the first place, so that it is not
    // copied while it grows. The place is not zeroed: only the bytes
    // written are touched, and so paid for.
    const size_t capacity = std::max({capacity_ * 2, size_ + n + 64 * 1024, kFirstCapacity});
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }
  return data_.get() + size_;
}

void TParsedBatch::Reset() {
  packed.Clear();
  lines = 0;
  told.clear();
  starts.clear();
  last = false;
  error = nullptr;
}

TBatchExchange::TBatchExchange(size_t batches) {
  for (size_t i = 0; i < batches; ++i) {
    owned_.push_back(std::make_unique<TParsedBatch>());
    empty_.push_back(owned_.back().get());
  }
}

TParsedBatch* TBatchExchange::Take(std::deque<TParsedBatch*>& from) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return stopped_ || !from.empty(); });
  if (stopped_) return nullptr;
  TParsedBatch* batch = from.front();
  from.pop_front();
  return batch;
}

void TBatchExchange::Put(std::deque<TParsedBatch*>& to, TParsedBatch* batch) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    to.push_back(batch);
  }
  changed_.notify_all();
}

TParsedBatch* TBatchExchange::TakeEmpty() { return Take(empty_); }
void TBatchExchange::HandFull(TParsedBatch* batch) { Put(full_, batch); }
TParsedBatch* TBatchExchange::TakeFull() { return Take(full_); }
void TBatchExchange::GiveBack(TParsedBatch* batch) { Put(empty_, batch); }

void TBatchExchange::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
}

void TToldRecorder::Notice(const std::string& line) {
  batch_->told.push_back(
      {TParsedBatch::TTold::TKind::kNotice, line, std::string(), batch_->lines});
}

void TToldRecorder::Rejected(std::string_view reason, std::string_view raw) {
  batch_->told.push_back({TParsedBatch::TTold::TKind::kRejected, std::string(reason),
                          std::string(raw), batch_->lines});
}

void Retell(const TParsedBatch::TTold& told, TLineReporter& reporter) {
  switch (told.kind) {
    case TParsedBatch::TTold::TKind::kNotice: reporter.Notice(told.text); break;
    case TParsedBatch::TTold::TKind::kRejected: reporter.Rejected(told.text, told.raw); break;
  }
}

}  // namespace trelvar
