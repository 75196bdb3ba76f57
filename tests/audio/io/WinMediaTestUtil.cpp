#include "tests/audio/io/WinMediaTestUtil.h"

#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

namespace wmtest {

std::string MakeSource(const std::string& Name, int Rate, int Channels, double Seconds, int Bits) {
  const std::string path = TempPath(Name);
  std::string synth = "synth " + std::to_string(Seconds);
  for (int c = 0; c < Channels; ++c)
    synth += " sine " + std::to_string(200 + 150 * c) + "-" + std::to_string(3000 + 400 * c);
  Shell("sox -D -n -r " + std::to_string(Rate) + " -c " + std::to_string(Channels) + " -b " + std::to_string(Bits) +
        " " + testsupport::Quote(path) + " " + synth + " vol 0.6");
  return path;
}

std::vector<uint8_t> FfmpegDecode(const std::string& Path, const std::string& Format, const std::string& Extra) {
  return testsupport::FfmpegDecode(Path, Format, "-map 0:a:0 " + Extra);
}

std::string Probe(const std::string& Path, const std::string& Entry) {
  std::string s = Shell("ffprobe -v error -select_streams a:0 -show_entries " + Entry +
                        " -of default=noprint_wrappers=1:nokey=1 " + testsupport::Quote(Path));
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

TRead ReadAll(TAuFileIn& In, uint32_t Request) {
  TRead r;
  r.Valid = In.Valid();
  if (!r.Valid) return r;
  r.Bits = In.BitsPerSample();
  r.Channels = In.Channels();
  r.Rate = In.SampleRate();
  r.Data = testsupport::ReadUntilFailure(In, r.Error, Request, &r.Size);
  return r;
}

}  // namespace wmtest
