#include "audio/io/TSL_Converters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "audio/core/TSL_Procs.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Folders.h"

namespace {

bool ValidSampleBits(int32_t Bits) { return Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32; }

// "Cannot <Doing> 12-bit samples[ to 16 bits]: ..."; empty when both sizes are taken.
std::string BitsRefusal(const std::string& Doing, int32_t From, int32_t To) {
  if (ValidSampleBits(From) && ValidSampleBits(To)) return {};
  return "Cannot " + Doing + " " + std::to_string(From) + "-bit samples" +
         (From == To ? std::string() : " to " + std::to_string(To) + " bits") +
         ": only 8, 16, 24 and 32-bit samples are supported.";
}

// Every converter refuses a source whose rate no audio has, even when it only passes
// the data on.
void RefuseSourceRate(const std::string& Doing, int32_t Rate) {
  if (Rate < 1)
    throw EAuException("Cannot " + Doing + " " + std::to_string(Rate) + " Hz audio: a sample rate is at least 1 Hz.");
}

std::string ChannelsText(int32_t Channels) {
  return std::to_string(Channels) + (Channels == 1 ? " channel" : " channels");
}

// Why the compression manager cannot convert the one PCM format into the other; empty
// when it can.
std::string PcmConversionRefusal(int32_t InBits, int32_t InChannels, int32_t InRate, int32_t OutBits,
                                 int32_t OutChannels, int32_t OutRate) {
  std::string refusal = BitsRefusal("convert", InBits, OutBits);
  if (!refusal.empty()) return refusal;
  if (InChannels < 1 || OutChannels < 1 || (InChannels != OutChannels && InChannels + OutChannels != 3))
    return "Cannot convert " + ChannelsText(InChannels) + " to " + std::to_string(OutChannels) +
           ": only mono and stereo convert into each other.";
  if (InRate == OutRate) return {};
  const std::string asked =
      "Cannot convert " + std::to_string(InRate) + " Hz audio to " + std::to_string(OutRate) + " Hz: sample rates ";
  if (std::min(InRate, OutRate) < static_cast<int64_t>(ACM_PCM_MIN_RATE))
    return asked + "below " + std::to_string(ACM_PCM_MIN_RATE) + " Hz are not supported.";
  if (std::max(InRate, OutRate) > static_cast<int64_t>(ACM_PCM_MAX_RATE))
    return asked + "above " + std::to_string(ACM_PCM_MAX_RATE) + " Hz are not supported.";
  return {};
}

// round(Value * Num / Den) with halves to even, for non-negative values.
int64_t ScaleRounded(int64_t Value, int64_t Num, int64_t Den) {
  using u128 = unsigned __int128;
  const u128 n = static_cast<u128>(Value) * static_cast<u128>(Num);
  u128 q = n / static_cast<u128>(Den);
  const u128 twice = (n % static_cast<u128>(Den)) * 2;
  if (twice > static_cast<u128>(Den) || (twice == static_cast<u128>(Den) && (q & 1))) ++q;
  return static_cast<int64_t>(q);
}

// Largest block the sample converter turns around in one read, in frames; keeps a
// huge request from allocating without bound.
constexpr int32_t MaxConvertFrames = 1 << 20;

// Samples per normaliser block.
constexpr uint32_t NormBlockSamples = 65536;

// Ends the input's run after a failed start; a failing flush must not hide the
// error that got us here.
void FlushQuietly(TAuInput* Input) noexcept {
  try {
    Input->Flush();
  } catch (...) {
  }
}

}  // namespace

// ===========================================================================
// TAudioConverter

TAudioConverter::TAudioConverter(TComponent* AOwner) : TAuConverter(AOwner) {}

int32_t TAudioConverter::GetBitsPerSample() {
  if (FBusy) return FCurBits;
  if (!FInput) return 0;
  return FOutBitsPerSample != 0 ? FOutBitsPerSample : FInput->BitsPerSample();
}

