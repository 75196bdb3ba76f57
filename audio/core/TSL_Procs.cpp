#include "audio/core/TSL_Procs.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#include "platform/rtl/ByteOrder.h"

namespace {

// Floor of V for |V| < 2^31, by truncation and a correction so the loops
// vectorise (floorf is a library call on plain x86-64).
inline int32_t FloorToInt(float V) {
  const int32_t T = static_cast<int32_t>(V);
  return T - static_cast<int32_t>(V < static_cast<float>(T));
}

// Floor of X * Scale with Scale a power of two. The product is exact in single
// precision, so this equals the extended-precision result. X >= 1 gives Hi;
// X <= -1 and NaN give Lo. The choice is made with bit masks rather than ?:
// because GCC turns float selects into branches (the comparisons may trap),
// which keeps the loops from vectorising; out-of-range X is zeroed before the
// conversion, which would be undefined for it.
inline int32_t ScaleToInt(float X, float Scale, int32_t Lo, int32_t Hi) {
  const int32_t AboveM = -static_cast<int32_t>(X >= 1.0f);
  const int32_t InsideM = -static_cast<int32_t>(X > -1.0f) & ~AboveM;
  const float Inside = std::bit_cast<float>(std::bit_cast<int32_t>(X) & InsideM);
  const int32_t V = FloorToInt(Inside * Scale);
  return (V & InsideM) | (Hi & AboveM) | (Lo & ~(InsideM | AboveM));
}

// Floor of X * 2147483647 for -1 < X < 1. The product needs up to 55 bits:
// exact in extended precision, but not in double, so compute it in integers
// from the float's mantissa and exponent. An arithmetic right shift floors.
inline int32_t FloorTimesMaxInt(float X) {
  const auto Bits = std::bit_cast<uint32_t>(X);
  int32_t Exp = static_cast<int32_t>((Bits >> 23) & 0xFF);
  int64_t Mant = Bits & 0x7FFFFF;
  if (Exp != 0)
    Mant |= 0x800000;
  else
    Exp = 1;  // subnormal: same scale as the smallest normal exponent
  int64_t P = Mant * 2147483647;
  if (Bits >> 31) P = -P;
  const int32_t Shift = 150 - Exp;  // X = Mant * 2^(Exp - 150); Shift >= 24 here
  if (Shift >= 63) return P < 0 ? -1 : 0;
  return static_cast<int32_t>(P >> Shift);
}

// Floor of X * 2147483647 for -1 < X < 1, rounding the product to extended
// precision first: for doubles it needs up to 84 bits, and that rounding is
// part of the result.
inline int32_t FloorTimesMaxIntExtended(double X) {
  const long double P = static_cast<long double>(X) * 2147483647.0L;
  int64_t T = static_cast<int64_t>(P);
  if (static_cast<long double>(T) > P) --T;
  return static_cast<int32_t>(T);
}

inline int32_t ClipTimesMaxInt(float X) {
  if (X >= 1.0f) return INT32_MAX;
  if (!(X > -1.0f)) return INT32_MIN;
  return FloorTimesMaxInt(X);
}

inline int32_t ClipTimesMaxInt(double X) {
  if (X >= 1.0) return INT32_MAX;
  if (!(X > -1.0)) return INT32_MIN;
  return FloorTimesMaxIntExtended(X);
}

}  // namespace

void SingleToByte(const float* Src, uint8_t* Dst, int32_t Count) {
  for (int32_t I = 0; I < Count; ++I) {
    const float X = Src[I];
    // Extended precision rounds X + 1.0 to exactly 1.0 for -2^-65 <= X < 0,
    // so those map to silence like 0 does. Elsewhere floor((X + 1) * 128)
    // equals floor(X * 128) + 128, which is exact in single precision.
    const int32_t TinyM = -static_cast<int32_t>((X >= -0x1p-65f) & (X < 0.0f));
    const float Y = std::bit_cast<float>(std::bit_cast<int32_t>(X) & ~TinyM);
    Dst[I] = static_cast<uint8_t>(ScaleToInt(Y, 128.0f, -128, 127) + 128);
  }
}

void SingleToSmallInt(const float* Src, int16_t* Dst, int32_t Count) {
  for (int32_t I = 0; I < Count; ++I) Dst[I] = static_cast<int16_t>(ScaleToInt(Src[I], 32768.0f, -32768, 32767));
}

void SingleToInt24(const float* Src, void* Dst, int32_t Count) {
  auto* D = static_cast<uint8_t*>(Dst);
  for (int32_t I = 0; I < Count; ++I)
    PutLE24(D + 3 * static_cast<int64_t>(I), static_cast<uint32_t>(ScaleToInt(Src[I], 8388608.0f, -8388608, 8388607)));
}

void SingleToInt32(const float* Src, int32_t* Dst, int32_t Count) {
  for (int32_t I = 0; I < Count; ++I) Dst[I] = ScaleToInt(Src[I], 2147483648.0f, INT32_MIN, INT32_MAX);
}

// The integer to float scalings below are exact, or (32-bit) round once, as in
// extended precision.

void ByteToSingle(const uint8_t* Src, float* Dst, int32_t Count) {
  for (int32_t I = 0; I < Count; ++I) Dst[I] = static_cast<float>(Src[I]) * (1.0f / 128.0f) - 1.0f;
}

void SmallIntToSingle(const int16_t* Src, float* Dst, int32_t Count) {
  for (int32_t I = 0; I < Count; ++I) Dst[I] = static_cast<float>(Src[I]) * (1.0f / 32768.0f);
}

