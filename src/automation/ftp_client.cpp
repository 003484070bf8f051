#include "automation/ftp_client.h"

#include "automation/curl_library.h"

#include <cstdio>
#include <vector>

#include "base/errors.h"

namespace trelvar {

namespace {

// The text of an exception for a status line.
std::string ExceptionText(const std::exception& e) {
  if (const auto* own = dynamic_cast<const Exception*>(&e))
    return own->Message() + " " + own->ClassName();
  return e.what();
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The longest wait between two looks at the cancel flag.
constexpr int kStepMs = 100;

}  // namespace

// One transfer handle in a multi handle of its own: the multi handle keeps
// the connection between requests, and driving it in short steps lets a
// cancel take effect at once.
struct TFtpClient::TCurl {
  CURLM* multi = nullptr;
  CURL* handle = nullptr;
  TCurl() {
    multi = Curl().multi_init();
    handle = Curl().easy_init();
    if (multi == nullptr || handle == nullptr) {
      Curl().easy_cleanup(handle);
      Curl().multi_cleanup(multi);
      throw EInvalidOperation("The FTP library cannot start a session");
    }
  }
  ~TCurl() {
    Curl().easy_cleanup(handle);
    Curl().multi_cleanup(multi);  // closes the connection (QUIT)
  }
};

// What one request reads or writes besides the control connection.
struct TFtpClient::TTransfer {
  std::FILE* file = nullptr;
  std::string path;
  bool write_failed = false;
  bool no_body = false;
  int64_t resume_from = -1;
  curl_slist* quote = nullptr;

  ~TTransfer() {
    if (file != nullptr) std::fclose(file);
    if (quote != nullptr) Curl().slist_free_all(quote);
  }
  bool Open(const std::string& local_path, bool append) {
    path = local_path;
    file = std::fopen(local_path.c_str(), append ? "ab" : "wb");
    return file != nullptr;
  }
  // Flushes and closes the file; false when the data did not reach it.
  bool Finish() {
    if (file == nullptr) return true;
    const bool ok = std::fclose(file) == 0;
    file = nullptr;
    return ok && !write_failed;
  }
};

// The C callbacks of libcurl, with access to the client.
struct TFtpCallbacks {
  static size_t Write(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<TFtpClient::TTransfer*>(user);
    const size_t bytes = size * count;
    // Requests without a file get what libcurl makes of the reply (the
    // size as a header line): nothing to keep.
    if (t->file == nullptr) return bytes;
    if (std::fwrite(data, 1, bytes, t->file) != bytes) {
      t->write_failed = true;
      return 0;
    }
    return bytes;
  }

  // libcurl hands every reply line of the control connection here.
  static size_t Header(char* data, size_t size, size_t count, void* user) {
    auto* client = static_cast<TFtpClient*>(user);
    try {
      client->NoteReplyLine(data, size * count);
    } catch (const std::exception& e) {
      client->handler_error_ = ExceptionText(e);
      return 0;
    }
    return size * count;
  }

  static int Progress(void* user, curl_off_t, curl_off_t now, curl_off_t, curl_off_t) {
    auto* client = static_cast<TFtpClient*>(user);
    try {
      if (client->on_progress_) client->on_progress_(static_cast<int64_t>(now));
    } catch (const std::exception& e) {
      client->handler_error_ = ExceptionText(e);
      return 1;
    }
    return client->cancel_ != nullptr && client->cancel_->load() ? 1 : 0;
  }
};

TFtpClient::TFtpClient(TFtpSettings settings, const std::atomic<bool>* cancel)
    : settings_(std::move(settings)), cancel_(cancel) {}

TFtpClient::~TFtpClient() {
  // No events: whoever listens may be going too.
  curl_.reset();
}

void TFtpClient::SessionEvent(bool open) {
  if (session_open_ == open) return;
  session_open_ = open;
  if (on_session_) on_session_(open);
}

void TFtpClient::NoteReplyLine(const char* text, size_t length) {
  std::string line(text, length);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  // The greeting of a new control connection.
  if (line.compare(0, 3, "220") == 0 && !session_open_) SessionEvent(true);
  // A reply ends with the line "ddd text"; "ddd-text" lines go before it.
  if (line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]) &&
      (line.size() == 3 || line[3] == ' '))
    reply_line_ = line;
}

