// Date-times of Trelvar: a double counting days since 1899-12-30, whose
// fraction is the time of day. This module is the one place that converts
// them to and from calendar dates, weekdays and texts.
//
// Texts use the fixed formats "yyyy-mm-dd" and "hh:nn:ss" (24 hours).
// Only the years 1 to 9999 are dates: encoding refuses other years, and
// decoding a value outside them (NaN and infinities too) raises
// EConvertError "'<value>' is not a valid date and time".
// All functions are pure apart from Now()/Today(), and thread-safe.
#pragma once

#include <string>

#include "platform/system.h"

namespace trelvar {

using TDateTime = double;

// 0001-01-01 00:00 and 9999-12-31 23:59:59.999, the first and last instants.
constexpr TDateTime kMinDateTime = -693593.0;
constexpr TDateTime kMaxDateTime = 2958465.0 + 86399999.0 / 86400000.0;

struct TDateParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// False (and `out` untouched) for a day that does not exist.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
// Raises EConvertError for a day that does not exist.
TDateTime EncodeDate(int year, int month, int day);
// Fraction of a day; no range check beyond what the arithmetic gives.
TDateTime EncodeTime(int hour, int minute, int second, int millisecond = 0);
// Rounded to the nearest millisecond; raises EConvertError unless the
// rounded value lies in the years 1 to 9999.
TDateParts DecodeDateTime(TDateTime value);
// Whether DecodeDateTime accepts the value.
bool IsValidDateTime(TDateTime value);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// 1 for Sunday through 7 for Saturday, of the day the value lies in. The
// weekdays need no calendar, so days past the years 1 to 9999 have one
// too; NaN, infinities and values beyond 2^53 days raise EConvertError.
int DayOfWeek(TDateTime value);

TDateTime FromLocalTime(const platform::TLocalTime& t);
TDateTime Now();
TDateTime Today();  // today at 00:00

// Formats with the pattern letters yyyy/yy, m/mm/mmm/mmmm, d/dd/ddd/dddd,
// h/hh, n/nn, s/ss (in any letter case); text in double or single quotes
// and every other character are copied. Raises as DecodeDateTime.
std::string FormatDateTime(const std::string& pattern, TDateTime value);

std::string DateToStr(TDateTime value);      // "yyyy-mm-dd"
std::string DateTimeToStr(TDateTime value);  // "yyyy-mm-dd hh:nn:ss"

// Reads "yyyy-mm-dd", optionally followed by "hh:nn" or "hh:nn:ss".
bool TryStrToDateTime(const std::string& text, TDateTime& out);
// The same; raises EConvertError "'text' is not a valid date and time".
TDateTime StrToDateTime(const std::string& text);
// Reads a time of day "hh:nn" or "hh:nn:ss" (blanks around it allowed)
// as the fraction of a day.
bool TryStrToTime(const std::string& text, TDateTime& out);

// English month and day names; index 1..12 and 1 (Sunday)..7.
const std::string& ShortMonthName(int month);
const std::string& LongMonthName(int month);
const std::string& ShortDayName(int day);
const std::string& LongDayName(int day);

}  // namespace trelvar
