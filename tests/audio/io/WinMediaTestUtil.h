#pragma once
// Fixtures and reads shared by the Windows Media, MP3 and AVI tests, over the common
// test support.

#include <cstdint>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

namespace wmtest {

using testsupport::AsInt16;
using testsupport::ByteRange;
using testsupport::Correlation;
using testsupport::ReadFile;
using testsupport::RunOutput;
using testsupport::Shell;
using testsupport::TempPath;
using testsupport::WriteFile;

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

}  // namespace wmtest
