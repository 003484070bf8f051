#include "sites/sites_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/errors.h"
#include "platform/files.h"
#include "test_support.h"

namespace trelvar {
namespace {

struct RegistryTest : ::testing::Test {
  test::TTempDir dir;
  TFolders folders{dir / "prog", dir / "data"};
  TWS ws{folders};
};

TEST_F(RegistryTest, ReadsSitesWithDefaultsAndFilters) {
  ws.LoadFromText(
      "# comment\r\n"
      "logpath=before any site\r\n"
      "\r\n"
      "name=Shop\r\n"
      "logpath=logs\\ex*.log;/var/log/b.log\r\n"
      "outputdir=shop_out\r\n"
      "apptype= Cgi \r\n"
      "passivemode= False \r\n"
      "unknownkey=1\r\n"
      "filter=href;equals;/index.htm;assign;/\r\n"
      "filter=agent;Included_In_File;bots.txt;skip_line;\r\n"
      "filter=referrer;nonsense;x;assign;<host> via <agent>;and;more\r\n"
      "name=Blog\r\n"
      "passivemode=\r\n");
  ASSERT_EQ(ws.Count(), 2u);
  const TWebSite& shop = ws.Site(0);
  EXPECT_EQ(shop.name, "Shop");
  EXPECT_EQ(shop.log_path, "logs\\ex*.log;/var/log/b.log");
  EXPECT_EQ(shop.app_type, 0);
  EXPECT_FALSE(shop.passive_mode);
  EXPECT_EQ(shop.remote_port, "21");
  ASSERT_EQ(shop.filters.size(), 3u);
  EXPECT_EQ(shop.filters[0].parameter, 10);
  EXPECT_EQ(shop.filters[0].line_field, 3);
  EXPECT_EQ(shop.filters[0].condition, TFilterCondition::Equals);
  EXPECT_EQ(shop.filters[0].action_value, "/");
  EXPECT_EQ(shop.filters[1].condition, TFilterCondition::IncludedInFile);
  EXPECT_EQ(shop.filters[1].action, TFilterAction::SkipLine);
  EXPECT_EQ(shop.filters[2].condition, TFilterCondition::Includes);  // unknown condition name
  EXPECT_EQ(shop.filters[2].action_value, "<host> via <agent>;and;more");
  const TWebSite& blog = ws.Site(1);
  EXPECT_TRUE(blog.passive_mode);  // empty value reads on
  EXPECT_EQ(blog.app_type, 1);
  EXPECT_TRUE(ws.LoadedCompletely());
}

TEST_F(RegistryTest, BadFilterLinesAreReportedAfterTheWholeFileAndBlockSaving) {
  try {
    ws.LoadFromText(
        "name=A\r\nfilter=nothing;equals;x;assign;y\r\nfilter=href;equals;x;explode;y\r\n"
        "filter=href;equals;x;assign;ok\r\nname=B\r\n");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Unknown log param: nothing");
  }
  ASSERT_EQ(ws.Count(), 2u);  // nothing after the bad lines is lost
  EXPECT_EQ(ws.Site(0).filters.size(), 1u);
  EXPECT_FALSE(ws.LoadedCompletely());
  EXPECT_THROW(ws.SaveToFile(), EInvalidOperation);
  EXPECT_FALSE(platform::PathExists(dir / "data/websites.ini"));
}

TEST_F(RegistryTest, SavingAndLoadingKeepsEverything) {
  auto site = std::make_unique<TWebSite>();
  site->name = "Shop";
  site->log_path = "a.log";
  site->output_folder = "/srv/out";
  site->output_uri = "/reports/";
  site->format = "Apache combined";
  site->app_type = 0;
  site->user_name = "ftpuser";
  site->password = "s3cr=t;pw";
  site->remote_port = "2121";
  site->remote_host = "ftp.example.org";
  site->passive_mode = true;
  site->remote_log_path = "/logs";
  site->report_file = "shop.ini";
  site->email = "admin@example.org";
  ws.AddSite(std::move(site));
  ws.AddFilter("Shop", "href", "Equals", "/index.htm", "assign", "/");
  ws.AddFilter("Shop", "agent", "  not included in file ", "bots.txt", "skip_line", "");
  ws.AddFilter("Shop", "", "Equals", "x", "assign", "y");  // incomplete: ignored
  ws.AddNewSite();
  ASSERT_EQ(ws.Site(0).filters.size(), 2u);
  EXPECT_EQ(ws.Site(0).filters[1].condition, TFilterCondition::NotIncludedInFile);

  ws.SaveToFile();
  const std::string path = dir / "data/websites.ini";
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string text = test::ReadFile(path);
  EXPECT_EQ(text.find("s3cr=t"), std::string::npos);  // scrambled
  EXPECT_NE(text.find("\r\nname=Shop\r\nlogpath=a.log\r\noutputdir=/srv/out\r\n"), std::string::npos);
  EXPECT_NE(text.find("filter=href;equals;/index.htm;assign;/\r\n"), std::string::npos);

  TWS again(folders);
  again.LoadFromFile();
  ASSERT_EQ(again.Count(), 2u);
  const TWebSite& a = again.Site(0);
  const TWebSite& b = ws.Site(0);
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.log_path, b.log_path);
  EXPECT_EQ(a.output_folder, b.output_folder);
  EXPECT_EQ(a.output_uri, b.output_uri);
  EXPECT_EQ(a.format, b.format);
  EXPECT_EQ(a.app_type, 0);
  EXPECT_EQ(a.user_name, b.user_name);
  EXPECT_EQ(a.password, "s3cr=t;pw");
  EXPECT_EQ(a.remote_port, b.remote_port);
  EXPECT_EQ(a.remote_host, b.remote_host);
  EXPECT_EQ(a.passive_mode, b.passive_mode);
  EXPECT_EQ(a.remote_log_path, b.remote_log_path);
  EXPECT_EQ(a.report_file, b.report_file);
  EXPECT_EQ(a.email, b.email);
  ASSERT_EQ(a.filters.size(), 2u);
  EXPECT_EQ(a.filters[1].parameter, b.filters[1].parameter);
  EXPECT_EQ(a.filters[1].condition, b.filters[1].condition);
  EXPECT_EQ(a.filters[1].value, "bots.txt");
  EXPECT_EQ(again.Site(1).name, "New Site 1");
  EXPECT_EQ(again.Site(1).remote_log_path, "/");

