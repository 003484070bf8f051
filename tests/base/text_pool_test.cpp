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

}  // namespace
}  // namespace trelvar
