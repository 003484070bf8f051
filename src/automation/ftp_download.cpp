#include "automation/ftp_download.h"

#include <limits>

#include "automation/ftp_listing.h"
#include "automation/ftp_progress.h"
#include "base/errors.h"
#include "base/run_control.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/translator.h"
#include "platform/files.h"
#include "platform/system.h"

namespace trelvar {

namespace {

// Restarts with the other data connection mode before giving up.
constexpr int kPassiveRetries = 3;
constexpr int64_t kRefreshMs = 1000;

int64_t AddSizes(int64_t a, int64_t b) {
  return a > std::numeric_limits<int64_t>::max() - b ? std::numeric_limits<int64_t>::max()
                                                     : a + b;
}

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

// A remote name as a status line may show it: control characters could
// steer a terminal.
std::string Printable(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  return text;
}

std::string ExceptionText(const std::exception& e) {
  if (const auto* own = dynamic_cast<const Exception*>(&e))
    return own->Message() + " " + own->ClassName();
  return e.what();
}

// A host name that cannot change the meaning of the address it goes into.
bool UsableHost(const std::string& host) {
  if (host.empty()) return false;
  for (char c : host)
    if (static_cast<unsigned char>(c) <= 32 || c == 127 ||
        std::string_view("/\\?#@[]%").find(c) != std::string_view::npos)
      return false;
  return true;
}

}  // namespace

std::vector<std::string> MissingFtpFields(const TWebSite& site) {
  std::vector<std::string> missing;
  if (Trim(site.user_name).empty()) missing.push_back("username");
  if (site.password.empty()) missing.push_back("userpwd");
  if (Trim(site.remote_host).empty()) missing.push_back("remotehost");
  if (Trim(site.remote_port).empty()) missing.push_back("remoteport");
  if (Trim(site.remote_log_path).empty()) missing.push_back("remotelogpath");
  if (Trim(site.log_path).empty()) missing.push_back("logpath");
  return missing;
}

namespace {

std::string MissingFieldsLine(const std::string& site, const std::vector<std::string>& missing) {
  std::string list;
  for (const std::string& key : missing) list += (list.empty() ? "" : ", ") + key;
  return FormatText(Translate(1121, "The site \"%1\" cannot download its logs by FTP without "
                                    "these settings: %2."),
                    {site, list});
}

}  // namespace

TFtpDownloadJob::TFtpDownloadJob(const TWebSite& site, const TFolders& folders,
                                 TFtpTimeouts timeouts)
    : site_(site), folders_(folders), timeouts_(timeouts) {}

TFtpDownloadJob::~TFtpDownloadJob() { RemoveTempFiles(); }

void TFtpDownloadJob::Line(const std::string& text, TStatusColour colour) {
  RunControl().StatusLine(text, colour);
}

void TFtpDownloadJob::ErrorLine(const std::string& text) {
  result_.error = text;
  Line(text, TStatusColour::Red);
}

TDownloadResult TFtpDownloadJob::Run() {
  result_ = TDownloadResult();
  result_.found = true;
  incomplete_ = false;
  std::vector<std::string> missing;
  for (const std::string& key : MissingFtpFields(site_))
    if (key != "username" && key != "userpwd") missing.push_back(key);
  if (!missing.empty()) {
    ErrorLine(MissingFieldsLine(site_.name, missing));
    return result_;
  }
  host_ = Trim(site_.remote_host);
  if (!UsableHost(host_)) {
    ErrorLine(FormatText(Translate(1123, "The FTP server name \"%1\" of the site \"%2\" "
                                         "cannot be used."),
                         {Printable(host_), site_.name}));
    return result_;
  }
  if (!TryStrToInt(Trim(site_.remote_port), port_) || port_ < 1 || port_ > 65535) {
    ErrorLine(FormatText(Translate(1122, "The FTP port \"%1\" of the site \"%2\" is not a "
                                         "port number."),
                         {Printable(site_.remote_port), site_.name}));
    return result_;
  }
  remote_path_ = ToNativeSeparators(Trim(site_.remote_log_path));
  std::string local = Trim(BeforeChar(site_.log_path, ';'));
  local = ExpandDatePatterns(local, Now(), '<', '>');
  local = ExpandDatePatterns(local, Now(), '(', ')');
  local_path_ = folders_.DataPath(local);
  passive_ = site_.passive_mode;
  retries_ = 0;

  try {
    TNext next = Start();
    while (next) next = OnRequestDone(*next);
  } catch (const std::exception& e) {
    ErrorLine("Error : " + ExceptionText(e));
    End();
  }
  client_.reset();
  RemoveTempFiles();
  result_.completed = !incomplete_;
  return result_;
}

TFtpDownloadJob::TNext TFtpDownloadJob::Start() {
  Line("Connecting to " + host_, TStatusColour::Blue);
  single_file_ = true;
  TFtpSettings settings;
  settings.host = host_;
  settings.port = port_;
  settings.user = site_.user_name;
  settings.password = site_.password;
  settings.passive = passive_;
  settings.connect_timeout_seconds = timeouts_.connect;
  settings.stall_timeout_seconds = timeouts_.stall;
  client_ = std::make_unique<TFtpClient>(settings, &cancel_);
  client_->SetOnSession([this](bool open) {
    Line(open ? "Session connected" : "Session closed", TStatusColour::Black);
  });
  client_->SetOnProgress([this](int64_t bytes) { OnProgress(bytes); });
  return client_->Connect();
}

TFtpDownloadJob::TNext TFtpDownloadJob::OnRequestDone(const TFtpReply& reply) {
  transferring_ = false;
  if (cancel_ || reply.failure == TFtpFailure::Cancelled) {
    ErrorLine(Translate(1126, "Download cancelled"));
    return End();
  }
  if (!reply.ok()) return Failed(reply);
  switch (reply.request) {
    case TFtpRequest::Connect:
      return Connected();
    case TFtpRequest::ChangeFolder:
      return FolderChanged();
    case TFtpRequest::List:
      return ListingReceived();
    case TFtpRequest::Size:
      return SizeReceived(reply.size);
    case TFtpRequest::Download:
    case TFtpRequest::Resume:
      return TransferFinished(reply);
    case TFtpRequest::Quit:
      Line("Disconnected", TStatusColour::Black);
      return std::nullopt;
  }
  return std::nullopt;
}

TFtpDownloadJob::TNext TFtpDownloadJob::Connected() {
  Line("Connected", TStatusColour::Green);
  resume_allowed_ = true;
  const size_t slash = remote_path_.rfind('/');
  const std::string name = remote_path_.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.empty() || HasWildcard(name)) {
    remote_folder_ = slash == std::string::npos ? "" : remote_path_.substr(0, slash + 1);
    mask_ = name.empty() ? "*" : name;
    Line("Changing directory to " + remote_folder_ + "...", TStatusColour::Blue);
    single_file_ = false;
    return client_->ChangeFolder(remote_folder_);
  }
  Line("Getting file information...", TStatusColour::Blue);
  single_file_ = true;
  return client_->Size(remote_path_);
}