  ws.SaveToFile();  // the second save keeps the first as backup
  EXPECT_EQ(test::ReadFile(path + ".bak"), text);
}

TEST_F(RegistryTest, SiteOperations) {
  ws.LoadFromText("name=New Site 1\r\nname=New Site 3\r\nname=Other\r\n");
  EXPECT_EQ(ws.AddNewSite(), "New Site 2");
  TWebSite* added = ws.GetSiteByName("New Site 2");
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->format, "MS IIS 5.0");
  EXPECT_EQ(added->output_folder, "zeb_out");
  EXPECT_EQ(added->app_type, 1);
  EXPECT_EQ(ws.GetSiteByName(ws.AddNewSite(true))->app_type, 0);  // made by a CGI run
  ws.DeleteSite("New Site 4");
  EXPECT_EQ(ws.GetSiteIndex("New Site 2"), 3);
  EXPECT_EQ(ws.GetSiteIndex("new site 2"), -1);  // names keep their case

  ws.SelectSiteByName("Other");
  ASSERT_NE(ws.Current(), nullptr);
  EXPECT_EQ(ws.Current()->name, "Other");
  ws.SelectSite(-1);
  EXPECT_EQ(ws.Current()->name, "Other");
  EXPECT_THROW(ws.SelectSite(99), EListError);
  ws.SelectSiteByName("missing");
  EXPECT_EQ(ws.Current(), nullptr);

