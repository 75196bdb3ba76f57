#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>

#include "fileinfo/ID3v2.h"
#include "fileinfo/OggVorbis.h"
#include "fileinfo/TagFileIO.h"
#include "tests/fileinfo/TestSupport.h"

using namespace testsupport;

namespace {

struct TPage {
  size_t Offset = 0;
  size_t Size = 0;
  uint32_t Serial = 0;
};

// The pages of an Ogg file, walked from Start.
std::vector<TPage> Pages(const std::string& B, size_t Start = 0) {
  std::vector<TPage> pages;
  size_t p = Start;
  while (p + 27 <= B.size() && B.compare(p, 4, "OggS") == 0) {
    const auto n = static_cast<unsigned char>(B[p + 26]);
    if (p + 27 + n > B.size()) break;
    size_t size = 27 + n;
    for (size_t i = 0; i < n; ++i) size += static_cast<unsigned char>(B[p + 27 + i]);
    pages.push_back({p, size, fileinfo::GetLE32(B.data() + p + 14)});
    p += size;
  }
  return pages;
}

bool ChecksumOK(const std::string& B, const TPage& P) {
  std::string page = B.substr(P.Offset, P.Size);
  const uint32_t stored = fileinfo::GetLE32(page.data() + 22);
  page.replace(22, 4, 4, '\0');
  return OggCRC(page.data(), page.size()) == stored;
}

void SetChecksum(std::string& Page) {
  Page.replace(22, 4, 4, '\0');
  const uint32_t crc = OggCRC(Page.data(), Page.size());
  for (int i = 0; i < 4; ++i) Page[22 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
}

// Splits page 2 after its first lacing value, so that the comment packet
// continues on a page of its own; later pages are renumbered.
std::string SplitSecondPage(const std::string& B) {
  const auto pages = Pages(B);
  const TPage p2 = pages[1];
  const size_t n = static_cast<unsigned char>(B[p2.Offset + 26]);
  const std::string head = B.substr(p2.Offset, 27), segs = B.substr(p2.Offset + 27, n);
  const std::string data = B.substr(p2.Offset + 27 + n, p2.Size - 27 - n);
  const auto first = static_cast<unsigned char>(segs[0]);
  std::string a = head;
  a.replace(6, 8, 8, '\xFF');  // no packet ends on it
  a[26] = 1;
  a += segs.substr(0, 1) + data.substr(0, first);
  SetChecksum(a);
  std::string b = head;
  b[5] = static_cast<char>(b[5] | 1);
  b[26] = static_cast<char>(n - 1);
  std::string out = B.substr(0, p2.Offset) + a;
  auto renumber = [](std::string& Page) {
    const uint32_t seq = fileinfo::GetLE32(Page.data() + 18) + 1;
    for (int i = 0; i < 4; ++i) Page[18 + i] = static_cast<char>((seq >> (8 * i)) & 0xFF);
    SetChecksum(Page);
  };
  b += segs.substr(1) + data.substr(first);
  renumber(b);
  out += b;
  for (size_t i = 2; i < pages.size(); ++i) {
    std::string p = B.substr(pages[i].Offset, pages[i].Size);
    renumber(p);
    out += p;
  }
  return out;
}

class OggVorbisTest : public ::testing::Test {
protected:
  void SetUp() override {
    REQUIRE_TOOL("sox");
    REQUIRE_TOOL("oggenc");
    REQUIRE_TOOL("vorbiscomment");
  }

  std::string MakeOgg(const std::string& Name, const std::string& Args, int Channels = 2, int Rate = 44100) {
    const std::string wav = Dir / (Name + ".wav");
    auto r = RunTool("sox -n -r " + std::to_string(Rate) + " -c " + std::to_string(Channels) + " -b 16 " +
                     Quote(wav) + " synth 1 sine 440");
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    const std::string f = Dir / Name;
    r = RunTool("oggenc -Q " + Args + " -o " + Quote(f) + " " + Quote(wav));
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    unlink(wav.c_str());
    return f;
  }

  std::string Comments(const std::string& File) {
    const auto r = RunTool("vorbiscomment -l " + Quote(File));
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    return r.Output;
  }

  void ExpectOggInfoClean(const std::string& File) {
    REQUIRE_TOOL("ogginfo");
    const auto r = RunTool("ogginfo " + Quote(File));
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    EXPECT_EQ(r.Output.find("WARNING"), std::string::npos) << r.Output;
    EXPECT_EQ(r.Output.find("ERROR"), std::string::npos) << r.Output;
  }

  std::string Decode(const std::string& File) {
    EXPECT_TRUE(ToolExists("oggdec")) << "missing tool: oggdec";
    const std::string raw = File + ".raw";
    const auto r = RunTool("oggdec -Q -R -o " + Quote(raw) + " " + Quote(File));
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    const std::string pcm = ReadFileAsString(raw);
    unlink(raw.c_str());
    EXPECT_FALSE(pcm.empty());
    return pcm;
  }

  TTempDir Dir;
};

TEST_F(OggVorbisTest, ReadsStreamFactsAndTheNineComments) {
  REQUIRE_TOOL("ffprobe");
  const std::string f = MakeOgg("a.ogg",
                                "-b 128 -c artist=X -c PERFORMER=Y -c TRACKNUMBER=3/10 -c DESCRIPTION=desc "
                                "-c 'TITLE=T\xC3\xABst' -c DATE=2003 -c genre=Rock -c ALBUM=Al -c ARTIST=Z");
  TOggVorbis t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_TRUE(t.IsValid());
  EXPECT_EQ(t.Channels(), 2);
  EXPECT_EQ(t.SampleRate(), 44100);
  EXPECT_EQ(t.BitRateNominal(), 128);
  const auto probe = RunTool("ffprobe -v error -select_streams a -show_entries stream=duration_ts "
                             "-of default=nw=1:nk=1 " + Quote(f));
  ASSERT_EQ(probe.ExitCode, 0) << probe.Output;
  EXPECT_EQ(t.Samples(), std::stoll(probe.Output));
  EXPECT_DOUBLE_EQ(t.Duration(), t.Samples() / 44100.0);
  EXPECT_EQ(t.FileSize(), static_cast<int64_t>(ReadFileAsString(f).size()));
  EXPECT_EQ(t.Bitrate(), static_cast<int32_t>(std::nearbyint(t.FileSize() / t.Duration() / 125)));
  EXPECT_EQ(t.StreamOffset(), 0);
  EXPECT_EQ(t.Vendor().rfind("Xiph.Org libVorbis", 0), 0u) << t.Vendor();

  EXPECT_EQ(t.Artist(), "Z");  // the last of a repeated name is kept
  EXPECT_EQ(t.Title(), "T\xC3\xABst");
  EXPECT_EQ(t.Album(), "Al");
  EXPECT_EQ(t.Track(), 3);
  EXPECT_EQ(t.Date(), "2003");
  EXPECT_EQ(t.Genre(), "Rock");
  EXPECT_EQ(t.Comment(), "desc");

  const std::string g = MakeOgg("b.ogg", "-c PERFORMER=Y -c TRACKNUMBER=7 -c COMMENT=c -c DESCRIPTION=d -c 'COMMENT=" +
                                             std::string(300, 'l') + "'");
  ASSERT_TRUE(t.ReadFromFile(g));
  EXPECT_EQ(t.Artist(), "Y");
  EXPECT_EQ(t.Track(), 7);
  EXPECT_EQ(t.Comment(), std::string(250 - 8, 'l'));  // a comment is read as its first 250 bytes
}

TEST_F(OggVorbisTest, SaveTagRewritesOnlyTheSecondPage) {
  const std::string f = MakeOgg("a.ogg", "-c TITLE=Old -c REPLAYGAIN_TRACK_GAIN=1 -c ARTIST=A");
  const std::string before = ReadFileAsString(f);
  const std::string pcm = Decode(f);
  TOggVorbis t;
  ASSERT_TRUE(t.ReadFromFile(f));
  t.SetTitle("  New \xC5\x81 ");
  t.SetArtist("");
  t.SetAlbum("Album");
  t.SetTrack(4);
  t.SetDate("2024");
  t.SetGenre("Jazz");
  t.SetComment(std::string(600, 'c'));
  ASSERT_TRUE(t.SaveTag(f));

  const std::string after = ReadFileAsString(f);
  EXPECT_EQ(Comments(f), "TITLE=New \xC5\x81\nALBUM=Album\nTRACKNUMBER=4\nDATE=2024\nGENRE=Jazz\nCOMMENT=" +
                             std::string(600, 'c') + "\n");
  ExpectOggInfoClean(f);
  EXPECT_TRUE(Decode(f) == pcm) << "decoded audio changed";
  const auto oldPages = Pages(before), newPages = Pages(after);
  ASSERT_EQ(oldPages.size(), newPages.size());
  ASSERT_GE(newPages.size(), 3u);
  EXPECT_TRUE(after.compare(0, newPages[1].Offset, before, 0, oldPages[1].Offset) == 0);
  EXPECT_TRUE(after.compare(newPages[2].Offset, std::string::npos, before, oldPages[2].Offset) == 0)
      << "pages after the second changed";
  for (const auto& p : newPages) EXPECT_TRUE(ChecksumOK(after, p)) << p.Offset;

  TOggVorbis r;
  ASSERT_TRUE(r.ReadFromFile(f));
  EXPECT_EQ(r.Title(), "New \xC5\x81");
  EXPECT_EQ(r.Track(), 4);
  EXPECT_EQ(r.Samples(), t.Samples());
  EXPECT_EQ(r.Vendor(), t.Vendor());

  FaultSweep(Dir, f, before, after, [&] {
    TOggVorbis w;
    w.SetTitle("New \xC5\x81");
    w.SetAlbum("Album");
    w.SetTrack(4);
    w.SetDate("2024");
    w.SetGenre("Jazz");
    w.SetComment(std::string(600, 'c'));
    return w.SaveTag(f);
  });
}

TEST_F(OggVorbisTest, LeadingID3v2TagIsSkippedAndKept) {
  const std::string f = MakeOgg("a.ogg", "-c TITLE=x");
  TID3v2 id3;
  id3.SetTitle("Id3");
  ASSERT_TRUE(id3.SaveToFile(f));
  const std::string before = ReadFileAsString(f);
  TOggVorbis t;
  ASSERT_TRUE(t.ReadFromFile(f));
  ASSERT_GT(t.StreamOffset(), 0);
  const auto tag = static_cast<size_t>(t.StreamOffset());
  EXPECT_EQ(before.compare(tag, 4, "OggS"), 0);
  EXPECT_EQ(t.Title(), "x");
  EXPECT_EQ(t.Samples(), 44100);
  EXPECT_DOUBLE_EQ(t.Duration(), 1.0);
  t.SetTitle("y");
  ASSERT_TRUE(t.SaveTag(f));
  const std::string after = ReadFileAsString(f);
  EXPECT_TRUE(after.compare(0, tag, before, 0, tag) == 0) << "ID3v2 tag changed";
  WriteFile(Dir / "bare.ogg", after.substr(tag));
  EXPECT_EQ(Comments(Dir / "bare.ogg"), "TITLE=y\n");
  ExpectOggInfoClean(Dir / "bare.ogg");
}

TEST_F(OggVorbisTest, CommentPacketSpanningPagesIsReadButNotRewritten) {
  const std::string f = MakeOgg("a.ogg", "");
  auto r = RunTool("vorbiscomment -w -t 'COMMENT=" + std::string(70000, 'x') + "' -t TITLE=End " + Quote(f));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  const std::string before = ReadFileAsString(f);
  const auto pages = Pages(before);
  ASSERT_GE(pages.size(), 3u);
  ASSERT_EQ(before[pages[2].Offset + 5] & 1, 1) << "the comment packet should continue on page 3";

  TOggVorbis t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.Title(), "End");
  EXPECT_EQ(t.Comment(), std::string(242, 'x'));
  EXPECT_TRUE(t.IsValid());
  t.SetTitle("Other");
  t.SetComment("");
  EXPECT_FALSE(t.SaveTag(f));
  EXPECT_TRUE(ReadFileAsString(f) == before);
  EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"a.ogg"}));

  // A small packet that still continues on page 3 is refused the same way.
  const std::string g = MakeOgg("b.ogg", "-c 'COMMENT=" + std::string(600, 'y') + "' -c TITLE=Two");
  const std::string split = SplitSecondPage(ReadFileAsString(g));
  WriteFile(g, split);
  ExpectOggInfoClean(g);
  ASSERT_TRUE(t.ReadFromFile(g));
  EXPECT_EQ(t.Title(), "Two");
  EXPECT_EQ(t.Samples(), 44100);
  t.SetTitle("Three");
  EXPECT_FALSE(t.SaveTag(g));
  EXPECT_TRUE(ReadFileAsString(g) == split);
}

