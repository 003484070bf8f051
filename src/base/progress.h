// TfrmProg: the one progress reporter of a run.
//
// Long operations (reading the logs, writing the pages, the cache) call
// Start(caption, steps) and then only publish a position (and, during the
// log pass, the fraction done); the reporter turns the position into a
// bar, an estimate of the time left and a rate. Once a second while its
// timer runs, the tick publishes the percentage done and the time left
// through the run control, whose host shows them its own way (a line in
// console and CGI runs, nothing in the windowed run, whose window shows
// the state). The reporter also carries the user's cancel request back to
// the operations.
//
// Without windows the tick is taken when pending events run: the reporter
// registers itself as the run control's ticker, and each turn costs one
// clock read until a second has passed. The control setters only store
// state here; the window of the windowed application mirrors them.
//
// Lives in the run's context; operations reach it through their owner.
// Errors inside a tick are ignored. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/datetime.h"
#include "base/run_control.h"

namespace trelvar {

// What the progress window shows before the first operation (translated by
// the reporter's creator): the caption and the "none" of the empty fields.
struct TProgressIdleTexts {
  std::string caption = "Scanning log file  ...";
  std::string none = "none";
};

class TfrmProg : public TUiTicker {
 public:
  // Milliseconds of a steady clock.
  using TClock = std::function<int64_t()>;

  // Registers with `run` as its ticker until destroyed; `clock` defaults
  // to the platform's steady clock (tests pass their own).
  explicit TfrmProg(TRunControl& run, TClock clock = nullptr, const TProgressIdleTexts& texts = {});
  ~TfrmProg() override;
  TfrmProg(const TfrmProg&) = delete;
  TfrmProg& operator=(const TfrmProg&) = delete;

  // Caption, bar 0 of `steps`, clock restarted, cancel cleared, timer on.
  void Start(const std::string& caption, int64_t steps);

  // The shared position (steps done) and fraction done.
  void SetPosition(int64_t position) { position_ = position; }
  int64_t Position() const { return position_; }
  void SetFraction(double fraction) { fraction_ = fraction; }
  double Fraction() const { return fraction_; }

  bool IsCancelled() const { return cancelled_; }
  // The Cancel button, the Escape key or closing the window.
  void Cancel() { cancelled_ = true; }

  // The host's turn: the timer tick when it runs and a second has passed.
  void Tick() override;
  // The timer tick itself: bar, time left, rate and the progress line.
  void TimerTick();

  // What the window shows.
  void SetInfoCaption(const std::string& text) { info_caption_ = text; }
  const std::string& InfoCaption() const { return info_caption_; }
  void SetFileName(const std::string& text) { file_name_ = text; }
  void ClearFileName() { file_name_.clear(); }
  const std::string& FileName() const { return file_name_; }
  void SetBarMaximum(int64_t maximum) { bar_maximum_ = maximum; }
  int64_t BarMaximum() const { return bar_maximum_; }
  void SetBarPosition(int64_t position) { bar_position_ = position; }
  int64_t BarPosition() const { return bar_position_; }
  // The "KBytes/sec" label beside the rate; hidden when steps are no bytes.
  void SetUnitLabelVisible(bool visible) { unit_label_visible_ = visible; }
  bool UnitLabelVisible() const { return unit_label_visible_; }
  void StopTimer() { timer_enabled_ = false; }
  bool TimerEnabled() const { return timer_enabled_; }
  void Show() { visible_ = true; }
  void Hide() { visible_ = false; }
  bool Visible() const { return visible_; }
  const std::string& TimeLeftText() const { return time_left_text_; }
  const std::string& RateText() const { return rate_text_; }

  int64_t StepsTotal() const { return steps_total_; }
  TDateTime StartedAt() const { return started_at_; }

  static constexpr int64_t kTickMilliseconds = 1000;

 private:
  void WriteTick();

  TRunControl& run_;
  TClock clock_;
  int64_t position_ = 0;
  double fraction_ = 0;
  int64_t steps_total_ = 0;
  TDateTime started_at_ = 0;
  int64_t started_ms_ = 0;
  int64_t next_tick_ms_ = 0;
  bool cancelled_ = false;
  bool timer_enabled_ = false;
  bool in_tick_ = false;

  std::string info_caption_;
  std::string file_name_;
  std::string time_left_text_;
  std::string rate_text_;
  int64_t bar_maximum_ = 100;
  int64_t bar_position_ = 0;
  bool unit_label_visible_ = true;
  bool visible_ = false;
};

// The one cancel check of a long operation: lets pending events run (the
// Cancel button among them), then tells whether the user has asked to
// stop. Without a reporter (null) nothing can be cancelled.
bool CancelRequested(TfrmProg* progress);

}  // namespace trelvar
