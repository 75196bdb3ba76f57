#include <cerrno>
#include "audio/io/libwma1.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "audio/core/TSL_Classes.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/StrUtils.h"

namespace {

constexpr HRESULT AdapterFailure = 0xFFFFFFFF;  // the adapter's "-1"
constexpr int64_t HundredNsPerHundredth = 100000;

std::string Hex8(HRESULT Hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(Hr));
  return buf;
}

std::vector<uint8_t> WideBytes(const std::u16string& S) {
  std::vector<uint8_t> v;
  v.reserve(2 * S.size() + 2);
  for (char16_t c : S) AppendLE16(v, c);
  AppendLE16(v, 0);
  return v;
}

std::vector<uint8_t> Dword(uint32_t V) {
  std::vector<uint8_t> v;
  AppendLE32(v, V);
  return v;
}

void SelectFormat(TWMReaderState& S, uint32_t Output, const WM_MEDIA_TYPE& T) {
  S.OutputNumber = Output;
  S.Channels = T.nChannels;
  S.SampleRate = static_cast<int32_t>(T.nSamplesPerSec);
  S.BitsPerSample = T.wBitsPerSample;
  S.HasAudio = true;
  S.Reader->SetOutputProps(Output, T);
}

// The PCM input of the writer: the first audio PCM input gets the component's format.
void SetPcmInput(TWMWriterState& S, int32_t Channels, int32_t Bits, int32_t Rate) {
  uint32_t inputs = 0;
  S.Writer->GetInputCount(inputs);
  for (uint32_t i = 0; i < inputs; ++i) {
    WM_MEDIA_TYPE t;
    if (FAILED(S.Writer->GetInputProps(i, t))) continue;
    if (t.majortype != WMMEDIATYPE_Audio || t.subtype != WMMEDIASUBTYPE_PCM) continue;
    t.wFormatTag = WMMEDIASUBTYPE_PCM;
    t.nChannels = static_cast<uint16_t>(Channels);
    t.nSamplesPerSec = static_cast<uint32_t>(Rate);
    t.wBitsPerSample = static_cast<uint16_t>(Bits);
    t.nBlockAlign = static_cast<uint16_t>(Channels * (Bits / 8));
    t.nAvgBytesPerSec = t.nBlockAlign * t.nSamplesPerSec;
    S.AvgBytesPerSec = t.nAvgBytesPerSec;
    // A refused format would leave the profile's own in place, and the audio read wrongly.
    if (FAILED(S.Writer->SetInputProps(i, t)))
      throw EAuException("The Windows Media writer cannot take " + std::to_string(Channels) + " channels of " +
                         std::to_string(Bits) + "-bit samples at " + std::to_string(Rate) + " Hz.");
    S.InputNumber = i;
    break;
  }
}

void AddAudioStream(IWMProfile& Profile, IWMStreamConfig& Config) {
  Config.SetStreamNumber(1);
  Config.SetStreamName(u"Audio");
  Config.SetConnectionName(u"Audio");
  if (FAILED(Profile.AddStream(Config))) throw Exception("fff");
}

bool EnableVbr(IWMProfileManager& M, uint32_t Codec) {
  const auto on = Dword(1);
  return SUCCEEDED(M.SetCodecEnumerationSetting(WMMEDIATYPE_Audio, Codec, g_wszVBREnabled, WMT_TYPE_BOOL, on.data(),
                                                static_cast<uint16_t>(on.size())));
}

