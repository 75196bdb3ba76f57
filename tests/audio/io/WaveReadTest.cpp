// Reading WAV files made by sox and ffmpeg, compared with ffmpeg's own decode;
// the RIFF scan's rules on chunk layout; seeking.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <thread>

#include "tests/support/TestComponents.h"
#include "tests/audio/io/WaveTestUtil.h"

using namespace testsupport;
using namespace wavetest;

namespace {

// A 16-bit source with different content per channel.
std::string Source(const std::string& Name, int Rate, int Channels, double Seconds = 0.6) {
  const std::string path = TempPath(Name);
  std::string synth = "synth " + std::to_string(Seconds);
  for (int c = 0; c < Channels; ++c) synth += " sine " + std::to_string(300 + 170 * c) + "-" + std::to_string(2500 + 300 * c);
  Shell("sox -n -r " + std::to_string(Rate) + " -c " + std::to_string(Channels) + " -b 16 '" + path + "' " + synth +
      " vol 0.7");
  return path;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& V, size_t From, size_t Count) {
  return std::vector<uint8_t>(V.begin() + From, V.begin() + std::min(V.size(), From + Count));
}

}  // namespace

TEST(WaveReadTest, PcmOfEveryWidthMatchesFfmpegExactly) {
  struct Case {
    int Bits;
    const char* Tool;  // the command that makes the file from src
    const char* Raw;
    TWavType Type;
  };
  const Case cases[] = {
      {8, "sox SRC -b 8 -e unsigned OUT", "u8", wtPCM},
      {16, "sox SRC -b 16 OUT", "s16le", wtPCM},
      {24, "sox SRC -b 24 -t wavpcm OUT", "s24le", wtPCM},
      {24, "ffmpeg -nostdin -v error -y -i SRC -c:a pcm_s24le OUT", "s24le", wtExtPCM},
      {32, "sox SRC -b 32 -t wavpcm OUT", "s32le", wtPCM},
      {32, "sox SRC -b 32 OUT", "s32le", wtExtPCM},
  };
  const std::string src = Source("pcm-src.wav", 44100, 2);
  int i = 0;
  for (const Case& c : cases) {
    const std::string out = TempPath("pcm" + std::to_string(i++) + ".wav");
    std::string cmd = c.Tool;
    cmd.replace(cmd.find("SRC"), 3, "'" + src + "'");
    cmd.replace(cmd.find("OUT"), 3, "'" + out + "'");
    Shell(cmd);
    const TWaveRead r = ReadWave(out, 1000);
    ASSERT_TRUE(r.Valid) << cmd;
    EXPECT_EQ(r.WavType, c.Type) << cmd;
    EXPECT_EQ(r.Bits, c.Bits);
    EXPECT_EQ(r.Channels, 2);
    EXPECT_EQ(r.Rate, 44100);
    const auto ref = FfmpegDecode(out, c.Raw);
    EXPECT_EQ(r.Size, static_cast<int64_t>(ref.size()));
    EXPECT_TRUE(r.Data == ref) << cmd;
  }
}

TEST(WaveReadTest, SixChannelExtensibleMatchesFfmpeg) {
  const std::string src = Source("six-src.wav", 48000, 6, 0.3);
  const std::string out = TempPath("six24.wav");
  Shell("ffmpeg -nostdin -v error -y -i '" + src + "' -c:a pcm_s24le '" + out + "'");
  const TWaveRead r = ReadWave(out);
  ASSERT_TRUE(r.Valid);
  EXPECT_EQ(r.WavType, wtExtPCM);
  EXPECT_EQ(r.Channels, 6);
  EXPECT_EQ(r.Bits, 24);
  EXPECT_TRUE(r.Data == FfmpegDecode(out, "s24le"));
}

