// TMACIn: decoding through the worker thread, sample-exact against the source and
// ffmpeg's decoding; ranges; bad files; the library check of both components.

#include <gtest/gtest.h>

#include "tests/audio/codecs/ape/MACComponentTools.h"

using namespace MACComp;

namespace {

std::vector<uint8_t> Slice(const std::vector<uint8_t>& V, size_t From, size_t To) {
  return std::vector<uint8_t>(V.begin() + static_cast<std::ptrdiff_t>(std::min(From, V.size())),
                              V.begin() + static_cast<std::ptrdiff_t>(std::min(To, V.size())));
}

}  // namespace

TEST(MACInTest, ReadsFilesExactlyAsFfmpegDoes) {
  RequireTools({"sox", "ffmpeg"});
  TempDir dir;
  struct Case {
    int Bits, Channels, Rate, Level;
    double Seconds;
  } cases[] = {{8, 2, 11025, 1000, 1.2}, {16, 1, 44100, 2000, 1.1}, {16, 2, 8000, 4000, 40.0}, {24, 2, 48000, 5000, 0.9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Bits) + " bits, " + std::to_string(c.Channels) + " ch");
    const std::string raw = MakeRaw(dir, c.Bits, c.Channels, c.Rate, c.Seconds);
    const std::string ape = dir.Path("in.ape");
    ASSERT_EQ(EncodeRaw(raw, c.Bits, c.Channels, c.Rate, ape, c.Level), "");
    const std::vector<uint8_t> reference = FfmpegDecode(dir, ape, c.Bits);
    ASSERT_TRUE(reference == ReadFile(raw));

    TComponentPtr<TMACIn> in(new TMACIn(nullptr));
    in->SetFileName(ape);
    ASSERT_TRUE(in->Valid());
    EXPECT_EQ(in->BitsPerSample(), c.Bits);
    EXPECT_EQ(in->Channels(), c.Channels);
    EXPECT_EQ(in->SampleRate(), c.Rate);
    EXPECT_EQ(in->Size(), static_cast<int64_t>(reference.size()));
    const int64_t frames = static_cast<int64_t>(reference.size()) / (c.Channels * c.Bits / 8);
    EXPECT_EQ(in->TotalSamples(), frames);
    EXPECT_EQ(in->TotalTime(), static_cast<int32_t>(frames * 1000 / c.Rate / 1000));
    const std::vector<uint8_t> decoded = Collect(*in);
    EXPECT_EQ(decoded.size(), reference.size());
    EXPECT_TRUE(decoded == reference);
    // A second run reads it all again.
    EXPECT_TRUE(Collect(*in) == reference);
  }
}

TEST(MACInTest, FilesAreOpenedByTheirBytesEvenWhenTheNameIsNoUTF8) {
  RequireTools({"sox"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, 16, 2, 44100, 0.5);
  const std::string ape = dir.Path("caf\xE9.ape");  // Latin-1: not valid UTF-8
  ASSERT_EQ(EncodeRaw(raw, 16, 2, 44100, ape, 2000, [](TMACOut& Out, TRawIn&) { Out.APEv2Tags()->SetTitle(u"Caf\u00E9"); }),
            "");
  ASSERT_TRUE(Exists(ape));
  TComponentPtr<TMACIn> in(new TMACIn(nullptr));
  in->SetFileName(ape);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->APEv2Tags()->Title(), u"Caf\u00E9");
  EXPECT_TRUE(Collect(*in) == ReadFile(raw));
}

