#include "ui/window_tasks.h"

#include "base/text_helpers.h"
#include "config/translator.h"
#include "reports/run_context.h"
#include "sites/sites_registry.h"
#include "ui/download_window.h"
#include "ui/ftp_dialogs.h"
#include "ui/main_mode.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"

namespace trelvar::ui {

namespace {

// Sets the flag for the length of a job, also when it raises.
class TBusy {
 public:
  explicit TBusy(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
  ~TBusy() { flag_ = was_; }
  TBusy(const TBusy&) = delete;
  TBusy& operator=(const TBusy&) = delete;

 private:
  bool& flag_;
  bool was_;
};

}  // namespace

TAnalysisResult RunAnalysis(TfrmMainW& main, const std::string& site_name, bool send_mail) {
  if (!main.IsOpen()) return {};
  TJobOptions options = main.MainPage().JobOptions();
  options.gui = &main.Gui();
  options.busy = &main.Busy();
  const TAnalysisResult result = Analyze(main.Context(), options, site_name, send_mail);
  // The pass turns the window off while it reads; whatever way the job
  // ended, the window is the user's again and the progress window gone.
  main.setEnabled(true);
  main.ProgressWindow().Mirror();
  return result;
}

TDownloadResult RunDownload(TfrmMainW& main, const std::string& site_name, bool automatic) {
  TDownloadResult result;
  if (!main.IsOpen() || main.Context().sites == nullptr) return result;
  TWS& sites = *main.Context().sites;
  TWebSite* site = sites.GetSiteByName(site_name);
  if (site == nullptr) return result;
  if (automatic && !HasFtpFields(*site)) {
    // The same line as a run without windows gives.
    return DownloadSiteLogs(sites, main.Folders(), site_name, true);
  }
  if (!automatic) {
    if (!EditFtpConnection(&main, *site, main.Folders())) return result;
    main.Guarded([&] { sites.SaveToFile(); });
  }
  TBusy busy(main.Busy());
  TFtpDownloadJob job(*site, main.Folders());
  return main.DownloadWindow().Run(job, automatic);
}

void TWindowTasks::Download(const std::string& site_name) {
  main_.Modes().SwitchTo(static_cast<int>(TMode::Main));
  RunDownload(main_, site_name, true);
}

void TWindowTasks::Analyze(const std::string& site_name, bool send_mail) {
  main_.Modes().SwitchTo(static_cast<int>(TMode::Main));
  RunAnalysis(main_, site_name, send_mail);
}

std::vector<std::string> TWindowTasks::SiteNames() {
  std::vector<std::string> names;
  if (!main_.IsOpen() || main_.Context().sites == nullptr) return names;
  const TWS& sites = *main_.Context().sites;
  for (size_t i = 0; i < sites.Count(); ++i) names.push_back(sites.Site(i).name);
  return names;
}

}  // namespace trelvar::ui
