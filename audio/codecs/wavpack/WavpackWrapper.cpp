#include "audio/codecs/wavpack/WavpackWrapper.h"

#include <cstdio>
#include <cstring>

namespace {

TCodecLibrary WavpackLib("libwavpack.so.1");

// The entry points the wrapper calls.
#define WAVPACK_ENTRIES(X)     \
  X(WavpackOpenFileInputEx64)  \
  X(WavpackGetMode)            \
  X(WavpackGetNumChannels)     \
  X(WavpackGetSampleRate)      \
  X(WavpackGetBitsPerSample)   \
  X(WavpackGetBytesPerSample)  \
  X(WavpackGetNumSamples64)    \
  X(WavpackGetTagItem)         \
  X(WavpackUnpackSamples)      \
  X(WavpackSeekSample64)       \
  X(WavpackCloseFile)          \
  X(WavpackOpenFileOutput)     \
  X(WavpackSetConfiguration64) \
  X(WavpackPackInit)           \
  X(WavpackPackSamples)        \
  X(WavpackFlushSamples)       \
  X(WavpackGetSampleIndex64)   \
  X(WavpackUpdateNumSamples)   \
  X(WavpackAppendTagItem)      \
  X(WavpackWriteTag)           \
  X(WavpackGetErrorMessage)    \
  X(WavpackGetNumErrors)

namespace wv {
WAVPACK_ENTRIES(CODEC_ENTRY_POINTER)
void BindAll(TCodecLibrary& Lib) { WAVPACK_ENTRIES(CODEC_BIND_ENTRY) }
}  // namespace wv

// Each entry point is checked before it is called.
#define WV(Name) CheckedEntry<EWavpackException>(WavpackLib, "WavPack", wv::Wavpack##Name, "Wavpack" #Name)

// Stream callbacks: the identifier is the TStream. They never let an exception into
// the library.
TStream* StreamOf(void* Id) { return static_cast<TStream*>(Id); }

int32_t ReadBytes(void* Id, void* Data, int32_t Count) {
  if (!Id || Count <= 0) return 0;
  try {
    return static_cast<int32_t>(StreamOf(Id)->Read(Data, Count));
  } catch (...) {
    return 0;
  }
}

int32_t WriteBytes(void* Id, void* Data, int32_t Count) {
  if (!Id || Count < 0) return 0;
  try {
    return static_cast<int32_t>(StreamOf(Id)->Write(Data, Count));
  } catch (...) {
    return 0;
  }
}

int64_t GetPos(void* Id) {
  if (!Id) return -1;
  try {
    return StreamOf(Id)->Position();
  } catch (...) {
    return -1;
  }
}

int SetPosAbs(void* Id, int64_t Pos) {
  if (!Id || Pos < 0) return -1;
  try {
    StreamOf(Id)->Seek(Pos, soBeginning);
    return 0;
  } catch (...) {
    return -1;
  }
}

int SetPosRel(void* Id, int64_t Delta, int Mode) {
  if (!Id) return -1;
  const TSeekOrigin origin = Mode == SEEK_SET ? soBeginning : Mode == SEEK_END ? soEnd : soCurrent;
  try {
    TStream* s = StreamOf(Id);
    const int64_t base = origin == soBeginning ? 0 : origin == soEnd ? s->Size() : s->Position();
    if (base + Delta < 0) return -1;
    s->Seek(Delta, origin);
    return 0;
  } catch (...) {
    return -1;
  }
}

int PushBackByte(void* Id, int C) {
  if (!Id) return EOF;
  try {
    TStream* s = StreamOf(Id);
    if (s->Position() <= 0) return EOF;
    s->Seek(-1, soCurrent);
    return C;
  } catch (...) {
    return EOF;
  }
}

int64_t GetLength(void* Id) {
  if (!Id) return 0;
  try {
    return StreamOf(Id)->Size();
  } catch (...) {
    return 0;
  }
}

// Probed by going to the end and back.
int CanSeek(void* Id) {
  if (!Id) return 0;
  try {
    TStream* s = StreamOf(Id);
    const int64_t at = s->Position();
    s->Seek(0, soEnd);
    s->Seek(at, soBeginning);
    return 1;
  } catch (...) {
    return 0;
  }
}

int TruncateHere(void* Id) {
  if (!Id) return -1;
  try {
    TStream* s = StreamOf(Id);
    s->SetSize(s->Position());
    return 0;
  } catch (...) {
    return -1;
  }
}

// The streams belong to the caller.
int CloseStream(void*) { return 0; }

WavpackStreamReader64 Reader = {ReadBytes, WriteBytes, GetPos,  SetPosAbs,    SetPosRel,
                                 PushBackByte, GetLength, CanSeek, TruncateHere, CloseStream};

// The encoder's block output; the identifier is the encoder's slot of that stream.
int BlockOut(void* Id, void* Data, int32_t Count) {
  auto* slot = static_cast<TWavpackEncoder::TSlot*>(Id);
  if (!slot || !slot->Stream || Count < 0) return 0;
  return slot->Write([&] {
    if (slot->FirstBlockAt < 0) {
      slot->FirstBlockAt = slot->Stream->Position();
      slot->FirstBlock.assign(static_cast<uint8_t*>(Data), static_cast<uint8_t*>(Data) + Count);
    }
    // A stream that stores only part of a block is asked again for the rest.
    const auto* p = static_cast<const uint8_t*>(Data);
    for (int64_t left = Count; left > 0;) {
      const int64_t n = slot->Stream->Write(p, left);
      if (n <= 0) return false;
      p += n;
      left -= n;
    }
    return true;
  }) ? 1 : 0;
}

}  // namespace

