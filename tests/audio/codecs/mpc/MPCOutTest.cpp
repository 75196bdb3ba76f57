// Encoding with TMPCOut, checked against mpcenc, mpcdec, ffmpeg and ffprobe.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <thread>

#include <unistd.h>

#include "MPCTestSupport.h"

using namespace testsupport;
using namespace MPCTests;

namespace {

struct Format {
  int Bits, Channels, Rate;
  float Quality;
};

std::string Describe(const Format& F) {
  return std::to_string(F.Bits) + " bits, " + std::to_string(F.Channels) + " channels, " + std::to_string(F.Rate) +
         " Hz, quality " + std::to_string(F.Quality);
}

// The mpcenc processes this test program started.
std::vector<pid_t> EncoderChildren() {
  std::vector<pid_t> found;
  DIR* d = opendir("/proc");
  if (!d) return found;
  while (dirent* e = readdir(d)) {
    const pid_t pid = pid_t(std::atoi(e->d_name));
    if (pid <= 0) continue;
    std::ifstream f(std::string("/proc/") + e->d_name + "/stat");
    std::string stat;
    std::getline(f, stat);
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || stat.find("(mpcenc)") == std::string::npos) continue;
    char state = 0;
    int ppid = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == getpid()) found.push_back(pid);
  }
  closedir(d);
  return found;
}

// An output whose steps the test calls itself.
class TSteppedMPCOut : public TMPCOut {
public:
  using TMPCOut::TMPCOut;
  using TMPCOut::Finish;
  using TMPCOut::Prepare;
  using TMPCOut::WriteBlock;
};

struct Tools {
  Tools() {
    RequireTools({"sox", "mpcenc", "mpcdec"});
  }
};

}  // namespace

TEST(MPCOutTest, WritesWhatMpcencWritesAndDecodesToTheExactLength) {
  Tools t;
  RequireTools({"ffmpeg"});
  TTempDir dir;
  const Format formats[] = {{16, 2, 44100, 5.0f}, {8, 1, 48000, 3.0f}, {24, 2, 32000, 7.5f}, {32, 1, 37800, 10.0f}};
  int n = 0;
  for (const Format& f : formats) {
    SCOPED_TRACE(Describe(f));
    const std::string name = "f" + std::to_string(n++);
    const std::string raw = MakeRaw(dir, name + ".raw", f.Bits, f.Channels, f.Rate, 1.7777);
    const int64_t frames = int64_t(ReadFile(raw).size()) / (f.Bits / 8 * f.Channels);
    const std::string ours = dir.Path(name + ".ours.mpc");
    ASSERT_EQ(EncodeWithOurs(raw, ours, f.Bits, f.Channels, f.Rate, f.Quality), "");
    const std::string ref =
        EncodeWithMpcenc(RawToWav(raw, f.Bits, f.Channels, f.Rate), dir.Path(name + ".ref.mpc"), f.Quality);
    EXPECT_EQ(ReadFile(ours), ReadFile(ref));
    EXPECT_EQ(DeclaredLength(ours), frames);
    EXPECT_EQ(int64_t(DecodeWithMpcdec(ours).size()), frames * f.Channels);
    // ffmpeg leaves the decoder's delay and the last frame's padding in; it must
    // read our file as it reads mpcenc's.
    const std::vector<int16_t> ff = AsInt16(FfmpegDecode(ours));
    EXPECT_GE(int64_t(ff.size()), frames * f.Channels);
    EXPECT_EQ(ff, AsInt16(FfmpegDecode(ref)));
  }
}

