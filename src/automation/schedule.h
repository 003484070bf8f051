// TSchedule: the recurring tasks that the windowed application runs by
// itself (download a site's logs, analyse them, mail the reports), kept in
// schedule.ini in the data folder.
//
// Owns its tasks in list order, which is the order of the file and the
// order in which they are tested for being due. Load appends the file's
// tasks (copying the shipped default on first use); Save rewrites the file.
//
// Failures: a missing or unreadable file gives no tasks and no message;
// values that do not convert leave the field as it was. Save never raises:
// the schedule is saved while the main window goes away, where nobody could
// act on an error. A file that exists but could not be read is not
// overwritten, so that a passing read error does not wipe the user's tasks.
// Get and Delete raise EListError for an index out of range.
// Not thread-safe: all schedule work runs on the user-interface thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "config/folders.h"

namespace trelvar {

enum class TSchedulePeriod { Day = 0, Week = 1, Month = 2 };

struct TScheduleItem {
  std::string name;  // the site's name in the registry; empty for all sites
  bool download = true;
  bool analyze = true;
  bool sendmail = false;
  TDateTime lasttime = 0;  // 0: never ran
  TSchedulePeriod period = TSchedulePeriod::Week;
  int day = 1;         // week: Monday = 1 ... Sunday = 7; month: day of the month
  TDateTime time = 0;  // time of day from which the task may run
};

class TSchedule {
 public:
  explicit TSchedule(const TFolders& folders);

  void Clear();
  TScheduleItem& Add();  // a new task with the defaults, at the end
  size_t Count() const { return items_.size(); }
  TScheduleItem& Get(size_t index);
  const TScheduleItem& Get(size_t index) const;
  void Delete(size_t index);  // later tasks move down by one

  void Load();  // the data folder's schedule.ini
  void Load(const std::string& path);
  void Save();
  void Save(const std::string& path);
  void LoadFromText(std::string_view text);
  std::string SaveToText() const;

  // "Every day at 14:30", "Every Wednesday at 14:30",
  // "Every 15 of each month at 14:30".
  static std::string Describe(const TScheduleItem& task);
  // Whether the task should run at `now` (local date and time). Reduces the
  // task's time to a time of day first and keeps it so.
  static bool IsDue(TScheduleItem& task, TDateTime now);

 private:
  const TFolders& folders_;
  std::vector<std::unique_ptr<TScheduleItem>> items_;
  bool complete_ = true;
};

// The task list's columns: the site name or "All sites", and the last run
// as "dd-mm-yyyy hh:nn" or "Never".
std::string ScheduleSiteText(const TScheduleItem& task);
std::string ScheduleLastRunText(const TScheduleItem& task);

// The time of day of a task's time field, in [0, 1): whole days are
// dropped, and a value that is no number counts as 00:00.
TDateTime ScheduleTimeOfDay(TDateTime time);

// English weekday names, Monday = 1 ... Sunday = 7; "" outside.
const std::string& ScheduleWeekdayName(int day);

}  // namespace trelvar
