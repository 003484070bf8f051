#include "config/datetime.h"

#include <gtest/gtest.h>

#include "config/errors.h"

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

}  // namespace
}  // namespace trelvar
