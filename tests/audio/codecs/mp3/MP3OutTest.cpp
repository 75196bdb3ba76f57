// MP3 output: files checked by ffprobe, mediainfo and id3v2, decoded by ffmpeg.

#include <gtest/gtest.h>

#include <cstring>

#include "audio/codecs/mp3/TSL_LAME.h"
#include "platform/rtl/FileUtils.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

using namespace testsupport;

namespace {

constexpr int EncoderDelay = 576;  // LAME's fixed delay, in samples
constexpr int FrameSamples = 1152;

std::string Encode(TMP3Out& Out, const std::string& Raw, int Bits, int Channels, int Rate,
                   int64_t DeclaredSize = -2) {
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, Bits, Channels, Rate));
  in->SetFileName(Raw);
  in->DeclaredSize = DeclaredSize;
  Out.SetInput(in.get());
  const std::string e = RunOutput(Out);
  Out.SetInput(nullptr);
  return e;
}

TComponentPtr<TMP3Out> NewOut(const std::string& FileName) {
  TComponentPtr<TMP3Out> out(new TMP3Out(nullptr));
  out->SetFileName(FileName);
  return out;
}

std::string Probe(const std::string& Mp3, const std::string& Entries) {
  std::string out;
  RunOk("ffprobe -v error -show_entries " + Entries + " -of default=nw=1 " + Quote(Mp3) + " 2>/dev/null", &out);
  return out;
}

std::string MediaInfo(const std::string& Mp3, const std::string& Template) {
  std::string out;
  RunOk("mediainfo --Inform=" + Quote(Template) + " " + Quote(Mp3) + " 2>/dev/null", &out);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// The frame count of the Xing/Info header in the first frame; -1 when there is none.
int64_t XingFrames(const std::vector<uint8_t>& File) {
  for (size_t i = 0; i + 12 < std::min<size_t>(File.size(), 200); ++i) {
    if ((std::memcmp(&File[i], "Xing", 4) == 0 || std::memcmp(&File[i], "Info", 4) == 0) && (File[i + 7] & 1))
      return int64_t(File[i + 8]) << 24 | int64_t(File[i + 9]) << 16 | int64_t(File[i + 10]) << 8 | File[i + 11];
  }
  return -1;
}

bool HasLameTag(const std::vector<uint8_t>& File) {
  const std::string head(File.begin(), File.begin() + std::min<size_t>(File.size(), 400));
  return head.find("LAME3.") != std::string::npos;
}

}  // namespace

TEST(MP3OutTest, ConstantBitRateFileHasTheRightFormatLengthAndSound) {
  RequireTools({"sox", "ffmpeg", "ffprobe", "lame"});
  TTempDir dir;
  MakeSource(dir, "src", 16, 2, 44100, 3.0);
  const std::vector<uint8_t> src = ReadFile(dir.Path("src.raw"));
  const std::string mp3 = dir.Path("cbr.mp3");
  auto out = NewOut(mp3);
  ASSERT_EQ(Encode(*out, dir.Path("src.raw"), 16, 2, 44100), "");
  EXPECT_EQ(Probe(mp3, "stream=codec_name,sample_rate,channels,bit_rate"),
            "codec_name=mp3\nsample_rate=44100\nchannels=2\nbit_rate=128000\n");
  const std::vector<uint8_t> file = ReadFile(mp3);
  // The header frame in its CBR form ("Info") counts the audio frames really there.
  const int64_t info = XingFrames(file);
  EXPECT_EQ(Probe(mp3, "stream=nb_read_packets -count_packets"), "nb_read_packets=" + std::to_string(info) + "\n");

  // The file is what lame itself makes of the source with the same settings.
  std::string log;
  ASSERT_TRUE(RunOk("lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m s -b 128 --nores "
                    "--noreplaygain " +
                        Quote(dir.Path("src.raw")) + " " + Quote(dir.Path("lame.mp3")),
                    &log))
      << log;
  const std::vector<uint8_t> reference = ReadFile(dir.Path("lame.mp3"));
  ASSERT_EQ(file.size(), reference.size() + 128);
  EXPECT_TRUE(std::equal(reference.begin(), reference.end(), file.begin()));

  // Decoded: exactly the source, the encoder's delay and padding trimmed by the header.
  const std::vector<uint8_t> pcm = FfmpegDecode(mp3);
  EXPECT_EQ(pcm.size(), src.size());
  for (int ch = 0; ch < 2; ++ch)
    EXPECT_GT(BestCorrelation(ChannelSamples(src, 16, 2, ch), ChannelSamples(pcm, 16, 2, ch), 0), 0.95) << ch;
}