int32_t TAudioConverter::GetChannels() {
  if (FBusy) return FCurChannels;
  if (!FInput) return 0;
  const int32_t in = FInput->Channels();
  if ((FOutChannels == 1 || FOutChannels == 2) && (in == 1 || in == 2)) return FOutChannels;
  return in;
}

void TAudioConverter::BeginRead() {
  if (!FInput) throw EAuException("Input is not assigned");
  RefuseSourceRate("convert", FInput->SampleRate());
  FInput->Init();
  try {
    // The run's format, from the properties and the input's format of this run.
    FCurBits = GetBitsPerSample();
    FCurChannels = GetChannels();
    FBusy = true;
    FPosition = 0;
    const int32_t inBits = FInput->BitsPerSample();
    FInChannels = FInput->Channels();
    // Nothing to change: the input's bytes go through untouched (a 32-bit round trip
    // through floats would lose the low bits).
    FPassThrough = FCurBits == inBits && FCurChannels == FInChannels;
    if (!FPassThrough) {
      const std::string refusal = BitsRefusal("convert", inBits, FCurBits);
      if (!refusal.empty()) throw EAuException(refusal);
      if (FInChannels <= 0) throw EAuException("Cannot convert audio of " + ChannelsText(FInChannels) + ".");
    }
    FInSampleBytes = inBits / 8;
    FOutSampleBytes = FCurBits / 8;
    FFrameSize = FPassThrough ? FInput->FrameSize() : static_cast<uint16_t>(FOutSampleBytes * FCurChannels);

    const int64_t inSize = FInput->Size();
    if (inSize < 0 || FPassThrough) {
      FSize = FPassThrough ? inSize : -1;
    } else {
      int64_t size = ScaleRounded(inSize, int64_t{FCurBits} * FCurChannels, int64_t{inBits} * FInChannels);
      size -= size % (int64_t{FCurBits} * FCurChannels / 8);
      FSize = size;
    }
    FCapacity = 0;
  } catch (...) {
    ReleaseBuffers();
    FBusy = false;
    FlushQuietly(FInput);
    throw;
  }
}

void TAudioConverter::ReleaseBuffers() {
  std::vector<uint8_t>().swap(FOutBuffer);
  std::vector<float>().swap(FFloatBuffer);
  std::vector<uint8_t>().swap(FInBuffer);
  FCapacity = 0;
}

void TAudioConverter::EndRead() {
  // A second EndRead, or one after a failed start, has nothing left to end.
  if (!FBusy) return;
  ReleaseBuffers();
  FBusy = false;
  if (FInput) FInput->Flush();
}

uint32_t TAudioConverter::ReadInputFrames(const uint8_t*& Data, uint32_t Bytes) {
  const uint32_t frame = static_cast<uint32_t>(FInSampleBytes * FInChannels);
  void* p = nullptr;
  uint32_t n = Bytes;
  FInput->ReadData(p, n);
  if (n == 0 || !p) return 0;
  n = std::min(n, Bytes);
  if (n % frame == 0) {
    Data = static_cast<const uint8_t*>(p);
    return n;
  }
  // The input cut a frame: complete it, so that no sample is dropped and the
  // channels stay in step.
  if (FInBuffer.size() < Bytes + frame) FInBuffer.resize(Bytes + frame);
  std::memcpy(FInBuffer.data(), p, n);
  while (n % frame != 0) {
    const uint32_t k = FInput->CopyData(FInBuffer.data() + n, frame - n % frame);
    if (k == 0) break;
    n += k;
  }
  Data = FInBuffer.data();
  return n - n % frame;
}

