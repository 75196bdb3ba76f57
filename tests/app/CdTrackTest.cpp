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
#include "tests/support/Tools.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

TEST(CdTrackTest, TracksAfterADataTrackKeepTheirNumbersThroughAMove) {
  TTempDir disc, config, out;
  // Track 1 data (1 s), track 2 audio (2 s), track 3 audio (1.2 s).
  const TCdImage image = MakeCdImage(disc.Root(), {{false, 75}, {true, 150}, {true, 90}});
  setenv("SONVIX_CD_IMAGES", image.Cue.c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.Root().c_str(), 1);
  {
    TRunWindow w(out.Root());
    TCDIn* cd = w.Files->GetCDInput();
    int32_t drive = -1;
    for (int32_t d = 0; d < cd->DrivesCount() && drive < 0; ++d) {
      cd->SetCurrentDrive(d);
      if (cd->DriveName() == image.Cue) drive = d;
    }
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

}  // namespace
