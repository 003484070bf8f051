// TScheduler: the schedule's tick. Each tick runs the first due task of a
// schedule through a task runner, unless a job is already running.
//
// The runner stands for the jobs (FTP download, analysis with zip and
// mail) and for the sites registry; the clock is injected so that tests
// can walk through days and months. The scheduler owns neither the
// schedule nor the runner.
//
// A task's last run is set when its jobs return, also when one of them
// raised: the error then goes on to the caller, and the task does not fail
// again at every tick. Not thread-safe: ticks come from the user-interface
// thread; a tick that comes while a task of this scheduler runs (the jobs
// let window events run) does nothing.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "automation/schedule.h"

namespace trelvar {

class TTaskRunner {
 public:
  virtual ~TTaskRunner() = default;
  // The FTP download of one site's logs, without questions.
  virtual void Download(const std::string& site_name) = 0;
  // The analysis job of one site; `send_mail` zips and mails the reports.
  virtual void Analyze(const std::string& site_name, bool send_mail) = 0;
  // The names of all sites, in registry order.
  virtual std::vector<std::string> SiteNames() = 0;
};

class TScheduler {
 public:
  using TClock = std::function<TDateTime()>;
  explicit TScheduler(TClock clock = Now);

  // When not `busy`, runs the first task of `schedule` that is due at the
  // clock's time and sets its last run to the clock's time afterwards.
  // Answers whether a task ran.
  bool Tick(TSchedule& schedule, bool busy, TTaskRunner& runner);

  bool Running() const { return running_; }

 private:
  void Run(const TScheduleItem& task, TTaskRunner& runner);

  TClock clock_;
  bool running_ = false;
};

}  // namespace trelvar
