#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <functional>

#include "fileinfo/FLACfile.h"
#include "fileinfo/TagFileIO.h"
#include "platform/rtl/ByteOrder.h"
#include "tests/fileinfo/TestSupport.h"

using namespace testsupport;

namespace {

struct TBlock {
  int Type = -1;
  bool Last = false;
  int64_t Length = 0;
};

// The metadata blocks as metaflac lists them.
std::vector<TBlock> ListBlocks(const std::string& File) {
  const auto r = RunTool("metaflac --list " + Quote(File));
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  std::vector<TBlock> blocks;
  bool typeSeen = false;
  size_t pos = 0;
  while (pos < r.Output.size()) {
    size_t end = r.Output.find('\n', pos);
    if (end == std::string::npos) end = r.Output.size();
    const std::string line = r.Output.substr(pos, end - pos);
    pos = end + 1;
    if (line.rfind("METADATA block #", 0) == 0) {
      blocks.emplace_back();
      typeSeen = false;
    } else if (!blocks.empty() && line.rfind("  type: ", 0) == 0 && !typeSeen) {
      blocks.back().Type = std::stoi(line.substr(8));
      typeSeen = true;
    } else if (!blocks.empty() && line.rfind("  is last: ", 0) == 0) {
      blocks.back().Last = line.find("true") != std::string::npos;
    } else if (!blocks.empty() && line.rfind("  length: ", 0) == 0) {
      blocks.back().Length = std::stoll(line.substr(10));
    }
  }
  return blocks;
}

std::vector<int> Types(const std::vector<TBlock>& Blocks) {
  std::vector<int> t;
  for (const auto& b : Blocks) t.push_back(b.Type);
  return t;
}

// Where the audio starts, from metaflac's list: "fLaC" and every block whole.
int64_t AudioStart(const std::vector<TBlock>& Blocks, int64_t Prefix = 0) {
  int64_t n = Prefix + 4;
  for (const auto& b : Blocks) n += 4 + b.Length;
  return n;
}

std::string Tags(const std::string& File) {
  const auto r = RunTool("metaflac --export-tags-to=- " + Quote(File));
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  return r.Output;
}

void ExpectDecodes(const std::string& File) {
  const auto r = RunTool("flac -t -s " + Quote(File));
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
}

std::string Chomp(const std::string& S) {
  const size_t e = S.find_last_not_of("\r\n ");
  return e == std::string::npos ? std::string() : S.substr(0, e + 1);
}

std::string Metaflac(const std::string& Args) {
  const auto r = RunTool("metaflac " + Args);
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  return Chomp(r.Output);
}

std::string BE24(int64_t V) {
  return std::string{static_cast<char>((V >> 16) & 0xFF), static_cast<char>((V >> 8) & 0xFF),
                     static_cast<char>(V & 0xFF)};
}

// Puts a metadata block right after STREAMINFO.
std::string InsertBlock(const std::string& Flac, uint8_t Type, const std::string& Data, size_t At = 42) {
  return Flac.substr(0, At) + static_cast<char>(Type) + BE24(static_cast<int64_t>(Data.size())) + Data +
         Flac.substr(At);
}

class FLACfileTest : public ::testing::Test {
protected:
  void SetUp() override {
    REQUIRE_TOOL("flac");
    REQUIRE_TOOL("metaflac");
    REQUIRE_TOOL("sox");
  }

  std::string MakeFlac(const std::string& Name, const std::string& Args, int Channels = 2, int Bits = 16,
                       int Rate = 44100) {
    const std::string wav = Dir / (Name + ".wav");
    auto r = RunTool("sox -n -r " + std::to_string(Rate) + " -c " + std::to_string(Channels) + " -b " +
                     std::to_string(Bits) + " " + Quote(wav) + " synth 1 sine 440");
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    const std::string f = Dir / Name;
    r = RunTool("flac -s -f " + Args + " -o " + Quote(f) + " " + Quote(wav));
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    unlink(wav.c_str());
    return f;
  }

