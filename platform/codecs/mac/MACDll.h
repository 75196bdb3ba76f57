#pragma once
// MACDll: Monkey's Audio (.ape) compression, decompression and tag helpers, loaded by
// the engine at run time as libMACDll.so and bound by name.
//
// Every entry point is a C function with a plain exported name. Results are the
// library's error codes below (0: success); no entry point lets an exception out.
//
// - A result of ERROR_IO_WRITE leaves errno at the system's reason.
// - Compression writes version 3990 files with this library's own encoder (levels
//   1000 to 5000; 8, 16 or 24 bits; mono or stereo).
// - Decompression reads .ape files through FFmpeg's decoder and delivers WAV-layout
//   PCM: 8-bit unsigned, 16 and 24-bit signed little-endian, channels interleaved.
// - File names are 8-bit, handed to the system as they are (Linux names are bytes),
//   or UTF-16 (the "W" constructor, which opens the name's UTF-8 form).

#include <cstddef>
#include <cstdint>

#define MACDLL_API extern "C" __attribute__((visibility("default")))

namespace MACDll {

// Error codes.
inline constexpr int32_t ERROR_SUCCESS = 0;
inline constexpr int32_t ERROR_IO_READ = 1000;
inline constexpr int32_t ERROR_IO_WRITE = 1001;
inline constexpr int32_t ERROR_INVALID_INPUT_FILE = 1002;
inline constexpr int32_t ERROR_INVALID_OUTPUT_FILE = 1003;
inline constexpr int32_t ERROR_INPUT_FILE_TOO_LARGE = 1004;
inline constexpr int32_t ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH = 1005;
inline constexpr int32_t ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE = 1006;
inline constexpr int32_t ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT = 1007;
inline constexpr int32_t ERROR_INPUT_FILE_TOO_SMALL = 1008;
inline constexpr int32_t ERROR_INVALID_CHECKSUM = 1009;
inline constexpr int32_t ERROR_DECOMPRESSING_FRAME = 1010;
inline constexpr int32_t ERROR_INITIALIZING_UNMAC = 1011;
inline constexpr int32_t ERROR_INVALID_FUNCTION_PARAMETER = 1012;
inline constexpr int32_t ERROR_UNSUPPORTED_FILE_TYPE = 1013;
inline constexpr int32_t ERROR_INSUFFICIENT_MEMORY = 2000;
inline constexpr int32_t ERROR_USER_STOPPED_PROCESSING = 4000;
inline constexpr int32_t ERROR_BAD_PARAMETER = 5000;
// An operation this library does not offer (whole-file conversion, dialogs), or a
// frame that cannot be coded exactly.
inline constexpr int32_t ERROR_UNDEFINED = -1;

inline constexpr int32_t COMPRESSION_LEVEL_FAST = 1000;
inline constexpr int32_t COMPRESSION_LEVEL_NORMAL = 2000;
inline constexpr int32_t COMPRESSION_LEVEL_HIGH = 3000;
inline constexpr int32_t COMPRESSION_LEVEL_EXTRA_HIGH = 4000;
inline constexpr int32_t COMPRESSION_LEVEL_INSANE = 5000;

// The file version this library writes, and GetVersionNumber's answer.
inline constexpr int32_t MAC_VERSION_NUMBER = 3990;

// Fields of c_APEDecompress_GetInfo. Unlisted fields answer -1.
inline constexpr int32_t APE_INFO_FILE_VERSION = 1000;
inline constexpr int32_t APE_INFO_COMPRESSION_LEVEL = 1001;
inline constexpr int32_t APE_INFO_FORMAT_FLAGS = 1002;
inline constexpr int32_t APE_INFO_SAMPLE_RATE = 1003;
inline constexpr int32_t APE_INFO_BITS_PER_SAMPLE = 1004;
inline constexpr int32_t APE_INFO_BYTES_PER_SAMPLE = 1005;
inline constexpr int32_t APE_INFO_CHANNELS = 1006;
inline constexpr int32_t APE_INFO_BLOCK_ALIGN = 1007;
inline constexpr int32_t APE_INFO_BLOCKS_PER_FRAME = 1008;
inline constexpr int32_t APE_INFO_FINAL_FRAME_BLOCKS = 1009;
inline constexpr int32_t APE_INFO_TOTAL_FRAMES = 1010;
inline constexpr int32_t APE_INFO_WAV_DATA_BYTES = 1013;
// The PCM bytes of the whole file, without any WAV header (same as 1013).
inline constexpr int32_t APE_INFO_WAV_TOTAL_BYTES = 1014;
inline constexpr int32_t APE_INFO_APE_TOTAL_BYTES = 1015;
inline constexpr int32_t APE_INFO_TOTAL_BLOCKS = 1016;
inline constexpr int32_t APE_INFO_LENGTH_MS = 1017;
inline constexpr int32_t APE_DECOMPRESS_CURRENT_BLOCK = 2000;
inline constexpr int32_t APE_DECOMPRESS_CURRENT_MS = 2001;
inline constexpr int32_t APE_DECOMPRESS_TOTAL_BLOCKS = 2002;
inline constexpr int32_t APE_DECOMPRESS_LENGTH_MS = 2003;

#pragma pack(push, 2)
struct WAVEFORMATEX {
  uint16_t wFormatTag;  // 1: PCM
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
};

// The canonical 44-byte header of a PCM WAV file.
struct WAVE_HEADER {
  char cRIFFHeader[4];
  uint32_t nRIFFBytes;
  char cDataTypeID[4];
  char cFormatHeader[4];
  uint32_t nFormatBytes;
  uint16_t nFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t nBitsPerSample;
  char cDataHeader[4];
  uint32_t nDataBytes;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(WAVE_HEADER) == 44);

// The 128-byte ID3v1 record. GetID3Tag fills the text fields with UTF-8, cut at a
// character boundary and padded with zeros.
struct ID3_TAG {
  char Header[3];  // "TAG"
  char Title[30];
  char Artist[30];
  char Album[30];
  char Year[4];
  char Comment[29];  // 28 characters and a zero when Track is set (ID3v1.1)
  uint8_t Track;
  uint8_t Genre;  // 255: none
};
static_assert(sizeof(ID3_TAG) == 128);

}  // namespace MACDll

