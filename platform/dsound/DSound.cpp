#include "platform/dsound/DSound.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/dsound/DSBackend.h"
#include "platform/rtl/ByteOrder.h"

namespace {

constexpr uint16_t FormatPcm = 0x0001;
constexpr uint16_t FormatExtensible = 0xFFFE;
// The PCM sub-format of an extensible format record, as stored (little-endian GUID).
constexpr uint8_t SubFormatPcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                      0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::mutex BackendLock;
std::shared_ptr<TDSBackend> CurrentBackend;

// A stable identifier for a device name that is never all zeros (that one stands for
// the default device).
GUID GuidOfName(const std::string& Name) {
  GUID g;
  uint64_t h1 = 0xcbf29ce484222325ull, h2 = 0x84222325cbf29ce4ull;
  for (unsigned char c : Name) {
    h1 = (h1 ^ c) * 0x100000001b3ull;
    h2 = (h2 ^ c) * 0x100000001b3ull + 0x9e3779b97f4a7c15ull;
  }
  g.D1 = static_cast<uint32_t>(h1);
  g.D2 = static_cast<uint16_t>(h1 >> 32);
  g.D3 = static_cast<uint16_t>(h1 >> 48);
  for (int i = 0; i < 8; ++i) g.D4[i] = static_cast<uint8_t>(h2 >> (8 * i));
  if (g.IsNull()) g.D1 = 1;
  return g;
}

// One sample of integer PCM: 8-bit unsigned, wider ones signed little-endian.
int32_t ReadSample(const uint8_t* p, uint32_t Bytes) {
  switch (Bytes) {
    case 1: return static_cast<int32_t>(p[0]) - 128;
    case 2: return static_cast<int16_t>(GetLE16(p));
    case 3: return SignExtend24(GetLE24(p));
    default: return static_cast<int32_t>(GetLE32(p));
  }
}

void WriteSample(uint8_t* p, uint32_t Bytes, int32_t V) {
  if (Bytes == 1)
    p[0] = static_cast<uint8_t>(V + 128);
  else
    PutLE(p, static_cast<uint32_t>(V), static_cast<int>(std::min<uint32_t>(Bytes, 4)));
}

}  // namespace

uint32_t DSPcmFrameBytes(const WAVEFORMATEX& Format) {
  if (Format.wFormatTag == FormatExtensible) {
    if (Format.Extra.size() < 22 || std::memcmp(Format.Extra.data() + 6, SubFormatPcm, 16) != 0) return 0;
  } else if (Format.wFormatTag != FormatPcm) {
    return 0;
  }
  const uint32_t bits = Format.wBitsPerSample;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return 0;
  if (Format.nChannels < 1 || Format.nChannels > 8) return 0;
  if (Format.nSamplesPerSec < 1000 || Format.nSamplesPerSec > 768000) return 0;
  const uint32_t frame = Format.nChannels * bits / 8;
  if (Format.nBlockAlign != frame) return 0;
  return frame;
}

// ---------------------------------------------------------------------------
// Backend selection

void DirectSoundSetBackend(std::shared_ptr<TDSBackend> Backend) {
  std::lock_guard<std::mutex> lk(BackendLock);
  CurrentBackend = std::move(Backend);
}

std::shared_ptr<TDSBackend> DirectSoundBackend() {
  std::lock_guard<std::mutex> lk(BackendLock);
  if (!CurrentBackend) CurrentBackend = CreateAlsaBackend();
  return CurrentBackend;
}

void DirectSoundSleep(uint32_t Milliseconds) { DirectSoundBackend()->Sleep(Milliseconds); }

// ---------------------------------------------------------------------------
// Devices

HRESULT DirectSoundEnumerate(const LPDSENUMCALLBACK& Callback) {
  if (!Callback) return DSERR_INVALIDPARAM;
  const auto devices = DirectSoundBackend()->Devices();
  for (size_t i = 0; i < devices.size(); ++i) {
    const GUID g = i == 0 ? GUID{} : GuidOfName(devices[i].Name);
    if (!Callback(g, devices[i].Description, devices[i].Name)) break;
  }
  return DS_OK;
}

HRESULT DirectSoundCreate(const GUID* Guid, std::unique_ptr<TDirectSound>& DS) {
  DS.reset();
  auto backend = DirectSoundBackend();
  std::string name;
  if (!Guid || Guid->IsNull()) {
    // Every sound the program plays goes to the default device: no need to list them.
    name = backend->DefaultDevice();
  } else {
    const auto devices = backend->Devices();
    for (size_t i = 1; i < devices.size() && name.empty(); ++i)
      if (GuidOfName(devices[i].Name) == *Guid) name = devices[i].Name;
  }
  if (name.empty() || !backend->CanOpen(name)) return DSERR_NODRIVER;
  DS.reset(new TDirectSound(std::move(backend), name));
  return DS_OK;
}

