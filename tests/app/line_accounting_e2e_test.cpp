// Every line accounted for, and an exit status that tells whether the
// pages stand on the whole input: crafted logs through build/trelvar.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "analysis_run.h"
#include "logread/gzip_test_support.h"
#include "test_support.h"

namespace trelvar {
namespace {

using test::Analysis;

const char kReports[] =
    "type=basic\r\nname=Pages\r\nlimit=0\r\npercentage=false\r\nshow_chart=false\r\n"
    "param=href\r\npagesonly=false\r\n"
    "type=basic\r\nname=Browsers\r\nlimit=0\r\npercentage=false\r\nshow_chart=false\r\n"
    "param=browser\r\npagesonly=false\r\n"
    "type=basic\r\nname=Referrers\r\nlimit=0\r\npercentage=false\r\nshow_chart=false\r\n"
    "param=referrer\r\npagesonly=false\r\n"
    "type=basic\r\nname=Countries\r\nlimit=0\r\npercentage=false\r\nshow_chart=false\r\n"
    "param=country\r\npagesonly=false\r\n";

std::string Common(int i, const std::string& ip = "10.0.0.1", const std::string& bytes = "512") {
  return ip + " - - [07/Dec/2005:13:" + (i < 10 ? "0" : "") + std::to_string(i % 60) +
         ":01 +0100] \"GET /p" + std::to_string(i) + ".htm HTTP/1.0\" 200 " + bytes + "\r\n";
}

std::string Combined(int i, const std::string& agent, const std::string& referrer = "-") {
  return "10.0.0.9 - - [07/Dec/2005:14:" + std::string(i < 10 ? "0" : "") + std::to_string(i) +
         ":01 +0100] \"GET /c.htm HTTP/1.0\" 200 5 \"" + referrer + "\" \"" + agent + "\"\r\n";
}

// Later pieces of a log path are taken as they stand: name them in full.
void SetLogPath(Analysis& a, const std::string& first, const std::vector<std::string>& later,
                const std::string& format) {
  std::string path = first;
  for (const std::string& l : later) path += ";" + a.data + l;
  test::WriteFile(a.data + "websites.ini", "name=T\r\nlogpath=" + path +
                                               "\r\noutputdir=out\r\nformat=" + format + "\r\n");
}

std::string LinesParagraph(int read, int counted, int rejected, int filtered, int outside,
                           int already) {
  return "Lines: " + std::to_string(read) + " read, " + std::to_string(counted) + " counted, " +
         std::to_string(rejected) + " rejected, " + std::to_string(filtered) + " filtered, " +
         std::to_string(outside) + " outside the period, " + std::to_string(already) +
         " already counted";
}

TEST(LineAccounting, EveryLineIsReadAndEndsSomewhere) {
  // Directives, blank lines and ":" lines are no records; IPv6 clients are.
  Analysis a("NSCA Common", "", kReports);
  std::string log = "#Software: something\r\n\r\nINIT: started\r\n: periodic\r\n";
  for (int i = 0; i < 6; ++i) log += Common(i);
  log += "too short\r\n";
  log += "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] GET broken\r\n";
  log += "10.0.0.1 - - [07/Xyz/2005:13:05:01 +0100] \"GET /bad.htm HTTP/1.0\" 200 5\r\n";
  log += Common(7, "::1") + Common(8, "::ffff:8.8.8.8");
  test::WriteFile(a.data + "access.log", log);
  auto r = a.Run();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find(LinesParagraph(11, 8, 3, 0, 0, 0)), std::string::npos) << r.out;
  const std::string page = a.Details();
  EXPECT_NE(page.find("/p7.htm"), std::string::npos) << "the ::1 line is counted";
  EXPECT_NE(page.find("<TD WIDTH=\"100%\">N/A</TD><TD align=\"right\">"), std::string::npos);
  const std::string errors = test::ReadFile(a.out + "err_rep.htm");
  EXPECT_NE(errors.find("Line shorter than 33 characters<BR>\r\ntoo short<BR>"), std::string::npos)
      << errors;
  EXPECT_NE(errors.find("Line does not fit the log format<BR>\r\n10.0.0.1 - - "), std::string::npos);
  EXPECT_NE(errors.find("ADDPAR: "), std::string::npos);
}

TEST(LineAccounting, FilteredOutsideAndAlreadyCountedLines) {
  Analysis a("NSCA Common", "IncrementalAnalysis=-1\r\n", kReports);
  test::WriteFile(a.data + "websites.ini",
                  test::ReadFile(a.data + "websites.ini") + "filter=href;includes;/p1.;skip_line;\r\n");
  std::string log;
  for (int i = 0; i < 4; ++i) log += Common(i);
  test::WriteFile(a.data + "access.log", log);
  auto r = a.Run();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find(LinesParagraph(4, 3, 0, 1, 0, 0)), std::string::npos) << r.out;
  // The same lines again: all in the cache, and that is complete.
  r = a.Run();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find(LinesParagraph(4, 0, 0, 1, 0, 3)), std::string::npos) << r.out;
  // A period that holds none of them: nothing counted, and said so.
  test::WriteFile(a.data + "main.ini", test::ReadFile(a.data + "main.ini") +
                                           "IncrementalAnalysis=0\r\nAnalyzePeriodType=between\r\n"
                                           "AnalyzePeriodFrom=2005-12-08\r\n"
                                           "AnalyzePeriodTo=2005-12-09\r\n");
  r = a.Run({"-periodtype:between", "-periodfrom:2005-12-08", "-periodto:2005-12-09"});
  EXPECT_EQ(r.status, 3) << r.out;
  EXPECT_NE(r.out.find(LinesParagraph(4, 0, 0, 1, 3, 0)), std::string::npos) << r.out;
}

