#include "audio/core/TSL_Tags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <string_view>

#include "platform/rtl/APEv2Format.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/ID3v2Format.h"
#include "platform/rtl/StrUtils.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/VorbisComments.h"

namespace {

// True when S holds a decimal number (blanks around it allowed).
bool ReadsAsNumber(std::string_view S, int64_t& V) {
  const int64_t a = StrToIntDef(S, 0);
  if (a != StrToIntDef(S, 1)) return false;
  V = a;
  return true;
}

std::string TextOf(const TTagValue& V) {
  if (auto* s = std::get_if<std::string>(&V)) return *s;
  if (auto* w = std::get_if<std::u16string>(&V)) return UTF16ToUTF8(*w);
  if (auto* n = std::get_if<int64_t>(&V)) return IntToStr(*n);
  return std::string();
}

std::u16string WideOf(const TTagValue& V) {
  if (auto* w = std::get_if<std::u16string>(&V)) return *w;
  if (auto* s = std::get_if<std::string>(&V)) return UTF8ToUTF16(*s);
  if (auto* n = std::get_if<int64_t>(&V)) return UTF8ToUTF16(IntToStr(*n));
  return std::u16string();
}

// The value as a number: text that reads as one, else Default.
int64_t NumberOf(const TTagValue& V, int64_t Default) {
  if (auto* n = std::get_if<int64_t>(&V)) return *n;
  int64_t r;
  if (!TagValueIsEmpty(V) && ReadsAsNumber(TextOf(V), r)) return r;
  return Default;
}

bool HandleValid(int Handle) { return Handle >= 0 && fcntl(Handle, F_GETFD) != -1; }

int64_t HandleFileSize(int Handle) {
  struct stat st;
  if (fstat(Handle, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}


// Copies Count bytes from Src at SrcOffset to Dst at DstOffset (-1: Dst's position).
bool CopyRange(int Src, int64_t SrcOffset, int64_t Count, int Dst, int64_t DstOffset) {
  std::vector<uint8_t> buf(1 << 20);
  while (Count > 0) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(Count, static_cast<int64_t>(buf.size())));
    if (!PReadAll(Src, buf.data(), n, SrcOffset)) return false;
    const bool ok = DstOffset < 0 ? WriteAll(Dst, buf.data(), n) : PWriteAll(Dst, buf.data(), n, DstOffset);
    if (!ok) return false;
    SrcOffset += static_cast<int64_t>(n);
    if (DstOffset >= 0) DstOffset += static_cast<int64_t>(n);
    Count -= static_cast<int64_t>(n);
  }
  return true;
}

}  // namespace

bool TagValuesSame(const TTagValue& A, const TTagValue& B) {
  const bool ea = TagValueIsEmpty(A), eb = TagValueIsEmpty(B);
  if (ea || eb) return ea && eb;
  const int64_t* na = std::get_if<int64_t>(&A);
  const int64_t* nb = std::get_if<int64_t>(&B);
  if (na && nb) return *na == *nb;
  if (na || nb) {
    int64_t v;
    return ReadsAsNumber(TextOf(na ? B : A), v) && v == *(na ? na : nb);
  }
  if (A.index() == B.index()) return A == B;
  return WideOf(A) == WideOf(B);
}

// ---------------------------------------------------------------------------
// TAuTags

int32_t TAuTags::IndexOfKey(const std::string& Key) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (SameText(FItems[i].Key, Key)) return static_cast<int32_t>(i);
  return -1;
}

void TAuTags::AddTag(const std::string& Key, const TTagValue& Default) {
  if (IndexOfKey(Key) < 0) FItems.push_back({Key, Default});
}

TTagValue TAuTags::Values(const std::string& Key) const {
  const int32_t i = IndexOfKey(Key);
  return i < 0 ? TTagValue() : FItems[static_cast<size_t>(i)].Value;
}

void TAuTags::SetValue(const std::string& Key, const TTagValue& Value) {
  const int32_t i = IndexOfKey(Key);
  if (i < 0) return;
  TTagValue& v = FItems[static_cast<size_t>(i)].Value;
  if (TagValuesSame(v, Value)) return;
  v = Value;
  FEmpty = false;
  FChanged = true;
}