void TAudioConverter::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  if (!FInput) {
    Buffer = nullptr;
    Bytes = 0;
    return;
  }
  if (FPassThrough) {
    FInput->ReadData(Buffer, Bytes);
    return;
  }
  int32_t frames = static_cast<int32_t>(std::min<uint32_t>((Bytes / FOutSampleBytes) / FCurChannels, MaxConvertFrames));
  // A request below one output frame mid-frame cannot happen: whole frames only go out.
  frames = std::max(frames, 1);
  const uint8_t* src = nullptr;
  const uint32_t got = ReadInputFrames(src, static_cast<uint32_t>(frames * FInChannels * FInSampleBytes));
  if (got == 0) {
    Buffer = nullptr;
    Bytes = 0;
    return;
  }
  frames = static_cast<int32_t>((got / FInSampleBytes) / FInChannels);
  Bytes = static_cast<uint32_t>(frames * FOutSampleBytes * FCurChannels);

  if (frames > FCapacity) {
    FCapacity = frames;
    FOutBuffer.assign(static_cast<size_t>(frames) * FOutSampleBytes * FCurChannels, 0);
    FFloatBuffer.assign(static_cast<size_t>(frames) * std::max(FCurChannels, FInChannels), 0.0f);
  }
  float* f = FFloatBuffer.data();
  const int32_t inSamples = frames * FInChannels;
  switch (FInSampleBytes) {
    case 1: ByteToSingle(src, f, inSamples); break;
    case 2: SmallIntToSingle(reinterpret_cast<const int16_t*>(src), f, inSamples); break;
    case 3: Int24ToSingle(src, f, inSamples); break;
    default: Int32ToSingle(reinterpret_cast<const int32_t*>(src), f, inSamples); break;
  }
  if (FCurChannels == 2 && FInChannels == 1) {
    MonoToStereo(f, frames);
  } else if (FCurChannels == 1 && FInChannels == 2) {
    StereoToMono(f, frames);
  }
  const int32_t outSamples = frames * FCurChannels;
  uint8_t* out = FOutBuffer.data();
  switch (FOutSampleBytes) {
    case 1: SingleToByte(f, out, outSamples); break;
    case 2: SingleToSmallInt(f, reinterpret_cast<int16_t*>(out), outSamples); break;
    case 3: SingleToInt24(f, out, outSamples); break;
    default: SingleToInt32(f, reinterpret_cast<int32_t*>(out), outSamples); break;
  }
  Buffer = out;
}

// ===========================================================================
// TACMConverter

TACMConverter::TACMConverter(TComponent* AOwner) : TAuConverter(AOwner) {}

TACMConverter::~TACMConverter() { ReleaseStream(); }

int32_t TACMConverter::GetBitsPerSample() {
  if (FBusy) return FCurBits;
  if (FOutBitsPerSample != 0) return FOutBitsPerSample;
  return FInput ? FInput->BitsPerSample() : 0;
}

int32_t TACMConverter::GetChannels() {
  if (FBusy) return FCurChannels;
  if (FOutChannels != 0) return FOutChannels;
  return FInput ? FInput->Channels() : 0;
}

int32_t TACMConverter::GetSampleRate() {
  if (FBusy) return FCurRate;
  if (FOutSampleRate != 0) return FOutSampleRate;
  return FInput ? FInput->SampleRate() : 0;
}

void TACMConverter::ReleaseStream() {
  if (FStream) {
    if (FHeaderPrepared) acmStreamUnprepareHeader(FStream, FHeader, 0);
    acmStreamClose(FStream, 0);
  }
  FHeaderPrepared = false;
  FHeader = ACMSTREAMHEADER{};
  std::vector<uint8_t>().swap(FInBuffer);
  std::vector<uint8_t>().swap(FOutBuffer);
  FOutPos = 0;
  FOutAvail = 0;
}

