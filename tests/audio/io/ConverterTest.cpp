// The converters: sample size and channels, PCM format and sample rate, and the
// two-pass normaliser, driven directly and through an output's worker thread.
// Fixtures are made with sox; sox also gives the reference conversions.

#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <random>
#include <thread>

#include "audio/io/TSL_Converters.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Folders.h"
#include "tests/support/TestComponents.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

using namespace testsupport;

namespace {

// The test process's folder. XDG_DATA_HOME points into it, so the normaliser's
// temporary files land where the tests can watch them.
const std::string& TempDir() {
  static const std::string dir = [] {
    setenv("XDG_DATA_HOME", TempPath("xdg").c_str(), 1);
    return ProcessTempDir();
  }();
  return dir;
}
std::string TempFile(const std::string& Name) { return TempDir() + Name; }

class ConverterFixture : public ::testing::Test {
protected:
  void SetUp() override { TempDir(); }
};
class AudioConverter : public ConverterFixture {};
class ACMConverter : public ConverterFixture {};
class Normalizer : public ConverterFixture {};

// A raw PCM file synthesised by sox (no dither) in the test process's folder.
std::string MakeRaw(const std::string& Name, int Bits, int Channels, int Rate, const std::string& Synth) {
  return SynthRaw(TempFile(Name), Bits, Channels, Rate, Synth);
}

// A raw PCM file converted by sox: the reference result.
std::vector<uint8_t> SoxConvert(const std::string& Src, int Bits, int Ch, int Rate, int OutBits, int OutCh, int OutRate,
                                const std::string& Effect = "") {
  const std::string ref = TempFile("ref.raw");
  Shell("sox -D " + SoxRawFormat(Bits, Ch, Rate) + " " + Src + " " + SoxRawFormat(OutBits, OutCh, OutRate) + " " +
        ref + " " + Effect + " 2>/dev/null");
  return ReadFile(ref);
}

// Signed sample values (8-bit taken around 128).
std::vector<int64_t> Samples(const std::vector<uint8_t>& Bytes, int Bits) {
  const size_t w = static_cast<size_t>(Bits / 8);
  std::vector<int64_t> v(Bytes.size() / w);
  for (size_t i = 0; i < v.size(); ++i) {
    const uint8_t* p = &Bytes[i * w];
    uint32_t u = 0;
    for (size_t k = 0; k < w; ++k) u |= uint32_t{p[k]} << (8 * (4 - w + k));
    v[i] = w == 1 ? int64_t{p[0]} - 128 : static_cast<int32_t>(u) >> (8 * (4 - w));
  }
  return v;
}

// Samples evenly spread from the most negative value (or its negation when NegativePeak
// is off) to the largest positive one, as little-endian bytes (8-bit around 128).
std::vector<uint8_t> FullScaleRamp(int Bits, bool NegativePeak) {
  const int64_t top = (int64_t{1} << (Bits - 1)) - 1, bottom = NegativePeak ? -top - 1 : -top;
  const size_t w = static_cast<size_t>(Bits / 8), count = 40001;
  std::vector<uint8_t> bytes(count * w);
  for (size_t i = 0; i < count; ++i) {
    const int64_t v = bottom + static_cast<int64_t>(static_cast<double>(top - bottom) * i / (count - 1));
    const uint64_t u = static_cast<uint64_t>(Bits == 8 ? v + 128 : v);
    for (size_t k = 0; k < w; ++k) bytes[i * w + k] = static_cast<uint8_t>(u >> (8 * k));
  }
  return bytes;
}

int64_t MaxDiff(const std::vector<int64_t>& A, const std::vector<int64_t>& B) {
  int64_t d = 0;
  for (size_t i = 0; i < std::min(A.size(), B.size()); ++i) d = std::max(d, std::abs(A[i] - B[i]));
  return d;
}

int64_t PeakOf(const std::vector<int64_t>& V) {
  int64_t p = 0;
  for (int64_t x : V) p = std::max(p, std::abs(x));
  return p;
}

// Signal-to-noise ratio in dB of Test against Ref, leaving out the edges.
double Snr(const std::vector<int64_t>& Ref, const std::vector<int64_t>& Test) {
  double s = 0, n = 0;
  for (size_t i = 4000; i + 4000 < Ref.size(); ++i) {
    const double r = static_cast<double>(Ref[i]), d = static_cast<double>(Test[i]) - r;
    s += r * r;
    n += d * d;
  }
  return n == 0 ? 999.0 : 10.0 * std::log10(s / n);
}

// Files the normaliser has left in its folder.
std::vector<std::string> NormFiles(const std::string& Dir = AppDataFolder()) {
  std::vector<std::string> names;
  if (DIR* d = opendir(Dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
    closedir(d);
  }
  return names;
}

// The sizes of the files this process holds open in Dir that have no name there.
std::vector<int64_t> UnnamedFiles(const std::string& Dir = AppDataFolder()) {
  std::vector<int64_t> sizes;
  const std::string dir = IncludeTrailingPathDelimiter(Dir), gone = " (deleted)";
  for (const std::string& fd : NormFiles("/proc/self/fd")) {
    char link[4096];
    const ssize_t n = readlink(("/proc/self/fd/" + fd).c_str(), link, sizeof link);
    const std::string target(link, n > 0 ? static_cast<size_t>(n) : 0);
    if (target.rfind(dir, 0) == 0 && target.size() > gone.size() && target.ends_with(gone))
      sizes.push_back(FileSize("/proc/self/fd/" + fd));
  }
  return sizes;
}

// A raw input that can be held up or failed at a chosen raw read.
class TGateIn : public TRawIn {
public:
  using TRawIn::TRawIn;
  std::function<void(int Read)> OnRead;
  std::atomic<int> Reads{0};

protected:
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override {
    if (OnRead) OnRead(Reads.load());
    ++Reads;
    TRawIn::ReadRaw(Buffer, Bytes);
  }
};

TComponentPtr<TGateIn> RawIn(const std::string& File, int Bits, int Ch, int Rate, uint32_t Chunk = 4096) {
  TComponentPtr<TGateIn> in(new TGateIn(nullptr, Bits, Ch, Rate));
  in->SetFileName(File);
  in->MaxChunk = Chunk;
  return in;
}

TComponentPtr<TGateIn> MemIn(TMemoryStream& Mem, const std::vector<uint8_t>& Data, int Bits, int Ch, int Rate) {
  Mem.Clear();
  Mem.Write(Data.data(), static_cast<int64_t>(Data.size()));
  TComponentPtr<TGateIn> in(new TGateIn(nullptr, Bits, Ch, Rate));
  in->SetStream(&Mem);
  return in;
}

}  // namespace

// ===========================================================================
// TAudioConverter

TEST_F(AudioConverter, EverySizeAndChannelCombinationMatchesSox) {
  for (int inBits : {8, 16, 24, 32}) {
    for (int inCh : {1, 2}) {
      const std::string src = MakeRaw("ac-in.raw", inBits, inCh, 44100, "0.25 sine 440 sine 1000 vol 0.9");
      for (int outBits : {8, 16, 24, 32}) {
        for (int outCh : {1, 2}) {
          SCOPED_TRACE(testing::Message() << inBits << "/" << inCh << " -> " << outBits << "/" << outCh);
          auto in = RawIn(src, inBits, inCh, 44100, 1001);  // chunks cut frames apart
          TComponentPtr<TAudioConverter> ac(new TAudioConverter(nullptr));
          ac->SetInput(in.get());
          ac->SetOutBitsPerSample(outBits);
          ac->SetOutChannels(outCh);
          EXPECT_EQ(ac->BitsPerSample(), outBits);
          EXPECT_EQ(ac->Channels(), outCh);
          const auto ours = Collect(*ac);
          ASSERT_EQ(ours.size(), FileSize(src) / (inBits / 8 * inCh) * (outBits / 8) * outCh);
          EXPECT_EQ(ac->Size(), static_cast<int64_t>(ours.size()));
          const auto got = Samples(ours, outBits);
          const auto want = Samples(SoxConvert(src, inBits, inCh, 44100, outBits, outCh, 44100), outBits);
          ASSERT_EQ(got.size(), want.size());
          // Floats carry 24 bits; sox rounds where the floats floor.
          EXPECT_LE(MaxDiff(got, want), outBits == 32 ? 512 : 1);
          for (size_t i = 0; inCh == 1 && outCh == 2 && i < got.size(); i += 2) ASSERT_EQ(got[i], got[i + 1]);
        }
      }
    }
  }
}

TEST_F(AudioConverter, KnownValuesSizesAndUntouchedBytes) {
  // 16-bit stereo to 8-bit mono: (16384, 16384) becomes 192.
  TMemoryStream mem;
  auto in = MemIn(mem, AsBytes(std::vector<int16_t>(2002, 16384)), 16, 2, 44100);
  TComponentPtr<TAudioConverter> ac(new TAudioConverter(nullptr));
  ac->SetInput(in.get());
  ac->SetOutBitsPerSample(8);
  ac->SetOutChannels(1);
  EXPECT_EQ(ReadAll(*ac, 7), std::vector<uint8_t>(1001, 192));
  // Sizes are whole output frames: 4006 bytes of 16-bit stereo make 1001.5 mono frames.
  in->DeclaredSize = 4006;
  ac->SetOutBitsPerSample(16);
  ac->Init();
  EXPECT_EQ(ac->Size(), 2002);
  EXPECT_EQ(ac->FrameSize(), 2);
  ac->Flush();

  // 32-bit in and out: no round trip through floats, which would lose the low bits.
  std::vector<uint8_t> data(24000);
  std::mt19937 rng(7);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  auto in32 = MemIn(mem, data, 32, 2, 44100);
  in32->MaxChunk = 999;
  ac->SetInput(in32.get());
  ac->SetOutBitsPerSample(32);
  ac->SetOutChannels(2);
  EXPECT_EQ(Collect(*ac), data);
  // Six channels stay six channels; only the sample size changes.
  auto six = MemIn(mem, data, 8, 6, 44100);
  ac->SetInput(six.get());
  ac->SetOutBitsPerSample(16);
  EXPECT_EQ(ac->Channels(), 6);
  const auto wide = Samples(ReadAll(*ac), 16);
  ASSERT_EQ(wide.size(), data.size());
  for (size_t i = 0; i < data.size(); ++i) ASSERT_EQ(wide[i], (int64_t{data[i]} - 128) * 256);
}

TEST_F(AudioConverter, SameAsInputAppliesToOneRunOnlyAndBadSetUpFailsCleanly) {
  const std::string a = MakeRaw("ac-a.raw", 8, 1, 22050, "0.1 sine 300");
  const std::string b = MakeRaw("ac-b.raw", 24, 2, 48000, "0.1 sine 300 sine 500");
  auto inA = RawIn(a, 8, 1, 22050);
  auto inB = RawIn(b, 24, 2, 48000);
  TComponentPtr<TAudioConverter> ac(new TAudioConverter(nullptr));
  ac->SetInput(inA.get());
  ac->SetOutChannels(2);
  EXPECT_EQ(Collect(*ac).size(), static_cast<size_t>(FileSize(a) * 2));
  // The next file of a list keeps its own sample size.
  ac->SetInput(inB.get());
  EXPECT_EQ(ac->BitsPerSample(), 24);
  EXPECT_EQ(Collect(*ac), ReadFile(b));
  EXPECT_EQ(ac->OutBitsPerSample(), 0);

  ac->SetOutBitsPerSample(12);
  std::string error;
  Collect(*ac, &error);
  EXPECT_EQ(error, "Cannot convert 24-bit samples to 12 bits: only 8, 16, 24 and 32-bit samples are supported.");
  EXPECT_FALSE(ac->Busy());
  EXPECT_FALSE(inB->Busy());
  ac->Flush();  // harmless after a failed start
  ac->SetInput(nullptr);
  EXPECT_EQ(ac->BitsPerSample(), 0);
  try {
    ac->Init();
    FAIL() << "no error";
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "Input is not assigned");
  }
}

