#include "audio/io/TSL_Wave.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

#include "audio/core/TSL_Procs.h"
#include "audio/io/WaveConverter.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Riff.h"

namespace {

// The header scan never looks further into a file than this.
constexpr int64_t ScanLimit = 8192;
constexpr int32_t DecodeBufferSize = 16384;
// IMA output is encoded and written in steps of about this many bytes.
constexpr size_t ImaWriteBytes = 32768;
constexpr int64_t MaxRiffSize = 0xFFFFFFFFll;

constexpr int32_t PcmHeaderSize = 44;
constexpr int32_t ExtHeaderSize = 68;
constexpr int32_t ImaHeaderSize = 60;

constexpr uint8_t PcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                      0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr uint8_t FloatSubFormat[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                        0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Reads until Count bytes came or the stream ended; returns the bytes read.
int64_t ReadUpTo(TStream& S, void* Buffer, int64_t Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  int64_t got = 0;
  while (got < Count) {
    const int64_t n = S.Read(p + got, Count - got);
    if (n <= 0) break;
    got += n;
  }
  return got;
}

// Sequential reads within the scan limit; works on streams that cannot seek.
class TScanReader {
public:
  explicit TScanReader(TStream& S) : FStream(S) {}
  int64_t Pos() const { return FPos; }
  bool Read(void* Buffer, int64_t Count) {
    if (Count < 0 || Count > ScanLimit - FPos) return false;
    if (ReadUpTo(FStream, Buffer, Count) != Count) return false;
    FPos += Count;
    return true;
  }
  bool Skip(int64_t Count) {
    uint8_t buf[512];
    if (Count < 0 || Count > ScanLimit - FPos) return false;
    while (Count > 0) {
      const int64_t n = std::min<int64_t>(Count, sizeof buf);
      if (!Read(buf, n)) return false;
      Count -= n;
    }
    return true;
  }
  // Moves a 4-byte window forward one byte at a time until it holds Id.
  bool Slide(const char* Id) {
    uint8_t w[4];
    if (!Read(w, 4)) return false;
    while (!SameRiffId(w, Id)) {
      std::memmove(w, w + 1, 3);
      if (!Read(w + 3, 1)) return false;
    }
    return true;
  }
  // Passes over chunks until one called Id; Size is its body size.
  bool FindChunk(const char* Id, uint32_t& Size) {
    for (;;) {
      uint8_t h[8];
      if (!Read(h, 8)) return false;
      Size = RiffChunkSize(h);
      if (SameRiffId(h, Id)) return true;
      if (!Skip(RiffPaddedSize(Size))) return false;
    }
  }

private:
  TStream& FStream;
  int64_t FPos = 0;
};

TWavType TypeOfTag(uint16_t Tag) {
  switch (Tag) {
    case 0x0001: return wtPCM;
    case 0x0002: return wtMSADPCM;
    case 0x0003: return wtIEEEFloat;
    case 0x0011: return wtDVIADPCM;
    case 0xFFFE: return wtExtPCM;
    // Compressed payloads the compression layer decodes.
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
    case WAVE_FORMAT_GSM610:
    case WAVE_FORMAT_MPEG:
    case WAVE_FORMAT_MPEGLAYER3: return wtACM;
    default: return wtUnsupported;
  }
}

// Frames the bytes of a (possibly cut) IMA block decode to.
int64_t ImaFramesIn(int64_t Bytes, int32_t Channels) {
  if (Bytes < 4 * Channels) return 0;
  return Channels == 1 ? 1 + 2 * (Bytes - 4) : 1 + 8 * ((Bytes - 8) / 8);
}

// Frames the bytes of a (possibly cut) Microsoft ADPCM block decode to.
int64_t MsFramesIn(int64_t Bytes, int32_t Channels) {
  if (Bytes < 7 * Channels) return 0;
  return (Bytes - 7 * Channels) * 2 / Channels + 2;
}

bool IsIntegerBits(int32_t Bits) { return Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32; }

}  // namespace

bool ScanWavHeader(TStream& Stream, int64_t Base, TWavHeader& Header) {
  Header = TWavHeader();
  TScanReader r(Stream);
  if (!r.Slide("RIFF") || !r.Slide("WAVE")) return false;

  uint32_t size = 0;
  if (!r.FindChunk("fmt ", size) || size < 16 || size > ScanLimit - r.Pos()) return false;
  std::vector<uint8_t> fmt(size);
  if (!r.Read(fmt.data(), size) || !r.Skip(size & 1)) return false;
  TWavHeader h;
  h.FormatTag = GetLE16(&fmt[0]);
  h.WavType = TypeOfTag(h.FormatTag);
  h.Channels = GetLE16(&fmt[2]);
  h.SampleRate = GetLE32(&fmt[4]);
  h.BlockAlign = GetLE16(&fmt[12]);
  h.BitsPerSample = GetLE16(&fmt[14]);
  switch (h.WavType) {
    case wtUnsupported:
      return false;
    case wtExtPCM:
      if (size < 40) return false;
      if (std::memcmp(&fmt[24], FloatSubFormat, 16) == 0)
        h.WavType = wtExtIEEEFloat;
      else if (std::memcmp(&fmt[24], PcmSubFormat, 16) != 0)
        return false;
      break;
    case wtMSADPCM: {
      if (size < 22) return false;
      const uint32_t count = GetLE16(&fmt[20]);
      if (count == 0 || 22 + 4 * count > size) return false;
      h.Coefs.resize(count);
      for (uint32_t i = 0; i < count; ++i)
        h.Coefs[i] = {static_cast<int16_t>(GetLE16(&fmt[22 + 4 * i])),
                      static_cast<int16_t>(GetLE16(&fmt[24 + 4 * i]))};
      h.SamplesPerBlock = GetLE16(&fmt[18]);
      break;
    }
    case wtDVIADPCM:
    case wtACM:
      if (size >= 20) h.SamplesPerBlock = GetLE16(&fmt[18]);
      break;
    default:
      break;
  }

  if (h.WavType == wtDVIADPCM || h.WavType == wtMSADPCM || h.WavType == wtACM) {
    if (!r.FindChunk("fact", size) || size < 4) return false;
    uint8_t b[4];
    h.FactOffset = Base + r.Pos();
    if (!r.Read(b, 4) || !r.Skip(static_cast<int64_t>(size) - 4 + (size & 1))) return false;
    h.HasFact = true;
    h.FactSamples = GetLE32(b);
  }

  if (!r.FindChunk("data", size)) return false;
  h.DataSize = size;
  h.DataStart = Base + r.Pos();
  h.DataSizeOffset = h.DataStart - 4;
  Header = std::move(h);
  return true;
}

// ===========================================================================
// TWaveIn

TWaveIn::TWaveIn(TComponent* AOwner) : TAuFileIn(AOwner) {}

TWaveIn::~TWaveIn() = default;

TWavType TWaveIn::WavType() {
  try {
    OpenFile();
  } catch (const std::exception&) {
    return wtUnsupported;
  }
  return FWavType;
}

void TWaveIn::DoOpenFile() {
  FValid = false;
  FWavType = wtUnsupported;
  FSize = 0;
  FBitsPerSample = FChannels = FSampleRate = 0;
  FFloatIsSingle = false;
  FAcmStream.reset();
  FAcmAnnounced = -1;
  FPayloadDamage.clear();
  if (!FStreamAssigned) OpenOwnStream();
  int64_t base = 0;
  try {
    base = FStream->Position();
    FSeekable = true;
  } catch (const EStreamError&) {
    FSeekable = false;
  }
  try {
    TWavHeader h;
    if (!ScanWavHeader(*FStream, base, h)) return;
    const int64_t available = FSeekable ? std::max<int64_t>(FStream->Size() - h.DataStart, 0) : -1;
    if (h.WavType == wtACM) {
      FValid = OpenThroughAcm(base);
      if (FValid) NoteCutPayload(h, available);
    } else {
      FValid = OpenPayload(h, available);
    }
  } catch (const Exception&) {
    FValid = false;
  } catch (const std::bad_alloc&) {
    FValid = false;
  }
  if (!FValid) {
    FWavType = wtUnsupported;
    FSize = 0;
    FBitsPerSample = FChannels = FSampleRate = 0;
    FAcmStream.reset();
  }
}

bool TWaveIn::OpenPayload(const TWavHeader& H, int64_t Available) {
  const int32_t ch = H.Channels;
  if (ch == 0 || H.SampleRate == 0 || H.SampleRate > 0x7FFFFFFF) return false;
  const bool adpcm = H.WavType == wtDVIADPCM || H.WavType == wtMSADPCM;
  int32_t bits = 0;
  switch (H.WavType) {
    case wtPCM:
    case wtExtPCM:
      if (!IsIntegerBits(H.BitsPerSample)) return false;
      bits = H.BitsPerSample;
      FSourceFrame = ch * (bits / 8);
      break;
    case wtIEEEFloat:
    case wtExtIEEEFloat:
      if (H.BitsPerSample != 32 && H.BitsPerSample != 64) return false;
      FFloatIsSingle = H.BitsPerSample == 32;
      bits = 32;  // delivered as 32-bit integers
      FSourceFrame = ch * (H.BitsPerSample / 8);
      break;
    case wtDVIADPCM:
    case wtMSADPCM: {
      if (ch > 2 || !H.HasFact) return false;
      const bool ima = H.WavType == wtDVIADPCM;
      if (ima && H.BitsPerSample != 4) return false;
      const int32_t capacity = ima ? ImaSamplesPerBlock(H.BlockAlign, ch) : MsAdpcmSamplesPerBlock(H.BlockAlign, ch);
      const int32_t spb = (ima && H.SamplesPerBlock == 0) ? capacity : H.SamplesPerBlock;
      if (capacity <= 0 || spb < (ima ? 1 : 2) || spb > capacity) return false;
      FBlockAlign = H.BlockAlign;
      FSamplesPerBlock = static_cast<uint16_t>(spb);
      FCoefs = H.Coefs;
      FFactSamples = H.FactSamples;
      bits = 16;
      FSourceFrame = FBlockAlign;
      break;
    }
    default:
      return false;
  }
  if (static_cast<int64_t>(ch) * (bits / 8) > 0xFFFF) return false;
  FWavType = H.WavType;
  FChannels = ch;
  // The payload the header announces. Sizes that streaming recorders leave behind run
  // to the end of the file (unknown on a stream that cannot seek); a file short of the
  // announced data by less than one frame (a cut last frame) is read as it is.
  int64_t data = H.DataSize;
  FToEnd = H.DataSize == 0 || H.DataSize == 0xFFFFFFFFu;
  if (FToEnd)
    data = Available;
  else if (!adpcm && Available >= 0 && Available < data && data - Available < FSourceFrame)
    data = Available;
  const bool doubles = (H.WavType == wtIEEEFloat || H.WavType == wtExtIEEEFloat) && !FFloatIsSingle;
  int64_t size;
  if (data < 0) {
    size = adpcm ? int64_t(FFactSamples) * 2 * ch : -1;
  } else if (adpcm) {
    size = FramesIn(data) * 2 * ch;
  } else {
    data -= data % FSourceFrame;
    size = doubles ? data / 2 : data;
  }
  // More than the file holds is a file cut short or a header in error: the run fails
  // where the data ends, and its length is not known.
  if (Available >= 0 && data > Available) size = -1;
  FSampleRate = static_cast<int32_t>(H.SampleRate);
  FBitsPerSample = bits;
  FSize = size;
  FDataStart = H.DataStart;
  FDataSize = data < 0 ? INT64_MAX : data;
  FDataLeft = FDataSize;
  FCutShort = false;
  FAheadBytes = 0;
  FBufStart = FBufEnd = 0;
  if (adpcm) {
    FBlock.assign(FBlockAlign, 0);
    FBuffer.assign(static_cast<size_t>(FSamplesPerBlock) * 2 * ch, 0);
    // A damaged first block means the file is not what its header says.
    if (FSeekable && data > 0) {
      const int64_t n = ReadPayload(FBlock.data(), FBlockAlign);
      auto* out = reinterpret_cast<int16_t*>(FBuffer.data());
      if (DecodeAdpcmBlock(FBlock.data(), n, out, FSamplesPerBlock) < 0) return false;
      FStream->Seek(FDataStart, soBeginning);
      FDataLeft = FDataSize;
      FCutShort = false;
    }
  } else {
    FBuffer.assign(std::max<size_t>(DecodeBufferSize, static_cast<size_t>(FSourceFrame)), 0);
  }
  return true;
}

int64_t TWaveIn::FramesIn(int64_t Bytes) const {
  if (FWavType != wtDVIADPCM && FWavType != wtMSADPCM) return Bytes / FSourceFrame;
  const int64_t rest = Bytes % FBlockAlign;
  const int64_t frames =
      Bytes / FBlockAlign * FSamplesPerBlock +
      std::min<int64_t>(FSamplesPerBlock, FWavType == wtDVIADPCM ? ImaFramesIn(rest, FChannels) : MsFramesIn(rest, FChannels));
  return std::min<int64_t>(FFactSamples, frames);
}

void TWaveIn::RaiseCutShort() const {
  const int64_t frame = static_cast<int64_t>(FChannels) * (FBitsPerSample / 8);
  const int64_t announced = FAcmAnnounced >= 0 ? FAcmAnnounced : FramesIn(FDataSize);
  const int64_t held = FAcmAnnounced >= 0 ? FDataSize / frame : FramesIn(FDataSize - FDataLeft);
  throw EAuException(DecodingErrorMessage("WAV", FFileName, held,
                                          "the file ends early; its header announces " + std::to_string(announced) +
                                              " sample frames"));
}

bool TWaveIn::OpenThroughAcm(int64_t Base) {
  if (!FSeekable) return false;
  auto image = std::make_unique<TMemoryStream>();
  WAVEFORMATEX payload;
  bool damaged = false;
  {
    TWaveConverter conv;
    FStream->Seek(Base, soBeginning);
    if (conv.LoadWAVHeaderFromStream(*FStream) != 0) return false;
    payload = conv.OldFormat;
    conv.NewFormat = WAVEFORMATEX();
    conv.NewFormat.wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(conv.OldFormat, conv.NewFormat, 129, ACM_FORMATSUGGESTF_WFORMATTAG) != MMSYSERR_NOERROR)
      return false;
    const int32_t r = conv.Convert();
    damaged = r == static_cast<int32_t>(ACMERR_DAMAGED);
    if (r != 0 && !damaged) return false;
    if (conv.SaveWAVToStream(*image) != 0) return false;
  }
  image->Seek(0, soBeginning);
  TWavHeader h;
  if (!ScanWavHeader(*image, 0, h) || h.WavType != wtPCM) return false;
  FAcmStream = std::move(image);
  if (!OpenPayload(h, FAcmStream->Size() - h.DataStart)) return false;
  FWavType = wtACM;
  if (damaged) {
    // The audio before the damage is the file's; a payload damaged before any is not
    // what its header says.
    if (FSize <= 0) return false;
    FPayloadDamage = DecodingErrorMessage(PayloadFormatName(payload), FFileName, FSize / FSourceFrame,
                                          PayloadDamageText(payload));
  }
  return true;
}

