#include "audio/core/TSL_Procs.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

const float Inf = std::numeric_limits<float>::infinity();
const float NaN = std::numeric_limits<float>::quiet_NaN();
const float BelowOne = std::nextafter(1.0f, 0.0f);

int32_t ToSmallInt(float X) {
  int16_t R = 0;
  SingleToSmallInt(&X, &R, 1);
  return R;
}
int32_t ToByte(float X) {
  uint8_t R = 0;
  SingleToByte(&X, &R, 1);
  return R;
}
int32_t ToInt24(float X) {
  uint8_t B[3] = {};
  SingleToInt24(&X, B, 1);
  return static_cast<int32_t>(B[0] | B[1] << 8 | B[2] << 16) << 8 >> 8;
}
int32_t ToInt32(float X) {
  int32_t R = 0;
  SingleToInt32(&X, &R, 1);
  return R;
}
template <typename T>
int32_t InPlace(T X, void (*Fn)(void*, int32_t)) {
  unsigned char B[sizeof(T)];
  std::memcpy(B, &X, sizeof X);
  Fn(B, sizeof B);
  int32_t R;
  std::memcpy(&R, B, sizeof R);
  return R;
}

// The rules computed literally in extended precision.
int64_t Ref(long double V, int64_t Lo, int64_t Hi, bool Above, bool Inside) {
  return Above ? Hi : Inside ? static_cast<int64_t>(std::floor(V)) : Lo;
}

// A spread of floats over every exponent in (-1, 1), both signs, plus edges.
std::vector<float> SweepFloats() {
  std::vector<float> V;
  for (uint32_t Bits = 0; Bits < 0x3F800000u; Bits += 4093) {
    V.push_back(std::bit_cast<float>(Bits));
    V.push_back(-std::bit_cast<float>(Bits));
  }
  for (float X : {-0x1p-65f, std::nextafter(-0x1p-65f, -1.0f), -0x1p-64f, 0x1p-66f, BelowOne, -BelowOne, -0.0f,
                  1.0f / 128, std::nextafter(-1.0f / 128, 0.0f)})
    V.push_back(X);
  return V;
}

}  // namespace

TEST(PcmFloatToInt, ClipsAndFloorsAtTheBoundaries) {
  // InPlace is SinglesToInt32 and DoublesToInt32 (scale 2147483647).
  struct Case {
    float X;
    int32_t Byte, Small, I24, I32, InPlace;
  };
  const Case Cases[] = {
      {1.0f, 255, 32767, 8388607, INT32_MAX, INT32_MAX},
      {1.5f, 255, 32767, 8388607, INT32_MAX, INT32_MAX},
      {Inf, 255, 32767, 8388607, INT32_MAX, INT32_MAX},
      {BelowOne, 255, 32767, 8388607, 2147483520, 2147483519},
      {0.999f, 255, 32735, 8380219, 2145336192, 2145336191},
      {0.5f, 192, 16384, 4194304, 1073741824, 1073741823},
      {0.0f, 128, 0, 0, 0, 0},
      {-0.0f, 128, 0, 0, 0, 0},
      {-0.00001f, 127, -1, -84, -21475, -21475},
      {-0.5f, 64, -16384, -4194304, -1073741824, -1073741824},
      {-1.0f, 0, -32768, -8388608, INT32_MIN, INT32_MIN},
      {-1.5f, 0, -32768, -8388608, INT32_MIN, INT32_MIN},
      {-Inf, 0, -32768, -8388608, INT32_MIN, INT32_MIN},
      {NaN, 0, -32768, -8388608, INT32_MIN, INT32_MIN},
      // Adding 1.0 in extended precision rounds this to exactly 1.0.
      {-0x1p-65f, 128, -1, -1, -1, -1},
      {-0x1p-64f, 127, -1, -1, -1, -1},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.X);
    EXPECT_EQ(ToByte(C.X), C.Byte);
    EXPECT_EQ(ToSmallInt(C.X), C.Small);
    EXPECT_EQ(ToInt24(C.X), C.I24);
    EXPECT_EQ(ToInt32(C.X), C.I32);
    EXPECT_EQ(InPlace(C.X, SinglesToInt32), C.InPlace);
    EXPECT_EQ(InPlace(static_cast<double>(C.X), DoublesToInt32), C.InPlace);
  }
  // A double whose product rounds up to an integer in extended precision;
  // exactly it would floor to -2147483136.
  EXPECT_EQ(InPlace(-0x1.fffff7fffffffp-1, DoublesToInt32), -2147483135);
}

