// PCM to PCM: exact stream length, quality, sample size and channels.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tests/platform/acm/AcmTestUtil.h"

using namespace acmtest;

namespace {

// Little-endian samples of Bits bits; 8-bit is stored unsigned.
std::vector<uint8_t> Pack(const std::vector<int32_t>& Samples, int Bits) {
  std::vector<uint8_t> b;
  for (int32_t s : Samples)
    for (int k = 0; k < Bits / 8; ++k)
      b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(s + (Bits == 8 ? 128 : 0)) >> (8 * k)));
  return b;
}

std::vector<int32_t> Unpack(const std::vector<uint8_t>& B, int Bits) {
  std::vector<int32_t> s(B.size() / (Bits / 8));
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t v = 0;
    for (int k = 0; k < Bits / 8; ++k) v |= uint32_t{B[i * (Bits / 8) + k]} << (8 * k);
    s[i] = Bits == 8 ? static_cast<int32_t>(v) - 128 : static_cast<int32_t>(v << (32 - Bits)) >> (32 - Bits);
  }
  return s;
}

// Interleaved frames; channel c plays Hz * (c + 1).
std::vector<int32_t> Sine(size_t Frames, int Channels, double Rate, double Hz, double Amplitude, int Bits) {
  std::vector<int32_t> s(Frames * Channels);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<int32_t>(
        std::lrint(Amplitude * std::ldexp(1.0, Bits - 1) *
                   std::sin(2 * std::numbers::pi * Hz * (i % Channels + 1) * (i / Channels) / Rate)));
  return s;
}

HACMSTREAM Open(const WAVEFORMATEX& Src, const WAVEFORMATEX& Dst, uint32_t Flags = ACM_STREAMOPENF_NONREALTIME) {
  HACMSTREAM s;
  EXPECT_EQ(acmStreamOpen(s, Src, Dst, Flags), MMSYSERR_NOERROR);
  return s;
}

uint64_t HalfEven(uint64_t N, uint64_t In, uint64_t Out) {
  const uint64_t q = N * Out / In, twice = N * Out % In * 2;
  return twice > In || (twice == In && q % 2 == 1) ? q + 1 : q;
}

// dB of A's power over the power of B - A, across [From, To).
double Snr(const std::vector<int32_t>& A, const std::vector<int32_t>& B, size_t From, size_t To) {
  double signal = 0, noise = 0;
  for (size_t i = From; i < To; ++i) {
    signal += double(A[i]) * A[i];
    noise += (double(A[i]) - B[i]) * (double(A[i]) - B[i]);
  }
  return 10 * std::log10(signal / noise);
}

struct RateCase {
  uint32_t In, Out;
  size_t Frames;
};

class AcmPcmLength : public ::testing::TestWithParam<RateCase> {};

}  // namespace

