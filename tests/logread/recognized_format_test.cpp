// A log recognised at the start of its file is cut by the template that
// recognition made for it, not by the site's own.
#include <gtest/gtest.h>

#include <sstream>

#include "config/main_settings.h"
#include "logread/line_parser.h"
#include "logread/reject_log.h"
#include "sites/log_formats.h"
#include "sites/website.h"
#include "test_support.h"

namespace trelvar {
namespace {

const char kIis10Log[] =
    "#Software: Microsoft Internet Information Services 10.0\r\n"
    "#Version: 1.0\r\n"
    "#Date: 2024-10-01 00:00:05\r\n"
    "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
    "cs(User-Agent) cs(Referer) sc-status sc-substatus sc-win32-status time-taken\r\n"
    "2024-10-01 00:00:05 10.0.0.4 GET /shop/cart.aspx id=42 443 alice 203.0.113.9 "
    "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64)+AppleWebKit/537.36+(KHTML,+like+Gecko)+"
    "Chrome/129.0.0.0+Safari/537.36+Edg/129.0.0.0 https://www.bing.com/search?q=cart 404 0 2 "
    "31\r\n"
    "2024-10-01 00:00:07 10.0.0.4 POST /api/orders - 443 - 198.51.100.7 curl/8.5.0 - 201 0 0 "
    "1250\r\n";

TEST(RecognizedFormat, Iis10LineIsCutByTheGeneratedTemplate) {
  test::TTempDir dir;
  TFolders folders(dir / "prog", dir / "data");
  test::WriteFile(dir / "data/main.ini", "AutoRecognizeLogFormat=-1\r\n");
  TLogFmts formats;
  TMainSettings settings(folders, formats, nullptr);
  ASSERT_TRUE(formats.Entries().empty());
  test::WriteFile(dir / "data/u_ex241001.log", kIis10Log);

  test::TCaptureHost host(TRunMode::Console);
  TCurrentLine current;
  TWebSite site;
  std::ostringstream errors;
  TRejectLog reporter{&errors};
  TLineParser::TEnvironment env;
  env.folders = &folders;
  env.settings = &settings;
  env.formats = &formats;
  env.site = &site;
  env.current = &current;
  TLineParser parser(env);
  // The site's template fits nothing in this file.
  parser.SetSiteTemplate("<ip> [<day>/<month_>/<year>:<hour>:<min>:<sec>] \"<href>\"");
  parser.ResetTemplate();
  parser.SetReporter(&reporter);
  parser.BeginScan("u_ex241001.log");
  std::vector<TCurrentLine> lines;
  for (int guard = 0; !parser.Finished() && guard < 1000; ++guard)
    if (parser.GetLine()) lines.push_back(current);

  EXPECT_NE(host.stdout_text.find("recognized as MS IIS 10.0 Custom 0"), std::string::npos)
      << host.stdout_text;
  ASSERT_EQ(lines.size(), 2u) << errors.str();
  const auto& f = lines[0].fields;
  EXPECT_EQ(lines[0].line.timestamp, EncodeDate(2024, 10, 1) + EncodeTime(0, 0, 5));
  EXPECT_EQ(f[kFieldMethod], "GET");
  EXPECT_EQ(f[kFieldHref], "/shop/cart.aspx");
  EXPECT_EQ(f[kFieldUriQuery], "id=42");
  EXPECT_EQ(f[kFieldUserName], "alice");
  EXPECT_EQ(f[kFieldIp], "203.0.113.9");
  EXPECT_EQ(f[kFieldAgent],
            "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64)+AppleWebKit/537.36+(KHTML,+like+Gecko)+"
            "Chrome/129.0.0.0+Safari/537.36+Edg/129.0.0.0");
  EXPECT_EQ(f[kFieldReferrer], "https://www.bing.com/search?q=cart");
  EXPECT_EQ(f[kFieldStatus], "404");
  EXPECT_EQ(f[kFieldTimeTaken], "31");
  const auto& g = lines[1].fields;
  EXPECT_EQ(g[kFieldMethod], "POST");
  EXPECT_EQ(g[kFieldHref], "/api/orders");
  EXPECT_EQ(g[kFieldIp], "198.51.100.7");
  EXPECT_EQ(g[kFieldAgent], "curl/8.5.0");
  EXPECT_EQ(g[kFieldStatus], "201");
  EXPECT_EQ(g[kFieldTimeTaken], "1250");
}

}  // namespace
}  // namespace trelvar
