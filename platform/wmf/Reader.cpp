// The synchronous reader: libavformat demuxes ASF or MP3 from the caller's byte
// stream, libavcodec decodes, libswresample makes the chosen PCM format.
//
// Exact lengths: the number of frames a stream decodes to is measured once per file
// (MP3 from the packet durations and the encoder's delay and padding, everything
// else by decoding) and kept with the packet layout, which also lets a seek land on
// the exact sample: reading restarts, skips whole packets, decodes a few packets
// before the target to settle the decoder and drops what lies before the target.
// Reading a stream from its start needs no measurement beforehand: the decode makes
// it on the way.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <list>
#include <mutex>

#include "platform/ffmpeg/FFmpegLib.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/MPEGAudioFormat.h"
#include "platform/wmf/AsfHeader.h"
#include "platform/wmf/WMF.h"

namespace {

constexpr int AvioBufferSize = 64 * 1024;
constexpr int64_t HundredNs = 10000000;
// Consecutive demuxer errors after which the rest of the stream is taken as lost.
constexpr int MaxReadErrors = 64;
// The most samples an MPEG audio frame of a listed bit rate holds per byte: Layer III
// at 8 kbit/s and 24 kHz, 576 samples in 24 bytes.
constexpr int64_t MaxMpegSamplesPerByte = 24;
// The largest header looked at for encryption objects.
constexpr size_t MaxHeaderScan = 1 << 20;

// What a stream decodes to, measured once.
struct TScan {
  // Offset[k]: frames decoded before packet k of the stream; Offset[N] before the
  // decoder's flush, whose output is FlushOut.
  std::vector<int64_t> Offset;
  int64_t FlushOut = 0;
  int64_t TrimStart = 0, TrimEnd = 0;  // encoder delay and padding (MP3)
  // The frames the stream's header announces (MPEG's frame count), -1 when it does not.
  int64_t Announced = -1;
  // The first frame (untrimmed) that is not sound audio, -1 when the stream is intact.
  int64_t DamageAt = -1;
  int64_t Total() const { return Offset.back() + FlushOut; }
  // The frames the stream should give: a damaged stream is longer than what decodes
  // of it before the damage.
  int64_t Length() const {
    int64_t n = std::max(Total(), Announced);
    return DamageAt >= 0 ? std::max(n, DamageAt + 1) : n;
  }
  int64_t Delivered() const { return std::max<int64_t>(0, Length() - TrimStart - TrimEnd); }
  void Damage(int64_t At) {
    if (DamageAt < 0) DamageAt = std::max<int64_t>(At, 0);
  }
};

bool IsMpeg(AVCodecID Id) { return Id == AV_CODEC_ID_MP3 || Id == AV_CODEC_ID_MP2 || Id == AV_CODEC_ID_MP1; }

// Bytes of the MPEG audio frame whose header is at P; 0 for no valid header, -1 for
// a free-format frame, whose size the header does not give.
int MpegFrameBytes(const uint8_t* P, size_t Size) {
  TMPEGFrameHeader h;
  if (Size < 4 || !DecodeMPEGFrameHeader(GetBE32(P), h)) return 0;
  return h.Kbps == 0 ? -1 : h.Bytes;
}

// Watches the packets of a stream for damage the demuxer passes over. MPEG frames
// follow each other, each as long as its header says; other packets follow each other
// in time. Damage may have begun in the packet before the one that shows it (a
// packet's data can be hurt without its header), so that one is not trusted either;
// a last MPEG frame cut short is the end of a file cut off.
class TDamageWatch {
public:
  TDamageWatch(const AVStream* St, bool Mpeg)
      : FMpeg(Mpeg), FSlack(FF().av_rescale_q(2, AVRational{1, 1000}, St->time_base) + 1) {}  // ASF rounds to ms

  // The packet whose output starts at the last entry of Scan.Offset.
  void Packet(const AVPacket* Pkt, TScan& Scan) {
    const size_t k = Scan.Offset.size() - 1;
    if (FMpeg) {
      const int bytes = MpegFrameBytes(Pkt->data, static_cast<size_t>(Pkt->size));
      const bool joined = FLastPos < 0 || Pkt->pos < 0 || Pkt->pos == FLastPos + FLastSize;
      if (FShortAt >= 0) Scan.Damage(Before(Scan, static_cast<size_t>(FShortAt)));  // it was not the last
      FShortAt = -1;
      if (bytes > 0 && Pkt->size < bytes && joined)
        FShortAt = static_cast<int64_t>(k);
      else if (bytes == 0 || (bytes > 0 && Pkt->size != bytes) || !joined)
        Scan.Damage(Before(Scan, k));
      FLastPos = Pkt->pos;
      FLastSize = Pkt->size;
    } else {
      if (FLastPts != AV_NOPTS_VALUE && Pkt->pts != AV_NOPTS_VALUE && FLastDuration > 0 &&
          std::llabs(Pkt->pts - (FLastPts + FLastDuration)) > FSlack)
        Scan.Damage(Before(Scan, k));
      FLastPts = Pkt->pts;
      FLastDuration = Pkt->duration;
    }
  }

  void End(TScan& Scan) {
    if (FShortAt >= 0) Scan.Damage(Scan.Offset[static_cast<size_t>(FShortAt)]);
  }

private:
  static int64_t Before(const TScan& Scan, size_t K) { return Scan.Offset[K > 0 ? K - 1 : 0]; }

  bool FMpeg;
  int64_t FSlack;
  int64_t FLastPos = -1, FLastSize = 0;
  int64_t FShortAt = -1;  // the packet of a frame shorter than its header says
  int64_t FLastPts = AV_NOPTS_VALUE, FLastDuration = 0;
};

struct TScanKey {
  uint64_t Device, Inode, Size;
  int64_t Modified;
  uint64_t Origin;
  int Stream;
  bool operator==(const TScanKey&) const = default;
};

// Measurements of recent files, so that a file measured when it was listed is not
// measured again when it is converted.
class TScanCache {
public:
  std::shared_ptr<const TScan> Find(const TScanKey& Key) {
    std::lock_guard<std::mutex> lk(FLock);
    for (auto it = FItems.begin(); it != FItems.end(); ++it)
      if (it->first == Key) {
        FItems.splice(FItems.begin(), FItems, it);
        return FItems.front().second;
      }
    return nullptr;
  }
  void Add(const TScanKey& Key, std::shared_ptr<const TScan> Scan) {
    std::lock_guard<std::mutex> lk(FLock);
    FItems.emplace_front(Key, std::move(Scan));
    if (FItems.size() > 128) FItems.pop_back();
  }

private:
  std::mutex FLock;
  std::list<std::pair<TScanKey, std::shared_ptr<const TScan>>> FItems;
};

TScanCache& ScanCache() {
  static TScanCache cache;
  return cache;
}

// The caller's stream, seen from Origin on, for one AVIOContext. Every read seeks
// first, because several demuxer instances may share the stream.
struct TAvioSource {
  IWMByteStream* Stream = nullptr;
  uint64_t Origin = 0;
  int64_t Pos = 0;
};

int AvioRead(void* Opaque, uint8_t* Buf, int Size) {
  auto* s = static_cast<TAvioSource*>(Opaque);
  uint64_t np = 0;
  if (FAILED(s->Stream->Seek(static_cast<int64_t>(s->Origin) + s->Pos, STREAM_SEEK_SET, &np))) return AVERROR(EIO);
  uint32_t got = 0;
  s->Stream->Read(Buf, static_cast<uint32_t>(Size), &got);
  if (got == 0) return AVERROR_EOF;
  s->Pos += got;
  return static_cast<int>(got);
}

int64_t AvioSeek(void* Opaque, int64_t Offset, int Whence) {
  auto* s = static_cast<TAvioSource*>(Opaque);
  WMSTATSTG st;
  const bool haveSize = SUCCEEDED(s->Stream->Stat(st));
  const int64_t size = haveSize ? static_cast<int64_t>(st.cbSize) - static_cast<int64_t>(s->Origin) : -1;
  switch (Whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
      return size;
    case SEEK_SET:
      break;
    case SEEK_CUR:
      Offset += s->Pos;
      break;
    case SEEK_END:
      if (size < 0) return -1;
      Offset += size;
      break;
    default:
      return -1;
  }
  if (Offset < 0) return -1;
  s->Pos = Offset;
  return Offset;
}

// One demuxer instance over the stream.
class TDemux {
public:
  ~TDemux() { Close(); }

