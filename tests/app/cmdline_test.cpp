#include "app/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trelvar {
namespace {

TEST(TCmdLine, DefaultsWithoutArguments) {
  TCmdLine c;
  EXPECT_EQ(c.Parse({}), "");
  EXPECT_FALSE(c.has_parameters);
  EXPECT_FALSE(c.console);
  EXPECT_EQ(c.job.period.type, TPeriodType::None);
  EXPECT_EQ(c.job.period.to, Today());
  EXPECT_EQ(c.job.period.from, Today() - 30);
  EXPECT_EQ(c.job.period.count, 30);
  EXPECT_EQ(c.job.period.unit, 1);
}

TEST(TCmdLine, PrefixesInAnyCaseValuesKeepTheirCase) {
  TCmdLine c;
  EXPECT_EQ(c.Parse({"-CONSOLE", "-Analyze:My Site", "-outputdir:/srv/Out:put",
                     "-logpath:C:\\Logs\\ex*.log", "-reportfile:Rep.ini", "-exitnow", "console",
                     "-unknown:1"}),
            "");
  EXPECT_TRUE(c.has_parameters);
  EXPECT_TRUE(c.console);
  EXPECT_EQ(c.site_name, "My Site");
  EXPECT_EQ(c.job.output_folder, "/srv/Out:put");  // only the first ":" separates
  EXPECT_EQ(c.job.log_path, "C:\\Logs\\ex*.log");  // a drive letter keeps its ":"
  EXPECT_EQ(c.job.report_file, "Rep.ini");
}

TEST(TCmdLine, AutomationSwitches) {
  struct Case {
    std::vector<std::string> args;
    bool download, mail, all_sites, schedule;
  } cases[] = {
      {{"-console"}, false, false, false, false},
      {{"-console", "-DOWNLOAD", "-Mail"}, true, true, false, false},
      {{"-console", "-allsites", "-mail"}, false, true, true, false},
      {{"-console", "-schedule"}, false, false, false, true},
      {{"-console", "download", "schedule"}, false, false, false, false},  // no dash: ignored
  };
  for (const Case& c : cases) {
    TCmdLine cmd;
    EXPECT_EQ(cmd.Parse(c.args), "");
    EXPECT_EQ(cmd.download, c.download);
    EXPECT_EQ(cmd.mail, c.mail);
    EXPECT_EQ(cmd.all_sites, c.all_sites);
    EXPECT_EQ(cmd.schedule, c.schedule);
  }
}

TEST(TCmdLine, ConsoleWordWithoutDashIsIgnored) {
  TCmdLine c;
  c.Parse({"console", "-consoleX"});
  EXPECT_TRUE(c.console);  // "-consoleX" begins with "-console"
  TCmdLine d;
  d.Parse({"console"});
  EXPECT_FALSE(d.console);
  EXPECT_TRUE(d.has_parameters);
}

TEST(TCmdLine, AnalyzeAllSelectsNoSiteByName) {
  TCmdLine c;
  c.Parse({"-analyze:First", "-analyze:All"});
  EXPECT_EQ(c.site_name, "First");
  TCmdLine d;
  d.Parse({"-analyze:ALL"});
  EXPECT_EQ(d.site_name, "");
}

TEST(TCmdLine, PeriodOptions) {
  EXPECT_EQ(PeriodTypeFromText("all"), TPeriodType::All);
  EXPECT_EQ(PeriodTypeFromText("between"), TPeriodType::Between);
  EXPECT_EQ(PeriodTypeFromText("last"), TPeriodType::Last);
  EXPECT_EQ(PeriodTypeFromText("Last"), TPeriodType::None);
  EXPECT_EQ(PeriodTypeFromText("none"), TPeriodType::None);

  TCmdLine c;
  EXPECT_EQ(c.Parse({"-periodtype:between", "-periodfrom:2026-01-02", "-periodto:2026-02-03 12:30",
                     "-periodlast:7", "-periodmeasure:3"}),
            "");
  EXPECT_EQ(c.job.period.type, TPeriodType::Between);
  EXPECT_EQ(c.job.period.from, EncodeDate(2026, 1, 2));
  EXPECT_EQ(c.job.period.to, EncodeDate(2026, 2, 3) + EncodeTime(12, 30, 0));
  EXPECT_EQ(c.job.period.count, 7);
  EXPECT_EQ(c.job.period.unit, 3);
  TCmdLine d;
  d.Parse({"-periodtype:Last"});
  EXPECT_EQ(d.job.period.type, TPeriodType::None);
}

TEST(TCmdLine, ConversionErrorStopsTheParse) {
  TCmdLine c;
  const std::string error =
      c.Parse({"-logpath:/var/log", "-periodlast:abc", "-console", "-periodmeasure:2"});
  EXPECT_EQ(error,
            "Error during processing command line parameters: \n'abc' is not a valid integer value");
  EXPECT_EQ(c.job.log_path, "/var/log");
  EXPECT_FALSE(c.console);
  EXPECT_EQ(c.job.period.unit, 1);

  TCmdLine d;
  EXPECT_EQ(d.Parse({"-periodfrom:31.12.2026"}),
            "Error during processing command line parameters: \n"
            "'31.12.2026' is not a valid date and time");
}

}  // namespace
}  // namespace trelvar