TEST_F(OggVorbisTest, PageTwoNeedingMoreThan255SegmentsIsRefused) {
  const std::string f = MakeOgg("a.ogg", "-c TITLE=x");
  const std::string before = ReadFileAsString(f);
  TOggVorbis t;
  ASSERT_TRUE(t.ReadFromFile(f));
  t.SetComment(std::string(66000, 'c'));
  EXPECT_FALSE(t.SaveTag(f));
  EXPECT_TRUE(ReadFileAsString(f) == before);
  // Just under the limit still fits.
  t.SetComment(std::string(55000, 'c'));
  ASSERT_TRUE(t.SaveTag(f));
  ExpectOggInfoClean(f);
}

TEST_F(OggVorbisTest, LastPageMustCarryTheStreamSerialAndAValidChecksum) {
  const std::string f = MakeOgg("a.ogg", "");
  const std::string good = ReadFileAsString(f);
  const auto pages = Pages(good);
  const TPage last = pages.back();
  TOggVorbis t;

  // A page of another stream after the end, with a larger granule and a correct checksum.
  std::string other = good.substr(last.Offset, last.Size);
  other[6 + 4] = 0x7F;
  other[14] ^= 0x55;
  other.replace(22, 4, 4, '\0');
  const uint32_t crc = OggCRC(other.data(), other.size());
  for (int i = 0; i < 4; ++i) other[22 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
  WriteFile(f, good + other);
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.Samples(), 44100);

  // A damaged copy of the last page is passed over as well.
  std::string damaged = good.substr(last.Offset, last.Size);
  damaged[6 + 4] = 0x7F;
  WriteFile(f, good + damaged);
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.Samples(), 44100);

  // A file cut inside its last page falls back to the page before.
  WriteFile(f, good.substr(0, last.Offset + 40));
  ASSERT_TRUE(t.ReadFromFile(f));
  const std::string& prev = good;
  const TPage before = pages[pages.size() - 2];
  int64_t granule = 0;
  for (int i = 7; i >= 0; --i) granule = (granule << 8) | static_cast<unsigned char>(prev[before.Offset + 6 + i]);
  EXPECT_EQ(t.Samples(), granule);
  EXPECT_LT(t.Samples(), 44100);
}

