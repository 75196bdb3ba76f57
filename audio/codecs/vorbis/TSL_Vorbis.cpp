#include "audio/codecs/vorbis/TSL_Vorbis.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <set>

#include "audio/core/TSL_Procs.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"

TCodecLibrary OggLib("libogg.so.0");
TCodecLibrary VorbisLib("libvorbis.so.0");
TCodecLibrary VorbisEncLib("libvorbisenc.so.2");
TCodecLibrary VorbisFileLib("libvorbisfile.so.3");

namespace {

// The entry points the components call, library by library.
#define OGG_ENTRIES(X) \
  X(ogg_stream_init)   \
  X(ogg_stream_clear)  \
  X(ogg_stream_packetin) \
  X(ogg_stream_pageout) \
  X(ogg_stream_flush)  \
  X(ogg_page_eos)      \
  X(ogg_page_serialno) \
  X(ogg_sync_init)     \
  X(ogg_sync_clear)    \
  X(ogg_sync_buffer)   \
  X(ogg_sync_wrote)    \
  X(ogg_sync_pageout)
#define VORBIS_ENTRIES(X)        \
  X(vorbis_info_init)            \
  X(vorbis_info_clear)           \
  X(vorbis_comment_init)         \
  X(vorbis_comment_add_tag)      \
  X(vorbis_comment_clear)        \
  X(vorbis_analysis_init)        \
  X(vorbis_analysis_headerout)   \
  X(vorbis_analysis_buffer)      \
  X(vorbis_analysis_wrote)       \
  X(vorbis_analysis_blockout)    \
  X(vorbis_analysis)             \
  X(vorbis_block_init)           \
  X(vorbis_block_clear)          \
  X(vorbis_dsp_clear)            \
  X(vorbis_bitrate_addblock)     \
  X(vorbis_bitrate_flushpacket)
#define VORBISENC_ENTRIES(X) \
  X(vorbis_encode_init)      \
  X(vorbis_encode_setup_vbr) \
  X(vorbis_encode_setup_init)
#define VORBISFILE_ENTRIES(X) \
  X(ov_test_callbacks)        \
  X(ov_test_open)             \
  X(ov_comment)               \
  X(ov_info)                  \
  X(ov_pcm_total)             \
  X(ov_read)                  \
  X(ov_pcm_seek)              \
  X(ov_clear)

namespace vb {
OGG_ENTRIES(CODEC_ENTRY_POINTER)
VORBIS_ENTRIES(CODEC_ENTRY_POINTER)
VORBISENC_ENTRIES(CODEC_ENTRY_POINTER)
VORBISFILE_ENTRIES(CODEC_ENTRY_POINTER)
void BindOgg(TCodecLibrary& Lib) { OGG_ENTRIES(CODEC_BIND_ENTRY) }
void BindVorbis(TCodecLibrary& Lib) { VORBIS_ENTRIES(CODEC_BIND_ENTRY) }
void BindVorbisEnc(TCodecLibrary& Lib) { VORBISENC_ENTRIES(CODEC_BIND_ENTRY) }
void BindVorbisFile(TCodecLibrary& Lib) { VORBISFILE_ENTRIES(CODEC_BIND_ENTRY) }
}  // namespace vb

constexpr uint32_t EncodeBlockBytes = 24576;
constexpr uint32_t DecodeBufferBytes = 12288;

// Vorbis orders the channels of 3 to 8 channel streams its own way; PCM in the
// pipeline has the WAV order. Entry i: the WAV channel of Vorbis channel i.
const uint8_t* VorbisChannelMap(int32_t Channels) {
  static const uint8_t m3[] = {0, 2, 1};
  static const uint8_t m5[] = {0, 2, 1, 3, 4};
  static const uint8_t m6[] = {0, 2, 1, 4, 5, 3};
  static const uint8_t m7[] = {0, 2, 1, 5, 6, 4, 3};
  static const uint8_t m8[] = {0, 2, 1, 6, 7, 4, 5, 3};
  switch (Channels) {
    case 3: return m3;
    case 5: return m5;
    case 6: return m6;
    case 7: return m7;
    case 8: return m8;
    default: return nullptr;  // 1, 2 and 4 channels share the WAV order; above 8 none is defined
  }
}

}  // namespace

