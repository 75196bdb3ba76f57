#pragma once
// Windows Media audio: TWMIn decodes WMA (and, through TMP3In, MP3) files, TWMAOut
// encodes WMA files, TWMStreamedOut serves the encoded audio over HTTP. Tags travel as
// header attributes mapped to the components' TId3v2Tags.

#include <atomic>
#include <cstdint>
#include <functional>

#include "audio/core/TSL_Classes.h"
#include "audio/io/libwma1.h"
#include "platform/rtl/StringList.h"

enum TChannelsNumber : uint8_t { cnMaxAvailable, cnMonoOrStereo, cn5dot1, cn7dot1 };

using TStreamedAudioEvent = std::function<void(TComponent* Sender)>;

class TWMIn : public TAuTaggedFileIn {
public:
  explicit TWMIn(TComponent* AOwner);

  bool HighPrecision() const { return FHighPrecision; }
  // Refused while busy and unless OutputChannels is cnMonoOrStereo; an open file is
  // opened again with the new setting.
  void SetHighPrecision(bool Value);
  TChannelsNumber OutputChannels() const { return FOutputChannels; }
  // Refused while busy; anything but cnMonoOrStereo also turns HighPrecision on.
  void SetOutputChannels(TChannelsNumber Value);
  // The length the open file's header gives, in hundredths of a second (0 when it has
  // none or one its file cannot hold).
  int32_t HeaderDuration() const { return FDuration; }
  // Until the decode has counted the frames, by the header's length.
  int32_t Progress() override;

protected:
  // Opens the file, then gives the tags read from it.
  TId3v2Tags* GetId3v2Tags() override;
  void DoOpenFile() override;
  void DoCloseFile() override;
  // Until TotalSamples or a run over a range asks for the exact count, the length is
  // the header's and Size is unknown (-1): counting the frames decodes the whole file.
  // A run over the whole file counts them as it decodes, and knows its Size at the end.
  // Containers whose header length cannot be trusted count them at once (CountsAtOpen).
  int32_t GetTotalTime() override;
  int64_t GetTotalSamples() override;
  void BeginRead() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;
  bool SeekRaw(int64_t& SampleNum) override;
  // The decoder's name in messages about a damaged file.
  virtual const char* DecoderName() const { return "Windows Media"; }
  virtual bool CountsAtOpen() const { return false; }

private:
  void Reopen();
  // Counts the frames the reader delivers, once per opening; a file with none is not
  // valid.
  void Measure();

  bool FHighPrecision = false;
  TChannelsNumber FOutputChannels = cnMonoOrStereo;
  TWMReaderState FReader;
  int32_t FDuration = 0;  // hundredths of a second
  std::atomic<int64_t> FHeaderBytes{-1};  // the run's bytes by the header's length
};

class TWMAOut : public TAuTaggedFileOut {
public:
  explicit TWMAOut(TComponent* AOwner);

  uint32_t DesiredBitrate() const { return FDesiredBitrate; }
  void SetDesiredBitrate(uint32_t V) { FDesiredBitrate = V; }
  bool VBR() const { return FVBR; }
  void SetVBR(bool V) { FVBR = V; }
  uint8_t VBRQuality() const { return FVBRQuality; }
  void SetVBRQuality(uint8_t V) { FVBRQuality = V; }
  bool Lossless() const { return FLossless; }
  void SetLossless(bool V) { FLossless = V; }
  int32_t CodecIndex() const { return FCodecIndex; }
  void SetCodecIndex(int32_t V) { FCodecIndex = V; }
  int32_t FormatIndex() const { return FFormatIndex; }
  void SetFormatIndex(int32_t V) { FFormatIndex = V; }
  std::string FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const override;

  // The audio codecs the writer offers.
  const TStringList& Codecs() const { return FCodecs; }
  // The formats of a codec (VBR ones when VBR or Lossless is set); empty for an
  // index past the codecs.
  const TStringList& GetFormats(uint16_t CodecIndex);

protected:
  void Prepare() override;
  bool WriteBlock(bool Abort) override;
  void Finish() override;

  bool FStreamed = false;
  uint32_t FPort = 0;
  uint32_t FMaxClients = 0;
  bool FLoopbackOnly = false;

private:
  void ClientConnected();
  void ClientDisconnected();
  virtual void PostClientEvent(bool Connected) { (void)Connected; }
  // In a handler: raises the failure being handled, or, when the file under the
  // writer failed, which file and why.
  [[noreturn]] void RaiseWriteFailure() const;

  uint32_t FDesiredBitrate = 0;
  bool FVBR = false;
  uint8_t FVBRQuality = 0;
  bool FLossless = false;
  int32_t FCodecIndex = -1;
  int32_t FFormatIndex = 0;
  TStringList FCodecs;
  TStringList FFormats;
  TWMWriterState FWriter;
  std::vector<uint8_t> FBuffer;
  bool FEndOfData = false;
};

class TWMStreamedOut : public TWMAOut {
public:
  explicit TWMStreamedOut(TComponent* AOwner);

  uint32_t Port() const { return FPort; }
  void SetPort(uint32_t V) { FPort = V; }
  // 0: the sink's default.
  uint32_t MaxClients() const { return FMaxClients; }
  void SetMaxClients(uint32_t V) { FMaxClients = V; }
  // Listen on 127.0.0.1 only instead of every interface.
  bool LoopbackOnly() const { return FLoopbackOnly; }
  void SetLoopbackOnly(bool V) { FLoopbackOnly = V; }

  // Run on the GUI thread, through the event dispatcher.
  TStreamedAudioEvent OnClientConnected;
  TStreamedAudioEvent OnClientDisconnected;

private:
  void PostClientEvent(bool Connected) override;
};
