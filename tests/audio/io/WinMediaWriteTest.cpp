// Writing WMA through TWMAOut: files checked by ffprobe and decoded by ffmpeg, the
// format search by bit rate, the codec and format lists (every listed format
// encodes), attributes, and the failure paths.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "audio/io/TSL_WinMedia.h"
#include "tests/support/TestComponents.h"
#include "tests/audio/io/WinMediaTestUtil.h"

using namespace wmtest;

namespace {

struct TWrite {
  std::string Error;
  std::string Path;
};

// Encodes a raw source of the given format; Setup sets the output's properties.
TWrite Encode(const std::string& Name, int Rate, int Channels, double Seconds,
              const std::function<void(TWMAOut&)>& Setup, int Bits = 16) {
  const std::string wav = MakeSource(Name + ".wav", Rate, Channels, Seconds, Bits);
  const std::string raw = TempPath(Name + ".raw");
  Shell("sox '" + wav + "' -t raw '" + raw + "'");
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TRawIn(owner.get(), Bits, Channels, Rate);
  in->SetFileName(raw);
  auto* out = new TWMAOut(owner.get());
  out->SetInput(in);
  TWrite w;
  w.Path = TempPath(Name + ".wma");
  out->SetFileName(w.Path);
  if (Setup) Setup(*out);
  w.Error = RunOutput(*out);
  return w;
}

}  // namespace

TEST(WinMediaWriteTest, BitRateSearchMakesAFileFfmpegReads) {
  constexpr double MaxHeaderAndLastPacket = 5000;
  struct Case {
    int Rate, Channels;
    uint32_t Ask, Expect;  // bit/s asked for, and the nearest listed
    int ExpectRate;
  } cases[] = {{44100, 2, 128000, 128000, 44100}, {22050, 1, 50000, 48000, 22050}, {48000, 2, 1000000, 320000, 48000},
               {96000, 2, 192000, 192000, 48000}, {44100, 2, 320000, 320000, 44100}, {44100, 2, 192000, 192000, 44100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Rate) + "/" + std::to_string(c.Channels) + " " + std::to_string(c.Ask));
    const TWrite w = Encode("rate" + std::to_string(c.Rate) + "_" + std::to_string(c.Ask), c.Rate, c.Channels, 2.0,
                            [&](TWMAOut& o) { o.SetDesiredBitrate(c.Ask); });
    ASSERT_EQ(w.Error, "");
    EXPECT_EQ(Probe(w.Path, "stream=codec_name"), "wmav2");
    EXPECT_EQ(Probe(w.Path, "stream=bit_rate"), std::to_string(c.Expect));
    EXPECT_EQ(Probe(w.Path, "stream=sample_rate"), std::to_string(c.ExpectRate));
    EXPECT_EQ(Probe(w.Path, "stream=channels"), std::to_string(c.Channels));
    // The whole source is there, padded to at most one codec frame (2048 samples).
    const auto pcm = FfmpegDecode(w.Path);
    const double seconds = static_cast<double>(pcm.size()) / (2.0 * c.Channels * c.ExpectRate);
    EXPECT_GE(seconds, 2.0 - 2048.0 / c.ExpectRate);
    EXPECT_LE(seconds, 2.0 + 2 * 2048.0 / c.ExpectRate);
    const double duration = std::stod(Probe(w.Path, "format=duration"));
    EXPECT_NEAR(duration, 2.0, 0.1);
    // The file is as big as its rate says, but for the header and the last packet.
    const double payload = static_cast<double>(std::filesystem::file_size(w.Path)) - MaxHeaderAndLastPacket;
    EXPECT_LT(payload * 8 / 2.0, c.Expect * 1.05);
  }
}

