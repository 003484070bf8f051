// Zipping a report folder, checked by unpacking the archive with
// minizip's reader.
#include "automation/zip_folder.h"

#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <map>

#include "base/progress.h"
#include "base/text_helpers.h"
#include "platform/files.h"
#include "test_support.h"

namespace trelvar {
namespace {

struct TUnzipped {
  std::string data;
  unsigned long method = 0;
  unsigned long flag = 0;
  tm_unz time{};
};

// Entry name -> what it holds, in archive order in `order`.
std::map<std::string, TUnzipped> Unzip(const std::string& path,
                                       std::vector<std::string>* order = nullptr) {
  std::map<std::string, TUnzipped> out;
  unzFile zip = unzOpen64(path.c_str());
  if (zip == nullptr) {
    ADD_FAILURE() << "not a readable archive: " << path;
    return out;
  }
  for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
    unz_file_info64 info;
    char name[512];
    EXPECT_EQ(unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0),
              UNZ_OK);
    TUnzipped& e = out[name];
    if (order != nullptr) order->push_back(name);
    e.method = info.compression_method;
    e.flag = info.flag;
    e.time = info.tmu_date;
    EXPECT_EQ(unzOpenCurrentFile(zip), UNZ_OK);
    char block[4096];
    for (int n; (n = unzReadCurrentFile(zip, block, sizeof block)) > 0;) e.data.append(block, n);
    // Also checks the entry's CRC.
    EXPECT_EQ(unzCloseCurrentFile(zip), UNZ_OK) << name;
  }
  unzClose(zip);
  return out;
}

std::string Bytes(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7919 + seed * 31 + i / 97) & 0xff);
  return s;
}

void SetLocalTime(const std::string& path, int year, int month, int day, int hour, int minute,
                  int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  const utimbuf times{std::mktime(&t), std::mktime(&t)};
  ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

struct ZipFolderTest : ::testing::Test {
  test::TTempDir dir;
  std::string folder = dir / "out/";
  test::TCaptureHost host{TRunMode::Windowed};

  void SetUp() override { ASSERT_TRUE(platform::ForceFolders(folder)); }
};

TEST_F(ZipFolderTest, PlainFilesOfTheFolderGoInLowerCasedAndUnchanged) {
  const std::string page = "<html>" + std::string(30000, 'x') + "</html>";
  const std::string image = Bytes(20001, 1);  // several 8192-byte blocks
  test::WriteFile(folder + "Index.HTM", page);
  test::WriteFile(folder + "chart.GIF", image);
  test::WriteFile(folder + "empty.css", "");
  test::WriteFile(folder + "old.zip", "an earlier archive");
  test::WriteFile(folder + "OLDER.Zip", "another");
  test::WriteFile(folder + "sub/inner.htm", "in a subfolder");
  test::WriteFile(dir / "elsewhere.txt", "reached by a link");
  ASSERT_EQ(symlink((folder + "sub").c_str(), (folder + "linked_folder").c_str()), 0);
  ASSERT_EQ(symlink((dir / "elsewhere.txt").c_str(), (folder + "Linked.txt").c_str()), 0);

  ASSERT_TRUE(ZipFolder(folder, "site.zip", nullptr));
  std::vector<std::string> order;
  const auto entries = Unzip(folder + "site.zip", &order);
  EXPECT_EQ(order, (std::vector<std::string>{"chart.gif", "empty.css", "index.htm", "linked.txt"}));
  EXPECT_EQ(entries.at("index.htm").data, page);
  EXPECT_EQ(entries.at("chart.gif").data, image);
  EXPECT_EQ(entries.at("empty.css").data, "");
  EXPECT_EQ(entries.at("linked.txt").data, "reached by a link");
  for (const auto& [name, e] : entries) {
    EXPECT_EQ(e.method, static_cast<unsigned long>(Z_DEFLATED)) << name;
    // Bits 1 and 2 of a deflated entry: 1 = maximum compression.
    EXPECT_EQ(e.flag & 6, 2u) << name;
  }
  EXPECT_TRUE(host.status_lines.empty());
  EXPECT_EQ(host.enabled_history, std::vector<bool>{true});
}

TEST_F(ZipFolderTest, EntriesKeepTheFileTimes) {
  struct TCase {
    std::string file;
    int y, mo, d, h, mi, s;
    unsigned zy, zmo, zd, zh, zmi, zs;  // in the archive (month 0-based)
  };
  const std::vector<TCase> cases = {
      {"a.htm", 2021, 6, 15, 13, 45, 30, 2021, 5, 15, 13, 45, 30},
      {"b.htm", 1999, 12, 31, 23, 59, 59, 1999, 11, 31, 23, 59, 58},  // two-second steps
      {"c.htm", 1980, 1, 1, 0, 0, 0, 1980, 0, 1, 0, 0, 0},
      {"d.htm", 1975, 3, 3, 10, 0, 0, 1980, 0, 1, 0, 0, 0},  // before DOS dates: their first
  };
  for (const TCase& c : cases) {
    test::WriteFile(folder + c.file, c.file);
    SetLocalTime(folder + c.file, c.y, c.mo, c.d, c.h, c.mi, c.s);
  }
  ASSERT_TRUE(ZipFolder(folder, "t.zip", nullptr));
  const auto entries = Unzip(folder + "t.zip");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.file);
    const tm_unz& t = entries.at(c.file).time;
    EXPECT_EQ(std::vector<unsigned>({t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec}),
              std::vector<unsigned>({c.zy, c.zmo, c.zd, c.zh, c.zmi, c.zs}));
  }
}

