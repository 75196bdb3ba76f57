#include "platform/codecs/mac/APEDecompress.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include "platform/codecs/mac/MACDll.h"

namespace MAC {

using namespace MACDll;

namespace {
constexpr int IOBufferBytes = 1 << 16;
}

int ReadIO(void* Opaque, uint8_t* Buffer, int Size) {
  auto* d = static_cast<TAPEDecompressor*>(Opaque);
  for (;;) {
    const ssize_t n = pread(d->FHandle, Buffer, static_cast<size_t>(Size), static_cast<off_t>(d->FIOPos));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return AVERROR(EIO);
    if (n == 0) return AVERROR_EOF;
    d->FIOPos += n;
    return static_cast<int>(n);
  }
}

int64_t SeekIO(void* Opaque, int64_t Offset, int Whence) {
  auto* d = static_cast<TAPEDecompressor*>(Opaque);
  int64_t pos;
  switch (Whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
      return d->FFileSize;
    case SEEK_SET:
      pos = Offset;
      break;
    case SEEK_CUR:
      pos = d->FIOPos + Offset;
      break;
    case SEEK_END:
      pos = d->FFileSize + Offset;
      break;
    default:
      return AVERROR(EINVAL);
  }
  if (pos < 0) return AVERROR(EINVAL);
  d->FIOPos = pos;
  return pos;
}

TAPEDecompressor::~TAPEDecompressor() { Close(); }

void TAPEDecompressor::Close() {
  av_frame_free(&FFrame);
  av_packet_free(&FPacket);
  avcodec_free_context(&FCodec);
  avformat_close_input(&FFormat);
  if (FIO) {
    av_freep(&FIO->buffer);
    avio_context_free(&FIO);
  }
  if (FHandle >= 0) close(FHandle);
  FHandle = -1;
}

int32_t TAPEDecompressor::Open(const std::string& FileName) {
  Close();
  FHandle = open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (FHandle < 0) return ERROR_INVALID_INPUT_FILE;
  struct stat st;
  if (fstat(FHandle, &st) != 0 || !S_ISREG(st.st_mode)) return ERROR_INVALID_INPUT_FILE;
  FFileSize = st.st_size;

  const int handle = FHandle;
  const TReadAt readAt = [handle](uint64_t Offset, void* Buffer, size_t Bytes) {
    auto* p = static_cast<uint8_t*>(Buffer);
    while (Bytes > 0) {
      const ssize_t n = pread(handle, p, Bytes, static_cast<off_t>(Offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      Offset += static_cast<uint64_t>(n);
      Bytes -= static_cast<size_t>(n);
    }
    return true;
  };
  int32_t r = ParseAPEHead(readAt, static_cast<uint64_t>(FFileSize), FInfo);
  if (r != ERROR_SUCCESS) return r;

  FPcm.clear();
  FPcmPos = 0;
  FDecodedBlock = 0;
  FCurrentBlock = 0;
  FDraining = false;
  FError = ERROR_SUCCESS;
  // A file without frames holds no audio; there is nothing to decode.
  FEnd = FInfo.TotalBlocks() == 0;
  if (FEnd) return ERROR_SUCCESS;
  r = OpenFFmpeg();
  if (r != ERROR_SUCCESS) Close();
  return r;
}

int32_t TAPEDecompressor::OpenFFmpeg() {
  auto* buffer = static_cast<uint8_t*>(av_malloc(IOBufferBytes));
  if (!buffer) return ERROR_INSUFFICIENT_MEMORY;
  FIOPos = 0;
  FIO = avio_alloc_context(buffer, IOBufferBytes, 0, this, ReadIO, nullptr, SeekIO);
  if (!FIO) {
    av_free(buffer);
    return ERROR_INSUFFICIENT_MEMORY;
  }
  FFormat = avformat_alloc_context();
  if (!FFormat) return ERROR_INSUFFICIENT_MEMORY;
  FFormat->pb = FIO;
  FFormat->flags |= AVFMT_FLAG_CUSTOM_IO;
  // The format is known: no probing, which could take the file for something else.
  if (avformat_open_input(&FFormat, nullptr, av_find_input_format("ape"), nullptr) < 0)
    return ERROR_INVALID_INPUT_FILE;  // FFormat is freed by the failure
  FStreamIndex = -1;
  for (unsigned i = 0; i < FFormat->nb_streams; ++i)
    if (FFormat->streams[i]->codecpar->codec_id == AV_CODEC_ID_APE) FStreamIndex = static_cast<int>(i);
  if (FStreamIndex < 0) return ERROR_INVALID_INPUT_FILE;
  const AVCodecParameters* par = FFormat->streams[FStreamIndex]->codecpar;
  if (par->sample_rate != FInfo.SampleRate || par->ch_layout.nb_channels != FInfo.Channels)
    return ERROR_INVALID_INPUT_FILE;

  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_APE);
  if (!codec) return ERROR_INITIALIZING_UNMAC;
  FCodec = avcodec_alloc_context3(codec);
  if (!FCodec) return ERROR_INSUFFICIENT_MEMORY;
  if (avcodec_parameters_to_context(FCodec, par) < 0) return ERROR_INITIALIZING_UNMAC;
  FCodec->err_recognition |= AV_EF_CRCCHECK;
  FCodec->thread_count = 1;
  if (avcodec_open2(FCodec, codec, nullptr) < 0) return ERROR_INVALID_INPUT_FILE;
  FPacket = av_packet_alloc();
  FFrame = av_frame_alloc();
  if (!FPacket || !FFrame) return ERROR_INSUFFICIENT_MEMORY;
  return ERROR_SUCCESS;
}

int32_t TAPEDecompressor::AppendFrame(const AVFrame* Frame) {
  const int channels = FInfo.Channels;
  const int bytes = FInfo.BitsPerSample / 8;
  const AVSampleFormat fmt = static_cast<AVSampleFormat>(Frame->format);
  const AVSampleFormat expected = bytes == 1 ? AV_SAMPLE_FMT_U8P : bytes == 2 ? AV_SAMPLE_FMT_S16P : AV_SAMPLE_FMT_S32P;
  if (fmt != expected || Frame->ch_layout.nb_channels != channels || Frame->nb_samples < 0)
    return ERROR_DECOMPRESSING_FRAME;

  // Only the blocks from the wanted position on (after a seek the frame starts
  // earlier), and never beyond the announced end.
  const int64_t buffered = static_cast<int64_t>((FPcm.size() - FPcmPos) / static_cast<size_t>(FInfo.BlockAlign()));
  const int64_t want = FCurrentBlock + buffered;
  int64_t first = FDecodedBlock;
  int64_t count = Frame->nb_samples;
  FDecodedBlock += count;
  const int64_t skip = std::max<int64_t>(want - first, 0);
  if (skip >= count) return ERROR_SUCCESS;
  first += skip;
  count = std::min(count - skip, FInfo.TotalBlocks() - first);
  if (count <= 0) return ERROR_SUCCESS;

  const size_t at = FPcm.size();
  FPcm.resize(at + static_cast<size_t>(count) * static_cast<size_t>(FInfo.BlockAlign()));
  uint8_t* out = FPcm.data() + at;
  for (int64_t i = skip; i < skip + count; ++i) {
    for (int c = 0; c < channels; ++c) {
      const uint8_t* plane = Frame->extended_data[c];
      switch (bytes) {
        case 1:
          *out++ = plane[i];
          break;
        case 2:
          std::memcpy(out, plane + 2 * i, 2);  // little-endian already
          out += 2;
          break;
        default: {
          int32_t v;
          std::memcpy(&v, plane + 4 * i, 4);
          const uint32_t u = static_cast<uint32_t>(v) >> 8;  // 24 bits at the top
          *out++ = static_cast<uint8_t>(u);
          *out++ = static_cast<uint8_t>(u >> 8);
          *out++ = static_cast<uint8_t>(u >> 16);
        }
      }
    }
  }
  return ERROR_SUCCESS;
}

int32_t TAPEDecompressor::DecodeFrame() {
  // What this frame adds is kept only when all of it decodes.
  if (FPcmPos > 0) {
    FPcm.erase(FPcm.begin(), FPcm.begin() + static_cast<std::ptrdiff_t>(FPcmPos));
    FPcmPos = 0;
  }
  const size_t mark = FPcm.size();
  const int32_t r = DecodePackets();
  if (r != ERROR_SUCCESS) FPcm.resize(mark);
  return r;
}

int32_t TAPEDecompressor::DecodePackets() {
  bool gotAny = false;
  for (;;) {
    const int r = avcodec_receive_frame(FCodec, FFrame);
    if (r == 0) {
      const int32_t a = AppendFrame(FFrame);
      av_frame_unref(FFrame);
      if (a != ERROR_SUCCESS) return a;
      gotAny = true;
      continue;
    }
    if (r == AVERROR_EOF) {
      FEnd = true;
      return ERROR_SUCCESS;
    }
    if (r != AVERROR(EAGAIN)) return ERROR_DECOMPRESSING_FRAME;
    // The decoder wants input: the previous packet (one APE frame) is complete.
    if (gotAny) return ERROR_SUCCESS;
    if (FDraining) return ERROR_DECOMPRESSING_FRAME;
    int rr;
    do {
      rr = av_read_frame(FFormat, FPacket);
      if (rr >= 0 && FPacket->stream_index != FStreamIndex) av_packet_unref(FPacket);
    } while (rr >= 0 && FPacket->stream_index != FStreamIndex);
    if (rr == AVERROR_EOF) {
      FDraining = true;
      if (avcodec_send_packet(FCodec, nullptr) < 0) return ERROR_DECOMPRESSING_FRAME;
      continue;
    }
    if (rr < 0) return ERROR_IO_READ;
    if (FPacket->pts != AV_NOPTS_VALUE) FDecodedBlock = FPacket->pts;
    const int s = avcodec_send_packet(FCodec, FPacket);
    av_packet_unref(FPacket);
    if (s < 0) return ERROR_DECOMPRESSING_FRAME;
  }
}

int32_t TAPEDecompressor::GetData(uint8_t* Buffer, int32_t Blocks, int32_t& Retrieved) {
  Retrieved = 0;
  if (Blocks < 0 || (Blocks > 0 && !Buffer)) return ERROR_INVALID_FUNCTION_PARAMETER;
  if (FError != ERROR_SUCCESS) return FError;
  const size_t align = static_cast<size_t>(FInfo.BlockAlign());
  while (Retrieved < Blocks) {
    const size_t ready = (FPcm.size() - FPcmPos) / align;
    if (ready > 0) {
      const size_t n = std::min(ready, static_cast<size_t>(Blocks - Retrieved));
      std::memcpy(Buffer + static_cast<size_t>(Retrieved) * align, FPcm.data() + FPcmPos, n * align);
      FPcmPos += n * align;
      Retrieved += static_cast<int32_t>(n);
      FCurrentBlock += static_cast<int64_t>(n);
      continue;
    }
    if (FEnd || FCurrentBlock >= FInfo.TotalBlocks()) break;
    int32_t r;
    try {
      r = DecodeFrame();
    } catch (const std::bad_alloc&) {
      r = ERROR_INSUFFICIENT_MEMORY;
    }
    if (r != ERROR_SUCCESS) {
      FError = r;
      return r;
    }
  }
  // The stream ended before the blocks the header announces: a cut-off file.
  if (Retrieved < Blocks && FCurrentBlock < FInfo.TotalBlocks()) return ERROR_IO_READ;
  return ERROR_SUCCESS;
}

int32_t TAPEDecompressor::Seek(int64_t Block) {
  const int64_t total = FInfo.TotalBlocks();
  Block = std::clamp<int64_t>(Block, 0, total);
  FPcm.clear();
  FPcmPos = 0;
  FCurrentBlock = Block;
  FError = ERROR_SUCCESS;
  if (Block >= total || !FFormat) {
    FEnd = true;
    return ERROR_SUCCESS;
  }
  const int64_t frameStart = Block / FInfo.BlocksPerFrame * FInfo.BlocksPerFrame;
  if (av_seek_frame(FFormat, FStreamIndex, frameStart, AVSEEK_FLAG_BACKWARD) < 0) return ERROR_IO_READ;
  avcodec_flush_buffers(FCodec);
  FDecodedBlock = frameStart;
  FEnd = false;
  FDraining = false;
  return ERROR_SUCCESS;
}

intptr_t TAPEDecompressor::GetInfo(int32_t Field) const {
  const int64_t total = FInfo.TotalBlocks();
  const int64_t rate = std::max(FInfo.SampleRate, 1);
  switch (Field) {
    case APE_INFO_FILE_VERSION: return FInfo.Version;
    case APE_INFO_COMPRESSION_LEVEL: return FInfo.CompressionLevel;
    case APE_INFO_FORMAT_FLAGS: return FInfo.FormatFlags;
    case APE_INFO_SAMPLE_RATE: return FInfo.SampleRate;
    case APE_INFO_BITS_PER_SAMPLE: return FInfo.BitsPerSample;
    case APE_INFO_BYTES_PER_SAMPLE: return FInfo.BitsPerSample / 8;
    case APE_INFO_CHANNELS: return FInfo.Channels;
    case APE_INFO_BLOCK_ALIGN: return FInfo.BlockAlign();
    case APE_INFO_BLOCKS_PER_FRAME: return FInfo.BlocksPerFrame;
    case APE_INFO_FINAL_FRAME_BLOCKS: return FInfo.FinalFrameBlocks;
    case APE_INFO_TOTAL_FRAMES: return FInfo.TotalFrames;
    case APE_INFO_WAV_DATA_BYTES:
    case APE_INFO_WAV_TOTAL_BYTES: return static_cast<intptr_t>(total * FInfo.BlockAlign());
    case APE_INFO_APE_TOTAL_BYTES: return static_cast<intptr_t>(FFileSize);
    case APE_INFO_TOTAL_BLOCKS:
    case APE_DECOMPRESS_TOTAL_BLOCKS: return static_cast<intptr_t>(total);
    case APE_INFO_LENGTH_MS:
    case APE_DECOMPRESS_LENGTH_MS: return static_cast<intptr_t>(total * 1000 / rate);
    case APE_DECOMPRESS_CURRENT_BLOCK: return static_cast<intptr_t>(FCurrentBlock);
    case APE_DECOMPRESS_CURRENT_MS: return static_cast<intptr_t>(FCurrentBlock * 1000 / rate);
    default: return -1;
  }
}

}  // namespace MAC