  // Probe: Format nullptr finds the format and accepts ASF and MP3 only.
  bool Open(IWMByteStream* Stream, uint64_t Origin, const AVInputFormat*& Format) {
    Close();
    FSource.Stream = Stream;
    FSource.Origin = Origin;
    FSource.Pos = 0;
    auto* buf = static_cast<uint8_t*>(FF().av_malloc(AvioBufferSize));
    if (!buf) return false;
    FAvio = FF().avio_alloc_context(buf, AvioBufferSize, 0, &FSource, AvioRead, nullptr, AvioSeek);
    if (!FAvio) {
      FF().av_free(buf);
      return false;
    }
    if (!Format) {
      const AVInputFormat* found = nullptr;
      if (FF().av_probe_input_buffer2(FAvio, &found, nullptr, nullptr, 0, 0) < 0 || !found) return false;
      const std::string name = found->name;
      if (name != "asf" && name != "mp3") return false;
      Format = found;
    }
    FCtx = FF().avformat_alloc_context();
    if (!FCtx) return false;
    FCtx->pb = FAvio;
    FCtx->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (FF().avformat_open_input(&FCtx, nullptr, Format, nullptr) < 0) {
      FCtx = nullptr;  // freed by avformat_open_input
      return false;
    }
    if (FF().avformat_find_stream_info(FCtx, nullptr) < 0) return false;
    return true;
  }

  void Close() {
    if (FCtx) FF().avformat_close_input(&FCtx);
    if (FAvio) {
      FF().av_freep(&FAvio->buffer);
      FF().avio_context_free(&FAvio);
    }
  }

  AVFormatContext* Ctx() const { return FCtx; }

private:
  TAvioSource FSource;
  AVIOContext* FAvio = nullptr;
  AVFormatContext* FCtx = nullptr;
};

struct TOutputFormat {
  int Channels = 0;
  int Bits = 16;
};

struct TCodecDeleter {
  void operator()(AVCodecContext* C) const { FF().avcodec_free_context(&C); }
};
using TCodecPtr = std::unique_ptr<AVCodecContext, TCodecDeleter>;

TCodecPtr OpenDecoder(const AVStream* St) {
  const AVCodec* codec = FF().avcodec_find_decoder(St->codecpar->codec_id);
  if (!codec) return nullptr;
  TCodecPtr ctx(FF().avcodec_alloc_context3(codec));
  if (!ctx) return nullptr;
  if (FF().avcodec_parameters_to_context(ctx.get(), St->codecpar) < 0) return nullptr;
  ctx->pkt_timebase = St->time_base;
  ctx->thread_count = 1;
  if (FF().avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
  return ctx;
}

// Reads the next packet of stream Index into Packet and notes it in Scan, its audio
// starting at frame Frames, watched for damage; a read error is damage at Frames. False
// at the end of the input, or after too many read errors in a row.
bool NextStreamPacket(AVFormatContext* Ctx, int Index, AVPacket* Packet, int64_t Frames, TScan& Scan,
                      TDamageWatch& Watch, int& Errors) {
  for (;;) {
    const int r = FF().av_read_frame(Ctx, Packet);
    if (r < 0) {
      if (r == AVERROR_EOF || FF().avio_feof(Ctx->pb)) return false;
      Scan.Damage(Frames);
      if (++Errors >= MaxReadErrors) return false;
      continue;
    }
    Errors = 0;
    if (Packet->stream_index == Index) break;
    FF().av_packet_unref(Packet);
  }
  Scan.Offset.push_back(Frames);
  Watch.Packet(Packet, Scan);
  return true;
}

}  // namespace

// ===========================================================================

class WMReaderHeaderInfo : public IWMHeaderInfo {
public:
  explicit WMReaderHeaderInfo(WMSyncReaderImpl& R) : FReader(R) {}
  HRESULT GetAttributeByName(uint16_t& StreamNum, const std::string& Name, WMT_ATTR_DATATYPE& Type, uint8_t* Value,
                             uint16_t& Length) override;
  HRESULT SetAttribute(uint16_t, const std::string&, WMT_ATTR_DATATYPE, const uint8_t*, uint16_t) override {
    return NS_E_INVALID_REQUEST;  // a reader's header is read-only
  }

private:
  WMSyncReaderImpl& FReader;
};

class WMSyncReaderImpl {
public:
  // Raises when FFmpeg cannot be loaded, so the reader's clean-up always finds it.
  WMSyncReaderImpl() : FHeaderInfo(*this) { FF(); }
  ~WMSyncReaderImpl() { Close(); }

  HRESULT OpenStream(IWMByteStream* Stream);
  HRESULT Close();
  HRESULT GetOutputCount(uint32_t& Outputs);
  HRESULT GetOutputProps(uint32_t Output, WM_MEDIA_TYPE& Type);
  HRESULT SetOutputProps(uint32_t Output, const WM_MEDIA_TYPE& Type);
  HRESULT GetOutputFormatCount(uint32_t Output, uint32_t& Formats);
  HRESULT GetOutputFormat(uint32_t Output, uint32_t Format, WM_MEDIA_TYPE& Type);
  HRESULT SetOutputSetting(uint32_t Output, const std::string& Name, WMT_ATTR_DATATYPE Type, const uint8_t* Value,
                           uint16_t Length);
  HRESULT GetStreamNumberForOutput(uint32_t Output, uint16_t& StreamNum);
  HRESULT SetReadStreamSamples(uint16_t StreamNum, bool Compressed);
  HRESULT GetNextSample(uint16_t StreamNum, std::unique_ptr<INSSBuffer>& Sample, uint64_t& Time, uint64_t& Duration,
                        uint32_t& Flags, uint32_t& Output, uint16_t& StreamNumOut);
  HRESULT SetRange(uint64_t Start, int64_t Duration);
  HRESULT GetOutputSampleCount(uint32_t Output, int64_t& Frames);
  IWMHeaderInfo* HeaderInfo() { return FCtx() ? &FHeaderInfo : nullptr; }

