// IMA and Microsoft ADPCM block coding.

#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "audio/io/TSL_Adpcm.h"
#include "tests/audio/io/WaveTestUtil.h"

using namespace testsupport;
using namespace wavetest;

namespace {

// Encodes Frames frames block by block and decodes them again.
std::vector<int16_t> ImaRoundTrip(const std::vector<int16_t>& In, int32_t Channels, int32_t BlockSize,
                                  std::vector<uint8_t>* Blocks = nullptr) {
  const int32_t spb = ImaSamplesPerBlock(BlockSize, Channels);
  const size_t frames = In.size() / Channels;
  TImaChannelState state[2];
  std::vector<int16_t> out;
  std::vector<uint8_t> block(BlockSize);
  std::vector<int16_t> chunk(static_cast<size_t>(spb) * Channels);
  std::vector<int16_t> dec(chunk.size());
  for (size_t f = 0; f < frames; f += spb) {
    std::fill(chunk.begin(), chunk.end(), int16_t{0});
    const size_t n = std::min<size_t>(spb, frames - f);
    std::copy(In.begin() + f * Channels, In.begin() + (f + n) * Channels, chunk.begin());
    ImaEncodeBlock(chunk.data(), Channels, BlockSize, state, block.data());
    if (Blocks) Blocks->insert(Blocks->end(), block.begin(), block.end());
    EXPECT_EQ(ImaDecodeBlock(block.data(), BlockSize, Channels, dec.data(), spb), spb);
    out.insert(out.end(), dec.begin(), dec.begin() + n * Channels);
  }
  return out;
}

}  // namespace

TEST(WaveAdpcmTest, ImaBlockCapacityFollowsBlockAlign) {
  EXPECT_EQ(ImaSamplesPerBlock(256, 1), 505);
  EXPECT_EQ(ImaSamplesPerBlock(512, 2), 505);
  EXPECT_EQ(ImaSamplesPerBlock(1024, 1), 2041);
  EXPECT_EQ(ImaSamplesPerBlock(2048, 2), 2041);
  // Stereo codes come in 8-byte groups; a block with half a group does not fit.
  EXPECT_EQ(ImaSamplesPerBlock(260, 2), 0);
  EXPECT_EQ(ImaSamplesPerBlock(8, 2), 0);
  EXPECT_EQ(ImaSamplesPerBlock(4, 1), 0);
  EXPECT_EQ(ImaSamplesPerBlock(512, 3), 0);
  EXPECT_EQ(MsAdpcmSamplesPerBlock(256, 1), 500);
  EXPECT_EQ(MsAdpcmSamplesPerBlock(512, 2), 500);
  EXPECT_EQ(MsAdpcmSamplesPerBlock(13, 2), 0);

  std::vector<uint8_t> block(256, 0x77);
  block[2] = 10;
  block[3] = 0;
  std::vector<int16_t> out(1200);
  EXPECT_EQ(ImaDecodeBlock(block.data(), 256, 1, out.data(), 600), 505);
  std::vector<uint8_t> stereo(512, 0x19);
  stereo[2] = stereo[6] = 3;
  EXPECT_EQ(ImaDecodeBlock(stereo.data(), 512, 2, out.data(), 600), 505);
}

TEST(WaveAdpcmTest, ImaHeadersCarryFirstSampleAndRunningStepIndex) {
  const auto in = Sines(3000, 2, 44100);
  std::vector<uint8_t> blocks;
  ImaRoundTrip(in, 2, 512, &blocks);
  ASSERT_GE(blocks.size(), 1024u);
  // Block 1 starts at frame 505: its header predictors are that frame.
  EXPECT_EQ(static_cast<int16_t>(Le16(blocks, 512)), in[505 * 2]);
  EXPECT_EQ(static_cast<int16_t>(Le16(blocks, 516)), in[505 * 2 + 1]);
  EXPECT_EQ(blocks[2], 0);  // the first block starts from step index 0
  EXPECT_NE(blocks[512 + 2], 0);
  EXPECT_LE(blocks[512 + 2], 88);
  EXPECT_EQ(blocks[512 + 3], 0);
}

TEST(WaveAdpcmTest, ImaPredictorStaysWithinSymmetricRange) {
  // A full-scale square wave drives the predictor into both clamps.
  std::vector<int16_t> in(4000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = (i / 50) % 2 ? 32767 : -32768;
  const auto out = ImaRoundTrip(in, 1, 512);
  int16_t lo = 0, hi = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    if (i % 1017 == 0) continue;  // header samples are stored as they are
    lo = std::min(lo, out[i]);
    hi = std::max(hi, out[i]);
  }
  EXPECT_EQ(lo, -32767);
  EXPECT_EQ(hi, 32767);
}

