#include "base/row_index.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <memory>
#include <string>
#include <vector>

namespace trelvar {
namespace {

struct TRow {
  std::string value;
};

TEST(TRowIndex, FindsEveryRowThroughGrowthAndKeepsTheFirstOfEqualValues) {
  std::vector<std::unique_ptr<TRow>> rows;
  TRowIndex<TRow> index;
  EXPECT_EQ(index.Find("x"), nullptr);
  for (int i = 0; i < 5000; ++i) {
    rows.push_back(std::make_unique<TRow>(TRow{"/page" + std::to_string(i) + ".htm"}));
    index.Insert(rows.back().get());
  }
  rows.push_back(std::make_unique<TRow>(TRow{"/page7.htm"}));  // a second row of one value
  index.Insert(rows.back().get());
  EXPECT_EQ(index.Size(), 5000u);
  for (int i = 0; i < 5000; ++i)
    ASSERT_EQ(index.Find("/page" + std::to_string(i) + ".htm"), rows[static_cast<size_t>(i)].get());
  EXPECT_EQ(index.Find("/page5000.htm"), nullptr);
  EXPECT_EQ(index.Find(""), nullptr);
  TRow empty{""};
  index.Insert(&empty);
  EXPECT_EQ(index.Find(""), &empty);
  index.Clear();
  EXPECT_EQ(index.Find("/page1.htm"), nullptr);
  EXPECT_EQ(index.Size(), 0u);
}

// Rows at addresses that reach into the tag bits: the index drops its tags
// and still finds every row, those placed before and after.
TEST(TRowIndex, RowsWhoseAddressesUseTheTagBitsAreStillFound) {
  // Low memory for the first rows, below the moved-down tag.
  constexpr uintptr_t kLow = uintptr_t{1} << 28;
  constexpr unsigned kShift = 32;
  void* low = mmap(reinterpret_cast<void*>(kLow), 1 << 20, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  if (low == MAP_FAILED || reinterpret_cast<uintptr_t>(low) >> kShift != 0)
    GTEST_SKIP() << "no low memory to place rows in";
  TRow* low_rows = static_cast<TRow*>(low);
  TRowIndex<TRow, kShift> index;
  for (int i = 0; i < 100; ++i) {
    new (&low_rows[i]) TRow{"/low" + std::to_string(i)};
    index.Insert(&low_rows[i]);
  }
  std::vector<std::unique_ptr<TRow>> high;  // the heap lies far above 4 GB
  for (int i = 0; i < 100; ++i) {
    high.push_back(std::make_unique<TRow>(TRow{"/high" + std::to_string(i)}));
    ASSERT_NE(reinterpret_cast<uintptr_t>(high.back().get()) >> kShift, 0u);
    index.Insert(high.back().get());
  }
  TRow again{"/low5"};
  index.Insert(&again);  // a value there already keeps its first row
  EXPECT_EQ(index.Size(), 200u);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(index.Find("/low" + std::to_string(i)), &low_rows[i]);
    EXPECT_EQ(index.Find("/high" + std::to_string(i)), high[static_cast<size_t>(i)].get());
  }
  EXPECT_EQ(index.Find("/high100"), nullptr);
  for (int i = 0; i < 100; ++i) low_rows[i].~TRow();
  munmap(low, 1 << 20);
}

}  // namespace
}  // namespace trelvar