TEST(MPCOutTest, WritesTheApeTagItemsInOrder) {
  Tools t;
  RequireTools({"ffprobe"});
  TTempDir dir;
  const std::string raw = MakeRaw(dir, "tags.raw", 16, 2, 44100, 1.0);
  TAPEv2Tags tags;
  tags.SetArtist(u"Sigur Rós");
  tags.SetAlbum(u"Ágætis byrjun");
  tags.SetTitle(u"Svefn-g-englar = \"Sleepwalkers\"");
  tags.SetYear("1999");
  tags.SetGenre(u"Post-rock");
  tags.SetComposer(u"Jón Þór Birgisson");
  tags.SetTrack("0");           // no track number: left out
  tags.SetComment(u"not written");  // not among the items the encoder takes
  const std::string ours = dir.Path("tags.mpc");
  ASSERT_EQ(EncodeWithOurs(raw, ours, 16, 2, 44100, 5.0f, &tags), "");

  std::string probe;
  ASSERT_TRUE(RunOk("ffprobe -v error -show_entries format_tags -of default=noprint_wrappers=1 " + Quote(ours),
                    &probe));
  EXPECT_NE(probe.find("TAG:Artist=Sigur Rós\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("TAG:Album=Ágætis byrjun\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("TAG:Title=Svefn-g-englar = \"Sleepwalkers\"\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("TAG:Year=1999\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("TAG:Genre=Post-rock\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("TAG:Composer=Jón Þór Birgisson\n"), std::string::npos) << probe;
  EXPECT_EQ(probe.find("Track"), std::string::npos) << probe;
  EXPECT_EQ(probe.find("Comment"), std::string::npos) << probe;

  // The tag follows mpcenc's stream unchanged, in the order the encoder adds items.
  const std::vector<uint8_t> ref = ReadFile(EncodeWithMpcenc(RawToWav(raw, 16, 2, 44100), dir.Path("r.mpc"), 5.0));
  const std::vector<uint8_t> file = ReadFile(ours);
  ASSERT_GT(file.size(), ref.size());
  EXPECT_TRUE(std::equal(ref.begin(), ref.end(), file.begin()));
  const std::string tail(file.begin() + std::ptrdiff_t(ref.size()), file.end());
  EXPECT_EQ(tail.rfind("APETAGEX", 0), 0u);
  const size_t artist = tail.find("Artist"), album = tail.find("Album"), title = tail.find("Title"),
               year = tail.find("Year"), genre = tail.find("Genre"), composer = tail.find("Composer");
  EXPECT_TRUE(artist < album && album < title && title < year && year < genre && genre < composer);
  EXPECT_EQ(DeclaredLength(ours), 44100);

  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TMPCIn(owner.get());
  in->SetFileName(ours);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->APEv2Tags()->Artist(), u"Sigur Rós");
  EXPECT_EQ(in->APEv2Tags()->Title(), u"Svefn-g-englar = \"Sleepwalkers\"");
  EXPECT_EQ(in->APEv2Tags()->Year(), "1999");
}

TEST(MPCOutTest, UnknownOrOverstatedLengthsStillGiveTheExactLength) {
  Tools t;
  RequireTools({"ffmpeg"});
  TTempDir dir;
  const std::string raw = MakeRaw(dir, "len.raw", 16, 2, 48000, 2.5);
  const int64_t frames = int64_t(ReadFile(raw).size()) / 4;
  const std::vector<uint8_t> ref = ReadFile(EncodeWithMpcenc(RawToWav(raw, 16, 2, 48000), dir.Path("r.mpc"), 5.0));

  // Unknown: the PCM waits in a temporary file until its length is known.
  const std::string unknown = dir.Path("unknown.mpc");
  ASSERT_EQ(EncodeWithOurs(raw, unknown, 16, 2, 48000, 5.0f, nullptr, -1), "");
  EXPECT_EQ(ReadFile(unknown), ref);

  // Overstated: the encoder gets silence up to the stated length, and the header is
  // set back to what the input really delivered.
  const std::string over = dir.Path("over.mpc");
  ASSERT_EQ(EncodeWithOurs(raw, over, 16, 2, 48000, 5.0f, nullptr, (frames + 100000) * 4), "");
  EXPECT_EQ(DeclaredLength(over), frames);
  const std::vector<int16_t> ours = DecodeWithMpcdec(over);
  ASSERT_EQ(int64_t(ours.size()), frames * 2);
  std::string log;
  EXPECT_TRUE(RunOk("mpcdec -c " + Quote(over), &log)) << log;
  EXPECT_FALSE(AsInt16(FfmpegDecode(over)).empty());
  // Away from the end (where the encoder looked at the padding) it is mpcenc's coding.
  const std::vector<int16_t> reference = DecodeWithMpcdec(dir.Path("r.mpc"));
  size_t differ = 0;
  for (size_t i = 0; i + 2 * 4096 < ours.size(); ++i) differ += ours[i] != reference[i];
  EXPECT_EQ(differ, 0u);
}

TEST(MPCOutTest, RefusesFormatsTheEncoderCannotTakeWithoutLeavingAFile) {
  Tools t;
  TTempDir dir;
  struct Refused {
    int Bits, Channels, Rate;
    float Quality;
    std::string Message;
  };
  const std::string rates = "A Musepack file takes sample rates of 32000, 37800, 44100 or 48000 Hz; the source has ";
  const Refused cases[] = {{16, 2, 22050, 5.0f, rates + "22050 Hz."},
                           {16, 2, 96000, 5.0f, rates + "96000 Hz."},
                           {16, 3, 44100, 5.0f, "A Musepack file holds one or two channels; the source has 3."},
                           {16, 2, 44000, 5.0f, rates + "44000 Hz."},
                           {16, 2, 44100, 10.5f, "Failed to initialize encoder"}};
  int n = 0;
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.Message + std::string(" at ") + std::to_string(c.Rate));
    const std::string raw = MakeRaw(dir, "in" + std::to_string(n) + ".raw", c.Bits, c.Channels, c.Rate, 0.2);
    const std::string out = dir.Path("out" + std::to_string(n++) + ".mpc");
    EXPECT_EQ(EncodeWithOurs(raw, out, c.Bits, c.Channels, c.Rate, c.Quality), c.Message);
    EXPECT_FALSE(FileExists(out));
    EXPECT_FALSE(MPCEncLibrary().Loaded());
  }
}

TEST(MPCOutTest, MissingLibraryOrEncoderIsReportedAndLeavesNoFile) {
  Tools t;
  TTempDir dir;
  const std::string raw = MakeRaw(dir, "in.raw", 16, 2, 44100, 0.2);
  TCodecLibrary& lib = MPCEncLibrary();
  const std::string name = lib.FileName();

  lib.SetFileName("libsonvix-missing-mppenc.so");
  EXPECT_EQ(EncodeWithOurs(raw, dir.Path("a.mpc"), 16, 2, 44100, 5.0f),
            "libsonvix-missing-mppenc.so library could not be loaded.");
  EXPECT_FALSE(FileExists(dir.Path("a.mpc")));

  lib.SetFileName("libm.so.6");
  EXPECT_EQ(EncodeWithOurs(raw, dir.Path("b.mpc"), 16, 2, 44100, 5.0f),
            "Function \"init_static\" not found in MPC encoding library!");
  EXPECT_FALSE(FileExists(dir.Path("b.mpc")));
  EXPECT_FALSE(lib.Loaded());
  lib.SetFileName(name);

  // No mpcenc on the search path: the library cannot initialise.
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", dir.Path("").c_str(), 1);
  const std::string message = EncodeWithOurs(raw, dir.Path("c.mpc"), 16, 2, 44100, 5.0f);
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(message, "Failed to initialize encoder");
  EXPECT_FALSE(FileExists(dir.Path("c.mpc")));
  EXPECT_FALSE(lib.Loaded());

  EXPECT_EQ(EncodeWithOurs(raw, dir.Path("d.mpc"), 16, 2, 44100, 5.0f), "");
  EXPECT_EQ(DeclaredLength(dir.Path("d.mpc")), 8820);
}

TEST(MPCOutTest, AbortEndsTheRunAndStopsTheEncoder) {
  Tools t;
  TTempDir dir;
  const std::string raw = MakeRaw(dir, "long.raw", 16, 2, 44100, 20.0);
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TRawIn(owner.get(), 16, 2, 44100);
  in->SetFileName(raw);

  // Step by step: the aborted step and every later one return false.
  auto* stepped = new TSteppedMPCOut(owner.get());
  stepped->SetFileName(dir.Path("stepped.mpc"));
  stepped->SetInput(in);
  stepped->Prepare();
  EXPECT_TRUE(MPCEncLibrary().Loaded());
  EXPECT_EQ(EncoderChildren().size(), 1u);
  EXPECT_TRUE(stepped->WriteBlock(false));
  EXPECT_TRUE(stepped->WriteBlock(false));
  EXPECT_FALSE(stepped->WriteBlock(true));
  EXPECT_FALSE(stepped->WriteBlock(false));
  stepped->Finish();
  EXPECT_TRUE(EncoderChildren().empty());
  EXPECT_FALSE(MPCEncLibrary().Loaded());

  // On the worker: a stop ends the run quietly.
  auto* out = new TMPCOut(owner.get());
  out->SetFileName(dir.Path("stopped.mpc"));
  out->SetInput(in);
  bool done = false;
  out->OnDone = [&done](TComponent*) { done = true; };
  out->Run();
  ASSERT_TRUE(PumpUntil([out] { return out->Progress() >= 10; }, 60000));
  out->Pause();  // holds the run half-way, whatever the machine's speed
  EXPECT_EQ(EncoderChildren().size(), 1u);
  out->Stop(true);
  ASSERT_TRUE(PumpUntil([&done] { return done; }, 60000));
  EXPECT_EQ(out->ExceptionMessage(), "");
  EXPECT_TRUE(EncoderChildren().empty());
  EXPECT_FALSE(MPCEncLibrary().Loaded());
}

TEST(MPCOutTest, AnEncoderThatDiesIsAnError) {
  Tools t;
  TTempDir dir;
  const std::string raw = MakeRaw(dir, "long.raw", 16, 2, 44100, 60.0);
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TRawIn(owner.get(), 16, 2, 44100);
  in->SetFileName(raw);
  auto* out = new TMPCOut(owner.get());
  out->SetFileName(dir.Path("killed.mpc"));
  out->SetInput(in);
  bool done = false;
  out->OnDone = [&done](TComponent*) { done = true; };
  out->Run();
  std::vector<pid_t> children;
  ASSERT_TRUE(PumpUntil([&children] { return !(children = EncoderChildren()).empty(); }, 60000));
  ASSERT_EQ(kill(children.front(), SIGKILL), 0);
  ASSERT_TRUE(PumpUntil([&done] { return done; }, 60000));
  EXPECT_EQ(out->ExceptionMessage(), "mpcenc was stopped by signal 9.");
}

TEST(MPCOutTest, RunsShareTheLibrary) {
  Tools t;
  TTempDir dir;
  const std::string longRaw = MakeRaw(dir, "long.raw", 16, 2, 44100, 30.0);
  const std::string shortRaw = MakeRaw(dir, "short.raw", 16, 1, 48000, 0.5);
  const std::string badRaw = MakeRaw(dir, "bad.raw", 16, 2, 44100, 0.5);
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* longIn = new TRawIn(owner.get(), 16, 2, 44100);
  longIn->SetFileName(longRaw);
  auto* longOut = new TMPCOut(owner.get());
  longOut->SetFileName(dir.Path("long.mpc"));
  longOut->SetInput(longIn);
  bool longDone = false;
  longOut->OnDone = [&longDone](TComponent*) { longDone = true; };
  longOut->Run();
  ASSERT_TRUE(PumpUntil([longOut] { return longOut->Progress() >= 5; }, 60000));
  longOut->Pause();  // keeps it in the middle of its work

  // Meanwhile others start and end: one whose initialisation fails and frees its hold
  // on the library, and one that completes.
  EXPECT_EQ(EncodeWithOurs(badRaw, dir.Path("bad.mpc"), 16, 2, 44100, 10.5f), "Failed to initialize encoder");
  EXPECT_EQ(EncodeWithOurs(shortRaw, dir.Path("short.mpc"), 16, 1, 48000, 5.0f), "");
  EXPECT_FALSE(longDone);
  EXPECT_TRUE(MPCEncLibrary().Loaded());
  longOut->Resume();

  ASSERT_TRUE(PumpUntil([&longDone] { return longDone; }, 120000));
  EXPECT_EQ(longOut->ExceptionMessage(), "");
  EXPECT_FALSE(MPCEncLibrary().Loaded());
  EXPECT_EQ(DeclaredLength(dir.Path("long.mpc")), 30 * 44100);
  EXPECT_EQ(DeclaredLength(dir.Path("short.mpc")), 24000);
}
