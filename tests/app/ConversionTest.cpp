// The main road: a folder with a tagged source of every input format is added to a
// real list view and converted into each output format with the event loop running;
// every output is checked by the reference tools and its tags by mutagen.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "audio/io/TSL_WinMedia.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"
#include "platform/rtl/SysUtils.h"
#include "tests/app/RunWindow.h"
#include "tests/support/AudioSources.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Tools.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

constexpr double SourceSeconds = 1.4;

// The sources, made once per test program.
TTempDir* SourceDir = nullptr;
std::vector<TSource> Sources;

class ConversionTest : public testing::Test {
protected:
  static void SetUpTestSuite() {
    SourceDir = new TTempDir;
    Sources = MakeSourceFolder(SourceDir->Root(), SourceSeconds);
    // What the folder search passes over or refuses.
    WriteFile(SourceDir->Path("notes.txt"), std::string("not audio"));
    WriteFile(SourceDir->Path("cover.jpg"), std::string("\xFF\xD8\xFF", 3));
    WriteFile(SourceDir->Path("broken.ogg"), std::string(4096, 'x'));
    fs::copy_file(SourceDir->Path("plain.wav"), SourceDir->Path(".hidden.wav"));
    fs::create_directory(SourceDir->Path("sub"));
    fs::copy_file(SourceDir->Path("plain.wav"), SourceDir->Path("sub/inner.wav"));
  }
  static void TearDownTestSuite() {
    delete SourceDir;
    SourceDir = nullptr;
  }

  // Adds the source folder to W's list. The broken file leaves the telling of what was
  // not added (it, the picture and the notes) to the caller's one message.
  static void AddSources(TRunWindow& W) {
    TDialogScript noMessage;
    EXPECT_EQ(W.Files->AddFolder(SourceDir->Root(), true), 2);
    EXPECT_EQ(W.Files->NotAdded(), (std::vector<TNotAddedFile>{{"broken.ogg", "not a valid audio file"},
                                                                {"cover.jpg", "unknown extension"},
                                                                {"notes.txt", "unknown extension"}}));
  }
};

const TSource& SourceNamed(const std::string& Name) {
  for (const TSource& s : Sources)
    if (s.Name == Name) return s;
  throw std::runtime_error("no source " + Name);
}

TEST_F(ConversionTest, AddFolderListsEverySourceWithItsLengthSizeAndTags) {
  TTempDir out;
  TRunWindow w(out.Root());
  AddSources(w);

  // The broken file, the hidden one and the sub-folder's are not listed; the rest are,
  // in name order and ticked.
  std::vector<std::string> names;
  for (const TSource& s : Sources) names.push_back(s.Name);
  EXPECT_EQ(w.Captions(), names);
  EXPECT_EQ(w.Files->CheckedCount(), static_cast<int32_t>(Sources.size()));
  for (int32_t i = 0; i < w.Files->Count(); ++i) {
    const TFileListEntry& e = w.Files->Entries(i);
    const TSource& s = SourceNamed(e.Caption);
    SCOPED_TRACE(e.Caption);
    TListItem* item = w.View->Items()->Item(i);
    EXPECT_EQ(item->Caption(), e.Caption);
    EXPECT_TRUE(item->Checked());
    EXPECT_EQ(e.FileName, SourceDir->Path(s.Name));
    EXPECT_EQ(e.Duration, 1);
    EXPECT_EQ(item->SubItems()->Strings(0), "0:01");
    // Decoded bytes: the source's frames, 16 bits each sample (WMA decodes whole codec
    // frames of 2048 samples).
    const int64_t slack = e.FormatCode == fcWindowsMedia ? 2048 * 2 * s.Channels : 0;
    EXPECT_NEAR(e.DataSize, Round(SourceSeconds * s.Rate) * 2 * s.Channels, slack);
    const std::string size = item->SubItems()->Strings(1);
    ASSERT_GT(size.size(), 3u);
    EXPECT_EQ(size.substr(size.size() - 3), " MB");
    EXPECT_NEAR(std::atof(size.c_str()), static_cast<double>(fs::file_size(e.FileName)) / 1048576.0, 0.0051);
    EXPECT_EQ(CommonFields(e.FileTags), s.Tags);
    EXPECT_EQ(e.CurrentTags, e.FileTags);
  }
  // Adding the folder again changes nothing, and says nothing (no file is added).
  EXPECT_EQ(w.Files->AddFolder(SourceDir->Root(), true), 0);
  EXPECT_EQ(w.Files->Count(), static_cast<int32_t>(Sources.size()));
}