void RequireVorbisLibraries() {
  OggLib.RequireAll(vb::BindOgg);
  VorbisLib.RequireAll(vb::BindVorbis);
  VorbisFileLib.RequireAll(vb::BindVorbisFile);
  VorbisEncLib.RequireAll(vb::BindVorbisEnc);
}

int32_t VorbisBitRateValue(int32_t Ordinal) {
  static const int32_t rates[] = {-1,     24000,  32000,  45000,  48000,  56000,  64000,  80000,  96000,
                                  112000, 128000, 144000, 160000, 192000, 224000, 256000, 320000, 499000};
  const int32_t i = ((Ordinal % 128) + 128) % 128;
  return i < static_cast<int32_t>(std::size(rates)) ? rates[i] : -1;
}

// ===========================================================================
// TVorbisOut

struct TVorbisOut::TState {
  ogg_stream_state Os{};
  ogg_page Og{};
  ogg_packet Op{};
  vorbis_info Vi{};
  vorbis_comment Vc{};
  vorbis_dsp_state Vd{};
  vorbis_block Vb{};
  bool InfoInit = false, CommentInit = false, DspInit = false, BlockInit = false, StreamInit = false;
  int32_t Channels = 0, Bits = 0;
};

TVorbisOut::TVorbisOut(TComponent* AOwner) : TAuFileOut(AOwner), FComments(std::make_unique<TVorbisTags>()) {}

TVorbisOut::~TVorbisOut() = default;

void TVorbisOut::SetDesiredNominalBitrate(TVorbisBitRate Value) {
  FDesiredNominalBitrate = Value;
  if (Value < FMinimumBitrate) FMinimumBitrate = Value;
  // An automatic maximum is no limit, so it is not raised.
  if (FDesiredMaximumBitrate != brAutoSelect && Value > FDesiredMaximumBitrate) FDesiredMaximumBitrate = Value;
  if (Value == brAutoSelect) FDesiredMaximumBitrate = brAutoSelect;
}

void TVorbisOut::SetDesiredMaximumBitrate(TVorbisBitRate Value) {
  if (FDesiredNominalBitrate == brAutoSelect) return;
  if (Value == brAutoSelect || Value >= FDesiredNominalBitrate) FDesiredMaximumBitrate = Value;
}

void TVorbisOut::SetMinimumBitrate(TVorbisBitRate Value) {
  if (Value <= FDesiredNominalBitrate) FMinimumBitrate = Value;
}

namespace {

// Hands every whole Ogg page of Stream from byte From to its end to Page.
void ForEachPage(TStream& Stream, int64_t From, const std::function<void(ogg_page&)>& Page) {
  struct TSync {
    ogg_sync_state State{};
    TSync() { vb::ogg_sync_init(&State); }
    ~TSync() { vb::ogg_sync_clear(&State); }
  } oy;
  Stream.Seek(From, soBeginning);
  for (;;) {
    char* buf = vb::ogg_sync_buffer(&oy.State, 65536);
    if (!buf) break;
    const int64_t n = Stream.Read(buf, 65536);
    vb::ogg_sync_wrote(&oy.State, static_cast<long>(std::max<int64_t>(n, 0)));
    ogg_page page;
    int r;
    while ((r = vb::ogg_sync_pageout(&oy.State, &page)) != 0)
      if (r > 0) Page(page);
    if (n <= 0) break;
  }
}

// The serial numbers of the Ogg pages in Stream (read from its start).
std::set<int> SerialsIn(TStream& Stream) {
  std::set<int> used;
  ForEachPage(Stream, 0, [&used](ogg_page& P) { used.insert(vb::ogg_page_serialno(&P)); });
  return used;
}

// Whether the last whole page of Stream carries the end-of-stream mark, as the last
// page of a whole file does (in a chained or multiplexed file too: every logical stream
// ends with its mark, the last of them on the last page). Listing a file reads only its
// last few kilobytes; the search goes further back only while what it read holds no
// whole page, as far as the largest page and a cut one after it. The stream's position
// is kept.
bool EndsWithEndOfStream(TStream& Stream) {
  constexpr int64_t MaxPage = 27 + 255 + 255 * 255, FirstTail = 8192;
  const int64_t at = Stream.Position();
  const int64_t size = Stream.Size();
  bool found = false, eos = false;
  try {
    for (int64_t tail = FirstTail; !found; tail *= 4) {
      const int64_t from = std::max<int64_t>(size - std::min(tail, 2 * MaxPage), 0);
      ForEachPage(Stream, from, [&](ogg_page& P) {
        found = true;
        eos = vb::ogg_page_eos(&P) != 0;
      });
      if (from == 0 || tail >= 2 * MaxPage) break;
    }
  } catch (...) {
    Stream.Seek(at, soBeginning);
    throw;
  }
  Stream.Seek(at, soBeginning);
  return eos;
}

}  // namespace

