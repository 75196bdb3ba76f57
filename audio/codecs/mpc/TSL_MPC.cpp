#include "audio/codecs/mpc/TSL_MPC.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>

#include "audio/core/TSL_Procs.h"
#include "platform/codecs/mppenc/MPPEnc.h"

namespace {

// ---------------------------------------------------------------------------
// The decoder library

TCodecLibrary DecLib("libmpdec.so");

// The decoder library's entry points.
#define MPDEC_ENTRIES(X)               \
  X(mpc_streaminfo_init)               \
  X(mpc_streaminfo_read)               \
  X(mpc_streaminfo_get_length)         \
  X(mpc_streaminfo_get_length_samples) \
  X(mpc_decoder_setup)                 \
  X(mpc_decoder_initialize)            \
  X(mpc_decoder_set_seeking)           \
  X(mpc_decoder_set_streaminfo)        \
  X(mpc_decoder_scale_output)          \
  X(mpc_decoder_decode)                \
  X(mpc_decoder_decode_frame)          \
  X(mpc_decoder_seek_sample)           \
  X(mpc_decoder_seek_seconds)

namespace mpd {
MPDEC_ENTRIES(CODEC_ENTRY_POINTER)
void BindAll(TCodecLibrary& Lib) { MPDEC_ENTRIES(CODEC_BIND_ENTRY) }
}  // namespace mpd

// The wrapper checks each entry point before it calls it.
#define MPD(Name) CheckedEntry<EMPCDecException>(DecLib, "MPC decoding", mpd::Name, #Name)

// The reader record's callbacks over the wrapper's stream; data is the wrapper.
TStream* StreamOf(void* Data) { return Data ? static_cast<TMPCDecoder*>(Data)->Stream() : nullptr; }

// Runs Fn on the stream; no stream, or a stream that throws, gives Failed.
template <class R, class F>
R OnStream(void* Data, R Failed, F&& Fn) {
  TStream* s = StreamOf(Data);
  if (!s) return Failed;
  try {
    return Fn(*s);
  } catch (...) {
    return Failed;
  }
}

mpc_int32_t ReaderRead(void* Data, void* Ptr, mpc_int32_t Size) {
  if (Size < 0) return -1;
  return OnStream<mpc_int32_t>(Data, -1, [&](TStream& s) { return static_cast<mpc_int32_t>(s.Read(Ptr, Size)); });
}

mpc_bool_t ReaderSeek(void* Data, mpc_int32_t Offset) {
  if (Offset < 0) return 0;
  return OnStream<mpc_bool_t>(Data, 0, [&](TStream& s) { return s.Seek(Offset, soBeginning) == Offset; });
}

// Positions beyond what the record's 32 bits can hold are reported as failures.
mpc_int32_t Narrow(int64_t V) {
  return V >= 0 && V <= std::numeric_limits<mpc_int32_t>::max() ? static_cast<mpc_int32_t>(V) : -1;
}

mpc_int32_t ReaderTell(void* Data) {
  return OnStream<mpc_int32_t>(Data, -1, [](TStream& s) { return Narrow(s.Position()); });
}

mpc_int32_t ReaderGetSize(void* Data) {
  return OnStream<mpc_int32_t>(Data, -1, [](TStream& s) { return Narrow(s.Size()); });
}

mpc_bool_t ReaderCanSeek(void* Data) { return Data != nullptr; }

// ---------------------------------------------------------------------------
// Float samples (full scale +/-1.0) to integers of a sample width. Halves round to
// even: adding and taking away 1.5 * 2^52 rounds a double in the default rounding
// mode, without a library call per sample.

inline int64_t RoundEven(double V) {
  constexpr double Magic = 6755399441055744.0;
  return static_cast<int64_t>((V + Magic) - Magic);
}

inline bool Inside(float X) { return X > -1.0f && X < 1.0f; }

// Beyond full scale: the clip value of that side; NaN: silence.
inline int32_t Clipped(float X, int32_t Lo, int32_t Hi) { return X >= 1.0f ? Hi : (X <= -1.0f ? Lo : 0); }

inline int32_t Full32(float X) {
  if (Inside(X)) return static_cast<int32_t>(RoundEven(double(X) * 2147483647.0));
  return Clipped(X, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
}

void FloatsToWidth(const float* Src, size_t N, uint32_t Width, int32_t* Dst) {
  for (size_t i = 0; i < N; ++i) {
    const float x = Src[i];
    switch (Width) {
      // Clamped: just below full scale, Round(x * 128) would be 128.
      case 1: Dst[i] = Inside(x) ? int32_t(std::min<int64_t>(RoundEven(double(x) * 128.0), 127)) : Clipped(x, -128, 127); break;
      case 2: Dst[i] = Inside(x) ? int32_t(RoundEven(double(x) * 32767.0)) : Clipped(x, -32768, 32767); break;
      case 3: Dst[i] = Full32(x) >> 8; break;  // the top 24 bits
      default: Dst[i] = Full32(x); break;
    }
  }
}

// ---------------------------------------------------------------------------
// The encoder library

TCodecLibrary EncLib("libmppenc.so");

// The encoder library's entry points.
#define MPPENC_ENTRIES(X) \
  X(init_static)          \
  X(init_enc_state)       \
  X(set_callbacks)        \
  X(add_tag)              \
  X(start_encoder)        \
  X(process_block)        \
  X(free_encoder_state)

namespace mpe {
MPPENC_ENTRIES(CODEC_ENTRY_POINTER)
void BindAll(TCodecLibrary& Lib) { MPPENC_ENTRIES(CODEC_BIND_ENTRY) }
}  // namespace mpe

// Runs share the loaded library: it is freed when the last one lets go, so one run
// finishing never pulls the library from under another.
std::mutex EncUseLock;
int EncUsers = 0;

void AcquireEncoder() {
  std::lock_guard<std::mutex> lk(EncUseLock);
  if (EncUsers == 0) {
    EncLib.Require(mpe::BindAll);
    if (!EncLib.Missing().empty()) {
      const std::string name = EncLib.Missing().front();
      EncLib.Unload();
      throw EAuException("Function \"" + name + "\" not found in MPC encoding library!");
    }
  }
  ++EncUsers;
}

void ReleaseEncoder() {
  std::lock_guard<std::mutex> lk(EncUseLock);
  if (EncUsers > 0 && --EncUsers == 0) EncLib.Unload();
}

}  // namespace

TCodecLibrary& MPCDecLibrary() { return DecLib; }
TCodecLibrary& MPCEncLibrary() { return EncLib; }

// ===========================================================================
// TMPCDecoder

TMPCDecoder::TMPCDecoder(TStream* AStream) : FStream(AStream) {
  if (!AStream) throw EMPCDecException("TMPCDecoder needs a stream");
  FReader.read = ReaderRead;
  FReader.seek = ReaderSeek;
  FReader.tell = ReaderTell;
  FReader.get_size = ReaderGetSize;
  FReader.canseek = ReaderCanSeek;
  FReader.data = this;
  MPD(mpc_streaminfo_init)(&FInfo);
  if (MPD(mpc_streaminfo_read)(&FInfo, &FReader) != 0)
    throw EMPCDecException("Unable to read stream info!");
  MPD(mpc_decoder_setup)(&FDecoder, &FReader);
  if (MPD(mpc_decoder_initialize)(&FDecoder, &FInfo) != 1) {
    mpd::mpc_decoder_setup(&FDecoder, nullptr);
    throw EMPCDecException("Unable to initialize MPC decoder!");
  }
}

TMPCDecoder::~TMPCDecoder() {
  // The record holds the library's decoding state: setting it up without a reader
  // releases it.
  if (DecLib.Loaded() && mpd::mpc_decoder_setup) mpd::mpc_decoder_setup(&FDecoder, nullptr);
}

int64_t TMPCDecoder::LengthSamples() {
  return MPD(mpc_streaminfo_get_length_samples)(&FInfo);
}

int32_t TMPCDecoder::Decode(float* Buffer) {
  const mpc_uint32_t n = MPD(mpc_decoder_decode)(&FDecoder, Buffer, nullptr, nullptr);
  if (n == MPC_DECODE_ERROR || n > MPC_FRAME_LENGTH) return -1;
  return static_cast<int32_t>(n);
}

bool TMPCDecoder::SeekSample(int64_t Sample) {
  return MPD(mpc_decoder_seek_sample)(&FDecoder, Sample) == 1;
}

// ===========================================================================
// TMPCIn

TMPCIn::TMPCIn(TComponent* AOwner) : TAuTaggedFileIn(AOwner) {}

void TMPCIn::SetOutBitsPerSample(uint32_t Value) {
  if (FOpenCount > 0) return;
  if (Value < 8)
    FOutBitsPerSample = 8;
  else if (Value > 32)
    FOutBitsPerSample = 32;
  else
    FOutBitsPerSample = (Value + 7) / 8 * 8;
}

void TMPCIn::DoOpenFile() {
  DecLib.Require(mpd::BindAll);
  FValid = false;
  FAPEv2Tags->Clear();
  if (!FStreamAssigned) {
    if (FFileName.empty()) throw EAuException("File name is not assigned");
    OpenOwnStream();
  }
  try {
    ReadAPEv2Tags(*FStream, *FAPEv2Tags);
    FStream->Seek(0, soBeginning);
    FDecoder = std::make_unique<TMPCDecoder>(FStream);
  } catch (...) {
    // Nothing stays open after a failed opening.
    FDecoder.reset();
    ReleaseStream();
    throw;
  }
  FValid = true;
  FSeekable = true;
  FSampleRate = FDecoder->SampleRate();
  FChannels = FDecoder->Channels();
  FBitsPerSample = static_cast<int32_t>(FOutBitsPerSample);
  // A length the file cannot hold is not believed. Before version 8 every frame takes
  // at least two bytes; later an audio packet takes three and holds up to 4^7 frames
  // (that header has a checksum, so only an encoder can get its length wrong).
  const int64_t blockSamples = int64_t{MPC_FRAME_LENGTH} << (FDecoder->StreamVersion() >= 8 ? 14 : 0);
  const int64_t total =
      BelievedLength(FDecoder->LengthSamples(), FStream->Size(), FDecoder->StreamVersion() >= 8 ? 3 : 2, blockSamples);
  FTotalSamples = total;
  FFileSamples = total;
  FSize = total < 0 ? -1 : total * ((FOutBitsPerSample + 7) / 8) * FChannels;
  FFramesDecoded = 0;
  FDecodeFailed = false;
  FDecodeEnded = false;
  FBlockAt = 0;
  FBufStart = FBufEnd = 0;
  FSamples.assign(MPC_DECODER_BUFFER_LENGTH, 0.0f);
}

void TMPCIn::DoCloseFile() {
  FDecoder.reset();
  FBufStart = FBufEnd = 0;
  FBuffer.clear();
  FBuffer.shrink_to_fit();
}

void TMPCIn::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  if (!FBusy || !FDecoder) throw EAuException("File for input is not opened!");
  const uint32_t bytesPerSample = (FOutBitsPerSample + 7) / 8;
  const uint32_t frameBytes = bytesPerSample * static_cast<uint32_t>(FChannels);
  // The carried bytes move to the front, then whole frames are decoded behind them.
  if (FBufStart > 0) {
    const int32_t left = std::max(FBufEnd - FBufStart, 0);
    if (left > 0) std::memmove(FBuffer.data(), FBuffer.data() + FBufStart, static_cast<size_t>(left));
    FBlockAt = std::max(FBlockAt - FBufStart, 0);
    FBufStart = 0;
    FBufEnd = left;
  }
  const size_t most = static_cast<size_t>(MPC_FRAME_LENGTH) * frameBytes;
  // The newest block's audio waits until the decoder has checked the block: damage
  // shows only when all of a block has been read, after its frames came out.
  while (!FDecodeFailed && !FDecodeEnded && FBlockAt < static_cast<int64_t>(Bytes)) {
    if (FBuffer.size() < static_cast<size_t>(FBufEnd) + most) FBuffer.resize(static_cast<size_t>(FBufEnd) + most);
    const int32_t frames = FDecoder->Decode(FSamples.data());
    // Damaged data, or an end before the frames the stream announces.
    if (frames < 0 || (frames == 0 && FFileSamples >= 0 && FFramesDecoded < FFileSamples)) {
      // The block being read may be the damaged one: none of it goes out.
      FDecodeFailed = true;
      FFramesDecoded -= (FBufEnd - FBlockAt) / static_cast<int32_t>(frameBytes);
      FBufEnd = FBlockAt;
      break;
    }
    if (frames == 0) {
      FDecodeEnded = true;
      FBlockAt = FBufEnd;
      break;
    }
    if (FDecoder->BlockStart()) FBlockAt = FBufEnd;  // the blocks before it passed
    const size_t n = static_cast<size_t>(frames) * static_cast<size_t>(FChannels);
    FInts.resize(n);
    FloatsToWidth(FSamples.data(), n, bytesPerSample, FInts.data());
    PackPCM(FInts.data(), static_cast<int32_t>(bytesPerSample), FBuffer.data() + FBufEnd, n);
    FBufEnd += static_cast<int32_t>(n * bytesPerSample);
    FFramesDecoded += frames;
  }
  // What was decoded before the damage goes out first, then the error.
  if (FDecodeFailed && FBufEnd <= 0) throw EAuException(DecodingErrorMessage("Musepack", FFileName, FFramesDecoded));
  const int32_t ready = FDecodeFailed ? FBufEnd : FBlockAt;
  Bytes = std::min(Bytes, static_cast<uint32_t>(std::max(ready, 0)));
  Buffer = FBuffer.data();
  FBufStart = static_cast<int32_t>(Bytes);
}

