#include "fileinfo/CDAtrack.h"

#include <cstdio>
#include <cstring>

#include "fileinfo/TagFileIO.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/Folders.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/StrUtils.h"

using namespace fileinfo;

namespace {

constexpr int64_t RecordSize = 44;
constexpr double SectorsPerSecond = 75.0;

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

  if (std::memcmp(r, "RIFF", 4) == 0 && std::memcmp(r + 8, "CDDAfmt ", 8) == 0) {
    // The disc's names: its section holds the track titles under the track numbers,
    // the disc's artist and, as "title", the album.
    const std::string folder = AppConfigFolder();
    if (!folder.empty()) {
      const TIniFile names(folder + "cdplayer.ini");
      const std::string section = DiscSection(serial);
      FTitle = UTF8ToUTF16(names.ReadString(section, IntToStr(track), ""));
      FArtist = UTF8ToUTF16(names.ReadString(section, "artist", ""));
      FAlbum = UTF8ToUTF16(names.ReadString(section, "title", ""));
    }
    FValid = true;
    FTrack = track;
    FDuration = length / SectorsPerSecond;
    FPosition = start / SectorsPerSecond;
  }
  return true;
}
