#include "platform/acm/Acm.h"

#include <algorithm>
#include <limits>
#include <new>

#include "platform/acm/AcmStream.h"
#include "platform/rtl/ByteOrder.h"

namespace {

constexpr size_t kFormatBytes = 18;  // a format record without extra bytes

WAVEFORMATEX Pcm(uint16_t Channels, uint32_t Rate, uint16_t Bits) {
  WAVEFORMATEX f;
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = Channels;
  f.nSamplesPerSec = Rate;
  f.wBitsPerSample = Bits;
  f.nBlockAlign = static_cast<uint16_t>(Channels * (Bits / 8));
  f.nAvgBytesPerSec = Rate * f.nBlockAlign;
  return f;
}

// The PCM format a source converts to without being asked for anything else.
MMRESULT Suggestion(const WAVEFORMATEX& Src, WAVEFORMATEX& Dst) {
  if (Src.wFormatTag == WAVE_FORMAT_PCM) {
    if (const MMRESULT r = CheckPcmFormat(Src)) return r;
    Dst = Pcm(Src.nChannels, Src.nSamplesPerSec, Src.wBitsPerSample);
    return MMSYSERR_NOERROR;
  }
  if (const MMRESULT r = CheckDecoderFormat(Src)) return r;
  Dst = Pcm(Src.nChannels, Src.nSamplesPerSec, 16);
  return MMSYSERR_NOERROR;
}

bool SameChannelsOrMonoStereo(uint16_t In, uint16_t Out) {
  return In == Out || (In == 1 && Out == 2) || (In == 2 && Out == 1);
}

// A rate far below audio's would make the resampler's output, and its delay, huge.
bool RatesConvertible(uint32_t In, uint32_t Out) {
  return In == Out || (std::min(In, Out) >= ACM_PCM_MIN_RATE && std::max(In, Out) <= ACM_PCM_MAX_RATE);
}

// The library code below reports failure by code; only allocation can throw.
template <class F>
MMRESULT Guarded(F&& Body) noexcept {
  try {
    return Body();
  } catch (const std::bad_alloc&) {
    return MMSYSERR_NOMEM;
  } catch (...) {
    return MMSYSERR_ERROR;
  }
}

}  // namespace

void AcmStreamClose::operator()(AcmStream* Stream) const noexcept { delete Stream; }

MMRESULT acmMetrics(uint32_t uMetric, uint32_t& pMetric) {
  if (uMetric != ACM_METRIC_MAX_SIZE_FORMAT) return MMSYSERR_NOTSUPPORTED;
  // Microsoft ADPCM with its seven coefficient pairs is the largest record read.
  pMetric = kFormatBytes + 4 + 7 * 4;
  return MMSYSERR_NOERROR;
}

MMRESULT acmFormatSuggest(const WAVEFORMATEX& pwfxSrc, WAVEFORMATEX& pwfxDst, uint32_t cbwfxDst, uint32_t fdwSuggest) {
  return Guarded([&]() -> MMRESULT {
    if ((fdwSuggest & ~ACM_FORMATSUGGESTF_WFORMATTAG) != 0) return MMSYSERR_INVALFLAG;
    if (cbwfxDst < kFormatBytes) return MMSYSERR_INVALPARAM;
    // Only PCM is ever produced.
    if ((fdwSuggest & ACM_FORMATSUGGESTF_WFORMATTAG) && pwfxDst.wFormatTag != WAVE_FORMAT_PCM)
      return ACMERR_NOTPOSSIBLE;
    WAVEFORMATEX suggestion;
    if (const MMRESULT r = Suggestion(pwfxSrc, suggestion)) return r;
    pwfxDst = std::move(suggestion);
    return MMSYSERR_NOERROR;
  });
}

