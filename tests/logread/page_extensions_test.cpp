#include "logread/page_extensions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trelvar {
namespace {

const char kShippedList[] = ".htm.html.asp.aspx.jsp.php.php3.php4.stm.jhtml.cfm.shtm.shtml.dll";

struct TPageCase {
  const char* list;
  const char* extension;
  bool page;
};

TEST(PageExtensions, AnswersForWholeItemsOnly) {
  const std::string long_item = "." + std::string(40, 'x');
  const std::string long_upper = "." + std::string(40, 'X');
  const TPageCase cases[] = {
      {kShippedList, "", true},
      {kShippedList, ".htm", true},
      {kShippedList, ".html", true},
      {kShippedList, ".HTM", true},  // the extension is lower-cased
      {kShippedList, ".sHtMl", true},
      {kShippedList, ".dll", true},  // the last item
      {kShippedList, ".js", false},  // only the start of ".jsp"
      {kShippedList, ".jsp", true},
      {kShippedList, ".php", true},
      {kShippedList, ".php3", true},
      {kShippedList, ".php5", false},
      {kShippedList, ".ph", false},
      {kShippedList, ".tml", false},  // inside ".html", not an item
      {kShippedList, ".", false},
      {kShippedList, ".gif", false},
      // Other shapes are searched in the list like before.
      {kShippedList, "htm", true},   // ends where ".htm" ends
      {kShippedList, "tml", true},   // ends where ".html" ends
      {kShippedList, "ht", false},
      {kShippedList, ".htm.html", true},  // two neighbouring items
      {kShippedList, ".html.bak", false},
      {kShippedList, "l.asp", true},
      // The list is compared as it is.
      {".HTM.php", ".htm", false},
      {".HTM.php", ".HTM", false},
      {".HTM.php", ".php", true},
      // Empty items and items without a dot before them.
      {".htm..php", ".", true},
      {".htm.", ".", true},
      {".htm.", ".htm", true},
      {"htm.php", ".htm", false},
      {"htm.php", "htm", true},
      {"", "", true},
      {"", ".htm", false},
  };
  for (const TPageCase& c : cases) {
    SCOPED_TRACE(std::string(c.list) + " / " + c.extension);
    EXPECT_EQ(TPageExtensions(c.list).IsPage(c.extension), c.page);
  }
  // Extensions too long for the quick path give the same answers.
  const TPageExtensions with_long(".htm" + long_item);
  EXPECT_TRUE(with_long.IsPage(long_item));
  EXPECT_TRUE(with_long.IsPage(long_upper));
  EXPECT_FALSE(with_long.IsPage(long_item + "x"));
  EXPECT_FALSE(TPageExtensions(kShippedList).IsPage(long_item));
}

// The earlier answer: a search for the lower-cased extension in the list,
// whole items only.
bool SearchedInList(const std::string& list, const std::string& extension) {
  if (extension.empty()) return true;
  std::string ext = extension;
  for (char& ch : ext)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
  for (size_t at = list.find(ext); at != std::string::npos; at = list.find(ext, at + 1))
    if (at + ext.size() == list.size() || list[at + ext.size()] == '.') return true;
  return false;
}

TEST(PageExtensions, AgreesWithTheSearchInTheListForEveryPieceOfIt) {
  for (const std::string& list : {std::string(kShippedList), std::string(".a.ab..b.ba."),
                                 std::string("x.y.Yz.yz")}) {
    const TPageExtensions pages(list);
    std::vector<std::string> probes;
    for (size_t i = 0; i < list.size(); ++i)
      for (size_t n = 1; i + n <= list.size() + 1; ++n) {
        const std::string piece = list.substr(i, n);
        probes.push_back(piece);
        probes.push_back("." + piece);
        probes.push_back(piece + "x");
        std::string upper = piece;
        for (char& ch : upper)
          if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
        probes.push_back(upper);
      }
    for (const std::string& p : probes)
      EXPECT_EQ(pages.IsPage(p), SearchedInList(list, p)) << list << " / " << p;
  }
}

}  // namespace
}  // namespace trelvar
