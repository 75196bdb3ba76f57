// PCM to PCM: rate over libsoxr, sample size and mono <-> stereo in our own code.
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/acm/AcmStream.h"
#include "platform/rtl/ByteOrder.h"

namespace {

// Frames converted per step; bounds the work buffers.
constexpr size_t kStepFrames = 8192;

// Room the resampler may need for its delayed tail, in output frames per unit
// of max(1, out rate / in rate). Measured delays stay below 1400; the rest is headroom.
constexpr double kTailFrames = 8192;

using u128 = unsigned __int128;

// round(Frames * Out / In) with halves to even.
uint64_t ScaledFrames(uint64_t Frames, uint32_t In, uint32_t Out) {
  const u128 num = static_cast<u128>(Frames) * Out;
  uint64_t q = static_cast<uint64_t>(num / In);
  const u128 twice = (num % In) * 2;
  if (twice > In || (twice == In && (q & 1))) ++q;
  return q;
}

uint64_t CeilScaledFrames(uint64_t Frames, uint32_t In, uint32_t Out) {
  return static_cast<uint64_t>((static_cast<u128>(Frames) * Out + In - 1) / In);
}

// Little-endian samples of Bytes bytes to doubles in [-1, 1); 8-bit is unsigned.
void ToDouble(const uint8_t* P, unsigned Bytes, double& V) {
  switch (Bytes) {
    case 1: V = (static_cast<int>(P[0]) - 128) * (1.0 / 128); break;
    case 2: V = static_cast<int16_t>(GetLE16(P)) * (1.0 / 32768); break;
    case 3: V = SignExtend24(GetLE24(P)) * (1.0 / 8388608); break;
    default: V = static_cast<int32_t>(GetLE32(P)) * (1.0 / 2147483648.0); break;
  }
}

// Nearest value with halves to even, clipped; no dither.
void FromDouble(double V, unsigned Bytes, uint8_t* P) {
  const double full = static_cast<double>(int64_t{1} << (Bytes * 8 - 1));
  double x = V * full;
  if (!(x >= -full)) x = -full;  // also catches NaN
  if (x > full - 1) x = full - 1;
  const int64_t s = std::lrint(x);
  if (Bytes == 1) {
    P[0] = static_cast<uint8_t>(s + 128);
    return;
  }
  const auto u = static_cast<uint32_t>(s);
  for (unsigned i = 0; i < Bytes; ++i) P[i] = static_cast<uint8_t>(u >> (8 * i));
}

class AcmPcmStream final : public AcmStream {
public:
  AcmPcmStream(const WAVEFORMATEX& Src, const WAVEFORMATEX& Dst)
      : AcmStream(Src.nBlockAlign),
        FInChannels(Src.nChannels),
        FOutChannels(Dst.nChannels),
        FInBytes(Src.wBitsPerSample / 8u),
        FOutBytes(Dst.wBitsPerSample / 8u),
        FInRate(Src.nSamplesPerSec),
        FOutRate(Dst.nSamplesPerSec),
        // Mono <-> stereo goes through the resampler as mono.
        FMixChannels(std::min(FInChannels, FOutChannels)) {}

  ~AcmPcmStream() override {
    if (FSoxr) soxr_delete(FSoxr);
  }

