#include "audio/codecs/wavpack/TSL_WavPack.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "audio/core/TSL_Procs.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"

namespace {

// A float sample (full scale +/-1.0) as an integer of Width bytes.
int32_t FloatToWidth(float F, int32_t Width) {
  const double x = F == F ? double(F) : 0.0;  // NaN is silence
  switch (Width) {
    case 1: return x >= 1.0 ? 127 : x < -1.0 ? -128 : int32_t(std::clamp<int64_t>(Round(x * 128), -128, 127));
    case 2: return x >= 1.0 ? 32767 : x < -1.0 ? -32768 : int32_t(Round(x * 32767));
    case 3: return x >= 1.0 ? 0x7FFFFF : x < -1.0 ? -0x800000 : int32_t(Round(x * 2147483647.0)) >> 8;
    default: return x >= 1.0 ? INT32_MAX : x < -1.0 ? INT32_MIN : int32_t(Round(x * 2147483647.0));
  }
}

void RequireLibrary() {
  if (!LoadWavpackLibrary()) throw EAuException(WavpackLibrary().FileName() + " library could not be loaded");
}

constexpr int LevelFlags[] = {CONFIG_FAST_FLAG, CONFIG_HIGH_FLAG, CONFIG_VERY_HIGH_FLAG};

// Every block starts with a 32-byte header and holds at most 131072 sample frames
// (the library makes none larger).
constexpr int64_t BlockHeaderBytes = 32;
constexpr int64_t MaxBlockSamples = 131072;

}  // namespace

// ===========================================================================
// TWVOut

TWVOut::TWVOut(TComponent* AOwner) : TAuTaggedFileOut(AOwner) {}

TWVOut::~TWVOut() {
  // Normally stopped by BeforeDestruction already; a run must not outlive the encoder.
  if (FBusy) Stop(false);
  FEncoder.reset();
  ReleaseStreams();
}

void TWVOut::ReleaseStreams() {
  ReleaseStream();
  if (FOwnCorrectionStream) {
    FCorrectionStream = nullptr;
    FOwnCorrectionStream.reset();
  }
}

// The library's range: up to 4096 channels and every positive rate, which its own tools read.
std::string TWVOut::FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const {
  static const TAuFormatLimits limits{"A", "WavPack", WAVPACK_MAX_CHANS, AuBitsAll, 1, INT32_MAX};
  return FormatRefusalText(limits, Bits, Channels, Rate);
}

void TWVOut::Prepare() {
  FEncoderReady = false;
  RequireLibrary();
  RefuseInputFormat();
  if (!FStreamAssigned) {
    if (FFileName.empty()) throw EAuException("File name is not assigned");
    CreateOwnStream();
    if (FHybridMode && !FCorrectionStreamAssigned) {
      FOwnCorrectionStream = CreateRunFile(ChangeFileExt(FFileName, ".wvc"));
      FCorrectionStream = FOwnCorrectionStream.get();
    }
  }
  StartInput();
  const int32_t bits = FInput->BitsPerSample();
  FChannels = FInput->Channels();
  FBytesPerSample = (bits + 7) / 8;
  TStream* correction = FHybridMode ? FCorrectionStream : nullptr;
  FEncoder = std::make_unique<TWavpackEncoder>(FStream, correction);

  WavpackConfig& c = FEncoder->Config();
  c.bits_per_sample = bits;
  c.num_channels = FChannels;
  c.sample_rate = FInput->SampleRate();
  int flags = LevelFlags[std::min<int>(FCompressionLevel, wvclVeryHigh)];
  // Joint stereo when asked for; otherwise the library chooses, and it takes joint
  // stereo unless told not to.
  if (FJointStereo) flags |= CONFIG_JOINT_OVERRIDE | CONFIG_JOINT_STEREO;
  if (FHybridMode) {
    flags |= CONFIG_HYBRID_FLAG | CONFIG_BITRATE_KBPS;
    // Without a correction stream the hybrid file stands alone (lossy).
    if (correction) flags |= CONFIG_CREATE_WVC | CONFIG_OPTIMIZE_WVC;
    c.bitrate = FBitrate;
  }
  c.flags = flags;
  c.bytes_per_sample = FBytesPerSample;
  // The input tells no speaker layout: take the first positions in WAV order (mono is the
  // centre), as WavPack's own tools do; without a mask other decoders refuse over two channels.
  c.channel_mask = FChannels == 1 ? 4 : FChannels <= 18 ? (1 << FChannels) - 1 : 0x3FFFF;

  const int64_t size = FInput->Size();
  const int64_t frame = int64_t(FChannels) * FBytesPerSample;
  FDeclaredSamples = size >= 0 ? size / frame : -1;
  if (!FEncoder->Init(FDeclaredSamples))
    throw EAuException("Wavpack file Init failed! (error: \"" + FEncoder->ErrorMessage() + "\")");
  FBufferCount = 0;
  FFlushed = false;
  FEncoderReady = true;
}

