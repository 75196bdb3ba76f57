#include "TTACodec.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "TTALib.h"

namespace TTALib::Codec {

namespace {

// ---- CRC32 (IEEE 802.3, reflected), eight bytes per step ----------------------------

struct CrcTables {
  uint32_t T[8][256];
  CrcTables() {
    for (uint32_t I = 0; I < 256; ++I) {
      uint32_t C = I;
      for (int B = 0; B < 8; ++B) C = (C & 1) ? (C >> 1) ^ 0xEDB88320u : C >> 1;
      T[0][I] = C;
    }
    for (uint32_t I = 0; I < 256; ++I)
      for (int S = 1; S < 8; ++S) T[S][I] = (T[S - 1][I] >> 8) ^ T[0][T[S - 1][I] & 0xFF];
  }
};
const CrcTables Tables;

inline uint32_t Load32(const uint8_t* P) {
  uint32_t V;
  std::memcpy(&V, P, 4);
  if constexpr (std::endian::native == std::endian::big) V = __builtin_bswap32(V);
  return V;
}
inline uint64_t Load64(const uint8_t* P) {
  uint64_t V;
  std::memcpy(&V, P, 8);
  if constexpr (std::endian::native == std::endian::big) V = __builtin_bswap64(V);
  return V;
}
inline void Store32(uint8_t* P, uint32_t V) {
  if constexpr (std::endian::native == std::endian::big) V = __builtin_bswap32(V);
  std::memcpy(P, &V, 4);
}
inline uint16_t Load16(const uint8_t* P) { return static_cast<uint16_t>(P[0] | (P[1] << 8)); }
inline void Store16(uint8_t* P, uint16_t V) {
  P[0] = static_cast<uint8_t>(V);
  P[1] = static_cast<uint8_t>(V >> 8);
}

// ---- Rice parameter adaptation ------------------------------------------------------

// 2^(K+4), saturating at 2^31 as the reference tables do.
inline uint32_t Shift16(uint32_t K) { return 1u << std::min(K + 4, 31u); }

// Adapts a Rice parameter to Value when Do is set. Whether a value takes the second
// parameter is as good as random, so Do only masks the sum; the parameter itself
// changes seldom, and a well-predicted branch keeps it off the critical path.
inline void AdaptIf(uint32_t Do, uint32_t& K, uint32_t& Sum, uint32_t Value) {
  uint32_t S = Sum + ((Value - (Sum >> 4)) & (0u - Do));
  Sum = S;
  if (Do & (K > 0) & (S < Shift16(K))) [[unlikely]]
    --K;
  else if (Do & (K < 31) & (S > Shift16(K + 1))) [[unlikely]]
    ++K;
}

constexpr uint32_t InitialK = 10;

// In the float format a residual whose unary part would pass this many bits is written
// as an escape (one more unary bit) and the 33-bit value, which bounds every sample's
// size; the integer format has no escape, for compatibility.
constexpr uint64_t EscapeUnary = 64;

// ---- the fixed predictor ------------------------------------------------------------

// x * (2^K - 1) / 2^K, rounded down; K 0 stands for "the previous sample".
template <int K>
inline uint32_t Predict(int32_t Last) {
  if constexpr (K == 0)
    return static_cast<uint32_t>(Last);
  else
    return static_cast<uint32_t>(static_cast<int32_t>((int64_t{Last} * ((1 << K) - 1)) >> K));
}

// ---- bit writer and reader (least significant bit first) -----------------------------

inline void Store64(uint8_t* P, uint64_t V) {
  if constexpr (std::endian::native == std::endian::big) V = __builtin_bswap64(V);
  std::memcpy(P, &V, 8);
}

// Writes whole bytes out after every call, without branches; needs 8 bytes of room
// past P.
struct BitWriter {
  uint8_t* P;
  uint64_t Acc = 0;
  uint32_t N = 0; // bits in Acc, below 8 between calls
  // Count <= 32 and Bits < 2^Count.
  inline void Put(uint32_t Bits, uint32_t Count) {
    Acc |= uint64_t{Bits} << N;
    N += Count;
    Store64(P, Acc);
    uint32_t Bytes = N >> 3;
    P += Bytes;
    Acc >>= Bytes * 8;
    N &= 7;
  }
  inline void Flush() {
    if (N > 0) *P++ = static_cast<uint8_t>(Acc);
    Acc = 0;
    N = 0;
  }
};

// Keeps 56 to 63 bits ready after every Refill, which never branches: a load past
// what is used only repeats bits already held. P may run up to 16 bytes past the last
// byte consumed.
struct BitReader {
  const uint8_t* P; // first byte not yet wholly in Cache
  uint64_t Cache = 0;
  uint32_t Count = 0; // bits of Cache not yet consumed
  inline void Refill() {
    Cache |= Load64(P) << Count;
    P += (63 - Count) >> 3;
    Count |= 56;
  }
  inline void Skip(uint32_t N) { // N <= Count, and below 64
    Cache >>= N;
    Count -= N;
  }
  uint64_t Consumed(const uint8_t* Base) const { return uint64_t(P - Base) * 8 - Count; }
};

} // namespace

uint32_t Crc32(const uint8_t* Data, size_t Size, uint32_t Crc) {
  uint32_t C = ~Crc;
  const auto& T = Tables.T;
  while (Size >= 8) {
    uint32_t A = Load32(Data) ^ C;
    uint32_t B = Load32(Data + 4);
    C = T[7][A & 0xFF] ^ T[6][(A >> 8) & 0xFF] ^ T[5][(A >> 16) & 0xFF] ^ T[4][A >> 24] ^
        T[3][B & 0xFF] ^ T[2][(B >> 8) & 0xFF] ^ T[1][(B >> 16) & 0xFF] ^ T[0][B >> 24];
    Data += 8;
    Size -= 8;
  }
  while (Size--) C = (C >> 8) ^ T[0][(C ^ *Data++) & 0xFF];
  return ~C;
}

void WriteHeader(const Header& H, uint8_t* Out) {
  std::memcpy(Out, "TTA1", 4);
  Store16(Out + 4, H.Format);
  Store16(Out + 6, H.Channels);
  Store16(Out + 8, H.Bits);
  Store32(Out + 10, H.SampleRate);
  Store32(Out + 14, H.DataLength);
  Store32(Out + 18, Crc32(Out, 18));
}

bool ReadHeader(const uint8_t* In, Header& H) {
  if (std::memcmp(In, "TTA1", 4) != 0) return false;
#ifndef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  if (Crc32(In, 18) != Load32(In + 18)) return false;
#endif
  H.Format = Load16(In + 4);
  H.Channels = Load16(In + 6);
  H.Bits = Load16(In + 8);
  H.SampleRate = Load32(In + 10);
  H.DataLength = Load32(In + 14);
  return true;
}

uint64_t Id3v2Size(const uint8_t* In, size_t Size) {
  if (Size < 10 || std::memcmp(In, "ID3", 3) != 0) return 0;
  if (In[3] == 0xFF || In[4] == 0xFF) return 0;
  uint64_t S = 0;
  for (int I = 6; I < 10; ++I) {
    if (In[I] & 0x80) return 0;
    S = (S << 7) | In[I];
  }
  return 10 + S + ((In[5] & 0x10) ? 10 : 0);
}

bool ValidFormat(uint32_t Format, uint32_t Bits, uint32_t Channels, uint32_t SampleRate) {
  if (Channels < 1 || Channels > TTA_MAX_CHANNELS) return false;
  if (SampleRate < 1 || SampleRate > TTA_MAX_SAMPLE_RATE) return false;
  if (Format == 1) return Bits >= 1 && Bits <= 24;
  if (Format == 3) return Bits == 32;
  return false;
}

// ---- frame coding -------------------------------------------------------------------

FrameCoder::FrameCoder(uint32_t Channels, uint32_t ByteSize)
    : FChannels(Channels), FByteSize(ByteSize), FState(Channels) {
  static constexpr int32_t Shifts[4] = {10, 9, 10, 12};
  FShift = Shifts[ByteSize - 1];
  FRound = 1 << (FShift - 1);
}

void ByteBuffer::Grow(size_t N) {
  size_t Cap = FCapacity ? FCapacity : 4096;
  while (Cap < N) Cap *= 2;
  auto D = std::make_unique_for_overwrite<uint8_t[]>(Cap);
  if (FSize) std::memcpy(D.get(), FData.get(), FSize);
  FData = std::move(D);
  FCapacity = Cap;
}

void FrameCoder::Reset() {
  for (ChannelState& C : FState) {
    C = ChannelState{};
    C.K0 = C.K1 = InitialK;
    C.Sum0 = C.Sum1 = Shift16(InitialK);
  }
}

namespace {

// The eight-tap sign-LMS stage shared by both directions.
struct Filter {
  // Steps the weights by the sign of the last error and returns the prediction.
  static inline int32_t Predict(ChannelState& T, uint32_t Round, int32_t Shift) {
    SignedLanes E = SignedLanes{} + T.Error;
    Lanes Neg = reinterpret_cast<Lanes>(E >> 31);
    Lanes Zero = reinterpret_cast<Lanes>(E == 0);
    T.QmLo += ~Zero & ((T.DxLo ^ Neg) - Neg);
    T.QmHi += ~Zero & ((T.DxHi ^ Neg) - Neg);
    Lanes P = T.DlLo * T.QmLo + T.DlHi * T.QmHi;
    P += __builtin_shufflevector(P, P, 2, 3, 0, 1);
    P += __builtin_shufflevector(P, P, 1, 0, 3, 2);
    uint32_t Sum = Round + P[0];

    T.DxLo = __builtin_shufflevector(T.DxLo, T.DxHi, 1, 2, 3, 4);
    T.DxHi = reinterpret_cast<Lanes>((reinterpret_cast<SignedLanes>(T.DlHi) >> 30) | SignedLanes{1, 2, 2, 4}) &
             Lanes{~0u, ~1u, ~1u, ~3u};
    T.DlLo = __builtin_shufflevector(T.DlLo, T.DlHi, 1, 2, 3, 4);
    return static_cast<int32_t>(Sum) >> Shift;
  }
  // Takes the filter's input X into the differences that are its taps: tap 7 is X,
  // tap 6 X less the old tap 7, and so on down to tap 4.
  static inline void Update(ChannelState& T, uint32_t X) {
    Lanes Z{};
    Lanes S = __builtin_shufflevector(T.DlHi, Z, 1, 2, 3, 4); // old taps 5, 6, 7, 0
    S += __builtin_shufflevector(S, Z, 1, 2, 3, 4);
    S += __builtin_shufflevector(S, Z, 2, 3, 4, 5);
    T.DlHi = (Lanes{} + X) - S;
  }
};

} // namespace

// One sample of one channel into the bit writer; X is the channel's decorrelated value.
template <int K, bool Escape>
[[gnu::always_inline]] inline void EncodeSample(ChannelState& T, uint32_t X, uint32_t Round, int32_t Shift,
                                                BitWriter& W, uint8_t*& End, ByteBuffer& Out) {
  uint32_t In = X - Predict<K>(T.Last);
  T.Last = static_cast<int32_t>(X);

  int32_t P = Filter::Predict(T, Round, Shift);
  Filter::Update(T, In);
  int32_t E = static_cast<int32_t>(In - static_cast<uint32_t>(P));
  T.Error = E;

  // 2|E| - 1 for a positive E, 2|E| otherwise (64 bits, so that INT32_MIN fits)
  int64_t E64 = E;
  int64_t Sign = E64 >> 63;
  uint64_t V = 2 * static_cast<uint64_t>((E64 ^ Sign) - Sign) - static_cast<uint64_t>(E > 0);
  uint32_t K0 = T.K0;
  AdaptIf(1, T.K0, T.Sum0, static_cast<uint32_t>(V));
  uint32_t Depth1 = V >= (uint64_t{1} << K0);
  uint64_t Mask = 0 - uint64_t{Depth1};
  V -= (uint64_t{1} << K0) & Mask;
  uint32_t Kc = K0 ^ ((K0 ^ T.K1) & static_cast<uint32_t>(Mask));
  AdaptIf(Depth1, T.K1, T.Sum1, static_cast<uint32_t>(V));
  uint64_t Unary = (1 + (V >> Kc)) & Mask;
  bool Esc = false;
  if constexpr (Escape) {
    if (Unary > EscapeUnary) {
      Unary = EscapeUnary + 1;
      Esc = true;
    }
  }
  if (static_cast<uint64_t>(End - W.P) < 32 + Unary / 8) [[unlikely]] {
    size_t Pos = W.P - Out.Data();
    Out.Resize(Out.Size() * 2 + Unary / 8 + 64);
    W.P = Out.Data() + Pos;
    End = Out.Data() + Out.Size();
  }
  uint32_t Bin = static_cast<uint32_t>(V) & ((uint32_t{1} << Kc) - 1);
  if (!Esc && Unary + 1 + Kc <= 32) [[likely]] {
    // unary ones, the stop bit and the binary part in one go
    uint32_t U = static_cast<uint32_t>(Unary);
    W.Put(static_cast<uint32_t>(((uint64_t{1} << U) - 1) | (uint64_t{Bin} << (U + 1))), U + 1 + Kc);
  } else {
    while (Unary >= 32) {
      W.Put(0xFFFFFFFFu, 32);
      Unary -= 32;
    }
    uint32_t U = static_cast<uint32_t>(Unary);
    W.Put((1u << U) - 1, U + 1);
    if (Esc) {
      W.Put(static_cast<uint32_t>(V), 32);
      W.Put(static_cast<uint32_t>(V >> 32), 1);
    } else if (Kc) {
      W.Put(Bin, Kc);
    }
  }
}

// Inter-channel decorrelation of one row: differences of neighbours, and the last
// channel less half the difference before it.
inline void Decorrelate(int32_t* R, uint32_t Ch) {
  for (uint32_t I = 0; I + 1 < Ch; ++I)
    R[I] = static_cast<int32_t>(static_cast<uint32_t>(R[I + 1]) - static_cast<uint32_t>(R[I]));
  R[Ch - 1] = static_cast<int32_t>(static_cast<uint32_t>(R[Ch - 1]) - static_cast<uint32_t>(R[Ch - 2] / 2));
}
inline void Correlate(int32_t* R, uint32_t Ch) {
  R[Ch - 1] = static_cast<int32_t>(static_cast<uint32_t>(R[Ch - 1]) + static_cast<uint32_t>(R[Ch - 2] / 2));
  for (uint32_t I = Ch - 1; I-- > 0;)
    R[I] = static_cast<int32_t>(static_cast<uint32_t>(R[I + 1]) - static_cast<uint32_t>(R[I]));
}

// Mono and stereo keep their channels' state in local variables, which the compiler
// holds in registers; other layouts go through the state array.
template <int K, bool Escape>
[[gnu::always_inline]] inline void EncodeFrame(int32_t* S, uint32_t Frames, uint32_t Ch, int32_t Round, int32_t Shift,
                        ChannelState* St, ByteBuffer& Out) {
  size_t Start = Out.Size();
  // Room for a frame that codes no smaller than its input, plus slack; grown on demand.
  Out.Resize(Start + size_t{Frames} * Ch * 5 + 64);
  BitWriter W{Out.Data() + Start};
  uint8_t* End = Out.Data() + Out.Size();
  const uint32_t Rnd = static_cast<uint32_t>(Round);

  if (Ch == 1) {
    ChannelState A = St[0];
    for (uint32_t F = 0; F < Frames; ++F)
      EncodeSample<K, Escape>(A, static_cast<uint32_t>(S[F]), Rnd, Shift, W, End, Out);
  } else if (Ch == 2) {
    ChannelState A = St[0], B = St[1];
    for (uint32_t F = 0; F < Frames; ++F) {
      uint32_t L = static_cast<uint32_t>(S[2 * size_t{F}]);
      uint32_t R = static_cast<uint32_t>(S[2 * size_t{F} + 1]);
      uint32_t D = R - L;
      EncodeSample<K, Escape>(A, D, Rnd, Shift, W, End, Out);
      EncodeSample<K, Escape>(B, R - static_cast<uint32_t>(static_cast<int32_t>(D) / 2), Rnd, Shift, W, End, Out);
    }
  } else {
    for (uint32_t F = 0; F < Frames; ++F) {
      int32_t* R = S + size_t{F} * Ch;
      Decorrelate(R, Ch);
      for (uint32_t C = 0; C < Ch; ++C)
        EncodeSample<K, Escape>(St[C], static_cast<uint32_t>(R[C]), Rnd, Shift, W, End, Out);
    }
  }
  W.Flush();
  Out.Resize(static_cast<size_t>(W.P - Out.Data()));
}

// One sample of one channel from the bitstream; false when the data cannot be right.
// X is the channel's value before inter-channel reconstruction.
template <int K, bool Escape>
[[gnu::always_inline]] inline bool DecodeSample(ChannelState& T, BitReader& B, const uint8_t* In, uint64_t Limit,
                                                uint32_t Round, int32_t Shift, uint32_t& X) {
  // unary part: count ones up to the stop bit; every refill starts within the frame
  if (B.Consumed(In) > Limit) [[unlikely]]
    return false;
  B.Refill();
  uint64_t Unary = 0;
  uint32_t Z = static_cast<uint32_t>(std::countr_zero(~B.Cache));
  while (Z >= B.Count) [[unlikely]] {
    // a run of ones longer than the bits at hand
    Unary += B.Count;
    B.Skip(B.Count);
    if (B.Consumed(In) > Limit) return false;
    B.Refill();
    Z = static_cast<uint32_t>(std::countr_zero(~B.Cache));
  }
  Unary += Z;
  B.Skip(Z + 1);

  uint32_t Depth1 = Unary > 0;
  uint32_t Mask = 0u - Depth1;
  uint32_t Kc = T.K0 ^ ((T.K0 ^ T.K1) & Mask);
  Unary -= Depth1;
  uint64_t V;
  if (Escape && Depth1 && Unary >= EscapeUnary) {
    if (Unary > EscapeUnary) return false;
    if (B.Count < 33) {
      if (B.Consumed(In) > Limit) return false;
      B.Refill();
    }
    V = B.Cache & ((uint64_t{1} << 33) - 1);
    B.Skip(33);
  } else {
    if (Unary > 0xFFFFFFFFu) [[unlikely]]
      return false;
    if (B.Count < Kc) [[unlikely]] {
      if (B.Consumed(In) > Limit) return false;
      B.Refill();
    }
    V = (Unary << Kc) | (B.Cache & ((uint64_t{1} << Kc) - 1));
    B.Skip(Kc);
  }
  AdaptIf(Depth1, T.K1, T.Sum1, static_cast<uint32_t>(V));
  V += (uint64_t{1} << T.K0) & (0 - uint64_t{Depth1});
  AdaptIf(1, T.K0, T.Sum0, static_cast<uint32_t>(V));
  if (V > 0x100000000u) [[unlikely]]
    return false;
  // odd values are the positive residuals
  uint32_t E = 1 + (static_cast<uint32_t>(V >> 1) ^ (static_cast<uint32_t>(V & 1) - 1));

  int32_t P = Filter::Predict(T, Round, Shift);
  T.Error = static_cast<int32_t>(E);
  uint32_t Y = E + static_cast<uint32_t>(P);
  Filter::Update(T, Y);

  X = Y + Predict<K>(T.Last);
  T.Last = static_cast<int32_t>(X);
  return true;
}

template <int K, bool Escape>
[[gnu::always_inline]] inline bool DecodeFrame(const uint8_t* In, size_t DataBytes, uint32_t Frames, uint32_t Ch, int32_t Round,
                        int32_t Shift, ChannelState* St, int32_t* S) {
  const uint64_t Limit = uint64_t{DataBytes} * 8;
  const uint32_t Rnd = static_cast<uint32_t>(Round);
  BitReader B{In};

  if (Ch == 1) {
    ChannelState A = St[0];
    for (uint32_t F = 0; F < Frames; ++F) {
      uint32_t X;
      if (!DecodeSample<K, Escape>(A, B, In, Limit, Rnd, Shift, X)) return false;
      S[F] = static_cast<int32_t>(X);
    }
  } else if (Ch == 2) {
    ChannelState A = St[0], C2 = St[1];
    for (uint32_t F = 0; F < Frames; ++F) {
      uint32_t D, R;
      if (!DecodeSample<K, Escape>(A, B, In, Limit, Rnd, Shift, D) ||
          !DecodeSample<K, Escape>(C2, B, In, Limit, Rnd, Shift, R))
        return false;
      R += static_cast<uint32_t>(static_cast<int32_t>(D) / 2);
      S[2 * size_t{F}] = static_cast<int32_t>(R - D);
      S[2 * size_t{F} + 1] = static_cast<int32_t>(R);
    }
  } else {
    for (uint32_t F = 0; F < Frames; ++F) {
      int32_t* R = S + size_t{F} * Ch;
      for (uint32_t C = 0; C < Ch; ++C) {
        uint32_t X;
        if (!DecodeSample<K, Escape>(St[C], B, In, Limit, Rnd, Shift, X)) return false;
        R[C] = static_cast<int32_t>(X);
      }
      Correlate(R, Ch);
    }
  }
  return B.Consumed(In) <= Limit;
}

// The frame loops are built twice on x86-64: for the baseline instruction set, and
// for processors with AVX2 and BMI2 (variable shifts without CL, eight-lane integer
// multiplies), chosen once at run time.
#define TTA_FRAME_ARGS_ENC int32_t *S, uint32_t Frames, uint32_t Ch, int32_t Round, int32_t Shift, ChannelState *St, ByteBuffer &Out
#define TTA_FRAME_ARGS_DEC const uint8_t *In, size_t DataBytes, uint32_t Frames, uint32_t Ch, int32_t Round, int32_t Shift, ChannelState *St, int32_t *S

template <int K, bool Escape>
void EncodeBase(TTA_FRAME_ARGS_ENC) {
  EncodeFrame<K, Escape>(S, Frames, Ch, Round, Shift, St, Out);
}
template <int K, bool Escape>
bool DecodeBase(TTA_FRAME_ARGS_DEC) {
  return DecodeFrame<K, Escape>(In, DataBytes, Frames, Ch, Round, Shift, St, S);
}

#if defined(__x86_64__)
#define TTA_V3 __attribute__((target("avx2,bmi,bmi2,popcnt")))
template <int K, bool Escape>
TTA_V3 void EncodeV3(TTA_FRAME_ARGS_ENC) {
  EncodeFrame<K, Escape>(S, Frames, Ch, Round, Shift, St, Out);
}
template <int K, bool Escape>
TTA_V3 bool DecodeV3(TTA_FRAME_ARGS_DEC) {
  return DecodeFrame<K, Escape>(In, DataBytes, Frames, Ch, Round, Shift, St, S);
}
bool HaveV3() {
  static const bool Have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
           __builtin_cpu_supports("popcnt");
  }();
  return Have;
}
#endif

