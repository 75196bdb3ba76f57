// WavPack input: files made by Debian's wavpack, read bit-exact.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "audio/codecs/wavpack/TSL_WavPack.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/SysUtils.h"
#include "tests/support/Files.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

using namespace testsupport;

namespace {

std::string Pack(const std::string& Wav, const std::string& Wv, const std::string& Options = "") {
  std::string log;
  EXPECT_TRUE(RunOk("wavpack -q -y " + Options + " " + Quote(Wav) + " -o " + Quote(Wv), &log)) << log;
  return Wv;
}

std::vector<uint8_t> Unpack(const TTempDir& Dir, const std::string& Wv, const std::string& Options = "") {
  const std::string raw = Dir.Path("ref.raw");
  std::string log;
  EXPECT_TRUE(RunOk("wvunpack -q -y -r " + Options + " " + Quote(Wv) + " -o " + Quote(raw), &log)) << log;
  auto d = ReadFile(raw);
  DeleteFile(raw);
  return d;
}

TComponentPtr<TWVIn> Open(const std::string& Wv) {
  TComponentPtr<TWVIn> in(new TWVIn(nullptr));
  in->SetFileName(Wv);
  return in;
}

// What the input must make of 32-bit float samples in a 32-bit integer stream.
std::vector<uint8_t> FloatsToInt32(const std::vector<uint8_t>& Floats) {
  std::vector<uint8_t> r(Floats.size());
  for (size_t i = 0; i + 4 <= Floats.size(); i += 4) {
    float f;
    std::memcpy(&f, &Floats[i], 4);
    const double x = f;
    const int32_t v = x >= 1.0 ? INT32_MAX : x < -1.0 ? INT32_MIN : int32_t(std::nearbyint(x * 2147483647.0));
    std::memcpy(&r[i], &v, 4);
  }
  return r;
}

}  // namespace

TEST(WavPackInTest, FilesOfEveryWidthReadBitExact) {
  RequireTools({"sox", "wavpack", "wvunpack"});
  TTempDir dir;
  struct TCase {
    int Bits, Channels;
    const char* Options;
  } cases[] = {{8, 1, "-f"}, {16, 2, ""}, {16, 2, "-hh -x3"}, {24, 2, "-h"}, {32, 1, ""}, {24, 6, ""}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Bits << " bits, " << c.Channels << " channels " << c.Options);
    const std::string wv = Pack(MakeSource(dir, "src", c.Bits, c.Channels, 48000, 1.3), dir.Path("f.wv"), c.Options);
    const std::vector<uint8_t> src = ReadFile(dir.Path("src.raw"));
    ASSERT_EQ(Unpack(dir, wv), src);  // the reference agrees with the source
    auto in = Open(wv);
    ASSERT_TRUE(in->Valid());
    EXPECT_EQ(in->BitsPerSample(), c.Bits);
    EXPECT_EQ(in->Channels(), c.Channels);
    EXPECT_EQ(in->SampleRate(), 48000);
    EXPECT_EQ(in->TotalSamples(), int64_t(src.size() / (c.Bits / 8 * c.Channels)));
    EXPECT_EQ(Collect(*in), src);
  }
}

TEST(WavPackInTest, FloatFilesBecomeScaled32BitIntegers) {
  RequireTools({"sox", "wavpack", "wvunpack"});
  TTempDir dir;
  const std::string wav = MakeSource(dir, "src", 32, 2, 44100, 1.0, true);
  // Full scale and beyond, to see the clipping: +1.0 is the largest value.
  ASSERT_TRUE(RunOk("sox -D -n -r 44100 -b 32 -e floating-point -c 2 " + Quote(dir.Path("loud.wav")) +
                    " synth 0.2 square 441 gain 6"));
  for (const std::string name : {"src", "loud"}) {
    SCOPED_TRACE(name);
    const std::string wv = Pack(dir.Path(name + ".wav"), dir.Path(name + ".wv"));
    const std::vector<uint8_t> floats = Unpack(dir, wv);
    auto in = Open(wv);
    ASSERT_TRUE(in->Valid());
    EXPECT_EQ(in->BitsPerSample(), 32);
    const std::vector<uint8_t> got = Collect(*in);
    ASSERT_EQ(got.size(), floats.size());
    EXPECT_EQ(got, FloatsToInt32(floats));
  }
  (void)wav;
}

