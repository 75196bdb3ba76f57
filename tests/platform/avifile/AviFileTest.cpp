// The AVI file interface: header parsing of crafted and damaged bytes, and stream
// reading by samples on files made by ffmpeg.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/avifile/AviFile.h"
#include "tests/support/Files.h"
#include "tests/support/Tools.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& B, uint32_t V) {
  for (int i = 0; i < 4; ++i) B.push_back(static_cast<uint8_t>(V >> (8 * i)));
}

Bytes Chunk(uint32_t Id, const Bytes& Body, int64_t Declared = -1) {
  Bytes c;
  Put32(c, Id);
  Put32(c, Declared >= 0 ? static_cast<uint32_t>(Declared) : static_cast<uint32_t>(Body.size()));
  c.insert(c.end(), Body.begin(), Body.end());
  if (Body.size() & 1) c.push_back(0);
  return c;
}

Bytes List(uint32_t Type, const std::vector<Bytes>& Children) {
  Bytes body;
  Put32(body, Type);
  for (const auto& c : Children) body.insert(body.end(), c.begin(), c.end());
  return Chunk(AviFourCC('L', 'I', 'S', 'T'), body);
}

Bytes Strh(uint32_t Type, uint32_t Scale, uint32_t Rate, uint32_t Length, uint32_t SampleSize) {
  Bytes b;
  Put32(b, Type);
  Put32(b, 0);  // handler
  Put32(b, 0);  // flags
  Put32(b, 0);  // priority, language
  Put32(b, 0);  // initial frames
  Put32(b, Scale);
  Put32(b, Rate);
  Put32(b, 0);  // start
  Put32(b, Length);
  Put32(b, 4096);
  Put32(b, 0xFFFFFFFF);
  Put32(b, SampleSize);
  for (int i = 0; i < 4; ++i) Put32(b, 0);  // frame rectangle (absent in some writers)
  return Chunk(AviFourCC('s', 't', 'r', 'h'), b);
}

Bytes Avi(const Bytes& Hdrl) {
  Bytes form;
  Put32(form, AviFourCC('A', 'V', 'I', ' '));
  form.insert(form.end(), Hdrl.begin(), Hdrl.end());
  return Chunk(AviFourCC('R', 'I', 'F', 'F'), form);
}

using testsupport::Shell;
using testsupport::TempPath;

std::string MakeAvi(const std::string& Codec, const std::string& Extra = "") {
  const std::string path = TempPath(Codec + ".avi");
  Shell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=32x24:rate=10 -f lavfi -i sine=f=440:r=22050 -t 1.2 "
      "-c:v mjpeg -c:a " + Codec + " " + Extra + " -shortest " + testsupport::Quote(path));
  return path;
}

}  // namespace

TEST(AviHeaderTest, StreamHeadersAreReadAndDamageIsBounded) {
  const Bytes waveFormat = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
  const Bytes hdrl = List(AviFourCC('h', 'd', 'r', 'l'),
                          {Chunk(AviFourCC('a', 'v', 'i', 'h'), Bytes(56, 0)),
                           List(AviFourCC('s', 't', 'r', 'l'), {Strh(AviFourCC('v', 'i', 'd', 's'), 1, 25, 10, 0)}),
                           List(AviFourCC('s', 't', 'r', 'l'),
                                {Strh(AviFourCC('a', 'u', 'd', 's'), 4, 176400, 1000, 4),
                                 Chunk(AviFourCC('s', 't', 'r', 'f'), waveFormat),
                                 Chunk(AviFourCC('s', 't', 'r', 'n'), Bytes{'S', 'n', 'd', 0})})});
  const Bytes file = Avi(hdrl);
  std::vector<TAviStreamHeader> s;
  ASSERT_TRUE(ParseAviHeader(file.data(), file.size(), s));
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].fccType, AviFourCC('v', 'i', 'd', 's'));
  EXPECT_EQ(s[1].fccType, streamtypeAUDIO);
  EXPECT_EQ(s[1].dwScale, 4u);
  EXPECT_EQ(s[1].dwRate, 176400u);
  EXPECT_EQ(s[1].dwLength, 1000u);
  EXPECT_EQ(s[1].dwSampleSize, 4u);
  EXPECT_EQ(s[1].Format, waveFormat);
  EXPECT_EQ(s[1].Name, "Snd");

  // Every cut of the file: either no header list, or only what fits.
  for (size_t n = 0; n < file.size(); ++n) {
    std::vector<TAviStreamHeader> part;
    EXPECT_FALSE(ParseAviHeader(file.data(), n, part)) << n;  // the list is incomplete
  }
  // A child chunk that claims more than its list holds is ignored.
  Bytes bad = file;
  const size_t strf = std::search(bad.begin(), bad.end(), std::begin("strf"), std::end("strf") - 1) - bad.begin();
  bad[strf + 4] = 0xFF;
  bad[strf + 5] = 0xFF;
  ASSERT_TRUE(ParseAviHeader(bad.data(), bad.size(), s));
  EXPECT_TRUE(s[1].Format.empty());
  EXPECT_EQ(s[1].dwSampleSize, 4u);
  // Not a RIFF AVI form.
  Bytes wave = file;
  wave[8] = 'W';
  EXPECT_FALSE(ParseAviHeader(wave.data(), wave.size(), s));
}

