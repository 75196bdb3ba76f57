// TCDIn through libcdrip.so, with CD images made at test time as drives.

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "audio/io/TSL_CDROM.h"
#include "tests/support/CDTestDisc.h"
#include "tests/support/TestComponents.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const char* const ChildVariable = "SONVIX_CDIN_CHILD";

// Runs one test of this program in a new process with Variable set; returns its exit
// status. Exe is the program to run (by default this one).
int RunChild(const std::string& Test, const std::string& Exe = "") {
  const std::string exe = Exe.empty() ? fs::read_symlink("/proc/self/exe").string() : Exe;
  const std::string filter = "--gtest_filter=" + Test;
  char* argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>(filter.c_str()), nullptr};
  setenv(ChildVariable, "1", 1);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ);
  unsetenv(ChildVariable);
  if (rc != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool IsChild() { return std::getenv(ChildVariable) != nullptr; }

std::string InitError(TAuInput& In) {
  try {
    In.Init();
  } catch (const EAuException& E) {
    return E.what();
  }
  In.Flush();
  return "";
}

class CDInTest : public testing::Test {
protected:
  void SetUp() override {
    Dir = MakeTestFolder("cdin");
    ASSERT_FALSE(Dir.empty());
    MakeTestDisc(Dir, Disc);
    NoDisc = (Dir / "nodisc.cue").string();
    std::ofstream(NoDisc) << "not a disc\n";
    setenv("SONVIX_CD_IMAGES", (Disc.Cue + ":" + NoDisc).c_str(), 1);
    // A child works on its parent's settings folder.
    if (IsChild()) return;
    setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
    In.reset(new TCDIn(nullptr));
  }
  void TearDown() override {
    In.reset();
    unsetenv("SONVIX_CD_IMAGES");
    if (!IsChild()) unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(Dir);
  }
  // Rips the input's range with an output on its worker thread.
  std::vector<uint8_t> Rip(TCollectOut& Out) {
    bool done = false;
    Out.OnDone = [&done](TComponent*) { done = true; };
    Out.SetInput(In.get());
    Out.Run();
    EXPECT_TRUE(PumpUntil([&] { return done; }, 60000));
    return Out.Data;
  }
  std::vector<uint8_t> Rip(int32_t Start, int32_t End) {
    In->SetStartTrack(Start);
    In->SetEndTrack(End);
    TComponentPtr<TCollectOut> out(new TCollectOut(nullptr));
    auto data = Rip(*out);
    EXPECT_EQ(out->ExceptionMessage(), "");
    return data;
  }

  fs::path Dir;
  TCDTestDisc Disc;
  std::string NoDisc;
  TComponentPtr<TCDIn> In;
};

TEST_F(CDInTest, DrivesAndTheDisc) {
  EXPECT_EQ(In->DrivesCount(), 2);
  EXPECT_EQ(In->CurrentDrive(), 0);
  EXPECT_EQ(In->DriveName(), Disc.Cue);
  EXPECT_EQ(In->Status(), cdsReady);
  EXPECT_EQ(In->BitsPerSample(), 16);
  EXPECT_EQ(In->Channels(), 2);
  EXPECT_EQ(In->SampleRate(), 44100);
  ASSERT_EQ(In->TracksCount(), 4);
  const struct {
    uint8_t M, S, F;
    TCDTrackType Type;
  } expected[] = {{0, 2, 0, ttAudio}, {0, 1, 45, ttAudio}, {0, 1, 0, ttData}, {0, 1, 15, ttAudio}};
  for (int t = 1; t <= 4; ++t) {
    const TCDTrackInfo info = In->GetTrackInfo(t);
    EXPECT_EQ(info.TrackLength.Minute, expected[t - 1].M) << t;
    EXPECT_EQ(info.TrackLength.Second, expected[t - 1].S) << t;
    EXPECT_EQ(info.TrackLength.Frame, expected[t - 1].F) << t;
    EXPECT_EQ(info.TrackType, expected[t - 1].Type) << t;
  }
  for (int t : {0, 5}) {
    try {
      In->GetTrackInfo(t);
      ADD_FAILURE() << t;
    } catch (const EAuException& E) {
      EXPECT_STREQ(E.what(), "Track out of range.");
    }
  }

  In->SetCurrentDrive(2);  // beyond the drives: ignored
  EXPECT_EQ(In->CurrentDrive(), 0);
  In->SetCurrentDrive(1);
  EXPECT_EQ(In->CurrentDrive(), 1);
  EXPECT_EQ(In->DriveName(), NoDisc);
  EXPECT_EQ(In->Status(), cdsNotReady);
  EXPECT_EQ(In->TracksCount(), -1);
  EXPECT_EQ(InitError(*In), "The drive is not ready");
}

TEST_F(CDInTest, RipsExactlyTheTrackWithPreEmphasis) {
  In->SetStartTrack(2);
  In->SetEndTrack(2);
  // Idle, the size covers one sector more than a run delivers.
  EXPECT_EQ(In->Size(), 121 * 2352);
  EXPECT_EQ(In->TotalSamples(), 121 * 588);
  EXPECT_EQ(In->TotalTime(), 2);
  TComponentPtr<TCollectOut> out(new TCollectOut(nullptr));
  std::atomic<int64_t> busySize{0};
  out->OnBlock = [&](int Block) {
    if (Block == 0) busySize = In->Busy() ? In->Size() : -1;
  };
  EXPECT_EQ(Rip(*out), Disc.Tracks[1]);
  EXPECT_EQ(out->ExceptionMessage(), "");
  EXPECT_EQ(busySize, 120 * 2352);
  EXPECT_FALSE(In->Busy());
  EXPECT_EQ(In->Size(), 121 * 2352);
}

TEST_F(CDInTest, RangesAndTheLastTrack) {
  // The last track runs up to the lead-out.
  EXPECT_EQ(Rip(4, 4), Disc.Tracks[3]);
  std::vector<uint8_t> both = Disc.Tracks[0];
  both.insert(both.end(), Disc.Tracks[1].begin(), Disc.Tracks[1].end());
  EXPECT_EQ(Rip(1, 2), both);
}

TEST_F(CDInTest, RefusesWhatCannotBeRipped) {
  In->SetStartTrack(3);
  In->SetEndTrack(3);
  EXPECT_EQ(InitError(*In), "Trying to rip a data track");
  for (int t : {0, 5}) {
    In->SetStartTrack(t);
    In->SetEndTrack(t);
    EXPECT_EQ(InitError(*In), "The start track out of range") << t;
  }
  In->SetStartTrack(1);
  In->SetEndTrack(5);
  EXPECT_EQ(InitError(*In), "The end track out of range");
  // An end before the start is no range at all.
  In->SetStartTrack(2);
  In->SetEndTrack(0);
  EXPECT_EQ(InitError(*In), "The end track out of range");
  EXPECT_FALSE(In->Busy());
  EXPECT_EQ(In->Size(), 0);
}

TEST_F(CDInTest, ABusyInputRefusesChanges) {
  In->SetStartTrack(1);
  In->SetEndTrack(1);
  TComponentPtr<TCollectOut> out(new TCollectOut(nullptr));
  std::atomic<bool> holding{false}, release{false};
  out->OnBlock = [&](int Block) {
    if (Block != 1) return;
    holding = true;
    while (!release) std::this_thread::yield();
  };
  bool done = false;
  out->OnDone = [&done](TComponent*) { done = true; };
  out->SetInput(In.get());
  out->Run();
  ASSERT_TRUE(PumpUntil([&] { return holding.load(); }));
  for (auto change : {+[](TCDIn& I) { I.SetStartTrack(2); }, +[](TCDIn& I) { I.SetEndTrack(2); },
                      +[](TCDIn& I) { I.Eject(); }}) {
    try {
      change(*In);
      ADD_FAILURE();
    } catch (const EAuException& E) {
      EXPECT_STREQ(E.what(), "The component is busy");
    }
  }
  release = true;
  ASSERT_TRUE(PumpUntil([&] { return done; }));
  EXPECT_EQ(out->Data, Disc.Tracks[0]);
}

TEST_F(CDInTest, AFailedRipIsAnErrorNotAShortTrack) {
  In->SetStartTrack(4);
  In->SetEndTrack(4);
  TComponentPtr<TCollectOut> out(new TCollectOut(nullptr));
  // Before the first read the disc loses the second half of the track.
  out->OnBlock = [&](int Block) {
    if (Block == 0) {
      ASSERT_EQ(truncate(Disc.Bin.c_str(), 390 * 2352), 0);
    }
  };
  const auto data = Rip(*out);
  EXPECT_EQ(out->ExceptionMessage(), "Failed to read audio data from the CD");
  EXPECT_LT(data.size(), Disc.Tracks[3].size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), Disc.Tracks[3].begin()));
}