void TVorbisOut::WritePages(bool Flush) {
  TState& s = *FState;
  while (!FEndOfStream) {
    const int r = Flush ? vb::ogg_stream_flush(&s.Os, &s.Og) : vb::ogg_stream_pageout(&s.Os, &s.Og);
    if (r == 0) break;
    FStream->WriteBuffer(s.Og.header, s.Og.header_len);
    FStream->WriteBuffer(s.Og.body, s.Og.body_len);
    if (vb::ogg_page_eos(&s.Og)) FEndOfStream = true;
  }
}

// libvorbisenc has modes for rates up to 200 kHz and for up to 255 channels.
std::string TVorbisOut::FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const {
  static const TAuFormatLimits limits{"An", "Ogg Vorbis", 255, AuBitsAll, 1, 200000};
  return FormatRefusalText(limits, Bits, Channels, Rate);
}

void TVorbisOut::Prepare() {
  RequireVorbisLibraries();
  RefuseInputFormat();
  if (!FStreamAssigned) {
    if (FFileName.empty()) throw EAuException("File name is not assigned.");
    if (FFileMode == foAppend && FileExists(FFileName))
      OpenOwnStream();
    else
      CreateOwnStream();
  }
  StartInput();
  int32_t serial = FSerial;
  if (FFileMode == foAppend) {
    // Streams chained in one file must have serial numbers of their own.
    const std::set<int> used = SerialsIn(*FStream);
    while (used.count(serial)) serial = static_cast<int32_t>(static_cast<uint32_t>(serial) + 1);
    FStream->Seek(0, soEnd);
  }
  FEndOfStream = false;
  FEndWritten = false;

  FState = std::make_unique<TState>();
  TState& s = *FState;
  s.Channels = FInput->Channels();
  s.Bits = FInput->BitsPerSample();
  const int32_t rate = FInput->SampleRate();

  vb::vorbis_info_init(&s.Vi);
  s.InfoInit = true;
  if (FDesiredNominalBitrate == brAutoSelect) {
    // A set-up the encoder refuses would leave nothing to encode with.
    if (vb::vorbis_encode_setup_vbr(&s.Vi, s.Channels, rate, FCompression) != 0 ||
        vb::vorbis_encode_setup_init(&s.Vi) != 0)
      throw EAuException("Vorbis codec setup with the requested quality failed.");
  } else {
    const long nominal = VorbisBitRateValue(FDesiredNominalBitrate);
    long minimum = VorbisBitRateValue(FMinimumBitrate);
    if (minimum == -1) minimum = nominal;
    if (vb::vorbis_encode_init(&s.Vi, s.Channels, rate, VorbisBitRateValue(FDesiredMaximumBitrate), nominal,
                               minimum) != 0)
      throw EAuException("Vorbis codec setup with the requested bitrate failed. Try a lower bitrate.");
  }

  vb::vorbis_comment_init(&s.Vc);
  s.CommentInit = true;
  for (int32_t i = 0; i < FComments->Count(); ++i) {
    const std::string key = FComments->Keys(i);
    const std::string value = UTF16ToUTF8(FComments->AsWideString(key));
    if (!value.empty()) vb::vorbis_comment_add_tag(&s.Vc, key.c_str(), value.c_str());
  }

  if (vb::vorbis_analysis_init(&s.Vd, &s.Vi) != 0) throw EAuException("Failed to initialize the Vorbis encoder.");
  s.DspInit = true;
  vb::vorbis_block_init(&s.Vd, &s.Vb);
  s.BlockInit = true;
  vb::ogg_stream_init(&s.Os, serial);
  s.StreamInit = true;
  ogg_packet header, comment, codebook;
  vb::vorbis_analysis_headerout(&s.Vd, &s.Vc, &header, &comment, &codebook);
  vb::ogg_stream_packetin(&s.Os, &header);
  vb::ogg_stream_packetin(&s.Os, &comment);
  vb::ogg_stream_packetin(&s.Os, &codebook);
  // The headers stand on pages of their own.
  WritePages(true);
  FBuffer.resize(EncodeBlockBytes);
}

