// Analyses from log files to pages, end to end: build/trelvar -console on
// a fresh data folder holding crafted logs, settings and report sets.
#include <gtest/gtest.h>

#include <filesystem>

#include "analysis_run.h"
#include "test_support.h"

namespace trelvar {
namespace {

using test::Analysis;

std::string Basic(const std::string& name, const std::string& param, bool pages_only = false,
                  const std::string& extra = "") {
  return "type=basic\r\nname=" + name + "\r\nlimit=0\r\npercentage=false\r\nshow_chart=false\r\n"
         "param=" + param + "\r\npagesonly=" + (pages_only ? "true" : "false") + "\r\n" + extra;
}

// The start of a table row of a basic report: its value and count.
std::string Row(int index, const std::string& value, int count) {
  return std::string("<TR class=\"") + (index % 2 ? "OddRaw" : "EvenRaw") +
         "\"><TD WIDTH=\"100%\">" + value + "</TD><TD align=\"right\">" + std::to_string(count) +
         "</TD>";
}

// True when the rows come in this order, one line each.
bool HasRows(const std::string& page, std::vector<std::pair<std::string, int>> rows) {
  size_t at = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    at = page.find(Row(static_cast<int>(i), rows[i].first, rows[i].second), at);
    if (at == std::string::npos) return false;
    const size_t line_end = page.find("\r\n", at);
    if (i + 1 < rows.size() && page.find("<TR", at + 1) > line_end + 2) return false;
    at = line_end;
  }
  return true;
}

TEST(Analysis, EachShippedFormatCountsItsLines) {
  struct Case {
    const char* format;
    std::vector<std::string> lines;
  } cases[] = {
      {"MS IIS 5.0",
       {"#Software: Microsoft Internet Information Services 5.0",
        "2000-12-01 00:50:24 194.1.1.1 - GET /a.htm - 200 3923 324 1024 Mozilla/4.0 -",
        "2000-12-01 00:51:24 194.1.1.2 - GET /b.htm - 200 3923 324 1024 Mozilla/4.0 -",
        "2000-12-01 00:52:24 194.1.1.1 - GET /a.htm - 404 0 324 10 Mozilla/4.0 -"}},
      {"NSCA Common",
       {"10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /a.htm HTTP/1.0\" 200 512",
        "10.0.0.2 - - [07/Dec/2005:13:06:01 +0100] \"GET /b.htm HTTP/1.0\" 200 512",
        "10.0.0.1 - bob [07/Dec/2005:13:07:01 +0100] \"GET /a.htm HTTP/1.0\" 304 -"}},
      {"Apache combined",
       {"10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /a.htm HTTP/1.1\" 200 512 \"-\" \"Lynx\"",
        "10.0.0.2 - - [07/Dec/2005:13:06:01 +0100] \"GET /b.htm HTTP/1.1\" 200 512 \"-\" \"Lynx\"",
        "10.0.0.1 - - [07/Dec/2005:13:07:01 +0100] \"GET /a.htm HTTP/1.1\" 200 512 \"-\" \"Lynx\""}},
      {"nginx combined",
       {"203.0.113.7 - - [08/Dec/2026:10:11:12 +0000] \"GET /a.htm HTTP/2.0\" 200 15 \"-\" \"curl\"",
        "203.0.113.8 - - [08/Dec/2026:10:11:13 +0000] \"GET /b.htm HTTP/2.0\" 200 15 \"-\" \"curl\"",
        "203.0.113.7 - - [08/Dec/2026:10:11:14 +0000] \"GET /a.htm HTTP/2.0\" 200 15 \"-\" \"curl\""}},
      {"MS IIS 6.0 Short",
       {"192.168.1.1, -, 03/20/01, 7:55:20, W3SVC2, SALES1, 172.21.13.45, 4502, 163, 3223, 200, 0, "
        "GET, /a.htm, -,",
        "192.168.1.2, -, 03/20/01, 7:56:20, W3SVC2, SALES1, 172.21.13.45, 4502, 163, 3223, 200, 0, "
        "GET, /b.htm, -,",
        "192.168.1.1, -, 03/20/01, 7:57:20, W3SVC2, SALES1, 172.21.13.45, 4502, 163, 3223, 200, 0, "
        "GET, /a.htm, -,"}},
  };
  for (const Case& c : cases) {
    Analysis a(c.format, "", Basic("Pages", "href"));
    std::string log;
    for (const std::string& l : c.lines) log += l + "\r\n";
    test::WriteFile(a.data + "access.log", log);
    auto r = a.Run();
    ASSERT_EQ(r.status, 0) << c.format << "\n" << r.out << r.err;
    const std::string page = a.Details();
    EXPECT_TRUE(HasRows(page, {{"/a.htm", 2}, {"/b.htm", 1}}))
        << c.format << "\n" << page;
  }
}

TEST(Analysis, CsvExportAndTheSectionLayout) {
  Analysis a("NSCA Common", "AutoExportIntoExcel=-1\r\n",
             Basic("Status codes", "status", false, "footer=false\r\n") + Basic("Hosts", "host"));
  test::WriteFile(a.data + "access.log",
                  "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /a.htm HTTP/1.0\" 200 512\r\n"
                  "10.0.0.2 - - [07/Dec/2005:13:06:01 +0100] \"GET /x.htm HTTP/1.0\" 404 0\r\n"
                  "10.0.0.1 - - [07/Dec/2005:13:07:01 +0100] \"GET /b.htm HTTP/1.0\" 200 1\r\n");
  auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out;
  // The common log has no host field: a warning, and no section.
  EXPECT_NE(r.out.find("Warning: Your log file does not support Host. So report \"Hosts\" will be "
                       "not shown. Read FAQ."),
            std::string::npos)
      << r.out;
  const std::string page = a.Details();
  EXPECT_EQ(page.find("<h2>Hosts</h2>"), std::string::npos);
  EXPECT_NE(page.find("<BR><a name=\"Status_codes\"></a><h2>Status codes</h2>"), std::string::npos);
  EXPECT_NE(page.find(Row(0, "Code 200 OK", 2)), std::string::npos) << page;
  EXPECT_EQ(page.find("RowOddTotal"), std::string::npos);  // footer=false
  EXPECT_EQ(test::ReadFile(a.out + "Status codes.csv"),
            "Status codes\r\nParam: HTTP Status;Value\r\nCode 200 OK;2\r\nCode 404 Not Found;1\r\n");
  const std::string list = test::ReadFile(a.out + "indexlist.htm");
  EXPECT_NE(list.find("f0 = reportstree.AddNode(null, \"All\", \"\");reportstree.AddNode(f0, "
                      "\"Status codes\", \"indexdetails.htm#Status_codes\");"),
            std::string::npos)
      << list;
}

TEST(Analysis, IncrementalCacheAcrossRuns) {
  const std::string day1 =
      "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /a.htm HTTP/1.0\" 200 512\r\n"
      "10.0.0.2 - - [07/Dec/2005:13:06:01 +0100] \"GET /b.htm HTTP/1.0\" 200 512\r\n";
  const std::string day2 =
      "10.0.0.3 - - [08/Dec/2005:09:00:00 +0100] \"GET /a.htm HTTP/1.0\" 200 512\r\n";
  Analysis a("NSCA Common", "IncrementalAnalysis=-1\r\n", Basic("Pages", "href"));
  test::WriteFile(a.data + "access.log", day1);
  auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Cache not found. Analysis started from beginning"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(a.data + "Cache/T.cache"));
  EXPECT_TRUE(std::filesystem::exists(a.data + "Cache/T.cache_"));

  // The whole log again plus a new day: the cached lines count once.
  test::WriteFile(a.data + "access.log", day1 + day2);
  r = a.Run();
  EXPECT_NE(r.out.find("Loading cache..."), std::string::npos) << r.out;
  EXPECT_TRUE(HasRows(a.Details(), {{"/a.htm", 2}, {"/b.htm", 1}}))
      << a.Details();

  // A changed limit drops that report's cached data.
  test::WriteFile(a.data + "reports.ini", "category=All\r\n" + Basic("Pages", "href") + "limit=5\r\n");
  r = a.Run();
  EXPECT_NE(a.Details().find("<h2>Pages</h2>\r\n<P>No data</P>"), std::string::npos) << a.Details();

  // A log older than the cache: the cache goes and the pass runs again.
  test::WriteFile(a.data + "access.log",
                  "10.0.0.9 - - [01/Dec/2005:09:00:00 +0100] \"GET /old.htm HTTP/1.0\" 200 5\r\n" +
                      day1 + day2);
  r = a.Run();
  EXPECT_NE(r.out.find("Date in the log file reffers to date that earlier than start time of cache"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Analysis restarted"), std::string::npos);
  EXPECT_NE(a.Details().find(Row(0, "/a.htm", 2)), std::string::npos) << a.Details();
  EXPECT_NE(a.Details().find("/old.htm"), std::string::npos);

  // Approximate analysis switched on: the cache no longer fits.
  test::WriteFile(a.data + "main.ini", test::ReadFile(a.data + "main.ini") +
                                           "ApproximateAnalysis=-1\r\n");
  r = a.Run();
  EXPECT_NE(r.out.find("Cache does not match. Analysis started from beginning."), std::string::npos)
      << r.out;
}

TEST(Analysis, BadLinesGoToTheErrorPageAndLogTextIsEscaped) {
  Analysis a("Apache combined", "", Basic("Agents", "agent") + Basic("Referrers", "referrer"));
  std::string junk(300, '\0');
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 7);
  test::WriteFile(
      a.data + "access.log",
      junk + "\r\n" +
          "10.0.0.1 - - [07/Xyz/2005:13:05:01 +0100] \"GET /a.htm HTTP/1.1\" 200 5 \"-\" \"x\"\r\n"
          "10.0.0.1 - - [32/Dec/2005:13:05:01 +0100] \"GET /a.htm HTTP/1.1\" 200 5 \"-\" \"x\"\r\n"
          "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /a.htm HTTP/1.1\" 200 99999999999999 "
          "\"javascript:alert(1)\" \"<script>alert(1)</script>\"\r\n"
          "10.0.0.2 - - [07/Dec/2005:13:05:02 +0100] \"GET /b.htm HTTP/1.1\" 200 5 "
          "\"http://example.com/?q=<b>\" \"Lynx\"\r\n");
  auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out;
  const std::string page = a.Details();
  EXPECT_EQ(page.find("<script>alert"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos) << page;
  EXPECT_EQ(page.find("href=\"javascript:"), std::string::npos);
  EXPECT_NE(page.find("<a href=\"http://example.com/?q=&lt;b&gt;\">"), std::string::npos);
  const std::string errors = test::ReadFile(a.out + "err_rep.htm");
  EXPECT_NE(errors.find("ADDPAR: "), std::string::npos) << errors;
  EXPECT_NE(page.find("<A HREF=\"err_rep.htm\">Errors in log file</A>"), std::string::npos);
}

TEST(Analysis, CommandLineOptionsOfTheRun) {
  Analysis a("NSCA Common", "", Basic("Pages", "href"));
  test::WriteFile(a.data + "other.log",
                  "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /in.htm HTTP/1.0\" 200 5\r\n"
                  "10.0.0.1 - - [09/Dec/2005:13:05:01 +0100] \"GET /out.htm HTTP/1.0\" 200 5\r\n");
  auto r = a.Run({"-logpath:" + a.data + "other.log", "-outputdir:" + a.data + "elsewhere",
                  "-periodtype:between", "-periodfrom:2005-12-07", "-periodto:2005-12-08"});
  ASSERT_EQ(r.status, 0) << r.out;
  const std::string page = test::ReadFile(a.data + "elsewhere/indexdetails.htm");
  EXPECT_NE(page.find("/in.htm"), std::string::npos) << page;
  EXPECT_EQ(page.find("/out.htm"), std::string::npos);
  EXPECT_NE(page.find("Time range: 2005-12-07 - 2005-12-08"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(a.out + "indexdetails.htm"));
}

}  // namespace
}  // namespace trelvar
