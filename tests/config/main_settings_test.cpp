#include "config/main_settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/errors.h"
#include "base/password_scrambler.h"
#include "base/text_helpers.h"
#include "config/gui_settings.h"
#include "sites/log_formats.h"
#include "sites/sites_registry.h"
#include "test_support.h"

namespace trelvar {
namespace {

struct SettingsTest : ::testing::Test {
  test::TTempDir dir;
  TFolders folders{dir / "prog", dir / "data"};
  TLogFmts formats;

  void SetUp() override { test::WriteFile(dir / "prog/Default/main.ini", "\r\n"); }
  std::unique_ptr<TMainSettings> Load(const std::string& text) {
    test::WriteFile(dir / "data/main.ini", text);
    return std::make_unique<TMainSettings>(folders, formats, nullptr);
  }
};

TEST_F(SettingsTest, DefaultsWhenTheFileIsEmpty) {
  auto s = Load("");
  EXPECT_TRUE(s->auto_start_browser);
  EXPECT_EQ(s->analyze_period_type, TPeriodType::All);
  EXPECT_EQ(s->analyze_period_from, Today() - 30);
  EXPECT_EQ(s->analyze_period_measure, 1);
  EXPECT_EQ(s->dns_lookup_threads, 10);
  EXPECT_EQ(s->approximate_tolerance, 100);
  EXPECT_EQ(s->smtp_port, 25);
  EXPECT_EQ(s->mail_subject, "Reports");
  EXPECT_EQ(s->web_page_extensions, ".htm.html.asp.aspx.jsp.php.php3.php4.stm.jhtml.cfm.shtm.shtml.dll");
  EXPECT_EQ(s->vis_path_extensions, ".zip.exe" + s->web_page_extensions);
  EXPECT_TRUE(s->case_sensitive_urls);
}

TEST_F(SettingsTest, ValuesAndTheirConversions) {
  auto s = Load(
      "# comment\r\n"
      " ShowNavigationBar = TRUE\r\n"
      "SmtpServer=Mail.Example.ORG\r\n"
      "MailSubject=Weekly Reports\r\n"
      "MailMessage=line one\r\nMailMessage=\r\nMailMessage=line three\r\n"
      "ApproximateTolerance=-5\r\n"
      "AnalyzePeriodMeasure=MONTHS\r\n"
      "AnalyzePeriodType=between\r\n"
      "AnalyzePeriodFrom=2000-12-01\r\nAnalyzePeriodTo=2000-12-31\r\n"
      "LogFormat=Mine;<ip> <href>\r\n"
      "SearchEngine=Google;google.;q\r\n"
      "WebPageExtensions=.HTM.PHP\r\n"
      "TimeOffset=-60\r\n"
      "CaseSensitiveURLs=0\r\n"
      "unknown=whatever\r\n");
  EXPECT_TRUE(s->show_navigation_bar);
  EXPECT_EQ(s->smtp_server, "mail.example.org");
  EXPECT_EQ(s->mail_subject, "Weekly Reports");
  EXPECT_EQ(s->mail_message, "line one\r\n\r\nline three");
  EXPECT_EQ(s->approximate_tolerance, 100);
  EXPECT_EQ(s->analyze_period_measure, 2);
  EXPECT_EQ(s->analyze_period_type, TPeriodType::Between);
  EXPECT_EQ(s->analyze_period_from, EncodeDate(2000, 12, 1));
  EXPECT_EQ(formats.GetTemplate("Mine"), "<ip> <href>");
  EXPECT_EQ(s->SearchEngines().EngineCount(), 1u);
  EXPECT_EQ(s->web_page_extensions, ".htm.php");
  EXPECT_EQ(s->time_offset, -60);
  EXPECT_FALSE(s->case_sensitive_urls);
}

TEST_F(SettingsTest, EachFailureBehaviour) {
  // Keeps the previous value.
  auto s = Load(
      "ApproximateTolerance=lots\r\nSmtpPort=x\r\nDNSLookupThreads=\r\nAnalyzePeriodLast=3d\r\n"
      "AnalyzePeriodFrom=yesterday\r\nReverseDNSLookup=maybe\r\nAnalyzePeriodMeasure=weeks\r\n");
  EXPECT_EQ(s->approximate_tolerance, 100);
  EXPECT_EQ(s->smtp_port, 25);
  EXPECT_EQ(s->dns_lookup_threads, 10);
  EXPECT_EQ(s->analyze_period_last, 30);
  EXPECT_EQ(s->analyze_period_from, Today() - 30);
  EXPECT_FALSE(s->reverse_dns_lookup);
  EXPECT_EQ(s->analyze_period_measure, 1);

  // Turns false.
  s = Load("AutoStartBrowser=yes\r\nShowNavigationBar=\r\n");
  EXPECT_FALSE(s->auto_start_browser);
  EXPECT_FALSE(s->show_navigation_bar);

  // Stops the reading.
  for (const char* bad : {"ShowTimeRange=yes", "TimeOffset=1h", "CaseSensitiveURLs=on"}) {
    test::WriteFile(dir / "data/main.ini",
                    std::string("SmtpPort=26\r\n") + bad + "\r\nSmtpPort=27\r\n");
    try {
      TMainSettings settings(folders, formats, nullptr);
      FAIL() << bad;
    } catch (const EConvertError& e) {
      EXPECT_FALSE(e.Message().empty());
    }
  }
  try {
    Load("IncrementalAnalysis=sometimes\r\n");
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'sometimes' is not a valid boolean value");
  }
}

TEST_F(SettingsTest, SaveWritesTheKeysInOrderAndReadsBack) {
  auto s = Load("");
  formats.AddFormatLine("A;<ip>");
  formats.AddFormatLine("B;<href>");
  s->SearchEngines().AddEngineLine("G;google.;q");
  s->mail_message = "one\r\ntwo\r\nthree";
  s->show_navigation_bar = false;
  s->analyze_period_type = TPeriodType::Last;
  s->analyze_period_from = EncodeDate(2026, 1, 2);
  s->time_offset = 90;
  s->Save();
  const std::string text = test::ReadFile(dir / "data/main.ini");
  EXPECT_EQ(text.rfind("default_site=\r\nAutoStartBrowser=-1\r\nShowNavigationBar=0\r\n"
                       "LogFormat=A;<ip>\r\nLogFormat=B;<href>\r\nSearchEngine=G;google.;q\r\n"
                       "AnalyzePeriodType=last\r\nAnalyzePeriodFrom=2026-01-02\r\n",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("MailSubject=Reports\r\nMailMessage=one\r\nMailMessage=two\r\n"
                      "MailMessage=three\r\nAutoExportIntoExcel=0\r\n"),
            std::string::npos);
  const std::string tail = "Language=\r\nTimeOffset=90\r\nCaseSensitiveURLs=-1\r\n";
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_EQ(s->mail_message, "one\r\ntwo\r\nthree");  // saving changes no field

  TLogFmts formats2;
  TMainSettings again(folders, formats2, nullptr);
  EXPECT_EQ(again.SaveToText(), text);
  EXPECT_EQ(formats2.Names(), (std::vector<std::string>{"A", "B"}));

  s->mail_message = "";
  EXPECT_NE(s->SaveToText().find("MailSubject=Reports\r\nMailMessage=\r\nAutoExportIntoExcel"),
            std::string::npos);
}

TEST_F(SettingsTest, RegressionMailBodyKeepsItsEmptyLastLine) {
  struct TCase {
    std::string body, saved_back;
  };
  for (const TCase& c : std::vector<TCase>{{"one\r\n", "one\r\n"},
                                           {"one\r\n\r\n", "one\r\n\r\n"},
                                           {"\r\none", "\r\none"},
                                           {"a\nb\rc", "a\r\nb\r\nc"}}) {
    auto s = Load("");
    s->mail_message = c.body;
    s->Save();
    TLogFmts formats2;
    TMainSettings again(folders, formats2, nullptr);
    EXPECT_EQ(again.mail_message, c.saved_back) << c.body;
  }
}

TEST_F(SettingsTest, MailPasswordIsKeptScrambledAndOnlyWhenSet) {
  // Without one, a saved file reads back and saves to the same text, with
  // no password line and the usual file mode.
  auto s = Load("MailUserID=Sender\r\n");
  EXPECT_EQ(s->mail_password, "");
  s->Save();
  const std::string plain = test::ReadFile(dir / "data/main.ini");
  EXPECT_FALSE(Contains(LowerCase(plain), "mailpassword"));
  EXPECT_EQ(std::filesystem::status(dir / "data/main.ini").permissions() &
                std::filesystem::perms::others_read,
            std::filesystem::perms::others_read);

  // Mixed case and blanks survive, since the stored text is not lower-cased.
  const std::string password = "Se Cret!Ä9";
  s->mail_password = password;
  s->Save();
  const std::string text = test::ReadFile(dir / "data/main.ini");
  const size_t at = text.find("MailUserID=sender\r\nMailPassword=");
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_FALSE(Contains(text, password));
  const std::string stored = text.substr(at + 32, text.find("\r\n", at + 32) - at - 32);
  EXPECT_EQ(UnscramblePassword(stored), password);
  EXPECT_EQ(std::filesystem::status(dir / "data/main.ini").permissions() &
                std::filesystem::perms::mask,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  TLogFmts formats2;
  TMainSettings again(folders, formats2, nullptr);
  EXPECT_EQ(again.mail_password, password);

  auto typed = Load("MailPassword= " + ScramblePassword("x") + " \r\n");
  EXPECT_EQ(typed->mail_password, "x");
}

TEST_F(SettingsTest, HalfReadFileIsNotOverwritten) {
  auto s = Load("SmtpPort=26\r\n");
  test::WriteFile(dir / "data/main.ini", "ShowTimeRange=oops\r\nLogFormat=Kept;<ip>\r\n");
  EXPECT_THROW(s->Load(), EConvertError);
  EXPECT_THROW(s->Save(), EInvalidOperation);
  EXPECT_EQ(test::ReadFile(dir / "data/main.ini"), "ShowTimeRange=oops\r\nLogFormat=Kept;<ip>\r\n");
}

TEST_F(SettingsTest, MissingFileRaises) {
  TFolders empty(dir / "none", dir / "nodata");
  EXPECT_THROW(TMainSettings(empty, formats, nullptr), EInOutError);
}

TEST(GuiSettings, ReadWriteAndHistoryLimit) {
  test::TTempDir dir;
  TFolders folders(dir / "prog", dir / "data");
  std::string text = "showscheduleinstructions=TRUE\r\nShowSitesInstructions=0\r\n"
                     "MainWindowState=MAXIMIZED\r\nMainWindowTop=abc\r\nMainWindowLeft=15\r\n";
  for (int i = 0; i < 12; ++i) text += "RecentLogPath=log" + std::to_string(i) + "\r\n";
  text += "RecentResultsAddress=http://x/\r\n";
  test::WriteFile(dir / "data/gui.ini", text);
  TGUISettings g(folders);
  EXPECT_TRUE(g.show_schedule_instructions);
  EXPECT_FALSE(g.show_sites_instructions);
  EXPECT_TRUE(g.main_window_maximized);
  EXPECT_EQ(g.main_window_top, 0);
  EXPECT_EQ(g.main_window_left, 15);
  EXPECT_EQ(g.recent_log_path.size(), 12u);
  g.main_window_maximized = false;
  g.Save();
  const std::string saved = test::ReadFile(dir / "data/gui.ini");
  EXPECT_NE(saved.find("ShowSitesInstructions=0\r\nShowScheduleInstructions=-1\r\n"), std::string::npos);
  EXPECT_NE(saved.find("MainWindowState=normal\r\nRecentLogPath=log0\r\n"), std::string::npos);
  EXPECT_NE(saved.find("RecentLogPath=log9\r\nRecentResultsAddress=http://x/\r\n"), std::string::npos);
  EXPECT_EQ(saved.find("log10"), std::string::npos);

  TGUISettings again(folders);
  EXPECT_EQ(again.recent_log_path.size(), 10u);
  EXPECT_FALSE(again.main_window_maximized);
  EXPECT_EQ(again.SaveToText(), saved);

  test::WriteFile(dir / "data/gui.ini", "MainWindowState=tiled\r\nAskForFeedback=perhaps\r\n");
  EXPECT_THROW(again.Load(), EConvertError);
  EXPECT_FALSE(again.main_window_maximized);  // an unknown state changes nothing
  EXPECT_THROW(again.Save(), EInvalidOperation);
}

TEST(ShippedData, DefaultFilesReadCompletely) {
  test::TTempDir dir;
  TFolders folders(TRELVAR_SOURCE_DIR, dir.path());
  TLogFmts formats;
  TMainSettings settings(folders, formats, nullptr);
  EXPECT_EQ(settings.default_site, "Sample site");
  EXPECT_EQ(settings.analyze_period_from, Today() - 30);
  TGUISettings gui(folders);
  EXPECT_EQ(gui.SaveToText(), test::ReadFile(std::string(TRELVAR_SOURCE_DIR) + "/Default/gui.ini"));
  TWS ws(folders);
  ws.LoadFromFile();
  ASSERT_NE(ws.GetSiteByName(settings.default_site), nullptr);
  EXPECT_EQ(ws.GetSiteByName("Sample site")->log_path, "ex0012.log");
  EXPECT_NE(formats.GetTemplate(ws.GetSiteByName("Sample site")->format), "");
}

}  // namespace
}  // namespace trelvar
