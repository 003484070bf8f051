// The Sites mode and the new-site wizard on a real main window: sites are
// created, edited, written to websites.ini and read back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTableWidget>

#include "config/gui_settings.h"
#include "reports/run_context.h"
#include "sites/sites_registry.h"
#include "ui/qt_text.h"
#include "ui/site_wizard.h"
#include "ui/sites_mode.h"
#include "ui/sites_ui_fixture.h"

namespace trelvar {
namespace {

using test::Type;

template <class T>
T& Child(QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  if (child == nullptr) throw std::runtime_error(std::string("no control ") + name);
  return *child;
}

std::vector<std::string> SiteNames(const TWS& sites) {
  std::vector<std::string> names;
  for (size_t i = 0; i < sites.Count(); ++i) names.push_back(sites.Site(i).name);
  return names;
}

std::vector<std::string> ListNames(QListWidget& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.count(); ++i) names.push_back(ui::S(list.item(i)->text()));
  return names;
}

TEST(SiteWizard, CreatesTheSiteAndWritesIt) {
  test::TSitesWindow w;
  ui::TfrmSiteWizard wizard(*w.main);
  EXPECT_EQ(wizard.NameEdit().text(), QStringLiteral("New Site 1"));  // a free name is offered
  wizard.NameEdit().setText(QStringLiteral("  Shop  "));
  wizard.LogPathEdit().setText(QStringLiteral("/var/log/shop/access.log*"));
  wizard.FormatBox().setCurrentText(QStringLiteral("Apache combined"));
  wizard.OutputDirEdit().setText(QStringLiteral("shop_out"));
  wizard.UseFtpBox().setChecked(true);
  wizard.HostEdit().setText(QStringLiteral("ftp.example.org"));
  wizard.PortEdit().setValue(2121);
  wizard.UserEdit().setText(QStringLiteral("loguser"));
  wizard.PasswordEdit().setText(QStringLiteral("s3cret;="));
  wizard.RemotePathEdit().setText(QStringLiteral("/logs/"));
  wizard.PassiveBox().setChecked(false);

  ASSERT_TRUE(wizard.CreateSite());
  EXPECT_EQ(wizard.SiteName(), "Shop");
  EXPECT_TRUE(w.host->messages.empty());

  // The file holds the site; reading it gives the same record.
  TWS again(w.main->Folders());
  again.LoadFromFile();
  const TWebSite* site = again.GetSiteByName("Shop");
  ASSERT_NE(site, nullptr);
  EXPECT_EQ(site->log_path, "/var/log/shop/access.log*");
  EXPECT_EQ(site->format, "Apache combined");
  EXPECT_EQ(site->output_folder, "shop_out");
  EXPECT_EQ(site->output_uri, "zeb_out");  // a new site's default
  EXPECT_EQ(site->remote_host, "ftp.example.org");
  EXPECT_EQ(site->remote_port, "2121");
  EXPECT_EQ(site->user_name, "loguser");
  EXPECT_EQ(site->password, "s3cret;=");
  EXPECT_EQ(site->remote_log_path, "/logs/");
  EXPECT_FALSE(site->passive_mode);
  EXPECT_EQ(SiteNames(again), (std::vector<std::string>{"Sample site", "Shop"}));
}

TEST(SiteWizard, WithoutFtpKeepsTheDefaultsOfANewSite) {
  test::TSitesWindow w;
  ui::TfrmSiteWizard wizard(*w.main);
  wizard.HostEdit().setText(QStringLiteral("typed but not chosen"));
  ASSERT_TRUE(wizard.CreateSite());
  const TWebSite* site = w.main->Context().sites->GetSiteByName("New Site 1");
  ASSERT_NE(site, nullptr);
  EXPECT_EQ(site->remote_host, "");
  EXPECT_EQ(site->remote_log_path, "/");
  EXPECT_EQ(site->remote_port, "21");
  EXPECT_EQ(site->format, "MS IIS 5.0");
}

TEST(SiteWizard, RefusesEmptyAndTakenNames) {
  struct TCase {
    const char* name;
    const char* message;
  };
  const TCase cases[] = {
      {"", "A site needs a name."},
      {"   ", "A site needs a name."},
      {"Sample site", "There is already a site named \"Sample site\"."},
      {" Sample site ", "There is already a site named \"Sample site\"."},
  };
  test::TSitesWindow w;
  const std::string before = w.WebsitesIni();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    w.host->messages.clear();
    ui::TfrmSiteWizard wizard(*w.main);
    wizard.restart();
    wizard.NameEdit().setText(QString::fromUtf8(c.name));
    EXPECT_FALSE(wizard.CreateSite());
    EXPECT_FALSE(wizard.validateCurrentPage());  // the first page does not let it pass either
    ASSERT_EQ(w.host->messages.size(), 2u);
    EXPECT_EQ(w.host->messages[0], c.message);
    EXPECT_EQ(wizard.SiteName(), "");
    EXPECT_EQ(w.main->Context().sites->Count(), 1u);
  }
  EXPECT_EQ(w.WebsitesIni(), before);
  // A name that differs in letter case is another site.
  ui::TfrmSiteWizard wizard(*w.main);
  wizard.NameEdit().setText(QStringLiteral("sample site"));
  EXPECT_TRUE(wizard.CreateSite());
}

