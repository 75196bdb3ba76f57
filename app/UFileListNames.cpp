// Output names made from the entries' tags by the chosen pattern. Tag text never
// decides where a file goes: a "/" or "\" inside a tag is no separator, and every
// part of the path is a plain, safe name inside the output folder.
#include "app/UFileList.h"

#include <algorithm>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"

const char* const FileNamePatternNames[FileNamePatternCount] = {
    "<Original filename>",
    "<Convertion number>-<Original filename>",
    "<Title>",
    "<Convertion number>-<Title>",
    "<Track number>-<Title>",
    "<Artist>\\<Title>",
    "<Album>\\<Title>",
    "<Artist>\\<Album>\\<Title>",
    "<Album>\\<Track number>-<Title>",
    "<Artist>\\<Album>\\<Track number>-<Title>",
    "<Artist>\\<Year>\\<Title>",
    "<Album>-<Year>\\<Title>",
    "<Artist>\\<Album>-<Year>\\<Title>",
    "<Artist>\\<Album>-<Year>\\<Track number>-<Title>",
};

namespace {

// Longest name a Linux file system takes, and what a name leaves for the run's
// "(n)" and the longest output extension (".flac").
constexpr size_t NameMax = 255;
constexpr size_t SuffixRoom = 8 + 5;

// A tag's text as part of one path component: separators become "_".
std::string Part(const std::string& Tag) {
  std::string s = Tag;
  std::replace(s.begin(), s.end(), '/', '_');
  std::replace(s.begin(), s.end(), '\\', '_');
  return s;
}

// Cuts S to at most Max bytes without splitting a UTF-8 character.
void CutToBytes(std::string& S, size_t Max) {
  if (S.size() <= Max) return;
  size_t end = Max;
  while (end > 0 && (static_cast<unsigned char>(S[end]) & 0xC0) == 0x80) --end;
  S.resize(end);
}

// One path component made safe: no control characters or separators, no blanks at
// either end, no dots at either end (a leading dot would hide the file or folder),
// at most Max bytes. Empty when nothing is left.
std::string SafeComponent(const std::string& Text, size_t Max) {
  std::string s;
  for (char c : Text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) continue;
    s += (c == '/' || c == '\\') ? '_' : c;
  }
  for (;;) {
    s = Trim(s);
    while (!s.empty() && s.back() == '.') s.pop_back();
    s.erase(0, std::min(s.find_first_not_of('.'), s.size()));
    const size_t before = s.size();
    CutToBytes(s, Max);
    if (s.size() == before && Trim(s) == s) break;
  }
  return s;
}

// No blank, and no dash left over from an empty field, at either end.
std::string TrimDashes(std::string s) {
  s = Trim(s);
  while (!s.empty() && s.front() == '-') s = Trim(s.substr(1));
  while (!s.empty() && s.back() == '-') s = Trim(s.substr(0, s.size() - 1));
  return s;
}

// The name clean-up of the patterns: TrimDashes, and no doubled blanks.
std::string CleanName(std::string s) {
  s = TrimDashes(s);
  for (size_t p; (p = s.find("-  -")) != std::string::npos;) s = Trim(s.erase(p, 1));
  for (size_t p; (p = s.find("  ")) != std::string::npos;) s = Trim(s.erase(p, 1));
  return Trim(s);
}

// The folder clean-up: empty fields leave no empty folder and no dangling " - " in
// any folder (a dash inside a tag, as in "Jay-Z", is not the joiner's).
std::string CleanFolder(const std::string& s) {
  std::string r;
  size_t start = 0;
  while (start <= s.size()) {
    size_t end = s.find('/', start);
    if (end == std::string::npos) end = s.size();
    const std::string part = TrimDashes(s.substr(start, end - start));
    if (!part.empty()) r += (r.empty() ? "" : "/") + part;
    start = end + 1;
  }
  return r;
}

}  // namespace

void TFileList::MakeOutputName(TFileNamePattern Pattern) {
  for (int32_t i = 0; i < Count(); ++i) {
    TFileListEntry& e = FEntries[static_cast<size_t>(i)];
    const TTagSet& t = e.CurrentTags;
    const std::string number = (i + 1 < 10 ? "0" : "") + IntToStr(i + 1);
    const std::string source = ChangeFileExt(e.Caption, "");
    const std::string artist = Part(t.Artist), album = Part(t.Album), year = Part(t.Year);
    const std::string track = Part(t.Track), title = Part(t.Title);
    const std::string trackTitle = track + " - " + title;
    std::string folder, name;
    switch (Pattern) {
      case 0: name = source; break;
      case 1: name = number + " - " + source; break;
      case 2: name = title; break;
      case 3: name = number + " - " + title; break;
      case 4: name = trackTitle; break;
      case 5: folder = artist; name = title; break;
      case 6: folder = album; name = title; break;
      case 7: folder = artist + "/" + album; name = title; break;
      case 8: folder = album; name = trackTitle; break;
      case 9: folder = artist + "/" + album; name = trackTitle; break;
      case 10: folder = artist + "/" + year; name = title; break;
      case 11: folder = album + " - " + year; name = title; break;
      case 12: folder = artist + "/" + album + " - " + year; name = title; break;
      default: folder = artist + "/" + album + " - " + year; name = trackTitle; break;
    }

    name = SafeComponent(CleanName(name), NameMax - SuffixRoom);
    if (name.empty() || name == "." || name == "..") name = SafeComponent(source, NameMax - SuffixRoom);
    if (name.empty() || name == "." || name == "..") name = "_";
    e.OutputName = name;

    e.OutputDir.clear();
    const std::string cleaned = CleanFolder(folder);
    size_t start = 0;
    while (start < cleaned.size()) {
      size_t end = cleaned.find('/', start);
      if (end == std::string::npos) end = cleaned.size();
      std::string part = SafeComponent(cleaned.substr(start, end - start), NameMax);
      if (part.empty() || part == "." || part == "..") part = "_";
      e.OutputDir += part + "/";
      start = end + 1;
    }
  }
}
