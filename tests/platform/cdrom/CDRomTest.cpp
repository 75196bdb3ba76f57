// The CD layer on a cue/bin image made at test time, opened as a drive.

#include "platform/cdrom/CDRom.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/support/CDTestDisc.h"

namespace {

namespace fs = std::filesystem;

class CDRomTest : public testing::Test {
protected:
  void SetUp() override {
    Dir = Folder.Root();
    MakeTestDisc(Dir, Disc);
    unsetenv("SONVIX_CD_IMAGES");
  }
  void TearDown() override {
    unsetenv("SONVIX_CD_IMAGES");
  }
  std::vector<uint8_t> Rip(uint32_t Start, uint32_t End, uint32_t Chunk) {
    TCDRipper r;
    EXPECT_TRUE(r.Open(Disc.Cue, Start, End));
    std::vector<uint8_t> out, buf(Chunk * CD_SECTOR_BYTES);
    for (;;) {
      const int32_t n = r.Read(buf.data(), Chunk);
      EXPECT_GE(n, 0);
      if (n <= 0) break;
      out.insert(out.end(), buf.begin(), buf.begin() + n * CD_SECTOR_BYTES);
    }
    return out;
  }

  testsupport::TTempDir Folder;
  fs::path Dir;
  TCDTestDisc Disc;
};

TEST_F(CDRomTest, NoDriveGivesAnEmptyList) {
  // No CD drive exists on this machine.
  EXPECT_TRUE(CDGetDrives().empty());
  setenv("SONVIX_CD_IMAGES", (Dir / "missing.cue").c_str(), 1);
  EXPECT_TRUE(CDGetDrives().empty());
}

TEST_F(CDRomTest, ImagesFollowTheDrivesInTheirOrder) {
  const std::string other = (Dir / "other.cue").string();
  fs::copy_file(Disc.Cue, other);
  setenv("SONVIX_CD_IMAGES", (other + ":" + (Dir / "missing.cue").string() + "::" + Disc.Cue).c_str(), 1);
  EXPECT_EQ(CDGetDrives(), (std::vector<std::string>{other, Disc.Cue}));
}

TEST_F(CDRomTest, TableOfContents) {
  TCDDrive drive(Disc.Cue);
  TCDToc toc;
  ASSERT_TRUE(drive.ReadToc(toc));
  ASSERT_EQ(toc.TracksCount(), 4);
  ASSERT_EQ(toc.Entries.size(), 5u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(toc.Entries[i].StartSector, Disc.Starts[i]);
    EXPECT_EQ(toc.Entries[i].TrackNumber, i + 1);
    EXPECT_EQ(toc.Entries[i].Session, 1);
  }
  EXPECT_EQ(toc.Entries[0].Flag, 0x10);
  EXPECT_EQ(toc.Entries[1].Flag, 0x11);  // pre-emphasis
  EXPECT_EQ(toc.Entries[2].Flag, 0x14);  // data
  EXPECT_EQ(toc.Entries[3].Flag, 0x12);  // copy permitted
  EXPECT_FALSE(CDIsDataTrack(toc.Entries[1].Flag));
  EXPECT_TRUE(CDIsDataTrack(toc.Entries[2].Flag));
  EXPECT_EQ(toc.Entries[4].TrackNumber, CD_LEADOUT_TRACK);
  EXPECT_EQ(toc.Entries[4].StartSector, Disc.LeadOut);
  EXPECT_EQ(CDTrackEndSector(toc.Entries, 3), Disc.LeadOut);
  EXPECT_TRUE(drive.MediaLoaded());
  EXPECT_FALSE(drive.AudioPlaying());
  EXPECT_EQ(drive.Name(), Disc.Cue);
  // An image has no tray; the requests are noted in the tray log when there is one.
  EXPECT_FALSE(drive.Eject());
  const std::string log = (Dir / "tray.log").string();
  setenv("SONVIX_CD_TRAY_LOG", log.c_str(), 1);
  EXPECT_FALSE(drive.Eject());
  EXPECT_FALSE(drive.CloseTray());
  unsetenv("SONVIX_CD_TRAY_LOG");
  EXPECT_EQ(testsupport::ReadFileAsString(log), "eject " + Disc.Cue + "\nclose " + Disc.Cue + "\n");
  EXPECT_TRUE(drive.MediaLoaded());

  std::ofstream(Dir / "junk.cue") << "this is no disc\n";
  TCDDrive junk((Dir / "junk.cue").string());
  EXPECT_FALSE(junk.ReadToc(toc));
  EXPECT_TRUE(toc.Entries.empty());
  EXPECT_FALSE(junk.MediaLoaded());
  TCDDrive none((Dir / "none.cue").string());
  EXPECT_FALSE(none.MediaLoaded());
}

TEST_F(CDRomTest, ATrackFollowedByAnotherSessionEndsAtItsLeadOut) {
  const std::vector<TCDTocEntry> e{{0, 0x10, 1, 1}, {20000, 0x10, 2, 1}, {40000, 0x14, 3, 2}, {50000, 0x14, 0xAA, 2}};
  EXPECT_EQ(CDTrackEndSector(e, 0), 20000u);
  EXPECT_EQ(CDTrackEndSector(e, 1), 40000u - 11400);
  EXPECT_EQ(CDTrackEndSector(e, 2), 50000u);
  EXPECT_EQ(CDTrackEndSector(e, 3), 0u);
}

TEST_F(CDRomTest, RippingGivesExactlyTheTracksBytes) {
  EXPECT_EQ(Rip(150, 270, 7), Disc.Tracks[1]);
  EXPECT_EQ(Rip(345, 435, 75), Disc.Tracks[3]);
  std::vector<uint8_t> both = Disc.Tracks[0];
  both.insert(both.end(), Disc.Tracks[1].begin(), Disc.Tracks[1].end());
  EXPECT_EQ(Rip(0, 270, 40), both);

  TCDRipper r;
  EXPECT_FALSE(r.Open(Disc.Cue, 400, 436));  // past the lead-out
  EXPECT_FALSE(r.Open(Disc.Cue, 200, 200));
  EXPECT_FALSE(r.Open((Dir / "none.cue").string(), 0, 10));
  EXPECT_FALSE(r.Active());
  uint8_t sector[CD_SECTOR_BYTES];
  EXPECT_EQ(r.Read(sector, 1), -1);
}

TEST_F(CDRomTest, ASectorThatCannotBeReadFailsTheRead) {
  TCDRipper r;
  ASSERT_TRUE(r.Open(Disc.Cue, 345, 435));
  // The disc loses its last 40 sectors before they are read.
  ASSERT_EQ(truncate(Disc.Bin.c_str(), static_cast<off_t>(395) * CD_SECTOR_BYTES), 0);
  std::vector<uint8_t> buf(10 * CD_SECTOR_BYTES), got;
  int32_t n = 0;
  uint32_t total = 0;
  while ((n = r.Read(buf.data(), 10)) > 0) {
    total += static_cast<uint32_t>(n);
    got.insert(got.end(), buf.begin(), buf.begin() + n * CD_SECTOR_BYTES);
  }
  EXPECT_EQ(n, -1);
  EXPECT_LT(total, 50u);
  // What was delivered is the disc's audio, nothing made up.
  EXPECT_TRUE(std::equal(got.begin(), got.end(), Disc.Tracks[3].begin()));
  EXPECT_EQ(r.CurrentSector(), 345 + total);
  // It stays failed at that sector.
  EXPECT_EQ(r.Read(buf.data(), 10), -1);
  EXPECT_EQ(r.CurrentSector(), 345 + total);
}

TEST_F(CDRomTest, TrackRecords) {
  TCDDrive drive(Disc.Cue);
  TCDToc toc;
  ASSERT_TRUE(drive.ReadToc(toc));
  // Starts with their lead-in, 150, 300, 420 and 495 sectors, as minute << 16 |
  // second << 8 | frame, summed.
  const uint32_t serial = 0x000200 + 0x000400 + 0x00052D + 0x00062D;
  EXPECT_EQ(CDDiscSerial(toc), serial);

  TCDTrackRecord r;
  ASSERT_TRUE(CDTrackRecord(toc, 2, r));
  auto le32 = [&r](int At) { return r[At] | r[At + 1] << 8 | r[At + 2] << 16 | static_cast<uint32_t>(r[At + 3]) << 24; };
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data()), 4), "RIFF");
  EXPECT_EQ(le32(4), 36u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data()) + 8, 8), "CDDAfmt ");
  EXPECT_EQ(le32(16), 24u);
  EXPECT_EQ(r[20] | r[21] << 8, 1);
  EXPECT_EQ(r[22] | r[23] << 8, 2);
  EXPECT_EQ(le32(24), serial);
  EXPECT_EQ(le32(28), 150u);
  EXPECT_EQ(le32(32), 120u);
  // 00:04:00 and 00:01:45, as frame, second, minute, 0.
  EXPECT_EQ(le32(36), 0x00000400u);
  EXPECT_EQ(le32(40), 0x0000012Du);

  EXPECT_FALSE(CDTrackRecord(toc, 3, r));  // data
  EXPECT_FALSE(CDTrackRecord(toc, 0, r));
  EXPECT_FALSE(CDTrackRecord(toc, 5, r));

  // A disc of fewer than three tracks adds its length.
  TCDToc two;
  two.Entries = {{0, 0x10, 1, 1}, {1000, 0x10, 2, 1}, {3000, 0x10, 0xAA, 1}};
  EXPECT_EQ(CDDiscSerial(two), 0x000200u + 0x000F19u + 3000u);
}

