// The decompressor: sample-exact against the source and against ffmpeg's own
// decoding, seeking, the information fields, and bad files refused cleanly.

#include "MACTestSupport.h"

#include <cstring>
#include <functional>

using namespace MACTests;

namespace {

std::vector<uint8_t> Slice(const std::vector<uint8_t>& V, size_t From, size_t To) {
  From = std::min(From, V.size());
  To = std::min(To, V.size());
  return std::vector<uint8_t>(V.begin() + static_cast<std::ptrdiff_t>(From), V.begin() + static_cast<std::ptrdiff_t>(To));
}

int32_t Create(const std::string& Path) {
  int32_t error = -77;
  APE_DECOMPRESS_HANDLE h = Lib().DecompressCreateW(Wide(Path).c_str(), &error);
  if (h) Lib().DecompressDestroy(h);
  if (!h && error == 0) return -78;  // no handle must come with a reason
  return error;
}

}  // namespace

TEST(MACDecodeTest, ReadsOurFilesExactlyAsFfmpegDoes) {
  RequireTools({"sox", "ffmpeg"});
  TempDir dir;
  struct Case {
    int Bits, Channels, Rate, Level;
    double Seconds;
    bool Loud;
  } cases[] = {
      {16, 2, 8000, 2000, 40.0, false},  // two frames
      {24, 2, 48000, 5000, 0.8, true},   // the 64-bit predictor
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Bits) + " bits " + std::to_string(c.Channels) + " ch level " + std::to_string(c.Level));
    const std::string raw = MakeRaw(dir, "src.raw", c.Bits, c.Channels, c.Rate, c.Seconds, c.Loud);
    const std::string ape = dir.Path("dec.ape");
    ASSERT_EQ(Encode(raw, ape, c.Bits, c.Channels, c.Rate, c.Level), 0);
    const std::vector<uint8_t> source = ReadFile(raw);
    const std::vector<uint8_t> reference = FfmpegDecode(dir, ape, c.Bits);
    ASSERT_TRUE(reference == source);
    for (int32_t perCall : {1, 4321, 1 << 20}) {
      const Decoded d = DecodeAll(ape, 0, perCall);
      EXPECT_EQ(d.CreateError, 0);
      EXPECT_EQ(d.DataError, 0);
      EXPECT_EQ(d.Pcm.size(), reference.size()) << perCall << " blocks per call";
      EXPECT_TRUE(d.Pcm == reference) << perCall << " blocks per call";
    }
  }
}

