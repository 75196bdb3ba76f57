#pragma once
// Writes a version 3990 APE file from PCM handed over in pieces.
//
// Layout: descriptor and header, seek table (one 32-bit file offset per frame), the
// optional WAV header, the frames, the optional terminating data. The frames form one
// byte stream stored as little-endian 32-bit words whose first byte is the word's
// most significant one; a frame starts at any byte of that stream.
//
// The head is written last: until Finish succeeds the file starts with zeros, so an
// interrupted run never leaves something that reads as valid audio. A run that fails
// or is abandoned deletes its file.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/codecs/mac/APEEncoder.h"
#include "platform/codecs/mac/MACDll.h"

struct AVMD5;

namespace MAC {

// Frames of this many blocks, the last one shorter.
inline constexpr uint32_t BlocksPerFrame = 73728 * 4;

class TAPECompressor {
public:
  TAPECompressor();
  ~TAPECompressor();
  TAPECompressor(const TAPECompressor&) = delete;
  TAPECompressor& operator=(const TAPECompressor&) = delete;

  int32_t Start(const char* FileName, const MACDll::WAVEFORMATEX* Format, int32_t MaxAudioBytes, int32_t Level,
                const void* Header, int32_t HeaderBytes);
  uint8_t* LockBuffer(int32_t& BytesAvailable);
  int32_t UnlockBuffer(int32_t BytesAdded, bool Process);
  int32_t AddData(const uint8_t* Data, int32_t Bytes);
  int32_t BufferBytesAvailable() const;
  int32_t Finish(const uint8_t* Terminating, int32_t TerminatingBytes);
  // Closes and deletes an unfinished output.
  int32_t Kill();

private:
  enum TState : uint8_t { csIdle, csRunning, csFinished, csFailed };

  int32_t CodeBufferedFrame();
  int32_t AppendStream(const uint8_t* Bytes, size_t Count);
  int32_t WriteData(const void* Data, size_t Bytes);
  int32_t Complete(const uint8_t* Terminating, int32_t TerminatingBytes);
  // Moves Bytes bytes at From to To inside the file.
  int32_t MoveData(int64_t From, int64_t To, int64_t Bytes);
  int32_t Fail(int32_t Code);
  void Abandon();

  TState FState = csIdle;
  int32_t FFailCode = 0;  // why the run failed
  int FHandle = -1;
  std::string FFileName;
  int32_t FLevel = 0;
  int32_t FBits = 0;
  int32_t FChannels = 0;
  int32_t FSampleRate = 0;
  int32_t FBlockAlign = 0;
  std::unique_ptr<TFrameEncoder> FEncoder;
  std::vector<uint8_t> FBuffer;  // one frame of PCM
  size_t FBufferBytes = 0;
  std::vector<uint8_t> FWavHeader;
  uint32_t FReservedFrames = 0;        // seek table entries the file has room for
  std::vector<uint64_t> FFrameStarts;  // offsets of the frames in the byte stream
  uint32_t FFinalFrameBlocks = 0;
  uint64_t FStreamBytes = 0;           // bytes of the frame stream so far
  uint8_t FPending[4] = {};            // the stream's last, incomplete word
  size_t FPendingBytes = 0;
  std::vector<uint8_t> FFrame;
  std::vector<uint8_t> FWords;
  AVMD5* FMD5 = nullptr;
};

}  // namespace MAC
