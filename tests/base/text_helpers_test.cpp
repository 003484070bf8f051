#include "base/text_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/errors.h"

namespace trelvar {
namespace {

TEST(TextHelpers, IntegersFollowTheDecimalAndHexRules) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  } cases[] = {
      {"42", true, 42},        {"-17", true, -17},   {"+5", true, 5},
      {"  7", true, 7},        {"$1F", true, 31},    {"0x1f", true, 31},
      {"0X1F", true, 31},      {"1F", false, 0},     {"", false, 0},
      {"-", false, 0},         {"12a", false, 0},    {"7 ", false, 0},
      {"2147483647", true, 2147483647},              {"2147483648", false, 0},
      {"-2147483648", true, -2147483647 - 1},        {"99999999999999999999", false, 0},
  };
  for (const Case& c : cases) {
    int v = 0;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_EQ(StrToIntDef("x", 9), 9);
  try {
    StrToInt("abc");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    EXPECT_STREQ(e.ClassName(), "EConvertError");
  }
}

TEST(TextHelpers, TryStrToInt64HoldsTheWholeRangeAndRefusesBeyondIt) {
  struct Case {
    const char* text;
    bool ok;
    int64_t value;
  };
  const Case cases[] = {
      {"9223372036854775807", true, INT64_MAX},
      {"9223372036854775808", false, 0},
      {"-9223372036854775808", true, INT64_MIN},
      {"-9223372036854775809", false, 0},
      {"18446744073709551616", false, 0},  // wraps to 0 in 64 bits
      {"99999999999999999999", false, 0},
      {"0x7FFFFFFFFFFFFFFF", true, INT64_MAX},
      {"0x8000000000000000", false, 0},
      {"$10", true, 16},
      {"000000000000000000000012", true, 12},
      {"12a", false, 0},
      {"", false, 0},
  };
  for (const Case& c : cases) {
    int64_t v = -1;
    EXPECT_EQ(TryStrToInt64(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(TextHelpers, HexToIntAcceptsOnlyHexDigits) {
  EXPECT_EQ(HexToInt("1f"), 31);
  EXPECT_EQ(HexToInt("FF"), 255);
  EXPECT_EQ(HexToInt(""), 0);
  EXPECT_THROW(HexToInt("1G"), EConvertError);
  EXPECT_THROW(HexToInt("-1"), EConvertError);
}

TEST(TextHelpers, ReplaceAllSearchesFromTheStartEachTime) {
  // Replacing creates a new occurrence that a single pass would miss.
  EXPECT_EQ(ReplaceAll("&amp;", "&", "&amp;amp;"), "&");
  EXPECT_EQ(ReplaceAll("ab", "b", "aaab"), "b");
  EXPECT_EQ(ReplaceAll("x", "y", "none"), "none");
  EXPECT_EQ(ReplaceEach("&amp;amp;", "&amp;", "&"), "&amp;");
  // A replacement holding what it replaces cannot loop forever.
  EXPECT_EQ(ReplaceAll("a", "aa", "aba"), "aabaa");
}

TEST(TextHelpers, CharactersAndSeparators) {
  EXPECT_EQ(ReplaceChar("a.b.c", '.', '-'), "a-b-c");
  EXPECT_EQ(RemoveChar("a\"b\"", '"'), "ab");
  EXPECT_EQ(CountChar('/', "/a/b/"), 3);
  EXPECT_EQ(ToNativeSeparators("a\\b/c"), "a/b/c");
  EXPECT_EQ(ToNativeDir("out\\site"), "out/site/");
  EXPECT_EQ(ToNativeDir("out/"), "out/");
  EXPECT_EQ(ToNativeDir(""), "");
  EXPECT_EQ(ToSlashDir("reports\\zeb_out"), "reports/zeb_out/");
}

TEST(TextHelpers, BooleansAndPlurals) {
  EXPECT_TRUE(TextBool(""));
  EXPECT_FALSE(TextBool("  FALSE "));
  EXPECT_TRUE(TextBool("no"));
  EXPECT_EQ(BoolText(true), "true");
  EXPECT_EQ(BoolText(false), "false");
  EXPECT_EQ(PluralS(1), "");
  EXPECT_EQ(PluralS(0), "s");
  EXPECT_EQ(PluralS(2), "s");
  EXPECT_EQ(Sign(-3.5), -1);
  EXPECT_EQ(Sign(0), 0);
  EXPECT_EQ(Sign(2), 1);
}

TEST(TextHelpers, SplitKeyValueTrimsAndLowerCasesTheKeyOnly) {
  TKeyValue kv = SplitKeyValue("  LogFormat = a=b ");
  EXPECT_EQ(kv.key, "logformat");
  EXPECT_EQ(kv.value, " a=b ");
  kv = SplitKeyValue("no equals sign");
  EXPECT_EQ(kv.key, "");
  EXPECT_EQ(kv.value, "");
  kv = SplitKeyValue("=x");
  EXPECT_EQ(kv.key, "");
  EXPECT_EQ(kv.value, "x");
}

TEST(TextHelpers, StripTagsRemovesRunsAndLoneOpeners) {
  EXPECT_EQ(StripTags("<P>Done!</P>"), "Done!");
  EXPECT_EQ(StripTags("a < b"), "a  b");
  EXPECT_EQ(StripTags("x<y>z<"), "xz");
  EXPECT_EQ(StripTags("1 > 0"), "1 > 0");
  EXPECT_EQ(StripTags(""), "");
}

TEST(TextHelpers, SplitFirstAndWords) {
  std::string text = "a;b;c";
  EXPECT_EQ(SplitFirst(text, ";"), "a");
  EXPECT_EQ(text, "b;c");
  text = "whole";
  EXPECT_EQ(SplitFirst(text, ";"), "whole");
  EXPECT_EQ(text, "");
  EXPECT_EQ(WordAt(1, "  one  two three", " "), "one");
  EXPECT_EQ(WordAt(3, "one, two;;three", " ,;"), "three");
  EXPECT_EQ(WordAt(4, "one two three", " "), "");
  EXPECT_EQ(WordAt(0, "one", " "), "");
}

TEST(TextHelpers, NameValueLines) {
  EXPECT_EQ(BeforeChar("name=value", '='), "name");
  EXPECT_EQ(AfterChar("name=value=x", '='), "value=x");
  EXPECT_EQ(BeforeChar("plain", '='), "plain");
  EXPECT_EQ(AfterChar("plain", '='), "");
  std::vector<std::string> list = {"a=1", "B=2"};
  SetNameValue(list, "b", "3");
  SetNameValue(list, "c", "4");
  EXPECT_EQ(list, (std::vector<std::string>{"a=1", "b=3", "c=4"}));
}

TEST(TextHelpers, EnvironmentTextIsCutAt255Characters) {
  setenv("TRELVAR_TEST_LONG", std::string(300, 'x').c_str(), 1);
  std::string v;
  ASSERT_TRUE(GetEnvText("TRELVAR_TEST_LONG", v));
  EXPECT_EQ(v.size(), 255u);
  unsetenv("TRELVAR_TEST_LONG");
  EXPECT_FALSE(GetEnvText("TRELVAR_TEST_LONG", v));
}

TEST(TextHelpers, RowClassAlternates) {
  EXPECT_EQ(RowClass(0), "class=\"EvenRaw\"");
  EXPECT_EQ(RowClass(1), "class=\"OddRaw\"");
  EXPECT_EQ(RowClass(7), "class=\"OddRaw\"");
}

TEST(TextHelpers, TrimAndCase) {
  EXPECT_EQ(Trim("\t a b \r\n"), "a b");
  EXPECT_EQ(LowerCase("AbC\xc4"), "abc\xc4");
  EXPECT_TRUE(SameText("Strings", "STRINGS"));
  EXPECT_FALSE(SameText("String", "Strings"));
  EXPECT_TRUE(StartsText("0X", "0x1f"));
}

TEST(TextHelpers, FormatTextFillsItsValuesInOnePass) {
  EXPECT_EQ(FormatText("%1 of %2", {"3", "4"}), "3 of 4");
  EXPECT_EQ(FormatText("%2, %1, %2", {"a", "b"}), "b, a, b");
  // A value that holds a placeholder or a percent sign stays as it is.
  EXPECT_EQ(FormatText("%1 and %2", {"%2", "100%"}), "%2 and 100%");
  // Placeholders without a value, and lone percent signs, are copied.
  EXPECT_EQ(FormatText("%1 %3 %0 % %", {"x"}), "x %3 %0 % %");
  EXPECT_EQ(FormatText("", {"x"}), "");
}

}  // namespace
}  // namespace trelvar
