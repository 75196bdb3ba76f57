#pragma once
// Reads and writes through the WAV components, synthetic signals and WAV chunks for the
// WAV tests.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/io/TSL_Wave.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

namespace wavetest {

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

// Writes Pcm (raw, in the given format) through a TWaveOut to Path; Setup may
// set the output's properties first. Returns the run's error message.
std::string WriteWave(const std::string& Path, const std::vector<uint8_t>& Pcm, int32_t Bits,
                      int32_t Channels, int32_t Rate,
                      const std::function<void(TWaveOut&)>& Setup = nullptr);

// A mix of two sines at 0.5 and 0.25 of full scale, interleaved 16-bit.
std::vector<int16_t> Sines(int64_t Frames, int32_t Channels, int32_t Rate);

// Signal to noise ratio of Test against Ref over their common length, in dB.
double Snr(const std::vector<int16_t>& Ref, const std::vector<int16_t>& Test);

void SetLe32(std::vector<uint8_t>& B, size_t Offset, uint32_t V);
void SetLe16(std::vector<uint8_t>& B, size_t Offset, uint16_t V);
std::vector<uint8_t> FromHex(const std::string& Hex);

// Offset of the first chunk called Id after "WAVE" (of its identifier), or -1.
int64_t FindChunk(const std::vector<uint8_t>& Wav, const char* Id);

}  // namespace wavetest