std::string TFtpClient::Url(const std::string& path, bool folder) const {
  std::string url = "ftp://";
  const std::string& host = settings_.host;
  url += host.find(':') != std::string::npos && host[0] != '[' ? "[" + host + "]" : host;
  url += ":" + std::to_string(settings_.port) + "/";
  // "%2F" first makes libcurl begin with "CWD /": the path counts from the
  // root, not from the login folder.
  if (!path.empty() && path.front() == '/') url += "%2F";
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) url += "/";
    char* escaped =
        Curl().easy_escape(curl_->handle, parts[i].data(), static_cast<int>(parts[i].size()));
    if (escaped == nullptr) throw EConvertError("'" + parts[i] + "' cannot be put in an FTP address");
    url += escaped;
    Curl().free(escaped);
  }
  if (folder && !parts.empty()) url += "/";
  return url;
}

void TFtpClient::Prepare(TTransfer& t) {
  CURL* h = curl_->handle;
  Curl().easy_reset(h);
  Curl().easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  Curl().easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
  if (!settings_.user.empty()) {
    Curl().easy_setopt(h, CURLOPT_USERNAME, settings_.user.c_str());
    Curl().easy_setopt(h, CURLOPT_PASSWORD, settings_.password.c_str());
  }
  Curl().easy_setopt(h, CURLOPT_CONNECTTIMEOUT, settings_.connect_timeout_seconds);
  Curl().easy_setopt(h, CURLOPT_ACCEPTTIMEOUT_MS, settings_.connect_timeout_seconds * 1000L);
  Curl().easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, settings_.stall_timeout_seconds);
  Curl().easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  Curl().easy_setopt(h, CURLOPT_LOW_SPEED_TIME, settings_.stall_timeout_seconds);
  // Active mode: the server connects back to the address of the control
  // connection.
  if (!settings_.passive) Curl().easy_setopt(h, CURLOPT_FTPPORT, "-");
  Curl().easy_setopt(h, CURLOPT_HEADERFUNCTION, &TFtpCallbacks::Header);
  Curl().easy_setopt(h, CURLOPT_HEADERDATA, this);
  Curl().easy_setopt(h, CURLOPT_WRITEFUNCTION, &TFtpCallbacks::Write);
  Curl().easy_setopt(h, CURLOPT_WRITEDATA, &t);
  Curl().easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  Curl().easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &TFtpCallbacks::Progress);
  Curl().easy_setopt(h, CURLOPT_XFERINFODATA, this);
  if (t.no_body) Curl().easy_setopt(h, CURLOPT_NOBODY, 1L);
  if (t.resume_from >= 0)
    Curl().easy_setopt(h, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(t.resume_from));
  if (t.quote != nullptr) Curl().easy_setopt(h, CURLOPT_QUOTE, t.quote);
}

TFtpReply TFtpClient::Perform(TFtpRequest request, const std::string& url, TTransfer& t) {
  TFtpReply reply;
  reply.request = request;
  if (cancel_ != nullptr && cancel_->load()) {
    reply.failure = TFtpFailure::Cancelled;
    reply.message = "Cancelled";
    return reply;
  }
  CURL* h = curl_->handle;
  Prepare(t);
  char error[CURL_ERROR_SIZE] = "";
  Curl().easy_setopt(h, CURLOPT_ERRORBUFFER, error);
  Curl().easy_setopt(h, CURLOPT_URL, url.c_str());
  reply_line_.clear();
  handler_error_.clear();

  const auto rc = static_cast<CURLcode>(Drive());
  Curl().easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
  const bool written = t.Finish();

  long code = 0;
  Curl().easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
  if (!reply_line_.empty()) {
    reply.code = static_cast<int>(code);
    reply.message = reply_line_.size() > 4 ? reply_line_.substr(4) : "";
  }
  const std::string why = error[0] != '\0' ? error : Curl().easy_strerror(rc);

  if (!handler_error_.empty()) {
    reply.failure = TFtpFailure::Failed;
    reply.message = handler_error_;
  } else if (rc == CURLE_OK && !written) {
    reply.failure = TFtpFailure::Failed;
    reply.message = "Cannot create file \"" + t.path + "\"";
  } else if (rc == CURLE_OK) {
    if (request == TFtpRequest::Size) {
      curl_off_t size = -1;
      Curl().easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
      reply.size = static_cast<int64_t>(size);
    }
  } else if (rc == CURLE_ABORTED_BY_CALLBACK) {
    reply.failure = TFtpFailure::Cancelled;
    reply.message = "Cancelled";
  } else if (rc == CURLE_WRITE_ERROR && t.write_failed) {
    reply.failure = TFtpFailure::Failed;
    reply.message = "Cannot create file \"" + t.path + "\"";
  } else if (rc == CURLE_REMOTE_FILE_NOT_FOUND || rc == CURLE_REMOTE_ACCESS_DENIED) {
    reply.failure = TFtpFailure::NotAvailable;
    if (reply.message.empty()) reply.message = why;
  } else if (rc == CURLE_FTP_COULDNT_USE_REST) {
    reply.failure = TFtpFailure::RestartRejected;
    if (reply.message.empty()) reply.message = why;
  } else if (reply.code >= 400) {
    reply.failure = TFtpFailure::ServerError;
  } else {
    // The last reply was no refusal (a lost connection, a timeout, a short
    // transfer): libcurl's own words say what happened.
    reply.failure = TFtpFailure::Failed;
    reply.code = 0;
    reply.message = why;
  }
  return reply;
}

