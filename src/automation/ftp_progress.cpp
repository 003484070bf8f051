#include "automation/ftp_progress.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/web_helpers.h"

namespace trelvar {

namespace {

constexpr double kMsPerDay = 86400000.0;

// Two decimals with "." whatever the locale.
std::string TwoDecimals(double value) {
  if (!std::isfinite(value)) return "0.00";
  char text[64];
  const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  return r.ec == std::errc() ? std::string(text, r.ptr) : "0.00";
}

}  // namespace

std::string KBText(int64_t bytes) { return std::to_string(bytes / 1024) + " KB"; }

TTransferProgress TransferProgressOf(int64_t expected, int64_t offset, int64_t counted,
                                     int64_t elapsed_ms) {
  TTransferProgress p;
  p.range = std::max<int64_t>(0, expected - offset);
  p.position = std::max<int64_t>(0, counted - offset);
  const double elapsed_days = static_cast<double>(std::max<int64_t>(0, elapsed_ms)) / kMsPerDay;
  if (p.position > 0) {
    // A file that grew since it was listed has nothing left to wait for.
    const int64_t missing = std::max<int64_t>(0, p.range - p.position);
    p.time_left = DurationText(elapsed_days * static_cast<double>(missing) /
                               static_cast<double>(p.position));
  }
  p.rate = elapsed_ms > 0 ? TwoDecimals(static_cast<double>(p.position) /
                                        (elapsed_days * 86400.0 * 1024.0)) +
                                " KB/sec"
                          : "0 KB/sec";
  p.received = KBText(p.position);
  return p;
}

}  // namespace trelvar