// What each format's default settings give: the rate and channels (0: the source's;
// -1: the format's own choice, not checked), ffprobe's codec name (nullptr: the system
// codec list's choice), and the kinds of tag its files carry (MutagenTags's).
struct TFormatCase {
  TOutputFormat Format;
  const char* Ext;
  const char* Codec;
  int Rate;
  int Channels;
  std::vector<std::string> TagKinds;
};

void PrintTo(const TFormatCase& C, std::ostream* Os) { *Os << C.Ext << " (" << int(C.Format) << ")"; }

const TFormatCase FormatCases[] = {
    {outMP3, ".mp3", "mp3", 0, 0, {"id3"}},
    {outWMA, ".wma", "wmav2", 0, 2, {"asf"}},
    {outWMASystem, ".wma", nullptr, -1, -1, {"asf"}},
    {outWave, ".wav", "pcm_s16le", 44100, 2, {}},
    {outWavPack, ".wv", "wavpack", 0, 2, {"ape"}},
    {outMonkeysAudio, ".ape", "ape", 0, 2, {"ape"}},
    {outOggVorbis, ".ogg", "vorbis", 0, 2, {"ogg"}},
    {outFLAC, ".flac", "flac", 0, 0, {"flac"}},
    {outTrueAudio, ".tta", "tta", 0, 0, {"id3", "ape"}},
    {outMusepack, ".mpc", "musepack8", 48000, 0, {"ape"}},
};

// The item each field of a tag set becomes in each kind of tag, in TagSetFields order
// (nullptr: the kind gets no such field), and an item the format's writer adds of its
// own. Windows Media's muxer stores the title and the artist twice, in its fixed
// description and among the attributes, and names itself.
struct TItemNames {
  const char* Kind;
  const char* Names[TagSetFieldCount];
  const char* Own;
};
const TItemNames ItemNames[] = {
    {"id3", {"TPE1", "TALB", "TCON", "TYER", "TRCK", "TIT2", "COMM::eng", "TCOM", "TENC", "TCOP", "TLAN", "WXXX:"}},
    {"asf",
     {"Author", "WM/AlbumTitle", "WM/Genre", "WM/Year", "WM/TrackNumber", "Title", "Description", nullptr, nullptr,
      "Copyright", nullptr, nullptr},
     "WM/EncodingSettings"},
    {"ape", {"Artist", "Album", "Genre", "Year", "Track", "Title", "Comment", "Composer", "Encoder", "Copyright",
             "Language", "Link"}},
    {"flac", {"Artist", "Album", "Genre", "Date", "TrackNumber", "Title", "Comment", "Composer", "Encoder",
              "Copyright", "Language", "URL"}},
    {"ogg", {"Artist", "Album", "Genre", "Date", "TrackNumber", "Title", "Comment"}},
};

// Item names in lower case, sorted, each once.
std::vector<std::string> NameSet(std::vector<std::string> Names) {
  for (std::string& n : Names) n = LowerCase(n);
  std::sort(Names.begin(), Names.end());
  Names.erase(std::unique(Names.begin(), Names.end()), Names.end());
  return Names;
}

// The items a tag of Kind should hold for T: one for each field with a value.
std::vector<std::string> ExpectedItems(const std::string& Kind, const TTagSet& T) {
  std::vector<std::string> r;
  for (const TItemNames& n : ItemNames) {
    if (Kind != n.Kind) continue;
    for (int i = 0; i < TagSetFieldCount; ++i)
      if (n.Names[i] && !(T.*TagSetFields[i]).empty()) r.push_back(n.Names[i]);
    if (n.Own) r.push_back(n.Own);
  }
  return NameSet(r);
}

// The output's path below the output folder under "<Artist>\<Album>\<Track>-<Title>".
std::string ExpectedPath(const TSource& S, const char* Ext) {
  if (S.Tags.empty()) return fs::path(S.Name).stem().string() + Ext;
  std::string path;
  for (const char* folder : {"artist", "album"})
    if (const std::string name = ValueOf(S.Tags, folder); !name.empty()) path += name + "/";
  const std::string track = ValueOf(S.Tags, "track");
  return path + (track.empty() ? "" : track + " - ") + ValueOf(S.Tags, "title") + Ext;
}

