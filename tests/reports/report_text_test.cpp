// The shared text forms of report pages: two-decimal numbers, date-time
// labels, word wrapping and path breaking of logged text.
#include "reports/report_text.h"

#include <gtest/gtest.h>

#include <limits>

#include "base/datetime.h"

namespace trelvar {
namespace {

TEST(ReportText, FixedHasTwoDecimalsAndADashForNoNumber) {
  EXPECT_EQ(Fixed(0), "0.00");
  EXPECT_EQ(Fixed(12.5), "12.50");
  EXPECT_EQ(Fixed(2.0 / 3 * 100), "66.67");
  EXPECT_EQ(Fixed(-1.005e3), "-1005.00");
  EXPECT_EQ(Fixed(0.0 / 0.0), "-");
  EXPECT_EQ(Fixed(1.0 / 0.0), "-");
}

TEST(ReportText, RoundedTextHalvesToEvenAndADashBeyondIntegers) {
  struct TCase {
    double value;
    const char* text;
  };
  const TCase cases[] = {
      {0, "0"},
      {2.5, "2"},
      {3.5, "4"},
      {-2.5, "-2"},
      {-0.4, "0"},
      {1e15 + 0.5, "1000000000000000"},
      {-9223372036854775808.0, "-9223372036854775808"},
      {9223372036854775808.0, "-"},  // 2^63: one past the largest
      {1e300, "-"},
      {-1e300, "-"},
      {std::numeric_limits<double>::infinity(), "-"},
      {-std::numeric_limits<double>::infinity(), "-"},
      {std::numeric_limits<double>::quiet_NaN(), "-"},
  };
  for (const TCase& c : cases) EXPECT_EQ(RoundedText(c.value), c.text) << c.value;
}

TEST(ReportText, DateTimeTextOfNoDateIsADash) {
  for (double t : {1e300, -1e300, std::numeric_limits<double>::quiet_NaN(),
                   EncodeDate(9999, 12, 31) + 1.0, EncodeDate(1, 1, 1) - 1.0})
    EXPECT_EQ(DateTimeText(t), "-") << t;
  EXPECT_EQ(DateTimeText(EncodeDate(1, 1, 1)), "0001-01-01");
  EXPECT_EQ(DateTimeText(EncodeDate(9999, 12, 31) + EncodeTime(23, 59, 59)),
            "9999-12-31 23:59:59");
}

TEST(ReportText, DateTimeTextLeavesOutMidnight) {
  EXPECT_EQ(DateTimeText(EncodeDate(2026, 12, 8)), "2026-12-08");
  EXPECT_EQ(DateTimeText(EncodeDate(2026, 12, 8) + EncodeTime(14, 5, 0)), "2026-12-08 14:05:00");
  EXPECT_DOUBLE_EQ(Seconds(1.0 / 48), 1800.0);
}

TEST(ReportText, WrapBreaksAfterTheLastBreakCharacterOutsideQuotes) {
  struct Case {
    const char* text;
    size_t width;
    const char* breaks;
    const char* html;
  } cases[] = {
      {"/short/path", 70, "/", "/short/path"},
      {"/aaaa/bbbb/cccc", 9, "/", "/aaaa/<br>bbbb/cccc"},
      {"/aaaa/bbbb/cccc", 8, "/", "/aaaa/<br>bbbb/<br>cccc"},
      // The overfilling character itself is no break point.
      {"/aaaa/bbbb/cccc/dddd", 9, "/", "/aaaa/<br>bbbb/<br>cccc/dddd"},
      {"nobreakcharactersatall", 5, "/", "nobreakcharactersatall"},
      // A break character inside quotes is no break point.
      {"ab\"c/d\"efgh/ij", 6, "/", "ab&quot;c/d&quot;efgh/<br>ij"},
      // The pieces are escaped, the breaks are tags.
      {"/a<b/c&d=1", 5, "/&", "/a&lt;b/<br>c&amp;d=1"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WrapHtml(c.text, c.width, c.breaks), c.html) << c.text;
}

TEST(ReportText, PathBreakFillsLinesOfFiftyCharacters) {
  EXPECT_EQ(PathBreakHtml("www.site.com/dir/page.htm"), "www.site.com/dir/page.htm");
  const std::string a(30, 'a'), b(30, 'b');
  EXPECT_EQ(PathBreakHtml(a + "/" + b + "/x"), a + "/<br>" + b + "/x");
  // A trailing rest that would overfill the last line goes on a line of its own.
  EXPECT_EQ(PathBreakHtml(a + "/" + b), a + "/<br>" + b);
  // A first segment longer than the width leads with a break.
  const std::string long_segment(60, 'c');
  EXPECT_EQ(PathBreakHtml(long_segment + "/"), "<br>" + long_segment + "/");
  EXPECT_EQ(PathBreakHtml("a<b/c"), "a&lt;b/c");
}

TEST(ReportText, SafeFileNameNeverLeavesTheFolder) {
  EXPECT_EQ(SafeFileName("Top engines"), "Top engines");
  EXPECT_EQ(SafeFileName("../../etc/passwd"), ".._.._etc_passwd");
  EXPECT_EQ(SafeFileName(std::string("a\0b", 3)), "a_b");
}

}  // namespace
}  // namespace trelvar