TFtpDownloadJob::TNext TFtpDownloadJob::FolderChanged() {
  platform::ForceFolders(folders_.Data());
  listing_file_ = platform::CreateUniqueFile(folders_.Data(), "temp", ".tmp");
  if (listing_file_.empty()) {
    ErrorLine("Error : Cannot create file \"" + folders_.Data() + "temp.tmp\"");
    return End();
  }
  Line("Getting directory information...", TStatusColour::Blue);
  return client_->List(remote_folder_, listing_file_);
}

TFtpDownloadJob::TNext TFtpDownloadJob::ListingReceived() {
  std::string text;
  const bool read = platform::ReadWholeFile(listing_file_, text);
  const std::string listing = listing_file_;
  RemoveTempFiles();
  if (!read) {
    ErrorLine("Error : Cannot open file \"" + listing + "\"");
    return End();
  }
  files_.clear();
  sizes_.clear();
  expected_ = 0;
  for (const std::string& line : SplitTextLines(text)) {
    const std::optional<TListingEntry> entry = ParseListingLine(line);
    if (!entry || entry->is_folder || !platform::MatchesWildcard(mask_, entry->name)) continue;
    if (!IsSafeLocalName(entry->name)) {
      incomplete_ = true;
      ErrorLine(FormatText(Translate(1124, "The listed file %1 is skipped: its name cannot be "
                                           "a local file name."),
                           {Printable(entry->name)}));
      continue;
    }
    files_.push_back(entry->name);
    sizes_.push_back(entry->size);
    expected_ = AddSizes(expected_, entry->size);
  }
  Line("Found " + std::to_string(files_.size()) + " files", TStatusColour::Green);
  ResetClock();
  if (files_.empty()) {
    Line("No files found", TStatusColour::Black);
    return client_->Quit();
  }
  index_ = 0;
  finished_ = 0;
  return Fetch();
}