TEST(PcmFloatToInt, MatchesExtendedPrecisionEverywhere) {
  for (float X : SweepFloats()) {
    const long double L = X;
    const bool Above = X >= 1.0f, Inside = X > -1.0f && !Above;
    ASSERT_EQ(ToByte(X), Ref((L + 1.0L) * 128.0L, 0, 255, Above, Inside)) << X;
    ASSERT_EQ(ToSmallInt(X), Ref(L * 32768.0L, -32768, 32767, Above, Inside)) << X;
    ASSERT_EQ(ToInt24(X), Ref(L * 8388608.0L, -8388608, 8388607, Above, Inside)) << X;
    ASSERT_EQ(ToInt32(X), Ref(L * 2147483648.0L, INT32_MIN, INT32_MAX, Above, Inside)) << X;
    const int64_t InPlaceRef = Ref(L * 2147483647.0L, INT32_MIN, INT32_MAX, Above, Inside);
    ASSERT_EQ(InPlace(X, SinglesToInt32), InPlaceRef) << X;
    ASSERT_EQ(InPlace(static_cast<double>(X), DoublesToInt32), InPlaceRef) << X;
  }
}

TEST(PcmFloatToInt, CountOfZeroOrLessWritesNothing) {
  float F = 0.5f;
  uint8_t Bytes[4] = {7, 7, 7, 7};
  int16_t Small = 7;
  int32_t Int = 7;
  for (int32_t Count : {0, -1}) {
    SingleToByte(&F, Bytes, Count);
    SingleToSmallInt(&F, &Small, Count);
    SingleToInt24(&F, Bytes, Count);
    SingleToInt32(&F, &Int, Count);
    ByteToSingle(Bytes, &F, Count);
    SmallIntToSingle(&Small, &F, Count);
    Int24ToSingle(Bytes, &F, Count);
    Int32ToSingle(&Int, &F, Count);
  }
  EXPECT_TRUE(Bytes[0] == 7 && Small == 7 && Int == 7 && F == 0.5f);
}

TEST(PcmIntToFloat, EveryByteAndSmallIntRoundTripsExactly) {
  std::vector<uint8_t> B(256), BackB(256);
  for (int I = 0; I < 256; ++I) B[I] = static_cast<uint8_t>(I);
  std::vector<float> F(65536);
  ByteToSingle(B.data(), F.data(), 256);
  EXPECT_EQ(F[0], -1.0f);
  EXPECT_EQ(F[128], 0.0f);
  SingleToByte(F.data(), BackB.data(), 256);
  EXPECT_EQ(BackB, B);

  std::vector<int16_t> S(65536), BackS(65536);
  for (int I = 0; I < 65536; ++I) S[I] = static_cast<int16_t>(I - 32768);
  SmallIntToSingle(S.data(), F.data(), 65536);
  EXPECT_EQ(F[0], -1.0f);
  EXPECT_EQ(F[32769], 1.0f / 32768);
  SingleToSmallInt(F.data(), BackS.data(), 65536);
  EXPECT_EQ(BackS, S);
}

