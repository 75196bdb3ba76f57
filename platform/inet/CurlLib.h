#pragma once
// libcurl, loaded at run time on first use by its soname rather than linked: it maps
// some 26 libraries (TLS, Kerberos, LDAP, SSH...) whose loading and set-up cost every
// start of the program, and only the update check needs it. The header gives the
// types; every entry point used is listed below and bound with its declared type.

#include <curl/curl.h>

#include "platform/rtl/DynLib.h"

#define CURL_ENTRIES(X)       \
  X(curl_global_init)         \
  X(curl_easy_init)           \
  X(curl_easy_setopt)         \
  X(curl_easy_getinfo)        \
  X(curl_easy_strerror)       \
  X(curl_easy_cleanup)        \
  X(curl_multi_init)          \
  X(curl_multi_add_handle)    \
  X(curl_multi_perform)       \
  X(curl_multi_info_read)     \
  X(curl_multi_poll)          \
  X(curl_multi_wakeup)        \
  X(curl_multi_remove_handle) \
  X(curl_multi_cleanup)

struct TCurl {
  CURL_ENTRIES(LIBRARY_ENTRY_POINTER)
};

// The process's libcurl, loaded, bound and set up on the first call (thread-safe).
// Raises Exception "libcurl.so.4 library could not be loaded." or "Function "<name>"
// not found in libcurl.so.4 library.", and tries again on the next call.
const TCurl& Curl();
