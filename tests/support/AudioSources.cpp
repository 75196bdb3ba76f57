#include "tests/support/AudioSources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "audio/codecs/ape/TSL_MAC.h"
#include "audio/io/TSL_Wave.h"
#include "tests/support/Files.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

namespace testsupport {

namespace {

std::string Seconds(double S) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", S);
  return text;
}

// The common fields of a tag set, in the order MutagenCommonTags gives them.
TTagItems Common(const std::string& Artist, const std::string& Album, const std::string& Title, const std::string& Track,
                 const std::string& Year, const std::string& Genre, const std::string& Comment) {
  TTagItems t = {{"album", Album}, {"artist", Artist}, {"comment", Comment}, {"genre", Genre},
                 {"title", Title}, {"track", Track},   {"year", Year}};
  std::erase_if(t, [](const auto& KV) { return KV.second.empty(); });
  return t;
}

// The tag items of a format's own names for the common fields.
TTagItems Named(const TTagItems& Fields, const std::vector<std::pair<std::string, std::string>>& Names) {
  TTagItems r;
  for (const auto& [field, name] : Names)
    if (const std::string v = ValueOf(Fields, field); !v.empty()) r.emplace_back(name, v);
  return r;
}

TTagItems ApeNames(const TTagItems& Fields) {
  return Named(Fields, {{"artist", "Artist"}, {"album", "Album"}, {"title", "Title"}, {"track", "Track"},
                        {"year", "Year"}, {"genre", "Genre"}, {"comment", "Comment"}});
}

std::string VorbisArgs(const TTagItems& Fields, const std::string& Option) {
  std::string args;
  for (const auto& [name, value] : Named(Fields, {{"artist", "ARTIST"}, {"album", "ALBUM"}, {"title", "TITLE"},
                                                  {"track", "TRACKNUMBER"}, {"year", "DATE"}, {"genre", "GENRE"},
                                                  {"comment", "COMMENT"}}))
    args += " " + Option + Quote(name + "=" + value);
  return args;
}

}  // namespace

std::string MakeWave(const std::string& Path, int Rate, int Channels, double S) {
  Shell("sox -D -n -r " + std::to_string(Rate) + " -b 16 -e signed-integer -c " + std::to_string(Channels) + " " +
        Quote(Path) + " synth " + Seconds(S) + " sine 300-3000 pinknoise sine 1000 gain -3");
  return Path;
}

