#pragma once
// Sound output: device enumeration and looping secondary buffers.
//
// A secondary buffer is a ring of PCM bytes that the application writes with
// Lock/Unlock while the device plays it from the play cursor on. Behind each playing
// buffer a feeder thread hands the ring's bytes to the device as the device drains
// (ALSA normally; see DSBackend.h). Bytes the device has taken are replaced by
// silence in the ring, so a buffer that runs dry plays silence instead of stale audio.
//
// The device list starts with the default device, whose identifier is all zeros.
// Results are codes, never exceptions. A buffer may be written by one thread while
// another starts, stops or queries it.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/rtl/WinTypes.h"  // HRESULT, GUID, WAVEFORMATEX

inline constexpr HRESULT DS_OK = 0;
inline constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT DSERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000A);
inline constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001E);
inline constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032);
inline constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064);
inline constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078);

inline constexpr uint32_t DSSCL_NORMAL = 1;
inline constexpr uint32_t DSSCL_PRIORITY = 2;
inline constexpr uint32_t DSSCL_EXCLUSIVE = 3;

inline constexpr uint32_t DSBCAPS_PRIMARYBUFFER = 0x00000001;
inline constexpr uint32_t DSBCAPS_CTRLFREQUENCY = 0x00000020;
inline constexpr uint32_t DSBCAPS_CTRLPAN = 0x00000040;
inline constexpr uint32_t DSBCAPS_CTRLVOLUME = 0x00000080;
inline constexpr uint32_t DSBCAPS_GLOBALFOCUS = 0x00008000;
inline constexpr uint32_t DSBCAPS_GETCURRENTPOSITION2 = 0x00010000;

inline constexpr uint32_t DSBPLAY_LOOPING = 0x00000001;
inline constexpr uint32_t DSBLOCK_ENTIREBUFFER = 0x00000002;

// Volume in hundredths of a decibel; the minimum is silence.
inline constexpr int32_t DSBVOLUME_MIN = -10000;
inline constexpr int32_t DSBVOLUME_MAX = 0;

struct DSBUFFERDESC {
  uint32_t dwFlags = 0;
  uint32_t dwBufferBytes = 0;  // secondary buffers only
  const WAVEFORMATEX* lpwfxFormat = nullptr;  // secondary buffers only
};

// Called once per device, the default device first (Guid all zeros); return false
// to stop the enumeration.
using LPDSENUMCALLBACK =
    std::function<bool(const GUID& Guid, const std::string& Description, const std::string& Module)>;

HRESULT DirectSoundEnumerate(const LPDSENUMCALLBACK& Callback);

class TDSBackend;
class TDSStream;
class TDirectSoundBuffer;

// An open sound device.
class TDirectSound {
public:
  ~TDirectSound();
  TDirectSound(const TDirectSound&) = delete;
  TDirectSound& operator=(const TDirectSound&) = delete;

  // Accepted for any window (there is no window focus to share here).
  HRESULT SetCooperativeLevel(void* Window, uint32_t Level);
  // A primary buffer only takes the device format (SetFormat); a secondary buffer
  // needs a PCM format (plain or extensible, 8/16/24/32 bits, 1 to 8 channels) and a
  // size of whole frames.
  HRESULT CreateSoundBuffer(const DSBUFFERDESC& Desc, std::unique_ptr<TDirectSoundBuffer>& Buffer);

private:
  friend HRESULT DirectSoundCreate(const GUID*, std::unique_ptr<TDirectSound>&);
  TDirectSound(std::shared_ptr<TDSBackend> Backend, std::string Device);

  std::shared_ptr<TDSBackend> FBackend;
  std::string FDevice;
};

// Opens the device with that identifier (nullptr or all zeros: the default device).
// DSERR_NODRIVER when no such device exists or it cannot be opened.
HRESULT DirectSoundCreate(const GUID* Guid, std::unique_ptr<TDirectSound>& DS);

class TDirectSoundBuffer {
public:
  // Stops playback and closes the device stream.
  ~TDirectSoundBuffer();
  TDirectSoundBuffer(const TDirectSoundBuffer&) = delete;
  TDirectSoundBuffer& operator=(const TDirectSoundBuffer&) = delete;

  // Primary buffers: records the device format. Secondary buffers: DSERR_INVALIDCALL.
  HRESULT SetFormat(const WAVEFORMATEX& Format);

  // Returns the ring's bytes [Offset, Offset + Bytes) as one or two regions (two when
  // they wrap past the end). DSBLOCK_ENTIREBUFFER locks the whole ring.
  HRESULT Lock(uint32_t Offset, uint32_t Bytes, void*& Ptr1, uint32_t& Bytes1, void*& Ptr2,
               uint32_t& Bytes2, uint32_t Flags);
  HRESULT Unlock(void* Ptr1, uint32_t Bytes1, void* Ptr2, uint32_t Bytes2);

  // Starts (or continues) playback from the play cursor; only looping play exists.
  HRESULT Play(uint32_t Reserved, uint32_t Priority, uint32_t Flags);
  // Stops playback; returns once the device has stopped. What the device holds is
  // kept and plays first when Play is called again.
  HRESULT Stop();

  // Play: the byte being heard. Write: the first byte the device has not taken yet;
  // data must be written at or after it.
  HRESULT GetCurrentPosition(uint32_t* PlayCursor, uint32_t* WriteCursor);
  // The same two cursors counted in bytes since the buffer was created, without
  // wrapping, so that the caller never mistakes a full lap for none.
  HRESULT GetTotalPosition(uint64_t& PlayBytes, uint64_t& WriteBytes);

  // Hundredths of a decibel, DSBVOLUME_MIN (silence) to DSBVOLUME_MAX (unchanged).
  HRESULT SetVolume(int32_t Volume);
  HRESULT GetVolume(int32_t& Volume);

  uint32_t BufferBytes() const { return static_cast<uint32_t>(FRing.size()); }

private:
  friend class TDirectSound;
  TDirectSoundBuffer() = default;
  void FeederLoop();
  // Copies Frames frames from the read cursor into Out with the volume applied and
  // leaves silence behind in the ring. Caller holds FLock.
  void Render(uint8_t* Out, uint32_t Frames);

  bool FPrimary = false;
  uint32_t FFlags = 0;
  WAVEFORMATEX FFormat;
  uint32_t FBlockAlign = 0;
  uint8_t FSilence = 0;
  std::vector<uint8_t> FRing;

  std::shared_ptr<TDSBackend> FBackend;  // outlives the stream it opened
  std::unique_ptr<TDSStream> FStream;
  std::thread FFeeder;
  std::mutex FLock;  // guards everything below
  std::condition_variable FChanged;
  bool FPlaying = false;
  bool FDevicePaused = true;
  bool FQuit = false;
  uint64_t FTaken = 0;        // bytes handed to the device since creation
  uint64_t FHeldBytes = 0;    // of those, bytes the device has not played yet
  int32_t FVolume = DSBVOLUME_MAX;
};

// Waits on the sound clock: real time, or the virtual clock of a test backend.
void DirectSoundSleep(uint32_t Milliseconds);