TEST(PcmIntToFloat, Int24ReadsSignedPackedValuesAndRoundTrips) {
  const uint8_t Packed[] = {0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x34, 0x12, 0xF0};
  float F[5];
  Int24ToSingle(Packed, F, 5);
  EXPECT_EQ(F[0], 128.0f / 8388608);
  EXPECT_EQ(F[1], -1.0f / 8388608);
  EXPECT_EQ(F[2], -1.0f);
  EXPECT_EQ(F[3], 8388607.0f / 8388608);
  EXPECT_EQ(F[4], static_cast<float>(static_cast<int32_t>(0xFFF01234)) / 8388608);
  uint8_t Back[sizeof Packed];
  SingleToInt24(F, Back, 5);
  EXPECT_EQ(0, std::memcmp(Back, Packed, sizeof Packed));

  // Every 24-bit value, a block at a time, through float and back.
  const int32_t Block = 1 << 16;
  std::vector<uint8_t> In(3 * Block), Out(3 * Block);
  std::vector<float> Floats(Block);
  for (int32_t Start = -8388608; Start < 8388608; Start += Block) {
    for (int32_t I = 0; I < Block; ++I) {
      const auto V = static_cast<uint32_t>(Start + I);
      In[3 * I] = static_cast<uint8_t>(V);
      In[3 * I + 1] = static_cast<uint8_t>(V >> 8);
      In[3 * I + 2] = static_cast<uint8_t>(V >> 16);
    }
    Int24ToSingle(In.data(), Floats.data(), Block);
    ASSERT_EQ(Floats[0], static_cast<float>(Start) / 8388608);
    SingleToInt24(Floats.data(), Out.data(), Block);
    ASSERT_EQ(In, Out) << "block starting at " << Start;
  }
}

TEST(PcmIntToFloat, Int32Extremes) {
  const int32_t Src[] = {INT32_MIN, INT32_MAX, 0, -256, 0x7FFFFF00};
  float F[5];
  int32_t Back[5];
  Int32ToSingle(Src, F, 5);
  EXPECT_EQ(F[0], -1.0f);
  EXPECT_EQ(F[1], 1.0f);  // rounds up and clips on the way back
  SingleToInt32(F, Back, 5);
  EXPECT_EQ(Back[0], INT32_MIN);
  EXPECT_EQ(Back[1], INT32_MAX);
  EXPECT_EQ(Back[2], 0);
  EXPECT_EQ(Back[3], -256);
  EXPECT_EQ(Back[4], 0x7FFFFF00);
}

TEST(PcmChannels, MonoToStereoExpandsInPlace) {
  float Buf[6] = {0.25f, -0.5f, 0.75f, 9, 9, 9};
  MonoToStereo(Buf, 3);
  const float Expected[6] = {0.25f, 0.25f, -0.5f, -0.5f, 0.75f, 0.75f};
  EXPECT_EQ(0, std::memcmp(Buf, Expected, sizeof Buf));
  MonoToStereo(Buf, 0);
  MonoToStereo(Buf, -2);
  EXPECT_EQ(0, std::memcmp(Buf, Expected, sizeof Buf));
}

TEST(PcmChannels, StereoToMonoAveragesInPlace) {
  const float Max = std::numeric_limits<float>::max();
  float Buf[8] = {0.25f, 0.75f, -1.0f, 0.5f, Max, Max, Max, -Max};
  StereoToMono(Buf, 4);
  EXPECT_EQ(Buf[0], 0.5f);
  EXPECT_EQ(Buf[1], -0.25f);
  EXPECT_EQ(Buf[2], Max);  // the sum must not overflow
  EXPECT_EQ(Buf[3], 0.0f);
}

TEST(PcmInPlace, SinglesToInt32ConvertsWholeValuesOnly) {
  // Unaligned, and 7 bytes hold one whole float.
  alignas(4) unsigned char Raw[12] = {};
  unsigned char* Buf = Raw + 1;
  const float X = -0.5f;
  std::memcpy(Buf, &X, 4);
  Buf[4] = 0xAB;
  SinglesToInt32(Buf, 0);
  SinglesToInt32(Buf, -4);
  float Same;
  std::memcpy(&Same, Buf, 4);
  EXPECT_EQ(Same, -0.5f);
  SinglesToInt32(Buf, 7);
  int32_t R;
  std::memcpy(&R, Buf, 4);
  EXPECT_EQ(R, -1073741824);
  EXPECT_EQ(Buf[4], 0xAB);
}

