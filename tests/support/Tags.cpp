#include "tests/support/Tags.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Tools.h"

namespace testsupport {

std::string Syncsafe(uint32_t V) {
  std::string s;
  for (int shift = 21; shift >= 0; shift -= 7) s += static_cast<char>((V >> shift) & 0x7F);
  return s;
}

std::string BE32(uint32_t V) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((V >> shift) & 0xFF);
  return s;
}

std::string L1(const std::string& Text) { return std::string(1, '\0') + Text; }

std::string Frame22(const std::string& ID, const std::string& Content) {
  const auto n = static_cast<uint32_t>(Content.size());
  return ID + BE32(n).substr(1) + Content;
}

std::string Frame23(const std::string& ID, const std::string& Content, uint8_t Flags2) {
  return ID + BE32(static_cast<uint32_t>(Content.size())) + '\0' + static_cast<char>(Flags2) + Content;
}

std::string Frame24(const std::string& ID, const std::string& Content, uint8_t Flags2, bool SyncsafeSize) {
  const auto n = static_cast<uint32_t>(Content.size());
  return ID + (SyncsafeSize ? Syncsafe(n) : BE32(n)) + '\0' + static_cast<char>(Flags2) + Content;
}

std::string Tag(uint8_t Version, uint8_t Flags, const std::string& Body, size_t Padding) {
  return std::string("ID3") + static_cast<char>(Version) + '\0' + static_cast<char>(Flags) +
         Syncsafe(static_cast<uint32_t>(Body.size() + Padding)) + Body + std::string(Padding, '\0');
}

std::string Item(const std::string& Name, const std::string& Value, uint32_t Flags) {
  return Le32String(static_cast<uint32_t>(Value.size())) + Le32String(Flags) + Name + std::string(1, '\0') + Value;
}

std::string Record(uint32_t Version, uint32_t Size, uint32_t Count, uint32_t Flags) {
  return "APETAGEX" + Le32String(Version) + Le32String(Size) + Le32String(Count) + Le32String(Flags) +
         std::string(8, '\0');
}

std::string ApeTag(const std::string& Items, uint32_t Count, uint32_t Version, bool Header) {
  const auto size = static_cast<uint32_t>(Items.size() + 32);
  if (Version < 2000 || !Header) return Items + Record(Version, size, Count, 0);
  return Record(Version, size, Count, 0xA0000000u) + Items + Record(Version, size, Count, 0x80000000u);
}

std::string Id3v1Block(const std::string& Title, const std::string& Artist, const std::string& Album,
                       const std::string& Year, const std::string& Comment, uint8_t Track, uint8_t Genre) {
  std::string b(128, '\0');
  auto put = [&](size_t At, const std::string& S, size_t Width) { std::memcpy(&b[At], S.data(), std::min(S.size(), Width)); };
  put(0, "TAG", 3);
  put(3, Title, 30);
  put(33, Artist, 30);
  put(63, Album, 30);
  put(93, Year, 4);
  put(97, Comment, Track > 0 ? 28 : 30);
  if (Track > 0) {
    b[125] = 0;
    b[126] = static_cast<char>(Track);
  }
  b[127] = static_cast<char>(Genre);
  return b;
}

namespace {

// Prints "key<TAB>value" lines; values are Python representations, so they hold
// no tabs or line breaks of their own.
const char* const MutagenScript = R"(
import hashlib, sys
kind, path = sys.argv[1], sys.argv[2]
out = []
if kind == "id3":
    from mutagen.id3 import ID3
    t = ID3(path, translate=False, load_v1=False)
    head = [("version", "2.%d" % t.version[1])]
    out = [(f.HashKey, repr(f)) for f in t.values()]
elif kind == "ape":
    from mutagen.apev2 import APEv2
    head = []
    out = [(k.lower(), "%d %r" % (v.kind, v.value)) for k, v in APEv2(path).items()]
elif kind == "asf":
    from mutagen.asf import ASF
    head = []
    out = [(k, "%s %r" % (type(v).__name__, v.value)) for k, v in list(ASF(path).tags)]
else:
    from mutagen.flac import FLAC
    from mutagen.oggvorbis import OggVorbis
    f = FLAC(path) if kind == "flac" else OggVorbis(path)
    head = []
    out = [(k.lower(), repr(v)) for k, v in (f.tags or [])]
    for p in getattr(f, "pictures", []):
        out.append(("picture", "%d %s %r %s" % (p.type, p.mime, p.desc, hashlib.sha1(p.data).hexdigest())))
out.sort(key=lambda kv: kv[0])
for k, v in head + out:
    print(k + "\t" + v)
)";

}  // namespace

TTagItems MutagenTags(const std::string& Kind, const std::string& Path) {
  static const std::string script = [] {
    const std::string p = TempPath("mutagen_tags.py");
    WriteFile(p, std::string(MutagenScript));
    return p;
  }();
  const TRunResult r = RunTool("/usr/bin/python3 " + Quote(script) + " " + Kind + " " + Quote(Path));
  EXPECT_EQ(r.ExitCode, 0) << "mutagen could not read " << Path << " (python3-mutagen installed?)\n" << r.Output;
  TTagItems items;
  size_t pos = 0;
  while (pos < r.Output.size()) {
    size_t end = r.Output.find('\n', pos);
    if (end == std::string::npos) end = r.Output.size();
    const std::string line = r.Output.substr(pos, end - pos);
    const size_t tab = line.find('\t');
    if (tab != std::string::npos) items.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    pos = end + 1;
  }
  return items;
}

