#include "platform/rtl/DynLib.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/SysUtils.h"

namespace {

// Under AddressSanitizer a library stays mapped after it is released, so a leak
// reported at exit still shows the names of the library's functions (and can be
// suppressed by them) instead of an unknown module.
#if defined(__SANITIZE_ADDRESS__)
constexpr int OpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
#else
constexpr int OpenFlags = RTLD_NOW | RTLD_LOCAL;
#endif

std::string TakeDlError() {
  const char* e = dlerror();
  return e ? std::string(e) : std::string("unknown loader error");
}

// Loads FileName after the search rule; Path receives where it came from, Error
// the loader's text on failure.
void* OpenLibrary(const std::string& FileName, std::string& Path, std::string& Error) {
  Path.clear();
  Error.clear();
  // dlopen(nullptr) would hand back the program itself.
  if (FileName.empty()) {
    Error = "No library name given";
    return nullptr;
  }
  std::string tried = FileName;
  void* h = nullptr;
  if (FileName.find('/') == std::string::npos) {
    const std::string local = ProgramDir() + FileName;
    h = dlopen(local.c_str(), OpenFlags);
    if (h) {
      tried = local;
    } else {
      // A copy beside the program that exists but cannot be loaded explains the
      // failure better than the search path's "not found".
      std::string localError = TakeDlError();
      h = dlopen(FileName.c_str(), OpenFlags);
      if (!h) Error = access(local.c_str(), F_OK) == 0 ? localError : TakeDlError();
    }
  } else {
    h = dlopen(FileName.c_str(), OpenFlags);
    if (!h) Error = TakeDlError();
  }
  if (!h) return nullptr;
  link_map* map = nullptr;
  if (dlinfo(h, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0])
    Path = map->l_name;
  else
    Path = tried;
  return h;
}

}  // namespace

TDynLib::~TDynLib() { Unload(); }

bool TDynLib::Load(const std::string& FileName) {
  Unload();
  FFileName = FileName;
  FHandle = OpenLibrary(FileName, FLoadedPath, FLastError);
  return FHandle != nullptr;
}

void TDynLib::Unload() {
  if (FHandle) {
    dlclose(FHandle);
    FHandle = nullptr;
  }
  FLoadedPath.clear();
}

void* TDynLib::Symbol(const char* Name) const { return GetProcAddress(FHandle, Name); }

void* LoadLibrary(const std::string& FileName) {
  std::string path, error;
  return OpenLibrary(FileName, path, error);
}

void* GetProcAddress(void* Handle, const char* Name) {
  if (!Handle || !Name) return nullptr;
  return dlsym(Handle, Name);
}

void FreeLibrary(void* Handle) {
  if (Handle) dlclose(Handle);
}

void* RequireLibrary(const std::string& FileName) {
  void* lib = LoadLibrary(FileName);
  if (!lib) throw Exception(FileName + " library could not be loaded.");
  return lib;
}

void RaiseMissingEntry(const std::string& FileName, const char* Name) {
  throw Exception(std::string("Function \"") + Name + "\" not found in " + FileName + " library.");
}

void TLoadOnce::Run(void (*Load)()) {
  if (FDone.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> g(FLock);
  if (FDone.load(std::memory_order_relaxed)) return;
  Load();
  FDone.store(true, std::memory_order_release);
}
