#include "fileinfo/ID3v1.h"

#include <cstring>

#include "fileinfo/TagFileIO.h"
#include "platform/rtl/StrUtils.h"

using namespace fileinfo;

const char* const ID3v1Genres[ID3v1GenreCount] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental",
    "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk",
    "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave",
    "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy",
    "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American",
    "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal",
    "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk",
    "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic",
    "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock",
    "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour",
    "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus",
    "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad",
    "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A capella",
    "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Afro-Punk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Thrash Metal", "Anime", "JPop", "Synthpop"};

namespace {

constexpr int64_t TagSize = 128;
constexpr int64_t Lyrics3TrailerSize = 15;  // 6-digit size and "LYRICS200"
constexpr int64_t Lyrics3MaxSize = 999999;
constexpr int64_t Lyrics3MaxField = 99999;

// Spellings of the engine's and the tag editor's genre lists that differ from
// this table by more than letter case.
const struct {
  const char* Name;
  uint8_t ID;
} GenreAliases[] = {{"Alt. Rock", 40}, {"Psychedelic", 67}, {"A Cappella", 123}};

std::string TrimRight(std::string_view S) {
  size_t e = S.size();
  while (e > 0 && static_cast<unsigned char>(S[e - 1]) <= ' ') --e;
  return std::string(S.substr(0, e));
}

// A fixed-size Latin-1 field ends at its first zero byte.
std::string FieldText(const char* P, size_t Size) {
  const void* z = std::memchr(P, 0, Size);
  const size_t n = z ? static_cast<size_t>(static_cast<const char*>(z) - P) : Size;
  return Latin1ToUTF8(TrimRight(std::string_view(P, n)));
}

size_t CharCount(const std::string& S) { return UTF8ToLatin1(S).size(); }


bool AllDigits(std::string_view S) {
  for (char c : S)
    if (c < '0' || c > '9') return false;
  return !S.empty();
}

std::string ZeroPadded(int64_t V, int Width) {
  std::string s = IntToStr(V);
  return std::string(Width - s.size(), '0') + s;
}

void ReplaceAll(std::string& S, std::string_view From, std::string_view To) {
  for (size_t p = S.find(From); p != std::string::npos; p = S.find(From, p + To.size()))
    S.replace(p, From.size(), To);
}

// The blocks found at the end of a file. Sizes are checked against the file;
// a Lyrics3 trailer without its "LYRICSBEGIN" is no block.
struct TBlocks {
  int64_t FileSize = 0;
  bool HasTag = false;
  char Tag[TagSize] = {};
  bool HasLyrics3 = false;
  int64_t Lyrics3Size = 0;
  std::string Lyrics3;  // from "LYRICSBEGIN" up to the size field

  int64_t Size() const { return (HasTag ? TagSize : 0) + (HasLyrics3 ? Lyrics3Size + Lyrics3TrailerSize : 0); }
};

bool LocateBlocks(const std::string& FileName, TBlocks& B) {
  TReadFile f(FileName);
  if (!f.IsOpen()) return false;
  B = TBlocks();
  B.FileSize = f.Size();
  if (B.FileSize >= TagSize) {
    if (!f.ReadAt(B.FileSize - TagSize, B.Tag, TagSize)) return false;
    B.HasTag = std::memcmp(B.Tag, "TAG", 3) == 0;
  }
  const int64_t t = (B.HasTag ? TagSize : 0) + Lyrics3TrailerSize;
  char trailer[Lyrics3TrailerSize];
  if (B.FileSize < t) return true;
  if (!f.ReadAt(B.FileSize - t, trailer, Lyrics3TrailerSize)) return false;
  if (std::memcmp(trailer + 6, "LYRICS200", 9) != 0 || !AllDigits(std::string_view(trailer, 6)))
    return true;
  const int64_t size = StrToIntDef(std::string_view(trailer, 6), 0);
  if (size < 11 || size > B.FileSize - t) return true;
  std::string block;
  if (!f.ReadAt(B.FileSize - t - size, size, block)) return false;
  if (block.compare(0, 11, "LYRICSBEGIN") != 0) return true;
  B.HasLyrics3 = true;
  B.Lyrics3Size = size;
  B.Lyrics3 = std::move(block);
  return true;
}

}  // namespace

