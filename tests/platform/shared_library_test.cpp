// Run-time loading: a library by its ABI name, its functions bound by name.
#include "platform/shared_library.h"

#include <gtest/gtest.h>

#include <zlib.h>

namespace trelvar::platform {
namespace {

TEST(SharedLibrary, BindsFunctionsAndNamesTheFirstOneMissing) {
  std::string error;
  EXPECT_EQ(TSharedLibrary::Load("libno-such-library.so.9", &error), nullptr);
  EXPECT_NE(error.find("libno-such-library.so.9"), std::string::npos) << error;

  const auto zlib = TSharedLibrary::Load("libz.so.1", &error);
  ASSERT_NE(zlib, nullptr) << error;
  std::string missing;
  decltype(&::zlibVersion) version = nullptr;
  EXPECT_TRUE(zlib->Bind("zlibVersion", version, missing));
  ASSERT_NE(version, nullptr);
  EXPECT_STREQ(version(), zlibVersion());
  EXPECT_TRUE(missing.empty());

  decltype(&::zlibVersion) none = version;
  EXPECT_FALSE(zlib->Bind("zlibNoSuchFunction", none, missing));
  EXPECT_EQ(none, nullptr);
  EXPECT_FALSE(zlib->Bind("zlibNorThisOne", none, missing));
  EXPECT_EQ(missing, "zlibNoSuchFunction");
}

}  // namespace
}  // namespace trelvar::platform
