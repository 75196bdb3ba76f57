#include "platform/codecs/mac/APEEncoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <type_traits>

// Every sum and product below wraps at 32 bits on purpose: decoders compute the same
// predictions with 32-bit integers, and a lossless stream needs the same bits, not the
// mathematically right ones. Unsigned arithmetic gives the wrap without undefined
// behaviour.

namespace MAC {

namespace {

inline int32_t Wrap(uint32_t V) { return static_cast<int32_t>(V); }
inline uint32_t U(int32_t V) { return static_cast<uint32_t>(V); }

// -1 for positive, +1 for negative values: the adaption direction of the format.
inline int32_t NegSign(int32_t V) { return (V < 0) - (V > 0); }

inline int16_t Saturate16(int32_t V) {
  return static_cast<int16_t>(std::clamp<int32_t>(V, INT16_MIN, INT16_MAX));
}

// ---------------------------------------------------------------------------
// CRC-32

struct TCrcTable {
  uint32_t T[256];
  constexpr TCrcTable() : T() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      T[i] = c;
    }
  }
};
constexpr TCrcTable CrcTable;

}  // namespace

uint32_t Crc32(const uint8_t* Data, size_t Bytes, uint32_t Crc) {
  Crc = ~Crc;
  for (size_t i = 0; i < Bytes; ++i) Crc = CrcTable.T[(Crc ^ Data[i]) & 0xFF] ^ (Crc >> 8);
  return ~Crc;
}

void SplitStereo(int32_t First, int32_t Second, int32_t& X, int32_t& Y) {
  Y = Second - First;
  X = First + Y / 2;  // truncating division, as the decoder undoes it
}

// ---------------------------------------------------------------------------
// The range coder (a carry-less byte-wise range coder with 32-bit state).

namespace {

constexpr uint32_t TopValue = 1u << 31;
constexpr uint32_t ShiftBits = 23;
constexpr uint32_t BottomValue = TopValue >> 8;

// The fixed model of the overflow symbol: 21 coded shares, then 43 of width 1 up to
// the top of the 16-bit range. Symbol 63 escapes to a plain 32-bit overflow.
constexpr uint16_t SymbolTotal[22] = {0,     19578, 36160, 48417, 56323, 60899, 63265, 64435,
                                      64971, 65232, 65351, 65416, 65447, 65466, 65476, 65482,
                                      65485, 65488, 65490, 65491, 65492, 65493};
constexpr uint32_t SymbolCount = 64;

}  // namespace

class TRangeEncoder {
public:
  void Start(std::vector<uint8_t>* Out) {
    FOut = Out;
    FLow = 0;
    FRange = TopValue;
    FBuffer = 0;
    FHelp = 0;
  }

  // One symbol of the overflow model.
  void EncodeSymbol(uint32_t Symbol) {
    uint32_t total, width;
    if (Symbol < 21) {
      total = SymbolTotal[Symbol];
      width = SymbolTotal[Symbol + 1] - total;
    } else {
      total = 65472 + Symbol;  // 65493 for symbol 21, 65535 for symbol 63
      width = 1;
    }
    Normalize();
    const uint32_t t = FRange >> 16;
    FRange = t * width;
    FLow += t * total;
  }

  // Value (below 1 << Bits) with a flat distribution.
  void EncodeBits(uint32_t Value, uint32_t Bits) {
    Normalize();
    FRange >>= Bits;
    FLow += FRange * Value;
  }

  // Value below Total with a flat distribution.
  void EncodeBelow(uint32_t Value, uint32_t Total) {
    Normalize();
    const uint32_t t = FRange / Total;
    FRange = t;
    FLow += t * Value;
  }

  // The last bytes: enough for the decoder, which reads ahead, to finish the frame.
  void Finish() {
    Normalize();
    const uint32_t last = (FLow >> ShiftBits) + 1;
    if (last > 0xFF) {
      Put(FBuffer + 1);
      for (; FHelp; --FHelp) Put(0);
    } else {
      Put(FBuffer);
      for (; FHelp; --FHelp) Put(0xFF);
    }
    Put(last);
    Put(0);
    Put(0);
    Put(0);
  }

private:
  void Put(uint32_t Byte) { FOut->push_back(static_cast<uint8_t>(Byte)); }

  void Normalize() {
    while (FRange <= BottomValue) {
      if (FLow < (0xFFu << ShiftBits)) {
        Put(FBuffer);
        for (; FHelp; --FHelp) Put(0xFF);
        FBuffer = FLow >> ShiftBits;
      } else if (FLow & TopValue) {
        Put(FBuffer + 1);
        for (; FHelp; --FHelp) Put(0);
        FBuffer = FLow >> ShiftBits;
      } else {
        ++FHelp;  // a 0xFF byte that a later carry may still turn into 0x00
      }
      FLow = (FLow << 8) & (TopValue - 1);
      FRange <<= 8;
    }
  }

