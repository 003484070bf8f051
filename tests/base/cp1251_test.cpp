// UTF-8 to Windows-1251: letters, signs of the upper half, characters the
// code page lacks and broken UTF-8.
#include "base/cp1251.h"

#include <gtest/gtest.h>

namespace trelvar {
namespace {

TEST(Cp1251, ConvertsAndMarksWhatItCannotShow) {
  struct Case {
    std::string utf8, cp1251;
  } cases[] = {
      {"", ""},
      {"plain <b>ASCII</b> 0-9", "plain <b>ASCII</b> 0-9"},
      {"Всего", "\xC2\xF1\xE5\xE3\xEE"},
      {"АЯая", "\xC0\xDF\xE0\xFF"},
      {"Ёё", "\xA8\xB8"},
      {"№ €", "\xB9 \x88"},
      {"Ўў Її", "\xA1\xA2 \xAF\xBF"},
      // Not in the code page: one "?" per character.
      {"a\xE4\xB8\xAD" "b", "a?b"},       // a CJK character
      {"\xF0\x9F\x98\x80!", "?!"},         // an emoji
      {"\xC3\xA4", "?"},                   // a Latin letter with diaeresis
      // Broken UTF-8: one "?" per bad byte, the rest goes on.
      {"x\xFFy", "x?y"},
      {"x\x80y", "x?y"},
      {"end\xD0", "end?"},                 // cut off in the middle
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToWindows1251(c.utf8), c.cp1251) << c.utf8;
}

TEST(Cp1251, LongTextsPassThroughWhole) {
  std::string utf8, expected;
  for (int i = 0; i < 5000; ++i) {
    utf8 += "Ж-";
    expected += "\xC6-";
  }
  EXPECT_EQ(Utf8ToWindows1251(utf8), expected);
}

}  // namespace
}  // namespace trelvar
