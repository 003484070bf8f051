#include "reports/visit_worker.h"

#include "base/web_helpers.h"

#include "reports/report_base.h"

namespace trelvar {

namespace {
// Visits are handed over in bunches, so the lock is taken rarely.
constexpr size_t kBunch = 256;
// Bunches waiting at most: the driver waits beyond, so that a slow report
// cannot make the finished visits pile up in memory. Since the lines are
// parsed on a thread of their own the driver runs ahead of the visit
// reports, and a longer queue only filled up (several megabytes of visits).
constexpr size_t kMostWaiting = 8;
}  // namespace

TVisitWorker::TVisitWorker(std::vector<TReport> reports)
    : reports_(std::move(reports)), thread_([this] { Run(); }) {}

TVisitWorker::~TVisitWorker() {
  Finish();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void TVisitWorker::Add(const TVisLine::TVisits& visits) {
  if (visits.empty()) return;
  pending_.lines.push_back(visits);
  pending_visits_ += visits.size();
  if (pending_visits_ >= kBunch) HandOver(false);
}

void TVisitWorker::Compact() { HandOver(true); }

void TVisitWorker::HandOver(bool compact) {
  pending_.compact = compact;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return queue_.size() < kMostWaiting; });
    queue_.push_back(std::move(pending_));
  }
  changed_.notify_all();
  pending_ = TTask();
  pending_visits_ = 0;
}

std::vector<std::string> TVisitWorker::Finish() {
  if (!pending_.lines.empty()) HandOver(false);
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return queue_.empty() && !busy_; });
  std::vector<std::string> errors;
  errors.swap(errors_);
  return errors;
}

void TVisitWorker::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopped with nothing left
    TTask task = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    changed_.notify_all();  // room in the queue
    Do(task);
    task = TTask();  // the visits go here, not under the lock
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

void TVisitWorker::Do(const TTask& task) {
  std::vector<std::string> errors;
  // Line by line, and within a line report by report, as the driver's
  // ProcessLine calls would count them.
  for (const TVisLine::TVisits& line : task.lines) {
    for (const TReport& r : reports_) {
      if (!r.report->is_supported) continue;
      try {
        for (const auto& visit : line) r.report->CountVisit(*visit);
      } catch (const std::exception& e) {
        errors.push_back("PROCREP (#" + std::to_string(r.index) + ") " + HtmlEscape(e.what()));
      }
    }
  }
  if (task.compact)
    for (const TReport& r : reports_) {
      try {
        r.report->Compact();
      } catch (const std::exception& e) {
        errors.push_back("PROCREP" + HtmlEscape(e.what()));
      }
    }
  if (errors.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::string& e : errors) errors_.push_back(std::move(e));
}

}  // namespace trelvar
