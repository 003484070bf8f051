// TJobRunner: the jobs of a schedule task or of the command line's
// automation, run one after another on one run context without questions:
// the FTP download of a site's logs (automatic mode), its analysis, and
// the zipped reports by mail.
//
// It keeps the worst outcome of its jobs as an exit status of the one-shot
// run: a failed download, analysis or mail is 1, an analysis of incomplete
// input 3. Errors of a job end in their lines and do not stop the next job.
// Main thread only.
#pragma once

#include <string>
#include <vector>

#include "automation/analysis_job.h"
#include "automation/scheduler.h"

namespace trelvar {

struct TRunContext;

class TJobRunner : public TTaskRunner {
 public:
  TJobRunner(TRunContext& ctx, TJobOptions options) : ctx_(ctx), options_(std::move(options)) {}

  void Download(const std::string& site_name) override;
  void Analyze(const std::string& site_name, bool send_mail) override;
  std::vector<std::string> SiteNames() override;

  // 0 while every job went through (see the header comment).
  int ExitStatus() const { return status_; }

 private:
  void Fail() { status_ = 1; }

  TRunContext& ctx_;
  TJobOptions options_;
  int status_ = 0;
};

}  // namespace trelvar