bool TMPCIn::SeekRaw(int64_t& SampleNum) {
  if (!FDecoder) return false;
  FBufStart = FBufEnd = 0;
  const bool ok = FDecoder->SeekSample(SampleNum);
  FBlockAt = 0;
  if (ok) {
    FFramesDecoded = SampleNum;
    FDecodeFailed = false;
    FDecodeEnded = false;
  }
  return ok;
}

// ===========================================================================
// TMPCOut

TMPCOut::TMPCOut(TComponent* AOwner) : TAuTaggedFileOut(AOwner) {}

void TMPCOut::CbMessage(void* User, const char* Text) {
  static_cast<TMPCOut*>(User)->FEncoderMessage = Text ? Text : "";
}

size_t TMPCOut::CbReadPcm(void* User, void* Buffer, size_t Size, size_t Count) {
  auto* self = static_cast<TMPCOut*>(User);
  if (self->FEndFlag || Size == 0) return 0;
  try {
    const size_t want = std::min<size_t>(Size * Count, std::numeric_limits<uint32_t>::max() / 2);
    bool eof = false;
    return self->FInput->FillBuffer(Buffer, static_cast<uint32_t>(want), eof) / Size;
  } catch (const std::exception& E) {
    self->FCallbackError = E.what();
    return 0;
  }
}

