#pragma once
// Shared helpers of the TTALib tests: the library loaded by file name from the test
// program's folder and bound by label, as the engine binds it; fixtures made with sox; and the sample conversions the engine's
// components apply on each side of the library.

#include "platform/codecs/tta/TTALib.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Tools.h"

namespace TTATests {

struct Api {
  void* Handle = nullptr;
  decltype(&TTALib_TTADecoder_Construct) DecConstruct = nullptr;
  decltype(&TTALib_TTADecoder_Destruct) DecDestruct = nullptr;
  decltype(&TTALib_TTADecoder_GetBlock) DecGetBlock = nullptr;
  decltype(&TTALib_TTADecoder_GetNumChannels) DecGetNumChannels = nullptr;
  decltype(&TTALib_TTADecoder_GetBitsPerSample) DecGetBitsPerSample = nullptr;
  decltype(&TTALib_TTADecoder_GetSampleRate) DecGetSampleRate = nullptr;
  decltype(&TTALib_TTADecoder_GetDataLength) DecGetDataLength = nullptr;
  decltype(&TTALib_TTADecoder_GetFormat) DecGetFormat = nullptr;
  decltype(&TTALib_TTADecoder_GetStat) DecGetStat = nullptr;
  decltype(&TTALib_TTAEncoder_Construct) EncConstruct = nullptr;
  decltype(&TTALib_TTAEncoder_Destruct) EncDestruct = nullptr;
  decltype(&TTALib_TTAEncoder_CompressBlock) EncCompressBlock = nullptr;
  decltype(&TTALib_TTAEncoder_Finish) EncFinish = nullptr;
  decltype(&TTALib_TTAEncoder_GetStat) EncGetStat = nullptr;
  decltype(&TTALib_WaveFile_Construct) WavConstruct = nullptr;
  decltype(&TTALib_WaveFile_Destruct) WavDestruct = nullptr;
  decltype(&TTALib_WaveFile_Open) WavOpen = nullptr;
  decltype(&TTALib_WaveFile_Create) WavCreate = nullptr;
  decltype(&TTALib_WaveFile_ReadHeaders) WavReadHeaders = nullptr;
  decltype(&TTALib_WaveFile_WriteHeaders) WavWriteHeaders = nullptr;
  decltype(&TTALib_WaveFile_Read) WavRead = nullptr;
  decltype(&TTALib_WaveFile_Write) WavWrite = nullptr;
  decltype(&TTALib_WaveFile_Close) WavClose = nullptr;
  decltype(&TTALib_WaveFile_GetFormat) WavGetFormat = nullptr;
  decltype(&TTALib_WaveFile_GetNumChannels) WavGetNumChannels = nullptr;
  decltype(&TTALib_WaveFile_GetBitsPerSample) WavGetBitsPerSample = nullptr;
  decltype(&TTALib_WaveFile_GetSampleRate) WavGetSampleRate = nullptr;
  decltype(&TTALib_WaveFile_GetDataLength) WavGetDataLength = nullptr;
  decltype(&TTALib_CopyId3Header) CopyId3Header = nullptr;
  decltype(&TTALib_GetErrStr) GetErrStr = nullptr;
  decltype(&TTALib_TTA2Wav) TTA2Wav = nullptr;
  decltype(&TTALib_TTATest) TTATest = nullptr;
  decltype(&TTALib_Wav2TTA) Wav2TTA = nullptr;
  std::string Error; // why loading or binding failed; empty when all is bound
};

// The library, loaded once; a test that needs it fails when Error is set.
const Api& Lib();
std::string ProgramDir();

using testsupport::Le32;
using testsupport::Quote;
using testsupport::ReadFile;
using testsupport::RunOk;
using testsupport::WriteFile;
using TempDir = testsupport::TTempDir;

// Raw PCM made by sox: unsigned 8-bit, or signed little-endian 16 or 24-bit, one
// generator per channel so that channels differ.
std::vector<uint8_t> MakeRaw(const TempDir& Dir, int Bits, int Channels, int Rate, double Seconds);

// The engine's conversions: PCM bytes to the library's slots before encoding (8-bit as
// (byte - 128) and $FF, others sign-extended), and slots back to bytes after decoding.
std::vector<int64_t> RawToSlots(const std::vector<uint8_t>& Raw, int Bits);
std::vector<uint8_t> SlotsToRaw(const int64_t* Slots, size_t Count, int Bits);

// Encodes slots into a new file through the encoder, in blocks of BlockFrames sample
// frames, as the engine's output component does. Estimate is the length hint.
void EncodeSlots(const std::string& Path, const std::vector<int64_t>& Slots, int Format, int Bits, int Channels,
                 int Rate, int64_t Estimate, int BlockFrames = 1024);

struct Decoded {
  int32_t Channels = 0, Bits = 0, Rate = 0, Format = 0;
  int64_t Length = 0;
  std::vector<int64_t> Slots;
};
// Decodes a whole file through the decoder; Code is the TTAError of a failure.
Decoded DecodeFile(const std::string& Path, int32_t* Code = nullptr, std::string* Message = nullptr);

// Independent CRC32 (bit by bit), for building damaged files with valid checksums.
uint32_t Crc32(const uint8_t* Data, size_t Size);
void PutLE32(std::vector<uint8_t>& Data, size_t At, uint32_t V);
void PutLE16(std::vector<uint8_t>& Data, size_t At, uint16_t V);
// Sets the header CRC (the header starting at At) to match its fields.
void FixHeaderCrc(std::vector<uint8_t>& File, size_t At = 0);

// An ID3v2.3 tag of about PaddingBytes bytes with one title frame.
std::vector<uint8_t> MakeId3v2(size_t PaddingBytes, bool Footer = false);

} // namespace TTATests
