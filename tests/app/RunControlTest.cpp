// Run control: abort, pause and resume, failed entries, what Start refuses, sizes the
// sources do not tell, and the time display on the timers' test clock.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "audio/codecs/mp3/TSL_LAME.h"
#include "audio/io/TSL_Converters.h"
#include "platform/gui/ExtCtrls.h"
#include "tests/app/RunWindow.h"
#include "tests/support/AudioSources.h"
#include "tests/support/Files.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

class RunControlTest : public testing::Test {
protected:
  RunControlTest() : W(Out.Root()) {}

  std::string Source(const std::string& Name, double Seconds) { return MakeWave(In.Path(Name), 44100, 2, Seconds); }
  std::vector<std::string> Made() const { return FilesBelow(Out.Root()); }
  std::vector<bool> Ticks() const {
    std::vector<bool> r;
    for (int32_t i = 0; i < W.Files->Count(); ++i) r.push_back(W.View->Items()->Item(i)->Checked());
    return r;
  }
  bool WaitPaused() {
    return ProcessEventsUntil([this] { return W.Out->Output() && W.Out->Output()->Status() == asPaused; }, 60000);
  }

  TTempDir In, Out;
  TRunWindow W;
};

// The nice values of this process's threads.
std::vector<int> ThreadNices() {
  std::vector<int> r;
  for (const auto& t : fs::directory_iterator("/proc/self/task")) {
    std::ifstream f(t.path() / "stat");
    std::string stat((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 19 && fields >> field; ++i)
      if (i == 19) r.push_back(std::stoi(field));
  }
  return r;
}

bool Contains(const std::vector<int>& V, int X) { return std::find(V.begin(), V.end(), X) != V.end(); }

TEST_F(RunControlTest, AbortDeletesOnlyTheUnfinishedFileAndTheListStaysLockedUntilThen) {
  W.Files->AddFiles({Source("a.wav", 0.5), Source("b.wav", 30)});
  // A file of the second entry's name is there already; the run writes "b(1).flac".
  WriteFile(Out.Path("b.flac"), std::string("keep me"));
  W.Out->SetFormat(outFLAC);
  W.Out->SetPriority(2);
  ASSERT_TRUE(W.StartAndWait([this] { return W.Out->Position() == 2; }));
  W.Out->Pause();
  ASSERT_TRUE(WaitPaused());
  // The unfinished file has no name the user could take for a finished one.
  EXPECT_FALSE(fs::exists(Out.Path("b(1).flac")));
  ASSERT_EQ(RunTemporaries(Out.Path("b(1).flac")).size(), 1u);
  EXPECT_TRUE(Contains(ThreadNices(), 10));  // "Low"

  // Nothing can move an entry under the run.
  const std::string extra = Source("c.wav", 0.2);
  EXPECT_THROW(W.Files->AddFiles({extra}), EListLocked);
  EXPECT_THROW(W.Files->AddFolder(In.Root(), true), EListLocked);
  EXPECT_THROW(W.Files->Delete(0), EListLocked);
  EXPECT_THROW(W.Files->MoveItemDown(0), EListLocked);
  EXPECT_THROW(W.Files->Clear(), EListLocked);
  W.View->Items()->Item(1)->SetChecked(false);
  EXPECT_THROW(W.Out->Start(W.Files.get()), EInvalidOperation);
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, true}));
  EXPECT_EQ(W.Captions(), (std::vector<std::string>{"a.wav", "b.wav"}));

  W.Out->Stop();
  EXPECT_FALSE(W.Out->Running());
  EXPECT_EQ(W.Out->Output(), nullptr);
  EXPECT_FALSE(W.Out->Timer()->Enabled());
  EXPECT_EQ(Made(), (std::vector<std::string>{"a.flac", "b.flac"}));
  EXPECT_EQ(ReadFileAsString(Out.Path("b.flac")), "keep me");
  Shell("flac -t -s " + Quote(Out.Path("a.flac")));
  EXPECT_EQ(W.FilesDone, 1);
  EXPECT_EQ(W.AllDone, 0);
  // Unlocked again.
  EXPECT_TRUE(W.Files->AddFiles({extra}));
  EXPECT_EQ(W.Files->Count(), 3);
}

