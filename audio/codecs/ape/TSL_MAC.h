#pragma once
// Monkey's Audio (.ape) file output and input over libMACDll.so.
//
// The library reads and writes its files by name, so neither component works on a
// user-supplied stream. Tags travel in the components' APEv2 tag sets: the output
// writes them into the finished file, the input reads title, artist, album, year and
// comment through the library's ID3v1 record.

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/codecs/ape/MACDllWrapper.h"
#include "audio/core/TSL_Classes.h"

class TMACOut : public TAuTaggedFileOut {
public:
  explicit TMACOut(TComponent* AOwner);
  ~TMACOut() override;

  int32_t CompressionLevel() const { return FCompressionLevel; }
  // 1000, 2000, 3000, 4000 or 5000; any other value becomes 2000.
  void SetCompressionLevel(int32_t Value);
  // The PCM size the library is told to expect (-1: unknown).
  int32_t MaxAudioBytes() const { return FMaxAudioBytes; }
  void SetMaxAudioBytes(int32_t Value) { FMaxAudioBytes = Value; }
  // The library writes new files only.
  void SetFileMode(TFileOutputMode Value) override;
  std::string FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const override;

protected:
  void Prepare() override;
  bool WriteBlock(bool Abort) override;
  void Finish() override;

private:
  int32_t FCompressionLevel = 2000;
  int32_t FMaxAudioBytes = -1;
  std::unique_ptr<TAPECompress> FAPECompress;
  bool FStarted = false;  // the library accepted Start: there is a file to complete
  std::string FRunFileName;  // the file being written, until it gets its name
  std::vector<uint8_t> FBuffer;
  bool FEOF = false;
  MACDll::WAVEFORMATEX FWaveFormatEx{};
};

class TMACIn : public TAuTaggedFileIn {
public:
  explicit TMACIn(TComponent* AOwner);
  ~TMACIn() override;

protected:
  void DoOpenFile() override;
  void DoCloseFile() override;
  int32_t GetTotalTime() override;
  void BeginRead() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;
  bool SeekRaw(int64_t& SampleNum) override;

private:
  std::unique_ptr<TAPEDecompress> FAPEDecompress;
  // Decoded PCM; [FBufStart, FBufEnd) not delivered yet.
  std::vector<uint8_t> FBuffer;
  bool FEOF = false;
  int64_t FFramesDecoded = 0;  // from the start of the file
};
