#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "fileinfo/ID3v2.h"
#include "fileinfo/TagFileIO.h"
#include "platform/rtl/StrUtils.h"
#include "tests/fileinfo/TestSupport.h"
#include "tests/support/Tags.h"

using namespace testsupport;

namespace {

std::string UTF16LE(const std::u16string& S, bool Bom = true) {
  std::string r = Bom ? "\xFF\xFE" : "";
  for (char16_t c : S) {
    r += static_cast<char>(c & 0xFF);
    r += static_cast<char>(c >> 8);
  }
  return r;
}

std::string UTF16BE(const std::u16string& S, bool Bom) {
  std::string r = Bom ? "\xFE\xFF" : "";
  for (char16_t c : S) {
    r += static_cast<char>(c >> 8);
    r += static_cast<char>(c & 0xFF);
  }
  return r;
}

class ID3v2Test : public ::testing::Test {
protected:
  TTempDir Dir;
  std::string Audio = Filler(3000, 5);

  // Writes Tag followed by the audio filler and reads it.
  TID3v2 ReadTag(const std::string& TagBytes) {
    const std::string f = Dir / "t.mp3";
    WriteFile(f, TagBytes + Audio);
    TID3v2 t;
    EXPECT_TRUE(t.ReadFromFile(f));
    EXPECT_TRUE(ReadFileAsString(f) == TagBytes + Audio) << "reading changed the file";
    return t;
  }
};

TEST_F(ID3v2Test, FileWithoutTagReadsAsNoTag) {
  TID3v2 t = ReadTag("");
  EXPECT_FALSE(t.Exists());
  EXPECT_EQ(t.Size(), 0);
  EXPECT_EQ(t.Title(), "");
  EXPECT_EQ(t.Track(), 0);
  WriteFile(Dir / "short", "ID3\3");
  EXPECT_FALSE(t.ReadFromFile(Dir / "short"));
  EXPECT_FALSE(t.ReadFromFile(Dir / "missing"));
  EXPECT_FALSE(t.ReadFromFile(Dir.Root()));  // a folder is no file
}

TEST_F(ID3v2Test, ReadsVersion22Frames) {
  const std::string body = Frame22("TT2", L1("Title")) + Frame22("TP1", L1("Artist")) +
                           Frame22("TAL", L1("Album")) + Frame22("TRK", L1("4/9")) +
                           Frame22("TYE", L1("1987")) + Frame22("TCO", L1("(17)Rock")) +
                           Frame22("COM", L1(std::string("eng\0Comment", 11))) +
                           Frame22("TCM", L1("Composer")) + Frame22("WXX", L1(std::string("\0http://a.b/", 12)));
  TID3v2 t = ReadTag(Tag(2, 0, body, 20));
  EXPECT_TRUE(t.Exists());
  EXPECT_EQ(t.VersionID(), 2);
  EXPECT_EQ(t.Size(), static_cast<int32_t>(10 + body.size() + 20));
  EXPECT_EQ(t.Title(), "Title");
  EXPECT_EQ(t.Artist(), "Artist");
  EXPECT_EQ(t.Album(), "Album");
  EXPECT_EQ(t.Track(), 4);
  EXPECT_EQ(t.TrackString(), "4/9");
  EXPECT_EQ(t.Year(), "1987");
  EXPECT_EQ(t.Genre(), "Rock");
  EXPECT_EQ(t.Comment(), "Comment");
  EXPECT_EQ(t.Composer(), "Composer");
  EXPECT_EQ(t.Link(), "http://a.b/");
}

TEST_F(ID3v2Test, ReadsEveryTextEncodingWithoutDroppingCharacters) {
  const std::u16string text = u"\u00ff\u01ff \u0141\u00f3d\u017a \U0001F600";
  const std::string utf8 = "\xC3\xBF\xC7\xBF \xC5\x81\xC3\xB3\x64\xC5\xBA \xF0\x9F\x98\x80";
  const std::string body = Frame24("TIT2", "\x01" + UTF16LE(text)) +              // UTF-16, FF FE
                           Frame24("TPE1", "\x01" + UTF16BE(text, true) + std::string(2, '\0')) +
                           Frame24("TALB", "\x02" + UTF16BE(text, false)) +       // UTF-16BE
                           Frame24("TCOM", "\x03" + utf8 + std::string(1, '\0')) +  // UTF-8
                           Frame24("TENC", L1("Caf\xE9")) +                          // ISO-8859-1
                           Frame24("TCOP", "\x01" + UTF16LE(u"no mark", false)) +
                           Frame24("TLAN", "\x07junk");                              // unknown encoding
  TID3v2 t = ReadTag(Tag(4, 0, body, 10));
  EXPECT_EQ(t.Title(), utf8);
  EXPECT_EQ(t.Artist(), utf8);
  EXPECT_EQ(t.Album(), utf8);
  EXPECT_EQ(t.Composer(), utf8);
  EXPECT_EQ(t.Encoder(), "Caf\xC3\xA9");
  EXPECT_EQ(t.Copyright(), "no mark");
  EXPECT_EQ(t.Language(), "");
}

TEST_F(ID3v2Test, TrackAndGenreTexts) {
  struct {
    const char* Trck;
    uint16_t Track;
    const char* Tcon;
    const char* Genre;
  } cases[] = {
      {"7/12", 7, "(17)Rock", "Rock"},
      {"x", 0, "(17)", "Rock"},
      {"2", 2, "24", "Soundtrack"},
      {"4", 4, "(148)", ""},
      {"5", 5, "1990", "1990"},
      {"12", 12, "Rock (Live)", "Rock (Live)"},
      {"70000", 0, "(17)(6)Rock (Live)", "Rock (Live)"},
      {"-3", 0, "((Foo) Bar", "(Foo) Bar"},
      {" 5 / 9", 5, "(RX)Remix", "Remix"},
      {"", 0, "(Unknown) x", "(Unknown) x"},
  };
  for (const auto& c : cases) {
    const std::string body = Frame23("TRCK", L1(c.Trck)) + Frame23("TCON", L1(c.Tcon));
    TID3v2 t = ReadTag(Tag(3, 0, body));
    EXPECT_EQ(t.Track(), c.Track) << c.Trck;
    EXPECT_EQ(t.TrackString(), Trim(c.Trck));
    EXPECT_EQ(t.Genre(), c.Genre) << c.Tcon;
  }
}

TEST_F(ID3v2Test, CommentIsTheFirstWithoutDescriptionElseTheLast) {
  auto comm = [](const std::string& Desc, const std::string& Text) {
    return Frame23("COMM", L1("eng" + Desc + std::string(1, '\0') + Text));
  };
  TID3v2 t = ReadTag(Tag(3, 0, comm("iTunNORM", "0000 1111") + comm("", "First") + comm("", "Second")));
  EXPECT_EQ(t.Comment(), "First");
  t = ReadTag(Tag(3, 0, comm("a", "One") + comm("b", "Two")));
  EXPECT_EQ(t.Comment(), "Two");
  // UTF-16 description and text; the terminator is searched on character boundaries.
  const std::string wide = Frame23("COMM", "\x01" + std::string("eng") + UTF16LE(u"A\u0100") +
                                               std::string(2, '\0') + UTF16LE(u"\u0100x"));
  t = ReadTag(Tag(3, 0, comm("d", "Other") + wide));
  EXPECT_EQ(t.Comment(), "\xC4\x80x");
  const std::string emptyWide = Frame23("COMM", "\x01" + std::string("eng") + UTF16LE(u"") +
                                                    std::string(2, '\0') + UTF16LE(u"Plain"));
  t = ReadTag(Tag(3, 0, emptyWide + comm("", "Later")));
  EXPECT_EQ(t.Comment(), "Plain");
}

TEST_F(ID3v2Test, FallbackFramesYearAndLongTexts) {
  const std::string body = Frame24("TIT1", L1("Group")) + Frame24("TOPE", L1("Orig Artist")) +
                           Frame24("TOAL", L1("Orig Album")) + Frame24("TDRC", L1("2004-05-06")) +
                           Frame24("TSIZ", L1("1234")) + Frame24("TCOM", L1(std::string(700, 'c')));
  TID3v2 t = ReadTag(Tag(4, 0, body));
  EXPECT_EQ(t.Title(), "Group");
  EXPECT_EQ(t.Artist(), "Orig Artist");
  EXPECT_EQ(t.Album(), "Orig Album");
  EXPECT_EQ(t.Year(), "2004");
  EXPECT_EQ(t.SizeText(), "1234");
  EXPECT_EQ(t.Composer(), std::string(700, 'c'));
  // Long texts are read whole.
  t = ReadTag(Tag(4, 0, Frame24("TIT2", "\x03" + std::string(70000, 'a') + "\xC3\xA9")));
  EXPECT_EQ(t.Title(), std::string(70000, 'a') + "\xC3\xA9");
  t = ReadTag(Tag(4, 0, Frame24("TIT2", "\x01" + UTF16LE(std::u16string(300, u'\u0101')))));
  EXPECT_EQ(UTF8ToUTF16(t.Title()), std::u16string(300, u'\u0101'));
}

TEST_F(ID3v2Test, Version24SizesFooterAndPlainSizeFallback) {
  const std::string longTitle(200, 't');  // sizes past 127 differ between the two readings
  const std::string syncsafeBody = Frame24("TIT2", L1(longTitle)) + Frame24("TPE1", L1("Artist"));
  std::string withFooter = Tag(4, 0x10, syncsafeBody) + "3DI\x04" + std::string(1, '\0') +
                           std::string(1, '\x10') + Syncsafe(static_cast<uint32_t>(syncsafeBody.size()));
  TID3v2 t = ReadTag(withFooter);
  EXPECT_EQ(t.Size(), static_cast<int32_t>(syncsafeBody.size() + 20));
  EXPECT_EQ(t.Title(), longTitle);
  EXPECT_EQ(t.Artist(), "Artist");
  // Plain sizes, as some writers store them in version 2.4 tags.
  const std::string plainBody = Frame24("TIT2", L1(longTitle), 0, false) +
                                Frame24("TPE1", L1("Artist"), 0, false) +
                                Frame24("TALB", L1(std::string(130, 'a')), 0, false);
  t = ReadTag(Tag(4, 0, plainBody, 30));
  EXPECT_EQ(t.Title(), longTitle);
  EXPECT_EQ(t.Artist(), "Artist");
  EXPECT_EQ(t.Album(), std::string(130, 'a'));
}

TEST_F(ID3v2Test, UnsynchronisationExtendedHeaderAndFrameFlags) {
  // Version 2.3: the whole tag is unsynchronised; 0xFF 0x00 stands for 0xFF.
  std::string body23 = std::string("\0\0\0\x06\0\0\0\0\0\0", 10) +  // extended header
                       Frame23("TIT2", L1("a\xFF" "b")) + Frame23("TPE1", L1("Artist"));
  std::string unsynced;
  for (char c : body23) {
    unsynced += c;
    if (static_cast<unsigned char>(c) == 0xFF) unsynced += '\0';
  }
  TID3v2 t = ReadTag(Tag(3, 0x80 | 0x40, unsynced));
  EXPECT_EQ(t.Title(), "a\xC3\xBF" "b");
  EXPECT_EQ(t.Artist(), "Artist");
  // Version 2.4: extended header, frame unsynchronisation, data length indicator,
  // grouping; compressed and encrypted frames are skipped.
  const std::string body24 = Syncsafe(6) + std::string("\x01\0", 2) +
                             Frame24("TIT2", BE32(0) + L1(std::string("x\xFF\0y", 4)), 0x02 | 0x01) +
                             Frame24("TPE1", std::string(1, '\x80') + L1("Grouped"), 0x40) +
                             Frame24("TALB", BE32(5) + "zzzz", 0x08 | 0x01) +
                             Frame24("TCOM", L1("Secret"), 0x04) + Frame24("TENC", L1("Enc"));
  t = ReadTag(Tag(4, 0x40, body24));
  EXPECT_EQ(t.Title(), "x\xC3\xBFy");
  EXPECT_EQ(t.Artist(), "Grouped");
  EXPECT_EQ(t.Album(), "");
  EXPECT_EQ(t.Composer(), "");
  EXPECT_EQ(t.Encoder(), "Enc");
  // Version 2.3 compressed frames are skipped as well.
  t = ReadTag(Tag(3, 0, Frame23("TIT2", BE32(10) + "xxxxxx", 0x80) + Frame23("TPE1", L1("A"))));
  EXPECT_EQ(t.Title(), "");
  EXPECT_EQ(t.Artist(), "A");
}

TEST_F(ID3v2Test, ReadsTagsMadeByEyeD3) {
  REQUIRE_TOOL("eyeD3");
  struct {
    const char* Version;
    const char* Encoding;
    const char* Title;
  } cases[] = {
      {"--to-v2.3", "latin1", "Caf\xC3\xA9 \xC3\xBF"},
      {"--to-v2.3", "utf16", "\xC5\x81\xC3\xB3\x64\xC5\xBA \xC3\xBF\xC7\xBF"},
      {"--to-v2.4", "utf8", "\xC5\x81\xC3\xB3\x64\xC5\xBA \xC3\xBF\xC7\xBF"},
      {"--to-v2.4", "utf16", "\xC5\x81\xC3\xB3\x64\xC5\xBA \xC3\xBF\xC7\xBF"},
      {"--to-v2.4", "utf16-be", "\xC5\x81\xC3\xB3\x64\xC5\xBA \xC3\xBF\xC7\xBF"},
  };
  const std::string src = MakeMp3(Dir, "src.mp3");
  const std::string audio = ReadFileAsString(src);
  for (const auto& c : cases) {
    const std::string f = Dir / "e.mp3";
    WriteFile(f, audio);
    const auto r = RunTool(std::string("eyeD3 --quiet --no-config ") + c.Version + " --encoding " + c.Encoding +
                       " -t " + Quote(c.Title) + " -a Artist -A Album -n 3 -N 12 -G Rock" +
                       " --recording-date 2004 -c " + Quote("Long comment " + std::string(c.Title)) +
                       " --composer Composer --text-frame TENC:Encoder --text-frame TCOP:Copyright" +
                       " --text-frame TLAN:eng --user-url-frame :http://example.org/x " + Quote(f));
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    TID3v2 t;
    ASSERT_TRUE(t.ReadFromFile(f));
    SCOPED_TRACE(std::string(c.Version) + " " + c.Encoding);
    EXPECT_TRUE(t.Exists());
    EXPECT_EQ(t.VersionID(), c.Version[8] - '0');
    EXPECT_EQ(t.Title(), c.Title);
    EXPECT_EQ(t.Artist(), "Artist");
    EXPECT_EQ(t.Album(), "Album");
    EXPECT_EQ(t.Track(), 3);
    EXPECT_EQ(t.Genre(), "Rock");
    EXPECT_EQ(t.Year(), "2004");
    EXPECT_EQ(t.Comment(), "Long comment " + std::string(c.Title));
    EXPECT_EQ(t.Composer(), "Composer");
    EXPECT_EQ(t.Encoder(), "Encoder");
    EXPECT_EQ(t.Copyright(), "Copyright");
    EXPECT_EQ(t.Language(), "eng");
    EXPECT_EQ(t.Link(), "http://example.org/x");
    // The audio follows the tag unchanged.
    const std::string now = ReadFileAsString(f);
    EXPECT_TRUE(now.compare(t.Size(), std::string::npos, audio) == 0);
  }
}

TEST_F(ID3v2Test, WritesEveryFieldForIndependentTools) {
  REQUIRE_TOOL("id3v2");
  REQUIRE_TOOL("eyeD3");
  REQUIRE_TOOL("ffprobe");
  const std::string f = MakeMp3(Dir, "w.mp3");
  const std::string audio = ReadFileAsString(f);
  TID3v2 w;
  w.SetTitle("  \xC5\x81\xC3\xB3\x64\xC5\xBA \xC3\xBF\xC7\xBF  ");  // needs UTF-16
  w.SetArtist("Caf\xC3\xA9");                                      // fits ISO-8859-1
  w.SetAlbum("Album");
  w.SetTrack(7);
  w.SetYear("2001");
  w.SetGenre("Rock (Live)");
  w.SetComment("Comment \xE2\x82\xAC");
  w.SetComposer("Composer");
  w.SetEncoder("Encoder");
  w.SetCopyright("Copyright");
  w.SetLanguage("eng");
  w.SetLink("http://example.org/");
  ASSERT_TRUE(w.SaveToFile(f));
  const std::string now = ReadFileAsString(f);
  ASSERT_EQ(now.size(), audio.size() + 4096);
  EXPECT_TRUE(now.compare(4096, std::string::npos, audio) == 0) << "audio bytes changed";
  EXPECT_EQ(now.substr(0, 10), std::string("ID3\3\0\0\0\0\x1F\x76", 10));
  // A text that does not fit ISO-8859-1 is UTF-16 with a byte-order mark.
  const std::string tit2 = "\x01" + UTF16LE(u"\u0141\u00f3d\u017a \u00ff\u01ff");
  EXPECT_NE(now.find("TIT2" + BE32(static_cast<uint32_t>(tit2.size())) + std::string(2, '\0') + tit2),
            std::string::npos);
  EXPECT_NE(now.find("TPE1" + BE32(5) + std::string(2, '\0') + L1("Caf\xE9")), std::string::npos);

  TID3v2 r;
  ASSERT_TRUE(r.ReadFromFile(f));
  EXPECT_EQ(r.Size(), 4096);
  EXPECT_EQ(r.Title(), "\xC5\x81\xC3\xB3\x64\xC5\xBA \xC3\xBF\xC7\xBF");
  EXPECT_EQ(r.Artist(), "Caf\xC3\xA9");
  EXPECT_EQ(r.Album(), "Album");
  EXPECT_EQ(r.Track(), 7);
  EXPECT_EQ(r.Year(), "2001");
  EXPECT_EQ(r.Genre(), "Rock (Live)");
  EXPECT_EQ(r.Comment(), "Comment \xE2\x82\xAC");
  EXPECT_EQ(r.Composer(), "Composer");
  EXPECT_EQ(r.Encoder(), "Encoder");
  EXPECT_EQ(r.Copyright(), "Copyright");
  EXPECT_EQ(r.Language(), "eng");
  EXPECT_EQ(r.Link(), "http://example.org/");

  auto out = RunTool("id3v2 -l " + Quote(f));
  EXPECT_EQ(out.ExitCode, 0) << out.Output;
  for (const char* s : {"TPE1 (Lead performer(s)/Soloist(s)): Caf\xC3\xA9", "TALB (Album/Movie/Show title): Album",
                        "TRCK (Track number/Position in set): 7", "TYER (Year): 2001",
                        "TCOM (Composer): Composer", "TENC (Encoded by): Encoder",
                        "TCOP (Copyright message): Copyright", "TLAN (Language(s)): eng",
                        "http://example.org/"})
    EXPECT_NE(out.Output.find(s), std::string::npos) << s << "\n" << out.Output;
  out = RunTool("eyeD3 --no-color --no-config " + Quote(f));
  EXPECT_EQ(out.ExitCode, 0) << out.Output;
  for (const char* s : {"ID3 v2.3", "title: \xC5\x81\xC3\xB3\x64\xC5\xBA \xC3\xBF\xC7\xBF", "artist: Caf\xC3\xA9",
                        "album: Album", "track: 7", "Comment \xE2\x82\xAC", "composer: Composer",
                        "Rock (Live)", "http://example.org/"})
    EXPECT_NE(out.Output.find(s), std::string::npos) << s << "\n" << out.Output;
  out = RunTool("ffprobe -v error -show_entries format_tags -of default=nw=1 " + Quote(f));
  EXPECT_EQ(out.ExitCode, 0) << out.Output;
  EXPECT_NE(out.Output.find("TAG:title=\xC5\x81\xC3\xB3\x64\xC5\xBA \xC3\xBF\xC7\xBF"), std::string::npos) << out.Output;
  EXPECT_NE(out.Output.find("TAG:date=2001"), std::string::npos) << out.Output;
}

TEST_F(ID3v2Test, EmptyFieldsWriteNoFrames) {
  const std::string f = Dir / "e.mp3";
  WriteFile(f, Audio);
  TID3v2 w;
  w.SetTitle("T");
  ASSERT_TRUE(w.SaveToFile(f));
  const std::string now = ReadFileAsString(f);
  EXPECT_EQ(now.substr(10, 12), "TIT2" + BE32(2) + std::string(2, '\0') + L1("T"));
  EXPECT_EQ(now.substr(22, 4), std::string(4, '\0'));  // padding, no COMM or TRCK
  EXPECT_EQ(now.find("COMM"), std::string::npos);
  EXPECT_EQ(now.find("TRCK"), std::string::npos);
}

// Only the frames of fields whose value differs from the tag's are rewritten, in
// the place of the first of them; the rest stays byte for byte, in order.
TEST_F(ID3v2Test, SaveRewritesOnlyTheFramesOfChangedFields) {
  auto comm = [](const std::string& Lang, const std::string& Desc, const std::string& Text) {
    return Frame23("COMM", L1(Lang + Desc + std::string(1, '\0') + Text));
  };
  const std::string title = Frame23("TIT2", L1("Title")), track = Frame23("TRCK", L1("3/12")),
                    year = Frame23("TYER", L1("2004")), date = Frame23("TDRC", L1("2004-05-06")),
                    pic = Frame23("APIC", L1(Bytes("image/png\0\x03\0\x89PNG"))),
                    described = comm("eng", "notes", "Other"), plain = comm("fra", "", "Texte"),
                    link = Frame23("WXXX", L1(Bytes("home\0http://a/")));
  const std::string old = title + track + year + pic + described + plain + date + link;
  struct {
    const char* What;
    std::function<void(TID3v2&)> Change;
    std::string Frames;
  } cases[] = {
      {"nothing", [](TID3v2&) {}, old},
      {"title cleared, year changed", [](TID3v2& T) { T.SetTitle(""); T.SetYear("2005"); },
       track + Frame23("TYER", L1("2005")) + pic + described + plain + link},
      {"a full date keeps its year in the year frame", [](TID3v2& T) { T.SetYear("2005-06-07"); },
       title + track + Frame23("TYER", L1("2005")) + pic + described + plain + link},
      {"comment and link", [](TID3v2& T) { T.SetComment("Neu"); T.SetLink("http://b/"); },
       title + track + year + pic + described + comm("fra", "", "Neu") + date +
           Frame23("WXXX", L1(Bytes("home\0http://b/")))},
      {"track and a new composer", [](TID3v2& T) { T.SetTrack(4); T.SetComposer("C"); },
       title + Frame23("TRCK", L1("4")) + year + pic + described + plain + date + link + Frame23("TCOM", L1("C"))},
  };
  const std::string f = Dir / "c.mp3";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    WriteFile(f, Tag(3, 0, old, 500) + Audio);
    TID3v2 t;
    ASSERT_TRUE(t.ReadFromFile(f));
    EXPECT_EQ(t.Comment(), "Texte");
    c.Change(t);
    ASSERT_TRUE(t.SaveToFile(f));
    // Written in place: the tag keeps its size.
    EXPECT_TRUE(ReadFileAsString(f) == Tag(3, 0, c.Frames, old.size() + 500 - c.Frames.size()) + Audio);
  }
}

