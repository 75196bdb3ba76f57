// Driver of bench/codecs-wv-mp3/run.sh: encodes a raw 16-bit PCM file through our
// WavPack or MP3 output on the worker thread, as the program does, and prints the wall
// time of the whole run in seconds (library loading included).
//
//   WvMp3Bench wv  in.raw out.wv  channels rate fast|high|veryhigh
//   WvMp3Bench mp3 in.raw out.mp3 channels rate cbr KBPS | vbr QUALITY

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/codecs/mp3/TSL_LAME.h"
#include "audio/codecs/wavpack/TSL_WavPack.h"
#include "bench/BenchSupport.h"
#include "tests/support/TestComponents.h"

namespace {

TMP3BitRate BitRateOf(int Kbps) {
  for (int i = 0; i < 16; ++i)
    if (MP3BitRateKbps(uint8_t(i)) == uint32_t(Kbps)) return TMP3BitRate(i);
  std::fprintf(stderr, "no such bit rate: %d\n", Kbps);
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) {
    std::fprintf(stderr, "usage: %s wv|mp3 in.raw out channels rate mode [value]\n", argv[0]);
    return 2;
  }
  const std::string kind = argv[1], mode = argv[6];
  const int channels = std::atoi(argv[4]), rate = std::atoi(argv[5]);
  const auto t0 = std::chrono::steady_clock::now();
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, channels, rate));
  in->MaxChunk = 1 << 20;
  in->SetFileName(argv[2]);
  TComponentPtr<TAuTaggedFileOut> out;
  if (kind == "wv") {
    auto* wv = new TWVOut(nullptr);
    wv->SetCompressionLevel(mode == "veryhigh" ? wvclVeryHigh : mode == "high" ? wvclHigh : wvclFast);
    out.reset(wv);
  } else {
    // The program's MP3 settings: stereo mode, no bit reservoir.
    auto* mp3 = new TMP3Out(nullptr);
    mp3->SetMode(channels == 1 ? mmMono : mmStereo);
    if (mode == "vbr") {
      mp3->SetEnableVBR(true);
      mp3->SetVBRQuality(TMP3Quality(std::atoi(argv[7])));
      mp3->SetBitRate(mbr32);
    } else {
      mp3->SetBitRate(BitRateOf(std::atoi(argv[7])));
    }
    out.reset(mp3);
  }
  out->SetInput(in.get());
  out->SetFileName(argv[3]);
  if (!TimedRun(out.get())) return 1;
  std::printf("%.4f\n", Since(t0));
  return 0;
}