  TTempDir Dir;
};

TEST_F(FLACfileTest, ReadsStreamFactsAndCommentsAsMetaflacShowsThem) {
  const std::string f = MakeFlac("a.flac",
                                 "--padding=4096 -T artist=X -T ARTIST=Y -T tracknumber=7 -T "
                                 "'TITLE=T\xC3\xABst' -T 'REPLAYGAIN_TRACK_GAIN=-1 dB' -T TONES=t",
                                 1, 24, 48000);
  // flac notes the mono source's channel mask; it is not what this test is about.
  Metaflac("--remove-tag=WAVEFORMATEXTENSIBLE_CHANNEL_MASK --dont-use-padding " + Quote(f));
  TFLACfile r;
  ASSERT_TRUE(r.ReadFromFile(f));
  EXPECT_TRUE(r.IsValid());
  EXPECT_EQ(std::to_string(r.SampleRate()), Metaflac("--show-sample-rate " + Quote(f)));
  EXPECT_EQ(std::to_string(r.Channels()), Metaflac("--show-channels " + Quote(f)));
  EXPECT_EQ(std::to_string(r.BitsPerSample()), Metaflac("--show-bps " + Quote(f)));
  EXPECT_EQ(std::to_string(r.Samples()), Metaflac("--show-total-samples " + Quote(f)));
  EXPECT_EQ(r.Vendor(), Metaflac("--show-vendor-tag " + Quote(f)));
  EXPECT_DOUBLE_EQ(r.Duration(), 1.0);

  const auto blocks = ListBlocks(f);
  ASSERT_EQ(Types(blocks), (std::vector<int>{0, 3, 4, 1}));
  EXPECT_EQ(r.CommentIndex(), 2);
  EXPECT_EQ(r.CommentSize(), blocks[2].Length);
  EXPECT_EQ(r.PaddingIndex(), 3);
  EXPECT_EQ(r.PaddingSize(), 4096);
  EXPECT_TRUE(r.PaddingLast());
  EXPECT_FALSE(r.MultiplePadding());
  EXPECT_EQ(r.OtherBlockCount(), 1u);
  EXPECT_EQ(r.AudioOffset(), AudioStart(blocks));
  EXPECT_EQ(r.FileSize(), static_cast<int64_t>(ReadFileAsString(f).size()));
  EXPECT_EQ(r.Bitrate(), static_cast<int32_t>(std::nearbyint((r.FileSize() - r.AudioOffset()) * 8 / 1000.0)));

  // Names are matched in upper case; a repeated known name and unknown names go to the extras.
  EXPECT_EQ(r.Artist(), "X");
  EXPECT_EQ(r.TrackString(), "7");
  EXPECT_EQ(r.Title(), "T\xC3\xABst");
  EXPECT_EQ(r.Field(ffTones), "t");
  ASSERT_EQ(r.ExtraFields().size(), 2u);
  EXPECT_EQ(r.ExtraFields()[0].Name, "ARTIST");
  EXPECT_EQ(r.ExtraFields()[0].Value, "Y");
  EXPECT_EQ(r.ExtraFields()[1].Name, "REPLAYGAIN_TRACK_GAIN");
  EXPECT_FALSE(r.ID3v2().Exists());

  // A second read starts from clear fields.
  const std::string g = MakeFlac("b.flac", "");
  ASSERT_TRUE(r.ReadFromFile(g));
  EXPECT_EQ(r.Artist(), "");
  EXPECT_TRUE(r.ExtraFields().empty());
  EXPECT_EQ(r.Channels(), 2);
  EXPECT_EQ(r.BitsPerSample(), 16);
}

TEST_F(FLACfileTest, WritesInPlaceIntoThePaddingAfterTheCommentBlock) {
  const std::string f = MakeFlac("a.flac", "--padding=4096 -T artist=X -T ARTIST=Y");
  const std::string before = ReadFileAsString(f);
  TFLACfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  const int64_t audio = t.AudioOffset();
  const int32_t oldSize = t.CommentSize();
  // "TITLE=" and 90 bytes with the length word make the block 100 bytes larger.
  t.SetTitle(std::string(88, 'a') + "\xC3\xA9");
  ASSERT_TRUE(t.SaveToFile(f, false));
  EXPECT_TRUE(t.HasTags());

  const std::string after = ReadFileAsString(f);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_TRUE(after.compare(audio, std::string::npos, before, audio) == 0) << "audio bytes changed";
  const auto blocks = ListBlocks(f);
  ASSERT_EQ(Types(blocks), (std::vector<int>{0, 3, 4, 1}));
  EXPECT_EQ(blocks[2].Length, oldSize + 100);
  EXPECT_EQ(blocks[3].Length, 3996);
  EXPECT_TRUE(blocks[3].Last);
  EXPECT_EQ(Tags(f), "ARTIST=X\nTITLE=" + std::string(88, 'a') + "\xC3\xA9\nARTIST=Y\n");
  ExpectDecodes(f);

  TFLACfile r;
  ASSERT_TRUE(r.ReadFromFile(f));
  EXPECT_EQ(r.AudioOffset(), audio);
  EXPECT_EQ(r.PaddingSize(), 3996);

  // Every failing system call leaves either the old or the new file, nothing else.
  FaultSweep(Dir, f, before, after, [&] {
    TFLACfile w;
    w.SetArtist("X");
    w.SetTitle(std::string(88, 'a') + "\xC3\xA9");
    w.ExtraFields().push_back({"ARTIST", "Y"});
    return w.SaveToFile(f, false);
  });
}

TEST_F(FLACfileTest, RebuildsWithNewPaddingWhenThereIsNoRoom) {
  const std::string f = MakeFlac("a.flac", "--no-padding -T TITLE=Old");
  const std::string before = ReadFileAsString(f);
  TFLACfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  const int64_t audio = t.AudioOffset();
  t.SetTitle("New title");
  t.SetAlbum("Album");
  t.SetField(ffPerformer, "Performer");
  ASSERT_TRUE(t.SaveToFile(f, false));

  const std::string after = ReadFileAsString(f);
  const auto blocks = ListBlocks(f);
  ASSERT_EQ(Types(blocks), (std::vector<int>{0, 3, 4, 1}));
  EXPECT_EQ(blocks[3].Length, 4096);
  EXPECT_TRUE(blocks[3].Last);
  const int64_t newAudio = AudioStart(blocks);
  EXPECT_TRUE(after.compare(newAudio, std::string::npos, before, audio) == 0) << "audio bytes changed";
  EXPECT_EQ(after.size() - newAudio, before.size() - audio);
  EXPECT_EQ(Tags(f), "ALBUM=Album\nTITLE=New title\nPERFORMER=Performer\n");
  ExpectDecodes(f);

  FaultSweep(Dir, f, before, after, [&] {
    TFLACfile w;
    w.SetTitle("New title");
    w.SetAlbum("Album");
    w.SetField(ffPerformer, "Performer");
    return w.SaveToFile(f, false);
  });
}

TEST_F(FLACfileTest, KeepsPictureSeekTableAndCueSheet) {
  REQUIRE_TOOL("sox");
  const std::string f = MakeFlac("a.flac", "--padding=4096 -T TITLE=x");
  const std::string png = Dir / "pic.png";
  auto r = RunTool("sox -n -r 8000 " + Quote(Dir / "n.wav") + " synth 0.2 sine 300 && sox " +
                   Quote(Dir / "n.wav") + " -n spectrogram -r -x 100 -y 65 -o " + Quote(png));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  WriteFile(Dir / "a.cue", "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                            "  TRACK 02 AUDIO\n    INDEX 01 00:00:30\n");
  Metaflac("--import-picture-from=" + Quote(png) + " " + Quote(f));
  Metaflac("--import-cuesheet-from=" + Quote(Dir / "a.cue") + " --no-cued-seekpoints " + Quote(f));
  ASSERT_EQ(Types(ListBlocks(f)), (std::vector<int>{0, 3, 4, 6, 5, 1}));
  const std::string cue = Metaflac("--export-cuesheet-to=- " + Quote(f));
  const std::string before = ReadFileAsString(f);

  // The padding does not follow the comment block: the blocks are collected
  // and the file keeps its size.
  TFLACfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.OtherBlockCount(), 3u);
  const int64_t audio = t.AudioOffset();
  t.SetArtist("Artist");
  ASSERT_TRUE(t.SaveToFile(f, false));
  std::string after = ReadFileAsString(f);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_TRUE(after.compare(audio, std::string::npos, before, audio) == 0);
  auto blocks = ListBlocks(f);
  ASSERT_EQ(Types(blocks), (std::vector<int>{0, 3, 6, 5, 4, 1}));
  EXPECT_TRUE(blocks.back().Last);
  EXPECT_EQ(Tags(f), "ARTIST=Artist\nTITLE=x\n");
  auto check = [&] {
    Metaflac("--export-picture-to=" + Quote(Dir / "out.png") + " " + Quote(f));
    EXPECT_TRUE(ReadFileAsString(Dir / "out.png") == ReadFileAsString(png)) << "picture changed";
    EXPECT_EQ(Metaflac("--export-cuesheet-to=- " + Quote(f)), cue);
    ExpectDecodes(f);
  };
  check();

  // Too big for the room: rebuilt, with the same blocks kept.
  t.SetComment(std::string(9000, 'c'));
  ASSERT_TRUE(t.SaveToFile(f, false));
  after = ReadFileAsString(f);
  blocks = ListBlocks(f);
  ASSERT_EQ(Types(blocks), (std::vector<int>{0, 3, 6, 5, 4, 1}));
  EXPECT_EQ(blocks.back().Length, 4096);
  EXPECT_TRUE(after.compare(AudioStart(blocks), std::string::npos, before, audio) == 0);
  check();
}

TEST_F(FLACfileTest, TwoPaddingBlocksBecomeOneThatAbsorbsTheSecond) {
  const std::string f = MakeFlac("a.flac", "--padding=4096 -T TITLE=x");
  Metaflac("--add-padding=100 " + Quote(f));
  ASSERT_EQ(Types(ListBlocks(f)), (std::vector<int>{0, 3, 4, 1, 1}));
  const std::string before = ReadFileAsString(f);
  TFLACfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_TRUE(t.MultiplePadding());
  EXPECT_FALSE(t.PaddingLast());
  const int32_t oldSize = t.CommentSize();
  t.SetTitle("xyz");
  ASSERT_TRUE(t.SaveToFile(f, false));
  const std::string after = ReadFileAsString(f);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_TRUE(after.compare(t.AudioOffset(), std::string::npos, before, t.AudioOffset()) == 0);
  const auto blocks = ListBlocks(f);
  ASSERT_EQ(Types(blocks), (std::vector<int>{0, 3, 4, 1}));
  EXPECT_EQ(blocks[3].Length, 4096 + 4 + 100 - 2);
  EXPECT_EQ(blocks[2].Length, oldSize + 2);
  EXPECT_TRUE(blocks[3].Last);
  ExpectDecodes(f);
}

TEST_F(FLACfileTest, FileWithoutCommentBlockGetsOne) {
  // With padding to spare: written in place, the new block's header included.
  const std::string f = MakeFlac("a.flac", "--padding=4096 -T TITLE=x");
  Metaflac("--remove --block-type=VORBIS_COMMENT --dont-use-padding " + Quote(f));
  ASSERT_EQ(Types(ListBlocks(f)), (std::vector<int>{0, 3, 1}));
  std::string before = ReadFileAsString(f);
  TFLACfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.CommentIndex(), 0);
  EXPECT_EQ(t.Vendor(), "");
  const int64_t audio = t.AudioOffset();
  t.SetTitle("Title");
  ASSERT_TRUE(t.SaveToFile(f, false));
  std::string after = ReadFileAsString(f);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_TRUE(after.compare(audio, std::string::npos, before, audio) == 0);
  auto blocks = ListBlocks(f);
  ASSERT_EQ(Types(blocks), (std::vector<int>{0, 3, 4, 1}));
  EXPECT_EQ(AudioStart(blocks), audio);
  EXPECT_EQ(Metaflac("--show-vendor-tag " + Quote(f)), "reference libFLAC 1.1.0 20030126");
  EXPECT_EQ(Tags(f), "TITLE=Title\n");
  ExpectDecodes(f);