  AVFormatContext* FCtx() const { return FDemux ? FDemux->Ctx() : nullptr; }

private:
  struct TOutput {
    int StreamIndex = -1;
    bool Audio = false;
    bool Discrete = false;
    int SpeakerConfig = 0;
    TOutputFormat Format;
    bool Selected = false;
  };

  bool ValidOutput(uint32_t Output) const { return FCtx() && Output < FOutputs.size(); }
  std::vector<TOutputFormat> FormatsOf(const TOutput& O) const;
  WM_MEDIA_TYPE MediaTypeOf(const TOutput& O, const TOutputFormat& F) const;
  const AVStream* StreamOf(const TOutput& O) const { return FCtx()->streams[O.StreamIndex]; }
  TOutput* ReadOutput();
  bool ScanKeyOf(const TOutput& O, TScanKey& Key) const;
  HRESULT EnsureScan(TOutput& O);
  std::shared_ptr<TScan> Measure(const TOutput& O);
  bool Restart();
  bool EnsureDecoder(const TOutput& O);
  bool EnsureResampler(const TOutput& O, const AVFrame* Frame);
  // The frames [From, From + Count) of the decoded frame in the output's format, or
  // nullptr when they cannot be converted. The frame is released.
  std::unique_ptr<INSSBuffer> TakeFrame(const TOutput& O, int64_t From, int64_t Count);
  // Time and duration of Count frames from untrimmed frame First.
  void Stamp(const TOutput& O, int64_t First, int64_t Count, uint64_t& Time, uint64_t& Duration) const;
  HRESULT NextDecodedSample(TOutput& O, std::unique_ptr<INSSBuffer>& Sample, uint64_t& Time, uint64_t& Duration);
  bool DrainDecoded(const TOutput& O);
  void ResetReadState();

  IWMByteStream* FStream = nullptr;
  uint64_t FOrigin = 0;
  const AVInputFormat* FFormat = nullptr;
  std::unique_ptr<TDemux> FDemux;
  std::vector<TOutput> FOutputs;
  bool FProtected = false;
  bool FWide = false;  // the source holds more than 16 bits per sample
  WMReaderHeaderInfo FHeaderInfo;

  // Reading
  std::shared_ptr<const TScan> FScan;
  TCodecPtr FDecoder;
  SwrContext* FSwr = nullptr;
  AVChannelLayout FSwrInLayout{};
  AVSampleFormat FSwrInFormat = AV_SAMPLE_FMT_NONE;
  AVPacket* FPacket = nullptr;
  AVFrame* FFrame = nullptr;
  std::vector<uint8_t> FConverted;
  int64_t FOrdinal = 0;          // packets of the stream read so far
  int64_t FSkipUntil = 0;        // packets before this one are not decoded
  int64_t FPrerollUntil = -1;    // output is dropped until this packet is sent
  bool FDropOutput = false;
  int64_t FCursor = 0;           // frame index (untrimmed) of the next decoded frame
  int64_t FDeliverFrom = 0;      // first untrimmed frame to deliver
  bool FInputEnded = false;
  bool FFlushSent = false;
  bool FReading = false;
  bool FDamaged = false;  // the stream turned out damaged: nothing more is delivered

