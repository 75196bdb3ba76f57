#pragma once
// Musepack input and output. TMPCIn decodes through libmpdec.so (wrapped by
// TMPCDecoder); TMPCOut encodes through libmppenc.so, which reads the PCM and writes
// the stream through the output's callbacks. Both carry their tags as APEv2.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "audio/core/TSL_CodecLib.h"
#include "platform/codecs/mpdec/MPDec.h"

struct mppenc_state;

// Failures of the decoder library wrapper.
class EMPCDecException : public Exception {
public:
  using Exception::Exception;
};

// The decoder library: loaded on first need and kept loaded.
TCodecLibrary& MPCDecLibrary();
// The encoder library: loaded for each run and freed after it, once no other run
// uses it.
TCodecLibrary& MPCEncLibrary();

// One Musepack stream being decoded from a TStream. Every library call is checked:
// EMPCDecException when the library is not loaded or the entry point is missing.
class TMPCDecoder {
public:
  // Reads the stream's header and prepares decoding from its start.
  explicit TMPCDecoder(TStream* AStream);
  ~TMPCDecoder();
  TMPCDecoder(const TMPCDecoder&) = delete;
  TMPCDecoder& operator=(const TMPCDecoder&) = delete;

  int32_t SampleRate() const { return static_cast<int32_t>(FInfo.sample_freq); }
  int32_t Channels() const { return static_cast<int32_t>(FInfo.channels); }
  int64_t LengthSamples();
  int32_t StreamVersion() const { return static_cast<int32_t>(FInfo.stream_version); }
  // Decodes the next frame into Buffer (MPC_DECODER_BUFFER_LENGTH floats): the
  // number of sample frames, 0 at the end, -1 on an error.
  int32_t Decode(float* Buffer);
  // The frame Decode gave last begins a block of the stream.
  bool BlockStart() const { return FDecoder.block_start != 0; }
  bool SeekSample(int64_t Sample);

  TStream* Stream() const { return FStream; }

private:
  TStream* FStream;
  mpc_reader FReader{};
  mpc_streaminfo FInfo{};
  mpc_decoder FDecoder{};
};

class TMPCIn : public TAuTaggedFileIn {
public:
  explicit TMPCIn(TComponent* AOwner);

  uint32_t OutBitsPerSample() const { return FOutBitsPerSample; }
  // Takes effect only while the file is closed: below 8 gives 8, up to 32 is rounded
  // up to whole bytes, above 32 gives 32.
  void SetOutBitsPerSample(uint32_t Value);

protected:
  void DoOpenFile() override;
  void DoCloseFile() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;
  bool SeekRaw(int64_t& SampleNum) override;

private:
  uint32_t FOutBitsPerSample = 16;
  std::unique_ptr<TMPCDecoder> FDecoder;
  std::vector<uint8_t> FBuffer;       // decoded bytes; [FBufStart, FBufEnd) not yet delivered
  std::vector<float> FSamples;        // one decoded frame
  std::vector<int32_t> FInts;         // the frame at the output's width
  int64_t FFramesDecoded = 0;         // since the start of the stream, for error messages
  int64_t FFileSamples = -1;          // the frames the stream announces, -1 when unknown
  bool FDecodeFailed = false;         // reported once the bytes before the damage are out
  bool FDecodeEnded = false;
  // Where in FBuffer the newest block's audio starts: it waits there until the
  // decoder has checked that block.
  int32_t FBlockAt = 0;
};

class TMPCOut : public TAuTaggedFileOut {
public:
  explicit TMPCOut(TComponent* AOwner);

  // The encoder's quality scale, 0.0 to 10.0.
  float Quality() const { return FQuality; }
  void SetQuality(float Value) { FQuality = Value; }

  std::string FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const override;

protected:
  void Prepare() override;
  bool WriteBlock(bool Abort) override;
  void Finish() override;

private:
  static void CbMessage(void* User, const char* Text);
  static size_t CbReadPcm(void* User, void* Buffer, size_t Size, size_t Count);
  static int CbEndOfInput(void* User);
  static void CbProgress(void* User, uint64_t Frames);
  static void CbEncoded(void* User);
  static int64_t CbSeekOut(void* User, int64_t Offset, int Origin);
  static size_t CbReadOut(void* User, void* Buffer, size_t Size, size_t Count);
  static size_t CbWriteOut(void* User, const void* Buffer, size_t Size, size_t Count);
  static void CbFinished(void* User, uint64_t Bytes);
  void AddTags();

  float FQuality = 5.0f;
  mppenc_state* FState = nullptr;
  std::atomic<bool> FEndFlag{false};
  bool FLibraryHeld = false;
  std::string FEncoderMessage;   // what the library said about a failure
  std::string FCallbackError;    // an exception caught inside a callback
};
