// TFtpClient: one FTP session with a server, for fetching log files.
//
// The client logs in with USER/PASS, changes folders (CWD), fetches folder
// listings (LIST) and file sizes (SIZE), downloads files whole (RETR) or
// from an offset (REST + RETR) and ends with QUIT, with passive (EPSV or
// PASV) or active (EPRT or PORT) data connections. Every request keeps
// the control connection of the one before. Each request blocks until it
// completes and returns its completion report: the kind of request, the
// server's last reply code and text, and what went wrong. Failures the
// download job branches on have their own kind: a file or folder that is
// not there (the server's 550), a restart the server refuses (REST
// rejected). Timeouts end a connect, a silent server and a stalled
// transfer, so that no request hangs.
//
// Owns its libcurl handles (and so the connection); destroying the client
// closes the session. While a request runs, the progress handler is called
// several times a second, also while the server is silent, and a set
// cancel flag (which any thread may set) aborts the request within a tenth
// of a second. Exceptions of the handlers end the request as a failure
// with their message. One thread at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace trelvar {

struct TFtpSettings {
  std::string host;  // name or address; an IPv6 address without brackets
  int port = 21;
  std::string user;  // empty: anonymous
  std::string password;
  bool passive = true;
  long connect_timeout_seconds = 30;
  // A reply or a transfer that stands still this long fails.
  long stall_timeout_seconds = 60;
};

enum class TFtpRequest { Connect, ChangeFolder, List, Size, Download, Resume, Quit };

enum class TFtpFailure {
  None,
  NotAvailable,     // the file or folder is not there or not accessible
  RestartRejected,  // the server refused REST
  ServerError,      // any other error reply of the server
  Failed,           // no reply to speak of: connection, timeout, local file, handler
  Cancelled,
};

struct TFtpReply {
  TFtpRequest request = TFtpRequest::Connect;
  TFtpFailure failure = TFtpFailure::None;
  int code = 0;         // the server's last reply code, 0 when there was none
  std::string message;  // the text of that reply, or why there was none
  int64_t size = -1;    // Size: the file's size in bytes
  bool ok() const { return failure == TFtpFailure::None; }
};

class TFtpClient {
 public:
  // `cancel` (not owned, may be null) is read while requests run.
  explicit TFtpClient(TFtpSettings settings, const std::atomic<bool>* cancel = nullptr);
  ~TFtpClient();
  TFtpClient(const TFtpClient&) = delete;
  TFtpClient& operator=(const TFtpClient&) = delete;

  // The control connection opened (true: the server greeted) or closed.
  void SetOnSession(std::function<void(bool open)> handler) { on_session_ = std::move(handler); }
  // Bytes received by the running request so far (a resumed download's
  // offset not counted).
  void SetOnProgress(std::function<void(int64_t bytes)> handler) {
    on_progress_ = std::move(handler);
  }

  // Remote paths use "/"; one that begins with "/" is taken from the
  // server's root, any other from the login folder.
  TFtpReply Connect();
  TFtpReply ChangeFolder(const std::string& folder);
  // The listing of `folder` into the local file `local_path` (replaced).
  TFtpReply List(const std::string& folder, const std::string& local_path);
  TFtpReply Size(const std::string& path);
  // The remote file into `local_path`, which is created or replaced.
  TFtpReply Download(const std::string& path, const std::string& local_path);
  // The remote file from byte `offset` on, appended to `local_path`.
  TFtpReply Resume(const std::string& path, const std::string& local_path, int64_t offset);
  TFtpReply Quit();
  // Drops the session without waiting for a reply (QUIT is still sent).
  void Close();

  bool SessionOpen() const { return session_open_; }

 private:
  struct TCurl;
  struct TTransfer;
  TFtpReply Perform(TFtpRequest request, const std::string& url, TTransfer& transfer);
  // Runs the prepared request to its end; libcurl's result.
  int Drive();
  std::string Url(const std::string& path, bool folder) const;
  void Prepare(TTransfer& transfer);
  void NoteReplyLine(const char* text, size_t length);
  void SessionEvent(bool open);

  TFtpSettings settings_;
  const std::atomic<bool>* cancel_;
  std::unique_ptr<TCurl> curl_;
  std::function<void(bool)> on_session_;
  std::function<void(int64_t)> on_progress_;
  bool session_open_ = false;
  std::string reply_line_;  // the last complete reply line of the server
  std::string handler_error_;

  friend struct TFtpCallbacks;
};

}  // namespace trelvar
