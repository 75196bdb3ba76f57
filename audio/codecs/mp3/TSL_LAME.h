#pragma once
// MP3 output: encodes its input's PCM through the LAME encoder library of our own
// (liblame_enc.so, loaded by file name), then appends an ID3v1 block and, for VBR,
// has the library put the LAME tag into the first frame.

#include <cstdint>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "audio/core/TSL_CodecLib.h"
#include "platform/codecs/lame/LameEnc.h"

enum TMP3BitRate : uint8_t {
  mbrAuto, mbr32, mbr40, mbr48, mbr56, mbr64, mbr80, mbr96, mbr112, mbr128, mbr144, mbr160,
  mbr192, mbr224, mbr256, mbr320
};
enum TMP3Mode : uint8_t { mmStereo, mmJointStereo, mmDual, mmMono };
enum TMP3Quality : uint8_t {
  mp3ql0, mp3ql1, mp3ql2, mp3ql3, mp3ql4, mp3ql5, mp3ql6, mp3ql7, mp3ql8, mp3ql9
};

// kbit/s of a bit-rate ordinal (0 for mbrAuto; 128 for anything beyond the table).
uint32_t MP3BitRateKbps(uint8_t Ordinal);

// The encoder library, shared by all TMP3Out objects: loaded by the first one alive
// and unloaded when the last one goes. Tests may rename it while no TMP3Out exists.
TCodecLibrary& LameLibrary();

class TMP3Out : public TAuTaggedFileOut {
public:
  // Raises EAuException "<library> library could not be loaded." when the encoder
  // library is missing.
  explicit TMP3Out(TComponent* AOwner);
  ~TMP3Out() override;

  TMP3BitRate BitRate() const { return FBitRate; }
  void SetBitRate(TMP3BitRate V) { FBitRate = V; }
  TMP3Mode Mode() const { return FMode; }
  void SetMode(TMP3Mode V) { FMode = V; }
  bool CRC() const { return FCRC; }
  void SetCRC(bool V) { FCRC = V; }
  // Stored only: the encoder is never asked to set the copyright flag.
  bool Copyright() const { return FCopyright; }
  void SetCopyright(bool V) { FCopyright = V; }
  bool Original() const { return FOriginal; }
  void SetOriginal(bool V) { FOriginal = V; }
  bool EnableBitReservoir() const { return FEnableBitReservoir; }
  void SetEnableBitReservoir(bool V) { FEnableBitReservoir = V; }
  bool StrinctISO() const { return FStrinctISO; }
  void SetStrinctISO(bool V) { FStrinctISO = V; }
  TMP3Quality VBRQuality() const { return FVBRQuality; }
  void SetVBRQuality(TMP3Quality V) { FVBRQuality = V; }
  bool EnableVBR() const { return FEnableVBR; }
  void SetEnableVBR(bool V) { FEnableVBR = V; }
  // Mean rate of ABR; takes effect with EnableVBR.
  TMP3BitRate AverageBitrate() const { return FAverageBitrate; }
  void SetAverageBitrate(TMP3BitRate V) { FAverageBitrate = V; }
  TMP3BitRate MaximumBitrate() const { return FMaximumBitrate; }
  void SetMaximumBitrate(TMP3BitRate V) { FMaximumBitrate = V; }

  // The configuration record Prepare hands to the encoder for an input of this format.
  void FillConfig(BE_CONFIG& Config, int32_t SampleRate, int32_t Channels) const;
  // The ID3v1 block Finish appends for the present tag values.
  void BuildId3v1Block(uint8_t (&Block)[128]) const;

  std::string FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const override;

protected:
  void Prepare() override;
  bool WriteBlock(bool Abort) override;
  void Finish() override;

private:
  void WriteOut(const uint8_t* Data, uint32_t Count);

  TMP3BitRate FBitRate = mbr128;
  TMP3Mode FMode = mmStereo;
  bool FCRC = false;
  bool FCopyright = false;
  bool FOriginal = true;
  bool FEnableBitReservoir = false;
  bool FStrinctISO = false;
  TMP3Quality FVBRQuality = mp3ql0;
  bool FEnableVBR = false;
  TMP3BitRate FAverageBitrate = mbrAuto;
  TMP3BitRate FMaximumBitrate = mbrAuto;

  // Run state.
  bool FLibraryHeld = false;
  bool FStreamOpen = false;
  bool FWriteVBRHeader = false;
  std::string FRunFileName;  // the file being written, until it gets its name
  HBE_STREAM FHandle = 0;
  uint32_t FSamples = 0;     // 16-bit samples per chunk
  uint32_t FBufferSize = 0;  // most output bytes of one call
  int32_t FBytesPerSample = 2;
  uint32_t FBlockSize = 0;   // input bytes per chunk
  std::vector<uint8_t> FBlock;
  std::vector<int16_t> FPcm;
  std::vector<int32_t> FWide;  // samples of other widths before they become 16-bit
  std::vector<uint8_t> FOutput;
};