std::vector<TSource> MakeSourceFolder(const std::string& Dir, double S) {
  RequireTools({"sox", "lame", "flac", "metaflac", "oggenc", "vorbiscomment", "wavpack", "mpcenc", "ffmpeg"});
  const std::string stereo = MakeWave(Dir + "/.stereo.wav", 44100, 2, S);
  auto path = [&Dir](const std::string& Name) { return Dir + "/" + Name; };
  std::vector<TSource> sources;

  MakeWave(path("plain.wav"), 48000, 1, S);
  sources.push_back({"plain.wav", 48000, 1, {}});

  // ID3v2 without an album; the ID3v1 block has other values, of which only the album counts.
  const TTagItems mp3 = Common("Анна Нетребко", "V1 Album", "Ночь — 夜", "2", "2004", "Classical", "Коммент");
  Shell("lame --quiet -b 128 " + Quote(stereo) + " " + Quote(path("song.mp3")));
  MutagenWriteTags("id3", path("song.mp3"),
                   {{"TPE1", ValueOf(mp3, "artist")}, {"TIT2", ValueOf(mp3, "title")}, {"TRCK", "2"},
                    {"TYER", "2004"}, {"TCON", "Classical"}, {"COMM", ValueOf(mp3, "comment")}});
  AppendFile(path("song.mp3"), Id3v1Block("V1 Title", "V1 Artist", "V1 Album", "1999", "v1 comment", 9, 32));
  sources.push_back({"song.mp3", 44100, 2, mp3});

  const TTagItems flac = Common("Sigur Rós", "Ágætis byrjun", "Svefn-g-englar — 眠り", "4", "1999", "Post-Rock", "Ísland");
  Shell("flac -s -f -o " + Quote(path("lossless.flac")) + " " + Quote(stereo));
  Shell("metaflac --no-utf8-convert" + VorbisArgs(flac, "--set-tag=") + " " + Quote(path("lossless.flac")));
  sources.push_back({"lossless.flac", 44100, 2, flac});

  // An artist and a title, nothing else.
  const TTagItems sparse = Common("Cesária Évora", "", "Sodade", "", "", "", "");
  Shell("flac -s -f -o " + Quote(path("sparse.flac")) + " " + Quote(stereo));
  Shell("metaflac --no-utf8-convert" + VorbisArgs(sparse, "--set-tag=") + " " + Quote(path("sparse.flac")));
  sources.push_back({"sparse.flac", 44100, 2, sparse});

  const TTagItems ogg = Common("Björk", "Homogenic", "Jóga — ヨーガ", "3", "1997", "Electronic", "Ω");
  Shell("oggenc -Q -q 3 -o " + Quote(path("vorbis.ogg")) + " " + Quote(stereo));
  Shell("vorbiscomment -w -R" + VorbisArgs(ogg, "-t ") + " " + Quote(path("vorbis.ogg")));
  sources.push_back({"vorbis.ogg", 44100, 2, ogg});

  const TTagItems wv = Common("Мумий Тролль", "Морская", "Утекай", "5", "1997", "Rock", "тест");
  Shell("wavpack -q -y " + Quote(stereo) + " -o " + Quote(path("packed.wv")));
  MutagenWriteTags("ape", path("packed.wv"), ApeNames(wv));
  sources.push_back({"packed.wv", 44100, 2, wv});

  const TTagItems ape = Common("王菲", "浮躁", "分裂", "6", "1996", "Pop", "评论");
  {
    TComponentPtr<TWaveIn> in(new TWaveIn(nullptr));
    TComponentPtr<TMACOut> out(new TMACOut(nullptr));
    in->SetFileName(stereo);
    out->SetInput(in.get());
    out->SetFileName(path("monkey.ape"));
    EXPECT_EQ(RunOutput(*out), "");
  }
  MutagenWriteTags("ape", path("monkey.ape"), ApeNames(ape));
  sources.push_back({"monkey.ape", 44100, 2, ape});

  const TTagItems tta = Common("Ελένη Καραΐνδρου", "Eternity", "Τραγούδι", "8", "1998", "Soundtrack", "σχόλιο");
  Shell("ffmpeg -nostdin -v error -y -i " + Quote(stereo) + " -map_metadata -1 -c:a tta " + Quote(path("true.tta")));
  MutagenWriteTags("ape", path("true.tta"), ApeNames(tta));
  sources.push_back({"true.tta", 44100, 2, tta});

  const TTagItems mpc = Common("Ярослав", "Альбом", "Песня", "10", "2001", "Folk", "к");
  Shell("mpcenc --silent --overwrite " + Quote(stereo) + " " + Quote(path("muse.mpc")));
  MutagenWriteTags("ape", path("muse.mpc"), ApeNames(mpc));
  sources.push_back({"muse.mpc", 44100, 2, mpc});

  // A copyright and no description: read as the comment, as files were written when
  // the comment went into the copyright.
  const TTagItems wma = Common("محمد عبده", "ألبوم", "أغنية", "11", "2002", "Arabic", "تعليق");
  Shell("ffmpeg -nostdin -v error -y -i " + Quote(stereo) + " -map_metadata -1 -c:a wmav2 -b:a 128k" +
        " -metadata artist=" + Quote(ValueOf(wma, "artist")) + " -metadata album=" + Quote(ValueOf(wma, "album")) +
        " -metadata title=" + Quote(ValueOf(wma, "title")) + " -metadata track=11 -metadata date=2002" +
        " -metadata genre=Arabic -metadata copyright=" + Quote(ValueOf(wma, "comment")) + " " + Quote(path("media.wma")));
  sources.push_back({"media.wma", 44100, 2, wma});

  Shell("ffmpeg -nostdin -v error -y -i " + Quote(stereo) + " -map_metadata -1 -c:a pcm_s16le -f avi " +
        Quote(path("clip.avi")));
  sources.push_back({"clip.avi", 44100, 2, {}});

  std::remove(stereo.c_str());
  std::sort(sources.begin(), sources.end(), [](const TSource& A, const TSource& B) { return A.Name < B.Name; });
  return sources;
}

TCdImage MakeCdImage(const std::string& Dir, const std::vector<TCdImageTrack>& Tracks) {
  TCdImage image;
  image.Cue = Dir + "/disc.cue";
  std::string cue = "FILE \"disc.bin\" BINARY\n", bin;
  uint32_t start = 0;
  uint32_t seed = 12345;
  for (size_t t = 0; t < Tracks.size(); ++t) {
    const uint32_t sectors = Tracks[t].Sectors;
    std::vector<uint8_t> bytes;
    if (Tracks[t].Audio) {
      // Tones that differ from track to track, exactly that many sectors long.
      const std::string raw = Dir + "/track" + std::to_string(t + 1) + ".raw";
      Shell("sox -D -r 44100 -c 2 -n " + SoxRawFormat(16, 2, 44100) + " " + Quote(raw) + " synth " + std::to_string(sectors * 588) +
            "s sine " + std::to_string(300 + 200 * t) + " square " + std::to_string(700 + 50 * t) + " gain -6");
      bytes = ReadFile(raw);
      std::remove(raw.c_str());
    } else {
      bytes.resize(sectors * 2352);
      for (uint8_t& b : bytes) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    }
    EXPECT_EQ(bytes.size(), sectors * 2352u);
    auto two = [](uint32_t V) { return std::string(V < 10 ? "0" : "") + std::to_string(V); };
    cue += "  TRACK " + two(static_cast<uint32_t>(t + 1)) + (Tracks[t].Audio ? " AUDIO" : " MODE1/2352") +
           "\n    INDEX 01 " + two(start / 75 / 60) + ":" + two(start / 75 % 60) + ":" + two(start % 75) + "\n";
    bin.append(bytes.begin(), bytes.end());
    image.Bytes.push_back(std::move(bytes));
    start += sectors;
  }
  WriteFile(Dir + "/disc.bin", bin);
  WriteFile(image.Cue, cue);
  return image;
}

}  // namespace testsupport
