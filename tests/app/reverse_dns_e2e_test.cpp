// Reverse DNS in a whole console analysis: the driver switches it on only
// for report sets that read host names, and resolved names replace the
// user field. The log's clients are host names already, so no lookup
// reaches the resolver (or the network).
#include <gtest/gtest.h>

#include "analysis_run.h"
#include "test_support.h"

namespace trelvar {
namespace {

using test::Analysis;

const char kLog[] =
    "a.example.com - bob [07/Dec/2005:13:05:01 +0100] \"GET /a.htm HTTP/1.1\" 200 512 \"-\" \"Lynx\"\r\n"
    "b.example.com - carol [07/Dec/2005:13:06:01 +0100] \"GET /b.htm HTTP/1.1\" 200 512 \"-\" \"Lynx\"\r\n";

std::string Basic(const std::string& name, const std::string& param) {
  return "type=basic\r\nname=" + name + "\r\nlimit=0\r\npercentage=false\r\nshow_chart=false\r\n"
         "param=" + param + "\r\npagesonly=false\r\n";
}

TEST(ReverseDnsAnalysis, OnlyReportsOfHostNamesSwitchItOn) {
  struct Case {
    const char* settings;
    const char* param;
    bool initialized;   // "WinSocket initialized" written
    bool unused_note;   // the note that no report uses it
    bool users_kept;    // the log's user names reach the report
  } cases[] = {
      {"ReverseDNSLookup=-1\r\nDNSLookupThreads=3\r\n", "username", true, false, false},
      {"ReverseDNSLookup=0\r\n", "username", false, false, true},
      {"ReverseDNSLookup=-1\r\n", "href", false, true, true},
  };
  for (const Case& c : cases) {
    Analysis a("Apache combined", c.settings, Basic("Users", c.param));
    test::WriteFile(a.data + "access.log", kLog);
    const test::TRunResult r = a.Run();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("WinSocket initialized") != std::string::npos, c.initialized)
        << c.settings << c.param << "\n" << r.out;
    EXPECT_EQ(r.out.find("Reverse DNS lookup is not used") != std::string::npos, c.unused_note)
        << c.settings << c.param;
    EXPECT_EQ(r.out.find("Unable to start WinSocket"), std::string::npos);
    const std::string details = a.Details();
    ASSERT_FALSE(details.empty());
    if (std::string(c.param) == "username") {
      EXPECT_EQ(details.find(">bob<") != std::string::npos, c.users_kept) << c.settings;
    }
  }
}

}  // namespace
}  // namespace trelvar
