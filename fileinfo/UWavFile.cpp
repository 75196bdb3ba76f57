#include "fileinfo/UWavFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "fileinfo/TagFileIO.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/Riff.h"
#include "platform/rtl/StrUtils.h"

using namespace fileinfo;

namespace {

constexpr int64_t FooterSize = 12;  // track, length, "W3DI"
constexpr int FieldCount = 6;       // Title, Artist, Album, Year, Genre, Comment
constexpr int64_t MinTrailerSize = FooterSize + FieldCount;

// Where the RIFF data ends and what follows it.
struct TWavLayout {
  bool Riff = false;         // a RIFF header whose data fits the file
  int64_t FileSize = 0;
  int64_t RiffEnd = 0;
  int64_t TrailerSize = 0;   // 0: no valid trailer at the end of the file
  std::string Text;          // the trailer's text part
  int32_t Track = 0;
};

// A trailer is valid when it ends in "W3DI", its stored length fits between the
// RIFF data and the end of the file and its text part is exactly six fields.
bool ReadLayout(const TReadFile& F, TWavLayout& L) {
  L = TWavLayout();
  L.FileSize = F.Size();
  char head[12];
  if (L.FileSize < static_cast<int64_t>(sizeof head)) return true;
  if (!F.ReadAt(0, head, sizeof head)) return false;
  if (std::memcmp(head, "RIFF", 4) != 0) return true;
  L.RiffEnd = int64_t{RiffChunkSize(head)} + RiffChunkHeaderSize;
  if (L.RiffEnd > L.FileSize) return true;
  L.Riff = true;
  const int64_t extra = L.FileSize - L.RiffEnd;
  if (extra < MinTrailerSize) return true;
  char foot[FooterSize];
  if (!F.ReadAt(L.FileSize - FooterSize, foot, FooterSize)) return false;
  if (std::memcmp(foot + 8, "W3DI", 4) != 0) return true;
  const int64_t n = GetLE32(foot + 4);
  if (n < MinTrailerSize || n > extra || n - FooterSize > TWavFile::MaxTextSize) return true;
  std::string text;
  if (!F.ReadAt(L.FileSize - n, n - FooterSize, text)) return false;
  if (text.back() != '\0' || std::count(text.begin(), text.end(), '\0') != FieldCount) return true;
  L.TrailerSize = n;
  L.Text = std::move(text);
  L.Track = static_cast<int32_t>(GetLE32(foot));
  return true;
}

}  // namespace

void TWavFile::Clear() {
  FExists = false;
  FTitle.clear();
  FArtist.clear();
  FAlbum.clear();
  FTrack.clear();
  FYear.clear();
  FGenre.clear();
  FComment.clear();
}

bool TWavFile::ReadFromFile(const std::string& FileName) {
  Clear();
  TReadFile f(FileName);
  if (!f.IsOpen()) return false;
  TWavLayout l;
  if (!ReadLayout(f, l)) return false;
  if (l.TrailerSize == 0) return true;
  std::u16string* fields[FieldCount] = {&FTitle, &FArtist, &FAlbum, &FYear, &FGenre, &FComment};
  size_t start = 0;
  for (auto* field : fields) {
    const size_t end = l.Text.find('\0', start);
    *field = Latin1ToUTF16(std::string_view(l.Text).substr(start, end - start));
    start = end + 1;
  }
  if (l.Track != 0) FTrack = UTF8ToUTF16(IntToStr(l.Track));
  FExists = true;
  return true;
}

bool TWavFile::SaveToFile(const std::string& FileName) {
  std::string text;
  for (const auto* field : {&FTitle, &FArtist, &FAlbum, &FYear, &FGenre, &FComment}) {
    std::string s = UTF16ToLatin1(*field, '?');
    // A zero byte would end the field early and shift every later one.
    std::replace(s.begin(), s.end(), '\0', '?');
    text += s;
    text += '\0';
  }
  if (static_cast<int64_t>(text.size()) > MaxTextSize) return false;
  // No track is stored as 0, and 0 reads back as no track: never a made-up number.
  int64_t track = FTrack.empty() ? 0 : StrToIntDef(UTF16ToUTF8(FTrack), 1);
  if (track < std::numeric_limits<int32_t>::min() || track > std::numeric_limits<int32_t>::max())
    track = 1;
  const auto n = static_cast<uint32_t>(text.size() + FooterSize);
  std::string trailer = text;
  AppendLE32(trailer, static_cast<uint32_t>(static_cast<int32_t>(track)));
  AppendLE32(trailer, n);
  trailer += "W3DI";

  TWavLayout l;
  {
    TReadFile f(FileName);
    if (!f.IsOpen() || !ReadLayout(f, l)) return false;
  }
  if (!l.Riff) return false;
  // Cut only what is certainly our own trailer; anything else after the RIFF
  // data belongs to someone else.
  if (l.FileSize != l.RiffEnd && l.TrailerSize != l.FileSize - l.RiffEnd) return false;
  return RewriteTail(FileName, l.FileSize, l.RiffEnd, trailer);
}
