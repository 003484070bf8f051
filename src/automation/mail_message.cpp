#include "automation/mail_message.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "base/text_helpers.h"
#include "base/utf8.h"

namespace trelvar {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// Longest line of an encoded part (RFC 2045).
constexpr size_t kLineLength = 76;
// Bytes of one encoded word: 42 give 56 base64 characters, 68 with the
// "=?UTF-8?B?" and "?=" around them, 77 after "Subject: ".
constexpr size_t kWordBytes = 42;

void AppendBase64(std::string& out, std::string_view bytes, size_t line_length) {
  size_t column = 0;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (n > 1) v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    if (n > 2) v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 2]));
    const char quad[4] = {kBase64[(v >> 18) & 63], kBase64[(v >> 12) & 63],
                          n > 1 ? kBase64[(v >> 6) & 63] : '=', n > 2 ? kBase64[v & 63] : '='};
    if (line_length > 0 && column + 4 > line_length) {
      out += "\r\n";
      column = 0;
    }
    out.append(quad, 4);
    column += 4;
  }
  if (line_length > 0 && !bytes.empty()) out += "\r\n";
}

// Control characters (line breaks among them) as blanks.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  return out;
}

bool IsPlainAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) return false;
  return true;
}

// RFC 2047 encoded words of valid UTF-8, folded one word a line; a
// character is never split between two words.
std::string EncodedWords(std::string_view utf8) {
  std::string out;
  for (size_t at = 0; at < utf8.size();) {
    size_t end = std::min(at + kWordBytes, utf8.size());
    while (end > at + 1 && end < utf8.size() &&
           (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
      --end;
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?";
    AppendBase64(out, utf8.substr(at, end - at), 0);
    out += "?=";
    at = end;
  }
  return out;
}

char Hex(unsigned v) { return "0123456789ABCDEF"[v & 15]; }

// One line of the body as quoted-printable, soft-broken to fit 76
// characters. A leading "." is encoded, so that no server that forgets to
// double it takes the line for the end of the message.
void AppendQuotedPrintableLine(std::string& out, std::string_view line) {
  size_t column = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    const bool last = i + 1 == line.size();
    const bool literal = (c >= 33 && c <= 126 && c != '=' && !(c == '.' && i == 0)) ||
                         ((c == ' ' || c == '\t') && !last);
    const size_t width = literal ? 1 : 3;
    // Room for the "=" of a soft break after this character.
    if (column + width > kLineLength - 1) {
      out += "=\r\n";
      column = 0;
    }
    if (literal) {
      out += static_cast<char>(c);
    } else {
      out += '=';
      out += Hex(c >> 4);
      out += Hex(c);
    }
    column += width;
  }
  out += "\r\n";
}

std::string QuotedPrintable(std::string_view text) {
  std::string out;
  std::string line;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\r' || text[i] == '\n') {
      AppendQuotedPrintableLine(out, line);
      line.clear();
      if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      continue;
    }
    line += text[i];
  }
  return out;
}

// The file name parameters of the attachment: plain when the name is
// plain ASCII, otherwise RFC 2231 for readers that know it and an encoded
// word for those that do not.
std::string NameParameters(std::string_view raw_name, const char* kind, const char* name_key) {
  const std::string name = OneLine(raw_name);
  if (IsPlainAscii(name) && name.find_first_of("\"\\") == std::string::npos)
    return std::string(kind) + "; " + name_key + "=\"" + name + "\"";
  const std::string utf8 = ValidUtf8(name);
  if (std::string_view(name_key) == "name") {
    std::string word = "=?UTF-8?B?";
    AppendBase64(word, utf8, 0);
    return std::string(kind) + "; name=\"" + word + "?=\"";
  }
  std::string encoded;
  for (unsigned char c : utf8) {
    if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += Hex(c >> 4);
      encoded += Hex(c);
    }
  }
  return std::string(kind) + "; " + name_key + "*=UTF-8''" + encoded;
}

}  // namespace

std::string MailAddressOf(std::string_view text) {
  // A text with a line break is no address, whatever its brackets hold.
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return std::string(text);
  const size_t open = text.rfind('<');
  if (open != std::string_view::npos) {
    const size_t close = text.find('>', open);
    if (close != std::string_view::npos) return Trim(text.substr(open + 1, close - open - 1));
  }
  return Trim(text);
}

bool IsUsableMailAddress(std::string_view address) {
  if (address.empty() || address.size() > 254) return false;
  for (char c : address) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7f) return false;
    if (std::string_view("<>,;\"()\\").find(c) != std::string_view::npos) return false;
  }
  return true;
}

std::string EncodeHeaderText(std::string_view text) {
  const std::string line = OneLine(text);
  // "Subject: " and the text within the 78 characters a line should keep to.
  if (IsPlainAscii(line) && line.find("=?") == std::string::npos && line.size() <= 69)
    return line;
  return EncodedWords(ValidUtf8(line));
}

std::string MailDate(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const auto day = floor<days>(when);
  const year_month_day ymd{day};
  const hh_mm_ss time{floor<seconds>(when - day)};
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02u %s %04d %02d:%02d:%02d +0000",
                kDays[weekday{day}.c_encoding()], static_cast<unsigned>(ymd.day()),
                kMonths[static_cast<unsigned>(ymd.month()) - 1], static_cast<int>(ymd.year()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

std::string ComposeMail(const TMailParts& parts) {
  const std::string boundary = "=_" + parts.boundary;
  std::string out;
  out.reserve(parts.attachment.size() * 4 / 3 + parts.body.size() * 3 + 1024);
  out += "Date: " + MailDate(parts.date) + "\r\n";
  out += "From: " + OneLine(parts.from) + "\r\n";
  out += "To: " + OneLine(parts.to) + "\r\n";
  out += "Subject: " + EncodeHeaderText(parts.subject) + "\r\n";
  out += "Message-ID: <" + OneLine(parts.message_id) + ">\r\n";
  out += "MIME-Version: 1.0\r\n";
  out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n";
  out += "\r\n";
  out += "This is a multi-part message in MIME format.\r\n";
  out += "--" + boundary + "\r\n";
  out += "Content-Type: text/plain; charset=UTF-8\r\n";
  out += "Content-Transfer-Encoding: quoted-printable\r\n";
  out += "\r\n";
  // Every encoded line ends in CR LF, which is also the start of the
  // delimiter: the body keeps no line break of its own at its end.
  out += QuotedPrintable(ValidUtf8(parts.body));
  out += "--" + boundary + "\r\n";
  out += "Content-Type: " +
         NameParameters(parts.attachment_name, "application/octet-stream", "name") + "\r\n";
  out += "Content-Transfer-Encoding: base64\r\n";
  out += "Content-Disposition: " +
         NameParameters(parts.attachment_name, "attachment", "filename") + "\r\n";
  out += "\r\n";
  AppendBase64(out, parts.attachment, kLineLength);
  if (parts.attachment.empty()) out += "\r\n";
  out += "--" + boundary + "--\r\n";
  return out;
}

}  // namespace trelvar
