#include "platform/rtl/MPEGAudioFormat.h"

bool DecodeMPEGFrameHeader(uint32_t Header, TMPEGFrameHeader& H) {
  const int version = (Header >> 19) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  const int layerBits = (Header >> 17) & 3, index = (Header >> 12) & 15, rateIndex = (Header >> 10) & 3;
  if ((Header & 0xFFE00000u) != 0xFFE00000u || version == 1 || layerBits == 0 || index == 15 || rateIndex == 3)
    return false;
  static const int16_t Kbps[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static const int Rates[3] = {44100, 48000, 32000};
  H.Layer = 4 - layerBits;
  H.Lsf = version != 3;
  H.Kbps = Kbps[H.Lsf][H.Layer - 1][index];
  H.Rate = Rates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  H.Channels = ((Header >> 6) & 3) == 3 ? 1 : 2;
  H.SamplesPerFrame = H.Layer == 1 ? 384 : H.Layer == 3 && H.Lsf ? 576 : 1152;
  const int padding = (Header >> 9) & 1;
  const int64_t bps = H.Kbps * int64_t{1000};
  if (H.Kbps == 0)
    H.Bytes = 0;
  else if (H.Layer == 1)
    H.Bytes = static_cast<int>((12 * bps / H.Rate + padding) * 4);
  else
    H.Bytes = static_cast<int>(H.SamplesPerFrame / 8 * bps / H.Rate + padding);
  return true;
}
