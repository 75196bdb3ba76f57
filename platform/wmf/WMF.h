#pragma once
// Windows Media reading and writing over FFmpeg.
//
// A synchronous reader that decodes ASF (WMA v1, v2, Pro, Lossless, Voice) and MP3
// streams to PCM; a writer that encodes PCM into WMA in ASF and hands the bytes to
// sinks (a file, or an HTTP server for live listeners); a profile manager that lists
// the audio codecs the writer has and the formats each really encodes. The calls and
// their results follow the runtime's model (outputs, formats, settings, attributes,
// samples with times in 100-ns units); errors are result codes, never exceptions,
// but for one: making a reader or a writer loads FFmpeg's libraries and raises
// Exception naming the one that cannot be loaded (platform/ffmpeg/FFmpegLib.h). The
// profile manager and the sinks need no FFmpeg.
//
// An object is used by one thread at a time. The network sink reports listeners on
// a thread of its own through the status callback.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/WinTypes.h"  // HRESULT and the general result codes

inline constexpr HRESULT NS_E_INVALID_REQUEST = 0xC00D002B;      // wrong state for the call
inline constexpr HRESULT NS_E_NO_MORE_SAMPLES = 0xC00D0BCF;      // the end of the stream
inline constexpr HRESULT NS_E_PROTECTED_CONTENT = 0xC00D0BBD;    // the content is encrypted
inline constexpr HRESULT NS_E_INVALID_INPUT_FORMAT = 0xC00D0BB8;  // not a stream the reader knows
inline constexpr HRESULT NS_E_INVALID_OUTPUT_FORMAT = 0xC00D0B69;
inline constexpr HRESULT NS_E_AUDIO_CODEC_ERROR = 0xC00D0BC4;
inline constexpr HRESULT NS_E_UNSUPPORTED_PROPERTY = 0xC00D0BD8;
inline constexpr HRESULT NS_E_NETWORK_SINK_WRITE = 0xC00D0035;
inline constexpr HRESULT NS_E_FILE_OPEN_FAILED = 0xC00D001D;
inline constexpr HRESULT NS_E_FILE_WRITE = 0xC00D0011;
inline constexpr HRESULT NS_E_INVALID_DATA = 0xC00D002F;          // the stream is damaged here
inline constexpr HRESULT ASF_E_NOTFOUND = 0xC00D07F0;            // no such attribute

enum WMT_ATTR_DATATYPE : uint8_t {
  WMT_TYPE_DWORD = 0,
  WMT_TYPE_STRING = 1,  // UTF-16LE with a terminating zero
  WMT_TYPE_BINARY = 2,
  WMT_TYPE_BOOL = 3,    // 4 bytes
  WMT_TYPE_QWORD = 4,
  WMT_TYPE_WORD = 5,
  WMT_TYPE_GUID = 6
};

enum WMT_STATUS : uint32_t {
  WMT_ERROR = 0,
  WMT_CLIENT_CONNECT = 37,
  WMT_CLIENT_DISCONNECT = 38
};

enum WMMediaMajorType : uint8_t { WMMEDIATYPE_Audio, WMMEDIATYPE_Video, WMMEDIATYPE_Other };

// Audio subtypes are the wave format tags.
inline constexpr uint16_t WMMEDIASUBTYPE_PCM = 0x0001;
inline constexpr uint16_t WMMEDIASUBTYPE_MP3 = 0x0055;
inline constexpr uint16_t WMMEDIASUBTYPE_WMAudioV1 = 0x0160;  // WMA version 1
inline constexpr uint16_t WMMEDIASUBTYPE_WMAudioV8 = 0x0161;  // WMA version 2 (Standard)
inline constexpr uint16_t WMMEDIASUBTYPE_WMAudioV9 = 0x0162;  // WMA Professional
inline constexpr uint16_t WMMEDIASUBTYPE_WMAudio_Lossless = 0x0163;
inline constexpr uint16_t WMMEDIASUBTYPE_WMSP1 = 0x000A;      // WMA Voice

