// Times the converters on a raw 16-bit stereo 44100 Hz file: "rate" converts it to
// 48000 Hz (TACMConverter), "norm" normalises it (TNormalizer, store "file" or
// "memory"). The result is written to a file by an output's worker thread, as an
// encoder would. Prints the seconds the run took and the bytes written.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/io/TSL_Converters.h"
#include "tests/audio/core/TestComponents.h"

namespace {

// Writes every block it pulls to a file descriptor.
class TRawFileOut : public TAuOutput {
public:
  using TAuOutput::TAuOutput;
  std::string Path;
  uint32_t BlockSize = 1 << 16;
  int64_t Written = 0;

protected:
  void Prepare() override {
    FInput->Init();
    FFd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (FFd < 0) throw EAuException("cannot create " + Path);
    FBlock.resize(BlockSize);
    Written = 0;
  }
  bool WriteBlock(bool) override {
    bool eof = false;
    const uint32_t n = FInput->FillBuffer(FBlock.data(), BlockSize, eof);
    if (n > 0 && ::write(FFd, FBlock.data(), n) != static_cast<ssize_t>(n)) throw EAuException("write failed");
    Written += n;
    return !eof && n > 0;
  }
  void Finish() override {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
    FInput->Flush();
  }

private:
  int FFd = -1;
  std::vector<uint8_t> FBlock;
};

}  // namespace

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
  bool done = false;
  out->OnDone = [&](TComponent*) { done = true; };
  const auto t0 = std::chrono::steady_clock::now();
  out->Run();
  while (!done) CheckSynchronize(1);
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (!out->ExceptionMessage().empty()) {
    std::fprintf(stderr, "failed: %s\n", out->ExceptionMessage().c_str());
    return 1;
  }
  std::printf("%.4f %lld\n", s, static_cast<long long>(out->Written));
  return 0;
}
