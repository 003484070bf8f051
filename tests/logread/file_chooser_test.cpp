#include "logread/file_chooser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/errors.h"
#include "logread/gzip_test_support.h"
#include "test_support.h"

namespace trelvar {
namespace {

// The whole stream of a chooser: every line it hands out until AllDone.
std::vector<std::string> ReadStream(TFileChooser& chooser) {
  chooser.StartFiles();
  std::vector<std::string> lines;
  std::string line;
  while (!chooser.AllDone() && lines.size() < 10000000) {
    chooser.ReadLine(line);
    lines.push_back(line);
  }
  return lines;
}

// Non-empty lines, as the line parser sees them.
std::vector<std::string> NonEmpty(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& l : lines)
    if (!l.empty()) out.push_back(l);
  return out;
}

class FileChooserTest : public ::testing::Test {
 protected:
  FileChooserTest() : folders_(dir_ / "program/", dir_ / "data/") {}

  std::string Data(const std::string& name) const { return dir_ / ("data/" + name); }

  test::TTempDir dir_;
  TFolders folders_;
};

TEST_F(FileChooserTest, FolderListsItsFilesButNotDebugLogOrSubfolders) {
  test::WriteFile(Data("logs/b.log"), "b1\r\n");
  test::WriteFile(Data("logs/a.log"), "a1\r\na2\r\n");
  test::WriteFile(Data("logs/debug.log"), "debug\r\n");
  test::WriteFile(Data("logs/Debug.log"), "kept: only the exact name is left out\r\n");
  test::WriteFile(Data("logs/sub/c.log"), "c1\r\n");
  ASSERT_EQ(mkfifo(Data("logs/fifo.log").c_str(), 0600), 0);  // would block a read

  TFileChooser chooser(folders_);
  chooser.SetLogPath("logs/");
  EXPECT_EQ(chooser.Files(), (std::vector<std::string>{Data("logs/Debug.log"),
                                                        Data("logs/a.log"), Data("logs/b.log")}));
  test::TCaptureHost host(TRunMode::Console);
  EXPECT_EQ(NonEmpty(ReadStream(chooser)),
            (std::vector<std::string>{"kept: only the exact name is left out", "a1", "a2", "b1"}));
}

TEST_F(FileChooserTest, PlainAndGzipFilesAreOneStreamAndAnnounced) {
  test::WriteFile(Data("one.log"), "p1\np2");
  test::WriteFile(Data("two.log.gz"), test::Gzip("g1\r\ng2\r\n"));
  TFileChooser chooser(folders_);
  chooser.SetLogPath(Data("one.log") + " ; " + Data("two.log.gz"));
  test::TCaptureHost host(TRunMode::Web);
  const std::vector<std::string> lines = ReadStream(chooser);
  // The first file ends without a break: its last line still comes.
  EXPECT_EQ(lines, (std::vector<std::string>{"p1", "p2", "g1", "g2", "", ""}));
  EXPECT_EQ(host.stdout_text, "Processing file (1 of 2): " + Data("one.log") + "\r\n" +
                                  "Processing file (2 of 2): " + Data("two.log.gz") + "\r\n");
  EXPECT_EQ(chooser.CurrentPath(), Data("two.log.gz"));
  EXPECT_EQ(chooser.CurrentIndex(), 1);
  EXPECT_EQ(chooser.ReadLine(), "");  // stays done
  EXPECT_TRUE(chooser.AllDone());
}

TEST_F(FileChooserTest, SingleFileIsNotAnnounced) {
  test::WriteFile(Data("only.log"), "x\n");
  TFileChooser chooser(folders_);
  chooser.SetLogPath("only.log");
  test::TCaptureHost host(TRunMode::Web);
  // The line, the end of the file, the end of the stream.
  EXPECT_EQ(ReadStream(chooser), (std::vector<std::string>{"x", "", ""}));
  EXPECT_EQ(host.stdout_text, "");
}

TEST_F(FileChooserTest, PiecesAndWhereTheyAreTaken) {
  test::WriteFile(Data("sub/a.log"), "");
  test::WriteFile(dir_ / "abs.log", "");
  struct TCase {
    std::string list;
    std::vector<std::string> files;
  };
  const std::vector<TCase> cases = {
      // Only the first piece is relative to the data folder, with or
      // without one leading "\"; "\" is read as "/".
      {"sub/a.log", {Data("sub/a.log")}},
      {"\\sub\\a.log", {Data("sub/a.log")}},
      {"  sub/a.log  ;  " + dir_ / "abs.log", {Data("sub/a.log"), dir_ / "abs.log"}},
      {dir_ / "abs.log" + ";rel/b.log", {dir_ / "abs.log", "rel/b.log"}},
      {dir_ / "abs.log" + ";rel\\b.log", {dir_ / "abs.log", "rel/b.log"}},
      // Stray separators add nothing.
      {"sub/a.log;;", {Data("sub/a.log")}},
      {"", {}},
      // A wildcard that matches nothing is no error.
      {"sub/*.txt", {}},
      {"sub/?.log", {Data("sub/a.log")}},
      // A missing single file is listed; its turn raises.
      {"sub/none.log", {Data("sub/none.log")}},
  };
  for (const TCase& c : cases) {
    TFileChooser chooser(folders_);
    chooser.SetLogPath(c.list);
    EXPECT_EQ(chooser.Files(), c.files) << c.list;
  }
}

TEST_F(FileChooserTest, DatePatternsInBothBracketForms) {
  test::WriteFile(Data("ex240517.log"), "");
  test::WriteFile(Data("2024/05/access.log"), "");
  const TDateTime now = EncodeDate(2024, 5, 17) + EncodeTime(13, 5, 0);
  TFileChooser chooser(folders_);
  chooser.SetLogPath("ex<yymmdd>.log;" + Data("(yyyy)/<mm>/access.log") + ";" +
                         Data("w(yyyy-mm-dd).log"),
                     now);
  EXPECT_EQ(chooser.Files(), (std::vector<std::string>{Data("ex240517.log"),
                                                        Data("2024/05/access.log"),
                                                        Data("w2024-05-17.log")}));
}

TEST_F(FileChooserTest, WhatCannotBeReadIsSkippedAndNoted) {
  // A listed file that is missing, one that vanishes between listing and
  // reading, one that cannot be opened, and a pattern without a match: the
  // stream goes on with the rest and each loss is a warning.
  test::WriteFile(Data("a.log"), "a\n");
  TFileChooser first(folders_);
  first.SetLogPath(Data("gone.log") + ";" + Data("a.log") + ";" + Data("none*.log"));
  test::TCaptureHost host(TRunMode::Web);
  EXPECT_EQ(NonEmpty(ReadStream(first)), std::vector<std::string>{"a"});
  EXPECT_EQ(first.InputProblems(),
            (std::vector<std::string>{"The log path " + Data("none*.log") + " matches no file.",
                                      "Log file " + Data("gone.log") + " not found"}));
  EXPECT_NE(host.stdout_text.find("<P>Warning: Log file " + Data("gone.log") + " not found</P>"),
            std::string::npos)
      << host.stdout_text;

  const std::string long_line(3000, 'p');
  test::WriteFile(Data("a.log"), "a\n" + long_line + "\n");  // 2 KB
  test::WriteFile(Data("b.log"), "b\n");
  test::WriteFile(Data("c.log"), "c\n");
  TFileChooser second(folders_);
  second.SetLogPath("*.log");
  ASSERT_EQ(second.Count(), 3);
  second.StartFiles();
  ASSERT_EQ(unlink(Data("b.log").c_str()), 0);
  EXPECT_EQ(second.ReadLine(), "a");
  EXPECT_EQ(second.ReadLine(), long_line);
  EXPECT_EQ(second.ReadLine(), "");
  EXPECT_EQ(second.ReadLine(), "c");  // b.log is skipped
  EXPECT_EQ(second.InputProblems(),
            std::vector<std::string>{"Log file " + Data("b.log") + " not found"});
  EXPECT_EQ(second.ReadLine(), "");
  EXPECT_EQ(second.ReadLine(), "");
  EXPECT_TRUE(second.AllDone());
  EXPECT_EQ(second.ProgressKB(), 2);  // the finished files are counted once

  // A folder named as a file cannot be read as one.
  test::WriteFile(Data("dir.log/x"), "x\n");
  TFileChooser fourth(folders_);
  fourth.SetLogPath("dir.log;" + Data("c.log"));
  EXPECT_EQ(NonEmpty(ReadStream(fourth)), std::vector<std::string>{"c"});
  ASSERT_EQ(fourth.InputProblems().size(), 1u);
  EXPECT_NE(fourth.InputProblems()[0].find(Data("dir.log")), std::string::npos);

  if (geteuid() == 0) return;  // permissions do not hold for root
  ASSERT_EQ(chmod(Data("c.log").c_str(), 0), 0);
  TFileChooser third(folders_);
  third.SetLogPath("c.log;" + Data("a.log"));
  EXPECT_EQ(NonEmpty(ReadStream(third)), (std::vector<std::string>{"a", long_line}));
  EXPECT_EQ(third.InputProblems(),
            std::vector<std::string>{"Cannot open file \"" + Data("c.log") + "\""});
}

TEST_F(FileChooserTest, FolderSearchFailuresRaiseWithErrnoAndPattern) {
  {
    // A folder that is not there holds no match.
    TFileChooser chooser(folders_);
    chooser.SetLogPath(Data("nowhere/*.log"));
    EXPECT_EQ(chooser.Count(), 0);
    EXPECT_EQ(chooser.InputProblems().size(), 1u);
  }
  test::WriteFile(Data("plain"), "");
  try {
    TFileChooser chooser(folders_);
    chooser.SetLogPath("plain/*.log");
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "#20: Not a directory:\n" + Data("plain/*.log"));
  }
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
  test::WriteFile(Data("closed/a.log"), "a\n");
  ASSERT_EQ(chmod(Data("closed").c_str(), 0), 0);
  try {
    TFileChooser chooser(folders_);
    chooser.SetLogPath("closed/");
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "#13: Permission denied:\n" + Data("closed/*"));
  }
  chmod(Data("closed").c_str(), 0700);
}

