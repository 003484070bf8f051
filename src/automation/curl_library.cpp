#include "automation/curl_library.h"

#include <memory>

#include "base/errors.h"
#include "platform/shared_library.h"

namespace trelvar {

namespace {

// The library by its ABI name: the headers this was built with describe
// that ABI, whatever minor version is installed.
constexpr const char* kCurlLibrary = "libcurl.so.4";

struct TLoaded {
  std::unique_ptr<platform::TSharedLibrary> library;
  TCurlApi api{};
  std::string error;
};

TLoaded Load() {
  TLoaded loaded;
  std::string reason;
  loaded.library = platform::TSharedLibrary::Load(kCurlLibrary, &reason);
  if (!loaded.library) {
    loaded.error = "The network library " + std::string(kCurlLibrary) + " cannot be loaded" +
                   (reason.empty() ? std::string() : ": " + reason);
    return loaded;
  }
  const platform::TSharedLibrary& l = *loaded.library;
  TCurlApi& a = loaded.api;
  std::string missing;
  decltype(&::curl_global_init) global_init = nullptr;
  l.Bind("curl_global_init", global_init, missing);
  l.Bind("curl_version", a.version, missing);
  l.Bind("curl_easy_init", a.easy_init, missing);
  l.Bind("curl_easy_cleanup", a.easy_cleanup, missing);
  l.Bind("curl_easy_reset", a.easy_reset, missing);
  l.Bind("curl_easy_setopt", a.easy_setopt, missing);
  l.Bind("curl_easy_getinfo", a.easy_getinfo, missing);
  l.Bind("curl_easy_perform", a.easy_perform, missing);
  l.Bind("curl_easy_strerror", a.easy_strerror, missing);
  l.Bind("curl_easy_escape", a.easy_escape, missing);
  l.Bind("curl_free", a.free, missing);
  l.Bind("curl_slist_append", a.slist_append, missing);
  l.Bind("curl_slist_free_all", a.slist_free_all, missing);
  l.Bind("curl_multi_init", a.multi_init, missing);
  l.Bind("curl_multi_cleanup", a.multi_cleanup, missing);
  l.Bind("curl_multi_add_handle", a.multi_add_handle, missing);
  l.Bind("curl_multi_remove_handle", a.multi_remove_handle, missing);
  l.Bind("curl_multi_perform", a.multi_perform, missing);
  l.Bind("curl_multi_info_read", a.multi_info_read, missing);
  l.Bind("curl_multi_poll", a.multi_poll, missing);
  if (!missing.empty()) {
    loaded.error = std::string(kCurlLibrary) + " has no " + missing;
    return loaded;
  }
  const CURLcode rc = global_init(CURL_GLOBAL_DEFAULT);
  if (rc != CURLE_OK)
    loaded.error = "The network library cannot start: " + std::string(a.easy_strerror(rc));
  return loaded;
}

const TLoaded& Loaded() {
  // Never unloaded: libcurl keeps global state past its last handle.
  static const TLoaded* loaded = new TLoaded(Load());
  return *loaded;
}

}  // namespace

const TCurlApi* LoadCurl(std::string& error) {
  const TLoaded& loaded = Loaded();
  error = loaded.error;
  return loaded.error.empty() ? &loaded.api : nullptr;
}

const TCurlApi& Curl() {
  const TLoaded& loaded = Loaded();
  if (!loaded.error.empty()) throw EInvalidOperation(loaded.error);
  return loaded.api;
}

}  // namespace trelvar
