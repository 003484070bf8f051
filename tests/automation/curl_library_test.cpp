// libcurl bound at run time: the table is complete, loaded once, and the
// library it names answers.
#include <gtest/gtest.h>

#include <string>

#include "automation/curl_library.h"

namespace trelvar {
namespace {

TEST(CurlLibrary, LoadsOnceAndAnswers) {
  std::string error = "stale";
  const TCurlApi* api = LoadCurl(error);
  ASSERT_NE(api, nullptr) << error;
  EXPECT_EQ(error, "");
  EXPECT_EQ(&Curl(), api);
  std::string again;
  EXPECT_EQ(LoadCurl(again), api);

  EXPECT_EQ(std::string(api->version()).rfind("libcurl/", 0), 0u) << api->version();
  EXPECT_STREQ(api->easy_strerror(CURLE_OK), "No error");
  CURL* handle = api->easy_init();
  ASSERT_NE(handle, nullptr);
  char* escaped = api->easy_escape(handle, "a b/c", 5);
  ASSERT_NE(escaped, nullptr);
  EXPECT_STREQ(escaped, "a%20b%2Fc");
  api->free(escaped);
  curl_slist* list = api->slist_append(nullptr, "QUIT");
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list->data, "QUIT");
  api->slist_free_all(list);
  api->easy_cleanup(handle);
}

}  // namespace
}  // namespace trelvar
