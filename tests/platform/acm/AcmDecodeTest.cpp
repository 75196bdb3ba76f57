// Compressed payloads to 16-bit PCM, checked against ffmpeg's own decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "tests/platform/acm/AcmTestUtil.h"

using namespace acmtest;

namespace {

struct Kind {
  const char* Name;
  uint16_t Tag;
  int Rate, Channels;
  const char* Encoder;
  bool Exact;  // decoded as ffmpeg decodes it, sample for sample
};

const Kind kKinds[] = {
    {"ms_adpcm", WAVE_FORMAT_ADPCM, 44100, 2, "-c:a adpcm_ms", true},
    {"ima_adpcm", WAVE_FORMAT_IMA_ADPCM, 44100, 2, "-c:a adpcm_ima_wav", true},
    {"ima_adpcm_mono", WAVE_FORMAT_IMA_ADPCM, 22050, 1, "-c:a adpcm_ima_wav", true},
    {"alaw", WAVE_FORMAT_ALAW, 44100, 2, "-c:a pcm_alaw", true},
    {"mulaw", WAVE_FORMAT_MULAW, 8000, 1, "-c:a pcm_mulaw", true},
    {"gsm", WAVE_FORMAT_GSM610, 8000, 1, "-c:a libgsm_ms", true},
    {"mp3_vbr", WAVE_FORMAT_MPEGLAYER3, 44100, 2, "-c:a libmp3lame -q:a 4", true},
    {"mp3_lsf", WAVE_FORMAT_MPEGLAYER3, 22050, 1, "-c:a libmp3lame -b:a 32k", true},
    // ffmpeg decodes layer 2 with its fixed-point decoder, this layer with the float one.
    {"mp2", WAVE_FORMAT_MPEG, 48000, 2, "-c:a mp2 -b:a 192k", false},
};

bool IsMpeg(const Kind& K) { return K.Tag == WAVE_FORMAT_MPEG || K.Tag == WAVE_FORMAT_MPEGLAYER3; }

const Encoded& Fixture(const Kind& K) {
  static std::map<std::string, Encoded> made;
  auto it = made.find(K.Name);
  if (it == made.end())
    it = made.emplace(K.Name, MakeEncoded(K.Name, K.Rate, K.Channels, "1.3 sine 220 sine 150-5000 vol 0.8", K.Encoder))
             .first;
  return it->second;
}

const Encoded& Fixture(const char* Name) {
  return Fixture(
      *std::find_if(std::begin(kKinds), std::end(kKinds), [&](const Kind& K) { return std::string(K.Name) == Name; }));
}

HACMSTREAM OpenDecoder(const WAVEFORMATEX& Src) {
  WAVEFORMATEX pcm;
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  EXPECT_EQ(acmFormatSuggest(Src, pcm, 129, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
  EXPECT_EQ(pcm, PcmFormat(Src.nChannels, Src.nSamplesPerSec, 16));
  HACMSTREAM s;
  EXPECT_EQ(acmStreamOpen(s, Src, pcm, ACM_STREAMOPENF_NONREALTIME), MMSYSERR_NOERROR);
  return s;
}

double Correlation(const std::vector<int16_t>& A, const std::vector<int16_t>& B) {
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < std::min(A.size(), B.size()); ++i) ab += A[i] * B[i], aa += A[i] * A[i], bb += B[i] * B[i];
  return ab / std::sqrt(aa * bb);
}

void ExpectLike(const Kind& K, const std::vector<int16_t>& Got, const std::vector<int16_t>& Want) {
  if (K.Exact)
    EXPECT_TRUE(Got == Want) << K.Name << ": first difference at sample "
                             << (std::mismatch(Got.begin(), Got.end(), Want.begin(), Want.end()).first - Got.begin());
  else
    EXPECT_GT(Correlation(Got, Want), 0.999) << K.Name;
}

class AcmDecode : public ::testing::TestWithParam<Kind> {};

}  // namespace

TEST_P(AcmDecode, MatchesReferenceInOddChunks) {
  const Kind k = GetParam();
  const Encoded& e = Fixture(k);
  ASSERT_EQ(e.Format.wFormatTag, k.Tag);
  for (const std::vector<size_t>& chunks : {std::vector<size_t>{1}, {7, 333}, {4099}}) {
    HACMSTREAM s = OpenDecoder(e.Format);
    const Converted c = ConvertStream(s, e.Payload, chunks);
    ASSERT_EQ(c.Result, MMSYSERR_NOERROR) << k.Name << " chunk " << chunks[0];
    ASSERT_EQ(c.Out.size(), e.Reference.size() * 2) << k.Name << " chunk " << chunks[0];
    ExpectLike(k, AsInt16(c.Out), e.Reference);
  }
}

TEST_P(AcmDecode, ChunksFitTheirSizeEstimateWithNothingHeldBackButTheLastMpegFrame) {
  // As the callers convert: the whole WAV payload in one conversion, or AVI
  // chunks of whole blocks; block alignment always, each destination sized by
  // acmStreamSize, unused source never passed again. Until a conversion ends
  // the stream nothing may stay behind in it but the last MPEG frame, which
  // waits for the next one to show it whole.
  const Kind k = GetParam();
  const Encoded& e = Fixture(k);
  for (const size_t chunk : {e.Payload.size(), IsMpeg(k) ? 1000 : e.Format.nBlockAlign * size_t{3}}) {
    HACMSTREAM s = OpenDecoder(e.Format);
    std::vector<uint8_t> all;
    for (size_t pos = 0; pos < e.Payload.size(); pos += chunk) {
      const auto n = static_cast<uint32_t>(std::min(chunk, e.Payload.size() - pos));
      uint32_t room = 0, used = 0, produced = 0;
      ASSERT_EQ(acmStreamSize(s, n, room, 0), MMSYSERR_NOERROR);
      std::vector<uint8_t> out(room);
      ASSERT_EQ(ConvertOnce(s, &e.Payload[pos], n, out.data(), room, ACM_STREAMCONVERTF_BLOCKALIGN, used, produced),
                0u);
      EXPECT_EQ(used, n);
      if (!IsMpeg(k)) {
        EXPECT_EQ(produced, room) << "exact for whole blocks";
      }
      all.insert(all.end(), out.begin(), out.begin() + produced);
    }
    const size_t held = IsMpeg(k) ? size_t{1152} * k.Channels * 2 / (k.Rate < 32000 ? 2 : 1) : 0;
    ASSERT_EQ(all.size() + held, e.Reference.size() * 2) << k.Name << " chunk " << chunk;
    std::vector<uint8_t> tail(held + 64);
    uint32_t used = 0, produced = 0;
    ASSERT_EQ(ConvertOnce(s, nullptr, 0, tail.data(), static_cast<uint32_t>(tail.size()), 0, used, produced), 0u);
    EXPECT_EQ(produced, held);
    all.insert(all.end(), tail.begin(), tail.begin() + produced);
    ExpectLike(k, AsInt16(all), e.Reference);
  }
}

TEST_P(AcmDecode, CutPayloadStopsWithoutAddedSamples) {
  const Kind k = GetParam();
  const Encoded& e = Fixture(k);
  const std::vector<uint8_t> part(e.Payload.begin(), e.Payload.begin() + e.Payload.size() * 3 / 5 + 5);
  HACMSTREAM s = OpenDecoder(e.Format);
  const Converted c = ConvertStream(s, part, {500});
  ASSERT_EQ(c.Result, MMSYSERR_NOERROR) << k.Name;
  const std::vector<int16_t> got = AsInt16(c.Out);
  ASSERT_GT(got.size(), e.Reference.size() * 4 / 10) << k.Name;
  ASSERT_LT(got.size(), e.Reference.size() * 8 / 10) << k.Name;
  // The start of the full decode and nothing more: a cut ADPCM block still
  // holds its first samples, a cut MPEG frame would decode partly silent.
  ExpectLike(k, got, {e.Reference.begin(), e.Reference.begin() + static_cast<ptrdiff_t>(got.size())});
}

INSTANTIATE_TEST_SUITE_P(Payloads, AcmDecode, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<Kind>& I) { return std::string(I.param.Name); });

