#include "audio/io/TSL_Adpcm.h"

#include <algorithm>
#include <climits>

#include "platform/rtl/ByteOrder.h"

const int16_t ImaStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

const int8_t ImaIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

const int16_t MsAdpcmAdaptationTable[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                            768, 614, 512, 409, 307, 230, 230, 230};

namespace {

// One IMA code applied to a channel's predictor and step index. The predictor
// stays within -32767..32767, so it always negates safely.
inline void ImaApply(int32_t& Predictor, int32_t& Index, uint32_t Code) {
  const int32_t step = ImaStepTable[Index];
  int32_t diff = step >> 3;
  if (Code & 4) diff += step;
  if (Code & 2) diff += step >> 1;
  if (Code & 1) diff += step >> 2;
  Predictor += (Code & 8) ? -diff : diff;
  Predictor = std::clamp(Predictor, -32767, 32767);
  Index = std::clamp(Index + ImaIndexTable[Code], 0, 88);
}

// Decoded deltas grow by up to three times per code; this bound keeps every
// product in 32 bits whatever a block header says.
constexpr int32_t MsDeltaLimit = INT32_MAX / 768;

struct TMsChannel {
  int32_t Coef1, Coef2, Delta, Sample1, Sample2;

  int16_t Apply(uint32_t Code) {
    const int64_t predicted = (static_cast<int64_t>(Sample1) * Coef1 + static_cast<int64_t>(Sample2) * Coef2) / 256;
    const int64_t signedCode = Code >= 8 ? static_cast<int64_t>(Code) - 16 : Code;
    const int32_t v = static_cast<int32_t>(std::clamp<int64_t>(predicted + signedCode * Delta, -32768, 32767));
    Delta = static_cast<int32_t>(static_cast<int64_t>(Delta) * MsAdpcmAdaptationTable[Code] / 256);
    Delta = std::clamp(Delta, 16, MsDeltaLimit);
    Sample2 = Sample1;
    Sample1 = v;
    return static_cast<int16_t>(v);
  }
};

}  // namespace

int32_t ImaSamplesPerBlock(int32_t BlockAlign, int32_t Channels) {
  if (Channels == 1) return BlockAlign > 4 ? 2 * (BlockAlign - 4) + 1 : 0;
  if (Channels == 2) return BlockAlign >= 16 && (BlockAlign - 8) % 8 == 0 ? BlockAlign - 8 + 1 : 0;
  return 0;
}

int32_t ImaDecodeBlock(const uint8_t* Block, int32_t Bytes, int32_t Channels, int16_t* Out,
                       int32_t MaxFrames) {
  if ((Channels != 1 && Channels != 2) || Bytes < 4 * Channels) return -1;
  int32_t pred[2], index[2];
  for (int32_t c = 0; c < Channels; ++c) {
    pred[c] = static_cast<int16_t>(GetLE16(Block + 4 * c));
    index[c] = Block[4 * c + 2];
    if (index[c] > 88) return -1;
  }
  if (MaxFrames <= 0) return 0;
  for (int32_t c = 0; c < Channels; ++c) Out[c] = static_cast<int16_t>(pred[c]);
  // The header sample may be -32768; decoding goes on from the clamped value.
  for (int32_t c = 0; c < Channels; ++c) pred[c] = std::max(pred[c], -32767);
  int32_t frames = 1;
  if (Channels == 1) {
    for (int32_t i = 4; i < Bytes && frames < MaxFrames; ++i) {
      const uint32_t b = Block[i];
      ImaApply(pred[0], index[0], b & 15);
      Out[frames++] = static_cast<int16_t>(pred[0]);
      if (frames == MaxFrames) break;
      ImaApply(pred[0], index[0], b >> 4);
      Out[frames++] = static_cast<int16_t>(pred[0]);
    }
    return frames;
  }
  // Stereo: groups of 4 bytes per channel, 8 codes each; only whole groups.
  const int32_t groups = (Bytes - 8) / 8;
  for (int32_t g = 0; g < groups && frames < MaxFrames; ++g) {
    const int32_t n = std::min(8, MaxFrames - frames);
    for (int32_t c = 0; c < 2; ++c) {
      const uint8_t* src = Block + 8 + 8 * g + 4 * c;
      int16_t* dst = Out + 2 * frames + c;
      for (int32_t k = 0; k < n; ++k) {
        const uint32_t code = (k & 1) ? src[k >> 1] >> 4 : src[k >> 1] & 15;
        ImaApply(pred[c], index[c], code);
        dst[2 * k] = static_cast<int16_t>(pred[c]);
      }
    }
    frames += n;
  }
  return frames;
}

