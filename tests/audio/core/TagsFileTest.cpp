// The engine's tag readers and writers on real files: ID3v1 blocks, ID3v2 tags and
// APEv2 footers, checked against id3v2, eyeD3 and wavpack, plus malformed input.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "audio/core/TSL_Tags.h"
#include "platform/rtl/StrUtils.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Tags.h"
#include "tests/support/Tools.h"

using namespace testsupport;

namespace {

// Lines of a tool's output, as given.
std::vector<std::string> Lines(const std::string& S) {
  std::vector<std::string> r;
  std::stringstream ss(S);
  std::string l;
  while (std::getline(ss, l)) r.push_back(l);
  return r;
}

// "ID (Description): value" lines of `id3v2 -l`, by frame identifier. Latin-1 frames
// come out as their raw bytes, so values that are not UTF-8 are read as Latin-1.
std::map<std::string, std::string> Id3v2ToolFrames(const std::string& File) {
  std::map<std::string, std::string> r;
  const TRunResult run = RunTool("id3v2 -l " + Quote(File));
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  for (const std::string& l : Lines(run.Output)) {
    if (l.size() < 6 || l[4] != ' ' || l[5] != '(') continue;
    const size_t sep = l.find("): ");
    if (sep == std::string::npos) continue;
    std::string v = l.substr(sep + 3);
    if (!IsValidUTF8(v)) v = Latin1ToUTF8(v);
    r[l.substr(0, 4)] = v;
  }
  return r;
}

int Open(const std::string& Name, int Flags) {
  const int fd = open(Name.c_str(), Flags | O_CLOEXEC);
  EXPECT_GE(fd, 0) << Name;
  return fd;
}

std::string U8(const std::u16string& S) { return UTF16ToUTF8(S); }

std::string Utf16(const std::u16string& S, bool Big) {
  std::string r;
  for (char16_t c : S) {
    if (Big) r += {char(c >> 8), char(c)};
    else r += {char(c), char(c >> 8)};
  }
  return r;
}

// Each of Parts occurs in Text.
void ExpectContains(const std::string& Text, std::initializer_list<const char*> Parts) {
  for (const char* part : Parts) EXPECT_NE(Text.find(part), std::string::npos) << "no \"" << part << "\" in\n" << Text;
}

// Every ID3v2 field of T has the text Expected gives it, the others none.
void ExpectFields(const TId3v2Tags& T, std::initializer_list<std::pair<TId3v2Field, std::u16string>> Expected) {
  for (int32_t f = 0; f < Id3v2FieldCount; ++f) {
    const auto field = static_cast<TId3v2Field>(f);
    std::u16string want;
    for (const auto& [k, v] : Expected)
      if (k == field) want = v;
    EXPECT_EQ(U8(T.AsWideString(T.FieldKey(field))), U8(want)) << T.FieldKey(field);
  }
}
std::string S(const char* P, size_t N) { return std::string(P, N); }

bool ParseBytes(TId3v2Tags& T, const std::string& Bytes, int64_t& TagSize) {
  // An exactly sized heap copy, so the sanitizer sees any read past the end.
  std::vector<uint8_t> buf(Bytes.begin(), Bytes.end());
  return T.ParseTag(buf.data(), buf.size(), TagSize);
}

}  // namespace

// ---------------------------------------------------------------------------
// ID3v1

TEST(TagId3v1FileTest, WrittenBlockReadsBackHereAndInTools) {
  REQUIRE_TOOL("sox");
  REQUIRE_TOOL("id3v2");
  REQUIRE_TOOL("eyeD3");
  TTempDir dir;
  const std::string mp3 = MakeMp3(dir, "a.mp3");
  const std::string orig = ReadFileAsString(mp3);

  TId3v1Tags t;
  t.SetTitle("Café 日本");
  t.SetArtist("Ärtist");
  t.SetAlbum("An album title far longer than thirty bytes");
  t.SetYear(1999);
  t.SetTrack(7);
  t.SetComment("A comment of more than twenty-eight bytes");
  t.SetGenre("Rock");
  const int fd = Open(mp3, O_RDWR);
  lseek(fd, 0, SEEK_END);
  ASSERT_TRUE(t.WriteToFile(fd, true));
  close(fd);

  const std::string data = ReadFileAsString(mp3);
  ASSERT_EQ(data.size(), orig.size() + 128);
  EXPECT_EQ(data.substr(0, orig.size()), orig);
  const std::string block = data.substr(orig.size());
  // Latin-1 with one '?' per character it cannot hold; 28 comment bytes, 0, track.
  EXPECT_EQ(block.substr(3, 30), S("Caf\xE9 ??", 7) + std::string(23, '\0'));
  EXPECT_EQ(block.substr(97, 28), "A comment of more than twent");
  EXPECT_EQ(block[125], '\0');
  EXPECT_EQ(block[126], 7);
  EXPECT_EQ(uint8_t(block[127]), 17);

  const TRunResult tool = RunTool("id3v2 -l " + Quote(mp3));
  const std::string out = Latin1ToUTF8(tool.Output);
  ExpectContains(out, {"Title  : Café ??", "Artist: Ärtist", "Album  : An album title far longer than",
                       "Year: 1999, Genre: Rock (17)", "Comment: A comment of more than twent ", "Track: 7"});

  const TRunResult eye = RunTool("eyeD3 -1 " + Quote(mp3));
  ExpectContains(eye.Output,
                 {"title: Café ??\n", "artist: Ärtist\n", "album: An album title far longer than\n",
                  "release date: 1999", "track: 7\t\tgenre: Rock (id 17)", "\nA comment of more than twent\n"});

  TId3v1Tags r;
  const int rfd = Open(mp3, O_RDONLY);
  lseek(rfd, 5, SEEK_SET);
  EXPECT_TRUE(r.HasTag(rfd));
  ASSERT_TRUE(r.ReadFromFile(rfd));
  EXPECT_EQ(lseek(rfd, 0, SEEK_CUR), 5);
  close(rfd);
  EXPECT_EQ(r.Title(), "Café ??");
  EXPECT_EQ(r.Artist(), "Ärtist");
  EXPECT_EQ(r.Album(), "An album title far longer than");
  EXPECT_EQ(r.Year(), 1999);
  EXPECT_EQ(r.Track(), 7);
  EXPECT_EQ(r.Comment(), "A comment of more than twent");
  EXPECT_EQ(r.Genre(), "Rock");
}

