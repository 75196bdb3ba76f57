// Writing WAV files through the worker thread: header layouts, round trips
// checked with sox and ffmpeg, IMA ADPCM, appending, stopped and failed runs.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/rtl/FileUtils.h"
#include "tests/support/TestComponents.h"
#include "tests/audio/io/WaveTestUtil.h"

using namespace testsupport;
using namespace wavetest;

namespace {

std::vector<uint8_t> Pattern(size_t Bytes, uint32_t Seed = 1) {
  std::vector<uint8_t> v(Bytes);
  uint32_t x = Seed;
  for (auto& b : v) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(x >> 24);
  }
  return v;
}

std::vector<uint8_t> Head(const std::vector<uint8_t>& V, size_t N) {
  return std::vector<uint8_t>(V.begin(), V.begin() + std::min(N, V.size()));
}

std::vector<uint8_t> Tail(const std::vector<uint8_t>& V, size_t From) {
  return std::vector<uint8_t>(V.begin() + std::min(From, V.size()), V.end());
}

// What sox and ffprobe say about a file; both must accept it.
struct TToolView {
  std::string Sox, Probe;
};
TToolView Inspect(const std::string& Path) {
  return {Shell("sox --i '" + Path + "'"),
          Shell("ffprobe -v error -show_entries stream=codec_name,channels,sample_rate,bits_per_sample -of "
                "default=nw=1 '" + Path + "'")};
}