TEST_F(CDInTest, SettingsFileKeepsWhatItDoesNotKnow) {
  const fs::path ini = Dir / "config" / "sonvix" / "cdr.ini";
  if (IsChild()) {
    TComponentPtr<TCDIn> in(new TCDIn(nullptr));
    EXPECT_EQ(in->TracksCount(), 4);
    return;
  }
  fs::create_directories(ini.parent_path());
  std::ofstream(ini) << "[Other]\nnActive=5\n[CD-ROM]\nnActive=1\nnSpeed=4\n";
  ASSERT_EQ(RunChild("CDInTest.SettingsFileKeepsWhatItDoesNotKnow"), 0);
  std::ifstream in(ini);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "[Other]\nnActive=5\n[CD-ROM]\nnActive=0\nnSpeed=4\n");
  // The next start finds the file as it wants it and writes nothing.
  const auto stamp = [&ini] {
    struct stat st {};
    EXPECT_EQ(stat(ini.c_str(), &st), 0);
    return std::to_string(st.st_ino) + "/" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec);
  };
  const std::string written = stamp();
  ASSERT_EQ(RunChild("CDInTest.SettingsFileKeepsWhatItDoesNotKnow"), 0);
  EXPECT_EQ(stamp(), written);

  // A settings file that cannot be written is no reason to fail.
  fs::remove(ini);
  fs::create_directories(ini);
  EXPECT_EQ(RunChild("CDInTest.SettingsFileKeepsWhatItDoesNotKnow"), 0);
}

TEST_F(CDInTest, AMissingLibraryIsReported) {
  if (IsChild()) {
    try {
      TComponentPtr<TCDIn> in(new TCDIn(nullptr));
      ADD_FAILURE() << "loaded";
    } catch (const EAuException& E) {
      EXPECT_STREQ(E.what(), "libcdrip.so library could not be loaded.");
    }
    return;
  }
  // A copy of this program in a folder without the library.
  const fs::path exe = Dir / "alone";
  fs::copy_file(fs::read_symlink("/proc/self/exe"), exe);
  EXPECT_EQ(RunChild("CDInTest.AMissingLibraryIsReported", exe.string()), 0);
}

}  // namespace
