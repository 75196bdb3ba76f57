// The ALSA backend of the sound layer.

#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/dsound/DSBackend.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned DeviceLatencyUs = 100000;
constexpr int WaitSliceMs = 20;

// ALSA reports its errors through the return codes we check; its own printing to
// stderr would only repeat them.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

std::once_flag QuietOnce;

snd_pcm_format_t AlsaFormat(uint16_t Bits) {
  switch (Bits) {
    case 8: return SND_PCM_FORMAT_U8;
    case 16: return SND_PCM_FORMAT_S16_LE;
    case 24: return SND_PCM_FORMAT_S24_3LE;
    case 32: return SND_PCM_FORMAT_S32_LE;
    default: return SND_PCM_FORMAT_UNKNOWN;
  }
}

std::string OneLine(std::string S) {
  for (size_t i = 0; (i = S.find('\n', i)) != std::string::npos;) S.replace(i, 1, ", ");
  return S;
}

class TAlsaStream : public TDSStream {
public:
  TAlsaStream(snd_pcm_t* Pcm, uint32_t FrameBytes, uint32_t Rate, snd_pcm_uframes_t BufferFrames,
              snd_pcm_uframes_t PeriodFrames, bool CanPause)
      : FPcm(Pcm),
        FFrameBytes(FrameBytes),
        FRate(Rate),
        FBufferFrames(BufferFrames),
        FPeriodFrames(PeriodFrames),
        FCanPause(CanPause),
        FHistory(static_cast<size_t>(BufferFrames) * FrameBytes) {}

  ~TAlsaStream() override {
    snd_pcm_drop(FPcm);
    snd_pcm_close(FPcm);
  }

  uint32_t PeriodFrames() const override { return static_cast<uint32_t>(FPeriodFrames); }

  uint32_t WaitForRoom() override {
    if (FWake.exchange(false)) return 0;
    if (FUnpaced) {
      // The device takes everything at once (a file or the null device): pace the
      // stream by the clock, one device buffer ahead.
      const int64_t held = static_cast<int64_t>(FWritten) - ElapsedFrames();
      const int64_t room = static_cast<int64_t>(FBufferFrames) - std::max<int64_t>(held, 0);
      if (room >= static_cast<int64_t>(FPeriodFrames)) return static_cast<uint32_t>(room);
      std::unique_lock<std::mutex> lk(FWaitLock);
      FWaitCond.wait_for(lk, std::chrono::milliseconds(WaitSliceMs), [this] { return FWake.load(); });
      return 0;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
      snd_pcm_sframes_t avail = snd_pcm_avail_update(FPcm);
      if (avail < 0) {
        snd_pcm_recover(FPcm, static_cast<int>(avail), 1);
        return 0;
      }
      if (avail >= static_cast<snd_pcm_sframes_t>(FPeriodFrames)) return static_cast<uint32_t>(avail);
      if (attempt == 0) {
        const int r = snd_pcm_wait(FPcm, WaitSliceMs);
        if (r < 0) {
          snd_pcm_recover(FPcm, r, 1);
          return 0;
        }
        if (FWake.exchange(false)) return 0;
      }
    }
    return 0;
  }

  bool Write(const void* Data, uint32_t Frames) override {
    if (!WriteFrames(static_cast<const uint8_t*>(Data), Frames, true)) return false;
    if (!FUnpaced && FWritten >= FBufferFrames && snd_pcm_state(FPcm) == SND_PCM_STATE_PREPARED) {
      // A full device buffer that did not start plays in no time: from now on the
      // clock paces us, as if the device held one buffer.
      FUnpaced = true;
      FElapsedBase = static_cast<int64_t>(FWritten - FBufferFrames);
      FRunStart = Clock::now();
      FRunning = true;
    }
    return true;
  }

  uint32_t Delay() override {
    if (FUnpaced) {
      const int64_t held = static_cast<int64_t>(FWritten) - ElapsedFrames();
      return static_cast<uint32_t>(std::clamp<int64_t>(held, 0, static_cast<int64_t>(FBufferFrames)));
    }
    if (FPaused) return FPausedDelay;
    return CurrentDelay();
  }

