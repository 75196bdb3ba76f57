#include "audio/io/WaveConverter.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "platform/rtl/Riff.h"

namespace {

enum : int32_t { lwNoRiff = 1, lwNoWave, lwBadFormat, lwNoData };
constexpr int32_t swWriteFailed = 1, swTooLarge = 2;

// Source bytes per conversion step: the worker's stop request is looked at in between.
constexpr uint32_t ConvertStep = 1 << 20;
constexpr uint64_t MaxWavData = 0xFFFFFFFFull - 36;

bool ReadFull(TStream& S, void* Buffer, int64_t Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  while (Count > 0) {
    const int64_t n = S.Read(p, Count);
    if (n <= 0) return false;
    p += n;
    Count -= n;
  }
  return true;
}

// Bytes left in a seekable stream, -1 for a stream that cannot tell.
int64_t BytesLeft(TStream& S) {
  try {
    return S.Size() - S.Position();
  } catch (const Exception&) {
    return -1;
  }
}

// Passes over Count bytes; false when the stream ends first.
bool SkipBytes(TStream& S, int64_t Count) {
  const int64_t left = BytesLeft(S);
  if (left >= 0) {
    if (Count > left) return false;
    S.Seek(Count, soCurrent);
    return true;
  }
  uint8_t buf[4096];
  while (Count > 0) {
    const int64_t n = std::min<int64_t>(Count, sizeof buf);
    if (!ReadFull(S, buf, n)) return false;
    Count -= n;
  }
  return true;
}

}  // namespace

std::string PayloadFormatName(const WAVEFORMATEX& Format) {
  switch (Format.wFormatTag) {
    case WAVE_FORMAT_MPEGLAYER3: return "MP3";
    case WAVE_FORMAT_MPEG: return "MPEG audio";
    case WAVE_FORMAT_ADPCM: return "Microsoft ADPCM";
    case WAVE_FORMAT_IMA_ADPCM: return "IMA ADPCM";
    case WAVE_FORMAT_GSM610: return "GSM 6.10";
    case WAVE_FORMAT_ALAW: return "A-law";
    case WAVE_FORMAT_MULAW: return "mu-law";
    default: return "Compressed audio";
  }
}

std::string PayloadDamageText(const WAVEFORMATEX& Format) {
  const bool mpeg = Format.wFormatTag == WAVE_FORMAT_MPEGLAYER3 || Format.wFormatTag == WAVE_FORMAT_MPEG;
  return mpeg ? "a frame is damaged" : "a block is damaged";
}

TWaveConverter::TWaveConverter() {
  if (acmMetrics(ACM_METRIC_MAX_SIZE_FORMAT, FMaxFmtSize) != MMSYSERR_NOERROR) FMaxFmtSize = 18;
}

int32_t TWaveConverter::LoadWAVHeaderFromStream(TStream& Stream) {
  try {
    uint8_t h[12];
    if (!ReadFull(Stream, h, 8) || !SameRiffId(h, "RIFF")) return lwNoRiff;
    if (!ReadFull(Stream, h, 4) || !SameRiffId(h, "WAVE")) return lwNoWave;
    bool haveFormat = false;
    for (;;) {
      if (!ReadFull(Stream, h, 8)) return haveFormat ? lwNoData : lwBadFormat;
      const uint32_t size = RiffChunkSize(h);
      const int64_t padded = RiffPaddedSize(size);
      if (SameRiffId(h, "fmt ")) {
        if (size < 16) return lwBadFormat;
        std::vector<uint8_t> body(std::max<size_t>(18, std::min<uint32_t>(size, FMaxFmtSize)), 0);
        const uint32_t kept = std::min<uint32_t>(size, static_cast<uint32_t>(body.size()));
        if (!ReadFull(Stream, body.data(), kept) || !SkipBytes(Stream, padded - kept)) return lwBadFormat;
        // Extra bytes beyond what was kept are dropped from the record.
        const uint32_t extra = std::min<uint32_t>(GetLE16(&body[16]), kept > 18 ? kept - 18 : 0);
        PutLE16(&body[16], static_cast<uint16_t>(extra));
        if (!WAVEFORMATEX::FromBytes(body.data(), body.size(), OldFormat)) return lwBadFormat;
        haveFormat = true;
      } else if (SameRiffId(h, "data")) {
        if (!haveFormat) return lwBadFormat;
        // Never trust the size beyond what the stream holds.
        const int64_t left = BytesLeft(Stream);
        int64_t want = left >= 0 ? std::min<int64_t>(size, left) : size;
        Clear();
        if (left >= 0) {
          SetSize(want);
          int64_t got = 0;
          while (got < want) {
            const int64_t n = Stream.Read(Memory() + got, want - got);
            if (n <= 0) break;
            got += n;
          }
          SetSize(got);
        } else {
          std::vector<uint8_t> buf(65536);
          while (want > 0) {
            const int64_t n = Stream.Read(buf.data(), std::min<int64_t>(want, 65536));
            if (n <= 0) break;
            Write(buf.data(), n);
            want -= n;
          }
        }
        Seek(0, soBeginning);
        return 0;
      } else if (!SkipBytes(Stream, padded)) {
        return haveFormat ? lwNoData : lwBadFormat;
      }
    }
  } catch (const Exception&) {
    return lwNoData;
  } catch (const std::bad_alloc&) {
    return lwNoData;
  }
}

