#include "automation/mail_sender.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <random>

#include "automation/curl_library.h"
#include "automation/mail_message.h"
#include "base/run_control.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/folders.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "platform/files.h"
#include "sites/website.h"

namespace trelvar {

namespace {

// Seconds. A connection must stand within the first, every reply of the
// server come within the second; a transfer slower than one byte a second
// for the third ends. The whole session gets a minute plus the time of the
// message at a slow 4 KB a second.
constexpr long kConnectTimeout = 20;
constexpr long kReplyTimeout = 60;
constexpr long kStallTime = 60;
constexpr long kSessionBase = 60;
constexpr long kSlowBytesPerSecond = 4096;

std::string RandomHex(size_t digits) {
  static std::random_device device;
  std::string out;
  while (out.size() < digits) {
    const unsigned value = device();
    for (int i = 0; i < 8 && out.size() < digits; ++i) out += "0123456789abcdef"[(value >> (4 * i)) & 15];
  }
  return out;
}

// A text from the settings or the server as part of one HTML line.
std::string Shown(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  return HtmlEscape(out);
}

// The whole file, or false with `cause` set.
bool ReadArchive(const std::string& path, std::string& bytes, std::string& cause) {
  platform::TReadOnlyFile in;
  bool ok = in.Open(path);
  if (ok) {
    bytes.clear();
    bytes.reserve(static_cast<size_t>(std::max<int64_t>(in.Size(), 0)));
    char block[65536];
    for (int64_t n; (n = in.Read(block, sizeof block)) != 0;) {
      if (n < 0) {
        ok = false;
        break;
      }
      bytes.append(block, static_cast<size_t>(n));
    }
  }
  if (!ok)
    cause = "Cannot open file \"" + Shown(path) + "\": " + platform::SystemErrorText(in.Error());
  return ok;
}

// What the session sends and hears.
struct TSession {
  std::string message;
  size_t sent = 0;
  // The reply being heard, its lines joined; complete once a line has a
  // blank after its code.
  std::string reply;
  bool reply_complete = true;
  // The last complete reply that refused something (4xx, 5xx); the
  // goodbye that follows a failure does not hide it.
  std::string refusal;
};

size_t ReadMessage(char* buffer, size_t size, size_t count, void* data) {
  TSession& s = *static_cast<TSession*>(data);
  const size_t n = std::min(size * count, s.message.size() - s.sent);
  std::copy_n(s.message.data() + s.sent, n, buffer);
  s.sent += n;
  return n;
}

int HearReply(CURL*, curl_infotype type, char* data, size_t size, void* session) {
  if (type != CURLINFO_HEADER_IN) return 0;
  TSession& s = *static_cast<TSession*>(session);
  for (const std::string& line : SplitTextLines(std::string_view(data, size))) {
    if (line.empty()) continue;
    if (s.reply_complete) s.reply.clear();
    if (!s.reply.empty()) s.reply += ' ';
    s.reply += line;
    // A hostile server's reply never grows without bound.
    if (s.reply.size() > 2000) s.reply.resize(2000);
    s.reply_complete = !(line.size() > 3 && line[3] == '-');
    if (s.reply_complete && (s.reply[0] == '4' || s.reply[0] == '5')) s.refusal = s.reply;
  }
  return 0;
}

// Pending events run while the server is waited for.
int LetEventsRun(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  RunControl().ProcessMessages();
  return 0;
}

struct TCurlFree {
  void operator()(CURL* c) const { Curl().easy_cleanup(c); }
  void operator()(curl_slist* l) const { Curl().slist_free_all(l); }
};

// A name or address that goes into the URL as a host and nothing else
// (no user, path or second host).
bool IsHostName(const std::string& host) {
  if (host.empty()) return false;
  for (char c : host)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_' &&
        c != ':')
      return false;
  return true;
}

// "host" as a URL's host part: an IPv6 address goes in brackets.
std::string UrlHost(const std::string& host) {
  if (host.find(':') != std::string::npos && host.front() != '[') return "[" + host + "]";
  return host;
}

std::string UrlEscape(CURL* curl, const std::string& text) {
  char* escaped = Curl().easy_escape(curl, text.c_str(), static_cast<int>(text.size()));
  if (escaped == nullptr) return "";
  std::string out = escaped;
  Curl().free(escaped);
  return out;
}

}  // namespace

std::string MailRecipient(const TWebSite& site, const TMainSettings& settings) {
  const std::string own = Trim(site.email);
  return !own.empty() ? own : Trim(settings.mail_def_reciever);
}

