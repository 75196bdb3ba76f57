#include "audio/codecs/ape/MACDllWrapper.h"

#include "audio/core/TSL_Classes.h"

namespace {

TCodecLibrary MACLib("libMACDll.so");

// Every entry point of the library, bound with the library header's own types.
decltype(&::ProgressCallback) FnProgressCallback = nullptr;
decltype(&::RemoveTag) FnRemoveTag = nullptr;
decltype(&::CompressFile) FnCompressFile = nullptr;
decltype(&::ConvertFile) FnConvertFile = nullptr;
decltype(&::DecompressFile) FnDecompressFile = nullptr;
decltype(&::FillWaveFormatEx) FnFillWaveFormatEx = nullptr;
decltype(&::FillWaveHeader) FnFillWaveHeader = nullptr;
decltype(&::GetID3Tag) FnGetID3Tag = nullptr;
decltype(&::GetInterfaceCompatibility) FnGetInterfaceCompatibility = nullptr;
decltype(&::GetVersionNumber) FnGetVersionNumber = nullptr;
decltype(&::ShowFileInfoDialog) FnShowFileInfoDialog = nullptr;
decltype(&::TagFileSimple) FnTagFileSimple = nullptr;
decltype(&::VerifyFile) FnVerifyFile = nullptr;
decltype(&::c_APECompress_AddData) FnCompressAddData = nullptr;
decltype(&::c_APECompress_Create) FnCompressCreate = nullptr;
decltype(&::c_APECompress_Destroy) FnCompressDestroy = nullptr;
decltype(&::c_APECompress_Finish) FnCompressFinish = nullptr;
decltype(&::c_APECompress_GetBufferBytesAvailable) FnCompressGetBufferBytesAvailable = nullptr;
decltype(&::c_APECompress_Kill) FnCompressKill = nullptr;
decltype(&::c_APECompress_LockBuffer) FnCompressLockBuffer = nullptr;
decltype(&::c_APECompress_Start) FnCompressStart = nullptr;
decltype(&::c_APECompress_UnlockBuffer) FnCompressUnlockBuffer = nullptr;
decltype(&::c_APEDecompress_CreateW) FnDecompressCreateW = nullptr;
decltype(&::c_APEDecompress_Destroy) FnDecompressDestroy = nullptr;
decltype(&::c_APEDecompress_GetData) FnDecompressGetData = nullptr;
decltype(&::c_APEDecompress_GetInfo) FnDecompressGetInfo = nullptr;
decltype(&::c_APEDecompress_Seek) FnDecompressSeek = nullptr;

void BindMACDll(TCodecLibrary& Lib) {
  Lib.Bind("ProgressCallback", FnProgressCallback);
  Lib.Bind("RemoveTag", FnRemoveTag);
  Lib.Bind("CompressFile", FnCompressFile);
  Lib.Bind("ConvertFile", FnConvertFile);
  Lib.Bind("DecompressFile", FnDecompressFile);
  Lib.Bind("FillWaveFormatEx", FnFillWaveFormatEx);
  Lib.Bind("FillWaveHeader", FnFillWaveHeader);
  Lib.Bind("GetID3Tag", FnGetID3Tag);
  Lib.Bind("GetInterfaceCompatibility", FnGetInterfaceCompatibility);
  Lib.Bind("GetVersionNumber", FnGetVersionNumber);
  Lib.Bind("ShowFileInfoDialog", FnShowFileInfoDialog);
  Lib.Bind("TagFileSimple", FnTagFileSimple);
  Lib.Bind("VerifyFile", FnVerifyFile);
  Lib.Bind("c_APECompress_AddData", FnCompressAddData);
  Lib.Bind("c_APECompress_Create", FnCompressCreate);
  Lib.Bind("c_APECompress_Destroy", FnCompressDestroy);
  Lib.Bind("c_APECompress_Finish", FnCompressFinish);
  Lib.Bind("c_APECompress_GetBufferBytesAvailable", FnCompressGetBufferBytesAvailable);
  Lib.Bind("c_APECompress_Kill", FnCompressKill);
  Lib.Bind("c_APECompress_LockBuffer", FnCompressLockBuffer);
  Lib.Bind("c_APECompress_Start", FnCompressStart);
  Lib.Bind("c_APECompress_UnlockBuffer", FnCompressUnlockBuffer);
  // The decorated constructor of the Windows library, exported under its plain name.
  Lib.Bind("c_APEDecompress_CreateW", FnDecompressCreateW);
  Lib.Bind("c_APEDecompress_Destroy", FnDecompressDestroy);
  Lib.Bind("c_APEDecompress_GetData", FnDecompressGetData);
  Lib.Bind("c_APEDecompress_GetInfo", FnDecompressGetInfo);
  Lib.Bind("c_APEDecompress_Seek", FnDecompressSeek);
}

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
  MACLib.Require(BindMACDll);
  // A library file of the right name that lacks an entry point is not ours.
  if (!MACLib.Missing().empty())
    throw EAuException("Function \"" + MACLib.Missing().front() + "\" not found in MACDll library!");
}