// The stream configuration for the PCM template nearest to Value (a bit rate, or the
// VBR quality); false when there is none.
bool FindWMAFormat(IWMProfileManager& M, const WM_MEDIA_TYPE& Template, uint32_t Value, bool Vbr, bool Lossless,
                   IWMStreamConfig& Result) {
  uint32_t codecs = 0;
  M.GetCodecInfoCount(WMMEDIATYPE_Audio, codecs);
  bool haveBest = false, haveFallback = false;
  IWMStreamConfig best, fallback;
  int64_t bestValueDiff = std::numeric_limits<int64_t>::max();
  int64_t bestRateDiff = std::numeric_limits<int64_t>::max();
  for (uint32_t c = 0; c < codecs; ++c) {
    if ((Vbr || Lossless) && !EnableVbr(M, c)) continue;
    uint32_t formats = 0;
    M.GetCodecFormatCount(WMMEDIATYPE_Audio, c, formats);
    for (uint32_t f = 0; f < formats; ++f) {
      IWMStreamConfig config;
      if (FAILED(M.GetCodecFormat(WMMEDIATYPE_Audio, c, f, config))) continue;
      WM_MEDIA_TYPE t;
      config.GetMediaType(t);
      bool qualifies = false;
      int64_t valueDiff = 0;
      if (Lossless) {
        qualifies = t.subtype == WMMEDIASUBTYPE_WMAudio_Lossless;
      } else if (Vbr) {
        WMT_ATTR_DATATYPE type;
        uint8_t q[4] = {};
        uint32_t len = sizeof q;
        if (SUCCEEDED(M.GetCodecFormatProp(WMMEDIATYPE_Audio, c, f, g_wszVBRQuality, type, q, len)) && len >= 1) {
          valueDiff = std::llabs(static_cast<int64_t>(q[0]) - static_cast<int64_t>(Value));
          qualifies = valueDiff <= bestValueDiff;
        }
      } else {
        uint32_t bitrate = 0;
        config.GetBitrate(bitrate);
        valueDiff = std::llabs(static_cast<int64_t>(bitrate) - static_cast<int64_t>(Value));
        // Equally near formats compete on their sample rate below.
        qualifies = valueDiff <= bestValueDiff;
      }
      if (!qualifies) continue;
      if ((Vbr || Lossless) && !haveFallback) {
        fallback = config;
        haveFallback = true;
      }
      // The codec converts any PCM sample size, so only the channels must agree.
      const int64_t rateDiff =
          std::llabs(static_cast<int64_t>(t.nSamplesPerSec) - static_cast<int64_t>(Template.nSamplesPerSec));
      if (t.nChannels == Template.nChannels && rateDiff <= bestRateDiff) {
        best = config;
        haveBest = true;
        bestRateDiff = rateDiff;
        bestValueDiff = valueDiff;
      }
    }
  }
  if (haveBest) {
    Result = best;
    return true;
  }
  if (haveFallback) {
    Result = fallback;
    return true;
  }
  return false;
}

}  // namespace

// ===========================================================================
// Adapter and callback

HRESULT TAudioStream::Read(void* Buffer, uint32_t Count, uint32_t* Read) {
  int64_t n = 0;
  try {
    n = FStream->Read(Buffer, Count);
  } catch (...) {
    n = 0;
  }
  if (Read) *Read = static_cast<uint32_t>(n);
  return n > 0 ? S_OK : AdapterFailure;
}

HRESULT TAudioStream::Write(const void* Buffer, uint32_t Count, uint32_t* Written) {
  int64_t n = 0;
  try {
    n = FStream->Write(Buffer, Count);
  } catch (...) {
    n = 0;
  }
  if (Written) *Written = static_cast<uint32_t>(n);
  return n > 0 ? S_OK : AdapterFailure;
}

HRESULT TAudioStream::Seek(int64_t Move, uint32_t Origin, uint64_t* NewPosition) {
  const TSeekOrigin o = Origin == STREAM_SEEK_SET ? soBeginning : Origin == STREAM_SEEK_CUR ? soCurrent : soEnd;
  if (Origin > STREAM_SEEK_END) return AdapterFailure;
  try {
    const int64_t p = FStream->Seek(Move, o);
    if (p < 0) return AdapterFailure;
    if (NewPosition) *NewPosition = static_cast<uint64_t>(p);
    return S_OK;
  } catch (...) {
    return AdapterFailure;
  }
}

HRESULT TAudioStream::SetSize(uint64_t Size) {
  try {
    FStream->Seek(static_cast<int64_t>(Size), soBeginning);
  } catch (...) {
    return AdapterFailure;
  }
  return S_OK;
}

