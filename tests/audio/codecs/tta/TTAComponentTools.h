#pragma once
// Helpers of the True Audio component tests: scratch folders, fixtures made with sox,
// ffmpeg and id3v2, reference decoding with ffmpeg, and runs through the worker thread.

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/codecs/tta/TSL_TTA.h"
#include "tests/audio/core/TestComponents.h"

namespace TTAComp {

inline std::string Quote(const std::string& S) {
  std::string r = "'";
  for (char c : S) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

// Runs a shell command; its output goes to Out. True when it exits with 0.
inline bool Shell(const std::string& Command, std::string* Out = nullptr) {
  FILE* p = popen((Command + " 2>&1").c_str(), "r");
  if (!p) return false;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  const int rc = pclose(p);
  if (Out) *Out = text;
  return rc == 0;
}

// A test that needs a tool fails when it is missing.
inline void RequireTools(std::initializer_list<const char*> Tools) {
  for (const char* t : Tools)
    ASSERT_TRUE(Shell(std::string("command -v ") + t)) << t << " is not installed";
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& Path) {
  std::ifstream f(Path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline void WriteFileBytes(const std::string& Path, const std::vector<uint8_t>& Data) {
  std::ofstream f(Path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
}

// A fresh folder, removed with its content.
class TempDir {
public:
  TempDir() {
    std::string t = std::filesystem::temp_directory_path().string() + "/ttacomp-XXXXXX";
    FPath = mkdtemp(t.data()) ? t : std::string();
    EXPECT_FALSE(FPath.empty());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string Path(const std::string& Name) const { return FPath + "/" + Name; }
  const std::string& Root() const { return FPath; }
  // Names in the folder.
  std::vector<std::string> Entries() const {
    std::vector<std::string> r;
    for (const auto& e : std::filesystem::directory_iterator(FPath)) r.push_back(e.path().filename().string());
    return r;
  }

private:
  std::string FPath;
};

// Points the system's temporary folder at a folder of the test while it lives.
class TmpDirOverride {
public:
  explicit TmpDirOverride(const std::string& Dir) {
    if (const char* old = getenv("TMPDIR")) FOld = old, FHadOld = true;
    setenv("TMPDIR", Dir.c_str(), 1);
  }
  ~TmpDirOverride() {
    if (FHadOld)
      setenv("TMPDIR", FOld.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }

private:
  std::string FOld;
  bool FHadOld = false;
};

// Open descriptors of the process.
inline int OpenDescriptors() {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)e;
    ++n;
  }
  return n;
}

inline const char* RawFormat(int Bits) {
  switch (Bits) {
    case 8: return "u8";
    case 16: return "s16le";
    case 24: return "s24le";
    default: return "s32le";
  }
}

// Raw PCM made by sox: unsigned 8-bit or signed little-endian 16/24/32-bit, a different
// signal in every channel, full-scale square waves included.
inline std::string MakeRaw(const TempDir& Dir, int Bits, int Channels, int Rate, double Seconds) {
  static const char* Gens[] = {"sine 440", "pinknoise", "square 220", "whitenoise",
                               "sine 1234", "brownnoise", "sawtooth 330", "sine 97"};
  std::string gen;
  for (int c = 0; c < Channels; ++c) gen += std::string(" ") + Gens[c % 8];
  const std::string out =
      Dir.Path("src-" + std::to_string(Bits) + "-" + std::to_string(Channels) + "-" + std::to_string(Rate) + ".raw");
  const std::string cmd = "sox -n -r " + std::to_string(Rate) + " -b " + std::to_string(Bits) + " -c " +
                          std::to_string(Channels) + (Bits == 8 ? " -e unsigned-integer" : " -e signed-integer") +
                          " -t raw " + Quote(out) + " synth " + std::to_string(Seconds) + gen;
  std::string log;
  EXPECT_TRUE(Shell(cmd, &log)) << cmd << "\n" << log;
  return out;
}

// ffmpeg's TTA encoding of a raw file.
inline std::string FfmpegEncode(const TempDir& Dir, const std::string& Raw, int Bits, int Channels, int Rate,
                                const std::string& Name) {
  const std::string out = Dir.Path(Name);
  const std::string cmd = "ffmpeg -nostdin -v error -y -f " + std::string(RawFormat(Bits)) + " -ar " +
                          std::to_string(Rate) + " -ac " + std::to_string(Channels) + " -i " + Quote(Raw) +
                          " -c:a tta " + Quote(out);
  std::string log;
  EXPECT_TRUE(Shell(cmd, &log)) << cmd << "\n" << log;
  return out;
}

// ffmpeg's decoding of a TTA file to raw PCM of the given width.
inline std::vector<uint8_t> FfmpegDecode(const TempDir& Dir, const std::string& Tta, int Bits) {
  const std::string out = Dir.Path("ffmpeg-decoded.raw");
  const std::string fmt = RawFormat(Bits);
  const std::string codec = Bits == 8 ? "pcm_u8" : "pcm_" + fmt;
  const std::string cmd = "ffmpeg -nostdin -v error -y -i " + Quote(Tta) + " -c:a " + codec + " -f " + fmt +
                          " " + Quote(out);
  std::string log;
  EXPECT_TRUE(Shell(cmd, &log)) << cmd << "\n" << log;
  auto data = ReadFileBytes(out);
  std::remove(out.c_str());
  return data;
}

// One ffprobe value of the file (e.g. "stream=channels", "format_tags=title").
inline std::string Probe(const std::string& File, const std::string& Entry) {
  std::string out;
  Shell("ffprobe -v error -show_entries " + Entry + " -of default=nw=1:nk=1 " + Quote(File), &out);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// Runs Out through its worker thread until done; returns the run's error text.
inline std::string RunToEnd(TAuOutput& Out) {
  std::atomic<bool> done{false};
  Out.OnDone = [&](TComponent*) { done = true; };
  Out.Run();
  EXPECT_TRUE(PumpUntil([&] { return done.load(); }, 120000)) << "the run did not end";
  Out.OnDone = nullptr;
  return Out.ExceptionMessage();
}

// Encodes a raw file into Tta (or into Stream when given) through a TTTAOut.
inline std::string EncodeRaw(const std::string& Raw, int Bits, int Channels, int Rate, const std::string& Tta,
                             TStream* Stream = nullptr, uint32_t Chunk = 1001,
                             const std::function<void(TTTAOut&, TRawIn&)>& Setup = {}) {
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, Bits, Channels, Rate));
  in->SetFileName(Raw);
  in->MaxChunk = Chunk;  // frames split across reads
  TComponentPtr<TTTAOut> out(new TTTAOut(nullptr));
  out->SetInput(in.get());
  if (Stream)
    out->SetStream(Stream);
  else
    out->SetFileName(Tta);
  if (Setup) Setup(*out, *in);
  return RunToEnd(*out);
}

// Everything an input delivers through the worker thread of a collecting output.
inline std::vector<uint8_t> Collect(TAuInput& In, std::string* Error = nullptr) {
  TComponentPtr<TCollectOut> out(new TCollectOut(nullptr));
  out->SetInput(&In);
  const std::string err = RunToEnd(*out);
  if (Error)
    *Error = err;
  else
    EXPECT_EQ(err, "");
  return out->Data;
}

inline uint32_t LE32(const std::vector<uint8_t>& D, size_t At) {
  return uint32_t{D[At]} | (uint32_t{D[At + 1]} << 8) | (uint32_t{D[At + 2]} << 16) | (uint32_t{D[At + 3]} << 24);
}
inline uint16_t LE16(const std::vector<uint8_t>& D, size_t At) {
  return static_cast<uint16_t>(D[At] | (D[At + 1] << 8));
}

}  // namespace TTAComp
