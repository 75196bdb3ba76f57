#include "tests/support/Tools.h"

#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <utility>

namespace testsupport {

std::string Quote(const std::string& S) {
  std::string r = "'";
  for (char c : S) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

TRunResult RunTool(const std::string& Command) {
  TRunResult r;
  FILE* p = popen(("(unset LD_PRELOAD; " + Command + ") 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.Output.append(buf, n);
  const int status = pclose(p);
  r.ExitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

bool RunOk(const std::string& Command, std::string* Output) {
  TRunResult r = RunTool(Command);
  if (Output) *Output = std::move(r.Output);
  return r.ExitCode == 0;
}

std::string Shell(const std::string& Command) {
  TRunResult r = RunTool(Command);
  EXPECT_EQ(r.ExitCode, 0) << "command failed: " << Command << "\n" << r.Output;
  return r.Output;
}

bool ToolExists(const std::string& Name) {
  return RunTool("command -v " + Quote(Name) + " >/dev/null").ExitCode == 0;
}

void RequireTools(std::initializer_list<std::string> Tools) {
  for (const std::string& t : Tools) ASSERT_TRUE(ToolExists(t)) << t << " is not installed";
}

std::string SoxRawFormat(int Bits, int Channels, int Rate) {
  return "-t raw -r " + std::to_string(Rate) + " -c " + std::to_string(Channels) + " -b " + std::to_string(Bits) +
         (Bits == 8 ? " -e unsigned-integer" : " -e signed-integer") + " -L";
}

std::string SynthRaw(const std::string& Path, int Bits, int Channels, int Rate, const std::string& Synth) {
  Shell("sox -D -n " + SoxRawFormat(Bits, Channels, Rate) + " " + Quote(Path) + " synth " + Synth);
  return Path;
}

std::string MakeSource(const TTempDir& Dir, const std::string& Name, int Bits, int Channels, int Rate,
                       double Seconds, bool Float) {
  const std::string wav = Dir.Path(Name + ".wav");
  const std::string enc = Float ? "-e floating-point" : Bits == 8 ? "-e unsigned-integer" : "-e signed-integer";
  char synth[64];
  std::snprintf(synth, sizeof synth, "%.6f", Seconds);
  Shell("sox -D -n -r " + std::to_string(Rate) + " -b " + std::to_string(Bits) + " " + enc + " -c " +
        std::to_string(Channels) + " " + Quote(wav) + " synth " + synth +
        " sine 100-6000 pinknoise sine 1000 sine 3000 brownnoise sine 50 gain -2");
  Shell("sox " + Quote(wav) + " -t raw " + Quote(Dir.Path(Name + ".raw")));
  return wav;
}

std::string MakeWav(const TTempDir& Dir, const std::string& Name, double Seconds) {
  EXPECT_TRUE(ToolExists("sox")) << "missing tool: sox";
  const std::string f = Dir / Name;
  const auto r = RunTool("sox -n -r 44100 -c 2 -b 16 " + Quote(f) + " synth " + std::to_string(Seconds) +
                     " sine 440");
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  return f;
}

std::string EncodeMp3(const std::string& Wav, const std::string& Mp3, const std::string& LameArgs) {
  EXPECT_TRUE(ToolExists("lame")) << "missing tool: lame";
  const auto r = RunTool("lame --quiet " + LameArgs + " " + Quote(Wav) + " " + Quote(Mp3));
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  return Mp3;
}

std::string MakeMp3(const TTempDir& Dir, const std::string& Name, const std::string& LameArgs) {
  const std::string wav = MakeWav(Dir, Name + ".src.wav");
  EncodeMp3(wav, Dir / Name, LameArgs);
  std::remove(wav.c_str());
  return Dir / Name;
}

std::vector<uint8_t> FfmpegDecode(const std::string& Path, const std::string& Format, const std::string& Extra) {
  const std::string out = Path + "." + Format + ".raw";
  Shell("ffmpeg -nostdin -v error -y -i " + Quote(Path) + " " + Extra + " -f " + Format + " -c:a pcm_" + Format +
        " " + Quote(out));
  std::vector<uint8_t> data = ReadFile(out);
  std::remove(out.c_str());
  return data;
}

std::string CaseName(std::string Text) {
  std::erase_if(Text, [](char C) { return !std::isalnum(static_cast<unsigned char>(C)); });
  return Text;
}

}  // namespace testsupport
