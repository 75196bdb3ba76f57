#pragma once
// Helpers of the Monkey's Audio component tests: scratch folders, fixtures made with
// sox, reference decoding and checksums with ffmpeg and md5sum, and runs through the
// worker thread.

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "audio/codecs/ape/TSL_MAC.h"
#include "tests/audio/core/TestComponents.h"

namespace MACComp {

inline std::string Quote(const std::string& S) {
  std::string r = "'";
  for (char c : S) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

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

inline void RequireTools(std::initializer_list<const char*> Tools) {
  for (const char* t : Tools) ASSERT_TRUE(Shell(std::string("command -v ") + t)) << t << " is not installed";
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& Path) {
  std::ifstream f(Path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline void WriteFileBytes(const std::string& Path, const std::vector<uint8_t>& Data) {
  std::ofstream f(Path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
}

inline bool Exists(const std::string& Path) { return access(Path.c_str(), F_OK) == 0; }

class TempDir {
public:
  TempDir() {
    std::string t = std::filesystem::temp_directory_path().string() + "/macComp-XXXXXX";
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

private:
  std::string FPath;
};

inline const char* RawFormat(int Bits) { return Bits == 8 ? "u8" : Bits == 16 ? "s16le" : Bits == 24 ? "s24le" : "s32le"; }

// Raw PCM made by sox, a different signal in each channel.
inline std::string MakeRaw(const TempDir& Dir, int Bits, int Channels, int Rate, double Seconds) {
  static const char* Gens[] = {"sine 440", "pinknoise"};
  std::string gen;
  for (int c = 0; c < Channels; ++c) gen += std::string(" ") + Gens[c % 2];
  const std::string out = Dir.Path("src-" + std::to_string(Bits) + "-" + std::to_string(Channels) + "-" +
                                   std::to_string(Rate) + ".raw");
  const std::string cmd = "sox -D -n -r " + std::to_string(Rate) + " -b " + std::to_string(Bits) + " -c " +
                          std::to_string(Channels) + (Bits == 8 ? " -e unsigned-integer" : " -e signed-integer") +
                          " -t raw " + Quote(out) + " synth " + std::to_string(Seconds) + gen;
  std::string log;
  EXPECT_TRUE(Shell(cmd, &log)) << cmd << "\n" << log;
  return out;
}

inline std::string Md5OfFile(const std::string& Path) {
  std::string out;
  if (!Shell("md5sum < " + Quote(Path), &out)) return "";
  return out.substr(0, 32);
}

// md5 of the PCM ffmpeg decodes, every frame's CRC checked; empty when ffmpeg fails.
inline std::string FfmpegPcmMd5(const std::string& Ape, int Bits) {
  std::string out;
  const std::string cmd = "set -o pipefail; ffmpeg -nostdin -v error -xerror -err_detect crccheck -i " + Quote(Ape) +
                          " -f " + RawFormat(Bits) + " - | md5sum";
  if (!Shell("bash -c " + Quote(cmd), &out)) return "";
  const size_t p = out.rfind("  -");
  return p != std::string::npos && p >= 32 ? out.substr(p - 32, 32) : "";
}

// ffmpeg's decoding of an APE file as raw PCM.
inline std::vector<uint8_t> FfmpegDecode(const TempDir& Dir, const std::string& Ape, int Bits) {
  const std::string out = Dir.Path("ffmpeg-decoded.raw");
  std::string log;
  EXPECT_TRUE(Shell("ffmpeg -nostdin -v error -y -i " + Quote(Ape) + " -f " + RawFormat(Bits) + " " + Quote(out), &log))
      << log;
  auto data = ReadFileBytes(out);
  std::remove(out.c_str());
  return data;
}

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

// Encodes a raw file into Ape through a TMACOut.
inline std::string EncodeRaw(const std::string& Raw, int Bits, int Channels, int Rate, const std::string& Ape,
                             int32_t Level = 2000, const std::function<void(TMACOut&, TRawIn&)>& Setup = {}) {
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, Bits, Channels, Rate));
  in->SetFileName(Raw);
  in->MaxChunk = 1001;  // frames split across reads
  TComponentPtr<TMACOut> out(new TMACOut(nullptr));
  out->SetInput(in.get());
  out->SetFileName(Ape);
  out->SetCompressionLevel(Level);
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
inline uint16_t LE16(const std::vector<uint8_t>& D, size_t At) { return static_cast<uint16_t>(D[At] | (D[At + 1] << 8)); }

}  // namespace MACComp
