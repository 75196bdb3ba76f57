#pragma once
// TTALib: the True Audio (TTA1) encoder and decoder that the engine loads at run time
// as libTTALib.so and binds by name.
//
// Every entry point is a C function, so that its exported name is plain. Each one
// stands for a member of one of the library's classes; the table TTALibEntryPoints
// pairs the label the engine reports when an entry point is missing
// ("TTADecoder::GetSampleRate") with the exported name ("TTALib_TTADecoder_GetSampleRate").
//
// Objects live in storage the caller owns: a TTADecoder, TTAEncoder or WaveFile
// variable is constructed in place by its ..._Construct entry point and torn down by
// ..._Destruct, exactly once each.
//
// Files are open file descriptors that stay the caller's: the library never closes
// them. They must be seekable.
//
// Failures are reported by throwing TTALib::TTAException (a std::runtime_error with
// an English message and a TTAError code) out of the entry points whose comment says
// so. Destructors and getters never throw.
//
// Samples are exchanged as interleaved 64-bit slots, one per sample and channel:
// - integer formats: the sample's value; the encoder takes the low (bits rounded up
//   to whole bytes) bits of a slot and sign-extends them, so an 8-bit sample may be
//   passed either signed or as its low byte;
// - the float format (TTA_FORMAT_FLOAT, 32 bits): an IEEE-754 single in the slot's
//   first four bytes in memory order; the decoder clears the other four.

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#define TTALIB_API extern "C" __attribute__((visibility("default")))

namespace TTALib {

enum TTAError : int32_t {
  TTA_NO_ERROR = 0,
  TTA_OPEN_ERROR = 1,       // the file cannot be opened or created
  TTA_FORMAT_ERROR = 2,     // not a TTA1 file, or a header that cannot be right
  TTA_FILE_ERROR = 3,       // damaged data: a CRC mismatch or a frame that does not decode
  TTA_READ_ERROR = 4,       // reading failed or the file ends early
  TTA_WRITE_ERROR = 5,      // writing or seeking failed
  TTA_MEMORY_ERROR = 6,     // not enough memory
  TTA_UNSUPPORTED = 7,      // a valid header this library does not handle (encrypted, too many channels)
  TTA_INVALID_ARGUMENT = 8, // a bad parameter from the caller
  TTA_CANCELLED = 9,        // a progress callback asked to stop
  TTA_TOO_LONG = 10,        // more samples than the header can count
};

// Stream formats of the TTA1 header.
inline constexpr int32_t TTA_FORMAT_PCM = 1;   // integer samples, 1 to 24 bits
inline constexpr int32_t TTA_FORMAT_FLOAT = 3; // 32-bit IEEE-754 floats

inline constexpr int32_t TTA_MAX_CHANNELS = 8;
// Up to 768 kHz, which bounds a frame's memory.
inline constexpr int32_t TTA_MAX_SAMPLE_RATE = 768000;

class __attribute__((visibility("default"))) TTAException : public std::runtime_error {
public:
  TTAException(TTAError Code, const std::string& Message, int SystemError = 0)
      : std::runtime_error(Message), FCode(Code), FSystemError(SystemError) {}
  TTAError Code() const noexcept { return FCode; }
  // The system's error number (errno) when the system refused a read or write; else 0.
  int SystemError() const noexcept { return FSystemError; }

private:
  TTAError FCode;
  int FSystemError;
};

// Caller-owned storage of the library's objects.
struct TTADecoder {
  void* FImpl = nullptr;
};
struct TTAEncoder {
  void* FImpl = nullptr;
};
struct WaveFile {
  void* FImpl = nullptr;
};

// Running figures of a decoder, an encoder or a whole-file conversion.
struct TTAStat {
  uint64_t Samples;     // sample frames (one sample of every channel) done so far
  uint64_t DataLength;  // sample frames in all, when known
  uint64_t InputBytes;  // PCM bytes in (encoder) or TTA bytes read (decoder)
  uint64_t OutputBytes; // TTA bytes written (encoder) or PCM bytes out (decoder)
  double Ratio;         // TTA bytes / PCM bytes
};

// Progress of Wav2TTA, TTA2Wav and TTATest, after every frame; false cancels.
using TTACallback = bool (*)(const TTAStat* Stat, void* UserData);

// One entry point: the label the engine reports and the exported name it binds.
struct TTALibEntry {
  const char* Label;
  const char* Symbol;
};

} // namespace TTALib

// ---- TTADecoder -------------------------------------------------------------------