// The PCM IWMWriter takes as input and converts to its codec's format.
inline constexpr uint16_t WMF_MAX_INPUT_CHANNELS = 8;
inline constexpr uint32_t WMF_MIN_INPUT_RATE = 1000;
inline constexpr uint32_t WMF_MAX_INPUT_RATE = 768000;

struct WM_MEDIA_TYPE {
  WMMediaMajorType majortype = WMMEDIATYPE_Other;
  uint16_t subtype = 0;
  // The wave format of an audio type.
  uint16_t wFormatTag = 0;
  uint16_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nAvgBytesPerSec = 0;
  uint16_t nBlockAlign = 0;
  uint16_t wBitsPerSample = 0;
  uint32_t dwChannelMask = 0;
};

// Setting and attribute names the layer knows.
inline constexpr const char* g_wszEnableDiscreteOutput = "EnableDiscreteOutput";
inline constexpr const char* g_wszSpeakerConfig = "SpeakerConfig";
inline constexpr const char* g_wszWMDuration = "Duration";
inline constexpr const char* g_wszWMBitrate = "Bitrate";
inline constexpr const char* g_wszVBREnabled = "_VBRENABLED";
inline constexpr const char* g_wszVBRQuality = "_VBRQUALITY";

// ---------------------------------------------------------------------------
// Byte streams the reader opens.

enum : uint32_t { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };

struct WMSTATSTG {
  uint64_t cbSize = 0;
  // Identity of the file behind the stream, when there is one: lets the reader
  // reuse what it learnt about the same unchanged file.
  bool HasIdentity = false;
  uint64_t Device = 0, Inode = 0;
  int64_t ModifiedNs = 0;
};

class IWMByteStream {
public:
  virtual ~IWMByteStream() = default;
  virtual HRESULT Read(void* Buffer, uint32_t Count, uint32_t* Read) = 0;
  virtual HRESULT Write(const void* Buffer, uint32_t Count, uint32_t* Written) = 0;
  virtual HRESULT Seek(int64_t Move, uint32_t Origin, uint64_t* NewPosition) = 0;
  virtual HRESULT SetSize(uint64_t Size) = 0;
  virtual HRESULT Stat(WMSTATSTG& Stat) = 0;
};

// A block of media data.
class INSSBuffer {
public:
  explicit INSSBuffer(uint32_t MaxLength) : FData(MaxLength) {}
  HRESULT GetBuffer(uint8_t*& Buffer) {
    Buffer = FData.data();
    return S_OK;
  }
  HRESULT GetBufferAndLength(uint8_t*& Buffer, uint32_t& Length) {
    Buffer = FData.data();
    Length = FLength;
    return S_OK;
  }
  HRESULT GetLength(uint32_t& Length) const {
    Length = FLength;
    return S_OK;
  }
  HRESULT SetLength(uint32_t Length) {
    if (Length > FData.size()) return E_INVALIDARG;
    FLength = Length;
    return S_OK;
  }
  uint32_t MaxLength() const { return static_cast<uint32_t>(FData.size()); }

private:
  std::vector<uint8_t> FData;
  uint32_t FLength = 0;
};

// ---------------------------------------------------------------------------
// Header attributes

class IWMHeaderInfo {
public:
  virtual ~IWMHeaderInfo() = default;
  // Value nullptr: Length receives the size in bytes. Otherwise Length is the room
  // and receives the size. Strings are UTF-16LE with a terminating zero.
  virtual HRESULT GetAttributeByName(uint16_t& StreamNum, const std::string& Name, WMT_ATTR_DATATYPE& Type,
                                     uint8_t* Value, uint16_t& Length) = 0;
  virtual HRESULT SetAttribute(uint16_t StreamNum, const std::string& Name, WMT_ATTR_DATATYPE Type,
                               const uint8_t* Value, uint16_t Length) = 0;
};

// ---------------------------------------------------------------------------
// The synchronous reader

class WMSyncReaderImpl;

class IWMSyncReader {
public:
  IWMSyncReader();
  ~IWMSyncReader();
  IWMSyncReader(const IWMSyncReader&) = delete;
  IWMSyncReader& operator=(const IWMSyncReader&) = delete;

