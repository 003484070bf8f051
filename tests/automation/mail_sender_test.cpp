// Mailing an archive to a real SMTP server on the loopback address
// (tests/support/smtp_sink.py), whose own mail parser reads what arrived.
#include "automation/mail_sender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "automation/mail_message.h"
#include "base/text_helpers.h"
#include "config/main_settings.h"
#include "platform/files.h"
#include "sites/log_formats.h"
#include "sites/website.h"
#include "smtp_sink.h"
#include "test_support.h"

namespace trelvar {
namespace {

// Every byte value, a length that is no multiple of three.
std::string ArchiveBytes() {
  std::string s;
  for (int i = 0; i < 10000; ++i) s += static_cast<char>((i * 131 + i / 256) & 0xff);
  return s + "end";
}

struct MailTest : ::testing::Test {
  test::TTempDir dir;
  TFolders folders{dir / "prog", dir / "data"};
  TLogFmts formats;
  test::TCaptureHost host{TRunMode::Windowed};
  std::string archive = dir / "My Site.zip";

  void SetUp() override {
    test::WriteFile(dir / "prog/Default/main.ini", "\r\n");
    test::WriteFile(archive, ArchiveBytes());
  }
  // Settings for a server on `port`, as main.ini gives them.
  std::unique_ptr<TMainSettings> Settings(int port, const std::string& more = "") {
    test::WriteFile(dir / "data/main.ini",
                    "SmtpServer=127.0.0.1\r\nSmtpPort=" + std::to_string(port) +
                        "\r\nMailSender=Reports@Example.ORG\r\nMailDefReciever=boss@example.org\r\n"
                        "MailUserID=Trelvar-Host\r\nMailSubject=\r\n" + more);
    return std::make_unique<TMainSettings>(folders, formats, nullptr);
  }
};

TEST_F(MailTest, ArchiveArrivesWithTheDefaultSubjectAndBody) {
  test::TSmtpSink sink;
  ASSERT_TRUE(sink.Started()) << sink.Log();
  auto settings = Settings(sink.port());
  ASSERT_TRUE(SendArchive(*settings, "boss@example.org", archive)) << ::testing::PrintToString(
      host.status_lines);
  EXPECT_TRUE(host.status_lines.empty());
  ASSERT_TRUE(sink.HasMail(1)) << sink.Log();
  EXPECT_EQ(sink.Field(1, "envelope_from"), "reports@example.org");
  EXPECT_EQ(sink.Field(1, "envelope_to"), "boss@example.org");
  EXPECT_EQ(sink.Field(1, "helo"), "trelvar-host");
  EXPECT_EQ(sink.Field(1, "from"), "reports@example.org");
  EXPECT_EQ(sink.Field(1, "to"), "boss@example.org");
  EXPECT_EQ(sink.Field(1, "subject"), "Reports");
  EXPECT_EQ(sink.Field(1, "body"), "Reports from Trelvar");
  EXPECT_EQ(sink.Field(1, "mime_version"), "1.0");
  EXPECT_TRUE(Contains(sink.Field(1, "date"), "+0000")) << sink.Field(1, "date");
  EXPECT_TRUE(Contains(sink.Field(1, "message_id"), "@example.org>"));
  EXPECT_EQ(sink.Field(1, "attachment"), ArchiveBytes());
  EXPECT_EQ(sink.Field(1, "attachment_name"), "My Site.zip");
  EXPECT_EQ(sink.Field(1, "attachment_type"), "application/octet-stream");
  EXPECT_EQ(sink.Field(1, "attachment_encoding"), "base64");
  EXPECT_EQ(sink.Field(1, "defects"), "");
  // The server offers AUTH; without a password none is tried.
  EXPECT_FALSE(Contains(sink.Commands(), "AUTH")) << sink.Commands();
  EXPECT_FALSE(Contains(sink.Commands(), "STARTTLS"));
  for (const std::string& line : SplitTextLines(sink.Field(1, "raw")))
    EXPECT_LE(line.size(), 78u) << line;
}

TEST_F(MailTest, SubjectsAndBodiesArriveAsWritten) {
  struct TCase {
    std::string subject, body;
    std::string want_subject, want_body;  // as the reader's parser gives them (CR LF lines)
  };
  const std::string long_subject =
      "Weekly reports of www.example.org for the marketing team, all sections, with charts";
  const std::string long_line(200, 'y');
  const std::vector<TCase> cases = {
      {"Berichte für März", "Grüße\naus Köln", "Berichte für März", "Grüße\r\naus Köln"},
      {long_subject, "one", long_subject, "one"},
      // Looks like an encoded word: must reach the reader as typed.
      {"=?UTF-8?B?SGk=?=", "x", "=?UTF-8?B?SGk=?=", "x"},
      // Bytes that are not UTF-8 read as Windows-1252.
      {"Latin \xe4\x80", "caf\xe9", "Latin ä€", "café"},
      {"Weekly", "first\r\n.\r.dot line\r\n" + long_line + "\r\nblanks at the end   \r\n=3D",
       "Weekly", "first\r\n.\r\n.dot line\r\n" + long_line + "\r\nblanks at the end   \r\n=3D"},
      {"Weekly", "ends with an empty line\r\n\r\n", "Weekly", "ends with an empty line\r\n\r\n"},
  };
  test::TSmtpSink sink;
  ASSERT_TRUE(sink.Started()) << sink.Log();
  auto settings = Settings(sink.port());
  int n = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.subject);
    settings->mail_subject = c.subject;
    settings->mail_message = c.body;
    ASSERT_TRUE(SendArchive(*settings, "boss@example.org", archive));
    ASSERT_TRUE(sink.HasMail(++n));
    EXPECT_EQ(sink.Field(n, "subject"), c.want_subject);
    EXPECT_EQ(sink.Field(n, "body"), c.want_body);
    EXPECT_EQ(sink.Field(n, "defects"), "");
    for (const std::string& line : SplitTextLines(sink.Field(n, "raw")))
      EXPECT_LE(line.size(), 78u) << line;
  }
}

