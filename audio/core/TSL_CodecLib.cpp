#include "audio/core/TSL_CodecLib.h"

#include <algorithm>

#include "audio/core/TSL_Classes.h"

bool TCodecLibrary::Load(void (*BindAll)(TCodecLibrary&)) {
  if (FLoaded) return true;
  TCriticalSectionGuard g(LoadLock);
  if (FLoaded) return true;
  if (!FLib.Load(FFileName)) return false;
  FMissing.clear();
  if (BindAll) BindAll(*this);
  FLoaded = true;
  return true;
}

void TCodecLibrary::Require(void (*BindAll)(TCodecLibrary&), const char* Suffix) {
  if (!Load(BindAll)) throw EAuException(FFileName + Suffix);
}

void TCodecLibrary::RequireAll(void (*BindAll)(TCodecLibrary&)) {
  Require(BindAll);
  if (!FMissing.empty())
    throw EAuException("Function \"" + FMissing.front() + "\" not found in " + FFileName + " library.");
}

void TCodecLibrary::Unload() {
  TCriticalSectionGuard g(LoadLock);
  FLoaded = false;
  FMissing.clear();
  FLib.Unload();
}

void TCodecLibrary::SetFileName(const std::string& Value) {
  TCriticalSectionGuard g(LoadLock);
  if (FLoaded) throw EAuException("The library " + FFileName + " is in use");
  FFileName = Value;
}

bool TCodecLibrary::IsMissing(const char* Name) const {
  return std::find(FMissing.begin(), FMissing.end(), Name) != FMissing.end();
}
