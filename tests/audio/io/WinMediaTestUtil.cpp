#include "tests/audio/io/WinMediaTestUtil.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/audio/core/TestComponents.h"

namespace wmtest {

namespace {

struct TTempDir {
  std::string Path;
  TTempDir() {
    char tmpl[] = "/tmp/wmtest-XXXXXX";
    Path = ::mkdtemp(tmpl);
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
};

}  // namespace

std::string TempPath(const std::string& Name) {
  static TTempDir dir;
  return dir.Path + "/" + Name;
}

std::string Shell(const std::string& Command) {
  std::string out;
  FILE* p = ::popen((Command + " 2>/dev/null").c_str(), "r");
  if (!p) {
    ADD_FAILURE() << "cannot run " << Command;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = ::pclose(p);
  EXPECT_EQ(rc, 0) << "command failed: " << Command;
  return out;
}

std::vector<uint8_t> ReadFile(const std::string& Path) {
  std::ifstream f(Path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes) {
  std::ofstream f(Path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

std::string MakeSource(const std::string& Name, int Rate, int Channels, double Seconds, int Bits) {
  const std::string path = TempPath(Name);
  std::string synth = "synth " + std::to_string(Seconds);
  for (int c = 0; c < Channels; ++c)
    synth += " sine " + std::to_string(200 + 150 * c) + "-" + std::to_string(3000 + 400 * c);
  Shell("sox -D -n -r " + std::to_string(Rate) + " -c " + std::to_string(Channels) + " -b " + std::to_string(Bits) +
        " '" + path + "' " + synth + " vol 0.6");
  return path;
}

std::vector<uint8_t> FfmpegDecode(const std::string& Path, const std::string& Format, const std::string& Extra) {
  const std::string out = Path + "." + Format + ".raw";
  Shell("ffmpeg -nostdin -v error -y -i '" + Path + "' -map 0:a:0 " + Extra + " -f " + Format + " '" + out + "'");
  return ReadFile(out);
}

std::string Probe(const std::string& Path, const std::string& Entry) {
  std::string s = Shell("ffprobe -v error -select_streams a:0 -show_entries " + Entry +
                        " -of default=noprint_wrappers=1:nokey=1 '" + Path + "'");
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
  try {
    In.Init();
    r.Size = In.Size();
    for (;;) {
      void* p = nullptr;
      uint32_t n = Request;
      In.ReadData(p, n);
      if (n == 0) break;
      const auto* b = static_cast<const uint8_t*>(p);
      r.Data.insert(r.Data.end(), b, b + n);
    }
    In.Flush();
  } catch (const std::exception& E) {
    r.Error = E.what();
    In.Reset();
  }
  return r;
}

std::string RunOutput(TAuOutput& Out, int TimeoutMs) {
  bool done = false;
  Out.OnDone = [&done](TComponent*) { done = true; };
  Out.Run();
  EXPECT_TRUE(PumpUntil([&] { return done; }, TimeoutMs)) << "the run did not end";
  return Out.ExceptionMessage();
}

std::vector<int16_t> AsInt16(const std::vector<uint8_t>& Bytes) {
  std::vector<int16_t> s(Bytes.size() / 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(Bytes[2 * i] | Bytes[2 * i + 1] << 8);
  return s;
}

double Correlation(const std::vector<int16_t>& A, const std::vector<int16_t>& B) {
  const size_t n = std::min(A.size(), B.size());
  if (n == 0) return 0;
  double ma = 0, mb = 0;
  for (size_t i = 0; i < n; ++i) {
    ma += A[i];
    mb += B[i];
  }
  ma /= n;
  mb /= n;
  double sab = 0, saa = 0, sbb = 0;
  for (size_t i = 0; i < n; ++i) {
    sab += (A[i] - ma) * (B[i] - mb);
    saa += (A[i] - ma) * (A[i] - ma);
    sbb += (B[i] - mb) * (B[i] - mb);
  }
  return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& V, size_t From, size_t Count) {
  if (From >= V.size()) return {};
  return std::vector<uint8_t>(V.begin() + static_cast<std::ptrdiff_t>(From),
                              V.begin() + static_cast<std::ptrdiff_t>(std::min(V.size(), From + Count)));
}

}  // namespace wmtest
