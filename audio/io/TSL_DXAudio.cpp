#include "audio/io/TSL_DXAudio.h"
#include "platform/rtl/ByteOrder.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint16_t FormatPcm = 0x0001;
constexpr uint16_t FormatExtensible = 0xFFFE;
constexpr uint8_t SubFormatPcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                      0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Polls without any free space before the device counts as failed.
constexpr int MaxEmptyPolls = 16;
constexpr uint32_t PlayOutStepMs = 100;

WAVEFORMATEX MakeFormat(int32_t Channels, int32_t Rate, int32_t Bits) {
  WAVEFORMATEX f;
  f.nChannels = static_cast<uint16_t>(Channels);
  f.nSamplesPerSec = static_cast<uint32_t>(Rate);
  f.wBitsPerSample = static_cast<uint16_t>(Bits);
  f.nBlockAlign = static_cast<uint16_t>(Channels * Bits / 8);
  f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
  if (Channels >= 3 || Bits == 24) {
    f.wFormatTag = FormatExtensible;
    uint32_t mask = 0;
    switch (Channels) {
      case 2: mask = 3; break;
      case 6: mask = 63; break;
      case 8: mask = 255; break;
      default: break;
    }
    f.Extra.resize(22);
    PutLE16(&f.Extra[0], static_cast<uint16_t>(Bits));
    PutLE32(&f.Extra[2], mask);
    std::copy(std::begin(SubFormatPcm), std::end(SubFormatPcm), f.Extra.begin() + 6);
  } else {
    f.wFormatTag = FormatPcm;
  }
  return f;
}

}  // namespace

TDXAudioOut::TDXAudioOut(TComponent* AOwner) : TAuOutput(AOwner) {}

const TDSDeviceTable& TDXAudioOut::Devices() const {
  std::call_once(FDevicesListed, [this] { DSEnumerate(FDevices); });
  return FDevices;
}

std::string TDXAudioOut::DeviceName(int32_t Number) const {
  if (Number < 0 || Number >= DeviceCount()) return {};
  return FDevices.Devices[Number].Description;
}

void TDXAudioOut::SetFramesInBuffer(uint32_t Value) {
  if (!Busy()) FFramesInBuffer = Value;
}

void TDXAudioOut::Pause() {
  TAuOutput::Pause();
  if (FInputEnded) return;
  std::lock_guard<std::mutex> lk(FBufferLock);
  // Resume starts again only what was playing here (not a buffer still being filled
  // for its first block).
  if (FDSW.Playing) {
    DSStopOutput(FDSW);
    FStoppedByPause = true;
  }
}

void TDXAudioOut::Resume() {
  {
    std::lock_guard<std::mutex> lk(FBufferLock);
    if (FStoppedByPause && !FInputEnded && FDSW.Buffer) DSRestartOutput(FDSW);
    FStoppedByPause = false;
  }
  TAuOutput::Resume();
}

void TDXAudioOut::SetVolume(int32_t Volume) {
  std::lock_guard<std::mutex> lk(FBufferLock);
  DSSetVolume(FDSW, Volume);
}

void TDXAudioOut::Prepare() {
  FFinished = false;
  if (FDeviceNumber < 0 || FDeviceNumber >= DeviceCount()) throw EAuException("Invalid device number");
  StartInput();
  FChan = FInput->Channels();
  FFreq = FInput->SampleRate();
  FBPS = FInput->BitsPerSample();
  std::lock_guard<std::mutex> lk(FBufferLock);
  DSInit(FDSW);
  if (DSCreate(FDSW, FDevices.Devices[FDeviceNumber].Guid) != DS_OK)
    throw EAuException("Failed to create DirectSound device");
  const uint64_t dataSize = static_cast<uint64_t>(FFramesInBuffer) * static_cast<uint32_t>(std::max(FBPS / 8, 0)) *
                            static_cast<uint32_t>(std::max(FChan, 0));
  FDataSize = static_cast<uint32_t>(std::min<uint64_t>(dataSize, 0xFFFFFFFFu));
  FSilenceByte = FBPS == 8 ? 0x80 : 0;
  const WAVEFORMATEX format = MakeFormat(FChan, FFreq, FBPS);
  const HRESULT hr = DSInitOutputBuffer(FDSW, nullptr, format, FDataSize);
  if (hr != DS_OK) {
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<uint32_t>(hr));
    throw EAuException(std::string("Failed to create DirectSound buffer") + code);
  }
  FData.assign(FDataSize, FSilenceByte);
  FFirstBlock = true;
  FInputEnded = false;
  FLastUnderrunCount = 0;
  FEndFrames = 0;
  FPlayedShared = 0;
  FStoppedByPause = false;
}