TEST(LineAccounting, RegressionValuesDoNotLeakIntoAFileOfAnotherFormat) {
  // One combined line with an MSIE agent, then a common log: the browsers
  // report saw the agent three times, and a referrer report counted the
  // last common line after the combined file switched it on.
  Analysis a("Apache combined", "AutoRecognizeLogFormat=-1\r\n", kReports);
  SetLogPath(a, "a.log", {"b.log", "c.log"}, "Apache combined");
  test::WriteFile(a.data + "a.log",
                  Combined(1, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)", "http://r/"));
  test::WriteFile(a.data + "b.log", Common(1, "10.0.0.2") + Common(2, "10.0.0.3"));
  test::WriteFile(a.data + "c.log", Combined(3, "Lynx/2.8", "http://s/"));
  auto r = a.Run();
  EXPECT_EQ(r.status, 0) << r.out;
  const std::string page = a.Details();
  EXPECT_NE(page.find(">MS Internet Explorer</TD><TD align=\"right\">1</TD>"), std::string::npos)
      << page;
  EXPECT_NE(page.find(">Lynx</TD><TD align=\"right\">1</TD>"), std::string::npos) << page;
  // Referrers: only the two combined lines; no empty referrer counted.
  EXPECT_NE(page.find("Total number of Referrers in log file</td><td  colspan=\"1\"  "
                      "align=\"right\">2</td>"),
            std::string::npos)
      << page;
}

TEST(LineAccounting, RegressionShortExFileNameFailsOnlyItsLines) {
  // W3C lines without a date take it from an "ex"/"in" file name; a name
  // too short for one made the whole analysis abort.
  Analysis a("MS IIS 5.0", "", kReports);
  const std::string line =
      "00:50:24 194.1.1.1 - GET /a.htm - 200 3923 324 1024 Mozilla/4.0 -\r\n";
  SetLogPath(a, "ex.log", {"ex051207.log"}, "W");
  test::WriteFile(a.data + "main.ini",
                  test::ReadFile(a.data + "main.ini") +
                      "LogFormat=W;<hour>:<min>:<sec> <ip> <username> <method> <href> <uri_query> "
                      "<status> <bytes> <nil> <time_taken> <agent> <referrer>\r\n");
  test::WriteFile(a.data + "ex.log", line);
  test::WriteFile(a.data + "ex051207.log", line);
  auto r = a.Run();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find(LinesParagraph(2, 1, 1, 0, 0, 0)), std::string::npos) << r.out;
}

