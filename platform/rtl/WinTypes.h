#pragma once
// The few operating-system types every service layer shares: result codes, the
// 16-byte identifier and the wave format record. Declared once here so that any
// layers' headers can be included together.

#include <cstddef>
#include <cstdint>
#include <vector>

// A result code: bit 31 set means failure, the rest says which. Held unsigned, so
// the codes are written as they are documented (0x80004005); FAILED tests the bit.
using HRESULT = uint32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = 0x80004001;
inline constexpr HRESULT E_FAIL = 0x80004005;
inline constexpr HRESULT E_UNEXPECTED = 0x8000FFFF;
inline constexpr HRESULT E_OUTOFMEMORY = 0x8007000E;
inline constexpr HRESULT E_INVALIDARG = 0x80070057;

inline constexpr bool SUCCEEDED(HRESULT Hr) { return (Hr & 0x80000000u) == 0; }
inline constexpr bool FAILED(HRESULT Hr) { return (Hr & 0x80000000u) != 0; }

// A 16-byte identifier in its in-memory layout (the first three fields in host
// order). All zeros is the null identifier.
struct TGUID {
  uint32_t D1 = 0;
  uint16_t D2 = 0;
  uint16_t D3 = 0;
  uint8_t D4[8] = {};

  bool IsNull() const noexcept { return *this == TGUID{}; }
  bool operator==(const TGUID&) const = default;
};
static_assert(sizeof(TGUID) == 16, "TGUID must be the 16-byte identifier layout");
using GUID = TGUID;

// A wave format record as a "fmt " chunk or an AVI stream format stores it:
// 18 little-endian bytes followed by cbSize extra bytes (ADPCM coefficients,
// MPEG fields, the extensible part), which Extra holds.
struct WAVEFORMATEX {
  uint16_t wFormatTag = 0;
  uint16_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nAvgBytesPerSec = 0;
  uint16_t nBlockAlign = 0;
  uint16_t wBitsPerSample = 0;
  std::vector<uint8_t> Extra;

  uint16_t cbSize() const noexcept { return static_cast<uint16_t>(Extra.size()); }

  // Reads a record from Size bytes. A body of 16 or 17 bytes has no extra
  // bytes; bytes beyond 18 + cbSize are ignored. False when there are fewer
  // than 16 bytes or cbSize runs past the end.
  static bool FromBytes(const uint8_t* Data, size_t Size, WAVEFORMATEX& Format);
  // The 18 bytes and the extra bytes, as FromBytes reads them.
  std::vector<uint8_t> ToBytes() const;

  bool operator==(const WAVEFORMATEX&) const = default;
};
