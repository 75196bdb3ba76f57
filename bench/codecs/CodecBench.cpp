// The driver of bench/codecs/codecs.sh: encodes a raw PCM file into FLAC or Ogg Vorbis
// through TRawIn -> TFLACOut / TVorbisOut, or decodes one through TFLACIn / TVorbisIn
// into a raw file, each on the output's worker thread as the program does it.
//   flac-enc in.raw out.flac bits channels rate level [block size]
//   ogg-enc  in.raw out.ogg  bits channels rate quality
//   flac-dec in.flac out.raw [md5]
//   ogg-dec  in.ogg  out.raw
// "md5" checks the decoded audio against the stream's MD5 signature; a mismatch fails.
// Prints the seconds the run took.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/codecs/flac/TSL_FLAC.h"
#include "audio/codecs/vorbis/TSL_Vorbis.h"
#include "bench/BenchSupport.h"
#include "tests/support/TestComponents.h"

namespace {

int Usage(const char* Self) {
  std::fprintf(stderr,
               "usage: %s flac-enc|ogg-enc in.raw out bits channels rate level|quality [block size]\n"
               "       %s flac-dec|ogg-dec in out.raw [md5]\n",
               Self, Self);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage(argv[0]);
  const std::string mode = argv[1];
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  TAuOutput* out = nullptr;
  TFLACIn* flacIn = nullptr;
  if (mode == "flac-enc" || mode == "ogg-enc") {
    if (argc < 8) return Usage(argv[0]);
    auto* in = new TRawIn(owner.get(), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]));
    in->MaxChunk = 1 << 16;
    in->SetFileName(argv[2]);
    if (mode == "flac-enc") {
      auto* f = new TFLACOut(owner.get());
      f->SetFileName(argv[3]);
      f->SetCompressionLevel(std::atoi(argv[7]));
      if (argc > 8) f->SetBlockSize(static_cast<uint16_t>(std::atoi(argv[8])));
      out = f;
    } else {
      auto* v = new TVorbisOut(owner.get());
      v->SetFileName(argv[3]);
      v->SetCompression(static_cast<float>(std::atof(argv[7])));
      out = v;
    }
    out->SetInput(in);
  } else if (mode == "flac-dec" || mode == "ogg-dec") {
    TAuFileIn* in;
    if (mode == "flac-dec") {
      flacIn = new TFLACIn(owner.get());
      flacIn->SetCheckMD5Signature(argc > 4 && std::string(argv[4]) == "md5");
      in = flacIn;
    } else {
      in = new TVorbisIn(owner.get());
    }
    in->SetFileName(argv[2]);
    auto* raw = new TRawFileOut(owner.get());
    raw->Path = argv[3];
    raw->SetInput(in);
    out = raw;
  } else {
    return Usage(argv[0]);
  }
  const std::optional<double> s = TimedRun(out);
  if (!s) return 1;
  if (flacIn && !flacIn->MD5Result()) {
    std::fprintf(stderr, "MD5 signature mismatch\n");
    return 1;
  }
  std::printf("%.4f\n", *s);
  return 0;
}
