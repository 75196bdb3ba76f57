// Our encoder checked against an independent decoder: every level, width and channel
// count must come back bit-exact from ffmpeg with each frame's CRC verified.

#include "MACTestSupport.h"

using namespace MACTests;

namespace {

struct Format {
  int Bits, Channels, Rate;
  double Seconds;
  bool Loud;
};

std::string Describe(const Format& F, int Level) {
  return std::to_string(F.Bits) + " bits, " + std::to_string(F.Channels) + " ch, " + std::to_string(F.Rate) +
         " Hz" + (F.Loud ? ", full-scale noise" : "") + ", level " + std::to_string(Level);
}

}  // namespace

TEST(MACEncodeTest, EveryLevelAndWidthDecodesBitExactWithFfmpeg) {
  RequireTools({"sox", "ffmpeg", "md5sum"});
  Lib();
  TempDir dir;
  // Two of them span more than one frame (294912 blocks), so frames start inside a
  // 32-bit word; full-scale 24-bit noise overflows 32-bit predictor sums.
  const Format formats[] = {
      {8, 1, 8000, 1.3, false},   {8, 2, 22050, 1.3, false},  {16, 1, 44100, 1.3, false},
      {16, 2, 8000, 40.0, false}, {24, 1, 48000, 1.3, false}, {24, 2, 8000, 38.0, false},
      {24, 2, 48000, 1.0, true},  {24, 1, 48000, 1.0, true},  {16, 2, 44100, 1.0, true},
  };
  for (const Format& f : formats) {
    const std::string raw = MakeRaw(dir, "src.raw", f.Bits, f.Channels, f.Rate, f.Seconds, f.Loud);
    const std::string expected = Md5OfFile(raw);
    ASSERT_EQ(expected.size(), 32u);
    for (int level = 1000; level <= 5000; level += 1000) {
      SCOPED_TRACE(Describe(f, level));
      const std::string ape = dir.Path("out.ape");
      ASSERT_EQ(Encode(raw, ape, f.Bits, f.Channels, f.Rate, level), 0);
      std::string log;
      EXPECT_EQ(FfmpegPcmMd5(ape, f.Bits, &log), expected) << log;
    }
  }
}

TEST(MACEncodeTest, FfmpegsCrcCheckCatchesADamagedChecksum) {
  // The interoperability test relies on ffmpeg checking our CRCs; a wrong one must show.
  RequireTools({"sox", "ffmpeg", "md5sum"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, "src.raw", 16, 2, 44100, 0.5);
  const std::string ape = dir.Path("crc.ape");
  ASSERT_EQ(Encode(raw, ape, 16, 2, 44100, 2000), 0);
  ASSERT_NE(FfmpegPcmMd5(ape, 16), "");
  std::vector<uint8_t> file = ReadFile(ape);
  const size_t first = Le32(file, 52 + 24);  // the first seek table entry
  file[first] ^= 0x01;  // the lowest bit of the stored CRC (words are stored byte-swapped)
  WriteFile(ape, file);
  std::string log;
  EXPECT_EQ(FfmpegPcmMd5(ape, 16, &log), "");
  EXPECT_NE(log.find("CRC"), std::string::npos) << log;
}

TEST(MACEncodeTest, HeadDescribesTheFileExactly) {
  RequireTools({"sox", "ffprobe", "md5sum", "dd"});
  TempDir dir;
  const int rate = 8000;
  const std::string raw = MakeRaw(dir, "src.raw", 16, 2, rate, 80.0);  // 640000 blocks: 3 frames
  const std::string ape = dir.Path("head.ape");
  ASSERT_EQ(Encode(raw, ape, 16, 2, rate, 3000), 0);
  const std::vector<uint8_t> f = ReadFile(ape);
  ASSERT_GT(f.size(), 76u);
  EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "MAC ");
  EXPECT_EQ(Le16(f, 4), 3990);
  EXPECT_EQ(Le32(f, 8), 52u);          // descriptor
  EXPECT_EQ(Le32(f, 12), 24u);         // header
  EXPECT_EQ(Le32(f, 16), 3u * 4);      // one seek entry per frame
  EXPECT_EQ(Le32(f, 20), 0u);          // no stored WAV header...
  EXPECT_EQ(Le16(f, 52 + 2) & 32, 32); // ...so the decoder makes one
  EXPECT_EQ(Le16(f, 52), 3000);
  EXPECT_EQ(Le32(f, 52 + 4), 294912u);
  EXPECT_EQ(Le32(f, 52 + 8), 640000u - 2 * 294912u);
  EXPECT_EQ(Le32(f, 52 + 12), 3u);
  EXPECT_EQ(Le16(f, 52 + 16), 16);
  EXPECT_EQ(Le16(f, 52 + 18), 2);
  EXPECT_EQ(Le32(f, 52 + 20), static_cast<uint32_t>(rate));
  const uint32_t first = 76 + 12;
  EXPECT_EQ(Le32(f, 76), first);
  EXPECT_LT(Le32(f, 80), Le32(f, 84));
  EXPECT_EQ(uint64_t{Le32(f, 24)} + first, f.size());  // frame data up to the end

  // The MD5 covers the frame data and then the header, as md5sum sees them.
  const std::string cmd = "{ dd if=" + Quote(ape) + " bs=1 skip=" + std::to_string(first) + " status=none; dd if=" +
                          Quote(ape) + " bs=1 skip=52 count=24 status=none; } | md5sum";
  std::string out;
  ASSERT_TRUE(RunOk(cmd, &out)) << out;
  std::string stored;
  char hex[3];
  for (size_t i = 36; i < 52; ++i) {
    std::snprintf(hex, sizeof hex, "%02x", f[i]);
    stored += hex;
  }
  EXPECT_EQ(stored, out.substr(0, 32));

  EXPECT_EQ(Probe(ape, "stream=codec_name"), "ape");
  EXPECT_EQ(Probe(ape, "stream=sample_rate"), std::to_string(rate));
  EXPECT_EQ(Probe(ape, "stream=channels"), "2");
  EXPECT_EQ(Probe(ape, "stream=duration_ts"), "640000");
}