TEST(MP3OutTest, VariableAndAverageBitRateFilesCarryALameTagWithTheExactLength) {
  RequireTools({"sox", "ffmpeg", "ffprobe", "mediainfo"});
  TTempDir dir;
  MakeSource(dir, "src", 16, 2, 48000, 2.37);
  const std::vector<uint8_t> src = ReadFile(dir.Path("src.raw"));
  for (bool abr : {false, true}) {
    SCOPED_TRACE(abr ? "ABR" : "VBR");
    const std::string mp3 = dir.Path(abr ? "abr.mp3" : "vbr.mp3");
    auto out = NewOut(mp3);
    out->SetEnableVBR(true);
    out->SetVBRQuality(mp3ql2);
    out->SetBitRate(mbr32);
    out->SetMode(mmJointStereo);
    if (abr) out->SetAverageBitrate(mbr128);
    ASSERT_EQ(Encode(*out, dir.Path("src.raw"), 16, 2, 48000), "");
    const std::vector<uint8_t> file = ReadFile(mp3);
    ASSERT_TRUE(HasLameTag(file));
    const int64_t xing = XingFrames(file);
    ASSERT_GT(xing, 0);
    // The tag counts the audio frames really there.
    std::string packets = Probe(mp3, "stream=nb_read_packets -count_packets");
    EXPECT_EQ(packets, "nb_read_packets=" + std::to_string(xing) + "\n");
    // ffprobe takes the length from the tag, not from an estimate.
    const double duration = std::stod(Probe(mp3, "format=duration").substr(9));
    EXPECT_NEAR(duration, double(xing) * FrameSamples / 48000.0, 1e-5);
    EXPECT_EQ(MediaInfo(mp3, "Audio;%BitRate_Mode% %FrameCount%"), "VBR " + std::to_string(xing));
    // The tag's delay and padding let ffmpeg give back exactly the source's length.
    const std::vector<uint8_t> pcm = FfmpegDecode(mp3);
    EXPECT_EQ(pcm.size(), src.size());
    EXPECT_GT(BestCorrelation(ChannelSamples(src, 16, 2, 0), ChannelSamples(pcm, 16, 2, 0), 0), 0.95);
    const double kbps = double(file.size() - 128) * 8 / (double(src.size()) / 4 / 48000) / 1000;
    if (abr) {
      EXPECT_NEAR(kbps, 128, 20);
    }
  }
}

TEST(MP3OutTest, ChannelCountOfTheSourceIsKeptWhateverTheMode) {
  RequireTools({"sox", "ffmpeg", "ffprobe"});
  TTempDir dir;
  // Mono source in stereo mode: a mono file of the same length, not half as long.
  MakeSource(dir, "mono", 16, 1, 44100, 2.0);
  const std::vector<uint8_t> mono = ReadFile(dir.Path("mono.raw"));
  auto out = NewOut(dir.Path("m.mp3"));
  out->SetEnableVBR(true);
  out->SetBitRate(mbrAuto);
  ASSERT_EQ(Encode(*out, dir.Path("mono.raw"), 16, 1, 44100), "");
  EXPECT_EQ(Probe(dir.Path("m.mp3"), "stream=channels"), "channels=1\n");
  std::vector<uint8_t> pcm = FfmpegDecode(dir.Path("m.mp3"));
  EXPECT_EQ(pcm.size(), mono.size());
  EXPECT_GT(BestCorrelation(ChannelSamples(mono, 16, 1, 0), ChannelSamples(pcm, 16, 1, 0), 0), 0.95);

  // Stereo source in mono mode: mixed down at the right speed. Left a tone, right silent.
  ASSERT_TRUE(RunOk("sox -D -n -r 44100 -b 16 -c 2 -t raw " + Quote(dir.Path("lr.raw")) +
                    " synth 2 sine 440 sine 440 remix 1 2v0 gain -1"));
  const std::vector<uint8_t> lr = ReadFile(dir.Path("lr.raw"));
  out->SetMode(mmMono);
  ASSERT_EQ(Encode(*out, dir.Path("lr.raw"), 16, 2, 44100), "");
  EXPECT_EQ(Probe(dir.Path("m.mp3"), "stream=channels"), "channels=1\n");
  pcm = FfmpegDecode(dir.Path("m.mp3"));
  ASSERT_EQ(pcm.size(), lr.size() / 2);
  const std::vector<double> left = ChannelSamples(lr, 16, 2, 0), mixed = ChannelSamples(pcm, 16, 1, 0);
  EXPECT_GT(BestCorrelation(left, mixed, 0), 0.95);
  EXPECT_NEAR(Rms(mixed) / Rms(left), 0.5, 0.05);

  // More channels than MP3 holds: refused before any file is made.
  MakeSource(dir, "six", 16, 6, 44100, 0.2);
  out->SetMode(mmStereo);
  out->SetFileName(dir.Path("six.mp3"));
  EXPECT_EQ(Encode(*out, dir.Path("six.raw"), 16, 6, 44100), "An MP3 file holds one or two channels; the source has 6.");
  EXPECT_FALSE(FileExists(dir.Path("six.mp3")));
}

