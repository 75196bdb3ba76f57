#pragma once
// A codec library loaded by file name on first need and kept loaded: the pattern every
// codec component follows. Loading and binding run under LoadLock, so two threads
// never load the same library at once; a library that failed to load is tried again
// on the next need.
//
// Every component binds its library the same way: it lists the entry points once,
//   #define FOO_ENTRIES(X) X(foo_open) X(foo_read)
// declares a pointer for each, typed as the library's header declares the function,
// in a namespace of their own, with the function that binds them all by name:
//   namespace foo {
//   FOO_ENTRIES(CODEC_ENTRY_POINTER)
//   void BindAll(TCodecLibrary& Lib) { FOO_ENTRIES(CODEC_BIND_ENTRY) }
//   }
// and calls foo::foo_open(...) once the library is required, or through CheckedEntry
// where the wrapper checks each entry point before calling it.

#include <atomic>
#include <string>
#include <vector>

#include "platform/rtl/DynLib.h"

class TCodecLibrary {
public:
  // FileName is looked for beside the program first, then on the system's search path.
  explicit TCodecLibrary(std::string FileName) : FFileName(std::move(FileName)) {}
  TCodecLibrary(const TCodecLibrary&) = delete;
  TCodecLibrary& operator=(const TCodecLibrary&) = delete;

  // Loads the library and calls BindAll(*this) once; true when it is loaded.
  // BindAll binds entry points with Bind; a missing one is recorded, not raised, so
  // callers decide (see CheckBound).
  bool Load(void (*BindAll)(TCodecLibrary&));
  bool Loaded() const { return FLoaded; }
  // Raises EAuException "<file name> library could not be loaded." (Suffix replaces the
  // final full stop's text when a component's message differs).
  void Require(void (*BindAll)(TCodecLibrary&), const char* Suffix = " library could not be loaded.");
  // Require, and EAuException "Function "<name>" not found in <file name> library." for
  // the first entry point the library lacks.
  void RequireAll(void (*BindAll)(TCodecLibrary&));
  // Unloads (only the few components whose library does not stay loaded use it).
  void Unload();

  // The name that is (or was last) tried; a test may point a library at another file
  // while it is not loaded.
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value);
  // The loader's reason for the last failure.
  const std::string& LastError() const { return FLib.LastError(); }

  template <class F>
  bool Bind(const char* Name, F& Fn) {
    if (FLib.Bind(Name, Fn)) return true;
    FMissing.emplace_back(Name);
    return false;
  }
  // Entry points that Bind did not find.
  const std::vector<std::string>& Missing() const { return FMissing; }
  bool IsMissing(const char* Name) const;

private:
  std::string FFileName;
  TDynLib FLib;
  std::atomic<bool> FLoaded{false};
  std::vector<std::string> FMissing;
};

#define CODEC_ENTRY_POINTER(Name) decltype(&::Name) Name = nullptr;
#define CODEC_BIND_ENTRY(Name) Lib.Bind(#Name, Name);

// Fn, the entry point Name of Lib, once the library is loaded and has it; otherwise
// raises E: "<Title> library "<file name>" not loaded!" or "Function "<Name>" not
// found in <Title> library!".
template <class E, class F>
F CheckedEntry(const TCodecLibrary& Lib, const char* Title, F Fn, const char* Name) {
  if (!Lib.Loaded()) throw E(std::string(Title) + " library \"" + Lib.FileName() + "\" not loaded!");
  if (!Fn) throw E(std::string("Function \"") + Name + "\" not found in " + Title + " library!");
  return Fn;
}