TEST_P(AcmPcmLength, WholeStreamHasRoundedLengthHoweverItIsCut) {
  const RateCase rc = GetParam();
  const std::vector<uint8_t> payload = Pack(Sine(rc.Frames, 2, rc.In, 997, 0.7, 16), 16);
  std::vector<uint8_t> first;
  // One call; cuts inside frames; a prime; a mix.
  for (const std::vector<size_t>& chunks : {std::vector<size_t>{payload.size()}, {3}, {4093}, {4000, 1, 777, 65536}}) {
    HACMSTREAM s = Open(PcmFormat(2, rc.In, 16), PcmFormat(2, rc.Out, 16));
    const Converted c = ConvertStream(s, payload, chunks);
    ASSERT_EQ(c.Result, MMSYSERR_NOERROR);
    EXPECT_EQ(c.Out.size(), HalfEven(rc.Frames, rc.In, rc.Out) * 4) << "chunk " << chunks[0];
    // No frame lost or doubled at a cut: the output is the same every way.
    if (first.empty()) first = c.Out;
    EXPECT_TRUE(c.Out == first) << "chunk " << chunks[0];
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, AcmPcmLength,
                         ::testing::Values(RateCase{44100, 48000, 30011}, RateCase{48000, 44100, 30011},
                                           RateCase{44100, 22050, 20001}, RateCase{8000, 48000, 7001},
                                           RateCase{48000, 8000, 30001}, RateCase{32075, 44100, 12345},
                                           RateCase{44100, 44100, 10007}),
                         [](const ::testing::TestParamInfo<RateCase>& I) {
                           return std::to_string(I.param.In) + "_to_" + std::to_string(I.param.Out);
                         });

TEST(AcmPcmLength, HalvesRoundToEven) {
  for (size_t frames : {1u, 3u, 5u, 44101u, 44103u}) {  // N / 2 ends in a half
    HACMSTREAM s = Open(PcmFormat(1, 44100, 16), PcmFormat(1, 22050, 16));
    const Converted c = ConvertStream(s, Pack(Sine(frames, 1, 44100, 440, 0.5, 16), 16), {1000});
    ASSERT_EQ(c.Result, MMSYSERR_NOERROR);
    EXPECT_EQ(c.Out.size() / 2, HalfEven(frames, 2, 1)) << frames << " frames";
  }
}

TEST(AcmPcmLength, SmallDestinationsLoseNothing) {
  const std::vector<uint8_t> payload = Pack(Sine(4001, 2, 8000, 300, 0.5, 16), 16);
  HACMSTREAM roomy = Open(PcmFormat(2, 8000, 16), PcmFormat(2, 48000, 16));
  const Converted reference = ConvertStream(roomy, payload, {1200});
  ASSERT_EQ(reference.Result, MMSYSERR_NOERROR);
  EXPECT_EQ(reference.LastConversions, 1) << "acmStreamSize leaves room for the resampler's tail";
  // The stream starts afresh after its last conversion.
  EXPECT_TRUE(ConvertStream(roomy, payload, {1200}).Out == reference.Out);
  // Smaller than a frame, smaller than the tail: the stream keeps what does
  // not fit and holds back source so that the caller converts again.
  for (uint32_t room : {1u, 7u, 4096u}) {
    HACMSTREAM s = Open(PcmFormat(2, 8000, 16), PcmFormat(2, 48000, 16));
    const Converted c = ConvertStream(s, payload, {1200}, room);
    ASSERT_EQ(c.Result, MMSYSERR_NOERROR);
    EXPECT_TRUE(c.Out == reference.Out) << "room " << room;
  }
}

TEST(AcmPcmLength, TailIsSignalNotPadding) {
  // The exact length would hide a resampler tail that never came out behind
  // silence; the last frames must follow the sine.
  for (const auto& [in, out] : {std::pair<uint32_t, uint32_t>{44100, 48000}, {48000, 44100}, {8000, 48000}}) {
    HACMSTREAM s = Open(PcmFormat(1, in, 16), PcmFormat(1, out, 16));
    const std::vector<int32_t> got =
        Unpack(ConvertStream(s, Pack(Sine(20000, 1, in, 440, 0.5, 16), 16), {4000}).Out, 16);
    // Measured 43 to 50 dB: the abrupt end of the signal rings a little.
    EXPECT_GT(Snr(Sine(got.size(), 1, out, 440, 0.5, 16), got, got.size() - 500, got.size()), 35)
        << in << " to " << out;
  }
}

namespace {
struct QualityCase {
  int Bits;
  uint32_t Flags;
  double MinSnr;
};
class AcmPcmQuality : public ::testing::TestWithParam<QualityCase> {};
}  // namespace

TEST_P(AcmPcmQuality, SineSurvivesRoundTripThrough48k) {
  const QualityCase qc = GetParam();
  const std::vector<int32_t> original = Sine(44100, 2, 44100, 1000, 0.9, qc.Bits);
  HACMSTREAM up = Open(PcmFormat(2, 44100, qc.Bits), PcmFormat(2, 48000, qc.Bits), qc.Flags);
  HACMSTREAM down = Open(PcmFormat(2, 48000, qc.Bits), PcmFormat(2, 44100, qc.Bits), qc.Flags);
  const Converted there = ConvertStream(up, Pack(original, qc.Bits), {10000});
  const std::vector<int32_t> back = Unpack(ConvertStream(down, there.Out, {10000}).Out, qc.Bits);
  ASSERT_EQ(back.size(), original.size());
  // The ends ring where the signal starts and stops; judge the middle.
  EXPECT_GT(Snr(original, back, 8000, original.size() - 8000), qc.MinSnr);
}

// Measured: 98.4 dB at 16 bits either quality (the round trip stays within
// half an LSB, so most samples come back exactly; TPDF dither would cost about
// 5 dB), 147 / 131 dB at 24 bits with very high / high quality, 180 dB at 32.
INSTANTIATE_TEST_SUITE_P(Sizes, AcmPcmQuality,
                         ::testing::Values(QualityCase{16, ACM_STREAMOPENF_NONREALTIME, 95}, QualityCase{16, 0, 95},
                                           QualityCase{24, ACM_STREAMOPENF_NONREALTIME, 140}, QualityCase{24, 0, 125},
                                           QualityCase{32, ACM_STREAMOPENF_NONREALTIME, 170}),
                         [](const ::testing::TestParamInfo<QualityCase>& I) {
                           return std::to_string(I.param.Bits) +
                                  (I.param.Flags & ACM_STREAMOPENF_NONREALTIME ? "_bits_very_high" : "_bits_high");
                         });

TEST(AcmPcmCarryAlong, SampleSizesScaleWithNearestRoundingAndClipping) {
  const std::vector<int32_t> s16 = {-32768, -32767, -257, -129, -128, -1, 0, 1, 127, 128, 255, 32767};
  struct Case {
    int From, To;
    std::vector<int32_t> In, Want;
  };
  const std::vector<Case> cases = {
      {16, 16, s16, s16},
      {16, 24, s16, {-8388608, -8388352, -65792, -33024, -32768, -256, 0, 256, 32512, 32768, 65280, 8388352}},
      {16,
       32,
       s16,
       {INT32_MIN, -2147418112, -16842752, -8454144, -8388608, -65536, 0, 65536, 8323072, 8388608, 16711680,
        2147418112}},
      // -129/256 = -0.504 -> -1; +-128/256 = +-0.5 -> 0 (even); 255/256 -> 1; 32767/256 clips
      {16, 8, s16, {-128, -128, -1, -1, 0, 0, 0, 0, 0, 0, 1, 127}},
      {8, 16, {-128, -1, 0, 1, 127}, {-32768, -256, 0, 256, 32512}},
      // 384/256 = 1.5 -> 2, 640/256 = 2.5 -> 2
      {24, 16, {-8388608, -384, -128, 384, 640, 8388607}, {-32768, -2, 0, 2, 2, 32767}},
      {32, 24, {INT32_MIN, -384, 384, 640, INT32_MAX}, {-8388608, -2, 2, 2, 8388607}},
  };
  for (const Case& k : cases) {
    HACMSTREAM s = Open(PcmFormat(1, 22050, k.From), PcmFormat(1, 22050, k.To));
    const Converted c = ConvertStream(s, Pack(k.In, k.From), {5});
    ASSERT_EQ(c.Result, MMSYSERR_NOERROR);
    EXPECT_EQ(Unpack(c.Out, k.To), k.Want) << k.From << " to " << k.To;
  }
}

TEST(AcmPcmCarryAlong, MonoAndStereoAtOneRate) {
  HACMSTREAM up = Open(PcmFormat(1, 8000, 16), PcmFormat(2, 8000, 16));
  EXPECT_EQ(Unpack(ConvertStream(up, Pack({-32768, -3, 0, 5, 32767}, 16), {3}).Out, 16),
            (std::vector<int32_t>{-32768, -32768, -3, -3, 0, 0, 5, 5, 32767, 32767}));
  // The average, halves to even: -1.5 -> -2, 2.5 -> 2, -0.5 -> 0.
  HACMSTREAM down = Open(PcmFormat(2, 8000, 16), PcmFormat(1, 8000, 16));
  EXPECT_EQ(Unpack(ConvertStream(down, Pack({-32768, -32768, -3, 0, 5, 0, 32767, -32768, 100, 200}, 16), {6}).Out, 16),
            (std::vector<int32_t>{-32768, -2, 2, 0, 150}));
}

TEST(AcmPcmCarryAlong, ChannelChangeWithRateMatchesMonoConversion) {
  const std::vector<int32_t> mono = Sine(6000, 1, 22050, 700, 0.8, 16);
  HACMSTREAM plain = Open(PcmFormat(1, 22050, 16), PcmFormat(1, 44100, 8));
  const std::vector<int32_t> want = Unpack(ConvertStream(plain, Pack(mono, 16), {1000}).Out, 8);
  ASSERT_EQ(want.size(), 12000u);

  HACMSTREAM up = Open(PcmFormat(1, 22050, 16), PcmFormat(2, 44100, 8));
  const std::vector<int32_t> pairs = Unpack(ConvertStream(up, Pack(mono, 16), {1000}).Out, 8);
  std::vector<int32_t> twin(2 * want.size());
  for (size_t i = 0; i < want.size(); ++i) twin[2 * i] = twin[2 * i + 1] = want[i];
  EXPECT_EQ(pairs, twin);

  std::vector<int32_t> both(2 * mono.size());
  for (size_t i = 0; i < mono.size(); ++i) both[2 * i] = both[2 * i + 1] = mono[i];
  HACMSTREAM down = Open(PcmFormat(2, 22050, 16), PcmFormat(1, 44100, 8));
  EXPECT_EQ(Unpack(ConvertStream(down, Pack(both, 16), {1000}).Out, 8), want);
}
