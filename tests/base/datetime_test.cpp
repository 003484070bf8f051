#include "base/datetime.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "base/errors.h"

namespace trelvar {
namespace {

TEST(DateTime, EpochAndKnownDays) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);  // a Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 3)), 1);    // a Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 5)), 3);
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  TDateTime d = 0;
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(2024, 13, 1, d));
}

TEST(DateTime, DecodeRoundsToTheMillisecond) {
  const TDateTime t = EncodeDate(2000, 12, 31) + EncodeTime(23, 59, 59, 999);
  TDateParts p = DecodeDateTime(t);
  EXPECT_EQ(p.year, 2000);
  EXPECT_EQ(p.month, 12);
  EXPECT_EQ(p.day, 31);
  EXPECT_EQ(p.hour, 23);
  EXPECT_EQ(p.minute, 59);
  EXPECT_EQ(p.second, 59);
  EXPECT_EQ(p.millisecond, 999);
  p = DecodeDateTime(EncodeDate(2001, 1, 1) - 1e-10);  // rounds up to midnight
  EXPECT_EQ(p.year, 2001);
  EXPECT_EQ(p.hour, 0);
}

TEST(DateTime, TextsReadAndWritten) {
  const TDateTime t = EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7);
  EXPECT_EQ(DateToStr(t), "2026-12-08");
  EXPECT_EQ(DateTimeToStr(t), "2026-12-08 09:05:07");
  EXPECT_EQ(StrToDateTime("2026-12-08 09:05:07"), t);
  EXPECT_EQ(StrToDateTime("2026-12-08"), EncodeDate(2026, 12, 8));
  EXPECT_EQ(StrToDateTime(" 2026-12-08  09:05 "), EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 0));
  EXPECT_EQ(StrToDateTime("2026-1-5"), EncodeDate(2026, 1, 5));
  for (const char* bad : {"", "2026", "2026-13-01", "2026-02-30", "08.12.2026",
                          "2026-12-08 25:00", "2026-12-08 10", "2026-12-08x", "26-12-08",
                          "2026-12-08 10:00:00:00"}) {
    TDateTime out = 0;
    EXPECT_FALSE(TryStrToDateTime(bad, out)) << bad;
  }
  try {
    StrToDateTime("soon");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'soon' is not a valid date and time");
  }
}

TEST(DateTime, FormatPatternsAndQuotes) {
  const TDateTime t = EncodeDate(2001, 9, 2) + EncodeTime(14, 3, 4);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", t), "2001-09-02 14:03:04");
  EXPECT_EQ(FormatDateTime("YYYY/MMM/dddd", t), "2001/Sep/Sunday");
  EXPECT_EQ(FormatDateTime("'day' d", t), "day 2");
  EXPECT_EQ(FormatDateTime("yy", t), "01");
}