void TACMConverter::BeginRead() {
  if (!FInput) throw EAuException("Input not assigned");
  RefuseSourceRate("convert", FInput->SampleRate());
  FInput->Init();
  try {
    FCurBits = GetBitsPerSample();
    FCurChannels = GetChannels();
    FCurRate = GetSampleRate();
    FBusy = true;
    FPosition = 0;
    FInChannels = FInput->Channels();
    FInBits = FInput->BitsPerSample();
    FInRate = FInput->SampleRate();
    const int64_t inFrame = int64_t{FInChannels} * (FInBits / 8);
    const int64_t outFrame = int64_t{FCurChannels} * (FCurBits / 8);
    FFrameSize = static_cast<uint16_t>(std::clamp<int64_t>(outFrame, 0, 0xFFFF));
    FInputEnded = false;
    FHeaderPrepared = false;
    FHeader = ACMSTREAMHEADER{};
    FOutPos = 0;
    FOutAvail = 0;

    FPassThrough = FCurBits == FInBits && FCurChannels == FInChannels && FCurRate == FInRate;
    if (FPassThrough) {
      FSize = FInput->Size();
      return;
    }
    const std::string refusal = PcmConversionRefusal(FInBits, FInChannels, FInRate, FCurBits, FCurChannels, FCurRate);
    if (!refusal.empty()) throw EAuException(refusal);
    // Raising the rate or widening the samples multiplies the bytes: the chunk is cut so
    // that what it converts into stays about InBufferSize bytes.
    const double growth =
        std::max(1.0, static_cast<double>(FCurRate) * outFrame / (static_cast<double>(FInRate) * inFrame));
    FChunkSize = static_cast<uint32_t>(
        std::max<int64_t>(inFrame, static_cast<int64_t>(FInBufferSize / growth) / inFrame * inFrame));

    auto pcm = [](int32_t Channels, int32_t Rate, int32_t Bits) {
      WAVEFORMATEX f;
      f.wFormatTag = WAVE_FORMAT_PCM;
      f.nChannels = static_cast<uint16_t>(std::clamp(Channels, 0, 0xFFFF));
      f.nSamplesPerSec = static_cast<uint32_t>(std::max(Rate, 0));
      f.wBitsPerSample = static_cast<uint16_t>(std::clamp(Bits, 0, 0xFFFF));
      f.nBlockAlign = static_cast<uint16_t>(f.nChannels * (f.wBitsPerSample / 8));
      f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
      return f;
    };
    const WAVEFORMATEX src = pcm(FInChannels, FInRate, FInBits);
    const WAVEFORMATEX dst = pcm(FCurChannels, FCurRate, FCurBits);
    MMRESULT r = acmStreamOpen(FStream, src, dst, ACM_STREAMOPENF_NONREALTIME);
    if (r == MMSYSERR_NOERROR) r = acmStreamSize(FStream, FChunkSize, FOutBufferSize, ACM_STREAMSIZEF_SOURCE);
    if (r != MMSYSERR_NOERROR)
      throw EAuException("Cannot convert " + std::to_string(FInRate) + " Hz " + std::to_string(FInBits) +
                         "-bit audio in " + ChannelsText(FInChannels) + " to " + std::to_string(FCurRate) + " Hz " +
                         std::to_string(FCurBits) + "-bit audio in " + ChannelsText(FCurChannels) +
                         ": the converter failed (error " + std::to_string(r) + ").");

    // The stream yields round(frames * out rate / in rate) whole frames; an unknown
    // input size stays unknown.
    const int64_t inSize = FInput->Size();
    FSize = inSize < 0 ? -1 : ScaleRounded(inSize / inFrame, FCurRate, FInRate) * outFrame;

    FInBuffer.assign(FChunkSize, 0);
    FOutBuffer.assign(FOutBufferSize, 0);
  } catch (...) {
    ReleaseStream();
    FBusy = false;
    FlushQuietly(FInput);
    throw;
  }
}

void TACMConverter::EndRead() {
  if (!FBusy) return;
  ReleaseStream();
  FBusy = false;
  if (FInput) FInput->Flush();
}