TEST(WaveReadTest, FloatIsDeliveredAs32BitIntegers) {
  const std::string src = Source("float-src.wav", 44100, 2);
  struct Case {
    const char* Tool;
    TWavType Type;
    int StoredBits;
  };
  const Case cases[] = {
      {"sox SRC -e floating-point -b 32 OUT", wtIEEEFloat, 32},
      {"sox SRC -e floating-point -b 64 OUT", wtIEEEFloat, 64},
      {"ffmpeg -nostdin -v error -y -i SRC -c:a pcm_f32le OUT", wtExtIEEEFloat, 32},
      {"ffmpeg -nostdin -v error -y -i SRC -c:a pcm_f64le OUT", wtExtIEEEFloat, 64},
  };
  int i = 0;
  for (const Case& c : cases) {
    const std::string out = TempPath("float" + std::to_string(i++) + ".wav");
    std::string cmd = c.Tool;
    cmd.replace(cmd.find("SRC"), 3, "'" + src + "'");
    cmd.replace(cmd.find("OUT"), 3, "'" + out + "'");
    Shell(cmd);
    const TWaveRead r = ReadWave(out);
    ASSERT_TRUE(r.Valid) << cmd;
    EXPECT_EQ(r.WavType, c.Type);
    EXPECT_EQ(r.Bits, 32);
    const auto file = ReadFile(out);
    const int64_t dataSize = Le32(file, static_cast<size_t>(FindChunk(file, "data")) + 4);
    // A 64-bit file delivers half its data size, a 32-bit one all of it.
    EXPECT_EQ(r.Size, c.StoredBits == 64 ? dataSize / 2 : dataSize) << cmd;
    const auto ref = FfmpegDecode(out, "s32le");
    ASSERT_EQ(r.Data.size(), ref.size()) << cmd;
    int64_t worst = 0;
    for (size_t k = 0; k + 4 <= ref.size(); k += 4) {
      int32_t a, b;
      std::memcpy(&a, &r.Data[k], 4);
      std::memcpy(&b, &ref[k], 4);
      worst = std::max<int64_t>(worst, std::llabs(static_cast<int64_t>(a) - b));
    }
    // Float to integer: floor against ffmpeg's rounding, 2^31 - 1 against 2^31.
    EXPECT_LE(worst, 2) << cmd;
  }
}

TEST(WaveReadTest, AdpcmMatchesFfmpegDecode) {
  struct Case {
    const char* Tool;
    TWavType Type;
    int Channels;
  };
  const Case cases[] = {
      {"ffmpeg -nostdin -v error -y -i SRC -c:a adpcm_ima_wav OUT", wtDVIADPCM, 1},
      {"ffmpeg -nostdin -v error -y -i SRC -c:a adpcm_ima_wav OUT", wtDVIADPCM, 2},
      {"sox SRC -e ima-adpcm OUT", wtDVIADPCM, 1},
      {"sox SRC -e ima-adpcm OUT", wtDVIADPCM, 2},
      {"ffmpeg -nostdin -v error -y -i SRC -c:a adpcm_ms OUT", wtMSADPCM, 1},
      {"ffmpeg -nostdin -v error -y -i SRC -c:a adpcm_ms OUT", wtMSADPCM, 2},
      {"sox SRC -e ms-adpcm OUT", wtMSADPCM, 1},
      {"sox SRC -e ms-adpcm OUT", wtMSADPCM, 2},
  };
  int i = 0;
  for (const Case& c : cases) {
    const std::string src = Source("adpcm-src" + std::to_string(c.Channels) + ".wav", 22050, c.Channels);
    const auto original = AsInt16(FfmpegDecode(src, "s16le"));
    const std::string out = TempPath("adpcm" + std::to_string(i++) + ".wav");
    std::string cmd = c.Tool;
    cmd.replace(cmd.find("SRC"), 3, "'" + src + "'");
    cmd.replace(cmd.find("OUT"), 3, "'" + out + "'");
    Shell(cmd);
    const TWaveRead r = ReadWave(out, 3000);
    ASSERT_TRUE(r.Valid) << cmd;
    EXPECT_EQ(r.WavType, c.Type);
    EXPECT_EQ(r.Bits, 16);
    EXPECT_EQ(r.Channels, c.Channels);
    EXPECT_EQ(r.Rate, 22050);
    const auto file = ReadFile(out);
    const uint32_t fact = Le32(file, static_cast<size_t>(FindChunk(file, "fact")) + 8);
    EXPECT_EQ(r.Size, int64_t{fact} * 2 * c.Channels) << cmd;
    EXPECT_EQ(static_cast<int64_t>(r.Data.size()), r.Size) << cmd;
    const auto ours = AsInt16(r.Data);
    const auto theirs = AsInt16(FfmpegDecode(out, "s16le"));
    if (c.Type == wtMSADPCM) {
      // The same arithmetic: within one step of the last bit.
      ASSERT_GE(theirs.size(), ours.size());
      int worst = 0;
      for (size_t k = 0; k < ours.size(); ++k) worst = std::max(worst, std::abs(ours[k] - theirs[k]));
      EXPECT_LE(worst, 1) << cmd;
    } else {
      // ffmpeg computes IMA differences by one multiplication instead of the
      // reference's three shifted terms; the outputs stay close.
      EXPECT_GT(Snr(theirs, ours), 50.0) << cmd;
    }
    EXPECT_GT(Snr(original, ours), Snr(original, theirs) - 1.0) << cmd;
  }
}

