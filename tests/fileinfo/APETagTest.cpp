#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "fileinfo/APETag.h"
#include "fileinfo/TagFileIO.h"
#include "platform/rtl/StrUtils.h"
#include "tests/fileinfo/TestSupport.h"
#include "tests/support/Pcm.h"
#include "tests/support/Tags.h"

using namespace testsupport;

namespace {

const char* const AppNames[12] = {"Artist", "Album", "Genre", "Year", "Track", "Title",
                                  "Comment", "Composer", "Encoder", "Copyright", "Language", "Link"};

class APETagTest : public ::testing::Test {
protected:
  TTempDir Dir;
  std::string Audio = Filler(3000, 11);
  std::string ID3v1 = "TAG" + std::string(125, 'i');
  std::string File = Dir / "t.ape";

  TAPETag ReadBack(const std::string& Contents, bool Result = true) {
    WriteFile(File, Contents);
    TAPETag t;
    EXPECT_EQ(t.ReadFromFile(File), Result);
    EXPECT_TRUE(ReadFileAsString(File) == Contents) << "reading changed the file";
    return t;
  }
};

TEST_F(APETagTest, WritesTheItemsWithValuesIntoWavPackForItsTools) {
  REQUIRE_TOOL("wvunpack");
  REQUIRE_TOOL("wvtag");
  const std::string f = MakeWavPack(Dir, "w.wv");
  const std::string audio = ReadFileAsString(f);
  // A tag where every item has a value, then five of them cleared as in the tag editor:
  // those items go, and no empty item is written.
  TAPETag full;
  for (int i = 0; i < 12; ++i) full.AppendField(AppNames[i], "old");
  ASSERT_TRUE(full.SaveToFile(f));
  TAPETag w;
  const char* values[12] = {"\xC5\x81\xC3\xB3\x64\xC5\xBA", "Album", "", "2003", "4", "Title",
                            "", "", "Encoder", "", "", "http://x/"};
  for (int i = 0; i < 12; ++i) w.AppendField(AppNames[i], values[i]);
  ASSERT_TRUE(w.SaveToFile(f));
  ASSERT_TRUE(w.SaveToFile(f));  // replaces, never stacks
  const std::string now = ReadFileAsString(f);
  EXPECT_TRUE(now.compare(0, audio.size(), audio) == 0) << "audio bytes changed";
  size_t items = 0;
  std::vector<TAPEField> kept;
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) {
    if (!*values[i]) continue;
    items += 8 + std::string(AppNames[i]).size() + 1 + std::string(values[i]).size();
    kept.push_back({AppNames[i], values[i]});
    names.push_back(LowerCase(AppNames[i]));
  }
  EXPECT_EQ(now.size(), audio.size() + items + 64);
  TAPETag r;
  ASSERT_TRUE(r.ReadFromFile(f));
  EXPECT_TRUE(r.Exists());
  EXPECT_EQ(r.Version(), 2000);
  EXPECT_EQ(r.Size(), static_cast<int32_t>(items + 32));
  ASSERT_EQ(r.Fields().size(), kept.size());
  for (size_t i = 0; i < kept.size(); ++i) {
    EXPECT_EQ(r.Fields()[i].Name, kept[i].Name);
    EXPECT_EQ(r.Fields()[i].Value, kept[i].Value);
  }
  std::vector<std::string> listed;
  for (const auto& item : MutagenTags("ape", f)) listed.push_back(item.first);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(listed, names);
  auto out = RunTool("wvunpack -ss " + Quote(f));
  EXPECT_EQ(out.ExitCode, 0) << out.Output;
  EXPECT_NE(out.Output.find("APEv2 tag items:   7"), std::string::npos) << out.Output;
  EXPECT_NE(out.Output.find("Encoder:           Encoder"), std::string::npos) << out.Output;
  out = RunTool("wvtag -q -x Artist " + Quote(f));
  EXPECT_NE(out.Output.find("\xC5\x81\xC3\xB3\x64\xC5\xBA"), std::string::npos) << out.Output;
  out = RunTool("wvtag -q -x Link " + Quote(f));
  EXPECT_NE(out.Output.find("http://x/"), std::string::npos) << out.Output;
  // The audio still decodes and verifies.
  out = RunTool("wvunpack -q -v " + Quote(f));
  EXPECT_EQ(out.ExitCode, 0) << out.Output;
  // Every field cleared: no tag is left, not an empty one.
  TAPETag none;
  for (int i = 0; i < 12; ++i) none.AppendField(AppNames[i], "");
  ASSERT_TRUE(none.SaveToFile(f));
  EXPECT_TRUE(ReadFileAsString(f) == audio) << "an empty tag stays";
}

