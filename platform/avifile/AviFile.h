#pragma once
// The AVI file interface for audio: open a file, take a stream of a type, read its
// information and format, read it by stream samples. The stream headers are read by
// our own parser; the chunks are demuxed by libavformat.
//
// Stream samples: with a sample size above 0 a stream is a run of bytes cut into
// samples of that size (PCM frames, ADPCM blocks, single bytes); with sample size 0
// (variable bit rate) each chunk is one sample. Lengths are counted from the chunks
// really present, so they are exact even when a header says otherwise.
//
// A file and its streams are used by one thread at a time.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/avifile/AviHeader.h"
#include "platform/rtl/WinTypes.h"  // HRESULT

inline constexpr HRESULT AVIERR_OK = 0;
inline constexpr HRESULT AVIERR_UNSUPPORTED = 0x80044065;
inline constexpr HRESULT AVIERR_BADFORMAT = 0x80044066;
inline constexpr HRESULT AVIERR_MEMORY = 0x80044067;
inline constexpr HRESULT AVIERR_BADPARAM = 0x8004406A;
inline constexpr HRESULT AVIERR_FILEREAD = 0x8004406D;
inline constexpr HRESULT AVIERR_FILEOPEN = 0x8004406F;
inline constexpr HRESULT AVIERR_BUFFERTOOSMALL = 0x80044074;
inline constexpr HRESULT AVIERR_NODATA = 0x80044071;

inline constexpr uint32_t streamtypeAUDIO = AviFourCC('a', 'u', 'd', 's');
inline constexpr uint32_t streamtypeVIDEO = AviFourCC('v', 'i', 'd', 's');

inline constexpr uint32_t OF_READ = 0x0000;
inline constexpr uint32_t OF_SHARE_DENY_WRITE = 0x0020;

struct AVISTREAMINFO {
  uint32_t fccType = 0, fccHandler = 0, dwFlags = 0, dwCaps = 0;
  uint16_t wPriority = 0, wLanguage = 0;
  uint32_t dwScale = 0, dwRate = 0, dwStart = 0;
  uint32_t dwLength = 0;  // in stream samples, counted from the chunks
  uint32_t dwInitialFrames = 0, dwSuggestedBufferSize = 0, dwQuality = 0, dwSampleSize = 0;
  uint32_t dwEditCount = 0, dwFormatChangeCount = 0;
  std::u16string szName;
};

class AviFileImpl;
class AviStreamImpl;

struct AviFileRelease {
  void operator()(AviFileImpl* F) const noexcept;
};
struct AviStreamRelease {
  void operator()(AviStreamImpl* S) const noexcept;
};
using PAVIFILE = std::unique_ptr<AviFileImpl, AviFileRelease>;
// A stream keeps its file's data alive; it may outlive the PAVIFILE.
using PAVISTREAM = std::unique_ptr<AviStreamImpl, AviStreamRelease>;

// Counted: each AVIFileInit needs one AVIFileExit. Nothing else depends on them.
void AVIFileInit();
void AVIFileExit();

HRESULT AVIFileOpen(PAVIFILE& File, const std::string& FileName, uint32_t Mode);
// The Param-th stream (from 0) of type FccType; AVIERR_NODATA when there is none.
// Taking a stream loads FFmpeg's libraries: raises Exception naming the one that
// cannot be loaded (platform/ffmpeg/FFmpegLib.h).
HRESULT AVIFileGetStream(const PAVIFILE& File, PAVISTREAM& Stream, uint32_t FccType, int32_t Param);
HRESULT AVIStreamInfo(const PAVISTREAM& Stream, AVISTREAMINFO& Info);
// Format nullptr: Size receives the format's size. Otherwise Size is the room and
// receives the bytes copied (a smaller room gets the start of the format).
HRESULT AVIStreamReadFormat(const PAVISTREAM& Stream, int32_t Pos, void* Format, int32_t& Size);
int32_t AVIStreamStart(const PAVISTREAM& Stream);
int32_t AVIStreamLength(const PAVISTREAM& Stream);

// Whether a stream's chunks stop being sound at its length: the last one is cut short
// (a file cut off), or a chunk is missing where the file's index puts it (damaged
// chunk headers). The length counts the sound chunks before it only.
enum TAviDamage : uint8_t { adNone, adCutShort, adMissingChunks };
TAviDamage AVIStreamDamage(const PAVISTREAM& Stream);
// Reads up to Samples samples from Start (counted like AVIStreamStart) into Buffer.
// Buffer nullptr: only Bytes and SamplesRead are set. Fewer samples are read when
// BufferSize or the end of the stream leaves no room; a variable-size stream reads
// whole chunks only (AVIERR_BUFFERTOOSMALL when not even the first fits). Reading at
// or past the end reads nothing and succeeds.
HRESULT AVIStreamRead(const PAVISTREAM& Stream, int32_t Start, int32_t Samples, void* Buffer, int32_t BufferSize,
                      int32_t* Bytes, int32_t* SamplesRead);