  // Neither comment nor padding: rebuilt.
  const std::string g = MakeFlac("b.flac", "--no-padding");
  Metaflac("--remove --block-type=VORBIS_COMMENT --dont-use-padding " + Quote(g));
  ASSERT_EQ(Types(ListBlocks(g)), (std::vector<int>{0, 3}));
  before = ReadFileAsString(g);
  ASSERT_TRUE(t.ReadFromFile(g));
  const int64_t gAudio = t.AudioOffset();
  t.SetTitle("Title");
  ASSERT_TRUE(t.SaveToFile(g, false));
  after = ReadFileAsString(g);
  blocks = ListBlocks(g);
  ASSERT_EQ(Types(blocks), (std::vector<int>{0, 3, 4, 1}));
  EXPECT_TRUE(after.compare(AudioStart(blocks), std::string::npos, before, gAudio) == 0);
  ExpectDecodes(g);
}

TEST_F(FLACfileTest, StreamInfoAsLastBlockIsRebuiltWithItsFlagCleared) {
  const std::string f = MakeFlac("a.flac", "--no-padding --no-seektable");
  Metaflac("--remove --block-type=VORBIS_COMMENT --dont-use-padding " + Quote(f));
  ASSERT_EQ(Types(ListBlocks(f)), (std::vector<int>{0}));
  TFLACfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.AudioOffset(), 42);
  t.SetArtist("A");
  ASSERT_TRUE(t.SaveToFile(f, false));
  const auto blocks = ListBlocks(f);
  ASSERT_EQ(Types(blocks), (std::vector<int>{0, 4, 1}));
  EXPECT_FALSE(blocks[0].Last);
  ExpectDecodes(f);
}