MMRESULT acmStreamOpen(HACMSTREAM& phas, const WAVEFORMATEX& pwfxSrc, const WAVEFORMATEX& pwfxDst, uint32_t fdwOpen) {
  return Guarded([&]() -> MMRESULT {
    phas.reset();
    if ((fdwOpen & ~ACM_STREAMOPENF_NONREALTIME) != 0) return MMSYSERR_INVALFLAG;
    if (pwfxSrc.wFormatTag == WAVE_FORMAT_PCM) {
      if (const MMRESULT r = CheckPcmFormat(pwfxSrc)) return r;
      if (pwfxDst.wFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
      if (const MMRESULT r = CheckPcmFormat(pwfxDst)) return r;
      if (!SameChannelsOrMonoStereo(pwfxSrc.nChannels, pwfxDst.nChannels)) return ACMERR_NOTPOSSIBLE;
      if (!RatesConvertible(pwfxSrc.nSamplesPerSec, pwfxDst.nSamplesPerSec)) return ACMERR_NOTPOSSIBLE;
      return OpenPcmStream(pwfxSrc, pwfxDst, (fdwOpen & ACM_STREAMOPENF_NONREALTIME) != 0, phas);
    }
    WAVEFORMATEX suggestion;
    if (const MMRESULT r = Suggestion(pwfxSrc, suggestion)) return r;
    // The decoders give only their suggested format; the average rate is
    // derived, so a caller's value there does not matter.
    if (pwfxDst.wFormatTag != suggestion.wFormatTag || pwfxDst.nChannels != suggestion.nChannels ||
        pwfxDst.nSamplesPerSec != suggestion.nSamplesPerSec || pwfxDst.wBitsPerSample != suggestion.wBitsPerSample ||
        pwfxDst.nBlockAlign != suggestion.nBlockAlign)
      return ACMERR_NOTPOSSIBLE;
    return OpenDecoderStream(pwfxSrc, phas);
  });
}

MMRESULT acmStreamSize(const HACMSTREAM& has, uint32_t cbInput, uint32_t& pdwOutputBytes, uint32_t fdwSize) {
  if (!has) return MMSYSERR_INVALHANDLE;
  if (fdwSize != ACM_STREAMSIZEF_SOURCE) return MMSYSERR_INVALFLAG;
  const uint64_t size = has->DestinationSize(cbInput);
  if (size > std::numeric_limits<uint32_t>::max()) return ACMERR_NOTPOSSIBLE;
  pdwOutputBytes = static_cast<uint32_t>(size);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(const HACMSTREAM& has, ACMSTREAMHEADER& pash, uint32_t fdwPrepare) {
  if (!has) return MMSYSERR_INVALHANDLE;
  if (fdwPrepare != 0) return MMSYSERR_INVALFLAG;
  if (pash.cbStruct != sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  if ((pash.pbSrc == nullptr && pash.cbSrcLength > 0) || (pash.pbDst == nullptr && pash.cbDstLength > 0))
    return MMSYSERR_INVALPARAM;
  pash.dwReservedDriver = {has->Id(), pash.pbSrc, pash.cbSrcLength, pash.pbDst, pash.cbDstLength};
  pash.fdwStatus = (pash.fdwStatus & ~ACMSTREAMHEADER_STATUSF_DONE) | ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(const HACMSTREAM& has, ACMSTREAMHEADER& pash, uint32_t fdwConvert) {
  if (!has) return MMSYSERR_INVALHANDLE;
  if ((fdwConvert & ~ACM_STREAMCONVERTF_BLOCKALIGN) != 0) return MMSYSERR_INVALFLAG;
  if (pash.cbStruct != sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  if (!(pash.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  const auto& prepared = pash.dwReservedDriver;
  if (prepared.Stream != has->Id()) return MMSYSERR_INVALPARAM;
  if (pash.pbSrc != prepared.Src || pash.pbDst != prepared.Dst || pash.cbSrcLength > prepared.SrcLength ||
      pash.cbDstLength > prepared.DstLength)
    return MMSYSERR_INVALPARAM;
  pash.fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
  pash.cbSrcLengthUsed = 0;
  pash.cbDstLengthUsed = 0;
  const MMRESULT result = Guarded([&]() -> MMRESULT {
    return has->Convert(pash.pbSrc, pash.cbSrcLength, pash.pbDst, pash.cbDstLength,
                        !(fdwConvert & ACM_STREAMCONVERTF_BLOCKALIGN), pash.cbSrcLengthUsed, pash.cbDstLengthUsed);
  });
  pash.fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
  return result;
}

MMRESULT acmStreamUnprepareHeader(const HACMSTREAM& has, ACMSTREAMHEADER& pash, uint32_t fdwUnprepare) {
  if (!has) return MMSYSERR_INVALHANDLE;
  if (fdwUnprepare != 0) return MMSYSERR_INVALFLAG;
  if (!(pash.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  if (pash.dwReservedDriver.Stream != has->Id()) return MMSYSERR_INVALPARAM;
  pash.fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  pash.dwReservedDriver = {};
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM& has, uint32_t fdwClose) {
  if (!has) return MMSYSERR_INVALHANDLE;
  if (fdwClose != 0) return MMSYSERR_INVALFLAG;
  has.reset();
  return MMSYSERR_NOERROR;
}