TEST(AviFileTest, ReadBySamplesWithFixedAndVariableSampleSizes) {
  AVIFileInit();
  // PCM: one sample is one frame of 2 bytes.
  {
    const std::string path = MakeAvi("pcm_s16le");
    PAVIFILE f;
    ASSERT_EQ(AVIFileOpen(f, path, OF_READ), AVIERR_OK);
    PAVISTREAM s;
    ASSERT_EQ(AVIFileGetStream(f, s, streamtypeAUDIO, 0), AVIERR_OK);
    EXPECT_EQ(AVIFileGetStream(f, s, streamtypeAUDIO, 1), AVIERR_NODATA);
    ASSERT_EQ(AVIFileGetStream(f, s, streamtypeAUDIO, 0), AVIERR_OK);
    f.reset();  // the stream lives on without the file handle
    AVISTREAMINFO info;
    ASSERT_EQ(AVIStreamInfo(s, info), AVIERR_OK);
    EXPECT_EQ(info.dwSampleSize, 2u);
    EXPECT_EQ(AVIStreamLength(s), 26460);  // 1.2 s at 22050 Hz, counted from the chunks
    int32_t bytes = 0, samples = 0;
    EXPECT_EQ(AVIStreamRead(s, 100, 1000, nullptr, 0, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(bytes, 2000);
    EXPECT_EQ(samples, 1000);
    std::vector<uint8_t> a(2000), b(200);
    ASSERT_EQ(AVIStreamRead(s, 100, 1000, a.data(), 2000, &bytes, &samples), AVIERR_OK);
    // The same bytes from another start, after reading further on.
    ASSERT_EQ(AVIStreamRead(s, 20000, 100, b.data(), 200, &bytes, &samples), AVIERR_OK);
    ASSERT_EQ(AVIStreamRead(s, 600, 100, b.data(), 200, &bytes, &samples), AVIERR_OK);
    EXPECT_TRUE(std::equal(b.begin(), b.end(), a.begin() + 1000));
    // The room limits the count; the end limits it; past the end nothing comes.
    EXPECT_EQ(AVIStreamRead(s, 0, 1000, a.data(), 7, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 3);
    EXPECT_EQ(AVIStreamRead(s, 26450, 1000, a.data(), 2000, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 10);
    EXPECT_EQ(AVIStreamRead(s, 26460, 10, a.data(), 2000, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 0);
    EXPECT_EQ(AVIStreamRead(s, -1, 10, a.data(), 2000, &bytes, &samples), AVIERR_BADPARAM);
  }
  // MP3: variable sample size, one chunk per sample; the whole format record.
  {
    const std::string path = MakeAvi("libmp3lame");
    PAVIFILE f;
    ASSERT_EQ(AVIFileOpen(f, path, OF_READ), AVIERR_OK);
    PAVISTREAM s;
    ASSERT_EQ(AVIFileGetStream(f, s, streamtypeAUDIO, 0), AVIERR_OK);
    AVISTREAMINFO info;
    AVIStreamInfo(s, info);
    EXPECT_EQ(info.dwSampleSize, 0u);
    EXPECT_GT(AVIStreamLength(s), 20);
    int32_t bytes = 0, samples = 0;
    ASSERT_EQ(AVIStreamRead(s, 0, 3, nullptr, 0, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 3);
    std::vector<uint8_t> buf(bytes);
    EXPECT_EQ(AVIStreamRead(s, 0, 3, buf.data(), 10, &bytes, &samples), AVIERR_BUFFERTOOSMALL);
    ASSERT_EQ(AVIStreamRead(s, 0, 3, buf.data(), static_cast<int32_t>(buf.size()), &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 3);
    EXPECT_EQ(buf[0], 0xFF);  // an MPEG frame starts every chunk
    EXPECT_EQ(buf[1] & 0xE0, 0xE0);
  }
  {
    const std::string path = MakeAvi("adpcm_ms");
    PAVIFILE f;
    ASSERT_EQ(AVIFileOpen(f, path, OF_READ), AVIERR_OK);
    PAVISTREAM s;
    ASSERT_EQ(AVIFileGetStream(f, s, streamtypeAUDIO, 0), AVIERR_OK);
    int32_t size = 0;
    AVIStreamReadFormat(s, 0, nullptr, size);
    EXPECT_EQ(size, 50);  // with the coefficient table
    std::vector<uint8_t> fmt(size);
    AVIStreamReadFormat(s, 0, fmt.data(), size);
    EXPECT_EQ(fmt[0], 2);
    EXPECT_EQ(fmt[16], 32);  // cbSize
  }
  // Not an AVI file; no such file.
  PAVIFILE f;
  const std::string text = TempPath("text.avi");
  std::ofstream(text) << "RIFF....WAVEfmt nothing here";
  EXPECT_EQ(AVIFileOpen(f, text, OF_READ), AVIERR_FILEOPEN);
  EXPECT_EQ(AVIFileOpen(f, TempPath("missing.avi"), OF_READ), AVIERR_FILEOPEN);
  AVIFileExit();
}