TEST(SitesMode, EditorRoundTrip) {
  test::TSitesWindow w;
  ui::TSitesModePage& page = w.main->SitesPage();
  page.AdvancedBox().setChecked(true);
  ASSERT_EQ(page.SiteList().count(), 1);
  page.SelectRow(0);

  Type(Child<QLineEdit>(page, "edtSiteLogPath"), QStringLiteral("/srv/logs/access.log"));
  page.FormatBox().setCurrentText(QStringLiteral("Apache combined 2"));
  Type(Child<QLineEdit>(page, "edtSiteOutputDir"), QStringLiteral("/srv/reports/"));
  Type(Child<QLineEdit>(page, "edtSiteOutputUri"), QStringLiteral("/stats/"));
  Type(Child<QLineEdit>(page, "edtSiteReportFile"), QStringLiteral("shop_reports.ini"));
  Child<QComboBox>(page, "cbxSiteAppType").setCurrentIndex(1);  // CGI
  Type(Child<QLineEdit>(page, "edtSiteRemoteHost"), QStringLiteral("127.0.0.1"));
  Child<QSpinBox>(page, "edtSiteRemotePort").setValue(2100);
  Type(Child<QLineEdit>(page, "edtSiteUserName"), QStringLiteral("anna"));
  Type(Child<QLineEdit>(page, "edtSitePassword"), QStringLiteral("pa ss"));
  Child<QCheckBox>(page, "chkSitePassiveMode").setChecked(true);
  Type(Child<QLineEdit>(page, "edtSiteRemoteLogPath"), QStringLiteral("/logs/ex*.log"));
  Type(Child<QLineEdit>(page, "edtSiteEmail"), QStringLiteral("anna@example.org"));
  EXPECT_EQ(Child<QLineEdit>(page, "edtSitePassword").echoMode(), QLineEdit::Password);

  page.AddFilterRow();
  QTableWidget& grid = page.FilterTable();
  ASSERT_EQ(grid.rowCount(), 1);
  grid.item(0, 2)->setText(QStringLiteral("/index.htm"));
  grid.item(0, 4)->setText(QStringLiteral("/"));
  qobject_cast<QComboBox*>(grid.cellWidget(0, 1))->setCurrentText(QStringLiteral("Equals"));
  page.AddFilterRow();
  qobject_cast<QComboBox*>(grid.cellWidget(1, 0))->setCurrentText(QStringLiteral("agent"));
  grid.item(1, 2)->setText(QStringLiteral("bot"));
  qobject_cast<QComboBox*>(grid.cellWidget(1, 3))->setCurrentText(QStringLiteral("skip_line"));

  QLineEdit& name = Child<QLineEdit>(page, "edtSiteName");
  name.setText(QStringLiteral("Shop"));
  emit name.editingFinished();
  EXPECT_EQ(page.SiteList().item(0)->text(), QStringLiteral("Shop"));
  EXPECT_EQ(w.main->Context().settings->default_site, "Shop");  // the default site follows

  page.Leaving();  // leaving the mode writes the registry
  const std::string ini = w.WebsitesIni();
  for (const char* line :
       {"name=Shop\r\n", "logpath=/srv/logs/access.log\r\n", "outputdir=/srv/reports/\r\n",
        "outputuri=/stats/\r\n", "format=Apache combined 2\r\n", "username=anna\r\n", "remoteport=2100\r\n",
        "remotehost=127.0.0.1\r\n", "passivemode=true\r\n", "remotelogpath=/logs/ex*.log\r\n",
        "reportfile=shop_reports.ini\r\n", "email=anna@example.org\r\n", "apptype=cgi\r\n",
        "filter=href;equals;/index.htm;assign;/\r\n", "filter=agent;includes;bot;skip_line;\r\n"})
    EXPECT_NE(ini.find(line), std::string::npos) << line << " in\n" << ini;
  EXPECT_EQ(ini.find("pa ss"), std::string::npos);  // the password is scrambled

  // Open makes the registry anew; the editor shows what was written.
  w.Reopen();
  ASSERT_EQ(page.SiteList().count(), 1);
  EXPECT_EQ(page.SiteList().item(0)->text(), QStringLiteral("Shop"));
  EXPECT_EQ(Child<QLineEdit>(page, "edtSiteName").text(), QStringLiteral("Shop"));
  EXPECT_EQ(Child<QLineEdit>(page, "edtSiteLogPath").text(), QStringLiteral("/srv/logs/access.log"));
  EXPECT_EQ(page.FormatBox().currentText(), QStringLiteral("Apache combined 2"));
  EXPECT_EQ(Child<QLineEdit>(page, "edtSiteOutputUri").text(), QStringLiteral("/stats/"));
  EXPECT_EQ(Child<QComboBox>(page, "cbxSiteAppType").currentIndex(), 1);
  EXPECT_EQ(Child<QSpinBox>(page, "edtSiteRemotePort").value(), 2100);
  EXPECT_EQ(Child<QLineEdit>(page, "edtSitePassword").text(), QStringLiteral("pa ss"));
  EXPECT_TRUE(Child<QCheckBox>(page, "chkSitePassiveMode").isChecked());
  EXPECT_EQ(Child<QLineEdit>(page, "edtSiteEmail").text(), QStringLiteral("anna@example.org"));
  ASSERT_EQ(grid.rowCount(), 2);
  EXPECT_EQ(qobject_cast<QComboBox*>(grid.cellWidget(1, 0))->currentText(), QStringLiteral("agent"));
  EXPECT_EQ(qobject_cast<QComboBox*>(grid.cellWidget(0, 1))->currentText(), QStringLiteral("Equals"));
  EXPECT_EQ(grid.item(0, 2)->text(), QStringLiteral("/index.htm"));

  // Deleting a filter row is written too.
  grid.setCurrentCell(0, 2);
  page.DeleteFilterRow();
  page.Storing();
  EXPECT_EQ(w.WebsitesIni().find("filter=href"), std::string::npos);
  EXPECT_NE(w.WebsitesIni().find("filter=agent"), std::string::npos);
}