TEST(MP3OutTest, OtherSampleWidthsAreBroughtTo16Bits) {
  RequireTools({"sox", "ffmpeg"});
  TTempDir dir;
  MakeSource(dir, "s16", 16, 2, 44100, 1.5);
  const std::vector<double> ref = ChannelSamples(ReadFile(dir.Path("s16.raw")), 16, 2, 1);
  for (int bits : {8, 24, 32}) {
    SCOPED_TRACE(bits);
    const std::string encoding = bits == 8 ? " -e unsigned-integer" : " -e signed-integer";
    ASSERT_TRUE(RunOk("sox -D " + Quote(dir.Path("s16.wav")) + " -b " + std::to_string(bits) + encoding +
                      " -t raw " + Quote(dir.Path("w.raw"))));
    auto out = NewOut(dir.Path("w.mp3"));
    out->SetEnableVBR(true);
    ASSERT_EQ(Encode(*out, dir.Path("w.raw"), bits, 2, 44100), "");
    const std::vector<uint8_t> pcm = FfmpegDecode(dir.Path("w.mp3"));
    EXPECT_EQ(pcm.size() / 4, ref.size());
    const std::vector<double> got = ChannelSamples(pcm, 16, 2, 1);
    EXPECT_GT(BestCorrelation(ref, got, 0), bits == 8 ? 0.9 : 0.97);
    EXPECT_NEAR(Rms(got) / Rms(ref), 1.0, 0.1);
  }
}

TEST(MP3OutTest, Id3v1BlockFollowsTheAudio) {
  RequireTools({"sox", "id3v2", "ffprobe"});
  TTempDir dir;
  MakeSource(dir, "src", 16, 2, 44100, 0.4);
  const std::string mp3 = dir.Path("t.mp3");
  auto out = NewOut(mp3);
  TId3v1Tags tags;
  tags.SetTitle("A title that is longer than thirty bytes");
  tags.SetArtist("Artïst");
  tags.SetAlbum("Exactly thirty bytes of album.");
  tags.SetYear(1987);
  tags.SetComment("Comment");
  tags.SetTrack(9);
  tags.SetGenre("Rock");
  out->SetId3v1Tags(tags);
  ASSERT_EQ(Encode(*out, dir.Path("src.raw"), 16, 2, 44100), "");
  std::vector<uint8_t> file = ReadFile(mp3);
  ASSERT_GT(file.size(), 128u);
  std::vector<uint8_t> block(file.end() - 128, file.end());
  std::vector<uint8_t> expect(128, 0);
  auto put = [&](size_t At, const std::string& S) { std::copy(S.begin(), S.end(), expect.begin() + At); };
  put(0, "TAG");
  put(3, "A title that is longer than th");
  put(33, "Art\xEFst");
  put(63, "Exactly thirty bytes of album.");  // no terminating zero
  put(93, "1987");
  put(97, "Comment");
  expect[127] = 17;  // no track byte is written
  EXPECT_EQ(block, expect);
  std::string listing;
  ASSERT_TRUE(RunOk("id3v2 -l " + Quote(mp3), &listing));
  EXPECT_NE(listing.find("id3v1 tag info"), std::string::npos) << listing;
  EXPECT_NE(listing.find("Title  : A title that is longer than th"), std::string::npos) << listing;
  EXPECT_NE(listing.find("Year: 1987"), std::string::npos) << listing;
  EXPECT_NE(listing.find("Genre: Rock (17)"), std::string::npos) << listing;
  EXPECT_EQ(Probe(mp3, "format_tags=title"), "TAG:title=A title that is longer than th\n");

  // A year that is not four digits stays blank; no genre set is 255, never "Blues".
  tags.Clear();
  tags.SetYear(12345);
  out->SetId3v1Tags(tags);
  ASSERT_EQ(Encode(*out, dir.Path("src.raw"), 16, 2, 44100), "");
  file = ReadFile(mp3);
  block.assign(file.end() - 128, file.end());
  std::fill(expect.begin(), expect.end(), 0);
  put(0, "TAG");
  expect[127] = 255;
  EXPECT_EQ(block, expect);

  // A fresh output writes the block too, all blank.
  auto fresh = NewOut(mp3);
  ASSERT_EQ(Encode(*fresh, dir.Path("src.raw"), 16, 2, 44100), "");
  file = ReadFile(mp3);
  block.assign(file.end() - 128, file.end());
  EXPECT_EQ(block, expect);
}

