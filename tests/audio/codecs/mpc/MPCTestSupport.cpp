#include "MPCTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace testsupport;

namespace MPCTests {

std::string MakeRaw(const TTempDir& Dir, const std::string& Name, int Bits, int Channels, int Rate, double Seconds,
                    double Level) {
  std::string synth = std::to_string(Seconds) + " sine 440 sine 660";
  if (Channels > 2) synth += " sine 880";
  char vol[32];
  std::snprintf(vol, sizeof vol, "%.6f", Level);
  return SynthRaw(Dir.Path(Name), Bits, Channels, Rate, synth + " vol " + vol);
}

std::string RawToWav(const std::string& Raw, int Bits, int Channels, int Rate) {
  const std::string wav = Raw + ".wav";
  Shell("sox " + SoxRawFormat(Bits, Channels, Rate) + " " + Quote(Raw) + " -t wavpcm " + Quote(wav));
  return wav;
}

std::string EncodeWithMpcenc(const std::string& Wav, const std::string& Out, double Quality,
                             const std::string& Extra) {
  char q[32];
  std::snprintf(q, sizeof q, "%.2f", Quality);
  Shell("mpcenc --silent --overwrite --quality " + std::string(q) + " " + Extra + " " + Quote(Wav) + " " +
        Quote(Out));
  return Out;
}

std::vector<int16_t> DecodeWithMpcdec(const std::string& Mpc) {
  const std::string raw = Mpc + ".mpcdec.raw";
  Shell("mpcdec -r " + Quote(Mpc) + " " + Quote(raw));
  return AsInt16(ReadFile(raw));
}

int64_t DeclaredLength(const std::string& Mpc) {
  std::string log;
  RunOk("mpcdec -i " + Quote(Mpc), &log);
  // "length: 0:03 (145530 samples)"
  const size_t at = log.find("length: ");
  const size_t open = at == std::string::npos ? at : log.find('(', at);
  const size_t close = open == std::string::npos ? open : log.find(" samples)", open);
  if (close == std::string::npos) {
    ADD_FAILURE() << "mpcdec -i tells no length:\n" << log;
    return -1;
  }
  return std::stoll(log.substr(open + 1, close - open - 1));
}

Decoded DecodeWithOurs(const std::string& Mpc, uint32_t Bits, int64_t StartSample, int64_t EndSample) {
  Decoded d;
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TMPCIn(owner.get());
  auto* out = new TCollectOut(owner.get());
  in->SetFileName(Mpc);
  in->SetOutBitsPerSample(Bits);
  d.Rate = in->SampleRate();
  d.Channels = in->Channels();
  d.Bits = in->BitsPerSample();
  d.Size = in->Size();
  in->SetStartSample(StartSample);
  in->SetEndSample(EndSample);
  out->SetInput(in);
  out->BlockSize = 10000;  // not a multiple of any frame size
  d.Error = RunOutput(*out);
  d.Data = std::move(out->Data);
  return d;
}

std::string EncodeWithOurs(const std::string& Raw, const std::string& Out, int Bits, int Channels, int Rate,
                           float Quality, const TAPEv2Tags* Tags, int64_t DeclaredSize) {
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TRawIn(owner.get(), Bits, Channels, Rate);
  in->SetFileName(Raw);
  in->DeclaredSize = DeclaredSize;
  in->MaxChunk = 6000;
  auto* out = new TMPCOut(owner.get());
  out->SetFileName(Out);
  out->SetQuality(Quality);
  if (Tags) out->SetAPEv2Tags(*Tags);
  out->SetInput(in);
  return RunOutput(*out);
}

std::vector<uint8_t> MakeSV7(uint32_t Frames, uint32_t LastFrameSamples, bool Gapless, int RateIndex) {
  // Stream version 7 is read as 32-bit little-endian words, each from its top bit down.
  std::vector<bool> bits;
  auto put = [&bits](uint32_t V, int N) {
    for (int i = N - 1; i >= 0; --i) bits.push_back((V >> i) & 1);
  };
  put(0x072B504D, 32);            // "MP+" and version 7, as the first word
  put(Frames, 32);
  put(0, 1);                      // intensity stereo
  put(0, 1);                      // mid/side stereo
  put(1, 6);                      // highest band
  put(10, 4);                     // profile
  put(0, 2);                      // link
  put(uint32_t(RateIndex), 2);
  put(0, 16);                     // peak level
  put(0, 32);                     // title gain and peak
  put(0, 32);                     // album gain and peak
  put(Gapless ? 1 : 0, 1);
  put(LastFrameSamples, 11);
  put(0, 1);                      // fast seeking
  put(0, 19);
  put(0x71, 8);                   // encoder version
  for (uint32_t f = 0; f < Frames; ++f) {
    put(10, 20);                  // the frame's length in bits
    put(0, 4);                    // band 0: no resolution, left
    put(0, 4);                    // and right
    put(1, 1);                    // band 1: the same resolution as band 0 (Huffman "1")
    put(1, 1);
  }
  while (bits.size() % 32) bits.push_back(false);
  std::vector<uint8_t> out;
  for (size_t w = 0; w < bits.size(); w += 32) {
    uint32_t v = 0;
    for (size_t i = 0; i < 32; ++i) v = (v << 1) | (bits[w + i] ? 1u : 0u);
    for (int k = 0; k < 4; ++k) out.push_back(uint8_t(v >> (8 * k)));
  }
  return out;
}

}  // namespace MPCTests
