// Damaged WAV files: truncated, absurd sizes and counts, randomly changed
// headers. They are "not valid" or read within what the file holds; never a
// crash, a hang or a read past a buffer.

#include <gtest/gtest.h>

#include <random>

#include "tests/audio/io/WaveTestUtil.h"

using namespace testsupport;
using namespace wavetest;

namespace {

struct TFixture {
  std::string Name;
  std::vector<uint8_t> Bytes;
};

// Small files of every kind the reader handles, made once.
const std::vector<TFixture>& Fixtures() {
  static const std::vector<TFixture> all = [] {
    const std::string src = TempPath("mal-src.wav");
    Shell("sox -n -r 8000 -c 2 -b 16 '" + src + "' synth 0.3 sine 300-2000 sine 500 vol 0.7");
    const std::vector<std::pair<std::string, std::string>> makers = {
        {"pcm", "sox SRC OUT"},
        {"pcm8", "sox SRC -b 8 -c 1 OUT"},
        {"ext24", "sox SRC -b 24 OUT"},
        {"float64", "sox SRC -e floating-point -b 64 OUT"},
        {"ima", "ffmpeg -nostdin -v error -y -i SRC -c:a adpcm_ima_wav -block_size 256 OUT"},
        {"ima1", "sox SRC -c 1 -e ima-adpcm OUT"},
        {"ms", "sox SRC -e ms-adpcm OUT"},
        {"ms1", "ffmpeg -nostdin -v error -y -i SRC -ac 1 -c:a adpcm_ms OUT"},
        {"alaw", "sox SRC -e a-law OUT"},
        {"gsm", "sox SRC -c 1 -e gsm-full-rate OUT"},
        {"mp3", "ffmpeg -nostdin -v error -y -i SRC -ac 1 -ar 16000 -c:a libmp3lame -f wav OUT"},
    };
    std::vector<TFixture> v;
    for (const auto& [name, tool] : makers) {
      const std::string out = TempPath("mal-" + name + ".wav");
      std::string cmd = tool;
      cmd.replace(cmd.find("SRC"), 3, "'" + src + "'");
      cmd.replace(cmd.find("OUT"), 3, "'" + out + "'");
      Shell(cmd);
      v.push_back({name, ReadFile(out)});
    }
    return v;
  }();
  return all;
}

TWaveRead ReadBytes(const std::vector<uint8_t>& Bytes, uint32_t Request = 4096) {
  TMemoryStream s;
  s.Write(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  s.Seek(0, soBeginning);
  return ReadWave(s, Request);
}

// What any file must satisfy: a valid one delivers whole frames, no more than
// it announced and no more than its bytes can hold.
void CheckBounded(const TWaveRead& R, size_t FileBytes, const std::string& What) {
  if (!R.Valid) {
    EXPECT_EQ(R.WavType, wtUnsupported) << What;
    return;
  }
  ASSERT_GT(R.Channels, 0) << What;
  ASSERT_GT(R.Bits, 0) << What;
  EXPECT_EQ(R.Data.size() % static_cast<size_t>(R.Channels * R.Bits / 8), 0u) << What;
  if (R.Size >= 0) {
    EXPECT_LE(static_cast<int64_t>(R.Data.size()), R.Size) << What;
  }
  // ADPCM expands 4 bits to 16, float64 shrinks, ACM payloads expand more.
  if (R.WavType != wtACM) {
    EXPECT_LE(R.Data.size(), FileBytes * 4 + 8) << What;
  }
}

size_t DataStart(const std::vector<uint8_t>& Wav) { return static_cast<size_t>(FindChunk(Wav, "data")) + 8; }

std::vector<uint8_t> WithLe16(std::vector<uint8_t> W, size_t At, uint16_t V) {
  SetLe16(W, At, V);
  return W;
}

std::vector<uint8_t> WithLe32(std::vector<uint8_t> W, size_t At, uint32_t V) {
  SetLe32(W, At, V);
  return W;
}

const std::vector<uint8_t>& Fixture(const std::string& Name) {
  for (const auto& f : Fixtures())
    if (f.Name == Name) return f.Bytes;
  ADD_FAILURE() << "no fixture " << Name;
  static const std::vector<uint8_t> none;
  return none;
}

}  // namespace

TEST(WaveMalformedTest, TruncatedFilesAreNotValidOrStayWithinTheirBytes) {
  for (const auto& f : Fixtures()) {
    ASSERT_TRUE(ReadBytes(f.Bytes).Valid) << f.Name;
    const size_t start = DataStart(f.Bytes);
    std::vector<size_t> cuts;
    for (size_t n = 0; n <= start + 80 && n < f.Bytes.size(); ++n) cuts.push_back(n);
    for (size_t n = start + 80; n < f.Bytes.size(); n += 97) cuts.push_back(n);
    for (size_t n : cuts) {
      const std::vector<uint8_t> cut(f.Bytes.begin(), f.Bytes.begin() + n);
      const TWaveRead r = ReadBytes(cut, 1000);
      const std::string what = f.Name + " cut at " + std::to_string(n);
      // Without the whole "data" header there is nothing to read.
      if (n < start) {
        EXPECT_FALSE(r.Valid) << what;
      }
      CheckBounded(r, n, what);
    }
  }
}

TEST(WaveMalformedTest, AbsurdFieldsAreRefused) {
  const auto& pcm = Fixture("pcm");
  const auto& ima = Fixture("ima");
  const auto& ms = Fixture("ms");
  const auto& ext = Fixture("ext24");
  const size_t fmt = 20;  // body of "fmt " in files made by sox and ffmpeg
  ASSERT_EQ(FindChunk(pcm, "fmt "), 12);
  ASSERT_EQ(FindChunk(ima, "fmt "), 12);
  ASSERT_EQ(FindChunk(ms, "fmt "), 12);
  ASSERT_EQ(FindChunk(ext, "fmt "), 12);
  const size_t msData = DataStart(ms), imaData = DataStart(ima);

  struct Case {
    const char* What;
    std::vector<uint8_t> Bytes;
  };
  const Case invalid[] = {
      {"fmt size beyond the scan", WithLe32(pcm, 16, 0xFFFFFFF0)},
      {"fmt size below 16", WithLe32(pcm, 16, 12)},
      {"no channels", WithLe16(pcm, fmt + 2, 0)},
      {"no sample rate", WithLe32(pcm, fmt + 4, 0)},
      {"negative sample rate", WithLe32(pcm, fmt + 4, 0x80000000)},
      {"12-bit PCM", WithLe16(pcm, fmt + 14, 12)},
      {"huge frames", WithLe16(WithLe16(pcm, fmt + 2, 40000), fmt + 14, 32)},
      {"unknown format tag", WithLe16(pcm, fmt, 0x0160)},
      {"unknown extensible sub-format", WithLe16(ext, fmt + 24, 0x0006)},
      {"short extensible format", WithLe32(WithLe16(pcm, fmt, 0xFFFE), 16, 16)},
      {"IMA with 3 bits", WithLe16(ima, fmt + 14, 3)},
      {"IMA with 3 channels", WithLe16(ima, fmt + 2, 3)},
      {"IMA block align 0", WithLe16(ima, fmt + 12, 0)},
      {"IMA block align 3", WithLe16(ima, fmt + 12, 3)},
      {"IMA samples per block beyond the block", WithLe16(ima, fmt + 18, 2000)},
      {"IMA step index 89", [&] {
         auto w = ima;
         w[imaData + 2] = 89;
         return w;
       }()},
      {"MS ADPCM without coefficients", WithLe16(ms, fmt + 20, 0)},
      {"MS ADPCM coefficients beyond the chunk", WithLe16(ms, fmt + 20, 200)},
      {"MS ADPCM one sample per block", WithLe16(ms, fmt + 18, 1)},
      {"MS ADPCM block align 6", WithLe16(ms, fmt + 12, 6)},
      {"MS ADPCM predictor 7 of 7", [&] {
         auto w = ms;
         w[msData] = 7;
         return w;
       }()},
  };
  for (const Case& c : invalid) {
    const TWaveRead r = ReadBytes(c.Bytes);
    EXPECT_FALSE(r.Valid) << c.What;
    EXPECT_EQ(r.WavType, wtUnsupported) << c.What;
  }

  // A sample count beyond the data is cut to what the blocks hold.
  const TWaveRead whole = ReadBytes(ima);
  const size_t factAt = static_cast<size_t>(FindChunk(ima, "fact")) + 8;
  const TWaveRead big = ReadBytes(WithLe32(ima, factAt, 0xFFFFFFFF));
  ASSERT_TRUE(big.Valid);
  const int64_t blocks = (static_cast<int64_t>(ima.size()) - static_cast<int64_t>(imaData)) / 256;
  EXPECT_EQ(big.Size, blocks * 249 * 4);
  EXPECT_TRUE(std::equal(whole.Data.begin(), whole.Data.end(), big.Data.begin()));

  // Damage in a later block is an error of the read, not a quiet end of the audio.
  auto later = ms;
  const uint16_t align = Le16(ms, fmt + 12);
  later[msData + 2 * align] = 9;
  const TWaveRead lr = ReadBytes(later);
  ASSERT_TRUE(lr.Valid);
  EXPECT_NE(lr.Error.find("a block is damaged"), std::string::npos) << lr.Error;

  // Payloads the compression layer cannot make sense of.
  auto mp3 = Fixture("mp3");
  const size_t mp3Data = DataStart(mp3);
  std::fill(mp3.begin() + static_cast<long>(mp3Data), mp3.end(), uint8_t{0});
  EXPECT_FALSE(ReadBytes(mp3).Valid);
  EXPECT_FALSE(ReadBytes(WithLe16(Fixture("gsm"), fmt + 12, 64)).Valid);
}

TEST(WaveMalformedTest, RandomlyDamagedHeadersNeverEscapeTheirBytes) {
  std::mt19937 rng(20240611);
  for (const auto& f : Fixtures()) {
    const size_t head = std::min<size_t>(f.Bytes.size(), DataStart(f.Bytes) + 16);
    const int rounds = 400;
    for (int round = 0; round < rounds; ++round) {
      auto w = f.Bytes;
      const int changes = 1 + static_cast<int>(rng() % 6);
      for (int k = 0; k < changes; ++k) {
        const size_t at = rng() % head;
        switch (rng() % 4) {
          case 0: w[at] = static_cast<uint8_t>(rng()); break;
          case 1: w[at] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
          case 2:
            if (at + 4 <= w.size()) SetLe32(w, at, rng() % 2 ? 0xFFFFFFFFu : rng());
            break;
          default:
            if (at + 2 <= w.size()) SetLe16(w, at, static_cast<uint16_t>(rng() % 3 == 0 ? 0 : rng()));
            break;
        }
      }
      if (rng() % 4 == 0) w.resize(rng() % w.size());
      CheckBounded(ReadBytes(w, 1 + rng() % 9000), w.size(), f.Name + " round " + std::to_string(round));
    }
  }
}
