#pragma once
// Ogg Vorbis input and output over libogg, libvorbis, libvorbisenc and libvorbisfile,
// all loaded at run time. Comments travel in a TVorbisTags.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "audio/core/TSL_CodecLib.h"
#include "audio/core/TSL_Tags.h"

// The four libraries, loaded on first need and kept loaded.
extern TCodecLibrary OggLib;
extern TCodecLibrary VorbisLib;
extern TCodecLibrary VorbisEncLib;
extern TCodecLibrary VorbisFileLib;

// Loads and checks the libraries in the order ogg, vorbis, vorbisfile, vorbisenc, and
// that every entry point the components call is there.
void RequireVorbisLibraries();

enum TVorbisBitRate : uint8_t {
  brAutoSelect, bitrate24, bitrate32, bitrate45, bitrate48, bitrate56, bitrate64, bitrate80, bitrate96,
  bitrate112, bitrate128, bitrate144, bitrate160, bitrate192, bitrate224, bitrate256, bitrate320, bitrate499
};

// Bits per second of a bit rate (the ordinal taken modulo 128); -1 for brAutoSelect and
// anything not listed.
int32_t VorbisBitRateValue(int32_t Ordinal);

class TVorbisOut : public TAuFileOut {
public:
  explicit TVorbisOut(TComponent* AOwner);
  ~TVorbisOut() override;

  // VBR quality used while the nominal bit rate is brAutoSelect.
  float Compression() const { return FCompression; }
  void SetCompression(float Value) { FCompression = Value; }
  // The comments written into the comment header; the setter copies Value.
  TVorbisTags* Comments() const { return FComments.get(); }
  void SetComments(const TVorbisTags& Value) { FComments->Assign(Value); }
  TVorbisBitRate DesiredNominalBitrate() const { return FDesiredNominalBitrate; }
  void SetDesiredNominalBitrate(TVorbisBitRate Value);
  TVorbisBitRate DesiredMaximumBitrate() const { return FDesiredMaximumBitrate; }
  void SetDesiredMaximumBitrate(TVorbisBitRate Value);
  TVorbisBitRate MinimumBitrate() const { return FMinimumBitrate; }
  void SetMinimumBitrate(TVorbisBitRate Value);
  // foAppend adds a new Ogg stream at the end of an existing file.
  void SetFileMode(TFileOutputMode Value) override { FFileMode = Value; }
  int32_t Serial() const { return FSerial; }
  void SetSerial(int32_t Value) { FSerial = Value; }
  std::string FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const override;

protected:
  void Prepare() override;
  bool WriteBlock(bool Abort) override;
  void Finish() override;

private:
  struct TState;
  void WritePages(bool Flush);

  float FCompression = 0.2f;
  std::unique_ptr<TVorbisTags> FComments;
  TVorbisBitRate FDesiredNominalBitrate = brAutoSelect;
  TVorbisBitRate FDesiredMaximumBitrate = brAutoSelect;
  TVorbisBitRate FMinimumBitrate = brAutoSelect;
  int32_t FSerial = 0;

  std::unique_ptr<TState> FState;
  std::vector<uint8_t> FBuffer;
  std::vector<int32_t> FSamples;
  bool FEndOfStream = false;
  bool FEndWritten = false;
};

class TVorbisIn : public TAuFileIn {
public:
  explicit TVorbisIn(TComponent* AOwner);
  ~TVorbisIn() override;

  // The comments of the stream, read at open.
  TVorbisTags* Comments() const { return FComments.get(); }
  // The bit rates of the stream's header (0 or -1 where the stream gives none).
  int32_t MaxBitrate() const { return FMaxBitrate; }
  int32_t NominalBitrate() const { return FNominalBitrate; }
  int32_t MinBitrate() const { return FMinBitrate; }

protected:
  void DoOpenFile() override;
  void DoCloseFile() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;
  bool SeekRaw(int64_t& SampleNum) override;
  int32_t GetTotalTime() override;

private:
  struct TState;
  friend struct TVorbisCallbacks;
  bool EndsInsideAPage() const;

  std::unique_ptr<TVorbisTags> FComments;
  std::unique_ptr<TState> FState;
  std::vector<uint8_t> FBuf;
  bool FEndOfStream = false;
  int64_t FFramesDecoded = 0;  // from the start of the file
  int64_t FAnnouncedFrames = -1;  // the last page's position, believed or not; -1 unknown
  int64_t FHeldFrames = -1;       // the same, believed; -1 unknown
  bool FCutShort = false;         // the last page has no end mark: the file was cut short
  bool FEndKnown = false;         // FCutShort was told at open (a stream that can seek)
  int32_t FCurrentSection = -1;
  int32_t FMaxBitrate = 0;
  int32_t FNominalBitrate = 0;
  int32_t FMinBitrate = 0;
};