TEST_F(OggVorbisTest, DurationFallbackUsesTheNominalBitrateOnce) {
  for (const int channels : {1, 2}) {
    const std::string f = MakeOgg("a.ogg", "-b 64", channels, 22050);
    const std::string good = ReadFileAsString(f);
    const auto pages = Pages(good);
    // The headers, then 13000 bytes in which no page can be found.
    WriteFile(f, good.substr(0, pages[2].Offset) + std::string(13000, '\0'));
    TOggVorbis t;
    ASSERT_TRUE(t.ReadFromFile(f));
    EXPECT_EQ(t.Samples(), 0);
    EXPECT_EQ(t.BitRateNominal(), 64);
    EXPECT_DOUBLE_EQ(t.Duration(), static_cast<double>(t.FileSize()) / 64 / 125) << channels;
    EXPECT_EQ(t.Bitrate(), 64) << channels;
  }
}

TEST_F(OggVorbisTest, ValidityFollowsChannelCountAndStreamHeaders) {
  TOggVorbis t;
  for (const int channels : {1, 5, 6}) {
    const std::string f = MakeOgg("c.ogg", "", channels);
    ASSERT_TRUE(t.ReadFromFile(f));
    EXPECT_EQ(t.Channels(), channels);
    EXPECT_EQ(t.IsValid(), channels != 5) << channels;
  }
  REQUIRE_TOOL("flac");
  const std::string wav = MakeWav(Dir, "w.wav");
  const auto r = RunTool("flac -s -f --ogg -o " + Quote(Dir / "f.oga") + " " + Quote(wav));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_FALSE(t.ReadFromFile(Dir / "f.oga"));  // Ogg, but not Vorbis
  EXPECT_FALSE(t.IsValid());
  EXPECT_FALSE(t.ReadFromFile(wav));
  WriteFile(Dir / "short.ogg", "OggS");
  EXPECT_FALSE(t.ReadFromFile(Dir / "short.ogg"));
  EXPECT_FALSE(t.SaveTag(Dir / "short.ogg"));
  EXPECT_FALSE(t.ReadFromFile(Dir / "missing.ogg"));
}

}  // namespace