void TWaveIn::NoteCutPayload(const TWavHeader& H, int64_t Available) {
  // A compressed payload is converted whole at open; when the file holds less than
  // its header announces, the run delivers what there is and then fails (unless
  // damage before the end fails it first).
  if (!FPayloadDamage.empty()) return;
  const bool toEnd = H.DataSize == 0 || H.DataSize == 0xFFFFFFFFu;
  if (toEnd || Available < 0 || H.DataSize - Available < std::max<int64_t>(H.BlockAlign, 1)) return;
  const int64_t frame = static_cast<int64_t>(FChannels) * (FBitsPerSample / 8);
  const int64_t held = FSize / frame;
  int64_t announced = H.FactSamples;
  if (announced <= held)
    announced = Available > 0 ? static_cast<int64_t>(std::ceil(double(held) * H.DataSize / double(Available))) : 0;
  FAcmAnnounced = std::max(announced, held + 1);
  FSize = -1;  // more than the file holds: not known
}

void TWaveIn::DoCloseFile() {
  FAcmStream.reset();
  FBuffer = std::vector<uint8_t>();
  FBlock = std::vector<uint8_t>();
  FAhead = std::vector<uint8_t>();
  FAheadBytes = 0;
  FBufStart = FBufEnd = 0;
}

int64_t TWaveIn::ReadPayload(void* Buffer, int64_t Count) {
  TStream& s = FAcmStream ? *FAcmStream : *FStream;
  const int64_t want = std::min(Count, FDataLeft);
  const int64_t n = ReadUpTo(s, Buffer, want);
  FDataLeft -= n;
  // The file ended before the data its header announces.
  if (n < want && !FToEnd) FCutShort = true;
  return n;
}

