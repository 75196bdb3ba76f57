#pragma once
// The filters chained between an input and an output: sample size and channel
// count, PCM format conversion through the compression manager (sample rate), and
// a two-pass peak normaliser.
//
// The "same as the input" values (0) of the Out... properties are resolved per
// run: the properties keep what the caller set, so that a converter reused for a
// list of files follows each file's own format.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "platform/acm/Acm.h"

enum TMSConverterMode : uint8_t { msmMonoToBoth, msmMonoToLeft, msmMonoToRight };

// Changes the sample size (8, 16, 24, 32 bits) and the channel count (mono <->
// stereo) through floats.
class TAudioConverter : public TAuConverter {
public:
  explicit TAudioConverter(TComponent* AOwner);

  // Stored only: a mono input is always copied to both channels.
  TMSConverterMode Mode() const { return FMode; }
  void SetMode(TMSConverterMode Value) { FMode = Value; }
  // 0: as the input.
  int32_t OutBitsPerSample() const { return FOutBitsPerSample; }
  void SetOutBitsPerSample(int32_t Value) { FOutBitsPerSample = Value; }
  // 0: as the input; 1 or 2 apply to mono and stereo inputs only.
  int32_t OutChannels() const { return FOutChannels; }
  void SetOutChannels(int32_t Value) { FOutChannels = Value; }

protected:
  int32_t GetBitsPerSample() override;
  int32_t GetChannels() override;
  void BeginRead() override;
  void EndRead() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;

private:
  // Whole input frames, at most Bytes of them: from the input's own buffer when it
  // delivers whole frames, else gathered in FInBuffer. 0 at the end of the data.
  uint32_t ReadInputFrames(const uint8_t*& Data, uint32_t Bytes);
  void ReleaseBuffers();

  std::vector<uint8_t> FOutBuffer;
  std::vector<float> FFloatBuffer;
  int32_t FCapacity = 0;  // frames both buffers hold
  std::vector<uint8_t> FInBuffer;
  int32_t FInSampleBytes = 0;
  int32_t FOutSampleBytes = 0;
  TMSConverterMode FMode = msmMonoToBoth;
  int32_t FOutBitsPerSample = 0;
  int32_t FOutChannels = 0;
  // In effect for the run.
  int32_t FCurBits = 0;
  int32_t FCurChannels = 0;
  int32_t FInChannels = 0;
  bool FPassThrough = false;
};

// Converts PCM to another PCM format (sample rate, sample size, mono <-> stereo)
// through the compression manager, in chunks of InBufferSize input bytes. Delivers
// exactly Size bytes when the input's size is known.
class TACMConverter : public TAuConverter {
public:
  explicit TACMConverter(TComponent* AOwner);
  ~TACMConverter() override;

  // 0: as the input.
  int32_t OutBitsPerSample() const { return FOutBitsPerSample; }
  void SetOutBitsPerSample(int32_t Value) { FOutBitsPerSample = Value; }
  int32_t OutChannels() const { return FOutChannels; }
  void SetOutChannels(int32_t Value) { FOutChannels = Value; }
  int32_t OutSampleRate() const { return FOutSampleRate; }
  void SetOutSampleRate(int32_t Value) { FOutSampleRate = Value; }

protected:
  int32_t GetBitsPerSample() override;
  int32_t GetChannels() override;
  int32_t GetSampleRate() override;
  void BeginRead() override;
  void EndRead() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;

private:
  void Refill();
  void ReleaseStream();

  int32_t FOutBitsPerSample = 0;
  int32_t FOutChannels = 0;
  int32_t FOutSampleRate = 0;
  // The input's format for the run, and the run's output format.
  int32_t FInChannels = 0;
  int32_t FInBits = 0;
  int32_t FInRate = 0;
  int32_t FCurBits = 0;
  int32_t FCurChannels = 0;
  int32_t FCurRate = 0;
  HACMSTREAM FStream;
  uint32_t FInBufferSize = 0x300000;
  uint32_t FChunkSize = 0;  // input bytes converted at a time in this run
  uint32_t FOutBufferSize = 0;
  std::vector<uint8_t> FInBuffer;
  std::vector<uint8_t> FOutBuffer;
  uint32_t FOutPos = 0;
  uint32_t FOutAvail = 0;
  bool FInputEnded = false;
  bool FHeaderPrepared = false;
  ACMSTREAMHEADER FHeader;
  bool FPassThrough = false;
};

enum TNormalizerStoreMode : uint8_t { nsmFile = 0, nsmMemory = 1, nsmNone = 2 };

// Two-pass peak normaliser. The first pass runs inside BeginRead: it reads the
// whole input, finds its peak and keeps the data (in a temporary file, in memory,
// or not at all, in which case the input is read again); the second pass delivers
// the data scaled so that the peak reaches full scale. 8-bit audio is taken around
// its midpoint 128.
class TNormalizer : public TAuConverter {
public:
  explicit TNormalizer(TComponent* AOwner);
  ~TNormalizer() override;

  TNormalizerStoreMode StoreMode() const { return FStoreMode; }
  // Ignored while Busy.
  void SetStoreMode(TNormalizerStoreMode Value);
  // Where the temporary file goes: the folder of this name, which for a relative
  // name is below the application-data folder. Each run keeps its data in a file of
  // its own there that has no name, so nothing is left behind whatever happens.
  const std::string& TmpFileName() const { return FTmpFileName; }
  void SetTmpFileName(const std::string& Value) { FTmpFileName = Value; }
  // Off: the data passes unchanged. Read at the start of each run.
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  // 0 while the first pass reads the input.
  int32_t Progress() override { return FInFirstPass ? 0 : TAuConverter::Progress(); }

protected:
  void BeginRead() override;
  void EndRead() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;

private:
  void FirstPass();
  void ScanPeak(const uint8_t* Data, uint32_t Bytes, int64_t& Peak) const;
  void PrepareScale();
  void Scale(uint8_t* Data, uint32_t Bytes) const;
  void CreateStoreFile();
  void ReleaseStore();

  std::unique_ptr<TStream> FStore;
  TNormalizerStoreMode FStoreMode = nsmFile;
  double FGain = 1.0;
  int32_t FSampleBytes = 0;
  std::vector<uint8_t> FReadBuffer;
  std::string FTmpFileName = "norm.tmp";
  bool FEnabled = true;
  bool FActive = false;
  // The run's own: its store mode, whether Stop cut the first pass.
  TNormalizerStoreMode FRunStoreMode = nsmFile;
  bool FStopped = false;
  std::atomic<bool> FInFirstPass{false};
  int64_t FStoreLeft = 0;
  // Scaled value of every 8- or 16-bit sample.
  std::vector<uint8_t> FTable8;
  std::vector<int16_t> FTable16;
};