TEST(SitesMode, RenameRefusesEmptyAndTakenNames) {
  test::TSitesWindow w;
  ui::TSitesModePage& page = w.main->SitesPage();
  page.NewSite();
  page.SelectRow(1);
  QLineEdit& name = Child<QLineEdit>(page, "edtSiteName");
  for (const char* bad : {"", "  ", "Sample site"}) {
    SCOPED_TRACE(bad);
    w.host->messages.clear();
    name.setText(QString::fromUtf8(bad));
    emit name.editingFinished();
    ASSERT_EQ(w.host->messages.size(), 1u);
    EXPECT_EQ(name.text(), QStringLiteral("New Site 1"));
    EXPECT_EQ(SiteNames(*w.main->Context().sites), (std::vector<std::string>{"Sample site", "New Site 1"}));
  }
}

TEST(SitesMode, RecognizeRefusesAMaskedPath) {
  const std::string refusal =
      "To recognize log format, please, specify full path to concrete log file.\r\n"
      "The recognision cannot be applied to path with mask.";
  test::TSitesWindow w;
  ui::TSitesModePage& page = w.main->SitesPage();
  page.SelectRow(0);
  const QString before = page.FormatBox().currentText();
  for (const char* path : {"/var/log/*.log", "/var/log/ex0?.log", "logs/a*", "   "}) {
    SCOPED_TRACE(path);
    w.host->messages.clear();
    Type(Child<QLineEdit>(page, "edtSiteLogPath"), QString::fromUtf8(path));
    EXPECT_EQ(page.RecognizeFormat(), "");
    ASSERT_EQ(w.host->messages.size(), 1u);
    EXPECT_EQ(w.host->messages[0], refusal);
    EXPECT_EQ(page.FormatBox().currentText(), before);
  }
  // The wizard refuses the same way.
  ui::TfrmSiteWizard wizard(*w.main);
  wizard.LogPathEdit().setText(QStringLiteral("/logs/ex*.log"));
  w.host->messages.clear();
  EXPECT_EQ(wizard.RecognizeFormat(), "");
  ASSERT_EQ(w.host->messages.size(), 1u);
  EXPECT_EQ(w.host->messages[0], refusal);
}

