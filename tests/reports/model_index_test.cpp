// The kept indexes of the visit models give the results of the plain
// definitions: the user model's distance and merge against a direct
// computation over the union of pages, and the web model's long lists
// (searched through their table) after growth, sorting and cutting.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string>

#include "reports/user_models.h"
#include "reports/web_model.h"

namespace trelvar {
namespace {

// √(Σ over the union of (P − Q)²) / |union|, straight from the definition.
double PlainDistance(const TUserPattern& p, const TUserPattern& q) {
  std::map<std::string, std::pair<double, double>> values;
  for (size_t i = 0; i < p.items.size(); ++i) values[std::string(p.items[i].page)].first = p.Value(i);
  for (size_t i = 0; i < q.items.size(); ++i) values[std::string(q.items[i].page)].second = q.Value(i);
  double s = 0;
  for (const auto& [page, v] : values) s += (v.first - v.second) * (v.first - v.second);
  return values.empty() ? 0 : std::sqrt(s) / static_cast<double>(values.size());
}

TUserPattern RandomPattern(std::mt19937_64& random, int pages, TTextPool& pool) {
  TUserPattern p;
  std::uniform_int_distribution<int> page(0, 40);
  std::map<int, bool> seen;
  for (int i = 0; i < pages; ++i) {
    const int n = page(random);
    if (!seen.emplace(n, true).second) continue;
    p.items.push_back({pool.Intern("/p" + std::to_string(n)), 1.0});
  }
  return p;
}

TEST(ModelIndexes, DistanceAndMergeAgreeWithThePlainDefinition) {
  std::mt19937_64 random(7);
  TTextPool pool;
  TUserPattern big = RandomPattern(random, 30, pool);
  for (int round = 0; round < 200; ++round) {
    TUserPattern visit = RandomPattern(random, 1 + round % 6, pool);
    ASSERT_NEAR(PatternDistance(big, visit), PlainDistance(big, visit), 1e-12) << round;
    ASSERT_NEAR(PatternDistance(visit, big), PlainDistance(big, visit), 1e-12) << round;
    // After a merge the kept index and sum of squares must follow the new values.
    std::map<std::string, double> expected;
    const double wb = big.weight, wv = visit.weight;
    for (size_t i = 0; i < big.items.size(); ++i)
      expected[std::string(big.items[i].page)] = wb * big.Value(i) / (wb + wv);
    for (size_t i = 0; i < visit.items.size(); ++i)
      expected[std::string(visit.items[i].page)] += wv * visit.Value(i) / (wb + wv);
    MergePattern(big, visit);
    ASSERT_EQ(big.items.size(), expected.size());
    // The scale stays pending across merges; Value must still be exact.
    for (size_t i = 0; i < big.items.size(); ++i)
      ASSERT_NEAR(big.Value(i), expected[std::string(big.items[i].page)], 1e-12);
  }
  EXPECT_LT(big.scale, 0.01);
  const double before = big.Value(3);
  big.Normalize();
  EXPECT_EQ(big.scale, 1);
  EXPECT_NEAR(big.items[3].value, before, 1e-15);
  // A pattern changed by hand and touched is measured afresh.
  big.items[0].value = 5;
  big.Touch();
  TUserPattern visit;
  visit.items.push_back({big.items[1].page, 1.0});
  MergePattern(big, visit);  // a merge after Touch sums the squares afresh
  EXPECT_NEAR(PatternDistance(big, visit), PlainDistance(big, visit), 1e-12);
  TUserPattern one;
  one.items.push_back({big.items[0].page, 1.0});
  EXPECT_NEAR(PatternDistance(big, one), PlainDistance(big, one), 1e-12);
}

TEST(ModelIndexes, LongListsFindEveryKeyAfterGrowthSortAndCut) {
  TKeyPool pool;
  THRefList list;
  for (int i = 0; i < 500; ++i)
    for (int k = 0; k <= i % 7; ++k)
      list.Add(pool.Intern("/page" + std::to_string(i)), 1);
  ASSERT_EQ(list.Size(), 500u);
  for (int i = 0; i < 500; ++i) {
    const TCustomHRef* r = list.Find("/page" + std::to_string(i), pool);
    ASSERT_NE(r, nullptr) << i;
    EXPECT_EQ(r->count, i % 7 + 1);
  }
  list.SortByCount();
  EXPECT_EQ(list[0].count, 7);
  EXPECT_EQ(pool.Text(list[0].id), "/page6");  // stable: the first of the sevens
  list.Truncate(72);                   // the 72 records counted 7 times
  EXPECT_EQ(list.Size(), 72u);
  EXPECT_EQ(list.Find("/page0", pool), nullptr);
  ASSERT_NE(list.Find("/page13", pool), nullptr);
  list.Add(pool.Intern("/page13"), 1);
  EXPECT_EQ(list.Find("/page13", pool)->count, 8);
  list.Add(pool.Intern("/new"), 1);
  EXPECT_EQ(list.Find("/new", pool)->count, 1);
  EXPECT_EQ(list.Size(), 73u);
}

}  // namespace
}  // namespace trelvar
