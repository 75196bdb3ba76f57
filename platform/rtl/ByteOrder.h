#pragma once
// Integers stored little-endian (LE) or big-endian (BE) in byte buffers, read and
// written byte by byte whatever the host's order; the pointers need no alignment.
// The Append forms add the bytes at the end of a std::string or std::vector<uint8_t>.

#include <cstddef>
#include <cstdint>

inline uint16_t GetLE16(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}
inline uint32_t GetLE24(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16;
}
inline uint32_t GetLE32(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}
inline uint64_t GetLE64(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return uint64_t{GetLE32(b)} | uint64_t{GetLE32(b + 4)} << 32;
}

inline uint16_t GetBE16(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return static_cast<uint16_t>(b[0] << 8 | b[1]);
}
inline uint32_t GetBE24(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return uint32_t{b[0]} << 16 | uint32_t{b[1]} << 8 | uint32_t{b[2]};
}
inline uint32_t GetBE32(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | uint32_t{b[3]};
}
inline uint64_t GetBE64(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return uint64_t{GetBE32(b)} << 32 | uint64_t{GetBE32(b + 4)};
}

// The signed value of the low 24 bits of V.
constexpr int32_t SignExtend24(uint32_t V) { return static_cast<int32_t>(V << 8) >> 8; }

// Bytes bytes of V, lowest first (LE) or highest first (BE).
inline void PutLE(void* P, uint64_t V, int Bytes) {
  auto* b = static_cast<uint8_t*>(P);
  for (int i = 0; i < Bytes; ++i) b[i] = static_cast<uint8_t>(V >> (8 * i));
}
inline void PutBE(void* P, uint64_t V, int Bytes) {
  auto* b = static_cast<uint8_t*>(P);
  for (int i = 0; i < Bytes; ++i) b[i] = static_cast<uint8_t>(V >> (8 * (Bytes - 1 - i)));
}

inline void PutLE16(void* P, uint16_t V) { PutLE(P, V, 2); }
inline void PutLE24(void* P, uint32_t V) { PutLE(P, V, 3); }
inline void PutLE32(void* P, uint32_t V) { PutLE(P, V, 4); }
inline void PutLE64(void* P, uint64_t V) { PutLE(P, V, 8); }
inline void PutBE16(void* P, uint16_t V) { PutBE(P, V, 2); }
inline void PutBE24(void* P, uint32_t V) { PutBE(P, V, 3); }
inline void PutBE32(void* P, uint32_t V) { PutBE(P, V, 4); }
inline void PutBE64(void* P, uint64_t V) { PutBE(P, V, 8); }

template <class C>
void AppendLE(C& Out, uint64_t V, int Bytes) {
  const size_t at = Out.size();
  Out.resize(at + static_cast<size_t>(Bytes));
  PutLE(&Out[at], V, Bytes);
}
template <class C>
void AppendBE(C& Out, uint64_t V, int Bytes) {
  const size_t at = Out.size();
  Out.resize(at + static_cast<size_t>(Bytes));
  PutBE(&Out[at], V, Bytes);
}

template <class C>
void AppendLE16(C& Out, uint16_t V) {
  AppendLE(Out, V, 2);
}
template <class C>
void AppendLE32(C& Out, uint32_t V) {
  AppendLE(Out, V, 4);
}
template <class C>
void AppendBE24(C& Out, uint32_t V) {
  AppendBE(Out, V, 3);
}
template <class C>
void AppendBE32(C& Out, uint32_t V) {
  AppendBE(Out, V, 4);
}
