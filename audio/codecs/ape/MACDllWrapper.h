#pragma once
// The Monkey's Audio library (libMACDll.so), loaded by file name on first need, and
// the two objects the components drive: a compressor and a decompressor, each one
// library handle. The library's header is included for its types only.

#include <cstdint>
#include <memory>
#include <string>

#include "audio/core/TSL_CodecLib.h"
#include "platform/codecs/mac/MACDll.h"
#include "platform/rtl/SysUtils.h"

// "MACDll error: " and the text of the library's error code.
class EAPEException : public Exception {
public:
  explicit EAPEException(int32_t ErrorCode);
  int32_t ErrorCode() const { return FErrorCode; }

private:
  int32_t FErrorCode;
};

// The text of one of the library's error codes ("undefined (<code>)" for others).
std::string MACErrorText(int32_t ErrorCode);

// The process-wide library object; tests may point it at another file while it is
// not loaded.
TCodecLibrary& MACDllLibrary();
// The components' library check: EAuException "<file> library could not be loaded.",
// or one naming the first entry point the file lacks.
void RequireMACDll();

// The library's helpers the components call (the library must be required first).
int32_t MACFillWaveFormatEx(MACDll::WAVEFORMATEX& Format, int32_t SampleRate, int32_t BitsPerSample,
                            int32_t Channels);
int32_t MACTagFileSimple(const std::string& FileName, const std::string& Artist, const std::string& Album,
                         const std::string& Title, const std::string& Comment, const std::string& Genre,
                         const std::string& Year, const std::string& Track, bool ClearFirst, bool UseOldID3);
int32_t MACGetID3Tag(const std::string& FileName, MACDll::ID3_TAG& Tag);

class TAPECompress {
public:
  // Raises EAPEException when the library cannot make a compressor.
  TAPECompress();
  ~TAPECompress();
  TAPECompress(const TAPECompress&) = delete;
  TAPECompress& operator=(const TAPECompress&) = delete;

  int32_t Start(const std::string& FileName, const MACDll::WAVEFORMATEX& Format, int32_t MaxAudioBytes,
                int32_t CompressionLevel, const void* Header, int32_t HeaderBytes);
  // Room in the library's input buffer (null when there is none).
  uint8_t* LockBuffer(int32_t& BytesAvailable);
  // Hands over Bytes bytes written at the locked pointer; full frames are coded.
  int32_t UnlockBuffer(int32_t Bytes);
  int32_t Finish(uint8_t* Data, int32_t Bytes, int32_t WavBytes);

private:
  APE_COMPRESS_HANDLE FHandle = nullptr;
};

class TAPEDecompress {
public:
  // Opens the file by its 8-bit name; raises EAPEException when it cannot be read.
  explicit TAPEDecompress(const std::string& FileName);
  ~TAPEDecompress();
  TAPEDecompress(const TAPEDecompress&) = delete;
  TAPEDecompress& operator=(const TAPEDecompress&) = delete;

  int32_t GetData(char* Buffer, int32_t Blocks, int32_t& Retrieved);
  int32_t Seek(int64_t Block);
  intptr_t GetInfo(int32_t Field, intptr_t Param1 = 0, intptr_t Param2 = 0);
  const std::string& FileName() const { return FFileName; }

private:
  std::string FFileName;
  APE_DECOMPRESS_HANDLE FHandle = nullptr;
};