TEST(LineAccounting, RejectedLinesAreListedUpToAThousandAndEscaped) {
  Analysis a("Apache combined", "", kReports);
  std::string log;
  for (int i = 0; i < 1200; ++i)
    log += "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /x.htm HTTP/1.1\" 200 "
           "<svg/onload=alert(1)>\r\n";
  log += Combined(1, "Lynx");
  test::WriteFile(a.data + "access.log", log);
  auto r = a.Run();
  EXPECT_EQ(r.status, 0) << r.out;
  const std::string errors = test::ReadFile(a.out + "err_rep.htm");
  EXPECT_EQ(errors.find("<svg"), std::string::npos) << "log text is escaped";
  EXPECT_NE(errors.find("&lt;svg/onload=alert(1)&gt;"), std::string::npos);
  size_t listed = 0;
  for (size_t at = errors.find("<BR>\r\n<BR>\r\n"); at != std::string::npos;
       at = errors.find("<BR>\r\n<BR>\r\n", at + 1))
    ++listed;
  EXPECT_EQ(listed, 1000u);
  EXPECT_NE(errors.find("200 more rejected lines are not listed.<BR>"), std::string::npos);
  // Most of the file does not fit: said once, naming the file and format.
  EXPECT_NE(r.out.find("Warning: 1000 of the first 1000 lines of the log file " + a.data +
                       "access.log do not fit its log format \"Apache combined\"."),
            std::string::npos)
      << r.out;
}

TEST(LineAccounting, RegressionProcrepMessagesAreEscaped) {
  // A bytes field that is no number fails the basic report on href, whose
  // message quotes the field.
  Analysis a("NSCA Common", "", kReports);
  test::WriteFile(a.data + "access.log", Common(1) + Common(2, "10.0.0.1", "<svg/onload=x>"));
  auto r = a.Run();
  const std::string errors = test::ReadFile(a.out + "err_rep.htm");
  EXPECT_EQ(errors.find("<svg"), std::string::npos) << errors;
}

TEST(ExitStatus, IncompleteInputIsThreeWithAWarning) {
  struct TCase {
    std::string name, first;
    std::vector<std::string> later;
    std::string warning;
    std::function<void(Analysis&)> prepare;
  };
  std::string gz = test::Gzip(Common(1) + Common(2));
  const std::string cut = gz.substr(0, gz.size() - 12);  // no trailer, part of the data
  const std::vector<TCase> cases = {
      {"vanished file", "a.log", {"gone.log"}, "Log file %DATA%gone.log not found",
       [](Analysis& a) { test::WriteFile(a.data + "a.log", Common(1)); }},
      {"no match", "a.log", {"logs/*.log"}, "The log path %DATA%logs/*.log matches no file.",
       [](Analysis& a) { test::WriteFile(a.data + "a.log", Common(1)); }},
      {"damaged gzip", "a.log.gz", {}, "The log file %DATA%a.log.gz is damaged:",
       [cut](Analysis& a) { test::WriteFile(a.data + "a.log.gz", cut); }},
      {"folder as file", "a.log", {"dir.log"}, "%DATA%dir.log",
       [](Analysis& a) {
         test::WriteFile(a.data + "a.log", Common(1));
         test::WriteFile(a.data + "dir.log/x", "x");
       }},
      {"no line counted", "a.log", {}, "No line of the log was counted: of 1 lines read, 1 were "
                                   "rejected, 0 filtered and 0 outside the period.",
       [](Analysis& a) { test::WriteFile(a.data + "a.log", "not a log line at all, but long enough\r\n"); }},
      {"empty log", "a.log", {}, "No line of the log was counted: it holds no log line.",
       [](Analysis& a) { test::WriteFile(a.data + "a.log", ""); }},
  };
  for (const TCase& c : cases) {
    Analysis a("NSCA Common", "", kReports);
    SetLogPath(a, c.first, c.later, "NSCA Common");
    c.prepare(a);
    auto r = a.Run();
    EXPECT_EQ(r.status, 3) << c.name << "\n" << r.out;
    std::string warning = c.warning;
    if (const size_t at = warning.find("%DATA%"); at != std::string::npos)
      warning.replace(at, 6, a.data);
    EXPECT_NE(r.out.find("Warning: "), std::string::npos) << c.name;
    EXPECT_NE(r.out.find(warning), std::string::npos) << c.name << "\n" << r.out;
    EXPECT_TRUE(std::filesystem::exists(a.out + "indexdetails.htm")) << c.name;
  }
}