TEST(WaveReadTest, CompressedPayloadsDecodeThroughTheCompressionLayer) {
  struct Case {
    const char* Tool;
    int Rate;
    bool Exact;  // the same decoder as ffmpeg's, sample for sample
  };
  const Case cases[] = {
      {"ffmpeg -nostdin -v error -y -i SRC -c:a pcm_alaw OUT", 8000, true},
      {"ffmpeg -nostdin -v error -y -i SRC -c:a pcm_mulaw OUT", 8000, true},
      {"sox SRC -e a-law OUT", 8000, true},
      {"sox SRC -e u-law OUT", 8000, true},
      {"sox SRC -e gsm-full-rate OUT", 8000, false},
      {"ffmpeg -nostdin -v error -y -i SRC -c:a libgsm_ms OUT", 8000, false},
      {"ffmpeg -nostdin -v error -y -i SRC -c:a libmp3lame -b:a 128k -f wav OUT", 44100, false},
      {"ffmpeg -nostdin -v error -y -i SRC -c:a mp2 -b:a 192k -f wav OUT", 44100, false},
  };
  int i = 0;
  for (const Case& c : cases) {
    const std::string src = Source("acm-src" + std::to_string(c.Rate) + ".wav", c.Rate, 1, 1.0);
    const std::string out = TempPath("acm" + std::to_string(i++) + ".wav");
    std::string cmd = c.Tool;
    cmd.replace(cmd.find("SRC"), 3, "'" + src + "'");
    cmd.replace(cmd.find("OUT"), 3, "'" + out + "'");
    Shell(cmd);
    const TWaveRead r = ReadWave(out);
    ASSERT_TRUE(r.Valid) << cmd;
    EXPECT_EQ(r.WavType, wtACM);
    EXPECT_EQ(r.Bits, 16);
    EXPECT_EQ(r.Channels, 1);
    EXPECT_EQ(r.Rate, c.Rate);
    EXPECT_EQ(static_cast<int64_t>(r.Data.size()), r.Size);
    const auto ours = AsInt16(r.Data);
    const auto theirs = AsInt16(FfmpegDecode(out, "s16le"));
    if (c.Exact) {
      EXPECT_TRUE(ours == theirs) << cmd;
    } else {
      // Lossy payloads: the same audio, at most a frame's length apart at the end.
      EXPECT_LE(std::abs(static_cast<long>(ours.size()) - static_cast<long>(theirs.size())), 1152) << cmd;
      EXPECT_GT(Correlation(ours, theirs), 0.99) << cmd;
    }
    if (c.Exact) {
      EXPECT_GT(Correlation(AsInt16(FfmpegDecode(src, "s16le")), ours), 0.999) << cmd;
    }
  }
}

