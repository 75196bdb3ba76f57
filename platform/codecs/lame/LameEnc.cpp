// liblame_enc.so over Debian's libmp3lame. Handles are small numbers mapped to
// encoder states; the map is locked only while a handle is looked up, added or removed.

#include "platform/codecs/lame/LameEnc.h"

#include <lame/lame.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#define LAMEENC_API extern "C" __attribute__((visibility("default")))

namespace {

struct TStreamState {
  std::mutex Lock;  // one call at a time on a stream
  lame_global_flags* Flags = nullptr;
  int Channels = 2;
  uint32_t ChunkSamples = 0;  // 16-bit samples of all channels per chunk
  uint32_t BufferSize = 0;
  bool WriteTag = false;
  bool Ended = false;
  std::vector<uint8_t> TagFrame;  // the LAME tag, once the stream has ended

  ~TStreamState() {
    if (Flags) lame_close(Flags);
  }
};

std::mutex TableLock;
std::unordered_map<HBE_STREAM, std::shared_ptr<TStreamState>> Streams;
HBE_STREAM LastHandle = 0;

// The tag of the stream this thread closed last, for beWriteVBRHeader.
thread_local std::vector<uint8_t> ClosedTag;

std::shared_ptr<TStreamState> Find(HBE_STREAM H) {
  std::lock_guard<std::mutex> g(TableLock);
  auto it = Streams.find(H);
  return it == Streams.end() ? nullptr : it->second;
}

std::shared_ptr<TStreamState> Take(HBE_STREAM H) {
  std::lock_guard<std::mutex> g(TableLock);
  auto it = Streams.find(H);
  if (it == Streams.end()) return nullptr;
  auto s = it->second;
  Streams.erase(it);
  return s;
}

bool SetUp(lame_global_flags* F, const BE_CONFIG& C, int Channels) {
  const auto& L = C.format.LHV1;
  bool ok = lame_set_in_samplerate(F, static_cast<int>(L.dwSampleRate)) == 0 &&
            lame_set_num_channels(F, Channels) == 0;
  if (L.dwReSampleRate) ok = ok && lame_set_out_samplerate(F, static_cast<int>(L.dwReSampleRate)) == 0;
  // A single channel can only make a mono stream; two channels in mono mode are mixed.
  const MPEG_mode modes[] = {STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO};
  ok = ok && lame_set_mode(F, Channels == 1 ? MONO : modes[L.nMode]) == 0;
  if (L.bEnableVBR) {
    if (L.nVbrMethod == VBR_METHOD_ABR && L.dwVbrAbr_kbps > 0) {
      ok = ok && lame_set_VBR(F, vbr_abr) == 0 &&
           lame_set_VBR_mean_bitrate_kbps(F, static_cast<int>(L.dwVbrAbr_kbps)) == 0;
    } else {
      ok = ok && lame_set_VBR(F, vbr_default) == 0 && lame_set_VBR_q(F, L.nVBRQuality) == 0;
    }
    if (L.dwBitrate) ok = ok && lame_set_VBR_min_bitrate_kbps(F, static_cast<int>(L.dwBitrate)) == 0;
    if (L.dwMaxBitrate) ok = ok && lame_set_VBR_max_bitrate_kbps(F, static_cast<int>(L.dwMaxBitrate)) == 0;
  } else {
    ok = ok && lame_set_VBR(F, vbr_off) == 0;
    if (L.dwBitrate) ok = ok && lame_set_brate(F, static_cast<int>(L.dwBitrate)) == 0;
  }
  ok = ok && lame_set_emphasis(F, static_cast<int>(L.dwEmphasis)) == 0 &&
       lame_set_extension(F, L.bPrivate ? 1 : 0) == 0 &&
       lame_set_error_protection(F, L.bCRC ? 1 : 0) == 0 &&
       lame_set_copyright(F, L.bCopyright ? 1 : 0) == 0 &&
       lame_set_original(F, L.bOriginal ? 1 : 0) == 0 &&
       lame_set_bWriteVbrTag(F, L.bWriteVBRHeader ? 1 : 0) == 0 &&
       lame_set_disable_reservoir(F, L.bNoRes ? 1 : 0) == 0 &&
       lame_set_strict_ISO(F, L.bStrictIso ? MDB_STRICT_ISO : MDB_DEFAULT) == 0;
  if (L.nQuality) ok = ok && lame_set_quality(F, L.nQuality) == 0;
  return ok && lame_init_params(F) >= 0;
}

// The LAME tag of an ended stream (empty when the stream reserved no frame for it).
void MakeTag(TStreamState& S) {
  if (!S.WriteTag || !S.TagFrame.empty()) return;
  std::vector<uint8_t> buf(2880);  // the largest layer III frame
  const size_t n = lame_get_lametag_frame(S.Flags, buf.data(), buf.size());
  if (n > 0 && n <= buf.size()) {
    buf.resize(n);
    S.TagFrame = std::move(buf);
  }
}

bool PReadAll(int Fd, uint8_t* P, size_t N, off_t At) {
  while (N > 0) {
    const ssize_t r = pread(Fd, P, N, At);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    P += r;
    N -= static_cast<size_t>(r);
    At += r;
  }
  return true;
}

bool PWriteAll(int Fd, const uint8_t* P, size_t N, off_t At) {
  while (N > 0) {
    const ssize_t r = pwrite(Fd, P, N, At);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    P += r;
    N -= static_cast<size_t>(r);
    At += r;
  }
  return true;
}

// Puts Tag over the reserved first frame of the file. The frame must carry the same
// header as the tag (same MPEG version, layer, rate and size), so a file that did not
// come from the stream is not touched.
BE_ERR WriteTagInto(const char* FileName, const std::vector<uint8_t>& Tag) {
  if (!FileName || Tag.size() < 4) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const int fd = open(FileName, O_RDWR | O_CLOEXEC);
  if (fd < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  BE_ERR r = BE_ERR_INVALID_FORMAT;
  off_t at = 0;
  uint8_t h[10];
  if (PReadAll(fd, h, sizeof h, 0) && std::memcmp(h, "ID3", 3) == 0 && h[3] != 0xFF && h[4] != 0xFF &&
      (h[6] | h[7] | h[8] | h[9]) < 0x80) {
    at = 10 + ((off_t(h[6]) << 21) | (off_t(h[7]) << 14) | (off_t(h[8]) << 7) | off_t(h[9]));
    if (h[5] & 0x10) at += 10;  // footer
  }
  const off_t size = lseek(fd, 0, SEEK_END);
  uint8_t frame[4];
  if (size >= at + static_cast<off_t>(Tag.size()) && PReadAll(fd, frame, 4, at) && frame[0] == Tag[0] &&
      frame[1] == Tag[1] && (frame[2] & 0xFC) == (Tag[2] & 0xFC)) {
    r = PWriteAll(fd, Tag.data(), Tag.size(), at) ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT_PARAMETERS;
  }
  if (close(fd) != 0 && r == BE_ERR_SUCCESSFUL) r = BE_ERR_INVALID_FORMAT_PARAMETERS;
  return r;
}

}  // namespace

LAMEENC_API BE_ERR beInitStream(PBE_CONFIG pbeConfig, uint32_t* dwSamples, uint32_t* dwBufferSize,
                                HBE_STREAM* phbeStream) {
  if (!pbeConfig || !dwSamples || !dwBufferSize || !phbeStream) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const BE_CONFIG& C = *pbeConfig;
  if (C.dwConfig != BE_CONFIG_LAME) return BE_ERR_INVALID_FORMAT;
  const auto& L = C.format.LHV1;
  if (L.dwStructVersion != CURRENT_STRUCT_VERSION || L.dwStructSize != CURRENT_STRUCT_SIZE ||
      L.dwSampleRate == 0 || L.nMode < BE_MP3_MODE_STEREO || L.nMode > BE_MP3_MODE_MONO || L.nPreset != 0 ||
      L.dwEmphasis > 3 || L.nQuality > 9 || L.nVBRQuality < 0 || L.nVBRQuality > 9)
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const int channels = L.dwChannels ? static_cast<int>(L.dwChannels) : (L.nMode == BE_MP3_MODE_MONO ? 1 : 2);
  if (channels < 1 || channels > 2) return BE_ERR_INVALID_FORMAT_PARAMETERS;

  auto s = std::make_shared<TStreamState>();
  s->Flags = lame_init();
  if (!s->Flags) return BE_ERR_NO_MORE_HANDLES;
  if (!SetUp(s->Flags, C, channels)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  s->Channels = channels;
  s->WriteTag = L.bWriteVBRHeader != 0;
  const uint32_t frames = static_cast<uint32_t>(lame_get_framesize(s->Flags));
  s->ChunkSamples = frames * static_cast<uint32_t>(channels);
  // LAME's own bound for one call of n sample frames: 1.25 n + 7200.
  s->BufferSize = frames + frames / 4 + 7200;

  std::lock_guard<std::mutex> g(TableLock);
  HBE_STREAM h = LastHandle;
  do {
    ++h;
  } while (h == 0 || Streams.count(h));
  LastHandle = h;
  Streams.emplace(h, s);
  *dwSamples = s->ChunkSamples;
  *dwBufferSize = s->BufferSize;
  *phbeStream = h;
  return BE_ERR_SUCCESSFUL;
}

LAMEENC_API BE_ERR beEncodeChunk(HBE_STREAM hbeStream, uint32_t nSamples, int16_t* pSamples, uint8_t* pOutput,
                                 uint32_t* pdwOutput) {
  if (pdwOutput) *pdwOutput = 0;
  auto s = Find(hbeStream);
  if (!s) return BE_ERR_INVALID_HANDLE;
  if (!pdwOutput || !pOutput || (nSamples > 0 && !pSamples)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (nSamples > s->ChunkSamples) return BE_ERR_BUFFER_TOO_SMALL;
  std::lock_guard<std::mutex> g(s->Lock);
  if (s->Ended) return BE_ERR_INVALID_HANDLE;
  const int frames = static_cast<int>(nSamples / static_cast<uint32_t>(s->Channels));
  const int n = s->Channels == 2
                    ? lame_encode_buffer_interleaved(s->Flags, pSamples, frames, pOutput, static_cast<int>(s->BufferSize))
                    : lame_encode_buffer(s->Flags, pSamples, pSamples, frames, pOutput, static_cast<int>(s->BufferSize));
  if (n < 0) return n == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
  *pdwOutput = static_cast<uint32_t>(n);
  return BE_ERR_SUCCESSFUL;
}

namespace {

BE_ERR Flush(HBE_STREAM hbeStream, uint8_t* pOutput, uint32_t* pdwOutput, bool NoGap) {
  if (pdwOutput) *pdwOutput = 0;
  auto s = Find(hbeStream);
  if (!s) return BE_ERR_INVALID_HANDLE;
  if (!pdwOutput || !pOutput) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  std::lock_guard<std::mutex> g(s->Lock);
  if (s->Ended) return BE_ERR_SUCCESSFUL;  // nothing is left
  const int size = static_cast<int>(s->BufferSize);
  const int n = NoGap ? lame_encode_flush_nogap(s->Flags, pOutput, size) : lame_encode_flush(s->Flags, pOutput, size);
  if (n < 0) return n == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
  *pdwOutput = static_cast<uint32_t>(n);
  if (!NoGap) {
    s->Ended = true;
    MakeTag(*s);
  }
  return BE_ERR_SUCCESSFUL;
}

}  // namespace

LAMEENC_API BE_ERR beDeinitStream(HBE_STREAM hbeStream, uint8_t* pOutput, uint32_t* pdwOutput) {
  return Flush(hbeStream, pOutput, pdwOutput, false);
}

LAMEENC_API BE_ERR beFlushNoGap(HBE_STREAM hbeStream, uint8_t* pOutput, uint32_t* pdwOutput) {
  return Flush(hbeStream, pOutput, pdwOutput, true);
}

LAMEENC_API BE_ERR beCloseStream(HBE_STREAM hbeStream) {
  auto s = Take(hbeStream);
  if (!s) return BE_ERR_INVALID_HANDLE;
  std::lock_guard<std::mutex> g(s->Lock);
  // Never leave an older stream's tag for a file this stream wrote.
  ClosedTag = std::move(s->TagFrame);
  return BE_ERR_SUCCESSFUL;
}

LAMEENC_API BE_ERR beWriteVBRHeader(const char* lpszFileName) {
  if (ClosedTag.empty()) return BE_ERR_INVALID_HANDLE;
  const BE_ERR r = WriteTagInto(lpszFileName, ClosedTag);
  if (r == BE_ERR_SUCCESSFUL) ClosedTag.clear();
  return r;
}

LAMEENC_API BE_ERR beWriteInfoTag(HBE_STREAM hbeStream, const char* lpszFileName) {
  auto s = Find(hbeStream);
  if (!s) return BE_ERR_INVALID_HANDLE;
  BE_ERR r;
  {
    std::lock_guard<std::mutex> g(s->Lock);
    r = s->TagFrame.empty() ? BE_ERR_INVALID_HANDLE : WriteTagInto(lpszFileName, s->TagFrame);
  }
  beCloseStream(hbeStream);
  ClosedTag.clear();  // written already
  return r;
}