TEST(SitesMode, RecognizeFillsTheFormatListAndSelectsTheNewFormat) {
  test::TSitesWindow w;
  const std::string log = w.dir / "w3c.log";
  test::WriteFile(log,
                  "#Software: Microsoft Internet Information Services 6.0\r\n#Version: 1.0\r\n"
                  "#Fields: time date c-ip sc-status cs-uri-stem\r\n"
                  "10:00:00 2024-01-02 10.0.0.1 200 /index.htm\r\n");
  ui::TSitesModePage& page = w.main->SitesPage();
  page.SelectRow(0);
  const int formats = page.FormatBox().count();
  Type(Child<QLineEdit>(page, "edtSiteLogPath"), ui::Q(log));
  EXPECT_EQ(page.RecognizeFormat(), "MS IIS 6.0 Custom 0");
  EXPECT_EQ(page.FormatBox().count(), formats + 1);
  EXPECT_EQ(page.FormatBox().currentText(), QStringLiteral("MS IIS 6.0 Custom 0"));
  EXPECT_EQ(page.EditedSite()->format, "MS IIS 6.0 Custom 0");
  ASSERT_EQ(w.host->messages.size(), 1u);
  EXPECT_NE(w.host->messages[0].find("MS IIS 6.0 Custom 0"), std::string::npos);

  // Choosing a file offers recognition when the setting allows it; "Dont
  // show me this message again" switches the offer off.
  w.main->Gui().ask_for_recognize_format = true;
  w.host->answer = false;
  w.host->dont_ask = true;
  page.LogPathChosen(ui::Q(log), true);
  EXPECT_EQ(w.host->questions.size(), 1u);
  EXPECT_FALSE(w.main->Gui().ask_for_recognize_format);
  page.LogPathChosen(ui::Q(log), true);
  EXPECT_EQ(w.host->questions.size(), 1u);
}

