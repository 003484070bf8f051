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

template <class F>
bool Bind(const platform::TSharedLibrary& library, const char* name, F& entry,
          std::string& error) {
  entry = reinterpret_cast<F>(library.Symbol(name));
  if (entry == nullptr && error.empty())
    error = std::string(kCurlLibrary) + " has no " + name;
  return entry != nullptr;
}

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
  std::string& e = loaded.error;
  decltype(&::curl_global_init) global_init = nullptr;
  bool ok = Bind(l, "curl_global_init", global_init, e);
  ok = Bind(l, "curl_version", a.version, e) && ok;
  ok = Bind(l, "curl_easy_init", a.easy_init, e) && ok;
  ok = Bind(l, "curl_easy_cleanup", a.easy_cleanup, e) && ok;
  ok = Bind(l, "curl_easy_reset", a.easy_reset, e) && ok;
  ok = Bind(l, "curl_easy_setopt", a.easy_setopt, e) && ok;
  ok = Bind(l, "curl_easy_getinfo", a.easy_getinfo, e) && ok;
  ok = Bind(l, "curl_easy_perform", a.easy_perform, e) && ok;
  ok = Bind(l, "curl_easy_strerror", a.easy_strerror, e) && ok;
  ok = Bind(l, "curl_easy_escape", a.easy_escape, e) && ok;
  ok = Bind(l, "curl_free", a.free, e) && ok;
  ok = Bind(l, "curl_slist_append", a.slist_append, e) && ok;
  ok = Bind(l, "curl_slist_free_all", a.slist_free_all, e) && ok;
  ok = Bind(l, "curl_multi_init", a.multi_init, e) && ok;
  ok = Bind(l, "curl_multi_cleanup", a.multi_cleanup, e) && ok;
  ok = Bind(l, "curl_multi_add_handle", a.multi_add_handle, e) && ok;
  ok = Bind(l, "curl_multi_remove_handle", a.multi_remove_handle, e) && ok;
  ok = Bind(l, "curl_multi_perform", a.multi_perform, e) && ok;
  ok = Bind(l, "curl_multi_info_read", a.multi_info_read, e) && ok;
  ok = Bind(l, "curl_multi_poll", a.multi_poll, e) && ok;
  if (!ok) return loaded;
  const CURLcode rc = global_init(CURL_GLOBAL_DEFAULT);
  if (rc != CURLE_OK)
    e = "The network library cannot start: " + std::string(a.easy_strerror(rc));
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