namespace {

// Arguments "key=hex of the UTF-8 value", so that no locale touches the text.
const char* const MutagenWriteScript = R"(
import sys
kind, path = sys.argv[1], sys.argv[2]
items = [(k, bytes.fromhex(v).decode("utf-8")) for k, v in (a.split("=", 1) for a in sys.argv[3:])]
if kind == "id3":
    from mutagen import id3
    t = id3.ID3()
    for k, v in items:
        if k == "COMM":
            t.add(id3.COMM(encoding=3, lang="eng", desc="", text=[v]))
        else:
            t.add(getattr(id3, k)(encoding=3, text=[v]))
    t.save(path, v2_version=3, v1=0)
else:
    from mutagen.apev2 import APEv2
    t = APEv2()
    for k, v in items:
        t[k] = v
    t.save(path)
)";

// "#" before each file, then "field<TAB>hex of the UTF-8 value" lines.
const char* const MutagenCommonScript = R"(
import sys, mutagen
from mutagen.id3 import ID3
from mutagen.apev2 import APEv2
from mutagen.asf import ASFTags
ID3MAP = {"TPE1": "artist", "TALB": "album", "TIT2": "title", "TRCK": "track", "TDRC": "year", "TCON": "genre"}
NAMES = {"artist": "artist", "album": "album", "title": "title", "track": "track", "tracknumber": "track",
         "year": "year", "date": "year", "genre": "genre", "comment": "comment"}
ASFMAP = {"Author": "artist", "WM/AlbumTitle": "album", "Title": "title", "WM/TrackNumber": "track",
          "WM/Year": "year", "WM/Genre": "genre", "Description": "comment"}
for path in sys.argv[1:]:
    out = {}
    f = mutagen.File(path)
    tags = f.tags if f is not None else None
    if tags is None:
        try:
            tags = APEv2(path)
        except Exception:
            tags = None
    if isinstance(tags, ID3):
        for k, n in ID3MAP.items():
            fr = tags.get(k)
            if fr is not None and fr.text and str(fr.text[0]):
                out[n] = str(fr.text[0])
        c = tags.getall("COMM")
        if c and c[0].text and c[0].text[0]:
            out["comment"] = c[0].text[0]
    elif isinstance(tags, APEv2):
        for k, v in tags.items():
            n = NAMES.get(k.lower())
            if n and v.kind == 0 and str(v):
                out[n] = str(v)
    elif isinstance(tags, ASFTags):
        for k, n in ASFMAP.items():
            if k in tags and str(tags[k][0]):
                out[n] = str(tags[k][0])
    elif tags is not None:
        for k, v in tags:
            n = NAMES.get(k.lower())
            if n and v and n not in out:
                out[n] = v
    print("#")
    for k, v in sorted(out.items()):
        print(k + "\t" + v.encode("utf-8").hex())
)";

std::string ScriptFile(const char* Name, const char* Text) {
  const std::string p = TempPath(Name);
  WriteFile(p, std::string(Text));
  return p;
}

std::string Hex(const std::string& S) {
  static const char Digits[] = "0123456789abcdef";
  std::string r;
  for (unsigned char c : S) r += {Digits[c >> 4], Digits[c & 15]};
  return r;
}

std::string Unhex(const std::string& S) {
  std::string r;
  for (size_t i = 0; i + 1 < S.size(); i += 2) r += static_cast<char>(std::stoi(S.substr(i, 2), nullptr, 16));
  return r;
}

}  // namespace

void MutagenWriteTags(const std::string& Kind, const std::string& Path, const TTagItems& Items) {
  static const std::string script = ScriptFile("mutagen_write.py", MutagenWriteScript);
  std::string args;
  for (const auto& [key, value] : Items) args += " " + Quote(key + "=" + Hex(value));
  Shell("/usr/bin/python3 " + Quote(script) + " " + Kind + " " + Quote(Path) + args);
}

std::vector<TTagItems> MutagenCommonTags(const std::vector<std::string>& Paths) {
  static const std::string script = ScriptFile("mutagen_common.py", MutagenCommonScript);
  std::string args;
  for (const std::string& p : Paths) args += " " + Quote(p);
  const std::string out = Shell("/usr/bin/python3 " + Quote(script) + args);
  std::vector<TTagItems> result;
  size_t pos = 0;
  while (pos < out.size()) {
    size_t end = out.find('\n', pos);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(pos, end - pos);
    pos = end + 1;
    if (line == "#") {
      result.emplace_back();
    } else if (const size_t tab = line.find('\t'); tab != std::string::npos && !result.empty()) {
      result.back().emplace_back(line.substr(0, tab), Unhex(line.substr(tab + 1)));
    }
  }
  EXPECT_EQ(result.size(), Paths.size()) << out;
  result.resize(Paths.size());
  return result;
}

TTagItems Without(const TTagItems& Items, const std::vector<std::string>& Keys) {
  TTagItems r;
  for (const auto& kv : Items)
    if (std::find(Keys.begin(), Keys.end(), kv.first) == Keys.end()) r.push_back(kv);
  return r;
}

std::string ValueOf(const TTagItems& Items, const std::string& Key) {
  for (const auto& kv : Items)
    if (kv.first == Key) return kv.second;
  return std::string();
}

}  // namespace testsupport