template <int K, bool Escape>
void EncodeAny(TTA_FRAME_ARGS_ENC) {
#if defined(__x86_64__)
  if (HaveV3()) return EncodeV3<K, Escape>(S, Frames, Ch, Round, Shift, St, Out);
#endif
  EncodeBase<K, Escape>(S, Frames, Ch, Round, Shift, St, Out);
}
template <int K, bool Escape>
bool DecodeAny(TTA_FRAME_ARGS_DEC) {
#if defined(__x86_64__)
  if (HaveV3()) return DecodeV3<K, Escape>(In, DataBytes, Frames, Ch, Round, Shift, St, S);
#endif
  return DecodeBase<K, Escape>(In, DataBytes, Frames, Ch, Round, Shift, St, S);
}

void FrameCoder::Encode(int32_t* Samples, uint32_t Frames, ByteBuffer& Out) {
  Reset();
  ChannelState* St = FState.data();
  const size_t Start = Out.Size();
  switch (FByteSize) {
    case 1: EncodeAny<4, false>(Samples, Frames, FChannels, FRound, FShift, St, Out); break;
    case 2:
    case 3: EncodeAny<5, false>(Samples, Frames, FChannels, FRound, FShift, St, Out); break;
    default: {
      // Float frames start with a mode byte: 0 coded, 1 stored. Floats with little
      // to predict (noise, wide dynamics) would otherwise grow.
      const size_t Count = size_t{Frames} * FChannels;
      FRaw.assign(Samples, Samples + Count);
      Out.Resize(Start + 1);
      Out.Data()[Start] = 0;
      EncodeAny<0, true>(Samples, Frames, FChannels, FRound, FShift, St, Out);
      if (Out.Size() - Start > 1 + 4 * Count) {
        Out.Resize(Start + 1 + 4 * Count);
        uint8_t* P = Out.Data() + Start;
        *P++ = 1;
        for (size_t I = 0; I < Count; ++I, P += 4) Store32(P, static_cast<uint32_t>(FRaw[I]));
      }
    }
  }
  const size_t End = Out.Size();
  Out.Resize(End + 4);
  Store32(Out.Data() + End, Crc32(Out.Data() + Start, End - Start));
}

bool FrameCoder::Decode(const uint8_t* In, size_t Size, uint32_t Frames, int32_t* Samples) {
  if (Size < 4) return false;
  size_t DataBytes = Size - 4;
#ifndef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  if (Crc32(In, DataBytes) != Load32(In + DataBytes)) return false;
#endif
  Reset();
  ChannelState* St = FState.data();
  switch (FByteSize) {
    case 1: return DecodeAny<4, false>(In, DataBytes, Frames, FChannels, FRound, FShift, St, Samples);
    case 2:
    case 3: return DecodeAny<5, false>(In, DataBytes, Frames, FChannels, FRound, FShift, St, Samples);
    default: {
      if (DataBytes < 1) return false;
      const size_t Count = size_t{Frames} * FChannels;
      if (In[0] == 0) return DecodeAny<0, true>(In + 1, DataBytes - 1, Frames, FChannels, FRound, FShift, St, Samples);
      if (In[0] != 1 || DataBytes != 1 + 4 * Count) return false;
      for (size_t I = 0; I < Count; ++I) Samples[I] = static_cast<int32_t>(Load32(In + 1 + 4 * I));
      return true;
    }
  }
}

} // namespace TTALib::Codec
