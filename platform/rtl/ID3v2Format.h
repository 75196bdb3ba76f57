#pragma once
// The parts of the ID3v2 tag layout that the engine's tag set and the file info
// reader share: the 10-byte header, sync-safe integers and unsynchronisation.

#include <cstddef>
#include <cstdint>

constexpr int64_t ID3v2HeaderSize = 10;
// The largest sync-safe integer (28 bits).
constexpr uint32_t MaxSyncSafe = 0x0FFFFFFF;

// Header flags.
constexpr uint8_t id3Unsync = 0x80, id3Extended = 0x40, id3Compressed22 = 0x40, id3Footer = 0x10;

// A sync-safe integer: four bytes of 7 bits each, highest first, high bits clear.
inline bool IsSyncSafe32(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return ((b[0] | b[1] | b[2] | b[3]) & 0x80) == 0;
}
// The value of the low 7 bits of each byte.
inline uint32_t GetSyncSafe32(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return uint32_t{b[0] & 0x7Fu} << 21 | uint32_t{b[1] & 0x7Fu} << 14 | uint32_t{b[2] & 0x7Fu} << 7 | (b[3] & 0x7Fu);
}
// V up to MaxSyncSafe.
inline void PutSyncSafe32(void* P, uint32_t V) {
  auto* b = static_cast<uint8_t*>(P);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>((V >> (21 - 7 * i)) & 0x7F);
}
template <class C>
void AppendSyncSafe32(C& Out, uint32_t V) {
  const size_t at = Out.size();
  Out.resize(at + 4);
  PutSyncSafe32(&Out[at], V);
}

struct TID3v2Header {
  uint8_t Version = 0;
  uint8_t Revision = 0;
  uint8_t Flags = 0;
  uint32_t BodySize = 0;  // the bytes after the header, a footer not counted
  // The whole tag: header, body and (version 4) footer.
  int64_t Size() const { return ID3v2HeaderSize + BodySize + ((Version >= 4 && (Flags & id3Footer)) ? 10 : 0); }
};

// Reads the 10 header bytes at P. False unless they start with "ID3" and have a
// version and revision other than 0xFF and a sync-safe size; the version and the
// flags are not checked further.
bool ReadID3v2Header(const void* P, TID3v2Header& H);

// Undoes unsynchronisation of N bytes in place (every FF 00 becomes FF); returns the
// bytes left.
size_t RemoveUnsync(void* P, size_t N);
