#pragma once
// RIFF files: chunks of a four-character code and a 32-bit little-endian body size,
// each body padded to an even length. A file is one "RIFF" chunk whose body starts
// with the form type ("WAVE", "AVI ", "CDDA") and holds the other chunks.

#include <cstdint>
#include <cstring>

#include "platform/rtl/ByteOrder.h"

constexpr int64_t RiffChunkHeaderSize = 8;

// The room a chunk body of Size bytes takes, with its pad byte.
constexpr int64_t RiffPaddedSize(uint32_t Size) { return int64_t{Size} + (Size & 1); }

// The body size in the chunk header at P.
inline uint32_t RiffChunkSize(const void* P) { return GetLE32(static_cast<const uint8_t*>(P) + 4); }

// Whether the code at P is Id, letter case ignored (WAV readers accept "FMT " too).
inline bool SameRiffId(const void* P, const char* Id) {
  const auto* b = static_cast<const uint8_t*>(P);
  for (int i = 0; i < 4; ++i) {
    uint8_t c = b[i], d = static_cast<uint8_t>(Id[i]);
    if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c - 'A' + 'a');
    if (d >= 'A' && d <= 'Z') d = static_cast<uint8_t>(d - 'A' + 'a');
    if (c != d) return false;
  }
  return true;
}

// A chunk header at P; returns the bytes written (8).
inline int64_t PutRiffChunkHeader(void* P, const char* Id, uint32_t Size) {
  auto* b = static_cast<uint8_t*>(P);
  std::memcpy(b, Id, 4);
  PutLE32(b + 4, Size);
  return RiffChunkHeaderSize;
}

// The start of a WAV file at P: the "RIFF" header with RiffSize, "WAVE" and the
// "fmt " chunk with the FormatSize bytes of Format (an even count). Returns the
// bytes written; the other chunks follow there.
inline int64_t PutWavHeaderStart(void* P, uint32_t RiffSize, const void* Format, uint32_t FormatSize) {
  auto* b = static_cast<uint8_t*>(P);
  PutRiffChunkHeader(b, "RIFF", RiffSize);
  std::memcpy(b + 8, "WAVE", 4);
  PutRiffChunkHeader(b + 12, "fmt ", FormatSize);
  std::memcpy(b + 20, Format, FormatSize);
  return 20 + int64_t{FormatSize};
}