int32_t TAuTags::AsInteger(const std::string& Key) const {
  const int64_t n = NumberOf(Values(Key), 0);
  if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max()) return 0;
  return static_cast<int32_t>(n);
}

std::string TAuTags::AsString(const std::string& Key) const { return TextOf(Values(Key)); }

std::u16string TAuTags::AsWideString(const std::string& Key) const { return WideOf(Values(Key)); }

std::string TAuTags::Keys(int32_t Index) const {
  if (Index < 0 || Index >= Count()) return std::string();
  return FItems[static_cast<size_t>(Index)].Key;
}

void TAuTags::Clear() {
  for (TItem& it : FItems) it.Value = TTagValue();
  FEmpty = true;
  FChanged = true;
}

void TAuTags::Assign(const TPersistent& Source) {
  const auto* src = dynamic_cast<const TAuTags*>(&Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  // Clearing first would wipe a set assigned to itself.
  if (src == this) return;
  Clear();
  for (const TItem& it : src->FItems) SetValue(it.Key, it.Value);
}

void TAuTags::AssignTo(TPersistent& Dest) const {
  if (auto* dst = dynamic_cast<TAuTags*>(&Dest)) {
    dst->Assign(*this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

bool TAuTags::HasTag(int Handle) { return HandleValid(Handle); }

bool TAuTags::ReadFromFile(int Handle) {
  if (!HandleValid(Handle)) return false;
  Clear();
  return true;
}

bool TAuTags::WriteToFile(int Handle, bool) { return HandleValid(Handle); }

// ---------------------------------------------------------------------------
// ID3v1

const char* const Id3v1GenreNames[] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental",
    "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "Alt. Rock", "Bass", "Soul", "Punk",
    "Space", "Meditative", "Instrumental pop", "Instrumental rock", "Ethnic", "Gothic", "Darkwave",
    "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy",
    "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American",
    "Cabaret", "New Wave", "Psychedelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal",
    "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk",
    "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic",
    "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock",
    "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour",
    "Speech", "Chanson", "Opera", "Chamber music", "Sonata", "Symphony", "Booty Bass", "Primus",
    "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad",
    "Power Ballad", "Rhythmic soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A Cappella",
    "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Afro-Punk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Thrash Metal", "Anime", "JPop", "Synthpop"};
static_assert(sizeof(Id3v1GenreNames) / sizeof(Id3v1GenreNames[0]) == Id3v1GenreCount);

int32_t Id3v1GenreIndex(const std::string& Name) {
  const std::string t = Trim(Name);
  for (int32_t i = 0; i < Id3v1GenreCount; ++i)
    if (SameText(t, Id3v1GenreNames[i])) return i;
  return -1;
}

TId3v1Tags::TId3v1Tags() {
  AddTag("artist");
  AddTag("album");
  AddTag("genre", TTagValue(int64_t(Id3v1DefaultGenre)));
  AddTag("year");
  AddTag("track");
  AddTag("title");
  AddTag("comment");
}

std::string TId3v1Tags::Artist() const {
  const TTagValue v = Values("artist");
  return std::holds_alternative<std::string>(v) || std::holds_alternative<std::u16string>(v) ? TextOf(v)
                                                                                             : std::string();
}

uint16_t TId3v1Tags::Year() const {
  const int64_t n = NumberOf(Values("year"), 0);
  return n < 0 || n > 0xFFFF ? 0 : static_cast<uint16_t>(n);
}

uint8_t TId3v1Tags::Track() const {
  const int64_t n = NumberOf(Values("track"), 0);
  return n < 0 || n > 0xFF ? 0 : static_cast<uint8_t>(n);
}

TId3v1TagsGenreId TId3v1Tags::GenreId() const {
  const TTagValue v = Values("genre");
  int64_t n = Id3v1DefaultGenre;
  if (auto* p = std::get_if<int64_t>(&v)) {
    n = *p;
  } else if (!TagValueIsEmpty(v)) {
    // Sets of other formats carry the genre as a name.
    const std::string s = TextOf(v);
    if (!ReadsAsNumber(s, n)) {
      const int32_t i = Id3v1GenreIndex(s);
      n = i >= 0 ? i : Id3v1DefaultGenre;
    }
  }
  return n < 0 || n >= Id3v1GenreCount ? Id3v1DefaultGenre : static_cast<TId3v1TagsGenreId>(n);
}

void TId3v1Tags::SetGenre(const std::string& V) {
  const int32_t i = Id3v1GenreIndex(V);
  if (i >= 0) SetGenreId(static_cast<TId3v1TagsGenreId>(i));
}

namespace {

// A Latin-1 field of the block: up to its first zero byte, trimmed.
std::string BlockField(const uint8_t (&Block)[128], size_t Offset, size_t Length) {
  const char* p = reinterpret_cast<const char*>(Block) + Offset;
  const size_t n = strnlen(p, Length);
  return Latin1ToUTF8(Trim(std::string_view(p, n)));
}

void PutBlockField(uint8_t (&Block)[128], size_t Offset, size_t Length, const std::string& Text) {
  const std::string latin = UTF8ToLatin1(Text, '?');
  memcpy(Block + Offset, latin.data(), std::min(Length, latin.size()));
}

}  // namespace

bool TId3v1Tags::ParseBlock(const uint8_t (&Block)[128]) {
  if (memcmp(Block, "TAG", 3) != 0) return false;
  SetValue("title", BlockField(Block, 3, 30));
  SetValue("artist", BlockField(Block, 33, 30));
  SetValue("album", BlockField(Block, 63, 30));
  int64_t year = 0;
  if (!ReadsAsNumber(BlockField(Block, 93, 4), year) || year < 0) year = 0;
  SetValue("year", year);
  const uint8_t b125 = Block[125], b126 = Block[126];
  if ((b125 == 0 && b126 != 0) || (b125 == ' ' && b126 != ' ')) {
    SetValue("comment", BlockField(Block, 97, 28));
    SetValue("track", int64_t(b126));
  } else {
    SetValue("comment", BlockField(Block, 97, 30));
    SetValue("track", int64_t(0));
  }
  SetValue("genre", int64_t(Block[127]));
  return true;
}

void TId3v1Tags::BuildBlock(uint8_t (&Block)[128]) const {
  memset(Block, 0, sizeof Block);
  memcpy(Block, "TAG", 3);
  PutBlockField(Block, 3, 30, Title());
  PutBlockField(Block, 33, 30, Artist());
  PutBlockField(Block, 63, 30, Album());
  // No year leaves the field blank rather than "0".
  if (Year() != 0) PutBlockField(Block, 93, 4, IntToStr(Year()));
  const uint8_t track = Track();
  PutBlockField(Block, 97, track != 0 ? 28 : 30, Comment());
  if (track != 0) {
    Block[125] = 0;
    Block[126] = track;
  }
  Block[127] = GenreId();
}

bool TId3v1Tags::HasTag(int Handle) {
  if (!TAuTags::HasTag(Handle)) return false;
  const int64_t size = HandleFileSize(Handle);
  uint8_t mark[3];
  return size >= 128 && PReadAll(Handle, mark, 3, size - 128) && memcmp(mark, "TAG", 3) == 0;
}

bool TId3v1Tags::ReadFromFile(int Handle) {
  if (!TAuTags::ReadFromFile(Handle)) return false;
  const int64_t size = HandleFileSize(Handle);
  uint8_t block[128];
  if (size < 128 || !PReadAll(Handle, block, sizeof block, size - 128)) return false;
  return ParseBlock(block);
}

bool TId3v1Tags::WriteToFile(int Handle, bool Unicode) {
  if (!TAuTags::WriteToFile(Handle, Unicode)) return false;
  uint8_t block[128];
  BuildBlock(block);
  return WriteAll(Handle, block, sizeof block);
}

// ---------------------------------------------------------------------------
// ID3v2

namespace {

struct TId3v2Ids {
  const char* V22;
  const char* V23;
};
// In TId3v2Field order.
constexpr TId3v2Ids Id3v2Ids[Id3v2FieldCount] = {
    {"TAL", "TALB"}, {"TP1", "TPE1"}, {"TCO", "TCON"}, {"TT2", "TIT2"}, {"TRK", "TRCK"}, {"TYE", "TYER"},
    {"COM", "COMM"}, {"TCM", "TCOM"}, {"TEN", "TENC"}, {"TCR", "TCOP"}, {"TLA", "TLAN"}, {"WXX", "WXXX"}};

// A header of a version this reader knows (2.2 to 2.4), with no flag its version
// leaves undefined.
bool ParseId3v2Header(const uint8_t* H, TID3v2Header& R) {
  if (!ReadID3v2Header(H, R)) return false;
  uint8_t mask;
  switch (R.Version) {
    case 2: mask = 0x3F; break;
    case 3: mask = 0x1F; break;
    case 4: mask = 0x0F; break;
    default: return false;
  }
  return (R.Flags & mask) == 0;
}

// N bytes at P with unsynchronisation undone.
std::vector<uint8_t> Resync(const uint8_t* P, size_t N) {
  std::vector<uint8_t> r(P, P + N);
  r.resize(RemoveUnsync(r.data(), r.size()));
  return r;
}

// Whether a frame (or padding, or the end of the frames) starts at At.
bool LandsOnFrame(const std::vector<uint8_t>& Body, size_t At) {
  if (At == Body.size()) return true;
  if (At > Body.size()) return false;
  if (Body[At] == 0) return true;
  if (At + 10 > Body.size()) return false;
  for (size_t i = 0; i < 4; ++i) {
    const uint8_t c = Body[At + i];
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

bool WideEncoding(uint8_t Enc) { return Enc == 1 || Enc == 2; }

// Splits off one string of encoding Enc at the start of [P, P+N): Len is its length
// without terminator, Next the offset after the terminator (N when there is none).
void SplitString(uint8_t Enc, const uint8_t* P, size_t N, size_t& Len, size_t& Next) {
  if (WideEncoding(Enc)) {
    for (size_t i = 0; i + 1 < N; i += 2)
      if (P[i] == 0 && P[i + 1] == 0) {
        Len = i;
        Next = i + 2;
        return;
      }
  } else {
    for (size_t i = 0; i < N; ++i)
      if (P[i] == 0) {
        Len = i;
        Next = i + 1;
        return;
      }
  }
  Len = N;
  Next = N;
}

// One string of encoding Enc (without terminator) as a tag value; nothing for an
// unknown encoding.
TTagValue DecodeString(uint8_t Enc, const uint8_t* P, size_t N) {
  switch (Enc) {
    case 0: return Latin1ToUTF8(std::string_view(reinterpret_cast<const char*>(P), N));
    case 3: return UTF8ToUTF16(std::string_view(reinterpret_cast<const char*>(P), N));
    case 1:
    case 2: {
      bool big = Enc == 2;
      if (Enc == 1 && N >= 2) {
        if (P[0] == 0xFF && P[1] == 0xFE) {
          P += 2, N -= 2;
        } else if (P[0] == 0xFE && P[1] == 0xFF) {
          P += 2, N -= 2;
          big = true;
        }
      }
      std::u16string w;
      w.reserve(N / 2);
      for (size_t i = 0; i + 1 < N; i += 2)
        w.push_back(big ? GetBE16(P + i) : GetLE16(P + i));
      return w;
    }
    default: return TTagValue();
  }
}

// The first string of encoding Enc in [P, P+N).
TTagValue FirstString(uint8_t Enc, const uint8_t* P, size_t N) {
  size_t len, next;
  SplitString(Enc, P, N, len, next);
  return DecodeString(Enc, P, len);
}

// Text as Latin-1 (encoding 0) or as UTF-16 with a byte-order mark (encoding 1).
void PutText(std::vector<uint8_t>& V, uint8_t Enc, const std::u16string& Text) {
  if (Enc == 0) {
    for (char16_t c : Text) V.push_back(uint8_t(c));
    return;
  }
  V.push_back(0xFF);
  V.push_back(0xFE);
  for (char16_t c : Text) AppendLE16(V, c);
}

// A URL goes out as plain ASCII, the form every reader accepts: other characters
// are percent-encoded as UTF-8, as in a URI.
void PutUrl(std::vector<uint8_t>& V, const std::u16string& Url) {
  static const char Hex[] = "0123456789ABCDEF";
  for (unsigned char b : UTF16ToUTF8(Url)) {
    if (b >= 0x20 && b < 0x7F) {
      V.push_back(b);
      continue;
    }
    V.push_back('%');
    V.push_back(uint8_t(Hex[b >> 4]));
    V.push_back(uint8_t(Hex[b & 15]));
  }
}

}  // namespace

TId3v2Tags::TId3v2Tags() {
  for (const TId3v2Ids& ids : Id3v2Ids) AddTag(ids.V22);
  for (const TId3v2Ids& ids : Id3v2Ids) AddTag(ids.V23);
}

const char* TId3v2Tags::FieldKey(TId3v2Field Field) const {
  const TId3v2Ids& ids = Id3v2Ids[Field < Id3v2FieldCount ? Field : 0];
  return FIDSet == 0 ? ids.V22 : ids.V23;
}

void TId3v2Tags::Assign(const TPersistent& Source) {
  TAuTags::Assign(Source);
  const auto* src = dynamic_cast<const TId3v2Tags*>(&Source);
  if (!src || src == this || src->FIDSet == FIDSet) return;
  for (int32_t f = 0; f < Id3v2FieldCount; ++f) {
    const auto field = static_cast<TId3v2Field>(f);
    SetValue(FieldKey(field), src->Values(src->FieldKey(field)));
  }
}

bool TId3v2Tags::ParseTag(const uint8_t* Data, size_t Size, int64_t& TagSize) {
  Clear();
  TID3v2Header h;
  if (Size < 10 || !ParseId3v2Header(Data, h) || h.Size() > static_cast<int64_t>(Size)) return false;
  TagSize = h.Size();
  FIDSet = h.Version == 2 ? 0 : 1;
  // Version 2.2 defines no scheme for its compression flag: nothing is readable.
  if (h.Version == 2 && (h.Flags & 0x40)) return true;

  const uint8_t* frames = Data + 10;
  const size_t framesLen = h.BodySize;
  // Before 2.4 unsynchronisation covers the whole tag, frame headers included.
  std::vector<uint8_t> body = h.Version < 4 && (h.Flags & 0x80)
                                  ? Resync(frames, framesLen)
                                  : std::vector<uint8_t>(frames, frames + framesLen);
  size_t pos = 0;
  if (h.Version >= 3 && (h.Flags & 0x40)) {
    if (body.size() < 4) return true;
    // The extended header's size excludes its size field in 2.3 and includes it in 2.4.
    pos = h.Version == 3 ? 4 + size_t(GetBE32(body.data())) : size_t(GetSyncSafe32(body.data()));
  }

  const size_t headLen = h.Version == 2 ? 6 : 10;
  bool haveComment = false, commentPlain = false, haveLink = false, linkPlain = false;
  while (pos <= body.size() && body.size() - pos >= headLen) {
    const uint8_t* fh = body.data() + pos;
    if (fh[0] < 'A' || fh[0] > 'Z') break;  // padding or garbage ends the frames
    const std::string id(reinterpret_cast<const char*>(fh), headLen == 6 ? 3 : 4);
    const size_t room = body.size() - pos - headLen;
    size_t size;
    if (h.Version == 2) {
      size = GetBE24(fh + 3);
    } else if (h.Version == 3 || (fh[4] | fh[5] | fh[6] | fh[7]) & 0x80) {
      size = GetBE32(fh + 4);
    } else {
      // Some writers put plain sizes into 2.4 tags: take the reading that lands on
      // the next frame.
      const size_t safe = GetSyncSafe32(fh + 4), plain = GetBE32(fh + 4);
      size = safe;
      if (safe != plain && !LandsOnFrame(body, pos + headLen + safe) &&
          LandsOnFrame(body, pos + headLen + plain))
        size = plain;
    }
    if (size > room) break;
    const uint8_t* data = fh + headLen;
    const uint8_t fmt = headLen == 10 ? fh[9] : 0;
    pos += headLen + size;
    if (size == 0) continue;

    int32_t field = -1;
    for (int32_t f = 0; f < Id3v2FieldCount; ++f)
      if (id == (h.Version == 2 ? Id3v2Ids[f].V22 : Id3v2Ids[f].V23)) field = f;
    const bool recorded = h.Version == 4 && id == "TDRC";
    if (recorded) field = id3Year;
    if (field < 0) continue;

    // Frame format flags: skip what cannot be read as text, step over extra bytes.
    std::vector<uint8_t> resynced;
    if (h.Version == 3) {
      if (fmt & 0xC0) continue;  // compressed or encrypted
      if (fmt & 0x20) data++, size--;
    } else if (h.Version == 4) {
      if (fmt & 0x0C) continue;  // compressed or encrypted
      const size_t extra = ((fmt & 0x40) ? 1 : 0) + ((fmt & 0x01) ? 4 : 0);
      if (extra > size) continue;
      data += extra, size -= extra;
      if ((fmt & 0x02) || (h.Flags & 0x80)) {
        resynced = Resync(data, size);
        data = resynced.data(), size = resynced.size();
      }
    }
    if (size == 0) continue;

    const uint8_t enc = data[0];
    const uint8_t* p = data + 1;
    size_t n = size - 1;
    const std::string key = FieldKey(static_cast<TId3v2Field>(field));
    if (field == id3Comment || field == id3Link) {
      // COMM: encoding, language, description, text. WXXX: encoding, description, URL.
      if (field == id3Comment) {
        if (n < 3) continue;
        p += 3, n -= 3;
      }
      size_t descLen, next;
      SplitString(enc, p, n, descLen, next);
      const bool plain = WideEncoding(enc) ? descLen <= 2 : descLen == 0;  // only a byte-order mark
      bool& have = field == id3Comment ? haveComment : haveLink;
      bool& havePlain = field == id3Comment ? commentPlain : linkPlain;
      // The first frame without a description wins over described ones.
      if (have && (havePlain || !plain)) continue;
      TTagValue v;
      if (field == id3Comment) {
        v = FirstString(enc, p + next, n - next);
      } else {
        const auto* url = reinterpret_cast<const char*>(p + next);
        v = Latin1ToUTF16(std::string_view(url, strnlen(url, n - next)));
      }
      if (TagValueIsEmpty(v)) continue;
      have = true;
      havePlain = plain;
      SetValue(key, v);
      continue;
    }
    TTagValue v = FirstString(enc, p, n);
    if (TagValueIsEmpty(v)) continue;
    if (recorded) {
      // A recording time "yyyy-mm-dd..." gives its year.
      const std::string t = TextOf(v);
      if (t.size() > 4 && t.find_first_not_of("0123456789") == 4) {
        if (std::holds_alternative<std::string>(v)) v = t.substr(0, 4);
        else v = UTF8ToUTF16(t.substr(0, 4));
      }
    }
    SetValue(key, v);
  }
  return true;
}

bool TId3v2Tags::HasTag(int Handle) {
  if (!TAuTags::HasTag(Handle)) return false;
  const off_t pos = lseek(Handle, 0, SEEK_CUR);
  uint8_t head[10];
  TID3v2Header h;
  return pos >= 0 && PReadAll(Handle, head, sizeof head, pos) && ParseId3v2Header(head, h);
}

bool TId3v2Tags::ReadFromFile(int Handle) {
  if (!TAuTags::ReadFromFile(Handle)) return false;
  const off_t pos = lseek(Handle, 0, SEEK_CUR);
  const int64_t fileSize = HandleFileSize(Handle);
  uint8_t head[10];
  TID3v2Header h;
  if (pos < 0 || !PReadAll(Handle, head, sizeof head, pos) || !ParseId3v2Header(head, h)) return false;
  if (fileSize < 0 || h.Size() > fileSize - pos) return false;
  std::vector<uint8_t> tag(static_cast<size_t>(h.Size()));
  if (!PReadAll(Handle, tag.data(), tag.size(), pos)) return false;
  int64_t tagSize = 0;
  if (!ParseTag(tag.data(), tag.size(), tagSize)) return false;
  lseek(Handle, pos + tagSize, SEEK_SET);
  return true;
}

bool TId3v2Tags::BuildTag(std::vector<uint8_t>& Tag) const {
  std::vector<uint8_t> frames;
  for (int32_t f = 0; f < Id3v2FieldCount; ++f) {
    const auto field = static_cast<TId3v2Field>(f);
    const std::u16string text = AsWideString(FieldKey(field));
    if (text.empty()) continue;  // an empty field is left out, the later ones still go
    const uint8_t enc = FitsLatin1(text) ? 0 : 1;
    std::vector<uint8_t> body;
    if (field == id3Link) {
      // No description; the URL follows its terminator.
      body = {0, 0};
      PutUrl(body, text);
    } else if (field == id3Comment) {
      body = {enc, 'e', 'n', 'g'};
      PutText(body, enc, u"");
      body.insert(body.end(), enc ? 2 : 1, 0);
      PutText(body, enc, text);
    } else {
      body = {enc};
      PutText(body, enc, text);
    }
    if (body.size() > MaxSyncSafe) return false;
    frames.insert(frames.end(), Id3v2Ids[f].V23, Id3v2Ids[f].V23 + 4);
    AppendBE32(frames, static_cast<uint32_t>(body.size()));
    frames.push_back(0);
    frames.push_back(0);
    frames.insert(frames.end(), body.begin(), body.end());
  }
  const size_t padding = 16 - (frames.size() + 10) % 16;
  const size_t size = frames.size() + padding;
  if (size > MaxSyncSafe) return false;
  Tag = {'I', 'D', '3', 3, 0, 0};
  AppendSyncSafe32(Tag, static_cast<uint32_t>(size));
  Tag.insert(Tag.end(), frames.begin(), frames.end());
  Tag.insert(Tag.end(), padding, 0);
  return true;
}

namespace {

// The name under which the descriptor's file is reachable; empty when it has none.
std::string NameOfHandle(int Handle, const struct stat& St) {
  char buf[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(Handle);
  const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  const std::string name(buf, static_cast<size_t>(n));
  struct stat st;
  if (stat(name.c_str(), &st) != 0 || st.st_dev != St.st_dev || st.st_ino != St.st_ino) return std::string();
  return name;
}

// Gives Handle the open file description of NewFd, keeping Handle's close-on-exec
// and append flags.
bool RedirectHandle(int Handle, int NewFd, int StatusFlags) {
  const int fdFlags = fcntl(Handle, F_GETFD);
  if (fdFlags < 0) return false;
  fcntl(NewFd, F_SETFL, StatusFlags & (O_APPEND | O_NONBLOCK));
  int r;
  do r = dup3(NewFd, Handle, (fdFlags & FD_CLOEXEC) ? O_CLOEXEC : 0);
  while (r < 0 && errno == EINTR);
  return r >= 0;
}

// Named files: a complete new file (tag, then the old content) replaces the old one.
bool PrependByReplace(int Handle, const std::string& Name, int Src, int64_t OldSize,
                      const std::vector<uint8_t>& Tag, int StatusFlags) {
  int kept = -1;
  const bool ok = ReplaceFileSafely(Name, [&](int Fd) {
    if (!WriteAll(Fd, Tag.data(), Tag.size()) || !CopyRange(Src, 0, OldSize, Fd, -1)) return false;
    kept = fcntl(Fd, F_DUPFD_CLOEXEC, 0);
    return kept >= 0;
  });
  if (!ok) {
    if (kept >= 0) close(kept);
    return false;
  }
  const bool redirected = RedirectHandle(Handle, kept, StatusFlags);
  close(kept);
  return redirected;
}

// A file without a name exists only through its descriptors, so it cannot be
// replaced: a complete copy of the new content is made first, written over the old,
// and the old content is put back from that copy should the writing fail.
bool PrependInPlace(int Handle, int Src, int64_t OldSize, const std::vector<uint8_t>& Tag, int StatusFlags) {
  const std::string dir = GetTempDirectory();
  int tmp = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (tmp < 0) {
    try {
      const std::string name = CreateUniqueFile(dir, "sonvix-id3v2-");
      tmp = open(name.c_str(), O_RDWR | O_CLOEXEC);
      DeleteFile(name);
    } catch (const Exception&) {
      return false;
    }
    if (tmp < 0) return false;
  }
  const int64_t tagLen = static_cast<int64_t>(Tag.size());
  bool ok = PWriteAll(tmp, Tag.data(), Tag.size(), 0) && CopyRange(Src, 0, OldSize, tmp, tagLen);
  if (ok) {
    // Positioned writes would go to the end of a descriptor in append mode.
    if (StatusFlags & O_APPEND) fcntl(Handle, F_SETFL, StatusFlags & ~O_APPEND);
    ok = CopyRange(tmp, 0, tagLen + OldSize, Handle, 0);
    if (!ok) {
      CopyRange(tmp, tagLen, OldSize, Handle, 0);
      if (ftruncate(Handle, OldSize) != 0) {
        // Nothing more can be done; the result is false either way.
      }
    }
    if (StatusFlags & O_APPEND) fcntl(Handle, F_SETFL, StatusFlags);
  }
  close(tmp);
  return ok;
}

}  // namespace

bool TId3v2Tags::WriteToFile(int Handle, bool Unicode) {
  if (!TAuTags::WriteToFile(Handle, Unicode)) return false;
  const int statusFlags = fcntl(Handle, F_GETFL);
  if (statusFlags < 0 || (statusFlags & O_ACCMODE) == O_RDONLY) return false;
  struct stat st;
  if (fstat(Handle, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::vector<uint8_t> tag;
  if (!BuildTag(tag)) return false;

  // A descriptor of our own for reading the old content, whatever the handle's access.
  const std::string link = "/proc/self/fd/" + std::to_string(Handle);
  int src = open(link.c_str(), O_RDONLY | O_CLOEXEC);
  const bool ownSrc = src >= 0;
  if (!ownSrc) {
    if ((statusFlags & O_ACCMODE) != O_RDWR) return false;
    src = Handle;
  }
  const int64_t oldSize = static_cast<int64_t>(st.st_size);
  bool ok = false;
  const std::string name = NameOfHandle(Handle, st);
  if (!name.empty())
    ok = PrependByReplace(Handle, name, src, oldSize, tag, statusFlags);
  else if (st.st_nlink == 0)
    ok = PrependInPlace(Handle, src, oldSize, tag, statusFlags);
  if (ownSrc) close(src);
  if (ok) lseek(Handle, 0, SEEK_END);
  return ok;
}

// ---------------------------------------------------------------------------
// APEv2

TAPEv2Tags::TAPEv2Tags() {
  for (const char* key : {"Artist", "Composer", "Album", "Debut album", "Publisher", "Conductor", "Copyright",
                          "ISBN", "ISRC", "EAN/UPC", "LC", "Catalog", "Language", "Genre", "Year",
                          "Record Date", "Record Location", "File", "Related", "Abstract", "Bibliography",
                          "Track", "Title", "Subtitle", "Comment"})
    AddTag(key);
}

bool ReadAPEv2Tags(TStream& Stream, TAPEv2Tags& Tags) {
  try {
    const int64_t size = Stream.Size();
    if (size < APERecordSize) return false;
    uint8_t footer[APERecordSize];
    Stream.Seek(size - APERecordSize, soBeginning);
    if (Stream.Read(footer, sizeof footer) != sizeof footer) return false;
    TAPERecord r;
    if (!ReadAPERecord(footer, r) || r.Version != APEVersion2) return false;
    const int64_t tagSize = r.Size;
    if (tagSize < APERecordSize || tagSize > size) return false;

    std::string items(static_cast<size_t>(tagSize - APERecordSize), '\0');
    Stream.Seek(size - tagSize, soBeginning);
    if (Stream.Read(items.data(), static_cast<int64_t>(items.size())) != static_cast<int64_t>(items.size()))
      return false;
    // Names are not held to the format's length: an overlong one does not end the list.
    for (const TAPEItem& it : ParseAPEItems(items, r.Count, items.size())) {
      if (it.Flags & apeItemKindMask) continue;  // binary data or an external reference
      // Item keys are case-insensitive in the format. A list value keeps its first entry.
      const std::string key(it.Name);
      const std::string_view text(it.Value.data(), strnlen(it.Value.data(), it.Value.size()));
      for (const char* name : {"Artist", "Album", "Copyright", "Genre", "Year", "Track", "Title"}) {
        if (!SameText(key, name)) continue;
        if (SameText(key, "Year") || SameText(key, "Track"))
          Tags.SetValue(name, UTF16ToUTF8(UTF8ToUTF16(text)));  // repairs broken sequences
        else
          Tags.SetValue(name, UTF8ToUTF16(text));
      }
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// ---------------------------------------------------------------------------
// Vorbis comments

TVorbisTags::TVorbisTags() {
  for (const char* key : {"album", "artist", "date", "genre", "title", "tracknumber"}) AddTag(key);
}

void TVorbisTags::TakeComment(std::string_view Comment) {
  const std::string name = VorbisCommentName(Comment);
  if (!name.empty()) SetValue(LowerCase(name), TTagValue(UTF8ToUTF16(VorbisCommentValue(Comment))));
}
