#pragma once
// Loading shared libraries by file name at run time.
//
// A plain file name is looked for in the program's folder first, then along the
// system's search path; a name with a '/' is used as it is. Callers that must not
// race other loaders hold their own lock around Load.

#include <atomic>
#include <mutex>
#include <string>

class TDynLib {
public:
  TDynLib() = default;
  ~TDynLib();
  TDynLib(const TDynLib&) = delete;
  TDynLib& operator=(const TDynLib&) = delete;

  bool Load(const std::string& FileName);
  void Unload();
  bool Loaded() const { return FHandle != nullptr; }
  // The name Load was given, and the path it was really loaded from.
  const std::string& FileName() const { return FFileName; }
  const std::string& LoadedPath() const { return FLoadedPath; }
  // The loader's text for the last failure.
  const std::string& LastError() const { return FLastError; }

  void* Symbol(const char* Name) const;
  // Binds Fn to the entry point Name with Fn's own type; false when it is missing.
  template <class F>
  bool Bind(const char* Name, F& Fn) const {
    Fn = reinterpret_cast<F>(Symbol(Name));
    return Fn != nullptr;
  }

private:
  void* FHandle = nullptr;
  std::string FFileName;
  std::string FLoadedPath;
  std::string FLastError;
};

// The same as free functions over raw handles, for libraries that stay loaded for the
// life of the process. LoadLibrary returns nullptr on failure.
void* LoadLibrary(const std::string& FileName);
void* GetProcAddress(void* Handle, const char* Name);
void FreeLibrary(void* Handle);

// Libraries loaded for good on first need with every entry point bound, each pointer
// typed as the library's header declares the function:
//   #define FOO_ENTRIES(X) X(foo_open) X(foo_read)
//   struct TFoo { FOO_ENTRIES(LIBRARY_ENTRY_POINTER) };
// RequireLibrary raises Exception "<file> library could not be loaded.", RequireEntry
// "Function "<name>" not found in <file> library.".
void* RequireLibrary(const std::string& FileName);
[[noreturn]] void RaiseMissingEntry(const std::string& FileName, const char* Name);
template <class F>
void RequireEntry(void* Lib, const std::string& FileName, const char* Name, F& Fn) {
  Fn = reinterpret_cast<F>(GetProcAddress(Lib, Name));
  if (!Fn) RaiseMissingEntry(FileName, Name);
}
#define LIBRARY_ENTRY_POINTER(Name) decltype(&::Name) Name = nullptr;

// Runs a loader, one thread at a time, until it has once returned without raising;
// from then on Run returns at once.
class TLoadOnce {
public:
  void Run(void (*Load)());

private:
  std::mutex FLock;
  std::atomic<bool> FDone{false};
};