namespace {

// One sample to its code, updating the channel as the decoder will. Written
// without data-dependent branches: the codes of real audio are unpredictable.
inline uint32_t ImaEncodeSample(int32_t Sample, int32_t& Predictor, int32_t& Index) {
  const int32_t step = ImaStepTable[Index];
  int32_t d = Sample - Predictor;
  const uint32_t negative = d < 0;
  d = negative ? -d : d;
  int32_t diff = step >> 3;
  uint32_t code = 0;
  int32_t m = -static_cast<int32_t>(d >= step);
  code |= 4 & m;
  d -= step & m;
  diff += step & m;
  const int32_t half = step >> 1;
  m = -static_cast<int32_t>(d >= half);
  code |= 2 & m;
  d -= half & m;
  diff += half & m;
  const int32_t quarter = step >> 2;
  m = -static_cast<int32_t>(d >= quarter);
  code |= 1 & m;
  diff += quarter & m;
  Predictor += negative ? -diff : diff;
  Predictor = Predictor < -32767 ? -32767 : Predictor > 32767 ? 32767 : Predictor;
  // The index table is the same for both signs.
  Index += ImaIndexTable[code];
  Index = Index < 0 ? 0 : Index > 88 ? 88 : Index;
  return code | negative << 3;
}

}  // namespace

void ImaEncodeBlock(const int16_t* In, int32_t Channels, int32_t BlockSize, TImaChannelState* State,
                    uint8_t* Block) {
  const int32_t codes = ImaSamplesPerBlock(BlockSize, Channels) - 1;
  int32_t pred[2], index[2];
  for (int32_t c = 0; c < Channels; ++c) {
    pred[c] = In[c];
    index[c] = std::clamp(State[c].Index, 0, 88);
    PutLE16(Block + 4 * c, static_cast<uint16_t>(pred[c]));
    Block[4 * c + 2] = static_cast<uint8_t>(index[c]);
    Block[4 * c + 3] = 0;
    pred[c] = std::max(pred[c], -32767);
  }
  if (Channels == 1) {
    // Codes k and k + 1 share byte 4 + k / 2, the even one in the low nibble.
    const int16_t* src = In + 1;
    uint8_t* dst = Block + 4;
    for (int32_t k = 0; k < codes; k += 2, src += 2) {
      const uint32_t lo = ImaEncodeSample(src[0], pred[0], index[0]);
      const uint32_t hi = ImaEncodeSample(src[1], pred[0], index[0]);
      *dst++ = static_cast<uint8_t>(lo | hi << 4);
    }
  } else {
    // Groups of 8 codes per channel: 4 bytes left, then 4 bytes right. Both
    // channels go side by side, two independent chains.
    const int16_t* src = In + 2;
    uint8_t* dst = Block + 8;
    for (int32_t k = 0; k < codes; k += 8, dst += 8) {
      for (int32_t j = 0; j < 4; ++j, src += 4) {
        const uint32_t l0 = ImaEncodeSample(src[0], pred[0], index[0]);
        const uint32_t r0 = ImaEncodeSample(src[1], pred[1], index[1]);
        const uint32_t l1 = ImaEncodeSample(src[2], pred[0], index[0]);
        const uint32_t r1 = ImaEncodeSample(src[3], pred[1], index[1]);
        dst[j] = static_cast<uint8_t>(l0 | l1 << 4);
        dst[4 + j] = static_cast<uint8_t>(r0 | r1 << 4);
      }
    }
  }
  for (int32_t c = 0; c < Channels; ++c) {
    State[c].Predictor = pred[c];
    State[c].Index = index[c];
  }
}

int32_t MsAdpcmSamplesPerBlock(int32_t BlockAlign, int32_t Channels) {
  if ((Channels != 1 && Channels != 2) || BlockAlign < 7 * Channels) return 0;
  return (BlockAlign - 7 * Channels) * 2 / Channels + 2;
}

int32_t MsAdpcmDecodeBlock(const uint8_t* Block, int32_t Bytes, int32_t Channels,
                           const TMsAdpcmCoef* Coefs, int32_t NumCoefs, int16_t* Out,
                           int32_t MaxFrames) {
  if ((Channels != 1 && Channels != 2) || Bytes < 7 * Channels) return -1;
  TMsChannel ch[2];
  for (int32_t c = 0; c < Channels; ++c) {
    const int32_t predictor = Block[c];
    if (predictor >= NumCoefs) return -1;
    ch[c].Coef1 = Coefs[predictor].Coef1;
    ch[c].Coef2 = Coefs[predictor].Coef2;
    ch[c].Delta = static_cast<int16_t>(GetLE16(Block + Channels + 2 * c));
    ch[c].Sample1 = static_cast<int16_t>(GetLE16(Block + 3 * Channels + 2 * c));
    ch[c].Sample2 = static_cast<int16_t>(GetLE16(Block + 5 * Channels + 2 * c));
  }
  int32_t frames = 0;
  for (int32_t f = 0; f < 2 && frames < MaxFrames; ++f, ++frames)
    for (int32_t c = 0; c < Channels; ++c)
      Out[frames * Channels + c] = static_cast<int16_t>(f == 0 ? ch[c].Sample2 : ch[c].Sample1);
  const uint8_t* p = Block + 7 * Channels;
  const uint8_t* end = Block + Bytes;
  if (Channels == 1) {
    for (; p < end && frames < MaxFrames; ++p) {
      Out[frames++] = ch[0].Apply(*p >> 4);
      if (frames == MaxFrames) break;
      Out[frames++] = ch[0].Apply(*p & 15u);
    }
  } else {
    for (; p < end && frames < MaxFrames; ++p, ++frames) {
      Out[2 * frames] = ch[0].Apply(*p >> 4);
      Out[2 * frames + 1] = ch[1].Apply(*p & 15u);
    }
  }
  return frames;
}
