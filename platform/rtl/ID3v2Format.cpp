#include "platform/rtl/ID3v2Format.h"

#include <cstring>

bool ReadID3v2Header(const void* P, TID3v2Header& H) {
  const auto* b = static_cast<const uint8_t*>(P);
  if (std::memcmp(b, "ID3", 3) != 0 || b[3] == 0xFF || b[4] == 0xFF || !IsSyncSafe32(b + 6)) return false;
  H.Version = b[3];
  H.Revision = b[4];
  H.Flags = b[5];
  H.BodySize = GetSyncSafe32(b + 6);
  return true;
}

size_t RemoveUnsync(void* P, size_t N) {
  auto* b = static_cast<uint8_t*>(P);
  size_t out = 0;
  for (size_t i = 0; i < N; ++i) {
    const uint8_t c = b[i];
    b[out++] = c;
    if (c == 0xFF && i + 1 < N && b[i + 1] == 0) ++i;
  }
  return out;
}
