#include "audio/codecs/mp3/TSL_LAME.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "audio/core/TSL_Procs.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/StrUtils.h"
#include "platform/rtl/SysUtils.h"

namespace {

TCodecLibrary LameLib("liblame_enc.so");
int LameUsers = 0;  // live TMP3Out objects holding the library; under LoadLock

// The library's entry points.
#define LAME_ENTRIES(X) \
  X(beInitStream)       \
  X(beEncodeChunk)      \
  X(beDeinitStream)     \
  X(beCloseStream)      \
  X(beWriteVBRHeader)   \
  X(beFlushNoGap)       \
  X(beWriteInfoTag)

namespace lame {
LAME_ENTRIES(CODEC_ENTRY_POINTER)
void BindAll(TCodecLibrary& Lib) { LAME_ENTRIES(CODEC_BIND_ENTRY) }
}  // namespace lame

// The entry points the component calls; a library without one of them is unusable.
const char* const Required[] = {"beInitStream", "beEncodeChunk", "beDeinitStream", "beCloseStream",
                                "beWriteVBRHeader"};

void LoadLameLibrary() {
  TCriticalSectionGuard g(LoadLock);
  LameLib.Require(lame::BindAll);
  for (const char* name : Required) {
    if (LameLib.IsMissing(name)) {
      if (LameUsers == 0) LameLib.Unload();
      throw EAuException(std::string("Function \"") + name + "\" not found in " + LameLib.FileName() +
                         " library.");
    }
  }
  ++LameUsers;
}

// The library goes only with the last user, so no live output loses it.
void UnloadLameLibrary() {
  TCriticalSectionGuard g(LoadLock);
  if (LameUsers > 0 && --LameUsers == 0) LameLib.Unload();
}

constexpr uint32_t BitRates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};

// ID3v1 text is Latin-1; a field keeps at most Width bytes, unterminated when full.
void PutText(uint8_t (&Block)[128], int At, int Width, const std::string& Utf8) {
  const std::string s = UTF8ToLatin1(Utf8);
  std::memcpy(Block + At, s.data(), std::min<size_t>(s.size(), size_t(Width)));
}

}  // namespace

uint32_t MP3BitRateKbps(uint8_t Ordinal) { return Ordinal < 16 ? BitRates[Ordinal] : 128; }

TCodecLibrary& LameLibrary() { return LameLib; }

TMP3Out::TMP3Out(TComponent* AOwner) : TAuTaggedFileOut(AOwner) {
  if (Designing()) return;
  LoadLameLibrary();
  FLibraryHeld = true;
}

TMP3Out::~TMP3Out() {
  // The worker is normally gone already (BeforeDestruction); never unload under a run.
  if (FBusy) Stop(false);
  if (FLibraryHeld) UnloadLameLibrary();
}

void TMP3Out::FillConfig(BE_CONFIG& Config, int32_t SampleRate, int32_t Channels) const {
  // Written field by field in little-endian order, so the record is the same bytes
  // whatever the host.
  uint8_t* r = reinterpret_cast<uint8_t*>(&Config);
  std::memset(r, 0, sizeof Config);
  const uint32_t abr = MP3BitRateKbps(FAverageBitrate);
  PutLE32(r + 0, BE_CONFIG_LAME);
  PutLE32(r + 4, CURRENT_STRUCT_VERSION);
  PutLE32(r + 8, CURRENT_STRUCT_SIZE);
  PutLE32(r + 12, static_cast<uint32_t>(SampleRate));
  PutLE32(r + 20, FMode);
  PutLE32(r + 24, MP3BitRateKbps(FBitRate));
  PutLE32(r + 28, MP3BitRateKbps(FMaximumBitrate));
  PutLE32(r + 52, FCRC ? 1 : 0);
  PutLE32(r + 60, FOriginal ? 1 : 0);
  PutLE32(r + 64, FWriteVBRHeader ? 1 : 0);
  PutLE32(r + 68, FEnableVBR ? 1 : 0);
  PutLE32(r + 72, FEnableVBR ? FVBRQuality : 0);
  PutLE32(r + 76, abr);
  PutLE32(r + 80, abr != 0 ? VBR_METHOD_ABR : VBR_METHOD_NEW);
  PutLE32(r + 84, FEnableBitReservoir ? 0 : 0xFFFFFFFFu);
  PutLE32(r + 88, FStrinctISO ? 0xFFFFFFFFu : 0);
  // The encoder must know the real channel count: a mono source read as stereo would
  // play at double speed, a stereo one read as mono at half speed.
  PutLE32(r + 94, static_cast<uint32_t>(Channels));
}

void TMP3Out::BuildId3v1Block(uint8_t (&Block)[128]) const {
  const TId3v1Tags& t = *FId3v1Tags;
  std::memset(Block, 0, sizeof Block);
  std::memcpy(Block, "TAG", 3);
  PutText(Block, 3, 30, t.Title());
  PutText(Block, 33, 30, t.Artist());
  PutText(Block, 63, 30, t.Album());
  const uint16_t year = t.Year();
  const std::string y = IntToStr(year);
  if (year != 0 && y.size() == 4) std::memcpy(Block + 93, y.data(), 4);
  PutText(Block, 97, 30, t.Comment());
  // 0 would claim "Blues"; 255 is the format's "no genre".
  const bool genreSet = !t.Empty() && !TagValueIsEmpty(t.Values("genre"));
  Block[127] = genreSet ? t.GenreId() : 255;
}

