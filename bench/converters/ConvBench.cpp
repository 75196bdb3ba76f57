// Times the converters on a raw 16-bit stereo 44100 Hz file: "rate" converts it to
// 48000 Hz (TACMConverter), "norm" normalises it (TNormalizer, store "file" or
// "memory"). The result is written to a file by an output's worker thread, as an
// encoder would. Prints the seconds the run took and the bytes written.

#include <cstdio>
#include <string>

#include "audio/io/TSL_Converters.h"
#include "bench/BenchSupport.h"
#include "tests/support/TestComponents.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s rate|norm in.raw out.raw [file|memory]\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[1];
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TRawIn(owner.get(), 16, 2, 44100);
  in->MaxChunk = 1 << 16;
  in->SetFileName(argv[2]);
  TAuInput* last = nullptr;
  if (mode == "rate") {
    auto* acm = new TACMConverter(owner.get());
    acm->SetInput(in);
    acm->SetOutSampleRate(48000);
    last = acm;
  } else if (mode == "norm") {
    auto* n = new TNormalizer(owner.get());
    n->SetInput(in);
    if (argc > 4 && std::string(argv[4]) == "memory") n->SetStoreMode(nsmMemory);
    last = n;
  } else {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  auto* out = new TRawFileOut(owner.get());
  out->Path = argv[3];
  out->SetInput(last);
  const std::optional<double> s = TimedRun(out);
  if (!s) return 1;
  std::printf("%.4f %lld\n", *s, static_cast<long long>(out->Written));
  return 0;
}
