#pragma once
// A thin procedural layer over the Windows Media reader and writer: the components of
// TSL_WinMedia keep one state record of each kind and call only these operations.
// Times given to and taken from the layer are in hundredths of a second.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/rtl/Classes.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Streams.h"
#include "platform/wmf/WMF.h"

// The reader's view of a TStream it does not own. Seeks take 64-bit offsets and
// report the new position.
class TAudioStream : public IWMByteStream {
public:
  explicit TAudioStream(TStream* AStream) : FStream(AStream) {}
  HRESULT Read(void* Buffer, uint32_t Count, uint32_t* Read) override;
  HRESULT Write(const void* Buffer, uint32_t Count, uint32_t* Written) override;
  HRESULT Seek(int64_t Move, uint32_t Origin, uint64_t* NewPosition) override;
  HRESULT SetSize(uint64_t Size) override;
  HRESULT Stat(WMSTATSTG& Stat) override;

private:
  TStream* FStream;
};

// Hands the network sink's listener reports to the streamed output's routines.
class TWMStatusCallback : public IWMStatusCallback {
public:
  TWMStatusCallback(std::function<void()> OnConnect, std::function<void()> OnDisconnect)
      : FOnConnect(std::move(OnConnect)), FOnDisconnect(std::move(OnDisconnect)) {}
  HRESULT OnStatus(WMT_STATUS Status, HRESULT Hr, WMT_ATTR_DATATYPE Type, const uint8_t* Value,
                   uintptr_t Context) override;

private:
  std::function<void()> FOnConnect, FOnDisconnect;
};

struct TWMReaderState {
  std::unique_ptr<TAudioStream> Stream;
  std::unique_ptr<IWMSyncReader> Reader;
  IWMHeaderInfo* HeaderInfo = nullptr;
  uint16_t StreamNumber = 0;
  uint32_t OutputNumber = 0;
  bool HasAudio = false;
  bool Protected = false;
  int32_t Channels = 0, SampleRate = 0, BitsPerSample = 0;
  uint64_t Duration = 0;  // 100-ns units, 0 when unknown
  uint32_t Bitrate = 0;   // bit/s of the whole file, 0 when unknown
  std::unique_ptr<INSSBuffer> Sample;
  uint32_t Offset = 0;
  // Reading stopped where the stream turned out damaged or cut short.
  bool Damaged = false;
};

struct TWMWriterState {
  TComponent* Owner = nullptr;
  std::unique_ptr<IWMWriter> Writer;
  std::unique_ptr<INSSBuffer> Sample;
  uint32_t InputNumber = 0;
  uint32_t AvgBytesPerSec = 0;
  uint64_t SampleTime = 0;  // 100-ns units: the start of the next block
  uint64_t BytesWritten = 0;
  bool Created = false;
  int OpenError = 0;  // the system's error when the file could not be created
  bool Writing = false;
  std::unique_ptr<IWMWriterFileSink> FileSink;
  std::unique_ptr<IWMWriterNetworkSink> NetworkSink;
  std::unique_ptr<TWMStatusCallback> Callback;
};

// ChannelsWanted: -1 as many as available, 0 the native mono or stereo, 6 or 8.
void OpenWMAReader(TWMReaderState& State, TStream* Stream, bool HighPrecision, int32_t ChannelsWanted);
int32_t GetWMADuration(TWMReaderState& State);
void GetWMAFormat(TWMReaderState& State, int32_t& Channels, int32_t& Bits, int32_t& Rate);
// The exact number of sample frames the reader delivers; 0 when it cannot tell.
int64_t GetWMASampleCount(TWMReaderState& State);
std::u16string GetWMAAttribute(TWMReaderState& State, const std::string& Name);
// Time in hundredths of a second; fractions are kept, so a time computed from a
// sample number lands on that sample.
void SeekWMA(TWMReaderState& State, double Time);
void ReadWMAData(TWMReaderState& State, void*& Buffer, uint32_t& Bytes);
void CloseWMAReader(TWMReaderState& State);

void OpenWMAFile(TWMWriterState& State, const std::string& FileName);
void OpenWMAStream(TWMWriterState& State, uint32_t Port, uint32_t MaxClients, std::function<void()> OnDisconnect,
                   std::function<void()> OnConnect, TComponent* Owner, bool LoopbackOnly = false);
void GetWMACodecNames(TStringList& List);
void GetWMAFormatDescs(uint32_t Codec, bool Vbr, TStringList& List);
void SetWMAFormatByIndex(TWMWriterState& State, int32_t Channels, int32_t Bits, int32_t Format, int32_t Codec,
                         bool Vbr, int32_t Rate);
void SetWMAFormatByValue(TWMWriterState& State, int32_t Channels, int32_t Bits, uint32_t Value, bool Vbr,
                         bool Lossless, int32_t Rate);
void SetWMATag(TWMWriterState& State, const std::string& Name, const std::u16string& Text);
void BeginWMAWriting(TWMWriterState& State);
void WriteWMAData(TWMWriterState& State, const void* Buffer, uint32_t Bytes);
// Completes the file or stream after the last block; a failure raises EAuException.
void EndWMAWriting(TWMWriterState& State);
void CloseWMAFile(TWMWriterState& State);
void CloseWMAStream(TWMWriterState& State);