TEST(TagId3v1FileTest, ReadsBlocksWrittenByTools) {
  REQUIRE_TOOL("sox");
  REQUIRE_TOOL("id3v2");
  REQUIRE_TOOL("eyeD3");
  TTempDir dir;
  const std::string a = MakeMp3(dir, "a.mp3");
  TRunResult r = RunTool("id3v2 -1 -t " + Quote("Title here") + " -a Someone -A Alb -y 2001 -T 5 -g 32 -c " +
               Quote("short note") + " " + Quote(a));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  const std::string b = MakeMp3(dir, "b.mp3");
  r = RunTool("eyeD3 --to-v1.1 -a " + Quote("Ärtist") + " -t " + Quote("Ünïcode") + " -G Jazz " + Quote(b));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;

  TId3v1Tags t;
  int fd = Open(a, O_RDONLY);
  ASSERT_TRUE(t.ReadFromFile(fd));
  close(fd);
  EXPECT_EQ(t.Title(), "Title here");
  EXPECT_EQ(t.Artist(), "Someone");
  EXPECT_EQ(t.Album(), "Alb");
  EXPECT_EQ(t.Year(), 2001);
  EXPECT_EQ(t.Track(), 5);
  EXPECT_EQ(t.Comment(), "short note");
  EXPECT_EQ(t.Genre(), "Classical");

  fd = Open(b, O_RDONLY);
  ASSERT_TRUE(t.ReadFromFile(fd));
  close(fd);
  EXPECT_EQ(t.Artist(), "Ärtist");
  EXPECT_EQ(t.Title(), "Ünïcode");
  EXPECT_EQ(t.GenreId(), 8);
}

TEST(TagId3v1FileTest, GenreTableIsTheStandardListWithItsOwnSpellings) {
  REQUIRE_TOOL("id3v2");
  const TRunResult list = RunTool("id3v2 -L");
  ASSERT_EQ(list.ExitCode, 0);
  std::map<int, std::string> standard;
  for (const std::string& l : Lines(list.Output)) {
    const size_t colon = l.find(':');
    if (colon == std::string::npos) continue;
    standard[int(StrToIntDef(l.substr(0, colon), -1))] = Trim(l.substr(colon + 1));
  }
  ASSERT_EQ(standard.size(), 148u);
  // The engine's spellings, and the current name at 133.
  const std::set<int> own = {22, 40, 46, 47, 104, 118, 123, 132, 133};
  for (int i = 0; i < Id3v1GenreCount; ++i) {
    if (own.count(i)) EXPECT_NE(standard[i], Id3v1GenreNames[i]) << i;
    else EXPECT_EQ(standard[i], Id3v1GenreNames[i]) << i;
    EXPECT_TRUE(SameText(standard[i], Id3v1GenreNames[i]) || own.count(i)) << i;
  }
}

TEST(TagId3v1FileTest, BlockLayoutAndItsEdges) {
  auto blank = [] {
    std::string b(128, '\0');
    b.replace(0, 3, "TAG");
    return b;
  };
  TId3v1Tags t;
  uint8_t raw[128];

  // Fields end at their first zero byte and are trimmed; 125 = 0, 126 = 5 is a track.
  std::string b = blank();
  b.replace(3, 8, S("Abc \0junk", 8));
  b.replace(93, 4, "19x9");
  b.replace(97, 28, std::string(28, 'c'));
  b[126] = 5;
  b[127] = char(200);
  memcpy(raw, b.data(), 128);
  ASSERT_TRUE(t.ParseBlock(raw));
  EXPECT_EQ(t.Title(), "Abc");
  EXPECT_EQ(t.Year(), 0);
  EXPECT_EQ(t.Comment(), std::string(28, 'c'));
  EXPECT_EQ(t.Track(), 5);
  EXPECT_EQ(t.GenreId(), 12);

  // Without a track the comment has all 30 bytes.
  b = blank();
  b.replace(97, 30, std::string(30, 'd'));
  memcpy(raw, b.data(), 128);
  ASSERT_TRUE(t.ParseBlock(raw));
  EXPECT_EQ(t.Comment(), std::string(30, 'd'));
  EXPECT_EQ(t.Track(), 0);

  // Writing: track 0 leaves 30 comment bytes, a track leaves 28, a zero and the track.
  TId3v1Tags w;
  w.SetComment(std::string(40, 'e'));
  w.BuildBlock(raw);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(raw) + 97, 30), std::string(30, 'e'));
  EXPECT_EQ(raw[127], 12);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(raw) + 93, 4), std::string(4, '\0'));  // no year
  w.SetTrack(200);
  w.SetYear(12345);
  w.BuildBlock(raw);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(raw) + 97, 28), std::string(28, 'e'));
  EXPECT_EQ(raw[125], 0);
  EXPECT_EQ(raw[126], 200);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(raw) + 93, 4), "1234");

  // No block, a short file and a bad handle.
  TTempDir dir;
  WriteFile(dir / "none", std::string(300, 'x'));
  WriteFile(dir / "short", "TAG");
  for (const char* name : {"none", "short"}) {
    const int fd = Open(dir / name, O_RDONLY);
    t.SetTitle("stale");
    EXPECT_FALSE(t.HasTag(fd));
    EXPECT_FALSE(t.ReadFromFile(fd));
    EXPECT_EQ(t.Title(), "");  // cleared before reading
    close(fd);
  }
  EXPECT_FALSE(t.HasTag(-1));
  EXPECT_FALSE(t.ReadFromFile(12345));
  EXPECT_FALSE(t.WriteToFile(-1, false));
}

