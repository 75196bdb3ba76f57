#include "audio/io/DSWrapper.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/rtl/SysUtils.h"

namespace {

// Cuts Text to at most Max bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& Text, size_t Max) {
  if (Text.size() <= Max) return Text;
  size_t n = Max;
  while (n > 0 && (static_cast<unsigned char>(Text[n]) & 0xC0) == 0x80) --n;
  return Text.substr(0, n);
}

// Writes Bytes at the write position: from Data, or the byte Fill when Data is null.
HRESULT WriteRing(DSoundWrapper& Rec, const void* Data, uint8_t Fill, uint32_t Bytes) {
  if (Bytes == 0) return DS_OK;
  void *p1 = nullptr, *p2 = nullptr;
  uint32_t n1 = 0, n2 = 0;
  HRESULT hr = Rec.Buffer->Lock(Rec.WritePos, Bytes, p1, n1, p2, n2, 0);
  if (hr != DS_OK) return hr;
  if (Data) {
    std::memcpy(p1, Data, n1);
    if (p2) std::memcpy(p2, static_cast<const uint8_t*>(Data) + n1, n2);
  } else {
    std::memset(p1, Fill, n1);
    if (p2) std::memset(p2, Fill, n2);
  }
  hr = Rec.Buffer->Unlock(p1, n1, p2, n2);
  Rec.WritePos = (Rec.WritePos + Bytes) % Rec.BufferBytes;
  Rec.WrittenFrames += Bytes / Rec.BlockAlign;
  return hr;
}

// Reads the cursors; when the device has taken more than was written it ran dry:
// count it and continue writing where the device is now.
HRESULT UpdatePositions(DSoundWrapper& Rec, uint64_t& PlayBytes, uint64_t& TakenBytes) {
  const HRESULT hr = Rec.Buffer->GetTotalPosition(PlayBytes, TakenBytes);
  if (hr != DS_OK) return hr;
  Rec.LastPlayPos = static_cast<uint32_t>(PlayBytes % Rec.BufferBytes);
  Rec.PlayedFrames = static_cast<int64_t>(PlayBytes / Rec.BlockAlign);
  const uint64_t written = static_cast<uint64_t>(Rec.WrittenFrames) * Rec.BlockAlign;
  if (TakenBytes > written) {
    if (Rec.Playing) ++Rec.UnderrunCount;
    Rec.WrittenFrames = static_cast<int64_t>(TakenBytes / Rec.BlockAlign);
    Rec.WritePos = static_cast<uint32_t>(TakenBytes % Rec.BufferBytes);
  }
  return DS_OK;
}

}  // namespace

HRESULT DSInit(DSoundWrapper& Rec) {
  Rec.Buffer.reset();
  Rec.Primary.reset();
  Rec.DS.reset();
  Rec = DSoundWrapper{};
  return DS_OK;
}

HRESULT DSEnumerate(TDSDeviceTable& Table) {
  Table.Count = 0;
  return DirectSoundEnumerate([&Table](const GUID& Guid, const std::string& Description, const std::string&) {
    if (Table.Count >= DSMaxDevices) return false;
    TDSDeviceInfo& d = Table.Devices[Table.Count++];
    d.Guid = Guid;
    const std::string text = CutUtf8(Description, sizeof d.Description - 1);
    std::memset(d.Description, 0, sizeof d.Description);
    std::memcpy(d.Description, text.data(), text.size());
    return true;
  });
}

HRESULT DSCreate(DSoundWrapper& Rec, const GUID& DeviceId) { return DirectSoundCreate(&DeviceId, Rec.DS); }