TEST_F(APETagTest, ReadsTagsWrittenByWvtagAndSkipsBinaryItems) {
  REQUIRE_TOOL("wvtag");
  const std::string f = MakeWavPack(Dir, "r.wv");
  WriteFile(Dir / "img.bin", std::string("abc\0\1\2", 6));
  const auto out = RunTool("wvtag -q -w " + Quote("Artist=\xC5\x81\xC3\xB3\x64\xC5\xBA") + " -w Title=T " +
                           "--write-binary-tag " + Quote("Cover Art (Front)=@" + Dir / "img.bin") + " -w Year=1999 " +
                           Quote(f));
  ASSERT_EQ(out.ExitCode, 0) << out.Output;
  TAPETag t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_TRUE(t.Exists());
  EXPECT_EQ(t.GetField("artist"), "\xC5\x81\xC3\xB3\x64\xC5\xBA");
  EXPECT_EQ(t.GetField("TITLE"), "T");
  EXPECT_EQ(t.GetField("Year"), "1999");
  EXPECT_EQ(t.GetField("Cover Art (Front)"), "");
  EXPECT_EQ(t.Fields().size(), 3u);
}

TEST_F(APETagTest, ID3v1BlockStaysLast) {
  const std::string tag = ApeTag(Item("Artist", "A"), 1);
  // Removal keeps the block.
  WriteFile(File, Audio + tag + ID3v1);
  TAPETag t;
  ASSERT_TRUE(t.RemoveFromFile(File));
  EXPECT_TRUE(ReadFileAsString(File) == Audio + ID3v1);
  // Saving into a file with only an ID3v1 block puts the tag before it.
  TAPETag w;
  w.AppendField("Artist", "A");
  ASSERT_TRUE(w.SaveToFile(File));
  EXPECT_TRUE(ReadFileAsString(File) == Audio + tag + ID3v1);
  TAPETag r = ReadBack(ReadFileAsString(File));
  EXPECT_EQ(r.GetField("Artist"), "A");
  // Nothing to remove: nothing changes.
  WriteFile(File, Audio + ID3v1);
  ASSERT_TRUE(t.RemoveFromFile(File));
  EXPECT_TRUE(ReadFileAsString(File) == Audio + ID3v1);
}

// "TAG" 128 bytes before the end, with what looks like an older tag before it,
// may be the inside of the tag that really ends the file.
TEST_F(APETagTest, FooterAtTheEndWinsOverAnID3v1LookAlike) {
  const std::string value = Record(1000, 32, 0, 0) + "TAG" + std::string(93, 'y');
  const std::string tag = ApeTag(Item("Comment", value), 1);
  ASSERT_EQ(tag.substr(tag.size() - 128, 3), "TAG");
  TAPETag r = ReadBack(Audio + tag);
  EXPECT_TRUE(r.Exists());
  EXPECT_EQ(r.Fields().size(), 1u);
  EXPECT_EQ(r.GetField("Comment").substr(0, 8), "APETAGEX");
  ASSERT_TRUE(r.RemoveFromFile(File));
  EXPECT_TRUE(ReadFileAsString(File) == Audio);
}

