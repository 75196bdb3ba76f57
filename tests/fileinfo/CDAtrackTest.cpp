#include <gtest/gtest.h>

#include <cstdlib>

#include "fileinfo/CDAtrack.h"
#include "fileinfo/TagFileIO.h"
#include "platform/rtl/StrUtils.h"
#include "tests/fileinfo/TestSupport.h"
#include "tests/support/Pcm.h"

using namespace testsupport;

namespace {

std::string MSF(uint32_t Sectors) {
  return {static_cast<char>(Sectors % 75), static_cast<char>(Sectors / 75 % 60),
          static_cast<char>(Sectors / 75 / 60), '\0'};
}

// The 44-byte record of one track.
std::string Record(uint16_t Track, uint32_t Serial, uint32_t Start, uint32_t Length) {
  return "RIFF" + Le32String(36) + "CDDAfmt " + Le32String(24) + Le16String(1) + Le16String(Track) +
         Le32String(Serial) + Le32String(Start) + Le32String(Length) + MSF(Start) + MSF(Length);
}

// Points the program's configuration folder into the test's own folder.
class CDAtrackTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) FOldConfig = old, FHadConfig = true;
    setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
    Names = Dir / "config/sonvix/cdplayer.ini";
  }
  void TearDown() override {
    if (FHadConfig) setenv("XDG_CONFIG_HOME", FOldConfig.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
  }

  void WriteNames(const std::string& Text) {
    RunTool("mkdir -p " + Quote(Dir / "config/sonvix"));
    WriteFile(Names, Text);
  }

  TCDAtrack Read(const std::string& Bytes, bool Result = true) {
    WriteFile(Dir / "Track03.cda", Bytes);
    TCDAtrack t;
    EXPECT_EQ(t.ReadFromFile(Dir / "Track03.cda"), Result);
    return t;
  }

  TTempDir Dir;
  std::string Names;
  std::string FOldConfig;
  bool FHadConfig = false;
};

TEST_F(CDAtrackTest, ReadsTheRecordAndTheDiscsNames) {
  WriteNames(
      "\xEF\xBB\xBF; names of the discs\r\n"
      "[OTHER]\r\n3=Wrong disc\r\n"
      "[1A2B3C4D]\r\n"
      " artist = The Artist \r\n"
      "TITLE=Disc \xC5\xA2itle\r\n"
      "numtracks=5\r\n"
      "03=Not the key\r\n"
      "3=Third track\r\n"
      "3=Later line of the same key\r\n"
      "[1a2b3c4d]\r\nartist=Later section of the same name\r\n");
  const TCDAtrack t = Read(Record(3, 0x1A2B3C4D, 33000, 22500));
  EXPECT_TRUE(t.Valid());
  EXPECT_EQ(t.Track(), 3);
  EXPECT_DOUBLE_EQ(t.Duration(), 300.0);
  EXPECT_DOUBLE_EQ(t.Position(), 440.0);
  EXPECT_EQ(t.Title(), u"Third track");
  EXPECT_EQ(t.Artist(), u"The Artist");
  EXPECT_EQ(t.Album(), u"Disc \u0162itle");
}

TEST_F(CDAtrackTest, DiscWithoutEntryIsValidWithEmptyNames) {
  const std::string rec = Record(1, 0x05, 0, 7500);
  TCDAtrack t = Read(rec);  // no names file at all
  EXPECT_TRUE(t.Valid());
  EXPECT_EQ(t.Track(), 1);
  EXPECT_DOUBLE_EQ(t.Duration(), 100.0);
  EXPECT_TRUE(t.Title().empty() && t.Artist().empty() && t.Album().empty());

  WriteNames("[5]\n1=Needs two digits\n[AB]\n1=Other\n");
  t = Read(rec);
  EXPECT_TRUE(t.Valid());
  EXPECT_TRUE(t.Title().empty());
  WriteNames("[05]\n1=Track one\n");
  t = Read(rec);
  EXPECT_EQ(t.Title(), u"Track one");
  EXPECT_TRUE(t.Artist().empty());
  EXPECT_EQ(TCDAtrack::DiscSection(0xABC), "ABC");
  EXPECT_EQ(TCDAtrack::DiscSection(0xFFFFFFFF), "FFFFFFFF");
}

TEST_F(CDAtrackTest, ShortOrUnmarkedRecords) {
  const std::string rec = Record(3, 1, 0, 22500);
  Read(rec.substr(0, 43), false);
  TCDAtrack t;
  EXPECT_FALSE(t.ReadFromFile(Dir / "missing.cda"));
  std::string s = rec;
  s[8] = 'X';  // not "CDDAfmt "
  t = Read(s);
  EXPECT_FALSE(t.Valid());
  EXPECT_EQ(t.Track(), 0);
  EXPECT_DOUBLE_EQ(t.Duration(), 0);
  s = rec;
  s[0] = 'X';
  EXPECT_FALSE(Read(s).Valid());
  // Bytes after the record do not matter.
  t = Read(rec + "more");
  EXPECT_TRUE(t.Valid());
  EXPECT_EQ(t.Track(), 3);
}

}  // namespace