int32_t TWaveIn::DecodeAdpcmBlock(const uint8_t* Block, int64_t Bytes, int16_t* Out, int32_t MaxFrames) const {
  return FWavType == wtDVIADPCM
             ? ImaDecodeBlock(Block, static_cast<int32_t>(Bytes), FChannels, Out, MaxFrames)
             : MsAdpcmDecodeBlock(Block, static_cast<int32_t>(Bytes), FChannels, FCoefs.data(),
                                  static_cast<int32_t>(FCoefs.size()), Out, MaxFrames);
}

void TWaveIn::FillAdpcm() {
  const int64_t before = FDataSize - FDataLeft - FAheadBytes;  // payload offset of this block
  int64_t n;
  if (FAheadBytes > 0) {
    FBlock.swap(FAhead);
    n = FAheadBytes;
    FAheadBytes = 0;
  } else {
    n = ReadPayload(FBlock.data(), FBlockAlign);
  }
  if (n <= 0) return;
  // The next block is read now: damage found in its header may have begun in this
  // block, whose codes cannot show it.
  if (n == FBlockAlign && FDataLeft > 0 && !FCutShort) {
    FAhead.resize(FBlockAlign);
    FAheadBytes = ReadPayload(FAhead.data(), FBlockAlign);
  }
  auto* out = reinterpret_cast<int16_t*>(FBuffer.data());
  const int32_t frames = DecodeAdpcmBlock(FBlock.data(), n, out, FSamplesPerBlock);
  const int64_t header = (FWavType == wtDVIADPCM ? 4 : 7) * FChannels;
  int16_t first[4];
  const bool nextDamaged = FAheadBytes >= header && DecodeAdpcmBlock(FAhead.data(), header, first, 2) < 0;
  if (frames < 0 || nextDamaged) {
    // A cut last block too short for its header holds no samples; anything
    // else is damage that must not pass for the end of the audio.
    if (frames < 0 && (FDataLeft == 0 || FCutShort) && n < header) return;
    SetDamage(DecodingErrorMessage(FWavType == wtDVIADPCM ? "IMA ADPCM" : "Microsoft ADPCM", FFileName,
                                   FramesIn(before), "a block is damaged"));
    RaiseDamage();
  }
  FBufEnd = frames * 2 * FChannels;
}

