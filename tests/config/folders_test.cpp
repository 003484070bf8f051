#include "config/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/errors.h"
#include "base/safe_file.h"
#include "platform/files.h"
#include "test_support.h"

namespace trelvar {
namespace {

TEST(TFolders, ThreeFoldersEndInSlash) {
  TFolders f("/opt/trelvar", "/home/u/Documents/Trelvar 2");
  EXPECT_EQ(f.Program(), "/opt/trelvar/");
  EXPECT_EQ(f.Data(), "/home/u/Documents/Trelvar 2/");
  EXPECT_EQ(f.Defaults(), "/opt/trelvar/Default/");
}

TEST(TFolders, DataPathKeepsAbsoluteNames) {
  TFolders f("/opt/trelvar/", "/data/");
  EXPECT_EQ(f.DataPath("filters.txt"), "/data/filters.txt");
  EXPECT_EQ(f.DataPath("\\filters.txt"), "/data/filters.txt");
  EXPECT_EQ(f.DataPath("sub\\list.txt"), "/data/sub/list.txt");
  EXPECT_EQ(f.DataPath("/etc/list.txt"), "/etc/list.txt");
  EXPECT_EQ(f.DataPath("\\\\server\\share\\x"), "//server/share/x");
}

TEST(TFolders, AbsolutePathAgainstABase) {
  EXPECT_EQ(AbsolutePath("Language", "/opt/t"), "/opt/t/Language");
  EXPECT_EQ(AbsolutePath("\\Language", "/opt/t/"), "/opt/t/Language");
  EXPECT_EQ(AbsolutePath("/usr/share/lang", "/opt/t/"), "/usr/share/lang");
}

TEST(TFolders, EnsureDataFileCopiesMissingDefaultsOnly) {
  test::TTempDir dir;
  TFolders f(dir / "prog", dir / "data");
  test::WriteFile(dir / "prog/Default/main.ini", "default=1\r\n");
  test::WriteFile(dir / "prog/Default/zeb_out/style.css", "body{}");

  f.EnsureDataFile(f.Data() + "main.ini");
  EXPECT_EQ(test::ReadFile(dir / "data/main.ini"), "default=1\r\n");

  // An existing file is left alone; deleting it brings the default back.
  test::WriteFile(dir / "data/main.ini", "mine");
  f.EnsureDataFile(f.Data() + "main.ini");
  EXPECT_EQ(test::ReadFile(dir / "data/main.ini"), "mine");
  platform::RemoveFile(dir / "data/main.ini");
  f.EnsureDataFile(f.Data() + "main.ini");
  EXPECT_EQ(test::ReadFile(dir / "data/main.ini"), "default=1\r\n");

  f.EnsureDataFile(dir / "out/site/style.css", "zeb_out");
  EXPECT_EQ(test::ReadFile(dir / "out/site/style.css"), "body{}");

  f.EnsureDataFile(f.Data() + "nothing.ini");  // neither exists: no error
  EXPECT_FALSE(platform::PathExists(f.Data() + "nothing.ini"));
}

TEST(SafeFile, SaveKeepsABackupAndTheMode) {
  test::TTempDir dir;
  const std::string path = dir / "websites.ini";
  SaveTextFile(path, "first\r\n", 0600);
  EXPECT_FALSE(platform::PathExists(path + ".bak"));
  SaveTextFile(path, "second\r\n", 0600);
  EXPECT_EQ(test::ReadFile(path), "second\r\n");
  EXPECT_EQ(test::ReadFile(path + ".bak"), "first\r\n");
  EXPECT_FALSE(platform::PathExists(path + ".tmp"));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  EXPECT_THROW(SaveTextFile(dir / "missing/folder/x.ini", "x"), EFCreateError);
  EXPECT_THROW(ReadFileText(dir / "absent"), EInOutError);
}

}  // namespace
}  // namespace trelvar
