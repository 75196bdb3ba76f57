#pragma once
// Helpers of the Monkey's Audio component tests: fixtures made with sox, reference
// decoding and checksums with ffmpeg and md5sum, and encodes through the worker thread.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "audio/codecs/ape/TSL_MAC.h"
#include "tests/support/TestComponents.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

namespace MACComp {

using testsupport::Collect;
using testsupport::Le16;
using testsupport::Le32;
using testsupport::Quote;
using testsupport::ReadFile;
using testsupport::RequireTools;
using testsupport::RunOk;
using testsupport::RunOutput;
using testsupport::WriteFile;
using TempDir = testsupport::TTempDir;

inline bool Exists(const std::string& Path) { return access(Path.c_str(), F_OK) == 0; }

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
  EXPECT_TRUE(RunOk(cmd, &log)) << cmd << "\n" << log;
  return out;
}

inline std::string Md5OfFile(const std::string& Path) {
  std::string out;
  if (!RunOk("md5sum < " + Quote(Path), &out)) return "";
  return out.substr(0, 32);
}

// md5 of the PCM ffmpeg decodes, every frame's CRC checked; empty when ffmpeg fails.
inline std::string FfmpegPcmMd5(const std::string& Ape, int Bits) {
  std::string out;
  const std::string cmd = "set -o pipefail; ffmpeg -nostdin -v error -xerror -err_detect crccheck -i " + Quote(Ape) +
                          " -f " + RawFormat(Bits) + " - | md5sum";
  if (!RunOk("bash -c " + Quote(cmd), &out)) return "";
  const size_t p = out.rfind("  -");
  return p != std::string::npos && p >= 32 ? out.substr(p - 32, 32) : "";
}

// ffmpeg's decoding of an APE file as raw PCM.
inline std::vector<uint8_t> FfmpegDecode(const TempDir& Dir, const std::string& Ape, int Bits) {
  const std::string out = Dir.Path("ffmpeg-decoded.raw");
  std::string log;
  EXPECT_TRUE(RunOk("ffmpeg -nostdin -v error -y -i " + Quote(Ape) + " -f " + RawFormat(Bits) + " " + Quote(out), &log))
      << log;
  auto data = ReadFile(out);
  std::remove(out.c_str());
  return data;
}

inline std::string Probe(const std::string& File, const std::string& Entry) {
  std::string out;
  RunOk("ffprobe -v error -show_entries " + Entry + " -of default=nw=1:nk=1 " + Quote(File), &out);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
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
  return RunOutput(*out);
}

}  // namespace MACComp