TEST(SitesMode, NewDuplicateMoveAndRemove) {
  test::TSitesWindow w;
  ui::TSitesModePage& page = w.main->SitesPage();
  TWS& sites = *w.main->Context().sites;
  page.NewSite();  // the wizard is off: a site with the defaults
  EXPECT_EQ(SiteNames(sites), (std::vector<std::string>{"Sample site", "New Site 1"}));
  EXPECT_EQ(page.SiteList().currentRow(), 1);
  EXPECT_NE(w.WebsitesIni().find("name=New Site 1\r\n"), std::string::npos);

  page.SelectRow(0);
  page.DuplicateSite();
  EXPECT_EQ(ui::S(page.SiteList().currentItem()->text()), "Sample site (copy)");
  page.SelectRow(0);
  page.DuplicateSite();  // a copy goes right below its original
  EXPECT_EQ(SiteNames(sites), (std::vector<std::string>{"Sample site", "Sample site (copy 2)",
                                                        "Sample site (copy)", "New Site 1"}));
  EXPECT_EQ(sites.GetSiteByName("Sample site (copy)")->log_path, "ex0012.log");
  EXPECT_EQ(ListNames(page.SiteList()), SiteNames(sites));

  // A drop moves the row in the list; the registry follows.
  page.SiteList().model()->moveRow(QModelIndex(), 3, QModelIndex(), 0);
  QApplication::processEvents();
  EXPECT_EQ(SiteNames(sites), (std::vector<std::string>{"New Site 1", "Sample site", "Sample site (copy 2)",
                                                        "Sample site (copy)"}));
  page.SiteList().model()->moveRow(QModelIndex(), 0, QModelIndex(), 4);
  QApplication::processEvents();
  EXPECT_EQ(SiteNames(sites), (std::vector<std::string>{"Sample site", "Sample site (copy 2)",
                                                        "Sample site (copy)", "New Site 1"}));
  EXPECT_EQ(ListNames(page.SiteList()), SiteNames(sites));

  // Remove asks first; No keeps the site.
  page.SelectRow(1);
  w.host->answer = false;
  page.RemoveSite();
  EXPECT_EQ(sites.Count(), 4u);
  ASSERT_EQ(w.host->questions.size(), 1u);
  EXPECT_NE(w.host->questions[0].find("\"Sample site (copy 2)\""), std::string::npos);
  w.host->answer = true;
  page.RemoveSite();
  EXPECT_EQ(SiteNames(sites), (std::vector<std::string>{"Sample site", "Sample site (copy)", "New Site 1"}));
  EXPECT_EQ(page.SiteList().currentRow(), 1);

  // Everything is in the file.
  TWS again(w.main->Folders());
  again.LoadFromFile();
  EXPECT_EQ(SiteNames(again), SiteNames(sites));
}

TEST(SitesMode, AnalysisOfferAfterCreation) {
  test::TSitesWindow w("AskAnalyzeAfterSiteCreation=-1\r\n");
  ui::TSitesModePage& page = w.main->SitesPage();
  w.host->answer = false;
  w.host->dont_ask = false;
  page.NewSite();
  ASSERT_EQ(w.host->questions.size(), 1u);
  EXPECT_TRUE(w.main->Gui().ask_analyze_after_site_creation);
  w.host->dont_ask = true;
  page.NewSite();
  EXPECT_EQ(w.host->questions.size(), 2u);
  EXPECT_FALSE(w.main->Gui().ask_analyze_after_site_creation);
  page.NewSite();
  EXPECT_EQ(w.host->questions.size(), 2u);
  EXPECT_EQ(w.main->Context().sites->Count(), 4u);
}

TEST(SitesMode, AdvancedOptionsFollowTheGuiSetting) {
  test::TSitesWindow w("ShowSiteAdvOpts=-1\r\n");
  ui::TSitesModePage& page = w.main->SitesPage();
  EXPECT_TRUE(page.AdvancedBox().isChecked());
  page.AdvancedBox().setChecked(false);
  page.Storing();
  EXPECT_FALSE(w.main->Gui().show_site_adv_opts);
  w.main->Gui().show_site_adv_opts = true;
  page.Opened();
  EXPECT_TRUE(page.AdvancedBox().isChecked());
}

TEST(SitesMode, FailedSaveGoesToTheStatusPaneAndKeepsTheEdit) {
  test::TSitesWindow w;
  ui::TSitesModePage& page = w.main->SitesPage();
  page.SelectRow(0);
  // A folder where the file should be: the save cannot replace it.
  std::filesystem::remove(w.dir / "websites.ini");
  std::filesystem::create_directory(w.dir / "websites.ini");
  Type(Child<QLineEdit>(page, "edtSiteEmail"), QStringLiteral("x@example.org"));
  EXPECT_FALSE(page.SaveSites());
  EXPECT_FALSE(w.host->status_lines.empty());
  EXPECT_EQ(w.main->Context().sites->Site(0).email, "x@example.org");
  // Once the way is free again, the next save writes the edit.
  std::filesystem::remove(w.dir / "websites.ini");
  EXPECT_TRUE(page.SaveSites());
  EXPECT_NE(w.WebsitesIni().find("email=x@example.org"), std::string::npos);
}

}  // namespace
}  // namespace trelvar