TEST_F(ZipFolderTest, NamesEqualInLowerCaseAllKeepTheirData) {
  const std::map<std::string, std::string> files = {
      {"Index.htm", "upper"}, {"index.htm", "lower"}, {"index~2.htm", "taken"},
      {"README", "R1"},       {"ReadMe", "R2"},       {".Hidden", "dot"},
      {".hidden~2", "dot2"},  {".HIDDEN", "dot3"}};
  for (const auto& [name, data] : files) test::WriteFile(folder + name, data);
  ASSERT_TRUE(ZipFolder(folder, "site.zip", nullptr));
  std::map<std::string, std::string> got;
  for (const auto& [name, e] : Unzip(folder + "site.zip")) got[name] = e.data;
  // A name already in lower case keeps it; the others, in name order, take
  // the first free number.
  EXPECT_EQ(got, (std::map<std::string, std::string>{{"index.htm", "lower"},
                                                     {"index~2.htm", "taken"},
                                                     {"index~3.htm", "upper"},
                                                     {"readme", "R1"},
                                                     {"readme~2", "R2"},
                                                     {".hidden", "dot3"},
                                                     {".hidden~2", "dot2"},
                                                     {".hidden~3", "dot"}}));
}

TEST_F(ZipFolderTest, ProgressShowsOneStepAFileAndTheHeadlessInfoLine) {
  test::TCaptureHost console(TRunMode::Console);
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) test::WriteFile(folder + name, name);
  TfrmProg progress(console);
  progress.SetUnitLabelVisible(true);
  progress.Show();
  ASSERT_TRUE(ZipFolder(folder, "site.zip", &progress));
  EXPECT_EQ(progress.InfoCaption(), "Compressing reports...");
  EXPECT_EQ(progress.BarMaximum(), 3);
  EXPECT_EQ(progress.Position(), 3);
  EXPECT_EQ(progress.FileName(), "c.htm");
  EXPECT_FALSE(progress.UnitLabelVisible());
  EXPECT_FALSE(progress.Visible());
  EXPECT_EQ(console.stdout_text, "Compressing reports...\n");
  EXPECT_EQ(console.enabled_history, std::vector<bool>{true});
}