bool SendArchive(const TMainSettings& settings, const std::string& recipient_text,
                 const std::string& archive_path) {
  const std::string server = Trim(settings.smtp_server);
  const std::string where = server + ":" + std::to_string(settings.smtp_port);
  auto fail = [&](const std::string& cause) {
    OutputLine("<P>" +
               FormatText(Translate(1114, "Mail to %1 could not be sent through %2: %3"),
                          {Shown(recipient_text), Shown(where), cause}) +
               "</P>");
    return false;
  };
  if (!IsHostName(server))
    return fail(FormatText(Translate(1116, "the SMTP server \"%1\" is not a usable host name"),
                           {Shown(settings.smtp_server)}));
  const std::string sender = MailAddressOf(settings.mail_sender);
  if (!IsUsableMailAddress(sender))
    return fail(FormatText(Translate(1117, "the sender address \"%1\" is not usable"),
                           {Shown(settings.mail_sender)}));
  const std::string recipient = MailAddressOf(recipient_text);
  if (!IsUsableMailAddress(recipient))
    return fail(FormatText(Translate(1118, "the recipient address \"%1\" is not usable"),
                           {Shown(recipient_text)}));

  TMailParts parts;
  std::string cause;
  if (!ReadArchive(archive_path, parts.attachment, cause)) return fail(cause);
  parts.from = sender;
  parts.to = recipient;
  parts.subject = !settings.mail_subject.empty() ? settings.mail_subject
                                                 : Translate(245, "Reports");
  parts.body = !settings.mail_message.empty() ? settings.mail_message
                                              : Translate(246, "Reports from") + " Trelvar";
  parts.attachment_name = ExtractFileName(archive_path);
  parts.date = std::chrono::system_clock::now();
  const size_t at = sender.rfind('@');
  const std::string domain = at != std::string::npos && at + 1 < sender.size()
                                 ? sender.substr(at + 1)
                                 : std::string("trelvar.invalid");
  parts.message_id = RandomHex(24) + "." +
                     std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        parts.date.time_since_epoch())
                                        .count()) +
                     "@" + domain;
  parts.boundary = "Trelvar_" + RandomHex(24);

  TSession session;
  session.message = ComposeMail(parts);
  parts.attachment.clear();

  std::string no_curl;
  if (LoadCurl(no_curl) == nullptr) return fail(no_curl);
  std::unique_ptr<CURL, TCurlFree> curl(Curl().easy_init());
  if (!curl) return fail(Curl().easy_strerror(CURLE_FAILED_INIT));
  CURL* c = curl.get();
  const std::string url = "smtp://" + UrlHost(server) + ":" + std::to_string(settings.smtp_port) +
                          "/" + UrlEscape(c, Trim(settings.mail_user_id));
  const std::string mail_from = "<" + sender + ">";
  std::unique_ptr<curl_slist, TCurlFree> rcpt(
      Curl().slist_append(nullptr, ("<" + recipient + ">").c_str()));
  char error[CURL_ERROR_SIZE] = "";
  const long session_time =
      kSessionBase + static_cast<long>(session.message.size() / kSlowBytesPerSecond);

  Curl().easy_setopt(c, CURLOPT_URL, url.c_str());
  Curl().easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp");
  Curl().easy_setopt(c, CURLOPT_MAIL_FROM, mail_from.c_str());
  Curl().easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
  Curl().easy_setopt(c, CURLOPT_UPLOAD, 1L);
  Curl().easy_setopt(c, CURLOPT_READFUNCTION, ReadMessage);
  Curl().easy_setopt(c, CURLOPT_READDATA, &session);
  Curl().easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(session.message.size()));
  Curl().easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  Curl().easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  Curl().easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeout);
  Curl().easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, kReplyTimeout);
  Curl().easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  Curl().easy_setopt(c, CURLOPT_LOW_SPEED_TIME, kStallTime);
  Curl().easy_setopt(c, CURLOPT_TIMEOUT, session_time);
  // The debug hook is where curl hands over the server's replies.
  Curl().easy_setopt(c, CURLOPT_VERBOSE, 1L);
  Curl().easy_setopt(c, CURLOPT_DEBUGFUNCTION, HearReply);
  Curl().easy_setopt(c, CURLOPT_DEBUGDATA, &session);
  Curl().easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  Curl().easy_setopt(c, CURLOPT_XFERINFOFUNCTION, LetEventsRun);
  const bool with_password = !settings.mail_password.empty();
  if (with_password) {
    // All or nothing: a server without STARTTLS ends the session before
    // the password could be sent.
    Curl().easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    Curl().easy_setopt(c, CURLOPT_USERNAME, settings.mail_user_id.c_str());
    Curl().easy_setopt(c, CURLOPT_PASSWORD, settings.mail_password.c_str());
  } else {
    Curl().easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_NONE));
  }

  const CURLcode rc = Curl().easy_perform(c);
  if (rc == CURLE_OK) return true;
  cause = Shown(error[0] != '\0' ? std::string(error) : std::string(Curl().easy_strerror(rc)));
  if (rc == CURLE_USE_SSL_FAILED && with_password)
    cause = Translate(1119,
                      "the password is sent only over an encrypted connection, and the server "
                      "offers none (STARTTLS)") +
            " (" + cause + ")";
  if (!session.refusal.empty())
    cause += "; " + FormatText(Translate(1115, "the server answered: %1"),
                               {Shown(session.refusal)});
  return fail(cause);
}

}  // namespace trelvar