bool TWVOut::WriteBlock(bool Abort) {
  if (Abort) return false;
  const uint32_t frame = uint32_t(FChannels) * uint32_t(FBytesPerSample);
  void* data = nullptr;
  uint32_t n = 1024 * frame;
  FInput->ReadData(data, n);
  if (n == 0 || !data) {
    // The end of the data: the last block is written here, where a failure can still
    // be reported.
    if (!PackBuffered()) RaiseWriteError();
    FFlushed = true;
    if (!FEncoder->FlushSamples()) RaiseWriteError();
    return false;
  }
  if (FBuffer.size() < FBufferCount + n) FBuffer.resize(std::max<size_t>(FBufferCount + n, PackFrames * frame + n));
  std::memcpy(FBuffer.data() + FBufferCount, data, n);
  FBufferCount += n;
  // The library is handed large batches: it is much slower on small ones. It cuts
  // blocks of its own size and writes each one when it is full.
  if (FBufferCount / frame >= PackFrames && !PackBuffered()) RaiseWriteError();
  return true;
}

bool TWVOut::PackBuffered() {
  const uint32_t frame = uint32_t(FChannels) * uint32_t(FBytesPerSample);
  const uint32_t frames = FBufferCount / frame;
  if (frames == 0) return true;
  const uint32_t count = frames * uint32_t(FChannels);
  if (FSamples.size() < count) FSamples.resize(count);
  int32_t* s = FSamples.data();
  UnpackPCM(FBuffer.data(), FBytesPerSample, s, count);
  // The bytes of an incomplete frame stay for the next read.
  const uint32_t used = frames * frame;
  FBufferCount -= used;
  if (FBufferCount > 0) std::memmove(FBuffer.data(), FBuffer.data() + used, FBufferCount);
  return FEncoder->PackSamples(s, frames);
}

// A failed write must end the run with an error, not as a finished file; one the
// file refused says which file and why.
void TWVOut::RaiseWriteError() {
  const std::string error = FEncoder->WriteError();
  if (!error.empty()) throw EAuException(error);
  throw EAuException("Wavpack file write failed! (error: \"" + FEncoder->ErrorMessage() + "\")");
}