TEST(ExitStatus, FailuresAreOneWithAnErrorLine) {
  {
    Analysis a("No such format", "", kReports);
    test::WriteFile(a.data + "access.log", Common(1));
    auto r = a.Run();
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("The log format \"No such format\" of the site \"T\" is not a known "
                         "format. Known formats: MS IIS 5.0, "),
              std::string::npos)
        << r.out;
  }
  {
    Analysis a("NSCA Common", "", kReports, "");
    auto r = a.Run();
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("The site \"T\" has no log path: say where its log files lie. "
                         "EInvalidOperation"),
              std::string::npos)
        << r.out;
  }
  {
    // No data folder at all: refused, and told how to name one.
    Analysis a("NSCA Common", "", kReports);
    auto r = test::RunProgram(test::kBinary, {"-console"},
                              {{"TRELVAR_DATA_DIR", test::kUnset},
                               {"XDG_DOCUMENTS_DIR", test::kUnset},
                               {"HOME", "/nonexistent-home"},
                               {"SERVER_SOFTWARE", test::kUnset}});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("No data folder: set TRELVAR_DATA_DIR"), std::string::npos) << r.out;
  }
}

TEST(ExitStatus, CompleteInputIsZeroAndHelpSaysItAll) {
  Analysis a("NSCA Common", "", kReports);
  test::WriteFile(a.data + "access.log", Common(1));
  EXPECT_EQ(a.Run().status, 0);
  auto help = test::RunProgram(test::kBinary, {"--help"});
  for (const char* status : {"  0  the analysis is complete", "  1  it failed",
                             "  3  the pages were written, but the input was incomplete"})
    EXPECT_NE(help.out.find(status), std::string::npos) << status;
}

TEST(WebRun, RegressionRootedOutputUriAndEscapedSiteName) {
  Analysis a("NSCA Common", "", kReports);
  test::WriteFile(a.data + "websites.ini",
                  "name=T\r\nlogpath=access.log\r\noutputdir=out\r\noutputuri=/reports/\r\n"
                  "format=NSCA Common\r\n");
  test::WriteFile(a.data + "access.log", Common(1));
  auto r = test::RunProgram(test::kBinary, {"-console"},
                            {{"TRELVAR_DATA_DIR", a.data},
                             {"SERVER_SOFTWARE", "lighttpd"},
                             {"LC_ALL", "C"}});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("<a href=\"/reports/index.htm\">"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("//reports"), std::string::npos);

  r = test::RunProgram(test::kBinary, {"-console", "-analyze:<script>x</script>"},
                       {{"TRELVAR_DATA_DIR", a.data}, {"SERVER_SOFTWARE", "lighttpd"}});
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(r.out.find("<script>"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("&lt;script&gt;x&lt;/script&gt;"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace trelvar