bool TVorbisOut::WriteBlock(bool Abort) {
  if (!Prepared()) return true;
  if (Abort || FEndOfStream) return false;
  // The end was announced and no end-of-stream page came: nothing more will.
  if (FEndWritten) return false;
  TState& s = *FState;
  bool eof = false;
  const uint32_t bytes = FInput->FillBuffer(FBuffer.data(), EncodeBlockBytes, eof);
  const int32_t ch = s.Channels;
  const uint32_t frame = static_cast<uint32_t>(ch * (s.Bits / 8));
  const int32_t samples = static_cast<int32_t>(bytes / frame);
  if (samples == 0) {
    vb::vorbis_analysis_wrote(&s.Vd, 0);
    FEndWritten = true;
  } else {
    float** out = vb::vorbis_analysis_buffer(&s.Vd, samples);
    const size_t count = size_t(samples) * size_t(ch);
    if (FSamples.size() < count) FSamples.resize(count);
    UnpackPCM(FBuffer.data(), s.Bits / 8, FSamples.data(), count);
    // Full scale is 2^(bits - 1): exact in single precision.
    const float scale = 1.0f / static_cast<float>(1u << (s.Bits - 1));
    const uint8_t* map = VorbisChannelMap(ch);
    for (int32_t c = 0; c < ch; ++c) {
      const int32_t* v = FSamples.data() + (map ? map[c] : c);
      float* d = out[c];
      for (int32_t i = 0; i < samples; ++i, v += ch) d[i] = static_cast<float>(*v) * scale;
    }
    vb::vorbis_analysis_wrote(&s.Vd, samples);
  }
  while (vb::vorbis_analysis_blockout(&s.Vd, &s.Vb) == 1) {
    vb::vorbis_analysis(&s.Vb, nullptr);
    vb::vorbis_bitrate_addblock(&s.Vb);
    while (vb::vorbis_bitrate_flushpacket(&s.Vd, &s.Op)) {
      vb::ogg_stream_packetin(&s.Os, &s.Op);
      WritePages(false);
    }
  }
  return true;
}

void TVorbisOut::Finish() {
  ReleaseStream();
  FlushInput();
  FComments->Clear();
  if (FState) {
    TState& s = *FState;
    if (s.StreamInit) vb::ogg_stream_clear(&s.Os);
    if (s.BlockInit) vb::vorbis_block_clear(&s.Vb);
    if (s.DspInit) vb::vorbis_dsp_clear(&s.Vd);
    if (s.CommentInit) vb::vorbis_comment_clear(&s.Vc);
    if (s.InfoInit) vb::vorbis_info_clear(&s.Vi);
    FState.reset();
  }
  FBuffer = std::vector<uint8_t>();
  FSamples = std::vector<int32_t>();
}

// ===========================================================================
// TVorbisIn

struct TVorbisIn::TState {
  OggVorbis_File Vf{};
};

// libvorbisfile reads through these with the input as data source. Nothing may be
// raised through the library.
struct TVorbisCallbacks {
  static size_t Read(void* Ptr, size_t Size, size_t Count, void* Source) {
    auto* self = static_cast<TVorbisIn*>(Source);
    if (Size == 0 || Count == 0) return 0;
    try {
      const int64_t n = self->FStream->Read(Ptr, static_cast<int64_t>(Size * Count));
      // The library takes a zero count with errno set for a read error.
      if (n == 0) errno = 0;
      return static_cast<size_t>(n) / Size;
    } catch (const std::exception&) {
      errno = EIO;
      return 0;
    }
  }

