#include "automation/schedule.h"

#include <array>
#include <cmath>

#include "base/errors.h"
#include "base/safe_file.h"
#include "base/text_helpers.h"
#include "config/translator.h"
#include "platform/files.h"

namespace trelvar {

namespace {

const char kFileName[] = "schedule.ini";

// A line break inside a value would end the line and start another key.
std::string OneLine(std::string text) {
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
  return text;
}

const char* PeriodKey(TSchedulePeriod period) {
  switch (period) {
    case TSchedulePeriod::Day: return "day";
    case TSchedulePeriod::Month: return "month";
    case TSchedulePeriod::Week: break;
  }
  return "week";
}

}  // namespace

TDateTime ScheduleTimeOfDay(TDateTime time) {
  if (!std::isfinite(time)) return 0;
  const TDateTime fraction = time - std::floor(time);
  return fraction < 1 ? fraction : 0;
}

const std::string& ScheduleWeekdayName(int day) {
  static const std::array<std::string, 8> kNames = {
      "", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
  return kNames[day >= 1 && day <= 7 ? day : 0];
}

TSchedule::TSchedule(const TFolders& folders) : folders_(folders) {}

void TSchedule::Clear() { items_.clear(); }

TScheduleItem& TSchedule::Add() {
  items_.push_back(std::make_unique<TScheduleItem>());
  return *items_.back();
}

TScheduleItem& TSchedule::Get(size_t index) {
  if (index >= items_.size()) throw EListError(ListIndexMessage(static_cast<long long>(index)));
  return *items_[index];
}

const TScheduleItem& TSchedule::Get(size_t index) const {
  return const_cast<TSchedule*>(this)->Get(index);
}

void TSchedule::Delete(size_t index) {
  Get(index);  // raises for an index out of range
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TSchedule::Load() { Load(folders_.Data() + kFileName); }

void TSchedule::Load(const std::string& path) {
  folders_.EnsureDataFile(path);
  std::string text;
  try {
    text = ReadFileText(path);
  } catch (const Exception&) {
    // Only a file that is there but could not be read needs protecting;
    // a missing one is simply created by the next Save.
    complete_ = !platform::PathExists(path);
    return;
  }
  complete_ = true;
  LoadFromText(text);
}

void TSchedule::LoadFromText(std::string_view text) {
  TScheduleItem* task = nullptr;
  for (const std::string& line : SplitTextLines(text)) {
    const TKeyValue kv = SplitKeyValue(line);
    const std::string& v = kv.value;
    if (kv.key == "name") {
      task = &Add();
      if (v != "*") task->name = v;
      continue;
    }
    // Keys before the first task have nothing to apply to.
    if (task == nullptr || kv.key.empty()) continue;
    if (kv.key == "period") {
      const std::string p = LowerCase(v);
      if (p == "month") task->period = TSchedulePeriod::Month;
      else if (p == "week") task->period = TSchedulePeriod::Week;
      else if (p == "day") task->period = TSchedulePeriod::Day;
    } else if (kv.key == "day") {
      int n = 0;
      if (TryStrToInt(v, n)) task->day = n;
    } else if (kv.key == "analyze") {
      task->analyze = TextBool(v);
    } else if (kv.key == "download") {
      task->download = TextBool(v);
    } else if (kv.key == "sendmail") {
      task->sendmail = TextBool(v);
    } else if (kv.key == "time") {
      TDateTime t = 0;
      if (TryStrToTime(v, t)) task->time = t;
    } else if (kv.key == "lasttime") {
      TDateTime t = 0;
      if (!v.empty() && TryStrToDateTime(v, t)) task->lasttime = t;
    }
  }
}

std::string TSchedule::SaveToText() const {
  std::string out;
  auto line = [&](const char* key, const std::string& value) {
    out += key;
    out += '=';
    out += value;
    out += "\r\n";
  };
  for (const auto& task : items_) {
    line("name", task->name.empty() ? "*" : OneLine(task->name));
    line("period", PeriodKey(task->period));
    if (task->period != TSchedulePeriod::Day) line("day", std::to_string(task->day));
    line("Analyze", BoolText(task->analyze));
    line("download", BoolText(task->download));
    line("sendmail", BoolText(task->sendmail));
    line("time", FormatDateTime("hh:nn:ss", ScheduleTimeOfDay(task->time)));
    // A value no date can show (only a caller could have set it) is left
    // out rather than losing the whole file over it.
    if (task->lasttime != 0 && IsValidDateTime(task->lasttime))
      line("lasttime", DateTimeToStr(task->lasttime));
    out += "\r\n";
  }
  return out;
}

void TSchedule::Save() { Save(folders_.Data() + kFileName); }

void TSchedule::Save(const std::string& path) {
  try {
    folders_.SaveDataFile(path, SaveToText(), complete_, "The scheduled tasks");
  } catch (const std::exception&) {
    // Saved as the main window goes away: there is nobody left to tell.
  }
}

std::string TSchedule::Describe(const TScheduleItem& task) {
  const std::string at = FormatDateTime("hh:nn", ScheduleTimeOfDay(task.time));
  switch (task.period) {
    case TSchedulePeriod::Day:
      return "Every day at " + at;
    case TSchedulePeriod::Week: {
      // A weekday out of range (a hand-edited file) shows its number, so
      // that the list does not hide what the file says.
      const std::string& name = ScheduleWeekdayName(task.day);
      return "Every " + (name.empty() ? std::to_string(task.day) : name) + " at " + at;
    }
    case TSchedulePeriod::Month:
      break;
  }
  return "Every " + std::to_string(task.day) + " of each month at " + at;
}

std::string ScheduleSiteText(const TScheduleItem& task) {
  return task.name.empty() ? Translate(228, "All sites") : task.name;
}

std::string ScheduleLastRunText(const TScheduleItem& task) {
  // A last run no date can show counts as none, as it does for IsDue.
  if (task.lasttime == 0 || !IsValidDateTime(task.lasttime)) return Translate(229, "Never");
  return FormatDateTime("dd-mm-yyyy hh:nn", task.lasttime);
}

}  // namespace trelvar