// ---------------------------------------------------------------------------
// ID3v2 writing

TEST(TagId3v2WriteTest, WrittenTagReadsBackHereAndInTools) {
  REQUIRE_TOOL("sox");
  REQUIRE_TOOL("id3v2");
  REQUIRE_TOOL("eyeD3");
  TTempDir dir;
  const std::string mp3 = MakeMp3(dir, "a.mp3");
  const std::string orig = ReadFileAsString(mp3);

  TId3v2Tags t;
  t.SetArtist(u"Ärtist");
  // Album stays empty: the fields after it must still be written.
  t.SetGenre(u"Rock");
  t.SetTitle(u"日本語のタイトル");
  t.SetTrack("7");
  t.SetYear("2003");
  t.SetComment(u"Kommentar — ü");
  t.SetComposer(u"Композитор");
  t.SetEncoder(u"Sonvix");
  t.SetCopyright(u"© 2003");
  t.SetLanguage(u"deu");
  t.SetLink(u"http://example.com/ä");

  const int fd = Open(mp3, O_RDWR);
  lseek(fd, 100, SEEK_SET);
  ASSERT_TRUE(t.WriteToFile(fd, false));
  const std::string data = ReadFileAsString(mp3);
  // The handle now refers to the new file, positioned at its end.
  struct stat st;
  ASSERT_EQ(fstat(fd, &st), 0);
  EXPECT_EQ(st.st_size, static_cast<off_t>(data.size()));
  EXPECT_EQ(lseek(fd, 0, SEEK_CUR), static_cast<off_t>(data.size()));

  ASSERT_GT(data.size(), orig.size());
  EXPECT_EQ(data.substr(0, 6), S("ID3\x03\x00\x00", 6));
  const size_t tagLen = data.size() - orig.size();
  EXPECT_EQ(tagLen % 16, 0u);
  const std::string header = data.substr(6, 4);
  EXPECT_EQ(header, Syncsafe(static_cast<uint32_t>(tagLen - 10)));
  EXPECT_EQ(data.substr(tagLen), orig);  // the audio behind the tag is untouched
  EXPECT_EQ(data.substr(0, tagLen).find("TALB"), std::string::npos);

  // Every field but the empty album, and nothing else.
  const std::map<std::string, std::string> frames = {
      {"TPE1", "Ärtist"}, {"TIT2", "日本語のタイトル"}, {"TCON", "Rock (17)"}, {"TRCK", "7"},
      {"TYER", "2003"},   {"COMM", "()[eng]: Kommentar — ü"}, {"TCOM", "Композитор"}, {"TENC", "Sonvix"},
      {"TCOP", "© 2003"}, {"TLAN", "deu"}, {"WXXX", "(): http://example.com/%C3%A4"}};
  EXPECT_EQ(Id3v2ToolFrames(mp3), frames);

  const TRunResult eye = RunTool("eyeD3 " + Quote(mp3));
  ExpectContains(eye.Output,
                 {"ID3 v2.3:", "title: 日本語のタイトル\n", "artist: Ärtist\n", "album: \n", "composer: Композитор\n",
                  "recording date: 2003\n", "track: 7\t\tgenre: Rock (id 17)",
                  "[Description: ] [Lang: eng]\nKommentar — ü\n", "[Description: ]: http://example.com/%C3%A4\n"});

  // Read back through the same handle.
  TId3v2Tags r;
  lseek(fd, 0, SEEK_SET);
  EXPECT_TRUE(r.HasTag(fd));
  ASSERT_TRUE(r.ReadFromFile(fd));
  EXPECT_EQ(lseek(fd, 0, SEEK_CUR), static_cast<off_t>(tagLen));
  close(fd);
  EXPECT_EQ(r.IDSet(), 1);
  ExpectFields(r, {{id3Artist, u"Ärtist"},
                   {id3Genre, u"Rock"},
                   {id3Title, u"日本語のタイトル"},
                   {id3Track, u"7"},
                   {id3Year, u"2003"},
                   {id3Comment, u"Kommentar — ü"},
                   {id3Composer, u"Композитор"},
                   {id3Encoder, u"Sonvix"},
                   {id3Copyright, u"© 2003"},
                   {id3Language, u"deu"},
                   {id3Link, u"http://example.com/%C3%A4"}});  // a URL beyond ASCII goes as a URI
}