int32_t TWaveConverter::Convert() {
  try {
    HACMSTREAM has;
    MMRESULT r = acmStreamOpen(has, OldFormat, NewFormat, ACM_STREAMOPENF_NONREALTIME);
    if (r != MMSYSERR_NOERROR) return static_cast<int32_t>(r);
    // The payload moves out, the converted bytes grow in its place.
    const std::vector<uint8_t> src(Memory(), Memory() + Size());
    Clear();
    std::vector<uint8_t> dst;
    size_t pos = 0;
    bool lastTried = false, damaged = false;
    for (;;) {
      if (AuWorkerCheckPoint()) return static_cast<int32_t>(MMSYSERR_ERROR);
      const uint32_t len = static_cast<uint32_t>(std::min<size_t>(ConvertStep, src.size() - pos));
      // The final step goes without block alignment, so the decoder's tail and
      // a cut last block are delivered too.
      const bool last = pos + len >= src.size();
      uint32_t room = 0;
      r = acmStreamSize(has, std::max<uint32_t>(len, 1), room, ACM_STREAMSIZEF_SOURCE);
      if (r != MMSYSERR_NOERROR) return static_cast<int32_t>(r);
      room = std::max<uint32_t>(room, 65536);
      dst.resize(room);
      ACMSTREAMHEADER hdr;
      hdr.pbSrc = src.data() + pos;
      hdr.cbSrcLength = len;
      hdr.pbDst = dst.data();
      hdr.cbDstLength = room;
      r = acmStreamPrepareHeader(has, hdr, 0);
      if (r != MMSYSERR_NOERROR) return static_cast<int32_t>(r);
      r = acmStreamConvert(has, hdr, last ? 0 : ACM_STREAMCONVERTF_BLOCKALIGN);
      acmStreamUnprepareHeader(has, hdr, 0);
      // Damage comes with the last of the audio before it.
      damaged = r == ACMERR_DAMAGED;
      if (r != MMSYSERR_NOERROR && !damaged) return static_cast<int32_t>(r);
      if (static_cast<uint64_t>(Size()) + hdr.cbDstLengthUsed > MaxWavData)
        return static_cast<int32_t>(ACMERR_NOTPOSSIBLE);
      Write(dst.data(), hdr.cbDstLengthUsed);
      if (damaged) break;
      pos += hdr.cbSrcLengthUsed;
      if (last) {
        // Done once a final conversion took everything and left nothing behind.
        if (pos >= src.size() && hdr.cbDstLengthUsed < room) break;
        if (hdr.cbSrcLengthUsed == 0 && hdr.cbDstLengthUsed == 0) {
          if (lastTried) return static_cast<int32_t>(ACMERR_NOTPOSSIBLE);
          lastTried = true;
        }
      } else if (hdr.cbSrcLengthUsed == 0 && hdr.cbDstLengthUsed == 0) {
        return static_cast<int32_t>(ACMERR_NOTPOSSIBLE);
      }
    }
    acmStreamClose(has, 0);
    OldFormat = NewFormat;
    Seek(0, soBeginning);
    return damaged ? static_cast<int32_t>(ACMERR_DAMAGED) : 0;
  } catch (const std::bad_alloc&) {
    return static_cast<int32_t>(MMSYSERR_NOMEM);
  } catch (const Exception&) {
    return static_cast<int32_t>(MMSYSERR_ERROR);
  }
}

int32_t TWaveConverter::SaveWAVToStream(TStream& Stream) {
  const int64_t dataSize = Size();
  if (static_cast<uint64_t>(dataSize) > MaxWavData) return swTooLarge;
  const int64_t ownPos = Position();
  try {
    uint8_t h[44];
    const std::vector<uint8_t> fmt = OldFormat.ToBytes();
    const int64_t at = PutWavHeaderStart(h, static_cast<uint32_t>(dataSize + 36), fmt.data(), 16);
    PutRiffChunkHeader(h + at, "data", static_cast<uint32_t>(dataSize));
    const int64_t start = Stream.Position();
    Stream.WriteBuffer(h, sizeof h);
    Stream.WriteBuffer(Memory(), dataSize);
    PutLE32(h, static_cast<uint32_t>(Stream.Size() - start - 8));
    Stream.Seek(start + 4, soBeginning);
    Stream.WriteBuffer(h, 4);
    Stream.Seek(start, soBeginning);
    Seek(ownPos, soBeginning);
    return 0;
  } catch (const Exception&) {
    Seek(ownPos, soBeginning);
    return swWriteFailed;
  }
}
