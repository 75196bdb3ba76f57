#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "fileinfo/ID3v1.h"
#include "tests/fileinfo/TestSupport.h"

using namespace testsupport;

namespace {

// A 128-byte block with the given fields placed as they are.
std::string Block(const std::string& Title, const std::string& Comment30, uint8_t Genre = 255) {
  std::string b(128, '\0');
  std::memcpy(b.data(), "TAG", 3);
  std::memcpy(b.data() + 3, Title.data(), std::min<size_t>(Title.size(), 30));
  std::memcpy(b.data() + 97, Comment30.data(), std::min<size_t>(Comment30.size(), 30));
  b[127] = static_cast<char>(Genre);
  return b;
}

std::string Lyrics3(const std::string& Fields) {
  std::string body = "LYRICSBEGIN" + Fields;
  std::string size = std::to_string(body.size());
  return body + std::string(6 - size.size(), '0') + size + "LYRICS200";
}

std::string Field(const std::string& ID, const std::string& Value) {
  std::string len = std::to_string(Value.size());
  return ID + std::string(5 - len.size(), '0') + len + Value;
}

class ID3v1Test : public ::testing::Test {
protected:
  TTempDir Dir;
  std::string Audio = Filler(2000, 9);
  std::string File = Dir / "t.mp3";

