#include "automation/job_runner.h"

#include "automation/ftp_download.h"
#include "reports/run_context.h"

namespace trelvar {

void TJobRunner::Download(const std::string& site_name) {
  const TDownloadResult r = DownloadSiteLogs(*ctx_.sites, ctx_.folders, site_name, true);
  if (r.found && !r.completed) Fail();
}

void TJobRunner::Analyze(const std::string& site_name, bool send_mail) {
  const TAnalysisResult r = trelvar::Analyze(ctx_, options_, site_name, send_mail);
  if (!r.found) return;  // a site that is gone: nothing to do
  if (!r.completed || (send_mail && !r.mailed))
    Fail();
  else if (r.incomplete && status_ == 0)
    status_ = 3;
}

std::vector<std::string> TJobRunner::SiteNames() {
  std::vector<std::string> names;
  for (size_t i = 0; i < ctx_.sites->Count(); ++i) names.push_back(ctx_.sites->Site(i).name);
  return names;
}

}  // namespace trelvar