TEST_F(FileChooserTest, OnFileStartSeesEveryFileAndMaySkipIt) {
  test::WriteFile(Data("a.log"), "a\n");
  test::WriteFile(Data("b.log"), "b\n");
  test::WriteFile(Data("c.log"), "c\n");
  TFileChooser chooser(folders_);
  std::vector<std::string> asked;
  chooser.SetOnFileStart([&](TFileChooser& c, const std::string& path, bool& accept) {
    EXPECT_EQ(&c, &chooser);
    EXPECT_TRUE(accept);
    asked.push_back(path);
    accept = path != Data("b.log");
  });
  chooser.SetLogPath("*.log");
  test::TCaptureHost host(TRunMode::Console);
  EXPECT_EQ(NonEmpty(ReadStream(chooser)), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(asked, (std::vector<std::string>{Data("a.log"), Data("b.log"), Data("c.log")}));
  EXPECT_EQ(host.stdout_text, "Processing file (1 of 3): " + Data("a.log") + "\n" +
                                  "Processing file (3 of 3): " + Data("c.log") + "\n");
}

TEST_F(FileChooserTest, ProgressCountsWholeKilobytes) {
  std::string big;
  while (big.size() < 600 * 1024) big += std::string(99, 'z') + "\n";
  test::WriteFile(Data("big.log"), big);                        // 600 KB
  test::WriteFile(Data("small.log"), std::string(3000, 's'));  // 2 KB
  TFileChooser chooser(folders_);
  chooser.SetLogPath("big.log;" + Data("small.log"));
  EXPECT_EQ(chooser.TotalKB(), 1 + 600 + 2);
  chooser.SetLogPath("big.log;" + Data("small.log"));  // a second list starts over
  EXPECT_EQ(chooser.TotalKB(), 1 + 600 + 2);

  test::TCaptureHost host(TRunMode::Console);
  chooser.StartFiles();
  EXPECT_EQ(chooser.ProgressKB(), 0);
  // Progress follows the lines handed out, not the bytes read ahead: 100
  // bytes are no whole kilobyte yet, 11 lines are.
  chooser.ReadLine();
  EXPECT_EQ(chooser.ProgressKB(), 0);
  std::string line;
  for (int i = 0; i < 10; ++i) chooser.ReadLine(line);
  EXPECT_EQ(chooser.ProgressKB(), 1);
  int64_t last = 1;
  while (!chooser.AllDone()) {
    chooser.ReadLine(line);
    EXPECT_GE(chooser.ProgressKB(), last);
    last = chooser.ProgressKB();
  }
  EXPECT_EQ(chooser.ProgressKB(), 600 + 2);
}

TEST_F(FileChooserTest, EmptyListIsDoneAtOnce) {
  test::WriteFile(Data("a.log"), "a\n");
  TFileChooser chooser(folders_);
  chooser.SetLogPath("*.none");
  chooser.StartFiles();
  EXPECT_TRUE(chooser.AllDone());
  EXPECT_EQ(chooser.ReadLine(), "");
  EXPECT_EQ(chooser.ProgressKB(), 0);
}

TEST_F(FileChooserTest, DamagedGzipFileIsFollowedByTheNextFile) {
  std::string gz = test::Gzip(std::string(200000, 'q') + "\n");
  gz[gz.size() / 2] = static_cast<char>(gz[gz.size() / 2] ^ 0xff);
  gz[gz.size() / 2 + 1] = static_cast<char>(gz[gz.size() / 2 + 1] ^ 0xff);
  test::WriteFile(Data("1.log.gz"), gz);
  test::WriteFile(Data("2.log"), "after\n");
  TFileChooser chooser(folders_);
  chooser.SetLogPath("*");
  test::TCaptureHost host(TRunMode::Web);
  const std::vector<std::string> lines = ReadStream(chooser);
  ASSERT_FALSE(NonEmpty(lines).empty());
  EXPECT_EQ(NonEmpty(lines).back(), "after");
  EXPECT_EQ(host.stdout_text,
            "Processing file (1 of 2): " + Data("1.log.gz") + "\r\n" +
                "<p>GZ stream error</p>\r\n" + "<P>Warning: The log file " + Data("1.log.gz") +
                " is damaged: " + std::to_string(NonEmpty(lines).size() - 1) +
                " of its lines were read.</P>\r\n" + "Processing file (2 of 2): " +
                Data("2.log") + "\r\n");
  EXPECT_EQ(chooser.InputProblems().size(), 1u);
}

}  // namespace
}  // namespace trelvar