// ===========================================================================
// TACMConverter

TEST_F(ACMConverter, RateRoundTripKeepsASineCleanAndTheExactLength) {
  for (int bits : {16, 32}) {
    SCOPED_TRACE(bits);
    const std::string src = MakeRaw("acm-sine.raw", bits, 2, 44100, "2 sine 997 sine 3001 vol 0.5");
    ASSERT_EQ(FileSize(src), 88200 * bits / 4);
    auto in = RawIn(src, bits, 2, 44100);
    TComponentPtr<TACMConverter> acm(new TACMConverter(nullptr));
    acm->SetInput(in.get());
    acm->SetOutSampleRate(48000);
    EXPECT_EQ(acm->SampleRate(), 48000);
    const auto at48 = Collect(*acm, nullptr, 5000);
    ASSERT_EQ(at48.size(), 96000u * bits / 4);
    EXPECT_EQ(acm->Size(), static_cast<int64_t>(at48.size()));
    // sox's own rate conversion agrees.
    const auto want = Samples(SoxConvert(src, bits, 2, 44100, bits, 2, 48000, "rate -v"), bits);
    EXPECT_GT(Snr(want, Samples(at48, bits)), bits == 16 ? 100.0 : 150.0);

    // And back: the sine comes out as it went in.
    const std::string mid = TempFile("acm-48.raw");
    WriteFile(mid, at48);
    auto in48 = RawIn(mid, bits, 2, 48000);
    acm->SetInput(in48.get());
    acm->SetOutSampleRate(44100);
    const auto back = Collect(*acm);
    ASSERT_EQ(back.size(), static_cast<size_t>(FileSize(src)));
    EXPECT_GT(Snr(Samples(ReadFile(src), bits), Samples(back, bits)), bits == 16 ? 88.0 : 140.0);
  }
}

