// TCDPlayer: CD images made at test time as drives, played through the in-memory
// sound device.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "audio/io/TSL_CDROM.h"
#include "platform/dsound/DSFake.h"
#include "tests/support/CDTestDisc.h"
#include "tests/support/TestComponents.h"

namespace {

namespace fs = std::filesystem;

std::string ErrorOf(const std::function<void()>& F) {
  try {
    F();
  } catch (const EAuException& E) {
    return E.what();
  }
  return "";
}

int16_t Sample(const std::vector<uint8_t>& Pcm, size_t Index) {
  return static_cast<int16_t>(Pcm[2 * Index] | (Pcm[2 * Index + 1] << 8));
}

class CDPlayerTest : public testing::Test {
protected:
  void SetUp() override {
    Dir = MakeTestFolder("cdplayer");
    ASSERT_FALSE(Dir.empty());
    MakeTestDisc(Dir, Disc);
    NoDisc = (Dir / "nodisc.cue").string();
    std::ofstream(NoDisc) << "not a disc\n";
    setenv("SONVIX_CD_IMAGES", (Disc.Cue + ":" + NoDisc).c_str(), 1);
    setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
    Fake = std::make_shared<TDSFakeBackend>();
    DirectSoundSetBackend(Fake);
    Player.reset(new TCDPlayer(nullptr));
  }
  void TearDown() override {
    Player.reset();
    DirectSoundSetBackend(nullptr);
    unsetenv("SONVIX_CD_IMAGES");
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(Dir);
  }
  void PlayToEnd(int32_t Track) {
    Player->Play(Track);
    EXPECT_EQ(Player->Status(), cdsPlaying);
    ASSERT_TRUE(PumpUntil([&] { return Player->Status() == cdsReady; }, 60000));
  }

