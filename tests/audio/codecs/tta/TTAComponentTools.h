#pragma once
// Helpers of the True Audio component tests: fixtures made with sox and ffmpeg, ffprobe's
// view of a file, and our output driven through the pipeline.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "audio/codecs/tta/TSL_TTA.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

namespace TTAComp {

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

// ffmpeg's name of raw PCM of a width, as sox makes it.
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
inline std::string MakeRaw(const testsupport::TTempDir& Dir, int Bits, int Channels, int Rate, double Seconds) {
  static const char* Gens[] = {"sine 440", "pinknoise", "square 220", "whitenoise",
                               "sine 1234", "brownnoise", "sawtooth 330", "sine 97"};
  std::string gen;
  for (int c = 0; c < Channels; ++c) gen += std::string(" ") + Gens[c % 8];
  return testsupport::SynthRaw(
      Dir.Path("src-" + std::to_string(Bits) + "-" + std::to_string(Channels) + "-" + std::to_string(Rate) + ".raw"),
      Bits, Channels, Rate, std::to_string(Seconds) + gen);
}

// ffmpeg's TTA encoding of a raw file.
inline std::string FfmpegEncode(const testsupport::TTempDir& Dir, const std::string& Raw, int Bits, int Channels,
                                int Rate, const std::string& Name) {
  const std::string out = Dir.Path(Name);
  testsupport::Shell("ffmpeg -nostdin -v error -y -f " + std::string(RawFormat(Bits)) + " -ar " +
                     std::to_string(Rate) + " -ac " + std::to_string(Channels) + " -i " + testsupport::Quote(Raw) +
                     " -c:a tta " + testsupport::Quote(out));
  return out;
}

// One ffprobe value of the file (e.g. "stream=channels", "format_tags=title").
inline std::string Probe(const std::string& File, const std::string& Entry) {
  std::string out;
  testsupport::RunOk("ffprobe -v error -show_entries " + Entry + " -of default=nw=1:nk=1 " +
                         testsupport::Quote(File),
                     &out);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
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
  return testsupport::RunOutput(*out);
}

}  // namespace TTAComp
