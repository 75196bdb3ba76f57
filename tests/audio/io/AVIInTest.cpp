// The audio of AVI files made by ffmpeg through TAVIIn: PCM (8 and 16-bit), ADPCM
// and MP3 (a variable bit rate stream with sample size 0) read and seeked against
// ffmpeg's decode; files without audio and foreign files are not valid.

#include <gtest/gtest.h>

#include "audio/io/Tessel_AVI.h"
#include "tests/support/TestComponents.h"
#include "tests/audio/io/WinMediaTestUtil.h"

using namespace wmtest;

namespace {

std::string MakeAvi(const std::string& Codec, int Rate = 44100, int Channels = 2) {
  const std::string name = "avi_" + Codec + "_" + std::to_string(Rate) + "_" + std::to_string(Channels);
  const std::string src = MakeSource(name + ".wav", Rate, Channels, 2.5);
  const std::string path = TempPath(name + ".avi");
  Shell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=10 -i '" + src +
        "' -t 2.5 -c:v mjpeg -c:a " + Codec + " -shortest '" + path + "'");
  return path;
}

struct TCase {
  const char* Codec;
  const char* Format;  // ffmpeg's raw format for the reference
  int Bits;
  bool Compressed;
};

const TCase Cases[] = {
    {"pcm_s16le", "s16le", 16, false},
    {"pcm_u8", "u8", 8, false},
    {"adpcm_ms", "s16le", 16, true},
    {"adpcm_ima_wav", "s16le", 16, true},
    {"libmp3lame", "s16le", 16, true},  // sample size 0: one chunk per stream sample
};

}  // namespace

TEST(AVIInTest, AudioStreamsReadExactlyAsFfmpegDecodesThem) {
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.Codec);
    const std::string path = MakeAvi(c.Codec);
    TComponentPtr<TAVIIn> in(new TAVIIn(nullptr));
    in->SetFileName(path);
    const TRead r = ReadAll(*in, 3001);
    ASSERT_TRUE(r.Valid);
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(in->Compressed(), c.Compressed);
    EXPECT_EQ(r.Bits, c.Bits);
    EXPECT_EQ(r.Channels, 2);
    EXPECT_EQ(r.Rate, 44100);
    const auto ref = FfmpegDecode(path, c.Format);
    EXPECT_EQ(r.Size, static_cast<int64_t>(ref.size()));
    EXPECT_TRUE(r.Data == ref) << r.Data.size() << " bytes against " << ref.size();
  }
}

TEST(AVIInTest, RangesLandOnTheExactSample) {
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.Codec);
    const std::string path = MakeAvi(c.Codec);
    const auto ref = FfmpegDecode(path, c.Format);
    const int frame = 2 * c.Bits / 8;
    const int64_t frames = static_cast<int64_t>(ref.size()) / frame;
    TComponentPtr<TAVIIn> in(new TAVIIn(nullptr));
    in->SetFileName(path);
    for (int64_t start : {int64_t(1), int64_t(1017), int64_t(1018), int64_t(33333), frames - 3}) {
      SCOPED_TRACE(start);
      in->SetStartSample(start);
      in->SetEndSample(start + 2999);
      const TRead r = ReadAll(*in, 1000);
      const auto want = ByteRange(ref, start * frame, (start + 3000) * frame);
      EXPECT_EQ(r.Size, static_cast<int64_t>(want.size()));
      EXPECT_TRUE(r.Data == want);
    }
    // Back to an earlier point while running.
    in->Init();
    std::vector<uint8_t> buf(8000);
    in->CopyData(buf.data(), 8000);
    in->CopyData(buf.data(), 8000);
    ASSERT_TRUE(in->Seek(500));
    const uint32_t n = in->CopyData(buf.data(), 8000);
    in->Flush();
    buf.resize(n);
    EXPECT_TRUE(buf == ByteRange(ref, 500 * frame, 500 * frame + int64_t(n)));
  }
}

TEST(AVIInTest, WithoutKnownSizeTheWholeStreamStillComes) {
  const std::string path = MakeAvi("adpcm_ms", 22050, 1);
  TComponentPtr<TAVIIn> in(new TAVIIn(nullptr));
  in->SetSizeKnown(false);
  in->SetFileName(path);
  const TRead r = ReadAll(*in);
  ASSERT_TRUE(r.Valid);
  EXPECT_EQ(r.Size, -1);
  EXPECT_TRUE(r.Data == FfmpegDecode(path));
}

TEST(AVIInTest, FilesWithoutAudioOrNotAviAreNotValid) {
  TComponentPtr<TAVIIn> in(new TAVIIn(nullptr));
  const std::string silent = TempPath("video_only.avi");
  Shell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=10 -t 1 -c:v mjpeg '" + silent + "'");
  in->SetFileName(silent);
  EXPECT_FALSE(in->Valid());
  EXPECT_FALSE(in->HasAudio());

  const std::string text = TempPath("text.avi");
  WriteFile(text, std::vector<uint8_t>(3000, 'x'));
  in->SetFileName(text);
  EXPECT_FALSE(in->Valid());
  try {
    in->OpenFile();
    ADD_FAILURE() << "no exception";
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "Failed to open input file");
  }
  in->SetFileName(TempPath("missing.avi"));
  EXPECT_FALSE(in->Valid());
  in->SetFileName("");
  EXPECT_THROW(in->OpenFile(), EAuException);

  // A cut file reads what is there, and no more than it tells.
  const auto whole = ReadFile(MakeAvi("pcm_s16le", 22050, 2));
  const std::string cut = TempPath("cut.avi");
  WriteFile(cut, ByteRange(whole, 0, int64_t(whole.size() / 2)));
  in->SetFileName(cut);
  const TRead r = ReadAll(*in);
  ASSERT_TRUE(r.Valid);
  EXPECT_EQ(r.Error, "");
  EXPECT_EQ(static_cast<int64_t>(r.Data.size()), r.Size);
  EXPECT_GT(r.Size, 0);
}

TEST(AVIInTest, PipelineRunDeliversTheWholeStream) {
  const std::string path = MakeAvi("libmp3lame", 48000, 2);
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TAVIIn(owner.get());
  in->SetFileName(path);
  auto* out = new TCollectOut(owner.get());
  out->SetInput(in);
  EXPECT_EQ(RunOutput(*out), "");
  EXPECT_TRUE(out->Data == FfmpegDecode(path));
  EXPECT_EQ(out->Progress(), 100);
}
