// Recognition of real files: plain and gzip, missing and damaged.
#include <gtest/gtest.h>
#include <zlib.h>

#include "logread/format_recognition.h"
#include "sites/log_formats.h"
#include "test_support.h"

namespace trelvar {
namespace {

void WriteGzip(const std::string& path, const std::string& text) {
  gzFile f = gzopen(path.c_str(), "wb");
  gzwrite(f, text.data(), static_cast<unsigned>(text.size()));
  gzclose(f);
}

const char kIisLog[] =
    "INIT: log service started\r\n"
    "#Software: Microsoft Internet Information Services 5.0\r\n"
    "#Version: 1.0\r\n"
    "#Date: 2000-12-01 00:00:12\r\n"
    "#Fields: date time c-ip cs-username cs-method cs-uri-stem cs-uri-query sc-status sc-bytes "
    "cs-bytes time-taken cs(User-Agent) cs(Referer)\r\n"
    "2000-12-01 00:50:24 194.123.153.249 - GET /news/2000-12.htm - 200 3923 324 1024 "
    "Mozilla/4.7+[de]+(Win98;+I) -\r\n";

TEST(RecognizeFile, PlainAndGzipFilesGiveTheSameFormat) {
  test::TTempDir dir;
  test::WriteFile(dir / "ex0012.log", kIisLog);
  WriteGzip(dir / "ex0012.log.GZ", kIisLog);
  TLogFmts f;
  f.AddFormatLine(
      "MS IIS 5.0;<year>-<month>-<day> <hour>:<min>:<sec> <ip> <username> <method> <href> "
      "<uri_query> <status> <bytes> <nil> <time_taken> <agent> <referrer>");
  test::TCaptureHost host(TRunMode::Console);
  EXPECT_EQ(RecognizeLogFile(f, dir / "ex0012.log", true, true), "MS IIS 5.0");
  EXPECT_EQ(RecognizeLogFile(f, dir / "ex0012.log.GZ", true, true), "MS IIS 5.0");
  EXPECT_EQ(f.Entries().size(), 1u);
  EXPECT_EQ(host.stdout_text, "");
}

TEST(RecognizeFile, MissingAndDamagedFiles) {
  test::TTempDir dir;
  TLogFmts f;
  {
    test::TCaptureHost host(TRunMode::Console);
    EXPECT_EQ(RecognizeLogFile(f, dir / "none.log", true, true), "");
    ASSERT_EQ(host.messages.size(), 1u);  // shown even in console mode
    EXPECT_EQ(host.messages[0], "Your log file\n\n" + (dir / "none.log") +
                                    "\n\nnot found\n\nPlease specify correct log path");
  }
  {
    test::TCaptureHost host(TRunMode::Console);
    EXPECT_EQ(RecognizeLogFile(f, dir / "none.log", false, true), "");
    EXPECT_TRUE(host.messages.empty());
  }
  // A damaged gzip stream never lets an error out.
  WriteGzip(dir / "bad.gz", std::string(kIisLog) + std::string(5000, 'x'));
  std::string bytes = test::ReadFile(dir / "bad.gz");
  for (size_t i = 20; i < bytes.size(); i += 7) bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
  test::WriteFile(dir / "bad.gz", bytes);
  test::TCaptureHost host(TRunMode::Console);
  RecognizeLogFile(f, dir / "bad.gz", true, true);
  // Binary junk without line ends.
  test::WriteFile(dir / "junk.log", std::string("\0\xff\x01\"] \"", 8) + std::string(50000, '\0'));
  EXPECT_EQ(RecognizeLogFile(f, dir / "junk.log", false, true), "");
}

}  // namespace
}  // namespace trelvar
