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