TEST_F(FLACfileTest, LeadingID3v2TagIsKeptAndSteppedOver) {
  const std::string f = MakeFlac("a.flac", "--padding=4096 -T TITLE=Flac");
  TID3v2 id3;
  id3.SetTitle("Id3 title");
  ASSERT_TRUE(id3.SaveToFile(f));
  const std::string before = ReadFileAsString(f);
  ASSERT_EQ(before.compare(0, 3, "ID3"), 0);
  TFLACfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  ASSERT_TRUE(t.ID3v2().Exists());
  const int64_t tag = t.ID3v2().Size();
  EXPECT_EQ(t.ID3v2().Title(), "Id3 title");
  EXPECT_EQ(t.Title(), "Flac");
  EXPECT_EQ(t.AudioOffset(), AudioStart(ListBlocks(f), tag));
  const int64_t audio = t.AudioOffset();

  // In place, then rebuilt: the tag stays first, byte for byte.
  for (const size_t len : {10u, 6000u}) {
    t.SetComment(std::string(len, 'c'));
    ASSERT_TRUE(t.SaveToFile(f, false)) << len;
    const std::string after = ReadFileAsString(f);
    EXPECT_TRUE(after.compare(0, tag, before, 0, tag) == 0) << "ID3v2 tag changed";
    EXPECT_EQ(after.compare(tag, 4, "fLaC"), 0);
    const auto blocks = ListBlocks(f);
    ASSERT_EQ(Types(blocks), (std::vector<int>{0, 3, 4, 1})) << len;
    EXPECT_TRUE(after.compare(AudioStart(blocks, tag), std::string::npos, before, audio) == 0) << len;
    if (len == 10) {
      EXPECT_EQ(after.size(), before.size());
    }
    EXPECT_EQ(Tags(f), "TITLE=Flac\nCOMMENT=" + std::string(len, 'c') + "\n");
    ExpectDecodes(f);
    TFLACfile r;
    ASSERT_TRUE(r.ReadFromFile(f));
    EXPECT_EQ(r.Comment(), std::string(len, 'c'));
    EXPECT_EQ(r.ID3v2().Title(), "Id3 title");
  }
}

