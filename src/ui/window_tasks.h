// The jobs of the windowed application: the analysis job and the FTP
// download for a site, with the window's options, its questions and its
// busy flag; TWindowTasks runs them for the schedule.
#pragma once

#include <string>
#include <vector>

#include "automation/analysis_job.h"
#include "automation/ftp_download.h"
#include "automation/scheduler.h"

namespace trelvar::ui {

class TfrmMainW;

// The analysis job of a site with the Main mode's overrides and period and
// the command line's options; the GUI settings let it ask its questions.
TAnalysisResult RunAnalysis(TfrmMainW& main, const std::string& site_name, bool send_mail);

// The FTP download of a site's logs in the download window. Unless
// `automatic`, the connection dialog comes first (the user may cancel:
// nothing happens then); in automatic mode a site without every FTP
// setting gets a line naming the missing ones. The busy flag is set while
// it runs.
TDownloadResult RunDownload(TfrmMainW& main, const std::string& site_name, bool automatic);

class TWindowTasks : public TTaskRunner {
 public:
  explicit TWindowTasks(TfrmMainW& main) : main_(main) {}
  // Each job of a task shows the Main mode first.
  void Download(const std::string& site_name) override;
  void Analyze(const std::string& site_name, bool send_mail) override;
  std::vector<std::string> SiteNames() override;

 private:
  TfrmMainW& main_;
};

}  // namespace trelvar::ui
