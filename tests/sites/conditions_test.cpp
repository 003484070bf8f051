#include "sites/conditions.h"

#include <gtest/gtest.h>

namespace trelvar {
namespace {

using enum TFilterCondition;

TEST(Conditions, NamesReadAndWritten) {
  EXPECT_EQ(ConditionFromName("  Not_Included_In_File "), NotIncludedInFile);
  EXPECT_EQ(ConditionFromName("included_in_file_once"), IncludedInFileOnce);
  EXPECT_EQ(ConditionFromName("contains"), Includes);  // unknown
  EXPECT_EQ(ConditionFromName(""), Includes);
  for (int code = 0; code < kConditionCount; ++code) {
    const auto condition = static_cast<TFilterCondition>(code);
    EXPECT_EQ(ConditionFromName(ConditionName(condition)), condition);
  }
}

TEST(Conditions, TextConditionsAndTheEmptyText) {
  struct Case {
    TFilterCondition code;
    const char* text;
    const char* value;
    bool holds;
  } cases[] = {
      {Includes, "Googlebot/2.1", "bot", true},
      {Includes, "GoogleBot/2.1", "bot", false},  // case-sensitive
      {Includes, "anything", "", false},          // the empty text occurs in nothing
      {NotIncludes, "anything", "", true},
      {NotIncludes, "abc", "b", false},
      {Equals, "/index.htm", "/index.htm", true},
      {Equals, "/Index.htm", "/index.htm", false},
      {Equals, "", "", true},
      {NotEquals, "a", "b", true},
      {IncludedIn, "/a.htm", "/a.htm;/b.htm", true},
      {IncludedIn, "/b.htm", "/a.htm;/b.htm", true},
      {IncludedIn, "a.h", "/a.htm;/b.htm", true},  // any part of the value
      {IncludedIn, "/c.htm", "/a.htm;/b.htm", false},
      {IncludedIn, "", "/a.htm", false},
      {NotIncludedIn, "/c.htm", "/a.htm;/b.htm", true},
      {NotIncludedIn, "/a.htm", "/a.htm;/b.htm", false},
      {NotIncludedIn, "", "/a.htm", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ConditionHolds(c.code, c.text, c.value, nullptr), c.holds)
        << int(c.code) << " '" << c.text << "' '" << c.value << "'";
}

TEST(Conditions, ValueListConditions) {
  TValueList list = {"", "bot", "spider"};
  EXPECT_TRUE(ConditionHolds(IncludedInFile, "msnbot", "f", &list));
  EXPECT_FALSE(ConditionHolds(IncludedInFile, "Mozilla", "f", &list));  // "" matches nothing
  EXPECT_FALSE(ConditionHolds(NotIncludedInFile, "a spider", "f", &list));
  EXPECT_TRUE(ConditionHolds(NotIncludedInFile, "Mozilla", "f", &list));
  EXPECT_FALSE(ConditionHolds(IncludedInFile, "bot", "f", nullptr));
  EXPECT_TRUE(ConditionHolds(NotIncludedInFile, "bot", "f", nullptr));
  EXPECT_EQ(list.size(), 3u);
}

TEST(Conditions, IncludedInFileOnceShrinksTheList) {
  TValueList list = {"a", "b"};
  EXPECT_TRUE(ConditionHolds(IncludedInFileOnce, "xay", "", &list));
  EXPECT_FALSE(ConditionHolds(IncludedInFileOnce, "xay", "", &list));
  EXPECT_TRUE(ConditionHolds(IncludedInFileOnce, "b", "", &list));
  EXPECT_FALSE(ConditionHolds(IncludedInFileOnce, "b", "", &list));
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(ConditionHolds(IncludedInFileOnce, "a", "", nullptr));
}

}  // namespace
}  // namespace trelvar