TEST_F(FLACfileTest, ToleratesOddButLegalMetadataAndRefusesBrokenMetadata) {
  const std::string f = MakeFlac("a.flac", "--padding=512 -T TITLE=x");
  const std::string good = ReadFileAsString(f);
  TFLACfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  const int64_t commentOffset = t.CommentOffset();

  // An empty padding block and a reserved block type are legal; the walk goes on.
  WriteFile(f, InsertBlock(InsertBlock(good, 1, ""), 9, "reserved"));
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.Title(), "x");
  EXPECT_EQ(t.PaddingIndex(), 2);
  EXPECT_EQ(t.PaddingSize(), 0);
  EXPECT_TRUE(t.MultiplePadding());
  t.SetTitle("y");
  ASSERT_TRUE(t.SaveToFile(f, false));
  auto blocks = ListBlocks(f);
  ASSERT_EQ(Types(blocks), (std::vector<int>{0, 9, 3, 4, 1}));
  EXPECT_EQ(blocks[1].Length, 8);
  EXPECT_EQ(Tags(f), "TITLE=y\n");
  ExpectDecodes(f);

  auto refused = [&](const std::string& Bytes, const char* What) {
    WriteFile(f, Bytes);
    TFLACfile b;
    EXPECT_FALSE(b.ReadFromFile(f)) << What;
    EXPECT_FALSE(b.IsValid()) << What;
    b.SetTitle("z");
    EXPECT_FALSE(b.SaveToFile(f, false)) << What;
    EXPECT_TRUE(ReadFileAsString(f) == Bytes) << What;
  };
  refused(InsertBlock(good, 127, "abcd"), "block type 127");
  std::string s = good;
  s[4] = 3;  // the first block is a seek table
  refused(s, "no STREAMINFO first");
  s = good;
  s[7] = 33;
  refused(s, "short STREAMINFO");
  refused(good.substr(0, commentOffset + 10), "cut inside the metadata");
  s = InsertBlock(good, 2, "");
  s[43] = '\x7F';  // an application block longer than the file
  refused(s, "block beyond the end");
  refused(good.substr(0, 42), "no last block");
}