void TDXAudioOut::NoteInputEnd() {
  // Only what the input delivered is audio; the rest of the buffer becomes silence.
  FEndFrames = FDSW.WrittenFrames;
  DSFillSilence(FDSW, FSilenceByte);
}

uint32_t TDXAudioOut::WaitForFreeSpace() {
  for (int empty = 0;;) {
    DirectSoundSleep(FPollingInterval);
    if (AuWorkerCheckPoint()) return 0;
    uint32_t free = 0;
    {
      std::lock_guard<std::mutex> lk(FBufferLock);
      DSGetFreeSpace(FDSW, free);
      FPlayedShared = FDSW.PlayedFrames;
    }
    free -= free % std::max<uint32_t>(FDSW.BlockAlign, 1);
    if (free > 0) return free;
    if (++empty > MaxEmptyPolls) {
      std::lock_guard<std::mutex> lk(FBufferLock);
      DSStopOutput(FDSW);
      throw EAuException("Audio output error");
    }
  }
}

void TDXAudioOut::PlayOut() {
  // Until the last written audio has been heard, however little of it there is.
  int64_t lastPlayed = -1;
  for (int stalled = 0;;) {
    {
      std::lock_guard<std::mutex> lk(FBufferLock);
      uint32_t free = 0;
      DSGetFreeSpace(FDSW, free);
      FPlayedShared = FDSW.PlayedFrames;
    }
    const int64_t played = FDSW.PlayedFrames;
    if (played >= FEndFrames) break;
    if (played == lastPlayed) {
      if (++stalled > MaxEmptyPolls) {
        std::lock_guard<std::mutex> lk(FBufferLock);
        DSStopOutput(FDSW);
        throw EAuException("Audio output error");
      }
    } else {
      stalled = 0;
      lastPlayed = played;
    }
    if (AuWorkerCheckPoint()) break;
    const int64_t leftMs = (FEndFrames - played) * 1000 / std::max(FFreq, 1) + 1;
    DirectSoundSleep(static_cast<uint32_t>(std::min<int64_t>(leftMs, PlayOutStepMs)));
    std::lock_guard<std::mutex> lk(FBufferLock);
    DSFillSilence(FDSW, FSilenceByte);
  }
  std::lock_guard<std::mutex> lk(FBufferLock);
  DSStopOutput(FDSW);
}

bool TDXAudioOut::WriteBlock(bool Abort) {
  if (!Busy()) return true;
  if (!Prepared()) return false;
  if (FFirstBlock) {
    bool ended = false;
    const uint32_t n = FInput->FillBuffer(FData.data(), FDataSize, ended);
    std::lock_guard<std::mutex> lk(FBufferLock);
    if (n > 0) DSWriteData(FDSW, FData.data(), n);
    FInputEnded = ended;
    if (ended) NoteInputEnd();
    DSStartOutput(FDSW);
    FFirstBlock = false;
  }
  if (Abort) {
    std::lock_guard<std::mutex> lk(FBufferLock);
    DSStopOutput(FDSW);
    FPrepared = false;
    return false;
  }
  if (!FInputEnded) {
    const uint32_t free = WaitForFreeSpace();
    if (free == 0) {
      std::lock_guard<std::mutex> lk(FBufferLock);
      DSStopOutput(FDSW);
      FPrepared = false;
      return false;
    }
    bool ended = false;
    const uint32_t n = FInput->FillBuffer(FData.data(), std::min(free, FDataSize), ended);
    std::lock_guard<std::mutex> lk(FBufferLock);
    if (n > 0) DSWriteData(FDSW, FData.data(), n);
    FInputEnded = ended;
    if (ended) NoteInputEnd();
    if (FDSW.UnderrunCount != FLastUnderrunCount) {
      FLastUnderrunCount = FDSW.UnderrunCount;
      DSStopOutput(FDSW);
      DSFillSilence(FDSW, FSilenceByte);
      if (OnUnderrun) TEventHandler::PostException(this, OnUnderrun);
      DSRestartOutput(FDSW);
    }
    return true;
  }
  FPrepared = false;
  PlayOut();
  return false;
}

void TDXAudioOut::Finish() {
  if (!FFinished) {
    std::lock_guard<std::mutex> lk(FBufferLock);
    DSDone(FDSW);
    FData.clear();
    FData.shrink_to_fit();
    FFinished = true;
  }
  FlushInput();
}