// An input that holds back after Limit bytes until released, so a test can
// stop a run at a known point; or fails there.
class TGateIn : public TRawIn {
public:
  using TRawIn::TRawIn;
  int64_t Limit = 0;
  bool Fail = false;
  std::atomic<bool> Waiting{false};
  std::atomic<bool> Release{false};

protected:
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override {
    if (FPassed >= Limit) {
      if (Fail) throw EAuException("the source went away");
      Waiting = true;
      for (int i = 0; i < 10000 && !Release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    TRawIn::ReadRaw(Buffer, Bytes);
    FPassed += Bytes;
  }

private:
  int64_t FPassed = 0;
};

}  // namespace

TEST(WaveWriteTest, HeadersHaveTheirFixedLayout) {
  struct Case {
    int Bits, Channels, Rate;
    size_t Bytes;
    TWavType Type;
    uint16_t BlockSize;
    const char* Header;
  };
  const Case cases[] = {
      {16, 2, 44100, 400, wtPCM, 512,
       "52494646 b4010000 57415645 666d7420 10000000 0100 0200 44ac0000 10b10200 0400 1000 64617461 90010000"},
      {24, 6, 48000, 1800, wtPCM, 512,
       "52494646 44070000 57415645 666d7420 28000000 feff 0600 80bb0000 002f0d00 1200 1800 1600 1800 3f000000"
       " 01000000 0000 1000 800000aa00389b71 64617461 08070000"},
      {16, 1, 22050, 5000, wtDVIADPCM, 512,
       "52494646 34060000 57415645 666d7420 14000000 1100 0100 22560000 002a0000 0002 0400 0200 f903"
       " 66616374 04000000 c4090000 64617461 00060000"},
      {16, 2, 44100, 4000, wtDVIADPCM, 1024,
       "52494646 34040000 57415645 666d7420 14000000 1100 0200 44ac0000 00ac0000 0004 0400 0200 f903"
       " 66616374 04000000 e8030000 64617461 00040000"},
  };
  int i = 0;
  for (const Case& c : cases) {
    const std::string path = TempPath("layout" + std::to_string(i++) + ".wav");
    const std::vector<uint8_t> pcm =
        c.Type == wtDVIADPCM ? AsBytes(Sines(static_cast<int64_t>(c.Bytes / 2 / c.Channels), c.Channels, c.Rate))
                             : Pattern(c.Bytes);
    ASSERT_EQ(WriteWave(path, pcm, c.Bits, c.Channels, c.Rate,
                        [&](TWaveOut& O) {
                          O.SetWavType(c.Type);
                          O.SetBlockSize(c.BlockSize);
                        }),
              "");
    const auto file = ReadFile(path);
    const auto expected = FromHex(c.Header);
    ASSERT_GE(file.size(), expected.size());
    EXPECT_EQ(Head(file, expected.size()), expected) << path;
    EXPECT_EQ(file.size(), expected.size() + Le32(file, expected.size() - 4)) << path;
    const TToolView v = Inspect(path);
    EXPECT_NE(v.Sox.find("Channels       : " + std::to_string(c.Channels)), std::string::npos) << v.Sox;
    EXPECT_NE(v.Probe.find("channels=" + std::to_string(c.Channels)), std::string::npos) << v.Probe;
    EXPECT_NE(v.Probe.find("sample_rate=" + std::to_string(c.Rate)), std::string::npos) << v.Probe;
    if (c.Type == wtDVIADPCM) {
      EXPECT_NE(v.Sox.find("IMA ADPCM"), std::string::npos) << v.Sox;
      EXPECT_NE(v.Probe.find("codec_name=adpcm_ima_wav"), std::string::npos) << v.Probe;
    }
  }
}

TEST(WaveWriteTest, PcmOfEveryWidthReadsBackUnchanged) {
  for (int bits : {8, 16, 24, 32}) {
    for (int ch : {1, 2, 6}) {
      for (bool plain : {false, true}) {
        const std::string path =
            TempPath("rt" + std::to_string(bits) + "-" + std::to_string(ch) + (plain ? "p" : "") + ".wav");
        const auto pcm = Pattern(static_cast<size_t>(ch * bits / 8) * 3001, static_cast<uint32_t>(bits * ch));
        ASSERT_EQ(WriteWave(path, pcm, bits, ch, 32000, [&](TWaveOut& O) { O.SetCreateNonMsHeaders(plain); }), "");
        const auto file = ReadFile(path);
        // Wide formats get the extensible header unless plain headers are asked for.
        const bool ext = !plain && (ch > 2 || bits > 16);
        EXPECT_EQ(Le16(file, 20), ext ? 0xFFFE : 1) << path;
        const TWaveRead r = ReadWave(path);
        ASSERT_TRUE(r.Valid) << path;
        EXPECT_EQ(r.WavType, ext ? wtExtPCM : wtPCM);
        EXPECT_EQ(r.Bits, bits);
        EXPECT_EQ(r.Channels, ch);
        EXPECT_EQ(r.Rate, 32000);
        EXPECT_TRUE(r.Data == pcm) << path;
        const std::string raw = bits == 8 ? "u8" : "s" + std::to_string(bits) + "le";
        EXPECT_TRUE(FfmpegDecode(path, raw) == pcm) << path;
        const TToolView v = Inspect(path);
        EXPECT_NE(v.Sox.find("Precision      : " + std::to_string(bits) + "-bit"), std::string::npos) << v.Sox;
        // Odd data sizes are followed by a pad byte the RIFF size counts.
        EXPECT_EQ(file.size(), (ext ? 68u : 44u) + pcm.size() + (pcm.size() & 1)) << path;
        EXPECT_EQ(Le32(file, 4), file.size() - 8) << path;
      }
    }
  }
}

TEST(WaveWriteTest, ImaAdpcmIsDecodedByOtherTools) {
  for (int ch : {1, 2}) {
    const std::string path = TempPath("ima" + std::to_string(ch) + ".wav");
    const auto in = Sines(44100, ch, 44100);
    ASSERT_EQ(WriteWave(path, AsBytes(in), 16, ch, 44100, [](TWaveOut& O) { O.SetWavType(wtDVIADPCM); }), "");
    const auto theirs = AsInt16(FfmpegDecode(path, "s16le"));
    EXPECT_GE(theirs.size(), in.size());
    EXPECT_GT(Snr(in, theirs), 25.0);
    Shell("sox '" + path + "' -t s16 '" + path + ".sox.raw'");
    EXPECT_GT(Snr(in, AsInt16(ReadFile(path + ".sox.raw"))), 25.0);
    const TWaveRead r = ReadWave(path);
    ASSERT_TRUE(r.Valid);
    EXPECT_EQ(r.WavType, wtDVIADPCM);
    EXPECT_EQ(r.Size, static_cast<int64_t>(in.size() * 2));
    EXPECT_GT(Snr(theirs, AsInt16(r.Data)), 50.0);
  }
}

TEST(WaveWriteTest, ImaLastBlockIsCountedExactly) {
  // 1017 frames per 512-byte mono block.
  for (int64_t frames : {int64_t{2034}, int64_t{2035}, int64_t{1}}) {
    const std::string path = TempPath("imaend" + std::to_string(frames) + ".wav");
    ASSERT_EQ(WriteWave(path, AsBytes(Sines(frames, 1, 8000)), 16, 1, 8000,
                        [](TWaveOut& O) { O.SetWavType(wtDVIADPCM); }),
              "");
    const auto file = ReadFile(path);
    const int64_t blocks = (frames + 1016) / 1017;
    EXPECT_EQ(Le32(file, 48), frames);
    EXPECT_EQ(Le32(file, 56), blocks * 512);
    EXPECT_EQ(static_cast<int64_t>(file.size()), 60 + blocks * 512);
    EXPECT_EQ(Le32(file, 4), file.size() - 8);
  }
}

TEST(WaveWriteTest, ShortInputOfKnownSizeGetsItsTrueSizeUnlessTheStreamCannotSeekBack) {
  for (int bits : {8, 16}) {
    for (bool pipe : {false, true}) {
      SCOPED_TRACE(std::to_string(bits) + (pipe ? " bits into a pipe" : " bits into a file"));
      const std::string path = TempPath("pad" + std::to_string(bits) + ".wav");
      const auto pcm = Pattern(1000);
      TMemoryStream mem;
      mem.Write(pcm.data(), 1000);
      TComponentPtr<TRawIn> in(new TRawIn(nullptr, bits, 1, 8000));
      in->SetStream(&mem);
      in->DeclaredSize = 1400;
      TComponentPtr<TWaveOut> out(new TWaveOut(nullptr));
      out->SetInput(in.get());
      TForwardOnlyStream forward;
      if (pipe)
        out->SetStream(&forward);
      else
        out->SetFileName(path);
      ASSERT_EQ(RunOutput(*out), "");
      const auto file = pipe ? std::vector<uint8_t>(forward.Memory(), forward.Memory() + forward.Size()) : ReadFile(path);
      // A header that can be rewritten tells the truth; one that cannot keeps its
      // promise with silence (the midpoint for unsigned 8-bit samples).
      const uint32_t data = pipe ? 1400 : 1000;
      ASSERT_EQ(file.size(), 44u + data);
      EXPECT_EQ(Le32(file, 40), data);
      EXPECT_EQ(Le32(file, 4), data + 36);
      EXPECT_EQ(Head(Tail(file, 44), 1000), pcm);
      EXPECT_EQ(Tail(file, 1044), std::vector<uint8_t>(data - 1000, bits == 8 ? 0x80 : 0x00));
    }
  }
}

TEST(WaveWriteTest, StoppedOrFailedRunsGetTrueSizesWithoutPadding) {
  for (TWavType type : {wtPCM, wtDVIADPCM}) {
    for (bool fail : {false, true}) {
      const std::string path = TempPath(std::string("stop") + (type == wtPCM ? "pcm" : "ima") + (fail ? "f" : "s") + ".wav");
      const auto pcm = AsBytes(Sines(200000, 2, 44100));
      TMemoryStream mem;
      mem.Write(pcm.data(), static_cast<int64_t>(pcm.size()));
      TComponentPtr<TGateIn> in(new TGateIn(nullptr, 16, 2, 44100));
      in->SetStream(&mem);
      in->Limit = 100000;
      in->Fail = fail;
      TComponentPtr<TWaveOut> out(new TWaveOut(nullptr));
      out->SetInput(in.get());
      out->SetFileName(path);
      out->SetWavType(type);
      bool done = false;
      out->OnDone = [&](TComponent*) { done = true; };
      out->Run();
      if (!fail) {
        ASSERT_TRUE(PumpUntil([&] { return in->Waiting.load(); }));
        out->Stop(true);
        in->Release = true;
      }
      ASSERT_TRUE(PumpUntil([&] { return done; }));
      EXPECT_EQ(out->ExceptionMessage(), fail ? "the source went away" : "");
      // A failed run leaves no file that could pass for a complete one.
      if (fail) {
        EXPECT_FALSE(FileExists(path));
        continue;
      }
      const auto file = ReadFile(path);
      const size_t header = type == wtPCM ? 44 : 60;
      ASSERT_GT(file.size(), header);
      const uint32_t data = Le32(file, header - 4);
      EXPECT_EQ(file.size(), header + data) << path;
      EXPECT_EQ(Le32(file, 4), file.size() - 8) << path;
      EXPECT_LT(data, pcm.size() / 2) << path;  // nothing was added to reach the announced size
      const TWaveRead r = ReadWave(path);
      ASSERT_TRUE(r.Valid);
      if (type == wtPCM) {
        EXPECT_EQ(r.Data, Head(pcm, data));
      } else {
        // The fact count is the frames really encoded, not whole blocks.
        EXPECT_EQ(r.Size % 4, 0);
        EXPECT_EQ(data % 512, 0u);
        EXPECT_LE(r.Size, static_cast<int64_t>(data / 512) * 505 * 4);
        EXPECT_GT(r.Size, static_cast<int64_t>(data / 512 - 1) * 505 * 4);
        EXPECT_GT(Snr(AsInt16(Head(pcm, static_cast<size_t>(r.Size))), AsInt16(r.Data)), 25.0);
      }
    }
  }
}

TEST(WaveWriteTest, AppendingContinuesTheData) {
  // PCM, including an odd-sized 8-bit file whose pad byte must move.
  for (int bits : {16, 8}) {
    const int ch = bits == 16 ? 2 : 1;
    const std::string path = TempPath("append" + std::to_string(bits) + ".wav");
    const auto a = Pattern(bits == 16 ? 4000 : 1001, 3), b = Pattern(bits == 16 ? 2000 : 10, 4);
    ASSERT_EQ(WriteWave(path, a, bits, ch, 44100), "");
    const auto before = ReadFile(path);
    ASSERT_EQ(WriteWave(path, b, bits, ch, 44100, [](TWaveOut& O) { O.SetFileMode(foAppend); }), "");
    const auto file = ReadFile(path);
    const size_t data = a.size() + b.size();
    EXPECT_EQ(file.size(), 44 + data + (data & 1));
    EXPECT_EQ(Le32(file, 40), data);
    EXPECT_EQ(Le32(file, 4), file.size() - 8);
    // No second header: the old one stays but for its sizes.
    EXPECT_EQ(Head(Tail(file, 8), 32), Head(Tail(before, 8), 32));
    auto both = a;
    both.insert(both.end(), b.begin(), b.end());
    EXPECT_TRUE(ReadWave(path).Data == both);
    EXPECT_TRUE(FfmpegDecode(path, bits == 16 ? "s16le" : "u8") == both);
  }

  // IMA ADPCM: the old last block keeps its silent rest; the count covers it.
  const std::string ima = TempPath("append-ima.wav");
  const auto a = Sines(1500, 1, 22050), b = Sines(1017, 1, 22050);
  auto imaOut = [](TWaveOut& O) { O.SetWavType(wtDVIADPCM); };
  ASSERT_EQ(WriteWave(ima, AsBytes(a), 16, 1, 22050, imaOut), "");
  ASSERT_EQ(WriteWave(ima, AsBytes(b), 16, 1, 22050, [](TWaveOut& O) { O.SetFileMode(foAppend); }), "");
  const auto file = ReadFile(ima);
  EXPECT_EQ(Le16(file, 20), 0x11);
  EXPECT_EQ(Le32(file, 56), 3u * 512u);
  EXPECT_EQ(Le32(file, 48), 2u * 1017u + 1017u);
  EXPECT_EQ(file.size(), 60u + 3u * 512u);
  const auto decoded = AsInt16(FfmpegDecode(ima, "s16le"));
  ASSERT_GE(decoded.size(), 3u * 1017u);
  // Short IMA runs start from the smallest step; misplaced data would score near 0 dB.
  EXPECT_GT(Snr(a, std::vector<int16_t>(decoded.begin(), decoded.begin() + 1500)), 20.0);
  EXPECT_GT(Snr(b, std::vector<int16_t>(decoded.begin() + 2034, decoded.begin() + 3051)), 20.0);

  // Appending to a file that does not exist yet makes a new file.
  const std::string fresh = TempPath("append-new.wav");
  ASSERT_EQ(WriteWave(fresh, Pattern(400), 16, 2, 44100, [](TWaveOut& O) { O.SetFileMode(foAppend); }), "");
  EXPECT_TRUE(ReadWave(fresh).Data == Pattern(400));
}

TEST(WaveWriteTest, AppendingIsRefusedUnlessFormatsMatchAndDataIsLast) {
  const std::string pcm = TempPath("refuse-pcm.wav");
  ASSERT_EQ(WriteWave(pcm, Pattern(400), 16, 2, 44100), "");
  const std::string ima = TempPath("refuse-ima.wav");
  ASSERT_EQ(WriteWave(ima, AsBytes(Sines(2034, 1, 22050)), 16, 1, 22050,
                      [](TWaveOut& O) { O.SetWavType(wtDVIADPCM); }),
            "");
  const std::string flt = TempPath("refuse-float.wav");
  Shell("sox -n -r 44100 -c 2 -e floating-point -b 32 '" + flt + "' synth 0.1 sine 440");
  const std::string tagged = TempPath("refuse-tagged.wav");
  {
    auto f = ReadFile(pcm);
    const auto list = FromHex("4c495354 04000000 494e464f");
    f.insert(f.end(), list.begin(), list.end());
    SetLe32(f, 4, static_cast<uint32_t>(f.size() - 8));
    WriteFile(tagged, f);
  }
  struct Case {
    std::string Path;
    int Bits, Channels, Rate;
    uint16_t BlockSize;
    const char* Message;
  };
  const Case cases[] = {
      {pcm, 16, 2, 48000, 512, "Cannot append data in different audio format."},
      {pcm, 16, 1, 44100, 512, "Cannot append data in different audio format."},
      {pcm, 8, 2, 44100, 512, "Cannot append data in different audio format."},
      {flt, 16, 2, 44100, 512, "Cannot append data to this .wav file."},
      {tagged, 16, 2, 44100, 512, "Cannot append data to this .wav file."},
      {ima, 8, 1, 22050, 512, "Cannot encode 8 bit sound into ADPCM."},
      {ima, 16, 1, 22050, 1024, "Cannot append data in different audio format."},
      {ima, 16, 2, 22050, 512, "Cannot append data in different audio format."},
  };
  for (const Case& c : cases) {
    const auto before = ReadFile(c.Path);
    EXPECT_EQ(WriteWave(c.Path, Pattern(static_cast<size_t>(c.Bits / 8 * c.Channels) * 100), c.Bits, c.Channels,
                        c.Rate,
                        [&](TWaveOut& O) {
                          O.SetFileMode(foAppend);
                          O.SetBlockSize(c.BlockSize);
                        }),
              c.Message)
        << c.Path;
    EXPECT_TRUE(ReadFile(c.Path) == before) << c.Path;
  }
}

TEST(WaveWriteTest, ChosenTypeAppliesToOneRunOnly) {
  const std::string path = TempPath("runtype.wav");
  const auto six = Pattern(6 * 2 * 500);
  const auto two = AsBytes(Sines(3000, 2, 44100));
  TComponentPtr<TWaveOut> out(new TWaveOut(nullptr));
  out->SetWavType(wtDVIADPCM);
  out->SetFileName(path);
  for (int run = 0; run < 2; ++run) {
    const auto& pcm = run == 0 ? six : two;
    TMemoryStream mem;
    mem.Write(pcm.data(), static_cast<int64_t>(pcm.size()));
    TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, run == 0 ? 6 : 2, 44100));
    in->SetStream(&mem);
    out->SetInput(in.get());
    ASSERT_EQ(RunOutput(*out), "");
    out->SetInput(nullptr);
    // Six channels cannot be IMA: that run is extensible PCM; the next stereo one is IMA again.
    EXPECT_EQ(Le16(ReadFile(path), 20), run == 0 ? 0xFFFE : 0x11);
    EXPECT_EQ(out->WavType(), wtDVIADPCM);
  }

  // Appending takes the file's type for the run, not for the property.
  TComponentPtr<TWaveOut> app(new TWaveOut(nullptr));
  app->SetFileName(path);
  app->SetFileMode(foAppend);
  TMemoryStream mem;
  mem.Write(two.data(), static_cast<int64_t>(two.size()));
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, 2, 44100));
  in->SetStream(&mem);
  app->SetInput(in.get());
  ASSERT_EQ(RunOutput(*app), "");
  EXPECT_EQ(app->WavType(), wtPCM);
  // Six old blocks of 505 stereo frames, then the new frames.
  const auto file = ReadFile(path);
  EXPECT_EQ(Le32(file, 48), 6u * 505u + 3000u);
  EXPECT_EQ(Le32(file, 56), 12u * 512u);
}

