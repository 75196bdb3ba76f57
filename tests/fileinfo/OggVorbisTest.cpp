#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>

#include "fileinfo/ID3v2.h"
#include "fileinfo/OggVorbis.h"
#include "fileinfo/TagFileIO.h"
#include "platform/rtl/ByteOrder.h"
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
    pages.push_back({p, size, GetLE32(B.data() + p + 14)});
    p += size;
  }
  return pages;
}

bool ChecksumOK(const std::string& B, const TPage& P) {
  std::string page = B.substr(P.Offset, P.Size);
  const uint32_t stored = GetLE32(page.data() + 22);
  page.replace(22, 4, 4, '\0');
  return OggCRC(page.data(), page.size()) == stored;
}

void SetChecksum(std::string& Page) {
  Page.replace(22, 4, 4, '\0');
  PutLE32(&Page[22], OggCRC(Page.data(), Page.size()));
}

// Pages From on, with their sequence numbers moved by Delta.
std::string Renumbered(const std::string& B, const std::vector<TPage>& Pages, size_t From, int Delta) {
  std::string out;
  for (size_t i = From; i < Pages.size(); ++i) {
    std::string p = B.substr(Pages[i].Offset, Pages[i].Size);
    PutLE32(&p[18], GetLE32(p.data() + 18) + Delta);
    SetChecksum(p);
    out += p;
  }
  return out;
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
  PutLE32(&b[18], GetLE32(b.data() + 18) + 1);
  b += segs.substr(1) + data.substr(first);
  SetChecksum(b);
  return B.substr(0, p2.Offset) + a + b + Renumbered(B, pages, 2, 1);
}

// Moves the first audio page into the last header page (page 2), so that the
// setup packet no longer ends its page; later pages are renumbered.
std::string MergeThirdIntoSecondPage(const std::string& B) {
  const auto pages = Pages(B);
  const TPage p2 = pages[1], p3 = pages[2];
  const size_t n2 = static_cast<unsigned char>(B[p2.Offset + 26]), n3 = static_cast<unsigned char>(B[p3.Offset + 26]);
  std::string m = B.substr(p2.Offset, 27);
  m.replace(6, 8, B, p3.Offset + 6, 8);  // the granule of the audio that now ends on it
  m[26] = static_cast<char>(n2 + n3);
  m += B.substr(p2.Offset + 27, n2) + B.substr(p3.Offset + 27, n3) + B.substr(p2.Offset + 27 + n2, p2.Size - 27 - n2) +
       B.substr(p3.Offset + 27 + n3, p3.Size - 27 - n3);
  SetChecksum(m);
  return B.substr(0, p2.Offset) + m + Renumbered(B, pages, 3, -1);
}

