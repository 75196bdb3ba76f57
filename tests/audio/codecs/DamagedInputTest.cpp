// Damaged sources, format by format: a file cut short and a file with bytes overwritten
// in the middle end their run with a message naming the file and the sample frame
// where the damage is, never with success and never hanging; everything delivered
// before the failure is the reference decoder's audio of the intact file, and a
// conversion of it leaves no file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "audio/codecs/ape/TSL_MAC.h"
#include "audio/codecs/flac/TSL_FLAC.h"
#include "audio/codecs/mpc/TSL_MPC.h"
#include "audio/codecs/tta/TSL_TTA.h"
#include "audio/codecs/vorbis/TSL_Vorbis.h"
#include "audio/codecs/wavpack/TSL_WavPack.h"
#include "audio/io/TSL_Wave.h"
#include "audio/io/TSL_WinMedia.h"
#include "audio/io/TSL_smpeg.h"
#include "audio/io/Tessel_AVI.h"
#include "platform/rtl/FileUtils.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

using namespace testsupport;

namespace {

// A file edited in place.
using TEdit = std::function<void(std::vector<uint8_t>& Bytes)>;

struct TEditCase {
  const char* What;
  TEdit Edit;
  bool AudioBefore = false;  // sound audio comes before the damage
};

struct TInputCase {
  const char* Format;
  const char* Ext;
  std::vector<std::string> Tools;
  // Makes the intact file Out from the 16-bit stereo WAV source.
  std::function<void(const std::string& Wav, const std::string& Out)> Make;
  std::function<TAuFileIn*()> NewInput;
  // The reference decoder's 16-bit PCM of the intact file; unset for lossless formats,
  // whose reference is the source itself.
  std::function<std::vector<uint8_t>(const std::string& Path)> Reference;
  int Tolerance = 0;  // in steps of the last bit
  // Damage in the middle of the audio can be told (PCM has nothing to tell it by).
  bool DamageShows = true;
  // Long enough for frames before the damage (Monkey's Audio frames last 6.7 s).
  double Seconds = 4.0;
  // Further damage: at the start, leaving no audio before it, or where a format's own
  // kind of damage is.
  std::vector<TEditCase> MoreDamage = {};
  // Makes the header announce far more audio than the file can hold.
  TEdit AbsurdLength = nullptr;
};

void Run(const std::string& Command) { Shell(Command); }

// Random bytes over Count bytes in the middle of the file.
void Scramble(std::vector<uint8_t>& B, size_t Count) {
  std::mt19937 rng(5);
  for (size_t i = B.size() / 2; i < std::min(B.size(), B.size() / 2 + Count); ++i) B[i] = static_cast<uint8_t>(rng());
}

std::vector<uint8_t> SoxRaw(const std::string& Path) {
  Shell("sox " + Quote(Path) + " -t raw -e signed -b 16 " + Quote(Path + ".raw"));
  return ReadFile(Path + ".raw");
}

std::vector<uint8_t> Ffmpeg(const std::string& Path) { return FfmpegDecode(Path, "s16le"); }

void EncodeApe(const std::string& Wav, const std::string& Out) {
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TWaveIn(owner.get());
  auto* out = new TMACOut(owner.get());
  in->SetFileName(Wav);
  out->SetFileName(Out);
  out->SetInput(in);
  ASSERT_EQ(RunOutput(*out), "");
}

// Sets the granule position of an Ogg file's last page, and the page's checksum.
void SetLastGranule(std::vector<uint8_t>& B, int64_t Granule) {
  const char tag[] = "OggS";
  const size_t at = static_cast<size_t>(std::find_end(B.begin(), B.end(), tag, tag + 4) - B.begin());
  for (int i = 0; i < 8; ++i) B[at + 6 + i] = static_cast<uint8_t>(Granule >> (8 * i));
  std::fill(B.begin() + at + 22, B.begin() + at + 26, 0);
  uint32_t crc = 0;
  for (size_t i = at; i < B.size(); ++i) {
    crc ^= uint32_t{B[i]} << 24;
    for (int k = 0; k < 8; ++k) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  for (int i = 0; i < 4; ++i) B[at + 22 + i] = static_cast<uint8_t>(crc >> (8 * i));
}

// A WavPack block ends in a checksum of all of it: a sum over its 16-bit words.
void RenewFirstBlockChecksum(std::vector<uint8_t>& B) {
  const size_t end = 8 + (B[4] | B[5] << 8 | B[6] << 16 | size_t{B[7]} << 24);
  uint32_t sum = 0xFFFFFFFF;
  for (size_t i = 0; i < end - 6; i += 2) sum = sum * 3 + (B[i] | B[i + 1] << 8);
  for (int i = 0; i < 4; ++i) B[end - 4 + i] = static_cast<uint8_t>(sum >> (8 * i));
}

const std::vector<TInputCase>& Cases() {
  static const std::vector<TInputCase> cases = {
      {"WAV (PCM)", "wav", {"sox"}, [](auto& W, auto& O) { Run("cp " + Quote(W) + " " + Quote(O)); },
       [] { return new TWaveIn(nullptr); }, nullptr, 0, false},
      {"WAV (IMA ADPCM)", "wav", {"sox"}, [](auto& W, auto& O) { Run("sox " + Quote(W) + " -e ima-adpcm " + Quote(O)); },
       [] { return new TWaveIn(nullptr); }, SoxRaw},
      // Compressed payloads are converted whole when the file is opened.
      {"WAV (A-law)", "wav", {"sox"}, [](auto& W, auto& O) { Run("sox " + Quote(W) + " -e a-law " + Quote(O)); },
       [] { return new TWaveIn(nullptr); }, SoxRaw, 0, false},
      {"WAV (MP3)", "wav", {"ffmpeg"},
       [](auto& W, auto& O) { Run("ffmpeg -nostdin -v error -y -i " + Quote(W) + " -c:a libmp3lame -b:a 128k -f wav " + Quote(O)); },
       [] { return new TWaveIn(nullptr); }, Ffmpeg, 0, true, 3.0,
       {{"4 KiB of random bytes in the middle", [](auto& B) { Scramble(B, 4096); }, true}}},
      // STREAMINFO sits at byte 8: sample rate, channels, bits per sample and total
      // samples from its byte 10 on.
      {"FLAC", "flac", {"flac"}, [](auto& W, auto& O) { Run("flac -s -f -5 " + Quote(W) + " -o " + Quote(O)); },
       [] { return new TFLACIn(nullptr); }, nullptr, 0, true, 4.0,
       {{"frames of 16 bits in a stream of 32", [](auto& B) { B[20] |= 0x01, B[21] |= 0xF0; }},
        {"frames of 2 channels in a stream of 8", [](auto& B) { B[20] |= 0x0E; }}},
       [](auto& B) { B[21] |= 0x0F, std::fill(B.begin() + 22, B.begin() + 26, 0xFF); }},
      {"Ogg Vorbis", "ogg", {"oggenc", "oggdec"}, [](auto& W, auto& O) { Run("oggenc -Q " + Quote(W) + " -o " + Quote(O)); },
       [] { return new TVorbisIn(nullptr); },
       [](const std::string& P) {
         Shell("oggdec -Q -R -o " + Quote(P + ".raw") + " " + Quote(P));
         return ReadFile(P + ".raw");
       },
       0, true, 4.0,
       // The length comes from the last page, which a cut file lacks.
       {{"cut right after its headers", [](auto& B) { B.resize(4096); }},
        {"cut a few kilobytes into its audio", [](auto& B) { B.resize(8192); }}},
       [](auto& B) { SetLastGranule(B, int64_t{1} << 50); }},
      // The first block's header gives the total samples at byte 11 (high byte) and 12.
      {"WavPack", "wv", {"wavpack"}, [](auto& W, auto& O) { Run("wavpack -q -y " + Quote(W) + " -o " + Quote(O)); },
       [] { return new TWVIn(nullptr); }, nullptr, 0, true, 4.0,
       {{"a byte of the first block changed", [](auto& B) { B[600] ^= 0xFF; }}},
       [](auto& B) {
         B[11] = 0x7F, std::fill(B.begin() + 12, B.begin() + 16, 0xFE);
         RenewFirstBlockChecksum(B);
       }},
      {"Monkey's Audio", "ape", {}, EncodeApe, [] { return new TMACIn(nullptr); }, nullptr, 0, true, 16.0},
      {"True Audio", "tta", {"ffmpeg"},
       [](auto& W, auto& O) { Run("ffmpeg -nostdin -v error -y -i " + Quote(W) + " -c:a tta " + Quote(O)); },
       [] { return new TTTAIn(nullptr); }, nullptr},
      // mpcdec and our decoder round the decoder's floats apart by one step at times.
      {"Musepack", "mpc", {"mpcenc", "mpcdec", "sox"},
       [](auto& W, auto& O) { Run("mpcenc --silent --overwrite " + Quote(W) + " " + Quote(O)); },
       [] { return new TMPCIn(nullptr); },
       [](const std::string& P) {
         Shell("mpcdec -r " + Quote(P) + " " + Quote(P + ".raw"));
         return ReadFile(P + ".raw");
       },
       1},
      // The encoder's header frame gives the frame count after "Info" and the flags.
      {"MP3", "mp3", {"lame", "ffmpeg"}, [](auto& W, auto& O) { Run("lame --quiet -b 128 " + Quote(W) + " " + Quote(O)); },
       [] { return new TMP3In(nullptr); }, Ffmpeg, 0, true, 4.0, {},
       [](auto& B) {
         const auto at = std::search(B.begin(), B.end(), std::begin("Info"), std::end("Info") - 1) + 8;
         std::fill(at, at + 4, 0x7F);
       }},
      {"Windows Media", "wma", {"ffmpeg"},
       [](auto& W, auto& O) { Run("ffmpeg -nostdin -v error -y -i " + Quote(W) + " -c:a wmav2 -b:a 128k " + Quote(O)); },
       [] { return new TWMIn(nullptr); }, Ffmpeg},
      {"AVI", "avi", {"ffmpeg"},
       [](auto& W, auto& O) { Run("ffmpeg -nostdin -v error -y -i " + Quote(W) + " -c:a pcm_s16le " + Quote(O)); },
       [] { return new TAVIIn(nullptr); }, nullptr},
      {"AVI (MP3)", "avi", {"ffmpeg"},
       [](auto& W, auto& O) { Run("ffmpeg -nostdin -v error -y -i " + Quote(W) + " -c:a libmp3lame -b:a 128k " + Quote(O)); },
       [] { return new TAVIIn(nullptr); }, Ffmpeg, 0, true, 3.0,
       {{"4 KiB of random bytes in the middle", [](auto& B) { Scramble(B, 4096); }, true}}},
  };
  return cases;
}

// The sample frame a message gives for the damage.
int64_t ReportedFrame(const std::string& Message) {
  const std::string lead = "(sample frame ";
  const size_t at = Message.find(lead);
  return at == std::string::npos ? -1 : std::atoll(Message.c_str() + at + lead.size());
}

std::vector<uint8_t> Edited(const std::string& Path, const TEdit& Edit) {
  std::vector<uint8_t> b = ReadFile(Path);
  Edit(b);
  return b;
}

bool SamePrefix(const std::vector<uint8_t>& Got, const std::vector<uint8_t>& Ref, int Tolerance) {
  if (Got.size() > Ref.size()) return false;
  const std::vector<int16_t> a = AsInt16(Got), b = AsInt16(Ref);
  for (size_t i = 0; i < a.size(); ++i)
    if (std::abs(a[i] - b[i]) > Tolerance) return false;
  return true;
}

struct TRead {
  std::vector<uint8_t> Data;
  std::string Error;
};

TRead ReadDamaged(const TInputCase& C, const std::string& Path) {
  TRead r;
  WithinSeconds(
      60,
      [&] {
        TComponentPtr<TAuFileIn> in(C.NewInput());
        in->SetFileName(Path);
        r.Data = ReadUntilFailure(*in, r.Error, 10000);
      },
      "reading " + Path);
  return r;
}

// A conversion run of the file into a WAV file (reading it alone has shown that it
// ends), which fails and leaves nothing.
std::string RunDamaged(const TInputCase& C, const std::string& Path) {
  const std::string wav = Path + ".wav";
  TComponentPtr<TAuFileIn> in(C.NewInput());
  in->SetFileName(Path);
  TComponentPtr<TWaveOut> out(new TWaveOut(nullptr));
  out->SetFileName(wav);
  out->SetInput(in.get());
  const std::string error = RunOutput(*out);
  EXPECT_FALSE(FileExists(wav));
  EXPECT_TRUE(RunTemporaries(wav).empty());
  return error;
}

// The case's file, made in Dir from generated audio, and the reference decoder's audio
// of it.
void MakeIntact(const TInputCase& C, const TTempDir& Dir, std::string& Path, std::vector<uint8_t>& Ref) {
  for (const std::string& tool : C.Tools) REQUIRE_TOOL(tool);
  const std::string wav = MakeSource(Dir, "src", 16, 2, 44100, C.Seconds);
  Path = Dir.Path(std::string("intact.") + C.Ext);
  C.Make(wav, Path);
  Ref = C.Reference ? C.Reference(Path) : ReadFile(Dir.Path("src.raw"));
}

class DamagedInput : public testing::TestWithParam<size_t> {};

TEST_P(DamagedInput, FailsTheRunAfterDeliveringTheAudioBeforeTheDamage) {
  const TInputCase& c = Cases()[GetParam()];
  SCOPED_TRACE(c.Format);
  TTempDir dir;
  std::string intact;
  std::vector<uint8_t> ref;
  ASSERT_NO_FATAL_FAILURE(MakeIntact(c, dir, intact, ref));
  ASSERT_GT(ref.size(), 4u * 44100 * 3);

  struct TDamage {
    const char* What;
    std::function<void(const std::string& To)> Make;
    bool AudioBefore = true;  // sound audio comes before the damage
  };
  std::vector<TDamage> damages = {{"cut short", [&](const std::string& To) { CutFile(intact, To, 0.6); }}};
  if (c.DamageShows)
    damages.push_back({"damaged in the middle", [&](const std::string& To) { DamageFile(intact, To, 0.5, 8192, 0xFF); }});
  for (const TEditCase& e : c.MoreDamage)
    damages.push_back({e.What, [&](const std::string& To) { WriteFile(To, Edited(intact, e.Edit)); }, e.AudioBefore});
  for (const TDamage& d : damages) {
    SCOPED_TRACE(d.What);
    const std::string path = dir.Path(std::string("damaged.") + c.Ext);
    d.Make(path);
    const TRead r = ReadDamaged(c, path);
    ASSERT_NE(r.Error, "") << "the damage passed for the end of the audio";
    EXPECT_NE(r.Error.find("\"" + path + "\""), std::string::npos) << r.Error;
    EXPECT_EQ(ReportedFrame(r.Error), static_cast<int64_t>(r.Data.size() / 4)) << r.Error;
    if (d.AudioBefore)
      EXPECT_GT(r.Data.size(), ref.size() / 4);
    else
      EXPECT_EQ(r.Data.size(), 0u);
    EXPECT_TRUE(SamePrefix(r.Data, ref, c.Tolerance)) << r.Data.size() << " bytes";
    EXPECT_EQ(RunDamaged(c, path), r.Error);
  }
}

// A header that announces more audio than its file could ever hold is not believed:
// the length is unknown (or what the file really holds); the audio is all there, and
// then the run fails.
TEST(DamagedInputLength, AHeaderLengthTheFileCannotHoldIsNotBelieved) {
  for (const TInputCase& c : Cases()) {
    if (!c.AbsurdLength) continue;
    SCOPED_TRACE(c.Format);
    TTempDir dir;
    std::string intact;
    std::vector<uint8_t> ref;
    ASSERT_NO_FATAL_FAILURE(MakeIntact(c, dir, intact, ref));
    const std::string path = dir.Path(std::string("absurd.") + c.Ext);
    WriteFile(path, Edited(intact, c.AbsurdLength));
    TComponentPtr<TAuFileIn> in(c.NewInput());
    in->SetFileName(path);
    ASSERT_TRUE(in->Valid());
    EXPECT_LE(in->TotalTime(), c.Seconds);
    std::string error;
    const std::vector<uint8_t> got = Collect(*in, &error);
    // All of it (with the encoder's padding at the end where the header no longer tells
    // where the audio ends), and then the run fails: the header is damaged, or the file
    // was cut short.
    EXPECT_NE(error, "");
    EXPECT_TRUE(SamePrefix(ref, got, c.Tolerance)) << got.size() << " bytes against " << ref.size();
  }
}

INSTANTIATE_TEST_SUITE_P(EveryInput, DamagedInput, testing::Range<size_t>(0, Cases().size()),
                         [](const testing::TestParamInfo<size_t>& I) { return CaseName(Cases()[I.param].Format); });

}  // namespace