  // Reads the stream from its current position on (that position is the start of
  // the file to the reader). ASF and MP3 only. The stream must outlive the reader
  // or the next Close.
  HRESULT OpenStream(IWMByteStream* Stream);
  HRESULT Close();

  HRESULT GetOutputCount(uint32_t& Outputs);
  // The current format of an output: the stream's own channels (at most 2 unless
  // discrete output is on) and rate, 16 bits.
  HRESULT GetOutputProps(uint32_t Output, WM_MEDIA_TYPE& Type);
  // Any of the output's formats.
  HRESULT SetOutputProps(uint32_t Output, const WM_MEDIA_TYPE& Type);
  // The PCM formats an audio output can deliver: with discrete output, every channel
  // count down from the stream's own (or the speaker configuration's) to mono and
  // 24 bits besides 16 when the source is wider than 16 bits; otherwise stereo and
  // mono (or mono alone), 16 bits.
  HRESULT GetOutputFormatCount(uint32_t Output, uint32_t& Formats);
  HRESULT GetOutputFormat(uint32_t Output, uint32_t Format, WM_MEDIA_TYPE& Type);
  // "EnableDiscreteOutput" (BOOL) and "SpeakerConfig" (DWORD channel count).
  HRESULT SetOutputSetting(uint32_t Output, const std::string& Name, WMT_ATTR_DATATYPE Type,
                           const uint8_t* Value, uint16_t Length);
  HRESULT GetStreamNumberForOutput(uint32_t Output, uint16_t& StreamNum);
  // Only decoded samples are delivered; asking for compressed ones is refused.
  // NS_E_PROTECTED_CONTENT for encrypted content.
  HRESULT SetReadStreamSamples(uint16_t StreamNum, bool Compressed);
  // The next decoded block of StreamNum: Time is its start, Duration its length
  // (100-ns units). NS_E_NO_MORE_SAMPLES at the end of the stream; NS_E_INVALID_DATA
  // where it turns out damaged or cut short, after every block decoded before.
  HRESULT GetNextSample(uint16_t StreamNum, std::unique_ptr<INSSBuffer>& Sample, uint64_t& Time,
                        uint64_t& Duration, uint32_t& Flags, uint32_t& Output, uint16_t& StreamNumOut);
  // Reading goes on from Start (100-ns units), to the sample. Duration 0: to the end.
  HRESULT SetRange(uint64_t Start, int64_t Duration);
  // The exact number of sample frames the output delivers from the start to the end
  // (decoder delay and encoder padding removed); measured once per file. For a stream
  // found damaged: more than GetNextSample gives before NS_E_INVALID_DATA.
  HRESULT GetOutputSampleCount(uint32_t Output, int64_t& Frames);

  IWMHeaderInfo* HeaderInfo();

private:
  std::unique_ptr<WMSyncReaderImpl> FImpl;
};

HRESULT WMCreateSyncReader(void* Reserved, uint32_t Rights, std::unique_ptr<IWMSyncReader>& Reader);

// ---------------------------------------------------------------------------
// Profiles and codecs

class IWMStreamConfig {
public:
  WMMediaMajorType GetStreamType() const { return FType.majortype; }
  HRESULT GetStreamNumber(uint16_t& StreamNum) const {
    StreamNum = FStreamNumber;
    return S_OK;
  }
  HRESULT SetStreamNumber(uint16_t StreamNum);
  HRESULT SetStreamName(const std::u16string& Name) {
    FStreamName = Name;
    return S_OK;
  }
  HRESULT SetConnectionName(const std::u16string& Name) {
    FConnectionName = Name;
    return S_OK;
  }
  HRESULT GetBitrate(uint32_t& Bitrate) const {
    Bitrate = FBitrate;
    return S_OK;
  }
  HRESULT GetMediaType(WM_MEDIA_TYPE& Type) const {
    Type = FType;
    return S_OK;
  }

  // Filled by the profile manager.
  WM_MEDIA_TYPE FType;
  uint32_t FBitrate = 0;
  uint16_t FStreamNumber = 0;
  std::u16string FStreamName, FConnectionName;
};

