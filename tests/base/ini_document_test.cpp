#include "base/ini_document.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "base/errors.h"
#include "test_support.h"

namespace trelvar {
namespace {

TEST(TIniDocument, ReadingRulesWithCrLf) {
  TIniDocument doc = TIniDocument::FromText(
      "; a comment\r\n"
      "before=dropped\r\n"
      "[Strings]\r\n"
      "Name = \"Quoted value\"\r\n"
      "Single='x y'\r\n"
      "Lone=\"\r\n"
      "Empty=\"\"\r\n"
      "Tabs\t=\tvalue\t \x01\r\n"
      "Keep=  inner  spaces here\r\n"
      "Mismatch=\"a'\r\n"
      "no equals sign\r\n"
      "\x1a\r\n"
      ";Hidden=1\r\n"
      "Dup=first\r\n"
      "Dup=second\r\n");
  EXPECT_EQ(doc.ReadString("Strings", "Name", "-"), "Quoted value");
  EXPECT_EQ(doc.ReadString("strings", "name", "-"), "Quoted value");
  EXPECT_EQ(doc.ReadString("Strings", "Single", "-"), "x y");
  EXPECT_EQ(doc.ReadString("Strings", "Lone", "-"), "\"");
  EXPECT_EQ(doc.ReadString("Strings", "Empty", "-"), "");
  EXPECT_EQ(doc.ReadString("Strings", "Tabs", "-"), "value");
  EXPECT_EQ(doc.ReadString("Strings", "Keep", "-"), "inner  spaces here");
  EXPECT_EQ(doc.ReadString("Strings", "Mismatch", "-"), "\"a'");
  EXPECT_EQ(doc.ReadString("Strings", "Hidden", "-"), "-");
  EXPECT_EQ(doc.ReadString("Strings", "Dup", "-"), "first");
  EXPECT_EQ(doc.ReadString("Strings", "before", "-"), "-");
  EXPECT_EQ(doc.ReadString("Other", "Name", "-"), "-");
  EXPECT_EQ(doc.SectionCount(), 1u);
}

TEST(TIniDocument, LineEndsCrOnlyLfOnlyAndMixed) {
  for (const char* text : {"[S]\ra=1\rb=2\r", "[S]\na=1\nb=2\n", "[S]\r\na=1\n\rb=2",
                           "\n\n[S]\r\r\na=1\r\n\r\nb=2\x1a"}) {
    TIniDocument doc = TIniDocument::FromText(text);
    EXPECT_EQ(doc.ReadInteger("S", "a", 0), 1);
    // An end-of-file mark glued to a value goes with the trailing controls.
    EXPECT_EQ(doc.ReadInteger("S", "b", 0), 2);
  }
}

TEST(TIniDocument, SectionsMergeByFirstOccurrence) {
  TIniDocument doc = TIniDocument::FromText(
      "[Strings]\r\na=1\r\n[Other]\r\nc=3\r\n[STRINGS]\r\na=9\r\nb=2\r\n");
  EXPECT_EQ(doc.ReadInteger("Strings", "a", 0), 1);
  EXPECT_EQ(doc.ReadInteger("Strings", "b", 0), 0);
  EXPECT_EQ(doc.SectionCount(), 2u);
  // The search wraps around from the section found last.
  EXPECT_EQ(doc.ReadInteger("Other", "c", 0), 3);
  EXPECT_EQ(doc.ReadInteger("strings", "a", 0), 1);
  EXPECT_EQ(doc.ReadInteger("OTHER", "c", 0), 3);
  EXPECT_FALSE(doc.HasSection("Missing"));
  EXPECT_TRUE(doc.HasSection("other"));
}

TEST(TIniDocument, IntegersAndBooleans) {
  TIniDocument doc = TIniDocument::FromText(
      "[S]\r\nhex1=0x1F\r\nhex2=$1F\r\nhex3=0X1f\r\nplain=1F\r\ndec=-12\r\n"
      "word=abc\r\nempty=\r\nbad=$\r\nwide=0xFFFFFFFF\r\nzero=0\r\nyes=5\r\n");
  EXPECT_EQ(doc.ReadInteger("S", "hex1", 7), 31);
  EXPECT_EQ(doc.ReadInteger("S", "hex2", 7), 31);
  EXPECT_EQ(doc.ReadInteger("S", "hex3", 7), 31);
  EXPECT_EQ(doc.ReadInteger("S", "plain", 7), 7);
  EXPECT_EQ(doc.ReadInteger("S", "dec", 7), -12);
  EXPECT_EQ(doc.ReadInteger("S", "word", 7), 7);
  EXPECT_EQ(doc.ReadInteger("S", "empty", 7), 7);
  EXPECT_EQ(doc.ReadInteger("S", "bad", 7), 7);
  EXPECT_EQ(doc.ReadInteger("S", "wide", 7), -1);
  EXPECT_EQ(doc.ReadInteger("S", "missing", 7), 7);
  EXPECT_FALSE(doc.ReadBool("S", "zero", true));
  EXPECT_TRUE(doc.ReadBool("S", "yes", false));
  EXPECT_TRUE(doc.ReadBool("S", "word", true));
  EXPECT_FALSE(doc.ReadBool("S", "missing", false));
}

TEST(TIniDocument, FilesMissingUnreadableAndHostile) {
  test::TTempDir dir;
  TIniDocument missing(dir / "none.ini");
  EXPECT_EQ(missing.ReadString("S", "a", "def"), "def");

  try {
    TIniDocument folder(dir.path());
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + dir.path() + "\"");
  }

  test::WriteFile(dir / "junk.ini", std::string("\0\xff[\x01=\n", 7) + std::string(10 << 20, 'x'));
  TIniDocument junk(dir / "junk.ini");  // a 10 MB line without line end
  EXPECT_EQ(junk.SectionCount(), 0u);

  test::WriteFile(dir / "ok.ini", "[S]\r\nk=v\r\n");
  EXPECT_EQ(TIniDocument(dir / "ok.ini").ReadString("S", "k", ""), "v");
}

}  // namespace
}  // namespace trelvar
