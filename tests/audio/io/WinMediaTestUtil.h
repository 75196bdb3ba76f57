#pragma once
// Fixtures, tool runs and reads shared by the Windows Media, MP3 and AVI tests.

#include <cstdint>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"

namespace wmtest {

// A folder for this test process, removed when it ends.
std::string TempPath(const std::string& Name);
// Runs a shell command and returns its standard output; the test fails when the
// command fails (also when the tool is missing).
std::string Shell(const std::string& Command);
std::vector<uint8_t> ReadFile(const std::string& Path);
void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes);

// A 16-bit source made by sox: a different sweep per channel.
std::string MakeSource(const std::string& Name, int Rate, int Channels, double Seconds, int Bits = 16);
// ffmpeg's decode of the first audio stream as raw samples in Format ("u8", "s16le",
// "s24le"); Extra goes before the output (such as "-ac 2").
std::vector<uint8_t> FfmpegDecode(const std::string& Path, const std::string& Format = "s16le",
                                  const std::string& Extra = "");
// One field of ffprobe's output, such as "stream=codec_name" or "format_tags=artist".
std::string Probe(const std::string& Path, const std::string& Entry);

// Everything an input delivers in one run (Init, reads of Request bytes, Flush).
struct TRead {
  bool Valid = false;
  int32_t Bits = 0, Channels = 0, Rate = 0;
  int64_t Size = 0;
  std::vector<uint8_t> Data;
  std::string Error;
};
TRead ReadAll(TAuFileIn& In, uint32_t Request = 8192);

// Runs Out on its worker until done (pumping the main thread); returns its error text.
std::string RunOutput(TAuOutput& Out, int TimeoutMs = 60000);

std::vector<int16_t> AsInt16(const std::vector<uint8_t>& Bytes);
double Correlation(const std::vector<int16_t>& A, const std::vector<int16_t>& B);
// The byte range [From, From + Count) of V, cut at its end.
std::vector<uint8_t> Slice(const std::vector<uint8_t>& V, size_t From, size_t Count);

}  // namespace wmtest
