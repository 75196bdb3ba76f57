#include "platform/avifile/AviFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/ffmpeg/FFmpegLib.h"
#include "platform/rtl/ByteOrder.h"

namespace {

// The stream headers sit at the start of the file; more than this is not read.
constexpr size_t MaxHeaderBytes = 4u << 20;

std::atomic<int> InitCount{0};

struct TFormatCloser {
  void operator()(AVFormatContext* C) const { FF().avformat_close_input(&C); }
};
using TFormatPtr = std::unique_ptr<AVFormatContext, TFormatCloser>;

}  // namespace

class AviFileImpl {
public:
  std::string FileName;
  std::vector<TAviStreamHeader> Headers;
};

class AviStreamImpl {
public:
  AviStreamImpl() { FF(); }  // raises when FFmpeg cannot be loaded, so the destructor always finds it
  // Opens the demuxer for stream Ordinal and counts its chunks.
  HRESULT Open(const std::string& FileName, int Ordinal, const TAviStreamHeader& Header);
  HRESULT Read(int64_t Start, int64_t Samples, uint8_t* Buffer, int64_t BufferSize, int64_t& Bytes,
               int64_t& SamplesRead);

  TAviStreamHeader FHeader;
  int64_t FLength = 0;  // in stream samples
  // The stream's chunks stop being sound at FLength: one is cut short or missing.
  TAviDamage FDamage = adNone;

private:
  bool Demux();
  // The data of chunk piece K, read in order; false when the file no longer gives it.
  bool Piece(int64_t K, const uint8_t*& Data);
  bool CopyUnits(int64_t From, int64_t Bytes, uint8_t* Dst);

  std::string FFileName;
  int FIndex = -1;
  TFormatPtr FCtx;
  AVPacket* FPacket = nullptr;
  // The pieces the demuxer delivers (chunks, or parts of large chunks): their sizes
  // and, with a sample size, their start in bytes of the stream.
  std::vector<uint32_t> FSizes;
  std::vector<int64_t> FStarts;
  int64_t FNext = 0;     // next piece the demuxer gives
  int64_t FCurrent = -1;  // piece held in FPacket

public:
  ~AviStreamImpl() { FF().av_packet_free(&FPacket); }
};

void AviFileRelease::operator()(AviFileImpl* F) const noexcept { delete F; }
void AviStreamRelease::operator()(AviStreamImpl* S) const noexcept { delete S; }

void AVIFileInit() { ++InitCount; }
void AVIFileExit() {
  if (InitCount > 0) --InitCount;
}