void TWVOut::Finish() {
  // Everything is released whatever fails; the first failure is raised at the end, so
  // a file that could not be completed is not reported as done.
  std::exception_ptr error;
  if (FEncoder && FEncoderReady) {
    try {
      // A stopped run keeps what was read.
      if (!FFlushed) {
        FFlushed = true;
        if (!PackBuffered() || !FEncoder->FlushSamples()) RaiseWriteError();
      }
      // The header's sample count was a guess when the input's size was unknown or
      // estimated; put the real one there.
      if ((FDeclaredSamples < 0 || FDeclaredSamples != FEncoder->SampleIndex()) && !FEncoder->UpdateNumSamples())
        RaiseWriteError();
      if (!FAPEv2Tags->Empty()) {
        bool ok = true;
        for (int32_t i = 0; i < FAPEv2Tags->Count(); ++i) {
          const std::string key = FAPEv2Tags->Keys(i);
          // Text items, and numbers as their decimal text.
          const std::string value = FAPEv2Tags->AsString(key);
          if (!value.empty()) ok = FEncoder->AppendTag(key, value) && ok;
        }
        if (!FEncoder->WriteTag() || !ok) RaiseWriteError();
      }
    } catch (...) {
      error = std::current_exception();
    }
  }
  FEncoder.reset();
  FEncoderReady = false;
  FBuffer = {};
  FSamples = {};
  FBufferCount = 0;
  try {
    FlushInput();
  } catch (...) {
    if (!error) error = std::current_exception();
  }
  ReleaseStreams();
  if (error) std::rethrow_exception(error);
}

// ===========================================================================
// TWVIn

TWVIn::TWVIn(TComponent* AOwner) : TAuTaggedFileIn(AOwner) {}

TWVIn::~TWVIn() { FDecoder.reset(); }

void TWVIn::SetCorrectionStream(TStream* Value) {
  if (FBusy) throw EAuException("The component is Busy");
  CloseFile();
  FCorrectionStream = Value;
  FCorrectionStreamAssigned = Value != nullptr;
}

void TWVIn::DoOpenFile() {
  RequireLibrary();
  FValid = false;
  if (!FStreamAssigned) {
    if (FFileName.empty()) throw EAuException("File name is not assigned");
    OpenOwnStream();
  }
  if (!FCorrectionStreamAssigned && !FFileName.empty()) {
    try {
      FOwnCorrectionStream = std::make_unique<TAuFileStream>(ChangeFileExt(FFileName, ".wvc"),
                                                             fmOpenRead | fmShareDenyWrite);
      FCorrectionStream = FOwnCorrectionStream.get();
    } catch (...) {
      // No correction file: not an error.
    }
  }
  try {
    // Floating-point data is scaled to +/-1.0 whatever exponent the file was made with.
    const int flags = (FCorrectionStream ? OPEN_WVC : 0) | OPEN_TAGS | OPEN_NORMALIZE;
    FDecoder = std::make_unique<TWavpackDecoder>(FStream, FCorrectionStream, flags);
    FValid = true;
    FSeekable = true;
    FMode = FDecoder->Mode();
    FChannels = FDecoder->NumChannels();
    FSampleRate = FDecoder->SampleRate();
    // Samples come in whole bytes; a 12- or 20-bit file is delivered as 16 or 24 bits.
    FBytesPerSample = (FDecoder->BitsPerSample() + 7) / 8;
    FBitsPerSample = FBytesPerSample * 8;
    // The library skips a first block it finds damaged while it opens the file, and
    // counts it: the audio it then gives starts after the damage.
    FDamagedAtOpen = FDecoder->NumErrors() > 0;
    // The header's length tells a file cut short even when it is not believed as the
    // length to show.
    FFileSamples = FDecoder->NumSamples();
    const int64_t total = BelievedLength(FFileSamples, FStream->Size(), BlockHeaderBytes, MaxBlockSamples);
    FSize = total < 0 ? -1 : total * FBytesPerSample * FChannels;
    FPosition = 0;
    ReadTags();
  } catch (...) {
    // Nothing stays open after a failed opening, whoever calls it.
    FValid = false;
    FDecoder.reset();
    ReleaseCorrectionStream();
    ReleaseStream();
    throw;
  }
}

