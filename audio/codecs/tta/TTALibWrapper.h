#pragma once
// The True Audio library (libTTALib.so), loaded by file name on first need, and the
// two objects the components drive: a decoder and an encoder, each one library object
// constructed in place on an open file descriptor. Every entry point is checked before
// it is called, because the library is a separate file that may be missing or old.

#include <cstdint>
#include <string>
#include <utility>

#include "audio/core/TSL_CodecLib.h"
#include "platform/codecs/tta/TTALib.h"
#include "platform/rtl/SysUtils.h"

class ETTAException : public Exception {
public:
  explicit ETTAException(std::string Msg, int SystemError = 0)
      : Exception(std::move(Msg)), FSystemError(SystemError) {}
  // The system's error number when the library failed to read or write its file; else 0.
  int SystemError() const noexcept { return FSystemError; }

private:
  int FSystemError;
};

// The process-wide library object. Tests may point it at another file while it is
// not loaded (SetFileName) or unload it.
TCodecLibrary& TTALibrary();
// The components' library check: EAuException "<file> library could not be loaded."
void RequireTTALib();

class TTTADecoder {
public:
  // Reads the header of the TTA file open on AHandle (a leading ID3v2 tag is skipped).
  explicit TTTADecoder(int AHandle);
  ~TTTADecoder();
  TTTADecoder(const TTTADecoder&) = delete;
  TTTADecoder& operator=(const TTTADecoder&) = delete;

  int32_t GetNumChannels();
  int32_t GetBitsPerSample();
  int32_t GetSampleRate();
  // Sample frames in the whole file.
  int64_t GetDataLength();
  // Decodes the next frame; Buffer points at the library's block of 64-bit slots
  // (frames × channels), valid until the next call. 0 at the end of the data.
  int32_t GetBlock(int64_t*& Buffer);

private:
  TTALib::TTADecoder FDecoder;
  int FHandle;
};

class TTTAEncoder {
public:
  // Starts a TTA stream on AHandle. ADataLength is an estimate in sample frames
  // (0 or negative: unknown); the file's header gets the real count.
  TTTAEncoder(int AHandle, int64_t ADataLength, int32_t ASampleRate, int32_t ABitsPerSample,
              int32_t AChannels, int32_t AFormat, bool ACopyID3v2);
  // Completes the file when Finish has not (silently) and frees the library object.
  ~TTTAEncoder();
  TTTAEncoder(const TTTAEncoder&) = delete;
  TTTAEncoder& operator=(const TTTAEncoder&) = delete;

  // Encodes Count slots (whole sample frames); false when the library refuses them.
  bool CompressBlock(const int64_t* Samples, int32_t Count);
  // Encodes the last frame and writes the header and seek table; failures raise.
  void Finish();

private:
  TTALib::TTAEncoder FEncoder;
  int FHandle;
};