// The pages after the headers (from the first that carries a granule position of
// audio) are those of Before with their sequence numbers moved, checksums right.
void ExpectAudioPagesRenumbered(const std::string& Before, const std::string& After) {
  auto audioStart = [](const std::string& B, const std::vector<TPage>& P) {
    size_t i = 1;
    // Header pages carry granule position 0, or none (all bits set).
    while (i < P.size() && (B.compare(P[i].Offset + 6, 8, std::string(8, '\0')) == 0 ||
                            B.compare(P[i].Offset + 6, 8, std::string(8, '\xFF')) == 0))
      ++i;
    return i;
  };
  const auto oldPages = Pages(Before), newPages = Pages(After);
  const size_t oldStart = audioStart(Before, oldPages), newStart = audioStart(After, newPages);
  ASSERT_EQ(oldPages.size() - oldStart, newPages.size() - newStart);
  ASSERT_EQ(newPages.back().Offset + newPages.back().Size, After.size());
  for (size_t i = 0; i < newPages.size(); ++i) EXPECT_TRUE(ChecksumOK(After, newPages[i])) << "page " << i;
  for (size_t i = 0; i + newStart < newPages.size(); ++i) {
    const TPage o = oldPages[oldStart + i], n = newPages[newStart + i];
    std::string a = Before.substr(o.Offset, o.Size), b = After.substr(n.Offset, n.Size);
    EXPECT_EQ(GetLE32(b.data() + 18), newStart + i) << "sequence of audio page " << i;
    a.replace(18, 8, 8, '\0');
    b.replace(18, 8, 8, '\0');
    EXPECT_TRUE(a == b) << "audio page " << i << " changed";
  }
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
  EXPECT_EQ(t.Comment(), std::string(300, 'l'));
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
  // Changed fields take the place of their comments; the others stay; new ones go last.
  EXPECT_EQ(Comments(f), "TITLE=New \xC5\x81\nREPLAYGAIN_TRACK_GAIN=1\nALBUM=Album\nTRACKNUMBER=4\nDATE=2024\nGENRE=Jazz\nCOMMENT=" +
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

// The comment and setup packets are laid out in as many pages as they need; the
// audio pages after them keep their bytes, renumbered when the count changes.
TEST_F(OggVorbisTest, HeaderPagesGrowAndShrinkWithTheComments) {
  const std::string small = MakeOgg("s.ogg", "-c TITLE=x");
  const std::string split = Dir / "split.ogg";
  WriteFile(split, SplitSecondPage(ReadFileAsString(MakeOgg("p.ogg", "-c 'COMMENT=" + std::string(600, 'y') + "' -c TITLE=Two"))));
  ExpectOggInfoClean(split);
  struct {
    std::string File;
    std::string Comment;
    std::string Expected;  // vorbiscomment's list afterwards
  } cases[] = {
      {small, std::string(70000, 'c'), "TITLE=x\nCOMMENT=" + std::string(70000, 'c') + "\n"},
      {small, std::string(200000, 'd'), "TITLE=x\nCOMMENT=" + std::string(200000, 'd') + "\n"},
      {small, "", "TITLE=x\n"},  // from four pages back to one
      {split, "short", "COMMENT=short\nTITLE=Two\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Comment.size());
    const std::string before = ReadFileAsString(c.File);
    const std::string pcm = Decode(c.File);
    TOggVorbis t;
    ASSERT_TRUE(t.ReadFromFile(c.File));
    t.SetComment(c.Comment);
    ASSERT_TRUE(t.SaveTag(c.File));
    EXPECT_EQ(Comments(c.File), c.Expected);
    ExpectOggInfoClean(c.File);
    EXPECT_TRUE(Decode(c.File) == pcm) << "decoded audio changed";
    ExpectAudioPagesRenumbered(before, ReadFileAsString(c.File));
    TOggVorbis r;
    ASSERT_TRUE(r.ReadFromFile(c.File));
    EXPECT_EQ(r.Comment(), c.Comment);
    EXPECT_EQ(r.Samples(), t.Samples());
  }
  // Every failing system call of a renumbering rewrite leaves the old or the new file.
  const std::string before = ReadFileAsString(small);
  TOggVorbis w;
  w.SetTitle("x");
  w.SetComment(std::string(70000, 'e'));
  ASSERT_TRUE(w.SaveTag(small));
  const std::string after = ReadFileAsString(small);
  EXPECT_GE(FaultSweep(Dir, small, before, after, [&] { return w.SaveTag(small); }), 10);
}

TEST_F(OggVorbisTest, SetupPacketSharingItsPageWithAudioIsRefused) {
  const std::string f = MakeOgg("a.ogg", "-c TITLE=x");
  const std::string merged = MergeThirdIntoSecondPage(ReadFileAsString(f));
  WriteFile(f, merged);
  TOggVorbis t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.Title(), "x");
  t.SetTitle("y");
  EXPECT_FALSE(t.SaveTag(f));
  EXPECT_TRUE(ReadFileAsString(f) == merged);
  EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"a.ogg"}));
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