// The six texts and the track of the tag trailer after a WAV file's RIFF data, read
// byte by byte: title, artist, album, year, genre, comment, track.
std::vector<std::string> WaveTrailer(const std::string& Path) {
  const std::vector<uint8_t> b = ReadFile(Path);
  if (b.size() < 12 || std::string(b.end() - 4, b.end()) != "W3DI") return {};
  const uint32_t n = Le32(b, b.size() - 8);
  if (n < 12 || n > b.size()) return {};
  std::vector<std::string> fields;
  std::string cur;
  for (size_t i = b.size() - n; i < b.size() - 12; ++i) {
    if (b[i] == 0) {
      fields.push_back(Latin1ToUTF8(cur));
      cur.clear();
    } else {
      cur += static_cast<char>(b[i]);
    }
  }
  fields.push_back(IntToStr(static_cast<int32_t>(Le32(b, b.size() - 12))));
  return fields;
}

class ConvertEveryFormat : public ConversionTest, public testing::WithParamInterface<TFormatCase> {};

TEST_P(ConvertEveryFormat, EverySourceIsConvertedTaggedAndNamedByItsTags) {
  const TFormatCase& c = GetParam();
  TTempDir out;
  TRunWindow w(out.Root());
  AddSources(w);
  w.Out->SetFormat(c.Format);
  w.Out->SetFileNamePattern(9);
  ASSERT_TRUE(w.Convert());
  EXPECT_EQ(w.AllDone, 1);
  EXPECT_EQ(w.FilesDone, static_cast<int>(Sources.size()) - 1);
  EXPECT_EQ(w.Files->CheckedCount(), 0);
  EXPECT_FALSE(w.Files->Locked());
  for (int p : w.Percents) EXPECT_TRUE(p >= 0 && p <= 100) << p;
  EXPECT_EQ(w.PrgTotal->Percent(), 0);

  // Exactly one file per source, where the pattern puts it.
  std::vector<std::string> expected;
  for (const TSource& s : Sources) expected.push_back(ExpectedPath(s, c.Ext));
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(FilesBelow(out.Root()), expected);

  std::vector<std::string> paths;
  for (int32_t i = 0; i < w.Files->Count(); ++i) {
    const TFileListEntry& e = w.Files->Entries(i);
    const TSource& s = SourceNamed(e.Caption);
    const std::string path = out.Path(ExpectedPath(s, c.Ext));
    paths.push_back(path);
    SCOPED_TRACE(e.Caption);
    const TAudioFacts facts = ProbeAudio(path);
    if (c.Codec) {
      EXPECT_EQ(facts.Codec, c.Codec);
    } else {
      EXPECT_TRUE(facts.Codec == "wmav1" || facts.Codec == "wmav2") << facts.Codec;
    }
    if (c.Rate >= 0) {
      EXPECT_EQ(facts.Rate, c.Rate ? c.Rate : s.Rate);
      EXPECT_EQ(facts.Channels, c.Channels ? c.Channels : s.Channels);
    }
    EXPECT_EQ(facts.DecodeErrors, "");
    // "Medium"
    if (c.Format == outMP3) {
      EXPECT_EQ(facts.BitRate, 160000);
    }
    if (c.Format == outWMA) {
      EXPECT_EQ(facts.BitRate, 128000);
    }

    // The length, where the format records it exactly. The list holds a Windows Media
    // file's header length; its reader counts the frames when asked.
    int64_t sourceFrames = e.DataSize / (2 * s.Channels);
    if (e.FormatCode == fcWindowsMedia) {
      TComponentPtr<TWMIn> source(new TWMIn(nullptr));
      source->SetFileName(e.FileName);
      sourceFrames = source->TotalSamples();
    }
    const int64_t frames = Round(static_cast<double>(sourceFrames) * facts.Rate / s.Rate);
    if (c.Format == outMusepack) {
      const std::string wav = path + ".dec.wav";
      Shell("mpcdec " + Quote(path) + " " + Quote(wav) + " 2>/dev/null");
      EXPECT_EQ(std::atoll(Shell("soxi -s " + Quote(wav)).c_str()), frames);
      fs::remove(wav);
    } else if (c.Format != outWMA && c.Format != outWMASystem) {
      EXPECT_EQ(facts.Frames, frames);
    }

    if (c.Format == outWave) {
      const TTagSet& t = e.CurrentTags;
      // Untagged sources get no trailer at all.
      std::vector<std::string> expectedTrailer;
      if (!CommonFields(t).empty())
        expectedTrailer = {UTF8ToLatin1(t.Title), UTF8ToLatin1(t.Artist),   UTF8ToLatin1(t.Album), t.Year, t.Genre,
                           UTF8ToLatin1(t.Comment), t.Track.empty() ? "0" : t.Track};
      std::vector<std::string> trailer = WaveTrailer(path);
      for (std::string& f : trailer) f = UTF8ToLatin1(f);
      EXPECT_EQ(trailer, expectedTrailer);
    }
  }

  // The reference tools of the formats that have one.
  std::string files;
  for (const std::string& p : paths) files += " " + Quote(p);
  if (c.Format == outFLAC) Shell("flac -t -s" + files);
  if (c.Format == outWavPack) Shell("wvunpack -q -v" + files);
  if (c.Format == outOggVorbis)
    for (const std::string& p : paths) Shell("ogginfo -q " + Quote(p));

  // Tags, read by mutagen (the WAV trailer was checked above): the common fields' values,
  // and an item for each field with a value and for nothing else (no blank items).
  if (c.Format != outWave) {
    const std::vector<TTagItems> tags = MutagenCommonTags(paths);
    for (size_t i = 0; i < paths.size(); ++i) {
      const TTagSet& t = w.Files->Entries(static_cast<int32_t>(i)).CurrentTags;
      EXPECT_EQ(tags[i], CommonFields(t)) << paths[i];
      if (t == TTagSet{}) continue;
      for (const std::string& kind : c.TagKinds) {
        const TTagItems all = Without(MutagenTags(kind, paths[i]), {"version"});
        std::vector<std::string> items;
        for (const auto& item : all) items.push_back(item.first);
        EXPECT_EQ(NameSet(items), ExpectedItems(kind, t)) << kind << " tag of " << paths[i] << ": "
                                                          << testing::PrintToString(all);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ConvertEveryFormat, testing::ValuesIn(FormatCases),
                         [](const testing::TestParamInfo<TFormatCase>& I) {
                           return CaseName(std::string(I.param.Ext + 1) + std::to_string(I.param.Format));
                         });

}  // namespace

TEST(ConvertWideSamples, MonkeysAudioAndTrueAudioStoreThemIn24Bits) {
  // Their integer formats hold at most 24 bits a sample; the other formats take these as
  // they are.
  TTempDir in;
  std::vector<std::string> sources;
  for (const char* kind : {"signed-integer", "floating-point"}) {
    sources.push_back(in.Path(std::string(kind) + ".wav"));
    Shell(std::string("sox -n -r 44100 -c 2 -b 32 -e ") + kind + " " + Quote(sources.back()) +
          " synth 0.5 sine 440 vol 0.5");
  }
  const struct {
    TOutputFormat Format;
    const char* Ext;
    const char* Codec;
  } formats[] = {{outMonkeysAudio, ".ape", "ape"}, {outTrueAudio, ".tta", "tta"}};
  for (const auto& f : formats) {
    SCOPED_TRACE(f.Codec);
    TTempDir out;
    TRunWindow w(out.Root());
    ASSERT_TRUE(w.Files->AddFiles(sources));
    w.Out->SetFormat(f.Format);
    TDialogScript script;
    ASSERT_TRUE(w.Convert());
    EXPECT_TRUE(script.Requests().empty());
    const std::vector<std::string> expected = {std::string("floating-point") + f.Ext,
                                               std::string("signed-integer") + f.Ext};
    ASSERT_EQ(FilesBelow(out.Root()), expected);
    for (const std::string& name : expected) {
      SCOPED_TRACE(name);
      const TAudioFacts facts = ProbeAudio(out.Path(name));
      EXPECT_EQ(facts.Codec, f.Codec);
      EXPECT_EQ(facts.Channels, 2);
      EXPECT_EQ(facts.Frames, 22050);
      EXPECT_EQ(facts.DecodeErrors, "");
      EXPECT_EQ(Shell("ffprobe -v error -show_entries stream=bits_per_raw_sample -of csv=p=0 " + Quote(out.Path(name))),
                "24\n");
    }
  }
}