TEST(WaveReadTest, ChunksAroundFormatAndDataAreSkipped) {
  const std::string src = Source("chunks-src.wav", 44100, 2, 0.05);
  const auto wav = ReadFile(src);
  ASSERT_EQ(FindChunk(wav, "fmt "), 12);
  ASSERT_EQ(FindChunk(wav, "data"), 36);
  const std::vector<uint8_t> fmt = Slice(wav, 12, 24);
  const std::vector<uint8_t> data = Slice(wav, 36, wav.size() - 36);
  const std::vector<uint8_t> payload = Slice(wav, 44, wav.size() - 44);
  // An odd-sized chunk with its pad byte.
  const std::vector<uint8_t> list = FromHex("4c495354 05000000 494e464f 41 00");
  auto build = [](std::initializer_list<std::vector<uint8_t>> Parts) {
    std::vector<uint8_t> w = FromHex("52494646 00000000 57415645");
    for (const auto& p : Parts) w.insert(w.end(), p.begin(), p.end());
    SetLe32(w, 4, static_cast<uint32_t>(w.size() - 8));
    return w;
  };
  const std::vector<std::vector<uint8_t>> files = {
      build({list, fmt, data}),
      build({fmt, list, data}),
      build({list, fmt, list, list, data}),
  };
  for (size_t k = 0; k < files.size(); ++k) {
    TMemoryStream s;
    s.Write(files[k].data(), static_cast<int64_t>(files[k].size()));
    s.Seek(0, soBeginning);
    const TWaveRead r = ReadWave(s);
    ASSERT_TRUE(r.Valid) << k;
    EXPECT_EQ(r.WavType, wtPCM);
    EXPECT_TRUE(r.Data == payload) << k;
  }

  // Identifiers in lower case are the same identifiers.
  std::vector<uint8_t> lower = wav;
  std::memcpy(&lower[0], "riff", 4);
  std::memcpy(&lower[8], "wave", 4);
  std::memcpy(&lower[12], "FMT ", 4);
  std::memcpy(&lower[36], "dAtA", 4);
  TMemoryStream ls;
  ls.Write(lower.data(), static_cast<int64_t>(lower.size()));
  ls.Seek(0, soBeginning);
  const TWaveRead lr = ReadWave(ls);
  ASSERT_TRUE(lr.Valid);
  EXPECT_TRUE(lr.Data == payload);

  // "data" must begin within the first 8192 bytes.
  auto withJunk = [&](uint32_t JunkBytes) {
    std::vector<uint8_t> junk = FromHex("4a554e4b 00000000");
    SetLe32(junk, 4, JunkBytes);
    junk.resize(8 + JunkBytes, 0);
    return build({fmt, junk, data});
  };
  // 12 + 24 + 8 + junk + 8 header bytes of "data".
  for (uint32_t junkBytes : {8192u - 52u, 8192u - 50u, 9000u}) {
    const auto f = withJunk(junkBytes);
    TMemoryStream s;
    s.Write(f.data(), static_cast<int64_t>(f.size()));
    s.Seek(0, soBeginning);
    const TWaveRead r = ReadWave(s);
    EXPECT_EQ(r.Valid, junkBytes == 8192u - 52u) << junkBytes;
    if (!r.Valid) {
      EXPECT_EQ(r.WavType, wtUnsupported);
    }
  }
}

