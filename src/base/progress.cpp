#include "base/progress.h"

#include <charconv>
#include <cmath>

#include "base/web_helpers.h"
#include "platform/system.h"

namespace trelvar {

namespace {

// Two decimals with "." whatever the locale ("50.00").
std::string TwoDecimals(double value) {
  if (!std::isfinite(value)) return "0.00";
  char text[64];
  auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  return r.ec == std::errc() ? std::string(text, r.ptr) : "0.00";
}

}  // namespace

TfrmProg::TfrmProg(TRunControl& run, TClock clock, const TProgressIdleTexts& texts)
    : run_(run), clock_(clock ? std::move(clock) : TClock(platform::MonotonicMilliseconds)) {
  info_caption_ = texts.caption;
  file_name_ = texts.none;
  time_left_text_ = texts.none;
  rate_text_ = texts.none;
  run_.SetTicker(this);
}

TfrmProg::~TfrmProg() { run_.SetTicker(nullptr); }

void TfrmProg::Start(const std::string& caption, int64_t steps) {
  info_caption_ = caption;
  bar_position_ = 0;
  bar_maximum_ = steps;
  steps_total_ = steps;
  started_at_ = Now();
  started_ms_ = clock_();
  next_tick_ms_ = started_ms_ + kTickMilliseconds;
  timer_enabled_ = true;
  cancelled_ = false;
}

void TfrmProg::Tick() {
  if (!timer_enabled_ || in_tick_) return;
  const int64_t now = clock_();
  if (now < next_tick_ms_) return;
  // From now, not from the missed due time: a stall gives one line, not a burst.
  next_tick_ms_ = now + kTickMilliseconds;
  TimerTick();
}

void TfrmProg::TimerTick() {
  if (in_tick_) return;
  in_tick_ = true;
  try {
    WriteTick();
  } catch (...) {
    // A failed tick only costs one progress line.
  }
  in_tick_ = false;
}

void TfrmProg::WriteTick() {
  const int64_t p = position_;
  bar_position_ = p;
  const int64_t m = bar_maximum_;
  const double t = static_cast<double>(clock_() - started_ms_) / 86400000.0;

  const std::string left =
      DurationText(t / static_cast<double>(p + 1) * static_cast<double>(m - p));
  time_left_text_ = left;
  rate_text_ = t > 0 ? TwoDecimals(static_cast<double>(p) / (t * 86400.0)) : "0.00";

  run_.ProcessMessages();

  // Without a step count there is no percentage to give.
  if (steps_total_ == 0) return;
  run_.PublishProgress(
      TwoDecimals(static_cast<double>(p) / static_cast<double>(steps_total_) * 100.0), left);
}

bool CancelRequested(TfrmProg* progress) {
  RunControl().ProcessMessages();
  return progress != nullptr && progress->IsCancelled();
}

}  // namespace trelvar