TEST_F(FLACfileTest, CommentLengthsAndCountsStayInsideTheBlock) {
  const std::string f = MakeFlac("a.flac", "--padding=512 --no-seektable");
  auto comments = [](const std::string& Body) {
    std::string d;
    AppendLE32(d, 3);
    d += "ven";
    d += Body;
    return d;
  };
  std::string body;
  AppendLE32(body, 1000);  // far more comments than there are
  AppendLE32(body, 7);
  body += "TITLE=t";
  AppendLE32(body, 400);  // longer than the block
  body += "ARTIST=a";
  // The tool's own comment block goes; ours is the only one.
  Metaflac("--remove --block-type=VORBIS_COMMENT --dont-use-padding " + Quote(f));
  const std::string bare = ReadFileAsString(f);
  WriteFile(f, InsertBlock(bare, 4, comments(body)));
  TFLACfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.Vendor(), "ven");
  EXPECT_EQ(t.Title(), "t");
  EXPECT_EQ(t.Artist(), "");
  EXPECT_TRUE(t.ExtraFields().empty());

  std::string bad;
  AppendLE32(bad, 0xFFFFFFF0u);  // vendor longer than the block
  WriteFile(f, InsertBlock(bare, 4, bad + "xx"));
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.Vendor(), "");
}

TEST_F(FLACfileTest, TotalSamplesUseAll36Bits) {
  const std::string f = MakeFlac("a.flac", "");
  std::string s = ReadFileAsString(f);
  s[8 + 13] = static_cast<char>(s[8 + 13] | 0x02);  // bit 33 of the sample count
  WriteFile(f, s);
  TFLACfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.Samples(), (int64_t(2) << 32) + 44100);
  EXPECT_DOUBLE_EQ(t.Duration(), t.Samples() / 44100.0);
}

