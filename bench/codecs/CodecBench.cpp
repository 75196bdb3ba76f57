// The driver of bench/codecs/codecs.sh: encodes a raw PCM file into FLAC or Ogg Vorbis
// through TRawIn -> TFLACOut / TVorbisOut, or decodes one through TFLACIn / TVorbisIn
// into a raw file, each on the output's worker thread as the program does it.
//   flac-enc in.raw out.flac bits channels rate level
//   ogg-enc  in.raw out.ogg  bits channels rate quality
//   flac-dec in.flac out.raw
//   ogg-dec  in.ogg  out.raw
// Prints the seconds the run took.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/codecs/flac/TSL_FLAC.h"
#include "audio/codecs/vorbis/TSL_Vorbis.h"
#include "tests/audio/core/TestComponents.h"

namespace {

// Writes every block it pulls to a file.
class TRawFileOut : public TAuOutput {
public:
  using TAuOutput::TAuOutput;
  std::string Path;
  uint32_t BlockSize = 1 << 16;

protected:
  void Prepare() override {
    FInput->Init();
    FFd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (FFd < 0) throw EAuException("cannot create " + Path);
    FBlock.resize(BlockSize);
  }
  bool WriteBlock(bool) override {
    bool eof = false;
    const uint32_t n = FInput->FillBuffer(FBlock.data(), BlockSize, eof);
    if (n > 0 && ::write(FFd, FBlock.data(), n) != static_cast<ssize_t>(n)) throw EAuException("write failed");
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
  std::printf("%.4f\n", s);
  return 0;
}