TEST(TagId3v2WriteTest, PaddingRoundsTheTagToSixteenBytes) {
  std::vector<uint8_t> tag;
  TId3v2Tags t;
  // One frame of 10 + 1 + n bytes.
  t.SetTitle(std::u16string(89, u'x'));
  ASSERT_TRUE(t.BuildTag(tag));
  EXPECT_EQ(tag.size(), 10u + 100 + 2);
  t.SetTitle(std::u16string(91, u'x'));
  ASSERT_TRUE(t.BuildTag(tag));
  EXPECT_EQ(tag.size(), 10u + 102 + 16);
  EXPECT_EQ(std::string(tag.begin() + 6, tag.begin() + 10), Syncsafe(118));
  TId3v2Tags empty;
  ASSERT_TRUE(empty.BuildTag(tag));
  EXPECT_EQ(tag.size(), 16u);

  // A URL beyond ASCII is percent-encoded rather than damaged.
  TId3v2Tags link;
  link.SetLink(u"http://例.jp/é");
  ASSERT_TRUE(link.BuildTag(tag));
  TId3v2Tags back;
  int64_t size;
  ASSERT_TRUE(back.ParseTag(tag.data(), tag.size(), size));
  EXPECT_EQ(back.Link(), u"http://%E4%BE%8B.jp/%C3%A9");
}

TEST(TagId3v2WriteTest, AnExistingTagStaysBehindTheNewOne) {
  REQUIRE_TOOL("sox");
  REQUIRE_TOOL("eyeD3");
  TTempDir dir;
  const std::string mp3 = MakeMp3(dir, "a.mp3");
  ASSERT_EQ(RunTool("eyeD3 --to-v2.4 -a Old -t Older " + Quote(mp3)).ExitCode, 0);
  const std::string before = ReadFileAsString(mp3);

  TId3v2Tags t;
  t.SetArtist(u"New");
  const int fd = Open(mp3, O_RDWR);
  ASSERT_TRUE(t.WriteToFile(fd, true));
  const std::string after = ReadFileAsString(mp3);
  ASSERT_GT(after.size(), before.size());
  const size_t tagLen = after.size() - before.size();
  EXPECT_EQ(after.substr(tagLen), before);

  TId3v2Tags r;
  lseek(fd, 0, SEEK_SET);
  ASSERT_TRUE(r.ReadFromFile(fd));
  EXPECT_EQ(r.Artist(), u"New");
  EXPECT_EQ(lseek(fd, 0, SEEK_CUR), static_cast<off_t>(tagLen));
  ASSERT_TRUE(r.ReadFromFile(fd));  // the old tag follows
  EXPECT_EQ(r.Artist(), u"Old");
  EXPECT_EQ(r.Title(), u"Older");
  close(fd);
}

TEST(TagId3v2WriteTest, AFailureHalfWayLeavesTheFileAsItWas) {
  REQUIRE_TOOL("sox");
  TTempDir dir;
  const std::string mp3 = MakeMp3(dir, "a.mp3");
  const std::string orig = ReadFileAsString(mp3);
  const auto entries = dir.Entries();

  TId3v2Tags t;
  t.SetTitle(std::u16string(3000, u'x'));
  const int fd = Open(mp3, O_RDWR);
  // Writes past this size fail, so the new file breaks off half-way.
  signal(SIGXFSZ, SIG_IGN);
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit lim = old;
  lim.rlim_cur = orig.size() + 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lim), 0);
  const bool named = t.WriteToFile(fd, false);

  // The same through a file without a name: its copy breaks off.
  const int anon = open(dir.Root().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  ASSERT_GE(anon, 0);
  ASSERT_EQ(pwrite(anon, orig.data(), orig.size(), 0), static_cast<ssize_t>(orig.size()));
  const bool unnamed = t.WriteToFile(anon, false);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);

  EXPECT_FALSE(named);
  EXPECT_EQ(ReadFileAsString(mp3), orig);
  EXPECT_EQ(dir.Entries(), entries);  // no temporary file left behind
  std::string viaHandle(orig.size(), '\0');
  EXPECT_EQ(pread(fd, viaHandle.data(), viaHandle.size(), 0), static_cast<ssize_t>(orig.size()));
  EXPECT_EQ(viaHandle, orig);
  close(fd);

  EXPECT_FALSE(unnamed);
  struct stat st;
  ASSERT_EQ(fstat(anon, &st), 0);
  std::string anonData(orig.size(), '\0');
  EXPECT_EQ(st.st_size, static_cast<off_t>(orig.size()));
  EXPECT_EQ(pread(anon, anonData.data(), anonData.size(), 0), static_cast<ssize_t>(orig.size()));
  EXPECT_EQ(anonData, orig);
  close(anon);
}