TEST(WaveAdpcmTest, ShortBlocksDecodeTheirWholeCodesOnly) {
  const auto in = Sines(1017, 1, 44100);
  std::vector<uint8_t> block;
  ImaRoundTrip(in, 1, 512, &block);
  std::vector<int16_t> full(1017), part(1017);
  ASSERT_EQ(ImaDecodeBlock(block.data(), 512, 1, full.data(), 1017), 1017);
  ASSERT_EQ(ImaDecodeBlock(block.data(), 100, 1, part.data(), 1017), 1 + 2 * 96);
  EXPECT_TRUE(std::equal(part.begin(), part.begin() + 193, full.begin()));
  EXPECT_EQ(ImaDecodeBlock(block.data(), 3, 1, part.data(), 1017), -1);
  // Never more frames than asked for.
  EXPECT_EQ(ImaDecodeBlock(block.data(), 512, 1, part.data(), 10), 10);

  const auto st = Sines(505, 2, 44100);
  std::vector<uint8_t> sblock;
  ImaRoundTrip(st, 2, 512, &sblock);
  std::vector<int16_t> sfull(1010), spart(1010);
  ASSERT_EQ(ImaDecodeBlock(sblock.data(), 512, 2, sfull.data(), 505), 505);
  // 8 header bytes, three whole groups and a cut one.
  ASSERT_EQ(ImaDecodeBlock(sblock.data(), 8 + 24 + 5, 2, spart.data(), 505), 25);
  EXPECT_TRUE(std::equal(spart.begin(), spart.begin() + 50, sfull.begin()));
}

TEST(WaveAdpcmTest, MsAdpcmDecodesHeaderSamplesThenCodes) {
  const TMsAdpcmCoef coefs[7] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
  // Mono: predictor 1, delta 16, sample1 100, sample2 50, codes 1 and -1 (15).
  std::vector<uint8_t> block = FromHex("01 1000 6400 3200 1f");
  std::vector<int16_t> out(4);
  ASSERT_EQ(MsAdpcmDecodeBlock(block.data(), 8, 1, coefs, 7, out.data(), 4), 4);
  EXPECT_EQ(out[0], 50);
  EXPECT_EQ(out[1], 100);
  // (100*512 - 50*256)/256 = 150, + 1*16
  EXPECT_EQ(out[2], 166);
  // delta 16*230/256 -> 14, at least 16: (166*512 - 100*256)/256 = 232, - 16
  EXPECT_EQ(out[3], 216);

  // Prediction rounds toward zero: (-3*256 + -1*0)/256 with coef 240: -3*240/256 = -2.8 -> -2.
  std::vector<uint8_t> neg = FromHex("04 1000 fdff 0000 00");
  ASSERT_EQ(MsAdpcmDecodeBlock(neg.data(), 8, 1, coefs, 7, out.data(), 4), 4);
  EXPECT_EQ(out[2], -2);

  // Stereo: left code in the high nibble, right in the low one.
  std::vector<uint8_t> st = FromHex("00 00 1000 2000 0a00 f6ff 0500 fbff 1f");
  std::vector<int16_t> sout(6);
  ASSERT_EQ(MsAdpcmDecodeBlock(st.data(), 15, 2, coefs, 7, sout.data(), 3), 3);
  EXPECT_EQ(sout[0], 5);
  EXPECT_EQ(sout[1], -5);
  EXPECT_EQ(sout[2], 10);
  EXPECT_EQ(sout[3], -10);
  EXPECT_EQ(sout[4], 10 + 16);
  EXPECT_EQ(sout[5], -10 - 32);

  // A predictor index the table does not have, or a block cut inside its header.
  block[0] = 7;
  EXPECT_EQ(MsAdpcmDecodeBlock(block.data(), 8, 1, coefs, 7, out.data(), 4), -1);
  EXPECT_EQ(MsAdpcmDecodeBlock(st.data(), 13, 2, coefs, 7, out.data(), 3), -1);
}

TEST(WaveAdpcmTest, MsAdpcmSurvivesHostileDeltas) {
  const TMsAdpcmCoef coefs[2] = {{32767, 32767}, {-32768, -32768}};
  std::mt19937 rng(7);
  std::vector<uint8_t> block(2048);
  std::vector<int16_t> out(4096);
  for (int round = 0; round < 200; ++round) {
    for (auto& b : block) b = static_cast<uint8_t>(rng());
    block[0] = round % 2;
    block[1] = (round / 2) % 2;
    // Largest codes keep multiplying the delta; it must stay bounded, not overflow.
    if (round % 3 == 0) std::fill(block.begin() + 14, block.end(), uint8_t{0x77});
    const int32_t n = MsAdpcmDecodeBlock(block.data(), 2048, 2, coefs, 2, out.data(), 2048);
    EXPECT_EQ(n, 2036);
  }
}
