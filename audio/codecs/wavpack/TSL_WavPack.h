#pragma once
// WavPack output and input over Debian's WavPack library. In hybrid mode the output
// also writes a correction file beside the main one (the name with ".wvc" as its
// extension), which the input uses when it is there. Tags travel as APEv2 items.

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/codecs/wavpack/WavpackWrapper.h"
#include "audio/core/TSL_Classes.h"

enum TWVCompressionLevel : uint8_t { wvclFast, wvclHigh, wvclVeryHigh };

class TWVOut : public TAuTaggedFileOut {
public:
  explicit TWVOut(TComponent* AOwner);
  ~TWVOut() override;

  TWVCompressionLevel CompressionLevel() const { return FCompressionLevel; }
  void SetCompressionLevel(TWVCompressionLevel V) { FCompressionLevel = V; }
  // Joint stereo when set; plain left and right channels otherwise.
  bool JointStereo() const { return FJointStereo; }
  void SetJointStereo(bool V) { FJointStereo = V; }
  bool HybridMode() const { return FHybridMode; }
  void SetHybridMode(bool V) { FHybridMode = V; }
  // Hybrid bit rate, kbit/s.
  float Bitrate() const { return FBitrate; }
  void SetBitrate(float V) { FBitrate = V; }
  // A correction stream of the caller's (kept open and not freed); without one, a
  // hybrid run writes the correction file only beside a named output file.
  TStream* CorrectionStream() const { return FCorrectionStream; }
  void SetCorrectionStream(TStream* Value) {
    FCorrectionStream = Value;
    FCorrectionStreamAssigned = Value != nullptr;
  }
  std::string FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const override;

protected:
  void Prepare() override;
  bool WriteBlock(bool Abort) override;
  void Finish() override;

private:
  void ReleaseStreams();
  [[noreturn]] void RaiseWriteError();
  // Packs the whole frames of the carry buffer; false when the library failed.
  bool PackBuffered();

  static constexpr uint32_t PackFrames = 65536;

  TWVCompressionLevel FCompressionLevel = wvclFast;
  bool FJointStereo = false;
  bool FHybridMode = false;
  float FBitrate = 0;

  // Run state.
  std::unique_ptr<TWavpackEncoder> FEncoder;
  // The correction stream in use: the one supplied, or the run's own file.
  TStream* FCorrectionStream = nullptr;
  bool FCorrectionStreamAssigned = false;
  std::unique_ptr<TStream> FOwnCorrectionStream;
  bool FEncoderReady = false;  // configured and initialised
  bool FFlushed = false;
  int64_t FDeclaredSamples = -1;  // the count given to the library at the start
  int32_t FChannels = 0;
  int32_t FBytesPerSample = 0;
  std::vector<uint8_t> FBuffer;
  uint32_t FBufferCount = 0;      // bytes carried over from the last block
  std::vector<int32_t> FSamples;
};

class TWVIn : public TAuTaggedFileIn {
public:
  explicit TWVIn(TComponent* AOwner);
  ~TWVIn() override;

  // A correction stream of the caller's; without one, the ".wvc" file beside a named
  // input is used when it exists.
  TStream* CorrectionStream() const { return FCorrectionStream; }
  void SetCorrectionStream(TStream* Value);

protected:
  void DoOpenFile() override;
  void DoCloseFile() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;
  bool SeekRaw(int64_t& SampleNum) override;

private:
  void ReadTags();
  // Closes the ".wvc" file, or rewinds a supplied correction stream.
  void ReleaseCorrectionStream();
  // Of Count frames unpacked from From, how many came before the block found damaged.
  uint32_t FramesBeforeDamage(int64_t From, uint32_t Count);

  std::unique_ptr<TWavpackDecoder> FDecoder;
  // The correction stream in use: the one supplied, or the ".wvc" file's.
  TStream* FCorrectionStream = nullptr;
  bool FCorrectionStreamAssigned = false;
  std::unique_ptr<TStream> FOwnCorrectionStream;
  int32_t FMode = 0;
  int64_t FFileSamples = -1;  // the file's frame count, -1 when it does not tell
  bool FDamagedAtOpen = false;  // the library passed over a damaged first block
  int32_t FBytesPerSample = 0;
  std::vector<int32_t> FBuffer;
};
