// When a scheduled task is due.
#include <algorithm>
#include <cmath>

#include "automation/schedule.h"

namespace trelvar {

namespace {

constexpr long long kMsPerDay = 86400000;

// A date-time as a day number and a millisecond of that day, rounded to
// the millisecond, so that a task for 10:00 is due at 10:00:00 exactly and
// not a rounding error later.
struct TInstant {
  long long day = 0;
  long long ms = 0;
  long long Total() const { return day * kMsPerDay + ms; }
};

bool SplitInstant(TDateTime value, TInstant& out) {
  if (!IsValidDateTime(value)) return false;
  const double day = std::floor(value);
  out.day = static_cast<long long>(day);
  out.ms = std::llround((value - day) * static_cast<double>(kMsPerDay));
  if (out.ms >= kMsPerDay) {
    out.ms -= kMsPerDay;
    ++out.day;
  }
  return true;
}

// Monday = 1 ... Sunday = 7.
int Weekday(long long day) { return (DayOfWeek(static_cast<double>(day)) + 5) % 7 + 1; }

// The last moment at or before `now` on weekday `day` (1 to 7) at the
// task's time.
long long LastOccurrence(int day, const TInstant& now, long long time_ms) {
  long long d = now.day - (Weekday(now.day) - day + 7) % 7;
  if (d == now.day && now.ms < time_ms) d -= 7;
  return d * kMsPerDay + time_ms;
}

bool WeekDue(const TScheduleItem& task, const TInstant& now, long long time_ms, bool never,
             const TInstant& last) {
  const int today = Weekday(now.day);
  if (never) return today >= task.day && time_ms <= now.ms;
  const int last_weekday = Weekday(last.day);
  if (now.day * kMsPerDay - last.Total() > 7 * kMsPerDay ||
      (last_weekday < task.day && today > task.day) ||
      (last_weekday < task.day && today == task.day && time_ms <= now.ms))
    return true;
  // A task that ran on its day is due again when its day and time come
  // round: the rules above alone would wait until the day after, and so
  // move the run one weekday later every week.
  return task.day >= 1 && task.day <= 7 && last.Total() < LastOccurrence(task.day, now, time_ms);
}

// A monthly task is due once a month, on or after its day and time:
//  - this month's run falls on the task's day, moved back to the month's
//    last day when the month is shorter (a task for the 31st runs on
//    30 April) and up to the 1st for a day below 1;
//  - the task is due from that day and time to the end of the month,
//    unless it has run since that day and time: a task for the 31st that
//    ran on 30 April is not due on 1 May, as May's run is on the 31st;
//  - a task that never ran is due as soon as this month's day and time
//    have come; a month missed altogether is not caught up;
//  - a last run later than now (the clock was put back) does not hold the
//    task off for the time the clock jumped;
//  - and, as for every period, it never runs twice on one calendar date.
bool MonthDue(const TScheduleItem& task, const TInstant& now, long long time_ms, bool never,
              const TInstant& last) {
  const TDateParts today = DecodeDateTime(static_cast<double>(now.day));
  const int day = std::clamp(task.day, 1, DaysInMonth(today.year, today.month));
  const long long due =
      static_cast<long long>(EncodeDate(today.year, today.month, day)) * kMsPerDay + time_ms;
  if (now.Total() < due) return false;
  return never || last.Total() < due || last.Total() > now.Total();
}

}  // namespace

bool TSchedule::IsDue(TScheduleItem& task, TDateTime now) {
  task.time = ScheduleTimeOfDay(task.time);
  TInstant current;
  if (!SplitInstant(now, current)) return false;
  // A time that rounds up to midnight stays on its own day.
  const long long time_ms =
      std::min(std::llround(task.time * static_cast<double>(kMsPerDay)), kMsPerDay - 1);
  // A last run that no date can show counts as none.
  TInstant last;
  const bool never = task.lasttime == 0 || !SplitInstant(task.lasttime, last);
  if (!never && last.day == current.day) return false;
  switch (task.period) {
    case TSchedulePeriod::Day:
      return current.ms >= time_ms;
    case TSchedulePeriod::Week:
      return WeekDue(task, current, time_ms, never, last);
    case TSchedulePeriod::Month:
      return MonthDue(task, current, time_ms, never, last);
  }
  return false;
}

}  // namespace trelvar