TEST(AcmDecodeDamage, DataWithoutFramesIsNotPossible) {
  const Encoded& e = Fixture("mp3_vbr");
  for (uint32_t seed : {1u, 2u, 3u}) {
    HACMSTREAM s = OpenDecoder(e.Format);
    const Converted c = ConvertStream(s, Noise(20000, seed), {777});
    EXPECT_EQ(c.Result, ACMERR_NOTPOSSIBLE) << "seed " << seed;
    EXPECT_TRUE(c.Out.empty());
  }
  // Nothing rejected, nothing found: the stream's end tells.
  HACMSTREAM s = OpenDecoder(e.Format);
  EXPECT_EQ(ConvertStream(s, std::vector<uint8_t>(5000), {777}).Result, ACMERR_NOTPOSSIBLE);
  // That stream has ended; the next starts afresh.
  const Converted c = ConvertStream(s, e.Payload, {4096});
  EXPECT_EQ(c.Result, MMSYSERR_NOERROR);
  EXPECT_TRUE(AsInt16(c.Out) == e.Reference);
}

TEST(AcmDecodeDamage, CorruptMpegFramesEndTheStreamAfterTheAudioBeforeThem) {
  const Encoded& e = Fixture("mp3_vbr");
  const size_t frame = 1152 * 2;
  for (const size_t at : {e.Payload.size() / 5, e.Payload.size() / 2, e.Payload.size() * 2 / 3}) {
    for (uint32_t seed : {7u, 8u, 9u}) {
      SCOPED_TRACE("at " + std::to_string(at) + " seed " + std::to_string(seed));
      std::vector<uint8_t> bad = e.Payload;
      const std::vector<uint8_t> noise = Noise(1500, seed);  // about five frames
      std::copy(noise.begin(), noise.end(), bad.begin() + static_cast<ptrdiff_t>(at));
      HACMSTREAM s = OpenDecoder(e.Format);
      const Converted c = ConvertStream(s, bad, {1000});
      EXPECT_EQ(c.Result, ACMERR_DAMAGED);
      const std::vector<int16_t> got = AsInt16(c.Out);
      // Exactly the audio before the frame the noise begins in, give or take the
      // frames of a variable bitrate around the proportional place.
      const size_t before = e.Reference.size() * at / e.Payload.size();
      EXPECT_GT(got.size() + 4 * frame, before);
      EXPECT_LT(got.size(), before + 2 * frame);
      EXPECT_TRUE(std::equal(got.begin(), got.end(), e.Reference.begin()));
      // Nothing more comes from the stream, sound bytes neither; its end starts the
      // next one afresh.
      uint32_t used = 0, produced = 0;
      uint8_t out[8192];
      EXPECT_EQ(ConvertOnce(s, e.Payload.data(), 4096, out, sizeof out, ACM_STREAMCONVERTF_BLOCKALIGN, used, produced),
                ACMERR_DAMAGED);
      EXPECT_EQ(produced, 0u);
      EXPECT_EQ(ConvertOnce(s, nullptr, 0, out, sizeof out, 0, used, produced), ACMERR_DAMAGED);
      const Converted again = ConvertStream(s, e.Payload, {4096});
      EXPECT_EQ(again.Result, MMSYSERR_NOERROR);
      EXPECT_TRUE(AsInt16(again.Out) == e.Reference);
      // Room for less than a frame: the damage waits until the audio before it is out.
      HACMSTREAM small = OpenDecoder(e.Format);
      const Converted bit = ConvertStream(small, bad, {1000}, 1000);
      EXPECT_EQ(bit.Result, ACMERR_DAMAGED);
      EXPECT_TRUE(bit.Out == c.Out);
    }
  }
}