TEST(WavPackInTest, FloatFilesOfAnotherScaleAreNormalised) {
  RequireTools({"wvunpack"});
  TTempDir dir;
  ASSERT_TRUE(LoadWavpackLibrary());
  // Floats in +/-32768 (exponent 142), as some programs write them.
  const std::string wv = dir.Path("scaled.wv");
  std::vector<float> values;
  for (int i = 0; i < 4410; ++i) values.push_back(float(std::sin(i * 0.05) * 20000.0 + (i % 7) * 0.25));
  values.push_back(32768.0f);
  values.push_back(-40000.0f);
  {
    TFileStream f(wv, fmCreate);
    TWavpackEncoder enc(&f, nullptr);
    WavpackConfig& c = enc.Config();
    c.bits_per_sample = 32;
    c.bytes_per_sample = 4;
    c.float_norm_exp = 142;
    c.num_channels = 1;
    c.channel_mask = 4;
    c.sample_rate = 44100;
    ASSERT_TRUE(enc.Init(int64_t(values.size())));
    std::vector<int32_t> bits(values.size());
    std::memcpy(bits.data(), values.data(), values.size() * 4);
    ASSERT_TRUE(enc.PackSamples(bits.data(), uint32_t(bits.size())));
    ASSERT_TRUE(enc.FlushSamples());
  }
  const std::vector<uint8_t> normalised = Unpack(dir, wv, "--normalize-floats");
  ASSERT_EQ(normalised.size(), values.size() * 4);
  float first;
  std::memcpy(&first, normalised.data() + 4 * 100, 4);
  EXPECT_NEAR(first, values[100] / 32768.0f, 1e-6);
  auto in = Open(wv);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(Collect(*in), FloatsToInt32(normalised));
}

TEST(WavPackInTest, OddWidthsAreDeliveredInWholeBytes) {
  RequireTools({"sox", "wavpack", "wvunpack"});
  TTempDir dir;
  MakeSource(dir, "s24", 24, 2, 44100, 0.7);
  // A plain PCM WAV that declares 20 valid bits in 3-byte samples.
  std::vector<uint8_t> raw = ReadFile(dir.Path("s24.raw"));
  for (size_t i = 0; i < raw.size(); i += 3) raw[i] &= 0xF0;
  std::vector<uint8_t> wav;
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) wav.push_back(uint8_t(v >> (8 * i)));
  };
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) wav.push_back(uint8_t(t[i]));
  };
  tag("RIFF"), put(uint32_t(36 + raw.size()), 4), tag("WAVE"), tag("fmt "), put(16, 4);
  put(1, 2), put(2, 2), put(44100, 4), put(44100 * 6, 4), put(6, 2), put(20, 2);
  tag("data"), put(uint32_t(raw.size()), 4);
  wav.insert(wav.end(), raw.begin(), raw.end());
  WriteFile(dir.Path("s20.wav"), wav);
  const std::string wv = Pack(dir.Path("s20.wav"), dir.Path("s20.wv"));
  std::string info;
  RunOk("wvunpack -s " + Quote(wv), &info);
  ASSERT_NE(info.find("20-bit"), std::string::npos) << info;
  auto in = Open(wv);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->BitsPerSample(), 24);
  EXPECT_EQ(Collect(*in), raw);
}

TEST(WavPackInTest, HybridFilesUseTheirCorrectionFile) {
  RequireTools({"sox", "wavpack", "wvunpack"});
  TTempDir dir;
  const std::string wav = MakeSource(dir, "src", 16, 2, 44100, 1.5);
  const std::string wv = Pack(wav, dir.Path("h.wv"), "-b320 -c");
  ASSERT_TRUE(FileExists(dir.Path("h.wvc")));
  const std::vector<uint8_t> src = ReadFile(dir.Path("src.raw"));
  {
    auto in = Open(wv);
    EXPECT_EQ(Collect(*in), src);
  }
  // A correction stream of the caller's works as well as the file beside the input.
  {
    TMemoryStream main, correction;
    main.LoadFromFile(wv);
    correction.LoadFromFile(dir.Path("h.wvc"));
    TComponentPtr<TWVIn> in(new TWVIn(nullptr));
    in->SetStream(&main);
    in->SetCorrectionStream(&correction);
    EXPECT_EQ(Collect(*in), src);
    EXPECT_EQ(Collect(*in), src);  // both streams are rewound for the next run
  }
  // Without it: the lossy part, exactly as wvunpack decodes it.
  ASSERT_TRUE(RenameFile(dir.Path("h.wvc"), dir.Path("aside.wvc")));
  const std::vector<uint8_t> lossy = Unpack(dir, wv);
  ASSERT_NE(lossy, src);
  auto in = Open(wv);
  EXPECT_EQ(Collect(*in), lossy);
}

TEST(WavPackInTest, RangesAndSeeksMatchTheReferenceSlice) {
  RequireTools({"sox", "wavpack"});
  TTempDir dir;
  const std::string wv = Pack(MakeSource(dir, "src", 24, 2, 44100, 3.0), dir.Path("r.wv"));
  const std::vector<uint8_t> src = ReadFile(dir.Path("src.raw"));
  const size_t frame = 6;
  const int64_t total = int64_t(src.size() / frame);
  auto slice = [&](int64_t From, int64_t To) {  // frames [From, To)
    return std::vector<uint8_t>(src.begin() + From * frame, src.begin() + To * frame);
  };
  auto in = Open(wv);
  struct TRange {
    int64_t Start, End;  // End inclusive, -1: to the end
  } ranges[] = {{0, -1}, {12345, 54321}, {total - 1000, -1}, {88200, 88200}, {70000, total + 500}};
  for (const TRange& r : ranges) {
    SCOPED_TRACE(testing::Message() << r.Start << ".." << r.End);
    in->SetStartSample(r.Start);
    in->SetEndSample(r.End);
    const int64_t to = r.End < 0 || r.End >= total ? total : r.End + 1;
    EXPECT_EQ(Collect(*in), slice(r.Start, to));
  }
  // Seek on an idle input starts the next run there.
  in = Open(wv);
  ASSERT_TRUE(in->Seek(100000));
  EXPECT_EQ(Collect(*in), slice(100000, total));
  // Seek during a run moves the decoder; the rest of the data comes from there.
  TComponentPtr<TCollectOut> out(new TCollectOut(nullptr));
  out->BlockSize = 6000;
  out->SetInput(in.get());
  bool seeked = false;
  out->OnBlock = [&](int Block) {
    if (Block == 3) seeked = in->Seek(20000);
  };
  ASSERT_EQ(RunOutput(*out), "");
  ASSERT_TRUE(seeked);
  std::vector<uint8_t> expect = slice(0, 3000);
  const std::vector<uint8_t> rest = slice(20000, total);
  expect.insert(expect.end(), rest.begin(), rest.end());
  EXPECT_EQ(out->Data, expect);
}

