#include "logread/file_parser.h"

#include <gtest/gtest.h>

#include <random>

#include "base/errors.h"
#include "logread/gzip_test_support.h"
#include "test_support.h"

namespace trelvar {
namespace {

// What the readers must hand out for `bytes`: pieces between breaks (CR LF,
// lone CR, lone LF), overlong ones dropped, the piece after the last break
// last ("" in place of an overlong one).
std::vector<std::string> ExpectedLines(const std::string& bytes) {
  std::vector<std::string> pieces;
  std::string current;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      pieces.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  std::vector<std::string> lines;
  for (const std::string& p : pieces)
    if (p.size() < TFileParser::kMaxLineLength) lines.push_back(p);
  lines.push_back(current.size() < TFileParser::kMaxLineLength ? current : "");
  return lines;
}

// Every line until AtEnd, as copies or as views; AtEnd must come exactly
// with the last line, and every line that is not empty is counted.
std::vector<std::string> ReadAll(TFileParser& reader, const std::string& path,
                                 bool views = false) {
  reader.Open(path);
  std::vector<std::string> lines;
  std::string line;
  int64_t not_empty = 0;
  while (!reader.AtEnd()) {
    if (views) {
      lines.emplace_back(reader.ReadLineView(line));
    } else {
      reader.ReadLine(line);
      lines.push_back(line);
    }
    not_empty += !lines.back().empty();
    if (lines.size() > 10000000) break;  // a reader that never ends
  }
  EXPECT_EQ(reader.LinesRead(), not_empty);
  return lines;
}

// `damaged`, when given, tells whether the reader found the file damaged.
std::vector<std::string> ReadFileLines(const std::string& path, bool* damaged = nullptr,
                                       bool views = false) {
  auto reader = CreateFileParser(path);
  std::vector<std::string> lines = ReadAll(*reader, path, views);
  if (damaged != nullptr) *damaged = reader->Damaged();
  return lines;
}

// The same text as a plain and as a gzip file; both must give `expected`.
void ExpectBothReaders(const std::string& text, const std::vector<std::string>& expected,
                       const std::string& what) {
  test::TTempDir dir;
  test::WriteFile(dir / "a.log", text);
  test::WriteFile(dir / "a.log.gz", test::Gzip(text));
  test::TCaptureHost host(TRunMode::Web);
  for (const bool views : {false, true}) {
    const std::string as = views ? ", as views" : "";
    EXPECT_EQ(ReadFileLines(dir / "a.log", nullptr, views), expected)
        << what << " (plain" << as << ")";
    EXPECT_EQ(ReadFileLines(dir / "a.log.gz", nullptr, views), expected)
        << what << " (gzip" << as << ")";
  }
  EXPECT_EQ(host.stdout_text, "") << what;
}

TEST(FileParser, LineBreaksOfEveryKindGiveTheSameLines) {
  struct TCase {
    std::string text;
    std::vector<std::string> lines;
  };
  const std::vector<TCase> cases = {
      {"one\r\ntwo\r\n\r\nthree", {"one", "two", "", "three"}},
      {"one\ntwo\n\nthree", {"one", "two", "", "three"}},
      {"one\rtwo\r\rthree", {"one", "two", "", "three"}},
      {"one\r\ntwo\n\rthree", {"one", "two", "", "three"}},  // LF then a lone CR
      {"one\r\n", {"one", ""}},                               // ends with a break
      {"one", {"one"}},                                       // ends without one
      {"", {""}},
      {"\r\n\r\n", {"", "", ""}},
      {std::string("a\0b\r\n\0\r\n", 8), {std::string("a\0b", 3), std::string("\0", 1), ""}},
  };
  for (const TCase& c : cases) ExpectBothReaders(c.text, c.lines, "text of " + std::to_string(c.text.size()));
}

TEST(FileParser, OverlongLinesAreDroppedAndTheNextReturned) {
  const std::string limit(TFileParser::kMaxLineLength - 1, 'k');  // longest kept
  const std::string over(TFileParser::kMaxLineLength, 'x');
  const std::string huge(20000, 'y');
  ExpectBothReaders(limit + "\r\n" + over + "\r\nnext\r\n", {limit, "next", ""}, "boundary");
  ExpectBothReaders(huge + "\nafter\n" + huge + "\n" + huge + "\nlast", {"after", "last"},
                    "20000 characters");
  // An overlong last line without a break: the file ends with "".
  ExpectBothReaders("first\n" + huge, {"first", ""}, "overlong at the end");
}

TEST(FileParser, CrLfSplitBetweenReadsGivesNoExtraLine) {
  // A CR as the last byte of blocks of every likely size: the LF that
  // follows in the next block belongs to the same break.
  for (size_t block : {1024u, 16384u, 65536u, 131072u, 262144u, 1048576u}) {
    std::string text;
    std::vector<std::string> lines;
    const std::string body(1000, 'b');
    while (text.size() + 1002 < block) {
      text += body + "\r\n";
      lines.push_back(body);
    }
    const std::string filler(block - 1 - text.size(), 'f');  // its CR lands at block - 1
    text += filler + "\r\nnext\r\n";
    lines.push_back(filler);
    lines.push_back("next");
    lines.push_back("");
    ExpectBothReaders(text, lines, "block " + std::to_string(block));
  }
}

TEST(FileParser, RandomContentMatchesTheLineRule) {
  // Mixed breaks, NUL and high bytes, short and overlong lines over several
  // megabytes, so that breaks and long lines cross every block edge.
  std::mt19937 random(7);
  std::string text;
  while (text.size() < 3 * 1024 * 1024) {
    const unsigned kind = random() % 100;
    const size_t length = kind < 2 ? 10235 + random() % 12 : kind < 4 ? 15000 : random() % 300;
    for (size_t i = 0; i < length; ++i) {
      const unsigned r = random() % 64;
      text += r == 0 ? '\0' : r == 1 ? static_cast<char>(0xe4) : static_cast<char>('a' + r % 26);
    }
    const unsigned brk = random() % 10;
    text += brk < 6 ? "\r\n" : brk < 8 ? "\n" : "\r";
  }
  text += "tail";
  ExpectBothReaders(text, ExpectedLines(text), "random");
}

TEST(FileParser, PositionAndSizeCountFileBytes) {
  test::TTempDir dir;
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line number " + std::to_string(i) + "\r\n";
  const std::string gz = test::Gzip(text);
  test::WriteFile(dir / "a.log", text);
  test::WriteFile(dir / "a.gz", gz);

  TFileParser plain;
  EXPECT_TRUE(plain.AtEnd());
  plain.Open(dir / "a.log");
  EXPECT_FALSE(plain.AtEnd());
  EXPECT_TRUE(plain.Opened());
  EXPECT_EQ(plain.Size(), static_cast<int64_t>(text.size()));
  EXPECT_EQ(plain.Position(), 0);
  EXPECT_EQ(plain.ReadLine(), "line number 0");
  EXPECT_GT(plain.Position(), 0);
  while (!plain.AtEnd()) plain.ReadLine();
  EXPECT_EQ(plain.Position(), static_cast<int64_t>(text.size()));
  plain.Close();
  EXPECT_FALSE(plain.Opened());
  EXPECT_TRUE(plain.AtEnd());

  TZlibFileParser zipped;
  zipped.Open(dir / "a.gz");
  EXPECT_EQ(zipped.Size(), static_cast<int64_t>(gz.size()));
  EXPECT_EQ(zipped.ReadLine(), "line number 0");
  EXPECT_GT(zipped.Position(), 0);
  EXPECT_LE(zipped.Position(), static_cast<int64_t>(gz.size()));
  while (!zipped.AtEnd()) zipped.ReadLine();
  EXPECT_EQ(zipped.Position(), static_cast<int64_t>(gz.size()));
}

TEST(FileParser, PlainFilesThatCannotBeOpenedRaise) {
  test::TTempDir dir;
  TFileParser reader;
  try {
    reader.Open(dir / "missing.log");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + (dir / "missing.log") + "\"");
  }
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_THROW(reader.Open(dir.path()), EInOutError);  // a folder is no log file
}

TEST(ZlibFileParser, DamagedStreamEndsTheFileWithTheStreamError) {
  std::string text;
  for (int i = 0; i < 50000; ++i) text += "GET /page" + std::to_string(i) + ".htm 200\r\n";
  std::string gz = test::Gzip(text);
  for (size_t i = gz.size() / 2; i < gz.size() / 2 + 64; ++i) gz[i] = static_cast<char>(gz[i] ^ 0x5a);
  test::TTempDir dir;
  test::WriteFile(dir / "bad.gz", gz);

  test::TCaptureHost host(TRunMode::Web);
  bool damaged = false;
  const std::vector<std::string> lines = ReadFileLines(dir / "bad.gz", &damaged);
  EXPECT_TRUE(damaged);
  EXPECT_EQ(host.stdout_text, "");  // the reader's owner says so
  ASSERT_FALSE(lines.empty());
  // The lines before the damage come out (what inflates after it may be
  // garbage until the check fails, so only the start is certain).
  EXPECT_EQ(lines.front(), "GET /page0.htm 200");
}

TEST(ZlibFileParser, TruncatedStreamReportsTheErrorAfterItsLines) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "entry " + std::to_string(i) + "\n";
  const std::string gz = test::Gzip(text);
  test::TTempDir dir;
  test::WriteFile(dir / "cut.gz", gz.substr(0, gz.size() - 10));  // trailer gone