struct APECompressObject;
struct APEDecompressObject;
using APE_COMPRESS_HANDLE = APECompressObject*;
using APE_DECOMPRESS_HANDLE = APEDecompressObject*;
using APE_PROGRESS_CALLBACK = void (*)(int32_t PercentageDone);

// ---------------------------------------------------------------------------
// Library facts and helpers

MACDLL_API int32_t GetVersionNumber();
// 0 when a caller built for interface version Version can use this library, else -1.
MACDLL_API int32_t GetInterfaceCompatibility(int32_t Version, int32_t DisplayWarningsOnFailure,
                                             void* ParentWindow);
// A progress callback that ignores the progress, for callers that need one to pass.
MACDLL_API void ProgressCallback(int32_t PercentageDone);
MACDLL_API int32_t FillWaveFormatEx(MACDll::WAVEFORMATEX* WaveFormatEx, int32_t SampleRate,
                                    int32_t BitsPerSample, int32_t Channels);
MACDLL_API int32_t FillWaveHeader(MACDll::WAVE_HEADER* WAVHeader, int32_t AudioBytes,
                                  const MACDll::WAVEFORMATEX* WaveFormatEx, int32_t TerminatingBytes);

// Whole-file operations this library does not offer: they answer ERROR_UNDEFINED.
MACDLL_API int32_t CompressFile(const char* InputFilename, const char* OutputFilename, int32_t CompressionLevel,
                                int32_t* PercentageDone, APE_PROGRESS_CALLBACK Callback, int32_t* KillFlag);
MACDLL_API int32_t DecompressFile(const char* InputFilename, const char* OutputFilename, int32_t* PercentageDone,
                                  APE_PROGRESS_CALLBACK Callback, int32_t* KillFlag);
MACDLL_API int32_t ConvertFile(const char* InputFilename, const char* OutputFilename, int32_t CompressionLevel,
                               int32_t* PercentageDone, APE_PROGRESS_CALLBACK Callback, int32_t* KillFlag);
MACDLL_API int32_t ShowFileInfoDialog(const char* Filename, void* ParentWindow);
// Decodes the whole file, checking every frame's CRC: 0, or the error that stopped
// the decoding (ERROR_DECOMPRESSING_FRAME for a damaged frame).
MACDLL_API int32_t VerifyFile(const char* Filename, int32_t* PercentageDone, APE_PROGRESS_CALLBACK Callback,
                              int32_t* KillFlag, int32_t QuickVerifyIfPossible);

// ---------------------------------------------------------------------------
// Tags