  ws.MoveSite("New Site 2", "New Site 1");
  EXPECT_EQ(ws.Site(0).name, "New Site 2");
  ws.MoveSite("New Site 2", "Other");  // to the place Other held: the end
  EXPECT_EQ(ws.Site(3).name, "New Site 2");
  EXPECT_EQ(ws.Site(2).name, "Other");
  EXPECT_THROW(ws.MoveSite("nope", "Other"), EListError);

  // A site of an existing name replaces it in its place.
  ws.SelectSiteByName("Other");
  auto replacement = std::make_unique<TWebSite>();
  replacement->name = "Other";
  replacement->log_path = "new.log";
  ws.AddSite(std::move(replacement));
  EXPECT_EQ(ws.Count(), 4u);
  EXPECT_EQ(ws.Current()->log_path, "new.log");

  ws.DeleteSite("Other");
  EXPECT_EQ(ws.Current(), nullptr);
  EXPECT_EQ(ws.Count(), 3u);
  EXPECT_THROW(ws.DeleteSite("Other"), EListError);

  ws.AddFilter("New Site 1", "ip", "Includes", "10.", "skip_line", "");
  ws.AddFilter("New Site 1", "ip", "Includes", "11.", "skip_line", "");
  ws.RemoveFilter(static_cast<size_t>(ws.GetSiteIndex("New Site 1")), 0);
  EXPECT_EQ(ws.GetSiteByName("New Site 1")->filters.at(0).value, "11.");
  EXPECT_THROW(ws.AddFilter("New Site 1", "ipv6", "Includes", "x", "assign", ""), EConvertError);
  ws.ClearFilters(*ws.GetSiteByName("New Site 1"));
  EXPECT_TRUE(ws.GetSiteByName("New Site 1")->filters.empty());
}

TEST_F(RegistryTest, ConditionDisplayNames) {
  EXPECT_EQ(ConditionDisplayName(TFilterCondition::IncludedInFile), "Included In File");
  EXPECT_EQ(ConditionDisplayName(TFilterCondition::IncludedInFileOnce), "");
  EXPECT_EQ(ConditionFromDisplayName(" NOT INCLUDED IN "), TFilterCondition::NotIncludedIn);
  EXPECT_EQ(ConditionFromDisplayName("Included In File"), TFilterCondition::IncludedInFile);
  EXPECT_EQ(ConditionFromDisplayName("Not equals"), TFilterCondition::NotEquals);
  EXPECT_EQ(ConditionFromDisplayName("whatever"), TFilterCondition::NotEquals);
}

TEST_F(RegistryTest, ValueFilesOfTheCurrentSite) {
  test::WriteFile(dir / "data/bots.txt", "bot\r\nspider\r\n");
  ws.LoadFromText(
      "name=A\r\nfilter=agent;included_in_file;bots.txt;skip_line;\r\n"
      "filter=agent;not_included_in_file;missing.txt;skip_line;\r\n"
      "filter=agent;includes;bot;skip_line;\r\n");
  ws.SelectSite(0);
  ws.PrepareSiteValueFiles();
  const auto& f = ws.Site(0).filters;
  ASSERT_TRUE(f[0].value_list.has_value());
  EXPECT_EQ(*f[0].value_list, (TValueList{"bot", "spider"}));
  ASSERT_TRUE(f[1].value_list.has_value());
  EXPECT_TRUE(f[1].value_list->empty());
  EXPECT_FALSE(f[2].value_list.has_value());
}

TEST_F(RegistryTest, MissingFileRaises) {
  EXPECT_THROW(ws.LoadFromFile(), EInOutError);
  test::WriteFile(dir / "prog/Default/websites.ini", "name=Seed\r\n");
  ws.LoadFromFile();
  EXPECT_EQ(ws.Site(0).name, "Seed");
  EXPECT_TRUE(platform::PathExists(dir / "data/websites.ini"));
}

}  // namespace
}  // namespace trelvar