// Reads the header (after a leading ID3v2 tag) and the seek table of the TTA file
// open on Handle. Throws TTAException.
TTALIB_API void TTALib_TTADecoder_Construct(TTALib::TTADecoder* Self, int32_t Handle);
TTALIB_API void TTALib_TTADecoder_Destruct(TTALib::TTADecoder* Self) noexcept;
// Decodes the next TTA frame into the decoder's own block and points Buffer at it:
// returns the sample frames decoded (Buffer holds that many times the channel count
// slots, valid until the next call), 0 at the end. Throws TTAException.
TTALIB_API int32_t TTALib_TTADecoder_GetBlock(TTALib::TTADecoder* Self, int64_t** Buffer);
TTALIB_API int32_t TTALib_TTADecoder_GetNumChannels(const TTALib::TTADecoder* Self) noexcept;
TTALIB_API int32_t TTALib_TTADecoder_GetBitsPerSample(const TTALib::TTADecoder* Self) noexcept;
TTALIB_API int32_t TTALib_TTADecoder_GetSampleRate(const TTALib::TTADecoder* Self) noexcept;
// Sample frames per channel in the whole file.
TTALIB_API int64_t TTALib_TTADecoder_GetDataLength(const TTALib::TTADecoder* Self) noexcept;
TTALIB_API int32_t TTALib_TTADecoder_GetFormat(const TTALib::TTADecoder* Self) noexcept;
TTALIB_API void TTALib_TTADecoder_GetStat(const TTALib::TTADecoder* Self, TTALib::TTAStat* Stat) noexcept;

// ---- TTAEncoder -------------------------------------------------------------------

// Prepares a TTA stream on Handle (created or emptied by the caller). The stream
// starts at offset 0; with CopyID3v2 an ID3v2 tag that the file already begins with
// is kept and the stream follows it. DataLength is an estimate in sample frames (0 or
// negative when unknown): the header and seek table are written from the real count
// when the encoder completes the file. Throws TTAException.
TTALIB_API void TTALib_TTAEncoder_Construct(TTALib::TTAEncoder* Self, int32_t Handle, bool CopyID3v2,
                                            int32_t Format, int32_t NumChannels, int32_t BitsPerSample,
                                            int32_t SampleRate, int64_t DataLength);
// Completes the file when Finish has not done it (failures are then silent) and frees
// the encoder. The file position is left at the end of the stream.
TTALIB_API void TTALib_TTAEncoder_Destruct(TTALib::TTAEncoder* Self) noexcept;
// Encodes Count slots (a whole number of sample frames). False when Count is not a
// multiple of the channel count or the encoder has already failed or finished;
// throws TTAException when writing fails.
TTALIB_API bool TTALib_TTAEncoder_CompressBlock(TTALib::TTAEncoder* Self, const int64_t* Samples,
                                                int32_t Count);
// Encodes the last, short frame and writes the header and seek table. Idempotent.
// Throws TTAException.
TTALIB_API void TTALib_TTAEncoder_Finish(TTALib::TTAEncoder* Self);
TTALIB_API void TTALib_TTAEncoder_GetStat(const TTALib::TTAEncoder* Self, TTALib::TTAStat* Stat) noexcept;

// ---- WaveFile: RIFF WAVE files with PCM or IEEE float data --------------------------

TTALIB_API void TTALib_WaveFile_Construct(TTALib::WaveFile* Self) noexcept;
TTALIB_API void TTALib_WaveFile_Destruct(TTALib::WaveFile* Self) noexcept;
// Opens an existing file for reading. Throws TTAException.
TTALIB_API void TTALib_WaveFile_Open(TTALib::WaveFile* Self, const char* FileName);
// Creates (truncates) a file for writing. Throws TTAException.
TTALIB_API void TTALib_WaveFile_Create(TTALib::WaveFile* Self, const char* FileName);
// Reads the RIFF header up to the start of the samples. Throws TTAException.
TTALIB_API void TTALib_WaveFile_ReadHeaders(TTALib::WaveFile* Self);
// Writes a header for the given stream; the sizes are fixed by Close. Throws TTAException.
TTALIB_API void TTALib_WaveFile_WriteHeaders(TTALib::WaveFile* Self, int32_t Format, int32_t NumChannels,
                                             int32_t BitsPerSample, int32_t SampleRate);
// Reads up to Frames sample frames into slots; returns the frames read, 0 at the end
// of the data. Throws TTAException.
TTALIB_API int32_t TTALib_WaveFile_Read(TTALib::WaveFile* Self, int64_t* Samples, int32_t Frames);
// Writes Frames sample frames from slots. Throws TTAException.
TTALIB_API void TTALib_WaveFile_Write(TTALib::WaveFile* Self, const int64_t* Samples, int32_t Frames);
// Fixes the sizes in a written header and closes the file. Throws TTAException.
TTALIB_API void TTALib_WaveFile_Close(TTALib::WaveFile* Self);
TTALIB_API int32_t TTALib_WaveFile_GetFormat(const TTALib::WaveFile* Self) noexcept;
TTALIB_API int32_t TTALib_WaveFile_GetNumChannels(const TTALib::WaveFile* Self) noexcept;
TTALIB_API int32_t TTALib_WaveFile_GetBitsPerSample(const TTALib::WaveFile* Self) noexcept;
TTALIB_API int32_t TTALib_WaveFile_GetSampleRate(const TTALib::WaveFile* Self) noexcept;
TTALIB_API int64_t TTALib_WaveFile_GetDataLength(const TTALib::WaveFile* Self) noexcept;

// ---- Whole files ------------------------------------------------------------------

