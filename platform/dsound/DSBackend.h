#pragma once
// What the sound layer needs from a device: a list of devices, a stream of PCM
// frames per buffer, and a clock. The layer uses ALSA unless another backend is set
// (tests set the in-memory one of DSFake.h).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dsound/DSound.h"

// One open playback stream. Only the buffer's feeder thread calls it, except Wake.
class TDSStream {
public:
  virtual ~TDSStream() = default;  // closes the device, dropping what it holds
  // The most frames worth writing at once.
  virtual uint32_t PeriodFrames() const = 0;
  // Waits until the device can take frames, Wake is called or a short time passes;
  // returns the frames it can take now (0: none, look at the state again).
  virtual uint32_t WaitForRoom() = 0;
  // Writes Frames whole frames; false when the device failed.
  virtual bool Write(const void* Data, uint32_t Frames) = 0;
  // Frames written but not heard yet (also while paused).
  virtual uint32_t Delay() = 0;
  // Stops or continues playback; frames not heard yet are kept and play first.
  virtual void Pause(bool Enable) = 0;
  // Waits while there is nothing to do, until Wake: nothing plays, so nothing wakes
  // the feeder by itself.
  virtual void Idle() = 0;
  // Ends a wait of WaitForRoom or Idle; any thread may call it.
  virtual void Wake() = 0;
};

class TDSBackend {
public:
  struct TDevice {
    std::string Name;         // how the backend opens it
    std::string Description;  // for people
  };

  virtual ~TDSBackend() = default;
  // The playback devices, the default device first.
  virtual std::vector<TDevice> Devices() = 0;
  // The name of the default device, without listing them all (which can be slow).
  virtual std::string DefaultDevice() {
    const auto list = Devices();
    return list.empty() ? std::string() : list[0].Name;
  }
  // Whether the device can be opened at all (for DirectSoundCreate).
  virtual bool CanOpen(const std::string& Device) = 0;
  // DSERR_BADFORMAT when the device cannot play the format, DSERR_NODRIVER when it
  // cannot be opened.
  virtual HRESULT OpenStream(const std::string& Device, const WAVEFORMATEX& Format,
                             std::unique_ptr<TDSStream>& Stream) = 0;
  virtual void Sleep(uint32_t Milliseconds) = 0;
};

// The backend in use; nullptr sets ALSA's again. Set it while no buffer exists.
void DirectSoundSetBackend(std::shared_ptr<TDSBackend> Backend);
std::shared_ptr<TDSBackend> DirectSoundBackend();
std::shared_ptr<TDSBackend> CreateAlsaBackend();

// What the layer accepts as a PCM format: 0 when it cannot be played; else the bytes
// of one frame. Extensible formats must carry the PCM sub-format.
uint32_t DSPcmFrameBytes(const WAVEFORMATEX& Format);
