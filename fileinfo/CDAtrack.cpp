#include "fileinfo/CDAtrack.h"

#include <cstdio>
#include <cstring>

#include "fileinfo/TagFileIO.h"
#include "platform/rtl/Folders.h"
#include "platform/rtl/StrUtils.h"

using namespace fileinfo;

namespace {

constexpr int64_t RecordSize = 44;
constexpr int64_t MaxNamesFile = 16 * 1024 * 1024;  // a bigger one is not read
constexpr double SectorsPerSecond = 75.0;

uint16_t GetLE16(const unsigned char* P) { return static_cast<uint16_t>(P[0] | (P[1] << 8)); }

// The values of three keys of one section of an INI file: the first section
// of that name counts, and its first line of each key; names ignore case.
struct TDiscNames {
  std::string TrackKey;
  std::string Title, Artist, Album;
};

void ReadNames(const std::string& FileName, const std::string& Section, TDiscNames& N) {
  TReadFile f(FileName);
  std::string text;
  if (!f.IsOpen() || f.Size() > MaxNamesFile || !f.ReadAt(0, f.Size(), text)) return;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  bool inSection = false, seenSection = false;
  bool hasTitle = false, hasArtist = false, hasAlbum = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      const bool match = close != std::string::npos && SameText(Trim(line.substr(1, close - 1)), Section);
      if (inSection) return;  // the section has ended
      if (match && !seenSection) inSection = seenSection = true;
      continue;
    }
    if (!inSection) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (!hasTitle && SameText(key, N.TrackKey)) {
      N.Title = value;
      hasTitle = true;
    } else if (!hasArtist && SameText(key, "artist")) {
      N.Artist = value;
      hasArtist = true;
    } else if (!hasAlbum && SameText(key, "title")) {
      N.Album = value;
      hasAlbum = true;
    }
  }
}

}  // namespace

std::string TCDAtrack::DiscSection(uint32_t Serial) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02X", Serial);
  return buf;
}

void TCDAtrack::Clear() {
  FValid = false;
  FTitle.clear();
  FArtist.clear();
  FAlbum.clear();
  FDuration = 0;
  FTrack = 0;
  FPosition = 0;
}

bool TCDAtrack::ReadFromFile(const std::string& FileName) {
  Clear();
  unsigned char r[RecordSize];
  {
    TReadFile f(FileName);
    if (!f.IsOpen() || !f.ReadAt(0, r, RecordSize)) return false;
  }
  const uint16_t track = GetLE16(r + 22);
  const uint32_t serial = GetLE32(r + 24);
  const uint32_t start = GetLE32(r + 28);
  const uint32_t length = GetLE32(r + 32);

  TDiscNames names;
  names.TrackKey = IntToStr(track);
  const std::string folder = AppConfigFolder();
  if (!folder.empty()) ReadNames(folder + "cdplayer.ini", DiscSection(serial), names);

  if (std::memcmp(r, "RIFF", 4) == 0 && std::memcmp(r + 8, "CDDAfmt ", 8) == 0) {
    FValid = true;
    FTitle = UTF8ToUTF16(names.Title);
    FArtist = UTF8ToUTF16(names.Artist);
    FAlbum = UTF8ToUTF16(names.Album);
    FTrack = track;
    FDuration = length / SectorsPerSecond;
    FPosition = start / SectorsPerSecond;
  }
  return true;
}
