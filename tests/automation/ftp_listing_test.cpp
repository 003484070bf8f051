// Listing lines of FTP servers, safe local names and the figures of a
// running transfer.
#include <gtest/gtest.h>

#include "automation/ftp_listing.h"
#include "automation/ftp_progress.h"
#include "base/web_helpers.h"

namespace trelvar {
namespace {

struct TLineCase {
  const char* line;
  bool usable;
  const char* name;
  int64_t size;
  bool folder;
};

void Check(const TLineCase& c) {
  SCOPED_TRACE(c.line);
  const auto entry = ParseListingLine(c.line);
  ASSERT_EQ(entry.has_value(), c.usable);
  if (!entry) return;
  EXPECT_EQ(entry->name, c.name);
  EXPECT_EQ(entry->size, c.size);
  EXPECT_EQ(entry->is_folder, c.folder);
}

TEST(FtpListing, DosLines) {
  const TLineCase cases[] = {
      // The two lines every DOS-style server sends.
      {"05-01-03  10:22AM       <DIR>          old", true, "old", 0, true},
      {"05-01-03  10:22AM                12345 ex0501.log", true, "ex0501.log", 12345, false},
      // Four-digit years, other separators, tabs, sizes beyond 32 bits.
      {"05/01/2003  10:22  5000000000 big.log", true, "big.log", 5000000000LL, false},
      {"05.01.03\t10:22AM\t12\ta.log", true, "a.log", 12, false},
      {"12-31-2024 11:59PM 0 empty.log", true, "empty.log", 0, false},
      // The name is the last token, "<DIR>" anywhere makes a folder.
      {"05-01-03 10:22AM <DIR> two words", true, "words", 0, true},
      {"05-01-03 10:22AM 12 my file.log", false, "", 0, false},
      // A size that is no integer.
      {"05-01-03 10:22AM 12k bad.log", false, "", 0, false},
      {"05-01-03 10:22AM -12 bad.log", false, "", 0, false},
      {"05-01-03 10:22AM 99999999999999999999 bad.log", false, "", 0, false},
      // Dates that are not dates fall through to the Unix rule (9 tokens).
      {"05-01/03 10:22AM 12 a.log", false, "", 0, false},
      {"5-01-03 10:22AM 12 a.log", false, "", 0, false},
      {"ab-01-03 10:22AM 12 a.log", false, "", 0, false},
      {"05-01-0x 10:22AM 12 a.log", false, "", 0, false},
      {"05:01:03 10:22AM 12 a.log", false, "", 0, false},
      // Fewer than four tokens.
      {"05-01-03 10:22AM 12", false, "", 0, false},
  };
  for (const TLineCase& c : cases) Check(c);
}

TEST(FtpListing, UnixLines) {
  const TLineCase cases[] = {
      {"-rw-r--r--   1 owner    group        1234 Jan 01 12:00 ex1.log", true, "ex1.log", 1234,
       false},
      {"drwxr-xr-x 2 o g 4096 Jan 01 2024 logs", true, "logs", 0, true},
      {"Drwxr-xr-x 2 o g 4096 Jan 01 2024 LOGS", true, "LOGS", 0, true},
      {"-rw-r--r-- 1 o g 6000000000 Jan 01 2024 huge.log", true, "huge.log", 6000000000LL, false},
      {"-rw-r--r--\t1\to\tg\t7\tJan\t01\t2024\ttabs.log", true, "tabs.log", 7, false},
      // Names keep every odd character that is no blank.
      {"-rw-r--r-- 1 o g 12 Jan 01 2024 ex#1[a]%20?.log", true, "ex#1[a]%20?.log", 12, false},
      {"-rw-r--r-- 1 o g 7 Jan 01 2024 \xC3\x9C" "bersicht.log", true,
       "\xC3\x9C" "bersicht.log", 7, false},
      {"-rw-r--r-- 1 o g 5 Jan 01 2024 ../evil.log", true, "../evil.log", 5, false},
      // A name with blanks or a link has more than nine tokens.
      {"-rw-r--r-- 1 o g 12 Jan 01 2024 my file.log", false, "", 0, false},
      {"lrwxrwxrwx 1 o g 12 Jan 01 2024 link -> target", false, "", 0, false},
      {"-rw-r--r-- 1 o 12 Jan 01 2024 eight.log", false, "", 0, false},
      {"-rw-r--r-- 1 o g big Jan 01 2024 x.log", false, "", 0, false},
      {"-rw-r--r-- 1 o g 99999999999999999999 Jan 01 2024 x.log", false, "", 0, false},
      {"-rw-r--r-- 1 o g +5 Jan 01 2024 x.log", false, "", 0, false},
      // Junk.
      {"total 12", false, "", 0, false},
      {"", false, "", 0, false},
      {"   \t  ", false, "", 0, false},
      {"226 Transfer complete. Bye now", false, "", 0, false},
  };
  for (const TLineCase& c : cases) Check(c);
}

TEST(FtpListing, SafeLocalNames) {
  const std::pair<std::string, bool> cases[] = {
      {"ex0501.log", true},   {"...", true},          {"a..b.log", true},
      {".hidden", true},      {"ex#1[a]?.log", true}, {"", false},
      {".", false},           {"..", false},          {"../evil.log", false},
      {"a/b.log", false},     {"a\\b.log", false},    {std::string("a\0b", 3), false},
      {"a\x1b[2Jb", false},   {"line\r", false},
  };
  for (const auto& [name, safe] : cases) EXPECT_EQ(IsSafeLocalName(name), safe) << name;
}

TEST(FtpProgress, KilobyteTexts) {
  EXPECT_EQ(KBText(0), "0 KB");
  EXPECT_EQ(KBText(1023), "0 KB");
  EXPECT_EQ(KBText(1024), "1 KB");
  EXPECT_EQ(KBText(12287), "11 KB");
  EXPECT_EQ(KBText(5000000000LL), "4882812 KB");
}

TEST(FtpProgress, BarTimeLeftAndRate) {
  // Nothing has come yet: no time left, no rate.
  TTransferProgress p = TransferProgressOf(10240, 0, 0, 0);
  EXPECT_EQ(p.range, 10240);
  EXPECT_EQ(p.position, 0);
  EXPECT_EQ(p.time_left, "");
  EXPECT_EQ(p.rate, "0 KB/sec");
  EXPECT_EQ(p.received, "0 KB");

  // A resumed transfer counts from its offset: 2 KB of 8 KB in one second
  // leave three seconds.
  p = TransferProgressOf(10240, 2048, 4096, 1000);
  EXPECT_EQ(p.range, 8192);
  EXPECT_EQ(p.position, 2048);
  EXPECT_EQ(p.time_left, "3 secs, 0 msecs.");
  EXPECT_EQ(p.rate, "2.00 KB/sec");
  EXPECT_EQ(p.received, "2 KB");

  // Rates with two decimals; an hour and a half left.
  p = TransferProgressOf(4 * 1024 * 1024, 0, 1024 * 1024, 1800 * 1000);
  EXPECT_EQ(p.rate, "0.57 KB/sec");
  EXPECT_EQ(p.time_left, "1 hour, 30 mins, 0 secs, 0 msecs.");
  EXPECT_EQ(p.received, "1024 KB");

  // A file that grew since it was listed: the bar is full, no time is left
  // (no negative span), the received count goes on.
  p = TransferProgressOf(1000, 0, 3048, 2000);
  EXPECT_EQ(p.position, 3048);
  EXPECT_EQ(p.time_left, DurationText(0));
  EXPECT_EQ(p.received, "2 KB");
}

}  // namespace
}  // namespace trelvar
