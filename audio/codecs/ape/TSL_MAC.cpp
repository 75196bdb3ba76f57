#include "audio/codecs/ape/TSL_MAC.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/rtl/StrUtils.h"

namespace {

constexpr uint32_t OutBufferBytes = 65536;
constexpr uint32_t InBufferBytes = 8192;

// A zero-terminated text field of the library's ID3v1 record (UTF-8).
std::u16string RecordText(const char* Field, size_t Size) {
  size_t n = 0;
  while (n < Size && Field[n]) ++n;
  return UTF8ToUTF16(std::string_view(Field, n));
}

// Year and track go as their decimal text when they read as numbers, else unchanged.
std::string NumberText(const std::string& Value) {
  const std::string t = Trim(Value);
  const int64_t v = StrToIntDef(t, INT64_MIN);
  return v == INT64_MIN ? t : IntToStr(v);
}

// The library's failure; one to write the file says which file and why.
std::string Failure(const std::string& Context, int32_t Code, int Err, const std::string& FileName) {
  if (Code == MACDll::ERROR_IO_WRITE && Err != 0) return CannotWriteMessage(FileName, Err);
  return Context + MACErrorText(Code);
}

}  // namespace

// ===========================================================================
// TMACOut

TMACOut::TMACOut(TComponent* AOwner) : TAuTaggedFileOut(AOwner) {}

TMACOut::~TMACOut() = default;

void TMACOut::SetCompressionLevel(int32_t Value) {
  FCompressionLevel = (Value >= 1000 && Value <= 5000 && Value % 1000 == 0) ? Value : 2000;
}

void TMACOut::SetFileMode(TFileOutputMode) { FFileMode = foRewrite; }

// The library's own range: integer samples of up to 24 bits in one or two channels.
std::string TMACOut::FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const {
  static const TAuFormatLimits limits{"A", "Monkey's Audio", 2, AuBits8 | AuBits16 | AuBits24, 1, INT32_MAX};
  return FormatRefusalText(limits, Bits, Channels, Rate);
}

void TMACOut::Prepare() {
  RequireMACDll();
  // The library writes files by name; a stream given instead would stay empty.
  if (FStreamAssigned) throw EAuException("Monkey's Audio output writes files by name only");
  if (FFileName.empty()) throw EAuException("File name is not assigned.");
  RefuseInputFormat();
  // The library says only "invalid output file" for a file it cannot create: make it first.
  FRunFileName = CreateRunFileName(FFileName);
  StartInput();
  FEOF = false;
  FStarted = false;
  FAPECompress = std::make_unique<TAPECompress>();
  int32_t r = MACFillWaveFormatEx(FWaveFormatEx, FInput->SampleRate(), FInput->BitsPerSample(), FInput->Channels());
  errno = 0;
  if (r == 0) r = FAPECompress->Start(FRunFileName, FWaveFormatEx, FMaxAudioBytes, FCompressionLevel, nullptr, 0);
  if (r != 0) throw EAuException(Failure("Error starting APECompress.\r\n", r, errno, FFileName));
  FStarted = true;
  FBuffer.resize(OutBufferBytes);
}

bool TMACOut::WriteBlock(bool Abort) {
  // Only a prepared run gets here; a block that could never end must not either.
  if (!Prepared() || !FStarted) return false;
  if (Abort || FEOF) return false;
  const uint32_t frame = std::max<uint32_t>(FWaveFormatEx.nBlockAlign, 1);
  const uint32_t block = OutBufferBytes - OutBufferBytes % frame;
  uint32_t filled = 0;
  while (filled < block) {
    const uint32_t n = FInput->CopyData(FBuffer.data() + filled, block - filled);
    if (n == 0) {
      FEOF = true;
      break;
    }
    filled += n;
  }
  if (filled == 0) return true;
  uint32_t done = 0;
  while (done < filled) {
    int32_t available = 0;
    uint8_t* p = FAPECompress->LockBuffer(available);
    const uint32_t n = p && available > 0 ? std::min<uint32_t>(static_cast<uint32_t>(available), filled - done) : 0;
    if (n > 0) std::memcpy(p, FBuffer.data() + done, n);
    errno = 0;
    const int32_t r = FAPECompress->UnlockBuffer(static_cast<int32_t>(n));
    if (r == MACDll::ERROR_IO_WRITE) throw EAuException(Failure("", r, errno, FFileName));
    // No room and no error would never end: the library failed.
    if (r != 0 || n == 0) throw EAuException("APECompress.UnlockBuffer Error: " + std::to_string(r));
    done += n;
  }
  return true;
}

void TMACOut::Finish() {
  int32_t r = 0;
  int err = 0;
  if (FAPECompress) {
    errno = 0;
    r = FStarted ? FAPECompress->Finish(nullptr, 0, 0) : 0;
    err = errno;
    FAPECompress.reset();
  }
  const bool started = FStarted;
  FStarted = false;
  const std::string file = std::move(FRunFileName);
  FRunFileName.clear();
  FlushInput();
  if (!started) return;
  // A file that could not be completed is gone; saying so beats a missing file.
  if (r != 0) throw EAuException(Failure("Error finishing APECompress.\r\n", r, err, FFileName));
  if (!FAPEv2Tags->Empty()) {
    const TAPEv2Tags& t = *FAPEv2Tags;
    errno = 0;
    r = MACTagFileSimple(file, UTF16ToUTF8(t.Artist()), UTF16ToUTF8(t.Album()), UTF16ToUTF8(t.Title()),
                         UTF16ToUTF8(t.Comment()), UTF16ToUTF8(t.Genre()), NumberText(t.Year()),
                         NumberText(t.Track()), true, false);
    if (r != 0) throw EAuException(Failure("Error writing APEv2 tags.\r\n", r, errno, FFileName));
  }
}