TEST_F(FLACfileTest, EmptyFieldsWriteOnlyVendorAndBasicOnlyLeavesOutTheRest) {
  const std::string f = MakeFlac("a.flac", "--padding=4096 -T TITLE=x -T FOO=bar");
  const std::string vendor = Metaflac("--show-vendor-tag " + Quote(f));
  TFLACfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  t.SetTitle("");
  t.ExtraFields().clear();
  ASSERT_TRUE(t.SaveToFile(f, false));
  EXPECT_FALSE(t.HasTags());
  EXPECT_EQ(Tags(f), "");
  EXPECT_EQ(Metaflac("--show-vendor-tag " + Quote(f)), vendor);
  ExpectDecodes(f);

  t.SetTitle("T");
  t.SetField(ffISRC, "isrc");
  t.SetField(ffLyrics, "la la");
  t.SetField(ffTempo, "fast");
  t.ExtraFields().push_back({"FOO", "bar"});
  t.ExtraFields().push_back({"BAD=NAME", "dropped"});
  ASSERT_TRUE(t.SaveToFile(f, true));
  EXPECT_EQ(Tags(f), "TITLE=T\nTEMPO=fast\n");
  ASSERT_TRUE(t.SaveToFile(f, false));
  EXPECT_EQ(Tags(f), "TITLE=T\nTEMPO=fast\nISRC=isrc\nLYRICS=la la\nFOO=bar\n");
  ExpectDecodes(f);
}

// A save writes the fields that were read or set; the file's comments that none
// of them stands for stay after them.
TEST_F(FLACfileTest, SaveKeepsCommentsNoFieldStandsFor) {
  struct {
    const char* What;
    bool Read, BasicOnly;
    std::function<void(TFLACfile&)> Change;
    const char* Expected;
  } cases[] = {
      {"read, basic only: rarer names and repeats stay", true, true, [](TFLACfile& T) { T.SetArtist("Z"); },
       "ARTIST=Z\nMOOD=m\nARTIST=B\nLYRICS=l\ncustom=x\n"},
      {"new object: fields never set stay", false, false, [](TFLACfile& T) { T.SetTitle("T"); },
       "TITLE=T\nartist=A\nARTIST=B\nMOOD=m\nLYRICS=l\ncustom=x\n"},
      {"new object: extra fields are added once", false, false,
       [](TFLACfile& T) { T.ExtraFields() = {{"CUSTOM", "x"}, {"NEW", "n"}}; },
       "CUSTOM=x\nNEW=n\nartist=A\nARTIST=B\nMOOD=m\nLYRICS=l\n"},
  };
  const std::string f = MakeFlac("a.flac", "--padding=4096 -T artist=A -T ARTIST=B -T MOOD=m -T LYRICS=l -T custom=x");
  const std::string original = ReadFileAsString(f);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    WriteFile(f, original);
    TFLACfile t;
    if (c.Read) {
      ASSERT_TRUE(t.ReadFromFile(f));
    }
    c.Change(t);
    ASSERT_TRUE(t.SaveToFile(f, c.BasicOnly));
    EXPECT_EQ(Tags(f), c.Expected);
    ExpectDecodes(f);
  }
}

TEST_F(FLACfileTest, ReadOnlyOrMissingFileIsLeftAlone) {
  const std::string f = MakeFlac("a.flac", "--padding=4096");
  const std::string before = ReadFileAsString(f);
  chmod(f.c_str(), 0444);
  TFLACfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  t.SetTitle("T");
  EXPECT_FALSE(t.SaveToFile(f, false));
  t.SetComment(std::string(9000, 'c'));  // would need a rebuild
  EXPECT_FALSE(t.SaveToFile(f, false));
  EXPECT_TRUE(ReadFileAsString(f) == before);
  EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"a.flac"}));
  EXPECT_FALSE(t.SaveToFile(Dir / "missing.flac", false));
  EXPECT_FALSE(t.ReadFromFile(Dir / "missing.flac"));
}

}  // namespace