TEST_F(ACMConverter, SizeIsWholeFramesAndOnlyTheFinalShortfallIsPadded) {
  TMemoryStream mem;
  // Halves go to the even frame count: 1001 frames -> 500, 1003 -> 502.
  for (int frames : {1001, 1003, 200000}) {
    std::vector<int16_t> v(static_cast<size_t>(frames) * 2);
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int16_t>(8000 * std::sin(0.01 * static_cast<double>(i / 2)));
    auto in = MemIn(mem, AsBytes(v), 16, 2, 44100);
    in->MaxChunk = 777;
    TComponentPtr<TACMConverter> acm(new TACMConverter(nullptr));
    acm->SetInput(in.get());
    acm->SetOutSampleRate(22050);
    const int64_t want = (frames == 1001 ? 500 : frames == 1003 ? 502 : frames / 2) * 4;
    acm->Init();
    EXPECT_EQ(acm->Size(), want);
    acm->Flush();
    EXPECT_EQ(static_cast<int64_t>(ReadAll(*acm, 7).size()), want);
  }

  const std::string src = MakeRaw("acm-pad.raw", 16, 1, 44100, "0.5 sine 1000 vol 0.8");
  const size_t frames = static_cast<size_t>(FileSize(src) / 2);
  for (int outBits : {8, 16}) {
    auto in = RawIn(src, 16, 1, 44100);
    in->DeclaredSize = static_cast<int64_t>(frames + 4410) * 2;  // the "header" promises more than there is
    TComponentPtr<TACMConverter> acm(new TACMConverter(nullptr));
    acm->SetInput(in.get());
    acm->SetOutSampleRate(22050);
    acm->SetOutBitsPerSample(outBits);
    const auto out = Collect(*acm);
    const size_t w = static_cast<size_t>(outBits / 8), real = frames / 2 * w;
    ASSERT_EQ(out.size(), (frames + 4410) / 2 * w);
    EXPECT_GT(PeakOf(Samples(std::vector<uint8_t>(out.begin(), out.begin() + real), outBits)), outBits == 8 ? 90 : 20000);
    for (size_t i = real; i < out.size(); ++i) ASSERT_EQ(out[i], outBits == 8 ? 0x80 : 0) << i;
  }
  // An unknown input size stays unknown and nothing is padded.
  auto in = RawIn(src, 16, 1, 44100);
  in->DeclaredSize = -1;
  TComponentPtr<TACMConverter> acm(new TACMConverter(nullptr));
  acm->SetInput(in.get());
  acm->SetOutSampleRate(48000);
  acm->Init();
  EXPECT_EQ(acm->Size(), -1);
  acm->Flush();
  EXPECT_EQ(Collect(*acm).size(), frames * 48000 / 44100 * 2);
}

