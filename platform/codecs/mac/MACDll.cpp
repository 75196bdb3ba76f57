// The exported entry points: argument checks, error codes, and a firewall that keeps
// every exception inside the library.

#include "platform/codecs/mac/MACDll.h"

#include <cstring>
#include <new>
#include <string>

#include "platform/codecs/mac/APECompress.h"
#include "platform/codecs/mac/APEDecompress.h"
#include "platform/codecs/mac/APETags.h"

using namespace MACDll;

struct APECompressObject {
  MAC::TAPECompressor Compressor;
};

struct APEDecompressObject {
  MAC::TAPEDecompressor Decompressor;
};

namespace {

template <class F>
int32_t Guard(F&& Fn) {
  try {
    return Fn();
  } catch (const std::bad_alloc&) {
    return ERROR_INSUFFICIENT_MEMORY;
  } catch (...) {
    return ERROR_UNDEFINED;
  }
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string FromUTF16(const char16_t* S) {
  std::string r;
  auto put = [&](uint32_t c) {
    if (c < 0x80) {
      r += static_cast<char>(c);
    } else if (c < 0x800) {
      r += static_cast<char>(0xC0 | (c >> 6));
      r += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      r += static_cast<char>(0xE0 | (c >> 12));
      r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      r += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      r += static_cast<char>(0xF0 | (c >> 18));
      r += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      r += static_cast<char>(0x80 | (c & 0x3F));
    }
  };
  for (; *S; ++S) {
    const uint32_t c = *S;
    if (c >= 0xD800 && c < 0xDC00 && S[1] >= 0xDC00 && S[1] < 0xE000) {
      put(0x10000 + ((c - 0xD800) << 10) + (uint32_t{S[1]} - 0xDC00));
      ++S;
    } else if (c >= 0xD800 && c < 0xE000) {
      put(0xFFFD);
    } else {
      put(c);
    }
  }
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------
// Library facts and helpers

MACDLL_API int32_t GetVersionNumber() { return MAC_VERSION_NUMBER; }

MACDLL_API int32_t GetInterfaceCompatibility(int32_t Version, int32_t, void*) {
  // The interface has been the same since version 3.94.
  return Version >= 3940 && Version <= MAC_VERSION_NUMBER ? 0 : -1;
}

MACDLL_API void ProgressCallback(int32_t) {}

MACDLL_API int32_t FillWaveFormatEx(WAVEFORMATEX* WaveFormatEx, int32_t SampleRate, int32_t BitsPerSample,
                                    int32_t Channels) {
  if (!WaveFormatEx || SampleRate <= 0 || BitsPerSample <= 0 || BitsPerSample > 0xFFFF || BitsPerSample % 8 != 0 ||
      Channels <= 0 || Channels > 0xFFFF)
    return ERROR_INVALID_FUNCTION_PARAMETER;
  const uint32_t align = static_cast<uint32_t>(Channels) * static_cast<uint32_t>(BitsPerSample / 8);
  if (align > 0xFFFF) return ERROR_INVALID_FUNCTION_PARAMETER;
  WaveFormatEx->wFormatTag = 1;
  WaveFormatEx->nChannels = static_cast<uint16_t>(Channels);
  WaveFormatEx->nSamplesPerSec = static_cast<uint32_t>(SampleRate);
  WaveFormatEx->nBlockAlign = static_cast<uint16_t>(align);
  WaveFormatEx->nAvgBytesPerSec = align * static_cast<uint32_t>(SampleRate);
  WaveFormatEx->wBitsPerSample = static_cast<uint16_t>(BitsPerSample);
  WaveFormatEx->cbSize = 0;
  return ERROR_SUCCESS;
}

MACDLL_API int32_t FillWaveHeader(WAVE_HEADER* WAVHeader, int32_t AudioBytes, const WAVEFORMATEX* WaveFormatEx,
                                  int32_t TerminatingBytes) {
  if (!WAVHeader || !WaveFormatEx || AudioBytes < 0 || TerminatingBytes < 0) return ERROR_INVALID_FUNCTION_PARAMETER;
  std::memcpy(WAVHeader->cRIFFHeader, "RIFF", 4);
  WAVHeader->nRIFFBytes = static_cast<uint32_t>(AudioBytes) + 36 + static_cast<uint32_t>(TerminatingBytes);
  std::memcpy(WAVHeader->cDataTypeID, "WAVE", 4);
  std::memcpy(WAVHeader->cFormatHeader, "fmt ", 4);
  WAVHeader->nFormatBytes = 16;
  WAVHeader->nFormatTag = WaveFormatEx->wFormatTag;
  WAVHeader->nChannels = WaveFormatEx->nChannels;
  WAVHeader->nSamplesPerSec = WaveFormatEx->nSamplesPerSec;
  WAVHeader->nAvgBytesPerSec = WaveFormatEx->nAvgBytesPerSec;
  WAVHeader->nBlockAlign = WaveFormatEx->nBlockAlign;
  WAVHeader->nBitsPerSample = WaveFormatEx->wBitsPerSample;
  std::memcpy(WAVHeader->cDataHeader, "data", 4);
  WAVHeader->nDataBytes = static_cast<uint32_t>(AudioBytes);
  return ERROR_SUCCESS;
}

MACDLL_API int32_t CompressFile(const char*, const char*, int32_t, int32_t*, APE_PROGRESS_CALLBACK, int32_t*) {
  return ERROR_UNDEFINED;
}

MACDLL_API int32_t DecompressFile(const char*, const char*, int32_t*, APE_PROGRESS_CALLBACK, int32_t*) {
  return ERROR_UNDEFINED;
}

MACDLL_API int32_t ConvertFile(const char*, const char*, int32_t, int32_t*, APE_PROGRESS_CALLBACK, int32_t*) {
  return ERROR_UNDEFINED;
}

MACDLL_API int32_t ShowFileInfoDialog(const char*, void*) { return ERROR_UNDEFINED; }

MACDLL_API int32_t VerifyFile(const char* Filename, int32_t* PercentageDone, APE_PROGRESS_CALLBACK Callback,
                              int32_t* KillFlag, int32_t) {
  if (!Filename) return ERROR_INVALID_FUNCTION_PARAMETER;
  return Guard([&] {
    MAC::TAPEDecompressor d;
    int32_t r = d.Open(Filename);
    if (r != ERROR_SUCCESS) return r;
    const int64_t total = d.Info().TotalBlocks();
    const int32_t chunk = 1 << 16;
    std::string buf(static_cast<size_t>(chunk) * static_cast<size_t>(d.Info().BlockAlign()), '\0');
    int64_t done = 0;
    int32_t lastPercent = -1;
    for (;;) {
      if (KillFlag && *KillFlag) return ERROR_USER_STOPPED_PROCESSING;
      int32_t got = 0;
      r = d.GetData(reinterpret_cast<uint8_t*>(buf.data()), chunk, got);
      if (r != ERROR_SUCCESS) return r;
      done += got;
      const int32_t percent = total > 0 ? static_cast<int32_t>(done * 100 / total) : 100;
      if (percent != lastPercent) {
        lastPercent = percent;
        if (PercentageDone) *PercentageDone = percent;
        if (Callback) Callback(percent);
      }
      if (got < chunk) return ERROR_SUCCESS;
    }
  });
}

// ---------------------------------------------------------------------------
// Tags

MACDLL_API int32_t TagFileSimple(const char* Filename, const char* Artist, const char* Album, const char* Title,
                                 const char* Comment, const char* Genre, const char* Year, const char* Track,
                                 int32_t ClearFirst, int32_t UseOldID3) {
  if (UseOldID3) return ERROR_INVALID_FUNCTION_PARAMETER;
  const char* const fields[7] = {Artist, Album, Title, Comment, Genre, Year, Track};
  return Guard([&] { return MAC::TagFileSimple(Filename, fields, ClearFirst != 0); });
}

MACDLL_API int32_t RemoveTag(const char* Filename) {
  return Guard([&] { return MAC::RemoveTags(Filename); });
}

MACDLL_API int32_t GetID3Tag(const char* Filename, ID3_TAG* ID3Tag) {
  if (!ID3Tag) return ERROR_INVALID_FUNCTION_PARAMETER;
  return Guard([&] { return MAC::GetID3Tag(Filename, *ID3Tag); });
}

// ---------------------------------------------------------------------------
// Compression

MACDLL_API APE_COMPRESS_HANDLE c_APECompress_Create(int32_t* ErrorCode) {
  APE_COMPRESS_HANDLE h = new (std::nothrow) APECompressObject;
  if (ErrorCode) *ErrorCode = h ? ERROR_SUCCESS : ERROR_INSUFFICIENT_MEMORY;
  return h;
}

MACDLL_API void c_APECompress_Destroy(APE_COMPRESS_HANDLE Handle) { delete Handle; }

MACDLL_API int32_t c_APECompress_Start(APE_COMPRESS_HANDLE Handle, const char* OutputFilename,
                                       const WAVEFORMATEX* InputFormat, int32_t MaxAudioBytes,
                                       int32_t CompressionLevel, const void* HeaderData, int32_t HeaderBytes) {
  if (!Handle) return ERROR_INVALID_FUNCTION_PARAMETER;
  return Guard([&] {
    return Handle->Compressor.Start(OutputFilename, InputFormat, MaxAudioBytes, CompressionLevel, HeaderData,
                                    HeaderBytes);
  });
}

MACDLL_API int32_t c_APECompress_AddData(APE_COMPRESS_HANDLE Handle, uint8_t* Data, int32_t Bytes) {
  if (!Handle) return ERROR_INVALID_FUNCTION_PARAMETER;
  return Guard([&] { return Handle->Compressor.AddData(Data, Bytes); });
}

MACDLL_API int32_t c_APECompress_GetBufferBytesAvailable(APE_COMPRESS_HANDLE Handle) {
  return Handle ? Handle->Compressor.BufferBytesAvailable() : 0;
}

MACDLL_API uint8_t* c_APECompress_LockBuffer(APE_COMPRESS_HANDLE Handle, int32_t* BytesAvailable) {
  int32_t available = 0;
  uint8_t* p = Handle ? Handle->Compressor.LockBuffer(available) : nullptr;
  if (BytesAvailable) *BytesAvailable = available;
  return p;
}

MACDLL_API int32_t c_APECompress_UnlockBuffer(APE_COMPRESS_HANDLE Handle, int32_t BytesAdded, int32_t Process) {
  if (!Handle) return ERROR_INVALID_FUNCTION_PARAMETER;
  return Guard([&] { return Handle->Compressor.UnlockBuffer(BytesAdded, Process != 0); });
}

MACDLL_API int32_t c_APECompress_Finish(APE_COMPRESS_HANDLE Handle, uint8_t* TerminatingData, int32_t TerminatingBytes,
                                        int32_t) {
  if (!Handle) return ERROR_INVALID_FUNCTION_PARAMETER;
  return Guard([&] { return Handle->Compressor.Finish(TerminatingData, TerminatingBytes); });
}

MACDLL_API int32_t c_APECompress_Kill(APE_COMPRESS_HANDLE Handle) {
  if (!Handle) return ERROR_INVALID_FUNCTION_PARAMETER;
  return Guard([&] { return Handle->Compressor.Kill(); });
}

// ---------------------------------------------------------------------------
// Decompression

MACDLL_API APE_DECOMPRESS_HANDLE c_APEDecompress_Create(const char* Filename, int32_t* ErrorCode) {
  int32_t error = ERROR_SUCCESS;
  APE_DECOMPRESS_HANDLE h = nullptr;
  if (!Filename) {
    error = ERROR_INVALID_FUNCTION_PARAMETER;
  } else {
    error = Guard([&] {
      h = new APEDecompressObject;
      return h->Decompressor.Open(Filename);
    });
    if (error != ERROR_SUCCESS) {
      delete h;
      h = nullptr;
    }
  }
  if (ErrorCode) *ErrorCode = error;
  return h;
}

MACDLL_API APE_DECOMPRESS_HANDLE c_APEDecompress_CreateW(const char16_t* Filename, int32_t* ErrorCode) {
  if (!Filename) return c_APEDecompress_Create(nullptr, ErrorCode);
  std::string name;
  const int32_t error = Guard([&] {
    name = FromUTF16(Filename);
    return ERROR_SUCCESS;
  });
  if (error != ERROR_SUCCESS) {
    if (ErrorCode) *ErrorCode = error;
    return nullptr;
  }
  return c_APEDecompress_Create(name.c_str(), ErrorCode);
}

MACDLL_API void c_APEDecompress_Destroy(APE_DECOMPRESS_HANDLE Handle) { delete Handle; }

MACDLL_API int32_t c_APEDecompress_GetData(APE_DECOMPRESS_HANDLE Handle, char* Buffer, int32_t Blocks,
                                           int32_t* BlocksRetrieved) {
  int32_t got = 0;
  int32_t r = ERROR_INVALID_FUNCTION_PARAMETER;
  if (Handle) r = Guard([&] { return Handle->Decompressor.GetData(reinterpret_cast<uint8_t*>(Buffer), Blocks, got); });
  if (BlocksRetrieved) *BlocksRetrieved = got;
  return r;
}

MACDLL_API int32_t c_APEDecompress_Seek(APE_DECOMPRESS_HANDLE Handle, int64_t BlockOffset) {
  if (!Handle) return ERROR_INVALID_FUNCTION_PARAMETER;
  return Guard([&] { return Handle->Decompressor.Seek(BlockOffset); });
}

MACDLL_API intptr_t c_APEDecompress_GetInfo(APE_DECOMPRESS_HANDLE Handle, int32_t Field, intptr_t, intptr_t) {
  return Handle ? Handle->Decompressor.GetInfo(Field) : -1;
}