TCodecLibrary& WavpackLibrary() { return WavpackLib; }

bool LoadWavpackLibrary() { return WavpackLib.Load(wv::BindAll); }

// ---------------------------------------------------------------------------
// TWavpackDecoder

TWavpackDecoder::TWavpackDecoder(TStream* AStream, TStream* ACorrectionStream, int Flags)
    : FStream(AStream), FCorrectionStream(ACorrectionStream) {
  if (!AStream) throw EWavpackException("AStream is nil!");
  char error[128] = {};  // the library writes at most 80 characters
  FContext = WV(OpenFileInputEx64)(&Reader, FStream, FCorrectionStream, error, Flags, 0);
  if (!FContext) throw EWavpackException(std::string("Unable to open WavPack-stream! Error: \"") + error + "\"");
}

TWavpackDecoder::~TWavpackDecoder() {
  if (FContext && wv::WavpackCloseFile) wv::WavpackCloseFile(FContext);
}

int TWavpackDecoder::Mode() { return WV(GetMode)(FContext); }
int TWavpackDecoder::NumChannels() { return WV(GetNumChannels)(FContext); }
int32_t TWavpackDecoder::SampleRate() { return static_cast<int32_t>(WV(GetSampleRate)(FContext)); }
int TWavpackDecoder::BitsPerSample() { return WV(GetBitsPerSample)(FContext); }
int TWavpackDecoder::BytesPerSample() { return WV(GetBytesPerSample)(FContext); }
int64_t TWavpackDecoder::NumSamples() { return WV(GetNumSamples64)(FContext); }

std::string TWavpackDecoder::GetTagItem(const std::string& Name) {
  auto get = WV(GetTagItem);
  const int length = get(FContext, Name.c_str(), nullptr, 0);
  if (length <= 0) return std::string();
  std::string value(static_cast<size_t>(length) + 1, '\0');
  const int n = get(FContext, Name.c_str(), value.data(), length + 1);
  value.resize(static_cast<size_t>(std::max(0, std::min(n, length))));
  return value;
}

uint32_t TWavpackDecoder::UnpackSamples(int32_t* Buffer, uint32_t Count) {
  return WV(UnpackSamples)(FContext, Buffer, Count);
}

bool TWavpackDecoder::SeekSample(int64_t Sample) { return WV(SeekSample64)(FContext, Sample) != 0; }

int64_t TWavpackDecoder::SampleIndex() { return WV(GetSampleIndex64)(FContext); }

int TWavpackDecoder::NumErrors() { return WV(GetNumErrors)(FContext); }

// ---------------------------------------------------------------------------
// TWavpackEncoder

TWavpackEncoder::TWavpackEncoder(TStream* AStream, TStream* ACorrectionStream) {
  if (!AStream) throw EWavpackException("AStream is nil!");
  std::memset(&FConfig, 0, sizeof FConfig);
  FMain.Stream = AStream;
  FCorrection.Stream = ACorrectionStream;
  FContext = WV(OpenFileOutput)(BlockOut, &FMain, ACorrectionStream ? &FCorrection : nullptr);
  if (!FContext) throw EWavpackException("Unable to allocate enought memory for WavPack context!");
}

TWavpackEncoder::~TWavpackEncoder() {
  if (FContext && wv::WavpackCloseFile) wv::WavpackCloseFile(FContext);
}

bool TWavpackEncoder::Init(int64_t TotalSamples) {
  return WV(SetConfiguration64)(FContext, &FConfig, TotalSamples, nullptr) && WV(PackInit)(FContext);
}

bool TWavpackEncoder::PackSamples(int32_t* Samples, uint32_t Count) {
  return WV(PackSamples)(FContext, Samples, Count) != 0;
}

bool TWavpackEncoder::FlushSamples() { return WV(FlushSamples)(FContext) != 0; }

int64_t TWavpackEncoder::SampleIndex() { return WV(GetSampleIndex64)(FContext); }

bool TWavpackEncoder::UpdateNumSamples() {
  auto update = WV(UpdateNumSamples);
  bool ok = true;
  for (TSlot* slot : {&FMain, &FCorrection}) {
    if (!slot->Stream || slot->FirstBlockAt < 0) continue;
    update(FContext, slot->FirstBlock.data());
    ok = slot->Write([slot] {
      const int64_t end = slot->Stream->Position();
      slot->Stream->Seek(slot->FirstBlockAt, soBeginning);
      slot->Stream->WriteBuffer(slot->FirstBlock.data(), static_cast<int64_t>(slot->FirstBlock.size()));
      slot->Stream->Seek(end, soBeginning);
      return true;
    }) && ok;
  }
  return ok;
}

bool TWavpackEncoder::AppendTag(const std::string& Name, const std::string& Utf8Value) {
  return WV(AppendTagItem)(FContext, Name.c_str(), Utf8Value.data(), static_cast<int>(Utf8Value.size())) != 0;
}

bool TWavpackEncoder::WriteTag() { return WV(WriteTag)(FContext) != 0; }

bool TWavpackEncoder::TSlot::Write(const std::function<bool()>& Fn) {
  try {
    return Fn();
  } catch (const std::exception& E) {
    if (WriteError.empty()) WriteError = E.what();
    return false;
  } catch (...) {
    return false;
  }
}

std::string TWavpackEncoder::WriteError() const {
  return FMain.WriteError.empty() ? FCorrection.WriteError : FMain.WriteError;
}

std::string TWavpackEncoder::ErrorMessage() {
  const char* m = WV(GetErrorMessage)(FContext);
  return m ? std::string(m) : std::string();
}
