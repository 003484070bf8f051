// TVisitWorker: counts finished visits into the visit reports on a thread
// of its own, while the driver goes on with the next lines.
//
// The driver hands over the visits each line finished (Add) and the
// compactions (Compact), in line order; the worker applies them in the same
// order, report by report as the driver would, so the results are exactly
// those of counting inline. Finish waits until everything handed over is
// counted; only then may anyone else touch the reports again. Errors of a
// report are kept as "PROCREP (#index) ..." texts for the driver's error
// page. Owns its thread, not the reports. Add, Compact and Finish are
// called from one thread (the driver's).
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logread/visit_tracker.h"

namespace trelvar {

class TCustomWReport;

class TVisitWorker {
 public:
  struct TReport {
    TCustomWReport* report;
    size_t index;  // in the report set, for error texts
  };
  explicit TVisitWorker(std::vector<TReport> reports);
  ~TVisitWorker();
  TVisitWorker(const TVisitWorker&) = delete;
  TVisitWorker& operator=(const TVisitWorker&) = delete;

  // The visits one line finished; none is a no-op.
  void Add(const TVisLine::TVisits& visits);
  // Every report's Compact, after the visits handed over so far.
  void Compact();
  // Waits until everything handed over is done; answers the error texts
  // since the last call. The worker stays ready for more.
  std::vector<std::string> Finish();

 private:
  struct TTask {
    std::vector<TVisLine::TVisits> lines;  // each line's finished visits
    bool compact = false;                  // after the lines
  };
  void HandOver(bool compact);
  void Run();
  void Do(const TTask& task);

  std::vector<TReport> reports_;
  TTask pending_;  // the driver's, not yet handed over
  size_t pending_visits_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<TTask> queue_;  // guarded by mutex_
  bool busy_ = false;        // a task is being done; guarded
  bool stop_ = false;        // guarded
  std::vector<std::string> errors_;  // guarded
  std::thread thread_;
};

}  // namespace trelvar