TEST(TagId3v2WriteTest, FilesWithoutANameAreRewrittenFromACopy) {
  TTempDir dir;
  std::string content;
  for (int i = 0; i < 300000; ++i) content += char(i * 31 + i / 977);
  const int fd = open(dir.Root().c_str(), O_TMPFILE | O_RDWR | O_APPEND | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));

  TId3v2Tags t;
  t.SetTitle(u"Anonymous");
  ASSERT_TRUE(t.WriteToFile(fd, false));
  struct stat st;
  ASSERT_EQ(fstat(fd, &st), 0);
  std::string data(static_cast<size_t>(st.st_size), '\0');
  ASSERT_EQ(pread(fd, data.data(), data.size(), 0), st.st_size);
  ASSERT_GT(data.size(), content.size());
  EXPECT_EQ(data.substr(data.size() - content.size()), content);
  EXPECT_EQ(fcntl(fd, F_GETFL) & O_APPEND, O_APPEND);  // the handle's mode is kept
  lseek(fd, 0, SEEK_SET);
  TId3v2Tags r;
  ASSERT_TRUE(r.ReadFromFile(fd));
  EXPECT_EQ(r.Title(), u"Anonymous");
  close(fd);
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(TagId3v2WriteTest, HandlesThatCannotTakeATagAreRefused) {
  TTempDir dir;
  const std::string name = dir / "a.bin";
  WriteFile(name, "content");
  TId3v2Tags t;
  t.SetTitle(u"x");
  const int ro = Open(name, O_RDONLY);
  EXPECT_FALSE(t.WriteToFile(ro, false));
  close(ro);
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  EXPECT_FALSE(t.WriteToFile(p[1], false));
  close(p[0]);
  close(p[1]);
  EXPECT_FALSE(t.WriteToFile(-1, false));
  EXPECT_EQ(ReadFileAsString(name), "content");
}

// ---------------------------------------------------------------------------
// ID3v2 reading

TEST(TagId3v2ReadTest, ReadsTagsMadeByEyeD3) {
  REQUIRE_TOOL("sox");
  REQUIRE_TOOL("eyeD3");
  struct TCase {
    const char* Version;
    const char* Encoding;
    bool Latin;
  };
  const TCase cases[] = {{"2.3", "latin1", true}, {"2.3", "utf16", false}, {"2.4", "utf8", false},
                         {"2.4", "utf16", false}, {"2.4", "utf16-be", false}, {"2.4", "latin1", true}};
  TTempDir dir;
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Version) + " " + c.Encoding);
    const std::string mp3 = MakeMp3(dir, std::string("e") + c.Version + c.Encoding + ".mp3");
    const std::u16string artist = c.Latin ? u"Ärtist" : u"Артист 日本";
    // Long enough that its frame size needs more than 7 bits.
    const std::u16string title = (c.Latin ? u"Tïtle " : u"Τίτλος ") + std::u16string(150, u'x');
    const std::string cmd = std::string("eyeD3 --to-v") + c.Version + " --encoding " + c.Encoding +
                            " -a " + Quote(U8(artist)) + " -A Album -t " + Quote(U8(title)) +
                            " -n 7 -G Rock --recording-date 2004-05-06 -c " + Quote("plain comment") +
                            " --add-comment " + Quote("described:desc") +
                            " --user-url-frame " + Quote("shop:http://shop.example/") +
                            " --user-url-frame " + Quote(":http://x.org/a") +
                            " --text-frame TCOM:Composer --text-frame TENC:Enc --text-frame TCOP:Copy" +
                            " --text-frame TLAN:deu " + Quote(mp3);
    const TRunResult run = RunTool(cmd);
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    const std::string data = ReadFileAsString(mp3);
    ASSERT_EQ(data.substr(0, 4), std::string("ID3") + char(c.Version[2] - '0'));
    const uint32_t size = (uint32_t(data[6]) << 21) | (uint32_t(data[7]) << 14) | (uint32_t(data[8]) << 7) |
                          uint32_t(data[9]);

    TId3v2Tags t;
    const int fd = Open(mp3, O_RDONLY);
    ASSERT_TRUE(t.ReadFromFile(fd));
    // The tag ends in padding; reading stops there and leaves the file at the tag's end.
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), static_cast<off_t>(size + 10));
    close(fd);
    EXPECT_EQ(t.IDSet(), 1);
    ExpectFields(t, {{id3Artist, artist},
                     {id3Album, u"Album"},
                     {id3Title, title},
                     {id3Track, u"07"},  // as eyeD3 writes it
                     {id3Genre, u"Rock"},
                     {id3Year, u"2004"},
                     {id3Comment, u"plain comment"},
                     {id3Link, u"http://x.org/a"},
                     {id3Composer, u"Composer"},
                     {id3Encoder, u"Enc"},
                     {id3Copyright, u"Copy"},
                     {id3Language, u"deu"}});
  }
}

