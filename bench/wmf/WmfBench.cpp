// Decodes an MP3 or WMA file through the pipeline (TMP3In / TWMIn, an output on its
// worker thread writing raw 16-bit PCM to a file) and prints three figures:
// the seconds spent opening and measuring the file, the seconds of the conversion run,
// and the bytes written.
// Usage: bench_wmf in.mp3|in.wma out.raw

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/io/TSL_smpeg.h"
#include "tests/audio/core/TestComponents.h"

namespace {

class TRawFileOut : public TAuOutput {
public:
  using TAuOutput::TAuOutput;
  std::string Path;
  int64_t Written = 0;

protected:
  void Prepare() override {
    FInput->Init();
    FFd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (FFd < 0) throw EAuException("cannot create " + Path);
    FBlock.resize(1 << 16);
    Written = 0;
  }
  bool WriteBlock(bool) override {
    bool eof = false;
    const uint32_t n = FInput->FillBuffer(FBlock.data(), static_cast<uint32_t>(FBlock.size()), eof);
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

double Since(std::chrono::steady_clock::time_point T) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - T).count();
}

}  // namespace

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
  // As the application does: the file is measured when listed, then converted.
  in->CloseFile();
  const double open = Since(t0);
  auto* out = new TRawFileOut(owner.get());
  out->Path = argv[2];
  out->SetInput(in);
  bool done = false;
  out->OnDone = [&done](TComponent*) { done = true; };
  const auto t1 = std::chrono::steady_clock::now();
  out->Run();
  PumpUntil([&] { return done; }, 600000);
  const double run = Since(t1);
  if (!out->ExceptionMessage().empty()) {
    std::fprintf(stderr, "%s\n", out->ExceptionMessage().c_str());
    return 1;
  }
  std::printf("%.4f %.4f %lld\n", open, run, static_cast<long long>(out->Written));
  return 0;
}
