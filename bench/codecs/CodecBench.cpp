// The driver of bench/codecs/codecs.sh: encodes a raw PCM file into FLAC or Ogg Vorbis
// through TRawIn -> TFLACOut / TVorbisOut, or decodes one through TFLACIn / TVorbisIn
// into a raw file, each on the output's worker thread as the program does it.
//   flac-enc in.raw out.flac bits channels rate level
//   ogg-enc  in.raw out.ogg  bits channels rate quality
//   flac-dec in.flac out.raw
//   ogg-dec  in.ogg  out.raw
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
               "usage: %s flac-enc|ogg-enc in.raw out bits channels rate level|quality\n"
               "       %s flac-dec|ogg-dec in out.raw\n",
               Self, Self);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage(argv[0]);
  const std::string mode = argv[1];
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  TAuOutput* out = nullptr;
  if (mode == "flac-enc" || mode == "ogg-enc") {
    if (argc < 8) return Usage(argv[0]);
    auto* in = new TRawIn(owner.get(), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]));
    in->MaxChunk = 1 << 16;
    in->SetFileName(argv[2]);
    if (mode == "flac-enc") {
      auto* f = new TFLACOut(owner.get());
      f->SetFileName(argv[3]);
      f->SetCompressionLevel(std::atoi(argv[7]));
      out = f;
    } else {
      auto* v = new TVorbisOut(owner.get());
      v->SetFileName(argv[3]);
      v->SetCompression(static_cast<float>(std::atof(argv[7])));
      out = v;
    }
    out->SetInput(in);
  } else if (mode == "flac-dec" || mode == "ogg-dec") {
    TAuFileIn* in = mode == "flac-dec" ? static_cast<TAuFileIn*>(new TFLACIn(owner.get()))
                                       : static_cast<TAuFileIn*>(new TVorbisIn(owner.get()));
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
  std::printf("%.4f\n", *s);
  return 0;
}