// The output folder and the parents the run made for it go when the run leaves nothing
// there; a folder that was there before stays, and so does the parent above.
TEST_F(RunControlTest, FoldersTheRunMadeGoWhenItWroteNothingThereAndThoseThatWereThereStay) {
  W.Files->AddFiles({Source("long.wav", 30), MakeWave(In.Path("six.wav"), 44100, 6, 0.2)});
  ASSERT_EQ(W.Files->Count(), 2);
  W.Out->SetFormat(outMusepack);  // which refuses six channels
  const std::string dir = Out.Path("new/deeper");
  W.Out->SetOutputDir(dir);
  const struct {
    const char* Case;
    bool Abort;    // else the only entry fails
    bool Existed;  // the output folder was there before the run
  } cases[] = {{"aborted, new folders", true, false},
               {"aborted, a folder that was there", true, true},
               {"failed, new folders", false, false},
               {"failed, a folder that was there", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    if (c.Existed) fs::create_directories(dir);
    W.View->Items()->Item(0)->SetChecked(c.Abort);
    W.View->Items()->Item(1)->SetChecked(!c.Abort);
    if (c.Abort) {
      ASSERT_TRUE(W.StartAndWait([&] { return RunTemporaries(dir + "/long.mpc").size() == 1; }));
      W.Out->Pause();
      ASSERT_TRUE(WaitPaused());
      W.Out->Stop();
    } else {
      TDialogScript script;
      script.Answer(IDOK);
      ASSERT_TRUE(W.Convert());
      EXPECT_EQ(script.Requests().size(), 1u);
    }
    EXPECT_EQ(fs::is_directory(dir), c.Existed);
    EXPECT_EQ(fs::is_directory(Out.Path("new")), c.Existed);
    EXPECT_TRUE(fs::is_directory(Out.Root()));
    EXPECT_EQ(Made(), std::vector<std::string>{});
    fs::remove_all(Out.Path("new"));
  }
}

TEST_F(RunControlTest, AFileThatTakesTheNameDuringTheRunIsKeptAndTheEntryFails) {
  W.Files->AddFiles({Source("a.wav", 30)});
  W.Out->SetFormat(outFLAC);
  ASSERT_TRUE(W.StartAndWait([this] { return W.Out->Position() == 1; }));
  W.Out->Pause();
  ASSERT_TRUE(WaitPaused());
  WriteFile(Out.Path("a.flac"), std::string("not ours"));
  TDialogScript script;
  script.Answer(IDOK);
  W.Out->Resume();
  ASSERT_TRUE(ProcessEventsUntil([this] { return !W.Out->Running(); }, 120000));
  ASSERT_EQ(script.Requests().size(), 1u);
  EXPECT_EQ(script.Requests()[0].Text, "1 file(s) could not be converted:\na.wav: Cannot save \"" + Out.Path("a.flac") +
                                           "\": another file took that name during the conversion");
  EXPECT_EQ(Made(), std::vector<std::string>{"a.flac"});
  EXPECT_EQ(ReadFileAsString(Out.Path("a.flac")), "not ours");
}

TEST_F(RunControlTest, PausedAndResumedRunsGiveTheSameAudioAndNeverOverwrite) {
  const std::string source = Source("song.wav", 8);
  W.Files->AddFiles({source});
  W.Out->SetFormat(outWavPack);
  W.Out->SetNormalize(false);
  ASSERT_TRUE(W.Convert());
  ASSERT_EQ(Made(), std::vector<std::string>{"song.wv"});

  W.Files->SetChecked(0, true);
  W.Out->SetPriority(0);
  ASSERT_TRUE(W.Out->Start(W.Files.get()));
  // The first pause comes before the first block; later ones wherever the run is (it
  // may end in between).
  W.Out->Pause();
  ASSERT_TRUE(WaitPaused());
  const std::vector<int> nices = ThreadNices();
  for (int i = 0; i < 3 && W.Out->Running(); ++i) {
    W.Out->Resume();
    const auto status = [this](TAuOutputStatus S) {
      return ProcessEventsUntil([this, S] { return !W.Out->Running() || W.Out->Output()->Status() != S; }, 60000);
    };
    ASSERT_TRUE(status(asPaused));
    if (!W.Out->Running()) break;
    W.Out->Pause();
    ASSERT_TRUE(status(asWorking));
  }
  W.Out->Resume();
  ASSERT_TRUE(ProcessEventsUntil([this] { return W.AllDone == 2; }));
  // "High": nice -5 where the system allows it, else the thread stays at 0.
  if (geteuid() == 0) {
    EXPECT_TRUE(Contains(nices, -5));
  } else {
    EXPECT_FALSE(Contains(nices, -5));
  }
  ASSERT_EQ(Made(), (std::vector<std::string>{"song(1).wv", "song.wv"}));

  const std::vector<uint8_t> pcm = FfmpegDecode(source);
  EXPECT_EQ(FfmpegDecode(Out.Path("song.wv")), pcm);
  EXPECT_EQ(FfmpegDecode(Out.Path("song(1).wv")), pcm);
}

TEST_F(RunControlTest, FailedEntriesAreReportedStayTickedLeaveNoFileAndTheRunGoesOn) {
  const std::string flac = In.Path("whole.flac");
  Shell("flac -s -o " + Quote(flac) + " " + Quote(Source("whole.wav", 2)));
  CutFile(flac, In.Path("2 cut.flac"), 0.5);
  W.Files->AddFiles({Source("1 good.wav", 0.3), In.Path("2 cut.flac"), Source("3 blocked.wav", 0.3),
                     Source("4 good.wav", 0.3)});
  ASSERT_EQ(W.Files->Count(), 4);
  // The second entry fails in a folder the run makes inside one that was there
  // before; the third entry's folder cannot be made: a file has its name.
  W.Files->Entries(1).CurrentTags.Artist = "Before";
  W.Files->Entries(1).CurrentTags.Album = "Made";
  fs::create_directory(Out.Path("Before"));
  W.Files->Entries(2).CurrentTags.Artist = "Blocked";
  WriteFile(Out.Path("Blocked"), std::string("in the way"));
  W.Out->SetFormat(outWave);
  W.Out->SetFileNamePattern(7);

  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    TDialogScript script;
    script.Answer(IDOK);
    ASSERT_TRUE(W.Convert());
    ASSERT_EQ(script.Requests().size(), 1u);
    const TDialogRequest& r = script.Requests()[0];
    EXPECT_EQ(r.Caption, "Error");
    EXPECT_EQ(r.Icon(), uint32_t(MB_ICONWARNING));
    const std::vector<std::string> lines = Lines(r.Text);
    ASSERT_EQ(lines.size(), 3u) << r.Text;
    EXPECT_EQ(lines[0], "2 file(s) could not be converted:");
    // The engine's own message for the cut file.
    EXPECT_TRUE(std::regex_match(lines[1], std::regex("2 cut\\.flac: .*2 cut\\.flac.*"))) << lines[1];
    EXPECT_EQ(lines[2], "3 blocked.wav: Cannot create directory " + Out.Path("Blocked/"));
    EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(Made(), (std::vector<std::string>{"1 good.wav", "4 good.wav", "Blocked"}));
    EXPECT_TRUE(fs::is_directory(Out.Path("Before")) && fs::is_empty(Out.Path("Before")));
    // One ding for the first entry; the second run, in which everything fails, still ends.
    EXPECT_EQ(W.FilesDone, 1);
    EXPECT_EQ(W.AllDone, run);
    EXPECT_FALSE(W.Files->Locked());
  }
}