TEST(MACInTest, SampleRangesAreExactAcrossFrames) {
  RequireTools({"sox"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, 16, 2, 8000, 80.0);  // 640000 frames: three APE frames
  const std::string ape = dir.Path("range.ape");
  ASSERT_EQ(EncodeRaw(raw, 16, 2, 8000, ape, 2000), "");
  const std::vector<uint8_t> source = ReadFile(raw);
  const std::pair<int64_t, int64_t> ranges[] = {
      {0, 99}, {294000, 295999}, {294912, -1}, {1, 1}, {600000, 639999}, {639999, -1}, {500000, 10000000}};
  for (const auto& [start, end] : ranges) {
    SCOPED_TRACE(std::to_string(start) + ".." + std::to_string(end));
    TComponentPtr<TMACIn> in(new TMACIn(nullptr));
    in->SetFileName(ape);
    in->SetStartSample(start);
    in->SetEndSample(end);
    const size_t last = end < 0 ? source.size() : static_cast<size_t>(end + 1) * 4;
    EXPECT_TRUE(Collect(*in) == Slice(source, static_cast<size_t>(start) * 4, last));
  }
}

TEST(MACInTest, AnUnreadableFileIsNotValidWithoutAnException) {
  RequireTools({"sox"});
  TempDir dir;
  std::vector<uint8_t> noise(3000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 31 + 7);
  WriteFile(dir.Path("noise.ape"), noise);
  std::string log;
  ASSERT_TRUE(RunOk("sox -n -r 8000 -c 1 " + Quote(dir.Path("tone.wav")) + " synth 0.2 sine 300", &log)) << log;
  for (const char* name : {"missing.ape", "noise.ape", "tone.wav"}) {
    SCOPED_TRACE(name);
    TComponentPtr<TMACIn> in(new TMACIn(nullptr));
    in->SetFileName(dir.Path(name));
    bool valid = true;
    EXPECT_NO_THROW(valid = in->Valid());
    EXPECT_FALSE(valid);
    EXPECT_EQ(in->OpenCount(), 0);
    std::string error;
    EXPECT_TRUE(Collect(*in, &error).empty());
    EXPECT_EQ(error, "MACDll error: invalid input file");
  }
}

TEST(MACInTest, ADamagedFileFailsTheRunInsteadOfEndingEarly) {
  RequireTools({"sox"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, 16, 2, 8000, 45.0);  // two frames
  const std::string ape = dir.Path("good.ape");
  ASSERT_EQ(EncodeRaw(raw, 16, 2, 8000, ape), "");
  std::vector<uint8_t> f = ReadFile(ape);
  const size_t second = Le32(f, 80);
  f[second + (f.size() - second) / 2] ^= 0x33;
  const std::string bad = dir.Path("bad.ape");
  WriteFile(bad, f);
  TComponentPtr<TMACIn> in(new TMACIn(nullptr));
  in->SetFileName(bad);
  ASSERT_TRUE(in->Valid());  // the head is sound
  std::string error;
  const std::vector<uint8_t> got = Collect(*in, &error);
  // The whole first frame, then the damage, named with the file and where it starts.
  EXPECT_EQ(error,
            "Monkey's Audio decoding error in \"" + bad + "\" after 0:36.86 (sample frame 294912): a frame is damaged.");
  const std::vector<uint8_t> source = ReadFile(raw);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), source.begin()));
  EXPECT_EQ(got.size(), 294912u * 4);
}

TEST(MACInTest, AStreamCannotBeRead) {
  TempDir dir;
  TMemoryStream mem;
  TComponentPtr<TMACIn> in(new TMACIn(nullptr));
  in->SetStream(&mem);
  EXPECT_FALSE(in->Valid());
  std::string error;
  Collect(*in, &error);
  EXPECT_EQ(error, "Monkey's Audio input reads files by name only");
}

TEST(MACLibraryTest, MissingLibraryOrEntryPointIsNamed) {
  TempDir dir;
  WriteFile(dir.Path("pcm.raw"), std::vector<uint8_t>(4000, 1));
  TCodecLibrary& lib = MACDllLibrary();
  auto runBoth = [&](std::string& OutError, std::string& InError) {
    TComponentPtr<TRawIn> raw(new TRawIn(nullptr, 16, 2, 44100));
    raw->SetFileName(dir.Path("pcm.raw"));
    TComponentPtr<TMACOut> out(new TMACOut(nullptr));
    out->SetInput(raw.get());
    out->SetFileName(dir.Path("never.ape"));
    OutError = RunOutput(*out);
    TComponentPtr<TMACIn> in(new TMACIn(nullptr));
    in->SetFileName(dir.Path("never.ape"));
    EXPECT_FALSE(in->Valid());
    Collect(*in, &InError);
  };
  std::string outError, inError;

  lib.Unload();
  lib.SetFileName("libMACDll-missing.so");
  runBoth(outError, inError);
  EXPECT_EQ(outError, "libMACDll-missing.so library could not be loaded.");
  EXPECT_EQ(inError, "libMACDll-missing.so library could not be loaded.");

  // A real library of another kind.
  lib.SetFileName("libm.so.6");
  runBoth(outError, inError);
  EXPECT_EQ(outError, "Function \"ProgressCallback\" not found in MACDll library!");
  EXPECT_EQ(inError, "Function \"ProgressCallback\" not found in MACDll library!");
  lib.Unload();
  lib.SetFileName("libMACDll.so");
  EXPECT_FALSE(Exists(dir.Path("never.ape")));

  RequireMACDll();
  EXPECT_TRUE(lib.Loaded());
  EXPECT_TRUE(lib.Missing().empty());
}