  TID3v1 ReadBack(const std::string& Contents) {
    WriteFile(File, Contents);
    TID3v1 t;
    EXPECT_TRUE(t.ReadFromFile(File));
    EXPECT_TRUE(ReadFileAsString(File) == Contents) << "reading changed the file";
    return t;
  }
};

TEST_F(ID3v1Test, GenreTableAndSpellingsOfTheOtherLists) {
  EXPECT_STREQ(ID3v1Genres[0], "Blues");
  EXPECT_STREQ(ID3v1Genres[17], "Rock");
  EXPECT_STREQ(ID3v1Genres[40], "AlternRock");
  EXPECT_STREQ(ID3v1Genres[67], "Psychadelic");
  EXPECT_STREQ(ID3v1Genres[123], "A capella");
  EXPECT_STREQ(ID3v1Genres[132], "BritPop");
  EXPECT_STREQ(ID3v1Genres[134], "Polsk Punk");
  EXPECT_STREQ(ID3v1Genres[147], "Synthpop");
  TID3v1 t;
  struct {
    const char* Name;
    int ID;
  } cases[] = {{"rock", 17},         {"ROCK", 17},          {"Death metal", 22},
               {"Alt. Rock", 40},    {"alternrock", 40},    {"Instrumental pop", 46},
               {"Instrumental rock", 47}, {"Psychedelic", 67}, {"Psychadelic", 67},
               {"Chamber music", 104}, {"Rhythmic soul", 118}, {"A Cappella", 123},
               {"Psychedelic Rock", 93}, {"Synthpop", 147},    {"No such genre", 255},
               {"", 255}};
  for (const auto& c : cases) {
    t.SetGenre(c.Name);
    EXPECT_EQ(t.GenreID(), c.ID) << c.Name;
  }
  t.SetGenre("Nope");
  EXPECT_EQ(t.GetGenre(), "");
  t.SetGenreID(147);
  EXPECT_EQ(t.GetGenre(), "Synthpop");
  t.SetGenreID(148);
  EXPECT_EQ(t.GetGenre(), "");
}

TEST_F(ID3v1Test, SettersKeepLongTextsInTheExtendedFields) {
  TID3v1 t;
  const std::string forty(40, 't');
  t.SetTitle(forty + "   ");
  EXPECT_EQ(t.GetTitle(), forty);
  EXPECT_EQ(t.ExtTitle(), forty);
  t.SetTitle(std::string(30, 's'));
  EXPECT_EQ(t.ExtTitle(), "");
  // Characters, not bytes, decide: 30 two-byte characters still fit.
  std::string wide;
  for (int i = 0; i < 30; ++i) wide += "\xC3\xA9";
  t.SetArtist(wide);
  EXPECT_EQ(t.ExtArtist(), "");
  t.SetYear("20245 ");
  EXPECT_EQ(t.Year(), "2024");
  t.SetYear("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
  EXPECT_EQ(t.Year(), "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
}

TEST_F(ID3v1Test, TrackAlwaysLeavesTheVersion11Layout) {
  for (size_t len : {29u, 30u}) {
    WriteFile(File, Audio);
    TID3v1 w;
    w.SetComment(std::string(len, 'c'));
    w.SetTrack(5);
    ASSERT_TRUE(w.SaveToFile(File));
    const std::string now = ReadFileAsString(File);
    ASSERT_EQ(now.size(), Audio.size() + 128);
    const std::string tag = now.substr(Audio.size());
    EXPECT_EQ(tag.substr(97, 28), std::string(28, 'c'));
    EXPECT_EQ(tag[125], '\0');
    EXPECT_EQ(tag[126], '\x05');
    TID3v1 r = ReadBack(now);
    EXPECT_EQ(r.VersionID(), 2);
    EXPECT_EQ(r.Track(), 5);
    EXPECT_EQ(r.GetComment(), std::string(28, 'c'));
  }
  // Without a track all 30 bytes are comment.
  WriteFile(File, Audio);
  TID3v1 w;
  w.SetComment(std::string(30, 'c'));
  ASSERT_TRUE(w.SaveToFile(File));
  TID3v1 r = ReadBack(ReadFileAsString(File));
  EXPECT_EQ(r.VersionID(), 1);
  EXPECT_EQ(r.Track(), 0);
  EXPECT_EQ(r.GetComment(), std::string(30, 'c'));
}

TEST_F(ID3v1Test, ReadsVersionsAndFieldsAsStored) {
  // Bytes 125 and 126 of the block: a zero then a non-zero byte, or a blank then a
  // non-blank byte, end the comment at 28 bytes and give the track.
  const std::string c28(28, 'c');
  const struct {
    std::string Tail;
    int Version, Track;
    std::string Comment;
  } versions[] = {{std::string("\0\x07", 2), 2, 7, c28}, {" y", 2, 'y', c28},
                  {std::string(" \0", 2), 2, 0, c28},    {std::string("\0\0", 2), 1, 0, c28},
                  {"  ", 1, 0, c28},                        {"xy", 1, 0, c28 + "xy"},
                  {"x ", 1, 0, c28 + "x"}};
  for (const auto& v : versions) {
    SCOPED_TRACE(testing::PrintToString(v.Tail));
    TID3v1 t = ReadBack(Audio + Block("Title", c28 + v.Tail, 17));
    EXPECT_TRUE(t.Exists());
    EXPECT_EQ(t.VersionID(), v.Version);
    EXPECT_EQ(t.Track(), v.Track);
    EXPECT_EQ(t.GetComment(), v.Comment);
    EXPECT_EQ(t.GetGenre(), "Rock");
  }
  TID3v1 t;
  // Latin-1 in the file is UTF-8 here; a field ends at its first zero byte.
  t = ReadBack(Audio + Block(std::string("Caf\xE9\0junk", 9), std::string("ab\0cd", 5)));
  EXPECT_EQ(t.GetTitle(), "Caf\xC3\xA9");
  EXPECT_EQ(t.GetComment(), "ab");
  EXPECT_EQ(t.GenreID(), 255);
  t = ReadBack(Audio);
  EXPECT_FALSE(t.Exists());
  EXPECT_EQ(t.GenreID(), 255);
  EXPECT_EQ(t.VersionID(), 1);
  t = ReadBack("");
  EXPECT_FALSE(t.Exists());
  EXPECT_FALSE(t.ReadFromFile(Dir / "missing"));
}

TEST_F(ID3v1Test, WritesLatin1ForIndependentTools) {
  REQUIRE_TOOL("eyeD3");
  const std::string f = MakeMp3(Dir, "w.mp3");
  const std::string audio = ReadFileAsString(f);
  TID3v1 w;
  w.SetTitle("Caf\xC3\xA9 \xC5\x81");  // the last character has no Latin-1 form
  w.SetArtist("Artist");
  w.SetAlbum("Album");
  w.SetYear("1999");
  w.SetComment("Comment");
  w.SetTrack(9);
  w.SetGenre("A Cappella");
  ASSERT_TRUE(w.SaveToFile(f));
  EXPECT_TRUE(w.Exists());
  const std::string now = ReadFileAsString(f);
  ASSERT_EQ(now.size(), audio.size() + 128);
  EXPECT_TRUE(now.compare(0, audio.size(), audio) == 0);
  EXPECT_EQ(now.substr(audio.size() + 3, 7), std::string("Caf\xE9 ?\0", 7));
  const auto out = RunTool("eyeD3 --no-color --no-config -1 " + Quote(f));
  EXPECT_EQ(out.ExitCode, 0) << out.Output;
  for (const char* s : {"title: Caf\xC3\xA9 ?", "artist: Artist", "album: Album", "1999", "track: 9",
                        "id 123", "Comment"})
    EXPECT_NE(out.Output.find(s), std::string::npos) << s << "\n" << out.Output;
}

TEST_F(ID3v1Test, ReadsBlocksMadeByTheId3v2Tool) {
  REQUIRE_TOOL("id3v2");
  const std::string f = MakeMp3(Dir, "r.mp3");
  const auto out = RunTool("id3v2 -1 -a " + Quote("Caf\xC3\xA9 Artist") + " -A Album -t Title -c Comment -T 5 -y 1999 -g 17 " +
                       Quote(f));
  ASSERT_EQ(out.ExitCode, 0) << out.Output;
  TID3v1 t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_TRUE(t.Exists());
  EXPECT_EQ(t.GetTitle(), "Title");
  EXPECT_EQ(t.GetArtist(), "Caf\xC3\xA9 Artist");
  EXPECT_EQ(t.GetAlbum(), "Album");
  EXPECT_EQ(t.Year(), "1999");
  EXPECT_EQ(t.GetComment(), "Comment");
  EXPECT_EQ(t.Track(), 5);
  EXPECT_EQ(t.GetGenre(), "Rock");
}

TEST_F(ID3v1Test, Lyrics3FieldsAreReadAndRebuiltBeforeTheTag) {
  const std::string longTitle(40, 'T');
  const std::string lyr = Lyrics3(Field("IND", "10") + Field("LYR", "a\rb\r\nc") + Field("ETT", longTitle) +
                                  Field("EAR", "Extended Artist Name That Is Long") + Field("AUT", "Author") +
                                  Field("INF", "Info") + Field("IMG", "img.jpg||") + Field("EAL", "Album x"));
  TID3v1 t = ReadBack(Audio + lyr + Block(longTitle.substr(0, 30), "Short"));
  EXPECT_TRUE(t.HasLyrics3());
  EXPECT_EQ(t.Lyrics3Size(), static_cast<int32_t>(lyr.size() - 15));
  EXPECT_EQ(t.Lyrics(), "a\r\nb\r\nc");
  EXPECT_EQ(t.GetTitle(), longTitle);
  EXPECT_EQ(t.GetArtist(), "Extended Artist Name That Is Long");
  EXPECT_EQ(t.GetAlbum(), "Album x");
  EXPECT_EQ(t.GetComment(), "Info");
  EXPECT_EQ(t.Author(), "Author");
  EXPECT_EQ(t.Image(), "img.jpg||");
  // Without "TAG" the block ends the file.
  TID3v1 u = ReadBack(Audio + lyr);
  EXPECT_FALSE(u.Exists());
  EXPECT_TRUE(u.HasLyrics3());
  EXPECT_EQ(u.Author(), "Author");

  // Saving removes both blocks and writes them again, Lyrics3 first.
  WriteFile(File, Audio + lyr + Block("x", "y"));
  t.SetAuthor("Other");
  ASSERT_TRUE(t.SaveToFile(File));
  const std::string now = ReadFileAsString(File);
  const std::string expectLyr = Lyrics3(Field("IND", "10") + Field("EAR", "Extended Artist Name That Is Long") +
                                        Field("ETT", longTitle) +
                                        Field("AUT", "Other") + Field("LYR", "a\r\nb\r\nc") +
                                        Field("IMG", "img.jpg||"));
  ASSERT_EQ(now.size(), Audio.size() + expectLyr.size() + 128);
  EXPECT_TRUE(now.compare(0, Audio.size(), Audio) == 0);
  EXPECT_EQ(now.substr(Audio.size(), expectLyr.size()), expectLyr);
  EXPECT_EQ(now.substr(now.size() - 128, 33), "TAG" + std::string(30, 'T'));
  TID3v1 r = ReadBack(now);
  EXPECT_EQ(r.Author(), "Other");
  EXPECT_EQ(r.Lyrics(), "a\r\nb\r\nc");
  EXPECT_EQ(r.GetTitle(), longTitle);

  // Long texts alone make no Lyrics3 block: the tag gets the first 30 characters.
  WriteFile(File, Audio + lyr + Block("x", "y"));
  TID3v1 plain;
  plain.SetTitle(longTitle);
  ASSERT_TRUE(plain.SaveToFile(File));
  EXPECT_FALSE(plain.HasLyrics3());
  EXPECT_TRUE(ReadFileAsString(File) == Audio + Block(longTitle.substr(0, 30), ""));
}

TEST_F(ID3v1Test, DamagedLyrics3BlocksAreNoBlocks) {
  const std::string tag = Block("Title", "");
  const std::string good = Lyrics3(Field("AUT", "Author"));
  const std::vector<std::string> cases = {
      Audio + "000020LYRICS200" + tag,                                // size points at no LYRICSBEGIN
      Audio + "999999LYRICS200" + tag,                                // size past the start of the file
      Audio + "00x010LYRICS200" + tag,                                // not a number
      "LYRICSBEGIN" + std::string("000011LYRICS200") + tag,           // empty block at the start
      Audio + "LYRICSBEGINAUT99999x000020LYRICS200" + tag,            // field longer than the block
      Audio + "LYRICSBEGINAUT0000" + std::string("000018LYRICS200") + tag,
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    TID3v1 t = ReadBack(cases[i]);
    EXPECT_TRUE(t.Exists()) << i;
    EXPECT_EQ(t.Author(), "") << i;
    EXPECT_EQ(t.GetTitle(), "Title") << i;
  }
  // Removal cuts only the "TAG" block when the Lyrics3 block is not valid.
  WriteFile(File, cases[0]);
  TID3v1 w;
  w.SetTitle("New");
  ASSERT_TRUE(w.SaveToFile(File));
  EXPECT_TRUE(ReadFileAsString(File) == Audio + "000020LYRICS200" + Block("New", ""));
  // Random damage never crashes and never changes the file.
  const std::string full = Audio + Lyrics3(Field("IND", "10") + Field("LYR", "x\ry") + Field("ETT", "t")) + tag;
  uint32_t x = 3;
  for (int i = 0; i < 400; ++i) {
    std::string bad = full;
    for (int k = 0; k < 3; ++k) {
      x = x * 1103515245u + 12345u;
      bad[bad.size() - 1 - (x >> 8) % 200] = static_cast<char>(x >> 24);
    }
    ReadBack(bad);
  }
}

TEST_F(ID3v1Test, WriterRefusesTextsTheFormatCannotHold) {
  WriteFile(File, Audio);
  TID3v1 w;
  w.SetLyrics(std::string(100000, 'l'));
  EXPECT_FALSE(w.SaveToFile(File));
  EXPECT_TRUE(ReadFileAsString(File) == Audio);
  w.SetLyrics(std::string(99999, 'l'));
  EXPECT_TRUE(w.SaveToFile(File));
  TID3v1 r = ReadBack(ReadFileAsString(File));
  EXPECT_EQ(r.Lyrics().size(), 99999u);
}

TEST_F(ID3v1Test, ReadOnlyAndMissingFilesAreReported) {
  WriteFile(File, Audio + Block("Old", ""));
  chmod(File.c_str(), 0444);
  TID3v1 w;
  w.SetTitle("New");
  EXPECT_FALSE(w.SaveToFile(File));
  EXPECT_FALSE(w.Exists());
  EXPECT_TRUE(ReadFileAsString(File) == Audio + Block("Old", ""));
  EXPECT_FALSE(w.SaveToFile(Dir / "missing"));
}

TEST_F(ID3v1Test, FailureAtEachStepLeavesTheOriginal) {
  TID3v1 w;
  w.SetTitle("New");
  // Append, same-size replacement in place, and a rebuild that drops a Lyrics3 block.
  FaultSweep(Dir, File, Audio, Audio + Block("New", ""), [&] { return w.SaveToFile(File); });
  FaultSweep(Dir, File, Audio + Block("Old", ""), Audio + Block("New", ""), [&] { return w.SaveToFile(File); });
  const std::string withLyrics = Audio + Lyrics3(Field("AUT", "A") + Field("ETT", std::string(35, 't'))) + Block("Old", "");
  EXPECT_GE(FaultSweep(Dir, File, withLyrics, Audio + Block("New", ""), [&] { return w.SaveToFile(File); }), 8);
}

}  // namespace