TEST_F(ACMConverter, ChangesSizeChannelsAndRateTogether) {
  const std::string src = MakeRaw("acm-fmt.raw", 8, 1, 44100, "1 sine 500 vol 0.7");
  auto in = RawIn(src, 8, 1, 44100);
  TComponentPtr<TACMConverter> acm(new TACMConverter(nullptr));
  acm->SetInput(in.get());
  acm->SetOutSampleRate(48000);
  acm->SetOutBitsPerSample(16);
  acm->SetOutChannels(2);
  const auto out = Samples(Collect(*acm), 16);
  ASSERT_EQ(out.size(), 48000u * 2);
  for (size_t i = 0; i < out.size(); i += 2) ASSERT_EQ(out[i], out[i + 1]);
  EXPECT_GT(Snr(Samples(SoxConvert(src, 8, 1, 44100, 16, 2, 48000, "rate -v"), 16), out), 90.0);

  // The most the bytes can grow: the lowest rate to a high one, 8-bit mono to 32-bit stereo.
  auto slow = RawIn(MakeRaw("acm-slow.raw", 8, 1, 1000, "2 sine 100"), 8, 1, 1000);
  acm->SetInput(slow.get());
  acm->SetOutSampleRate(192000);
  acm->SetOutBitsPerSample(32);
  EXPECT_EQ(Collect(*acm).size(), 2000u * 192 * 8);
}