TEST(MACEncodeTest, TheExpectedSizeChangesNothingInTheFile) {
  // Whatever size the caller announced, the seek table ends up exact and the files
  // are the same, byte for byte.
  RequireTools({"sox", "ffmpeg", "md5sum"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, "src.raw", 16, 1, 8000, 75.0);  // 2 frames and a bit
  const int64_t bytes = static_cast<int64_t>(ReadFile(raw).size());
  const std::string reference = dir.Path("unknown.ape");
  ASSERT_EQ(Encode(raw, reference, 16, 1, 8000, 2000, -1), 0);
  const std::vector<uint8_t> expected = ReadFile(reference);
  EXPECT_EQ(FfmpegPcmMd5(reference, 16), Md5OfFile(raw));
  for (int64_t announced : {bytes, bytes / 3, bytes * 5, int64_t{0}, int64_t{1}}) {
    SCOPED_TRACE("announced " + std::to_string(announced));
    const std::string ape = dir.Path("announced.ape");
    ASSERT_EQ(Encode(raw, ape, 16, 1, 8000, 2000, static_cast<int32_t>(announced)), 0);
    EXPECT_TRUE(ReadFile(ape) == expected);
  }
  // Handing the data over through the locked buffer gives the same file too.
  const std::string locked = dir.Path("locked.ape");
  ASSERT_EQ(Encode(raw, locked, 16, 1, 8000, 2000, -1, 65537, true), 0);
  EXPECT_TRUE(ReadFile(locked) == expected);
}

TEST(MACEncodeTest, LevelTwoThousandBeatsFlacOnMusicLikeMaterial) {
  RequireTools({"sox", "flac"});
  TempDir dir;
  const std::string raw = dir.Path("music.raw");
  std::string log;
  ASSERT_TRUE(RunOk("sox -D -n -r 44100 -b 16 -c 2 -e signed-integer -t raw " + Quote(raw) +
                        " synth 8 sine 220-233 sine 277 sine 330 pinknoise sine 110 brownnoise "
                        "remix 1v0.3,2v0.25,4v0.15,5v0.3 3v0.3,2v0.2,6v0.2,5v0.3 tremolo 4 35 reverb 40 norm -1",
                    &log))
      << log;
  const std::string ape = dir.Path("music.ape");
  ASSERT_EQ(Encode(raw, ape, 16, 2, 44100, 2000), 0);
  const std::string flac = dir.Path("music.flac");
  ASSERT_TRUE(RunOk("flac -8 -s -f --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 "
                    "--sample-rate=44100 -o " + Quote(flac) + " " + Quote(raw), &log))
      << log;
  EXPECT_LT(ReadFile(ape).size(), ReadFile(flac).size());
}

TEST(MACEncodeTest, StartRefusesWhatTheFormatCannotHoldAndCreatesNoFile) {
  const Api& L = Lib();
  TempDir dir;
  const std::string ape = dir.Path("refused.ape");
  struct Case {
    int Bits, Channels, Rate, Level;
    int32_t Expected;
  } cases[] = {
      {32, 2, 44100, 2000, MACDll::ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH},
      {12, 2, 44100, 2000, MACDll::ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH},
      {16, 3, 44100, 2000, MACDll::ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT},
      {16, 2, 44100, 2500, MACDll::ERROR_BAD_PARAMETER},
      {16, 2, 44100, 6000, MACDll::ERROR_BAD_PARAMETER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Bits) + " bits " + std::to_string(c.Channels) + " ch level " + std::to_string(c.Level));
    int32_t error = -1;
    APE_COMPRESS_HANDLE h = L.CompressCreate(&error);
    ASSERT_NE(h, nullptr);
    MACDll::WAVEFORMATEX fmt{};
    fmt.wFormatTag = 1;
    fmt.nChannels = static_cast<uint16_t>(c.Channels);
    fmt.nSamplesPerSec = static_cast<uint32_t>(c.Rate);
    fmt.wBitsPerSample = static_cast<uint16_t>(c.Bits);
    fmt.nBlockAlign = static_cast<uint16_t>(c.Channels * c.Bits / 8);
    EXPECT_EQ(L.CompressStart(h, ape.c_str(), &fmt, -1, c.Level, nullptr, 0), c.Expected);
    EXPECT_FALSE(FileExists(ape));
    int32_t available = 5;
    EXPECT_EQ(L.CompressLockBuffer(h, &available), nullptr);
    EXPECT_EQ(available, 0);
    L.CompressDestroy(h);
  }
  // A folder that does not exist.
  int32_t error = -1;
  APE_COMPRESS_HANDLE h = L.CompressCreate(&error);
  MACDll::WAVEFORMATEX fmt{};
  ASSERT_EQ(L.FillWaveFormatEx(&fmt, 44100, 16, 2), 0);
  EXPECT_EQ(L.CompressStart(h, dir.Path("no/such/folder.ape").c_str(), &fmt, -1, 2000, nullptr, 0),
            MACDll::ERROR_INVALID_OUTPUT_FILE);
  L.CompressDestroy(h);
}