TEST_F(APETagTest, TagWithoutHeaderAndVersion1) {
  const std::string items = Item("Title", "Old") + Item("Artist", "X");
  for (const std::string& tag : {ApeTag(items, 2, 2000, false), ApeTag(items, 2, 1000)}) {
    TAPETag r = ReadBack(Audio + tag);
    EXPECT_TRUE(r.Exists());
    EXPECT_EQ(r.GetField("title"), "Old");
    EXPECT_EQ(r.Size(), static_cast<int32_t>(items.size() + 32));
    ASSERT_TRUE(r.RemoveFromFile(File));
    EXPECT_TRUE(ReadFileAsString(File) == Audio);  // Size bytes cut, not Size + 32
  }
}

TEST_F(APETagTest, ValuesAreReadWholeAndTrimmed) {
  const std::string items = Item("Long", std::string(300, 'v')) + Item(" Name ", "  padded\r\n\0\0") +
                            Item("Wide", std::string(70000, 'w') + "\xC3\xA9") + Item("Empty", "");
  TAPETag r = ReadBack(Audio + ApeTag(items, 4));
  ASSERT_EQ(r.Fields().size(), 4u);
  EXPECT_EQ(r.GetField("long"), std::string(300, 'v'));
  EXPECT_EQ(r.GetField("Name"), "padded");
  EXPECT_EQ(r.GetField("wide"), std::string(70000, 'w') + "\xC3\xA9");
  EXPECT_EQ(r.GetField("empty"), "");
  EXPECT_EQ(r.GetField("missing"), "");
}

// Binary items, links, items of a reserved kind and items under names the format
// does not allow are not read, and a save keeps them byte for byte after the
// fields, unless a field of the same name replaces one.
TEST_F(APETagTest, SaveKeepsTheItemsFieldsCannotHold) {
  const std::string cover = Item("Cover Art (Front)", std::string("c.jpg\0\xFF\xD8", 8), 2);
  const std::string kept = Item("Related", "http://x/", 4) + Item("Odd", "?", 6) + Item("N\xC3\xA4me", "v");
  const std::string old = Item("Title", "Old") + cover + Item("Artist", "A") + kept;
  TAPETag r = ReadBack(Audio + ApeTag(old, 6) + ID3v1);
  ASSERT_EQ(r.Fields().size(), 2u);
  EXPECT_EQ(r.GetField("Cover Art (Front)"), "");

  TAPETag w;
  w.AppendField("Title", "New");
  ASSERT_TRUE(w.SaveToFile(File));
  EXPECT_TRUE(ReadFileAsString(File) == Audio + ApeTag(Item("Title", "New") + cover + kept, 5) + ID3v1);
  w.AppendField("cover art (front)", "text now");
  ASSERT_TRUE(w.SaveToFile(File));
  EXPECT_TRUE(ReadFileAsString(File) ==
              Audio + ApeTag(Item("Title", "New") + Item("cover art (front)", "text now") + kept, 5) + ID3v1);
}

TEST_F(APETagTest, ShortAndMissingFiles) {
  ReadBack(std::string(31, 'x'), false);
  TAPETag r = ReadBack(std::string(32, 'x'));
  EXPECT_FALSE(r.Exists());
  r = ReadBack(Audio);
  EXPECT_FALSE(r.Exists());
  EXPECT_FALSE(r.ReadFromFile(Dir / "missing"));
  EXPECT_FALSE(r.RemoveFromFile(Dir / "missing"));
  EXPECT_FALSE(r.SaveToFile(Dir / "missing"));
}

// A footer that does not check out is no tag: nothing is cut, a new tag is
// appended after it, and reading finds no items.
TEST_F(APETagTest, InvalidTagsAreNeverCut) {
  const std::string items = Item("Artist", "A");
  const auto size = static_cast<uint32_t>(items.size() + 32);
  const std::vector<std::string> bad = {
      items + Record(2000, size, 1, 0x80000000u),                           // header flagged, missing
      Record(2000, size + 1, 1, 0xA0000000u) + items + Record(2000, size, 1, 0x80000000u),
      Record(2000, size, 1, 0x80000000u) + items + Record(2000, size, 1, 0x80000000u),  // not a header
      items + Record(2000, 0xFFFFFFF0u, 1, 0),                               // size past the file
      items + Record(2000, 31, 0, 0),                                        // smaller than a footer
      items + Record(2000, size, 0xFFFFFFFFu, 0),                            // absurd count
      items + Record(3000, size, 1, 0),                                      // unknown version
      items + Record(2000, size, 1, 0x20000000u),                            // a header at the end
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    const std::string contents = Audio + bad[i];
    TAPETag r = ReadBack(contents);
    EXPECT_FALSE(r.Exists()) << i;
    ASSERT_TRUE(r.RemoveFromFile(File)) << i;
    EXPECT_TRUE(ReadFileAsString(File) == contents) << i;
    TAPETag w;
    w.AppendField("Title", "New");
    ASSERT_TRUE(w.SaveToFile(File)) << i;
    EXPECT_TRUE(ReadFileAsString(File) == contents + ApeTag(Item("Title", "New"), 1)) << i;
  }
}