TEST_F(ACMConverter, SameAsInputAppliesToOneRunOnlyAndImpossibleConversionsFail) {
  std::vector<uint8_t> data(12000);
  std::mt19937 rng(3);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  TMemoryStream mem;
  auto in = MemIn(mem, data, 16, 2, 22050);
  TComponentPtr<TACMConverter> acm(new TACMConverter(nullptr));
  acm->SetInput(in.get());
  acm->SetOutBitsPerSample(16);
  EXPECT_EQ(acm->SampleRate(), 22050);
  EXPECT_EQ(Collect(*acm), data);  // nothing to convert: the bytes go through
  EXPECT_EQ(acm->OutSampleRate(), 0);

  auto in2 = MemIn(mem, data, 16, 1, 32000);
  acm->SetInput(in2.get());
  EXPECT_EQ(acm->SampleRate(), 32000);
  EXPECT_EQ(acm->Channels(), 1);
  acm->SetOutSampleRate(16000);
  EXPECT_EQ(ReadAll(*acm).size(), data.size() / 2);
  EXPECT_EQ(acm->OutChannels(), 0);

  auto six = MemIn(mem, data, 16, 6, 44100);
  acm->SetInput(six.get());
  acm->SetOutChannels(1);
  std::string error;
  EXPECT_TRUE(Collect(*acm, &error).empty());
  EXPECT_EQ(error, "Cannot convert 6 channels to 1: only mono and stereo convert into each other.");
  EXPECT_FALSE(acm->Busy());
  EXPECT_FALSE(six->Busy());

  // Rates far below audio's are not converted, and a source without a rate is not even
  // passed on.
  auto slow = MemIn(mem, data, 16, 2, 5);
  acm->SetInput(slow.get());
  acm->SetOutChannels(0);
  acm->SetOutSampleRate(44100);
  Collect(*acm, &error);
  EXPECT_EQ(error, "Cannot convert 5 Hz audio to 44100 Hz: sample rates below 1000 Hz are not supported.");
  auto none = MemIn(mem, data, 16, 2, 0);
  acm->SetInput(none.get());
  acm->SetOutSampleRate(0);
  Collect(*acm, &error);
  EXPECT_EQ(error, "Cannot convert 0 Hz audio: a sample rate is at least 1 Hz.");
  acm->SetInput(nullptr);
  EXPECT_THROW(acm->Init(), EAuException);
}

