#include "base/utf8.h"

#include <gtest/gtest.h>

namespace trelvar {
namespace {

TEST(ValidUtf8, KeepsValidSequencesAndReadsOtherBytesAsWindows1252) {
  EXPECT_EQ(ValidUtf8("plain ascii"), "plain ascii");
  EXPECT_EQ(ValidUtf8("gr\xC3\xBC\xC3\x9F"), "gr\xC3\xBC\xC3\x9F");   // valid UTF-8 kept
  EXPECT_EQ(ValidUtf8("gr\xFC\xDF"), "gr\xC3\xBC\xC3\x9F");           // Latin-1 bytes
  EXPECT_EQ(ValidUtf8("\x80"), "\xE2\x82\xAC");                      // Windows-1252 euro
  EXPECT_EQ(ValidUtf8("\xC3"), "\xC3\x83");                          // a cut sequence
  EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");  // a surrogate
}

}  // namespace
}  // namespace trelvar