// Writes an APEv2 tag (UTF-8 text items) at the end of the file, before an ID3v1
// block. ClearFirst drops every tag the file had (APEv2 and ID3v1) first; otherwise
// the items and ID3v1 block it has are kept. A value sets its item, an empty value
// removes it, a null one leaves it as it is; no items left means no APEv2 tag.
// UseOldID3 (an ID3v1 tag instead) is not offered: ERROR_INVALID_FUNCTION_PARAMETER.
MACDLL_API int32_t TagFileSimple(const char* Filename, const char* Artist, const char* Album, const char* Title,
                                 const char* Comment, const char* Genre, const char* Year, const char* Track,
                                 int32_t ClearFirst, int32_t UseOldID3);
// Removes the APEv2 and ID3v1 tags at the end of the file.
MACDLL_API int32_t RemoveTag(const char* Filename);
// Fills the ID3v1 record from the file's APEv2 tag, or from its ID3v1 tag when it has
// no APEv2 tag; ERROR_UNDEFINED when it has neither.
MACDLL_API int32_t GetID3Tag(const char* Filename, MACDll::ID3_TAG* ID3Tag);

// ---------------------------------------------------------------------------
// Compression: Start, then hand over PCM (AddData, or LockBuffer / copy /
// UnlockBuffer), then Finish. Frames are coded as soon as they are complete.

MACDLL_API APE_COMPRESS_HANDLE c_APECompress_Create(int32_t* ErrorCode);
// Frees the object; an output that was started and not finished is deleted.
MACDLL_API void c_APECompress_Destroy(APE_COMPRESS_HANDLE Handle);
// Creates the file. MaxAudioBytes is the expected PCM size (-1: unknown); more data
// than that is fine. Header/HeaderBytes: a WAV header to store (null/0: none; the
// decoder makes one then).
MACDLL_API int32_t c_APECompress_Start(APE_COMPRESS_HANDLE Handle, const char* OutputFilename,
                                       const MACDll::WAVEFORMATEX* InputFormat, int32_t MaxAudioBytes,
                                       int32_t CompressionLevel, const void* HeaderData, int32_t HeaderBytes);
MACDLL_API int32_t c_APECompress_AddData(APE_COMPRESS_HANDLE Handle, uint8_t* Data, int32_t Bytes);
MACDLL_API int32_t c_APECompress_GetBufferBytesAvailable(APE_COMPRESS_HANDLE Handle);
// Room in the library's input buffer; null when the compressor is not running.
MACDLL_API uint8_t* c_APECompress_LockBuffer(APE_COMPRESS_HANDLE Handle, int32_t* BytesAvailable);
MACDLL_API int32_t c_APECompress_UnlockBuffer(APE_COMPRESS_HANDLE Handle, int32_t BytesAdded, int32_t Process);
// Codes what is left, appends the terminating data and completes the header and seek
// table. WAVTerminatingBytes is accepted for compatibility and not used.
MACDLL_API int32_t c_APECompress_Finish(APE_COMPRESS_HANDLE Handle, uint8_t* TerminatingData,
                                        int32_t TerminatingBytes, int32_t WAVTerminatingBytes);
// Abandons the output: the file is closed and deleted.
MACDLL_API int32_t c_APECompress_Kill(APE_COMPRESS_HANDLE Handle);

// ---------------------------------------------------------------------------
// Decompression

MACDLL_API APE_DECOMPRESS_HANDLE c_APEDecompress_Create(const char* Filename, int32_t* ErrorCode);
MACDLL_API APE_DECOMPRESS_HANDLE c_APEDecompress_CreateW(const char16_t* Filename, int32_t* ErrorCode);
MACDLL_API void c_APEDecompress_Destroy(APE_DECOMPRESS_HANDLE Handle);
// Up to Blocks blocks of PCM into Buffer; fewer only at the end of the file.
MACDLL_API int32_t c_APEDecompress_GetData(APE_DECOMPRESS_HANDLE Handle, char* Buffer, int32_t Blocks,
                                           int32_t* BlocksRetrieved);
// The next GetData starts at block BlockOffset (clamped to the file's length).
MACDLL_API int32_t c_APEDecompress_Seek(APE_DECOMPRESS_HANDLE Handle, int64_t BlockOffset);
MACDLL_API intptr_t c_APEDecompress_GetInfo(APE_DECOMPRESS_HANDLE Handle, int32_t Field, intptr_t Param1,
                                            intptr_t Param2);