void TID3v1::Clear() {
  FExists = false;
  FVersionID = 1;
  FTitle.clear();
  FArtist.clear();
  FAlbum.clear();
  FYear.clear();
  FComment.clear();
  FTrack = 0;
  FGenreID = 255;
  FHasLyrics3 = false;
  FLyrics3Size = 0;
  FExtArtist.clear();
  FExtAlbum.clear();
  FExtTitle.clear();
  FExtComment.clear();
  FImage.clear();
  FAuthor.clear();
  FLyrics.clear();
}

std::string TID3v1::GetGenre() const {
  return FGenreID < ID3v1GenreCount ? ID3v1Genres[FGenreID] : std::string();
}

// Texts of 31 characters or more do not fit the block; the extended field keeps them.
void TID3v1::SetTitle(const std::string& V) {
  FTitle = TrimRight(V);
  FExtTitle = CharCount(FTitle) >= 31 ? FTitle : std::string();
}

void TID3v1::SetArtist(const std::string& V) {
  FArtist = TrimRight(V);
  FExtArtist = CharCount(FArtist) >= 31 ? FArtist : std::string();
}

void TID3v1::SetAlbum(const std::string& V) {
  FAlbum = TrimRight(V);
  FExtAlbum = CharCount(FAlbum) >= 31 ? FAlbum : std::string();
}

void TID3v1::SetComment(const std::string& V) {
  FComment = TrimRight(V);
  FExtComment = CharCount(FComment) >= 31 ? FComment : std::string();
}

void TID3v1::SetYear(const std::string& V) { FYear = FirstChars(TrimRight(V), 4); }

void TID3v1::SetGenre(const std::string& Name) {
  for (int i = 0; i < ID3v1GenreCount; ++i) {
    if (SameText(Name, ID3v1Genres[i])) {
      FGenreID = static_cast<uint8_t>(i);
      return;
    }
  }
  for (const auto& a : GenreAliases) {
    if (SameText(Name, a.Name)) {
      FGenreID = a.ID;
      return;
    }
  }
  FGenreID = 255;
}

bool TID3v1::ReadFromFile(const std::string& FileName) {
  Clear();
  TBlocks b;
  if (!LocateBlocks(FileName, b)) return false;
  if (b.HasTag) {
    FExists = true;
    const auto* u = reinterpret_cast<const unsigned char*>(b.Tag);
    // Version 1.1 keeps the track at 126 behind a zero at 125; taggers that pad the
    // comment with blanks put a blank there instead.
    FVersionID = ((u[125] == 0 && u[126] != 0) || (u[125] == ' ' && u[126] != ' ')) ? 2 : 1;
    SetTitle(FieldText(b.Tag + 3, 30));
    SetArtist(FieldText(b.Tag + 33, 30));
    SetAlbum(FieldText(b.Tag + 63, 30));
    SetYear(FieldText(b.Tag + 93, 4));
    SetComment(FieldText(b.Tag + 97, FVersionID == 2 ? 28 : 30));
    if (FVersionID == 2) FTrack = u[126];
    FGenreID = u[127];
  }
  if (!b.HasLyrics3) return true;
  FHasLyrics3 = true;
  FLyrics3Size = static_cast<int32_t>(b.Lyrics3Size);
  const std::string& d = b.Lyrics3;
  size_t pos = 11;
  // Each field: 3-letter ID, 5-digit length, value; every length must stay inside the block.
  while (pos + 8 <= d.size()) {
    const std::string id = d.substr(pos, 3);
    const std::string_view digits = std::string_view(d).substr(pos + 3, 5);
    if (!AllDigits(digits)) break;
    const auto len = static_cast<size_t>(StrToIntDef(digits, 0));
    if (len > d.size() - pos - 8) break;
    const std::string raw = d.substr(pos + 8, len);
    pos += 8 + len;
    const std::string value = Trim(Latin1ToUTF8(raw));
    if (id == "IND") {
      continue;
    } else if (id == "LYR") {
      std::string s = Trim(raw);
      ReplaceAll(s, "\r", "\r\n");
      ReplaceAll(s, "\r\n\n", "\r\n");
      FLyrics = Latin1ToUTF8(s);
    } else if (id == "INF") {
      SetComment(value);
    } else if (id == "AUT") {
      FAuthor = value;
    } else if (id == "EAL") {
      SetAlbum(value);
    } else if (id == "EAR") {
      SetArtist(value);
    } else if (id == "ETT") {
      SetTitle(value);
    } else if (id == "IMG") {
      FImage = Latin1ToUTF8(raw);
    } else {
      break;
    }
  }
  return true;
}