void TWaveIn::Refill() {
  FBufStart = FBufEnd = 0;
  switch (FWavType) {
    case wtDVIADPCM:
    case wtMSADPCM:
      FillAdpcm();
      return;
    default: {
      const int64_t room = static_cast<int64_t>(FBuffer.size()) - static_cast<int64_t>(FBuffer.size()) % FSourceFrame;
      int64_t got = ReadPayload(FBuffer.data(), room);
      got -= got % FSourceFrame;  // a cut last frame is no sample
      if (FWavType == wtIEEEFloat || FWavType == wtExtIEEEFloat) {
        if (FFloatIsSingle) {
          SinglesToInt32(FBuffer.data(), static_cast<int32_t>(got));
        } else {
          DoublesToInt32(FBuffer.data(), static_cast<int32_t>(got));
          got /= 2;
        }
      }
      FBufEnd = static_cast<int32_t>(got);
      return;
    }
  }
}

void TWaveIn::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  if (!FBusy) throw EAuException("The Stream is not opened");
  RaiseDamage();
  if (FBufStart >= FBufEnd) {
    // What the file holds goes out first, then its end is reported as damage.
    if (!FCutShort || FAheadBytes > 0) Refill();
    if (FBufStart >= FBufEnd && (FCutShort || (FAcmAnnounced >= 0 && FDataLeft == 0))) RaiseCutShort();
  }
  const uint32_t frame = std::max<uint32_t>(FFrameSize, 1);
  const uint32_t n = std::min<uint32_t>(Bytes - Bytes % frame, static_cast<uint32_t>(FBufEnd - FBufStart));
  Buffer = FBuffer.data() + FBufStart;
  Bytes = n;
  FBufStart += static_cast<int32_t>(n);
  // The last audio before the damage of a compressed payload goes out with the
  // damage noted, so that a run reading to the end fails after it.
  if (!FPayloadDamage.empty() && FDataLeft == 0 && FBufStart >= FBufEnd) SetDamage(FPayloadDamage);
}