// ===========================================================================
// TNormalizer

TEST_F(Normalizer, DoublesAHalfScaleInputInEveryStoreMode) {
  std::vector<int16_t> v = {16384, -16384, 16383, 1, -1, 0, 3, -3, 8191, -8192};
  for (int i = 0; i < 100000; ++i) v.push_back(static_cast<int16_t>(i % 2001 - 1000));
  TMemoryStream mem;
  auto in = MemIn(mem, AsBytes(v), 16, 2, 44100);
  in->MaxChunk = 1001;
  TComponentPtr<TNormalizer> n(new TNormalizer(nullptr));
  n->SetInput(in.get());
  for (TNormalizerStoreMode mode : {nsmFile, nsmMemory, nsmNone}) {
    n->SetStoreMode(mode);
    for (int pass = 0; pass < 2; ++pass) {
      SCOPED_TRACE(testing::Message() << "mode " << int{mode} << " pass " << pass);
      const auto out = Samples(pass == 0 ? Collect(*n, nullptr, 3000) : ReadAll(*n, 5), 16);
      ASSERT_EQ(out.size(), v.size());
      EXPECT_EQ(out[0], 32767);  // clipped
      EXPECT_EQ(out[1], -32768);
      EXPECT_EQ(out[2], 32766);
      for (size_t i = 3; i < v.size(); ++i) ASSERT_EQ(out[i], 2 * v[i]) << i;
    }
  }
  EXPECT_TRUE(NormFiles().empty());
}

TEST_F(Normalizer, EverySizeReachesFullScaleAsSoxNormDoes) {
  for (int bits : {8, 16, 24, 32}) {
    for (int ch : {1, 2}) {
      SCOPED_TRACE(testing::Message() << bits << "/" << ch);
      const std::string src = MakeRaw("norm-in.raw", bits, ch, 44100, "0.3 sine 440 sine 1000 vol 0.3");
      auto in = RawIn(src, bits, ch, 44100, 1001);
      TComponentPtr<TNormalizer> n(new TNormalizer(nullptr));
      n->SetInput(in.get());
      const auto ours = Collect(*n);
      const auto got = Samples(ours, bits);
      EXPECT_GE(PeakOf(got), (int64_t{1} << (bits - 1)) - 1);
      EXPECT_LE(MaxDiff(got, Samples(SoxConvert(src, bits, ch, 44100, bits, ch, 44100, "norm"), bits)),
                bits == 32 ? 128 : 1);
      // sox sees full scale and, for 8 bits, no offset from the midpoint 128.
      WriteFile(TempFile("norm-out.raw"), ours);
      Shell("sox " + SoxRawFormat(bits, ch, 44100) + " " + TempFile("norm-out.raw") + " -n stats 2>" +
            TempFile("stats"));
      const auto text = ReadFile(TempFile("stats"));
      const std::string stats(text.begin(), text.end());
      ASSERT_NE(stats.find("Pk lev dB"), std::string::npos) << stats;
      EXPECT_GT(std::stod(stats.substr(stats.find("Pk lev dB") + 9)), -0.01) << stats;
      EXPECT_LT(std::fabs(std::stod(stats.substr(stats.find("DC offset") + 9))), 0.001) << stats;
    }
  }
  EXPECT_TRUE(NormFiles().empty());
}

