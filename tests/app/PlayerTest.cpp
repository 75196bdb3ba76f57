// The preview player and the "Audio CD" page of the main window, driven by their
// controls: files and CD tracks heard through the sound layer's fake device, the
// button states, wrapping, the position label, the end of a preview, the drive list,
// the CD timer on the test clock, the tray of each drive, and no preview during a run.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>

#include "app/UFileList.h"
#include "app/UOutput.h"
#include "audio/io/TSL_CDROM.h"
#include "audio/io/TSL_DXAudio.h"
#include "platform/gui/ExtCtrls.h"
#include "tests/app/MainWindow.h"
#include "tests/support/AudioSources.h"
#include "tests/support/Tools.h"
#include "widgets/KvBtnEdt.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvListVw.h"
#include "widgets/KvTabs.h"

using namespace testsupport;

namespace {

// Play, Pause, Stop, Previous, Next.
using TButtons = std::array<bool, 5>;
constexpr TButtons Playing{false, true, true, true, true};
constexpr TButtons Paused{true, false, true, true, true};
constexpr TButtons Stopped{true, false, false, false, false};
constexpr TButtons NoneEnabled{false, false, false, false, false};

// Two image drives: B holds a data track and two audio tracks, A no disc yet. B comes
// first, so a drive taken by no index at all would be B.
class PlayerTest : public testing::Test {
protected:
  void SetUp() override {
    WriteFile(DiscA.Path("disc.cue"), std::string("no disc yet\n"));
    ImageB = MakeCdImage(DiscB.Root(), {{false, 75}, {true, 150}, {true, 120}});
    setenv("SONVIX_CD_IMAGES", (ImageB.Cue + ":" + DiscA.Path("disc.cue")).c_str(), 1);
  }
  void TearDown() override {
    unsetenv("SONVIX_CD_IMAGES");
    unsetenv("SONVIX_CD_TRAY_LOG");
  }

  TButtons Buttons(TMainWindow& W) const {
    TButtons b;
    const char* const names[] = {"BtnPPlay", "BtnPPause", "BtnPStop", "BtnPPrew", "BtnPNext"};
    for (size_t i = 0; i < b.size(); ++i) b[i] = W.Enabled(names[i]);
    return b;
  }
  TKvListView* View(TMainWindow& W, bool CD) { return W.Find<TKvListView>(CD ? "LstRip" : "LstConv"); }
  void ClickItem(TMainWindow& W, bool CD, int32_t Index, bool Double = false) {
    const TRect r = View(W, CD)->Items()->Item(Index)->DisplayRect(drLabel);
    const int32_t x = (r.Left + r.Right) / 2, y = (r.Top + r.Bottom) / 2;
    if (Double)
      MouseDoubleClick(View(W, CD), x, y);
    else
      MouseClick(View(W, CD), x, y);
  }
  std::vector<std::string> Captions(TMainWindow& W) {
    std::vector<std::string> r;
    for (int32_t i = 0; i < View(W, true)->Items()->Count(); ++i) r.push_back(View(W, true)->Items()->Item(i)->Caption());
    return r;
  }
  void ShowCdPage(TMainWindow& W) { W.Find<TKvPageControl>("PageSource")->SetActivePageIndex(0); }
  // The seconds the position label shows.
  int32_t LabelSeconds(TMainWindow& W) {
    const std::string text = W.Find("LblPos")->Caption();
    const size_t colon = text.find(':');
    return colon == std::string::npos ? -1 : std::stoi(text.substr(0, colon)) * 60 + std::stoi(text.substr(colon + 1));
  }
  uint32_t HeardRate() const { return Folders.Sound->LastFormat().nSamplesPerSec; }
  // The players open their streams on their own threads.
  bool StreamOpenedSince(int Before) {
    return ProcessEventsUntil([&] { return Folders.Sound->StreamsOpened() > Before; });
  }
  // Seconds the fake device has played at BytesPerSecond since it had played Since bytes.
  double HeardSeconds(size_t Since, int BytesPerSecond) const {
    return static_cast<double>(Folders.Sound->PlayedBytes() - Since) / BytesPerSecond;
  }
  bool HearFor(double Seconds, int BytesPerSecond) {
    const size_t start = Folders.Sound->PlayedBytes();
    return ProcessEventsUntil([&] { return HeardSeconds(start, BytesPerSecond) >= Seconds; });
  }
  // 16-bit mono files long enough that no step reaches their end, each at its own rate.
  std::vector<std::string> LongFiles(int Count) {
    std::vector<std::string> r;
    for (int i = 0; i < Count; ++i) r.push_back(MakeWave(In.Path(std::to_string(i) + ".wav"), Rates[i], 1, 120));
    return r;
  }

