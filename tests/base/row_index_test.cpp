#include "base/row_index.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace trelvar