TEST_F(ID3v2Test, AClearedCommentOrLinkStaysClearedWhenAnotherFrameCouldStandForIt) {
  // Two comments without a description and two links: clearing the one that is read
  // keeps the other and leaves an empty frame in its place, so the tag reads back as
  // saved and saving again changes nothing.
  auto comm = [](const std::string& Lang, const std::string& Text) {
    return Frame23("COMM", L1(Lang + std::string(1, '\0') + Text));
  };
  auto link = [](const std::string& Url) { return Frame23("WXXX", L1(std::string(1, '\0') + Url)); };
  const std::string f = Dir / "c.mp3";
  WriteFile(f, Tag(3, 0, comm("eng", "One") + comm("deu", "Zwei") + link("http://a/") + link("http://b/"), 200) + Audio);
  TID3v2 t;
  ASSERT_TRUE(t.ReadFromFile(f));
  ASSERT_EQ(t.Comment(), "One");
  ASSERT_EQ(t.Link(), "http://b/");
  t.SetComment("");
  t.SetLink("");
  ASSERT_TRUE(t.SaveToFile(f));
  const std::string saved = ReadFileAsString(f);
  TID3v2 back;
  ASSERT_TRUE(back.ReadFromFile(f));
  EXPECT_EQ(back.Comment(), "");
  EXPECT_EQ(back.Link(), "");
  const std::string frames = comm("eng", "") + comm("deu", "Zwei") + link("http://a/") + link("");
  EXPECT_TRUE(saved.substr(10, frames.size()) == frames);
  ASSERT_TRUE(t.SaveToFile(f));
  EXPECT_TRUE(ReadFileAsString(f) == saved);
}

