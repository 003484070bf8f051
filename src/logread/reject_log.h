// TRejectLog: the line parser's reporter in an analysis: the list of log
// lines it could not count, and its notices on the output channel.
//
// The first kListed rejected lines are written to the analysis error page
// (the reason, then the raw line, both HTML-escaped: log text is hostile),
// the rest are only counted, and the end of the scan writes one line with
// the number left out. Lists nothing without a stream. Does not own the
// stream. Main thread only.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>

#include "logread/line_reporter.h"

namespace trelvar {

class TRejectLog : public TLineReporter {
 public:
  static constexpr int64_t kListed = 1000;

  explicit TRejectLog(std::ostream* out = nullptr) : out_(out) {}

  // The main window is off while the scan runs; the heading is a line
  // where there is no progress window.
  void ScanStarting(const std::string& heading) override;
  void Notice(const std::string& line) override;
  void Rejected(std::string_view reason, std::string_view raw) override;
  // The number of rejected lines not listed, once.
  void ScanFinished() override;
  int64_t Count() const { return count_; }

 private:
  std::ostream* out_ = nullptr;
  int64_t count_ = 0;
  bool finished_ = false;
};

}  // namespace trelvar
