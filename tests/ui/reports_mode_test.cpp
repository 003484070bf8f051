#include "ui/reports_mode.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableWidget>

#include "reports/report_set.h"
#include "reports/run_context.h"
#include "ui/categories_dialog.h"
#include "ui/main_window_fixture.h"
#include "ui/report_definition.h"

namespace trelvar::ui {
namespace {

const char kReports[] =
    "category=Pages\r\ncategory=Visitors\r\ncategory=Referrers\r\n\r\n"
    "type=basic\r\nname=Top pages\r\ncategoryno=0\r\nfooter=true\r\n"
    "rem=The pages requested most often.\r\nfilter=referrer;includes;a;b\r\nlimit=20\r\n"
    "percentage=true\r\nsortby=value\r\nsortorder=descending\r\nshow_table=true\r\n"
    "show_chart=true\r\nchart_type=  Fancy Chart \r\nparam=href\r\npagesonly=true\r\n\r\n"
    "type=terminal\r\nname=Entry pages\r\ncategoryno=1\r\nfilter=robot;equals;\r\n"
    "is_entry_page=true\r\nis_exit_page=false\r\n\r\n"
    "type=user_model\r\nname=Models\r\ncategoryno=2\r\nmodel_count=7\r\n";

class ReportsModeTest : public test::MainWindowTest {
 protected:
  std::string ReportsIni() const override { return kReports; }

  TReportsModePage& Page() { return main->ReportsPage(); }
  TRepParser& Set() { return *main->Context().report_set; }
  void EnterReports() { main->Modes().SwitchTo(static_cast<int>(TMode::Reports)); }
  void LeaveReports() { main->Modes().SwitchTo(static_cast<int>(TMode::Schedule)); }