TEST(WaveReadTest, DataRunningPastTheFileIsDamageUnlessItsSizeMeansToTheEnd) {
  const std::string src = Source("bound-src.wav", 44100, 2, 0.05);
  const std::vector<uint8_t> original = ReadFile(src);
  const std::vector<uint8_t> payload = Slice(original, 44, original.size() - 44);
  const uint32_t frames = static_cast<uint32_t>(payload.size() / 4);
  auto withDataSize = [&](uint32_t Size, size_t Extra) {
    auto wav = original;
    SetLe32(wav, 40, Size);
    wav.insert(wav.end(), Extra, 7);  // a cut last frame
    TMemoryStream s;
    s.Write(wav.data(), static_cast<int64_t>(wav.size()));
    s.Seek(0, soBeginning);
    return ReadWave(s);
  };
  // Sizes streaming recorders leave, and a header a bit more than the file holds.
  struct TCase {
    const char* What;
    uint32_t Size;
    size_t Extra;
  };
  for (const TCase c : {TCase{"unknown", 0xFFFFFFFF, 3}, TCase{"none", 0, 3},
                        TCase{"short by less than a frame", static_cast<uint32_t>(payload.size() + 3), 0},
                        TCase{"an odd size without its pad byte", static_cast<uint32_t>(payload.size() + 1), 1}}) {
    SCOPED_TRACE(c.What);
    const TWaveRead r = withDataSize(c.Size, c.Extra);
    ASSERT_TRUE(r.Valid);
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Size, static_cast<int64_t>(payload.size()));
    EXPECT_TRUE(r.Data == payload);
  }

  // A header that announces a frame or more beyond the file: of unknown length, read
  // up to the end of what is there, then the run fails.
  const TWaveRead cut = withDataSize(static_cast<uint32_t>(payload.size() + 400), 0);
  ASSERT_TRUE(cut.Valid);
  EXPECT_EQ(cut.Size, -1);
  EXPECT_EQ(cut.Error, "WAV decoding error after 0:00.05 (sample frame " + std::to_string(frames) +
                           "): the file ends early; its header announces " + std::to_string(frames + 100) +
                           " sample frames.");
  EXPECT_TRUE(cut.Data == payload);

  // A trailing chunk after "data" is not audio.
  auto tagged = ReadFile(src);
  const auto tail = FromHex("4c495354 04000000 494e464f");
  tagged.insert(tagged.end(), tail.begin(), tail.end());
  TMemoryStream t;
  t.Write(tagged.data(), static_cast<int64_t>(tagged.size()));
  t.Seek(0, soBeginning);
  EXPECT_TRUE(ReadWave(t).Data == payload);
}

TEST(WaveReadTest, AdpcmSizesFollowWhatTheDataHolds) {
  const std::string src = Source("cut-src.wav", 22050, 1, 0.5);
  const std::string ima = TempPath("cut-ima.wav");
  Shell("ffmpeg -nostdin -v error -y -i '" + src + "' -c:a adpcm_ima_wav -block_size 512 '" + ima + "'");
  const auto wav = ReadFile(ima);
  const TWaveRead whole = ReadWave(ima);
  ASSERT_TRUE(whole.Valid);
  const size_t dataAt = static_cast<size_t>(FindChunk(wav, "data"));
  const uint32_t dataSize = Le32(wav, dataAt + 4);
  ASSERT_GE(dataSize, 2048u);
  ASSERT_EQ(dataSize % 512, 0u);

  // Cut inside the last block: the fact count promises more than the data holds.
  for (uint32_t keep : {dataSize - 512 + 300, dataSize - 512 + 3, dataSize - 512 + 4}) {
    std::vector<uint8_t> cut(wav.begin(), wav.begin() + dataAt + 8 + keep);
    SetLe32(cut, dataAt + 4, keep);
    SetLe32(cut, 4, static_cast<uint32_t>(cut.size() - 8));
    TMemoryStream s;
    s.Write(cut.data(), static_cast<int64_t>(cut.size()));
    s.Seek(0, soBeginning);
    const TWaveRead r = ReadWave(s);
    ASSERT_TRUE(r.Valid) << keep;
    EXPECT_TRUE(r.Error.empty()) << r.Error;
    const uint32_t rest = keep % 512;
    const int64_t frames = (keep / 512) * 1017 + (rest >= 4 ? 1 + 2 * (rest - 4) : 0);
    EXPECT_EQ(r.Size, frames * 2) << keep;
    ASSERT_EQ(static_cast<int64_t>(r.Data.size()), frames * 2) << keep;
    EXPECT_TRUE(std::equal(r.Data.begin(), r.Data.end(), whole.Data.begin())) << keep;
  }

  // Without "fact" an ADPCM file is not one this reader takes.
  std::vector<uint8_t> nofact = wav;
  const size_t factAt = static_cast<size_t>(FindChunk(wav, "fact"));
  std::memcpy(&nofact[factAt], "xact", 4);
  TMemoryStream n;
  n.Write(nofact.data(), static_cast<int64_t>(nofact.size()));
  n.Seek(0, soBeginning);
  EXPECT_FALSE(ReadWave(n).Valid);
}