// Header values set in memory can hold line breaks; they must not become
// headers or recipients of their own.
TEST_F(MailTest, HeaderValuesCannotAddHeaders) {
  test::TSmtpSink sink;
  ASSERT_TRUE(sink.Started()) << sink.Log();
  auto settings = Settings(sink.port());
  settings->mail_subject = "Hi\r\nBcc: evil@example.org\nX-Evil: 1";
  ASSERT_TRUE(SendArchive(*settings, "boss@example.org", archive));
  ASSERT_TRUE(sink.HasMail(1));
  const std::string raw = sink.Field(1, "raw");
  EXPECT_FALSE(Contains(raw, "\nBcc:")) << raw.substr(0, 400);
  EXPECT_FALSE(Contains(raw, "\nX-Evil:"));
  EXPECT_TRUE(Contains(sink.Field(1, "subject"), "Bcc: evil@example.org"));
  EXPECT_EQ(sink.Field(1, "envelope_to"), "boss@example.org");
}

TEST(MailRecipient, SiteAddressFirstElseTheDefault) {
  test::TTempDir dir;
  test::WriteFile(dir / "prog/Default/main.ini", "\r\n");
  test::WriteFile(dir / "data/main.ini", "MailDefReciever=Boss@Example.org \r\n");
  TFolders folders(dir / "prog", dir / "data");
  TLogFmts formats;
  TMainSettings settings(folders, formats, nullptr);
  struct TCase {
    std::string site_email, want;
  };
  for (const TCase& c : std::vector<TCase>{{"site@example.org", "site@example.org"},
                                           {" site@example.org ", "site@example.org"},
                                           {"", "boss@example.org"},
                                           {"   ", "boss@example.org"}}) {
    TWebSite site;
    site.email = c.site_email;
    EXPECT_EQ(MailRecipient(site, settings), c.want) << "[" << c.site_email << "]";
  }
}