TEST(MP3OutTest, ShortInputsAndCallerStreams) {
  RequireTools({"sox", "ffmpeg"});
  TTempDir dir;
  // Less than one block: still a playable file of the right length.
  ASSERT_TRUE(RunOk("sox -D -n -r 44100 -b 16 -c 2 -t raw " + Quote(dir.Path("short.raw")) + " synth 500s sine 440"));
  auto out = NewOut(dir.Path("short.mp3"));
  ASSERT_EQ(Encode(*out, dir.Path("short.raw"), 16, 2, 44100), "");
  const int64_t frames = int64_t(FfmpegDecode(dir.Path("short.mp3")).size() / 4);
  EXPECT_GE(frames - EncoderDelay, 500);
  EXPECT_LT(frames - EncoderDelay - 500, 2 * FrameSamples);

  // Into a stream of the caller's, with an unknown input size: no file is touched, and the
  // stream keeps the reserved frame (no VBR header without a file name).
  MakeSource(dir, "src", 16, 2, 44100, 1.0);
  TMemoryStream stream;
  TComponentPtr<TMP3Out> s(new TMP3Out(nullptr));
  s->SetStream(&stream);
  s->SetEnableVBR(true);
  ASSERT_EQ(Encode(*s, dir.Path("src.raw"), 16, 2, 44100, -1), "");
  ASSERT_GT(stream.Size(), 1000);
  stream.SaveToFile(dir.Path("stream.mp3"));
  const std::vector<uint8_t> file = ReadFile(dir.Path("stream.mp3"));
  EXPECT_EQ(XingFrames(file), -1);
  EXPECT_EQ(std::string(file.end() - 128, file.end() - 125), "TAG");
  EXPECT_GE(FfmpegDecode(dir.Path("stream.mp3")).size(), ReadFile(dir.Path("src.raw")).size());
}

TEST(MP3OutTest, ErrorsAreReportedWithTheirMessages) {
  RequireTools({"sox"});
  TTempDir dir;
  MakeSource(dir, "src", 16, 2, 44100, 0.2);
  TComponentPtr<TMP3Out> out(new TMP3Out(nullptr));
  EXPECT_EQ(Encode(*out, dir.Path("src.raw"), 16, 2, 44100), "File name is not assigned.");
  // A destination that takes nothing fails the run.
  TZeroWriteStream full;
  out->SetStream(&full);
  EXPECT_NE(Encode(*out, dir.Path("src.raw"), 16, 2, 44100), "");
}

TEST(MP3OutTest, LibraryStaysLoadedWhileAnyOutputLives) {
  RequireTools({"sox", "ffmpeg"});
  TTempDir dir;
  MakeSource(dir, "src", 16, 2, 44100, 4.0);
  TComponentPtr<TRawIn> in(new TRawIn(nullptr));
  in->SetFileName(dir.Path("src.raw"));
  TComponentPtr<TMP3Out> a(new TMP3Out(nullptr));
  {
    TComponentPtr<TMP3Out> b(new TMP3Out(nullptr));
    a->SetInput(in.get());
    a->SetFileName(dir.Path("a.mp3"));
    a->Run();  // runs while b goes away
  }
  EXPECT_TRUE(LameLibrary().Loaded());
  ASSERT_TRUE(PumpUntil([&] { return !a->Busy(); }, 60000));
  EXPECT_EQ(a->ExceptionMessage(), "");
  EXPECT_EQ(FfmpegDecode(dir.Path("a.mp3")).size() / 4 >= ReadFile(dir.Path("src.raw")).size() / 4, true);
  a.reset();
  EXPECT_FALSE(LameLibrary().Loaded());  // the last output takes it along
}

TEST(MP3OutTest, MissingLibraryOrEntryPointsFailConstruction) {
  ASSERT_FALSE(LameLibrary().Loaded());  // no output alive
  struct TRestore {
    ~TRestore() {
      if (!LameLibrary().Loaded()) LameLibrary().SetFileName("liblame_enc.so");
    }
  } restore;
  LameLibrary().SetFileName("libsonvix-no-lame.so");
  try {
    TMP3Out out(nullptr);
    ADD_FAILURE();
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "libsonvix-no-lame.so library could not be loaded.");
  }
  LameLibrary().SetFileName("libm.so.6");
  try {
    TComponentPtr<TMP3Out> out(new TMP3Out(nullptr));
    ADD_FAILURE();
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "Function \"beInitStream\" not found in libm.so.6 library.");
  }
  EXPECT_FALSE(LameLibrary().Loaded());
  LameLibrary().SetFileName("liblame_enc.so");
  {
    TComponentPtr<TMP3Out> out(new TMP3Out(nullptr));
    EXPECT_TRUE(LameLibrary().Loaded());
  }
  EXPECT_FALSE(LameLibrary().Loaded());
}
