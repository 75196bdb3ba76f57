// The profile manager with its codec and format tables, the writer (libavcodec's
// WMA encoders, libavformat's ASF muxer) and the file sink.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>

#include "platform/wmf/WMF.h"
#include "platform/ffmpeg/FFmpegLib.h"
#include "platform/rtl/ByteOrder.h"

namespace {

constexpr int64_t HundredNs = 10000000;
constexpr int AsfPacketSize = 3200;
// What the muxer adds to a packet and to each payload in it, with some slack.
constexpr int AsfPacketOverhead = 32;
constexpr int AsfPayloadOverhead = 17;

// The muxer never splits an audio frame across packets and pads each packet to its
// size: a packet that holds whole frames exactly wastes nothing, where a fixed 3200
// bytes padded most of a packet at high rates (320 kbit/s took 550).
int PacketSizeFor(int BlockAlign) {
  if (BlockAlign <= 0) return AsfPacketSize;
  const int frame = BlockAlign + AsfPayloadOverhead;
  const int frames = std::max(1, (AsfPacketSize - AsfPacketOverhead) / frame);
  return AsfPacketOverhead + frames * frame;
}
constexpr int AvioBufferSize = 32 * 1024;

struct TCodecEntry {
  const char* Name;
  AVCodecID Id;
  uint16_t Subtype;
};

// Encoders FFmpeg has for ASF, both constant bit rate, oldest first: a search over
// all codecs prefers the later of equally good formats.
const TCodecEntry Codecs[] = {
    {"Windows Media Audio 1", AV_CODEC_ID_WMAV1, WMMEDIASUBTYPE_WMAudioV1},
    {"Windows Media Audio 2", AV_CODEC_ID_WMAV2, WMMEDIASUBTYPE_WMAudioV8},
};
constexpr uint32_t CodecCount = sizeof(Codecs) / sizeof(Codecs[0]);

struct TFormatEntry {
  uint32_t Bitrate;
  uint32_t Rate;
  uint16_t Channels;
};

// The formats of a WMA encoder, best first: the encoders take at most two channels
// and 48 kHz, and need at least 24 kbit/s; above four bits per sample nothing is
// gained.
const std::vector<TFormatEntry>& Formats() {
  static const std::vector<TFormatEntry> list = [] {
    std::vector<TFormatEntry> l;
    const uint32_t rates[] = {48000, 44100, 32000, 22050, 16000, 11025, 8000};
    const uint32_t kbps[] = {320, 256, 192, 160, 128, 96, 80, 64, 48, 40, 32, 24};
    for (uint32_t k : kbps)
      for (uint32_t r : rates)
        for (uint16_t c : {uint16_t(2), uint16_t(1)})
          if (k * 1000 <= r * c * 4u) l.push_back({k * 1000, r, c});
    return l;
  }();
  return list;
}

WM_MEDIA_TYPE CodecMediaType(const TCodecEntry& C, const TFormatEntry& F) {
  WM_MEDIA_TYPE t;
  t.majortype = WMMEDIATYPE_Audio;
  t.subtype = C.Subtype;
  t.wFormatTag = C.Subtype;
  t.nChannels = F.Channels;
  t.nSamplesPerSec = F.Rate;
  t.nAvgBytesPerSec = F.Bitrate / 8;
  t.wBitsPerSample = 16;
  t.nBlockAlign = static_cast<uint16_t>(std::min<uint64_t>(0xFFFF, uint64_t(F.Bitrate) * 2048 / (F.Rate * 8)));
  t.dwChannelMask = F.Channels == 2 ? 3 : 4;
  return t;
}

const TCodecEntry* CodecOfSubtype(uint16_t Subtype) {
  for (const auto& c : Codecs)
    if (c.Subtype == Subtype) return &c;
  return nullptr;
}

std::u16string Ascii16(const std::string& S) { return std::u16string(S.begin(), S.end()); }

std::string Utf16BytesToUtf8(const uint8_t* P, size_t Bytes) {
  std::string out;
  size_t n = Bytes / 2;
  auto unit = [P](size_t i) { return uint32_t{GetLE16(P + 2 * i)}; };
  for (size_t i = 0; i < n; ++i) {
    uint32_t cp = unit(i);
    if (cp == 0) break;
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace

// ===========================================================================
// Profiles

HRESULT IWMStreamConfig::SetStreamNumber(uint16_t StreamNum) {
  if (StreamNum < 1 || StreamNum > 63) return E_INVALIDARG;
  FStreamNumber = StreamNum;
  return S_OK;
}

HRESULT IWMProfile::AddStream(const IWMStreamConfig& Config) {
  if (Config.FStreamNumber < 1 || Config.FStreamNumber > 63) return E_INVALIDARG;
  for (const auto& s : FStreams)
    if (s.FStreamNumber == Config.FStreamNumber) return E_INVALIDARG;
  FStreams.push_back(Config);
  return S_OK;
}

HRESULT WMCreateProfileManager(std::unique_ptr<IWMProfileManager>& Manager) {
  Manager = std::make_unique<IWMProfileManager>();
  return S_OK;
}

HRESULT IWMProfileManager::CreateEmptyProfile(uint32_t Version, std::unique_ptr<IWMProfile>& Profile) {
  Profile = std::make_unique<IWMProfile>(Version);
  return S_OK;
}

HRESULT IWMProfileManager::GetCodecInfoCount(WMMediaMajorType Major, uint32_t& Count) {
  Count = Major == WMMEDIATYPE_Audio ? CodecCount : 0;
  return S_OK;
}

HRESULT IWMProfileManager::GetCodecName(WMMediaMajorType Major, uint32_t Codec, std::u16string& Name) {
  if (Major != WMMEDIATYPE_Audio || Codec >= CodecCount) return E_INVALIDARG;
  Name = Ascii16(Codecs[Codec].Name);
  return S_OK;
}

HRESULT IWMProfileManager::GetCodecFormatCount(WMMediaMajorType Major, uint32_t Codec, uint32_t& Count) {
  if (Major != WMMEDIATYPE_Audio || Codec >= CodecCount) return E_INVALIDARG;
  Count = static_cast<uint32_t>(Formats().size());
  return S_OK;
}

HRESULT IWMProfileManager::GetCodecFormat(WMMediaMajorType Major, uint32_t Codec, uint32_t Format,
                                          IWMStreamConfig& Config) {
  if (Major != WMMEDIATYPE_Audio || Codec >= CodecCount || Format >= Formats().size()) return E_INVALIDARG;
  Config = IWMStreamConfig();
  Config.FType = CodecMediaType(Codecs[Codec], Formats()[Format]);
  Config.FBitrate = Formats()[Format].Bitrate;
  return S_OK;
}

HRESULT IWMProfileManager::GetCodecFormatDesc(WMMediaMajorType Major, uint32_t Codec, uint32_t Format,
                                              IWMStreamConfig* Config, std::u16string& Desc) {
  if (Major != WMMEDIATYPE_Audio || Codec >= CodecCount || Format >= Formats().size()) return E_INVALIDARG;
  const TFormatEntry& f = Formats()[Format];
  Desc = Ascii16(std::to_string(f.Bitrate / 1000) + " kbps, " + std::to_string(f.Rate / 1000) + " kHz, " +
                 (f.Channels == 2 ? "stereo" : "mono") + " CBR");
  if (Config) return GetCodecFormat(Major, Codec, Format, *Config);
  return S_OK;
}

HRESULT IWMProfileManager::SetCodecEnumerationSetting(WMMediaMajorType Major, uint32_t Codec, const std::string& Name,
                                                      WMT_ATTR_DATATYPE Type, const uint8_t* Value, uint16_t Length) {
  if (Major != WMMEDIATYPE_Audio || Codec >= CodecCount) return E_INVALIDARG;
  if (Name != g_wszVBREnabled || Type != WMT_TYPE_BOOL || !Value || Length < 4) return NS_E_UNSUPPORTED_PROPERTY;
  const bool on = Value[0] | Value[1] | Value[2] | Value[3];
  // No encoder here has a variable bit rate.
  return on ? NS_E_UNSUPPORTED_PROPERTY : S_OK;
}

HRESULT IWMProfileManager::GetCodecFormatProp(WMMediaMajorType Major, uint32_t Codec, uint32_t Format,
                                              const std::string&, WMT_ATTR_DATATYPE&, uint8_t*, uint32_t&) {
  if (Major != WMMEDIATYPE_Audio || Codec >= CodecCount || Format >= Formats().size()) return E_INVALIDARG;
  return ASF_E_NOTFOUND;  // constant bit rate formats have no VBR quality
}

// ===========================================================================
// File sink

IWMWriterFileSink::~IWMWriterFileSink() { Close(); }

HRESULT WMCreateWriterFileSink(std::unique_ptr<IWMWriterFileSink>& Sink) {
  Sink = std::make_unique<IWMWriterFileSink>();
  return S_OK;
}

HRESULT IWMWriterFileSink::Open(const std::string& FileName) {
  Close();
  FError = 0;
  FFd = ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return FFd < 0 ? NS_E_FILE_OPEN_FAILED : S_OK;
}

HRESULT IWMWriterFileSink::Failed() {
  if (FError == 0) FError = errno != 0 ? errno : EIO;
  return NS_E_FILE_WRITE;
}

HRESULT IWMWriterFileSink::Close() {
  if (FFd >= 0) ::close(FFd);
  FFd = -1;
  return S_OK;
}

HRESULT IWMWriterFileSink::OnBeginWriting() { return FFd >= 0 ? S_OK : NS_E_INVALID_REQUEST; }

HRESULT IWMWriterFileSink::OnData(const uint8_t* Data, size_t Size) {
  while (Size > 0) {
    const ssize_t n = ::write(FFd, Data, Size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failed();
    if (n == 0) {
      errno = EIO;
      return Failed();
    }
    Data += n;
    Size -= static_cast<size_t>(n);
  }
  return S_OK;
}

HRESULT IWMWriterFileSink::OnSeek(int64_t Position) {
  return ::lseek(FFd, Position, SEEK_SET) == Position ? S_OK : Failed();
}

HRESULT IWMWriterFileSink::OnEndWriting() {
  if (FFd < 0) return S_OK;
  const bool ok = ::fsync(FFd) == 0 || errno == EINVAL;
  if (!ok) Failed();
  const bool closed = ::close(FFd) == 0;
  if (!closed) Failed();
  FFd = -1;
  return ok && closed ? S_OK : NS_E_FILE_WRITE;
}

// ===========================================================================
// Writer

class WMWriterImpl {
public:
  // Raises when FFmpeg cannot be loaded, so the writer's clean-up always finds it.
  WMWriterImpl() { FF(); }
  ~WMWriterImpl() { Release(); }

  HRESULT SetProfile(const IWMProfile& Profile);
  HRESULT GetInputProps(uint32_t Input, WM_MEDIA_TYPE& Type);
  HRESULT SetInputProps(uint32_t Input, const WM_MEDIA_TYPE& Type);
  HRESULT BeginWriting();
  HRESULT WriteSample(uint32_t Input, uint64_t Time, INSSBuffer& Sample);
  HRESULT EndWriting();

  bool FHasProfile = false;
  std::vector<IWMWriterSink*> FSinks;
  std::map<std::string, std::vector<uint8_t>> FAttributes;  // name -> UTF-16LE value

private:
  static int WriteCb(void* Opaque, uint8_t* Buf, int Size);
  static int64_t SeekCb(void* Opaque, int64_t Offset, int Whence);
  HRESULT Encode(AVFrame* Frame);
  HRESULT EncodeFifo(bool Final);
  void Release();

  const TCodecEntry* FCodec = nullptr;
  TFormatEntry FFormat{};
  WM_MEDIA_TYPE FInput{};
  bool FWriting = false;
  bool FFirstSample = true;
  bool FSinkFailed = false;
  int FPacketSize = AsfPacketSize;
  int64_t FSinkPos = 0;
  AVFormatContext* FMux = nullptr;
  AVIOContext* FAvio = nullptr;
  AVCodecContext* FEnc = nullptr;
  AVStream* FStream = nullptr;
  SwrContext* FSwr = nullptr;
  AVAudioFifo* FFifo = nullptr;
  AVFrame* FFrame = nullptr;
  AVPacket* FPacket = nullptr;
  int64_t FNextPts = 0;
  std::vector<uint8_t> FWide;  // 24-bit input widened to 32 bits
};

IWMWriter::IWMWriter() : FImpl(std::make_unique<WMWriterImpl>()) {}
IWMWriter::~IWMWriter() = default;

HRESULT WMCreateWriter(void*, std::unique_ptr<IWMWriter>& Writer) {
  Writer = std::make_unique<IWMWriter>();
  return S_OK;
}

HRESULT IWMWriter::SetProfile(const IWMProfile& Profile) { return FImpl->SetProfile(Profile); }
HRESULT IWMWriter::GetInputCount(uint32_t& Inputs) {
  Inputs = FImpl->FHasProfile ? 1 : 0;
  return S_OK;
}
HRESULT IWMWriter::GetInputProps(uint32_t Input, WM_MEDIA_TYPE& Type) { return FImpl->GetInputProps(Input, Type); }
HRESULT IWMWriter::SetInputProps(uint32_t Input, const WM_MEDIA_TYPE& Type) {
  return FImpl->SetInputProps(Input, Type);
}
HRESULT IWMWriter::BeginWriting() { return FImpl->BeginWriting(); }
HRESULT IWMWriter::AllocateSample(uint32_t Size, std::unique_ptr<INSSBuffer>& Sample) {
  Sample = std::make_unique<INSSBuffer>(Size);
  return S_OK;
}
HRESULT IWMWriter::WriteSample(uint32_t Input, uint64_t Time, uint32_t, INSSBuffer& Sample) {
  return FImpl->WriteSample(Input, Time, Sample);
}
HRESULT IWMWriter::EndWriting() { return FImpl->EndWriting(); }
HRESULT IWMWriter::AddSink(IWMWriterSink* Sink) {
  if (!Sink) return E_INVALIDARG;
  if (std::find(FImpl->FSinks.begin(), FImpl->FSinks.end(), Sink) == FImpl->FSinks.end())
    FImpl->FSinks.push_back(Sink);
  return S_OK;
}
HRESULT IWMWriter::RemoveSink(IWMWriterSink* Sink) {
  auto& s = FImpl->FSinks;
  s.erase(std::remove(s.begin(), s.end(), Sink), s.end());
  return S_OK;
}

HRESULT IWMWriter::GetAttributeByName(uint16_t& StreamNum, const std::string& Name, WMT_ATTR_DATATYPE& Type,
                                      uint8_t* Value, uint16_t& Length) {
  if (StreamNum != 0) return ASF_E_NOTFOUND;
  auto it = FImpl->FAttributes.find(Name);
  if (it == FImpl->FAttributes.end()) return ASF_E_NOTFOUND;
  Type = WMT_TYPE_STRING;
  const size_t size = it->second.size();
  if (Value) {
    if (Length < size) return E_INVALIDARG;
    std::memcpy(Value, it->second.data(), size);
  }
  Length = static_cast<uint16_t>(size);
  return S_OK;
}

HRESULT IWMWriter::SetAttribute(uint16_t StreamNum, const std::string& Name, WMT_ATTR_DATATYPE Type,
                                const uint8_t* Value, uint16_t Length) {
  if (StreamNum != 0 || Name.empty() || Type != WMT_TYPE_STRING || (!Value && Length)) return E_INVALIDARG;
  FImpl->FAttributes[Name] = std::vector<uint8_t>(Value, Value + Length);
  return S_OK;
}

HRESULT WMWriterImpl::SetProfile(const IWMProfile& Profile) {
  if (FWriting) return NS_E_INVALID_REQUEST;
  FHasProfile = false;
  const auto& streams = Profile.Streams();
  if (streams.size() != 1 || streams[0].FType.majortype != WMMEDIATYPE_Audio) return E_INVALIDARG;
  const WM_MEDIA_TYPE& t = streams[0].FType;
  const TCodecEntry* codec = CodecOfSubtype(t.subtype);
  if (!codec) return E_INVALIDARG;
  const auto& list = Formats();
  auto it = std::find_if(list.begin(), list.end(), [&](const TFormatEntry& f) {
    return f.Rate == t.nSamplesPerSec && f.Channels == t.nChannels && f.Bitrate == streams[0].FBitrate;
  });
  if (it == list.end()) return E_INVALIDARG;
  FCodec = codec;
  FFormat = *it;
  FInput = WM_MEDIA_TYPE();
  FInput.majortype = WMMEDIATYPE_Audio;
  FInput.subtype = FInput.wFormatTag = WMMEDIASUBTYPE_PCM;
  FInput.nChannels = FFormat.Channels;
  FInput.nSamplesPerSec = FFormat.Rate;
  FInput.wBitsPerSample = 16;
  FInput.nBlockAlign = static_cast<uint16_t>(2 * FFormat.Channels);
  FInput.nAvgBytesPerSec = FInput.nBlockAlign * FFormat.Rate;
  FHasProfile = true;
  return S_OK;
}

HRESULT WMWriterImpl::GetInputProps(uint32_t Input, WM_MEDIA_TYPE& Type) {
  if (!FHasProfile || Input != 0) return E_INVALIDARG;
  Type = FInput;
  return S_OK;
}

HRESULT WMWriterImpl::SetInputProps(uint32_t Input, const WM_MEDIA_TYPE& Type) {
  if (!FHasProfile || Input != 0) return E_INVALIDARG;
  if (FWriting) return NS_E_INVALID_REQUEST;
  const int bits = Type.wBitsPerSample;
  if (Type.majortype != WMMEDIATYPE_Audio || Type.subtype != WMMEDIASUBTYPE_PCM ||
      (bits != 8 && bits != 16 && bits != 24 && bits != 32) || Type.nChannels < 1 ||
      Type.nChannels > WMF_MAX_INPUT_CHANNELS || Type.nSamplesPerSec < WMF_MIN_INPUT_RATE ||
      Type.nSamplesPerSec > WMF_MAX_INPUT_RATE)
    return NS_E_INVALID_INPUT_FORMAT;
  FInput = Type;
  FInput.nBlockAlign = static_cast<uint16_t>(Type.nChannels * bits / 8);
  FInput.nAvgBytesPerSec = FInput.nBlockAlign * Type.nSamplesPerSec;
  return S_OK;
}

int WMWriterImpl::WriteCb(void* Opaque, uint8_t* Buf, int Size) {
  auto* w = static_cast<WMWriterImpl*>(Opaque);
  for (IWMWriterSink* s : w->FSinks)
    if (FAILED(s->OnData(Buf, static_cast<size_t>(Size)))) w->FSinkFailed = true;
  w->FSinkPos += Size;
  return w->FSinkFailed ? AVERROR(EIO) : Size;
}

int64_t WMWriterImpl::SeekCb(void* Opaque, int64_t Offset, int Whence) {
  auto* w = static_cast<WMWriterImpl*>(Opaque);
  if ((Whence & ~AVSEEK_FORCE) != SEEK_SET) return -1;
  for (IWMWriterSink* s : w->FSinks)
    if (FAILED(s->OnSeek(Offset))) return -1;
  w->FSinkPos = Offset;
  return Offset;
}

void WMWriterImpl::Release() {
  if (FMux) {
    FF().avformat_free_context(FMux);
    FMux = nullptr;
  }
  if (FAvio) {
    FF().av_freep(&FAvio->buffer);
    FF().avio_context_free(&FAvio);
  }
  FF().avcodec_free_context(&FEnc);
  FF().swr_free(&FSwr);
  if (FFifo) FF().av_audio_fifo_free(FFifo);
  FFifo = nullptr;
  FF().av_frame_free(&FFrame);
  FF().av_packet_free(&FPacket);
  FStream = nullptr;
  FWriting = false;
}

HRESULT WMWriterImpl::BeginWriting() {
  if (FWriting) return NS_E_INVALID_REQUEST;
  if (!FHasProfile || FSinks.empty()) return NS_E_INVALID_REQUEST;
  const AVCodec* codec = FF().avcodec_find_encoder(FCodec->Id);
  if (!codec) return NS_E_AUDIO_CODEC_ERROR;
  HRESULT hr = NS_E_AUDIO_CODEC_ERROR;
  FSinkFailed = false;
  FSinkPos = 0;
  FFirstSample = true;
  FNextPts = 0;
  for (IWMWriterSink* s : FSinks)
    if (FAILED(s->OnBeginWriting())) return NS_E_INVALID_REQUEST;
  bool seekable = true;
  for (IWMWriterSink* s : FSinks) seekable = seekable && s->Seekable();

  do {
    FEnc = FF().avcodec_alloc_context3(codec);
    FFrame = FF().av_frame_alloc();
    FPacket = FF().av_packet_alloc();
    if (!FEnc || !FFrame || !FPacket) break;
    FEnc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    FF().av_channel_layout_default(&FEnc->ch_layout, FFormat.Channels);
    FEnc->sample_rate = static_cast<int>(FFormat.Rate);
    FEnc->bit_rate = FFormat.Bitrate;
    FEnc->time_base = AVRational{1, FEnc->sample_rate};
    if (FF().avformat_alloc_output_context2(&FMux, nullptr, "asf", nullptr) < 0 || !FMux) break;
    if (FMux->oformat->flags & AVFMT_GLOBALHEADER) FEnc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (FF().avcodec_open2(FEnc, codec, nullptr) < 0) break;

    auto* buf = static_cast<uint8_t*>(FF().av_malloc(AvioBufferSize));
    if (!buf) break;
    FAvio = FF().avio_alloc_context(buf, AvioBufferSize, 1, this, nullptr, WriteCb, seekable ? SeekCb : nullptr);
    if (!FAvio) {
      FF().av_free(buf);
      break;
    }
    FAvio->seekable = seekable ? AVIO_SEEKABLE_NORMAL : 0;
    FMux->pb = FAvio;
    FMux->flags |= AVFMT_FLAG_CUSTOM_IO;
    FStream = FF().avformat_new_stream(FMux, nullptr);
    if (!FStream || FF().avcodec_parameters_from_context(FStream->codecpar, FEnc) < 0) break;
    FStream->time_base = FEnc->time_base;
    for (const auto& [name, value] : FAttributes) {
      // FFmpeg's muxer has no attribute for "date": the year keeps its own name.
      const std::string key = name == "WM/Year" ? name : WMAttributeToMetadataKey(name);
      const std::string text = Utf16BytesToUtf8(value.data(), value.size());
      if (!text.empty()) FF().av_dict_set(&FMux->metadata, key.empty() ? name.c_str() : key.c_str(), text.c_str(), 0);
    }
    FPacketSize = PacketSizeFor(FEnc->block_align);
    AVDictionary* opts = nullptr;
    FF().av_dict_set_int(&opts, "packet_size", FPacketSize, 0);
    const int r = FF().avformat_write_header(FMux, &opts);
    FF().av_dict_free(&opts);
    if (r < 0) {
      hr = FSinkFailed ? NS_E_FILE_WRITE : E_FAIL;
      break;
    }
    FF().avio_flush(FAvio);
    if (FSinkFailed) {
      hr = NS_E_FILE_WRITE;
      break;
    }
    for (IWMWriterSink* s : FSinks) s->OnHeaderDone(FPacketSize);
    FFifo =
        FF().av_audio_fifo_alloc(FEnc->sample_fmt, FFormat.Channels, FEnc->frame_size > 0 ? FEnc->frame_size : 4096);
    if (!FFifo) break;
    FWriting = true;
    return S_OK;
  } while (false);
  Release();
  return hr;
}

HRESULT WMWriterImpl::Encode(AVFrame* Frame) {
  if (FF().avcodec_send_frame(FEnc, Frame) < 0) return NS_E_AUDIO_CODEC_ERROR;
  for (;;) {
    const int r = FF().avcodec_receive_packet(FEnc, FPacket);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return S_OK;
    if (r < 0) return NS_E_AUDIO_CODEC_ERROR;
    FF().av_packet_rescale_ts(FPacket, FEnc->time_base, FStream->time_base);
    FPacket->stream_index = FStream->index;
    if (FF().av_interleaved_write_frame(FMux, FPacket) < 0) return FSinkFailed ? NS_E_FILE_WRITE : E_FAIL;
  }
}

HRESULT WMWriterImpl::EncodeFifo(bool Final) {
  const int frameSize = FEnc->frame_size > 0 ? FEnc->frame_size : 4096;
  while (FF().av_audio_fifo_size(FFifo) >= frameSize || (Final && FF().av_audio_fifo_size(FFifo) > 0)) {
    FF().av_frame_unref(FFrame);
    FFrame->format = FEnc->sample_fmt;
    FF().av_channel_layout_copy(&FFrame->ch_layout, &FEnc->ch_layout);
    FFrame->sample_rate = FEnc->sample_rate;
    FFrame->nb_samples = frameSize;
    if (FF().av_frame_get_buffer(FFrame, 0) < 0) return E_OUTOFMEMORY;
    const int got = FF().av_audio_fifo_read(FFifo, reinterpret_cast<void**>(FFrame->data), frameSize);
    if (got < frameSize) {
      // The last frame is completed with silence.
      FF().av_samples_set_silence(FFrame->data, got, frameSize - got, FFormat.Channels, FEnc->sample_fmt);
    }
    FFrame->pts = FNextPts;
    FNextPts += frameSize;
    const HRESULT hr = Encode(FFrame);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT WMWriterImpl::WriteSample(uint32_t Input, uint64_t Time, INSSBuffer& Sample) {
  if (!FWriting) return NS_E_INVALID_REQUEST;
  if (Input != 0) return E_INVALIDARG;
  uint8_t* data = nullptr;
  uint32_t length = 0;
  Sample.GetBufferAndLength(data, length);
  const int bits = FInput.wBitsPerSample;
  const int inFrame = FInput.nBlockAlign;
  const int frames = static_cast<int>(length / static_cast<uint32_t>(inFrame));
  if (FFirstSample) {
    FFirstSample = false;
    // The first block's time is where the stream starts.
    FNextPts = static_cast<int64_t>(std::nearbyint(static_cast<double>(Time) * FEnc->sample_rate / HundredNs));
    AVChannelLayout in{};
    FF().av_channel_layout_default(&in, FInput.nChannels);
    const AVSampleFormat inFmt = bits == 8 ? AV_SAMPLE_FMT_U8 : bits == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
    const int r = FF().swr_alloc_set_opts2(&FSwr, &FEnc->ch_layout, FEnc->sample_fmt, FEnc->sample_rate, &in, inFmt,
                                           static_cast<int>(FInput.nSamplesPerSec), 0, nullptr);
    FF().av_channel_layout_uninit(&in);
    if (r < 0 || FF().swr_init(FSwr) < 0) return NS_E_INVALID_INPUT_FORMAT;
  }
  if (frames <= 0) return S_OK;
  const uint8_t* src = data;
  if (bits == 24) {
    const size_t samples = static_cast<size_t>(frames) * FInput.nChannels;
    FWide.resize(samples * 4);
    for (size_t i = 0; i < samples; ++i) {
      FWide[4 * i] = 0;
      FWide[4 * i + 1] = data[3 * i];
      FWide[4 * i + 2] = data[3 * i + 1];
      FWide[4 * i + 3] = data[3 * i + 2];
    }
    src = FWide.data();
  }
  const int room = FF().swr_get_out_samples(FSwr, frames);
  if (room < 0) return NS_E_AUDIO_CODEC_ERROR;
  uint8_t** planes = nullptr;
  if (FF().av_samples_alloc_array_and_samples(&planes, nullptr, FFormat.Channels, room + 1, FEnc->sample_fmt, 0) < 0)
    return E_OUTOFMEMORY;
  const int got = FF().swr_convert(FSwr, planes, room + 1, &src, frames);
  HRESULT hr = S_OK;
  if (got < 0 || (got > 0 && FF().av_audio_fifo_write(FFifo, reinterpret_cast<void**>(planes), got) < got))
    hr = NS_E_AUDIO_CODEC_ERROR;
  FF().av_freep(&planes[0]);
  FF().av_freep(&planes);
  if (FAILED(hr)) return hr;
  return EncodeFifo(false);
}

HRESULT WMWriterImpl::EndWriting() {
  if (!FWriting) return NS_E_INVALID_REQUEST;
  HRESULT hr = S_OK;
  if (FSwr) {
    // The resampler's tail.
    const int room = FF().swr_get_out_samples(FSwr, 0);
    if (room > 0) {
      uint8_t** planes = nullptr;
      if (FF().av_samples_alloc_array_and_samples(&planes, nullptr, FFormat.Channels, room, FEnc->sample_fmt, 0) >=
          0) {
        const int got = FF().swr_convert(FSwr, planes, room, nullptr, 0);
        if (got > 0) FF().av_audio_fifo_write(FFifo, reinterpret_cast<void**>(planes), got);
        FF().av_freep(&planes[0]);
        FF().av_freep(&planes);
      }
    }
  }
  hr = EncodeFifo(true);
  if (SUCCEEDED(hr)) hr = Encode(nullptr);
  if (SUCCEEDED(hr) && FF().av_write_trailer(FMux) < 0) hr = FSinkFailed ? NS_E_FILE_WRITE : E_FAIL;
  if (FAvio) FF().avio_flush(FAvio);
  if (FSinkFailed && SUCCEEDED(hr)) hr = NS_E_FILE_WRITE;
  for (IWMWriterSink* s : FSinks) {
    const HRESULT e = s->OnEndWriting();
    if (SUCCEEDED(hr) && FAILED(e)) hr = e;
  }
  Release();
  return hr;
}