class IWMProfile {
public:
  explicit IWMProfile(uint32_t Version) : FVersion(Version) {}
  uint32_t Version() const { return FVersion; }
  // Stream numbers are 1..63 and unique; a copy of Config is kept.
  HRESULT AddStream(const IWMStreamConfig& Config);
  HRESULT GetStreamCount(uint32_t& Streams) const {
    Streams = static_cast<uint32_t>(FStreams.size());
    return S_OK;
  }
  const std::vector<IWMStreamConfig>& Streams() const { return FStreams; }

private:
  uint32_t FVersion;
  std::vector<IWMStreamConfig> FStreams;
};

inline constexpr uint32_t WMT_VER_9_0 = 0x00090000;

// The audio codecs the writer has (WMA 1 and WMA 2, both constant bit rate: there is
// no VBR or lossless encoder, so enumerations with "_VBRENABLED" are refused).
class IWMProfileManager {
public:
  HRESULT CreateEmptyProfile(uint32_t Version, std::unique_ptr<IWMProfile>& Profile);
  // IWMCodecInfo2
  HRESULT GetCodecInfoCount(WMMediaMajorType Major, uint32_t& Codecs);
  HRESULT GetCodecName(WMMediaMajorType Major, uint32_t Codec, std::u16string& Name);
  HRESULT GetCodecFormatCount(WMMediaMajorType Major, uint32_t Codec, uint32_t& Formats);
  HRESULT GetCodecFormat(WMMediaMajorType Major, uint32_t Codec, uint32_t Format, IWMStreamConfig& Config);
  // Such as "128 kbps, 44 kHz, stereo CBR".
  HRESULT GetCodecFormatDesc(WMMediaMajorType Major, uint32_t Codec, uint32_t Format, IWMStreamConfig* Config,
                             std::u16string& Desc);
  HRESULT SetCodecEnumerationSetting(WMMediaMajorType Major, uint32_t Codec, const std::string& Name,
                                     WMT_ATTR_DATATYPE Type, const uint8_t* Value, uint16_t Length);
  HRESULT GetCodecFormatProp(WMMediaMajorType Major, uint32_t Codec, uint32_t Format, const std::string& Name,
                             WMT_ATTR_DATATYPE& Type, uint8_t* Value, uint32_t& Length);
};

HRESULT WMCreateProfileManager(std::unique_ptr<IWMProfileManager>& Manager);

// ---------------------------------------------------------------------------
// The writer and its sinks

class IWMStatusCallback {
public:
  virtual ~IWMStatusCallback() = default;
  virtual HRESULT OnStatus(WMT_STATUS Status, HRESULT Hr, WMT_ATTR_DATATYPE Type, const uint8_t* Value,
                           uintptr_t Context) = 0;
};

// Where the writer's bytes go. The writer drives a sink; applications only create,
// open and add them.
class IWMWriterSink {
public:
  virtual ~IWMWriterSink() = default;
  // Called by the writer.
  virtual bool Seekable() const = 0;
  virtual HRESULT OnBeginWriting() = 0;
  // The header is complete; what follows are data packets of PacketSize bytes.
  virtual void OnHeaderDone(uint32_t PacketSize) = 0;
  virtual HRESULT OnData(const uint8_t* Data, size_t Size) = 0;
  virtual HRESULT OnSeek(int64_t Position) = 0;
  virtual HRESULT OnEndWriting() = 0;
};

class IWMWriterFileSink : public IWMWriterSink {
public:
  IWMWriterFileSink() = default;
  ~IWMWriterFileSink() override;
  // Creates (or empties) the file.
  HRESULT Open(const std::string& FileName);
  HRESULT Close();
  // The system's error number of the first write, seek or flush that failed; 0 when none did.
  int Error() const { return FError; }

  bool Seekable() const override { return true; }
  HRESULT OnBeginWriting() override;
  void OnHeaderDone(uint32_t) override {}
  HRESULT OnData(const uint8_t* Data, size_t Size) override;
  HRESULT OnSeek(int64_t Position) override;
  HRESULT OnEndWriting() override;

private:
  HRESULT Failed();