int TMPCOut::CbEndOfInput(void* User) { return static_cast<TMPCOut*>(User)->FEndFlag ? 1 : 0; }

void TMPCOut::CbProgress(void*, uint64_t) {}

void TMPCOut::CbEncoded(void*) {}

int64_t TMPCOut::CbSeekOut(void* User, int64_t Offset, int Origin) {
  auto* self = static_cast<TMPCOut*>(User);
  if (Origin < 0 || Origin > 2) return -1;
  try {
    return self->FStream->Seek(Offset, static_cast<TSeekOrigin>(Origin));
  } catch (...) {
    return -1;
  }
}

size_t TMPCOut::CbReadOut(void* User, void* Buffer, size_t Size, size_t Count) {
  auto* self = static_cast<TMPCOut*>(User);
  if (Size == 0) return 0;
  try {
    return static_cast<size_t>(self->FStream->Read(Buffer, static_cast<int64_t>(Size * Count))) / Size;
  } catch (...) {
    return 0;
  }
}

size_t TMPCOut::CbWriteOut(void* User, const void* Buffer, size_t Size, size_t Count) {
  auto* self = static_cast<TMPCOut*>(User);
  if (Size == 0) return 0;
  try {
    self->FStream->WriteBuffer(Buffer, static_cast<int64_t>(Size * Count));
    return Count;
  } catch (const std::exception& E) {
    self->FCallbackError = E.what();
    return 0;
  }
}

