#pragma once
// A sound device in memory, for tests: it plays on a virtual clock that moves only
// when DirectSoundSleep is called, keeps every frame it plays, and can be made to
// hang. Time moves in steps of a few milliseconds, and each step waits until every
// playing buffer has refilled the device, so runs are the same every time.
//
// Install it with DirectSoundSetBackend before creating any sound object.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dsound/DSBackend.h"

class TDSFakeBackend : public TDSBackend {
public:
  // DeviceCount devices ("fake0" is the default one); each stream holds LatencyFrames
  // frames between the buffer and the "speaker".
  explicit TDSFakeBackend(int DeviceCount = 1, uint32_t LatencyFrames = 1024, uint32_t PeriodFrames = 256);
  ~TDSFakeBackend() override;

  std::vector<TDevice> Devices() override;
  std::string DefaultDevice() override { return "fake0"; }
  bool CanOpen(const std::string& Device) override;
  HRESULT OpenStream(const std::string& Device, const WAVEFORMATEX& Format,
                     std::unique_ptr<TDSStream>& Stream) override;
  void Sleep(uint32_t Milliseconds) override;

  // Virtual milliseconds slept so far.
  uint64_t Now() const;
  // Every byte heard so far, in order.
  std::vector<uint8_t> Played() const;
  size_t PlayedBytes() const;
  // A hung device takes nothing more while it plays.
  void SetHung(bool Value);
  int StreamsOpened() const;
  std::string LastDevice() const;
  WAVEFORMATEX LastFormat() const;

private:
  struct TState;
  class TStream;
  friend class TStream;
  bool Settled() const;

  const int FDeviceCount;
  const uint32_t FLatencyFrames;
  const uint32_t FPeriodFrames;
  std::mutex FSleepLock;
  mutable std::mutex FLock;  // guards everything below
  std::condition_variable FCond;
  std::vector<TState*> FStreams;
  uint64_t FNowUs = 0;
  std::vector<uint8_t> FPlayed;
  bool FHung = false;
  int FStreamsOpened = 0;
  std::string FLastDevice;
  WAVEFORMATEX FLastFormat;
};
