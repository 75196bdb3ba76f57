#pragma once
// RIFF/WAVE files: TWaveIn reads PCM, IEEE float, extensible, IMA and Microsoft
// ADPCM with its own decoders and compressed payloads (MPEG audio, A-law,
// mu-law, GSM 6.10) through the compression layer; TWaveOut writes PCM,
// extensible PCM or IMA ADPCM, appends to a file of the same format and fixes
// the header sizes when it finishes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "audio/io/TSL_Adpcm.h"

enum TWavType : uint8_t {
  wtUnsupported,
  wtPCM,
  wtDVIADPCM,
  wtMSADPCM,
  wtACM,
  wtIEEEFloat,
  wtExtPCM,
  wtExtIEEEFloat
};

// What the RIFF scan learns from a WAV header. Offsets are stream positions.
struct TWavHeader {
  TWavType WavType = wtUnsupported;
  uint16_t FormatTag = 0;
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint16_t BlockAlign = 0;
  uint16_t BitsPerSample = 0;
  // ADPCM and compressed formats; 0 when the format chunk does not carry it.
  uint16_t SamplesPerBlock = 0;
  std::vector<TMsAdpcmCoef> Coefs;
  bool HasFact = false;
  uint32_t FactSamples = 0;
  int64_t FactOffset = -1;
  int64_t DataSizeOffset = -1;
  int64_t DataStart = -1;
  uint32_t DataSize = 0;
};

// Scans a RIFF/WAVE header from the stream's current position, looking no
// further than 8192 bytes. True when the format is one the reader knows and
// "data" was found; the stream is then left at the first payload byte. Chunk
// identifiers are compared ignoring ASCII case; odd-sized chunks are followed
// by their pad byte. Position counts from Base (the stream's position, or 0
// for a stream that cannot seek).
bool ScanWavHeader(TStream& Stream, int64_t Base, TWavHeader& Header);

class TWaveIn : public TAuFileIn {
public:
  explicit TWaveIn(TComponent* AOwner);
  ~TWaveIn() override;

  // Opens the file, then the detected type.
  TWavType WavType();

protected:
  void DoOpenFile() override;
  void DoCloseFile() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;
  bool SeekRaw(int64_t& SampleNum) override;

private:
  bool OpenPayload(const TWavHeader& H, int64_t Available);
  bool OpenThroughAcm(int64_t Base);
  void NoteCutPayload(const TWavHeader& H, int64_t Available);
  void Refill();
  void FillAdpcm();
  int32_t DecodeAdpcmBlock(const uint8_t* Block, int64_t Bytes, int16_t* Out, int32_t MaxFrames) const;
  int64_t ReadPayload(void* Buffer, int64_t Count);
  // Frames the first Bytes of the payload decode to.
  int64_t FramesIn(int64_t Bytes) const;
  [[noreturn]] void RaiseCutShort() const;

  std::vector<uint8_t> FBuffer;  // decode buffer; FBufStart/FBufEnd index it
  TWavType FWavType = wtUnsupported;
  // ADPCM
  uint16_t FBlockAlign = 0;
  uint16_t FSamplesPerBlock = 0;
  uint32_t FFactSamples = 0;
  std::vector<TMsAdpcmCoef> FCoefs;
  std::vector<uint8_t> FBlock;
  std::vector<uint8_t> FAhead;  // the block after FBlock, read to check its header
  int64_t FAheadBytes = 0;
  int64_t FDataStart = 0;
  // Payload bytes the header announces (cut to the file when it is short by less than
  // a frame, or when the size stands for "to the end of the file"), and those not
  // read yet.
  int64_t FDataSize = 0;
  int64_t FDataLeft = 0;
  // The data runs to the end of the file, whatever that is.
  bool FToEnd = false;
  // The payload ended before FDataSize: the file was cut short.
  bool FCutShort = false;
  // A compressed payload converted at open from a file that was cut short: the
  // frames its header announces.
  int64_t FAcmAnnounced = -1;
  // A compressed payload converted as far as damage in it: the message of the damage,
  // raised once the audio before it has been read.
  std::string FPayloadDamage;
  int32_t FSourceFrame = 0;  // bytes of one frame as stored
  bool FFloatIsSingle = false;
  // wtACM: the converted PCM WAV image; the file's own stream stays open beside it.
  std::unique_ptr<TMemoryStream> FAcmStream;
};

class TWaveOut : public TAuFileOut {
public:
  explicit TWaveOut(TComponent* AOwner);

  // The type asked for: wtPCM (default) or wtDVIADPCM; a run may write another
  // (extensible PCM for wide formats, the type of the file appended to) without
  // changing it.
  TWavType WavType() const { return FWavType; }
  void SetWavType(TWavType Value);
  // IMA ADPCM block align in bytes, a multiple of 4; 512 by default.
  uint16_t BlockSize() const { return FBlockSize; }
  void SetBlockSize(uint16_t Value);
  // Set: more than 2 channels or 16 bits still get the plain PCM header.
  bool CreateNonMsHeaders() const { return FCreateNonMsHeaders; }
  void SetCreateNonMsHeaders(bool Value) { FCreateNonMsHeaders = Value; }
  void SetFileMode(TFileOutputMode Value) override;
  std::string FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const override;

protected:
  void Prepare() override;
  bool WriteBlock(bool Abort) override;
  void Finish() override;

private:
  void DoPrepare();
  bool DoWriteBlock();
  void ScanAppendTarget();
  void WriteHeader();
  void PadToAnnounced();
  void WritePadByte();
  void PatchSizes();
  void CheckRoom(int64_t MoreBytes) const;

  bool FEndReached = false;
  TWavType FWavType = wtPCM;
  TImaChannelState FIma[2];
  // The file appended to.
  uint32_t FOldSampleRate = 0;
  uint16_t FOldChannels = 0;
  uint16_t FOldBits = 0;
  TWavType FOldWavType = wtUnsupported;
  int64_t FFactOffset = -1;
  int64_t FDataSizeOffset = -1;
  int64_t FDataStart = 0;
  uint16_t FBlockSize = 512;
  bool FCreateNonMsHeaders = false;

  // The run in progress.
  TWavType FRunType = wtPCM;
  bool FAppending = false;
  bool FHeaderWritten = false;
  bool FFailed = false;
  bool FFinalized = false;     // the sizes were completed when the input ended
  bool FCanSeek = true;        // the header can be rewritten at the end
  int64_t FHeaderStart = 0;    // stream position of "RIFF"
  int32_t FChannels = 0;
  int32_t FBits = 0;
  int32_t FRate = 0;
  int64_t FAnnounced = -1;     // the input's size at Prepare
  int64_t FDataBytes = 0;      // payload bytes in the file, old ones included
  int64_t FOldFrames = 0;      // IMA frames the appended file already held
  int64_t FFramesWritten = 0;  // IMA frames encoded by this run
  std::vector<int16_t> FSamples;
  std::vector<uint8_t> FBlock;
};
