#pragma once
// Shared helpers of the MACDll tests: the library loaded by file name from the test
// program's folder, as the engine loads it; fixtures made with sox;
// and reference decoding and checksums with ffmpeg and md5sum.

#include "platform/codecs/mac/MACDll.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Tools.h"

namespace MACTests {

struct Api {
  decltype(&::GetVersionNumber) GetVersionNumber = nullptr;
  decltype(&::GetInterfaceCompatibility) GetInterfaceCompatibility = nullptr;
  decltype(&::ProgressCallback) ProgressCallback = nullptr;
  decltype(&::FillWaveFormatEx) FillWaveFormatEx = nullptr;
  decltype(&::FillWaveHeader) FillWaveHeader = nullptr;
  decltype(&::CompressFile) CompressFile = nullptr;
  decltype(&::DecompressFile) DecompressFile = nullptr;
  decltype(&::ConvertFile) ConvertFile = nullptr;
  decltype(&::ShowFileInfoDialog) ShowFileInfoDialog = nullptr;
  decltype(&::VerifyFile) VerifyFile = nullptr;
  decltype(&::TagFileSimple) TagFileSimple = nullptr;
  decltype(&::RemoveTag) RemoveTag = nullptr;
  decltype(&::GetID3Tag) GetID3Tag = nullptr;
  decltype(&::c_APECompress_Create) CompressCreate = nullptr;
  decltype(&::c_APECompress_Destroy) CompressDestroy = nullptr;
  decltype(&::c_APECompress_Start) CompressStart = nullptr;
  decltype(&::c_APECompress_AddData) CompressAddData = nullptr;
  decltype(&::c_APECompress_GetBufferBytesAvailable) CompressGetBufferBytesAvailable = nullptr;
  decltype(&::c_APECompress_LockBuffer) CompressLockBuffer = nullptr;
  decltype(&::c_APECompress_UnlockBuffer) CompressUnlockBuffer = nullptr;
  decltype(&::c_APECompress_Finish) CompressFinish = nullptr;
  decltype(&::c_APECompress_Kill) CompressKill = nullptr;
  decltype(&::c_APEDecompress_CreateW) DecompressCreateW = nullptr;
  decltype(&::c_APEDecompress_Destroy) DecompressDestroy = nullptr;
  decltype(&::c_APEDecompress_GetData) DecompressGetData = nullptr;
  decltype(&::c_APEDecompress_Seek) DecompressSeek = nullptr;
  decltype(&::c_APEDecompress_GetInfo) DecompressGetInfo = nullptr;
  std::string Error;  // why loading or binding failed; empty when all is bound
};

// The library, loaded once from the program's folder; fails the test when it cannot be.
const Api& Lib();

using testsupport::Le16;
using testsupport::Le32;
using testsupport::Quote;
using testsupport::ReadFile;
using testsupport::RequireTools;
using testsupport::RunOk;
using testsupport::WriteFile;
using TempDir = testsupport::TTempDir;

bool FileExists(const std::string& Path);

// The raw sample format name of ffmpeg and sox for a width: u8, s16le, s24le.
const char* RawFormat(int Bits);
// Raw PCM made by sox, one generator per channel; Loud makes full-scale noise.
std::string MakeRaw(const TempDir& Dir, const std::string& Name, int Bits, int Channels, int Rate, double Seconds,
                    bool Loud = false);
// md5sum of a file, and of what ffmpeg decodes from an APE file with every frame's
// CRC checked (empty when ffmpeg fails; its messages then go to Log).
std::string Md5OfFile(const std::string& Path);
std::string FfmpegPcmMd5(const std::string& Ape, int Bits, std::string* Log = nullptr);
// ffmpeg's decoding as raw PCM (the reference data).
std::vector<uint8_t> FfmpegDecode(const TempDir& Dir, const std::string& Ape, int Bits);
// One ffprobe value (e.g. "stream=sample_rate", "format_tags=title").
std::string Probe(const std::string& File, const std::string& Entry);

// Encodes a raw file through the compressor, handing the data over in pieces of
// Chunk bytes (AddData) or through LockBuffer/UnlockBuffer. Returns the first
// non-zero code, or 0.
int32_t Encode(const std::string& Raw, const std::string& Ape, int Bits, int Channels, int Rate, int Level,
               int32_t MaxAudioBytes = -1, size_t Chunk = 10007, bool UseLockBuffer = false);

// Everything the decompressor gives from the start (or from Block when given).
struct Decoded {
  int32_t CreateError = 0;
  int32_t DataError = 0;
  std::vector<uint8_t> Pcm;
};
Decoded DecodeAll(const std::string& Ape, int64_t FromBlock = 0, int32_t BlocksPerCall = 4321);

std::u16string Wide(const std::string& S);

}  // namespace MACTests
