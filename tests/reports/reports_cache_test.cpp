// The analysis cache: cache file names made from site names stay inside
// the cache folder.
#include "reports/reports_cache.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace trelvar {
namespace {

// --- cache file names -------------------------------------------------------------

TEST(CacheFileNames, SafeNamesStayAndOthersAreEncoded) {
  struct TCase {
    std::string site, base;
  };
  const TCase cases[] = {
      {"T", "T"},
      {"My site 2", "My site 2"},
      {"www.example.com", "www.example.com"},
      {"Ünïcødé", "Ünïcødé"},
      {"...", "..."},
      {".hidden", ".hidden"},
      {"", ""},
      {"../../esc", "..%2F..%2Fesc"},
      {"/etc/passwd", "%2Fetc%2Fpasswd"},
      {".", "%2E"},
      {"..", "%2E%2E"},
      {"a%2Fb", "a%252Fb"},
      {"100%", "100%25"},
      {"a\\..\\b", "a%5C..%5Cb"},
      {std::string("a\0b", 3), "a%00b"},
      {"tab\there", "tab%09here"},
      {"line\r\n", "line%0D%0A"},
      {"del\x7f", "del%7F"},
  };
  std::set<std::string> bases;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.site);
    const std::string base = CacheFileBase(c.site);
    EXPECT_EQ(base, c.base);
    EXPECT_EQ(base.find('/'), std::string::npos);
    EXPECT_TRUE(bases.insert(base).second) << "two sites share " << base;
    EXPECT_EQ(CacheFilePath("/data/", c.site), "/data/Cache/" + c.base + ".cache");
  }
  // Names that encode to what another name is already are kept apart too.
  EXPECT_NE(CacheFileBase("a/b"), CacheFileBase("a%2Fb"));
  EXPECT_NE(CacheFileBase("."), CacheFileBase("%2E"));
}

}  // namespace
}  // namespace trelvar