  fs::path Dir;
  TCDTestDisc Disc;
  std::string NoDisc;
  std::shared_ptr<TDSFakeBackend> Fake;
  TComponentPtr<TCDPlayer> Player;
};

TEST_F(CDPlayerTest, SeesTheSameDrivesAndTracksAsTheInput) {
  TComponentPtr<TCDIn> in(new TCDIn(nullptr));
  ASSERT_EQ(Player->DrivesCount(), 2);
  ASSERT_EQ(in->DrivesCount(), 2);
  for (int32_t d = 0; d < 2; ++d) {
    Player->SetCurrentDrive(d);
    in->SetCurrentDrive(d);
    EXPECT_EQ(Player->DrivePath(), (d == 0 ? Disc.Cue : NoDisc) + "/");
    EXPECT_EQ(in->DriveName(), d == 0 ? Disc.Cue : NoDisc);
  }
  Player->SetCurrentDrive(0);
  in->SetCurrentDrive(0);
  ASSERT_EQ(Player->TracksCount(), 4);
  ASSERT_EQ(in->TracksCount(), 4);
  for (int32_t t = 1; t <= 4; ++t) {
    const TCDTrackInfo a = Player->GetTrackInfo(t), b = in->GetTrackInfo(t);
    EXPECT_EQ(a.TrackType, b.TrackType) << t;
    EXPECT_EQ(MSFToSectors(a.TrackLength), MSFToSectors(b.TrackLength)) << t;
  }
  EXPECT_EQ(Player->GetTrackInfo(3).TrackType, ttData);
  EXPECT_EQ(MSFToSectors(Player->GetTrackInfo(4).TrackLength), 90u);
  // On the disc, with its 2-second lead-in; after the last track, the disc's end.
  const TCDMSF first = Player->TrackStart(1), end = Player->TrackStart(5);
  EXPECT_EQ(MSFToSectors(first), 150u);
  EXPECT_EQ(end.Minute, 0);
  EXPECT_EQ(end.Second, 7);
  EXPECT_EQ(end.Frame, 60);
  EXPECT_EQ(ErrorOf([&] { Player->GetTrackInfo(5); }), "Track out of range.");

  // The track "files" of the drive the file list names.
  TCDTrackRecord r;
  ASSERT_TRUE(CDReadTrackFile(Player->DrivePath() + "Track02.cda", r));
  EXPECT_EQ(r[22], 2);
  EXPECT_EQ(r[32], 120);
}

TEST_F(CDPlayerTest, PlaysATrackDigitally) {
  PlayToEnd(2);
  const auto played = Fake->Played();
  const auto& track = Disc.Tracks[1];
  ASSERT_GE(played.size(), track.size());
  EXPECT_TRUE(std::equal(track.begin(), track.end(), played.begin()));
  EXPECT_TRUE(std::all_of(played.begin() + static_cast<std::ptrdiff_t>(track.size()), played.end(),
                          [](uint8_t b) { return b == 0; }));
  // The position has reached the track's length.
  const TCDTMSF pos = Player->Position();
  EXPECT_EQ(pos.Track, 2);
  EXPECT_EQ(pos.Minute, 0);
  EXPECT_EQ(pos.Second, 1);
  EXPECT_EQ(pos.Frame, 45);
}

TEST_F(CDPlayerTest, LeftAndRightVolumesSetTheGain) {
  Player->SetLVolume(32768);
  Player->SetRVolume(0);
  EXPECT_EQ(Player->LVolume(), 32768);
  PlayToEnd(1);
  const auto played = Fake->Played();
  const auto& track = Disc.Tracks[0];
  ASSERT_GE(played.size(), track.size());
  for (size_t i = 0; i < track.size() / 2; i += 2) {
    ASSERT_EQ(Sample(played, i), static_cast<int16_t>(std::nearbyint(Sample(track, i) * 32768.0 / 65535.0))) << i;
    ASSERT_EQ(Sample(played, i + 1), 0) << i;
  }
}

TEST_F(CDPlayerTest, StopEndsPlayingAtOnce) {
  Player->Play(1);
  Player->Stop();
  EXPECT_EQ(Player->Status(), cdsReady);
  const auto played = Fake->Played();
  EXPECT_LT(played.size(), Disc.Tracks[0].size());
  EXPECT_TRUE(std::equal(played.begin(), played.end(), Disc.Tracks[0].begin()));
}

TEST_F(CDPlayerTest, WhatCannotBePlayed) {
  EXPECT_EQ(ErrorOf([&] { Player->Play(3); }), "Trying to play a data track.");
  EXPECT_EQ(ErrorOf([&] { Player->Play(5); }), "Track out of range.");
  Player->SetCurrentDrive(2);  // no such drive: ignored
  EXPECT_EQ(Player->CurrentDrive(), 0);
  Player->SetCurrentDrive(1);
  EXPECT_EQ(Player->Status(), cdsNotReady);
  EXPECT_EQ(Player->TracksCount(), 0);
  EXPECT_EQ(ErrorOf([&] { Player->Play(1); }), "Device is not ready");
  EXPECT_EQ(Fake->StreamsOpened(), 0);
}

TEST_F(CDPlayerTest, NoDrivePresentIsNoError) {
  unsetenv("SONVIX_CD_IMAGES");
  TComponentPtr<TCDPlayer> player(new TCDPlayer(nullptr));
  EXPECT_EQ(player->DrivesCount(), 0);
  EXPECT_EQ(player->DrivePath(), "");
  EXPECT_EQ(player->TracksCount(), 0);
  EXPECT_EQ(player->Status(), cdsNotReady);
  EXPECT_EQ(ErrorOf([&] { player->Play(1); }), "Cannot open MCI audiocd device");
  TComponentPtr<TCDIn> in(new TCDIn(nullptr));
  EXPECT_EQ(in->DrivesCount(), 0);
  EXPECT_EQ(in->Status(), cdsNotReady);
  EXPECT_EQ(in->TracksCount(), -1);
  EXPECT_EQ(in->DriveName(), "");
}

}  // namespace
