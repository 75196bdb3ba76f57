#pragma once
// An in-memory WAV image whose payload the compression layer converts, used to
// turn WAV files with a compressed payload (MPEG audio, A-law, mu-law, GSM)
// into plain PCM.

#include <cstdint>
#include <string>

#include "platform/acm/Acm.h"
#include "platform/rtl/Streams.h"

// What a compressed payload is called in messages ("MP3", "GSM 6.10"), and what is
// found damaged in it ("a frame is damaged").
std::string PayloadFormatName(const WAVEFORMATEX& Format);
std::string PayloadDamageText(const WAVEFORMATEX& Format);

class TWaveConverter : public TMemoryStream {
public:
  TWaveConverter();

  // Reads "RIFF", "WAVE", then "fmt " into OldFormat and the "data" payload into
  // the memory, from the stream's current position; other chunks are skipped.
  // 0 on success, a non-zero code when the stream is not such a WAV.
  int32_t LoadWAVHeaderFromStream(TStream& Stream);
  // Converts the memory from OldFormat to NewFormat; 0 or the compression
  // layer's error code. On success OldFormat becomes NewFormat. A damaged payload
  // gives ACMERR_DAMAGED and is converted as far as the damage: the memory holds the
  // audio before it, and OldFormat is NewFormat too.
  int32_t Convert();
  // Writes a PCM WAV of the memory at the stream's position; 0, or non-zero when
  // writing failed or the image would not fit a WAV file.
  int32_t SaveWAVToStream(TStream& Stream);

  uint32_t MaxFmtSize() const { return FMaxFmtSize; }

  WAVEFORMATEX OldFormat;
  WAVEFORMATEX NewFormat;

private:
  uint32_t FMaxFmtSize = 0;
};
