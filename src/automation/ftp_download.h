// The FTP log download of a site: its remote log file, or every remote
// file that matches its remote mask, into its local log folder.
//
// TFtpDownloadJob runs the download from connecting to disconnecting:
// connect and log in, then either change to the remote folder and list it
// (a folder or a wildcard path) or ask for the one file's size, fetch file
// after file, quit. A local file that exists is resumed from its size when
// the server allows it; one of the remote size already is left alone. A
// file or folder the server does not offer (its 550) restarts the job
// with the other data connection mode, three times at most; a server that
// refuses to resume gets a whole download instead. Every step writes a
// coloured status line and transfers report their progress once a second,
// both through the run control.
//
// Safety: a local log is only appended to or replaced whole: a whole
// download goes to a temporary file beside it that is renamed over it
// when the transfer is complete, so a failed transfer leaves the old file
// as it was. Listed names that would leave the local folder are skipped.
// The listing passes through a temporary file in the data folder, which
// is always removed.
//
// Failure: an error the job cannot get over ends it with a red line (the
// session is closed, nothing waits); a local file larger than its remote
// one and a listed name that cannot be a local name are red lines too,
// and the job goes on with the next file. The result says whether
// everything was fetched and carries the last red line. Run() on one
// thread; Cancel() from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/ftp_client.h"
#include "base/run_control.h"
#include "config/folders.h"
#include "sites/sites_registry.h"

namespace trelvar {

struct TDownloadResult {
  bool found = false;  // the site exists
  // Every file was fetched or was complete already. Errors the job got
  // over (a refused resume followed by a whole download, a retry in the
  // other mode that worked) do not count against it.
  bool completed = false;
  std::string error;      // the last red line, "" without one
  int files_fetched = 0;  // transfers that finished
};

// The websites.ini keys of the FTP settings that a site lacks for a
// download without questions ("username", "userpwd", "remotehost",
// "remoteport", "remotelogpath", "logpath"); empty when it has them all.
std::vector<std::string> MissingFtpFields(const TWebSite& site);
inline bool HasFtpFields(const TWebSite& site) { return MissingFtpFields(site).empty(); }

// Timeouts of the job's connections, in seconds.
struct TFtpTimeouts {
  long connect = 30;
  long stall = 60;
};

class TFtpDownloadJob {
 public:
  // The site (not owned) must outlive the job.
  TFtpDownloadJob(const TWebSite& site, const TFolders& folders, TFtpTimeouts timeouts = {});
  ~TFtpDownloadJob();
  TFtpDownloadJob(const TFtpDownloadJob&) = delete;
  TFtpDownloadJob& operator=(const TFtpDownloadJob&) = delete;

  // Runs the download to its end; the result's `found` is set.
  TDownloadResult Run();
  // Aborts the running request and ends the job; safe from any thread and
  // from the handlers the job calls.
  void Cancel() { cancel_ = true; }

 private:
  using TNext = std::optional<TFtpReply>;

  TNext Start();
  TNext OnRequestDone(const TFtpReply& reply);
  TNext Connected();
  TNext FolderChanged();
  TNext ListingReceived();
  TNext SizeReceived(int64_t size);
  TNext Fetch();
  TNext TransferFinished(const TFtpReply& reply);
  TNext NextFile();
  TNext Failed(const TFtpReply& reply);
  TNext End();

  void Line(const std::string& text, TStatusColour colour);
  void ErrorLine(const std::string& text);
  void OnProgress(int64_t bytes);
  void ResetClock();
  void RemoveTempFiles();
  std::string RemotePath() const;
  int64_t CurrentSize() const;
  std::string LocalPath() const;

  const TWebSite& site_;
  TFolders folders_;
  TFtpTimeouts timeouts_;
  std::atomic<bool> cancel_{false};
  std::unique_ptr<TFtpClient> client_;
  TDownloadResult result_;

  std::string host_;
  int port_ = 21;
  bool passive_ = false;
  bool incomplete_ = false;    // an error ended the job or left a file out
  bool transferring_ = false;  // a download or resume is running
  int retries_ = 0;
  bool single_file_ = true;
  bool resume_allowed_ = true;
  std::string remote_path_;    // the site's, with "/" only
  std::string remote_folder_;  // folder mode: ends in "/" (or is empty)
  std::string mask_;           // folder mode: the names to fetch
  std::string local_path_;     // the site's first log path piece, absolute
  std::vector<std::string> files_;  // folder mode: remote names
  std::vector<int64_t> sizes_;
  int64_t expected_ = 0;
  int64_t offset_ = 0;
  size_t index_ = 0;
  int64_t finished_ = 0;
  int64_t clock_start_ms_ = 0;
  int64_t next_refresh_ms_ = 0;
  std::string listing_file_;  // "" when none is open
  std::string partial_file_;  // the temporary file of a whole download
};

// Starts the download of the site `site_name` of `sites` and waits for its
// end. A site that is not there does nothing (found false, no line). In
// `automatic` mode (the schedule, the command line) a site without every
// FTP setting gets a line naming the missing ones; otherwise the caller
// has asked the user for them before.
TDownloadResult DownloadSiteLogs(TWS& sites, const TFolders& folders,
                                 const std::string& site_name, bool automatic);

}  // namespace trelvar