// ===========================================================================
// TMACIn

namespace {

// What a decoding error code means for the file.
std::string DamageText(int32_t Code) {
  switch (Code) {
    case MACDll::ERROR_IO_READ: return "the file ends early";
    case MACDll::ERROR_DECOMPRESSING_FRAME:
    case MACDll::ERROR_INVALID_CHECKSUM: return "a frame is damaged";
    default: return MACErrorText(Code);
  }
}

}  // namespace

TMACIn::TMACIn(TComponent* AOwner) : TAuTaggedFileIn(AOwner) { FBuffer.resize(InBufferBytes); }

TMACIn::~TMACIn() { FAPEDecompress.reset(); }

void TMACIn::DoOpenFile() {
  RequireMACDll();
  // The library opens files by name; a stream given instead would be ignored.
  if (FStreamAssigned) throw EAuException("Monkey's Audio input reads files by name only");
  FValid = true;
  FAPEv2Tags->Clear();
  MACDll::ID3_TAG rec;
  std::memset(&rec, 0, sizeof rec);
  if (MACGetID3Tag(FFileName, rec) == 0) {
    const char* b = reinterpret_cast<const char*>(&rec);
    FAPEv2Tags->SetTitle(RecordText(b + 3, 30));
    FAPEv2Tags->SetArtist(RecordText(b + 33, 30));
    FAPEv2Tags->SetAlbum(RecordText(b + 63, 30));
    FAPEv2Tags->SetYear(UTF16ToUTF8(RecordText(b + 93, 4)));
    FAPEv2Tags->SetComment(RecordText(b + 97, 30));
  }
  try {
    FAPEDecompress = std::make_unique<TAPEDecompress>(FFileName);
  } catch (...) {
    FValid = false;  // the input stays closed
    throw;
  }
  // A length the file cannot hold is not believed: a frame takes at least four bytes
  // and holds at most 294912 blocks, the most any encoder puts in one.
  const int64_t blocks = BelievedLength(FAPEDecompress->GetInfo(MACDll::APE_INFO_TOTAL_BLOCKS),
                                        FAPEDecompress->GetInfo(MACDll::APE_INFO_APE_TOTAL_BYTES), 4, 73728 * 4);
  FSize = blocks < 0 ? -1 : FAPEDecompress->GetInfo(MACDll::APE_INFO_WAV_TOTAL_BYTES);
  FSampleRate = static_cast<int32_t>(FAPEDecompress->GetInfo(MACDll::APE_INFO_SAMPLE_RATE));
  FBitsPerSample = static_cast<int32_t>(FAPEDecompress->GetInfo(MACDll::APE_INFO_BITS_PER_SAMPLE));
  FChannels = static_cast<int32_t>(FAPEDecompress->GetInfo(MACDll::APE_INFO_CHANNELS));
  FBufStart = 0;
  FBufEnd = 0;
  FEOF = false;
}

void TMACIn::DoCloseFile() {
  FAPEDecompress.reset();
  FBufStart = 0;
  FBufEnd = 0;
}

int32_t TMACIn::GetTotalTime() {
  OpenFile();
  if (!FAPEDecompress || FSize < 0) return 0;
  return static_cast<int32_t>(FAPEDecompress->GetInfo(MACDll::APE_DECOMPRESS_LENGTH_MS) / 1000);
}

void TMACIn::BeginRead() {
  FFramesDecoded = 0;  // a start sample seeks during the inherited start
  TAuTaggedFileIn::BeginRead();
  FBufStart = 0;
  FBufEnd = 0;
  FEOF = false;
}

void TMACIn::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  if (!FBusy || !FAPEDecompress) throw EAuException("The Stream is not opened");
  const int32_t frame = FFrameSize;
  if (FBufStart >= FBufEnd) {
    const int32_t chunk = static_cast<int32_t>(InBufferBytes) - static_cast<int32_t>(InBufferBytes) % frame;
    FBufStart = 0;
    FBufEnd = 0;
    RaiseDamage();
    while (!FEOF && FBufEnd < chunk) {
      int32_t retrieved = 0;
      const int32_t r = FAPEDecompress->GetData(reinterpret_cast<char*>(FBuffer.data()) + FBufEnd,
                                                (static_cast<int32_t>(InBufferBytes) - FBufEnd) / frame, retrieved);
      // A damaged or cut-off file is an error, not a shorter one; what decoded before
      // it goes out first.
      if (r != 0) {
        SetDamage(DecodingErrorMessage("Monkey's Audio", FFileName, FFramesDecoded, DamageText(r)));
        break;
      }
      if (retrieved * frame < 1) {
        FEOF = true;
        break;
      }
      FBufEnd += retrieved * frame;
      FFramesDecoded += retrieved;
    }
    if (FBufEnd == 0) RaiseDamage();
  }
  const uint32_t whole = Bytes - Bytes % static_cast<uint32_t>(frame);
  const uint32_t n = std::min<uint32_t>(whole, static_cast<uint32_t>(FBufEnd - FBufStart));
  Buffer = FBuffer.data() + FBufStart;
  FBufStart += static_cast<int32_t>(n);
  Bytes = n;
}

bool TMACIn::SeekRaw(int64_t& SampleNum) {
  if (!FAPEDecompress) return false;
  FBufStart = 0;
  FBufEnd = 0;
  FEOF = false;
  FFramesDecoded = SampleNum;
  return FAPEDecompress->Seek(SampleNum) == 0;
}
