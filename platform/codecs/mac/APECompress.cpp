#include "platform/codecs/mac/APECompress.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/md5.h>
}

#include "platform/codecs/mac/APEHeader.h"

namespace MAC {

using namespace MACDll;

namespace {

constexpr int64_t HeadBytes = DescriptorBytes + HeaderBytes;
// The largest stored WAV header taken.
constexpr int32_t MaxWavHeaderBytes = 1 << 20;

bool WriteAt(int Handle, int64_t Offset, const void* Data, size_t Bytes) {
  const auto* p = static_cast<const uint8_t*>(Data);
  while (Bytes > 0) {
    const ssize_t n = pwrite(Handle, p, Bytes, static_cast<off_t>(Offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    Offset += n;
    Bytes -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadAtHandle(int Handle, int64_t Offset, void* Data, size_t Bytes) {
  auto* p = static_cast<uint8_t*>(Data);
  while (Bytes > 0) {
    const ssize_t n = pread(Handle, p, Bytes, static_cast<off_t>(Offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    Offset += n;
    Bytes -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

TAPECompressor::TAPECompressor() = default;

TAPECompressor::~TAPECompressor() {
  if (FState == csRunning || FState == csFailed) Abandon();
  if (FMD5) av_free(FMD5);
}

int32_t TAPECompressor::Fail(int32_t Code) {
  // The caller learns why a write failed from errno.
  const int err = errno;
  Abandon();
  errno = err;
  FState = csFailed;
  FFailCode = Code;
  return Code;
}

void TAPECompressor::Abandon() {
  if (FHandle >= 0) {
    close(FHandle);
    FHandle = -1;
    unlink(FFileName.c_str());
  }
  FEncoder.reset();
  FBuffer = std::vector<uint8_t>();
}

int32_t TAPECompressor::Start(const char* FileName, const WAVEFORMATEX* Format, int32_t MaxAudioBytes, int32_t Level,
                              const void* Header, int32_t HeaderBytes) {
  if (FState != csIdle) return ERROR_INVALID_FUNCTION_PARAMETER;
  if (!FileName || !*FileName || !Format) return ERROR_INVALID_FUNCTION_PARAMETER;
  if (Format->wFormatTag != 1) return ERROR_UNSUPPORTED_FILE_TYPE;
  const int32_t bits = Format->wBitsPerSample;
  const int32_t channels = Format->nChannels;
  if (bits != 8 && bits != 16 && bits != 24) return ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH;
  if (channels != 1 && channels != 2) return ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT;
  if (Format->nSamplesPerSec == 0 || Format->nSamplesPerSec > 0x7FFFFFFF)
    return ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE;
  if (Format->nBlockAlign != channels * bits / 8) return ERROR_INVALID_FUNCTION_PARAMETER;
  if (Level < COMPRESSION_LEVEL_FAST || Level > COMPRESSION_LEVEL_INSANE || Level % 1000 != 0)
    return ERROR_BAD_PARAMETER;
  if (HeaderBytes < 0 || HeaderBytes > MaxWavHeaderBytes || (HeaderBytes > 0 && !Header))
    return ERROR_INVALID_FUNCTION_PARAMETER;

  FLevel = Level;
  FBits = bits;
  FChannels = channels;
  FSampleRate = static_cast<int32_t>(Format->nSamplesPerSec);
  FBlockAlign = channels * bits / 8;
  const uint64_t frameBytes = uint64_t{BlocksPerFrame} * static_cast<uint64_t>(FBlockAlign);
  FReservedFrames = MaxAudioBytes > 0 ? static_cast<uint32_t>((static_cast<uint64_t>(MaxAudioBytes) + frameBytes - 1) / frameBytes) : 0;
  FWavHeader.assign(static_cast<const uint8_t*>(Header), static_cast<const uint8_t*>(Header) + (HeaderBytes > 0 ? HeaderBytes : 0));
  FFrameStarts.clear();
  FFinalFrameBlocks = 0;
  FStreamBytes = 0;
  FPendingBytes = 0;
  FBufferBytes = 0;

  try {
    FEncoder = std::make_unique<TFrameEncoder>(Level, bits, channels);
    FBuffer.resize(frameBytes);
  } catch (const std::bad_alloc&) {
    FEncoder.reset();
    return ERROR_INSUFFICIENT_MEMORY;
  }
  if (!FMD5) {
    FMD5 = av_md5_alloc();
    if (!FMD5) return ERROR_INSUFFICIENT_MEMORY;
  }
  av_md5_init(FMD5);

  FFileName = FileName;
  FHandle = open(FileName, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (FHandle < 0) {
    FEncoder.reset();
    return ERROR_INVALID_OUTPUT_FILE;
  }
  FState = csRunning;
  // Zeros where the head and seek table go; they are written when the file is complete.
  const std::vector<uint8_t> zeros(static_cast<size_t>(HeadBytes) + size_t{FReservedFrames} * 4, 0);
  if (!WriteAt(FHandle, 0, zeros.data(), zeros.size())) return Fail(ERROR_IO_WRITE);
  if (!FWavHeader.empty()) {
    if (!WriteAt(FHandle, static_cast<int64_t>(zeros.size()), FWavHeader.data(), FWavHeader.size()))
      return Fail(ERROR_IO_WRITE);
    av_md5_update(FMD5, FWavHeader.data(), FWavHeader.size());
  }
  if (lseek(FHandle, 0, SEEK_END) < 0) return Fail(ERROR_IO_WRITE);
  return ERROR_SUCCESS;
}

uint8_t* TAPECompressor::LockBuffer(int32_t& BytesAvailable) {
  if (FState != csRunning) {
    BytesAvailable = 0;
    return nullptr;
  }
  BytesAvailable = static_cast<int32_t>(FBuffer.size() - FBufferBytes);
  return FBuffer.data() + FBufferBytes;
}

int32_t TAPECompressor::BufferBytesAvailable() const {
  return FState == csRunning ? static_cast<int32_t>(FBuffer.size() - FBufferBytes) : 0;
}

int32_t TAPECompressor::UnlockBuffer(int32_t BytesAdded, bool Process) {
  if (FState != csRunning) return FState == csFailed ? FFailCode : ERROR_INVALID_FUNCTION_PARAMETER;
  if (BytesAdded < 0 || static_cast<size_t>(BytesAdded) > FBuffer.size() - FBufferBytes)
    return ERROR_INVALID_FUNCTION_PARAMETER;
  FBufferBytes += static_cast<size_t>(BytesAdded);
  if (Process && FBufferBytes == FBuffer.size()) return CodeBufferedFrame();
  return ERROR_SUCCESS;
}

int32_t TAPECompressor::AddData(const uint8_t* Data, int32_t Bytes) {
  if (FState != csRunning) return FState == csFailed ? FFailCode : ERROR_INVALID_FUNCTION_PARAMETER;
  if (Bytes < 0 || (Bytes > 0 && !Data)) return ERROR_INVALID_FUNCTION_PARAMETER;
  size_t left = static_cast<size_t>(Bytes);
  while (left > 0) {
    const size_t n = std::min(left, FBuffer.size() - FBufferBytes);
    std::memcpy(FBuffer.data() + FBufferBytes, Data, n);
    FBufferBytes += n;
    Data += n;
    left -= n;
    if (FBufferBytes == FBuffer.size()) {
      const int32_t r = CodeBufferedFrame();
      if (r != ERROR_SUCCESS) return r;
    }
  }
  return ERROR_SUCCESS;
}

int32_t TAPECompressor::CodeBufferedFrame() {
  const uint32_t blocks = static_cast<uint32_t>(FBufferBytes / static_cast<size_t>(FBlockAlign));
  FBufferBytes = 0;
  if (blocks == 0) return ERROR_SUCCESS;
  // Seek table entries are 32-bit file offsets.
  if (FStreamBytes > 0xFFFFFFFFu) return Fail(ERROR_INPUT_FILE_TOO_LARGE);
  FFrame.clear();
  try {
    FEncoder->EncodeFrame(FBuffer.data(), blocks, FFrame);
    FFrameStarts.push_back(FStreamBytes);
  } catch (const TEncodeError&) {
    return Fail(ERROR_UNDEFINED);
  } catch (const std::bad_alloc&) {
    return Fail(ERROR_INSUFFICIENT_MEMORY);
  }
  FFinalFrameBlocks = blocks;
  return AppendStream(FFrame.data(), FFrame.size());
}

int32_t TAPECompressor::AppendStream(const uint8_t* Bytes, size_t Count) {
  FStreamBytes += Count;
  FWords.clear();
  FWords.reserve(Count + 4);
  size_t i = 0;
  // Complete the pending word first, then whole words, byte-swapped into file order.
  while (i < Count) {
    FPending[FPendingBytes++] = Bytes[i++];
    if (FPendingBytes == 4) {
      FWords.insert(FWords.end(), {FPending[3], FPending[2], FPending[1], FPending[0]});
      FPendingBytes = 0;
    }
    if (FPendingBytes == 0) {
      for (; i + 4 <= Count; i += 4) FWords.insert(FWords.end(), {Bytes[i + 3], Bytes[i + 2], Bytes[i + 1], Bytes[i]});
    }
  }
  return WriteData(FWords.data(), FWords.size());
}

int32_t TAPECompressor::WriteData(const void* Data, size_t Bytes) {
  if (Bytes == 0) return ERROR_SUCCESS;
  const auto* p = static_cast<const uint8_t*>(Data);
  av_md5_update(FMD5, p, Bytes);
  size_t left = Bytes;
  while (left > 0) {
    const ssize_t n = write(FHandle, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(ERROR_IO_WRITE);
    p += n;
    left -= static_cast<size_t>(n);
  }
  return ERROR_SUCCESS;
}

int32_t TAPECompressor::MoveData(int64_t From, int64_t To, int64_t Bytes) {
  if (From == To || Bytes <= 0) return ERROR_SUCCESS;
  constexpr int64_t Chunk = 1 << 20;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min(Chunk, Bytes)));
  if (To < From) {
    for (int64_t done = 0; done < Bytes;) {
      const int64_t n = std::min(Chunk, Bytes - done);
      if (!ReadAtHandle(FHandle, From + done, buf.data(), static_cast<size_t>(n)) ||
          !WriteAt(FHandle, To + done, buf.data(), static_cast<size_t>(n)))
        return ERROR_IO_WRITE;
      done += n;
    }
  } else {
    // Growing: from the end backwards, so nothing is overwritten before it is read.
    for (int64_t left = Bytes; left > 0;) {
      const int64_t n = std::min(Chunk, left);
      left -= n;
      if (!ReadAtHandle(FHandle, From + left, buf.data(), static_cast<size_t>(n)) ||
          !WriteAt(FHandle, To + left, buf.data(), static_cast<size_t>(n)))
        return ERROR_IO_WRITE;
    }
  }
  return ERROR_SUCCESS;
}

int32_t TAPECompressor::Finish(const uint8_t* Terminating, int32_t TerminatingBytes) {
  if (FState == csFailed) {
    FState = csIdle;
    return FFailCode;
  }
  if (FState != csRunning) return ERROR_INVALID_FUNCTION_PARAMETER;
  if (TerminatingBytes < 0 || (TerminatingBytes > 0 && !Terminating)) return Fail(ERROR_INVALID_FUNCTION_PARAMETER);
  const int32_t r = Complete(Terminating, TerminatingBytes);
  if (r != ERROR_SUCCESS) {
    if (FState != csFailed) Fail(r);
    FState = csIdle;
    return r;
  }
  FState = csFinished;
  return ERROR_SUCCESS;
}

int32_t TAPECompressor::Complete(const uint8_t* Terminating, int32_t TerminatingBytes) {
  // A trailing part of a block cannot be coded; it is no audio anyway.
  int32_t r = CodeBufferedFrame();
  if (r != ERROR_SUCCESS) return r;
  // The last word of the stream, padded with zeros.
  if (FPendingBytes > 0) {
    const uint8_t pad[4] = {};
    const size_t n = 4 - FPendingBytes;
    const uint64_t bytes = FStreamBytes;
    r = AppendStream(pad, n);
    FStreamBytes = bytes;
    if (r != ERROR_SUCCESS) return r;
  }
  const uint64_t frameDataBytes = (FStreamBytes + 3) / 4 * 4;
  if (TerminatingBytes > 0) {
    r = WriteData(Terminating, static_cast<size_t>(TerminatingBytes));
    if (r != ERROR_SUCCESS) return r;
  }

  // The seek table gets exactly one entry per frame: move the data when the room
  // reserved at the start was not right.
  const uint32_t frames = static_cast<uint32_t>(FFrameStarts.size());
  const int64_t oldFirst = HeadBytes + int64_t{FReservedFrames} * 4 + static_cast<int64_t>(FWavHeader.size());
  const int64_t newFirst = HeadBytes + int64_t{frames} * 4 + static_cast<int64_t>(FWavHeader.size());
  const int64_t dataBytes = static_cast<int64_t>(frameDataBytes) + TerminatingBytes;
  if (frames > 0 && FFrameStarts.back() + static_cast<uint64_t>(newFirst) > 0xFFFFFFFFu)
    return ERROR_INPUT_FILE_TOO_LARGE;
  if (newFirst != oldFirst) {
    const int64_t tailFrom = HeadBytes + int64_t{FReservedFrames} * 4;
    const int64_t tailTo = HeadBytes + int64_t{frames} * 4;
    r = MoveData(tailFrom, tailTo, static_cast<int64_t>(FWavHeader.size()) + dataBytes);
    if (r != ERROR_SUCCESS) return r;
    if (newFirst < oldFirst && ftruncate(FHandle, static_cast<off_t>(newFirst + dataBytes)) != 0) return ERROR_IO_WRITE;
  }

  std::vector<uint8_t> table(size_t{frames} * 4);
  for (uint32_t i = 0; i < frames; ++i) {
    const uint32_t pos = static_cast<uint32_t>(FFrameStarts[i] + static_cast<uint64_t>(newFirst));
    for (int k = 0; k < 4; ++k) table[4 * size_t{i} + static_cast<size_t>(k)] = static_cast<uint8_t>(pos >> (8 * k));
  }

  TAPEHeadFields f{};
  f.CompressionLevel = static_cast<uint16_t>(FLevel);
  f.FormatFlags = FWavHeader.empty() ? FormatFlagCreateWavHeader : 0;
  f.BlocksPerFrame = BlocksPerFrame;
  f.FinalFrameBlocks = frames > 0 ? FFinalFrameBlocks : 0;
  f.TotalFrames = frames;
  f.BitsPerSample = static_cast<uint16_t>(FBits);
  f.Channels = static_cast<uint16_t>(FChannels);
  f.SampleRate = static_cast<uint32_t>(FSampleRate);
  f.SeekTableBytes = frames * 4;
  f.WavHeaderBytes = static_cast<uint32_t>(FWavHeader.size());
  f.FrameDataBytes = frameDataBytes;
  f.TerminatingBytes = static_cast<uint32_t>(TerminatingBytes);
  // The checksum covers the WAV header, the frame data, the terminating data and
  // last the header.
  uint8_t header[HeaderBytes];
  BuildAPEHeader(f, header);
  av_md5_update(FMD5, header, sizeof header);
  av_md5_final(FMD5, f.MD5);
  uint8_t head[HeadBytes];
  BuildAPEHead(f, head);

  if (!WriteAt(FHandle, HeadBytes, table.data(), table.size())) return ERROR_IO_WRITE;
  if (fsync(FHandle) != 0) return ERROR_IO_WRITE;
  // The head last: only now does the file read as an APE file.
  if (!WriteAt(FHandle, 0, head, sizeof head) || fsync(FHandle) != 0) return ERROR_IO_WRITE;
  const int h = FHandle;
  FHandle = -1;
  if (close(h) != 0) {
    unlink(FFileName.c_str());
    return ERROR_IO_WRITE;
  }
  FEncoder.reset();
  FBuffer = std::vector<uint8_t>();
  return ERROR_SUCCESS;
}

int32_t TAPECompressor::Kill() {
  if (FState == csRunning || FState == csFailed) Abandon();
  FState = csIdle;
  return ERROR_SUCCESS;
}

}  // namespace MAC