TEST_F(Normalizer, SilenceFullScaleAndDisabledPassUnchangedWithoutAFile) {
  // Silence, and sources already at full scale: peak at the largest positive value or
  // at the most negative one.
  std::vector<std::pair<int, std::vector<uint8_t>>> unchanged;
  for (int bits : {8, 16}) unchanged.emplace_back(bits, std::vector<uint8_t>(30000, bits == 8 ? 0x80 : 0));
  for (int bits : {8, 16, 24, 32})
    for (bool negativePeak : {false, true}) unchanged.emplace_back(bits, FullScaleRamp(bits, negativePeak));
  TMemoryStream mem;
  for (const auto& [bits, data] : unchanged) {
    SCOPED_TRACE(testing::Message() << bits << " bits, " << data.size() << " bytes");
    auto in = MemIn(mem, data, bits, 1, 44100);
    TComponentPtr<TNormalizer> n(new TNormalizer(nullptr));
    n->SetInput(in.get());
    EXPECT_TRUE(Collect(*n) == data);
  }
  EXPECT_TRUE(NormFiles().empty());

  const std::string src = MakeRaw("norm-off.raw", 16, 2, 44100, "0.2 sine 440 vol 0.2");
  auto in = RawIn(src, 16, 2, 44100);
  TComponentPtr<TNormalizer> n(new TNormalizer(nullptr));
  n->SetInput(in.get());
  n->SetEnabled(false);
  TComponentPtr<TCollectOut> out(new TCollectOut(nullptr));
  out->SetInput(n.get());
  std::atomic<size_t> filesDuringRun{99};
  out->OnPrepare = [&] { filesDuringRun = NormFiles().size(); };
  bool done = false;
  out->OnDone = [&](TComponent*) { done = true; };
  out->Run();
  ASSERT_TRUE(PumpUntil([&] { return done; }));
  EXPECT_EQ(filesDuringRun.load(), 0u);
  EXPECT_EQ(out->Data, ReadFile(src));
}

TEST_F(Normalizer, EachRunHasItsOwnFileRemovedAtItsEnd) {
  const std::string src = MakeRaw("norm-files.raw", 16, 2, 44100, "0.2 sine 440 vol 0.2");
  auto in1 = RawIn(src, 16, 2, 44100);
  auto in2 = RawIn(src, 16, 2, 44100);
  TComponentPtr<TNormalizer> n1(new TNormalizer(nullptr));
  TComponentPtr<TNormalizer> n2(new TNormalizer(nullptr));
  n1->SetInput(in1.get());
  n2->SetInput(in2.get());
  n1->Init();
  n2->Init();
  // Files without a name in the data folder: nothing is left whatever happens.
  EXPECT_TRUE(NormFiles().empty());
  EXPECT_EQ(UnnamedFiles(), (std::vector<int64_t>{FileSize(src), FileSize(src)}));
  EXPECT_EQ(n1->TmpFileName(), "norm.tmp");  // the property keeps what was set
  n1->Flush();
  EXPECT_EQ(UnnamedFiles().size(), 1u);
  n1->Flush();  // a second end is harmless and leaves the other run's file alone
  EXPECT_EQ(UnnamedFiles().size(), 1u);
  n2->SetStoreMode(nsmMemory);  // ignored while busy
  EXPECT_EQ(n2->StoreMode(), nsmFile);
  n2->Flush();
  EXPECT_TRUE(UnnamedFiles().empty());

  // An absolute name puts the file in that folder.
  const std::string dir = TempFile("own/");
  ASSERT_TRUE(ForceDirectories(dir));
  n1->SetTmpFileName(dir + "scan.dat");
  n1->Init();
  EXPECT_TRUE(NormFiles(dir).empty());
  EXPECT_EQ(UnnamedFiles(dir).size(), 1u);
  n1->Flush();
  EXPECT_TRUE(UnnamedFiles(dir).empty());

  // A folder that cannot be written, a full disk, or an input failing in the first
  // pass, fails the run and leaves nothing behind.
  n1->SetTmpFileName(TempFile("missing/sub/norm.tmp"));
  std::string error;
  Collect(*n1, &error);
  EXPECT_FALSE(error.empty());
  n1->SetTmpFileName("norm.tmp");
  {
    TFileSizeLimit full(16384);
    Collect(*n1, &error);
  }
  EXPECT_EQ(error, "Cannot write a temporary file in \"" + AppDataFolder() + "\": File too large");
  in2->Reads = 0;
  in2->OnRead = [](int Read) {
    if (Read == 3) throw EAuException("read failed");
  };
  Collect(*n2, &error);
  EXPECT_EQ(error, "read failed");
  EXPECT_TRUE(UnnamedFiles().empty());
  for (TAuInput* c : {static_cast<TAuInput*>(n1.get()), static_cast<TAuInput*>(n2.get()),
                      static_cast<TAuInput*>(in1.get()), static_cast<TAuInput*>(in2.get())})
    EXPECT_FALSE(c->Busy());
}

