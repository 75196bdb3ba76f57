#include "platform/dsound/DSFake.h"

#include <algorithm>
#include <deque>

namespace {
constexpr uint32_t StepMs = 5;
}

struct TDSFakeBackend::TState {
  uint32_t Rate = 0;
  uint32_t FrameBytes = 0;
  uint8_t Silence = 0;
  std::deque<uint8_t> Held;  // written, not heard yet
  bool Paused = true;
  bool WaitingForRoom = false;
  bool Idling = false;
  bool WakePending = false;
  uint64_t PlayUs = 0;        // virtual time spent playing
  uint64_t HeardFrames = 0;

  uint32_t HeldFrames() const { return static_cast<uint32_t>(Held.size() / FrameBytes); }
};

class TDSFakeBackend::TStream : public TDSStream {
public:
  TStream(TDSFakeBackend& Owner, TState* State) : FOwner(Owner), FState(State) {}

  ~TStream() override {
    {
      std::lock_guard<std::mutex> lk(FOwner.FLock);
      auto& v = FOwner.FStreams;
      v.erase(std::remove(v.begin(), v.end(), FState), v.end());
    }
    FOwner.FCond.notify_all();
    delete FState;
  }

  uint32_t PeriodFrames() const override { return FOwner.FPeriodFrames; }

  uint32_t WaitForRoom() override {
    std::unique_lock<std::mutex> lk(FOwner.FLock);
    for (;;) {
      if (FState->WakePending) {
        FState->WakePending = false;
        return 0;
      }
      const uint32_t held = FState->HeldFrames();
      if (held < FOwner.FLatencyFrames) return FOwner.FLatencyFrames - held;
      FState->WaitingForRoom = true;
      FOwner.FCond.notify_all();
      FOwner.FCond.wait(lk);
      FState->WaitingForRoom = false;
    }
  }

  bool Write(const void* Data, uint32_t Frames) override {
    const auto* p = static_cast<const uint8_t*>(Data);
    std::lock_guard<std::mutex> lk(FOwner.FLock);
    FState->Held.insert(FState->Held.end(), p, p + static_cast<size_t>(Frames) * FState->FrameBytes);
    return true;
  }

  uint32_t Delay() override {
    std::lock_guard<std::mutex> lk(FOwner.FLock);
    return FState->HeldFrames();
  }

  void Pause(bool Enable) override {
    std::lock_guard<std::mutex> lk(FOwner.FLock);
    FState->Paused = Enable;
  }

  void Idle() override {
    std::unique_lock<std::mutex> lk(FOwner.FLock);
    while (!FState->WakePending) {
      FState->Idling = true;
      FOwner.FCond.notify_all();
      FOwner.FCond.wait(lk);
    }
    FState->Idling = false;
    FState->WakePending = false;
  }

  void Wake() override {
    {
      std::lock_guard<std::mutex> lk(FOwner.FLock);
      FState->WakePending = true;
    }
    FOwner.FCond.notify_all();
  }

private:
  TDSFakeBackend& FOwner;
  TState* FState;
};

TDSFakeBackend::TDSFakeBackend(int DeviceCount, uint32_t LatencyFrames, uint32_t PeriodFrames)
    : FDeviceCount(std::max(DeviceCount, 1)),
      FLatencyFrames(std::max<uint32_t>(LatencyFrames, 1)),
      FPeriodFrames(std::max<uint32_t>(PeriodFrames, 1)) {}

TDSFakeBackend::~TDSFakeBackend() = default;

std::vector<TDSBackend::TDevice> TDSFakeBackend::Devices() {
  std::vector<TDevice> list;
  for (int i = 0; i < FDeviceCount; ++i)
    list.push_back({"fake" + std::to_string(i), "Fake sound device " + std::to_string(i)});
  return list;
}

bool TDSFakeBackend::CanOpen(const std::string& Device) {
  for (int i = 0; i < FDeviceCount; ++i)
    if (Device == "fake" + std::to_string(i)) return true;
  return false;
}

HRESULT TDSFakeBackend::OpenStream(const std::string& Device, const WAVEFORMATEX& Format,
                                   std::unique_ptr<TDSStream>& Stream) {
  if (!CanOpen(Device)) return DSERR_NODRIVER;
  const uint32_t frame = DSPcmFrameBytes(Format);
  if (frame == 0) return DSERR_BADFORMAT;
  auto* state = new TState;
  state->Rate = Format.nSamplesPerSec;
  state->FrameBytes = frame;
  state->Silence = Format.wBitsPerSample == 8 ? 0x80 : 0;
  {
    std::lock_guard<std::mutex> lk(FLock);
    FStreams.push_back(state);
    ++FStreamsOpened;
    FLastDevice = Device;
    FLastFormat = Format;
  }
  Stream = std::make_unique<TStream>(*this, state);
  return DS_OK;
}

bool TDSFakeBackend::Settled() const {
  for (const TState* s : FStreams) {
    if (s->WakePending) return false;
    if (s->Idling) continue;
    if (s->WaitingForRoom && s->HeldFrames() >= FLatencyFrames) continue;
    return false;
  }
  return true;
}

void TDSFakeBackend::Sleep(uint32_t Milliseconds) {
  std::lock_guard<std::mutex> serial(FSleepLock);
  std::unique_lock<std::mutex> lk(FLock);
  FCond.wait(lk, [this] { return Settled(); });
  while (Milliseconds > 0) {
    const uint32_t step = std::min(Milliseconds, StepMs);
    Milliseconds -= step;
    FNowUs += step * 1000ull;
    for (TState* s : FStreams) {
      if (s->Paused || FHung) continue;
      s->PlayUs += step * 1000ull;
      const uint64_t due = s->PlayUs * s->Rate / 1000000 - s->HeardFrames;
      s->HeardFrames += due;
      const size_t bytes = static_cast<size_t>(due) * s->FrameBytes;
      const size_t have = std::min(bytes, s->Held.size());
      FPlayed.insert(FPlayed.end(), s->Held.begin(), s->Held.begin() + static_cast<std::ptrdiff_t>(have));
      s->Held.erase(s->Held.begin(), s->Held.begin() + static_cast<std::ptrdiff_t>(have));
      // A device that ran dry plays silence for the missing frames.
      FPlayed.insert(FPlayed.end(), bytes - have, s->Silence);
    }
    FCond.notify_all();
    FCond.wait(lk, [this] { return Settled(); });
  }
}

uint64_t TDSFakeBackend::Now() const {
  std::lock_guard<std::mutex> lk(FLock);
  return FNowUs / 1000;
}

std::vector<uint8_t> TDSFakeBackend::Played() const {
  std::lock_guard<std::mutex> lk(FLock);
  return FPlayed;
}

size_t TDSFakeBackend::PlayedBytes() const {
  std::lock_guard<std::mutex> lk(FLock);
  return FPlayed.size();
}

void TDSFakeBackend::SetHung(bool Value) {
  std::lock_guard<std::mutex> lk(FLock);
  FHung = Value;
}

int TDSFakeBackend::StreamsOpened() const {
  std::lock_guard<std::mutex> lk(FLock);
  return FStreamsOpened;
}

std::string TDSFakeBackend::LastDevice() const {
  std::lock_guard<std::mutex> lk(FLock);
  return FLastDevice;
}

WAVEFORMATEX TDSFakeBackend::LastFormat() const {
  std::lock_guard<std::mutex> lk(FLock);
  return FLastFormat;
}
