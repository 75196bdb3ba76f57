#include "tests/audio/io/WaveTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/rtl/FileUtils.h"
#include "tests/audio/core/TestComponents.h"

namespace wavetest {

namespace {

struct TTempDir {
  std::string Path;
  TTempDir() {
    std::string t = GetTempDirectory() + "wavetest-XXXXXX";
    if (::mkdtemp(t.data())) Path = t + "/";
  }
  ~TTempDir() {
    if (!Path.empty()) std::system(("rm -rf '" + Path + "'").c_str());
  }
};

}  // namespace

const std::string& TempDir() {
  static TTempDir dir;
  return dir.Path;
}

std::string TempPath(const std::string& Name) { return TempDir() + Name; }

std::string Shell(const std::string& Command) {
  std::string out;
  FILE* p = ::popen(("(" + Command + ") 2>&1").c_str(), "r");
  if (!p) {
    ADD_FAILURE() << "cannot run: " << Command;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = ::pclose(p);
  EXPECT_EQ(rc, 0) << "command failed: " << Command << "\n" << out;
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

std::vector<uint8_t> FfmpegDecode(const std::string& Path, const std::string& Format) {
  const std::string codec = Format == "u8" ? "pcm_u8" : "pcm_" + Format;
  const std::string out = Path + "." + Format + ".raw";
  Shell("ffmpeg -nostdin -v error -y -i '" + Path + "' -f " + Format + " -c:a " + codec + " '" + out + "'");
  return ReadFile(out);
}

namespace {

TWaveRead ReadFrom(TWaveIn& In, uint32_t Request) {
  TWaveRead r;
  r.Valid = In.Valid();
  r.WavType = In.WavType();
  if (!r.Valid) return r;
  r.Bits = In.BitsPerSample();
  r.Channels = In.Channels();
  r.Rate = In.SampleRate();
  r.Size = In.Size();
  try {
    In.Init();
    for (;;) {
      void* p = nullptr;
      uint32_t n = Request;
      In.ReadData(p, n);
      if (n == 0) break;
      r.Data.insert(r.Data.end(), static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + n);
    }
    In.Flush();
  } catch (const std::exception& E) {
    r.Error = E.what();
    In.Reset();
  }
  return r;
}

}  // namespace

TWaveRead ReadWave(const std::string& Path, uint32_t Request) {
  TComponentPtr<TWaveIn> in(new TWaveIn(nullptr));
  in->SetFileName(Path);
  return ReadFrom(*in, Request);
}

TWaveRead ReadWave(TStream& Stream, uint32_t Request) {
  TComponentPtr<TWaveIn> in(new TWaveIn(nullptr));
  in->SetStream(&Stream);
  return ReadFrom(*in, Request);
}

std::string RunOutput(TAuOutput& Out) {
  bool done = false;
  Out.OnDone = [&done](TComponent*) { done = true; };
  Out.Run();
  EXPECT_TRUE(PumpUntil([&] { return done; }, 60000)) << "the run did not end";
  Out.OnDone = nullptr;
  return Out.ExceptionMessage();
}

std::string WriteWave(const std::string& Path, const std::vector<uint8_t>& Pcm, int32_t Bits,
                      int32_t Channels, int32_t Rate, const std::function<void(TWaveOut&)>& Setup) {
  TMemoryStream mem;
  mem.Write(Pcm.data(), static_cast<int64_t>(Pcm.size()));
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, Bits, Channels, Rate));
  in->SetStream(&mem);
  TComponentPtr<TWaveOut> out(new TWaveOut(nullptr));
  out->SetInput(in.get());
  out->SetFileName(Path);
  if (Setup) Setup(*out);
  return RunOutput(*out);
}

std::vector<int16_t> AsInt16(const std::vector<uint8_t>& Bytes) {
  std::vector<int16_t> v(Bytes.size() / 2);
  std::memcpy(v.data(), Bytes.data(), v.size() * 2);
  return v;
}

std::vector<uint8_t> AsBytes(const std::vector<int16_t>& Samples) {
  std::vector<uint8_t> v(Samples.size() * 2);
  std::memcpy(v.data(), Samples.data(), v.size());
  return v;
}

std::vector<int16_t> Sines(int64_t Frames, int32_t Channels, int32_t Rate) {
  std::vector<int16_t> v(static_cast<size_t>(Frames * Channels));
  for (int64_t f = 0; f < Frames; ++f)
    for (int32_t c = 0; c < Channels; ++c) {
      const double t = static_cast<double>(f) / Rate;
      const double x = 0.5 * std::sin(2 * M_PI * (440.0 + 110.0 * c) * t) + 0.25 * std::sin(2 * M_PI * 3000.0 * t);
      v[static_cast<size_t>(f * Channels + c)] = static_cast<int16_t>(std::lrint(x * 32767.0));
    }
  return v;
}

double Snr(const std::vector<int16_t>& Ref, const std::vector<int16_t>& Test) {
  const size_t n = std::min(Ref.size(), Test.size());
  double s = 0, e = 0;
  for (size_t i = 0; i < n; ++i) {
    s += static_cast<double>(Ref[i]) * Ref[i];
    const double d = static_cast<double>(Ref[i]) - Test[i];
    e += d * d;
  }
  if (e == 0) return 200.0;
  return 10.0 * std::log10(s / e);
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
    const double a = A[i] - ma, b = B[i] - mb;
    sab += a * b;
    saa += a * a;
    sbb += b * b;
  }
  return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0;
}

uint32_t Le32(const std::vector<uint8_t>& B, size_t Offset) {
  return B[Offset] | B[Offset + 1] << 8 | B[Offset + 2] << 16 | static_cast<uint32_t>(B[Offset + 3]) << 24;
}

uint16_t Le16(const std::vector<uint8_t>& B, size_t Offset) {
  return static_cast<uint16_t>(B[Offset] | B[Offset + 1] << 8);
}

void SetLe32(std::vector<uint8_t>& B, size_t Offset, uint32_t V) {
  for (int i = 0; i < 4; ++i) B[Offset + i] = static_cast<uint8_t>(V >> (8 * i));
}

void SetLe16(std::vector<uint8_t>& B, size_t Offset, uint16_t V) {
  B[Offset] = static_cast<uint8_t>(V);
  B[Offset + 1] = static_cast<uint8_t>(V >> 8);
}

std::vector<uint8_t> FromHex(const std::string& Hex) {
  std::vector<uint8_t> v;
  int hi = -1;
  for (char c : Hex) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else continue;
    if (hi < 0) {
      hi = d;
    } else {
      v.push_back(static_cast<uint8_t>(hi << 4 | d));
      hi = -1;
    }
  }
  return v;
}

int64_t FindChunk(const std::vector<uint8_t>& Wav, const char* Id) {
  size_t p = 12;
  while (p + 8 <= Wav.size()) {
    if (std::memcmp(&Wav[p], Id, 4) == 0) return static_cast<int64_t>(p);
    const uint32_t size = Le32(Wav, p + 4);
    p += 8 + size + (size & 1);
  }
  return -1;
}

}  // namespace wavetest