  void Pause(bool Enable) override {
    if (Enable == FPaused) return;
    FPaused = Enable;
    if (FUnpaced) {
      if (Enable) {
        FElapsedBase = ElapsedFrames();
        FRunning = false;
      } else {
        FRunStart = Clock::now();
        FRunning = true;
      }
      return;
    }
    if (Enable) {
      FPausedDelay = CurrentDelay();
      if (FCanPause && snd_pcm_state(FPcm) == SND_PCM_STATE_RUNNING && snd_pcm_pause(FPcm, 1) == 0) {
        FHwPaused = true;
        return;
      }
      // No pause in this device: drop what it holds and keep the part not heard yet.
      FTail.resize(static_cast<size_t>(FPausedDelay) * FFrameBytes);
      CopyHistoryTail(FTail.data(), FPausedDelay);
      snd_pcm_drop(FPcm);
      FDropped = true;
      return;
    }
    if (FHwPaused) {
      FHwPaused = false;
      if (snd_pcm_pause(FPcm, 0) == 0) return;
      snd_pcm_prepare(FPcm);  // the held frames are lost; the stream goes on
      return;
    }
    if (FDropped) {
      FDropped = false;
      snd_pcm_prepare(FPcm);
      std::vector<uint8_t> tail;
      tail.swap(FTail);
      WriteFrames(tail.data(), static_cast<uint32_t>(tail.size() / FFrameBytes), false);
    }
  }

  // Nothing plays: sleep until Play, Stop or the buffer's end wakes the feeder.
  void Idle() override {
    std::unique_lock<std::mutex> lk(FWaitLock);
    FWaitCond.wait(lk, [this] { return FWake.load(); });
    FWake = false;
  }

  void Wake() override {
    {
      std::lock_guard<std::mutex> lk(FWaitLock);
      FWake = true;
    }
    FWaitCond.notify_all();
  }

private:
  int64_t ElapsedFrames() const {
    int64_t e = FElapsedBase;
    if (FRunning) {
      const auto us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - FRunStart).count();
      e += us * static_cast<int64_t>(FRate) / 1000000;
    }
    return e;
  }

  uint32_t CurrentDelay() {
    snd_pcm_sframes_t d = 0;
    if (snd_pcm_delay(FPcm, &d) < 0) d = 0;
    return static_cast<uint32_t>(std::clamp<snd_pcm_sframes_t>(d, 0, static_cast<snd_pcm_sframes_t>(FBufferFrames)));
  }

  bool WriteFrames(const uint8_t* P, uint32_t Frames, bool Remember) {
    while (Frames > 0) {
      snd_pcm_sframes_t r = snd_pcm_writei(FPcm, P, Frames);
      if (r == -EAGAIN) continue;
      if (r < 0) {
        if (snd_pcm_recover(FPcm, static_cast<int>(r), 1) < 0) return false;
        continue;
      }
      if (Remember) RememberFrames(P, static_cast<uint32_t>(r));
      P += static_cast<size_t>(r) * FFrameBytes;
      Frames -= static_cast<uint32_t>(r);
      FWritten += static_cast<uint64_t>(r);
    }
    return true;
  }

  // Keeps the last device buffer's worth of frames written.
  void RememberFrames(const uint8_t* P, uint32_t Frames) {
    const size_t size = FHistory.size();
    size_t bytes = static_cast<size_t>(Frames) * FFrameBytes;
    if (bytes > size) {
      P += bytes - size;
      bytes = size;
    }
    while (bytes > 0) {
      const size_t n = std::min(bytes, size - FHistoryPos);
      std::memcpy(FHistory.data() + FHistoryPos, P, n);
      FHistoryPos = (FHistoryPos + n) % size;
      P += n;
      bytes -= n;
    }
  }

  void CopyHistoryTail(uint8_t* Out, uint32_t Frames) {
    const size_t size = FHistory.size();
    const size_t bytes = std::min(static_cast<size_t>(Frames) * FFrameBytes, size);
    size_t pos = (FHistoryPos + size - bytes) % size;
    for (size_t done = 0; done < bytes;) {
      const size_t n = std::min(bytes - done, size - pos);
      std::memcpy(Out + done, FHistory.data() + pos, n);
      done += n;
      pos = (pos + n) % size;
    }
  }

  snd_pcm_t* FPcm;
  const uint32_t FFrameBytes;
  const uint32_t FRate;
  const snd_pcm_uframes_t FBufferFrames;
  const snd_pcm_uframes_t FPeriodFrames;
  const bool FCanPause;

  std::mutex FWaitLock;
  std::condition_variable FWaitCond;
  std::atomic<bool> FWake{false};

  uint64_t FWritten = 0;
  bool FPaused = true;  // not started yet
  uint32_t FPausedDelay = 0;
  bool FHwPaused = false;
  bool FDropped = false;
  std::vector<uint8_t> FTail;
  std::vector<uint8_t> FHistory;
  size_t FHistoryPos = 0;

  bool FUnpaced = false;
  bool FRunning = false;
  int64_t FElapsedBase = 0;
  Clock::time_point FRunStart;
};