  int ParamRow(const QString& key) {
    QTableWidget& t = Page().ParamTable();
    for (int row = 0; row < t.rowCount(); ++row)
      if (t.item(row, 0)->text() == key) return row;
    return -1;
  }
  QString ParamValue(const QString& key) {
    const int row = ParamRow(key);
    return row < 0 ? QString() : Page().ParamTable().item(row, 1)->text();
  }
  // Types into a value cell as the user does (the table reports the edit).
  void SetParam(const QString& key, const QString& value) {
    const int row = ParamRow(key);
    ASSERT_GE(row, 0) << key.toStdString();
    Page().ParamTable().item(row, 1)->setText(value);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (auto& r : Set().reports) names.push_back(r->report_name);
    return names;
  }
  std::vector<std::string> ListNames() {
    std::vector<std::string> names;
    for (int i = 0; i < Page().ReportList().count(); ++i)
      names.push_back(Page().ReportList().item(i)->text().toStdString());
    return names;
  }
};

TEST_F(ReportsModeTest, EditsReachTheReportFileAndComeBackAfterOpen) {
  EnterReports();
  Page().SelectReport(0);
  EXPECT_EQ(Page().TypeLabel().text(), QStringLiteral("Basic Report"));
  EXPECT_EQ(Page().CategoryBox().currentText(), QStringLiteral("Pages"));
  EXPECT_EQ(ParamValue("chart_type"), QStringLiteral("  Fancy Chart "));

  Page().NameEdit().setText(QStringLiteral("Best pages"));
  Page().CategoryBox().setCurrentIndex(2);
  SetParam("limit", "35");
  Page().RemarksEdit().setPlainText(QStringLiteral("first\n\nsecond"));
  QTableWidget& filters = Page().FilterTable();
  ASSERT_EQ(filters.rowCount(), 1);
  filters.item(0, 2)->setText(QStringLiteral("x;y"));
  Page().AddFilter();
  ASSERT_EQ(filters.rowCount(), 2);
  filters.item(1, 2)->setText(QStringLiteral("/shop"));
  LeaveReports();
  EXPECT_FALSE(Page().Changed());

  const std::string file = DataFile("reports.ini");
  EXPECT_NE(file.find("name=Best pages\r\ncategoryno=2\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("limit=35\r\n"), std::string::npos);
  EXPECT_NE(file.find("rem=first\r\nrem=\r\nrem=second\r\n"), std::string::npos);
  EXPECT_NE(file.find("filter=referrer;includes;x;y\r\nfilter=href;includes;/shop\r\n"),
            std::string::npos);
  // Values the editor only passes on come back as they were.
  EXPECT_NE(file.find("chart_type=  Fancy Chart \r\n"), std::string::npos);
  EXPECT_NE(file.find("model_count=7\r\n"), std::string::npos);
  EXPECT_NE(file.find("type=terminal\r\nname=Entry pages\r\ncategoryno=1\r\nfooter=true\r\n"
                      "filter=robot;equals;\r\n"),
            std::string::npos);

  main->Open();
  EnterReports();
  Page().SelectReport(0);
  EXPECT_EQ(Page().NameEdit().text(), QStringLiteral("Best pages"));
  EXPECT_EQ(Page().CategoryBox().currentText(), QStringLiteral("Referrers"));
  EXPECT_EQ(ParamValue("limit"), QStringLiteral("35"));
  EXPECT_EQ(ParamValue("chart_type"), QStringLiteral("  Fancy Chart "));
  EXPECT_EQ(Page().RemarksEdit().toPlainText(), QStringLiteral("first\n\nsecond"));
  ASSERT_EQ(Page().FilterTable().rowCount(), 2);
  EXPECT_EQ(Page().FilterTable().item(0, 2)->text(), QStringLiteral("x;y"));
  Page().SelectReport(2);
  EXPECT_EQ(ParamValue("model_count"), QStringLiteral("7"));
}

TEST_F(ReportsModeTest, ValuesTheReportDoesNotTakeAreSaidAndNotStored) {
  EnterReports();
  Page().SelectReport(0);
  SetParam("limit", "many");  // not a number: the report refuses the definition
  EXPECT_TRUE(Page().Note().contains(QStringLiteral("many"))) << Page().Note().toStdString();
  EXPECT_NE(Set().reports[0]->SaveParams(false).find("limit=20\r\n"), std::string::npos);

  SetParam("limit", "20");
  SetParam("sortby", "size");  // neither word: read as "value"
  EXPECT_TRUE(Page().Note().contains(QStringLiteral("size"))) << Page().Note().toStdString();
  EXPECT_EQ(ParamValue("sortby"), QStringLiteral("value"));

  struct {
    const char* name;
    const char* why;
  } refused[] = {{"", "empty"}, {"   ", "blank"}, {"entry PAGES", "taken, other case"}};
  for (const auto& c : refused) {
    SCOPED_TRACE(c.why);
    Page().NameEdit().setText(QString::fromUtf8(c.name));
    EXPECT_FALSE(Page().ApplyEditor());
    EXPECT_EQ(Set().reports[0]->report_name, "Top pages");
    EXPECT_EQ(Page().NameEdit().text(), QStringLiteral("Top pages"));
    EXPECT_FALSE(Page().Note().isEmpty());
  }
  // A line break typed into a value cannot split the definition line.
  SetParam("chart_type", "pie\nlimit=1");
  EXPECT_NE(Set().reports[0]->SaveParams(false).find("chart_type=pie limit=1\r\nparam="),
            std::string::npos);
}

TEST_F(ReportsModeTest, AddDuplicateDeleteAndMove) {
  EnterReports();
  Page().AddReport("terminal");
  Page().AddReport("basic");
  EXPECT_EQ(Names(), (std::vector<std::string>{"Top pages", "Entry pages", "Models",
                                               "Terminal Report", "New report 1"}));
  EXPECT_EQ(Page().SelectedReport(), 4);
  EXPECT_EQ(Page().TypeLabel().text(), QStringLiteral("Basic Report"));

  Page().DuplicateReport(1);
  ASSERT_EQ(Set().reports.size(), 6u);
  TCustomWReport& copy = *Set().reports[5];
  EXPECT_EQ(copy.report_name, "Entry pages1");
  EXPECT_EQ(copy.category_no, 1);
  EXPECT_EQ(TReportDefinition::Of(copy).params, TReportDefinition::Of(*Set().reports[1]).params);
  EXPECT_EQ(Page().FilterTable().rowCount(), 1);  // the copy's filter, in the editor

  // Delete asks first; "No" keeps the report.
  Page().SelectReport(3);
  QPushButton* del = Page().findChild<QPushButton*>(QStringLiteral("btnDeleteReport"));
  ASSERT_NE(del, nullptr);
  QString question;
  test::AnswerNextBox(QMessageBox::No, &question);
  del->click();
  EXPECT_TRUE(question.contains(QStringLiteral("Terminal Report")));
  EXPECT_EQ(Set().reports.size(), 6u);
  test::AnswerNextBox(QMessageBox::Yes);
  del->click();
  EXPECT_EQ(Names(), (std::vector<std::string>{"Top pages", "Entry pages", "Models",
                                               "New report 1", "Entry pages1"}));
  EXPECT_EQ(Page().NameEdit().text(), QStringLiteral("New report 1"));

  // Moving by the list's model, as a drop does, in both directions.
  Page().SelectReport(0);
  Page().MoveReport(0, 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Entry pages", "Models", "Top pages",
                                               "New report 1", "Entry pages1"}));
  EXPECT_EQ(ListNames(), Names());
  EXPECT_EQ(Page().SelectedReport(), 2);
  EXPECT_EQ(Page().NameEdit().text(), QStringLiteral("Top pages"));
  Page().MoveReport(4, 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Entry pages1", "Entry pages", "Models",
                                               "Top pages", "New report 1"}));
  EXPECT_EQ(ListNames(), Names());
  // The editor still edits the report it showed.
  Page().NameEdit().setText(QStringLiteral("Top pages (moved)"));
  Page().ApplyEditor();
  EXPECT_EQ(Set().reports[3]->report_name, "Top pages (moved)");

  LeaveReports();
  const std::string file = DataFile("reports.ini");
  EXPECT_LT(file.find("name=Entry pages1"), file.find("name=Top pages (moved)"));
  EXPECT_EQ(file.find("name=Terminal Report"), std::string::npos);
}