TEST_F(Normalizer, StopAndPauseAreAnsweredDuringTheFirstPass) {
  // 8-bit mono: one 64 KiB raw read per block of the first pass.
  std::vector<uint8_t> data(200 * 65536);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(128 + 50 * std::sin(0.001 * i));
  TMemoryStream mem;
  auto in = MemIn(mem, data, 8, 1, 44100);
  in->MaxChunk = 65536;
  TComponentPtr<TNormalizer> n(new TNormalizer(nullptr));
  n->SetInput(in.get());
  const auto want = ReadAll(*n);
  TComponentPtr<TCollectOut> out(new TCollectOut(nullptr));
  out->SetInput(n.get());
  bool done = false;
  out->OnDone = [&](TComponent*) { done = true; };

  // Stop: the input holds its tenth read until the stop is asked for.
  std::atomic<bool> held{false};
  in->Reads = 0;
  in->OnRead = [&](int Read) {
    if (Read != 10) return;
    held = true;
    for (int i = 0; i < 20000 && !out->Stopping(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  out->Run();
  ASSERT_TRUE(PumpUntil([&] { return held.load(); }));
  out->Stop(false);
  EXPECT_LE(in->Reads.load(), 12);
  EXPECT_TRUE(UnnamedFiles().empty());
  EXPECT_TRUE(out->Data.empty());
  EXPECT_EQ(out->ExceptionMessage(), "");
  EXPECT_FALSE(n->Busy());

  // Pause: a slow input from the tenth read on; the pause holds the first pass.
  in->Reads = 0;
  in->OnRead = [](int Read) {
    if (Read >= 10) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  };
  out->Run();
  ASSERT_TRUE(PumpUntil([&] { return in->Reads.load() > 10; }));
  out->Pause();
  EXPECT_EQ(out->Status(), asPaused);
  // The first pass keeps what it read in a file that has no name.
  EXPECT_TRUE(NormFiles().empty());
  EXPECT_EQ(UnnamedFiles().size(), 1u);
  const int reads = in->Reads.load();
  EXPECT_LT(reads, 200);
  PumpFor(100);
  EXPECT_EQ(in->Reads.load(), reads);
  out->Resume();
  ASSERT_TRUE(PumpUntil([&] { return done; }, 60000));
  EXPECT_EQ(out->ExceptionMessage(), "");
  EXPECT_EQ(out->Data, want);
}

TEST_F(Normalizer, EndOfTheApplicationChainThroughTheWorker) {
  // A WAV run from another source: source -> rate -> size and channels -> normaliser.
  const std::string src = MakeRaw("chain.raw", 8, 1, 44100, "1.5 sine 700 vol 0.25");
  auto in = RawIn(src, 8, 1, 44100, 1234);
  TComponentPtr<TACMConverter> acm(new TACMConverter(nullptr));
  TComponentPtr<TAudioConverter> ac(new TAudioConverter(nullptr));
  TComponentPtr<TNormalizer> n(new TNormalizer(nullptr));
  acm->SetInput(in.get());
  acm->SetOutSampleRate(48000);
  ac->SetInput(acm.get());
  ac->SetOutBitsPerSample(16);
  ac->SetOutChannels(2);
  n->SetInput(ac.get());
  EXPECT_EQ(n->BitsPerSample(), 16);
  EXPECT_EQ(n->SampleRate(), 48000);
  const auto out = Samples(Collect(*n, nullptr, 4608), 16);
  ASSERT_EQ(out.size(), 72000u * 2);
  EXPECT_GE(PeakOf(out), 32767);
  for (size_t i = 0; i < out.size(); i += 2) ASSERT_EQ(out[i], out[i + 1]);
  EXPECT_TRUE(NormFiles().empty());
  EXPECT_FALSE(acm->Busy());
}