int32_t MACFillWaveFormatEx(MACDll::WAVEFORMATEX& Format, int32_t SampleRate, int32_t BitsPerSample,
                            int32_t Channels) {
  return FnFillWaveFormatEx(&Format, SampleRate, BitsPerSample, Channels);
}

int32_t MACTagFileSimple(const std::string& FileName, const std::string& Artist, const std::string& Album,
                         const std::string& Title, const std::string& Comment, const std::string& Genre,
                         const std::string& Year, const std::string& Track, bool ClearFirst, bool UseOldID3) {
  return FnTagFileSimple(FileName.c_str(), Artist.c_str(), Album.c_str(), Title.c_str(), Comment.c_str(),
                         Genre.c_str(), Year.c_str(), Track.c_str(), ClearFirst, UseOldID3);
}

int32_t MACGetID3Tag(const std::string& FileName, MACDll::ID3_TAG& Tag) { return FnGetID3Tag(FileName.c_str(), &Tag); }

// ---------------------------------------------------------------------------
// TAPECompress

TAPECompress::TAPECompress() {
  int32_t error = 0;
  FHandle = FnCompressCreate(&error);
  if (error != 0 || !FHandle) {
    if (FHandle) FnCompressDestroy(FHandle);
    FHandle = nullptr;
    throw EAPEException(error != 0 ? error : MACDll::ERROR_INSUFFICIENT_MEMORY);
  }
}

TAPECompress::~TAPECompress() {
  if (FHandle) FnCompressDestroy(FHandle);
}

int32_t TAPECompress::Start(const std::string& FileName, const MACDll::WAVEFORMATEX& Format, int32_t MaxAudioBytes,
                            int32_t CompressionLevel, const void* Header, int32_t HeaderBytes) {
  return FnCompressStart(FHandle, FileName.c_str(), &Format, MaxAudioBytes, CompressionLevel, Header, HeaderBytes);
}

uint8_t* TAPECompress::LockBuffer(int32_t& BytesAvailable) {
  BytesAvailable = 0;
  return FnCompressLockBuffer(FHandle, &BytesAvailable);
}

int32_t TAPECompress::UnlockBuffer(int32_t Bytes) { return FnCompressUnlockBuffer(FHandle, Bytes, 1); }

int32_t TAPECompress::Finish(uint8_t* Data, int32_t Bytes, int32_t WavBytes) {
  return FnCompressFinish(FHandle, Data, Bytes, WavBytes);
}

// ---------------------------------------------------------------------------
// TAPEDecompress

TAPEDecompress::TAPEDecompress(const std::u16string& FileName) : FFileName(FileName) {
  int32_t error = 0;
  FHandle = FnDecompressCreateW(FFileName.c_str(), &error);
  if (error != 0 || !FHandle) {
    if (FHandle) FnDecompressDestroy(FHandle);
    FHandle = nullptr;
    throw EAPEException(error != 0 ? error : MACDll::ERROR_INVALID_INPUT_FILE);
  }
}

TAPEDecompress::~TAPEDecompress() {
  if (FHandle) FnDecompressDestroy(FHandle);
}

int32_t TAPEDecompress::GetData(char* Buffer, int32_t Blocks, int32_t& Retrieved) {
  Retrieved = 0;
  return FnDecompressGetData(FHandle, Buffer, Blocks, &Retrieved);
}

int32_t TAPEDecompress::Seek(int64_t Block) { return FnDecompressSeek(FHandle, Block); }

intptr_t TAPEDecompress::GetInfo(int32_t Field, intptr_t Param1, intptr_t Param2) {
  return FnDecompressGetInfo(FHandle, Field, Param1, Param2);
}