TEST(WinMediaWriteTest, TheEncodedAudioIsTheSourceAndStartsAtTimeZero) {
  const TWrite w = Encode("faithful", 44100, 2, 3.0, [](TWMAOut& o) { o.SetDesiredBitrate(192000); });
  ASSERT_EQ(w.Error, "");
  // ffmpeg's own encode of the same source: same start, same alignment.
  const std::string ref = TempPath("faithful_ref.wma");
  Shell("ffmpeg -nostdin -v error -y -i '" + TempPath("faithful.wav") + "' -c:a wmav2 -b:a 192k '" + ref + "'");
  EXPECT_EQ(Probe(w.Path, "format=start_time"), Probe(ref, "format=start_time"));
  const auto ours = AsInt16(FfmpegDecode(w.Path));
  const auto theirs = AsInt16(FfmpegDecode(ref));
  EXPECT_GT(Correlation(ours, theirs), 0.99);
  // The source is there, behind the codec's delay.
  const auto source = AsInt16(FfmpegDecode(TempPath("faithful.wav")));
  double best = 0;
  int bestLag = 0;
  const std::vector<int16_t> window(source.begin() + 40000, source.begin() + 60000);
  for (int lag = -8192; lag <= 8192; lag += 2) {
    const std::vector<int16_t> part(ours.begin() + 40000 + lag, ours.begin() + 60000 + lag);
    const double c = Correlation(window, part);
    if (c > best) {
      best = c;
      bestLag = lag;
    }
  }
  EXPECT_GT(best, 0.95) << bestLag;
}

TEST(WinMediaWriteTest, TagsBecomeAttributesAndEmptyOnesAreLeftOut) {
  const TWrite w = Encode("tagged", 44100, 2, 1.0, [](TWMAOut& o) {
    o.SetDesiredBitrate(128000);
    TId3v2Tags* t = o.Id3v2Tags();
    t->SetArtist(u"Ärtist");
    t->SetTitle(u"Title ☃");
    t->SetAlbum(u"Album");
    t->SetGenre(u"Blues");
    t->SetYear("1987");
    t->SetTrack("4");
    t->SetComment(u"Live, 1987");
    t->SetCopyright(u"(c) 1987 Someone");
  });
  ASSERT_EQ(w.Error, "");
  EXPECT_EQ(Probe(w.Path, "format_tags=artist"), "Ärtist");
  EXPECT_EQ(Probe(w.Path, "format_tags=title"), "Title ☃");
  EXPECT_EQ(Probe(w.Path, "format_tags=album"), "Album");
  EXPECT_EQ(Probe(w.Path, "format_tags=genre"), "Blues");
  EXPECT_EQ(Probe(w.Path, "format_tags=WM/Year"), "1987");
  EXPECT_EQ(Probe(w.Path, "format_tags=track"), "4");
  EXPECT_EQ(Probe(w.Path, "format_tags=comment"), "Live, 1987");
  EXPECT_EQ(Probe(w.Path, "format_tags=copyright"), "(c) 1987 Someone");

  // Our own reader gives them back.
  TComponentPtr<TWMIn> in(new TWMIn(nullptr));
  in->SetFileName(w.Path);
  EXPECT_EQ(in->Id3v2Tags()->Artist(), u"Ärtist");
  EXPECT_EQ(in->Id3v2Tags()->Comment(), u"Live, 1987");
  EXPECT_EQ(in->Id3v2Tags()->Copyright(), u"(c) 1987 Someone");
  EXPECT_EQ(in->Id3v2Tags()->Year(), "1987");

  // Files written when the comment went into the copyright attribute hold a copyright
  // and no description: they read back as they were written.
  const TWrite old = Encode("oldcomment", 44100, 2, 1.0, [](TWMAOut& o) {
    o.SetDesiredBitrate(128000);
    o.Id3v2Tags()->SetCopyright(u"An old comment");
  });
  ASSERT_EQ(old.Error, "");
  in->SetFileName(old.Path);
  EXPECT_EQ(in->Id3v2Tags()->Comment(), u"An old comment");
  EXPECT_EQ(in->Id3v2Tags()->Copyright(), u"");
  in->SetFileName("");

  const TWrite bare = Encode("untagged", 44100, 2, 1.0, [](TWMAOut& o) {
    o.SetDesiredBitrate(128000);
    o.Id3v2Tags()->SetTrack("0");
  });
  ASSERT_EQ(bare.Error, "");
  for (const char* tag : {"artist", "title", "album", "genre", "WM/Year", "track", "comment", "copyright"})
    EXPECT_EQ(Probe(bare.Path, std::string("format_tags=") + tag), "") << tag;
}