// A valid tag of up to 4096 bytes with room enough is overwritten in place;
// any other layout is rebuilt with a 4096-byte tag, or a bigger one when needed.
TEST_F(ID3v2Test, WriterKeepsOrRebuildsTheTagBySize) {
  const std::string f = Dir / "s.mp3";
  const std::string v1 = std::string("TAG") + std::string(125, 'v');
  struct {
    std::string Old;
    size_t NewSize;
    uint8_t Version;  // a tag keeps its version
  } cases[] = {
      {"", 4096, 3},
      {Tag(3, 0, Frame23("TIT2", L1("Old")), 2048 - 10 - 14), 2048, 3},
      {Tag(4, 0x10, Frame24("TIT2", L1("Old")), 4096 - 20 - 14) + std::string("3DI\4\0\x10", 6) + Syncsafe(4096 - 20), 4096, 4},
      {Tag(3, 0, Frame23("TIT2", L1("Old")), 8192 - 10 - 14), 4096, 3},
      {Tag(3, 0, Frame23("TIT2", L1("Old")), 20), 44, 3},  // just room enough
      {Tag(3, 0, Frame23("TIT2", L1("Old")), 16), 4096, 3},
  };
  for (const auto& c : cases) {
    WriteFile(f, c.Old + Audio + v1);
    TID3v2 w;
    w.SetTitle("New");
    w.SetArtist("Artist");
    ASSERT_TRUE(w.SaveToFile(f));
    const std::string now = ReadFileAsString(f);
    ASSERT_EQ(now.size(), c.NewSize + Audio.size() + v1.size()) << c.Old.size();
    EXPECT_TRUE(now.compare(c.NewSize, std::string::npos, Audio + v1) == 0);
    TID3v2 r;
    ASSERT_TRUE(r.ReadFromFile(f));
    EXPECT_EQ(r.VersionID(), c.Version);
    EXPECT_EQ(r.Size(), static_cast<int32_t>(c.NewSize));
    EXPECT_EQ(r.Title(), "New");
  }
  // Texts longer than the default size make a bigger tag.
  WriteFile(f, Audio);
  TID3v2 big;
  big.SetComment(std::string(5000, 'c'));
  ASSERT_TRUE(big.SaveToFile(f));
  const std::string now = ReadFileAsString(f);
  const size_t size = 10 + 10 + 5 + 5000;
  EXPECT_EQ(now.size(), size + Audio.size());
  EXPECT_TRUE(now.compare(size, std::string::npos, Audio) == 0);
}