void TACMConverter::Refill() {
  uint32_t left = 0;
  if (FHeaderPrepared) {
    const uint32_t used = std::min(FHeader.cbSrcLengthUsed, FHeader.cbSrcLength);
    left = FHeader.cbSrcLength - used;
    if (left > 0 && used > 0) std::memmove(FInBuffer.data(), FInBuffer.data() + used, left);
    acmStreamUnprepareHeader(FStream, FHeader, 0);
    FHeaderPrepared = false;
  }
  FOutPos = 0;
  FOutAvail = 0;
  if (FInputEnded && left == 0) return;
  uint32_t got = 0;
  if (!FInputEnded) {
    bool eof = false;
    got = FInput ? FInput->FillBuffer(FInBuffer.data() + left, FChunkSize - left, eof) : 0;
    FInputEnded = eof || !FInput;
  }
  FHeader = ACMSTREAMHEADER{};
  FHeader.pbSrc = FInBuffer.data();
  FHeader.cbSrcLength = left + got;
  FHeader.pbDst = FOutBuffer.data();
  FHeader.cbDstLength = FOutBufferSize;
  MMRESULT r = acmStreamPrepareHeader(FStream, FHeader, 0);
  if (r == MMSYSERR_NOERROR) {
    FHeaderPrepared = true;
    // Block alignment while the input goes on; the last conversion flushes the tail.
    r = acmStreamConvert(FStream, FHeader, FInputEnded ? 0 : ACM_STREAMCONVERTF_BLOCKALIGN);
  }
  if (r != MMSYSERR_NOERROR) throw EAuException("Audio conversion failed (error " + std::to_string(r) + ")");
  FOutAvail = std::min(FHeader.cbDstLengthUsed, FOutBufferSize);
  // A last conversion that neither takes nor gives anything would be passed again
  // for ever.
  if (FInputEnded && FOutAvail == 0 && FHeader.cbSrcLengthUsed < FHeader.cbSrcLength)
    FHeader.cbSrcLengthUsed = FHeader.cbSrcLength;
}

void TACMConverter::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  if (FPassThrough) {
    if (FInput) {
      FInput->ReadData(Buffer, Bytes);
    } else {
      Buffer = nullptr;
      Bytes = 0;
    }
    return;
  }
  while (FOutPos >= FOutAvail) {
    const bool more = !FInputEnded || (FHeaderPrepared && FHeader.cbSrcLengthUsed < FHeader.cbSrcLength);
    if (!more) break;
    Refill();
  }
  if (FOutPos >= FOutAvail) {
    // Only the final shortfall is padded, so that exactly Size bytes come out.
    const int64_t size = FSize;
    if (size < 0 || FPosition >= size) {
      Buffer = nullptr;
      Bytes = 0;
      return;
    }
    FOutAvail = static_cast<uint32_t>(std::min<int64_t>(size - FPosition, FOutBufferSize));
    std::memset(FOutBuffer.data(), FCurBits == 8 ? 0x80 : 0, FOutAvail);
    FOutPos = 0;
  }
  Bytes = std::min(Bytes, FOutAvail - FOutPos);
  Buffer = FOutBuffer.data() + FOutPos;
  FOutPos += Bytes;
}

// ===========================================================================
// TNormalizer

TNormalizer::TNormalizer(TComponent* AOwner) : TAuConverter(AOwner) {}

// A normaliser freed in the middle of a run still releases its file.
TNormalizer::~TNormalizer() { ReleaseStore(); }

void TNormalizer::SetStoreMode(TNormalizerStoreMode Value) {
  if (!FBusy) FStoreMode = Value;
}

void TNormalizer::ReleaseStore() {
  FStore.reset();
  std::vector<uint8_t>().swap(FReadBuffer);
  std::vector<uint8_t>().swap(FTable8);
  std::vector<int16_t>().swap(FTable16);
  FBufStart = 0;
  FBufEnd = 0;
}

void TNormalizer::CreateStoreFile() {
  const std::string name = FTmpFileName.empty() ? std::string("norm.tmp") : FTmpFileName;
  std::string dir;
  if (name[0] == '/') {
    dir = ExtractFilePath(name);
  } else {
    dir = AppDataFolder();
    if (dir.empty()) dir = GetTempDirectory();
    dir += ExtractFilePath(name);
  }
  // A file without a name, of this run alone, gone with its descriptor whatever
  // happens to the process.
  FStore = CreateTempStream(dir);
}