void TMPCOut::CbFinished(void*, uint64_t) {}

void TMPCOut::AddTags() {
  if (FAPEv2Tags->Empty()) return;
  for (const char* key : {"Artist", "Album", "Title", "Year", "Genre", "Copyright", "Composer", "Track"}) {
    const std::string value = FAPEv2Tags->AsString(key);
    if (value.empty()) continue;
    const bool number = std::strcmp(key, "Year") == 0 || std::strcmp(key, "Track") == 0;
    if (number && value == "0") continue;
    mpe::add_tag(FState, key, std::strlen(key), value.data(), value.size());
  }
}

// mpcenc's rates; it would keep the first two channels only and lose the others silently.
std::string TMPCOut::FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const {
  static const int32_t rates[] = {32000, 37800, 44100, 48000};
  static const TAuFormatLimits limits{"A", "Musepack", 2, AuBitsAll, rates[0], rates[3], rates};
  return FormatRefusalText(limits, Bits, Channels, Rate);
}

void TMPCOut::Prepare() {
  FEndFlag = false;
  FEncoderMessage.clear();
  FCallbackError.clear();
  if (!FStreamAssigned && FFileName.empty()) throw EAuException("File name is not assigned.");
  RefuseInputFormat();
  // The library comes first, so that a missing one leaves no empty file behind.
  AcquireEncoder();
  FLibraryHeld = true;
  StartInput();
  const int32_t rate = FInput->SampleRate();
  const int32_t channels = FInput->Channels();
  const int32_t bits = FInput->BitsPerSample();
  const int64_t frame = static_cast<int64_t>(bits / 8) * channels;
  const int64_t size = FInput->Size();
  const int64_t total = frame > 0 && size > 0 ? size / frame : 0;
  mpe::init_static();
  if (mpe::init_enc_state(&FState, rate, total, bits, channels, FQuality) != 0) {
    // Nothing was created: free the library now, and only once.
    FState = nullptr;
    FLibraryHeld = false;
    ReleaseEncoder();
    FEndFlag = true;
    throw EAuException("Failed to initialize encoder");
  }
  // The file is made once everything that can refuse the input has accepted it.
  if (!FStreamAssigned) CreateOwnStream();
  mpe::set_callbacks(FState, CbMessage, CbReadPcm, CbEndOfInput, CbProgress, CbEncoded, CbSeekOut, CbReadOut,
                  CbWriteOut, CbFinished, this);
  AddTags();
  if (mpe::start_encoder(FState) != 0) {
    FEndFlag = true;
    throw EAuException(FEncoderMessage.empty() ? "Failed to start encoder" : FEncoderMessage);
  }
}

bool TMPCOut::WriteBlock(bool Abort) {
  if (Abort) FEndFlag = true;
  if (FEndFlag) return false;
  const int r = mpe::process_block(FState);
  if (!FCallbackError.empty()) {
    FEndFlag = true;
    throw EAuException(FCallbackError);
  }
  if (r < 0) {
    FEndFlag = true;
    throw EAuException(FEncoderMessage.empty() ? "Musepack encoding failed." : FEncoderMessage);
  }
  if (r != 0) FEndFlag = true;
  return true;
}

void TMPCOut::Finish() {
  if (FState) {
    mpe::free_encoder_state(FState);
    FState = nullptr;
  }
  if (FLibraryHeld) {
    FLibraryHeld = false;
    ReleaseEncoder();
  }
  ReleaseStream();
  FlushInput();
}