bool TWaveIn::SeekRaw(int64_t& SampleNum) {
  FBufStart = FBufEnd = 0;
  FCutShort = false;
  FAheadBytes = 0;
  if (!FSeekable || SampleNum < 0) return false;
  int64_t offset;
  switch (FWavType) {
    case wtPCM:
      offset = SampleNum * FSourceFrame;
      break;
    case wtDVIADPCM:
    case wtMSADPCM: {
      // Blocks decode only from their start.
      const int64_t block = SampleNum / FSamplesPerBlock;
      offset = block * FBlockAlign;
      SampleNum = block * FSamplesPerBlock;
      break;
    }
    default:
      return false;
  }
  offset = std::min(offset, FDataSize);
  FStream->Seek(FDataStart + offset, soBeginning);
  FDataLeft = FDataSize - offset;
  return true;
}

// ===========================================================================
// TWaveOut

TWaveOut::TWaveOut(TComponent* AOwner) : TAuFileOut(AOwner) {}

void TWaveOut::SetWavType(TWavType Value) {
  if (FBusy) return;
  if (Value == wtPCM || Value == wtDVIADPCM) FWavType = Value;
}

void TWaveOut::SetBlockSize(uint16_t Value) {
  if (FBusy || Value == 0 || Value % 4 != 0) return;
  FBlockSize = Value;
}

void TWaveOut::SetFileMode(TFileOutputMode Value) { FFileMode = Value; }

void TWaveOut::CheckRoom(int64_t MoreBytes) const {
  const int64_t data = FDataBytes + MoreBytes;
  const int64_t riff = FDataStart - FHeaderStart - 8 + data + (data & 1);
  if (data > MaxRiffSize || riff > MaxRiffSize)
    throw EAuException("The .wav file would be larger than 4 GB, which the format cannot hold.");
}