HRESULT DSInitOutputBuffer(DSoundWrapper& Rec, void* Window, const WAVEFORMATEX& Format, uint32_t BufferBytes) {
  if (!Rec.DS) return DSERR_INVALIDCALL;
  HRESULT hr = Rec.DS->SetCooperativeLevel(Window, DSSCL_EXCLUSIVE);
  if (hr != DS_OK) return hr;
  DSBUFFERDESC primary;
  primary.dwFlags = DSBCAPS_PRIMARYBUFFER;
  hr = Rec.DS->CreateSoundBuffer(primary, Rec.Primary);
  if (hr != DS_OK) return hr;
  hr = Rec.Primary->SetFormat(Format);
  if (hr != DS_OK) return hr;
  DSBUFFERDESC secondary;
  secondary.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN |
                      DSBCAPS_CTRLFREQUENCY;
  secondary.dwBufferBytes = BufferBytes;
  secondary.lpwfxFormat = &Format;
  hr = Rec.DS->CreateSoundBuffer(secondary, Rec.Buffer);
  if (hr != DS_OK) return hr;
  Rec.BufferBytes = BufferBytes;
  Rec.BlockAlign = Format.nBlockAlign;
  Rec.WritePos = 0;
  Rec.WrittenFrames = 0;
  // Unsigned 8-bit audio is silent at 128, not at 0.
  const uint8_t silence = Format.wBitsPerSample == 8 ? 0x80 : 0;
  void *p1 = nullptr, *p2 = nullptr;
  uint32_t n1 = 0, n2 = 0;
  hr = Rec.Buffer->Lock(0, 0, p1, n1, p2, n2, DSBLOCK_ENTIREBUFFER);
  if (hr != DS_OK) return hr;
  std::memset(p1, silence, n1);
  return Rec.Buffer->Unlock(p1, n1, p2, n2);
}

HRESULT DSStartOutput(DSoundWrapper& Rec) {
  if (!Rec.Buffer) return DSERR_INVALIDCALL;
  Rec.LastPlayPos = 0;
  Rec.PlayedFrames = 0;
  const HRESULT hr = Rec.Buffer->Play(0, 0, DSBPLAY_LOOPING);
  if (hr == DS_OK) Rec.Playing = true;
  return hr;
}

HRESULT DSStopOutput(DSoundWrapper& Rec) {
  Rec.Playing = false;
  if (!Rec.Buffer) return DS_OK;
  return Rec.Buffer->Stop();
}

HRESULT DSRestartOutput(DSoundWrapper& Rec) {
  if (!Rec.Buffer) return DSERR_INVALIDCALL;
  const HRESULT hr = Rec.Buffer->Play(0, 0, DSBPLAY_LOOPING);
  if (hr == DS_OK) Rec.Playing = true;
  return hr;
}

HRESULT DSGetFreeSpace(DSoundWrapper& Rec, uint32_t& Bytes) {
  Bytes = 0;
  if (!Rec.Buffer) return DSERR_INVALIDCALL;
  uint64_t play = 0, taken = 0;
  const HRESULT hr = UpdatePositions(Rec, play, taken);
  if (hr != DS_OK) return hr;
  // Everything up to one ring ahead of the play cursor may be written.
  const uint64_t written = static_cast<uint64_t>(Rec.WrittenFrames) * Rec.BlockAlign;
  const uint64_t limit = play + Rec.BufferBytes;
  Bytes = written >= limit ? 0 : static_cast<uint32_t>(std::min<uint64_t>(limit - written, Rec.BufferBytes));
  return DS_OK;
}

HRESULT DSWriteData(DSoundWrapper& Rec, const void* Data, uint32_t Bytes) {
  if (!Rec.Buffer) return DSERR_INVALIDCALL;
  if (Bytes % Rec.BlockAlign != 0 || Bytes > Rec.BufferBytes) return DSERR_INVALIDPARAM;
  // The device may have run past the write position since the free space was
  // measured (a slow input); data written behind it would play a lap late.
  uint64_t play = 0, taken = 0;
  const HRESULT hr = UpdatePositions(Rec, play, taken);
  if (hr != DS_OK) return hr;
  return WriteRing(Rec, Data, 0, Bytes);
}

HRESULT DSFillSilence(DSoundWrapper& Rec, uint8_t Value) {
  uint32_t free = 0;
  const HRESULT hr = DSGetFreeSpace(Rec, free);
  if (hr != DS_OK) return hr;
  free -= free % Rec.BlockAlign;
  return WriteRing(Rec, nullptr, Value, free);
}

HRESULT DSSetVolume(DSoundWrapper& Rec, int32_t Volume) {
  if (!Rec.Buffer) return DS_OK;
  const HRESULT hr = Rec.Buffer->SetVolume(std::clamp(Volume, DSBVOLUME_MIN, DSBVOLUME_MAX));
  if (hr == DSERR_CONTROLUNAVAIL) throw Exception("Control not available");
  return hr;
}

HRESULT DSDone(DSoundWrapper& Rec) {
  if (Rec.Buffer) Rec.Buffer->Stop();
  Rec.Buffer.reset();
  Rec.Primary.reset();
  Rec.DS.reset();
  Rec.Playing = false;
  return DS_OK;
}