  // Reading from the start without a measurement: the decode measures (FBuild), and its
  // audio waits until the next packet shows it sound, as damage can begin in the packet
  // before the one that shows it.
  struct TPending {
    std::unique_ptr<INSSBuffer> Buffer;
    int64_t First = 0, Count = 0;
  };
  std::shared_ptr<TScan> FBuild;
  std::unique_ptr<TDamageWatch> FWatch;
  std::deque<TPending> FPending;
  int64_t FSound = 0;  // decoded frames before this one are sound
  int FReadErrors = 0;
};

IWMSyncReader::IWMSyncReader() : FImpl(std::make_unique<WMSyncReaderImpl>()) {}
IWMSyncReader::~IWMSyncReader() = default;
HRESULT IWMSyncReader::OpenStream(IWMByteStream* Stream) { return FImpl->OpenStream(Stream); }
HRESULT IWMSyncReader::Close() { return FImpl->Close(); }
HRESULT IWMSyncReader::GetOutputCount(uint32_t& Outputs) { return FImpl->GetOutputCount(Outputs); }
HRESULT IWMSyncReader::GetOutputProps(uint32_t Output, WM_MEDIA_TYPE& Type) {
  return FImpl->GetOutputProps(Output, Type);
}
HRESULT IWMSyncReader::SetOutputProps(uint32_t Output, const WM_MEDIA_TYPE& Type) {
  return FImpl->SetOutputProps(Output, Type);
}
HRESULT IWMSyncReader::GetOutputFormatCount(uint32_t Output, uint32_t& Formats) {
  return FImpl->GetOutputFormatCount(Output, Formats);
}
HRESULT IWMSyncReader::GetOutputFormat(uint32_t Output, uint32_t Format, WM_MEDIA_TYPE& Type) {
  return FImpl->GetOutputFormat(Output, Format, Type);
}
HRESULT IWMSyncReader::SetOutputSetting(uint32_t Output, const std::string& Name, WMT_ATTR_DATATYPE Type,
                                        const uint8_t* Value, uint16_t Length) {
  return FImpl->SetOutputSetting(Output, Name, Type, Value, Length);
}
HRESULT IWMSyncReader::GetStreamNumberForOutput(uint32_t Output, uint16_t& StreamNum) {
  return FImpl->GetStreamNumberForOutput(Output, StreamNum);
}
HRESULT IWMSyncReader::SetReadStreamSamples(uint16_t StreamNum, bool Compressed) {
  return FImpl->SetReadStreamSamples(StreamNum, Compressed);
}
HRESULT IWMSyncReader::GetNextSample(uint16_t StreamNum, std::unique_ptr<INSSBuffer>& Sample, uint64_t& Time,
                                     uint64_t& Duration, uint32_t& Flags, uint32_t& Output, uint16_t& StreamNumOut) {
  return FImpl->GetNextSample(StreamNum, Sample, Time, Duration, Flags, Output, StreamNumOut);
}
HRESULT IWMSyncReader::SetRange(uint64_t Start, int64_t Duration) { return FImpl->SetRange(Start, Duration); }
HRESULT IWMSyncReader::GetOutputSampleCount(uint32_t Output, int64_t& Frames) {
  return FImpl->GetOutputSampleCount(Output, Frames);
}
IWMHeaderInfo* IWMSyncReader::HeaderInfo() { return FImpl->HeaderInfo(); }

HRESULT WMCreateSyncReader(void*, uint32_t, std::unique_ptr<IWMSyncReader>& Reader) {
  Reader = std::make_unique<IWMSyncReader>();
  return S_OK;
}

// ---------------------------------------------------------------------------

namespace {

// FFmpeg passes the texts of an MP3 file's ID3v1 block on as their bytes, which
// are ISO-8859-1: the values that came from the block are turned into UTF-8.
void Id3v1TextsToUTF8(IWMByteStream* Stream, uint64_t Origin, AVFormatContext* Ctx) {
  constexpr uint32_t BlockSize = 128;
  WMSTATSTG st;
  uint8_t b[BlockSize];
  uint32_t got = 0;
  if (FAILED(Stream->Stat(st)) || st.cbSize < Origin + BlockSize ||
      FAILED(Stream->Seek(static_cast<int64_t>(st.cbSize - BlockSize), STREAM_SEEK_SET, nullptr)) ||
      FAILED(Stream->Read(b, BlockSize, &got)) || got != BlockSize || std::memcmp(b, "TAG", 3) != 0)
    return;
  static const struct {
    const char* Key;
    int Offset;
  } fields[] = {{"title", 3}, {"artist", 33}, {"album", 63}, {"comment", 97}};
  for (const auto& f : fields) {
    const AVDictionaryEntry* e = FF().av_dict_get(Ctx->metadata, f.Key, nullptr, 0);
    if (!e || !e->value) continue;
    const char* field = reinterpret_cast<const char*>(b + f.Offset);
    const std::string raw(field, strnlen(field, 30));
    const std::string value = e->value;
    if (value.empty() || raw.compare(0, value.size(), value) != 0 ||
        raw.find_first_not_of(' ', value.size()) != std::string::npos)
      continue;
    std::string utf8;
    for (const unsigned char c : value) {
      if (c < 0x80) {
        utf8 += static_cast<char>(c);
      } else {
        utf8 += static_cast<char>(0xC0 | (c >> 6));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    FF().av_dict_set(&Ctx->metadata, f.Key, utf8.c_str(), 0);
  }
}

}  // namespace

HRESULT WMSyncReaderImpl::OpenStream(IWMByteStream* Stream) {
  Close();
  if (!Stream) return E_INVALIDARG;
  uint64_t origin = 0;
  if (FAILED(Stream->Seek(0, STREAM_SEEK_CUR, &origin))) return E_FAIL;
  FStream = Stream;
  FOrigin = origin;
  FFormat = nullptr;
  FDemux = std::make_unique<TDemux>();
  if (!FDemux->Open(Stream, origin, FFormat)) {
    Close();
    Stream->Seek(static_cast<int64_t>(origin), STREAM_SEEK_SET, nullptr);
    return NS_E_INVALID_INPUT_FORMAT;
  }
  AVFormatContext* ctx = FCtx();
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    TOutput o;
    o.StreamIndex = static_cast<int>(i);
    const AVCodecParameters* par = ctx->streams[i]->codecpar;
    o.Audio = par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0 && par->ch_layout.nb_channels > 0 &&
              FF().avcodec_find_decoder(par->codec_id) != nullptr;
    if (o.Audio) o.Format.Channels = std::min(par->ch_layout.nb_channels, 2);
    FOutputs.push_back(o);
  }
  if (std::string(FFormat->name) == "mp3") Id3v1TextsToUTF8(Stream, origin, ctx);
  // Encrypted ASF content is told by its header objects.
  if (std::string(FFormat->name) == "asf") {
    std::vector<uint8_t> head(30);
    uint32_t got = 0;
    Stream->Seek(static_cast<int64_t>(origin), STREAM_SEEK_SET, nullptr);
    Stream->Read(head.data(), 30, &got);
    const int64_t size = AsfHeaderObjectSize(head.data(), got);
    if (size > 30) {
      head.resize(static_cast<size_t>(std::min<int64_t>(size, MaxHeaderScan)));
      uint32_t more = 0;
      Stream->Read(head.data() + 30, static_cast<uint32_t>(head.size() - 30), &more);
      FProtected = AsfHeaderIsProtected(head.data(), 30 + more);
    }
  }
  return S_OK;
}

HRESULT WMSyncReaderImpl::Close() {
  ResetReadState();
  FDecoder.reset();
  FF().av_packet_free(&FPacket);
  FF().av_frame_free(&FFrame);
  FDemux.reset();
  FOutputs.clear();
  FScan.reset();
  FStream = nullptr;
  FProtected = false;
  FWide = false;
  return S_OK;
}

void WMSyncReaderImpl::ResetReadState() {
  FF().swr_free(&FSwr);
  FF().av_channel_layout_uninit(&FSwrInLayout);
  FSwrInFormat = AV_SAMPLE_FMT_NONE;
  FOrdinal = 0;
  FSkipUntil = 0;
  FPrerollUntil = -1;
  FDropOutput = false;
  FCursor = 0;
  FDeliverFrom = 0;
  FInputEnded = false;
  FFlushSent = false;
  FReading = false;
  FDamaged = false;
  FBuild.reset();
  FWatch.reset();
  FPending.clear();
  FSound = 0;
  FReadErrors = 0;
}

HRESULT WMSyncReaderImpl::GetOutputCount(uint32_t& Outputs) {
  if (!FCtx()) return NS_E_INVALID_REQUEST;
  Outputs = static_cast<uint32_t>(FOutputs.size());
  return S_OK;
}

std::vector<TOutputFormat> WMSyncReaderImpl::FormatsOf(const TOutput& O) const {
  std::vector<TOutputFormat> list;
  if (!O.Audio) return list;
  const AVCodecParameters* par = StreamOf(O)->codecpar;
  const int native = par->ch_layout.nb_channels;
  const bool wide = std::max(par->bits_per_coded_sample, par->bits_per_raw_sample) > 16;
  std::vector<int> channels;
  if (O.Discrete) {
    int top = native;
    if (O.SpeakerConfig > 0 && O.SpeakerConfig < top) top = O.SpeakerConfig;
    channels.push_back(top);
    if (top > 2) channels.push_back(2);
    if (top > 1) channels.push_back(1);
  } else {
    const int top = std::min(native, 2);
    channels.push_back(top);
    if (top > 1) channels.push_back(1);
  }
  for (int c : channels) {
    list.push_back({c, 16});
    if (O.Discrete && wide) list.push_back({c, 24});
  }
  return list;
}

WM_MEDIA_TYPE WMSyncReaderImpl::MediaTypeOf(const TOutput& O, const TOutputFormat& F) const {
  WM_MEDIA_TYPE t;
  if (!O.Audio) {
    t.majortype = StreamOf(O)->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? WMMEDIATYPE_Video : WMMEDIATYPE_Other;
    return t;
  }
  t.majortype = WMMEDIATYPE_Audio;
  t.subtype = WMMEDIASUBTYPE_PCM;
  t.wFormatTag = WMMEDIASUBTYPE_PCM;
  t.nChannels = static_cast<uint16_t>(F.Channels);
  t.nSamplesPerSec = static_cast<uint32_t>(StreamOf(O)->codecpar->sample_rate);
  t.wBitsPerSample = static_cast<uint16_t>(F.Bits);
  t.nBlockAlign = static_cast<uint16_t>(F.Channels * F.Bits / 8);
  t.nAvgBytesPerSec = t.nBlockAlign * t.nSamplesPerSec;
  AVChannelLayout l{};
  FF().av_channel_layout_default(&l, F.Channels);
  t.dwChannelMask = static_cast<uint32_t>(FF().av_channel_layout_subset(&l, ~uint64_t(0)));
  FF().av_channel_layout_uninit(&l);
  return t;
}

HRESULT WMSyncReaderImpl::GetOutputProps(uint32_t Output, WM_MEDIA_TYPE& Type) {
  if (!ValidOutput(Output)) return E_INVALIDARG;
  Type = MediaTypeOf(FOutputs[Output], FOutputs[Output].Format);
  return S_OK;
}

HRESULT WMSyncReaderImpl::GetOutputFormatCount(uint32_t Output, uint32_t& Formats) {
  if (!ValidOutput(Output)) return E_INVALIDARG;
  Formats = static_cast<uint32_t>(FormatsOf(FOutputs[Output]).size());
  return S_OK;
}

HRESULT WMSyncReaderImpl::GetOutputFormat(uint32_t Output, uint32_t Format, WM_MEDIA_TYPE& Type) {
  if (!ValidOutput(Output)) return E_INVALIDARG;
  const auto list = FormatsOf(FOutputs[Output]);
  if (Format >= list.size()) return E_INVALIDARG;
  Type = MediaTypeOf(FOutputs[Output], list[Format]);
  return S_OK;
}

HRESULT WMSyncReaderImpl::SetOutputProps(uint32_t Output, const WM_MEDIA_TYPE& Type) {
  if (!ValidOutput(Output)) return E_INVALIDARG;
  TOutput& o = FOutputs[Output];
  if (!o.Audio || Type.majortype != WMMEDIATYPE_Audio || Type.subtype != WMMEDIASUBTYPE_PCM)
    return NS_E_INVALID_OUTPUT_FORMAT;
  if (Type.nSamplesPerSec != static_cast<uint32_t>(StreamOf(o)->codecpar->sample_rate))
    return NS_E_INVALID_OUTPUT_FORMAT;
  for (const auto& f : FormatsOf(o))
    if (f.Channels == Type.nChannels && f.Bits == Type.wBitsPerSample) {
      o.Format = f;
      o.Selected = true;
      FF().swr_free(&FSwr);  // the next block uses the new format
      return S_OK;
    }
  return NS_E_INVALID_OUTPUT_FORMAT;
}

HRESULT WMSyncReaderImpl::SetOutputSetting(uint32_t Output, const std::string& Name, WMT_ATTR_DATATYPE Type,
                                           const uint8_t* Value, uint16_t Length) {
  if (!ValidOutput(Output)) return E_INVALIDARG;
  TOutput& o = FOutputs[Output];
  if (!Value || Length < 4) return E_INVALIDARG;
  const uint32_t v = GetLE32(Value);
  if (Name == g_wszEnableDiscreteOutput && Type == WMT_TYPE_BOOL) {
    o.Discrete = v != 0;
  } else if (Name == g_wszSpeakerConfig && Type == WMT_TYPE_DWORD) {
    o.SpeakerConfig = static_cast<int>(std::min<uint32_t>(v, 64));
  } else {
    return NS_E_UNSUPPORTED_PROPERTY;
  }
  // The current format is one the new settings offer.
  const auto list = FormatsOf(o);
  if (!list.empty() && std::none_of(list.begin(), list.end(), [&](const TOutputFormat& f) {
        return f.Channels == o.Format.Channels && f.Bits == o.Format.Bits;
      }))
    o.Format = list.front();
  return S_OK;
}

HRESULT WMSyncReaderImpl::GetStreamNumberForOutput(uint32_t Output, uint16_t& StreamNum) {
  if (!ValidOutput(Output)) return E_INVALIDARG;
  StreamNum = static_cast<uint16_t>(FOutputs[Output].StreamIndex + 1);
  return S_OK;
}

HRESULT WMSyncReaderImpl::SetReadStreamSamples(uint16_t StreamNum, bool Compressed) {
  if (!FCtx() || StreamNum == 0 || StreamNum > FOutputs.size()) return E_INVALIDARG;
  if (FProtected) return NS_E_PROTECTED_CONTENT;
  if (Compressed) return NS_E_INVALID_REQUEST;
  return S_OK;
}

WMSyncReaderImpl::TOutput* WMSyncReaderImpl::ReadOutput() {
  // The output read is the selected audio one, else the first audio output.
  for (auto& o : FOutputs)
    if (o.Audio && o.Selected) return &o;
  for (auto& o : FOutputs)
    if (o.Audio) return &o;
  return nullptr;
}

bool WMSyncReaderImpl::EnsureDecoder(const TOutput& O) {
  if (!FPacket) FPacket = FF().av_packet_alloc();
  if (!FFrame) FFrame = FF().av_frame_alloc();
  if (!FPacket || !FFrame) return false;
  if (!FDecoder) FDecoder = OpenDecoder(StreamOf(O));
  return FDecoder != nullptr;
}

bool WMSyncReaderImpl::EnsureResampler(const TOutput& O, const AVFrame* Frame) {
  if (FSwr && FSwrInFormat == Frame->format && FF().av_channel_layout_compare(&FSwrInLayout, &Frame->ch_layout) == 0)
    return true;
  FF().swr_free(&FSwr);
  FF().av_channel_layout_uninit(&FSwrInLayout);
  AVChannelLayout in{};
  if (Frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    FF().av_channel_layout_default(&in, Frame->ch_layout.nb_channels);
  else
    FF().av_channel_layout_copy(&in, &Frame->ch_layout);
  AVChannelLayout out{};
  if (O.Format.Channels == in.nb_channels)
    FF().av_channel_layout_copy(&out, &in);
  else
    FF().av_channel_layout_default(&out, O.Format.Channels);
  const AVSampleFormat outFmt = O.Format.Bits == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
  const int rate = Frame->sample_rate > 0 ? Frame->sample_rate : StreamOf(O)->codecpar->sample_rate;
  int r = FF().swr_alloc_set_opts2(&FSwr, &out, outFmt, rate, &in, static_cast<AVSampleFormat>(Frame->format), rate, 0,
                                   nullptr);
  FF().av_channel_layout_uninit(&out);
  if (r < 0 || FF().swr_init(FSwr) < 0) {
    FF().av_channel_layout_uninit(&in);
    FF().swr_free(&FSwr);
    return false;
  }
  FSwrInLayout = in;
  FSwrInFormat = static_cast<AVSampleFormat>(Frame->format);
  return true;
}

std::unique_ptr<INSSBuffer> WMSyncReaderImpl::TakeFrame(const TOutput& O, int64_t From, int64_t Count) {
  const int64_t n = FFrame->nb_samples;
  if (!EnsureResampler(O, FFrame)) {
    FF().av_frame_unref(FFrame);
    return nullptr;
  }
  const int frameBytes = O.Format.Channels * (O.Format.Bits == 16 ? 2 : 4);
  FConverted.resize(static_cast<size_t>(n) * frameBytes);
  uint8_t* outPlanes[1] = {FConverted.data()};
  const int got = FF().swr_convert(FSwr, outPlanes, static_cast<int>(n),
                                   const_cast<const uint8_t**>(FFrame->extended_data), static_cast<int>(n));
  FF().av_frame_unref(FFrame);
  if (got != n) return nullptr;
  const int outFrame = O.Format.Channels * O.Format.Bits / 8;
  auto buf = std::make_unique<INSSBuffer>(static_cast<uint32_t>(Count * outFrame));
  uint8_t* dst = nullptr;
  buf->GetBuffer(dst);
  const uint8_t* src = FConverted.data() + From * frameBytes;
  if (O.Format.Bits == 16) {
    std::memcpy(dst, src, static_cast<size_t>(Count * outFrame));
  } else {
    // 32-bit samples to packed 24-bit: the three high bytes.
    const int64_t samples = Count * O.Format.Channels;
    for (int64_t i = 0; i < samples; ++i) {
      dst[3 * i] = src[4 * i + 1];
      dst[3 * i + 1] = src[4 * i + 2];
      dst[3 * i + 2] = src[4 * i + 3];
    }
  }
  buf->SetLength(static_cast<uint32_t>(Count * outFrame));
  return buf;
}

void WMSyncReaderImpl::Stamp(const TOutput& O, int64_t First, int64_t Count, uint64_t& Time,
                             uint64_t& Duration) const {
  const int rate = StreamOf(O)->codecpar->sample_rate;
  const int64_t start = First - (FScan ? FScan->TrimStart : 0);
  Time = static_cast<uint64_t>(start * HundredNs / rate);
  Duration = static_cast<uint64_t>((start + Count) * HundredNs / rate) - Time;
}

// Decodes everything the decoder has ready into the held-back audio, noting what the
// measurement notes.
bool WMSyncReaderImpl::DrainDecoded(const TOutput& O) {
  for (;;) {
    const int r = FF().avcodec_receive_frame(FDecoder.get(), FFrame);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
    if (r < 0) {
      FBuild->Damage(FCursor);  // a packet the decoder rejected: it adds nothing
      continue;
    }
    const int64_t n = FFrame->nb_samples;
    if (n <= 0) {
      FF().av_frame_unref(FFrame);
      continue;
    }
    auto buf = TakeFrame(O, 0, n);
    if (!buf) return false;
    FPending.push_back({std::move(buf), FCursor, n});
    FCursor += n;
  }
}

// Reading and measuring in one: packet by packet as Measure does, the damage found the
// same way, and only the audio known sound delivered.
HRESULT WMSyncReaderImpl::NextDecodedSample(TOutput& O, std::unique_ptr<INSSBuffer>& Sample, uint64_t& Time,
                                            uint64_t& Duration) {
  TScan& scan = *FBuild;
  for (;;) {
    const int64_t sound = scan.DamageAt >= 0 ? scan.DamageAt : FSound;
    if (!FPending.empty() && FPending.front().First < sound) {
      TPending p = std::move(FPending.front());
      FPending.pop_front();
      const int64_t count = std::min(p.Count, sound - p.First);
      p.Buffer->SetLength(static_cast<uint32_t>(count * (O.Format.Channels * O.Format.Bits / 8)));
      Sample = std::move(p.Buffer);
      Stamp(O, p.First, count, Time, Duration);
      return S_OK;
    }
    if (scan.DamageAt >= 0) {
      FDamaged = true;
      FPending.clear();
      return NS_E_INVALID_DATA;
    }
    if (FFlushSent) return NS_E_NO_MORE_SAMPLES;
    if (FInputEnded) {
      FWatch->End(scan);
      scan.Offset.push_back(FCursor);
      FF().avcodec_send_packet(FDecoder.get(), nullptr);
      FFlushSent = true;
      if (!DrainDecoded(O)) return NS_E_AUDIO_CODEC_ERROR;
      scan.FlushOut = FCursor - scan.Offset.back();
      FSound = FCursor;
      // Measured whole and sound: kept for seeks and counts.
      if (!FScan) {
        FScan = FBuild;
        TScanKey key;
        if (ScanKeyOf(O, key)) ScanCache().Add(key, FBuild);
      }
      continue;
    }
    if (!NextStreamPacket(FCtx(), O.StreamIndex, FPacket, FCursor, scan, *FWatch, FReadErrors)) {
      FInputEnded = true;
      continue;
    }
    // What came before this packet is sound unless it said otherwise.
    FSound = FCursor;
    FF().av_packet_free_side_data(FPacket);
    const bool sent = FF().avcodec_send_packet(FDecoder.get(), FPacket) >= 0;
    FF().av_packet_unref(FPacket);
    if (!sent)
      scan.Damage(FCursor);
    else if (!DrainDecoded(O))
      return NS_E_AUDIO_CODEC_ERROR;
  }
}

std::shared_ptr<TScan> WMSyncReaderImpl::Measure(const TOutput& O) {
  auto scan = std::make_shared<TScan>();
  TDemux demux;
  const AVInputFormat* fmt = FFormat;
  if (!demux.Open(FStream, FOrigin, fmt)) return nullptr;
  const AVStream* st = demux.Ctx()->streams[O.StreamIndex];
  AVPacket* pkt = FF().av_packet_alloc();
  AVFrame* frame = FF().av_frame_alloc();
  // MPEG audio decodes to exactly one frame of samples per packet; the demuxer tells
  // the encoder's delay and padding. Everything else is decoded.
  const bool mpeg = IsMpeg(st->codecpar->codec_id);
  TCodecPtr dec;
  if (!mpeg) dec = OpenDecoder(st);
  bool ok = pkt && frame && (mpeg || dec);
  int64_t total = 0;
  int errors = 0;
  auto drain = [&]() {
    for (;;) {
      const int r = FF().avcodec_receive_frame(dec.get(), frame);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
      if (r < 0) {
        scan->Damage(total);  // a packet the decoder rejected: it adds nothing
        continue;
      }
      total += frame->nb_samples;
      FF().av_frame_unref(frame);
    }
  };
  TDamageWatch watch(st, mpeg);
  while (ok && NextStreamPacket(demux.Ctx(), O.StreamIndex, pkt, total, *scan, watch, errors)) {
    if (mpeg) {
      // Durations are in the stream's time base, not in samples.
      int64_t n = pkt->duration > 0
                      ? FF().av_rescale_q(pkt->duration, st->time_base, AVRational{1, st->codecpar->sample_rate})
                      : 0;
      if (n <= 0) n = st->codecpar->frame_size;
      if (n <= 0) ok = false;
      total += n;
      size_t sdSize = 0;
      const uint8_t* sd = FF().av_packet_get_side_data(pkt, AV_PKT_DATA_SKIP_SAMPLES, &sdSize);
      if (sd && sdSize >= 8) {
        scan->TrimStart += GetLE32(sd);
        scan->TrimEnd += GetLE32(sd + 4);
      }
    } else {
      FF().av_packet_free_side_data(pkt);
      if (FF().avcodec_send_packet(dec.get(), pkt) >= 0)
        drain();
      else
        scan->Damage(total);
    }
    FF().av_packet_unref(pkt);
  }
  watch.End(*scan);
  scan->Offset.push_back(total);
  if (ok && dec) {
    FF().avcodec_send_packet(dec.get(), nullptr);
    drain();
    scan->FlushOut = total - scan->Offset.back();
  }
  // MPEG's frame count (from the encoder's header frame) tells a file cut short, when
  // the file could have held that much.
  if (ok && mpeg && demux.Ctx()->duration_estimation_method == AVFMT_DURATION_FROM_STREAM && st->duration > 0) {
    const int64_t announced = FF().av_rescale_q(st->duration, st->time_base, AVRational{1, st->codecpar->sample_rate});
    const int64_t bytes = FF().avio_size(demux.Ctx()->pb);
    if (bytes < 0 || announced / MaxMpegSamplesPerByte <= bytes) scan->Announced = announced;
    if (announced > scan->Total()) scan->Damage(scan->Total());
  }
  FF().av_packet_free(&pkt);
  FF().av_frame_free(&frame);
  if (!ok) return nullptr;
  scan->TrimStart = std::min(scan->TrimStart, scan->Total());
  scan->TrimEnd = std::min(scan->TrimEnd, scan->Total() - scan->TrimStart);
  return scan;
}

bool WMSyncReaderImpl::ScanKeyOf(const TOutput& O, TScanKey& Key) const {
  WMSTATSTG st;
  if (FAILED(FStream->Stat(st)) || !st.HasIdentity) return false;
  Key = TScanKey{st.Device, st.Inode, st.cbSize, st.ModifiedNs, FOrigin, O.StreamIndex};
  return true;
}

HRESULT WMSyncReaderImpl::EnsureScan(TOutput& O) {
  if (FScan) return S_OK;
  TScanKey key;
  const bool identified = ScanKeyOf(O, key);
  if (identified) FScan = ScanCache().Find(key);
  if (FScan) return S_OK;
  auto scan = Measure(O);
  if (!scan) return NS_E_AUDIO_CODEC_ERROR;
  FScan = scan;
  if (identified) ScanCache().Add(key, scan);
  return S_OK;
}

HRESULT WMSyncReaderImpl::GetOutputSampleCount(uint32_t Output, int64_t& Frames) {
  if (!ValidOutput(Output) || !FOutputs[Output].Audio) return E_INVALIDARG;
  if (ReadOutput() != &FOutputs[Output]) return E_INVALIDARG;
  const HRESULT hr = EnsureScan(FOutputs[Output]);
  if (FAILED(hr)) return hr;
  Frames = FScan->Delivered();
  return S_OK;
}

bool WMSyncReaderImpl::Restart() {
  // A fresh demuxer gives the packets in the order the measurement saw them.
  ResetReadState();
  if (FDecoder) FF().avcodec_flush_buffers(FDecoder.get());
  const AVInputFormat* fmt = FFormat;
  auto demux = std::make_unique<TDemux>();
  if (!demux->Open(FStream, FOrigin, fmt)) return false;
  FDemux = std::move(demux);
  return true;
}

HRESULT WMSyncReaderImpl::SetRange(uint64_t Start, int64_t) {
  TOutput* o = ReadOutput();
  if (!FCtx() || !o) return NS_E_INVALID_REQUEST;
  HRESULT hr = EnsureScan(*o);
  if (FAILED(hr)) return hr;
  const int rate = StreamOf(*o)->codecpar->sample_rate;
  // The frame that starts at Start (rounded to the nearest), counted after the delay.
  const int64_t frame = static_cast<int64_t>(std::nearbyint(static_cast<double>(Start) * rate / HundredNs));
  const int64_t target = FScan->TrimStart + std::min(frame, FScan->Delivered());
  const auto& off = FScan->Offset;
  // The packet whose output holds the target: the last one starting at or before it.
  int64_t k = static_cast<int64_t>(std::upper_bound(off.begin(), off.end(), target) - off.begin()) - 1;
  k = std::max<int64_t>(k, 0);
  // Packets decoded before the target to fill the decoder's history (MPEG's bit
  // reservoir reaches several frames back).
  const int64_t preroll = IsMpeg(StreamOf(*o)->codecpar->codec_id) ? 10 : 4;
  if (!Restart()) return E_FAIL;
  const int64_t first = k - preroll;
  if (first > 0) {
    FSkipUntil = first;
    FPrerollUntil = k;
    FDropOutput = true;
  }
  FDeliverFrom = target;
  return S_OK;
}

HRESULT WMSyncReaderImpl::GetNextSample(uint16_t StreamNum, std::unique_ptr<INSSBuffer>& Sample, uint64_t& Time,
                                        uint64_t& Duration, uint32_t& Flags, uint32_t& Output,
                                        uint16_t& StreamNumOut) {
  Sample.reset();
  TOutput* o = ReadOutput();
  if (!FCtx() || !o || StreamNum != o->StreamIndex + 1) return NS_E_INVALID_REQUEST;
  if (FProtected) return NS_E_PROTECTED_CONTENT;
  if (!FScan && !FBuild) {
    // A measurement made before serves; without one, reading from the start measures as
    // it decodes (MPEG's measurement decodes nothing).
    TScanKey key;
    if (ScanKeyOf(*o, key)) FScan = ScanCache().Find(key);
    if (!FScan && !FReading && FDeliverFrom == 0 && FSkipUntil == 0 && !IsMpeg(StreamOf(*o)->codecpar->codec_id)) {
      FBuild = std::make_shared<TScan>();
      FWatch = std::make_unique<TDamageWatch>(StreamOf(*o), false);
    }
  }
  if (FBuild) {
    if (!EnsureDecoder(*o)) return NS_E_AUDIO_CODEC_ERROR;
    const HRESULT hr = NextDecodedSample(*o, Sample, Time, Duration);
    if (SUCCEEDED(hr)) {
      Flags = 0;
      Output = static_cast<uint32_t>(o - FOutputs.data());
      StreamNumOut = StreamNum;
    }
    return hr;
  }
  if (FAILED(EnsureScan(*o)) || !EnsureDecoder(*o)) return NS_E_AUDIO_CODEC_ERROR;
  if (!FReading) {
    FReading = true;
    if (FDeliverFrom < FScan->TrimStart) FDeliverFrom = FScan->TrimStart;
  }
  const int64_t deliverEnd = FScan->Total() - FScan->TrimEnd;
  // Nothing from the damage on is audio.
  const int64_t soundEnd = FScan->DamageAt >= 0 ? std::min(deliverEnd, FScan->DamageAt) : deliverEnd;
  AVCodecContext* dec = FDecoder.get();
  int errors = 0;
  for (;;) {
    if (FDamaged || (FScan->DamageAt >= 0 && FCursor >= soundEnd && !FDropOutput)) {
      FDamaged = true;
      return NS_E_INVALID_DATA;
    }
    const int r = FF().avcodec_receive_frame(dec, FFrame);
    if (r == 0) {
      const int64_t n = FFrame->nb_samples;
      const int64_t first = FCursor;
      FCursor += n;
      const int64_t lo = std::max(first, FDeliverFrom), hi = std::min(first + n, soundEnd);
      if (FDropOutput || hi <= lo || n <= 0) {
        FF().av_frame_unref(FFrame);
        continue;
      }
      Sample = TakeFrame(*o, lo - first, hi - lo);
      if (!Sample) return NS_E_AUDIO_CODEC_ERROR;
      Stamp(*o, lo, hi - lo, Time, Duration);
      Flags = 0;
      Output = static_cast<uint32_t>(o - FOutputs.data());
      StreamNumOut = StreamNum;
      return S_OK;
    }
    if (r == AVERROR_EOF) return NS_E_NO_MORE_SAMPLES;
    if (r != AVERROR(EAGAIN)) {
      // The decoder rejected a packet: the stream is damaged here (while settling the
      // decoder before a seek target, errors of a cut-off history do not count).
      if (FDropOutput) continue;
      FDamaged = true;
      continue;
    }
    if (FCursor >= deliverEnd && !FDropOutput) return NS_E_NO_MORE_SAMPLES;
    // The decoder wants input.
    if (FInputEnded) {
      if (FFlushSent) return NS_E_NO_MORE_SAMPLES;
      FFlushSent = true;
      if (FOrdinal == FPrerollUntil || FDropOutput) {
        FDropOutput = false;
        FCursor = FScan->Offset.back();
      }
      FF().avcodec_send_packet(dec, nullptr);
      continue;
    }
    const int rr = FF().av_read_frame(FCtx(), FPacket);
    if (rr < 0) {
      if (rr == AVERROR_EOF || FF().avio_feof(FCtx()->pb) || ++errors >= MaxReadErrors) FInputEnded = true;
      if (rr != AVERROR_EOF && !FF().avio_feof(FCtx()->pb) && !FDropOutput) FDamaged = true;
      continue;
    }
    errors = 0;
    if (FPacket->stream_index != o->StreamIndex) {
      FF().av_packet_unref(FPacket);
      continue;
    }
    const int64_t k = FOrdinal++;
    if (k < FSkipUntil) {
      FF().av_packet_unref(FPacket);
      continue;
    }
    if (k == FPrerollUntil) {
      FDropOutput = false;
      FCursor = k < static_cast<int64_t>(FScan->Offset.size()) ? FScan->Offset[k] : FScan->Offset.back();
    }
    // Delay and padding are cut here, by position, not by the decoder.
    FF().av_packet_free_side_data(FPacket);
    const int sent = FF().avcodec_send_packet(dec, FPacket);
    if (sent < 0 && sent != AVERROR(EAGAIN) && !FDropOutput) FDamaged = true;
    FF().av_packet_unref(FPacket);
  }
}

// ---------------------------------------------------------------------------
// Header attributes

std::string WMAttributeToMetadataKey(const std::string& Name) {
  static const std::pair<const char*, const char*> map[] = {
      {"Author", "artist"},    {"Title", "title"},    {"WM/AlbumTitle", "album"}, {"WM/Genre", "genre"},
      {"WM/Track", "track"},   {"WM/TrackNumber", "track"}, {"WM/Year", "date"}, {"Copyright", "copyright"},
      {"Description", "comment"}, {"WM/Composer", "composer"}};
  for (const auto& [attr, key] : map)
    if (Name == attr) return key;
  return {};
}

namespace {

HRESULT ReturnAttribute(const std::vector<uint8_t>& Data, WMT_ATTR_DATATYPE Kind, WMT_ATTR_DATATYPE& Type,
                        uint8_t* Value, uint16_t& Length) {
  if (Data.size() > 0xFFFF) return E_FAIL;
  Type = Kind;
  if (!Value) {
    Length = static_cast<uint16_t>(Data.size());
    return S_OK;
  }
  if (Length < Data.size()) {
    Length = static_cast<uint16_t>(Data.size());
    return E_INVALIDARG;
  }
  std::memcpy(Value, Data.data(), Data.size());
  Length = static_cast<uint16_t>(Data.size());
  return S_OK;
}

std::vector<uint8_t> Utf16Bytes(const char* Utf8) {
  // UTF-8 to UTF-16LE with a terminating zero; bad sequences become U+FFFD.
  std::vector<uint8_t> out;
  const auto* s = reinterpret_cast<const unsigned char*>(Utf8);
  auto put = [&out](uint32_t u) { AppendLE16(out, static_cast<uint16_t>(u)); };
  while (*s) {
    uint32_t cp = 0xFFFD;
    int extra = 0;
    if (*s < 0x80) {
      cp = *s;
    } else if ((*s & 0xE0) == 0xC0) {
      cp = *s & 0x1F;
      extra = 1;
    } else if ((*s & 0xF0) == 0xE0) {
      cp = *s & 0x0F;
      extra = 2;
    } else if ((*s & 0xF8) == 0xF0) {
      cp = *s & 0x07;
      extra = 3;
    }
    ++s;
    for (int i = 0; i < extra; ++i) {
      if ((*s & 0xC0) != 0x80) {
        cp = 0xFFFD;
        break;
      }
      cp = (cp << 6) | (*s & 0x3F);
      ++s;
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) cp = 0xFFFD;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  put(0);
  return out;
}

}  // namespace

HRESULT WMReaderHeaderInfo::GetAttributeByName(uint16_t& StreamNum, const std::string& Name, WMT_ATTR_DATATYPE& Type,
                                               uint8_t* Value, uint16_t& Length) {
  AVFormatContext* ctx = FReader.FCtx();
  if (!ctx) return NS_E_INVALID_REQUEST;
  if (StreamNum != 0) return ASF_E_NOTFOUND;
  if (Name == g_wszWMDuration) {
    if (ctx->duration == AV_NOPTS_VALUE || ctx->duration <= 0) return ASF_E_NOTFOUND;
    const uint64_t d = static_cast<uint64_t>(ctx->duration) * (HundredNs / AV_TIME_BASE);
    std::vector<uint8_t> bytes(8);
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(d >> (8 * i));
    return ReturnAttribute(bytes, WMT_TYPE_QWORD, Type, Value, Length);
  }
  if (Name == g_wszWMBitrate) {
    // The streams' own rates: the container's may be guessed from the file's size and
    // the very length it is to check.
    int64_t rate = 0;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
      const int64_t r = ctx->streams[i]->codecpar->bit_rate;
      if (r <= 0) return ASF_E_NOTFOUND;
      rate += r;
    }
    if (rate <= 0 || rate > UINT32_MAX) return ASF_E_NOTFOUND;
    std::vector<uint8_t> bytes;
    AppendLE32(bytes, static_cast<uint32_t>(rate));
    return ReturnAttribute(bytes, WMT_TYPE_DWORD, Type, Value, Length);
  }
  const AVDictionaryEntry* e = nullptr;
  const std::string key = WMAttributeToMetadataKey(Name);
  if (!key.empty()) e = FF().av_dict_get(ctx->metadata, key.c_str(), nullptr, 0);
  if (!e) e = FF().av_dict_get(ctx->metadata, Name.c_str(), nullptr, 0);
  if (!e || !e->value) return ASF_E_NOTFOUND;
  return ReturnAttribute(Utf16Bytes(e->value), WMT_TYPE_STRING, Type, Value, Length);
}