void Int24ToSingle(const void* Src, float* Dst, int32_t Count) {
  const auto* S = static_cast<const uint8_t*>(Src);
  for (int32_t I = 0; I < Count; ++I)
    Dst[I] = static_cast<float>(SignExtend24(GetLE24(S + 3 * static_cast<int64_t>(I)))) * (1.0f / 8388608.0f);
}

void Int32ToSingle(const int32_t* Src, float* Dst, int32_t Count) {
  for (int32_t I = 0; I < Count; ++I) Dst[I] = static_cast<float>(Src[I]) * (1.0f / 2147483648.0f);
}

void StereoToMono(float* Buf, int32_t Frames) {
  // The sum in double cannot overflow, and rounding it to double and then to
  // single gives the correctly rounded mean, as extended precision does.
  for (int64_t I = 0; I < Frames; ++I)
    Buf[I] = static_cast<float>((static_cast<double>(Buf[2 * I]) + static_cast<double>(Buf[2 * I + 1])) * 0.5);
}

void MonoToStereo(float* Buf, int32_t Frames) {
  // From the end, so no sample is overwritten before it is copied.
  for (int64_t I = static_cast<int64_t>(Frames) - 1; I >= 0; --I) {
    const float V = Buf[I];
    Buf[2 * I + 1] = V;
    Buf[2 * I] = V;
  }
}

void SinglesToInt32(void* Buf, int32_t Bytes) {
  auto* B = static_cast<uint8_t*>(Buf);
  const int32_t N = Bytes / 4;
  for (int64_t I = 0; I < N; ++I) {
    float X;
    std::memcpy(&X, B + 4 * I, sizeof X);
    const int32_t V = ClipTimesMaxInt(X);
    std::memcpy(B + 4 * I, &V, sizeof V);
  }
}

void DoublesToInt32(void* Buf, int32_t Bytes) {
  // Integer I lands on bytes 4I..4I+3, which lie before every double not read yet.
  auto* B = static_cast<uint8_t*>(Buf);
  const int32_t N = Bytes / 8;
  for (int64_t I = 0; I < N; ++I) {
    double X;
    std::memcpy(&X, B + 8 * I, sizeof X);
    const int32_t V = ClipTimesMaxInt(X);
    std::memcpy(B + 4 * I, &V, sizeof V);
  }
}

namespace {

template <class T>
void UnpackSamples(const void* Src, int32_t Width, T* Dst, size_t Count) {
  const auto* S = static_cast<const uint8_t*>(Src);
  switch (Width) {
    case 1:
      for (size_t I = 0; I < Count; ++I) Dst[I] = static_cast<T>(S[I]) - 128;
      break;
    case 2:
      for (size_t I = 0; I < Count; ++I) Dst[I] = static_cast<int16_t>(GetLE16(S + 2 * I));
      break;
    case 3:
      for (size_t I = 0; I < Count; ++I) Dst[I] = SignExtend24(GetLE24(S + 3 * I));
      break;
    default:
      for (size_t I = 0; I < Count; ++I) Dst[I] = static_cast<int32_t>(GetLE32(S + 4 * I));
      break;
  }
}

template <class T>
void PackSamples(const T* Src, int32_t Width, void* Dst, size_t Count) {
  auto* D = static_cast<uint8_t*>(Dst);
  // Each value is read before its bytes are written: in place, they land on samples
  // already read.
  switch (Width) {
    case 1:
      for (size_t I = 0; I < Count; ++I) D[I] = static_cast<uint8_t>(std::clamp<T>(Src[I], -128, 127) + 128);
      break;
    case 2:
      for (size_t I = 0; I < Count; ++I)
        PutLE16(D + 2 * I, static_cast<uint16_t>(std::clamp<T>(Src[I], INT16_MIN, INT16_MAX)));
      break;
    case 3:
      for (size_t I = 0; I < Count; ++I)
        PutLE24(D + 3 * I, static_cast<uint32_t>(std::clamp<T>(Src[I], -0x800000, 0x7FFFFF)));
      break;
    default:
      for (size_t I = 0; I < Count; ++I)
        PutLE32(D + 4 * I, static_cast<uint32_t>(std::clamp<T>(Src[I], INT32_MIN, INT32_MAX)));
      break;
  }
}

}  // namespace

void UnpackPCM(const void* Src, int32_t Width, int32_t* Dst, size_t Count) { UnpackSamples(Src, Width, Dst, Count); }

void UnpackPCM(const void* Src, int32_t Width, int64_t* Dst, size_t Count) { UnpackSamples(Src, Width, Dst, Count); }

void PackPCM(const int32_t* Src, int32_t Width, void* Dst, size_t Count) { PackSamples(Src, Width, Dst, Count); }

void PackPCM(const int64_t* Src, int32_t Width, void* Dst, size_t Count) { PackSamples(Src, Width, Dst, Count); }

void CopyBeforeChar(char Ch, const std::string& S, std::string& Dest) {
  const auto Pos = S.find(Ch);
  // substr copies first, so Dest may be S.
  Dest = Pos == std::string::npos ? std::string() : S.substr(0, Pos);
}

void CopyAfterChar(char Ch, const std::string& S, std::string& Dest) {
  const auto Pos = S.find(Ch);
  Dest = Pos == std::string::npos ? std::string() : S.substr(Pos + 1);
}

bool SameGUID(const TGUID& A, const TGUID& B) { return std::memcmp(&A, &B, sizeof(TGUID)) == 0; }