TEST(AcmDecodeDamage, JunkBeforeFirstMpegFrameCostsNothing) {
  // The parser hands the junk over together with the first frame, which the
  // decoder then rejects whole; the frame must be found again inside it.
  const Encoded& e = Fixture("mp3_vbr");
  for (uint32_t seed : {1u, 2u, 3u}) {
    std::vector<uint8_t> payload = Noise(300, seed);
    payload.insert(payload.end(), e.Payload.begin(), e.Payload.end());
    for (size_t chunk : {size_t{1000}, payload.size()}) {
      HACMSTREAM s = OpenDecoder(e.Format);
      const Converted c = ConvertStream(s, payload, {chunk});
      ASSERT_EQ(c.Result, MMSYSERR_NOERROR);
      EXPECT_TRUE(AsInt16(c.Out) == e.Reference) << "seed " << seed << " chunk " << chunk;
    }
  }
}

TEST(AcmDecodeDamage, GarbageBlocksReturnCleanly) {
  // Wild step indexes and predictor numbers in the block headers.
  for (const char* name : {"ms_adpcm", "ima_adpcm", "ima_adpcm_mono", "gsm"}) {
    const Encoded& e = Fixture(name);
    HACMSTREAM s = OpenDecoder(e.Format);
    const Converted c = ConvertStream(s, Noise(e.Format.nBlockAlign * 20 + 3, 11), {100});
    EXPECT_TRUE(c.Result == MMSYSERR_NOERROR || c.Result == ACMERR_NOTPOSSIBLE || c.Result == ACMERR_DAMAGED)
        << name << " " << c.Result;
    EXPECT_EQ(c.Out.size() % (2 * e.Format.nChannels), 0u) << name;
  }
}

TEST(AcmDecodeDamage, FramesAtAnotherRateThanTheRecordAreRefused) {
  Encoded e = Fixture("mp3_vbr");
  e.Format.nSamplesPerSec = 48000;  // the frames say 44100
  HACMSTREAM s = OpenDecoder(e.Format);
  const Converted c = ConvertStream(s, e.Payload, {4096});
  EXPECT_EQ(c.Result, ACMERR_NOTPOSSIBLE);
  EXPECT_TRUE(c.Out.empty());
}

TEST(AcmDecodeSize, MpegEstimateCoversFramesWithoutAverageRate) {
  // ffmpeg writes 0 as the average rate of layer 3: the estimate takes the
  // lowest bitrate. The layer 2 record has the real one.
  for (const char* name : {"mp3_vbr", "mp3_lsf", "mp2"}) {
    const Encoded& e = Fixture(name);
    HACMSTREAM s = OpenDecoder(e.Format);
    for (size_t n : {size_t{1}, size_t{417}, e.Payload.size() / 3, e.Payload.size()}) {
      uint32_t room = 0;
      ASSERT_EQ(acmStreamSize(s, static_cast<uint32_t>(n), room, 0), MMSYSERR_NOERROR);
      EXPECT_GE(room, e.Reference.size() * 2 * n / e.Payload.size()) << name << " " << n;
    }
  }
}