TDirectSound::TDirectSound(std::shared_ptr<TDSBackend> Backend, std::string Device)
    : FBackend(std::move(Backend)), FDevice(std::move(Device)) {}

TDirectSound::~TDirectSound() = default;

HRESULT TDirectSound::SetCooperativeLevel(void*, uint32_t Level) {
  return Level >= DSSCL_NORMAL && Level <= 4 ? DS_OK : DSERR_INVALIDPARAM;
}

HRESULT TDirectSound::CreateSoundBuffer(const DSBUFFERDESC& Desc, std::unique_ptr<TDirectSoundBuffer>& Buffer) {
  Buffer.reset();
  std::unique_ptr<TDirectSoundBuffer> b(new TDirectSoundBuffer());
  b->FFlags = Desc.dwFlags;
  if (Desc.dwFlags & DSBCAPS_PRIMARYBUFFER) {
    if (Desc.dwBufferBytes != 0 || Desc.lpwfxFormat) return DSERR_INVALIDPARAM;
    b->FPrimary = true;
    Buffer = std::move(b);
    return DS_OK;
  }
  if (!Desc.lpwfxFormat) return DSERR_INVALIDPARAM;
  const uint32_t frame = DSPcmFrameBytes(*Desc.lpwfxFormat);
  if (frame == 0) return DSERR_BADFORMAT;
  if (Desc.dwBufferBytes < frame || Desc.dwBufferBytes % frame != 0 || Desc.dwBufferBytes > 0x0FFFFFFF)
    return DSERR_INVALIDPARAM;
  b->FFormat = *Desc.lpwfxFormat;
  b->FBlockAlign = frame;
  b->FSilence = Desc.lpwfxFormat->wBitsPerSample == 8 ? 0x80 : 0;
  try {
    b->FRing.assign(Desc.dwBufferBytes, b->FSilence);
  } catch (const std::bad_alloc&) {
    return DSERR_OUTOFMEMORY;
  }
  b->FBackend = FBackend;
  const HRESULT hr = FBackend->OpenStream(FDevice, b->FFormat, b->FStream);
  if (hr != DS_OK) return hr;
  TDirectSoundBuffer* raw = b.get();
  b->FFeeder = std::thread([raw] { raw->FeederLoop(); });
  Buffer = std::move(b);
  return DS_OK;
}

// ---------------------------------------------------------------------------
// Buffers

TDirectSoundBuffer::~TDirectSoundBuffer() {
  if (FFeeder.joinable()) {
    {
      std::lock_guard<std::mutex> lk(FLock);
      FQuit = true;
      FPlaying = false;
    }
    FStream->Wake();
    FFeeder.join();
  }
  FStream.reset();
}

HRESULT TDirectSoundBuffer::SetFormat(const WAVEFORMATEX& Format) {
  if (!FPrimary) return DSERR_INVALIDCALL;
  if (DSPcmFrameBytes(Format) == 0) return DSERR_BADFORMAT;
  FFormat = Format;
  return DS_OK;
}

HRESULT TDirectSoundBuffer::Lock(uint32_t Offset, uint32_t Bytes, void*& Ptr1, uint32_t& Bytes1, void*& Ptr2,
                                 uint32_t& Bytes2, uint32_t Flags) {
  Ptr1 = Ptr2 = nullptr;
  Bytes1 = Bytes2 = 0;
  if (FPrimary) return DSERR_INVALIDCALL;
  const uint32_t size = BufferBytes();
  if (Flags & DSBLOCK_ENTIREBUFFER) {
    Offset = 0;
    Bytes = size;
  }
  if (Offset >= size || Bytes > size || Bytes == 0) return DSERR_INVALIDPARAM;
  Ptr1 = FRing.data() + Offset;
  Bytes1 = std::min(Bytes, size - Offset);
  if (Bytes1 < Bytes) {
    Ptr2 = FRing.data();
    Bytes2 = Bytes - Bytes1;
  }
  return DS_OK;
}

HRESULT TDirectSoundBuffer::Unlock(void* Ptr1, uint32_t Bytes1, void* Ptr2, uint32_t Bytes2) {
  if (FPrimary) return DSERR_INVALIDCALL;
  auto inside = [this](void* p, uint32_t n) {
    if (!p) return n == 0;
    const auto* b = static_cast<uint8_t*>(p);
    return b >= FRing.data() && b + n <= FRing.data() + FRing.size();
  };
  return inside(Ptr1, Bytes1) && inside(Ptr2, Bytes2) ? DS_OK : DSERR_INVALIDPARAM;
}