TEST(WaveWriteTest, ImpossibleOutputsAreRefusedBeforeTheFileIsTouched) {
  const std::string path = TempPath("refused.wav");
  const std::vector<uint8_t> keep = {'k', 'e', 'e', 'p'};
  struct Case {
    int Bits, Channels;
    TWavType Type;
    bool Plain;
    uint16_t BlockSize;
    int64_t Declared;
    std::string Message;
  };
  const Case cases[] = {
      {8, 2, wtDVIADPCM, false, 512, -2, "Cannot encode 8 bit sound into ADPCM."},
      {16, 6, wtDVIADPCM, true, 512, -2, "IMA ADPCM can only be written in mono or stereo."},
      {16, 2, wtDVIADPCM, false, 260, -2, "The ADPCM block size 260 does not fit 2 channel(s)."},
      {16, 2, wtPCM, false, 512, 5000000000, "The .wav file would be larger than 4 GB, which the format cannot hold."},
      {16, 1, wtDVIADPCM, false, 40000, 5000000000, "The ADPCM block size 40000 does not fit 1 channel(s)."},
  };
  for (const Case& c : cases) {
    WriteFile(path, keep);
    TMemoryStream mem;
    const auto pcm = Pattern(1200);
    mem.Write(pcm.data(), 1200);
    TComponentPtr<TRawIn> in(new TRawIn(nullptr, c.Bits, c.Channels, 44100));
    in->SetStream(&mem);
    in->DeclaredSize = c.Declared;
    TComponentPtr<TWaveOut> out(new TWaveOut(nullptr));
    out->SetInput(in.get());
    out->SetFileName(path);
    out->SetWavType(c.Type);
    out->SetCreateNonMsHeaders(c.Plain);
    out->SetBlockSize(c.BlockSize);
    EXPECT_EQ(RunOutput(*out), c.Message);
    EXPECT_EQ(ReadFile(path), keep);
    EXPECT_FALSE(in->Busy());
  }

  TComponentPtr<TWaveOut> unnamed(new TWaveOut(nullptr));
  TMemoryStream mem;
  TComponentPtr<TRawIn> in(new TRawIn(nullptr));
  in->SetStream(&mem);
  unnamed->SetInput(in.get());
  EXPECT_EQ(RunOutput(*unnamed), "File name is not assigned.");
}

