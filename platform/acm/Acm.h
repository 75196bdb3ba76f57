#pragma once
// Audio compression manager: format suggestion and stream conversion.
//
// PCM to PCM (sample rate, sample size 8/16/24/32 bits, mono <-> stereo) runs
// over libsoxr; compressed payloads (MPEG audio layers 1-3, A-law, mu-law,
// GSM 6.10, IMA ADPCM, Microsoft ADPCM) are decoded to 16-bit PCM with
// libavcodec. Nothing here knows about WAV or AVI files: callers hand over the
// format record and the payload bytes.
//
// Errors are returned as codes, never raised. A stream is used by one thread at
// a time; different streams are independent.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/rtl/WinTypes.h"  // WAVEFORMATEX

using MMRESULT = uint32_t;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;        // the codec library failed
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;  // no open stream
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;  // unknown metric
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;  // malformed format record or header
inline constexpr MMRESULT ACMERR_BASE = 512;
inline constexpr MMRESULT ACMERR_NOTPOSSIBLE = ACMERR_BASE + 0;  // no such conversion, or undecodable data
inline constexpr MMRESULT ACMERR_UNPREPARED = ACMERR_BASE + 2;
// This layer's own: the payload is damaged (see acmStreamConvert).
inline constexpr MMRESULT ACMERR_DAMAGED = ACMERR_BASE + 16;

// Format tags this layer reads.
inline constexpr uint16_t WAVE_FORMAT_PCM = 0x0001;
inline constexpr uint16_t WAVE_FORMAT_ADPCM = 0x0002;  // Microsoft ADPCM
inline constexpr uint16_t WAVE_FORMAT_ALAW = 0x0006;
inline constexpr uint16_t WAVE_FORMAT_MULAW = 0x0007;
inline constexpr uint16_t WAVE_FORMAT_IMA_ADPCM = 0x0011;  // also known as DVI ADPCM
inline constexpr uint16_t WAVE_FORMAT_GSM610 = 0x0031;
inline constexpr uint16_t WAVE_FORMAT_MPEG = 0x0050;  // MPEG-1/2 audio, layer named in the extra bytes
inline constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x0055;

// The sample rates a PCM stream that changes the rate takes on either side.
inline constexpr uint32_t ACM_PCM_MIN_RATE = 1000;
inline constexpr uint32_t ACM_PCM_MAX_RATE = 768000;

inline constexpr uint32_t ACM_METRIC_MAX_SIZE_FORMAT = 50;
inline constexpr uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
inline constexpr uint32_t ACM_STREAMOPENF_NONREALTIME = 0x00000004;
inline constexpr uint32_t ACM_STREAMSIZEF_SOURCE = 0x00000000;
inline constexpr uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

// Describes one conversion: the source bytes, the destination room, and on
// return how much of each was used. Prepare it for a stream, convert, then
// unprepare it; the buffers and the lengths may shrink between prepare and
// convert but may not move or grow.
struct ACMSTREAMHEADER {
  uint32_t cbStruct = sizeof(ACMSTREAMHEADER);
  uint32_t fdwStatus = 0;
  uintptr_t dwUser = 0;
  const uint8_t* pbSrc = nullptr;
  uint32_t cbSrcLength = 0;
  uint32_t cbSrcLengthUsed = 0;
  uintptr_t dwSrcUser = 0;
  uint8_t* pbDst = nullptr;
  uint32_t cbDstLength = 0;
  uint32_t cbDstLengthUsed = 0;
  uintptr_t dwDstUser = 0;
  // Recorded by acmStreamPrepareHeader; callers leave it alone.
  struct {
    uint64_t Stream = 0;
    const uint8_t* Src = nullptr;
    uint32_t SrcLength = 0;
    uint8_t* Dst = nullptr;
    uint32_t DstLength = 0;
  } dwReservedDriver;
};

class AcmStream;
struct AcmStreamClose {
  void operator()(AcmStream* Stream) const noexcept;
};
// An open conversion stream; resetting or destroying it closes the stream.
using HACMSTREAM = std::unique_ptr<AcmStream, AcmStreamClose>;

// ACM_METRIC_MAX_SIZE_FORMAT: the largest format record (18 + cbSize bytes)
// any supported format needs.
MMRESULT acmMetrics(uint32_t uMetric, uint32_t& pMetric);

