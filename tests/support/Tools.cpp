#include "tests/support/Tools.h"

#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
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
  // In a folder of its own, not beside the source: two tests may decode one file at once.
  const TTempDir scratch;
  const std::string out = scratch.Path("decoded." + Format + ".raw");
  Shell("ffmpeg -nostdin -v error -y -i " + Quote(Path) + " " + Extra + " -f " + Format + " -c:a pcm_" + Format +
        " " + Quote(out));
  return ReadFile(out);
}

TAudioFacts ProbeAudio(const std::string& Path) {
  TAudioFacts facts;
  const std::string info = Shell("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,channels,bit_rate "
                                 "-of default=noprint_wrappers=1 " + Quote(Path));
  auto value = [&info](const std::string& Key) {
    const size_t at = info.find(Key + "=");
    if (at == std::string::npos) return std::string();
    const size_t start = at + Key.size() + 1;
    return info.substr(start, info.find('\n', start) - start);
  };
  facts.Codec = value("codec_name");
  facts.Rate = std::atoi(value("sample_rate").c_str());
  facts.Channels = std::atoi(value("channels").c_str());
  facts.BitRate = std::atoll(value("bit_rate").c_str());
  // The decoded bytes come last, after anything ffmpeg said on the way.
  const TRunResult r = RunTool("ffmpeg -nostdin -v error -i " + Quote(Path) + " -map 0:a:0 -f s16le -c:a pcm_s16le - | wc -c");
  const size_t last = r.Output.find_last_not_of("\n");
  const size_t lineStart = last == std::string::npos ? 0 : r.Output.rfind('\n', last);
  const size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
  facts.DecodeErrors = r.Output.substr(0, from);
  if (r.ExitCode == 0 && facts.Channels > 0)
    facts.Frames = std::atoll(r.Output.substr(from).c_str()) / (2 * facts.Channels);
  return facts;
}

std::string CaseName(std::string Text) {
  std::erase_if(Text, [](char C) { return !std::isalnum(static_cast<unsigned char>(C)); });
  return Text;
}

}  // namespace testsupport
