// CD tracks from a disc image whose first track is data: listed by their real numbers
// and lengths, and ripped bit-exact under their own names also after a move.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "audio/io/TSL_CDROM.h"
#include "tests/app/RunWindow.h"
#include "tests/support/AudioSources.h"
#include "tests/support/Files.h"
#include "tests/support/Gui.h"
#include "tests/support/Tools.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

int32_t DriveOf(TCDIn* Cd, const std::string& Cue) {
  for (int32_t d = 0; d < Cd->DrivesCount(); ++d) {
    Cd->SetCurrentDrive(d);
    if (Cd->DriveName() == Cue) return d;
  }
  return -1;
}

TEST(CdTrackTest, TracksAfterADataTrackKeepTheirNumbersThroughAMove) {
  TTempDir disc, config, out;
  // Track 1 data (1 s), track 2 audio (2 s), track 3 audio (1.2 s).
  const TCdImage image = MakeCdImage(disc.Root(), {{false, 75}, {true, 150}, {true, 90}});
  setenv("SONVIX_CD_IMAGES", image.Cue.c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.Root().c_str(), 1);
  {
    TRunWindow w(out.Root());
    const int32_t drive = DriveOf(w.Files->GetCDInput(), image.Cue);
    ASSERT_GE(drive, 0);
    w.Files->AddCdTracks(drive);

    ASSERT_EQ(w.Captions(), (std::vector<std::string>{"Track 2", "Track 3"}));
    const struct {
      const char* Length;
      int32_t Seconds;
      const char* File;
    } listed[] = {{"0:02", 2, "Track02.cda"}, {"0:01", 1, "Track03.cda"}};
    for (int32_t i = 0; i < 2; ++i) {
      const TFileListEntry& e = w.Files->Entries(i);
      EXPECT_EQ(w.View->Items()->Item(i)->SubItems()->Strings(0), listed[i].Length);
      EXPECT_EQ(e.Duration, listed[i].Seconds);
      EXPECT_EQ(e.Position, i + 2);
      EXPECT_EQ(e.CurrentTags.Track, std::to_string(i + 2));
      EXPECT_EQ(fs::path(e.FileName).filename(), listed[i].File);
    }

    w.Files->MoveItemDown(0);
    ASSERT_EQ(w.Captions(), (std::vector<std::string>{"Track 3", "Track 2"}));
    w.Out->SetFormat(outWave);
    w.Out->SetNormalize(false);
    ASSERT_TRUE(w.Convert());
    for (int t : {2, 3}) {
      SCOPED_TRACE(t);
      const std::vector<uint8_t> pcm = FfmpegDecode(out.Path("Track " + std::to_string(t) + ".wav"));
      EXPECT_TRUE(pcm == image.Bytes[static_cast<size_t>(t - 1)]);
    }

    // Windows Media outputs carry the tracks' tags too.
    for (int32_t i = 0; i < 2; ++i) w.Files->SetChecked(i, true);
    w.Out->SetFormat(outWMA);
    w.Out->SetFileNamePattern(4);
    ASSERT_TRUE(w.Convert());
    const std::vector<TTagItems> tags = MutagenCommonTags({out.Path("3.wma"), out.Path("2.wma")});
    EXPECT_EQ(tags[0], (TTagItems{{"track", "3"}}));
    EXPECT_EQ(tags[1], (TTagItems{{"track", "2"}}));
  }
  unsetenv("SONVIX_CD_IMAGES");
  unsetenv("XDG_CONFIG_HOME");
}

// A disc swapped after listing is not ripped under the listed tracks' names and tags;
// with the listed disc back, its tracks are ripped from their own drive even after
// the CD input was pointed at another one.
TEST(CdTrackTest, ATrackIsRippedOnlyFromTheDiscItWasListedFrom) {
  TTempDir a, b, config, out;
  // As different discs are: as many tracks, other lengths.
  const TCdImage listed = MakeCdImage(a.Root(), {{true, 120}, {true, 90}, {true, 60}});
  const TCdImage other = MakeCdImage(b.Root(), {{true, 100}, {true, 90}, {true, 80}});
  const std::string listedBin = a.Path("disc.bin"), otherBin = b.Path("disc.bin");
  const std::vector<uint8_t> keptBin = ReadFile(listedBin), keptCue = ReadFile(listed.Cue);
  setenv("SONVIX_CD_IMAGES", (other.Cue + ":" + listed.Cue).c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.Root().c_str(), 1);
  {
    TRunWindow w(out.Root());
    const int32_t drive = DriveOf(w.Files->GetCDInput(), listed.Cue);
    ASSERT_GE(drive, 0);
    w.Files->AddCdTracks(drive);
    w.Files->Delete(1);
    w.Out->SetFormat(outWave);
    w.Out->SetNormalize(false);
    w.Out->SetFileNamePattern(0);

    // Another disc in the drive: nothing is made, the user is told.
    WriteFile(listedBin, ReadFile(otherBin));
    WriteFile(listed.Cue, ReadFile(other.Cue));
    {
      TDialogScript script;
      script.Answer(IDOK);
      ASSERT_TRUE(w.Convert());
      ASSERT_EQ(script.Requests().size(), 1u);
      EXPECT_NE(script.Requests()[0].Text.find("Track 3: The disc in the drive is not the one"), std::string::npos);
    }
    EXPECT_TRUE(FilesBelow(out.Root()).empty());

    WriteFile(listedBin, keptBin);
    WriteFile(listed.Cue, keptCue);
    w.Files->GetCDInput()->SetCurrentDrive(1 - drive);
    ASSERT_TRUE(w.Convert());
    EXPECT_EQ(FilesBelow(out.Root()), (std::vector<std::string>{"Track 1.wav", "Track 3.wav"}));
    for (int t : {1, 3}) EXPECT_TRUE(FfmpegDecode(out.Path("Track " + std::to_string(t) + ".wav")) == listed.Bytes[t - 1]) << t;
  }
  unsetenv("SONVIX_CD_IMAGES");
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