// Fills pwfxDst with the PCM format a source in pwfxSrc converts to: 16 bits
// with the source's rate and channels for a compressed source, the source's own
// format for PCM. fdwSuggest is 0 or ACM_FORMATSUGGESTF_WFORMATTAG, with which
// the caller's pwfxDst.wFormatTag must be WAVE_FORMAT_PCM. cbwfxDst is the
// room the caller has for the record; a PCM record needs 18 bytes.
MMRESULT acmFormatSuggest(const WAVEFORMATEX& pwfxSrc, WAVEFORMATEX& pwfxDst, uint32_t cbwfxDst, uint32_t fdwSuggest);

// Opens a stream from pwfxSrc to pwfxDst. Possible: PCM to PCM with the same rate or
// rates within the limits above, 8/16/24/32 bits each side, the same channel count or
// mono <-> stereo; a compressed source to the PCM format acmFormatSuggest gives. With
// ACM_STREAMOPENF_NONREALTIME rate conversion uses the resampler's very high
// quality, otherwise its high quality. A compressed source loads FFmpeg's libraries
// first: MMSYSERR_ERROR when they cannot be loaded.
MMRESULT acmStreamOpen(HACMSTREAM& phas, const WAVEFORMATEX& pwfxSrc, const WAVEFORMATEX& pwfxDst, uint32_t fdwOpen);

// Destination room for cbInput source bytes (ACM_STREAMSIZEF_SOURCE). Exact for
// PCM at one rate and for whole blocks of A-law, mu-law, ADPCM and GSM. With a
// rate change it also covers the resampler's delayed tail. For MPEG it is an
// upper bound when nAvgBytesPerSec is 0 (taken as the lowest bitrate) or the
// payload has a constant bitrate, and an estimate for variable bitrates.
MMRESULT acmStreamSize(const HACMSTREAM& has, uint32_t cbInput, uint32_t& pdwOutputBytes, uint32_t fdwSize);

MMRESULT acmStreamPrepareHeader(const HACMSTREAM& has, ACMSTREAMHEADER& pash, uint32_t fdwPrepare);

// Converts pash's source into its destination and sets cbSrcLengthUsed and
// cbDstLengthUsed.
//
// With ACM_STREAMCONVERTF_BLOCKALIGN only whole source blocks are taken (PCM
// frames, ADPCM and GSM blocks, law frames; MPEG is taken byte by byte), the
// rest is left for the caller to pass again at the start of the next source.
// A conversion without it is the last of the stream: everything is taken, the
// resampler's and decoders' held-back tail is delivered, and the next
// conversion starts a fresh stream. The samples a cut ADPCM block holds are
// delivered; a cut GSM block, a cut MPEG frame (which would decode partly
// silent) and a partial PCM or law frame are dropped.
//
// PCM rate conversion: a stream of N source frames at rate a yields exactly
// round(N * b / a) frames at rate b, rounding halves to even; no dither.
//
// Output that does not fit the destination is kept and delivered first by the
// next conversion. When the last conversion's output does not fit, it reports
// its final source bytes as unused, so that a caller which passes the unused
// bytes again converts once more; those bytes are not converted twice.
//
// Decoding: once a stream has produced audio, damage ends it: a packet the
// decoder rejects or marks as corrupt, an MPEG frame that is not followed by
// the next one where it ends (bytes lost or frames cut apart), or a frame in
// another rate or channel count than the record. The audio before the damage
// is delivered, then the conversion that delivers its last byte returns
// ACMERR_DAMAGED, with the used lengths set as on success; the stream delivers
// nothing more, and a last conversion (also ACMERR_DAMAGED) ends it. The audio
// of an MPEG frame is held until the next one decodes cleanly or the stream
// ends, since damage that shows in a frame may have begun in the one before.
//
// Before the stream's first audio, rejected bytes are passed over (junk before
// the first MPEG frame is found again inside). ACMERR_NOTPOSSIBLE when a
// conversion meets rejected packets before the stream has produced any audio,
// or when a stream ends without any audio from its bytes: the data is not in
// the declared format.
//
// An error found while earlier output is still to be delivered comes with the
// conversion that delivers the last of it.
MMRESULT acmStreamConvert(const HACMSTREAM& has, ACMSTREAMHEADER& pash, uint32_t fdwConvert);

MMRESULT acmStreamUnprepareHeader(const HACMSTREAM& has, ACMSTREAMHEADER& pash, uint32_t fdwUnprepare);

// Closes the stream even when headers are still prepared for it; converting
// with such a header afterwards fails.
MMRESULT acmStreamClose(HACMSTREAM& has, uint32_t fdwClose);