void TNormalizer::BeginRead() {
  if (!FInput) throw EAuException("Input not assigned");
  RefuseSourceRate("normalize", FInput->SampleRate());
  FBusy = true;
  try {
    FInput->Init();
  } catch (...) {
    FBusy = false;
    throw;
  }
  try {
    FPosition = 0;
    FSize = FInput->Size();
    FFrameSize = FInput->FrameSize();
    FActive = FEnabled;
    FRunStoreMode = FStoreMode;
    FStopped = false;
    FGain = 1.0;
    FStoreLeft = 0;
    FBufStart = 0;
    FBufEnd = 0;
    if (!FActive) return;
    const int32_t bits = FInput->BitsPerSample();
    const std::string refusal = BitsRefusal("normalize", bits, bits);
    if (!refusal.empty()) throw EAuException(refusal);
    FSampleBytes = bits / 8;
    if (FFrameSize == 0) FFrameSize = static_cast<uint16_t>(FSampleBytes * std::max(FInput->Channels(), 1));
    FInFirstPass = true;
    FirstPass();
    FInFirstPass = false;
  } catch (...) {
    FInFirstPass = false;
    ReleaseStore();
    FActive = false;
    FBusy = false;
    FlushQuietly(FInput);
    throw;
  }
}

void TNormalizer::FirstPass() {
  if (FRunStoreMode == nsmFile)
    CreateStoreFile();
  else if (FRunStoreMode == nsmMemory)
    FStore = std::make_unique<TMemoryStream>();
  FReadBuffer.assign(static_cast<size_t>(FSampleBytes) * NormBlockSamples, 0);
  const uint32_t room = static_cast<uint32_t>(FReadBuffer.size());
  int64_t peak = 0;
  for (;;) {
    // The whole input is decoded here, inside the output's Prepare: answer Pause and
    // Stop between blocks.
    if (AuWorkerCheckPoint()) {
      FStopped = true;
      return;
    }
    bool eof = false;
    const uint32_t n = FInput->FillBuffer(FReadBuffer.data(), room, eof);
    if (n > 0) {
      ScanPeak(FReadBuffer.data(), n, peak);
      if (FStore) FStore->WriteBuffer(FReadBuffer.data(), n);
    }
    if (eof || n == 0) break;
  }
  const double fullScale = std::ldexp(1.0, FSampleBytes * 8 - 1);
  // A peak already at full scale, the largest positive value included, keeps gain 1:
  // a gain of 2^(n-1) / (2^(n-1) - 1) would move most samples of such a source by a step.
  FGain = peak == 0 || peak >= static_cast<int64_t>(fullScale) - 1 ? 1.0 : fullScale / static_cast<double>(peak);
  if (FRunStoreMode == nsmNone) {
    FInput->Flush();
    FInput->Init();
  } else {
    FStore->Seek(0, soBeginning);
    FStoreLeft = FStore->Size();
    // An input that could not tell its length has told it now.
    if (FSize < 0) FSize = FStoreLeft;
  }
  PrepareScale();
}

void TNormalizer::ScanPeak(const uint8_t* Data, uint32_t Bytes, int64_t& Peak) const {
  const uint32_t count = Bytes / FSampleBytes;
  int64_t lo = 0, hi = 0;
  switch (FSampleBytes) {
    case 1: {
      int32_t l = 0, h = 0;
      for (uint32_t i = 0; i < count; ++i) {
        const int32_t v = int32_t{Data[i]} - 128;
        l = std::min(l, v);
        h = std::max(h, v);
      }
      lo = l;
      hi = h;
      break;
    }
    case 2: {
      int32_t l = 0, h = 0;
      for (uint32_t i = 0; i < count; ++i) {
        int16_t v;
        std::memcpy(&v, Data + 2 * i, 2);
        l = std::min<int32_t>(l, v);
        h = std::max<int32_t>(h, v);
      }
      lo = l;
      hi = h;
      break;
    }
    case 3: {
      int32_t l = 0, h = 0;
      for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = Data + 3 * i;
        const int32_t v = SignExtend24(GetLE24(p));
        l = std::min(l, v);
        h = std::max(h, v);
      }
      lo = l;
      hi = h;
      break;
    }
    default: {
      int32_t l = 0, h = 0;
      for (uint32_t i = 0; i < count; ++i) {
        int32_t v;
        std::memcpy(&v, Data + 4 * i, 4);
        l = std::min(l, v);
        h = std::max(h, v);
      }
      lo = l;
      hi = h;
      break;
    }
  }
  Peak = std::max({Peak, hi, -lo});
}