  test::TCaptureHost host(TRunMode::Web);
  bool damaged = false;
  const std::vector<std::string> lines = ReadFileLines(dir / "cut.gz", &damaged);
  EXPECT_TRUE(damaged);
  EXPECT_EQ(host.stdout_text, "");
  ASSERT_GE(lines.size(), 1000u);
  EXPECT_EQ(lines[999], "entry 999");
}

TEST(ZlibFileParser, MembersPlainTextEmptyFilesAndTrailingBytes) {
  test::TTempDir dir;
  test::TCaptureHost host(TRunMode::Web);
  test::WriteFile(dir / "two.gz", test::Gzip("a\nb\n") + test::Gzip("c\n"));
  EXPECT_EQ(ReadFileLines(dir / "two.gz"), (std::vector<std::string>{"a", "b", "c", ""}));
  test::WriteFile(dir / "plain.gz", "not\ncompressed");
  EXPECT_EQ(ReadFileLines(dir / "plain.gz"), (std::vector<std::string>{"not", "compressed"}));
  test::WriteFile(dir / "empty.gz", "");
  EXPECT_EQ(ReadFileLines(dir / "empty.gz"), std::vector<std::string>{""});
  test::WriteFile(dir / "padded.gz", test::Gzip("x\n") + std::string(100, '\0'));
  EXPECT_EQ(ReadFileLines(dir / "padded.gz"), (std::vector<std::string>{"x", ""}));
  EXPECT_EQ(host.stdout_text, "");
}

