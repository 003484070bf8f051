// The one-shot run, end to end: build/trelvar started as a child process
// with a fresh data folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace trelvar {
namespace {

using test::kUnset;
using test::RunProgram;

const std::string kBinary = TRELVAR_BINARY;

std::map<std::string, std::string> Env(const test::TTempDir& data,
                                       std::map<std::string, std::string> extra = {}) {
  std::map<std::string, std::string> env = {{"TRELVAR_DATA_DIR", data.path()},
                                            {"LC_ALL", "en_US.UTF-8"},
                                            {"SERVER_SOFTWARE", kUnset},
                                            {"SERVER_NAME", kUnset}};
  for (auto& [k, v] : extra) env[k] = v;
  return env;
}

TEST(OneShotRun, ConsoleRunSeedsTheDataFolderAndAnalysesTheDefaultSite) {
  test::TTempDir data;
  auto r = RunProgram(kBinary, {"-console"}, Env(data));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Trelvar\nAnalyzing site: Sample site\n", 0), 0u) << r.out;
  EXPECT_EQ(r.err, "");
  for (const char* file : {"main.ini", "websites.ini", "ex0012.log"})
    EXPECT_TRUE(std::filesystem::exists(data / file)) << file;
  EXPECT_FALSE(std::filesystem::exists(data / "main.ini.bak"));  // the run never writes settings

  // A blank server software is no web server.
  r = RunProgram(kBinary, {"-Console"}, Env(data, {{"SERVER_SOFTWARE", "   "}}));
  EXPECT_EQ(r.out.rfind("Trelvar\n", 0), 0u);
}

TEST(OneShotRun, AnalysisLoadsNoNetworkLibraryAndTheImageLibraryOnlyForCharts) {
  // libcurl and its TLS, Kerberos and LDAP libraries are for downloads and
  // mail only, libgd and its image formats for the charts' files; the
  // dynamic loader lists every library it opens.
  test::TTempDir data;
  auto r = RunProgram(kBinary, {"-console"}, Env(data, {{"LD_DEBUG", "files"}}));
  EXPECT_EQ(r.status, 0);
  // The shipped reports draw charts.
  EXPECT_NE(r.err.find("file=libgd.so.3 [0];  dynamically loaded by"), std::string::npos)
      << r.err.substr(0, 2000);
  for (const char* library : {"libcurl", "libssl", "libkrb5", "libldap"})
    EXPECT_EQ(r.err.find(library), std::string::npos) << library;

  // A report set without a chart leaves libgd alone.
  test::WriteFile(data / "reports.ini",
                  "category=All\r\ntype=basic\r\nname=Pages\r\nparam=href\r\n"
                  "show_chart=false\r\n");
  r = RunProgram(kBinary, {"-console"}, Env(data, {{"LD_DEBUG", "files"}}));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("file=libz.so"), std::string::npos) << r.err.substr(0, 2000);
  EXPECT_EQ(r.err.find("libgd"), std::string::npos);
}

TEST(OneShotRun, UnknownOrMissingSiteEndsWithAnErrorLine) {
  test::TTempDir data;
  auto r = RunProgram(kBinary, {"-console", "-analyze:No Such Site"}, Env(data));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "Trelvar\nNo site to analyse: there is no site named \"No Such Site\" EListError\n");

  test::WriteFile(data / "main.ini", "default_site=\r\n");
  r = RunProgram(kBinary, {"-console", "-analyze:all"}, Env(data));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("No site to analyse: name one with -analyze: or set default_site"),
            std::string::npos)
      << r.out;
}

