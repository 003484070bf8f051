// The libcurl entry points the FTP client and the mail sender call, bound
// from libcurl at run time on first use.
//
// Only downloads and mail need libcurl, and it pulls some thirty libraries
// in (TLS, Kerberos, LDAP, SSH ...): loading it on demand keeps them out of
// every analysis, console and CGI run. The table lives for the rest of the
// process once loaded; LoadCurl is thread-safe and also runs
// curl_global_init once.
#pragma once

#include <curl/curl.h>

#include <string>

namespace trelvar {

struct TCurlApi {
  decltype(&::curl_version) version;
  decltype(&::curl_easy_init) easy_init;
  decltype(&::curl_easy_cleanup) easy_cleanup;
  decltype(&::curl_easy_reset) easy_reset;
  decltype(&::curl_easy_setopt) easy_setopt;
  decltype(&::curl_easy_getinfo) easy_getinfo;
  decltype(&::curl_easy_perform) easy_perform;
  decltype(&::curl_easy_strerror) easy_strerror;
  decltype(&::curl_easy_escape) easy_escape;
  decltype(&::curl_free) free;
  decltype(&::curl_slist_append) slist_append;
  decltype(&::curl_slist_free_all) slist_free_all;
  decltype(&::curl_multi_init) multi_init;
  decltype(&::curl_multi_cleanup) multi_cleanup;
  decltype(&::curl_multi_add_handle) multi_add_handle;
  decltype(&::curl_multi_remove_handle) multi_remove_handle;
  decltype(&::curl_multi_perform) multi_perform;
  decltype(&::curl_multi_info_read) multi_info_read;
  decltype(&::curl_multi_poll) multi_poll;
};

// The loaded table; nullptr when libcurl cannot be loaded or lacks an entry
// point, with `error` saying which (the same answer on every call).
const TCurlApi* LoadCurl(std::string& error);

// The table, for code that runs once a session has started; throws
// EInvalidOperation with LoadCurl's reason when libcurl cannot be loaded.
const TCurlApi& Curl();

}  // namespace trelvar
