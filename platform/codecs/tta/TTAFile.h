#pragma once
// TTA and WAV files on file descriptors: the objects behind the exported entry points.

#include "TTACodec.h"
#include "TTALib.h"

#include <string>
#include <vector>

namespace TTALib::Impl {

const char* ErrorText(int32_t Code) noexcept;
[[noreturn]] void Fail(TTAError Code, const std::string& Detail = {});
// A failure the system reported: errno's reason goes with the exception.
[[noreturn]] void FailErrno(TTAError Code, const std::string& Detail = {});

// Whole reads and writes at an offset, retrying short transfers. ReadAt returns the
// bytes read, fewer only at the end of the file; -1 on an error.
int64_t ReadAt(int Fd, void* Buf, size_t Size, int64_t Offset);
bool WriteAt(int Fd, const void* Buf, size_t Size, int64_t Offset);
int64_t FileSize(int Fd);

class Decoder {
public:
  explicit Decoder(int Fd);
  int32_t GetBlock(int64_t** Buffer);
  int32_t Channels() const { return FHeader.Channels; }
  int32_t Bits() const { return FHeader.Bits; }
  int32_t SampleRate() const { return static_cast<int32_t>(FHeader.SampleRate); }
  int64_t DataLength() const { return FHeader.DataLength; }
  int32_t Format() const { return FHeader.Format; }
  TTAStat Stat() const;

private:
  int FFd;
  int64_t FFileSize = 0;
  Codec::Header FHeader;
  uint32_t FFrameLen = 0;
  uint32_t FFrame = 0; // next frame to decode
  int64_t FPos = 0;    // its offset
  std::vector<uint32_t> FSizes;
  std::vector<uint8_t> FIn;
  std::vector<int32_t> FWork;
  std::vector<int64_t> FOut;
  Codec::FrameCoder FCoder;
  uint64_t FSamples = 0;
  uint64_t FBytesRead = 0;
};

class Encoder {
public:
  Encoder(int Fd, bool CopyID3v2, int32_t Format, int32_t Channels, int32_t Bits, int32_t SampleRate,
          int64_t DataLength);
  ~Encoder();
  bool CompressBlock(const int64_t* Samples, int32_t Count);
  void Finish();
  TTAStat Stat() const;

private:
  void EncodeFrame(uint32_t Frames);
  void MoveData(int64_t From, int64_t To, int64_t Length);

  int FFd;
  Codec::Header FHeader;
  uint32_t FByteSize;
  uint32_t FFrameLen;
  int64_t FStart = 0;     // offset of the TTA header
  uint32_t FReserved = 0; // seek table entries the frames were placed after
  int64_t FDataStart = 0; // offset of the first frame as written
  int64_t FWritePos = 0;  // offset of the next frame
  std::vector<uint32_t> FSizes;
  std::vector<int32_t> FFrameBuf;
  uint32_t FFill = 0;     // sample frames in FFrameBuf
  uint64_t FTotal = 0;    // sample frames taken in
  Codec::ByteBuffer FOut;
  Codec::FrameCoder FCoder;
  bool FFinished = false;
  bool FFailed = false;
};

class Wave {
public:
  ~Wave();
  void Open(const char* FileName);
  void Create(const char* FileName);
  void ReadHeaders();
  void WriteHeaders(int32_t Format, int32_t Channels, int32_t Bits, int32_t SampleRate);
  int32_t Read(int64_t* Samples, int32_t Frames);
  void Write(const int64_t* Samples, int32_t Frames);
  void Close();
  int Fd() const { return FFd; }
  int32_t Format() const { return FFormat; }
  int32_t Channels() const { return FChannels; }
  int32_t Bits() const { return FBits; }
  int32_t SampleRate() const { return FSampleRate; }
  int64_t DataLength() const { return FBlockAlign ? FDataBytes / FBlockAlign : 0; }

private:
  int FFd = -1;
  bool FWriting = false;
  int32_t FFormat = 0, FChannels = 0, FBits = 0, FSampleRate = 0, FBlockAlign = 0;
  int64_t FDataStart = 0;
  int64_t FDataBytes = 0; // of the data chunk (reading) or written so far
  int64_t FDone = 0;      // bytes of the data chunk read so far
  std::vector<uint8_t> FBuf;
};

} // namespace TTALib::Impl