// MPEG audio has rates of 8000 to 48000 Hz. LAME brings any other rate to one of them,
// but its resampler overruns its buffers when it raises a rate many times (from a few
// hundred hertz): nothing below MPEG's lowest rate is taken, nor anything above the
// highest rate audio is recorded at.
std::string TMP3Out::FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const {
  static const TAuFormatLimits limits{"An", "MP3", 2, AuBitsAll, 8000, 768000};
  return FormatRefusalText(limits, Bits, Channels, Rate);
}

void TMP3Out::WriteOut(const uint8_t* Data, uint32_t Count) {
  if (Count > 0) FStream->WriteBuffer(Data, Count);
}

void TMP3Out::Prepare() {
  if (!FStreamAssigned && FFileName.empty()) throw EAuException("File name is not assigned.");
  // What the format cannot hold is refused before any file is made.
  RefuseInputFormat();
  StartInput();
  const int32_t bits = FInput->BitsPerSample();
  const int32_t channels = FInput->Channels();
  // The encoder's header frame (VBR's "Xing", CBR's "Info") tells decoders the exact
  // length; it is filled in by file name once the stream is complete.
  FWriteVBRHeader = !FStreamAssigned;
  if (!FStreamAssigned) FRunFileName = CreateOwnStream();
  BE_CONFIG config;
  FillConfig(config, FInput->SampleRate(), channels);
  const BE_ERR r = lame::beInitStream(&config, &FSamples, &FBufferSize, &FHandle);
  if (r != BE_ERR_SUCCESSFUL) throw EAuException("InitStream Error : " + IntToStr(static_cast<int64_t>(r)));
  FStreamOpen = true;
  // Other widths are brought to the encoder's 16 bits here.
  FBytesPerSample = bits / 8;
  FBlockSize = static_cast<uint32_t>(channels) * FSamples * static_cast<uint32_t>(FBytesPerSample) / 2;
  FBlock.assign(FBlockSize, 0);
  if (FBytesPerSample != 2) {
    FPcm.assign(FBlockSize / static_cast<uint32_t>(FBytesPerSample), 0);
    FWide.assign(FPcm.size(), 0);
  }
  FOutput.assign(FBufferSize, 0);
}

bool TMP3Out::WriteBlock(bool Abort) {
  if (!FPrepared) return true;
  if (Abort) return false;
  bool eof = false;
  const uint32_t n = FInput->FillBuffer(FBlock.data(), FBlockSize, eof);
  if (n == 0) return false;
  const uint32_t count = n / static_cast<uint32_t>(FBytesPerSample);
  int16_t* pcm = reinterpret_cast<int16_t*>(FBlock.data());  // 16-bit samples go as they are
  if (FBytesPerSample != 2) {
    // Other widths keep their top 16 bits.
    UnpackPCM(FBlock.data(), FBytesPerSample, FWide.data(), count);
    const int shift = (FBytesPerSample - 2) * 8;
    pcm = FPcm.data();
    for (uint32_t i = 0; i < count; ++i)
      pcm[i] = static_cast<int16_t>(shift < 0 ? FWide[i] * 256 : FWide[i] >> shift);
  }
  uint32_t produced = 0;
  lame::beEncodeChunk(FHandle, count, pcm, FOutput.data(), &produced);
  WriteOut(FOutput.data(), std::min(produced, FBufferSize));
  return !eof;
}

void TMP3Out::Finish() {
  // Every step runs whatever failed before it: the file is closed, the encoder freed
  // and the input flushed in any case. The first failure is raised at the end, so a
  // file that could not be completed is not reported as done.
  std::exception_ptr error;
  auto step = [&error](auto&& Fn) {
    try {
      Fn();
    } catch (...) {
      if (!error) error = std::current_exception();
    }
  };
  if (FStreamOpen) {
    step([&] {
      uint32_t produced = 0;
      lame::beDeinitStream(FHandle, FOutput.data(), &produced);
      WriteOut(FOutput.data(), std::min(produced, FBufferSize));
      uint8_t block[128];
      BuildId3v1Block(block);
      WriteOut(block, sizeof block);
    });
  }
  ReleaseStream();
  if (FStreamOpen) {
    lame::beCloseStream(FHandle);
    FStreamOpen = false;
    // Only a file this output created by name is rewritten.
    if (FWriteVBRHeader && !FRunFileName.empty()) lame::beWriteVBRHeader(FRunFileName.c_str());
  }
  FRunFileName.clear();
  FBlock = {};
  FPcm = {};
  FWide = {};
  FOutput = {};
  step([&] { FlushInput(); });
  if (error) std::rethrow_exception(error);
}
