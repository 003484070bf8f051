#include "reports/byte_sums.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace trelvar {
namespace {

constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();
constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();

TEST(ByteSums, KilobytesRoundedOnceAndWhole) {
  struct TCase {
    int64_t bytes;
    int32_t rounded, whole;
  };
  const TCase cases[] = {
      {0, 0, 0},
      {511, 0, 0},
      {512, 0, 0},  // half: to the even 0
      {513, 1, 0},
      {1023, 1, 0},
      {1024, 1, 1},
      {1536, 2, 1},  // half: to the even 2
      {2560, 2, 2},  // half: to the even 2
      {2561, 3, 2},
      {4560 * 51, 227, 227},  // many small answers add up
      {-512, 0, 0},
      {-513, -1, 0},
      {-1536, -2, -1},
      {int64_t{kMax32} * 1024, kMax32, kMax32},
      {int64_t{kMax32} * 1024 + 1024, kMax32, kMax32},  // held at the 32-bit limit
      {int64_t{kMin32} * 1024 - 1024, kMin32, kMin32},
      {kMax64, kMax32, kMax32},
      {kMin64, kMin32, kMin32},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(RoundedKilobytes(c.bytes), c.rounded);
    EXPECT_EQ(WholeKilobytes(c.bytes), c.whole);
  }
}

TEST(ByteSums, SumsHoldAtTheLimits) {
  struct TCase {
    int64_t a, b, sum;
  };
  const TCase cases[] = {
      {1, 2, 3},
      {-5, 3, -2},
      {kMax64 - 1, 1, kMax64},
      {kMax64, 1, kMax64},
      {kMax64, kMax64, kMax64},
      {kMin64 + 1, -1, kMin64},
      {kMin64, -1, kMin64},
      {kMax64, kMin64, -1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.a) + " + " + std::to_string(c.b));
    EXPECT_EQ(AddBytes(c.a, c.b), c.sum);
  }
}

}  // namespace
}  // namespace trelvar
