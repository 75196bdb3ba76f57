// Read-modify-save on files tagged by independent tools: long values read whole,
// and after the save mutagen finds every other item of the tag as it was (pictures,
// comments with other descriptions or languages, binary items, extra comments),
// while the audio decodes as before.

#include <gtest/gtest.h>

#include <functional>

#include "fileinfo/APETag.h"
#include "fileinfo/FLACfile.h"
#include "fileinfo/ID3v2.h"
#include "fileinfo/OggVorbis.h"
#include "platform/rtl/StrUtils.h"
#include "tests/fileinfo/TestSupport.h"
#include "tests/support/Tags.h"

using namespace testsupport;

namespace {

// 300 characters, some of them outside ASCII, and 70,000 bytes.
const std::string Long300 = [] {
  std::string s;
  for (int i = 0; i < 60; ++i) s += "Caf\xC3\xA9 ";
  return s.substr(0, s.size() - 1) + "!";
}();
const std::string Long70k = [] {
  std::string s;
  for (int i = 0; i < 7000; ++i) s += "0123456789";
  return s;
}();

std::string Run(const std::string& Command) { return Shell(Command); }

std::string MakePicture(const TTempDir& Dir) {
  const std::string png = Dir / "cover.png";
  Run("sox -n -r 8000 " + Quote(Dir / "n.wav") + " synth 0.2 sine 300 && sox " + Quote(Dir / "n.wav") +
      " -n spectrogram -r -x 100 -y 65 -o " + Quote(png));
  return png;
}

std::string EyeD3File(const TTempDir& Dir, const std::string& Version, const std::string& Encoding) {
  const std::string f = MakeMp3(Dir, "e" + Version + ".mp3");
  Run("eyeD3 --quiet --no-config --to-v" + Version + " --encoding " + Encoding + " -t " + Quote(Long300) +
      " -a Artist -A Album -n 3 -N 12 -Y 2004 -G Rock -c " + Quote(Long70k) +
      " --add-comment " + Quote("Described:notes") + " --add-comment " + Quote("Deutsch:notes:deu") +
      " --user-url-frame " + Quote("home:http://example.org/") + " --user-text-frame " + Quote("MOOD:calm") +
      " --add-image " + Quote(MakePicture(Dir) + ":FRONT_COVER:Cover") + " --unique-file-id owner:id123" +
      " --add-popularity a@b.c:128:5 " + Quote(f));
  return f;
}

const std::string Private = Bytes("owner\0secret\xFF\x00");

// A hand-built tag: frames of kinds no tool here writes.
std::string HandBuiltFile(const TTempDir& Dir, uint8_t Version) {
  const std::string audio = ReadFileAsString(MakeMp3(Dir, "h.mp3"));
  std::string body;
  if (Version == 2) {
    body = Frame22("TT2", L1(UTF8ToLatin1(Long300))) + Frame22("COM", L1(Bytes("engnotes\0Described"))) +
           Frame22("PIC", L1(Bytes("PNG\x03" "Cover\0\x89PNG-data"))) + Frame22("TP1", L1("Artist"));
  } else {
    body = Frame23("TIT2", L1(UTF8ToLatin1(Long300))) + Frame23("PRIV", Private) + Frame23("XYZW", "opaque") +
           Frame23("TPE1", L1("Artist")) + Frame23("COMM", L1(Bytes("eng\0") + Long70k));
  }
  const std::string f = Dir / "hand.mp3";
  WriteFile(f, Tag(Version, 0, body, 100) + audio);
  return f;
}

std::string WvtagFile(const TTempDir& Dir) {
  const std::string f = MakeWavPack(Dir, "t.wv");
  WriteFile(Dir / "cover.bin", Bytes("cover.jpg\0\xFF\xD8\xFF\xE0 binary"));
  Run("wvtag -q --no-utf8-convert -w " + Quote("Title=" + Long300) + " -w " + Quote("Comment=" + Long70k) +
      " -w Artist=Artist -w " + Quote("ReplayGain_Track_Gain=-1.5 dB") + " --write-binary-tag " +
      Quote("Cover Art (Front)=@" + Dir / "cover.bin") + " " + Quote(f));
  return f;
}

std::string MetaflacFile(const TTempDir& Dir) {
  const std::string f = Dir / "t.flac";
  Run("flac -s -f -o " + Quote(f) + " " + Quote(MakeWav(Dir, "t.wav")));
  Run("metaflac --remove-all-tags --set-tag=" + Quote("TITLE=" + Long300) + " --set-tag=" + Quote("COMMENT=" + Long70k) +
      " --set-tag=ARTIST=Artist --set-tag=MOOD=calm --set-tag=LYRICS=la --set-tag=" + Quote("replaygain_track_gain=-1.5 dB") +
      " --set-tag=custom=x --import-picture-from=" + Quote(MakePicture(Dir)) + " " + Quote(f));
  return f;
}

std::string VorbiscommentFile(const TTempDir& Dir) {
  const std::string f = Dir / "t.ogg";
  Run("oggenc -Q -o " + Quote(f) + " " + Quote(MakeWav(Dir, "t.wav", 2.0)));
  Run("vorbiscomment -w -t " + Quote("TITLE=" + Long300) + " -t " + Quote("COMMENT=" + Long70k) +
      " -t ARTIST=One -t ARTIST=Two -t PERFORMER=Band -t TRACKNUMBER=3/12 -t " +
      Quote("replaygain_track_gain=-1.5 dB") + " -t custom=x " + Quote(f));
  return f;
}

struct TCase {
  const char* Name;
  const char* Kind;  // mutagen's
  std::function<std::string(const TTempDir&)> Make;
  // Reads the file (checking the long values), changes fields and saves.
  std::function<bool(const std::string&)> Change;
  std::vector<std::string> Changed;  // the keys whose values change
};

const TCase Cases[] = {
    {"ID3v2.3 by eyeD3", "id3", [](const TTempDir& D) { return EyeD3File(D, "2.3", "utf16"); },
     [](const std::string& F) {
       TID3v2 t;
       EXPECT_TRUE(t.ReadFromFile(F));
       EXPECT_EQ(t.Title(), Long300);
       EXPECT_EQ(t.Comment(), Long70k);
       t.SetTitle("Zq title");
       return t.SaveToFile(F);
     },
     {"TIT2"}},
    {"ID3v2.4 by eyeD3", "id3", [](const TTempDir& D) { return EyeD3File(D, "2.4", "utf8"); },
     [](const std::string& F) {
       TID3v2 t;
       EXPECT_TRUE(t.ReadFromFile(F));
       EXPECT_EQ(t.Comment(), Long70k);
       t.SetComment("Zq note");
       t.SetLink("http://zq.example/");
       t.SetYear("2005");
       return t.SaveToFile(F);
     },
     {"COMM::eng", "WXXX:home", "TDRC"}},
    {"ID3v2.3 with private and unknown frames", "id3", [](const TTempDir& D) { return HandBuiltFile(D, 3); },
     [](const std::string& F) {
       TID3v2 t;
       EXPECT_TRUE(t.ReadFromFile(F));
       EXPECT_EQ(t.Comment(), Long70k);
       t.SetArtist("Zq artist");
       const bool ok = t.SaveToFile(F);
       const std::string now = ReadFileAsString(F);
       for (const std::string& frame : {Frame23("XYZW", "opaque"), Frame23("PRIV", Private)})
         EXPECT_NE(now.find(frame), std::string::npos) << "frame not carried byte for byte";
       return ok;
     },
     {"TPE1"}},
    {"ID3v2.2", "id3", [](const TTempDir& D) { return HandBuiltFile(D, 2); },
     [](const std::string& F) {
       TID3v2 t;
       EXPECT_TRUE(t.ReadFromFile(F));
       EXPECT_EQ(t.Title(), Long300);
       t.SetTitle("Zq title");
       return t.SaveToFile(F);
     },
     {"TIT2"}},
    {"APE by wvtag with a binary cover", "ape", WvtagFile,
     [](const std::string& F) {
       TAPETag r, w;
       EXPECT_TRUE(r.ReadFromFile(F));
       EXPECT_EQ(r.GetField("Title"), Long300);
       EXPECT_EQ(r.GetField("Comment"), Long70k);
       for (const TAPEField& f : r.Fields()) w.AppendField(f.Name, SameText(f.Name, "title") ? "Zq title" : f.Value);
       return w.SaveToFile(F);
     },
     {"title"}},
    {"FLAC by metaflac", "flac", MetaflacFile,
     [](const std::string& F) {
       TFLACfile t;
       EXPECT_TRUE(t.ReadFromFile(F));
       EXPECT_EQ(t.Title(), Long300);
       EXPECT_EQ(t.Comment(), Long70k);
       t.SetTitle("Zq title");
       return t.SaveToFile(F, false);
     },
     {"title"}},
    {"Ogg by vorbiscomment, pages renumbered", "ogg", VorbiscommentFile,
     [](const std::string& F) {
       TOggVorbis t;
       EXPECT_TRUE(t.ReadFromFile(F));
       EXPECT_EQ(t.Title(), Long300);
       EXPECT_EQ(t.Comment(), Long70k);
       t.SetTitle("Zq title");
       t.SetComment("Zq short");  // from two header pages down to one
       return t.SaveTag(F);
     },
     {"title", "comment"}},
};

TEST(TagRoundTripTest, ChangingFieldsKeepsEverythingElseOfTheTag) {
  RequireTools({"eyeD3", "lame", "wavpack", "wvtag", "flac", "metaflac", "oggenc", "vorbiscomment", "sox", "ffmpeg"});
  for (const TCase& c : Cases) {
    SCOPED_TRACE(c.Name);
    TTempDir dir;
    const std::string f = c.Make(dir);
    const TTagItems before = MutagenTags(c.Kind, f);
    ASSERT_GE(before.size(), 5u);
    const auto audio = FfmpegDecode(f);
    ASSERT_TRUE(c.Change(f));
    const TTagItems after = MutagenTags(c.Kind, f);
    EXPECT_EQ(Without(after, c.Changed), Without(before, c.Changed));
    for (const std::string& key : c.Changed)
      EXPECT_NE(ValueOf(after, key), ValueOf(before, key)) << key;
    EXPECT_TRUE(FfmpegDecode(f) == audio) << "the audio changed";
  }
}

}  // namespace
