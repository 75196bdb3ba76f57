// The format record, format suggestion, and the stream header protocol.
#include <gtest/gtest.h>

#include "tests/platform/acm/AcmTestUtil.h"

using namespace acmtest;

namespace {

// Microsoft ADPCM as "fmt " stores it: mono 8000 Hz, 256-byte blocks of 500
// samples, the seven standard coefficient pairs.
const std::vector<uint8_t> kMsAdpcm = {0x02, 0x00, 0x01, 0x00, 0x40, 0x1f, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00,
                                       0x01, 0x04, 0x00, 0x20, 0x00, 0xf4, 0x01, 0x07, 0x00, 0x00, 0x01, 0x00, 0x00,
                                       0x00, 0x02, 0x00, 0xff, 0x00, 0x00, 0x00, 0x00, 0xc0, 0x00, 0x40, 0x00, 0xf0,
                                       0x00, 0x00, 0x00, 0xcc, 0x01, 0x30, 0xff, 0x88, 0x01, 0x18, 0xff};

WAVEFORMATEX MsAdpcm() {
  WAVEFORMATEX f;
  EXPECT_TRUE(WAVEFORMATEX::FromBytes(kMsAdpcm.data(), kMsAdpcm.size(), f));
  return f;
}

}  // namespace

TEST(AcmFormatRecord, KeepsExtraBytesAndRefusesTruncatedRecords) {
  WAVEFORMATEX want = PcmFormat(1, 8000, 16);
  want.wFormatTag = WAVE_FORMAT_ADPCM;
  want.nAvgBytesPerSec = 4096;
  want.nBlockAlign = 256;
  want.wBitsPerSample = 4;
  want.Extra.assign(kMsAdpcm.begin() + 18, kMsAdpcm.end());
  EXPECT_EQ(MsAdpcm(), want);
  EXPECT_EQ(want.ToBytes(), kMsAdpcm);
  uint32_t max = 0;
  ASSERT_EQ(acmMetrics(ACM_METRIC_MAX_SIZE_FORMAT, max), MMSYSERR_NOERROR);
  EXPECT_GE(max, kMsAdpcm.size());

  WAVEFORMATEX f;
  EXPECT_FALSE(WAVEFORMATEX::FromBytes(kMsAdpcm.data(), 15, f));
  EXPECT_FALSE(WAVEFORMATEX::FromBytes(kMsAdpcm.data(), kMsAdpcm.size() - 1, f));         // cbSize runs past the end
  ASSERT_TRUE(WAVEFORMATEX::FromBytes(PcmFormat(2, 44100, 24).ToBytes().data(), 16, f));  // no cbSize at all
  EXPECT_EQ(f, PcmFormat(2, 44100, 24));
}

TEST(AcmFormatSuggest, GivesSixteenBitPcmOnlyForRecordsTheDecoderHonours) {
  WAVEFORMATEX dst;
  dst.wFormatTag = WAVE_FORMAT_PCM;
  ASSERT_EQ(acmFormatSuggest(MsAdpcm(), dst, 129, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
  EXPECT_EQ(dst, PcmFormat(1, 8000, 16));
  HACMSTREAM s;
  ASSERT_EQ(acmStreamOpen(s, MsAdpcm(), dst, 0), MMSYSERR_NOERROR);
  uint32_t room = 0;
  ASSERT_EQ(acmStreamSize(s, 256 * 3 + 1, room, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
  EXPECT_EQ(room, 4u * 500 * 2);  // three blocks and the start of a fourth

  // libavcodec decodes Microsoft ADPCM with the standard table whatever the
  // record says, so another table would come out wrong.
  WAVEFORMATEX custom = MsAdpcm();
  custom.Extra[8] = 0x01;
  EXPECT_EQ(acmFormatSuggest(custom, dst, 129, ACM_FORMATSUGGESTF_WFORMATTAG), ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(acmStreamOpen(s, custom, PcmFormat(1, 8000, 16), 0), ACMERR_NOTPOSSIBLE);
  EXPECT_FALSE(s);
}

TEST(AcmStreamHeader, BlockAlignedConversionLeavesPartialFrameAndLastOneEndsStream) {
  HACMSTREAM s;
  ASSERT_EQ(acmStreamOpen(s, PcmFormat(1, 8000, 16), PcmFormat(1, 16000, 16), 0), MMSYSERR_NOERROR);
  std::vector<uint8_t> src(200, 1), dst(70000);
  ACMSTREAMHEADER h;
  h.pbSrc = src.data();
  h.cbSrcLength = 200;
  h.pbDst = dst.data();
  h.cbDstLength = 70000;
  EXPECT_EQ(acmStreamConvert(s, h, 0), ACMERR_UNPREPARED);
  ASSERT_EQ(acmStreamPrepareHeader(s, h, 0), MMSYSERR_NOERROR);
  h.cbDstLength = 70001;
  EXPECT_EQ(acmStreamConvert(s, h, 0), MMSYSERR_INVALPARAM);  // nor grow
  h.cbDstLength = 70000;
  h.cbSrcLength = 101;  // lengths may shrink after prepare
  ASSERT_EQ(acmStreamConvert(s, h, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
  EXPECT_EQ(h.cbSrcLengthUsed, 100u);
  EXPECT_EQ(h.fdwStatus, ACMSTREAMHEADER_STATUSF_PREPARED | ACMSTREAMHEADER_STATUSF_DONE);
  const uint32_t first = h.cbDstLengthUsed;
  h.cbSrcLength = 0;
  ASSERT_EQ(acmStreamConvert(s, h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(first + h.cbDstLengthUsed, 200u);  // 50 frames at double rate

  // Closing with the header still prepared is allowed; the header does not
  // match a stream opened afterwards, wherever that lands in memory.
  EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamConvert(s, h, 0), MMSYSERR_INVALHANDLE);
  ASSERT_EQ(acmStreamOpen(s, PcmFormat(1, 8000, 16), PcmFormat(1, 16000, 16), 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamConvert(s, h, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(acmStreamUnprepareHeader(s, h, 0), MMSYSERR_INVALPARAM);
}