TEST_F(APETagTest, MalformedItemsEndTheListWithoutOverreading) {
  const std::vector<std::string> cases = {
      Le32String(0xFFFFFFF0u) + Le32String(0) + "Name" + std::string(1, '\0') + "v",   // value past the tag
      Le32String(1) + Le32String(0) + std::string(300, 'n'),                           // name without end
      Le32String(1) + Le32String(0),                                                   // item header only
      std::string(7, 'x'),
  };
  for (const auto& c : cases) {
    const std::string items = Item("First", "1") + c;
    TAPETag r = ReadBack(Audio + ApeTag(items, 2));
    EXPECT_TRUE(r.Exists());
    ASSERT_EQ(r.Fields().size(), 1u);
    EXPECT_EQ(r.GetField("First"), "1");
  }
  // Random damage never crashes or changes the file.
  const std::string good = Audio + ApeTag(Item("Artist", "A") + Item("Title", "Tt") + Item("Bin", "xyz", 2), 3) + ID3v1;
  uint32_t x = 17;
  for (int i = 0; i < 500; ++i) {
    std::string b = good;
    for (int k = 0; k < 3; ++k) {
      x = x * 1103515245u + 12345u;
      b[b.size() - 1 - (x >> 8) % 260] = static_cast<char>(x >> 24);
    }
    ReadBack(b);
  }
}

TEST_F(APETagTest, WriterRefusesNamesTheFormatCannotCarry) {
  WriteFile(File, Audio);
  for (const std::string& name : {std::string(), std::string("a\0b", 3), std::string(256, 'n'), std::string("\xC3\xA9")}) {
    TAPETag w;
    w.AppendField("Title", "T");
    w.AppendField(name, "v");
    EXPECT_FALSE(w.SaveToFile(File));
    EXPECT_TRUE(ReadFileAsString(File) == Audio);
  }
}

TEST_F(APETagTest, ReadOnlyFileIsReportedAndKept) {
  const std::string contents = Audio + ApeTag(Item("Artist", "A"), 1);
  WriteFile(File, contents);
  chmod(File.c_str(), 0444);
  TAPETag w;
  w.AppendField("Artist", "B");
  EXPECT_FALSE(w.SaveToFile(File));
  EXPECT_FALSE(w.RemoveFromFile(File));
  EXPECT_TRUE(ReadFileAsString(File) == contents);
}

TEST_F(APETagTest, FailureAtEachStepLeavesTheOriginal) {
  TAPETag w;
  w.AppendField("Artist", "B");
  const std::string tagA = ApeTag(Item("Artist", "A"), 1), tagB = ApeTag(Item("Artist", "B"), 1);
  FaultSweep(Dir, File, Audio, Audio + tagB, [&] { return w.SaveToFile(File); });
  FaultSweep(Dir, File, Audio + tagA + ID3v1, Audio + tagB + ID3v1, [&] { return w.SaveToFile(File); });
  EXPECT_GE(FaultSweep(Dir, File, Audio + ID3v1, Audio + tagB + ID3v1, [&] { return w.SaveToFile(File); }), 8);
  EXPECT_GE(FaultSweep(Dir, File, Audio + tagA + ID3v1, Audio + ID3v1, [&] { return w.RemoveFromFile(File); }), 8);
}

}  // namespace