  static int Seek(void* Source, ogg_int64_t Offset, int Whence) {
    auto* self = static_cast<TVorbisIn*>(Source);
    if (!self->FSeekable) return -1;
    const TSeekOrigin origin = Whence == SEEK_CUR ? soCurrent : Whence == SEEK_END ? soEnd : soBeginning;
    try {
      self->FStream->Seek(Offset, origin);
      return 0;
    } catch (const std::exception&) {
      return -1;
    }
  }

  static long Tell(void* Source) {
    try {
      return static_cast<long>(static_cast<TVorbisIn*>(Source)->FStream->Position());
    } catch (const std::exception&) {
      return -1;
    }
  }
};

TVorbisIn::TVorbisIn(TComponent* AOwner) : TAuFileIn(AOwner), FComments(std::make_unique<TVorbisTags>()) {}

TVorbisIn::~TVorbisIn() {
  if (FState) vb::ov_clear(&FState->Vf);
}

void TVorbisIn::DoOpenFile() {
  RequireVorbisLibraries();
  FValid = true;
  if (!FStreamAssigned) OpenOwnStream();
  // A file cut short has no end mark on its last page. A stream that cannot seek tells
  // only once its data has ended.
  FCutShort = FEndKnown = false;
  if (FSeekable) {
    try {
      FCutShort = !EndsWithEndOfStream(*FStream);
      FEndKnown = true;
    } catch (const EStreamError&) {
    }
  }
  FState = std::make_unique<TState>();
  // The base class releases the stream when the file is closed: no close callback.
  const ov_callbacks callbacks = {TVorbisCallbacks::Read, TVorbisCallbacks::Seek, nullptr, TVorbisCallbacks::Tell};
  int r = vb::ov_test_callbacks(this, &FState->Vf, nullptr, 0, callbacks);
  if (r == 0) r = vb::ov_test_open(&FState->Vf);
  if (r != 0) {
    vb::ov_clear(&FState->Vf);
    FState.reset();
    // Released here once; the caller finds no stream left.
    ReleaseStream();
    throw EAuException("Failed to open an ogg file: " + std::to_string(r));
  }

  FComments->Clear();
  if (const vorbis_comment* vc = vb::ov_comment(&FState->Vf, -1)) {
    for (int i = 0; i < vc->comments; ++i) {
      if (vc->user_comments[i] && vc->comment_lengths[i] >= 0)
        FComments->TakeComment(std::string_view(vc->user_comments[i], static_cast<size_t>(vc->comment_lengths[i])));
    }
  }
  const vorbis_info* vi = vb::ov_info(&FState->Vf, -1);
  if (!vi || vi->channels < 1 || vi->rate <= 0 || vi->rate > INT32_MAX) {
    FValid = false;
    return;
  }
  FChannels = vi->channels;
  FSampleRate = static_cast<int32_t>(vi->rate);
  FMaxBitrate = static_cast<int32_t>(vi->bitrate_upper);
  FNominalBitrate = static_cast<int32_t>(vi->bitrate_nominal);
  FMinBitrate = static_cast<int32_t>(vi->bitrate_lower);
  FBitsPerSample = 16;
  // The length is the last page's position, believed only as far as the file can hold
  // it: an audio packet takes at least a byte and its lacing value and gives at most
  // 4096 frames. Believed or not, a stream that decodes short of it lost pages. A file
  // cut short tells only what its whole pages hold: its length is not known.
  FAnnouncedFrames = vb::ov_pcm_total(&FState->Vf, -1);
  FHeldFrames = BelievedLength(FAnnouncedFrames, FStream->Size(), 2, 4096);
  FSize = FHeldFrames >= 0 && !FCutShort ? FHeldFrames * 2 * FChannels : -1;
  FCurrentSection = -1;
  FEndOfStream = false;
  FFramesDecoded = 0;
  FBufStart = FBufEnd = 0;
}

void TVorbisIn::DoCloseFile() {
  if (FState) {
    vb::ov_clear(&FState->Vf);
    FState.reset();
  }
  FBuf = std::vector<uint8_t>();
  FBufStart = FBufEnd = 0;
}