int TFtpClient::Drive() {
  CURLM* m = curl_->multi;
  CURL* h = curl_->handle;
  if (Curl().multi_add_handle(m, h) != CURLM_OK) return CURLE_FAILED_INIT;
  CURLcode rc = CURLE_OK;
  for (;;) {
    int running = 0;
    if (Curl().multi_perform(m, &running) != CURLM_OK) {
      rc = CURLE_FAILED_INIT;
      break;
    }
    bool done = false;
    int left = 0;
    while (CURLMsg* msg = Curl().multi_info_read(m, &left))
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) {
        rc = msg->data.result;
        done = true;
      }
    if (done) break;
    // A cancel that comes while nothing moves.
    if (cancel_ != nullptr && cancel_->load()) {
      rc = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    Curl().multi_poll(m, nullptr, 0, kStepMs, nullptr);
  }
  // Removing an unfinished transfer closes its connection.
  Curl().multi_remove_handle(m, h);
  return rc;
}

TFtpReply TFtpClient::Connect() {
  Close();
  curl_ = std::make_unique<TCurl>();
  TTransfer t;
  t.no_body = true;
  return Perform(TFtpRequest::Connect, Url("", true), t);
}

namespace {

// A reply that never reached the server: the local file was refused.
TFtpReply LocalFileFailure(TFtpRequest request, const std::string& path) {
  TFtpReply reply;
  reply.request = request;
  reply.failure = TFtpFailure::Failed;
  reply.message = "Cannot create file \"" + path + "\"";
  return reply;
}

}  // namespace

TFtpReply TFtpClient::ChangeFolder(const std::string& folder) {
  if (!curl_) curl_ = std::make_unique<TCurl>();
  TTransfer t;
  t.no_body = true;
  return Perform(TFtpRequest::ChangeFolder, Url(folder, true), t);
}

TFtpReply TFtpClient::List(const std::string& folder, const std::string& local_path) {
  if (!curl_) curl_ = std::make_unique<TCurl>();
  TTransfer t;
  if (!t.Open(local_path, false)) return LocalFileFailure(TFtpRequest::List, local_path);
  return Perform(TFtpRequest::List, Url(folder, true), t);
}

TFtpReply TFtpClient::Size(const std::string& path) {
  if (!curl_) curl_ = std::make_unique<TCurl>();
  TTransfer t;
  t.no_body = true;
  return Perform(TFtpRequest::Size, Url(path, false), t);
}

TFtpReply TFtpClient::Download(const std::string& path, const std::string& local_path) {
  if (!curl_) curl_ = std::make_unique<TCurl>();
  TTransfer t;
  if (!t.Open(local_path, false)) return LocalFileFailure(TFtpRequest::Download, local_path);
  return Perform(TFtpRequest::Download, Url(path, false), t);
}

TFtpReply TFtpClient::Resume(const std::string& path, const std::string& local_path,
                             int64_t offset) {
  if (!curl_) curl_ = std::make_unique<TCurl>();
  TTransfer t;
  if (!t.Open(local_path, true)) return LocalFileFailure(TFtpRequest::Resume, local_path);
  t.resume_from = offset;
  return Perform(TFtpRequest::Resume, Url(path, false), t);
}

TFtpReply TFtpClient::Quit() {
  if (!curl_) curl_ = std::make_unique<TCurl>();
  TTransfer t;
  t.no_body = true;
  t.quote = Curl().slist_append(nullptr, "QUIT");
  TFtpReply reply = Perform(TFtpRequest::Quit, Url("", true), t);
  // The server answers 221 and closes the connection, which libcurl, still
  // reading, takes for an error.
  if (reply_line_.compare(0, 3, "221") == 0 && reply.failure != TFtpFailure::Cancelled) {
    reply.failure = TFtpFailure::None;
    reply.code = 221;
    reply.message = reply_line_.size() > 4 ? reply_line_.substr(4) : "";
  }
  Close();
  return reply;
}

void TFtpClient::Close() {
  curl_.reset();
  SessionEvent(false);
}

}  // namespace trelvar