TEST(WinMediaWriteTest, CodecListAndEveryListedFormatEncodes) {
  TComponentPtr<TWMAOut> lists(new TWMAOut(nullptr));
  const TStringList& codecs = lists->Codecs();
  ASSERT_EQ(codecs.Count(), 2);
  EXPECT_EQ(codecs.Strings(0), "Windows Media Audio 1");
  EXPECT_EQ(codecs.Strings(1), "Windows Media Audio 2");
  EXPECT_EQ(lists->GetFormats(2).Count(), 0);  // past the end: nothing
  const char* const codecNames[] = {"wmav1", "wmav2"};
  for (int codec = 0; codec < codecs.Count(); ++codec) {
    const TStringList formats = lists->GetFormats(static_cast<uint16_t>(codec));
    ASSERT_GT(formats.Count(), 20);
    for (int f = 0; f < formats.Count(); ++f) {
      const std::string desc = formats.Strings(f);
      SCOPED_TRACE(std::to_string(codec) + ": " + desc);
      // "128 kbps, 44 kHz, stereo CBR"
      int kbps = 0, khz = 0;
      char mode[16] = {};
      ASSERT_EQ(std::sscanf(desc.c_str(), "%d kbps, %d kHz, %15s CBR", &kbps, &khz, mode), 3);
      const int channels = std::string(mode) == "stereo" ? 2 : 1;
      const int rate = khz == 44 ? 44100 : khz == 22 ? 22050 : khz == 11 ? 11025 : khz * 1000;
      const TWrite w = Encode("fmt" + std::to_string(codec) + "_" + std::to_string(f), rate, channels, 1.0,
                              [&](TWMAOut& o) {
                                o.SetCodecIndex(codec);
                                o.SetFormatIndex(f);
                              });
      ASSERT_EQ(w.Error, "");
      // Read back with our reader, which tells the format and the exact length.
      TComponentPtr<TWMIn> in(new TWMIn(nullptr));
      in->SetFileName(w.Path);
      ASSERT_TRUE(in->Valid());
      EXPECT_EQ(in->SampleRate(), rate);
      EXPECT_EQ(in->Channels(), channels);
      EXPECT_NEAR(static_cast<double>(in->TotalSamples()) / rate, 1.0, 4096.0 / rate);
      if (f % 17 == 0) {  // a sample of them also through ffprobe
        EXPECT_EQ(Probe(w.Path, "stream=codec_name"), codecNames[codec]);
        EXPECT_EQ(Probe(w.Path, "stream=bit_rate"), std::to_string(kbps * 1000));
      }
    }
  }
}

TEST(WinMediaWriteTest, SystemCodecFormatTakesAnyPcmInput) {
  // A 24-bit 96 kHz mono source into a 44 kHz stereo format of WMA 1.
  TComponentPtr<TWMAOut> lists(new TWMAOut(nullptr));
  const TStringList formats = lists->GetFormats(0);
  const int index = formats.IndexOf("128 kbps, 44 kHz, stereo CBR");
  ASSERT_GE(index, 0);
  const TWrite w = Encode("anyinput", 96000, 1, 1.5,
                          [&](TWMAOut& o) {
                            o.SetCodecIndex(0);
                            o.SetFormatIndex(index);
                          },
                          24);
  ASSERT_EQ(w.Error, "");
  EXPECT_EQ(Probe(w.Path, "stream=codec_name"), "wmav1");
  EXPECT_EQ(Probe(w.Path, "stream=sample_rate"), "44100");
  EXPECT_EQ(Probe(w.Path, "stream=channels"), "2");
  EXPECT_NEAR(std::stod(Probe(w.Path, "format=duration")), 1.5, 0.1);

  // A 24-bit source searched by bit rate works too.
  const TWrite deep = Encode("deep", 44100, 2, 1.0, [](TWMAOut& o) { o.SetDesiredBitrate(128000); }, 24);
  EXPECT_EQ(deep.Error, "");
}

