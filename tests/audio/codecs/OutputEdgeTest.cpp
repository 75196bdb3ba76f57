// What every output does at the edges: a source without audio fails clearly and
// leaves no file, not even one its format could hold empty;
// a file that cannot be created or written is named, with the reason, and nothing is
// left; nothing carries the file's name before the file is complete; a source whose
// format the output cannot hold is refused with the reason, and nothing is made.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "audio/codecs/ape/TSL_MAC.h"
#include "audio/codecs/flac/TSL_FLAC.h"
#include "audio/codecs/mp3/TSL_LAME.h"
#include "audio/codecs/mpc/TSL_MPC.h"
#include "audio/codecs/tta/TSL_TTA.h"
#include "audio/codecs/vorbis/TSL_Vorbis.h"
#include "audio/codecs/wavpack/TSL_WavPack.h"
#include "audio/io/TSL_Wave.h"
#include "audio/io/TSL_WinMedia.h"
#include "platform/rtl/FileUtils.h"
#include "tests/support/Files.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

using namespace testsupport;

namespace {

struct TOutputCase {
  const char* Format;
  const char* Ext;
  std::vector<std::string> Tools;
  std::function<TAuFileOut*()> NewOutput;
  // The reference tool's decode of a file as 16-bit PCM into Raw; false when it refuses.
  std::function<bool(const std::string& Path, const std::string& Raw)> Decode;
  // The encoder writes the whole stream to a temporary file of its own first.
  bool EncodesToATemporaryFile = false;
};

bool Ffmpeg(const std::string& P, const std::string& Raw) {
  return RunOk("ffmpeg -nostdin -v error -y -i " + Quote(P) + " -f s16le -c:a pcm_s16le " + Quote(Raw));
}

const std::vector<TOutputCase>& Cases() {
  static const std::vector<TOutputCase> cases = {
      {"WAV", "wav", {"sox"}, [] { return new TWaveOut(nullptr); },
       [](auto& P, auto& Raw) { return RunOk("sox " + Quote(P) + " -t raw " + Quote(Raw)); }},
      {"MP3", "mp3", {"ffmpeg"}, [] { return new TMP3Out(nullptr); }, Ffmpeg},
      {"Windows Media", "wma", {"ffmpeg"}, [] { return new TWMAOut(nullptr); }, Ffmpeg},
      {"WavPack", "wv", {"wvunpack"}, [] { return new TWVOut(nullptr); },
       [](auto& P, auto& Raw) { return RunOk("wvunpack -q -y -r " + Quote(P) + " -o " + Quote(Raw)); }},
      {"Monkey's Audio", "ape", {"ffmpeg"}, [] { return new TMACOut(nullptr); }, Ffmpeg},
      {"Ogg Vorbis", "ogg", {"oggdec"}, [] { return new TVorbisOut(nullptr); },
       [](auto& P, auto& Raw) { return RunOk("oggdec -Q -R -o " + Quote(Raw) + " " + Quote(P)); }},
      {"FLAC", "flac", {"flac"}, [] { return new TFLACOut(nullptr); },
       [](auto& P, auto& Raw) {
         return RunOk("flac -s -d -f --force-raw-format --endian=little --sign=signed -o " + Quote(Raw) + " " + Quote(P));
       }},
      {"True Audio", "tta", {"ffmpeg"}, [] { return new TTTAOut(nullptr); }, Ffmpeg},
      {"Musepack", "mpc", {"mpcdec"}, [] { return new TMPCOut(nullptr); },
       [](auto& P, auto& Raw) { return RunOk("mpcdec -r " + Quote(P) + " " + Quote(Raw)); }, true},
  };
  return cases;
}

std::string RunInto(const TOutputCase& C, TAuInput& In, const std::string& Path) {
  TComponentPtr<TAuFileOut> out(C.NewOutput());
  out->SetFileName(Path);
  out->SetInput(&In);
  return RunOutput(*out);
}

std::string RunInto(const TOutputCase& C, const std::string& Source, const std::string& Path) {
  TComponentPtr<TWaveIn> in(new TWaveIn(nullptr));
  in->SetFileName(Source);
  return RunInto(C, *in, Path);
}

class OutputEdge : public testing::TestWithParam<size_t> {};

TEST_P(OutputEdge, AnEmptySourceFailsClearlyAndLeavesNoFile) {
  const TOutputCase& c = Cases()[GetParam()];
  SCOPED_TRACE(c.Format);
  REQUIRE_TOOL("sox");
  TTempDir dir;
  // A valid WAV file with an empty data chunk, and a source that tells no size and ends
  // at once.
  const std::string wav = dir.Path("empty.wav");
  Shell("sox -n -r 44100 -b 16 -c 2 " + Quote(wav) + " trim 0 0");
  TComponentPtr<TWaveIn> known(new TWaveIn(nullptr));
  known->SetFileName(wav);
  EXPECT_EQ(known->TotalSamples(), 0);
  WriteFile(dir.Path("empty.raw"), std::string());
  TComponentPtr<TRawIn> unknown(new TRawIn(nullptr, 16, 2, 44100));
  unknown->SetFileName(dir.Path("empty.raw"));
  unknown->DeclaredSize = -1;
  for (TAuInput* in : {static_cast<TAuInput*>(known.get()), static_cast<TAuInput*>(unknown.get())}) {
    SCOPED_TRACE(in == known.get() ? "known to be empty" : "found empty at the end");
    const std::string path = dir.Path(std::string("out.") + c.Ext);
    EXPECT_EQ(RunInto(c, *in, path), "The source holds no audio; no file is made.");
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"empty.raw", "empty.wav"}));
  }
}