TEST_F(CDRomTest, TrackFilesByName) {
  EXPECT_EQ(CDTrackFileName(Disc.Cue, 3), Disc.Cue + "/Track03.cda");
  EXPECT_EQ(CDTrackFileName("/dev/sr0", 12), "/dev/sr0/Track12.cda");
  TCDDrive drive(Disc.Cue);
  TCDToc toc;
  ASSERT_TRUE(drive.ReadToc(toc));
  TCDTrackRecord expected, got;
  ASSERT_TRUE(CDTrackRecord(toc, 4, expected));
  ASSERT_TRUE(CDReadTrackFile(Disc.Cue + "/Track04.cda", got));
  EXPECT_EQ(got, expected);
  EXPECT_FALSE(CDReadTrackFile(Disc.Cue + "/Track03.cda", got));  // data
  EXPECT_FALSE(CDReadTrackFile(Disc.Cue + "/Track4.cda", got));
  EXPECT_FALSE(CDReadTrackFile(Disc.Cue + "/Track0x.cda", got));
  EXPECT_FALSE(CDReadTrackFile(Disc.Cue + "/Song04.cda", got));
  EXPECT_FALSE(CDReadTrackFile((Dir / "none.cue/Track01.cda").string(), got));
  EXPECT_FALSE(CDReadTrackFile("Track01.cda", got));
}

}  // namespace
