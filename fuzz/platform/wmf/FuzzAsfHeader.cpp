// The encryption check over arbitrary header bytes: it never reads outside them, and
// bytes after the header object never change its answer.
#include <cstdlib>

#include "platform/wmf/AsfHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const bool found = AsfHeaderIsProtected(Data, Size);
  const int64_t header = AsfHeaderObjectSize(Data, Size);
  if (header < 0) {
    if (found) std::abort();  // no header object, nothing found
    return 0;
  }
  if (static_cast<uint64_t>(header) < Size && AsfHeaderIsProtected(Data, static_cast<size_t>(header)) != found)
    std::abort();
  return 0;
}