void TNormalizer::PrepareScale() {
  const double gain = FGain;
  auto scaled = [gain](int64_t V, int64_t Lo, int64_t Hi) {
    const double x = std::nearbyint(static_cast<double>(V) * gain);  // halves to even
    return static_cast<int64_t>(std::clamp(x, static_cast<double>(Lo), static_cast<double>(Hi)));
  };
  if (FSampleBytes == 1) {
    FTable8.resize(256);
    for (int v = 0; v < 256; ++v) FTable8[v] = static_cast<uint8_t>(scaled(v - 128, -128, 127) + 128);
  } else if (FSampleBytes == 2) {
    FTable16.resize(65536);
    for (int v = -32768; v < 32768; ++v) FTable16[v + 32768] = static_cast<int16_t>(scaled(v, -32768, 32767));
  }
}

void TNormalizer::Scale(uint8_t* Data, uint32_t Bytes) const {
  if (FGain == 1.0) return;
  const uint32_t count = Bytes / FSampleBytes;
  switch (FSampleBytes) {
    case 1:
      for (uint32_t i = 0; i < count; ++i) Data[i] = FTable8[Data[i]];
      break;
    case 2:
      for (uint32_t i = 0; i < count; ++i) {
        uint16_t v;
        std::memcpy(&v, Data + 2 * i, 2);
        const int16_t s = FTable16[static_cast<uint16_t>(v + 32768u)];
        std::memcpy(Data + 2 * i, &s, 2);
      }
      break;
    case 3:
      for (uint32_t i = 0; i < count; ++i) {
        uint8_t* p = Data + 3 * i;
        const int32_t v = SignExtend24(GetLE24(p));
        const double x = std::clamp(std::nearbyint(v * FGain), -8388608.0, 8388607.0);
        PutLE24(p, static_cast<uint32_t>(static_cast<int32_t>(x)));
      }
      break;
    default:
      for (uint32_t i = 0; i < count; ++i) {
        int32_t v;
        std::memcpy(&v, Data + 4 * i, 4);
        const double x = std::clamp(std::nearbyint(v * FGain), -2147483648.0, 2147483647.0);
        const auto s = static_cast<int32_t>(x);
        std::memcpy(Data + 4 * i, &s, 4);
      }
      break;
  }
}

void TNormalizer::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  if (!FActive) {
    if (FInput) {
      FInput->ReadData(Buffer, Bytes);
    } else {
      Buffer = nullptr;
      Bytes = 0;
    }
    return;
  }
  if (FBufStart >= FBufEnd) {
    FBufStart = 0;
    FBufEnd = 0;
    // A stopped first pass delivers nothing.
    if (FStopped) {
      Buffer = nullptr;
      Bytes = 0;
      return;
    }
    uint32_t n = 0;
    if (FRunStoreMode == nsmNone) {
      bool eof = false;
      n = FInput ? FInput->FillBuffer(FReadBuffer.data(), static_cast<uint32_t>(FReadBuffer.size()), eof) : 0;
    } else {
      n = static_cast<uint32_t>(std::min<int64_t>(FStoreLeft, static_cast<int64_t>(FReadBuffer.size())));
      if (n > 0) FStore->ReadBuffer(FReadBuffer.data(), n);
      FStoreLeft -= n;
    }
    if (n == 0) {
      Buffer = nullptr;
      Bytes = 0;
      return;
    }
    Scale(FReadBuffer.data(), n);
    FBufEnd = static_cast<int32_t>(n);
  }
  Bytes = std::min(Bytes, static_cast<uint32_t>(FBufEnd - FBufStart));
  Buffer = FReadBuffer.data() + FBufStart;
  FBufStart += static_cast<int32_t>(Bytes);
}

void TNormalizer::EndRead() {
  // Also the end of a run that failed to start; a second call finds nothing to do.
  if (!FBusy) return;
  ReleaseStore();
  FActive = false;
  FStopped = false;
  FBusy = false;
  if (FInput) FInput->Flush();
}
