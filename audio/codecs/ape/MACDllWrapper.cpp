#include "audio/codecs/ape/MACDllWrapper.h"

#include "audio/core/TSL_Classes.h"

namespace {

TCodecLibrary MACLib("libMACDll.so");

// Every entry point of the library. Names are opened by their 8-bit form, as Linux
// stores them; the wide constructor of the design is not needed.
#define MACDLL_ENTRIES(X)                  \
  X(ProgressCallback)                      \
  X(RemoveTag)                             \
  X(CompressFile)                          \
  X(ConvertFile)                           \
  X(DecompressFile)                        \
  X(FillWaveFormatEx)                      \
  X(FillWaveHeader)                        \
  X(GetID3Tag)                             \
  X(GetInterfaceCompatibility)             \
  X(GetVersionNumber)                      \
  X(ShowFileInfoDialog)                    \
  X(TagFileSimple)                         \
  X(VerifyFile)                            \
  X(c_APECompress_AddData)                 \
  X(c_APECompress_Create)                  \
  X(c_APECompress_Destroy)                 \
  X(c_APECompress_Finish)                  \
  X(c_APECompress_GetBufferBytesAvailable) \
  X(c_APECompress_Kill)                    \
  X(c_APECompress_LockBuffer)              \
  X(c_APECompress_Start)                   \
  X(c_APECompress_UnlockBuffer)            \
  X(c_APEDecompress_Create)                \
  X(c_APEDecompress_Destroy)               \
  X(c_APEDecompress_GetData)               \
  X(c_APEDecompress_GetInfo)               \
  X(c_APEDecompress_Seek)

namespace mac {
MACDLL_ENTRIES(CODEC_ENTRY_POINTER)
void BindAll(TCodecLibrary& Lib) { MACDLL_ENTRIES(CODEC_BIND_ENTRY) }
}  // namespace mac

}  // namespace

std::string MACErrorText(int32_t ErrorCode) {
  switch (ErrorCode) {
    case 0: return "OK";
    case 1000: return "I/O read error";
    case 1001: return "I/O write error";
    case 1002: return "invalid input file";
    case 1003: return "invalid output file";
    case 1004: return "input file file too large";
    case 1005: return "input file unsupported bit depth";
    case 1006: return "input file unsupported sample rate";
    case 1007: return "input file unsupported channel count";
    case 1008: return "input file too small";
    case 1009: return "invalid checksum";
    case 1010: return "decompressing frame";
    case 1011: return "initializing unmac";
    case 1012: return "invalid function parameter";
    case 1013: return "unsupported file type";
    case 2000: return "insufficient memory";
    case 3000: return "loading MAC.dll";
    case 3001: return "loading MACinfo.dll";
    case 3002: return "loading UnMAC.dll";
    case 4000: return "user stopped processing";
    case 4001: return "skipped...";
    case 5000: return "bad parameter";
    case 6000: return "APE compress too much data";
    default: return "undefined (" + std::to_string(ErrorCode) + ")";
  }
}

EAPEException::EAPEException(int32_t ErrorCode)
    : Exception("MACDll error: " + MACErrorText(ErrorCode)), FErrorCode(ErrorCode) {}

TCodecLibrary& MACDllLibrary() { return MACLib; }

void RequireMACDll() {
  MACLib.Require(mac::BindAll);
  // A library file of the right name that lacks an entry point is not ours.
  if (!MACLib.Missing().empty())
    throw EAuException("Function \"" + MACLib.Missing().front() + "\" not found in MACDll library!");
}

int32_t MACFillWaveFormatEx(MACDll::WAVEFORMATEX& Format, int32_t SampleRate, int32_t BitsPerSample,
                            int32_t Channels) {
  return mac::FillWaveFormatEx(&Format, SampleRate, BitsPerSample, Channels);
}

int32_t MACTagFileSimple(const std::string& FileName, const std::string& Artist, const std::string& Album,
                         const std::string& Title, const std::string& Comment, const std::string& Genre,
                         const std::string& Year, const std::string& Track, bool ClearFirst, bool UseOldID3) {
  return mac::TagFileSimple(FileName.c_str(), Artist.c_str(), Album.c_str(), Title.c_str(), Comment.c_str(),
                         Genre.c_str(), Year.c_str(), Track.c_str(), ClearFirst, UseOldID3);
}

int32_t MACGetID3Tag(const std::string& FileName, MACDll::ID3_TAG& Tag) { return mac::GetID3Tag(FileName.c_str(), &Tag); }

// ---------------------------------------------------------------------------
// TAPECompress

TAPECompress::TAPECompress() {
  int32_t error = 0;
  FHandle = mac::c_APECompress_Create(&error);
  if (error != 0 || !FHandle) {
    if (FHandle) mac::c_APECompress_Destroy(FHandle);
    FHandle = nullptr;
    throw EAPEException(error != 0 ? error : MACDll::ERROR_INSUFFICIENT_MEMORY);
  }
}

TAPECompress::~TAPECompress() {
  if (FHandle) mac::c_APECompress_Destroy(FHandle);
}

int32_t TAPECompress::Start(const std::string& FileName, const MACDll::WAVEFORMATEX& Format, int32_t MaxAudioBytes,
                            int32_t CompressionLevel, const void* Header, int32_t HeaderBytes) {
  return mac::c_APECompress_Start(FHandle, FileName.c_str(), &Format, MaxAudioBytes, CompressionLevel, Header, HeaderBytes);
}

uint8_t* TAPECompress::LockBuffer(int32_t& BytesAvailable) {
  BytesAvailable = 0;
  return mac::c_APECompress_LockBuffer(FHandle, &BytesAvailable);
}

int32_t TAPECompress::UnlockBuffer(int32_t Bytes) { return mac::c_APECompress_UnlockBuffer(FHandle, Bytes, 1); }

int32_t TAPECompress::Finish(uint8_t* Data, int32_t Bytes, int32_t WavBytes) {
  return mac::c_APECompress_Finish(FHandle, Data, Bytes, WavBytes);
}

// ---------------------------------------------------------------------------
// TAPEDecompress

TAPEDecompress::TAPEDecompress(const std::string& FileName) : FFileName(FileName) {
  int32_t error = 0;
  FHandle = mac::c_APEDecompress_Create(FFileName.c_str(), &error);
  if (error != 0 || !FHandle) {
    if (FHandle) mac::c_APEDecompress_Destroy(FHandle);
    FHandle = nullptr;
    throw EAPEException(error != 0 ? error : MACDll::ERROR_INVALID_INPUT_FILE);
  }
}

TAPEDecompress::~TAPEDecompress() {
  if (FHandle) mac::c_APEDecompress_Destroy(FHandle);
}

int32_t TAPEDecompress::GetData(char* Buffer, int32_t Blocks, int32_t& Retrieved) {
  Retrieved = 0;
  return mac::c_APEDecompress_GetData(FHandle, Buffer, Blocks, &Retrieved);
}

int32_t TAPEDecompress::Seek(int64_t Block) { return mac::c_APEDecompress_Seek(FHandle, Block); }

intptr_t TAPEDecompress::GetInfo(int32_t Field, intptr_t Param1, intptr_t Param2) {
  return mac::c_APEDecompress_GetInfo(FHandle, Field, Param1, Param2);
}
