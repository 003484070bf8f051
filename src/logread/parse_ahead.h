// The hand-over of lines parsed ahead on a thread of their own.
//
// The line parser can cut, filter and date the lines of a scan on a second
// thread while the driver counts the lines parsed before, so that parsing
// and counting share two cores. The parsing thread fills a TParsedBatch
// with about a thousand lines and, beside them, everything the parser told
// its reporter while parsing them (notices, rejected lines) and the files
// it started, each with its place among the lines. The driver's thread
// takes the batch, tells the reporter what was told and hands the lines
// over in that order, so that whatever the user reads, and every count,
// comes out as it does when one thread parses and counts in turn.
//
// A line crosses as a TPackedLine and its texts, packed one after the
// other in the batch's bytes: memory written on one core and read on the
// other is the costly part of the hand-over, so a batch is small and read
// front to back, and batches are reused in turn (a batch is written again
// only after the others, when the reader's copies of it are old). Splits
// are passed by pointer into the parser's memo, which keeps them until
// every batch that may point at them has come back.
//
// TBatchExchange owns the batches and passes them between exactly one
// parsing thread and one driving thread: full ones in the order they were
// filled, used ones back for reuse (their storage is filled again, so that
// the steady state allocates nothing). Its methods are thread-safe; a
// batch belongs to whichever side took it last.
// TToldRecorder is the parsing thread's reporter: it writes into the batch
// being filled.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "logread/line_reporter.h"
#include "logread/log_line.h"

namespace trelvar {

// A log file the parser started, for the driver's per-file handler: its
// number in the scan, its path, the fields its lines can carry and the
// field codes of its template.
struct TParsedFileStart {
  uint32_t no = 0;
  std::string path;
  std::array<bool, kCurrentFieldCount> live{};
  std::vector<int> codes;
};

// One line of a batch: this record, then its texts, each as a code
// (kCurrentFieldCount and up: kPackedDayOfWeek ..), a length of two bytes
// and the bytes; kPackedEnd ends them.
struct TPackedLine {
  TDateTime timestamp = 0;
  const TSplitRef* request = nullptr;
  const TSplitRef* referrer = nullptr;
  uint64_t agent_serial = 0;
  uint64_t request_serial = 0;
  uint64_t referrer_serial = 0;
  // RecentTextHash of the URL, when the driver looks it up: the driver
  // fetches its place in the table of recent URLs a line ahead.
  uint64_t href_hash = 0;
  int64_t progress_kb = 0;  // the reading progress when it was read
  uint32_t file_no = 0;
  bool is_hit = false;
};
enum : uint8_t {
  kPackedDayOfWeek = kCurrentFieldCount,
  kPackedBrowser,
  kPackedBrowserVersion,
  kPackedPlatform,
  kPackedPlatformVersion,
  kPackedEnd = 255,
};
// Writes `value` (of at most 65535 bytes) under `code` at `to`; the byte
// after it.
inline char* PackText(char* to, uint8_t code, std::string_view value) {
  const size_t n = value.size();
  to[0] = static_cast<char>(code);
  to[1] = static_cast<char>(n & 0xFF);
  to[2] = static_cast<char>(n >> 8);
  if (n > 0) std::memcpy(to + 3, value.data(), n);  // an empty view may have no data
  return to + 3 + n;
}

// The packed bytes of a batch. A line asks for room for all of its bytes
// at once and writes them without a check for each; Clear keeps the
// storage.
class TPackedBytes {
 public:
  // A place for up to `n` more bytes at the end; End then says where the
  // bytes written there end.
  char* Room(size_t n);
  void End(const char* to) { size_ = static_cast<size_t>(to - data_.get()); }
  void Clear() { size_ = 0; }
  const char* Data() const { return data_.get(); }
  size_t Size() const { return size_; }

 private:
  static constexpr size_t kFirstCapacity = size_t{1} << 20;
  std::unique_ptr<char[]> data_;
  size_t size_ = 0, capacity_ = 0;
};

struct TParsedBatch {
  // What the parser told its reporter; `before` is the number of the
  // batch's lines parsed when it was told.
  struct TTold {
    enum class TKind { kNotice, kRejected } kind = TKind::kNotice;
    std::string text;  // the notice, or the reason of a rejected line
    std::string raw;   // the rejected line
    size_t before = 0;
  };

  TPackedBytes packed;
  size_t lines = 0;
  std::vector<TTold> told;
  std::vector<TParsedFileStart> starts;
  // The scan ends with this batch; `error` ends it with an exception.
  bool last = false;
  std::exception_ptr error;
  // The reading progress after the batch (kilobytes), and the file then.
  int64_t progress_kb = 0;
  std::string path;
  // The number of the fill, from 1: once a batch comes back, every batch
  // filled before it has been delivered.
  uint64_t fill = 0;

  // Empties the batch for the next fill, keeping its storage.
  void Reset();
};

class TBatchExchange {
 public:
  explicit TBatchExchange(size_t batches);
  TBatchExchange(const TBatchExchange&) = delete;
  TBatchExchange& operator=(const TBatchExchange&) = delete;

  // The parsing side: the batch given back longest ago, waiting while all
  // are full; null once Stop was called.
  TParsedBatch* TakeEmpty();
  void HandFull(TParsedBatch* batch);
  // The driving side: the oldest full batch, waiting for one; null once
  // Stop was called.
  TParsedBatch* TakeFull();
  void GiveBack(TParsedBatch* batch);
  // Wakes and refuses both sides from now on.
  void Stop();

 private:
  // The oldest batch of `from`, waiting for one; null once stopped.
  TParsedBatch* Take(std::deque<TParsedBatch*>& from);
  void Put(std::deque<TParsedBatch*>& to, TParsedBatch* batch);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<TParsedBatch>> owned_;
  std::deque<TParsedBatch*> empty_;
  std::deque<TParsedBatch*> full_;
  bool stopped_ = false;
};

class TToldRecorder : public TLineReporter {
 public:
  void SetBatch(TParsedBatch* batch) { batch_ = batch; }

  // Only the driver starts and ends a scan.
  void ScanStarting(const std::string&) override {}
  void Notice(const std::string& line) override;
  void Rejected(std::string_view reason, std::string_view raw) override;
  void ScanFinished() override {}

 private:
  TParsedBatch* batch_ = nullptr;
};

// Tells `reporter` what `told` records.
void Retell(const TParsedBatch::TTold& told, TLineReporter& reporter);

}  // namespace trelvar
