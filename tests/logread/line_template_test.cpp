#include "logread/line_template.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace trelvar {
namespace {

// Fields not named in a case must keep what they held before the cut.
constexpr const char* kUntouched = "untouched";

struct TCutCase {
  const char* name;
  const char* line_template;
  const char* line;
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

}  // namespace
}  // namespace trelvar