TEST(TagId3v2ReadTest, ReadsAVersion22Tag) {
  REQUIRE_TOOL("sox");
  REQUIRE_TOOL("eyeD3");
  // eyeD3 cannot write version 2.2, so the tag is built here and eyeD3 confirms it.
  const std::string body =
      Frame22("TT2", '\x01' + S("\xFF\xFE", 2) + Utf16(u"Заголовок", false)) +
      Frame22("TP1", S("\0", 1) + "Art\xEFst") + Frame22("TAL", S("\0", 1) + "Album") +
      Frame22("TRK", S("\0", 1) + "3/9") + Frame22("TYE", S("\0", 1) + "1998") +
      Frame22("TCO", S("\0", 1) + "Jazz") + Frame22("COM", S("\0", 1) + "eng" + S("\0", 1) + "A note") +
      Frame22("WXX", S("\0", 1) + S("\0", 1) + "http://v22.example/") +
      Frame22("TCM", S("\0", 1) + "Comp") + Frame22("TEN", S("\0", 1) + "Enc") +
      Frame22("TCR", S("\0", 1) + "Copy") + Frame22("TLA", S("\0", 1) + "fra") + std::string(20, '\0');
  TTempDir dir;
  const std::string mp3 = MakeMp3(dir, "a.mp3");
  const std::string orig = ReadFileAsString(mp3);
  const std::string tag = Tag(2, 0, body);
  WriteFile(mp3, tag + orig);
  const TRunResult eye = RunTool("eyeD3 " + Quote(mp3));
  ASSERT_NE(eye.Output.find("ID3 v2.2"), std::string::npos) << eye.Output;
  ASSERT_NE(eye.Output.find("title: Заголовок\n"), std::string::npos) << eye.Output;
  ASSERT_NE(eye.Output.find("artist: Artïst\n"), std::string::npos) << eye.Output;

  TId3v2Tags t;
  const int fd = Open(mp3, O_RDONLY);
  ASSERT_TRUE(t.ReadFromFile(fd));
  EXPECT_EQ(lseek(fd, 0, SEEK_CUR), static_cast<off_t>(tag.size()));
  close(fd);
  EXPECT_EQ(t.IDSet(), 0);
  ExpectFields(t, {{id3Title, u"Заголовок"},
                   {id3Artist, u"Artïst"},
                   {id3Album, u"Album"},
                   {id3Track, u"3/9"},
                   {id3Year, u"1998"},
                   {id3Genre, u"Jazz"},
                   {id3Comment, u"A note"},
                   {id3Link, u"http://v22.example/"},
                   {id3Composer, u"Comp"},
                   {id3Encoder, u"Enc"},
                   {id3Copyright, u"Copy"},
                   {id3Language, u"fra"}});

  // Copied into a set of the later keys, the fields survive and are written.
  TId3v2Tags copy;
  copy.Assign(t);
  std::vector<uint8_t> built;
  ASSERT_TRUE(copy.BuildTag(built));
  TId3v2Tags back;
  int64_t size;
  ASSERT_TRUE(back.ParseTag(built.data(), built.size(), size));
  EXPECT_EQ(back.IDSet(), 1);
  EXPECT_EQ(back.Title(), u"Заголовок");
  EXPECT_EQ(back.Link(), u"http://v22.example/");
  EXPECT_EQ(back.Language(), u"fra");
}

TEST(TagId3v2ReadTest, Version24FrameSizesPlainOrSyncSafe) {
  // Some writers put plain sizes into 2.4 tags: 256 bytes read as syncsafe would be
  // 128 and land inside the text.
  const std::string longTitle(255, 'a');
  std::string plain = Frame23("TIT2", S("\0", 1) + longTitle) + Frame23("TPE1", S("\x03", 1) + "Ärtist");
  int64_t size;
  TId3v2Tags t;
  ASSERT_TRUE(ParseBytes(t, Tag(4, 0, plain + std::string(10, '\0')), size));
  EXPECT_EQ(U8(t.Title()), longTitle);
  EXPECT_EQ(t.Artist(), u"Ärtist");

  // Proper syncsafe sizes of the same frames.
  std::string safe = Frame24("TIT2", S("\0", 1) + longTitle) + Frame24("TPE1", S("\x03", 1) + "Ärtist");
  ASSERT_TRUE(ParseBytes(t, Tag(4, 0, safe), size));
  EXPECT_EQ(U8(t.Title()), longTitle);
  EXPECT_EQ(t.Artist(), u"Ärtist");
}

TEST(TagId3v2ReadTest, EncodingsByteOrdersAndFrameFlags) {
  int64_t size;
  TId3v2Tags t;
  // Both byte orders of UTF-16, big-endian without a mark, and UTF-8.
  std::string body = Frame23("TIT2", '\x01' + S("\xFE\xFF", 2) + Utf16(u"Big ü", true)) +
                     Frame23("TPE1", '\x01' + S("\xFF\xFE", 2) + Utf16(u"Little ü", false)) +
                     Frame23("TALB", '\x02' + Utf16(u"No mark ü", true)) +
                     Frame23("TCOM", '\x03' + std::string("UTF-8 ü")) +
                     Frame23("TCON", '\x07' + std::string("unknown encoding")) +
                     Frame23("TENC", S("\0", 1) + "first" + S("\0", 1) + "second");
  ASSERT_TRUE(ParseBytes(t, Tag(3, 0, body), size));
  EXPECT_EQ(t.Title(), u"Big ü");
  EXPECT_EQ(t.Artist(), u"Little ü");
  EXPECT_EQ(t.Album(), u"No mark ü");
  EXPECT_EQ(t.Composer(), u"UTF-8 ü");
  EXPECT_TRUE(TagValueIsEmpty(t.Values("TCON")));
  EXPECT_EQ(t.Encoder(), u"first");

  // An extended header is stepped over; whole-tag unsynchronisation is undone.
  std::string frames = Frame23("TIT2", '\x01' + S("\xFF\xFE", 2) + Utf16(u"ÿÿ", false));
  std::string unsynced;
  for (char c : frames) {
    unsynced += c;
    if (uint8_t(c) == 0xFF) unsynced += '\0';
  }
  const std::string ext = BE32(6) + std::string(6, '\0');
  ASSERT_TRUE(ParseBytes(t, Tag(3, 0xC0, ext + unsynced), size));
  EXPECT_EQ(t.Title(), u"ÿÿ");

  // Version 2.4 frame flags: grouping byte, data length, unsynchronisation; an
  // encrypted frame is skipped, the next one still read.
  std::string data = '\x01' + S("\xFF\xFE", 2) + Utf16(u"ÿx", false);
  std::string dataUnsynced;
  for (char c : data) {
    dataUnsynced += c;
    if (uint8_t(c) == 0xFF) dataUnsynced += '\0';
  }
  body = Frame24("TIT2", S("\x05", 1) + Syncsafe(static_cast<uint32_t>(data.size())) + dataUnsynced, 0x43) +
         Frame24("TPE1", S("\x01", 1) + "\x03secret", 0x04) + Frame24("TALB", S("\x03", 1) + "After");
  ASSERT_TRUE(ParseBytes(t, Tag(4, 0x40, Syncsafe(6) + S("\x01\0", 2) + body), size));
  EXPECT_EQ(t.Title(), u"ÿx");
  EXPECT_TRUE(TagValueIsEmpty(t.Values("TPE1")));
  EXPECT_EQ(t.Album(), u"After");

  // A described comment or link gives way to one without a description.
  body = Frame23("COMM", S("\0", 1) + "eng" + "iTunNORM" + S("\0", 1) + "0000 1111") +
         Frame23("COMM", S("\0", 1) + "eng" + S("\0", 1) + "the comment") +
         Frame23("COMM", S("\0", 1) + "eng" + S("\0", 1) + "a later one") +
         Frame23("WXXX", S("\0", 1) + "desc" + S("\0", 1) + "http://described/");
  ASSERT_TRUE(ParseBytes(t, Tag(3, 0, body), size));
  EXPECT_EQ(t.Comment(), u"the comment");
  EXPECT_EQ(t.Link(), u"http://described/");
}