namespace {

// Reads until Size bytes are in, the file ends or a read fails; the count read.
size_t ReadUpTo(int Fd, uint8_t* Data, size_t Size) {
  size_t got = 0;
  while (got < Size) {
    const ssize_t n = ::read(Fd, Data + got, Size - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

}  // namespace

HRESULT AVIFileOpen(PAVIFILE& File, const std::string& FileName, uint32_t) {
  File.reset();
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return AVIERR_FILEOPEN;
  // The form's start says how long its header list is; only that much is read (up to
  // MaxHeaderBytes), not a fixed amount whatever the file.
  constexpr size_t Start = 24;  // "RIFF" size "AVI " "LIST" size "hdrl"
  std::vector<uint8_t> head(Start);
  size_t got = ReadUpTo(fd, head.data(), Start);
  if (got == Start && GetLE32(head.data() + 12) == AviFourCC('L', 'I', 'S', 'T')) {
    head.resize(std::clamp<uint64_t>(20 + uint64_t{GetLE32(head.data() + 16)}, Start, MaxHeaderBytes));
    got += ReadUpTo(fd, head.data() + Start, head.size() - Start);
  }
  ::close(fd);
  PAVIFILE f(new AviFileImpl);
  f->FileName = FileName;
  if (!ParseAviHeader(head.data(), got, f->Headers)) return AVIERR_FILEOPEN;
  File = std::move(f);
  return AVIERR_OK;
}

HRESULT AVIFileGetStream(const PAVIFILE& File, PAVISTREAM& Stream, uint32_t FccType, int32_t Param) {
  Stream.reset();
  if (!File || Param < 0) return AVIERR_BADPARAM;
  int seen = 0;
  for (size_t i = 0; i < File->Headers.size(); ++i) {
    if (File->Headers[i].fccType != FccType) continue;
    if (seen++ < Param) continue;
    PAVISTREAM s(new AviStreamImpl);
    const HRESULT hr = s->Open(File->FileName, static_cast<int>(i), File->Headers[i]);
    if (hr != AVIERR_OK) return hr;
    Stream = std::move(s);
    return AVIERR_OK;
  }
  return AVIERR_NODATA;
}

HRESULT AVIStreamInfo(const PAVISTREAM& Stream, AVISTREAMINFO& Info) {
  if (!Stream) return AVIERR_BADPARAM;
  const TAviStreamHeader& h = Stream->FHeader;
  Info = AVISTREAMINFO();
  Info.fccType = h.fccType;
  Info.fccHandler = h.fccHandler;
  Info.dwFlags = h.dwFlags;
  Info.wPriority = h.wPriority;
  Info.wLanguage = h.wLanguage;
  Info.dwScale = h.dwScale;
  Info.dwRate = h.dwRate;
  Info.dwStart = h.dwStart;
  Info.dwLength = static_cast<uint32_t>(std::min<int64_t>(Stream->FLength, 0x7FFFFFFF));
  Info.dwInitialFrames = h.dwInitialFrames;
  Info.dwSuggestedBufferSize = h.dwSuggestedBufferSize;
  Info.dwQuality = h.dwQuality;
  Info.dwSampleSize = h.dwSampleSize;
  Info.szName.assign(h.Name.begin(), h.Name.end());
  return AVIERR_OK;
}

HRESULT AVIStreamReadFormat(const PAVISTREAM& Stream, int32_t, void* Format, int32_t& Size) {
  if (!Stream) return AVIERR_BADPARAM;
  const auto& f = Stream->FHeader.Format;
  if (!Format) {
    Size = static_cast<int32_t>(f.size());
    return AVIERR_OK;
  }
  if (Size < 0) return AVIERR_BADPARAM;
  const size_t n = std::min(f.size(), static_cast<size_t>(Size));
  std::memcpy(Format, f.data(), n);
  Size = static_cast<int32_t>(n);
  return AVIERR_OK;
}

int32_t AVIStreamStart(const PAVISTREAM& Stream) {
  return Stream ? static_cast<int32_t>(std::min<uint32_t>(Stream->FHeader.dwStart, 0x7FFFFFFF)) : 0;
}

TAviDamage AVIStreamDamage(const PAVISTREAM& Stream) { return Stream ? Stream->FDamage : adNone; }

int32_t AVIStreamLength(const PAVISTREAM& Stream) {
  return Stream ? static_cast<int32_t>(std::min<int64_t>(Stream->FLength, 0x7FFFFFFF)) : -1;
}

HRESULT AVIStreamRead(const PAVISTREAM& Stream, int32_t Start, int32_t Samples, void* Buffer, int32_t BufferSize,
                      int32_t* Bytes, int32_t* SamplesRead) {
  if (!Stream || Samples < 0 || (Buffer && BufferSize < 0)) return AVIERR_BADPARAM;
  int64_t bytes = 0, samples = 0;
  const HRESULT hr = Stream->Read(static_cast<int64_t>(Start) - AVIStreamStart(Stream), Samples,
                                  static_cast<uint8_t*>(Buffer), Buffer ? BufferSize : -1, bytes, samples);
  if (Bytes) *Bytes = static_cast<int32_t>(bytes);
  if (SamplesRead) *SamplesRead = static_cast<int32_t>(samples);
  return hr;
}

// ---------------------------------------------------------------------------

bool AviStreamImpl::Demux() {
  FCtx.reset();
  FNext = 0;
  FCurrent = -1;
  AVFormatContext* ctx = FF().avformat_alloc_context();
  if (!ctx) return false;
  // The chunks as stored: a parser would cut compressed audio into frames of its own,
  // passing over what it cannot make a frame of and losing the mark of a chunk cut
  // short; the decoder reads the bytes as they are.
  ctx->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
  if (FF().avformat_open_input(&ctx, FFileName.c_str(), FF().av_find_input_format("avi"), nullptr) < 0) return false;
  FCtx.reset(ctx);
  if (FIndex >= static_cast<int>(ctx->nb_streams)) return false;
  for (unsigned i = 0; i < ctx->nb_streams; ++i)
    ctx->streams[i]->discard = static_cast<int>(i) == FIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  return true;
}

HRESULT AviStreamImpl::Open(const std::string& FileName, int Ordinal, const TAviStreamHeader& Header) {
  FFileName = FileName;
  FIndex = Ordinal;
  FHeader = Header;
  FPacket = FF().av_packet_alloc();
  if (!FPacket) return AVIERR_MEMORY;
  if (!Demux()) return AVIERR_FILEOPEN;
  // Count what the file really holds, up to the first chunk that is cut short or
  // missing: with an index, every chunk is where the index puts it.
  AVStream* st = FCtx->streams[FIndex];
  const int indexed = FF().avformat_index_get_entries_count(st);
  int64_t bytes = 0;
  while (FDamage == adNone && FF().av_read_frame(FCtx.get(), FPacket) >= 0) {
    if (FPacket->stream_index == FIndex && FPacket->size > 0) {
      const int k = static_cast<int>(FSizes.size());
      const AVIndexEntry* e = k < indexed ? FF().avformat_index_get_entry(st, k) : nullptr;
      if (FPacket->flags & AV_PKT_FLAG_CORRUPT)
        FDamage = adCutShort;
      else if (e && FPacket->pos >= 0 && e->pos + 8 != FPacket->pos)
        FDamage = adMissingChunks;
      if (FDamage == adNone) {
        FSizes.push_back(static_cast<uint32_t>(FPacket->size));
        FStarts.push_back(bytes);
        bytes += FPacket->size;
      }
    }
    FF().av_packet_unref(FPacket);
  }
  if (FDamage == adNone && static_cast<int64_t>(FSizes.size()) < indexed) FDamage = adMissingChunks;
  // The damage that took a chunk's header may have begun in the data of the chunk
  // before it, whose header was spared.
  if (FDamage == adMissingChunks && !FSizes.empty()) {
    bytes -= FSizes.back();
    FSizes.pop_back();
    FStarts.pop_back();
  }
  FStarts.push_back(bytes);
  FLength = FHeader.dwSampleSize > 0 ? bytes / FHeader.dwSampleSize : static_cast<int64_t>(FSizes.size());
  FNext = static_cast<int64_t>(FSizes.size());  // the demuxer is at the end
  return AVIERR_OK;
}

bool AviStreamImpl::Piece(int64_t K, const uint8_t*& Data) {
  if (K == FCurrent) {
    Data = FPacket->data;
    return true;
  }
  if (K < FNext && !Demux()) return false;
  FF().av_packet_unref(FPacket);
  FCurrent = -1;
  while (FNext <= K) {
    if (FF().av_read_frame(FCtx.get(), FPacket) < 0) return false;
    if (FPacket->stream_index != FIndex || FPacket->size <= 0) {
      FF().av_packet_unref(FPacket);
      continue;
    }
    const int64_t k = FNext++;
    if (static_cast<uint32_t>(FPacket->size) != FSizes[k]) return false;  // the file changed
    if (k == K) break;
    FF().av_packet_unref(FPacket);
  }
  FCurrent = K;
  Data = FPacket->data;
  return true;
}

bool AviStreamImpl::CopyUnits(int64_t From, int64_t Bytes, uint8_t* Dst) {
  // Pieces by their start in bytes.
  int64_t k = static_cast<int64_t>(std::upper_bound(FStarts.begin(), FStarts.end(), From) - FStarts.begin()) - 1;
  while (Bytes > 0) {
    if (k < 0 || k >= static_cast<int64_t>(FSizes.size())) return false;
    const uint8_t* data = nullptr;
    if (!Piece(k, data)) return false;
    const int64_t offset = From - FStarts[k];
    const int64_t n = std::min<int64_t>(Bytes, FSizes[k] - offset);
    std::memcpy(Dst, data + offset, static_cast<size_t>(n));
    Dst += n;
    From += n;
    Bytes -= n;
    ++k;
  }
  return true;
}

HRESULT AviStreamImpl::Read(int64_t Start, int64_t Samples, uint8_t* Buffer, int64_t BufferSize, int64_t& Bytes,
                            int64_t& SamplesRead) {
  Bytes = SamplesRead = 0;
  if (Start < 0) return AVIERR_BADPARAM;
  if (Start >= FLength || Samples == 0) return AVIERR_OK;
  const int64_t ss = FHeader.dwSampleSize;
  if (ss > 0) {
    int64_t n = std::min(Samples, FLength - Start);
    if (Buffer) n = std::min(n, BufferSize / ss);
    if (Buffer && n == 0) {
      Bytes = ss;
      return AVIERR_BUFFERTOOSMALL;
    }
    Bytes = n * ss;
    SamplesRead = n;
    if (Buffer && !CopyUnits(Start * ss, Bytes, Buffer)) {
      Bytes = SamplesRead = 0;
      return AVIERR_FILEREAD;
    }
    return AVIERR_OK;
  }
  // One chunk per sample.
  int64_t k = Start;
  while (SamplesRead < Samples && k < FLength) {
    if (Buffer && Bytes + FSizes[k] > BufferSize) break;
    Bytes += FSizes[k];
    ++SamplesRead;
    ++k;
  }
  if (Buffer && SamplesRead == 0) {
    Bytes = FSizes[Start];
    return AVIERR_BUFFERTOOSMALL;
  }
  if (Buffer && !CopyUnits(FStarts[Start], Bytes, Buffer)) {
    Bytes = SamplesRead = 0;
    return AVIERR_FILEREAD;
  }
  return AVIERR_OK;
}