TEST(WaveReadTest, SeekingLandsOnFramesOrBlockStarts) {
  const std::string src = Source("seek-src.wav", 22050, 2, 0.5);
  const std::string ima = TempPath("seek-ima.wav");
  const std::string ms = TempPath("seek-ms.wav");
  const std::string flt = TempPath("seek-float.wav");
  const std::string ext = TempPath("seek-ext.wav");
  Shell("sox '" + src + "' -e ima-adpcm '" + ima + "'");
  Shell("sox '" + src + "' -e ms-adpcm '" + ms + "'");
  Shell("sox '" + src + "' -e floating-point -b 32 '" + flt + "'");
  Shell("sox '" + src + "' -b 24 '" + ext + "'");

  // PCM: exactly the frame asked for.
  {
    const auto whole = ReadWave(src).Data;
    TComponentPtr<TWaveIn> in(new TWaveIn(nullptr));
    in->SetFileName(src);
    in->SetStartSample(1234);
    in->Init();
    void* p = nullptr;
    uint32_t n = 400;
    in->ReadData(p, n);
    ASSERT_EQ(n, 400u);
    EXPECT_EQ(std::memcmp(p, &whole[1234 * 4], 400), 0);
    EXPECT_EQ(in->Size(), static_cast<int64_t>(whole.size()) - 1234 * 4);
    in->Flush();
  }
  // ADPCM: the start of the block holding the frame.
  for (const std::string& f : {ima, ms}) {
    const TWaveRead whole = ReadWave(f);
    ASSERT_TRUE(whole.Valid);
    const auto file = ReadFile(f);
    const int spb = Le16(file, static_cast<size_t>(FindChunk(file, "fmt ")) + 8 + 18);
    TComponentPtr<TWaveIn> in(new TWaveIn(nullptr));
    in->SetFileName(f);
    in->Init();
    EXPECT_TRUE(in->Seek(spb + 10));
    EXPECT_EQ(in->Position(), int64_t{spb} * 4);
    void* p = nullptr;
    uint32_t n = 400;
    in->ReadData(p, n);
    ASSERT_EQ(n, 400u);
    EXPECT_EQ(std::memcmp(p, &whole.Data[static_cast<size_t>(spb) * 4], 400), 0) << f;
    in->Flush();
  }
  // Float and extensible inputs cannot seek.
  for (const std::string& f : {flt, ext}) {
    TComponentPtr<TWaveIn> in(new TWaveIn(nullptr));
    in->SetFileName(f);
    in->Init();
    EXPECT_FALSE(in->Seek(100)) << f;
    in->Flush();
  }
}

TEST(WaveReadTest, StreamsThatCannotSeekAreReadInOrder) {
  std::signal(SIGPIPE, SIG_IGN);
  const std::string src = Source("pipe-src.wav", 8000, 1, 0.5);
  const std::string ima = TempPath("pipe-ima.wav");
  Shell("sox '" + src + "' -e ima-adpcm '" + ima + "'");
  for (const std::string& f : {src, ima}) {
    const auto bytes = ReadFile(f);
    const TWaveRead ref = ReadWave(f);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::thread writer([&] {
      size_t done = 0;
      while (done < bytes.size()) {
        const ssize_t n = ::write(fds[1], bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      ::close(fds[1]);
    });
    THandleStream pipe(fds[0]);
    const TWaveRead r = ReadWave(pipe, 777);
    ::close(fds[0]);  // a writer still blocked gets EPIPE
    writer.join();
    ASSERT_TRUE(r.Valid) << f;
    EXPECT_TRUE(r.Data == ref.Data) << f;
  }
}

TEST(WaveReadTest, ReadingAnIdleInputIsAnError) {
  const std::string src = Source("idle-src.wav", 8000, 1, 0.1);
  TComponentPtr<TWaveIn> in(new TWaveIn(nullptr));
  in->SetFileName(src);
  ASSERT_TRUE(in->Valid());
  void* p = nullptr;
  uint32_t n = 100;
  try {
    in->ReadData(p, n);
    ADD_FAILURE() << "no exception";
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "The Stream is not opened");
  }
  // A file that is not there is simply not valid.
  in->SetFileName(TempPath("missing.wav"));
  EXPECT_FALSE(in->Valid());
  EXPECT_EQ(in->WavType(), wtUnsupported);
}