TEST(PcmInPlace, DoublesToInt32ShrinksToTheStart) {
  const double In[2] = {0.5, -0.5};
  unsigned char Buf[16];
  std::memcpy(Buf, In, 16);
  DoublesToInt32(Buf, 7);  // less than one double: untouched
  EXPECT_EQ(0, std::memcmp(Buf, In, 16));
  DoublesToInt32(Buf, 16);
  int32_t Out[2];
  std::memcpy(Out, Buf, 8);
  EXPECT_EQ(Out[0], 1073741823);
  EXPECT_EQ(Out[1], -1073741824);
}

TEST(PcmPacking, EveryWidthKeepsItsRangeAndLayout) {
  // The extremes, silence and -1 of each width, packed little-endian (8-bit offset by
  // 128), then one value beyond each end, which packs clamped.
  struct Case {
    int32_t Width;
    std::vector<int32_t> Values;
    std::vector<uint8_t> Bytes;
  };
  const Case Cases[] = {
      {1, {-128, 0, -1, 127}, {0x00, 0x80, 0x7F, 0xFF}},
      {2, {-32768, 0, -1, 32767}, {0x00, 0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x7F}},
      {3, {-8388608, 0, -1, 8388607}, {0x00, 0x00, 0x80, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
      {4, {INT32_MIN, 0, -1, INT32_MAX}, {0, 0, 0, 0x80, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const Case& C : Cases) {
    const size_t N = C.Values.size();
    std::vector<uint8_t> Packed(N * C.Width);
    PackPCM(C.Values.data(), C.Width, Packed.data(), N);
    EXPECT_EQ(Packed, C.Bytes) << C.Width;
    std::vector<int32_t> Back(N);
    UnpackPCM(Packed.data(), C.Width, Back.data(), N);
    EXPECT_EQ(Back, C.Values) << C.Width;
    std::vector<int64_t> Wide(N);
    UnpackPCM(Packed.data(), C.Width, Wide.data(), N);
    EXPECT_EQ(std::vector<int64_t>(C.Values.begin(), C.Values.end()), Wide) << C.Width;

    // In place, as decoders pack their own buffers; beyond the range it clamps.
    std::vector<int64_t> Over = {Wide[0] - 1, Wide[1], Wide[2], Wide[3] + 1};
    std::vector<int32_t> InPlace = C.Values;
    PackPCM(InPlace.data(), C.Width, InPlace.data(), N);
    EXPECT_EQ(0, std::memcmp(InPlace.data(), C.Bytes.data(), C.Bytes.size())) << C.Width;
    PackPCM(Over.data(), C.Width, Packed.data(), N);
    EXPECT_EQ(Packed, C.Bytes) << C.Width;
  }
}

TEST(PcmText, CopyBeforeAndAfterFirstChar) {
  struct Case {
    const char* S;
    const char* Before;
    const char* After;
  };
  const Case Cases[] = {
      {"ARTIST=Björk", "ARTIST", "Björk"},
      {"a=b=c", "a", "b=c"},
      {"=value", "", "value"},
      {"key=", "key", ""},
      {"Künstlerin", "", ""},
      {"", "", ""},
  };
  for (const Case& C : Cases) {
    std::string Before = "old", After = "old";
    CopyBeforeChar('=', C.S, Before);
    CopyAfterChar('=', C.S, After);
    EXPECT_EQ(Before, C.Before) << C.S;
    EXPECT_EQ(After, C.After) << C.S;
  }
  std::string S = "TITLE=Été";
  CopyAfterChar('=', S, S);
  EXPECT_EQ(S, "Été");
  S = "TITLE=Été";
  CopyBeforeChar('=', S, S);
  EXPECT_EQ(S, "TITLE");
}

TEST(PcmGuid, SameGUIDComparesAllSixteenBytes) {
  const TGUID A = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
  TGUID B = A;
  EXPECT_TRUE(SameGUID(A, B));
  for (size_t I = 0; I < sizeof(TGUID); ++I) {
    B = A;
    reinterpret_cast<unsigned char*>(&B)[I] ^= 0x01;
    EXPECT_FALSE(SameGUID(A, B)) << "byte " << I;
  }
}