TEST(ZlibFileParser, InflatingAheadKeepsOrderPositionAndStopsAtClose) {
  // Many blocks of inflated text, so that the inflater runs ahead and
  // waits; a reader closed while it waits, reused, then read to the end.
  std::string text;
  for (int i = 0; i < 200000; ++i)
    text += "10.0." + std::to_string(i % 250) + ".1 GET /page" + std::to_string(i) + ".htm\n";
  const std::string gz = test::Gzip(text);
  test::TTempDir dir;
  test::WriteFile(dir / "big.gz", gz);
  test::WriteFile(dir / "small.gz", test::Gzip("one\ntwo\n"));

  TZlibFileParser reader;
  reader.Open(dir / "big.gz");
  EXPECT_EQ(reader.ReadLine(), "10.0.0.1 GET /page0.htm");
  reader.Close();  // the inflater is waiting for room
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(ReadAll(reader, dir / "small.gz"), (std::vector<std::string>{"one", "two", ""}));

  reader.Open(dir / "big.gz");
  std::string line;
  int64_t count = 0, last_position = 0;
  bool in_order = true, position_forward = true;
  while (!reader.AtEnd()) {
    reader.ReadLine(line);
    if (reader.AtEnd() && line.empty()) break;
    in_order = in_order && line == "10.0." + std::to_string(count % 250) + ".1 GET /page" +
                                       std::to_string(count) + ".htm";
    position_forward = position_forward && reader.Position() >= last_position;
    last_position = reader.Position();
    ++count;
  }
  EXPECT_EQ(count, 200000);
  EXPECT_TRUE(in_order);
  EXPECT_TRUE(position_forward);
  EXPECT_FALSE(reader.Damaged());
  EXPECT_EQ(reader.Position(), static_cast<int64_t>(gz.size()));
}

TEST(ZlibFileParser, UnreadableFileRaisesAsAPlainOneDoes) {
  test::TTempDir dir;
  TZlibFileParser reader;
  try {
    reader.Open(dir / "missing.gz");
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + (dir / "missing.gz") + "\"");
  }
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.ReadLine(), "");
}

TEST(FileParser, ReaderKindFollowsTheExtension) {
  struct TCase {
    std::string path;
    bool gzip;
  };
  for (const TCase& c : std::vector<TCase>{{"/l/a.gz", true},
                                           {"/l/a.log.GZ", true},
                                           {"/l/a.Gz", true},
                                           {"/l/a.gzip", false},
                                           {"/l/a.log", false},
                                           {"/l.gz/a", false},
                                           {"gz", false}}) {
    EXPECT_EQ(IsGzipPath(c.path), c.gzip) << c.path;
    EXPECT_EQ(dynamic_cast<TZlibFileParser*>(CreateFileParser(c.path).get()) != nullptr, c.gzip)
        << c.path;
  }
}

}  // namespace
}  // namespace trelvar