TEST_F(MailTest, RefusedRecipientGivesOneLineWithTheServersAnswer) {
  test::TSmtpSink sink({"--reject", "nobody@example.org"});
  ASSERT_TRUE(sink.Started()) << sink.Log();
  auto settings = Settings(sink.port());
  EXPECT_FALSE(SendArchive(*settings, "nobody@example.org", archive));
  ASSERT_EQ(host.status_lines.size(), 1u);
  const std::string& line = host.status_lines[0];
  EXPECT_TRUE(Contains(line, "Mail to nobody@example.org could not be sent through 127.0.0.1:" +
                                 std::to_string(sink.port()) + ": "))
      << line;
  EXPECT_TRUE(Contains(line, "the server answered: 550 5.1.1")) << line;
  EXPECT_TRUE(Contains(line, "mailbox unavailable")) << line;
  EXPECT_FALSE(sink.HasMail(1));
}

TEST_F(MailTest, NothingListeningFailsAtOnceWithOneLine) {
  const int port = test::FreeLoopbackPort();
  auto settings = Settings(port);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(SendArchive(*settings, "boss@example.org", archive));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ASSERT_EQ(host.status_lines.size(), 1u);
  EXPECT_TRUE(Contains(host.status_lines[0], "through 127.0.0.1:" + std::to_string(port) + ": "))
      << host.status_lines[0];
  EXPECT_TRUE(Contains(host.status_lines[0], "onnect")) << host.status_lines[0];
}

TEST_F(MailTest, UnusableSettingsAndAddressesAreRefusedBeforeConnecting) {
  test::TSmtpSink sink;
  ASSERT_TRUE(sink.Started()) << sink.Log();
  struct TCase {
    std::string name;
    std::function<void(TMainSettings&)> change;
    std::string recipient, archive_name, want;
  };
  const std::vector<TCase> cases = {
      {"no server", [](TMainSettings& s) { s.smtp_server = " "; }, "boss@example.org",
       "My Site.zip", "the SMTP server \" \" is not a usable host name"},
      // Would give curl a user and password to send in clear.
      {"server with a user", [](TMainSettings& s) { s.smtp_server = "me:pw@127.0.0.1"; },
       "boss@example.org", "My Site.zip", "the SMTP server \"me:pw@127.0.0.1\""},
      {"no sender", [](TMainSettings& s) { s.mail_sender = ""; }, "boss@example.org",
       "My Site.zip", "the sender address \"\" is not usable"},
      {"sender with a blank", [](TMainSettings& s) { s.mail_sender = "a b@example.org"; },
       "boss@example.org", "My Site.zip", "the sender address \"a b@example.org\""},
      {"no recipient", [](TMainSettings&) {}, "", "My Site.zip",
       "the recipient address \"\" is not usable"},
      {"two recipients", [](TMainSettings&) {}, "a@example.org, b@example.org", "My Site.zip",
       "the recipient address \"a@example.org, b@example.org\""},
      {"recipient with a line break", [](TMainSettings&) {},
       "a@example.org>\r\nRCPT TO:<evil@example.org", "My Site.zip", "is not usable"},
      {"missing archive", [](TMainSettings&) {}, "boss@example.org", "gone.zip",
       "Cannot open file"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto settings = Settings(sink.port());
    c.change(*settings);
    host.status_lines.clear();
    EXPECT_FALSE(SendArchive(*settings, c.recipient, dir / c.archive_name));
    ASSERT_EQ(host.status_lines.size(), 1u);
    EXPECT_TRUE(Contains(host.status_lines[0], c.want)) << host.status_lines[0];
    EXPECT_EQ(host.status_lines[0].find_first_of("\r\n"), std::string::npos);
  }
  EXPECT_EQ(sink.Commands(), "");
}

TEST_F(MailTest, PasswordIsNotSentWithoutStartTls) {
  test::TSmtpSink sink;
  ASSERT_TRUE(sink.Started()) << sink.Log();
  auto settings = Settings(sink.port());
  settings->mail_password = "secret";
  EXPECT_FALSE(SendArchive(*settings, "boss@example.org", archive));
  ASSERT_EQ(host.status_lines.size(), 1u);
  EXPECT_TRUE(Contains(host.status_lines[0], "only over an encrypted connection"))
      << host.status_lines[0];
  const std::string commands = sink.Commands();
  // The session began, and ended before any AUTH.
  EXPECT_TRUE(Contains(commands, "EHLO trelvar-host")) << commands;
  EXPECT_FALSE(Contains(commands, "AUTH")) << commands;
  EXPECT_FALSE(sink.HasMail(1));
}

TEST_F(MailTest, PasswordIsNotSentToAServerWithAnUntrustedCertificate) {
  const test::TRunResult made = test::RunProgram(
      "/usr/bin/openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt",
                           "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1", "-subj",
                           "/CN=127.0.0.1", "-keyout", dir / "key.pem", "-out", dir / "cert.pem"});
  if (made.status != 0) GTEST_SKIP() << "openssl cannot make a certificate: " << made.err;
  test::TSmtpSink sink({"--tls", dir / "cert.pem", dir / "key.pem"});
  ASSERT_TRUE(sink.Started()) << sink.Log();
  auto settings = Settings(sink.port());
  settings->mail_password = "secret";
  EXPECT_FALSE(SendArchive(*settings, "boss@example.org", archive));
  ASSERT_EQ(host.status_lines.size(), 1u);
  EXPECT_TRUE(Contains(host.status_lines[0], "certificate")) << host.status_lines[0];
  EXPECT_TRUE(Contains(sink.Commands(), "STARTTLS")) << sink.Commands();
  EXPECT_FALSE(Contains(sink.Commands(), "AUTH")) << sink.Commands();
  EXPECT_FALSE(sink.HasMail(1));
}