TEST(MACEncodeTest, AnUnfinishedOrKilledOutputLeavesNoFile) {
  const Api& L = Lib();
  TempDir dir;
  std::vector<uint8_t> pcm(400000);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i * 7);
  MACDll::WAVEFORMATEX fmt{};
  ASSERT_EQ(L.FillWaveFormatEx(&fmt, 44100, 16, 2), 0);
  for (bool kill : {false, true}) {
    SCOPED_TRACE(kill ? "killed" : "destroyed");
    const std::string ape = dir.Path("gone.ape");
    int32_t error = -1;
    APE_COMPRESS_HANDLE h = L.CompressCreate(&error);
    ASSERT_EQ(L.CompressStart(h, ape.c_str(), &fmt, -1, 2000, nullptr, 0), 0);
    ASSERT_EQ(L.CompressAddData(h, pcm.data(), static_cast<int32_t>(pcm.size())), 0);
    EXPECT_TRUE(FileExists(ape));
    if (kill) {
      EXPECT_EQ(L.CompressKill(h), 0);
    }
    L.CompressDestroy(h);
    EXPECT_FALSE(FileExists(ape));
  }
}

TEST(MACEncodeTest, BufferHandOverChecksItsArguments) {
  const Api& L = Lib();
  TempDir dir;
  const std::string ape = dir.Path("args.ape");
  int32_t error = -1;
  APE_COMPRESS_HANDLE h = L.CompressCreate(&error);
  ASSERT_EQ(error, 0);
  EXPECT_EQ(L.CompressGetBufferBytesAvailable(h), 0);  // not started
  EXPECT_NE(L.CompressAddData(h, nullptr, 0), 0);
  MACDll::WAVEFORMATEX fmt{};
  ASSERT_EQ(L.FillWaveFormatEx(&fmt, 44100, 24, 2), 0);
  ASSERT_EQ(L.CompressStart(h, ape.c_str(), &fmt, -1, 1000, nullptr, 0), 0);
  EXPECT_EQ(L.CompressStart(h, ape.c_str(), &fmt, -1, 1000, nullptr, 0), MACDll::ERROR_INVALID_FUNCTION_PARAMETER);
  int32_t available = 0;
  ASSERT_NE(L.CompressLockBuffer(h, &available), nullptr);
  EXPECT_EQ(available, 294912 * 6);  // room for one frame
  EXPECT_EQ(L.CompressGetBufferBytesAvailable(h), available);
  EXPECT_EQ(L.CompressUnlockBuffer(h, available + 1, 1), MACDll::ERROR_INVALID_FUNCTION_PARAMETER);
  EXPECT_EQ(L.CompressUnlockBuffer(h, -1, 1), MACDll::ERROR_INVALID_FUNCTION_PARAMETER);
  EXPECT_EQ(L.CompressAddData(h, nullptr, 6), MACDll::ERROR_INVALID_FUNCTION_PARAMETER);
  // 7 bytes: one block and a piece of one, which cannot be coded and is dropped.
  uint8_t seven[7] = {1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(L.CompressAddData(h, seven, 7), 0);
  EXPECT_EQ(L.CompressFinish(h, nullptr, 0, 0), 0);
  EXPECT_EQ(L.CompressFinish(h, nullptr, 0, 0), MACDll::ERROR_INVALID_FUNCTION_PARAMETER);
  L.CompressDestroy(h);
  EXPECT_TRUE(FileExists(ape));  // finished files stay
  const Decoded d = DecodeAll(ape);
  ASSERT_EQ(d.CreateError, 0);
  EXPECT_EQ(d.DataError, 0);
  EXPECT_TRUE(d.Pcm == std::vector<uint8_t>(seven, seven + 6));
}

TEST(MACEncodeTest, StoredWavHeaderAndTerminatingDataAreKeptAndCounted) {
  RequireTools({"sox", "ffmpeg", "md5sum"});
  const Api& L = Lib();
  TempDir dir;
  const std::string raw = MakeRaw(dir, "src.raw", 16, 2, 44100, 0.7);
  const std::vector<uint8_t> pcm = ReadFile(raw);
  MACDll::WAVEFORMATEX fmt{};
  ASSERT_EQ(L.FillWaveFormatEx(&fmt, 44100, 16, 2), 0);
  MACDll::WAVE_HEADER wav{};
  ASSERT_EQ(L.FillWaveHeader(&wav, static_cast<int32_t>(pcm.size()), &fmt, 5), 0);
  const std::string ape = dir.Path("stored.ape");
  int32_t error = -1;
  APE_COMPRESS_HANDLE h = L.CompressCreate(&error);
  ASSERT_EQ(L.CompressStart(h, ape.c_str(), &fmt, static_cast<int32_t>(pcm.size()), 4000, &wav, sizeof wav), 0);
  ASSERT_EQ(L.CompressAddData(h, const_cast<uint8_t*>(pcm.data()), static_cast<int32_t>(pcm.size())), 0);
  uint8_t tail[5] = {'t', 'a', 'i', 'l', '!'};
  ASSERT_EQ(L.CompressFinish(h, tail, 5, 5), 0);
  L.CompressDestroy(h);
  const std::vector<uint8_t> f = ReadFile(ape);
  EXPECT_EQ(Le32(f, 20), 44u);  // WAV header bytes
  EXPECT_EQ(Le32(f, 32), 5u);   // terminating bytes
  EXPECT_EQ(Le16(f, 52 + 2) & 32, 0);
  EXPECT_EQ(std::string(f.end() - 5, f.end()), "tail!");
  const size_t headerAt = 76 + Le32(f, 16);
  EXPECT_EQ(std::string(f.begin() + static_cast<std::ptrdiff_t>(headerAt), f.begin() + static_cast<std::ptrdiff_t>(headerAt) + 4), "RIFF");
  EXPECT_EQ(FfmpegPcmMd5(ape, 16), Md5OfFile(raw));
}
