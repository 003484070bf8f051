// The text of a mail with one attached file, as SMTP carries it.
//
// A MIME message (RFC 5322, 2045 to 2049): headers, a plain-text part and
// the file in base64, CR LF line ends throughout. Text that comes from the
// settings cannot break out of its header: line breaks and other control
// characters become blanks, a subject that plain ASCII cannot carry goes as
// RFC 2047 encoded words, the body as quoted-printable UTF-8 (bytes that
// are not UTF-8 read as Windows-1252). Addresses are checked, not encoded:
// one that could carry a second header or recipient is refused.
// Pure functions; thread-safe.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace trelvar {

struct TMailParts {
  std::string from;             // a usable address (see below)
  std::string to;               // a usable address
  std::string subject;          // any text
  std::string body;             // lines with any kind of break
  std::string attachment_name;  // the file name the reader sees
  std::string attachment;       // the file's bytes
  std::string message_id;       // "unique@domain", without angle brackets
  std::chrono::system_clock::time_point date;
  std::string boundary;  // random letters and digits; "=_" is put before them
};

std::string ComposeMail(const TMailParts& parts);

// The address in "Name <address>", or the trimmed text without brackets;
// a text with control characters as it is (and so not usable).
std::string MailAddressOf(std::string_view text);
// Not empty, no blanks or control characters, none of <>,;"()\ : an
// address that SMTP and a header take as it is.
bool IsUsableMailAddress(std::string_view address);

// A header value ("Subject: " + the result) that fits on a line: the text
// with control characters as blanks, as encoded words where it is not
// plain ASCII, is long or looks like an encoded word itself.
std::string EncodeHeaderText(std::string_view text);

// "Tue, 04 Mar 2025 09:05:00 +0000".
std::string MailDate(std::chrono::system_clock::time_point when);

}  // namespace trelvar