  std::vector<uint8_t>* FOut = nullptr;
  uint32_t FLow = 0;
  uint32_t FRange = 0;
  uint32_t FBuffer = 0;
  uint32_t FHelp = 0;
};

namespace {

// The adaptive split of a value into overflow and base: the pivot follows a running
// sum of recent magnitudes.
struct TRiceState {
  uint32_t KSum;
  void Reset() { KSum = (1u << 10) * 16; }
};

void EncodeValue(TRangeEncoder& Coder, TRiceState& State, int32_t Value) {
  // The zig-zag form of the most negative value needs 33 bits.
  if (Value == INT32_MIN) throw TEncodeError();
  // Zig-zag: 1, -1, 2, -2 ... become 1, 2, 3, 4 ...
  const uint32_t x = Value > 0 ? U(Value) * 2u - 1u : (0u - U(Value)) * 2u;
  const uint32_t pivot = std::max<uint32_t>(State.KSum >> 5, 1);
  State.KSum += (x + 1) / 2 - ((State.KSum + 16) >> 5);

  const uint32_t overflow = x / pivot;
  const uint32_t base = x - overflow * pivot;
  if (overflow < SymbolCount - 1) {
    Coder.EncodeSymbol(overflow);
  } else {
    Coder.EncodeSymbol(SymbolCount - 1);
    Coder.EncodeBits((overflow >> 16) & 0xFFFF, 16);
    Coder.EncodeBits(overflow & 0xFFFF, 16);
  }
  if (pivot < 0x10000) {
    Coder.EncodeBelow(base, pivot);
  } else {
    // The range coder takes totals of 16 bits: the base goes in two parts.
    uint32_t bits = 0;
    while ((pivot >> bits) > 0xFFFF) ++bits;
    const uint32_t split = 1u << bits;
    Coder.EncodeBelow(base / split, pivot / split + 1);
    Coder.EncodeBelow(base % split, split);
  }
}

// ---------------------------------------------------------------------------
// Neural-network filter: an adaptive FIR over the (saturated) signal history whose
// coefficients move by the sign of the error, in steps scaled by how the signal
// compares with its running average.

class TNNFilter {
public:
  TNNFilter(int32_t Order, int32_t Shift)
      : FOrder(Order),
        FShift(Shift),
        FRound(int64_t{1} << (Shift - 1)),
        FCoeffs(static_cast<size_t>(Order)),
        FInput(static_cast<size_t>(Order) + Window),
        FAdapt(static_cast<size_t>(Order) + Window) {}

  void Reset() {
    std::fill(FCoeffs.begin(), FCoeffs.end(), int16_t{0});
    std::fill(FInput.begin(), FInput.end(), int16_t{0});
    std::fill(FAdapt.begin(), FAdapt.end(), int16_t{0});
    FPos = static_cast<size_t>(FOrder);
    FAvg = 0;
  }

  int32_t Compress(int32_t In) {
    const size_t n = static_cast<size_t>(FOrder);
    const int16_t* input = FInput.data() + FPos - n;
    const int16_t* adapt = FAdapt.data() + FPos - n;
    int16_t* c = FCoeffs.data();

    uint32_t dot = 0;
    for (size_t i = 0; i < n; ++i) dot += U(c[i] * input[i]);
    const int32_t prediction = static_cast<int32_t>((static_cast<int64_t>(Wrap(dot)) + FRound) >> FShift);
    const int32_t out = Wrap(U(In) - U(prediction));

    if (out > 0) {
      for (size_t i = 0; i < n; ++i) c[i] = static_cast<int16_t>(c[i] - adapt[i]);
    } else if (out < 0) {
      for (size_t i = 0; i < n; ++i) c[i] = static_cast<int16_t>(c[i] + adapt[i]);
    }

    FInput[FPos] = Saturate16(In);
    const uint32_t absIn = In < 0 ? 0u - U(In) : U(In);
    int16_t step = 0;
    if (absIn != 0) {
      const int32_t m = 8 << ((static_cast<int64_t>(absIn) > FAvg * int64_t{3}) +
                              (absIn > U(FAvg + FAvg / 3)));
      step = static_cast<int16_t>(NegSign(In) * m);
    }
    FAdapt[FPos] = step;
    FAvg += Wrap(absIn - U(FAvg)) / 16;
    FAdapt[FPos - 1] = static_cast<int16_t>(FAdapt[FPos - 1] >> 1);
    FAdapt[FPos - 2] = static_cast<int16_t>(FAdapt[FPos - 2] >> 1);
    FAdapt[FPos - 8] = static_cast<int16_t>(FAdapt[FPos - 8] >> 1);

    if (++FPos == FInput.size()) {
      std::memmove(FInput.data(), FInput.data() + FPos - n, n * sizeof(int16_t));
      std::memmove(FAdapt.data(), FAdapt.data() + FPos - n, n * sizeof(int16_t));
      FPos = n;
    }
    return out;
  }

private:
  static constexpr size_t Window = 4096;