class TAlsaBackend : public TDSBackend {
public:
  TAlsaBackend() {
    std::call_once(QuietOnce, [] { snd_lib_error_set_handler(QuietAlsaErrors); });
  }

  std::vector<TDevice> Devices() override {
    std::vector<TDevice> list{{"default", "Default ALSA output"}};
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) != 0 || !hints) return list;
    for (void** h = hints; *h; ++h) {
      char* name = snd_device_name_get_hint(*h, "NAME");
      char* desc = snd_device_name_get_hint(*h, "DESC");
      char* ioid = snd_device_name_get_hint(*h, "IOID");
      const bool playback = !ioid || std::strcmp(ioid, "Output") == 0;
      if (name && playback) {
        const std::string text = desc ? OneLine(desc) : std::string(name);
        if (std::strcmp(name, "default") == 0)
          list[0].Description = text;
        else
          list.push_back({name, text});
      }
      free(name);
      free(desc);
      free(ioid);
    }
    snd_device_name_free_hint(hints);
    return list;
  }

  std::string DefaultDevice() override { return "default"; }

  bool CanOpen(const std::string& Device) override {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, Device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return false;
    snd_pcm_close(pcm);
    return true;
  }

  HRESULT OpenStream(const std::string& Device, const WAVEFORMATEX& Format,
                     std::unique_ptr<TDSStream>& Stream) override {
    const uint32_t frame = DSPcmFrameBytes(Format);
    const snd_pcm_format_t fmt = AlsaFormat(Format.wBitsPerSample);
    if (frame == 0 || fmt == SND_PCM_FORMAT_UNKNOWN) return DSERR_BADFORMAT;
    snd_pcm_t* pcm = nullptr;
    // Opened without blocking so that a busy device fails instead of hanging.
    if (snd_pcm_open(&pcm, Device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return DSERR_NODRIVER;
    if (snd_pcm_set_params(pcm, fmt, SND_PCM_ACCESS_RW_INTERLEAVED, Format.nChannels, Format.nSamplesPerSec, 1,
                           DeviceLatencyUs) < 0) {
      snd_pcm_close(pcm);
      return DSERR_BADFORMAT;
    }
    snd_pcm_nonblock(pcm, 0);
    snd_pcm_uframes_t bufferFrames = 0, periodFrames = 0;
    snd_pcm_get_params(pcm, &bufferFrames, &periodFrames);
    if (bufferFrames == 0) bufferFrames = Format.nSamplesPerSec / 10;
    if (periodFrames == 0 || periodFrames > bufferFrames) periodFrames = std::max<snd_pcm_uframes_t>(bufferFrames / 4, 1);
    bool canPause = false;
    snd_pcm_hw_params_t* hw = nullptr;
    if (snd_pcm_hw_params_malloc(&hw) == 0) {
      if (snd_pcm_hw_params_current(pcm, hw) == 0) canPause = snd_pcm_hw_params_can_pause(hw) != 0;
      snd_pcm_hw_params_free(hw);
    }
    Stream = std::make_unique<TAlsaStream>(pcm, frame, Format.nSamplesPerSec, bufferFrames, periodFrames, canPause);
    return DS_OK;
  }

  void Sleep(uint32_t Milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
  }
};

}  // namespace

std::shared_ptr<TDSBackend> CreateAlsaBackend() { return std::make_shared<TAlsaBackend>(); }