HRESULT TAudioStream::Stat(WMSTATSTG& Stat) {
  Stat = WMSTATSTG();
  try {
    Stat.cbSize = static_cast<uint64_t>(FStream->Size());
  } catch (...) {
    return AdapterFailure;
  }
  if (auto* h = dynamic_cast<THandleStream*>(FStream)) {
    struct stat st {};
    if (h->Handle() >= 0 && ::fstat(h->Handle(), &st) == 0 && S_ISREG(st.st_mode)) {
      Stat.HasIdentity = true;
      Stat.Device = st.st_dev;
      Stat.Inode = st.st_ino;
      Stat.ModifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
  }
  return S_OK;
}

HRESULT TWMStatusCallback::OnStatus(WMT_STATUS Status, HRESULT, WMT_ATTR_DATATYPE, const uint8_t*, uintptr_t) {
  if (Status == WMT_CLIENT_CONNECT && FOnConnect) FOnConnect();
  if (Status == WMT_CLIENT_DISCONNECT && FOnDisconnect) FOnDisconnect();
  return S_OK;
}

// ===========================================================================
// Reader

void OpenWMAReader(TWMReaderState& State, TStream* Stream, bool HighPrecision, int32_t ChannelsWanted) {
  CloseWMAReader(State);
  if (FAILED(WMCreateSyncReader(nullptr, 0, State.Reader)) || !State.Reader || !Stream) {
    State.Reader.reset();
    return;
  }
  State.Stream = std::make_unique<TAudioStream>(Stream);
  if (FAILED(State.Reader->OpenStream(State.Stream.get()))) {
    // Some files carry a 30-byte prefix before the header.
    State.Stream->Seek(30, STREAM_SEEK_SET, nullptr);
    if (FAILED(State.Reader->OpenStream(State.Stream.get()))) {
      State.Reader.reset();
      State.Stream.reset();
      return;
    }
  }
  IWMSyncReader& r = *State.Reader;
  const auto discrete = Dword(HighPrecision ? 1 : 0);
  const auto speakers = Dword(static_cast<uint32_t>(std::max(ChannelsWanted, 0)));
  uint32_t outputs = 0;
  r.GetOutputCount(outputs);
  for (uint32_t o = 0; o < outputs; ++o) {
    WM_MEDIA_TYPE current;
    if (FAILED(r.GetOutputProps(o, current)) || current.majortype != WMMEDIATYPE_Audio) continue;
    r.SetOutputSetting(o, g_wszEnableDiscreteOutput, WMT_TYPE_BOOL, discrete.data(), 4);
    if (ChannelsWanted > 2) r.SetOutputSetting(o, g_wszSpeakerConfig, WMT_TYPE_DWORD, speakers.data(), 4);
    r.GetOutputProps(o, current);
    uint32_t formats = 0;
    r.GetOutputFormatCount(o, formats);
    int32_t bestChannels = 0, bestRate = 0, bestBits = 0;
    for (uint32_t f = 0; f < formats; ++f) {
      WM_MEDIA_TYPE t;
      if (FAILED(r.GetOutputFormat(o, f, t)) || t.majortype != WMMEDIATYPE_Audio) continue;
      bool select = false;
      if (ChannelsWanted == 0) {
        select = t.nChannels == current.nChannels && t.nSamplesPerSec == current.nSamplesPerSec &&
                 t.wBitsPerSample >= bestBits;
      } else if (ChannelsWanted == -1) {
        select = t.nChannels >= bestChannels && static_cast<int32_t>(t.nSamplesPerSec) >= bestRate &&
                 t.wBitsPerSample >= bestBits;
      } else {
        select = t.nChannels == ChannelsWanted;
      }
      if (!select) continue;
      bestChannels = t.nChannels;
      bestRate = static_cast<int32_t>(t.nSamplesPerSec);
      bestBits = t.wBitsPerSample;
      SelectFormat(State, o, t);
    }
  }
  if (!State.HasAudio) return;
  r.GetStreamNumberForOutput(State.OutputNumber, State.StreamNumber);
  if (r.SetReadStreamSamples(State.StreamNumber, false) == NS_E_PROTECTED_CONTENT) State.Protected = true;
  State.HeaderInfo = r.HeaderInfo();
  // A number attribute of the file; 0 when it has none.
  auto number = [&State](const char* Name, WMT_ATTR_DATATYPE Kind, uint16_t Bytes) -> uint64_t {
    uint16_t stream = 0;
    WMT_ATTR_DATATYPE type;
    uint8_t value[8] = {};
    uint16_t length = Bytes;
    if (!State.HeaderInfo || FAILED(State.HeaderInfo->GetAttributeByName(stream, Name, type, value, length)) ||
        type != Kind || length != Bytes)
      return 0;
    return Bytes == 8 ? GetLE64(value) : GetLE32(value);
  };
  State.Duration = number(g_wszWMDuration, WMT_TYPE_QWORD, 8);
  State.Bitrate = static_cast<uint32_t>(number(g_wszWMBitrate, WMT_TYPE_DWORD, 4));
}

int32_t GetWMADuration(TWMReaderState& State) {
  return static_cast<int32_t>(std::nearbyint(static_cast<double>(State.Duration) / HundredNsPerHundredth));
}

void GetWMAFormat(TWMReaderState& State, int32_t& Channels, int32_t& Bits, int32_t& Rate) {
  Channels = State.Channels;
  Bits = State.BitsPerSample;
  Rate = State.SampleRate;
}

int64_t GetWMASampleCount(TWMReaderState& State) {
  if (!State.Reader || !State.HasAudio) return 0;
  int64_t frames = 0;
  if (FAILED(State.Reader->GetOutputSampleCount(State.OutputNumber, frames))) return 0;
  return frames;
}

std::u16string GetWMAAttribute(TWMReaderState& State, const std::string& Name) {
  if (!State.HeaderInfo) return {};
  uint16_t stream = 0;
  WMT_ATTR_DATATYPE type;
  uint16_t length = 0;
  if (FAILED(State.HeaderInfo->GetAttributeByName(stream, Name, type, nullptr, length)) || length == 0) return {};
  std::vector<uint8_t> value(length);
  if (FAILED(State.HeaderInfo->GetAttributeByName(stream, Name, type, value.data(), length))) return {};
  if (type != WMT_TYPE_STRING) return {};
  std::u16string text;
  for (size_t i = 0; i + 1 < value.size(); i += 2) {
    const char16_t c = GetLE16(&value[i]);
    if (c == 0) break;
    text += c;
  }
  return text;
}

void SeekWMA(TWMReaderState& State, double Time) {
  if (!State.Reader) return;
  State.Sample.reset();
  State.Offset = 0;
  State.Damaged = false;
  const double start = std::max(0.0, Time) * HundredNsPerHundredth;
  State.Reader->SetRange(static_cast<uint64_t>(std::nearbyint(start)), 0);
}

void ReadWMAData(TWMReaderState& State, void*& Buffer, uint32_t& Bytes) {
  for (;;) {
    if (State.Sample) {
      uint8_t* data = nullptr;
      uint32_t length = 0;
      State.Sample->GetBufferAndLength(data, length);
      if (State.Offset < length) {
        Bytes = std::min(Bytes, length - State.Offset);
        Buffer = data + State.Offset;
        State.Offset += Bytes;
        return;
      }
      State.Sample.reset();
      State.Offset = 0;
    }
    uint64_t time = 0, duration = 0;
    uint32_t flags = 0, output = 0;
    uint16_t stream = 0;
    const HRESULT hr = State.Reader ? State.Reader->GetNextSample(State.StreamNumber, State.Sample, time, duration,
                                                                  flags, output, stream)
                                    : NS_E_INVALID_REQUEST;
    if (FAILED(hr) || !State.Sample) {
      State.Damaged = hr == NS_E_INVALID_DATA;
      State.Sample.reset();
      Buffer = nullptr;
      Bytes = 0;
      return;
    }
  }
}

void CloseWMAReader(TWMReaderState& State) {
  if (State.Reader) State.Reader->Close();
  State.Sample.reset();
  State.Reader.reset();
  State.Stream.reset();
  State = TWMReaderState();
}

// ===========================================================================
// Writer

void OpenWMAFile(TWMWriterState& State, const std::string& FileName) {
  State.Created = false;
  if (FAILED(WMCreateWriter(nullptr, State.Writer)) || FAILED(WMCreateWriterFileSink(State.FileSink)) ||
      FAILED(State.Writer->AddSink(State.FileSink.get())) || FAILED(State.FileSink->Open(FileName))) {
    State.OpenError = errno;
    State.Writer.reset();
    State.FileSink.reset();
    return;
  }
  State.Created = true;
}

void OpenWMAStream(TWMWriterState& State, uint32_t Port, uint32_t MaxClients, std::function<void()> OnDisconnect,
                   std::function<void()> OnConnect, TComponent* Owner, bool LoopbackOnly) {
  State.Owner = Owner;
  State.Created = false;
  uint32_t port = Port;
  if (FAILED(WMCreateWriter(nullptr, State.Writer)) || FAILED(WMCreateWriterNetworkSink(State.NetworkSink)) ||
      FAILED(State.NetworkSink->SetNetworkProtocol(0)) || FAILED(State.NetworkSink->Open(port, LoopbackOnly))) {
    State.Writer.reset();
    State.NetworkSink.reset();
    return;
  }
  if (MaxClients != 0) State.NetworkSink->SetMaximumClients(MaxClients);
  State.Writer->AddSink(State.NetworkSink.get());
  State.Callback = std::make_unique<TWMStatusCallback>(std::move(OnConnect), std::move(OnDisconnect));
  State.NetworkSink->Advise(State.Callback.get(), 0);
  State.Created = true;
}

void GetWMACodecNames(TStringList& List) {
  std::unique_ptr<IWMProfileManager> m;
  if (FAILED(WMCreateProfileManager(m))) return;
  uint32_t count = 0;
  m->GetCodecInfoCount(WMMEDIATYPE_Audio, count);
  for (uint32_t i = 0; i < count; ++i) {
    std::u16string name;
    if (SUCCEEDED(m->GetCodecName(WMMEDIATYPE_Audio, i, name))) List.Add(UTF16ToUTF8(name));
  }
}

void GetWMAFormatDescs(uint32_t Codec, bool Vbr, TStringList& List) {
  std::unique_ptr<IWMProfileManager> m;
  if (FAILED(WMCreateProfileManager(m))) return;
  uint32_t count = 0;
  m->GetCodecInfoCount(WMMEDIATYPE_Audio, count);
  if (Codec >= count) return;
  if (Vbr && !EnableVbr(*m, Codec)) return;
  uint32_t formats = 0;
  m->GetCodecFormatCount(WMMEDIATYPE_Audio, Codec, formats);
  for (uint32_t f = 0; f < formats; ++f) {
    std::u16string desc;
    if (SUCCEEDED(m->GetCodecFormatDesc(WMMEDIATYPE_Audio, Codec, f, nullptr, desc))) List.Add(UTF16ToUTF8(desc));
  }
}

void SetWMAFormatByIndex(TWMWriterState& State, int32_t Channels, int32_t Bits, int32_t Format, int32_t Codec,
                         bool Vbr, int32_t Rate) {
  std::unique_ptr<IWMProfileManager> m;
  std::unique_ptr<IWMProfile> profile;
  if (FAILED(WMCreateProfileManager(m)) || FAILED(m->CreateEmptyProfile(WMT_VER_9_0, profile))) throw Exception("fff");
  uint32_t count = 0;
  m->GetCodecInfoCount(WMMEDIATYPE_Audio, count);
  if (Codec >= 0 && static_cast<uint32_t>(Codec) < count && (!Vbr || EnableVbr(*m, static_cast<uint32_t>(Codec)))) {
    IWMStreamConfig config;
    if (Format < 0 ||
        FAILED(m->GetCodecFormat(WMMEDIATYPE_Audio, static_cast<uint32_t>(Codec), static_cast<uint32_t>(Format), config)))
      throw Exception("fff");
    AddAudioStream(*profile, config);
  }
  State.Writer->SetProfile(*profile);
  SetPcmInput(State, Channels, Bits, Rate);
}

void SetWMAFormatByValue(TWMWriterState& State, int32_t Channels, int32_t Bits, uint32_t Value, bool Vbr,
                         bool Lossless, int32_t Rate) {
  std::unique_ptr<IWMProfileManager> m;
  if (FAILED(WMCreateProfileManager(m))) throw Exception("Failed to init codec");
  WM_MEDIA_TYPE pcm;
  pcm.majortype = WMMEDIATYPE_Audio;
  pcm.subtype = pcm.wFormatTag = WMMEDIASUBTYPE_PCM;
  pcm.nChannels = static_cast<uint16_t>(Channels);
  pcm.nSamplesPerSec = static_cast<uint32_t>(Rate);
  pcm.wBitsPerSample = static_cast<uint16_t>(Bits);
  IWMStreamConfig config;
  if (!FindWMAFormat(*m, pcm, Value, Vbr, Lossless, config)) throw Exception("Failed to init codec");
  std::unique_ptr<IWMProfile> profile;
  if (FAILED(m->CreateEmptyProfile(WMT_VER_9_0, profile))) throw Exception("fff");
  AddAudioStream(*profile, config);
  State.Writer->SetProfile(*profile);
  SetPcmInput(State, Channels, Bits, Rate);
}

void SetWMATag(TWMWriterState& State, const std::string& Name, const std::u16string& Text) {
  if (!State.Writer) return;
  const auto bytes = WideBytes(Text);
  if (bytes.size() > 0xFFFF) return;
  State.Writer->SetAttribute(0, Name, WMT_TYPE_STRING, bytes.data(), static_cast<uint16_t>(bytes.size()));
}

void BeginWMAWriting(TWMWriterState& State) {
  const HRESULT hr = State.Writer ? State.Writer->BeginWriting() : E_UNEXPECTED;
  if (FAILED(hr)) throw EAuException("Filed to set data writer: " + Hex8(hr));
  State.Writing = true;
  State.SampleTime = 0;
  State.BytesWritten = 0;
}

void WriteWMAData(TWMWriterState& State, const void* Buffer, uint32_t Bytes) {
  if (Bytes == 0) return;  // nothing to encode; an empty sample would only confuse the timing
  HRESULT hr = State.Writer ? State.Writer->AllocateSample(Bytes, State.Sample) : E_UNEXPECTED;
  if (SUCCEEDED(hr)) {
    uint8_t* dst = nullptr;
    State.Sample->GetBuffer(dst);
    std::memcpy(dst, Buffer, Bytes);
    State.Sample->SetLength(Bytes);
    // The sample carries the time of its first byte.
    hr = State.Writer->WriteSample(State.InputNumber, State.SampleTime, 0, *State.Sample);
  }
  State.Sample.reset();
  if (FAILED(hr)) throw EAuException("Failed to write data: " + Hex8(hr));
  State.BytesWritten += Bytes;
  if (State.AvgBytesPerSec > 0)
    State.SampleTime = static_cast<uint64_t>(
        std::nearbyint(static_cast<long double>(State.BytesWritten) * 10000000.0L / State.AvgBytesPerSec));
}

void EndWMAWriting(TWMWriterState& State) {
  if (!State.Writer || !State.Writing) return;
  State.Writing = false;
  const HRESULT hr = State.Writer->EndWriting();
  if (FAILED(hr)) throw EAuException("Failed to write data: " + Hex8(hr));
}

void CloseWMAFile(TWMWriterState& State) {
  if (State.Writer && State.Writing) State.Writer->EndWriting();
  State.Writing = false;
  State.Writer.reset();
  if (State.FileSink) State.FileSink->Close();
  State.FileSink.reset();
  State.Created = false;
}

void CloseWMAStream(TWMWriterState& State) {
  if (State.Writer && State.Writing) State.Writer->EndWriting();
  State.Writing = false;
  if (State.NetworkSink) {
    State.NetworkSink->Close();
    if (State.Callback) State.NetworkSink->Unadvise(State.Callback.get(), 0);
  }
  State.Callback.reset();
  State.Writer.reset();
  State.NetworkSink.reset();
  State.Created = false;
}
