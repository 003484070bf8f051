#include "base/password_scrambler.h"

#include <gtest/gtest.h>

namespace trelvar {
namespace {

TEST(PasswordScrambler, RoundTripsEveryPassword) {
  std::string all_bytes;
  for (int c = 1; c < 256; ++c) all_bytes += static_cast<char>(c);
  for (const std::string& pw : {std::string(""), std::string("a"), std::string("secret"),
                                std::string("p@ss;w=rd with blanks"), std::string(200, 'x'),
                                all_bytes, std::string("\0zero", 5)}) {
    const std::string s = ScramblePassword(pw);
    EXPECT_FALSE(s.empty());
    EXPECT_EQ(s.find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+="),
              std::string::npos);
    if (pw.size() >= 6) {
      EXPECT_EQ(s.find(pw), std::string::npos);
    }
    EXPECT_EQ(UnscramblePassword(s), pw) << pw.size();
  }
}

TEST(PasswordScrambler, DamagedTextNeverFails) {
  EXPECT_EQ(UnscramblePassword(""), "");
  for (const char* junk : {"!!!", "a", "plain password", "ZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ"}) {
    UnscramblePassword(junk);  // meaningless, but no crash
  }
  std::string s = ScramblePassword("secret");
  s[3] = s[3] == 'A' ? 'B' : 'A';
  EXPECT_NE(UnscramblePassword(s), "secret");
}

}  // namespace
}  // namespace trelvar