  static constexpr int32_t DriveB = 1, DriveA = 2;  // their items in the drive list
  static constexpr int Rates[] = {8000, 11025, 16000};
  static constexpr int CDBytesPerSecond = 44100 * 4;
  TAppFolders Folders;
  TTempDir In, Out, DiscA, DiscB;
  TCdImage ImageB;
};

TEST_F(PlayerTest, TheButtonsFollowPlayPauseResumeAndStopOnBothPages) {
  TMainWindow w;
  EXPECT_EQ(Buttons(w), NoneEnabled);
  EXPECT_FALSE(w.Enabled("SpnMove"));
  w.AddFiles(LongFiles(1));
  // The CD page: drive B, whose long track is made here.
  auto* pages = w.Find<TKvPageControl>("PageSource");
  ShowCdPage(w);
  EXPECT_EQ(Buttons(w), NoneEnabled);
  ImageB = MakeCdImage(DiscB.Root(), {{true, 75 * 60}, {true, 75}});
  w.Choose("CmbDrive", DriveB);
  ASSERT_EQ(Captions(w), (std::vector<std::string>{"Track 1", "Track 2"}));
  EXPECT_TRUE(w.Enabled("SpnMove"));

  const auto state = [&](bool CD) -> int {
    if (CD) {
      const TCDStatus s = w.Form->CDPreview()->Status();
      return s == cdsPlaying ? 0 : s == cdsPaused ? 1 : 2;
    }
    return w.Form->AudioOut()->Status();
  };
  const struct {
    const char* Button;
    TButtons Expected;
    int Status;  // 0 playing, 1 paused, 2 stopped
    bool NewStream;
  } steps[] = {{"BtnPPlay", Playing, 0, true},  {"BtnPPause", Paused, 1, false}, {"BtnPPlay", Playing, 0, false},
               {"BtnPPause", Paused, 1, false}, {"BtnPStop", Stopped, 2, false}, {"BtnPPlay", Playing, 0, true},
               {"BtnPStop", Stopped, 2, false}};
  for (bool cd : {true, false}) {
    pages->SetActivePageIndex(cd ? 0 : 2);
    EXPECT_EQ(Buttons(w), Stopped);
    for (const auto& s : steps) {
      SCOPED_TRACE(std::string(cd ? "CD " : "file ") + s.Button);
      const int streams = Folders.Sound->StreamsOpened();
      w.Click(s.Button);
      EXPECT_EQ(Buttons(w), s.Expected);
      EXPECT_EQ(state(cd), s.Status);
      if (s.NewStream) {
        ASSERT_TRUE(StreamOpenedSince(streams));
      }
      EXPECT_EQ(Folders.Sound->StreamsOpened(), streams + (s.NewStream ? 1 : 0));
      EXPECT_EQ(HeardRate(), cd ? 44100u : uint32_t(Rates[0]));
      if (s.Status == 0) {
        // It plays on while the label counts; a paused one stays put.
        ASSERT_TRUE(HearFor(1.5, cd ? CDBytesPerSecond : 2 * Rates[0]));
        TTimer::Advance(1000);
        EXPECT_GE(LabelSeconds(w), 1);
      } else {
        const size_t heard = Folders.Sound->PlayedBytes();
        TTimer::Advance(1000);
        EXPECT_EQ(Folders.Sound->PlayedBytes(), heard);
        EXPECT_EQ(w.Find("LblPos")->Caption().empty(), s.Status == 2);
      }
    }
  }
}

TEST_F(PlayerTest, PreviousAndNextWrapFromThePlayingEntryWhichTheLabelFollows) {
  TMainWindow w;
  w.AddFiles(LongFiles(3));
  ClickItem(w, false, 2);
  const size_t start = Folders.Sound->PlayedBytes();
  w.Click("BtnPPlay");
  ASSERT_TRUE(StreamOpenedSince(0));
  ASSERT_EQ(HeardRate(), uint32_t(Rates[2]));
  ASSERT_TRUE(HearFor(3, 2 * Rates[2]));
  // Another item selected while it plays: the label still tells the playing file's time.
  ClickItem(w, false, 0);
  w.Click("BtnPPause");
  const double heard = HeardSeconds(start, 2 * Rates[2]);
  TTimer::Advance(1000);
  EXPECT_NEAR(LabelSeconds(w), heard, 1.0);
  EXPECT_EQ(w.Form->FileList()->CurrentIndex(), 2);

  // From the playing entry (2, although 0 is selected), round the ends; a double click
  // plays the item clicked.
  const struct {
    std::function<void()> Act;
    int32_t Index;
  } steps[] = {{[&] { w.Click("BtnPNext"); }, 0},
               {[&] { w.Click("BtnPPrew"); }, 2},
               {[&] { w.Click("BtnPPrew"); }, 1},
               {[&] { ClickItem(w, false, 2, true); }, 2},
               {[&] { w.Click("BtnPNext"); }, 0}};
  for (const auto& s : steps) {
    SCOPED_TRACE(s.Index);
    const int streams = Folders.Sound->StreamsOpened();
    s.Act();
    EXPECT_EQ(w.Form->FileList()->CurrentIndex(), s.Index);
    EXPECT_EQ(View(w, false)->ItemIndex(), s.Index);
    ASSERT_TRUE(StreamOpenedSince(streams));
    EXPECT_EQ(HeardRate(), uint32_t(Rates[s.Index]));
    EXPECT_EQ(w.Form->AudioOut()->Status(), asWorking);
    EXPECT_EQ(Buttons(w), Playing);
  }
}

TEST_F(PlayerTest, APreviewIsHeardToItsEndAndThenStops) {
  TMainWindow w;
  const std::string wave = MakeWave(In.Path("short.wav"), 8000, 1, 30);
  w.AddFiles({wave});
  const std::vector<uint8_t> pcm = FfmpegDecode(wave);
  // CD: the first entry is track 2 (track 1 is data), played by its number.
  const struct {
    bool CD;
    std::vector<uint8_t> Pcm;
  } cases[] = {{false, pcm}, {true, ImageB.Bytes[1]}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.CD ? "CD" : "file");
    if (c.CD) {
      ShowCdPage(w);
      w.Choose("CmbDrive", DriveB);
      ASSERT_EQ(Captions(w), (std::vector<std::string>{"Track 2", "Track 3"}));
    }
    const size_t before = Folders.Sound->PlayedBytes();
    w.Click("BtnPPlay");
    // The position timer ticks on while it plays, also once all was read (the output's
    // buffer is still to be heard), and stops the player once it is heard.
    if (!c.CD) {
      ASSERT_TRUE(ProcessEventsUntil([&] { return w.Form->AudioOut()->Progress() == 100; }));
    }
    ASSERT_TRUE(ProcessEventsUntil([&] {
      TTimer::Advance(1000);
      return Buttons(w) == Stopped;
    }));
    EXPECT_EQ(c.CD ? w.Form->CDPreview()->Status() == cdsReady : w.Form->AudioOut()->Status() == asIdle, true);
    EXPECT_EQ(w.Find("LblPos")->Caption(), "");
    const std::vector<uint8_t> all = Folders.Sound->Played();
    const std::vector<uint8_t> heard(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    ASSERT_GE(heard.size(), c.Pcm.size());
    EXPECT_TRUE(std::equal(c.Pcm.begin(), c.Pcm.end(), heard.begin()));
  }
}

TEST_F(PlayerTest, APreviewThatCannotBeHeardSaysWhy) {
  // A device that is listed but cannot be opened (another program holds it).
  struct TBusyDevice : TDSFakeBackend {
    HRESULT OpenStream(const std::string&, const WAVEFORMATEX&, std::unique_ptr<TDSStream>&) override {
      return DSERR_NODRIVER;
    }
  };
  DirectSoundSetBackend(std::make_shared<TBusyDevice>());
  TMainWindow w;
  const std::string wave = MakeWave(In.Path("tone.wav"), 8000, 1, 30);
  w.AddFiles({wave});
  for (bool cd : {false, true}) {
    SCOPED_TRACE(cd ? "CD" : "file");
    if (cd) {
      ShowCdPage(w);
      w.Choose("CmbDrive", DriveB);
    }
    TDialogScript script;
    script.Answer(IDOK);
    w.Click("BtnPPlay");
    ASSERT_TRUE(ProcessEventsUntil([&] {
      return cd ? w.Form->CDPreview()->Status() == cdsReady : !w.Form->AudioOut()->Busy();
    }));
    TTimer::Advance(1000);
    EXPECT_EQ(Buttons(w), Stopped);
    EXPECT_EQ(w.Find("LblPos")->Caption(), "");
    ASSERT_EQ(script.Requests().size(), 1u);
    EXPECT_EQ(script.Requests()[0].Caption, "Error");
    EXPECT_EQ(script.Requests()[0].Text, "\"" + (cd ? std::string("Track 2") : wave) +
                                             "\" could not be played (Failed to create DirectSound buffer88780078).");
  }
}

TEST_F(PlayerTest, TheCdPageListsTheChosenDriveOrALaterDiscAndEjectsEachDriveOnItsOwn) {
  const std::string log = Out.Path("tray.log"), a = DiscA.Path("disc.cue"), b = ImageB.Cue;
  setenv("SONVIX_CD_TRAY_LOG", log.c_str(), 1);
  TMainWindow w;
  ShowCdPage(w);
  std::vector<std::string> drives;
  for (int32_t i = 0; i < w.Find<TKvComboBox>("CmbDrive")->Items()->Count(); ++i)
    drives.push_back(w.Find<TKvComboBox>("CmbDrive")->Items()->Strings(i));
  EXPECT_EQ(drives, (std::vector<std::string>{"***", b, a}));
  EXPECT_FALSE(w.Enabled("BtnEject"));
  const struct {
    int32_t Item;
    std::vector<std::string> Tracks;
  } choices[] = {{DriveB, {"Track 2", "Track 3"}}, {0, {}}, {DriveA, {}}};
  for (const auto& c : choices) {
    SCOPED_TRACE(c.Item);
    w.Choose("CmbDrive", c.Item);
    EXPECT_EQ(Captions(w), c.Tracks);
    EXPECT_EQ(w.Find("LblAllC")->Caption(), std::to_string(c.Tracks.size()));
    EXPECT_EQ(w.Enabled("BtnEject"), c.Item > 0);
    TTimer::Advance(3000);
    EXPECT_EQ(Captions(w), c.Tracks);
  }
  // A disc comes into drive A: listed by the CD timer within three seconds.
  MakeCdImage(DiscA.Root(), {{true, 75}, {true, 75}, {true, 75}});
  TTimer::Advance(2999);
  EXPECT_TRUE(Captions(w).empty());
  TTimer::Advance(1);
  EXPECT_EQ(Captions(w), (std::vector<std::string>{"Track 1", "Track 2", "Track 3"}));
  EXPECT_EQ(Buttons(w), Stopped);

  // Eject clears the list. An image cannot close its tray, so closing asks nothing and
  // the disc stays (the timer lists it again); each drive keeps its own tray state.
  const struct {
    int32_t Item;
    std::string Log;
  } presses[] = {{DriveA, "eject " + a + "\n"}, {DriveB, "eject " + b + "\n"}, {DriveA, ""},
                 {DriveA, "eject " + a + "\n"}, {DriveB, ""}};
  std::string expected;
  for (const auto& p : presses) {
    SCOPED_TRACE(p.Item);
    w.Choose("CmbDrive", p.Item);
    ASSERT_FALSE(Captions(w).empty());
    w.Click("BtnEject");
    EXPECT_EQ(ReadFileAsString(log), expected += p.Log);
    EXPECT_TRUE(Captions(w).empty());
    EXPECT_EQ(w.Find("LblAllC")->Caption(), "0");
    TTimer::Advance(3000);
    EXPECT_FALSE(Captions(w).empty());
  }
}

TEST_F(PlayerTest, NothingPlaysFromTheListThatIsBeingConverted) {
  TMainWindow w;
  ImageB = MakeCdImage(DiscB.Root(), {{true, 75 * 30}, {true, 75 * 30}});
  w.AddFiles({MakeWave(In.Path("a.wav"), 44100, 2, 0.3), MakeWave(In.Path("b.wav"), 44100, 2, 30)});
  w.Find<TKvButtonEdit>("EdtOutDir")->SetText(Out.Root());
  w.Choose("CmbFormat", outFLAC);
  for (bool cd : {false, true}) {
    SCOPED_TRACE(cd ? "CD" : "files");
    if (cd) {
      ShowCdPage(w);
      w.Choose("CmbDrive", DriveB);
    }
    w.Click("BtnConv");
    ASSERT_TRUE(w.PauseAt(2));
    ClickItem(w, cd, 0, true);
    w.Click("BtnPPlay");
    EXPECT_NE(w.Form->AudioOut()->Input(), w.Form->FileList()->GetInput(fcWave));
    EXPECT_NE(w.Form->CDPreview()->Status(), cdsPlaying);
    EXPECT_EQ(Buttons(w), NoneEnabled);
    w.Click("BtnAbort");
    EXPECT_EQ(Buttons(w), Stopped);
  }
}

}  // namespace
