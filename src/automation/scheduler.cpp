#include "automation/scheduler.h"

namespace trelvar {

TScheduler::TScheduler(TClock clock) : clock_(std::move(clock)) {}

bool TScheduler::Tick(TSchedule& schedule, bool busy, TTaskRunner& runner) {
  if (busy || running_) return false;
  const TDateTime now = clock_();
  TScheduleItem* task = nullptr;
  for (size_t i = 0; i < schedule.Count() && task == nullptr; ++i)
    if (TSchedule::IsDue(schedule.Get(i), now)) task = &schedule.Get(i);
  if (task == nullptr) return false;

  // The jobs let window events run, and with them the user may edit or
  // delete tasks: run from a copy, and afterwards touch the task only if
  // it is still in the list.
  const TScheduleItem what = *task;
  running_ = true;
  auto finish = [&] {
    running_ = false;
    const TDateTime done = clock_();
    for (size_t i = 0; i < schedule.Count(); ++i)
      if (&schedule.Get(i) == task) task->lasttime = done;
  };
  try {
    Run(what, runner);
  } catch (...) {
    finish();
    throw;
  }
  finish();
  return true;
}

void TScheduler::Run(const TScheduleItem& task, TTaskRunner& runner) {
  auto run_site = [&](const std::string& site) {
    if (task.download) runner.Download(site);
    if (task.analyze) runner.Analyze(site, task.sendmail);
  };
  if (!task.name.empty()) {
    run_site(task.name);
    return;
  }
  for (const std::string& site : runner.SiteNames()) run_site(site);
}

}  // namespace trelvar