  int FFd = -1;
  int FError = 0;
};

class WMNetworkSinkImpl;

// Serves the stream over HTTP: every listener gets the header, then the data from
// the next packet on. Listeners beyond the maximum are refused.
class IWMWriterNetworkSink : public IWMWriterSink {
public:
  IWMWriterNetworkSink();
  ~IWMWriterNetworkSink() override;

  // 0: HTTP, the only protocol.
  HRESULT SetNetworkProtocol(uint32_t Protocol);
  // Port 0 takes a free one; Port receives the port in use. LoopbackOnly listens on
  // 127.0.0.1 alone, otherwise on every interface.
  HRESULT Open(uint32_t& Port, bool LoopbackOnly = false);
  HRESULT SetMaximumClients(uint32_t MaxClients);
  HRESULT GetMaximumClients(uint32_t& MaxClients);
  // Ends every connection (after the data already written, for at most a second)
  // and stops listening. Never blocks longer than that.
  HRESULT Close();
  // IWMRegisterCallback
  HRESULT Advise(IWMStatusCallback* Callback, uintptr_t Context);
  HRESULT Unadvise(IWMStatusCallback* Callback, uintptr_t Context);

  bool Seekable() const override { return false; }
  HRESULT OnBeginWriting() override;
  void OnHeaderDone(uint32_t PacketSize) override;
  HRESULT OnData(const uint8_t* Data, size_t Size) override;
  HRESULT OnSeek(int64_t) override { return E_FAIL; }
  HRESULT OnEndWriting() override;

private:
  std::unique_ptr<WMNetworkSinkImpl> FImpl;
};

class WMWriterImpl;

class IWMWriter : public IWMHeaderInfo {
public:
  IWMWriter();
  ~IWMWriter() override;

  // One audio stream; its format must be one the profile manager lists.
  HRESULT SetProfile(const IWMProfile& Profile);
  HRESULT GetInputCount(uint32_t& Inputs);
  HRESULT GetInputProps(uint32_t Input, WM_MEDIA_TYPE& Type);
  // PCM of 8, 16, 24 or 32 bits within the limits above: converted to the codec's format.
  HRESULT SetInputProps(uint32_t Input, const WM_MEDIA_TYPE& Type);
  HRESULT BeginWriting();
  HRESULT AllocateSample(uint32_t Size, std::unique_ptr<INSSBuffer>& Sample);
  // Time is the start of the block (100-ns units); the first block's time is the
  // start of the stream, later blocks follow it without gaps.
  HRESULT WriteSample(uint32_t Input, uint64_t Time, uint32_t Flags, INSSBuffer& Sample);
  HRESULT EndWriting();
  // IWMWriterAdvanced: the sink is not owned and must outlive the writing.
  HRESULT AddSink(IWMWriterSink* Sink);
  HRESULT RemoveSink(IWMWriterSink* Sink);

  // IWMHeaderInfo: attributes of stream 0, set before BeginWriting.
  HRESULT GetAttributeByName(uint16_t& StreamNum, const std::string& Name, WMT_ATTR_DATATYPE& Type,
                             uint8_t* Value, uint16_t& Length) override;
  HRESULT SetAttribute(uint16_t StreamNum, const std::string& Name, WMT_ATTR_DATATYPE Type,
                       const uint8_t* Value, uint16_t Length) override;

private:
  std::unique_ptr<WMWriterImpl> FImpl;
};

HRESULT WMCreateWriter(void* Reserved, std::unique_ptr<IWMWriter>& Writer);
HRESULT WMCreateWriterFileSink(std::unique_ptr<IWMWriterFileSink>& Sink);
HRESULT WMCreateWriterNetworkSink(std::unique_ptr<IWMWriterNetworkSink>& Sink);

// ---------------------------------------------------------------------------
// Helpers shared by the reader and writer.

// Metadata key of FFmpeg for a header attribute name; empty when it has none.
std::string WMAttributeToMetadataKey(const std::string& Name);