TEST_F(ZipFolderTest, EmptyFolderGivesAnEmptyArchive) {
  ASSERT_TRUE(ZipFolder(dir / "out", "site.zip", nullptr));  // no final "/" either
  // minizip's reader refuses an archive without entries; Python's does not.
  const test::TRunResult r = test::RunProgram(
      "/usr/bin/python3",
      {"-c", "import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).namelist())",
       folder + "site.zip"});
  EXPECT_EQ(r.out, "[]\n") << r.err;
}

TEST_F(ZipFolderTest, FailuresSayWhatAndWhyAndLeaveNoArchive) {
  struct TCase {
    std::string name;
    std::string folder, archive;
    std::function<void()> prepare;
    std::vector<std::string> line_parts;
    std::string left_over;  // a path that must not exist afterwards
  };
  const std::string missing = dir / "nowhere/";
  const std::string not_folder = dir / "plain.txt";
  test::WriteFile(not_folder, "x");
  const std::vector<TCase> cases = {
      {"missing folder", missing, "site.zip", [] {},
       {"The folder", missing, "No such file or directory"}, missing + "site.zip"},
      {"file instead of a folder", not_folder, "site.zip", [] {},
       {"The folder", not_folder, "Not a directory"}, ""},
      {"archive path is a folder", folder, "site.zip",
       [&] { platform::ForceFolders(folder + "site.zip"); },
       {"The archive", folder + "site.zip", "cannot be created", "Is a directory"}, ""},
      {"archive in a missing subfolder", folder, "gone/site.zip", [] {},
       {"The archive", folder + "gone/site.zip", "No such file or directory"},
       folder + "gone/site.zip"},
      // The first files are in; reading the next fails. Its name, line
      // break and all, stays on the one line.
      {"unreadable file", folder, "site.zip",
       [&] {
         test::WriteFile(folder + "a.htm", Bytes(50000, 2));
         ASSERT_EQ(symlink("/proc/self/mem", (folder + "b\nc.mem").c_str()), 0);
       },
       {"The file", folder + "b c.mem", folder + "site.zip", "Input/output error"},
       folder + "site.zip"},
      // Written to a full disk: the loss shows while a file is added...
      {"full disk", folder, "site.zip",
       [&] {
         test::WriteFile(folder + "a.htm", "small");
         ASSERT_EQ(symlink("/dev/full", (folder + "site.zip").c_str()), 0);
       },
       {"The file", folder + "a.htm", folder + "site.zip", "No space left on device"},
       folder + "site.zip"},
      // ... or, with nothing to add, when the archive is closed.
      {"full disk, empty folder", folder, "site.zip",
       [&] { ASSERT_EQ(symlink("/dev/full", (folder + "site.zip").c_str()), 0); },
       {"The archive", folder + "site.zip", "cannot be created", "No space left on device"},
       folder + "site.zip"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(folder);
    platform::ForceFolders(folder);
    c.prepare();
    host.status_lines.clear();
    host.enabled_history.clear();
    EXPECT_FALSE(ZipFolder(c.folder, c.archive, nullptr));
    ASSERT_EQ(host.status_lines.size(), 1u);
    EXPECT_EQ(host.status_lines[0].find_first_of("\r\n"), std::string::npos);
    for (const std::string& part : c.line_parts)
      EXPECT_TRUE(Contains(host.status_lines[0], part)) << host.status_lines[0] << " / " << part;
    if (!c.left_over.empty()) {
      EXPECT_FALSE(platform::PathExists(c.left_over));
    }
    EXPECT_EQ(host.enabled_history, std::vector<bool>{true});
  }
}

TEST_F(ZipFolderTest, CancelStopsAndRemovesTheArchive) {
  test::WriteFile(folder + "a.htm", Bytes(40000, 4));
  test::TCaptureHost console(TRunMode::Console);
  TfrmProg progress(console);
  progress.Cancel();
  EXPECT_FALSE(ZipFolder(folder, "site.zip", &progress));
  EXPECT_FALSE(platform::PathExists(folder + "site.zip"));
  EXPECT_TRUE(Contains(console.stdout_text, "Aborted"));
  EXPECT_FALSE(progress.Visible());
}

}  // namespace
}  // namespace trelvar