  int32_t FOrder;
  int32_t FShift;
  int64_t FRound;
  std::vector<int16_t> FCoeffs;
  std::vector<int16_t> FInput;
  std::vector<int16_t> FAdapt;
  size_t FPos = 0;
  int32_t FAvg = 0;
};

// ---------------------------------------------------------------------------
// The predictor: a first-order filter on the channel and on its partner, then an
// adaptive 4-tap prediction from the channel's own past plus a 5-tap one from the
// partner (the other channel of the block pair; zero for mono).
//
// Decoders keep this stage in 32-bit arithmetic, except for 24-bit stereo at level
// 5000, where they keep 64 bits ("wide"); the two agree until a sum no longer fits in
// 32 bits, which only loud 24-bit material reaches.

template <class T>
class TPredictor {
public:
  void Reset() {
    FLastA = FFilterA = FFilterB = 0;
    FDA.fill(0);
    FAA.fill(0);
    FDB.fill(0);
    FAB.fill(0);
    FCA = {360, 317, -109, 98};
    FCB.fill(0);
  }

  // The residual; for the 64-bit variant it may not fit in 32 bits.
  int64_t Compress(int32_t In, int32_t Partner) {
    FDA[3] = FDA[2];
    FDA[2] = FDA[1];
    FDA[1] = Sub(FLastA, FDA[0]);
    FDA[0] = FLastA;
    FAA[3] = FAA[2];
    FAA[2] = FAA[1];
    FAA[1] = Sign(FDA[1]);
    FAA[0] = Sign(FDA[0]);
    const T predA = Add(Add(Mul(FDA[0], FCA[0]), Mul(FDA[1], FCA[1])), Add(Mul(FDA[2], FCA[2]), Mul(FDA[3], FCA[3])));

    const T b = Sub(Partner, ScaledLast(FFilterB));
    FFilterB = Partner;
    FDB[4] = FDB[3];
    FDB[3] = FDB[2];
    FDB[2] = FDB[1];
    FDB[1] = Sub(b, FDB[0]);
    FDB[0] = b;
    FAB[4] = FAB[3];
    FAB[3] = FAB[2];
    FAB[2] = FAB[1];
    FAB[1] = Sign(FDB[1]);
    FAB[0] = Sign(FDB[0]);
    const T predB = Add(Add(Add(Mul(FDB[0], FCB[0]), Mul(FDB[1], FCB[1])), Add(Mul(FDB[2], FCB[2]), Mul(FDB[3], FCB[3]))),
                        Mul(FDB[4], FCB[4]));

    const T a = Sub(In, ScaledLast(FFilterA));
    FFilterA = In;
    const T out = Sub(a, static_cast<T>(Add(predA, static_cast<T>(predB >> 1)) >> 10));
    FLastA = a;

    const T sign = Sign(out);
    if (sign != 0) {
      for (int i = 0; i < 4; ++i) FCA[i] = Add(FCA[i], FAA[i] * sign);
      for (int i = 0; i < 5; ++i) FCB[i] = Add(FCB[i], FAB[i] * sign);
    }
    return out;
  }

private:
  using TU = std::make_unsigned_t<T>;
  static T Add(T A, T B) { return static_cast<T>(static_cast<TU>(A) + static_cast<TU>(B)); }
  static T Sub(T A, T B) { return static_cast<T>(static_cast<TU>(A) - static_cast<TU>(B)); }
  static T Mul(T A, T B) { return static_cast<T>(static_cast<TU>(A) * static_cast<TU>(B)); }
  static T Sign(T V) { return (V < 0) - (V > 0); }
  // x * 31 >> 5, the first-order filter of both inputs.
  static T ScaledLast(T V) { return Mul(V, 31) >> 5; }

  T FLastA = 0;    // the channel after the first-order filter, one block back
  T FFilterA = 0;  // the channel's previous input
  T FFilterB = 0;  // the partner's previous input
  std::array<T, 4> FDA{}, FAA{}, FCA{};
  std::array<T, 5> FDB{}, FAB{}, FCB{};
};

// The filter cascade of each level, applied from the first entry on; the decoder
// undoes them in reverse order.
struct TFilterStage {
  int32_t Order, Shift;
};
constexpr TFilterStage NoFilter{0, 0};
constexpr TFilterStage LevelFilters[5][3] = {
    {NoFilter, NoFilter, NoFilter},    // 1000 fast
    {{16, 11}, NoFilter, NoFilter},    // 2000 normal
    {{64, 11}, NoFilter, NoFilter},    // 3000 high
    {{256, 13}, {32, 10}, NoFilter},   // 4000 extra high
    {{1280, 15}, {256, 13}, {16, 11}}  // 5000 insane
};

}  // namespace

