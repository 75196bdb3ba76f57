// Output names made from hostile and awkward tags under several patterns: every file
// lands inside the output folder, under the expected name.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/app/RunWindow.h"
#include "tests/support/AudioSources.h"
#include "tests/support/Files.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

std::string Repeat(const std::string& S, int N) {
  std::string r;
  while (N-- > 0) r += S;
  return r;
}

TTagSet Tags(const std::string& Artist, const std::string& Album, const std::string& Year, const std::string& Track,
             const std::string& Title) {
  TTagSet t;
  t.Artist = Artist, t.Album = Album, t.Year = Year, t.Track = Track, t.Title = Title;
  return t;
}

struct TNameCase {
  TFileNamePattern Pattern;
  std::string Caption;
  TTagSet Tags;
  std::string Expected;  // below the output folder
};

// 300 two-byte characters: the name keeps as many whole ones as leave room for "(n)"
// and the extension within the file system's 255 bytes.
const std::string Long = Repeat("é", 300);

const TNameCase Cases[] = {
    // The source's extension goes only where the name is the file name.
    {1, "Mr. Jones.mp3.wav", {}, "01 - Mr. Jones.mp3.wav"},
    {1, "a.b.c.wav", {}, "02 - a.b.c.wav"},
    {0, "x.y.wav", {}, "x.y.wav"},
    // Tags never name folders outside, nor separators, nor control characters.
    {5, "a.wav", Tags("../../x", "", "", "", "t"), "_.._x/t.wav"},
    {5, "b.wav", Tags("..", "", "", "", "u"), "_/u.wav"},
    {5, "c.wav", Tags("AC/DC", "", "", "", "Back in Black"), "AC_DC/Back in Black.wav"},
    {5, "d.wav", Tags("x\x01y\nz\x7f", "", "", "", "Tab\there."), "xyz/Tabhere.wav"},
    {5, "e.wav", Tags(" ", "", "", "", "a\\b"), "a_b.wav"},
    // Dots inside titles stay; names that would collide get "(n)".
    {2, "f.wav", Tags("", "", "", "", "Mr. Jones"), "Mr. Jones.wav"},
    {2, "g.wav", Tags("", "", "", "", "Vol. 1"), "Vol. 1.wav"},
    {2, "h.wav", Tags("", "", "", "", "Vol. 2"), "Vol. 2.wav"},
    {2, "i.wav", Tags("", "", "", "", "..."), "i.wav"},
    // No hidden files or folders: leading dots go too.
    {2, "i2.wav", Tags("", "", "", "", " .hidden "), "hidden.wav"},
    {7, "i3.wav", Tags("...And You", ". .Album", "", "", "W"), "And You/Album/W.wav"},
    {2, "j.wav", Tags("", "", "", "", "Same"), "Same.wav"},
    {2, "k.wav", Tags("", "", "", "", "Same"), "Same(1).wav"},
    {2, "l.wav", Tags("", "", "", "", Long), Repeat("é", 121) + ".wav"},
    // No track is invented; empty fields leave no dash and no empty folder.
    {4, "m.wav", {}, "m.wav"},
    {4, "n.wav", Tags("", "", "", "3/12", "Song"), "3_12 - Song.wav"},
    {4, "o.wav", Tags("", "", "", "", "Only"), "Only.wav"},
    {7, "p.wav", Tags("", "Hits", "", "", "Q"), "Hits/Q.wav"},
    {12, "q.wav", Tags("A", "", "", "", "R"), "A/R.wav"},
    {12, "r.wav", Tags("", "B", "2001", "", "S"), "B - 2001/S.wav"},
    // A dash inside a tag is no joiner: the joiner of an empty field still goes.
    {12, "s.wav", Tags("Jay-Z", "Hits", "", "", "T"), "Jay-Z/Hits/T.wav"},
    {12, "t.wav", Tags("C", "", "1999", "", "U"), "C/1999/U.wav"},
    {11, "u.wav", Tags("", "Hi-Fi", "", "", "V"), "Hi-Fi/V.wav"},
};

TEST(OutputNameTest, EveryOutputLiesInsideTheOutputFolderUnderTheExpectedName) {
  TTempDir in, out;
  TRunWindow w(out.Root());
  const std::string source = MakeWave(in.Path("source.wav"), 8000, 1, 0.05);
  std::vector<std::string> names;
  for (const TNameCase& c : Cases) {
    fs::copy_file(source, in.Path(c.Caption));
    names.push_back(in.Path(c.Caption));
  }
  ASSERT_TRUE(w.Files->AddFiles(names));
  ASSERT_EQ(w.Files->Count(), static_cast<int32_t>(std::size(Cases)));
  w.Out->SetFormat(outWave);

  std::map<TFileNamePattern, std::vector<std::string>> expected;
  for (const TNameCase& c : Cases) expected[c.Pattern].push_back(c.Expected);
  for (auto& [pattern, paths] : expected) {
    SCOPED_TRACE(int(pattern));
    // Two levels below a folder of the test's own, so that "../../x" would land there.
    const std::string root = out.Path("outputs/p" + std::to_string(pattern));
    w.Out->SetOutputDir(root);
    w.Out->SetFileNamePattern(pattern);
    for (int32_t i = 0; i < w.Files->Count(); ++i) {
      w.Files->SetChecked(i, Cases[i].Pattern == pattern);
      w.Files->Entries(i).CurrentTags = Cases[i].Tags;
    }
    ASSERT_TRUE(w.Convert());
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(FilesBelow(root), paths);
  }
  // Nothing was written beside the output folder.
  std::vector<std::string> top;
  for (const auto& f : fs::directory_iterator(out.Path("outputs"))) top.push_back(f.path().filename());
  EXPECT_EQ(top.size(), expected.size());
  EXPECT_FALSE(fs::exists(out.Path("x")));
}

}  // namespace