// The header's fields: a frame of at most 65535 bytes, and a second's bytes in 32 bits.
std::string TWaveOut::FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const {
  const int64_t bytes = Bits >= 8 ? Bits / 8 : 1;
  const auto maxChannels = static_cast<int32_t>(0xFFFF / bytes);
  const auto maxRate =
      static_cast<int32_t>(std::min<int64_t>(0xFFFFFFFFLL / (bytes * std::max(Channels, 1)), INT32_MAX));
  const TAuFormatLimits limits{"A", "WAV", maxChannels, AuBitsAll, 1, maxRate};
  return FormatRefusalText(limits, Bits, Channels, Rate);
}

void TWaveOut::Prepare() {
  try {
    DoPrepare();
  } catch (...) {
    FFailed = true;
    throw;
  }
}

void TWaveOut::DoPrepare() {
  FEndReached = false;
  FAppending = FHeaderWritten = FFailed = FFinalized = false;
  FCanSeek = true;
  FDataBytes = FOldFrames = FFramesWritten = 0;
  FFactOffset = FDataSizeOffset = -1;
  FDataStart = FHeaderStart = 0;
  if (!FStreamAssigned && FWideFileName.empty()) throw EAuException("File name is not assigned.");

  RefuseInputFormat();
  StartInput();
  FChannels = FInput->Channels();
  FBits = FInput->BitsPerSample();
  FRate = FInput->SampleRate();
  FAnnounced = FInput->Size();

  // The type of this run; the published WavType stays as the caller set it.
  FRunType = FWavType;
  if ((FChannels > 2 || FBits > 16) && !FCreateNonMsHeaders) FRunType = wtExtPCM;

  if (FFileMode == foAppend && (FStreamAssigned || FileExists(FFileName))) {
    if (!FStreamAssigned) OpenOwnStream();
    FAppending = FStream->Size() > 0;
  }

  if (FAppending) {
    ScanAppendTarget();
  } else {
    if (FRunType == wtDVIADPCM) {
      if (FBits != 16) throw EAuException("Cannot encode 8 bit sound into ADPCM.");
      if (FChannels > 2) throw EAuException("IMA ADPCM can only be written in mono or stereo.");
      if (ImaSamplesPerBlock(FBlockSize, FChannels) <= 1 || ImaSamplesPerBlock(FBlockSize, FChannels) > 0xFFFF)
        throw EAuException("The ADPCM block size " + std::to_string(FBlockSize) + " does not fit " +
                           std::to_string(FChannels) + " channel(s).");
    }
    const int32_t headerSize =
        FRunType == wtExtPCM ? ExtHeaderSize : FRunType == wtDVIADPCM ? ImaHeaderSize : PcmHeaderSize;
    FHeaderStart = 0;
    if (FStreamAssigned) {
      try {
        FHeaderStart = FStream->Position();
      } catch (const EStreamError&) {
        FCanSeek = false;  // a pipe: written front to back, the header as announced
      }
    }
    FDataStart = FHeaderStart + headerSize;
    if (FAnnounced > 0) {
      int64_t announcedData = FAnnounced;
      if (FRunType == wtDVIADPCM) {
        const int64_t spb = ImaSamplesPerBlock(FBlockSize, FChannels);
        announcedData = (FAnnounced / 2 / FChannels + spb - 1) / spb * FBlockSize;
      }
      CheckRoom(announcedData);
    }
    if (!FStreamAssigned) CreateOwnStream();
    WriteHeader();
  }

  if (FRunType == wtDVIADPCM) {
    FIma[0] = FIma[1] = TImaChannelState();
    const size_t blocks = std::max<size_t>(1, ImaWriteBytes / FBlockSize);
    FSamples.assign(blocks * ImaSamplesPerBlock(FBlockSize, FChannels) * FChannels, 0);
    FBlock.assign(blocks * FBlockSize, 0);
  }
}

void TWaveOut::ScanAppendTarget() {
  FStream->Seek(0, soBeginning);
  FHeaderStart = 0;
  TWavHeader h;
  if (!ScanWavHeader(*FStream, 0, h) || (h.WavType != wtPCM && h.WavType != wtDVIADPCM))
    throw EAuException("Cannot append data to this .wav file.");
  // New data can only go where the old data ends, and that must be the end of the file.
  const int64_t fileSize = FStream->Size();
  const int64_t dataEnd = h.DataStart + h.DataSize;
  const bool padded = (h.DataSize & 1) && dataEnd + 1 == fileSize;
  if (dataEnd != fileSize && !padded) throw EAuException("Cannot append data to this .wav file.");
  FOldWavType = h.WavType;
  FOldSampleRate = h.SampleRate;
  FOldChannels = h.Channels;
  FOldBits = h.BitsPerSample;
  FFactOffset = h.FactOffset;
  FDataSizeOffset = h.DataSizeOffset;
  FDataStart = h.DataStart;
  FRunType = h.WavType;
  const auto differentFormat = [] { throw EAuException("Cannot append data in different audio format."); };
  if (FRunType == wtPCM) {
    if (static_cast<int64_t>(FRate) != FOldSampleRate || FBits != FOldBits || FChannels != FOldChannels)
      differentFormat();
  } else {
    if (FBits != 16) throw EAuException("Cannot encode 8 bit sound into ADPCM.");
    if (static_cast<int64_t>(FRate) != FOldSampleRate || FChannels != FOldChannels || FOldBits != 4 ||
        h.BlockAlign != FBlockSize || ImaSamplesPerBlock(FBlockSize, FChannels) <= 1)
      differentFormat();
    // A cut last block in the middle of the data would garble what follows it.
    if (h.DataSize % FBlockSize != 0) throw EAuException("Cannot append data to this .wav file.");
    FOldFrames = static_cast<int64_t>(h.DataSize / FBlockSize) * ImaSamplesPerBlock(FBlockSize, FChannels);
  }
  FDataBytes = h.DataSize;
  if (FAnnounced > 0) CheckRoom(FAnnounced);
  if (padded) FStream->SetSize(dataEnd);
  FStream->Seek(dataEnd, soBeginning);
  FHeaderWritten = true;
}

