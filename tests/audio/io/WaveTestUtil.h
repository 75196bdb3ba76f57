#pragma once
// Fixtures, tool runs and signal measures shared by the WAV tests.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/io/TSL_Wave.h"

namespace wavetest {

// A folder for this test process, removed when it ends.
const std::string& TempDir();
std::string TempPath(const std::string& Name);

// Runs a shell command and returns its output (stdout and stderr); the test fails when the
// command fails (also when the tool is missing).
std::string Shell(const std::string& Command);

std::vector<uint8_t> ReadFile(const std::string& Path);
void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes);

// ffmpeg's own decode of a file as raw little-endian samples in Format
// ("u8", "s16le", "s24le", "s32le").
std::vector<uint8_t> FfmpegDecode(const std::string& Path, const std::string& Format);

// What a TWaveIn reports for a file and everything it delivers.
struct TWaveRead {
  bool Valid = false;
  TWavType WavType = wtUnsupported;
  int32_t Bits = 0, Channels = 0, Rate = 0;
  int64_t Size = 0;
  std::vector<uint8_t> Data;
  std::string Error;  // the read failed with this message
};
TWaveRead ReadWave(const std::string& Path, uint32_t Request = 4096);
TWaveRead ReadWave(TStream& Stream, uint32_t Request = 4096);

// Runs Out on its worker thread until done; returns the run's error message.
std::string RunOutput(TAuOutput& Out);

// Writes Pcm (raw, in the given format) through a TWaveOut to Path; Setup may
// set the output's properties first. Returns the run's error message.
std::string WriteWave(const std::string& Path, const std::vector<uint8_t>& Pcm, int32_t Bits,
                      int32_t Channels, int32_t Rate,
                      const std::function<void(TWaveOut&)>& Setup = nullptr);

// Raw 16-bit samples.
std::vector<int16_t> AsInt16(const std::vector<uint8_t>& Bytes);
std::vector<uint8_t> AsBytes(const std::vector<int16_t>& Samples);

// A mix of two sines at 0.5 and 0.25 of full scale, interleaved 16-bit.
std::vector<int16_t> Sines(int64_t Frames, int32_t Channels, int32_t Rate);

// Signal to noise ratio of Test against Ref over their common length, in dB.
double Snr(const std::vector<int16_t>& Ref, const std::vector<int16_t>& Test);
// Pearson correlation over the common length.
double Correlation(const std::vector<int16_t>& A, const std::vector<int16_t>& B);

uint32_t Le32(const std::vector<uint8_t>& B, size_t Offset);
uint16_t Le16(const std::vector<uint8_t>& B, size_t Offset);
void SetLe32(std::vector<uint8_t>& B, size_t Offset, uint32_t V);
void SetLe16(std::vector<uint8_t>& B, size_t Offset, uint16_t V);
std::vector<uint8_t> FromHex(const std::string& Hex);

// Offset of the first chunk called Id after "WAVE" (of its identifier), or -1.
int64_t FindChunk(const std::vector<uint8_t>& Wav, const char* Id);

}  // namespace wavetest