HRESULT TDirectSoundBuffer::Play(uint32_t, uint32_t, uint32_t Flags) {
  if (FPrimary) return DS_OK;
  if (!(Flags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
  {
    std::lock_guard<std::mutex> lk(FLock);
    FPlaying = true;
  }
  FStream->Wake();
  return DS_OK;
}

HRESULT TDirectSoundBuffer::Stop() {
  if (FPrimary) return DS_OK;
  std::unique_lock<std::mutex> lk(FLock);
  if (!FPlaying) return DS_OK;
  FPlaying = false;
  lk.unlock();
  FStream->Wake();
  lk.lock();
  // Positions must stand still once Stop has returned.
  if (!FChanged.wait_for(lk, std::chrono::seconds(2), [this] { return FDevicePaused; })) return DSERR_GENERIC;
  return DS_OK;
}

HRESULT TDirectSoundBuffer::GetTotalPosition(uint64_t& PlayBytes, uint64_t& WriteBytes) {
  if (FPrimary) return DSERR_INVALIDCALL;
  std::lock_guard<std::mutex> lk(FLock);
  WriteBytes = FTaken;
  PlayBytes = FTaken - std::min(FHeldBytes, FTaken);
  return DS_OK;
}

HRESULT TDirectSoundBuffer::GetCurrentPosition(uint32_t* PlayCursor, uint32_t* WriteCursor) {
  uint64_t play = 0, write = 0;
  const HRESULT hr = GetTotalPosition(play, write);
  if (hr != DS_OK) return hr;
  if (PlayCursor) *PlayCursor = static_cast<uint32_t>(play % FRing.size());
  if (WriteCursor) *WriteCursor = static_cast<uint32_t>(write % FRing.size());
  return DS_OK;
}

HRESULT TDirectSoundBuffer::SetVolume(int32_t Volume) {
  if (!(FFlags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  if (Volume < DSBVOLUME_MIN || Volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lk(FLock);
  FVolume = Volume;
  return DS_OK;
}

HRESULT TDirectSoundBuffer::GetVolume(int32_t& Volume) {
  if (!(FFlags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  std::lock_guard<std::mutex> lk(FLock);
  Volume = FVolume;
  return DS_OK;
}

void TDirectSoundBuffer::Render(uint8_t* Out, uint32_t Frames) {
  const uint32_t size = BufferBytes();
  uint32_t pos = static_cast<uint32_t>(FTaken % size);
  uint32_t left = Frames * FBlockAlign;
  uint8_t* dst = Out;
  while (left > 0) {
    const uint32_t n = std::min(left, size - pos);
    std::memcpy(dst, FRing.data() + pos, n);
    std::memset(FRing.data() + pos, FSilence, n);
    dst += n;
    left -= n;
    pos = (pos + n) % size;
  }
  const uint32_t bytes = Frames * FBlockAlign;
  FTaken += bytes;
  FHeldBytes += bytes;
  if (FVolume == DSBVOLUME_MAX) return;
  if (FVolume <= DSBVOLUME_MIN) {
    std::memset(Out, FSilence, bytes);
    return;
  }
  const double gain = std::pow(10.0, FVolume / 2000.0);
  const uint32_t sampleBytes = FFormat.wBitsPerSample / 8;
  for (uint32_t i = 0; i < bytes; i += sampleBytes) {
    const double v = std::nearbyint(ReadSample(Out + i, sampleBytes) * gain);
    WriteSample(Out + i, sampleBytes, static_cast<int32_t>(v));
  }
}

void TDirectSoundBuffer::FeederLoop() {
  std::vector<uint8_t> chunk(static_cast<size_t>(FStream->PeriodFrames()) * FBlockAlign);
  bool failed = false;  // a device that failed takes nothing more, so the play cursor stalls
  auto updateHeld = [this] {
    const uint64_t held = static_cast<uint64_t>(FStream->Delay()) * FBlockAlign;
    std::lock_guard<std::mutex> lk(FLock);
    FHeldBytes = std::min(held, FTaken);
  };
  for (;;) {
    bool playing, paused;
    {
      std::lock_guard<std::mutex> lk(FLock);
      if (FQuit) break;
      playing = FPlaying;
      paused = FDevicePaused;
    }
    if (!playing || failed) {
      if (!playing && !paused) {
        if (!failed) {
          FStream->Pause(true);
          updateHeld();
        }
        {
          std::lock_guard<std::mutex> lk(FLock);
          FDevicePaused = true;
        }
        FChanged.notify_all();
      }
      FStream->Idle();
      continue;
    }
    if (paused) {
      {
        std::lock_guard<std::mutex> lk(FLock);
        FDevicePaused = false;
      }
      FStream->Pause(false);
    }
    const uint32_t room = FStream->WaitForRoom();
    if (room == 0) {
      updateHeld();
      continue;
    }
    const uint32_t frames = std::min<uint32_t>(room, FStream->PeriodFrames());
    {
      std::lock_guard<std::mutex> lk(FLock);
      if (!FPlaying || FQuit) continue;
      Render(chunk.data(), frames);
    }
    if (!FStream->Write(chunk.data(), frames)) {
      failed = true;
      continue;
    }
    updateHeld();
  }
}
