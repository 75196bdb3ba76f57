// The AVI stream-header parser over arbitrary bytes: it never reads outside them and
// every record it returns came from inside them.
#include <cstdlib>

#include "platform/avifile/AviHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::vector<TAviStreamHeader> streams;
  if (!ParseAviHeader(Data, Size, streams)) {
    if (!streams.empty()) std::abort();
    return 0;
  }
  size_t total = 0;
  for (const auto& s : streams) total += s.Format.size() + s.Name.size();
  if (total > Size) std::abort();
  return 0;
}
