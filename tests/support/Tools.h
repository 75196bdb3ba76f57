#pragma once
// Debian's tools run through the shell, and the fixtures and reference decodes the
// suites make with them. A test that needs a tool fails when it is missing.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/Files.h"

namespace testsupport {

// S in single quotes for the shell.
std::string Quote(const std::string& S);

struct TRunResult {
  int ExitCode = -1;   // -1 when the command did not end normally
  std::string Output;  // standard output and error together
};
// Runs a shell command. The tools are programs of their own: a library preloaded into
// the tests (a sanitizer run) is unset for them.
TRunResult RunTool(const std::string& Command);
// True when the command exits with 0; its output goes to Output.
bool RunOk(const std::string& Command, std::string* Output = nullptr);
// Runs a command that must succeed and returns its output; the test fails otherwise.
std::string Shell(const std::string& Command);

bool ToolExists(const std::string& Name);
// Fails the test for each tool that is not installed.
void RequireTools(std::initializer_list<std::string> Tools);

// sox's options for header-less PCM: unsigned 8-bit, wider signed little-endian.
std::string SoxRawFormat(int Bits, int Channels, int Rate);
// Header-less PCM synthesised by sox without dither; Synth follows "synth" (length,
// generators and effects). Returns Path.
std::string SynthRaw(const std::string& Path, int Bits, int Channels, int Rate, const std::string& Synth);
// A WAV file made by sox (a sweep, noise and tones on successive channels) and its raw
// payload beside it ("<Name>.raw", as SoxRawFormat, or 32-bit floats). Returns the WAV.
std::string MakeSource(const TTempDir& Dir, const std::string& Name, int Bits, int Channels, int Rate,
                       double Seconds, bool Float = false);

// Dir / Name: a 440 Hz sine of Seconds in a 16-bit stereo WAV file made by sox, or an
// MP3 file lame makes of such a file with LameArgs.
std::string MakeWav(const TTempDir& Dir, const std::string& Name, double Seconds = 0.3);
std::string MakeMp3(const TTempDir& Dir, const std::string& Name, const std::string& LameArgs = "-b 128");
// Wav encoded by lame with LameArgs into Mp3; returns Mp3.
std::string EncodeMp3(const std::string& Wav, const std::string& Mp3, const std::string& LameArgs = "-b 128");

// ffmpeg's decode of a file as raw samples in Format ("u8", "s16le", "s24le",
// "s32le"); Extra goes after the input (such as "-ac 2").
std::vector<uint8_t> FfmpegDecode(const std::string& Path, const std::string& Format = "s16le",
                                  const std::string& Extra = "");

// What ffprobe and ffmpeg say of a file's first audio stream: the codec, rate and
// channels, and the sample frames ffmpeg decodes (-1 when it cannot decode the file).
// DecodeErrors holds what ffmpeg reported while decoding.
struct TAudioFacts {
  std::string Codec;
  int Rate = 0;
  int Channels = 0;
  int64_t BitRate = 0;  // bits per second, 0 when ffprobe tells none
  int64_t Frames = -1;
  std::string DecodeErrors;
};
TAudioFacts ProbeAudio(const std::string& Path);

}  // namespace testsupport

namespace testsupport {
// A test name made of the letters and digits of Text (for parameterised cases).
std::string CaseName(std::string Text);
}  // namespace testsupport

// Ends the test at once when a tool is missing.
#define REQUIRE_TOOL(Name) ASSERT_TRUE(testsupport::ToolExists(Name)) << "missing tool: " << (Name)
