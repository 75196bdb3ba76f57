#pragma once
// The steps of streaming PCM into a looping sound buffer, over the sound layer, with
// their state in one record.
//
// Positions are kept as frames counted since the start of playback as well as ring
// offsets: the layer reports its cursors without wrapping, so a full lap of the ring
// between two queries is never mistaken for none.

#include <cstdint>
#include <memory>

#include "platform/dsound/DSound.h"

struct DSoundWrapper {
  std::unique_ptr<TDirectSound> DS;
  std::unique_ptr<TDirectSoundBuffer> Buffer;  // the secondary buffer
  uint32_t WritePos = 0;                        // ring offset of the next byte to write
  uint32_t BufferBytes = 0;
  uint32_t BlockAlign = 0;
  uint32_t LastPlayPos = 0;                     // ring offset of the play cursor last seen
  bool Playing = false;
  int32_t UnderrunCount = 0;                    // times the device ran past the written data
  int64_t WrittenFrames = 0;                    // frames written since the start
  int64_t PlayedFrames = 0;                     // frames heard since the start
  std::unique_ptr<TDirectSoundBuffer> Primary;
};

inline constexpr int DSMaxDevices = 16;

struct TDSDeviceInfo {
  GUID Guid;              // all zeros for the default device
  char Description[128];  // NUL-terminated
};

struct TDSDeviceTable {
  int32_t Count = 0;
  TDSDeviceInfo Devices[DSMaxDevices];
};

HRESULT DSInit(DSoundWrapper& Rec);
// At most 16 devices, the default one first.
HRESULT DSEnumerate(TDSDeviceTable& Table);
HRESULT DSCreate(DSoundWrapper& Rec, const GUID& DeviceId);
// Creates the primary buffer with Format and a secondary buffer of BufferBytes, filled
// with the format's silence.
HRESULT DSInitOutputBuffer(DSoundWrapper& Rec, void* Window, const WAVEFORMATEX& Format, uint32_t BufferBytes);
HRESULT DSStartOutput(DSoundWrapper& Rec);
HRESULT DSStopOutput(DSoundWrapper& Rec);
HRESULT DSRestartOutput(DSoundWrapper& Rec);
// Bytes that can be written now. Counts an underrun when the device has taken more
// than was written, and then moves the write position to where the device is.
HRESULT DSGetFreeSpace(DSoundWrapper& Rec, uint32_t& Bytes);
// Writes whole frames at the write position; Bytes must not exceed the free space.
HRESULT DSWriteData(DSoundWrapper& Rec, const void* Data, uint32_t Bytes);
// Fills all free space with the byte Value.
HRESULT DSFillSilence(DSoundWrapper& Rec, uint8_t Value);
// Nothing without a buffer. Raises Exception "Control not available" when the buffer
// has no volume control.
HRESULT DSSetVolume(DSoundWrapper& Rec, int32_t Volume);
HRESULT DSDone(DSoundWrapper& Rec);