TEST_F(ReportsModeTest, ReportSetLoadedAgainUnderTheEditorIsNotOverwritten) {
  EnterReports();
  Page().SelectReport(0);
  // An analysis loads another report file while the mode is shown.
  Set().Clear();
  Set().LoadFromText("type=basic\r\nname=Other\r\nlimit=5\r\n");
  Page().NameEdit().setText(QStringLiteral("Typed"));
  EXPECT_FALSE(Page().ApplyEditor());
  EXPECT_EQ(Set().reports[0]->report_name, "Other");
  EXPECT_EQ(Page().NameEdit().text(), QStringLiteral("Other"));
}

TEST_F(ReportsModeTest, EmptyCategoryNumberIsShownAndKept) {
  Set().reports[2]->category_no = 7;
  main->ReportsPage().Refill();
  EnterReports();
  Page().SelectReport(2);
  EXPECT_TRUE(Page().CategoryBox().currentText().contains(QStringLiteral("7")));
  Page().NameEdit().setText(QStringLiteral("Models 2"));
  ASSERT_TRUE(Page().ApplyEditor());
  EXPECT_EQ(Set().reports[2]->category_no, 7);
}

TEST_F(ReportsModeTest, CategoriesDialogKeepsEveryReportInItsCategory) {
  EnterReports();
  TfrmCategories dialog(*main);
  TCategoryEdit& edit = dialog.Edit();
  ASSERT_EQ(edit.Count(), 3);
  EXPECT_EQ(edit.ReportCount(0), 1);
  // Pages goes first to the end, then Visitors (now first) is deleted: its
  // report joins the category after it, Referrers.
  edit.Move(0, 2);
  EXPECT_TRUE(edit.Remove(0));
  EXPECT_TRUE(edit.Rename(0, "Sources"));
  EXPECT_FALSE(edit.Rename(0, "two\nlines"));
  EXPECT_TRUE(edit.Add("Downloads"));
  dialog.Refill(0);
  dialog.accept();
  ASSERT_EQ(Set().categories.size(), 3u);
  EXPECT_EQ(Set().categories[0].name, "Sources");
  EXPECT_EQ(Set().categories[1].name, "Pages");
  EXPECT_EQ(Set().categories[2].name, "Downloads");
  EXPECT_EQ(Set().reports[0]->category_no, 1);  // Top pages: Pages
  EXPECT_EQ(Set().reports[1]->category_no, 0);  // Entry pages: was Visitors
  EXPECT_EQ(Set().reports[2]->category_no, 0);  // Models: Referrers, now Sources
}

TEST_F(ReportsModeTest, CategoryEditCases) {
  struct TCase {
    const char* what;
    std::vector<int> numbers;          // the reports' categories before
    std::function<bool(TCategoryEdit&)> change;
    std::vector<std::string> names;    // after
    std::vector<int> expected;         // the reports' categories after
  };
  const TCase cases[] = {
      {"delete the first: its reports join the next", {0, 1, 2}, [](TCategoryEdit& e) { return e.Remove(0); },
       {"Visitors", "Referrers"}, {0, 0, 1}},
      {"delete the middle: its reports join the one before", {0, 1, 2},
       [](TCategoryEdit& e) { return e.Remove(1); }, {"Pages", "Referrers"}, {0, 0, 1}},
      {"swap two: the reports go along", {0, 1, 1},
       [](TCategoryEdit& e) { e.Move(1, 0); return true; }, {"Visitors", "Pages", "Referrers"}, {1, 0, 0}},
      {"a number naming no category is kept", {5, -1, 2},
       [](TCategoryEdit& e) { return e.Remove(0); }, {"Visitors", "Referrers"}, {5, -1, 1}},
      {"the last category with reports is refused", {0, 0, 0},
       [](TCategoryEdit& e) { return e.Remove(2) && e.Remove(1) && !e.Remove(0); }, {"Pages"}, {0, 0, 0}},
      {"the last empty category may go", {5, 5, 5},
       [](TCategoryEdit& e) { return e.Remove(2) && e.Remove(1) && e.Remove(0); }, {}, {5, 5, 5}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    Set().categories = {{"Pages"}, {"Visitors"}, {"Referrers"}};
    for (size_t i = 0; i < 3; ++i) Set().reports[i]->category_no = c.numbers[i];
    TCategoryEdit edit(Set());
    EXPECT_TRUE(c.change(edit));
    edit.ApplyTo(Set());
    std::vector<std::string> names;
    for (const TRepCategory& cat : Set().categories) names.push_back(cat.name);
    EXPECT_EQ(names, c.names);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Set().reports[i]->category_no, c.expected[i]) << i;
  }
}

TEST_F(ReportsModeTest, CategoriesCancelledChangeNothing) {
  EnterReports();
  const std::string before = Set().SaveToText();
  TfrmCategories dialog(*main);
  dialog.Edit().Remove(0);
  dialog.Edit().Add("More");
  dialog.reject();
  EXPECT_EQ(Set().SaveToText(), before);
}

}  // namespace
}  // namespace trelvar::ui
