// Decodes an MP3 or WMA file through the pipeline (TMP3In / TWMIn, an output on its
// worker thread writing raw 16-bit PCM to a file) and prints three figures:
// the seconds spent opening the file, the seconds of the conversion run, and the bytes
// written.
// Usage: bench_wmf in.mp3|in.wma out.raw

#include <chrono>
#include <cstdio>
#include <string>

#include "audio/io/TSL_smpeg.h"
#include "bench/BenchSupport.h"
#include "tests/support/TestComponents.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s in.mp3|in.wma out.raw\n", argv[0]);
    return 2;
  }
  const std::string name = argv[1];
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  TWMIn* in = name.size() > 4 && name.substr(name.size() - 4) == ".mp3" ? new TMP3In(owner.get())
                                                                         : new TWMIn(owner.get());
  const auto t0 = std::chrono::steady_clock::now();
  in->SetFileName(name);
  if (!in->Valid()) {
    std::fprintf(stderr, "not valid: %s\n", argv[1]);
    return 1;
  }
  // As the application does: the file is opened when listed, then converted.
  in->CloseFile();
  const double open = Since(t0);
  auto* out = new TRawFileOut(owner.get());
  out->Path = argv[2];
  out->SetInput(in);
  const std::optional<double> run = TimedRun(out);
  if (!run) return 1;
  std::printf("%.4f %.4f %lld\n", open, *run, static_cast<long long>(out->Written));
  return 0;
}