TEST_P(OutputEdge, ASourceShorterThanItAnnouncedLeavesAFileOfItsTrueLength) {
  const TOutputCase& c = Cases()[GetParam()];
  SCOPED_TRACE(c.Format);
  for (const std::string& tool : c.Tools) REQUIRE_TOOL(tool);
  REQUIRE_TOOL("sox");
  TTempDir dir;
  MakeSource(dir, "src", 16, 2, 44100, 1.5);
  const int64_t bytes = static_cast<int64_t>(ReadFile(dir.Path("src.raw")).size());
  // The same audio from a source that tells its size and from one that promised twice
  // as much: the files decode to the same length, not one padded to the promise.
  std::vector<size_t> decoded;
  for (const int64_t declared : {bytes, 2 * bytes}) {
    TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, 2, 44100));
    in->SetFileName(dir.Path("src.raw"));
    in->DeclaredSize = declared;
    const std::string path = dir.Path(std::string("out.") + c.Ext);
    ASSERT_EQ(RunInto(c, *in, path), "");
    const std::string raw = dir.Path("out.raw");
    ASSERT_TRUE(c.Decode(path, raw));
    decoded.push_back(ReadFile(raw).size());
  }
  EXPECT_EQ(decoded[1], decoded[0]);
  EXPECT_GE(decoded[0], static_cast<size_t>(bytes) * 9 / 10);
}

TEST_P(OutputEdge, AFileThatCannotBeCreatedIsNamedWithTheReason) {
  const TOutputCase& c = Cases()[GetParam()];
  SCOPED_TRACE(c.Format);
  REQUIRE_TOOL("sox");
  TTempDir dir;
  const std::string source = MakeSource(dir, "src", 16, 2, 44100, 0.5);
  // A folder that is a file: creating fails for every user, root included.
  WriteFile(dir.Path("plain"), std::string("not a folder"));
  const std::string path = dir.Path(std::string("plain/out.") + c.Ext);
  EXPECT_EQ(RunInto(c, source, path), "Cannot create \"" + path + "\": Not a directory");
  EXPECT_EQ(dir.Entries(), (std::set<std::string>{"plain", "src.raw", "src.wav"}));
}

