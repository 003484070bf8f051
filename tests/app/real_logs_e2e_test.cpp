// The shipped settings and report set over logs written by real servers
// (tests/data/real-logs, provenance in SOURCES.md there): what a new user
// gets on a first real log.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <regex>
#include <sstream>

#include "analysis_run.h"
#include "base/text_helpers.h"
#include "logread/gzip_test_support.h"
#include "platform/files.h"
#include "test_support.h"

namespace trelvar {
namespace {

const std::string kRealLogs = std::string(TRELVAR_TEST_DATA) + "/real-logs/";

// A data folder with the shipped main.ini and reports.ini and one site.
struct ShippedRun {
  test::TTempDir dir;
  std::string data = dir.path();
  test::TRunResult result;

  ShippedRun(const std::string& log, const std::string& format) {
    test::WriteFile(data + "main.ini", test::ReadFile(test::kSource + "/Default/main.ini") +
                                           "default_site=R\r\nAutoStartBrowser=0\r\n");
    test::WriteFile(data + "reports.ini", test::ReadFile(test::kSource + "/Default/reports.ini"));
    test::WriteFile(data + "websites.ini", "name=R\r\nlogpath=" + kRealLogs + log +
                                               "\r\noutputdir=out\r\nformat=" + format + "\r\n");
    result = test::RunProgram(test::kBinary, {"-console"},
                              {{"TRELVAR_DATA_DIR", data},
                               {"LC_ALL", "C"},
                               {"SERVER_SOFTWARE", test::kUnset},
                               {"DISPLAY", test::kUnset},
                               {"WAYLAND_DISPLAY", test::kUnset}});
  }
  std::string Details() const { return test::ReadFile(data + "out/indexdetails.htm"); }
};

// Every report of the shipped set has its section, or the run said that
// the log format does not support it.
void ExpectEveryReport(const ShippedRun& run) {
  const std::string page = run.Details();
  const std::string reports = test::ReadFile(test::kSource + "/Default/reports.ini");
  int checked = 0;
  for (const std::string& line : SplitTextLines(reports)) {
    if (line.rfind("name=", 0) != 0) continue;
    const std::string name = line.substr(5);
    const bool unsupported =
        run.result.out.find("So report \"" + name + "\" will be not shown") != std::string::npos;
    const std::regex heading("<h2>(<a [^>]*>)?" + std::regex_replace(name, std::regex(R"([()])"),
                                                                     R"(\$&)") +
                                 "(</a>)?</h2>",
                             std::regex::icase);
    EXPECT_NE(unsupported, std::regex_search(page, heading)) << name;
    ++checked;
  }
  EXPECT_GT(checked, 30);
  EXPECT_EQ(run.result.out.find("Error in report"), std::string::npos) << run.result.out;
  const std::string errors = test::ReadFile(run.data + "out/err_rep.htm");
  EXPECT_EQ(errors.find("PROCREP"), std::string::npos) << errors.substr(0, 2000);
}

// The number in a row of the time-on-site table.
long CountedVisits(const std::string& page) {
  const std::string caption = "<TD>Total counted visits</TD><TD>";
  const size_t at = page.find(caption);
  if (at == std::string::npos) return -1;
  return std::stol(page.substr(at + caption.size()));
}

// Whether an agent is a robot by the shipped crawler list, read here on
// its own terms: one agent text per line, any letter case, not followed by
// a letter; "!" lines name agents that are never robots.
bool IsRobot(const std::string& agent) {
  static const std::vector<std::string> lines =
      SplitTextLines(test::ReadFile(test::kSource + "/Default/spiders.ini"));
  const std::string lower = LowerCase(agent);
  auto found = [&](const std::string& entry) {
    const std::string e = LowerCase(Trim(entry));
    if (e.empty()) return false;
    for (size_t at = lower.find(e); at != std::string::npos; at = lower.find(e, at + 1)) {
      const size_t end = at + e.size();
      if (!std::isalpha(static_cast<unsigned char>(e.back())) || end == lower.size() ||
          !std::isalpha(static_cast<unsigned char>(lower[end])))
        return true;
    }
    return false;
  };
  for (const std::string& l : lines)
    if (!l.empty() && l[0] == '!' && found(l.substr(1))) return false;
  for (const std::string& l : lines)
    if (!l.empty() && l[0] != '#' && l[0] != '!' && found(l)) return true;
  return false;
}

// Visits as the tracker forms them, counted apart from the program: page
// hits (no extension, or one of the page extensions, of the URL split as
// the program splits it) of one address whose
// gaps stay below 30 minutes (a line stamped earlier than the last one of
// its visit goes on with it); a visit ends at the first page hit of any
// client more than 30 minutes after its last; visits still open at the
// end of the log are not counted; the shipped time-on-site report counts
// those of two hits or more whose first agent is no robot.
long IndependentVisitCount(const std::string& log, const std::string& page_extensions) {
  static const std::regex line(
      R"re(^(\S+) \S+ \S+ \[(\d\d)/(\w\w\w)/(\d{4}):(\d\d):(\d\d):(\d\d) [^\]]*\] "\S+ (\S+) [^"]*" \d+ \S+ "[^"]*" "([^"]*)"$)re");
  static const std::map<std::string, int> months = {
      {"Jan", 1}, {"Feb", 2}, {"Mar", 3}, {"Apr", 4},  {"May", 5},  {"Jun", 6},
      {"Jul", 7}, {"Aug", 8}, {"Sep", 9}, {"Oct", 10}, {"Nov", 11}, {"Dec", 12}};
  struct Visit {
    std::string address;
    long long last = 0;
    int hits = 0;
    bool robot = false;
  };
  std::vector<Visit> open;
  long counted = 0;
  std::istringstream in(log);
  for (std::string text; std::getline(in, text);) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::smatch m;
    if (!std::regex_match(text, m, line)) continue;
    std::string path = m[8].str();
    path = path.substr(0, path.find('?'));
    // A "//" starts a site part ("//favicon.ico" is a site without a path).
    if (const size_t site = path.find("//"); site != std::string::npos) {
      const size_t rest = path.find('/', site + 2);
      path = rest == std::string::npos ? "" : path.substr(rest);
    }
    const std::string document = path.substr(path.rfind('/') + 1);
    const size_t dot = document.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : LowerCase(document.substr(dot));
    bool page = ext.empty();
    for (size_t at = page_extensions.find(ext); !page && !ext.empty() && at != std::string::npos;
         at = page_extensions.find(ext, at + 1))
      page = at + ext.size() == page_extensions.size() || page_extensions[at + ext.size()] == '.';
    if (!page) continue;
    // Seconds since an arbitrary day: the logs span days of one month.
    const long long t = ((std::stoll(m[4]) * 12 + months.at(m[3])) * 31 + std::stoll(m[2])) * 86400 +
                        std::stoll(m[5]) * 3600 + std::stoll(m[6]) * 60 + std::stoll(m[7]);
    Visit* visit = nullptr;
    for (Visit& v : open)
      if (v.address == m[1].str() && t - v.last < 1800) {
        visit = &v;
        break;
      }
    if (visit == nullptr) {
      open.push_back({m[1].str(), t, 0, IsRobot(m[9].str())});
      visit = &open.back();
    }
    visit->last = t;
    ++visit->hits;
    std::vector<Visit> still;
    for (const Visit& v : open) {
      if (t - v.last > 1800) {
        if (v.hits >= 2 && !v.robot) ++counted;
      } else {
        still.push_back(v);
      }
    }
    open.swap(still);
  }
  return counted;
}

std::string Gunzip(const std::string& path) {
  const auto r = test::RunProgram("/bin/gzip", {"-dc", path});
  return r.out;
}

std::string PageExtensions() {
  for (const std::string& line :
       SplitTextLines(test::ReadFile(test::kSource + "/Default/main.ini")))
    if (line.rfind("WebPageExtensions=", 0) == 0) return line.substr(18);
  return "";
}

TEST(RealLogs, ApacheCombinedWithTimesSteppingBack) {
  // Half of its lines step back in time within their minute: this log
  // crashed the visit tracker.
  ShippedRun run("apache_elastic.log.gz", "Apache combined");
  ASSERT_EQ(run.result.status, 0) << run.result.out << run.result.err;
  EXPECT_NE(run.result.out.find("Lines: 10000 read, 9999 counted, 1 rejected, 0 filtered, 0 "
                                "outside the period, 0 already counted"),
            std::string::npos)
      << run.result.out;
  ExpectEveryReport(run);
  const long expected =
      IndependentVisitCount(Gunzip(kRealLogs + "apache_elastic.log.gz"), PageExtensions());
  EXPECT_GT(expected, 100);
  EXPECT_EQ(CountedVisits(run.Details()), expected);
}

TEST(RealLogs, DamagedCommonLogCountsEveryGoodLine) {
  // Records split across two lines and a truncated last line: every piece
  // is a rejected line, the rest is counted, and the run is complete.
  ShippedRun run("nasa_aug95_part.log.gz", "NSCA Common");
  ASSERT_EQ(run.result.status, 0) << run.result.out << run.result.err;
  EXPECT_NE(run.result.out.find("Lines: 1930 read, 1834 counted, 96 rejected"), std::string::npos)
      << run.result.out;
  ExpectEveryReport(run);
  const std::string errors = test::ReadFile(run.data + "out/err_rep.htm");
  size_t listed = 0;
  for (size_t at = errors.find("<BR>\r\n<BR>\r\n"); at != std::string::npos;
       at = errors.find("<BR>\r\n<BR>\r\n", at + 1))
    ++listed;
  EXPECT_EQ(listed, 96u);
}

// The CSV files of a run, by name.
std::map<std::string, std::string> CsvFiles(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const platform::TFolderEntry& e : platform::ListFolder(folder, "*.csv"))
    files[e.name] = test::ReadFile(folder + e.name);
  return files;
}

TEST(RealLogs, BasicReportsCountTheSameWhateverElseTheSetReads) {
  // A set of basic reports only gets only the fields they read handed
  // over; with one other report in the set every field is. Every basic
  // report, and the summary, must count the same either way.
  std::string basic;
  int n = 0;
  auto add = [&](const std::string& param, const std::string& filter) {
    basic += "\r\ntype=basic\r\nname=R" + std::to_string(++n) + "\r\ncategoryno=0\r\n"
             "pagesonly=false\r\nparam=" + param + "\r\n" + filter;
  };
  for (const char* param :
       {"host", "ip", "country", "href", "site", "path", "referrer", "ref_site", "ref_path",
        "ref_domain", "year", "month", "day", "hour", "min", "sec", "month_", "day_of_week",
        "agent", "browser", "browser_version", "platform", "platform_version", "method",
        "uri_query", "file_ext", "bytes", "cooki", "status", "username", "userdomain",
        "usersite", "robot"})
    add(param, "");
  // Filters read values of their own.
  for (const char* filter :
       {"robot;equals;", "ref_site;includes;.", "agent;includes;bot", "bytes;not_equals;0",
        "browser;equals;Chrome", "day;equals;16", "method;equals;GET", "uri_query;includes;=",
        "status;not_equals;200", "country;not_equals;"})
    add("href", std::string("filter=") + filter + "\r\n");
  const std::string other = "\r\ntype=timeonsite\r\nname=Other\r\ncategoryno=0\r\n";
  for (const auto& [log, format] : {std::pair{"apache_elastic.log.gz", "Apache combined"},
                                    std::pair{"nasa_aug95_part.log.gz", "NSCA Common"}}) {
    test::Analysis alone(format, "AutoExportIntoExcel=-1\r\n", basic, kRealLogs + log);
    test::Analysis with_other(format, "AutoExportIntoExcel=-1\r\n", basic + other,
                              kRealLogs + log);
    ASSERT_EQ(alone.Run().status, 0) << log;
    ASSERT_EQ(with_other.Run().status, 0) << log;
    std::map<std::string, std::string> counted = CsvFiles(alone.out);
    std::map<std::string, std::string> reference = CsvFiles(with_other.out);
    ASSERT_NE(with_other.Details().find(">Other<"), std::string::npos) << log;
    EXPECT_GE(counted.size(), 30u) << log;
    for (const auto& [name, text] : reference) EXPECT_EQ(counted[name], text) << log << " " << name;
    EXPECT_EQ(counted.size(), reference.size()) << log;
  }
}

}  // namespace
}  // namespace trelvar
