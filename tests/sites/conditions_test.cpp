#include "sites/conditions.h"

#include <gtest/gtest.h>

namespace trelvar {
namespace {

TEST(Conditions, NamesReadAndWritten) {
  EXPECT_EQ(ConditionFromName("  Not_Included_In_File "), kNotIncludedInFile);
  EXPECT_EQ(ConditionFromName("included_in_file_once"), kIncludedInFileOnce);
  EXPECT_EQ(ConditionFromName("contains"), kIncludes);  // unknown
  EXPECT_EQ(ConditionFromName(""), kIncludes);
  for (int code = 0; code < kConditionCount; ++code)
    EXPECT_EQ(ConditionFromName(ConditionName(static_cast<uint8_t>(code))), code);
}

TEST(Conditions, TextConditionsAndTheEmptyText) {
  struct Case {
    uint8_t code;
    const char* text;
    const char* value;
    bool holds;
  } cases[] = {
      {kIncludes, "Googlebot/2.1", "bot", true},
      {kIncludes, "GoogleBot/2.1", "bot", false},  // case-sensitive
      {kIncludes, "anything", "", false},          // the empty text occurs in nothing
      {kNotIncludes, "anything", "", true},
      {kNotIncludes, "abc", "b", false},
      {kEquals, "/index.htm", "/index.htm", true},
      {kEquals, "/Index.htm", "/index.htm", false},
      {kEquals, "", "", true},
      {kNotEquals, "a", "b", true},
      {kIncludedIn, "/a.htm", "/a.htm;/b.htm", true},
      {kIncludedIn, "/b.htm", "/a.htm;/b.htm", true},
      {kIncludedIn, "a.h", "/a.htm;/b.htm", true},  // any part of the value
      {kIncludedIn, "/c.htm", "/a.htm;/b.htm", false},
      {kIncludedIn, "", "/a.htm", false},
      {kNotIncludedIn, "/c.htm", "/a.htm;/b.htm", true},
      {kNotIncludedIn, "/a.htm", "/a.htm;/b.htm", false},
      {kNotIncludedIn, "", "/a.htm", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ConditionHolds(c.code, c.text, c.value, nullptr), c.holds)
        << int(c.code) << " '" << c.text << "' '" << c.value << "'";
}

TEST(Conditions, ValueListConditions) {
  TValueList list = {"", "bot", "spider"};
  EXPECT_TRUE(ConditionHolds(kIncludedInFile, "msnbot", "f", &list));
  EXPECT_FALSE(ConditionHolds(kIncludedInFile, "Mozilla", "f", &list));  // "" matches nothing
  EXPECT_FALSE(ConditionHolds(kNotIncludedInFile, "a spider", "f", &list));
  EXPECT_TRUE(ConditionHolds(kNotIncludedInFile, "Mozilla", "f", &list));
  EXPECT_FALSE(ConditionHolds(kIncludedInFile, "bot", "f", nullptr));
  EXPECT_TRUE(ConditionHolds(kNotIncludedInFile, "bot", "f", nullptr));
  EXPECT_EQ(list.size(), 3u);
}

TEST(Conditions, IncludedInFileOnceShrinksTheList) {
  TValueList list = {"a", "b"};
  EXPECT_TRUE(ConditionHolds(kIncludedInFileOnce, "xay", "", &list));
  EXPECT_FALSE(ConditionHolds(kIncludedInFileOnce, "xay", "", &list));
  EXPECT_TRUE(ConditionHolds(kIncludedInFileOnce, "b", "", &list));
  EXPECT_FALSE(ConditionHolds(kIncludedInFileOnce, "b", "", &list));
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(ConditionHolds(kIncludedInFileOnce, "a", "", nullptr));
}

}  // namespace
}  // namespace trelvar