TEST_F(RunControlTest, ASourceTheFormatCannotHoldFailsItsEntryBeforeAnyFolderOrFileIsMade) {
  W.Files->AddFiles({MakeWave(In.Path("six.wav"), 44100, 6, 0.3), Source("two.wav", 0.3)});
  ASSERT_EQ(W.Files->Count(), 2);
  // Each entry gets a folder of its own.
  W.Files->Entries(0).CurrentTags.Artist = "Six";
  W.Files->Entries(1).CurrentTags.Artist = "Two";
  W.Out->SetFormat(outMusepack);
  W.Out->SetFileNamePattern(5);
  TDialogScript script;
  script.Answer(IDOK);
  ASSERT_TRUE(W.Convert());
  ASSERT_EQ(script.Requests().size(), 1u);
  EXPECT_EQ(
      script.Requests()[0].Text,
      "1 file(s) could not be converted:\nsix.wav: A Musepack file holds one or two channels; the source has 6.");
  EXPECT_EQ(Made(), std::vector<std::string>{"Two/two.mpc"});
  EXPECT_FALSE(fs::exists(Out.Path("Six")));
  const TAudioFacts facts = ProbeAudio(Out.Path("Two/two.mpc"));
  EXPECT_EQ(facts.Channels, 2);
  EXPECT_GT(facts.Frames, 0);
}

