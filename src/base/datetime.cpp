#include "base/datetime.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/errors.h"

namespace trelvar {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's method).
constexpr long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (month <= 2));
}

constexpr long long kEpochOffset = DaysFromCivil(1899, 12, 30);
constexpr long long kMsPerDay = 86400000;
// The serial days of 0001-01-01 and 9999-12-31.
constexpr long long kFirstDay = DaysFromCivil(1, 1, 1) - kEpochOffset;
constexpr long long kLastDay = DaysFromCivil(9999, 12, 31) - kEpochOffset;
static_assert(kFirstDay == static_cast<long long>(kMinDateTime));
static_assert(kLastDay == static_cast<long long>(kMaxDateTime));

// The day and the millisecond of the day of a value, rounded to the
// millisecond; false when that is no instant of the years 1 to 9999.
bool SplitDateTime(TDateTime value, long long& day, long long& ms) {
  // NaN fails the comparison; within these bounds the conversions below
  // are defined.
  if (!(value > static_cast<double>(kFirstDay - 2) && value < static_cast<double>(kLastDay + 2)))
    return false;
  const double days = std::floor(value);
  day = static_cast<long long>(days);
  ms = std::llround((value - days) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    day += 1;
  }
  return day >= kFirstDay && day <= kLastDay;
}

[[noreturn]] void RefuseDateTime(TDateTime value) {
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  throw EConvertError(InvalidDateTimeMessage(std::string(buf, result.ptr)));
}

TDateParts PartsOf(long long day, long long ms) {
  TDateParts p;
  CivilFromDays(day + kEpochOffset, p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

// 1 for Sunday through 7 for Saturday; day 0 (1899-12-30) was a Saturday.
int WeekdayOf(long long day) { return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1; }

std::string Pad(int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  return buf;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  out = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month),
                                          static_cast<unsigned>(day)) -
                            kEpochOffset);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime r = 0;
  if (!TryEncodeDate(year, month, day, r))
    throw EConvertError(InvalidDateTimeMessage(Pad(year, 4) + "-" + Pad(month, 2) + "-" +
                                               Pad(day, 2)));
  return r;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / 86400000.0;
}

TDateParts DecodeDateTime(TDateTime value) {
  long long day = 0, ms = 0;
  if (!SplitDateTime(value, day, ms)) RefuseDateTime(value);
  return PartsOf(day, ms);
}

bool IsValidDateTime(TDateTime value) {
  long long day = 0, ms = 0;
  return SplitDateTime(value, day, ms);
}

int DayOfWeek(TDateTime value) {
  // The weekdays repeat without a calendar, so every whole day number has
  // one: a log time moved a little past the calendar by the time offset
  // still gets its weekday (the line parser asks for it for every line).
  // NaN, infinities and values past exact day numbers have none.
  constexpr double kLastWholeDay = 9007199254740992.0;  // 2^53
  if (!(value > -kLastWholeDay && value < kLastWholeDay)) RefuseDateTime(value);
  // The day the value lies in, not rounded: 23:59:59.9999 is still that day.
  return WeekdayOf(static_cast<long long>(std::floor(value)));
}

TDateTime FromLocalTime(const platform::TLocalTime& t) {
  TDateTime d = 0;
  if (!TryEncodeDate(t.year, t.month, t.day, d)) return 0;
  return d + EncodeTime(t.hour, t.minute, t.second, t.millisecond);
}

TDateTime Now() { return FromLocalTime(platform::LocalNow()); }

TDateTime Today() { return std::floor(Now()); }

