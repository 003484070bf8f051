// TRejectLog: the list of log lines an analysis could not count.
//
// The line parser hands every rejected line here with the reason; the
// first kListed of them are written to the analysis error page (the
// reason, then the raw line, both HTML-escaped: log text is hostile), the
// rest are only counted, and Finish writes one line with the number left
// out. Writes nothing without a stream. Does not own the stream. Main
// thread only.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>

namespace trelvar {

class TRejectLog {
 public:
  static constexpr int64_t kListed = 1000;

  void SetStream(std::ostream* out) { out_ = out; }
  // `reason` is plain text (it may quote the line); `raw` may be empty.
  void Add(std::string_view reason, std::string_view raw);
  // The number of rejected lines not listed, once at the end of the pass.
  void Finish();
  int64_t Count() const { return count_; }

 private:
  std::ostream* out_ = nullptr;
  int64_t count_ = 0;
  bool finished_ = false;
};

}  // namespace trelvar