  MMRESULT Open(bool VeryHighQuality) {
    if (FInRate == FOutRate) return MMSYSERR_NOERROR;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(VeryHighQuality ? SOXR_VHQ : SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    FSoxr = soxr_create(FInRate, FOutRate, FMixChannels, &error, &io, &quality, nullptr);
    if (error || !FSoxr) return ACMERR_NOTPOSSIBLE;
    FResampled.resize(kStepFrames * FMixChannels);
    return MMSYSERR_NOERROR;
  }

  uint64_t DestinationSize(uint64_t SrcBytes) const override {
    const uint64_t frames = SrcBytes / InFrame();
    if (!FSoxr) return frames * OutFrame();
    const double tail = std::ceil(kTailFrames * std::max(1.0, static_cast<double>(FOutRate) / FInRate));
    return (CeilScaledFrames(frames, FInRate, FOutRate) + static_cast<uint64_t>(tail)) * OutFrame();
  }

protected:
  MMRESULT Consume(const uint8_t* Src, size_t Length, bool Last, size_t& Used, std::vector<uint8_t>& Out) override {
    const size_t frames = Length / InFrame();
    // A partial frame at the very end is no sample; it is dropped.
    Used = Last ? Length : frames * InFrame();
    Out.reserve(Out.size() + static_cast<size_t>(DestinationSize(Length)));
    for (size_t done = 0; done < frames;) {
      const size_t k = std::min(kStepFrames, frames - done);
      Mix(Src + done * InFrame(), k);
      if (FSoxr) {
        if (const MMRESULT r = Resample(k, Out)) return r;
      } else {
        Emit(FMixed.data(), k, Out);
      }
      done += k;
      FFramesIn += k;
    }
    return Last ? Finish(Out) : MMSYSERR_NOERROR;
  }

private:
  size_t InFrame() const { return size_t{FInChannels} * FInBytes; }
  size_t OutFrame() const { return size_t{FOutChannels} * FOutBytes; }

  void Mix(const uint8_t* Src, size_t Frames) {
    FMixed.resize(Frames * FMixChannels);
    double* m = FMixed.data();
    if (FInChannels == 2 && FOutChannels == 1) {
      for (size_t i = 0; i < Frames; ++i, Src += 2 * FInBytes) {
        double l, r;
        ToDouble(Src, FInBytes, l);
        ToDouble(Src + FInBytes, FInBytes, r);
        m[i] = (l + r) * 0.5;
      }
      return;
    }
    const size_t samples = Frames * FMixChannels;
    if (FInBytes == 2) {  // the common case, kept free of the per-sample switch
      for (size_t i = 0; i < samples; ++i) {
        int16_t v;
        std::memcpy(&v, Src + 2 * i, 2);
        m[i] = v * (1.0 / 32768);
      }
      return;
    }
    for (size_t i = 0; i < samples; ++i, Src += FInBytes) ToDouble(Src, FInBytes, m[i]);
  }

  void Emit(const double* Data, size_t Frames, std::vector<uint8_t>& Out) {
    const size_t base = Out.size();
    Out.resize(base + Frames * OutFrame());
    uint8_t* p = Out.data() + base;
    if (FMixChannels != FOutChannels) {  // mono to stereo
      for (size_t i = 0; i < Frames; ++i, p += 2 * FOutBytes) {
        FromDouble(Data[i], FOutBytes, p);
        std::memcpy(p + FOutBytes, p, FOutBytes);
      }
    } else if (FOutBytes == 2) {
      const size_t samples = Frames * FMixChannels;
      for (size_t i = 0; i < samples; ++i) {
        // Nearest with halves to even (the default rounding mode), clipped; NaN gives -32768.
        double x = Data[i] * 32768.0;
        x = x >= -32768.0 ? (x > 32767.0 ? 32767.0 : x) : -32768.0;
        const auto v = static_cast<int16_t>(static_cast<int32_t>(std::nearbyint(x)));
        std::memcpy(p + 2 * i, &v, 2);
      }
    } else {
      const size_t samples = Frames * FMixChannels;
      for (size_t i = 0; i < samples; ++i, p += FOutBytes) FromDouble(Data[i], FOutBytes, p);
    }
    FFramesOut += Frames;
  }

  MMRESULT Resample(size_t Frames, std::vector<uint8_t>& Out) {
    const double* in = FMixed.data();
    for (;;) {
      size_t idone = 0, odone = 0;
      if (soxr_process(FSoxr, in, Frames, &idone, FResampled.data(), kStepFrames, &odone)) return MMSYSERR_ERROR;
      Emit(FResampled.data(), odone, Out);
      in += idone * FMixChannels;
      Frames -= idone;
      if (Frames == 0 && odone < kStepFrames) return MMSYSERR_NOERROR;
      if (idone == 0 && odone == 0) return MMSYSERR_ERROR;
    }
  }

  // Delivers the tail so that the stream has exactly its scaled length, then
  // readies the stream for a fresh signal.
  MMRESULT Finish(std::vector<uint8_t>& Out) {
    const uint64_t total = ScaledFrames(FFramesIn, FInRate, FOutRate);
    if (FSoxr) {
      for (;;) {
        size_t odone = 0;
        if (soxr_process(FSoxr, nullptr, 0, nullptr, FResampled.data(), kStepFrames, &odone)) return MMSYSERR_ERROR;
        if (odone == 0) break;
        Emit(FResampled.data(), static_cast<size_t>(std::min<uint64_t>(odone, total - std::min(total, FFramesOut))),
             Out);
      }
      soxr_clear(FSoxr);
    }
    if (FFramesOut < total) {
      // The resampler ended a frame or so short of the rounded length.
      const std::vector<double> silence(static_cast<size_t>(total - FFramesOut) * FMixChannels, 0.0);
      Emit(silence.data(), static_cast<size_t>(total - FFramesOut), Out);
    }
    FFramesIn = 0;
    FFramesOut = 0;
    return MMSYSERR_NOERROR;
  }

  const unsigned FInChannels, FOutChannels, FInBytes, FOutBytes;
  const uint32_t FInRate, FOutRate;
  const unsigned FMixChannels;
  soxr_t FSoxr = nullptr;
  std::vector<double> FMixed, FResampled;
  uint64_t FFramesIn = 0, FFramesOut = 0;  // of the current stream
};

}  // namespace

MMRESULT CheckPcmFormat(const WAVEFORMATEX& Format) {
  if (Format.wFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
  if (Format.nChannels == 0 || Format.nSamplesPerSec == 0) return MMSYSERR_INVALPARAM;
  const uint16_t bits = Format.wBitsPerSample;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return ACMERR_NOTPOSSIBLE;
  if (Format.nBlockAlign != uint32_t{Format.nChannels} * (bits / 8)) return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

MMRESULT OpenPcmStream(const WAVEFORMATEX& Src, const WAVEFORMATEX& Dst, bool VeryHighQuality, HACMSTREAM& Stream) {
  auto stream = std::make_unique<AcmPcmStream>(Src, Dst);
  if (const MMRESULT r = stream->Open(VeryHighQuality)) return r;
  Stream.reset(stream.release());
  return MMSYSERR_NOERROR;
}