void TWaveOut::WriteHeader() {
  // Unknown sizes get placeholders; Finish writes the real ones.
  const bool known = FAnnounced >= 0;
  const uint32_t blockAlign = static_cast<uint32_t>(FChannels * (FBits / 8));
  // The format record: PCM (16 bytes), IMA ADPCM (20) or extensible (40).
  uint8_t fmt[40] = {};
  uint32_t fmtSize = 16;
  uint32_t data = known ? static_cast<uint32_t>(FAnnounced) : 0xFFFFFFFFu;
  uint32_t samples = 0;
  PutLE16(fmt + 2, static_cast<uint16_t>(FChannels));
  PutLE32(fmt + 4, static_cast<uint32_t>(FRate));
  if (FRunType == wtDVIADPCM) {
    const uint32_t spb = static_cast<uint32_t>(ImaSamplesPerBlock(FBlockSize, FChannels));
    samples = known ? static_cast<uint32_t>(FAnnounced / 2 / FChannels) : 0;
    data = known ? (samples + spb - 1) / spb * FBlockSize : 0xFFFFFFFFu;
    fmtSize = 20;
    PutLE16(fmt, 0x0011);
    PutLE32(fmt + 8, static_cast<uint32_t>(FRate) / spb * FBlockSize);
    PutLE16(fmt + 12, FBlockSize);
    PutLE16(fmt + 14, 4);
    PutLE16(fmt + 16, 2);
    PutLE16(fmt + 18, static_cast<uint16_t>(spb));
  } else {
    PutLE16(fmt, FRunType == wtExtPCM ? 0xFFFE : 1);
    PutLE32(fmt + 8, static_cast<uint32_t>(FRate) * blockAlign);
    PutLE16(fmt + 12, static_cast<uint16_t>(blockAlign));
    PutLE16(fmt + 14, static_cast<uint16_t>(FBits));
    if (FRunType == wtExtPCM) {
      fmtSize = 40;
      PutLE16(fmt + 16, 22);
      PutLE16(fmt + 18, static_cast<uint16_t>(FBits));
      const uint32_t mask = FChannels == 1 ? 1 : FChannels == 2 ? 3 : FChannels == 6 ? 63 : FChannels == 8 ? 255 : 0;
      PutLE32(fmt + 20, mask);
      std::memcpy(fmt + 24, PcmSubFormat, 16);
    }
  }
  const bool fact = FRunType == wtDVIADPCM;
  const uint32_t len = 28 + fmtSize + (fact ? 12 : 0);
  uint8_t h[ExtHeaderSize];
  int64_t at = PutWavHeaderStart(h, known ? data + len - 8 : 0xFFFFFFFFu, fmt, fmtSize);
  if (fact) {
    at += PutRiffChunkHeader(h + at, "fact", 4);
    FFactOffset = FHeaderStart + at;
    PutLE32(h + at, samples);
    at += 4;
  }
  at += PutRiffChunkHeader(h + at, "data", data);
  FStream->WriteBuffer(h, at);
  FDataSizeOffset = FHeaderStart + at - 4;
  FDataStart = FHeaderStart + at;
  FHeaderWritten = true;
}

bool TWaveOut::WriteBlock(bool Abort) {
  if (!Prepared()) return true;
  if (Abort || FEndReached) return false;
  try {
    return DoWriteBlock();
  } catch (...) {
    FFailed = true;
    throw;
  }
}

