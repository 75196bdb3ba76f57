// Compatibility with an independent TTA implementation: ffmpeg decodes what our
// encoder writes, and our decoder decodes what ffmpeg's encoder writes, bit for bit.

#include "TTATestSupport.h"

#include <fcntl.h>
#include <unistd.h>

using namespace TTATests;

namespace {

struct Layout {
  int Bits;
  int Channels;
};
void PrintTo(const Layout& L, std::ostream* Os) { *Os << L.Bits << "-bit, " << L.Channels << " channels"; }

std::string ToString(const ::testing::TestParamInfo<Layout>& I) {
  return std::to_string(I.param.Bits) + "bit_" + std::to_string(I.param.Channels) + "ch";
}

const char* FfmpegRawFormat(int Bits) { return Bits == 8 ? "u8" : Bits == 16 ? "s16le" : "s24le"; }
const char* FfmpegPcmCodec(int Bits) { return Bits == 8 ? "pcm_u8" : Bits == 16 ? "pcm_s16le" : "pcm_s24le"; }

class TTAInterop : public ::testing::TestWithParam<Layout> {
protected:
  void SetUp() override {
    ASSERT_TRUE(Lib().Error.empty()) << Lib().Error;
    REQUIRE_TOOL("sox");
    REQUIRE_TOOL("ffmpeg");
  }
  TempDir Dir;
};

// 2.5 seconds: two whole frames and a short third one.
constexpr int Rate = 44100;
constexpr double Seconds = 2.5;

TEST_P(TTAInterop, OurFilesDecodeBitExactInFfmpeg) {
  const Layout P = GetParam();
  std::vector<uint8_t> Raw = MakeRaw(Dir, P.Bits, P.Channels, Rate, Seconds);
  ASSERT_FALSE(Raw.empty());
  std::vector<int64_t> Slots = RawToSlots(Raw, P.Bits);
  int64_t Frames = static_cast<int64_t>(Slots.size()) / P.Channels;
  std::string Tta = Dir.Path("ours.tta");
  EncodeSlots(Tta, Slots, TTALib::TTA_FORMAT_PCM, P.Bits, P.Channels, Rate, Frames);

  std::string Out = Dir.Path("ffmpeg.raw"), Log;
  ASSERT_TRUE(RunOk("ffmpeg -v error -y -i " + Quote(Tta) + " -c:a " + FfmpegPcmCodec(P.Bits) + " -f " +
                        FfmpegRawFormat(P.Bits) + " " + Quote(Out),
                    &Log))
      << Log;
  std::vector<uint8_t> Back = ReadFile(Out);
  ASSERT_EQ(Back.size(), Raw.size());
  EXPECT_TRUE(Back == Raw) << "ffmpeg decodes other samples than were encoded";

  std::string Probe;
  ASSERT_TRUE(RunOk("ffprobe -v error -show_entries stream=channels,sample_rate,bits_per_raw_sample -of csv=p=0 " +
                        Quote(Tta),
                    &Probe));
  EXPECT_NE(Probe.find(std::to_string(Rate) + "," + std::to_string(P.Channels)), std::string::npos) << Probe;
}

TEST_P(TTAInterop, FfmpegFilesDecodeBitExactHere) {
  const Layout P = GetParam();
  std::vector<uint8_t> Raw = MakeRaw(Dir, P.Bits, P.Channels, Rate, Seconds);
  ASSERT_FALSE(Raw.empty());
  std::string Src = Dir.Path("src.raw"), Tta = Dir.Path("ffmpeg.tta"), Log;
  WriteFile(Src, Raw);
  ASSERT_TRUE(RunOk("ffmpeg -v error -y -f " + std::string(FfmpegRawFormat(P.Bits)) + " -ar " +
                        std::to_string(Rate) + " -ac " + std::to_string(P.Channels) + " -i " + Quote(Src) +
                        " -c:a tta " + Quote(Tta),
                    &Log))
      << Log;

  int32_t Code;
  std::string Msg;
  Decoded D = DecodeFile(Tta, &Code, &Msg);
  ASSERT_EQ(Code, TTALib::TTA_NO_ERROR) << Msg;
  EXPECT_EQ(D.Channels, P.Channels);
  EXPECT_EQ(D.Bits, P.Bits);
  EXPECT_EQ(D.Rate, Rate);
  EXPECT_EQ(D.Format, TTALib::TTA_FORMAT_PCM);
  EXPECT_EQ(D.Length, static_cast<int64_t>(Raw.size() / (P.Channels * P.Bits / 8)));
  std::vector<uint8_t> Back = SlotsToRaw(D.Slots.data(), D.Slots.size(), P.Bits);
  ASSERT_EQ(Back.size(), Raw.size());
  EXPECT_TRUE(Back == Raw) << "our decoder gives other samples than ffmpeg encoded";
}

INSTANTIATE_TEST_SUITE_P(Layouts, TTAInterop,
                         ::testing::Values(Layout{8, 1}, Layout{8, 2}, Layout{16, 1}, Layout{16, 2}, Layout{16, 3},
                                           Layout{16, 6}, Layout{24, 1}, Layout{24, 2}, Layout{24, 6}),
                         ToString);

class TTAHeaderLength : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Lib().Error.empty()) << Lib().Error;
    REQUIRE_TOOL("sox");
    REQUIRE_TOOL("ffmpeg");
  }
  TempDir Dir;
};

