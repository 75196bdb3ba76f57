#pragma once
// Small pipeline components for the tests: a raw PCM file input, a pass-through
// converter and an output that collects (or counts) what it pulls.

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/core/TSL_Classes.h"

// Header-less PCM read from a file or a supplied stream; the format is set by the test.
class TRawIn : public TAuFileIn {
public:
  explicit TRawIn(TComponent* AOwner, int32_t Bits = 16, int32_t Channels = 2, int32_t Rate = 44100)
      : TAuFileIn(AOwner), FFmtBits(Bits), FFmtChannels(Channels), FFmtRate(Rate) {}

  // The most bytes one ReadRaw delivers, to exercise odd chunkings.
  uint32_t MaxChunk = 4096;
  // Size reported by the "header": -2 means the real stream size.
  int64_t DeclaredSize = -2;
  bool FailOpen = false;
  std::atomic<int> Opens{0};
  std::atomic<int> Closes{0};
  std::atomic<int> RawReads{0};

protected:
  void DoOpenFile() override {
    ++Opens;
    if (!FStreamAssigned) OpenOwnStream();
    if (FailOpen) throw EAuException("cannot open");
    FBitsPerSample = FFmtBits;
    FChannels = FFmtChannels;
    FSampleRate = FFmtRate;
    FSize = DeclaredSize == -2 ? FStream->Size() : DeclaredSize;
    FValid = true;
    FStream->Seek(0, soBeginning);
  }
  void DoCloseFile() override { ++Closes; }
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override {
    ++RawReads;
    const uint32_t n = std::min<uint32_t>(Bytes, MaxChunk);
    FBuf.resize(n);
    const int64_t got = FStream->Read(FBuf.data(), n);
    Buffer = FBuf.data();
    Bytes = static_cast<uint32_t>(got);
  }
  bool SeekRaw(int64_t& SampleNum) override {
    FStream->Seek(SampleNum * FFrameSize, soBeginning);
    return true;
  }

private:
  int32_t FFmtBits, FFmtChannels, FFmtRate;
  TAuBuffer FBuf;
};

// Hands its input's data on unchanged.
class TPassConverter : public TAuConverter {
public:
  using TAuConverter::TAuConverter;

protected:
  void BeginRead() override {
    FInput->Init();
    FBusy = true;
    FPosition = 0;
    FSize = FInput->Size();
    FFrameSize = FInput->FrameSize();
  }
  void EndRead() override {
    FInput->Flush();
    FBusy = false;
  }
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override { FInput->ReadData(Buffer, Bytes); }
};

// Pulls blocks with FillBuffer and keeps (or only counts) them. Hooks let a test fail
// or slow a run at chosen points.
class TCollectOut : public TAuOutput {
public:
  using TAuOutput::TAuOutput;

  uint32_t BlockSize = 4096;
  bool Keep = true;
  // Take each block with ReadData and drop it, without copying it anywhere.
  bool Discard = false;
  std::vector<uint8_t> Data;
  std::atomic<int64_t> BytesSeen{0};
  std::atomic<int> Prepares{0};
  std::atomic<int> Finishes{0};
  std::atomic<int> Blocks{0};
  std::function<void()> OnPrepare;            // runs inside Prepare, after Init
  std::function<void(int Block)> OnBlock;     // runs inside WriteBlock
  std::atomic<bool> SawAbort{false};

protected:
  void Prepare() override {
    ++Prepares;
    Data.clear();
    BytesSeen = 0;
    FInput->Init();
    if (OnPrepare) OnPrepare();
  }
  bool WriteBlock(bool Abort) override {
    if (Abort) SawAbort = true;
    const int b = Blocks++;
    if (OnBlock) OnBlock(b);
    if (Discard) {
      void* p = nullptr;
      uint32_t n = BlockSize;
      FInput->ReadData(p, n);
      BytesSeen += n;
      return n > 0;
    }
    FBlock.resize(BlockSize);
    bool eof = false;
    const uint32_t n = FInput->FillBuffer(FBlock.data(), BlockSize, eof);
    if (Keep) Data.insert(Data.end(), FBlock.begin(), FBlock.begin() + n);
    BytesSeen += n;
    return !eof && n > 0;
  }
  void Finish() override {
    ++Finishes;
    FInput->Flush();
  }

private:
  TAuBuffer FBlock;
};

// Runs synchronised calls until Cond holds or TimeoutMs passes; returns Cond().
inline bool PumpUntil(const std::function<bool()>& Cond, int TimeoutMs = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Cond()) {
    if (std::chrono::steady_clock::now() > end) return Cond();
    CheckSynchronize(2);
  }
  return true;
}

// Runs synchronised calls for a while.
inline void PumpFor(int Ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
  while (std::chrono::steady_clock::now() < end) CheckSynchronize(2);
}