TEST(WaveWriteTest, PropertySettersKeepOnlyValidValues) {
  TComponentPtr<TWaveOut> out(new TWaveOut(nullptr));
  EXPECT_EQ(out->WavType(), wtPCM);
  EXPECT_EQ(out->BlockSize(), 512);
  out->SetWavType(wtMSADPCM);
  out->SetWavType(wtExtPCM);
  EXPECT_EQ(out->WavType(), wtPCM);
  out->SetWavType(wtDVIADPCM);
  EXPECT_EQ(out->WavType(), wtDVIADPCM);
  out->SetBlockSize(0);
  out->SetBlockSize(514);
  EXPECT_EQ(out->BlockSize(), 512);
  out->SetBlockSize(2048);
  EXPECT_EQ(out->BlockSize(), 2048);
  out->SetFileMode(foAppend);
  EXPECT_EQ(out->FileMode(), foAppend);
}

TEST(WaveWriteTest, InputOfUnknownSizeGetsItsSizesAtTheEnd) {
  for (TWavType type : {wtPCM, wtDVIADPCM}) {
    const std::string path = TempPath(std::string("unknown") + (type == wtPCM ? "pcm" : "ima") + ".wav");
    const auto pcm = AsBytes(Sines(3000, 2, 44100));
    TMemoryStream mem;
    mem.Write(pcm.data(), static_cast<int64_t>(pcm.size()));
    TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, 2, 44100));
    in->SetStream(&mem);
    in->DeclaredSize = -1;
    TComponentPtr<TWaveOut> out(new TWaveOut(nullptr));
    out->SetInput(in.get());
    out->SetFileName(path);
    out->SetWavType(type);
    ASSERT_EQ(RunOutput(*out), "");
    const auto file = ReadFile(path);
    EXPECT_EQ(Le32(file, 4), file.size() - 8);
    if (type == wtPCM) {
      EXPECT_EQ(Le32(file, 40), pcm.size());
      EXPECT_TRUE(ReadWave(path).Data == pcm);
    } else {
      EXPECT_EQ(Le32(file, 48), 3000u);
      EXPECT_EQ(Le32(file, 56), 6u * 512u);
      EXPECT_EQ(ReadWave(path).Size, static_cast<int64_t>(pcm.size()));
    }
  }
}