// Copies a leading ID3v2 tag of InHandle to OutHandle's current position when Copy
// is set, and leaves InHandle just past the tag (at 0 when there is none). Returns the
// tag's size in bytes (0 when none), -1 when reading or writing failed.
TTALIB_API int64_t TTALib_CopyId3Header(int32_t InHandle, int32_t OutHandle, bool Copy) noexcept;
// The English text of an error code.
TTALIB_API const char* TTALib_GetErrStr(int32_t Error) noexcept;
// Encodes a WAV file into a TTA file; with CopyID3v2 a leading ID3v2 tag of the WAV
// file is copied to the start of the TTA file. Returns a TTAError. A failed run
// removes the unfinished output file.
TTALIB_API int32_t TTALib_Wav2TTA(const char* InFile, const char* OutFile, bool CopyID3v2,
                                  TTALib::TTACallback Callback, void* UserData) noexcept;
// Decodes a TTA file into a WAV file. Returns a TTAError; a failed run removes the
// unfinished output file.
TTALIB_API int32_t TTALib_TTA2Wav(const char* InFile, const char* OutFile, TTALib::TTACallback Callback,
                                  void* UserData) noexcept;
// Decodes a TTA file and checks every CRC without writing anything. Returns a TTAError.
TTALIB_API int32_t TTALib_TTATest(const char* InFile, TTALib::TTACallback Callback, void* UserData) noexcept;

namespace TTALib {

inline constexpr TTALibEntry TTALibEntryPoints[] = {
    {"TTADecoder::TTADecoder", "TTALib_TTADecoder_Construct"},
    {"TTADecoder::~TTADecoder", "TTALib_TTADecoder_Destruct"},
    {"TTADecoder_GetBlock", "TTALib_TTADecoder_GetBlock"},
    {"TTADecoder::GetNumChannels", "TTALib_TTADecoder_GetNumChannels"},
    {"TTADecoder::GetBitsPerSample", "TTALib_TTADecoder_GetBitsPerSample"},
    {"TTADecoder::GetSampleRate", "TTALib_TTADecoder_GetSampleRate"},
    {"TTADecoder::GetDataLength", "TTALib_TTADecoder_GetDataLength"},
    {"TTADecoder::GetFormat", "TTALib_TTADecoder_GetFormat"},
    {"TTADecoder::GetStat", "TTALib_TTADecoder_GetStat"},
    {"TTAEncoder::TTAEncoder", "TTALib_TTAEncoder_Construct"},
    {"TTAEncoder::~TTAEncoder", "TTALib_TTAEncoder_Destruct"},
    {"TTAEncoder_CompressBlock", "TTALib_TTAEncoder_CompressBlock"},
    {"TTAEncoder::Finish", "TTALib_TTAEncoder_Finish"},
    {"TTAEncoder::GetStat", "TTALib_TTAEncoder_GetStat"},
    {"WaveFile::WaveFile", "TTALib_WaveFile_Construct"},
    {"WaveFile::~WaveFile", "TTALib_WaveFile_Destruct"},
    {"WaveFile::Open", "TTALib_WaveFile_Open"},
    {"WaveFile::Create", "TTALib_WaveFile_Create"},
    {"WaveFile::ReadHeaders", "TTALib_WaveFile_ReadHeaders"},
    {"WaveFile::WriteHeaders", "TTALib_WaveFile_WriteHeaders"},
    {"WaveFile::Read", "TTALib_WaveFile_Read"},
    {"WaveFile::Write", "TTALib_WaveFile_Write"},
    {"WaveFile::Close", "TTALib_WaveFile_Close"},
    {"WaveFile::GetFormat", "TTALib_WaveFile_GetFormat"},
    {"WaveFile::GetNumChannels", "TTALib_WaveFile_GetNumChannels"},
    {"WaveFile::GetBitsPerSample", "TTALib_WaveFile_GetBitsPerSample"},
    {"WaveFile::GetSampleRate", "TTALib_WaveFile_GetSampleRate"},
    {"WaveFile::GetDataLength", "TTALib_WaveFile_GetDataLength"},
    {"CopyId3Header", "TTALib_CopyId3Header"},
    {"GetErrStr", "TTALib_GetErrStr"},
    {"TTA2Wav", "TTALib_TTA2Wav"},
    {"TTATest", "TTALib_TTATest"},
    {"Wav2TTA", "TTALib_Wav2TTA"},
};

// The exported name for a label, nullptr when the label is not one of the table's.
inline const char* TTALibSymbol(const char* Label) {
  for (const TTALibEntry& E : TTALibEntryPoints)
    if (std::strcmp(E.Label, Label) == 0) return E.Symbol;
  return nullptr;
}

// The label of an exported name, nullptr when the name is not one of the table's.
inline const char* TTALibLabel(const char* Symbol) {
  for (const TTALibEntry& E : TTALibEntryPoints)
    if (std::strcmp(E.Symbol, Symbol) == 0) return E.Label;
  return nullptr;
}

// Reading and writing the float format's slots.
inline float SlotToFloat(int64_t Slot) {
  float F;
  std::memcpy(&F, &Slot, sizeof F);
  return F;
}
inline int64_t FloatToSlot(float F) {
  int64_t Slot = 0;
  std::memcpy(&Slot, &F, sizeof F);
  return Slot;
}

} // namespace TTALib