TEST(OneShotRun, CgiSiteAnswersAsAWebProgramWithoutAWebServer) {
  test::TTempDir data;
  test::WriteFile(data / "websites.ini",
                  "name=Shop\r\nlogpath=ex0012.log\r\napptype=CGI\r\nformat=MS IIS 5.0\r\n");
  auto r = RunProgram(kBinary, {"-console", "-analyze:Shop"}, Env(data));
  EXPECT_EQ(r.out.rfind("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("<P>Analyzing site: Shop</P>\r\n<P>Server name: </P>"),
            std::string::npos);
  EXPECT_EQ(r.out.substr(r.out.size() - 18), "</body>\r\n</html>\r\n");
}

TEST(OneShotRun, WebModeUnderApacheLeavesTheStatusLineToTheServer) {
  test::TTempDir data;
  auto r = RunProgram(kBinary, {"-console"},
                      Env(data, {{"SERVER_SOFTWARE", "Apache/2.4.62 (Debian)"},
                                 {"SERVER_NAME", "logs.example.org"}}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind(
                "Content-Type: text/html\r\n\r\n<html>\r\n<head>\r\n<title>Trelvar</title>\r\n"
                "</head>\r\n<body>\r\n<h1>Trelvar</h1>\r\n<P>Analyzing site: Sample site</P>\r\n"
                "<P>Server name: logs.example.org</P>\r\n",
                0),
            0u)
      << r.out;
  EXPECT_NE(r.out.find("<p><b>Ready!</b>&nbsp;<a href=\"/sample_out/index.htm\">See report</a><p>"
                       "\r\n</body>\r\n</html>\r\n"),
            std::string::npos);
}

TEST(OneShotRun, WebModeUnderOtherServersStartsWithTheStatusLine) {
  test::TTempDir data;
  auto r = RunProgram(kBinary, {"-console"}, Env(data, {{"SERVER_SOFTWARE", "nginx/1.22"}}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html>", 0), 0u)
      << r.out;
  EXPECT_NE(r.out.find("<P>Server name: </P>\r\n"), std::string::npos);  // no SERVER_NAME
}

TEST(OneShotRun, GermanLocaleTranslatesTheRun) {
  test::TTempDir data;
  auto r = RunProgram(kBinary, {"-console"},
                      Env(data, {{"SERVER_SOFTWARE", "lighttpd"}, {"SERVER_NAME", "x"},
                                 {"LC_ALL", "de_DE.UTF-8"}}));
  EXPECT_NE(r.out.find("<P>Analysiere Site: Sample site</P>\r\n<P>Servername: x</P>"),
            std::string::npos)
      << r.out;
}

TEST(OneShotRun, ErrorLineThenClosingLinesAndFailureStatus) {
  // A copy of the program with a language file that cannot be read.
  test::TTempDir prog, data;
  std::filesystem::copy_file(kBinary, prog / "trelvar");
  std::filesystem::create_directories(prog / "Language");
  std::filesystem::create_symlink("/proc/self/mem", prog / "Language/broken.lng");
  auto r = RunProgram(prog / "trelvar", {"-console"},
                      Env(data, {{"SERVER_SOFTWARE", "Apache"}}));
  EXPECT_EQ(r.status, 1);
  const std::string error_line =
      "<P>Cannot open file \"" + prog.path() + "Language/broken.lng\" EInOutError</P>\r\n";
  EXPECT_NE(r.out.find(error_line + "</body>\r\n</html>\r\n"), std::string::npos) << r.out;

  r = RunProgram(prog / "trelvar", {"-console"}, Env(data));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Cannot open file \"" + prog.path() + "Language/broken.lng\" EInOutError\n");
}

TEST(OneShotRun, CommandLineErrorGoesToStandardErrorAndTheRunGoesOn) {
  test::TTempDir data;
  auto r = RunProgram(kBinary, {"-console", "-periodlast:many"}, Env(data));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "Error during processing command line parameters: \n"
            "'many' is not a valid integer value\n");
  EXPECT_EQ(r.out.rfind("Trelvar\n", 0), 0u);
}

TEST(OneShotRun, ClosedStandardOutputDoesNotBreakTheRun) {
  test::TTempDir data;
  auto r = RunProgram(kBinary, {"-console"}, Env(data), /*close_stdout=*/true);
  EXPECT_EQ(r.status, 0);
}

TEST(ProgramEntry, WithoutConsoleHelpAndVersion) {
  test::TTempDir data;
  // Without -console the windowed application starts; without a display
  // it says so instead of failing in the window toolkit.
  auto r = RunProgram(kBinary, {},
                      Env(data, {{"DISPLAY", kUnset}, {"WAYLAND_DISPLAY", kUnset},
                                 {"QT_QPA_PLATFORM", kUnset}}));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("needs a display"), std::string::npos) << r.err;

  r = RunProgram(kBinary, {"--help"}, Env(data));
  EXPECT_EQ(r.status, 0);
  for (const char* option : {"-console", "-analyze:", "-outputdir:", "-logpath:", "-reportfile:",
                             "-periodtype:", "-periodfrom:", "-periodto:", "-periodlast:",
                             "-periodmeasure:", "-exit", "--version"})
    EXPECT_NE(r.out.find(option), std::string::npos) << option;

  r = RunProgram(kBinary, {"-console", "--version"}, Env(data));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Trelvar ", 0), 0u);
}

}  // namespace
}  // namespace trelvar