void TVorbisIn::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  if (!FBusy || !FState) throw EAuException("The Stream is not opened");
  if (FBufStart >= FBufEnd) {
    FBufStart = FBufEnd = 0;
    // Whole frames only: the decoder delivers nothing into less room than one.
    const uint32_t frame = static_cast<uint32_t>(FChannels) * 2;
    const uint32_t capacity = DecodeBufferBytes - DecodeBufferBytes % frame;
    if (FBuf.size() < capacity) FBuf.resize(capacity);
    uint32_t count = 0;
    RaiseDamage();
    while (!FEndOfStream && count < capacity) {
      int section = 0;
      const long r = vb::ov_read(&FState->Vf, reinterpret_cast<char*>(FBuf.data()) + count,
                                 static_cast<int>(capacity - count), 0, 2, 1, &section);
      // Data that ends without the end mark on its last page, or in the middle of a
      // page, was cut short.
      const bool cut = r == 0 && ((FEndKnown ? FCutShort : FState->Vf.os.e_o_s == 0) || EndsInsideAPage());
      if (r < 0 || cut) {
        // What decoded before the damage goes out first.
        SetDamage(DecodingErrorMessage("Ogg Vorbis", FFileName, FFramesDecoded,
                                       r == OV_HOLE ? "data is missing"
                                       : r < 0      ? "the stream is damaged"
                                                    : "the file ends early"));
        break;
      }
      if (r == 0) {
        // Pages whose checksum fails are dropped unseen: a stream that ends short of the
        // length its last page announces lost them.
        if (FAnnouncedFrames >= 0 && FFramesDecoded < FAnnouncedFrames) {
          SetDamage(DecodingErrorMessage("Ogg Vorbis", FFileName, FFramesDecoded, "data is missing"));
          break;
        }
        FEndOfStream = true;
        break;
      }
      if (section != FCurrentSection) {
        FCurrentSection = section;
        // A chained stream in another format cannot go on in this one: the audio before
        // it goes out, then the run fails rather than end early or at the wrong speed.
        const vorbis_info* vi = vb::ov_info(&FState->Vf, section);
        if (!vi || vi->channels != FChannels || vi->rate != FSampleRate) {
          SetDamage(DecodingErrorMessage("Ogg Vorbis", FFileName, FFramesDecoded,
                                         "a chained stream changes to another channel count or sample rate"));
          break;
        }
      }
      count += static_cast<uint32_t>(r);
      FFramesDecoded += r / frame;
    }
    if (const uint8_t* map = VorbisChannelMap(FChannels)) {
      uint8_t in[16];
      uint8_t* p = FBuf.data();
      for (uint32_t f = 0; f < count / frame; ++f, p += frame) {
        std::memcpy(in, p, frame);
        for (int32_t c = 0; c < FChannels; ++c) std::memcpy(p + map[c] * 2, in + c * 2, 2);
      }
    }
    FBufEnd = static_cast<int32_t>(count);
    if (count == 0) RaiseDamage();
  }
  const uint32_t n = std::min<uint32_t>(Bytes, static_cast<uint32_t>(FBufEnd - FBufStart));
  Buffer = n > 0 ? FBuf.data() + FBufStart : nullptr;
  Bytes = n;
  FBufStart += static_cast<int32_t>(n);
}

bool TVorbisIn::EndsInsideAPage() const {
  // At the end of the data the sync layer still holds the bytes it could not make a
  // page of: a page that starts and is cut off (the next link of a chain, say, after
  // one that ended whole).
  const ogg_sync_state& oy = FState->Vf.oy;
  return oy.data && oy.fill - oy.returned >= 4 && std::memcmp(oy.data + oy.returned, "OggS", 4) == 0;
}

int32_t TVorbisIn::GetTotalTime() {
  const int32_t known = TAuFileIn::GetTotalTime();
  // A file cut short: what its whole pages hold stands for its length in lists.
  if (FSize >= 0 || FHeldFrames <= 0 || FSampleRate <= 0) return known;
  return static_cast<int32_t>(Round(static_cast<double>(FHeldFrames) / FSampleRate));
}

bool TVorbisIn::SeekRaw(int64_t& SampleNum) {
  OpenFile();
  if (!FState) return false;
  const int r = vb::ov_pcm_seek(&FState->Vf, SampleNum);
  FFramesDecoded = SampleNum;
  FBufStart = FBufEnd = 0;
  FEndOfStream = false;
  return r == 0;
}
