#include "logread/line_template.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <string_view>

namespace trelvar {
namespace {

// Fields not named in a case must keep what they held before the cut.
constexpr const char* kUntouched = "untouched";

struct TCutCase {
  const char* name;
  const char* line_template;
  std::string line;
  bool accepted;
  std::map<int, std::string> fields;  // the fields written, when accepted
};

TEST(LineTemplateCut, CutsBySeparatorsOfOneAndSeveralCharacters) {
  const TCutCase cases[] = {
      {"one-character separators, the last token takes the rest", "<ip> <username> <href>",
       "10.0.0.1 bob /a/b c ", true,
       {{kFieldIp, "10.0.0.1"}, {kFieldUserName, "bob"}, {kFieldHref, "/a/b c "}}},
      {"several-character separators", "<ip> -- <href> ## <status>",
       "10.0.0.1 -- /x-y -- z ## 200", true,
       {{kFieldIp, "10.0.0.1"}, {kFieldHref, "/x-y -- z"}, {kFieldStatus, "200"}}},
      {"a separator's first character before its whole occurrence", "<ip>ab<href>", "1ac2ab3ab",
       true, {{kFieldIp, "1ac2"}, {kFieldHref, "3ab"}}},
      {"a separator that overlaps itself", "<ip>aab<href>", "xaaab!", true,
       {{kFieldIp, "xa"}, {kFieldHref, "!"}}},
      {"a separator at the very end of the line", "<ip>--<href>--", "1--2--", true,
       {{kFieldIp, "1"}, {kFieldHref, "2"}}},
      {"a leading literal is skipped without being compared", "[<ip>] <href>", "(1.2.3.4] /z",
       true, {{kFieldIp, "1.2.3.4"}, {kFieldHref, "/z"}}},
      {"template literals are lower-cased", "<ip>AB<href>", "1ab2", true,
       {{kFieldIp, "1"}, {kFieldHref, "2"}}},
      {"an upper-case separator in the line is not the lower-cased literal", "<ip>AB<href>",
       "1AB2", false, {}},
      {"a line that ends after a literal leaves the rest unwritten", "<ip> <href>", "1.2.3.4 ",
       true, {{kFieldIp, "1.2.3.4"}}},
      {"the combined layout", "<ip> <nil> <username> [<day>/<month_>/<year>:<hour>:<min>:<sec> "
       "<nil>] \"<method> <href> <version>\" <status> <bytes> \"<referrer>\" \"<agent>\"",
       "1.2.3.4 - - [09/Dec/2026:21:00:09 +0000] \"GET /i.htm HTTP/1.1\" 200 512 \"-\" \"A b\"",
       true,
       {{kFieldIp, "1.2.3.4"}, {kFieldNil, "+0000"}, {kFieldUserName, "-"}, {kFieldDay, "09"},
        {kFieldMonthName, "Dec"}, {kFieldYear, "2026"}, {kFieldHour, "21"}, {kFieldMin, "00"},
        {kFieldSec, "09"}, {kFieldMethod, "GET"}, {kFieldHref, "/i.htm"},
        {kFieldVersion, "HTTP/1.1"}, {kFieldStatus, "200"}, {kFieldBytes, "512"},
        {kFieldReferrer, "-"}, {kFieldAgent, "A b"}}},
      // Values longer than one step of the search, separators on both
      // sides of a step's end.
      {"a separator as the 16th character", "<ip> <href>", "abcdefghijklmno p", true,
       {{kFieldIp, "abcdefghijklmno"}, {kFieldHref, "p"}}},
      {"a separator as the 17th character", "<ip> <href>", "abcdefghijklmnop q", true,
       {{kFieldIp, "abcdefghijklmnop"}, {kFieldHref, "q"}}},
      {"a separator as the 18th character", "<ip> <href>", "abcdefghijklmnopq r", true,
       {{kFieldIp, "abcdefghijklmnopq"}, {kFieldHref, "r"}}},
      {"a long value found in the last bytes of the line", "<ip>|<href>",
       std::string(40, 'a') + "|b", true, {{kFieldIp, std::string(40, 'a')}, {kFieldHref, "b"}}},
      {"a several-character separator after near misses across a step's end", "<ip>\" <href>",
       "0123456789abcd\"x\"y\"\" \" /z", true,
       {{kFieldIp, "0123456789abcd\"x\"y\""}, {kFieldHref, "\" /z"}}},
      {"a several-character separator ending at the line's end", "<ip>#-#<href>#-#",
       std::string(20, 'x') + "#-#" + std::string(17, 'y') + "#-#", true,
       {{kFieldIp, std::string(20, 'x')}, {kFieldHref, std::string(17, 'y')}}},
      // Rejected lines.
      {"a missing one-character separator", "<ip> <href>", "nospaceshere", false, {}},
      {"a missing several-character separator", "<ip> -- <href>", "1.2.3.4 - /x", false, {}},
      {"a several-character separator cut off by the line's end", "<ip> -- <href>", "1.2.3.4 -",
       false, {}},
      {"an empty first field", "<ip> <href>", " /x", false, {}},
      {"an empty field between separators", "<ip> \"<agent>\"", "1.2.3.4 \"\" ", false, {}},
      {"an empty field before a several-character separator", "<ip> <href>--<status>",
       "1.2.3.4 --200", false, {}},
      {"two tokens without a literal between them", "<ip><href>", "1.2.3.4 /x", false, {}},
      {"a separator's first character only in the last place", "<ip>ab<href>",
       std::string(31, 'x') + "a", false, {}},
      {"a long line without the separator", "<ip>|<href>", std::string(100, 'a'), false, {}},
  };
  for (const TCutCase& c : cases) {
    SCOPED_TRACE(c.name);
    TLineTemplate t;
    t.Compile(c.line_template);
    std::array<std::string, kParsedFieldCount> fields;
    fields.fill(kUntouched);
    ASSERT_EQ(t.Cut(c.line, fields), c.accepted);
    if (!c.accepted) continue;
    for (int i = 0; i < kParsedFieldCount; ++i) {
      const auto it = c.fields.find(i);
      EXPECT_EQ(fields[static_cast<size_t>(i)], it != c.fields.end() ? it->second : kUntouched)
          << "field " << i;
    }
  }
}

TEST(LineTemplateCut, ALongerValueAfterAShorterOneIsWhole) {
  // The fields' storage is reused from line to line: a value must replace
  // the one before in full, whether it is shorter or longer.
  TLineTemplate t;
  t.Compile("<ip> -- <href>");
  std::array<std::string, kParsedFieldCount> fields;
  ASSERT_TRUE(t.Cut("a-much-longer-address -- /first/path", fields));
  ASSERT_TRUE(t.Cut("b -- /x", fields));
  EXPECT_EQ(fields[kFieldIp], "b");
  EXPECT_EQ(fields[kFieldHref], "/x");
  ASSERT_TRUE(t.Cut("c-longer-again-than-the-first-one -- /second/longer/path", fields));
  EXPECT_EQ(fields[kFieldIp], "c-longer-again-than-the-first-one");
  EXPECT_EQ(fields[kFieldHref], "/second/longer/path");
}

TEST(LineTemplateCut, ViewsPointIntoTheLineAndOnlyTheTokensAreWritten) {
  TLineTemplate t;
  t.Compile("<ip> [<day>/<month_>/<year>] \"<href>\"");
  const std::string line = "10.0.0.1 [07/Dec/2005] \"/index.htm\"";
  std::array<std::string_view, kParsedFieldCount> views;
  const std::string_view kept = "kept";
  views.fill(kept);
  ASSERT_TRUE(t.Cut(line, views));
  EXPECT_EQ(views[kFieldIp], "10.0.0.1");
  EXPECT_EQ(views[kFieldDay], "07");
  EXPECT_EQ(views[kFieldMonthName], "Dec");
  EXPECT_EQ(views[kFieldYear], "2005");
  EXPECT_EQ(views[kFieldHref], "/index.htm");
  EXPECT_EQ(views[kFieldIp].data(), line.data());
  EXPECT_EQ(views[kFieldHref].data(), line.data() + line.find('/', 20));
  for (int code : {kFieldNil, kFieldMonth, kFieldAgent, kFieldRawLine})
    EXPECT_EQ(views[static_cast<size_t>(code)].data(), kept.data()) << code;
  // A line that ends early leaves the later tokens' views as they were.
  views.fill(kept);
  ASSERT_TRUE(t.Cut("10.0.0.1 [", views));
  EXPECT_EQ(views[kFieldIp], "10.0.0.1");
  EXPECT_EQ(views[kFieldDay].data(), kept.data());
}

}  // namespace
}  // namespace trelvar
