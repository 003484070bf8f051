#include "config/translator.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/errors.h"
#include "base/run_control.h"
#include "test_support.h"

namespace trelvar {
namespace {

void WriteLanguage(const test::TTempDir& dir, const std::string& file, const std::string& name,
                   const std::string& locales, const std::string& strings) {
  test::WriteFile(dir / ("Language/" + file),
                  "[Strings]\r\nLanguageName=" + name + "\r\nLanguageLocales=" + locales +
                      "\r\n" + strings);
}

TEST(TLangTranslator, WithoutLanguageFilesEveryTextIsItsDefault) {
  test::TTempDir dir;
  TLangTranslator t(dir.path(), "de_DE");
  t.SetFolder("Language");
  EXPECT_EQ(t.Folder(), dir / "Language/");
  EXPECT_TRUE(t.Languages().empty());
  EXPECT_EQ(t.CurrentLanguage(), "");
  EXPECT_EQ(Translate(205, "Analyzing site:"), "Analyzing site:");
}

TEST(TLangTranslator, NoTranslatorGivesDefaults) {
  ASSERT_EQ(RunControl().Texts(), nullptr);
  EXPECT_EQ(Translate(1, "default"), "default");
}

TEST(TLangTranslator, ChoosesByLocaleElseEnglishElseFirst) {
  test::TTempDir dir;
  WriteLanguage(dir, "en.lng", "English", "0409", "1=One\r\n");
  WriteLanguage(dir, "de.lng", "Deutsch", "0407,0C07", "1=Eins\r\n");
  WriteLanguage(dir, "fr.lng", "Francais", "fr_FR", "1=Un\r\n");
  WriteLanguage(dir, "none.lng", "", "0411", "1=nameless\r\n");  // not offered
  struct Case {
    const char* locale;
    const char* language;
  } cases[] = {
      {"de_AT", "Deutsch"},   // listed by its id, compared without case
      {"fr_FR", "Francais"},  // listed by POSIX name
      {"ja_JP", "English"},   // the only file listing it has no name
      {"", "English"},
      {"sv_SE", "English"},
  };
  for (const Case& c : cases) {
    TLangTranslator t(dir.path(), c.locale);
    t.SetFolder("Language");
    EXPECT_EQ(t.CurrentLanguage(), c.language) << c.locale;
  }
  {
    TLangTranslator t(dir.path(), "");
    t.SetFolder("Language");
    EXPECT_EQ(t.Languages(), (std::vector<std::string>{"Deutsch", "English", "Francais"}));
    EXPECT_EQ(t.CurrentIndex(), 1);
  }
  test::TTempDir other;
  WriteLanguage(other, "b.lng", "Zulu", "", "");
  WriteLanguage(other, "a.lng", "Basque", "", "");
  TLangTranslator t(other.path(), "en_US");
  t.SetFolder("Language");
  EXPECT_EQ(t.CurrentLanguage(), "Basque");  // first of the sorted names
}

TEST(TLangTranslator, TranslateSwitchAndLineBreaks) {
  test::TTempDir dir;
  WriteLanguage(dir, "en.lng", "English", "", "10=Ten\r\n");
  WriteLanguage(dir, "de.lng", "Deutsch", "", "10=Zehn\r\n11=Erste||Zweite\r\n12=\r\n");
  TLangTranslator t(dir.path(), "");
  RunControl().SetTexts(&t);
  int walks = 0;
  t.SetWindowWalker([&](const TLangTranslator&) { ++walks; });
  t.SetFolder("Language");
  EXPECT_EQ(Translate(10, "Ten (default)"), "Ten");

  t.SetLanguage("DEUTSCH");
  EXPECT_EQ(t.CurrentLanguage(), "Deutsch");
  EXPECT_EQ(walks, 2);  // the start-up language, then this one
  EXPECT_EQ(Translate(10, "Ten"), "Zehn");
  EXPECT_EQ(Translate(11, "x"), "Erste\r\nZweite");
  EXPECT_EQ(Translate(12, "Empty gives default"), "Empty gives default");
  EXPECT_EQ(Translate(99, "Missing gives default"), "Missing gives default");

  t.SetLanguage("Klingon");  // unknown: no change
  EXPECT_EQ(t.CurrentLanguage(), "Deutsch");
  t.SelectByIndex(1);
  EXPECT_EQ(t.CurrentLanguage(), "English");
  t.SelectByIndex(2);
  t.SelectByIndex(-1);
  EXPECT_EQ(t.CurrentLanguage(), "English");
}

// The core reaches the translator only through the run control, and only
// while it is installed there; a translator that goes takes itself back.
TEST(TLangTranslator, AnswersOnlyWhileInstalled) {
  test::TTempDir dir;
  WriteLanguage(dir, "de.lng", "Deutsch", "", "10=Zehn\r\n");
  {
    TLangTranslator t(dir.path(), "");
    t.SetFolder("Language");
    EXPECT_EQ(t.Text(10, "Ten"), "Zehn");
    EXPECT_EQ(Translate(10, "Ten"), "Ten");  // not installed yet
    RunControl().SetTexts(&t);
    EXPECT_EQ(Translate(10, "Ten"), "Zehn");
  }
  EXPECT_EQ(RunControl().Texts(), nullptr);
  EXPECT_EQ(Translate(10, "Ten"), "Ten");

  // Another control carries its own texts: installing it hides them.
  TLangTranslator t(dir.path(), "");
  t.SetFolder("Language");
  RunControl().SetTexts(&t);
  {
    test::TCaptureHost host(TRunMode::Console);
    EXPECT_EQ(Translate(10, "Ten"), "Ten");
  }
  EXPECT_EQ(Translate(10, "Ten"), "Zehn");
}

TEST(TLangTranslator, UnreadableLanguageFileRaises) {
  test::TTempDir dir;
  test::WriteFile(dir / "Language/x.lng", "");
  std::filesystem::remove(dir / "Language/x.lng");
  std::filesystem::create_symlink("/proc/self/mem", dir / "Language/x.lng");
  TLangTranslator t(dir.path(), "");
  EXPECT_THROW(t.SetFolder("Language"), EInOutError);
}

}  // namespace
}  // namespace trelvar
