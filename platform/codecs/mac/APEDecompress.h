#pragma once
// Reads an APE file through FFmpeg's demuxer and decoder and hands out WAV-layout PCM.
//
// The head is parsed and checked here first (counts, offsets, what can be decoded), so
// FFmpeg only sees files that make sense. Each APE frame is decoded whole, with its
// CRC checked, before any of its samples go out: a damaged frame gives an error, never
// wrong samples.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/codecs/mac/APEHeader.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVIOContext;
struct AVPacket;
struct AVFrame;

namespace MAC {

class TAPEDecompressor {
public:
  TAPEDecompressor() = default;
  ~TAPEDecompressor();
  TAPEDecompressor(const TAPEDecompressor&) = delete;
  TAPEDecompressor& operator=(const TAPEDecompressor&) = delete;

  int32_t Open(const std::string& FileName);
  // Up to Blocks blocks into Buffer; Retrieved < Blocks only at the end of the data.
  int32_t GetData(uint8_t* Buffer, int32_t Blocks, int32_t& Retrieved);
  int32_t Seek(int64_t Block);
  intptr_t GetInfo(int32_t Field) const;
  const TAPEFileInfo& Info() const { return FInfo; }

private:
  // Decodes the next APE frame into FPcm; sets FEnd at the end of the stream.
  int32_t DecodeFrame();
  int32_t DecodePackets();
  int32_t AppendFrame(const AVFrame* Frame);
  int32_t OpenFFmpeg();
  void Close();

  int FHandle = -1;
  int64_t FFileSize = 0;
  int64_t FIOPos = 0;
  TAPEFileInfo FInfo;
  AVIOContext* FIO = nullptr;
  AVFormatContext* FFormat = nullptr;
  AVCodecContext* FCodec = nullptr;
  AVPacket* FPacket = nullptr;
  AVFrame* FFrame = nullptr;
  int FStreamIndex = -1;

  std::vector<uint8_t> FPcm;  // decoded blocks not delivered yet
  size_t FPcmPos = 0;
  int64_t FDecodedBlock = 0;  // block number of the next block FFmpeg gives
  int64_t FCurrentBlock = 0;  // block number of the next block GetData delivers
  bool FEnd = false;
  bool FDraining = false;
  int32_t FError = 0;  // a decoding failure, returned until the next seek

  friend int ReadIO(void* Opaque, uint8_t* Buffer, int Size);
  friend int64_t SeekIO(void* Opaque, int64_t Offset, int Whence);
};

}  // namespace MAC
