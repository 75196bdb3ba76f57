// libFuzzer target for the frame coder alone. The first byte picks the layout:
//   bit 7 clear: the rest is one frame's bytes, decoded with the layout's settings;
//   bit 7 set:   the rest is samples, which must come back unchanged from encode and
//                decode (a crash here means the coder lost data).
#include "platform/codecs/tta/TTACodec.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace TTALib::Codec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 3) return 0;
  const uint32_t Channels = 1 + (Data[0] & 7);
  const uint32_t Bytes = 1 + ((Data[0] >> 3) & 3); // 4: the float format's coder
  const bool RoundTrip = Data[0] & 0x80;
  uint32_t Frames = 1 + (Data[1] | (Data[2] << 8)) % 4096;
  Data += 3;
  Size -= 3;
  FrameCoder Coder(Channels, Bytes);
  std::vector<int32_t> Samples(size_t{Frames} * Channels);

  if (!RoundTrip) {
    std::vector<uint8_t> Frame(Data, Data + Size);
    Frame.resize(Size + 16, 0);
    (void)Coder.Decode(Frame.data(), Size, Frames, Samples.data());
    return 0;
  }
  Frames = static_cast<uint32_t>(Size / (4 * Channels));
  if (Frames == 0) return 0;
  Samples.resize(size_t{Frames} * Channels);
  const int Unused = 32 - 8 * static_cast<int>(Bytes);
  for (size_t I = 0; I < Samples.size(); ++I) {
    uint32_t V;
    std::memcpy(&V, Data + 4 * I, 4);
    Samples[I] = static_cast<int32_t>(V << Unused) >> Unused;
  }
  std::vector<int32_t> Original = Samples;
  ByteBuffer Out;
  Coder.Encode(Samples.data(), Frames, Out);
  std::vector<uint8_t> Frame(Out.Data(), Out.Data() + Out.Size());
  Frame.resize(Out.Size() + 16, 0);
  std::vector<int32_t> Back(Original.size());
  if (!Coder.Decode(Frame.data(), Out.Size(), Frames, Back.data()) || Back != Original) abort();
  return 0;
}