const std::string& ShortMonthName(int month) {
  static const std::array<std::string, 13> kNames = {
      "", "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return kNames[month >= 1 && month <= 12 ? month : 0];
}

const std::string& LongMonthName(int month) {
  static const std::array<std::string, 13> kNames = {
      "",     "January", "February",  "March",   "April",    "May",     "June",
      "July", "August",  "September", "October", "November", "December"};
  return kNames[month >= 1 && month <= 12 ? month : 0];
}

const std::string& ShortDayName(int day) {
  static const std::array<std::string, 8> kNames = {"",    "Sun", "Mon", "Tue",
                                                    "Wed", "Thu", "Fri", "Sat"};
  return kNames[day >= 1 && day <= 7 ? day : 0];
}

const std::string& LongDayName(int day) {
  static const std::array<std::string, 8> kNames = {
      "", "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  return kNames[day >= 1 && day <= 7 ? day : 0];
}

std::string FormatDateTime(const std::string& pattern, TDateTime value) {
  long long day = 0, ms = 0;
  if (!SplitDateTime(value, day, ms)) RefuseDateTime(value);
  const TDateParts p = PartsOf(day, ms);
  // The weekday of the date shown, also when rounding moved it on.
  const int weekday = WeekdayOf(day);
  std::string out;
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c == '"' || c == '\'') {
      size_t end = pattern.find(c, i + 1);
      if (end == std::string::npos) end = pattern.size();
      out += pattern.substr(i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    const char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t run = 1;
    while (i + run < pattern.size() &&
           std::tolower(static_cast<unsigned char>(pattern[i + run])) == lc)
      ++run;
    switch (lc) {
      case 'y':
        out += run <= 2 ? Pad(p.year % 100, 2) : Pad(p.year, 4);
        break;
      case 'm':
        out += run == 1   ? std::to_string(p.month)
               : run == 2 ? Pad(p.month, 2)
               : run == 3 ? ShortMonthName(p.month)
                          : LongMonthName(p.month);
        break;
      case 'd':
        out += run == 1   ? std::to_string(p.day)
               : run == 2 ? Pad(p.day, 2)
               : run == 3 ? ShortDayName(weekday)
                          : LongDayName(weekday);
        break;
      case 'h':
        out += run == 1 ? std::to_string(p.hour) : Pad(p.hour, 2);
        break;
      case 'n':
        out += run == 1 ? std::to_string(p.minute) : Pad(p.minute, 2);
        break;
      case 's':
        out += run == 1 ? std::to_string(p.second) : Pad(p.second, 2);
        break;
      default:
        out.append(run, c);
        break;
    }
    i += run;
  }
  return out;
}

std::string DateToStr(TDateTime value) { return FormatDateTime("yyyy-mm-dd", value); }

std::string DateTimeToStr(TDateTime value) {
  return FormatDateTime("yyyy-mm-dd hh:nn:ss", value);
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads 1..max_digits decimal digits at text[i] and moves i past them.
bool ReadDigits(const std::string& text, size_t& i, size_t max_digits, int& v) {
  const size_t start = i;
  v = 0;
  while (i < text.size() && i - start < max_digits &&
         std::isdigit(static_cast<unsigned char>(text[i])))
    v = v * 10 + (text[i++] - '0');
  return i > start;
}

// "hh:nn" or "hh:nn:ss" at text[i], followed by nothing but blanks.
bool ReadTimeOfDay(const std::string& text, size_t i, TDateTime& out) {
  const size_t n = text.size();
  int h = 0, mi = 0, s = 0;
  if (!ReadDigits(text, i, 2, h) || i >= n || text[i++] != ':' || !ReadDigits(text, i, 2, mi))
    return false;
  if (i < n && text[i] == ':') {
    ++i;
    if (!ReadDigits(text, i, 2, s)) return false;
  }
  while (i < n && IsBlank(text[i])) ++i;
  if (i != n || h > 23 || mi > 59 || s > 59) return false;
  out = EncodeTime(h, mi, s);
  return true;
}

}  // namespace

bool TryStrToDateTime(const std::string& text, TDateTime& out) {
  size_t i = 0;
  const size_t n = text.size();
  auto skip_blanks = [&] {
    while (i < n && IsBlank(text[i])) ++i;
  };
  int y, m, d;
  skip_blanks();
  size_t year_start = i;
  if (!ReadDigits(text, i, 4, y) || i - year_start != 4) return false;
  if (i >= n || text[i++] != '-' || !ReadDigits(text, i, 2, m)) return false;
  if (i >= n || text[i++] != '-' || !ReadDigits(text, i, 2, d)) return false;
  TDateTime date = 0;
  if (!TryEncodeDate(y, m, d, date)) return false;
  skip_blanks();
  TDateTime time = 0;
  if (i < n) {
    if (i > 0 && !IsBlank(text[i - 1])) return false;
    if (!ReadTimeOfDay(text, i, time)) return false;
  }
  out = date + time;
  return true;
}

bool TryStrToTime(const std::string& text, TDateTime& out) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return ReadTimeOfDay(text, i, out);
}

TDateTime StrToDateTime(const std::string& text) {
  TDateTime r = 0;
  if (!TryStrToDateTime(text, r)) throw EConvertError(InvalidDateTimeMessage(text));
  return r;
}

}  // namespace trelvar
