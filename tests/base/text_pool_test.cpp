#include "base/text_pool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trelvar {
namespace {

TEST(TTextPool, EqualTextsShareOneCopyThatOutlivesTheCallersTextAndGrowth) {
  TTextPool pool;
  std::vector<std::string_view> first;
  for (int i = 0; i < 20000; ++i) {
    std::string text = "/page" + std::to_string(i) + ".htm";
    first.push_back(pool.Intern(text));
    text.assign(text.size(), '#');  // the pool keeps its own copy
  }
  EXPECT_EQ(pool.Size(), 20000u);
  for (int i = 0; i < 20000; ++i) {
    const std::string text = "/page" + std::to_string(i) + ".htm";
    const std::string_view again = pool.Intern(text);
    ASSERT_EQ(again, text);
    ASSERT_EQ(again.data(), first[static_cast<size_t>(i)].data()) << i;
    ASSERT_EQ(pool.Text(pool.Find(text)).data(), again.data());
    ASSERT_EQ(pool.Number(text), static_cast<uint32_t>(i));  // in order of arrival
  }
  EXPECT_EQ(pool.Size(), 20000u);
}

TEST(TTextPool, KeepsEmptyLongAndBinaryTextsApart) {
  const std::string long_text(100000, 'x');
  const std::string longer = long_text + "y";
  const std::string with_nul("a\0b", 3);
  struct TCase {
    std::string text;
  } cases[] = {{""}, {"a"}, {long_text}, {longer}, {with_nul}, {std::string("a\0c", 3)},
               {"A"}, {std::string(16 * 1024 - 1, 'z')}, {std::string(16 * 1024, 'z')}};
  TTextPool pool;
  std::vector<std::string_view> views;
  for (const TCase& c : cases) views.push_back(pool.Intern(c.text));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(views[i], cases[i].text) << i;
    EXPECT_EQ(pool.Find(cases[i].text), i) << i;
    EXPECT_EQ(pool.Text(static_cast<uint32_t>(i)), cases[i].text) << i;
  }
  EXPECT_EQ(pool.Size(), std::size(cases));
  EXPECT_EQ(pool.Find("never"), TTextPool::kMissing);
  pool.Clear();
  EXPECT_EQ(pool.Size(), 0u);
  EXPECT_EQ(pool.Find("a"), TTextPool::kMissing);
  EXPECT_EQ(pool.Intern("a"), "a");
  EXPECT_EQ(pool.Number("b"), 1u);
}

TEST(TTextPool, KeepOnlyReleasesWhatTheOwnerDroppedOnceThePoolHasDoubled) {
  // An owner holding numbers of every third text of 3000.
  TTextPool pool;
  std::vector<uint32_t> held;
  for (int i = 0; i < 3000; ++i) {
    const uint32_t n = pool.Number("/p" + std::to_string(i));
    if (i % 3 == 0) held.push_back(n);
  }
  held.push_back(held.front());  // one text held twice
  auto for_each = [&](auto&& renumber) {
    for (uint32_t& n : held) renumber(n);
  };
  pool.KeepOnly(for_each);
  ASSERT_EQ(pool.Size(), 1000u);
  // The kept texts keep their order of arrival and their holders follow.
  for (size_t k = 0; k < 1000; ++k) {
    ASSERT_EQ(held[k], k);
    ASSERT_EQ(pool.Text(held[k]), "/p" + std::to_string(3 * k));
  }
  EXPECT_EQ(held.back(), 0u);
  EXPECT_EQ(pool.Find("/p1"), TTextPool::kMissing);
  EXPECT_EQ(pool.Find("/p2997"), 999u);
  EXPECT_EQ(pool.Number("/p1"), 1000u);  // new texts go on after them
  // Not yet twice the 1000 kept: nothing is walked or released.
  held.clear();
  bool walked = false;
  pool.KeepOnly([&](auto&&) { walked = true; });
  EXPECT_FALSE(walked);
  EXPECT_EQ(pool.Size(), 1001u);
}

TEST(TTextPool, KeepOnlyViewsPointsTheHeldViewsAtTheKeptCopies) {
  TTextPool pool;
  std::vector<std::string_view> held;
  for (int i = 0; i < 1024; ++i) {
    const std::string_view v = pool.Intern(std::string(i % 7 == 0 ? 20000 : 5, 'a') +
                                           std::to_string(i));
    if (i % 2 == 0) held.push_back(v);
  }
  held.push_back(pool.Intern(""));
  const std::vector<std::string> texts(held.begin(), held.end());
  pool.KeepOnlyViews([&](auto&& keep) {
    for (std::string_view& v : held) keep(v);
  });
  EXPECT_EQ(pool.Size(), 513u);
  for (size_t k = 0; k < held.size(); ++k) {
    ASSERT_EQ(held[k], texts[k]) << k;
    ASSERT_EQ(pool.Intern(texts[k]).data(), held[k].data()) << k;
  }
  EXPECT_EQ(pool.Find(std::string(5, 'a') + "1"), TTextPool::kMissing);
}

}  // namespace
}  // namespace trelvar