TFtpDownloadJob::TNext TFtpDownloadJob::SizeReceived(int64_t size) {
  if (size < 0) {
    ErrorLine(FormatText(Translate(1127, "The FTP server did not tell the size of %1."),
                         {remote_path_}));
    return End();
  }
  expected_ = size;
  Line("Total file size is " + KBText(size), TStatusColour::Green);
  ResetClock();
  return Fetch();
}

std::string TFtpDownloadJob::RemotePath() const {
  return single_file_ ? remote_path_ : remote_folder_ + files_[index_];
}

int64_t TFtpDownloadJob::CurrentSize() const {
  return single_file_ ? expected_ : sizes_[index_];
}

std::string TFtpDownloadJob::LocalPath() const {
  const std::string name = ExtractFileName(local_path_);
  if (single_file_ && !name.empty() && !HasWildcard(name)) return local_path_;
  // A local folder or mask takes the remote file's own name.
  return ExtractFileDir(local_path_) + ExtractFileName(RemotePath());
}

TFtpDownloadJob::TNext TFtpDownloadJob::Fetch() {
  const std::string remote = RemotePath();
  const std::string local = LocalPath();
  if (!IsSafeLocalName(ExtractFileName(local))) {
    ErrorLine(FormatText(Translate(1124, "The listed file %1 is skipped: its name cannot be "
                                         "a local file name."),
                         {Printable(remote)}));
    return End();
  }
  const int64_t size = CurrentSize();
  if (platform::IsRegularFile(local) && resume_allowed_) {
    Line("Restoring file " + local + "...", TStatusColour::Blue);
    offset_ = platform::FileSize(local);
    if (offset_ == size) {
      Line("No update needed", TStatusColour::Green);
      return NextFile();
    }
    if (offset_ > size) {
      // A log that was rotated or cut on the server: what is here stays.
      incomplete_ = true;
      ErrorLine(FormatText(Translate(1125, "The local file %1 is larger than the remote file "
                                           "%2 (%3 bytes): it is left as it is."),
                           {local, remote, std::to_string(size)}));
      return NextFile();
    }
    transferring_ = true;
    return client_->Resume(remote, local, offset_);
  }
  Line("Downloading file " + remote + "...", TStatusColour::Blue);
  offset_ = 0;
  platform::ForceFolders(ExtractFileDir(local));
  partial_file_ =
      platform::CreateUniqueFile(ExtractFileDir(local), "." + ExtractFileName(local) + ".", ".part");
  if (partial_file_.empty()) {
    ErrorLine("Error : Cannot create file \"" + local + "\"");
    return End();
  }
  transferring_ = true;
  return client_->Download(remote, partial_file_);
}