TEST(WavPackInTest, ApeTagItemsFillTheApeSet) {
  RequireTools({"sox", "wavpack"});
  TTempDir dir;
  const std::string wv = Pack(MakeSource(dir, "src", 16, 2, 44100, 0.3), dir.Path("t.wv"),
                              "-w \"Title=Grüße, 東京\" -w Artist=Someone -w Album=Record -w Year=2003 "
                              "-w Track=4/12 -w Genre=Jazz -w Comment=Fine");
  auto in = Open(wv);
  ASSERT_TRUE(in->Valid());
  const TAPEv2Tags& t = *in->APEv2Tags();
  EXPECT_EQ(t.Title(), u"Grüße, 東京");
  EXPECT_EQ(t.Artist(), u"Someone");
  EXPECT_EQ(t.Album(), u"Record");
  EXPECT_EQ(t.Year(), "2003");
  EXPECT_EQ(t.Track(), "4/12");
  EXPECT_EQ(t.Genre(), u"Jazz");
  EXPECT_EQ(t.Comment(), u"Fine");
  EXPECT_TRUE(in->Id3v1Tags()->Empty());
}

TEST(WavPackInTest, AnId3v1BlockFillsTheId3v1Set) {
  RequireTools({"sox", "wavpack", "id3v2"});
  TTempDir dir;
  const std::string wv = Pack(MakeSource(dir, "src", 16, 2, 44100, 0.3), dir.Path("i.wv"));
  ASSERT_TRUE(RunOk("id3v2 -1 -t Tïtle -a Artist -A Album -y 2001 -c Comment -T 5 -g 17 " + Quote(wv)));
  auto in = Open(wv);
  ASSERT_TRUE(in->Valid());
  const TId3v1Tags& t = *in->Id3v1Tags();
  EXPECT_EQ(t.Title(), "Tïtle");  // Latin-1 in the file
  EXPECT_EQ(t.Artist(), "Artist");
  EXPECT_EQ(t.Album(), "Album");
  EXPECT_EQ(t.Year(), 2001);
  EXPECT_EQ(t.Comment(), "Comment");
  EXPECT_EQ(t.Track(), 5);
  EXPECT_TRUE(in->APEv2Tags()->Empty());
  EXPECT_EQ(Collect(*in), ReadFile(dir.Path("src.raw")));  // the tag is not audio

  // No tag at all: both sets empty.
  auto plain = Open(Pack(dir.Path("src.wav"), dir.Path("p.wv")));
  ASSERT_TRUE(plain->Valid());
  EXPECT_TRUE(plain->Id3v1Tags()->Empty());
  EXPECT_TRUE(plain->APEv2Tags()->Empty());
}

TEST(WavPackInTest, DamagedFilesAreRejectedOrFailAfterWhatIsThere) {
  RequireTools({"sox", "wavpack"});
  TTempDir dir;
  std::vector<uint8_t> junk(5000);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = uint8_t(i * 7919 >> 3);
  WriteFile(dir.Path("junk.wv"), junk);
  auto bad = Open(dir.Path("junk.wv"));
  EXPECT_FALSE(bad->Valid());
  std::string error;
  Collect(*bad, &error);
  EXPECT_NE(error, "");

  // Cut in the middle of a block: what is there is delivered, then the run fails.
  const std::string wv = Pack(MakeSource(dir, "src", 16, 2, 44100, 2.0), dir.Path("cut.wv"));
  std::vector<uint8_t> file = ReadFile(wv);
  file.resize(file.size() * 2 / 3);
  WriteFile(wv, file);
  auto cut = Open(wv);
  ASSERT_TRUE(cut->Valid());
  const std::vector<uint8_t> got = ReadUntilFailure(*cut, error);
  EXPECT_EQ(error, DecodingErrorMessage("WavPack", wv, static_cast<int64_t>(got.size() / 4), 44100, "the file ends early"));
  const std::vector<uint8_t> src = ReadFile(dir.Path("src.raw"));
  ASSERT_LE(got.size(), src.size());
  EXPECT_GT(got.size(), src.size() / 3);

  auto none = Open(dir.Path("missing.wv"));
  EXPECT_FALSE(none->Valid());
}