TEST(WinMediaWriteTest, VbrAndLosslessFindNoFormat) {
  TComponentPtr<TWMAOut> o(new TWMAOut(nullptr));
  o->SetVBR(true);
  EXPECT_EQ(o->GetFormats(0).Count(), 0);
  o->SetVBR(false);
  o->SetLossless(true);
  EXPECT_EQ(o->GetFormats(0).Count(), 0);
  o->SetLossless(false);
  EXPECT_GT(o->GetFormats(0).Count(), 0);

  EXPECT_EQ(Encode("vbr", 44100, 2, 0.5, [](TWMAOut& x) {
              x.SetVBR(true);
              x.SetVBRQuality(90);
            }).Error,
            "Failed to init codec");
  EXPECT_EQ(Encode("lossless", 44100, 2, 0.5, [](TWMAOut& x) { x.SetLossless(true); }).Error,
            "Failed to init codec");
  // A system codec asked for with VBR gets no stream, and writing cannot start.
  const std::string e = Encode("vbrindex", 44100, 2, 0.5, [](TWMAOut& x) {
                          x.SetCodecIndex(0);
                          x.SetVBR(true);
                        }).Error;
  EXPECT_EQ(e.rfind("Filed to set data writer: ", 0), 0u) << e;
  EXPECT_EQ(Encode("badformat", 44100, 2, 0.5, [](TWMAOut& x) {
              x.SetCodecIndex(0);
              x.SetFormatIndex(100000);
            }).Error,
            "fff");
  // More channels than any format has.
  EXPECT_EQ(Encode("six", 44100, 6, 0.5, [](TWMAOut& x) { x.SetDesiredBitrate(128000); }).Error,
            "A Windows Media file holds one or two channels; the source has 6.");
}

TEST(WinMediaWriteTest, OutputFailuresAreReported) {
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  const std::string raw = TempPath("fail.raw");
  WriteFile(raw, std::vector<uint8_t>(44100 * 4, 0));
  auto* in = new TRawIn(owner.get(), 16, 2, 44100);
  in->SetFileName(raw);
  auto* out = new TWMAOut(owner.get());
  out->SetInput(in);
  out->SetDesiredBitrate(128000);
  EXPECT_EQ(RunOutput(*out), "File name is not assigned.");
  out->SetFileName(TempPath("no/such/folder/x.wma"));
  EXPECT_EQ(RunOutput(*out), "Cannot create \"" + TempPath("no/such/folder/x.wma") + "\": No such file or directory");
  // A full disk shows as a failed write, not as a finished file.
  if (access("/dev/full", W_OK) == 0) {
    out->SetFileName("/dev/full");
    EXPECT_EQ(RunOutput(*out), "Cannot write \"/dev/full\": No space left on device");
  }
}

TEST(WinMediaWriteTest, LayerSkipsEmptyWritesAndStampsEachBlockWithItsStart) {
  const std::string path = TempPath("layer.wma");
  TWMWriterState st;
  OpenWMAFile(st, path);
  ASSERT_TRUE(st.Created);
  SetWMAFormatByValue(st, 2, 16, 128000, false, false, 44100);
  BeginWMAWriting(st);
  std::vector<uint8_t> block(17640, 0);  // 100 ms
  WriteWMAData(st, block.data(), 0);
  EXPECT_EQ(st.SampleTime, 0u);
  WriteWMAData(st, block.data(), static_cast<uint32_t>(block.size()));
  EXPECT_EQ(st.SampleTime, 1000000u);  // the next block starts at 100 ms
  WriteWMAData(st, block.data(), static_cast<uint32_t>(block.size()));
  EXPECT_EQ(st.SampleTime, 2000000u);
  EndWMAWriting(st);
  CloseWMAFile(st);
  EXPECT_EQ(Probe(path, "stream=codec_name"), "wmav2");
  EXPECT_NEAR(static_cast<double>(FfmpegDecode(path).size()) / 4 / 44100, 0.2, 2048.0 / 44100);
}