TEST(MailMessage, AddressesThatSmtpAndHeadersTakeAsTheyAre) {
  struct TCase {
    std::string text, address;
    bool usable;
  };
  for (const TCase& c : std::vector<TCase>{
           {"boss@example.org", "boss@example.org", true},
           {"  boss@example.org ", "boss@example.org", true},
           {"The Boss <boss@example.org>", "boss@example.org", true},
           {"postmaster", "postmaster", true},
           {"", "", false},
           {"a b@example.org", "a b@example.org", false},
           {"a@example.org,b@example.org", "a@example.org,b@example.org", false},
           {"a@example.org;b@example.org", "a@example.org;b@example.org", false},
           {"a@example.org\tx", "a@example.org\tx", false},
           {"\"quoted\"@example.org", "\"quoted\"@example.org", false},
           {"<a@example.org>\r\nRCPT TO:<b@example.org>",
            "<a@example.org>\r\nRCPT TO:<b@example.org>", false},
           {std::string(250, 'a') + "@b.org", std::string(250, 'a') + "@b.org", false},
       }) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(MailAddressOf(c.text), c.address);
    EXPECT_EQ(IsUsableMailAddress(MailAddressOf(c.text)), c.usable);
  }
}

TEST(MailMessage, DatesInTheMailFormat) {
  using namespace std::chrono;
  struct TCase {
    sys_seconds when;
    std::string text;
  };
  for (const TCase& c : std::vector<TCase>{
           {sys_days{1970y / January / 1}, "Thu, 01 Jan 1970 00:00:00 +0000"},
           {sys_days{2024y / February / 29} + 23h + 59min + 59s,
            "Thu, 29 Feb 2024 23:59:59 +0000"},
           {sys_days{2025y / December / 7} + 9h + 5min, "Sun, 07 Dec 2025 09:05:00 +0000"},
       })
    EXPECT_EQ(MailDate(c.when), c.text);
}

}  // namespace
}  // namespace trelvar