// ---------------------------------------------------------------------------
// Malformed ID3v2 tags

TEST(TagId3v2MalformedTest, AbsurdSizesAreRefusedOrBounded) {
  TTempDir dir;
  TId3v2Tags t;
  // A header claiming more than the file holds.
  const std::string name = dir / "big.mp3";
  WriteFile(name, S("ID3\x03\0\0\x7F\x7F\x7F\x7F", 10) + Frame23("TIT2", S("\0", 1) + "x"));
  int fd = Open(name, O_RDONLY);
  EXPECT_TRUE(t.HasTag(fd));
  EXPECT_FALSE(t.ReadFromFile(fd));
  EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0);
  close(fd);

  // A frame claiming more than the tag: the frames before it stay, the read succeeds.
  const std::string tag = Tag(3, 0,
                                 Frame23("TIT2", S("\0", 1) + "kept") + "TPE1" + BE32(0xFFFFFFFF) +
                                     std::string(2, '\0') + S("\0lost", 5));
  WriteFile(name, tag + "audio");
  fd = Open(name, O_RDONLY);
  ASSERT_TRUE(t.ReadFromFile(fd));
  EXPECT_EQ(lseek(fd, 0, SEEK_CUR), static_cast<off_t>(tag.size()));
  close(fd);
  EXPECT_EQ(t.Title(), u"kept");
  EXPECT_EQ(t.Artist(), u"");

  int64_t size;
  // Bad headers.
  for (const std::string& h : {S("ID3\x05\0\0\0\0\0\0", 10), S("ID3\x03\xFF\0\0\0\0\0", 10),
                               S("ID3\x03\0\x10\0\0\0\0", 10), S("ID3\x02\0\x20\0\0\0\0", 10),
                               S("ID3\x03\0\0\0\0\0\x80", 10), S("ID2\x03\0\0\0\0\0\0", 10)})
    EXPECT_FALSE(ParseBytes(t, h, size));
  // Extended headers and 2.2 frames bigger than the tag.
  EXPECT_TRUE(ParseBytes(t, Tag(3, 0x40, BE32(0xFFFFFFF0) + Frame23("TIT2", S("\0", 1) + "x")), size));
  EXPECT_TRUE(ParseBytes(t, Tag(4, 0x40, Syncsafe(0x0FFFFFFF) + Frame24("TIT2", S("\0", 1) + "x")), size));
  EXPECT_TRUE(ParseBytes(t, Tag(2, 0, S("TT2\xFF\xFF\xFF\0abc", 10)), size));
  EXPECT_TRUE(t.Empty());
  // A 2.4 data length indicator longer than the frame.
  EXPECT_TRUE(ParseBytes(t, Tag(4, 0, Frame24("TIT2", "\x01\x02", 0x41)), size));
}

TEST(TagId3v2MalformedTest, TruncatedAndFuzzedTagsReadSafely) {
  TId3v2Tags src;
  src.SetTitle(u"Τίτλος");
  src.SetArtist(u"Artist");
  src.SetComment(u"Comment ü");
  src.SetLink(u"http://link/");
  std::vector<uint8_t> built;
  ASSERT_TRUE(src.BuildTag(built));
  const std::string good(built.begin(), built.end());
  const std::string v24 = Tag(4, 0x80,
                                 Frame24("TIT2", S("\x01\xFF\0\xFE", 4) + Utf16(u"abc", false), 0x03) +
                                     Frame24("COMM", S("\x02", 1) + "eng" + S("\0\0", 2) + Utf16(u"c", true)) +
                                     Frame24("WXXX", S("\x01\xFF\xFE", 3)));
  const std::string v22 =
      Tag(2, 0x80, Frame22("TT2", S("\x01\xFF\0\xFE\0", 5) + "a") + Frame22("COM", "\x01"));

  int64_t size;
  TId3v2Tags t;
  for (const std::string& base : {good, v24, v22}) {
    // Every truncation, with the header claiming exactly what remains.
    for (size_t len = 0; len <= base.size(); ++len) {
      std::string cut = base.substr(0, len);
      if (len >= 10) cut.replace(6, 4, Syncsafe(static_cast<uint32_t>(len - 10)));
      ParseBytes(t, cut, size);
      ParseBytes(t, base.substr(0, len), size);  // header claiming more than there is
    }
  }
  ASSERT_TRUE(ParseBytes(t, good, size));
  EXPECT_EQ(t.Title(), u"Τίτλος");

  // Random damage to valid tags and wholly random frame areas.
  std::mt19937 rng(20240607);
  for (int i = 0; i < 4000; ++i) {
    const std::string& base = i % 3 == 0 ? good : i % 3 == 1 ? v24 : v22;
    std::string m = base;
    const int hits = 1 + int(rng() % 8);
    for (int h = 0; h < hits; ++h) m[10 + rng() % (m.size() - 10)] = char(rng());
    if (i % 5 == 0) m.resize(10 + rng() % (m.size() - 9));
    ParseBytes(t, m, size);
    std::string r = S("ID3", 3) + char(2 + i % 3) + '\0' + char(rng() & 0xE0);
    const uint32_t n = rng() % 200;
    r += Syncsafe(n);
    for (uint32_t k = 0; k < n; ++k) r += char(rng() % 4 == 0 ? 'A' + rng() % 26 : rng());
    ParseBytes(t, r, size);
  }
}

