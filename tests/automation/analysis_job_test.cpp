// The analysis period taken from a choice of period.
#include "automation/analysis_job.h"

#include <gtest/gtest.h>

#include <climits>

#include "base/datetime.h"

namespace trelvar {
namespace {

// "The last 2147483647 years" once began long before the year 1, and its
// start went into the page's time range and the cache.
TEST(AnalysisPeriod, LastPeriodsBeginWithinTheCalendar) {
  const TDateTime first = EncodeDate(1, 1, 1);
  const TDateTime last = EncodeDate(9999, 12, 31) + EncodeTime(23, 59, 59, 999);
  struct TCase {
    int count, unit;
    double days_back;  // < 0: from the first date there is
  };
  const TCase cases[] = {
      {30, 1, 30},
      {2, 0, 2.0 / 24},
      {1, 3, 365.25},
      {7, 9, 7},  // an unknown unit counts days
      {10000, 3, -1},
      {INT_MAX, 3, -1},
      {INT_MAX, 0, -1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.count) + " of unit " + std::to_string(c.unit));
    TPeriodChoice cmd;
    cmd.type = TPeriodType::Last;
    cmd.count = c.count;
    cmd.unit = c.unit;
    bool use_period = false;
    TDateTime from = 0, to = 0;
    ComputeAnalysisPeriod(cmd, use_period, from, to);
    EXPECT_TRUE(use_period);
    if (c.days_back < 0) {
      EXPECT_EQ(from, first);
    } else {
      EXPECT_NEAR(to - from, c.days_back, 1e-6);
    }
    EXPECT_GE(from, first);
    EXPECT_LE(from, last);
  }
  // A negative count reaches at most the last date there is.
  TPeriodChoice ahead;
  ahead.type = TPeriodType::Last;
  ahead.count = INT_MIN;
  ahead.unit = 3;
  bool use_period = false;
  TDateTime from = 0, to = 0;
  ComputeAnalysisPeriod(ahead, use_period, from, to);
  EXPECT_NEAR(from, last, 1e-9);
}

}  // namespace
}  // namespace trelvar
