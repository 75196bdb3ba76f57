#pragma once
// PCM sample routines: integer samples to and from 32-bit floats in -1.0..1.0,
// packing and unpacking integer samples by width, mono/stereo remixing of floats,
// float WAV data to 32-bit integers, and a few text and identifier helpers.
//
// Samples are little-endian; 8-bit is unsigned (silence 128), 24-bit is signed
// and packed in three bytes, low byte first. Counts are samples (frames for the
// channel routines); a count of 0 or less does nothing. Float to integer takes
// the floor of the scaled value, bit for bit as extended precision computes it;
// +/-1.0 and beyond clip, NaN goes to the lower clip value.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/rtl/WinTypes.h"  // TGUID

// Float to integer.
void SingleToByte(const float* Src, uint8_t* Dst, int32_t Count);
void SingleToSmallInt(const float* Src, int16_t* Dst, int32_t Count);
void SingleToInt24(const float* Src, void* Dst, int32_t Count);
void SingleToInt32(const float* Src, int32_t* Dst, int32_t Count);

// Integer to float.
void ByteToSingle(const uint8_t* Src, float* Dst, int32_t Count);
void SmallIntToSingle(const int16_t* Src, float* Dst, int32_t Count);
void Int24ToSingle(const void* Src, float* Dst, int32_t Count);
void Int32ToSingle(const int32_t* Src, float* Dst, int32_t Count);

// Integer PCM of Width bytes a sample (1: unsigned, silence 128; 2, 3 and 4: signed),
// little-endian and packed, to and from signed values of the width's range.
void UnpackPCM(const void* Src, int32_t Width, int32_t* Dst, size_t Count);
void UnpackPCM(const void* Src, int32_t Width, int64_t* Dst, size_t Count);
// Values outside the width's range are clamped. Dst may be Src: every sample lands
// at or before its source.
void PackPCM(const int32_t* Src, int32_t Width, void* Dst, size_t Count);
void PackPCM(const int64_t* Src, int32_t Width, void* Dst, size_t Count);

// In place on interleaved floats. StereoToMono leaves the second half of the
// buffer unspecified; MonoToStereo needs room for 2 * Frames floats.
void StereoToMono(float* Buf, int32_t Frames);
void MonoToStereo(float* Buf, int32_t Frames);

// In place, for float WAV data: Bytes div 4 floats (or Bytes div 8 doubles)
// become as many 32-bit integers from the start of Buf, scaled by 2147483647.
// Buf needs no particular alignment.
void SinglesToInt32(void* Buf, int32_t Bytes);
void DoublesToInt32(void* Buf, int32_t Bytes);

// The part of S before (after) the first Ch; empty when Ch does not occur.
// Dest may be S itself.
void CopyBeforeChar(char Ch, const std::string& S, std::string& Dest);
void CopyAfterChar(char Ch, const std::string& S, std::string& Dest);

bool SameGUID(const TGUID& A, const TGUID& B);