class TChannelCoder {
public:
  TChannelCoder(int32_t Level, bool WidePredictor) : FWide(WidePredictor) {
    for (const TFilterStage& f : LevelFilters[Level / 1000 - 1])
      if (f.Order > 0) FFilters.emplace_back(f.Order, f.Shift);
  }

  void Reset() {
    FNarrow.Reset();
    FWidePredictor.Reset();
    for (TNNFilter& f : FFilters) f.Reset();
    FRice.Reset();
  }

  void Encode(TRangeEncoder& Coder, int32_t In, int32_t Partner) {
    const int64_t r = FWide ? FWidePredictor.Compress(In, Partner) : FNarrow.Compress(In, Partner);
    if (r != static_cast<int32_t>(r)) throw TEncodeError();
    int32_t v = static_cast<int32_t>(r);
    for (TNNFilter& f : FFilters) v = f.Compress(v);
    EncodeValue(Coder, FRice, v);
  }

private:
  bool FWide;
  TPredictor<int32_t> FNarrow;
  TPredictor<int64_t> FWidePredictor;
  std::vector<TNNFilter> FFilters;
  TRiceState FRice{};
};

// ---------------------------------------------------------------------------

TFrameEncoder::TFrameEncoder(int32_t CompressionLevel, int32_t BitsPerSample, int32_t Channels)
    : FBits(BitsPerSample), FChannels(Channels) {
  if (CompressionLevel < 1000 || CompressionLevel > 5000 || CompressionLevel % 1000 != 0)
    throw std::invalid_argument("compression level");
  if (BitsPerSample != 8 && BitsPerSample != 16 && BitsPerSample != 24) throw std::invalid_argument("bits");
  if (Channels != 1 && Channels != 2) throw std::invalid_argument("channels");
  const bool wide = BitsPerSample == 24 && Channels == 2 && CompressionLevel == 5000;
  FX = std::make_unique<TChannelCoder>(CompressionLevel, wide);
  if (Channels == 2) FY = std::make_unique<TChannelCoder>(CompressionLevel, wide);
  FCoder = std::make_unique<TRangeEncoder>();
}

TFrameEncoder::~TFrameEncoder() = default;

void TFrameEncoder::Unpack(const uint8_t* Pcm, uint32_t Blocks) {
  const size_t samples = size_t{Blocks} * static_cast<size_t>(FChannels);
  auto sample = [&](size_t i) -> int32_t {
    switch (FBits) {
      case 8:
        return int32_t{Pcm[i]} - 128;
      case 16:
        return static_cast<int16_t>(static_cast<uint16_t>(Pcm[2 * i] | (Pcm[2 * i + 1] << 8)));
      default: {
        const uint8_t* p = Pcm + 3 * i;
        return Wrap((uint32_t{p[0]} << 8) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 24)) >> 8;
      }
    }
  };
  FDataX.resize(Blocks);
  if (FChannels == 1) {
    for (size_t i = 0; i < samples; ++i) FDataX[i] = sample(i);
    return;
  }
  FDataY.resize(Blocks);
  for (uint32_t b = 0; b < Blocks; ++b) SplitStereo(sample(2 * size_t{b}), sample(2 * size_t{b} + 1), FDataX[b], FDataY[b]);
}

void TFrameEncoder::EncodeFrame(const uint8_t* Pcm, uint32_t Blocks, std::vector<uint8_t>& Out) {
  const size_t bytes = size_t{Blocks} * static_cast<size_t>(FChannels) * static_cast<size_t>(FBits / 8);
  // The top bit of the stored CRC announces frame flags; this encoder sets none.
  const uint32_t crc = Crc32(Pcm, bytes) >> 1;
  Out.push_back(static_cast<uint8_t>(crc >> 24));
  Out.push_back(static_cast<uint8_t>(crc >> 16));
  Out.push_back(static_cast<uint8_t>(crc >> 8));
  Out.push_back(static_cast<uint8_t>(crc));

  Unpack(Pcm, Blocks);
  FX->Reset();
  if (FY) FY->Reset();
  FCoder->Start(&Out);
  if (FChannels == 1) {
    for (uint32_t b = 0; b < Blocks; ++b) FX->Encode(*FCoder, FDataX[b], 0);
  } else {
    // Y looks at the previous block's X; X at this block's Y.
    int32_t lastX = 0;
    for (uint32_t b = 0; b < Blocks; ++b) {
      FY->Encode(*FCoder, FDataY[b], lastX);
      FX->Encode(*FCoder, FDataX[b], FDataY[b]);
      lastX = FDataX[b];
    }
  }
  FCoder->Finish();
}

}  // namespace MAC