// A header that is not valid or that claims more than the file holds is no tag
// to cut: the new tag goes in front and every old byte stays.
TEST_F(ID3v2Test, ImplausibleTagIsKeptBehindTheNewOne) {
  const std::string f = Dir / "bad.mp3";
  const std::vector<std::string> olds = {
      std::string("ID3\3\0\0\x7F\x7F\x7F\x7F", 10) + Frame23("TIT2", L1("x")),
      std::string("ID3\3\0\0\x80\0\0\x10", 10) + Frame23("TIT2", L1("x")),
      std::string("ID3\xFF\0\0\0\0\0\x10", 10) + Frame23("TIT2", L1("x")),
  };
  for (const auto& old : olds) {
    WriteFile(f, old + Audio);
    TID3v2 r;
    ASSERT_TRUE(r.ReadFromFile(f));
    EXPECT_TRUE(r.Exists());
    EXPECT_EQ(r.Size(), 0);
    EXPECT_EQ(r.Title(), "");
    TID3v2 w;
    w.SetTitle("New");
    ASSERT_TRUE(w.SaveToFile(f));
    const std::string now = ReadFileAsString(f);
    EXPECT_TRUE(now.compare(4096, std::string::npos, old + Audio) == 0);
  }
}

TEST_F(ID3v2Test, MalformedAndFuzzedTagsNeverCrashOrChangeTheFile) {
  const std::vector<std::string> cases = {
      Tag(3, 0, Frame23("TIT2", L1("x")).substr(0, 8)),              // frame header cut
      Tag(3, 0, "TIT2" + BE32(0xFFFFFFF0) + std::string(2, '\0') + "\0abc"),
      Tag(4, 0, "TIT2" + BE32(0x7FFFFFFF) + std::string(2, '\0') + "\0abc"),
      Tag(4, 0x40, Syncsafe(0x0FFFFFFF) + "xx" + Frame24("TIT2", L1("x"))),
      Tag(3, 0x40, BE32(0xFFFFFFFF) + Frame23("TIT2", L1("x"))),
      Tag(4, 0, Frame24("TIT2", std::string(1, '\x01'), 0x01)),      // too short for its length field
      Tag(3, 0, Frame23("COMM", L1("en"))),                           // comment without language
      Tag(3, 0, Frame23("COMM", "\x01" "eng\xFF")),
      Tag(3, 0, Frame23("WXXX", std::string(1, '\x01'))),
      Tag(3, 0, Frame23("TIT2", "")),
      Tag(2, 0x40, Frame22("TT2", L1("x"))),                          // compressed 2.2 tag
      Tag(2, 0, Frame22("TT2", L1("x")).substr(0, 5)),
      Tag(4, 0x80, Frame24("TIT2", L1("\xFF"))),
  };
  for (const auto& c : cases) {
    TID3v2 t = ReadTag(c);
    EXPECT_TRUE(t.Exists());
  }
  // Random damage to a tag full of frames of every kind.
  const std::string body = Frame24("TIT2", "\x01" + UTF16LE(u"Title")) + Frame24("TPE1", L1("Artist")) +
                           Frame24("COMM", "\x03" + std::string("eng", 3) + std::string(1, '\0') + "c") +
                           Frame24("WXXX", L1(std::string("d\0u", 3))) + Frame24("TRCK", L1("1/2"), 0x03);
  const std::string good = Tag(4, 0x40, Syncsafe(6) + std::string(2, '\0') + body, 16);
  uint32_t x = 99;
  for (int i = 0; i < 500; ++i) {
    std::string bad = good;
    for (int k = 0; k < 3; ++k) {
      x = x * 1103515245u + 12345u;
      bad[(x >> 8) % bad.size()] = static_cast<char>(x >> 24);
    }
    ReadTag(bad);
  }
}

