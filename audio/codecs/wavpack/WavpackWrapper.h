#pragma once
// Debian's WavPack library, loaded by file name at run time, and thin decoder and
// encoder objects over it that read and write TStream objects through the library's
// stream callbacks. Every call checks first that the library and the entry point are
// there.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wavpack/wavpack.h>

#include "audio/core/TSL_CodecLib.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

class EWavpackException : public Exception {
public:
  using Exception::Exception;
};

// The process-wide library object ("libwavpack.so.1"); tests may rename it while it
// is not loaded.
TCodecLibrary& WavpackLibrary();
// Loads and binds the library on first need; true when it is loaded.
bool LoadWavpackLibrary();

class TWavpackDecoder {
public:
  // Flags are the library's OPEN_* bits. Raises EWavpackException when the stream is
  // nil or the library cannot open it.
  TWavpackDecoder(TStream* AStream, TStream* ACorrectionStream, int Flags);
  ~TWavpackDecoder();
  TWavpackDecoder(const TWavpackDecoder&) = delete;
  TWavpackDecoder& operator=(const TWavpackDecoder&) = delete;

  int Mode();
  int NumChannels();
  int32_t SampleRate();
  int BitsPerSample();
  int BytesPerSample();
  // -1 when the file does not tell.
  int64_t NumSamples();
  // The item's text (UTF-8, or Latin-1 bytes from an ID3v1 tag); empty when absent.
  std::string GetTagItem(const std::string& Name);
  // Unpacks up to Count sample frames into Buffer (Count x channels 32-bit slots);
  // returns the frames unpacked.
  uint32_t UnpackSamples(int32_t* Buffer, uint32_t Count);
  bool SeekSample(int64_t Sample);
  // The frame the next unpack starts at.
  int64_t SampleIndex();
  // Blocks found damaged so far (each is unpacked as silence).
  int NumErrors();

private:
  TStream* FStream;
  TStream* FCorrectionStream;
  WavpackContext* FContext = nullptr;
};

class TWavpackEncoder {
public:
  // Raises EWavpackException when the stream is nil or the library cannot make a
  // context. A nil correction stream writes no correction file.
  TWavpackEncoder(TStream* AStream, TStream* ACorrectionStream);
  ~TWavpackEncoder();
  TWavpackEncoder(const TWavpackEncoder&) = delete;
  TWavpackEncoder& operator=(const TWavpackEncoder&) = delete;

  // Zero-filled; the caller sets what it needs before Init.
  WavpackConfig& Config() { return FConfig; }
  // TotalSamples -1: unknown.
  bool Init(int64_t TotalSamples);
  bool PackSamples(int32_t* Samples, uint32_t Count);
  bool FlushSamples();
  // Sample frames packed so far.
  int64_t SampleIndex();
  // Puts the real sample count into the first block of each stream, rewriting it in
  // place; false when a stream could not be rewritten.
  bool UpdateNumSamples();
  bool AppendTag(const std::string& Name, const std::string& Utf8Value);
  bool WriteTag();
  std::string ErrorMessage();
  // The message of the first write to a stream that failed; empty when none did.
  std::string WriteError() const;

  // One output stream of the library, with the first block kept for UpdateNumSamples.
  struct TSlot {
    TStream* Stream = nullptr;
    int64_t FirstBlockAt = -1;
    std::vector<uint8_t> FirstBlock;
    std::string WriteError;
    // Runs Fn, a write of the stream: false when it fails, with the message of a
    // failure it raises kept.
    bool Write(const std::function<bool()>& Fn);
  };

private:
  TSlot FMain;
  TSlot FCorrection;
  WavpackContext* FContext = nullptr;
  WavpackConfig FConfig;
};