// ---------------------------------------------------------------------------
// APEv2

namespace {

bool ReadApe(const std::string& Bytes, TAPEv2Tags& Tags) {
  TMemoryStream m;
  m.Write(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  return ReadAPEv2Tags(m, Tags);
}

}  // namespace

TEST(TagApeTest, ReadsTextItemsWrittenByWavPack) {
  REQUIRE_TOOL("sox");
  REQUIRE_TOOL("wavpack");
  REQUIRE_TOOL("wvunpack");
  TTempDir dir;
  const std::string wav = dir / "a.wav";
  ASSERT_EQ(RunTool("sox -n -r 44100 -c 2 -b 16 " + Quote(wav) + " synth 0.5 sine 440").ExitCode, 0);
  WriteFile(dir / "blob.bin", std::string("\x00\x01\x02" "binary", 9));
  const std::string wv = dir / "a.wv";
  const TRunResult r = RunTool("wavpack -q -y --no-utf8-convert -w " + Quote("Artist=Артист ü") +
                         " -w " + Quote("Title=日本") + " -w Year=2001 -w Track=3/12 -w Genre=Jazz -w " +
                         Quote("Copyright=© me") + " -w Comment=skipped --write-binary-tag " +
                         Quote("Album=@" + (dir / "blob.bin")) + " " + Quote(wav) + " -o " + Quote(wv));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  const TRunResult list = RunTool("wvunpack -ss " + Quote(wv));
  ASSERT_NE(list.Output.find("Artist:"), std::string::npos) << list.Output;
  ASSERT_NE(list.Output.find("Album:"), std::string::npos) << list.Output;

  TAPEv2Tags t;
  TFileStream f(wv, fmOpenRead);
  ASSERT_TRUE(ReadAPEv2Tags(f, t));
  EXPECT_EQ(t.Artist(), u"Артист ü");
  EXPECT_EQ(t.Title(), u"日本");
  EXPECT_EQ(t.Year(), "2001");
  EXPECT_EQ(t.Track(), "3/12");
  EXPECT_EQ(t.Genre(), u"Jazz");
  EXPECT_EQ(t.Copyright(), u"© me");
  EXPECT_EQ(t.Album(), u"");  // binary item
  EXPECT_EQ(t.Comment(), u"");  // not one of the items read
  EXPECT_TRUE(std::holds_alternative<std::string>(t.Values("Year")));
}

TEST(TagApeTest, TagAndItemsAreBoundedByTheStream) {
  TAPEv2Tags t;
  const std::string audio(100, 'a');
  // Keys match without regard to case; list values keep their first entry.
  std::string items = Item("artist", "One") + Item("TITLE", S("First\0Second", 12));
  ASSERT_TRUE(ReadApe(audio + ApeTag(items, 2, 2000, false), t));
  EXPECT_EQ(t.Artist(), u"One");
  EXPECT_EQ(t.Title(), u"First");

  // A value reaching past the tag ends the reading; earlier items stay.
  t.Clear();
  items = Item("Artist", "Kept") + Le32String(1000) + Le32String(0) + "Title" + '\0' + "short";
  EXPECT_TRUE(ReadApe(audio + ApeTag(items, 5, 2000, false), t));
  EXPECT_EQ(t.Artist(), u"Kept");
  EXPECT_EQ(t.Title(), u"");

  // A key without terminator, a key longer than any buffer, an absurd count.
  t.Clear();
  items = Item(std::string(600, 'K'), "v") + Item("Album", "After long key") + Le32String(1) + Le32String(0) +
          "Gen";
  EXPECT_TRUE(ReadApe(audio + ApeTag(items, 0xFFFFFFFF, 2000, false), t));
  EXPECT_EQ(t.Album(), u"After long key");

  // Tag size beyond the stream, too small, another version, no footer.
  EXPECT_FALSE(ReadApe(audio + items + Record(2000, 100032, 1, 0), t));
  const std::string tiny =
      "APETAGEX" + Le32String(2000) + Le32String(31) + Le32String(0) + Le32String(0) + std::string(8, '\0');
  EXPECT_FALSE(ReadApe(audio + tiny, t));
  EXPECT_FALSE(ReadApe(audio + ApeTag(items, 1, 1000), t));
  EXPECT_FALSE(ReadApe(audio, t));
  EXPECT_FALSE(ReadApe("short", t));
}
