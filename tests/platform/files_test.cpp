#include "platform/files.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/system.h"
#include "test_support.h"

namespace trelvar::platform {
namespace {

TEST(PlatformFiles, SizesOfFilesFoldersAndMissingPaths) {
  test::TTempDir dir;
  test::WriteFile(dir / "f.txt", "12345");
  test::WriteFile(dir / "empty.txt", "");
  EXPECT_EQ(FileSize(dir / "f.txt"), 5);
  EXPECT_EQ(FileSize(dir / "empty.txt"), 0);
  EXPECT_EQ(FileSize(dir.path()), -1);
  EXPECT_EQ(FileSize(dir / "missing"), -1);
  EXPECT_TRUE(IsFolder(dir.path()));
  EXPECT_FALSE(IsFolder(dir / "f.txt"));
  EXPECT_TRUE(FileModifiedLocal(dir / "f.txt").has_value());
  EXPECT_FALSE(FileModifiedLocal(dir / "missing").has_value());
}

TEST(PlatformFiles, ForceFoldersCreatesParents) {
  test::TTempDir dir;
  EXPECT_TRUE(ForceFolders(dir / "a/b/c/"));
  EXPECT_TRUE(IsFolder(dir / "a/b/c"));
  EXPECT_TRUE(ForceFolders(dir / "a/b/c"));
  test::WriteFile(dir / "file", "x");
  EXPECT_FALSE(ForceFolders(dir / "file/sub"));
  EXPECT_TRUE(ForceFolders("ab"));  // too short to mean anything: left alone
}

TEST(PlatformFiles, CopyKeepsTimeAndModeAndReportsProgress) {
  test::TTempDir dir;
  const std::string src = dir / "src.bin";
  std::string data(200000, 'q');
  test::WriteFile(src, data);
  chmod(src.c_str(), 0640);
  struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  utimensat(AT_FDCWD, src.c_str(), times, 0);

  int64_t last_copied = 0, total_seen = 0;
  int calls = 0;
  ASSERT_TRUE(CopyFile(src, dir / "dst.bin", false,
                       [&](const std::string&, const std::string&, int64_t block, int64_t total,
                           int64_t copied) {
                         ++calls;
                         EXPECT_EQ(copied, last_copied + block);
                         last_copied = copied;
                         total_seen = total;
                         return true;
                       }));
  EXPECT_GT(calls, 1);
  EXPECT_EQ(last_copied, 200000);
  EXPECT_EQ(total_seen, 200000);
  EXPECT_EQ(test::ReadFile(dir / "dst.bin"), data);
  struct stat st;
  ASSERT_EQ(stat((dir / "dst.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  ASSERT_TRUE(CopyFile(src, dir / "dst.bin", true));
  EXPECT_EQ(FileSize(dir / "dst.bin"), 400000);

  EXPECT_FALSE(CopyFile(src, dir / "stopped.bin", false,
                        [](const std::string&, const std::string&, int64_t, int64_t, int64_t) {
                          return false;
                        }));
  EXPECT_FALSE(CopyFile(dir / "missing", dir / "x"));
  EXPECT_FALSE(CopyFile(src, dir / "no/such/folder/x"));
}

TEST(PlatformFiles, ListFolderMatchesWildcardsSortedByName) {
  test::TTempDir dir;
  for (const char* name : {"ex0102.log", "ex0101.log", "ex0101.log.gz", "access.log", "EX0103.LOG"})
    test::WriteFile(dir / name, "x");
  ForceFolders(dir / "ex0100.log");
  auto names = [](const std::vector<TFolderEntry>& list) {
    std::vector<std::string> r;
    for (const auto& e : list) r.push_back(e.name + (e.is_folder ? "/" : ""));
    return r;
  };
  EXPECT_EQ(names(ListFolder(dir.path(), "ex*.log")),
            (std::vector<std::string>{"ex0100.log/", "ex0101.log", "ex0102.log"}));
  EXPECT_EQ(names(ListFolder(dir.path(), "ex010?.log*")),
            (std::vector<std::string>{"ex0100.log/", "ex0101.log", "ex0101.log.gz", "ex0102.log"}));
  EXPECT_TRUE(ListFolder(dir / "missing", "*").empty());
}

TEST(PlatformFiles, WildcardsOfNamesWithoutAFolder) {
  const struct {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*", "ex0101.log", true},      {"*", ".hidden", true},
      {"ex*.log", "ex0101.log", true}, {"ex*.log", "EX0101.LOG", false},
      {"ex*.log", "ex0101.log.gz", false}, {"ex??.log", "ex01.log", true},
      {"ex??.log", "ex1.log", false},  {"ex[0-9].log", "ex7.log", true},
      {"ex[0-9].log", "exa.log", false}, {"*.*", "noext", false},
      {"a#b%20.log", "a#b%20.log", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

TEST(PlatformFiles, UniqueFilesAreNewAndPrivate) {
  test::TTempDir dir;
  const std::string a = CreateUniqueFile(dir.path(), "temp", ".tmp");
  const std::string b = CreateUniqueFile(dir.path(), "temp", ".tmp");
  ASSERT_FALSE(a.empty());
  ASSERT_NE(a, b);
  EXPECT_EQ(a.rfind(dir.path() + "temp", 0), 0u);
  EXPECT_EQ(a.substr(a.size() - 4), ".tmp");
  EXPECT_EQ(FileSize(a), 0);
  struct stat st {};
  ASSERT_EQ(stat(a.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(CreateUniqueFile(dir / "missing/", "temp", ".tmp"), "");
}

TEST(PlatformSystem, LocaleCodesAndFolders) {
  EXPECT_EQ(LocaleCodeOf("en_US"), "0409");
  EXPECT_EQ(LocaleCodeOf("de_AT"), "0c07");
  EXPECT_EQ(LocaleCodeOf("de"), "0407");
  EXPECT_EQ(LocaleCodeOf("de_BE"), "0407");  // unknown country: the language's main id
  EXPECT_EQ(LocaleCodeOf("xx_YY"), "");
  EXPECT_EQ(LocaleCodeOf(""), "");

  setenv("TRELVAR_DATA_DIR", "/tmp/trelvar-data", 1);
  EXPECT_EQ(DataFolder(), "/tmp/trelvar-data/");
  unsetenv("TRELVAR_DATA_DIR");
  setenv("XDG_DOCUMENTS_DIR", "/tmp/docs", 1);
  EXPECT_EQ(DataFolder(), "/tmp/docs/Trelvar 2/");
  unsetenv("XDG_DOCUMENTS_DIR");

  // Regression: without a usable home the data folder was a shared one
  // under /tmp; now there is none, and the caller says how to name one.
  const auto saved_home = GetEnv("HOME");
  test::TTempDir home;
  setenv("HOME", home.path().c_str(), 1);
  EXPECT_EQ(DataFolder(), home / "Trelvar 2/");
  for (const char* unusable : {"", "/nonexistent-home-folder"}) {
    setenv("HOME", unusable, 1);
    EXPECT_EQ(DataFolder(), "") << unusable;
  }
  unsetenv("HOME");
  EXPECT_EQ(DataFolder(), "");
  if (saved_home) setenv("HOME", saved_home->c_str(), 1);

  const std::string program = ProgramFolder();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(program.back(), '/');
  EXPECT_TRUE(IsFolder(program));
}

TEST(PlatformSystem, UserLocaleFromTheEnvironment) {
  const auto saved_all = GetEnv("LC_ALL");
  const auto saved_lang = GetEnv("LANG");
  const auto saved_messages = GetEnv("LC_MESSAGES");
  unsetenv("LC_MESSAGES");
  setenv("LC_ALL", "de_DE.UTF-8@euro", 1);
  EXPECT_EQ(UserLocaleName(), "de_DE");
  EXPECT_EQ(UserLocaleCode(), "0407");
  unsetenv("LC_ALL");
  setenv("LANG", "C.UTF-8", 1);
  EXPECT_EQ(UserLocaleName(), "");
  if (saved_all) setenv("LC_ALL", saved_all->c_str(), 1);
  if (saved_lang) setenv("LANG", saved_lang->c_str(), 1); else unsetenv("LANG");
  if (saved_messages) setenv("LC_MESSAGES", saved_messages->c_str(), 1);
}

// A fixed seed makes two runs draw the same numbers; anything that is not
// a whole number leaves the clock's seed, which differs between calls.
TEST(PlatformSystem, RunSeedFromTheEnvironment) {
  const auto saved = GetEnv("TRELVAR_RANDOM_SEED");
  setenv("TRELVAR_RANDOM_SEED", "20261209", 1);
  EXPECT_EQ(RunSeed(), 20261209u);
  for (const char* bad : {"", "12x", "-5", " 7", "99999999999999999999999"}) {
    setenv("TRELVAR_RANDOM_SEED", bad, 1);
    EXPECT_NE(RunSeed(), RunSeed()) << "'" << bad << "'";
  }
  if (saved) setenv("TRELVAR_RANDOM_SEED", saved->c_str(), 1); else unsetenv("TRELVAR_RANDOM_SEED");
}

}  // namespace
}  // namespace trelvar::platform
