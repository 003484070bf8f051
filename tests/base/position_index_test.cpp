#include "base/position_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace trelvar {
namespace {

struct TItem {
  std::string text;
  uint64_t hash;
};

// Hashes with few distinct values, so that many items share a probe chain.
uint64_t WeakHash(const std::string& text) { return text.size() * 7; }

class PositionIndexTest : public ::testing::Test {
 protected:
  void Add(const std::string& text) {
    items.push_back({text, WeakHash(text)});
    index.Add(items.size(), [&](size_t k) { return items[k].hash; });
  }
  ptrdiff_t Find(const std::string& text) const {
    const uint64_t hash = WeakHash(text);
    return index.Find(hash,
                      [&](size_t k) { return items[k].hash == hash && items[k].text == text; });
  }
  void Rebuild() {
    index.Rebuild(items.size(), [&](size_t k) { return items[k].hash; });
  }

  std::vector<TItem> items;
  TPositionIndex index;
};

TEST_F(PositionIndexTest, FindsEveryItemThroughGrowthAndTheFirstOfEqualOnes) {
  EXPECT_EQ(Find("x"), TPositionIndex::kNone);
  for (int i = 0; i < 3000; ++i) Add("item" + std::to_string(i));
  Add("item7");  // an equal item later in the list
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(Find("item" + std::to_string(i)), i);
  EXPECT_EQ(Find("item3000"), TPositionIndex::kNone);
  EXPECT_EQ(Find(""), TPositionIndex::kNone);
  index.Clear();
  EXPECT_EQ(Find("item1"), TPositionIndex::kNone);
}

TEST_F(PositionIndexTest, FindsItemsAtTheirNewPlacesAfterTheListMoved) {
  for (int i = 0; i < 100; ++i) Add("p" + std::to_string(i));
  std::reverse(items.begin(), items.end());
  items.resize(40);  // keeps p99 .. p60
  Rebuild();
  EXPECT_EQ(Find("p99"), 0);
  EXPECT_EQ(Find("p60"), 39);
  EXPECT_EQ(Find("p59"), TPositionIndex::kNone);
  Add("p59");
  EXPECT_EQ(Find("p59"), 40);
  // A rebuild of more items than the table holds makes room for them.
  TPositionIndex fresh;
  index = fresh;
  for (int i = 0; i < 500; ++i) {
    const std::string text = "q" + std::to_string(i);
    items.push_back({text, WeakHash(text)});
  }
  Rebuild();
  EXPECT_EQ(Find("q499"), 540);
}

}  // namespace
}  // namespace trelvar