// Values outside the years 1 to 9999 (a damaged cache, say) are refused
// with a conversion error instead of being turned into a wild date.
TEST(DateTime, DecodeRefusesValuesOutsideTheYears1To9999) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const TDateTime first = EncodeDate(1, 1, 1);
  const TDateTime last = EncodeDate(9999, 12, 31);
  const TDateTime last_ms = last + EncodeTime(23, 59, 59, 999);
  struct TCase {
    const char* what;
    TDateTime value;
    const char* text;  // null: refused
    int weekday;       // 0: refused
  };
  const TCase cases[] = {
      {"the first day", first, "0001-01-01 00:00:00", 2},  // a Monday
      {"noon of the first day", first + 0.5, "0001-01-01 12:00:00", 2},
      {"the last day", last, "9999-12-31 00:00:00", 6},  // a Friday
      {"the last millisecond", last_ms, "9999-12-31 23:59:59", 6},
      // Weekdays need no calendar: days past it still have one.
      {"a second before the first day", first - 1.0 / 86400, nullptr, 1},
      {"the day before the first", first - 1, nullptr, 1},
      {"the day after the last", last + 1, nullptr, 7},
      {"a billion days on", 1e9, nullptr, 6},
      // Still the last day, but it rounds to 10000-01-01 00:00:00.000.
      {"the last day's final half millisecond", last_ms + 0.6 / 86400000, nullptr, 6},
      {"NaN", nan, nullptr, 0},
      {"+infinity", inf, nullptr, 0},
      {"-infinity", -inf, nullptr, 0},
      {"1e300", 1e300, nullptr, 0},
      {"-1e300", -1e300, nullptr, 0},
      {"just past the 64-bit integers", 9.3e18, nullptr, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.text != nullptr) {
      EXPECT_EQ(DateTimeToStr(c.value), c.text);
      EXPECT_NO_THROW(DecodeDateTime(c.value));
    } else {
      EXPECT_THROW(DecodeDateTime(c.value), EConvertError);
      EXPECT_THROW(DateToStr(c.value), EConvertError);
      EXPECT_THROW(FormatDateTime("dddd", c.value), EConvertError);
    }
    if (c.weekday > 0) {
      EXPECT_EQ(DayOfWeek(c.value), c.weekday);
    } else {
      EXPECT_THROW(DayOfWeek(c.value), EConvertError);
    }
  }
  try {
    DecodeDateTime(1e300);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'1e+300' is not a valid date and time");
  }
}

TEST(DateTime, EncodeRefusesYearsOutside1To9999) {
  struct TCase {
    int year, month, day;
    bool valid;
  };
  const TCase cases[] = {
      {1, 1, 1, true},      {9999, 12, 31, true},  {0, 12, 31, false},   {10000, 1, 1, false},
      {-1, 1, 1, false},    {INT_MAX, 1, 1, false}, {INT_MIN, 1, 1, false}, {1, 0, 1, false},
      {9999, 12, 32, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.year) + "-" + std::to_string(c.month) + "-" +
                 std::to_string(c.day));
    TDateTime out = 12345;
    EXPECT_EQ(TryEncodeDate(c.year, c.month, c.day, out), c.valid);
    if (c.valid) {
      EXPECT_EQ(EncodeDate(c.year, c.month, c.day), out);
    } else {
      EXPECT_EQ(out, 12345);  // untouched
      EXPECT_THROW(EncodeDate(c.year, c.month, c.day), EConvertError);
    }
  }
}

TEST(DateTime, ValidRangeMatchesDecoding) {
  EXPECT_EQ(kMinDateTime, EncodeDate(1, 1, 1));
  EXPECT_EQ(DateTimeToStr(kMaxDateTime), "9999-12-31 23:59:59");
  EXPECT_EQ(DecodeDateTime(kMaxDateTime).millisecond, 999);
  for (double v : {kMinDateTime, kMaxDateTime, 0.0, -0.25, EncodeDate(2026, 12, 8) + 0.5})
    EXPECT_TRUE(IsValidDateTime(v)) << v;
  for (double v : {kMinDateTime - 1e-3, kMaxDateTime + 1e-8, std::nan(""), 1e300, -1e300})
    EXPECT_FALSE(IsValidDateTime(v)) << v;
}

TEST(DateTime, TimeOfDayTexts) {
  const std::pair<const char*, TDateTime> good[] = {{"14:30:15", EncodeTime(14, 30, 15)},
                                                    {" 9:05 ", EncodeTime(9, 5, 0)},
                                                    {"00:00:00", 0},
                                                    {"23:59:59", EncodeTime(23, 59, 59)}};
  for (const auto& [text, value] : good) {
    TDateTime out = 7;
    EXPECT_TRUE(TryStrToTime(text, out)) << text;
    EXPECT_EQ(out, value) << text;
  }
  for (const char* bad : {"24:00", "12:60", "12:00:60", "12", "12:", "12:00:", "12:00 pm",
                          "2026-12-08 12:00", "", "-1:00", "123:00"}) {
    TDateTime out = 7;
    EXPECT_FALSE(TryStrToTime(bad, out)) << bad;
    EXPECT_EQ(out, 7) << bad;
  }
}

}  // namespace
}  // namespace trelvar