TFtpDownloadJob::TNext TFtpDownloadJob::TransferFinished(const TFtpReply& reply) {
  if (reply.request == TFtpRequest::Download) {
    const std::string local = LocalPath();
    platform::SetFileMode(partial_file_, 0644);
    if (!platform::RenameFile(partial_file_, local)) {
      ErrorLine("Error : Cannot create file \"" + local + "\"");
      return End();
    }
    partial_file_.clear();
    Line("Download finished", TStatusColour::Green);
  } else {
    Line("Restore finished", TStatusColour::Green);
  }
  ++result_.files_fetched;
  return NextFile();
}

TFtpDownloadJob::TNext TFtpDownloadJob::NextFile() {
  if (!single_file_ && index_ + 1 < files_.size()) {
    finished_ = AddSizes(finished_, sizes_[index_]);
    ++index_;
    return Fetch();
  }
  RunControl().TransferProgress(TransferProgressOf(expected_, offset_, expected_,
                                                   platform::MonotonicMilliseconds() -
                                                       clock_start_ms_));
  return client_->Quit();
}

TFtpDownloadJob::TNext TFtpDownloadJob::Failed(const TFtpReply& reply) {
  ErrorLine(reply.code > 0 ? "Error " + std::to_string(reply.code) + ": " + reply.message
                           : "Error : " + reply.message);
  RemoveTempFiles();
  switch (reply.failure) {
    case TFtpFailure::NotAvailable:
      if (retries_ < kPassiveRetries) {
        Line("Passive mode parameter should be changed", TStatusColour::Blue);
        passive_ = !passive_;
        ++retries_;
        client_->Close();
        return Start();
      }
      ErrorLine(FormatText(Translate(1120, "The log file cannot be downloaded from %1. Please "
                                           "contact the administrator of that FTP server."),
                           {host_}));
      return End();
    case TFtpFailure::RestartRejected:
      Line("FTP server " + host_ +
               " does not support restore (resume) command. We will try to download file "
               "instead of resume.",
           TStatusColour::Blue);
      resume_allowed_ = false;
      return Fetch();
    default:
      return End();
  }
}

TFtpDownloadJob::TNext TFtpDownloadJob::End() {
  incomplete_ = true;
  RemoveTempFiles();
  if (client_) client_->Close();
  return std::nullopt;
}

void TFtpDownloadJob::RemoveTempFiles() {
  if (!listing_file_.empty()) platform::RemoveFile(listing_file_);
  listing_file_.clear();
  if (!partial_file_.empty()) platform::RemoveFile(partial_file_);
  partial_file_.clear();
}

void TFtpDownloadJob::ResetClock() {
  clock_start_ms_ = platform::MonotonicMilliseconds();
  next_refresh_ms_ = clock_start_ms_;
}

void TFtpDownloadJob::OnProgress(int64_t bytes) {
  RunControl().ProcessMessages();
  if (!transferring_) return;
  const int64_t now = platform::MonotonicMilliseconds();
  if (now < next_refresh_ms_) return;
  next_refresh_ms_ = now + kRefreshMs;
  const int64_t counted = AddSizes(AddSizes(finished_, offset_), bytes);
  RunControl().TransferProgress(
      TransferProgressOf(expected_, offset_, counted, now - clock_start_ms_));
}

TDownloadResult DownloadSiteLogs(TWS& sites, const TFolders& folders,
                                 const std::string& site_name, bool automatic) {
  const TWebSite* site = sites.GetSiteByName(site_name);
  if (site == nullptr) return {};
  if (automatic) {
    const std::vector<std::string> missing = MissingFtpFields(*site);
    if (!missing.empty()) {
      TDownloadResult result;
      result.found = true;
      result.error = MissingFieldsLine(site->name, missing);
      RunControl().StatusLine(result.error, TStatusColour::Red);
      return result;
    }
  }
  TFtpDownloadJob job(*site, folders);
  return job.Run();
}

}  // namespace trelvar