// The engine passes an estimate (0 when the input's size is unknown); the header and
// the seek table must come from what was really encoded.
TEST_F(TTAHeaderLength, WrongEstimatesGiveTheSameFileAsTheRightOne) {
  std::vector<uint8_t> Raw = MakeRaw(Dir, 16, 2, Rate, 3.3);
  std::vector<int64_t> Slots = RawToSlots(Raw, 16);
  const int64_t Frames = static_cast<int64_t>(Slots.size()) / 2;
  EncodeSlots(Dir.Path("exact.tta"), Slots, 1, 16, 2, Rate, Frames);
  std::vector<uint8_t> Exact = ReadFile(Dir.Path("exact.tta"));
  ASSERT_GT(Exact.size(), 22u);
  EXPECT_EQ(Le32(Exact, 14), static_cast<uint32_t>(Frames));

  const int64_t Estimates[] = {0, -1, 1, Frames / 2, Frames - 1, Frames + 1, Frames * 10};
  for (int64_t Estimate : Estimates) {
    std::string Path = Dir.Path("est" + std::to_string(Estimate) + ".tta");
    EncodeSlots(Path, Slots, 1, 16, 2, Rate, Estimate);
    EXPECT_TRUE(ReadFile(Path) == Exact) << "estimate " << Estimate;
  }

  // and ffmpeg takes the file made without any estimate
  std::string Out = Dir.Path("est0.raw"), Log;
  ASSERT_TRUE(RunOk("ffmpeg -v error -y -i " + Quote(Dir.Path("est0.tta")) + " -f s16le " + Quote(Out), &Log)) << Log;
  EXPECT_TRUE(ReadFile(Out) == Raw);
}

TEST_F(TTAHeaderLength, EmptyRunGivesAValidEmptyFile) {
  EncodeSlots(Dir.Path("empty.tta"), {}, 1, 16, 2, Rate, 100000);
  int32_t Code;
  Decoded D = DecodeFile(Dir.Path("empty.tta"), &Code);
  EXPECT_EQ(Code, TTALib::TTA_NO_ERROR);
  EXPECT_EQ(D.Length, 0);
  EXPECT_TRUE(D.Slots.empty());
  EXPECT_EQ(ReadFile(Dir.Path("empty.tta")).size(), 22u + 4u);
}

// The engine hands 8-bit samples over as their low byte; signed values must give the
// same file.
TEST_F(TTAHeaderLength, EightBitSamplesAreSignExtendedFromTheirLowByte) {
  std::vector<uint8_t> Raw = MakeRaw(Dir, 8, 2, 22050, 1.5);
  std::vector<int64_t> LowBytes = RawToSlots(Raw, 8);
  std::vector<int64_t> Signed;
  for (uint8_t B : Raw) Signed.push_back(int64_t{B} - 128);
  ASSERT_NE(LowBytes, Signed);
  EncodeSlots(Dir.Path("low.tta"), LowBytes, 1, 8, 2, 22050, 0);
  EncodeSlots(Dir.Path("signed.tta"), Signed, 1, 8, 2, 22050, 0);
  EXPECT_TRUE(ReadFile(Dir.Path("low.tta")) == ReadFile(Dir.Path("signed.tta")));

  Decoded D = DecodeFile(Dir.Path("low.tta"));
  EXPECT_EQ(D.Slots, Signed) << "the decoder hands signed 8-bit values back";
}

// Blocks that end inside a sample frame are the caller's to keep; blocks of any whole
// number of frames, however they fall on the codec's frames, give one file.
TEST_F(TTAHeaderLength, BlockSizesDoNotChangeTheFile) {
  std::vector<uint8_t> Raw = MakeRaw(Dir, 24, 2, 48000, 2.2);
  std::vector<int64_t> Slots = RawToSlots(Raw, 24);
  EncodeSlots(Dir.Path("a.tta"), Slots, 1, 24, 2, 48000, 0, 1024);
  EncodeSlots(Dir.Path("b.tta"), Slots, 1, 24, 2, 48000, 0, 1);
  EncodeSlots(Dir.Path("c.tta"), Slots, 1, 24, 2, 48000, 0, 50153);
  std::vector<uint8_t> A = ReadFile(Dir.Path("a.tta"));
  EXPECT_TRUE(A == ReadFile(Dir.Path("b.tta")));
  EXPECT_TRUE(A == ReadFile(Dir.Path("c.tta")));
}

} // namespace