bool TWaveOut::DoWriteBlock() {
  if (FRunType == wtDVIADPCM) {
    // Several blocks per step: one write for all of them.
    const int32_t spb = ImaSamplesPerBlock(FBlockSize, FChannels);
    const size_t blockSamples = static_cast<size_t>(spb) * FChannels;
    auto* dst = reinterpret_cast<uint8_t*>(FSamples.data());
    const uint32_t want = static_cast<uint32_t>(FSamples.size() * 2);
    uint32_t got = 0;
    // What came before an input failure is still written; then the failure counts.
    std::exception_ptr failure;
    try {
      while (got < want) {
        const uint32_t n = FInput->CopyData(dst + got, want - got);
        if (n == 0) {
          FEndReached = true;
          break;
        }
        got += n;
      }
    } catch (...) {
      failure = std::current_exception();
    }
    const int64_t frames = got / (2 * FChannels);
    if (frames > 0) {
      const int64_t blocks = (frames + spb - 1) / spb;
      // The rest of a last block stays silent; the "fact" count tells the real length.
      std::fill(FSamples.begin() + frames * FChannels, FSamples.begin() + blocks * static_cast<int64_t>(blockSamples),
                int16_t{0});
      CheckRoom(blocks * FBlockSize);
      for (int64_t b = 0; b < blocks; ++b)
        ImaEncodeBlock(FSamples.data() + b * blockSamples, FChannels, FBlockSize, FIma,
                       FBlock.data() + b * FBlockSize);
      FStream->WriteBuffer(FBlock.data(), blocks * FBlockSize);
      FDataBytes += blocks * FBlockSize;
      FFramesWritten += frames;
    }
    if (failure) std::rethrow_exception(failure);
  } else {
    void* p = nullptr;
    uint32_t n = DecodeBufferSize;
    FInput->ReadData(p, n);
    if (n > 0 && p) {
      CheckRoom(n);
      FStream->WriteBuffer(p, n);
      FDataBytes += n;
    } else {
      FEndReached = true;
    }
  }
  if (!FEndReached) return true;
  // The whole input is written: complete the file here, where a failure is still
  // reported as the run's error. The header gets the true sizes; a stream that cannot
  // seek back keeps the header it has, so the data is made as long as it announced.
  if (FCanSeek) {
    PatchSizes();
  } else {
    if (FAnnounced >= 0) PadToAnnounced();
    WritePadByte();
  }
  FFinalized = true;
  return false;
}

void TWaveOut::PadToAnnounced() {
  if (FRunType == wtDVIADPCM || FDataBytes >= FAnnounced) return;
  // An input that delivered less than it announced: the header's promise is kept with silence.
  std::vector<uint8_t> silence(static_cast<size_t>(std::min<int64_t>(FAnnounced - FDataBytes, 65536)),
                               FBits == 8 ? 0x80 : 0x00);
  while (FDataBytes < FAnnounced) {
    const int64_t n = std::min<int64_t>(FAnnounced - FDataBytes, static_cast<int64_t>(silence.size()));
    CheckRoom(n);
    FStream->WriteBuffer(silence.data(), n);
    FDataBytes += n;
  }
}

void TWaveOut::WritePadByte() {
  const uint8_t pad = 0;
  if (FDataBytes & 1) FStream->WriteBuffer(&pad, 1);
}

void TWaveOut::PatchSizes() {
  int64_t end = FDataStart + FDataBytes;
  FStream->Seek(end, soBeginning);
  WritePadByte();
  end += FDataBytes & 1;
  uint8_t b[4];
  PutLE32(b, static_cast<uint32_t>(FDataBytes));
  FStream->Seek(FDataSizeOffset, soBeginning);
  FStream->WriteBuffer(b, 4);
  if (FRunType == wtDVIADPCM && FFactOffset >= 0) {
    PutLE32(b, static_cast<uint32_t>(FOldFrames + FFramesWritten));
    FStream->Seek(FFactOffset, soBeginning);
    FStream->WriteBuffer(b, 4);
  }
  PutLE32(b, static_cast<uint32_t>(end - FHeaderStart - 8));
  FStream->Seek(FHeaderStart + 4, soBeginning);
  FStream->WriteBuffer(b, 4);
  FStream->Seek(end, soBeginning);
}

void TWaveOut::Finish() {
  // A run that was stopped or failed keeps what it wrote, with sizes that tell the
  // truth; a stopped one whose sizes cannot be written is not passed off as complete.
  std::exception_ptr error;
  if (FStream && FHeaderWritten && !FFinalized && FCanSeek) {
    try {
      PatchSizes();
    } catch (const std::exception&) {
      if (!FFailed) error = std::current_exception();
    }
  }
  FFinalized = false;
  FHeaderWritten = false;
  ReleaseStream();
  FSamples = std::vector<int16_t>();
  FBlock = std::vector<uint8_t>();
  FlushInput();
  if (error) std::rethrow_exception(error);
}
