// The program as a CGI script under real web servers on loopback: Apache
// httpd with mod_cgi and lighttpd, each with a configuration of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace trelvar {
namespace {

const std::string kBinary = TRELVAR_BINARY;
const std::string kSource = TRELVAR_SOURCE_DIR;

// A served folder with a CGI wrapper that runs the program on a fresh data
// folder holding a small site.
struct CgiSite {
  test::TTempDir dir;
  std::string data = dir / "data/";
  CgiSite() {
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    test::WriteFile(data + "websites.ini",
                    "name=Web\r\nlogpath=access.log\r\noutputdir=out\r\noutputuri=reports/out\r\n"
                    "format=NSCA Common\r\n");
    test::WriteFile(data + "main.ini",
                    test::ReadFile(std::string(TRELVAR_SOURCE_DIR) + "/Default/main.ini") +
                        "default_site=Web\r\nAutoRecognizeLogFormat=0\r\nAutoStartBrowser=0\r\n");
    std::string log;
    for (int i = 0; i < 20; ++i)
      log += "10.0.0." + std::to_string(i % 5) + " - - [07/Dec/2005:13:05:" +
             (i < 10 ? "0" : "") + std::to_string(i) + " +0100] \"GET /page" +
             std::to_string(i % 3) + ".htm HTTP/1.0\" 200 512\r\n";
    test::WriteFile(data + "access.log", log);
    // A copy of the program, since the server's user may not reach the build.
    const std::filesystem::path build = std::filesystem::path(kBinary).parent_path();
    std::filesystem::create_directories(dir / "prog");
    std::filesystem::copy_file(kBinary, dir / "prog/trelvar");
    for (const char* sub : {"Language", "Default"})
      std::filesystem::copy(build / sub, dir / ("prog/" + std::string(sub)),
                            std::filesystem::copy_options::recursive);
    test::WriteFile(dir / "cgi-bin/trelvar.cgi",
                    "#!/bin/sh\nexport TRELVAR_DATA_DIR='" + data + "'\nexec '" +
                        (dir / "prog/trelvar") + "' -console\n");
    test::WriteFile(dir / "www/index.html", "served\n");
    std::filesystem::permissions(dir / "cgi-bin/trelvar.cgi", std::filesystem::perms::all);
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
      std::filesystem::permissions(e.path(), std::filesystem::perms::all);
  }
};

std::string Get(int port, const std::string& path) {
  return test::RunProgram("/usr/bin/curl", {"-s", "-i", "--max-time", "120",
                                            "http://127.0.0.1:" + std::to_string(port) + path})
      .out;
}

void CheckAnalysis(const std::string& response, const CgiSite& site) {
  EXPECT_NE(response.find("<title>Trelvar</title>"), std::string::npos) << response;
  EXPECT_NE(response.find("<P>Analyzing site: Web</P>"), std::string::npos);
  EXPECT_NE(response.find("<P>Server name: 127.0.0.1</P>"), std::string::npos);
  EXPECT_NE(response.find("<b>Ready!</b>&nbsp;<a href=\"/reports/out/index"), std::string::npos)
      << response;
  EXPECT_NE(response.find("</body>\r\n</html>"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(site.data + "out/indexdetails.htm"));
  EXPECT_TRUE(std::filesystem::exists(site.data + "out/indexlist.htm"));
}

TEST(CgiServers, Apache) {
  if (!std::filesystem::exists("/usr/sbin/apache2")) GTEST_SKIP() << "apache2 is not installed";
  CgiSite site;
  const int port = test::FreeLoopbackPort();
  const std::string mods = "/usr/lib/apache2/modules/";
  test::WriteFile(site.dir / "apache.conf",
                  "ServerRoot \"" + site.dir.path() + "\"\nListen 127.0.0.1:" +
                      std::to_string(port) + "\nServerName 127.0.0.1\nPidFile \"" +
                      (site.dir / "apache.pid") + "\"\nErrorLog \"" + (site.dir / "error.log") +
                      "\"\nLoadModule mpm_prefork_module " + mods +
                      "mod_mpm_prefork.so\nLoadModule authz_core_module " + mods +
                      "mod_authz_core.so\nLoadModule alias_module " + mods +
                      "mod_alias.so\nLoadModule cgi_module " + mods +
                      "mod_cgi.so\nUser www-data\nGroup www-data\nDocumentRoot \"" +
                      (site.dir / "www") + "\"\nScriptAlias /cgi-bin/ \"" +
                      (site.dir / "cgi-bin/") + "\"\n<Directory />\n  Require all granted\n"
                      "</Directory>\n");
  auto start = test::RunProgram("/usr/sbin/apache2", {"-f", site.dir / "apache.conf", "-k", "start"});
  ASSERT_EQ(start.status, 0) << start.err;
  ASSERT_TRUE(test::WaitForPort(port)) << test::ReadFile(site.dir / "error.log");
  const std::string response = Get(port, "/cgi-bin/trelvar.cgi");
  test::RunProgram("/usr/sbin/apache2", {"-f", site.dir / "apache.conf", "-k", "stop"});
  // Under Apache the program leaves the status line to the server.
  EXPECT_EQ(response.rfind("HTTP/1.1 200 OK", 0), 0u) << response;
  EXPECT_NE(response.find("Content-Type: text/html"), std::string::npos);
  EXPECT_EQ(response.find("HTTP/1.0 200 OK"), std::string::npos);
  CheckAnalysis(response, site);
}

TEST(CgiServers, Lighttpd) {
  if (!std::filesystem::exists("/usr/sbin/lighttpd")) GTEST_SKIP() << "lighttpd is not installed";
  CgiSite site;
  const int port = test::FreeLoopbackPort();
  test::WriteFile(site.dir / "lighttpd.conf",
                  "server.document-root = \"" + (site.dir / "www") + "\"\nserver.port = " +
                      std::to_string(port) + "\nserver.bind = \"127.0.0.1\"\n"
                      "server.modules = (\"mod_alias\", \"mod_cgi\")\nserver.pid-file = \"" +
                      (site.dir / "lighttpd.pid") + "\"\nserver.errorlog = \"" +
                      (site.dir / "error.log") + "\"\nserver.username = \"www-data\"\n"
                      "server.groupname = \"www-data\"\nalias.url = (\"/cgi-bin/\" => \"" +
                      (site.dir / "cgi-bin/") + "\")\ncgi.assign = (\".cgi\" => \"\")\n");
  auto start = test::RunProgram("/usr/sbin/lighttpd", {"-f", site.dir / "lighttpd.conf"});
  ASSERT_EQ(start.status, 0) << start.err;
  ASSERT_TRUE(test::WaitForPort(port)) << test::ReadFile(site.dir / "error.log");
  const std::string response = Get(port, "/cgi-bin/trelvar.cgi");
  const std::string pid = test::ReadFile(site.dir / "lighttpd.pid");
  if (!pid.empty()) kill(std::stoi(pid), SIGTERM);
  // lighttpd takes the program's own status line as the response status.
  EXPECT_EQ(response.rfind("HTTP/1.1 200 OK", 0), 0u) << response;
  EXPECT_EQ(response.find("HTTP/1.0 200 OK"), std::string::npos);
  CheckAnalysis(response, site);
}

}  // namespace
}  // namespace trelvar