void TWVIn::ReadTags() {
  FId3v1Tags->Clear();
  FAPEv2Tags->Clear();
  if (!(FMode & MODE_VALID_TAG)) return;
  if (FMode & MODE_APETAG) {
    for (int32_t i = 0; i < FAPEv2Tags->Count(); ++i) {
      const std::string key = FAPEv2Tags->Keys(i);
      const std::string v = FDecoder->GetTagItem(key);
      if (!v.empty()) FAPEv2Tags->SetValue(key, TTagValue(UTF8ToUTF16(v)));
    }
  } else {
    // An ID3v1 block holds Latin-1.
    for (int32_t i = 0; i < FId3v1Tags->Count(); ++i) {
      const std::string key = FId3v1Tags->Keys(i);
      const std::string v = FDecoder->GetTagItem(key);
      if (!v.empty()) FId3v1Tags->SetValue(key, TTagValue(Latin1ToUTF8(v)));
    }
  }
}

void TWVIn::ReleaseCorrectionStream() {
  if (!FCorrectionStreamAssigned) {
    FCorrectionStream = nullptr;
    FOwnCorrectionStream.reset();
  } else if (FCorrectionStream) {
    try {
      FCorrectionStream->Seek(0, soBeginning);
    } catch (...) {
    }
  }
}

void TWVIn::DoCloseFile() {
  FDecoder.reset();
  ReleaseCorrectionStream();
  FBuffer = {};
}

void TWVIn::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  if (!FBusy || !FDecoder) throw EAuException("The Stream is not opened");
  const uint32_t frame = uint32_t(FChannels) * uint32_t(FBytesPerSample);
  int64_t wanted = Bytes;
  const int64_t size = FSize;
  if (size >= 0) wanted = std::min<int64_t>(wanted, size - FPosition);
  const uint32_t frames = wanted > 0 && frame > 0 ? uint32_t(wanted / frame) : 0;
  if (frames == 0) {
    Buffer = nullptr;
    Bytes = 0;
    return;
  }
  const size_t count = size_t(frames) * size_t(FChannels);
  if (FBuffer.size() < count) FBuffer.resize(count);
  if (FDamagedAtOpen) SetDamage(DecodingErrorMessage("WavPack", FFileName, 0, "a block is damaged"));
  RaiseDamage();
  const int64_t at = FDecoder->SampleIndex();
  const int errors = FDecoder->NumErrors();
  uint32_t got = FDecoder->UnpackSamples(FBuffer.data(), frames);
  if (FDecoder->NumErrors() != errors) {
    // A damaged block unpacks as silence: only the frames before it are audio.
    got = FramesBeforeDamage(at, got);
    SetDamage(DecodingErrorMessage("WavPack", FFileName, at + got, "a block is damaged"));
  } else if (got == 0 && FFileSamples >= 0 && at < FFileSamples) {
    SetDamage(DecodingErrorMessage("WavPack", FFileName, at, "the file ends early"));
  }
  if (got == 0) {
    RaiseDamage();
    Buffer = nullptr;
    Bytes = 0;
    return;
  }
  const size_t n = size_t(got) * size_t(FChannels);
  int32_t* in = FBuffer.data();
  if (FMode & MODE_FLOAT) {
    for (size_t k = 0; k < n; ++k) {
      float f;
      std::memcpy(&f, &in[k], 4);
      in[k] = FloatToWidth(f, FBytesPerSample);
    }
  }
  // Packed in place: sample k lands at byte k * width, never past its source.
  auto* out = reinterpret_cast<uint8_t*>(in);
  PackPCM(in, FBytesPerSample, out, n);
  Buffer = out;
  Bytes = got * frame;
}

bool TWVIn::SeekRaw(int64_t& SampleNum) { return FDecoder && FDecoder->SeekSample(SampleNum); }

uint32_t TWVIn::FramesBeforeDamage(int64_t From, uint32_t Count) {
  // The library finds a damaged block when it starts to unpack it: unpacking the same
  // frames again one at a time shows where that is.
  std::vector<int32_t> one(static_cast<size_t>(FChannels));
  if (!FDecoder->SeekSample(From)) return 0;
  const int before = FDecoder->NumErrors();
  for (uint32_t i = 0; i < Count; ++i) {
    if (FDecoder->UnpackSamples(one.data(), 1) != 1 || FDecoder->NumErrors() != before) return i;
  }
  return 0;
}