bool TID3v1::SaveToFile(const std::string& FileName) {
  std::string tail;
  bool lyrics3 = false;
  const bool hasMedia = !FLyrics.empty() || !FAuthor.empty() || !FImage.empty();
  const bool hasText = !FLyrics.empty() || !FAuthor.empty() || !FExtArtist.empty() ||
                       !FExtAlbum.empty() || !FExtComment.empty() || !FExtTitle.empty();
  if (hasMedia && hasText) {
    tail = "LYRICSBEGIN";
    tail += FLyrics.empty() ? "IND0000200" : "IND0000210";
    const struct {
      const char* ID;
      const std::string* Value;
    } fields[] = {{"EAL", &FExtAlbum}, {"EAR", &FExtArtist}, {"ETT", &FExtTitle},
                  {"INF", &FExtComment}, {"AUT", &FAuthor}, {"LYR", &FLyrics},
                  {"IMG", &FImage}};
    for (const auto& fld : fields) {
      if (Trim(*fld.Value).empty()) continue;
      const std::string v = UTF8ToLatin1(*fld.Value);
      // The format has no room for longer values; refuse rather than write a broken block.
      if (static_cast<int64_t>(v.size()) > Lyrics3MaxField) return false;
      tail += fld.ID;
      tail += ZeroPadded(static_cast<int64_t>(v.size()), 5);
      tail += v;
    }
    if (static_cast<int64_t>(tail.size()) > Lyrics3MaxSize) return false;
    tail += ZeroPadded(static_cast<int64_t>(tail.size()), 6);
    tail += "LYRICS200";
    lyrics3 = true;
  }
  const int64_t lyrics3Size = lyrics3 ? static_cast<int64_t>(tail.size()) - Lyrics3TrailerSize : 0;

  char tag[TagSize] = {};
  std::memcpy(tag, "TAG", 3);
  auto put = [&](int Offset, const std::string& Text, size_t Max) {
    const std::string s = TrimRight(UTF8ToLatin1(Text));
    std::memcpy(tag + Offset, s.data(), s.size() < Max ? s.size() : Max);
  };
  put(3, GetTitle(), 30);
  put(33, GetArtist(), 30);
  put(63, GetAlbum(), 30);
  put(93, FYear, 4);
  // With a track the comment keeps 28 bytes, so byte 125 stays zero and marks version 1.1.
  put(97, GetComment(), FTrack != 0 ? 28 : 30);
  if (FTrack != 0) {
    tag[125] = 0;
    tag[126] = static_cast<char>(FTrack);
  }
  tag[127] = static_cast<char>(FGenreID);
  tail.append(tag, TagSize);

  TBlocks b;
  if (!LocateBlocks(FileName, b)) return false;
  if (!RewriteTail(FileName, b.FileSize, b.FileSize - b.Size(), tail)) return false;
  FExists = true;
  FHasLyrics3 = lyrics3;
  FLyrics3Size = static_cast<int32_t>(lyrics3Size);
  return true;
}
