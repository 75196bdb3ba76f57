#pragma once
// Plays the input through the sound device: the worker keeps a looping buffer
// filled, polling for free space, and tells of buffer underruns.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "audio/io/DSWrapper.h"

using TUnderrunEvent = std::function<void(TComponent* Sender)>;

class TDXAudioOut : public TAuOutput {
public:
  explicit TDXAudioOut(TComponent* AOwner);

  // Pausing an output whose input has ended lets the buffer play on; resuming it
  // then does not restart it.
  void Pause();
  void Resume();
  // Hundredths of a decibel, -10000 (silence) to 0; nothing when no buffer exists.
  void SetVolume(int32_t Volume);

  // The devices are listed when first asked for (listing them takes the sound system
  // a while, and most outputs made never play).
  int32_t DeviceCount() const { return Devices().Count; }
  // The description of device Number; empty when there is none.
  std::string DeviceName(int32_t Number) const;

  uint32_t FramesInBuffer() const { return FFramesInBuffer; }
  // Ignored while a run is in progress.
  void SetFramesInBuffer(uint32_t Value);
  uint32_t PollingInterval() const { return FPollingInterval; }
  void SetPollingInterval(uint32_t Value) { FPollingInterval = Value; }
  int32_t DeviceNumber() const { return FDeviceNumber; }
  void SetDeviceNumber(int32_t Value) { FDeviceNumber = Value; }

  // Frames of the current (or last) run heard so far, as of the worker's last look;
  // the silence played out after the input's end counts too.
  int64_t PlayedFrames() const { return FPlayedShared; }

  TUnderrunEvent OnUnderrun;

protected:
  void Prepare() override;
  bool WriteBlock(bool Abort) override;
  void Finish() override;

private:
  // Waits for free space; 0 when the run has to stop.
  uint32_t WaitForFreeSpace();
  const TDSDeviceTable& Devices() const;
  void PlayOut();
  void NoteInputEnd();

  bool FFinished = true;
  uint32_t FFramesInBuffer = 65536;
  uint32_t FPollingInterval = 200;
  DSoundWrapper FDSW;
  mutable TDSDeviceTable FDevices;
  mutable std::once_flag FDevicesListed;
  int32_t FChan = 0;
  int32_t FFreq = 0;
  int32_t FBPS = 0;
  std::atomic<bool> FInputEnded{false};
  bool FFirstBlock = false;
  std::vector<uint8_t> FData;
  int32_t FDeviceNumber = 0;
  uint32_t FDataSize = 0;
  uint8_t FSilenceByte = 0;
  int32_t FLastUnderrunCount = 0;

  bool FStoppedByPause = false;
  int64_t FEndFrames = 0;  // where the input's audio ends in the buffer's frames
  std::atomic<int64_t> FPlayedShared{0};
  // Guards the buffer's existence against calls from the main thread.
  std::mutex FBufferLock;
};