TEST_F(ID3v2Test, ReadOnlyFileIsReportedAndKept) {
  const std::string f = Dir / "ro.mp3";
  for (const std::string& old : {std::string(), Tag(3, 0, Frame23("TIT2", L1("Old")), 1000)}) {
    WriteFile(f, old + Audio);
    chmod(f.c_str(), 0444);
    TID3v2 w;
    w.SetTitle("New");
    EXPECT_FALSE(w.SaveToFile(f));
    EXPECT_TRUE(ReadFileAsString(f) == old + Audio);
    chmod(f.c_str(), 0644);
  }
  TID3v2 w;
  EXPECT_FALSE(w.SaveToFile(Dir / "missing.mp3"));
  EXPECT_EQ(Dir.Entries(), std::set<std::string>{"ro.mp3"});
}

TEST_F(ID3v2Test, FailureAtEachStepLeavesTheOriginal) {
  const std::string f = Dir / "f.mp3";
  const std::string audio = Filler(200000, 3);  // several copy blocks
  TID3v2 w;
  w.SetTitle("New");
  WriteFile(f, audio);
  ASSERT_TRUE(w.SaveToFile(f));
  const std::string rebuilt = ReadFileAsString(f);
  EXPECT_GE(FaultSweep(Dir, f, audio, rebuilt, [&] { return w.SaveToFile(f); }), 10);
  // In place over a tag of the same size.
  const std::string old = Tag(3, 0, Frame23("TIT2", L1("Old")), 1000) + audio;
  WriteFile(f, old);
  ASSERT_TRUE(w.SaveToFile(f));
  const std::string inPlace = ReadFileAsString(f);
  ASSERT_EQ(inPlace.size(), old.size());
  FaultSweep(Dir, f, old, inPlace, [&] { return w.SaveToFile(f); });
}

}  // namespace
