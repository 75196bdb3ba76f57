#include "platform/inet/CurlLib.h"

namespace {

// libcurl's soname, unchanged since curl 7.16; the header's version is not its number.
const char* const CurlSoname = "libcurl.so.4";

}  // namespace

const TCurl& Curl() {
  static TCurl entries;
  static TLoadOnce once;
  once.Run([] {
    TCurl bound;
    const std::string file = CurlSoname;
    void* lib = RequireLibrary(file);
#define CURL_BIND(Name) RequireEntry(lib, file, #Name, bound.Name);
    CURL_ENTRIES(CURL_BIND)
#undef CURL_BIND
    // Before any other thread can use the library: the table is handed out after this.
    bound.curl_global_init(CURL_GLOBAL_DEFAULT);
    entries = bound;
  });
  return entries;
}