TEST(OutputRefusals, ASourceTheFormatCannotHoldIsRefusedWithTheReasonBeforeAnyFileIsMade) {
  TTempDir dir;
  const std::string mp3 = "An MP3 file takes sample rates of 8000 to 768000 Hz; the source has ";
  const std::string wma = "A Windows Media file takes sample rates of 1000 to 768000 Hz; the source has ";
  const std::string mpc = "A Musepack file takes sample rates of 32000, 37800, 44100 or 48000 Hz; the source has ";
  const std::string six = " file holds one or two channels; the source has 6.";
  const struct {
    const char* Format;  // of Cases()
    int Bits, Channels, Rate;
    std::string Reason;
  } cases[] = {
      // Far below audio's rates LAME crashed and the Windows Media writer made files of
      // the wrong length.
      {"MP3", 16, 2, 1, mp3 + "1 Hz."},
      {"MP3", 16, 2, 5, mp3 + "5 Hz."},
      {"MP3", 16, 2, 50, mp3 + "50 Hz."},
      {"MP3", 16, 2, 1000000, mp3 + "1000000 Hz."},
      {"MP3", 16, 6, 44100, "An MP3" + six},
      {"Windows Media", 16, 2, 1, wma + "1 Hz."},
      {"Windows Media", 16, 2, 5, wma + "5 Hz."},
      {"Windows Media", 16, 2, 50, wma + "50 Hz."},
      {"Windows Media", 16, 2, 1000000, wma + "1000000 Hz."},
      {"Windows Media", 16, 6, 44100, "A Windows Media" + six},
      {"Musepack", 16, 2, 1, mpc + "1 Hz."},
      {"Musepack", 16, 2, 5, mpc + "5 Hz."},
      {"Musepack", 16, 2, 50, mpc + "50 Hz."},
      {"Musepack", 16, 2, 96000, mpc + "96000 Hz."},
      {"Musepack", 16, 6, 44100, "A Musepack" + six},
      {"Monkey's Audio", 16, 6, 44100, "A Monkey's Audio" + six},
      {"Monkey's Audio", 32, 2, 44100,
       "A Monkey's Audio file holds 8, 16 or 24-bit samples; the source has 32-bit samples."},
      {"WAV", 16, 2, 2000000000, "A WAV file takes sample rates of 1 to 1073741823 Hz; the source has 2000000000 Hz."},
      {"Ogg Vorbis", 16, 2, 200001,
       "An Ogg Vorbis file takes sample rates of 1 to 200000 Hz; the source has 200001 Hz."},
      {"FLAC", 16, 2, 655360, "A FLAC file takes sample rates of 1 to 655350 Hz; the source has 655360 Hz."},
      {"FLAC", 16, 2, 65537,
       "A FLAC file takes sample rates above 65535 Hz in steps of 10 Hz only; the source has 65537 Hz."},
      {"True Audio", 16, 2, 768001,
       "A True Audio file takes sample rates of 1 to 768000 Hz; the source has 768001 Hz."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Format) + ", " + std::to_string(c.Channels) + " channels at " + std::to_string(c.Rate));
    const TOutputCase& format = *std::find_if(
        Cases().begin(), Cases().end(), [&c](const TOutputCase& F) { return F.Format == std::string(c.Format); });
    // Enough frames for LAME to have run into its fault.
    std::vector<uint8_t> pcm(size_t{30000} * c.Channels * (c.Bits / 8));
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i * 37);
    WriteFile(dir.Path("src.raw"), pcm);
    TComponentPtr<TRawIn> in(new TRawIn(nullptr, c.Bits, c.Channels, c.Rate));
    in->SetFileName(dir.Path("src.raw"));
    EXPECT_EQ(RunInto(format, *in, dir.Path(std::string("out.") + format.Ext)), c.Reason);
    EXPECT_EQ(dir.Entries(), std::set<std::string>{"src.raw"});
  }
}

TEST_P(OutputEdge, TheFileHasItsNameOnlyOnceItIsComplete) {
  const TOutputCase& c = Cases()[GetParam()];
  SCOPED_TRACE(c.Format);
  for (const std::string& tool : c.Tools) REQUIRE_TOOL(tool);
  REQUIRE_TOOL("sox");
  TTempDir dir;
  TComponentPtr<TWaveIn> in(new TWaveIn(nullptr));
  in->SetFileName(MakeSource(dir, "src", 16, 2, 44100, 5.0));
  const std::string path = dir.Path(std::string("out.") + c.Ext);
  TComponentPtr<TAuFileOut> out(c.NewOutput());
  out->SetFileName(path);
  out->SetInput(in.get());
  bool done = false;
  out->OnDone = [&](TComponent*) { done = true; };
  out->Run();
  out->Pause();
  ASSERT_EQ(out->Status(), asPaused);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(RunTemporaries(path).size(), 1u);
  out->Resume();
  ASSERT_TRUE(PumpUntil([&] { return done; }, 120000));
  ASSERT_EQ(out->ExceptionMessage(), "");
  EXPECT_EQ(out->CompletedFileName(), path);
  EXPECT_TRUE(RunTemporaries(path).empty());
  const std::string raw = dir.Path("out.raw");
  ASSERT_TRUE(c.Decode(path, raw));
  EXPECT_GE(ReadFile(raw).size(), ReadFile(dir.Path("src.raw")).size() * 9 / 10);
}

TEST_P(OutputEdge, AFullDiskIsNamedWithTheReasonAndNothingIsLeft) {
  const TOutputCase& c = Cases()[GetParam()];
  SCOPED_TRACE(c.Format);
  REQUIRE_TOOL("sox");
  TTempDir dir;
  const std::string source = MakeSource(dir, "src", 16, 2, 44100, 10.0);
  const std::string path = dir.Path(std::string("out.") + c.Ext);
  std::string error;
  {
    TFileSizeLimit full(16384);
    error = RunInto(c, source, path);
  }
  const std::string file = c.EncodesToATemporaryFile ? "a temporary file in \"" + GetTempDirectory() + "\""
                                                     : "\"" + path + "\"";
  EXPECT_EQ(error, "Cannot write " + file + ": File too large");
  EXPECT_EQ(dir.Entries(), (std::set<std::string>{"src.raw", "src.wav"}));
}

INSTANTIATE_TEST_SUITE_P(EveryOutput, OutputEdge, testing::Range<size_t>(0, Cases().size()),
                         [](const testing::TestParamInfo<size_t>& I) { return CaseName(Cases()[I.param].Format); });

}  // namespace
