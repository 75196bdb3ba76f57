// Converts a WAV file into another WAV file through TWaveIn -> TWaveOut on the
// output's worker thread and prints the seconds the run took.
// Usage: bench_wave in.wav out.wav [pcm|ima] [block-size]

#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/io/TSL_Wave.h"
#include "bench/BenchSupport.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s in.wav out.wav [pcm|ima] [block-size]\n", argv[0]);
    return 2;
  }
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TWaveIn(owner.get());
  in->SetFileName(argv[1]);
  auto* out = new TWaveOut(owner.get());
  out->SetInput(in);
  out->SetFileName(argv[2]);
  if (argc > 3 && std::string(argv[3]) == "ima") out->SetWavType(wtDVIADPCM);
  if (argc > 4) out->SetBlockSize(static_cast<uint16_t>(std::atoi(argv[4])));
  const std::optional<double> s = TimedRun(out);
  if (!s) return 1;
  std::printf("%.4f\n", *s);
  return 0;
}