// The summary names as many failed files as its box shows whole on the screen and
// ends with how many more: the screen never cuts that count off. Here each file's line
// wraps twice in the box.
TEST_F(RunControlTest, TheFailureSummaryNamesWhatTheScreenShowsAndCountsTheRest) {
  const std::string source = Source("source.wav", 0.05);
  const auto caption = [](int I) {
    return (I < 10 ? "0" : "") + std::to_string(I) +
           " - a song whose title goes on and on and on, so that its line in the summary of the run wraps more than "
           "once.wav";
  };
  std::vector<std::string> sources;
  for (int i = 1; i <= 30; ++i) {
    sources.push_back(In.Path(caption(i)));
    fs::copy_file(source, sources.back());
  }
  W.Files->AddFiles(sources);
  ASSERT_EQ(W.Files->Count(), 30);
  for (int32_t i = 0; i < 30; ++i) W.Files->Entries(i).CurrentTags.Artist = "Blocked";
  WriteFile(Out.Path("Blocked"), std::string("in the way"));
  W.Out->SetFormat(outWave);
  W.Out->SetFileNamePattern(5);
  TMessageBoxWatch boxes;
  ASSERT_TRUE(W.Convert());
  ASSERT_EQ(boxes.Shown().size(), 1u);
  const TMessageBoxWatch::TShown& box = boxes.Shown()[0];
  const std::vector<std::string> lines = Lines(box.Text);
  ASSERT_GE(lines.size(), 4u) << box.Text;
  EXPECT_EQ(lines[0], "30 file(s) could not be converted:");
  EXPECT_EQ(lines[1], caption(1) + ": Cannot create directory " + Out.Path("Blocked/"));
  EXPECT_EQ(lines.back(), "and " + std::to_string(30 - (lines.size() - 2)) + " more");
  EXPECT_TRUE(box.OnScreen);
  // The names take the screen's height, not a fixed number of lines.
  EXPECT_GT(box.FrameHeight * 2, box.AreaHeight);
}

TEST_F(RunControlTest, StartRefusesWhatCannotRunAndLeavesNoRunBehind) {
  W.Files->AddFiles({Source("a.wav", 0.2)});
  WriteFile(Out.Path("file"), std::string("x"));
  const struct {
    const char* Case;
    std::function<void()> Arrange;
    const char* Caption;
    std::string Text;
  } cases[] = {
      {"nothing ticked", [this] { W.View->Items()->Item(0)->SetChecked(false); }, "Nothing is checked for conversion",
       "Only checked list items can be converted. Please check any file in the list above"},
      {"relative folder", [this] { W.Out->SetOutputDir("music/out"); }, "Error",
       "The output directory \"music/out\" is not a full path."},
      {"folder under a file", [this] { W.Out->SetOutputDir(Out.Path("file/sub")); }, "Error",
       "Cannot create directory " + Out.Path("file/sub")},
      {"codec library missing", [this] { W.Out->SetFormat(outMP3); }, "Error",
       "libsonvix-missing.so library could not be loaded."},
  };
  TLibraryName missing(LameLibrary(), "libsonvix-missing.so");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    W.View->Items()->Item(0)->SetChecked(true);
    W.Out->SetOutputDir(Out.Root());
    W.Out->SetFormat(outWave);
    c.Arrange();
    TDialogScript script;
    script.Answer(IDOK);
    EXPECT_FALSE(W.Out->Start(W.Files.get()));
    ASSERT_EQ(script.Requests().size(), 1u);
    EXPECT_EQ(script.Requests()[0].Caption, c.Caption);
    EXPECT_EQ(script.Requests()[0].Text, c.Text);
    EXPECT_FALSE(W.Out->Running());
    EXPECT_EQ(W.Out->Output(), nullptr);
    EXPECT_FALSE(W.Files->Locked());
  }
  EXPECT_EQ(Made(), std::vector<std::string>{"file"});
}

