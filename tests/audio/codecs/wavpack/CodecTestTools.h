#pragma once
// Helpers of the codec component tests: temporary folders, Debian's tools run through
// the shell, fixtures made by sox, and runs of outputs and inputs on the worker thread.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "tests/audio/core/TestComponents.h"

namespace CodecTests {

inline std::string Quote(const std::string& S) {
  std::string r = "'";
  for (char c : S) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

class TempDir {
public:
  TempDir() {
    char tmpl[] = "/tmp/sonvix-codec-XXXXXX";
    const char* p = mkdtemp(tmpl);
    if (p) FPath = p;
  }
  ~TempDir() {
    std::error_code ec;
    if (!FPath.empty()) std::filesystem::remove_all(FPath, ec);
  }
  std::string Path(const std::string& Name) const { return FPath + "/" + Name; }

private:
  std::string FPath;
};

// Runs a shell command; its exit status, with standard output (and error) in Out.
inline int Shell(const std::string& Command, std::string* Out = nullptr, bool WithErrors = false) {
  const std::string cmd = Command + (WithErrors ? " 2>&1" : " 2>/dev/null");
  FILE* f = popen(cmd.c_str(), "r");
  if (!f) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  const int st = pclose(f);
  if (Out) *Out = text;
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// A test that needs a tool fails when it is not installed.
inline void RequireTools(std::initializer_list<const char*> Tools) {
  for (const char* t : Tools)
    ASSERT_EQ(Shell(std::string("command -v ") + t + " >/dev/null"), 0) << t << " is not installed";
}

inline std::vector<uint8_t> ReadFile(const std::string& Path) {
  std::ifstream f(Path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline void WriteFile(const std::string& Path, const std::vector<uint8_t>& Data) {
  std::ofstream f(Path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(Data.data()), std::streamsize(Data.size()));
}

// A WAV file made by sox (a sweep, noise and a tone on successive channels) and its
// raw payload beside it ("<name>.raw": unsigned 8-bit, signed little-endian otherwise,
// or 32-bit floats).
inline std::string MakeSource(const TempDir& Dir, const std::string& Name, int Bits, int Channels, int Rate,
                              double Seconds, bool Float = false) {
  const std::string wav = Dir.Path(Name + ".wav");
  const std::string enc = Float ? "-e floating-point" : Bits == 8 ? "-e unsigned-integer" : "-e signed-integer";
  char cmd[1024];
  std::snprintf(cmd, sizeof cmd,
                "sox -D -n -r %d -b %d %s -c %d %s synth %.6f sine 100-6000 pinknoise sine 1000 sine 3000 "
                "brownnoise sine 50 gain -2",
                Rate, Bits, enc.c_str(), Channels, Quote(wav).c_str(), Seconds);
  EXPECT_EQ(Shell(cmd), 0) << cmd;
  EXPECT_EQ(Shell("sox " + Quote(wav) + " -t raw " + Quote(Dir.Path(Name + ".raw"))), 0);
  return wav;
}

// Runs an output on its worker thread until the run ends; the run's error message.
inline std::string RunOutput(TAuOutput& Out, int TimeoutMs = 120000) {
  Out.Run();
  EXPECT_TRUE(PumpUntil([&] { return !Out.Busy(); }, TimeoutMs)) << "the run did not end";
  PumpFor(5);
  return Out.ExceptionMessage();
}

// Everything an input delivers in one run, pulled by the worker thread.
inline std::vector<uint8_t> Collect(TAuInput& In, std::string* Error = nullptr, uint32_t BlockSize = 12000) {
  TComponentPtr<TCollectOut> out(new TCollectOut(nullptr));
  out->BlockSize = BlockSize;
  out->SetInput(&In);
  const std::string e = RunOutput(*out);
  if (Error) *Error = e;
  else EXPECT_EQ(e, "");
  return out->Data;
}

inline int32_t LE(const uint8_t* P, int Bytes) {
  uint32_t v = 0;
  for (int i = 0; i < Bytes; ++i) v |= uint32_t(P[i]) << (8 * i);
  if (Bytes < 4 && (v >> (8 * Bytes - 1)) & 1) v |= ~0u << (8 * Bytes);
  return int32_t(v);
}

inline uint32_t LE32(const std::vector<uint8_t>& D, size_t At) { return uint32_t(LE(&D[At], 4)); }

// 16-bit samples of one channel out of interleaved little-endian data.
inline std::vector<double> Channel16(const std::vector<uint8_t>& D, int Channels, int Which) {
  std::vector<double> r;
  for (size_t i = size_t(Which) * 2; i + 1 < D.size(); i += size_t(Channels) * 2)
    r.push_back(int16_t(uint16_t(D[i] | (D[i + 1] << 8))));
  return r;
}

// The highest normalised correlation of B against A over lags 0..MaxLag (B delayed).
inline double BestCorrelation(const std::vector<double>& A, const std::vector<double>& B, int MaxLag,
                              int* Lag = nullptr) {
  double best = -2;
  for (int lag = 0; lag <= MaxLag; ++lag) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < A.size() && i + size_t(lag) < B.size(); ++i) {
      const double a = A[i], b = B[i + size_t(lag)];
      ab += a * b;
      aa += a * a;
      bb += b * b;
    }
    const double c = aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
    if (c > best) {
      best = c;
      if (Lag) *Lag = lag;
    }
  }
  return best;
}

inline double Rms(const std::vector<double>& A) {
  double s = 0;
  for (double a : A) s += a * a;
  return A.empty() ? 0 : std::sqrt(s / double(A.size()));
}

// A stream that accepts nothing: every write fails as on a full disk.
class TFullStream : public TMemoryStream {
public:
  int64_t Write(const void*, int64_t) override { return 0; }
};

}  // namespace CodecTests