TEST(MACDecodeTest, SeeksToAnyBlockSampleExact) {
  RequireTools({"sox"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, "src.raw", 16, 2, 8000, 80.0);  // 640000 blocks, 3 frames
  const std::string ape = dir.Path("seek.ape");
  ASSERT_EQ(Encode(raw, ape, 16, 2, 8000, 3000), 0);
  const std::vector<uint8_t> source = ReadFile(raw);
  const int64_t total = static_cast<int64_t>(source.size() / 4);
  for (int64_t block : {int64_t{1}, int64_t{4607}, int64_t{294911}, int64_t{294912}, int64_t{294913}, int64_t{500001},
                        total - 1}) {
    SCOPED_TRACE("block " + std::to_string(block));
    const Decoded d = DecodeAll(ape, block, 7919);
    EXPECT_EQ(d.DataError, 0);
    EXPECT_TRUE(d.Pcm == Slice(source, static_cast<size_t>(block) * 4, source.size()));
  }
  // At or past the end: nothing more, and no error.
  for (int64_t block : {total, total + 1000}) {
    const Decoded d = DecodeAll(ape, block);
    EXPECT_EQ(d.DataError, 0);
    EXPECT_TRUE(d.Pcm.empty());
  }

  // Back and forth inside one decompressor, between reads.
  const Api& L = Lib();
  int32_t error = -1;
  APE_DECOMPRESS_HANDLE h = L.DecompressCreateW(Wide(ape).c_str(), &error);
  ASSERT_NE(h, nullptr);
  std::vector<char> buf(1000 * 4);
  int32_t got = 0;
  ASSERT_EQ(L.DecompressGetData(h, buf.data(), 1000, &got), 0);
  for (int64_t block : {int64_t{600000}, int64_t{10}, int64_t{300000}, int64_t{299999}}) {
    SCOPED_TRACE("then block " + std::to_string(block));
    ASSERT_EQ(L.DecompressSeek(h, block), 0);
    EXPECT_EQ(L.DecompressGetInfo(h, MACDll::APE_DECOMPRESS_CURRENT_BLOCK, 0, 0), block);
    ASSERT_EQ(L.DecompressGetData(h, buf.data(), 1000, &got), 0);
    ASSERT_EQ(got, 1000);
    EXPECT_EQ(std::memcmp(buf.data(), source.data() + block * 4, 4000), 0);
    EXPECT_EQ(L.DecompressGetInfo(h, MACDll::APE_DECOMPRESS_CURRENT_BLOCK, 0, 0), block + 1000);
  }
  L.DecompressDestroy(h);
}

TEST(MACDecodeTest, InformationFieldsDescribeTheAudio) {
  RequireTools({"sox"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, "src.raw", 24, 2, 48000, 2.5);
  const std::string ape = dir.Path("info.ape");
  ASSERT_EQ(Encode(raw, ape, 24, 2, 48000, 4000), 0);
  const Api& L = Lib();
  int32_t error = -1;
  APE_DECOMPRESS_HANDLE h = L.DecompressCreateW(Wide(ape).c_str(), &error);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(error, 0);
  auto info = [&](int32_t Field) { return static_cast<int64_t>(L.DecompressGetInfo(h, Field, 0, 0)); };
  EXPECT_EQ(info(MACDll::APE_INFO_SAMPLE_RATE), 48000);
  EXPECT_EQ(info(MACDll::APE_INFO_BITS_PER_SAMPLE), 24);
  EXPECT_EQ(info(MACDll::APE_INFO_CHANNELS), 2);
  EXPECT_EQ(info(MACDll::APE_INFO_BLOCK_ALIGN), 6);
  EXPECT_EQ(info(MACDll::APE_INFO_FILE_VERSION), 3990);
  EXPECT_EQ(info(MACDll::APE_INFO_COMPRESSION_LEVEL), 4000);
  EXPECT_EQ(info(MACDll::APE_INFO_TOTAL_BLOCKS), 120000);
  // The PCM bytes, without any WAV header.
  EXPECT_EQ(info(MACDll::APE_INFO_WAV_TOTAL_BYTES), static_cast<int64_t>(ReadFile(raw).size()));
  EXPECT_EQ(info(MACDll::APE_DECOMPRESS_LENGTH_MS), 2500);
  EXPECT_EQ(info(MACDll::APE_INFO_APE_TOTAL_BYTES), static_cast<int64_t>(ReadFile(ape).size()));
  EXPECT_EQ(info(MACDll::APE_DECOMPRESS_CURRENT_BLOCK), 0);
  EXPECT_EQ(info(12345), -1);
  L.DecompressDestroy(h);
  EXPECT_EQ(L.DecompressGetInfo(nullptr, MACDll::APE_INFO_SAMPLE_RATE, 0, 0), -1);
}

TEST(MACDecodeTest, FilesThatAreNotSoundAPEFilesAreRefused) {
  RequireTools({"sox"});
  TempDir dir;
  EXPECT_EQ(Create(dir.Path("missing.ape")), MACDll::ERROR_INVALID_INPUT_FILE);
  EXPECT_EQ(Create(dir.Root()), MACDll::ERROR_INVALID_INPUT_FILE);
  WriteFile(dir.Path("empty.ape"), std::vector<uint8_t>{});
  EXPECT_EQ(Create(dir.Path("empty.ape")), MACDll::ERROR_INVALID_INPUT_FILE);
  std::vector<uint8_t> noise(5000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  WriteFile(dir.Path("noise.ape"), noise);
  EXPECT_EQ(Create(dir.Path("noise.ape")), MACDll::ERROR_INVALID_INPUT_FILE);
  std::string log;
  ASSERT_TRUE(RunOk("sox -n -r 8000 -c 1 " + Quote(dir.Path("tone.wav")) + " synth 0.2 sine 300", &log)) << log;
  EXPECT_EQ(Create(dir.Path("tone.wav")), MACDll::ERROR_INVALID_INPUT_FILE);

  const std::string raw = MakeRaw(dir, "src.raw", 16, 2, 44100, 0.5);
  const std::string ape = dir.Path("good.ape");
  ASSERT_EQ(Encode(raw, ape, 16, 2, 44100, 2000), 0);
  const std::vector<uint8_t> good = ReadFile(ape);
  auto variant = [&](const char* Name, const std::function<void(std::vector<uint8_t>&)>& Change) {
    std::vector<uint8_t> f = good;
    Change(f);
    const std::string p = dir.Path(Name);
    WriteFile(p, f);
    return Create(p);
  };
  EXPECT_EQ(variant("head-cut.ape", [](auto& f) { f.resize(60); }), MACDll::ERROR_INVALID_INPUT_FILE);
  EXPECT_EQ(variant("old-version.ape", [](auto& f) { f[4] = 0x74, f[5] = 0x0E; }), MACDll::ERROR_UNSUPPORTED_FILE_TYPE);
  EXPECT_EQ(variant("level.ape", [](auto& f) { f[52] = 0xC4, f[53] = 0x09; }), MACDll::ERROR_UNSUPPORTED_FILE_TYPE);
  EXPECT_EQ(variant("bits.ape", [](auto& f) { f[52 + 16] = 32; }), MACDll::ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH);
  EXPECT_EQ(variant("channels.ape", [](auto& f) { f[52 + 18] = 3; }), MACDll::ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT);
  EXPECT_EQ(variant("rate.ape", [](auto& f) { std::memset(f.data() + 52 + 20, 0, 4); }),
            MACDll::ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE);
  // More frames than the seek table and the file can hold.
  EXPECT_EQ(variant("frames.ape", [](auto& f) { f[52 + 12] = 0xFF, f[52 + 13] = 0xFF; }), MACDll::ERROR_INVALID_INPUT_FILE);
  EXPECT_EQ(variant("final.ape", [](auto& f) { std::memset(f.data() + 52 + 8, 0xFF, 4); }), MACDll::ERROR_INVALID_INPUT_FILE);
  EXPECT_EQ(variant("seek.ape", [](auto& f) { std::memset(f.data() + 76, 0xFF, 4); }), MACDll::ERROR_INVALID_INPUT_FILE);
  EXPECT_EQ(variant("desc.ape", [](auto& f) { f[8] = 10; }), MACDll::ERROR_INVALID_INPUT_FILE);
  // A leading ID3v2 tag is skipped.
  EXPECT_EQ(variant("id3.ape",
                    [](auto& f) {
                      const uint8_t tag[20] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10};
                      f.insert(f.begin(), tag, tag + 20);
                    }),
            0);
  const Decoded tagged = DecodeAll(dir.Path("id3.ape"));
  EXPECT_EQ(tagged.DataError, 0);
  EXPECT_TRUE(tagged.Pcm == ReadFile(raw));
  EXPECT_EQ(Lib().DecompressCreateW(nullptr, nullptr), nullptr);
}

TEST(MACDecodeTest, ADamagedFrameGivesAnErrorAndNoneOfItsSamples) {
  RequireTools({"sox"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, "src.raw", 16, 2, 8000, 80.0);  // 3 frames
  const std::string ape = dir.Path("good.ape");
  ASSERT_EQ(Encode(raw, ape, 16, 2, 8000, 2000), 0);
  const std::vector<uint8_t> source = ReadFile(raw);
  std::vector<uint8_t> f = ReadFile(ape);
  const size_t second = Le32(f, 80), third = Le32(f, 84);
  f[(second + third) / 2] ^= 0x5A;
  const std::string bad = dir.Path("bad.ape");
  WriteFile(bad, f);
  const Decoded d = DecodeAll(bad, 0, 5000);
  EXPECT_EQ(d.CreateError, 0);
  EXPECT_EQ(d.DataError, MACDll::ERROR_DECOMPRESSING_FRAME);
  EXPECT_TRUE(d.Pcm == Slice(source, 0, 294912 * 4));  // the first frame, and nothing after
  int32_t percent = -1;
  EXPECT_EQ(Lib().VerifyFile(bad.c_str(), &percent, nullptr, nullptr, 0), MACDll::ERROR_DECOMPRESSING_FRAME);

  // A file cut in its last frame ends with an error, not with silence or less data.
  std::vector<uint8_t> cut = ReadFile(ape);
  cut.resize(third + 100);
  const std::string shortFile = dir.Path("cut.ape");
  WriteFile(shortFile, cut);
  const Decoded c = DecodeAll(shortFile, 0, 5000);
  EXPECT_EQ(c.CreateError, 0);
  EXPECT_NE(c.DataError, 0);
  EXPECT_TRUE(c.Pcm == Slice(source, 0, 2 * 294912 * 4));
}

TEST(MACDecodeTest, VerifyFileDecodesEverythingAndReportsProgress) {
  RequireTools({"sox"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, "src.raw", 8, 2, 8000, 45.0);
  const std::string ape = dir.Path("verify.ape");
  ASSERT_EQ(Encode(raw, ape, 8, 2, 8000, 4000), 0);
  static int calls;
  static int last;
  calls = 0;
  last = -1;
  auto callback = [](int32_t Percent) {
    ++calls;
    last = Percent;
  };
  int32_t percent = -1;
  EXPECT_EQ(Lib().VerifyFile(ape.c_str(), &percent, callback, nullptr, 1), 0);
  EXPECT_EQ(percent, 100);
  EXPECT_EQ(last, 100);
  EXPECT_GT(calls, 1);
  int32_t kill = 1;
  EXPECT_EQ(Lib().VerifyFile(ape.c_str(), nullptr, nullptr, &kill, 0), MACDll::ERROR_USER_STOPPED_PROCESSING);
  EXPECT_EQ(Lib().VerifyFile(dir.Path("none.ape").c_str(), nullptr, nullptr, nullptr, 0), MACDll::ERROR_INVALID_INPUT_FILE);
}

TEST(MACDecodeTest, AFileWithoutAudioReadsAsEmpty) {
  const Api& L = Lib();
  TempDir dir;
  const std::string ape = dir.Path("silence.ape");
  int32_t error = -1;
  APE_COMPRESS_HANDLE h = L.CompressCreate(&error);
  MACDll::WAVEFORMATEX fmt{};
  ASSERT_EQ(L.FillWaveFormatEx(&fmt, 44100, 16, 2), 0);
  ASSERT_EQ(L.CompressStart(h, ape.c_str(), &fmt, -1, 2000, nullptr, 0), 0);
  ASSERT_EQ(L.CompressFinish(h, nullptr, 0, 0), 0);
  L.CompressDestroy(h);
  const std::vector<uint8_t> f = ReadFile(ape);
  EXPECT_EQ(f.size(), 76u);
  EXPECT_EQ(Le32(f, 52 + 12), 0u);
  const Decoded d = DecodeAll(ape);
  EXPECT_EQ(d.CreateError, 0);
  EXPECT_EQ(d.DataError, 0);
  EXPECT_TRUE(d.Pcm.empty());
}