TEST_F(RunControlTest, SourcesOfUnknownOrNoLengthKeepTheBarsInRange) {
  // A FLAC stream that does not tell its length, one that tells far more than its file
  // can hold (2^36 - 1 samples), a WAV file without audio, and one with audio, whose
  // progress shows the bytes of those before it.
  const std::string flac = In.Path("unknown.flac");
  Shell("flac -s -o " + Quote(flac) + " " + Quote(Source("unknown.wav", 3)));
  std::vector<uint8_t> b = ReadFile(flac);
  b[21] |= 0x0F;
  std::fill(b.begin() + 22, b.begin() + 26, 0xFF);
  WriteFile(In.Path("absurd.flac"), b);
  b[21] &= 0xF0;
  std::fill(b.begin() + 22, b.begin() + 26, 0);
  WriteFile(flac, b);
  Shell("sox -n -r 44100 -c 2 -b 16 " + Quote(In.Path("empty.wav")) + " trim 0 0");
  W.Files->AddFiles({flac, In.Path("absurd.flac"), In.Path("empty.wav"), Source("known.wav", 1)});
  ASSERT_EQ(W.Files->Count(), 4);
  for (int32_t i = 0; i < 3; ++i) EXPECT_GT(W.Files->Entries(i).DataSize, 0);
  // The absurd length is taken for what it is: none.
  EXPECT_EQ(W.Files->Entries(1).DataSize, W.Files->Entries(0).DataSize);
  EXPECT_EQ(W.View->Items()->Item(1)->SubItems()->Strings(0), W.View->Items()->Item(0)->SubItems()->Strings(0));

  W.Out->SetFormat(outWave);
  TDialogScript script;
  script.Answer(IDOK);
  ASSERT_TRUE(W.Convert());
  ASSERT_EQ(script.Requests().size(), 1u);
  EXPECT_NE(script.Requests()[0].Text.find("absurd.flac"), std::string::npos) << script.Requests()[0].Text;
  EXPECT_NE(script.Requests()[0].Text.find("empty.wav: The source holds no audio; no file is made."), std::string::npos)
      << script.Requests()[0].Text;
  EXPECT_FALSE(W.Percents.empty());
  for (int p : W.Percents) EXPECT_TRUE(p >= 0 && p <= 100) << p;
  EXPECT_EQ(W.LblRemT->Caption(), "0:00:00");
  EXPECT_EQ(ProbeAudio(Out.Path("unknown.wav")).Frames, 3 * 44100);
  // Its header is damaged: the audio that is there does not pass for the whole.
  EXPECT_FALSE(fs::exists(Out.Path("absurd.wav")));
  // Nothing passes for a conversion of a source without audio.
  EXPECT_FALSE(fs::exists(Out.Path("empty.wav")));
  EXPECT_EQ(ProbeAudio(Out.Path("known.wav")).Frames, 44100);
}

TEST_F(RunControlTest, TimesRunOnTheMonotonicClockAndAbortWhileNormalisingLeavesNothing) {
  TTempDir data;
  setenv("XDG_DATA_HOME", data.Root().c_str(), 1);
  W.Files->AddFiles({Source("long.wav", 60)});
  // The run makes the entry's folder; aborted, the entry leaves it behind no more.
  W.Files->Entries(0).CurrentTags.Artist = "LongArtist";
  W.Out->SetFileNamePattern(5);
  W.Out->SetFormat(outWave);
  ASSERT_TRUE(W.Out->Start(W.Files.get()));
  EXPECT_TRUE(fs::is_directory(Out.Path("LongArtist")));
  // No event is handled from here on: the worker's notifications wait, and only the
  // test clock moves the timer.
  EXPECT_EQ(W.LblInfo->Caption(), "Normalizing - \"long.wav\"");
  EXPECT_TRUE(W.Out->Timer()->Enabled());
  TTimer::Advance(500);
  EXPECT_EQ(W.LblInfo->Caption(), "  Normalizing - \"long.wav\"");
  EXPECT_EQ(W.LblElapT->Caption(), "0:00:00");
  TTimer::Advance(500);
  EXPECT_EQ(W.LblInfo->Caption(), "Normalizing - \"long.wav\"");
  EXPECT_EQ(W.LblElapT->Caption(), "0:00:01");
  // An hour in pause does not count.
  W.Out->Pause();
  TTimer::Advance(3600 * 1000);
  EXPECT_EQ(W.LblElapT->Caption(), "0:00:01");
  W.Out->Resume();
  TTimer::Advance(3724 * 1000);
  EXPECT_EQ(W.LblElapT->Caption(), "1:02:05");
  EXPECT_TRUE(std::regex_match(W.LblRemT->Caption(), std::regex("[0-9]+:[0-5][0-9]:[0-5][0-9]")));

  W.Out->Stop();
  EXPECT_FALSE(W.Out->Running());
  EXPECT_EQ(W.Out->Output(), nullptr);
  EXPECT_FALSE(W.Out->Timer()->Enabled());
  EXPECT_EQ(W.LblInfo->Caption(), "");
  EXPECT_EQ(W.PrgTotal->Percent(), 0);
  EXPECT_TRUE(fs::is_empty(Out.Root()));
  TTimer::Advance(2000);
  Application->ProcessMessages();
  EXPECT_EQ(W.LblElapT->Caption(), "1:02:05");
  EXPECT_EQ(W.LblInfo->Caption(), "");
  EXPECT_EQ(W.AllDone, 0);
  // The next run starts from nothing, not from the last one's times.
  ASSERT_TRUE(W.Out->Start(W.Files.get()));
  EXPECT_EQ(W.LblElapT->Caption(), "0:00:00");
  EXPECT_EQ(W.LblRemT->Caption(), "0:00:00");
  W.Out->Stop();
  // The normaliser's store went with the run.
  for (const auto& f : fs::recursive_directory_iterator(data.Root())) EXPECT_FALSE(f.is_regular_file()) << f.path();
  unsetenv("XDG_DATA_HOME");
}

}  // namespace
