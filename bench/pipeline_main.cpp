// Pulls a raw PCM file through a file input, a pass-through converter and an output
// that discards its blocks, on the output's worker thread, and prints the seconds it
// took and the bytes it moved.

#include <cstdio>
#include <string>

#include "bench/BenchSupport.h"
#include "tests/support/TestComponents.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s file.raw [block-bytes] [copy]\n", argv[0]);
    return 2;
  }
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TRawIn(owner.get(), 16, 2, 44100);
  const uint32_t block = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 1 << 16;
  in->MaxChunk = block;
  in->SetFileName(argv[1]);
  auto* conv = new TPassConverter(owner.get());
  conv->SetInput(in);
  auto* out = new TCollectOut(owner.get());
  out->Keep = false;
  // By default the output drops each block as it comes; "copy" makes it copy every
  // block into a buffer of its own first, as encoders do.
  out->Discard = !(argc > 3 && std::string(argv[3]) == "copy");
  out->BlockSize = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 1 << 16;
  out->SetInput(conv);
  const std::optional<double> s = TimedRun(out);
  if (!s) return 1;
  std::printf("%.4f %lld\n", *s, static_cast<long long>(out->BytesSeen.load()));
  return 0;
}
