#include "fileinfo/ID3v2.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fileinfo/ID3v1.h"
#include "fileinfo/TagFileIO.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/ID3v2Format.h"
#include "platform/rtl/StrUtils.h"

using namespace fileinfo;

namespace {

constexpr int64_t HeaderSize = ID3v2HeaderSize;
constexpr int64_t MaxSize22 = 0xFFFFFF;
constexpr int64_t DefaultTagSize = 4096;

constexpr int SlotCount = 17;
enum {
  slTitle, slArtist, slAlbum, slTrack, slYear, slGenre, slComment, slComposer, slEncoder,
  slCopyright, slLanguage, slLink, slRecordingTime, slOrigArtist, slContentGroup, slOrigAlbum,
  slSize
};
const char* const FrameIDs[SlotCount] = {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON",
                                         "COMM", "TCOM", "TENC", "TCOP", "TLAN", "WXXX",
                                         "TDRC", "TOPE", "TIT1", "TOAL", "TSIZ"};
const char* const FrameIDs22[SlotCount] = {"TT2", "TP1", "TAL", "TRK", "TYE", "TCO",
                                           "COM", "TCM", "TEN", "TCR", "TLA", "WXX",
                                           "TOR", "TOA", "TT1", "TOT", "TSI"};

// Second frame flag byte, version 2.3.
constexpr uint8_t ff3Compressed = 0x80, ff3Encrypted = 0x40, ff3Grouping = 0x20;
// Second frame flag byte, version 2.4.
constexpr uint8_t ff4Grouping = 0x40, ff4Compressed = 0x08, ff4Encrypted = 0x04,
                  ff4Unsync = 0x02, ff4DataLength = 0x01;

// ReadHeader fails only when the file cannot be read; a file shorter than a
// header leaves Read false.
struct THeader {
  bool Read = false;  // 10 bytes were there
  bool Exists = false;
  uint8_t Version = 0, Revision = 0, Flags = 0;
  int64_t BodySize = 0;  // bytes after the header, footer not included
  int64_t Size = 0;      // whole tag; 0 when the header is not valid or the tag overruns the file
  int64_t FileSize = 0;
};

bool ReadHeader(const TReadFile& F, THeader& H) {
  H = THeader();
  H.FileSize = F.Size();
  unsigned char b[HeaderSize];
  if (H.FileSize < HeaderSize) return true;
  if (!F.ReadAt(0, b, HeaderSize)) return false;
  H.Read = true;
  if (std::memcmp(b, "ID3", 3) != 0) return true;
  H.Exists = true;
  H.Version = b[3];
  H.Revision = b[4];
  H.Flags = b[5];
  TID3v2Header h;
  if (!ReadID3v2Header(b, h)) return true;
  H.BodySize = h.BodySize;
  if (h.Size() <= H.FileSize) H.Size = h.Size();
  return true;
}

void Deunsync(std::string& S) { S.resize(RemoveUnsync(S.data(), S.size())); }

bool IsFrameID(const unsigned char* P, int Len) {
  if (P[0] < 'A' || P[0] > 'Z') return false;
  for (int i = 1; i < Len; ++i)
    if (!((P[i] >= 'A' && P[i] <= 'Z') || (P[i] >= '0' && P[i] <= '9'))) return false;
  return true;
}

// Text of one encoded string, up to its terminator.
std::string DecodeText(uint8_t Enc, std::string_view B) {
  std::string r;
  if (Enc == 1 || Enc == 2) {
    bool bigEndian = Enc == 2;
    size_t i = 0;
    if (B.size() >= 2) {
      const auto b0 = static_cast<unsigned char>(B[0]), b1 = static_cast<unsigned char>(B[1]);
      if (b0 == 0xFF && b1 == 0xFE) {
        bigEndian = false;
        i = 2;
      } else if (b0 == 0xFE && b1 == 0xFF) {
        bigEndian = true;
        i = 2;
      }
    }
    std::u16string u;
    for (; i + 1 < B.size(); i += 2) {
      const char16_t c = bigEndian ? GetBE16(&B[i]) : GetLE16(&B[i]);
      if (c == 0) break;
      u += c;
    }
    if (!u.empty() && u.back() >= 0xD800 && u.back() <= 0xDBFF) u.pop_back();
    r = UTF16ToUTF8(u);
  } else {
    const size_t z = B.find('\0');
    std::string s(B.substr(0, z));
    if (Enc == 3) {
      DropCutUTF8(s);
      r = UTF16ToUTF8(UTF8ToUTF16(s));
    } else {
      r = Latin1ToUTF8(s);
    }
  }
  return Trim(r);
}

// Splits a description (ended by a terminator of the encoding) from the text after it.
// Without a terminator the whole is taken as the text.
void SplitDescription(uint8_t Enc, std::string_view B, std::string_view& Desc, std::string_view& Rest) {
  size_t end = std::string_view::npos, skip = 1;
  if (Enc == 1 || Enc == 2) {
    skip = 2;
    // UTF-16 units are aligned on two bytes; a zero high byte and a zero low byte
    // of neighbouring characters are no terminator.
    for (size_t i = 0; i + 1 < B.size(); i += 2) {
      if (B[i] == 0 && B[i + 1] == 0) {
        end = i;
        break;
      }
    }
  } else {
    end = B.find('\0');
  }
  if (end == std::string_view::npos) {
    Desc = std::string_view();
    Rest = B;
  } else {
    Desc = B.substr(0, end);
    Rest = B.substr(end + skip);
  }
}

bool AllDigits(const std::string& T) {
  return !T.empty() && std::all_of(T.begin(), T.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The name a genre reference stands for: an ID3v1 genre number, "RX" or "CR";
// empty when it names nothing.
std::string GenreRefName(const std::string& Ref) {
  if (Ref == "RX") return "Remix";
  if (Ref == "CR") return "Cover";
  if (!AllDigits(Ref) || Ref.size() > 3) return {};
  const int n = std::stoi(Ref);
  return n < ID3v1GenreCount ? ID3v1Genres[n] : std::string();
}

// Removes leading genre references such as "(17)" or "(RX)"; "((" starts a
// text that begins with a parenthesis. A genre given only by reference ("(17)",
// or "17" as later versions write it) is named, so that it is not lost.
std::string StripGenreRefs(std::string T) {
  std::string lastRef;
  while (!T.empty() && T[0] == '(') {
    if (T.size() > 1 && T[1] == '(') {
      T.erase(0, 1);
      break;
    }
    const size_t close = T.find(')');
    if (close == std::string::npos) break;
    const std::string ref = T.substr(1, close - 1);
    if (!AllDigits(ref) && ref != "RX" && ref != "CR") break;
    lastRef = ref;
    T.erase(0, close + 1);
  }
  T = Trim(T);
  if (T.empty() && !lastRef.empty()) return GenreRefName(lastRef);
  if (AllDigits(T) && !GenreRefName(T).empty()) return GenreRefName(T);
  return T;
}


// Where a version 2.4 frame ends. Sizes are syncsafe, but some writers store plain
// numbers: the plain size is taken when the syncsafe one does not end on a frame,
// padding or the end of the tag and the plain one does.
bool FrameSize24(const std::string& D, size_t Pos, size_t End, int64_t& Size) {
  const auto* p = reinterpret_cast<const unsigned char*>(D.data());
  const int64_t avail = static_cast<int64_t>(End - Pos - 10);
  auto lands = [&](int64_t S) {
    if (S < 0 || S > avail) return false;
    const size_t next = Pos + 10 + static_cast<size_t>(S);
    if (next == End || p[next] == 0) return true;
    return next + 10 <= End && IsFrameID(p + next, 4);
  };
  const bool isSyncsafe = IsSyncSafe32(p + Pos + 4);
  const int64_t syncsafe = GetSyncSafe32(p + Pos + 4);
  const int64_t plain = GetBE32(p + Pos + 4);
  if (isSyncsafe && lands(syncsafe)) Size = syncsafe;
  else if (lands(plain)) Size = plain;
  else if (isSyncsafe && syncsafe <= avail) Size = syncsafe;
  else return false;
  return true;
}

// One frame as the tag stores it.
struct TFrame {
  std::string ID;
  uint8_t Status = 0, Format = 0;  // the two flag bytes; none in version 2.2
  std::string Data;                // the bytes after the frame header
  bool Readable = false;           // Content holds what the frame says
  std::string Content;             // Data with grouping, length and unsynchronisation undone
};

std::string TakeContent(const THeader& H, TFrame& F) {
  std::string c = F.Data;
  if (H.Version == 3) {
    if (F.Format & (ff3Compressed | ff3Encrypted)) return std::string();
    if (F.Format & ff3Grouping) {
      if (c.empty()) return std::string();
      c.erase(0, 1);
    }
  } else if (H.Version == 4) {
    if (F.Format & (ff4Compressed | ff4Encrypted)) return std::string();
    const size_t extra = ((F.Format & ff4Grouping) ? 1 : 0) + ((F.Format & ff4DataLength) ? 4 : 0);
    if (c.size() < extra) return std::string();
    c.erase(0, extra);
    if (F.Format & ff4Unsync) Deunsync(c);
  }
  F.Readable = true;
  return c;
}

}  // namespace

// The frames of a tag in file order; what follows the last whole frame is padding.
struct TID3v2::TFrameList {
  uint8_t Version = 3;
  std::vector<TFrame> Frames;
};

namespace {

void ParseFrames(const THeader& H, std::string D, std::vector<TFrame>& Out) {
  size_t pos = 0;
  if (H.Version == 2) {
    if (H.Flags & id3Compressed22) return;
    if (H.Flags & id3Unsync) Deunsync(D);
  } else if (H.Version == 3) {
    if (H.Flags & id3Unsync) Deunsync(D);
    if (H.Flags & id3Extended) {
      if (D.size() < 4) return;
      const int64_t ext = GetBE32(D.data());
      if (ext > static_cast<int64_t>(D.size()) - 4) return;
      pos = 4 + static_cast<size_t>(ext);
    }
  } else if (H.Flags & id3Extended) {
    if (D.size() < 4 || !IsSyncSafe32(D.data())) return;
    const int64_t ext = GetSyncSafe32(D.data());
    if (ext < 6 || ext > static_cast<int64_t>(D.size())) return;
    pos = static_cast<size_t>(ext);
  }
  const auto* p = reinterpret_cast<const unsigned char*>(D.data());
  const size_t end = D.size();
  const int idLen = H.Version == 2 ? 3 : 4;
  const size_t headLen = H.Version == 2 ? 6 : 10;
  while (pos + headLen <= end && IsFrameID(p + pos, idLen)) {
    TFrame f;
    f.ID.assign(D, pos, idLen);
    int64_t size = 0;
    if (H.Version == 2) {
      size = GetBE24(p + pos + 3);
      if (size > static_cast<int64_t>(end - pos - headLen)) break;
    } else {
      size = GetBE32(p + pos + 4);
      if (H.Version >= 4) {
        if (!FrameSize24(D, pos, end, size)) break;
      } else if (size > static_cast<int64_t>(end - pos - headLen)) {
        break;
      }
      f.Status = p[pos + 8];
      f.Format = p[pos + 9];
      // A tag-wide unsynchronisation flag covers every frame; carried alone, a
      // frame says so itself.
      if (H.Version == 4 && (H.Flags & id3Unsync)) f.Format |= ff4Unsync;
    }
    f.Data = D.substr(pos + headLen, static_cast<size_t>(size));
    pos += headLen + static_cast<size_t>(size);
    f.Content = TakeContent(H, f);
    Out.push_back(std::move(f));
  }
}

// Which frame each field is read from: the last readable one of its slot; the
// comment is the first without a description, failing that the last one.
// Frames with an unknown text encoding or a value over the size cap are not read.
struct TPicks {
  int Slot[SlotCount];
  bool CommentHasEmptyDesc = false;
};

TPicks PickFrames(const TID3v2::TFrameList& L) {
  TPicks pk;
  for (int& s : pk.Slot) s = -1;
  const char* const* ids = L.Version == 2 ? FrameIDs22 : FrameIDs;
  for (size_t i = 0; i < L.Frames.size(); ++i) {
    const TFrame& f = L.Frames[i];
    if (!f.Readable || f.Content.empty() || static_cast<unsigned char>(f.Content[0]) > 3 ||
        static_cast<int64_t>(f.Content.size()) > MaxValueSize)
      continue;
    for (int s = 0; s < SlotCount; ++s) {
      if (f.ID != ids[s]) continue;
      if (s == slComment) {
        if (pk.CommentHasEmptyDesc || f.Content.size() < 4) break;
        std::string_view desc, rest;
        SplitDescription(static_cast<uint8_t>(f.Content[0]), std::string_view(f.Content).substr(4), desc, rest);
        pk.CommentHasEmptyDesc = DecodeText(static_cast<uint8_t>(f.Content[0]), desc).empty();
      }
      pk.Slot[s] = static_cast<int>(i);
      break;
    }
  }
  return pk;
}

std::string SlotText(const TID3v2::TFrameList& L, const TPicks& Pk, int S) {
  if (Pk.Slot[S] < 0) return std::string();
  const std::string& c = L.Frames[static_cast<size_t>(Pk.Slot[S])].Content;
  return DecodeText(static_cast<uint8_t>(c[0]), std::string_view(c).substr(1));
}

// The text after the description of a comment (Skip 4: encoding and language) or
// link frame (Skip 1), decoded with Enc.
std::string TextAfterDescription(const std::string& Content, size_t Skip, uint8_t Enc) {
  std::string_view desc, rest;
  SplitDescription(static_cast<uint8_t>(Content[0]), std::string_view(Content).substr(Skip), desc, rest);
  return DecodeText(Enc, rest);
}

// Text in ISO-8859-1 when it fits, else UTF-16 with a byte-order mark; the
// encoding byte comes first.
std::string EncodeText(const std::string& Text, const std::string& CommentLanguage = std::string()) {
  const std::u16string u = UTF8ToUTF16(Text);
  const bool comment = !CommentLanguage.empty();
  std::string r;
  if (FitsLatin1(u)) {
    r += '\0';
    if (comment) r += CommentLanguage + std::string(1, '\0');
    r += UTF16ToLatin1(u);
    return r;
  }
  r += '\1';
  if (comment) r += CommentLanguage + std::string("\xFF\xFE\0\0", 4);
  r += "\xFF\xFE";
  for (char16_t c : u) AppendLE16(r, c);
  return r;
}

bool AppendFrame(std::string& Tag, uint8_t Version, const TFrame& F) {
  const int64_t n = static_cast<int64_t>(F.Data.size());
  Tag += F.ID;
  if (Version == 2) {
    if (n > MaxSize22) return false;
    AppendBE24(Tag, static_cast<uint32_t>(n));
  } else {
    if (n > (Version == 3 ? int64_t(UINT32_MAX) : int64_t(MaxSyncSafe))) return false;
    if (Version == 3) AppendBE32(Tag, static_cast<uint32_t>(n));
    else AppendSyncSafe32(Tag, static_cast<uint32_t>(n));
    Tag += static_cast<char>(F.Status);
    Tag += static_cast<char>(F.Format);
  }
  Tag += F.Data;
  return true;
}

// A change to the frames of one field: the frames at Remove go, and New (when
// it has an ID) takes the place of the first of them, or goes last.
struct TEdit {
  std::vector<size_t> Remove;
  TFrame New;
};

std::vector<TFrame> ApplyEdits(const std::vector<TFrame>& Frames, const std::vector<TEdit>& Edits) {
  std::vector<TFrame> out;
  for (size_t i = 0; i < Frames.size(); ++i) {
    bool removed = false;
    for (const TEdit& e : Edits) {
      if (std::find(e.Remove.begin(), e.Remove.end(), i) == e.Remove.end()) continue;
      removed = true;
      if (e.Remove.front() == i && !e.New.ID.empty()) out.push_back(e.New);
    }
    if (!removed) out.push_back(Frames[i]);
  }
  for (const TEdit& e : Edits)
    if (e.Remove.empty() && !e.New.ID.empty()) out.push_back(e.New);
  return out;
}

}  // namespace

void TID3v2::Clear() {
  *this = TID3v2();
}

void TID3v2::SetTitle(const std::string& V) { FTitle = Trim(V); }
void TID3v2::SetArtist(const std::string& V) { FArtist = Trim(V); }
void TID3v2::SetAlbum(const std::string& V) { FAlbum = Trim(V); }
void TID3v2::SetYear(const std::string& V) { FYear = Trim(V); }
void TID3v2::SetGenre(const std::string& V) { FGenre = Trim(V); }
void TID3v2::SetComment(const std::string& V) { FComment = Trim(V); }
void TID3v2::SetComposer(const std::string& V) { FComposer = Trim(V); }
void TID3v2::SetEncoder(const std::string& V) { FEncoder = Trim(V); }
void TID3v2::SetCopyright(const std::string& V) { FCopyright = Trim(V); }
void TID3v2::SetLanguage(const std::string& V) { FLanguage = Trim(V); }
void TID3v2::SetLink(const std::string& V) { FLink = Trim(V); }

void TID3v2::TakeFields(const TFrameList& L) {
  const TPicks pk = PickFrames(L);
  FTitle = SlotText(L, pk, slTitle);
  if (FTitle.empty()) FTitle = SlotText(L, pk, slContentGroup);
  FArtist = SlotText(L, pk, slArtist);
  if (FArtist.empty()) FArtist = SlotText(L, pk, slOrigArtist);
  FAlbum = SlotText(L, pk, slAlbum);
  if (FAlbum.empty()) FAlbum = SlotText(L, pk, slOrigAlbum);
  FTrackString = SlotText(L, pk, slTrack);
  const int64_t track = StrToIntDef(FTrackString.substr(0, FTrackString.find('/')), 0);
  FTrack = (track >= 0 && track <= 0xFFFF) ? static_cast<uint16_t>(track) : 0;
  FYear = SlotText(L, pk, slYear);
  if (FYear.empty()) FYear = FirstChars(SlotText(L, pk, slRecordingTime), 4);
  FGenre = StripGenreRefs(SlotText(L, pk, slGenre));
  if (pk.Slot[slComment] >= 0) {
    const std::string& c = L.Frames[static_cast<size_t>(pk.Slot[slComment])].Content;
    FComment = TextAfterDescription(c, 4, static_cast<uint8_t>(c[0]));
  }
  FComposer = SlotText(L, pk, slComposer);
  FEncoder = SlotText(L, pk, slEncoder);
  FCopyright = SlotText(L, pk, slCopyright);
  FLanguage = SlotText(L, pk, slLanguage);
  // The address of a link frame is ISO-8859-1 whatever the description's encoding.
  if (pk.Slot[slLink] >= 0) FLink = TextAfterDescription(L.Frames[static_cast<size_t>(pk.Slot[slLink])].Content, 1, 0);
  FSizeText = SlotText(L, pk, slSize);
}

bool TID3v2::ReadFromFile(const std::string& FileName) {
  Clear();
  TReadFile f(FileName);
  THeader h;
  if (!f.IsOpen() || !ReadHeader(f, h) || !h.Read) return false;
  if (!h.Exists) return true;
  FExists = true;
  FVersionID = h.Version;
  FSize = static_cast<int32_t>(h.Size);
  if (h.Size < 1 || h.Version < 2 || h.Version > 4) return true;
  std::string data;
  if (!f.ReadAt(HeaderSize, h.BodySize, data)) return true;
  TFrameList l;
  l.Version = h.Version;
  ParseFrames(h, std::move(data), l.Frames);
  TakeFields(l);
  return true;
}

namespace {

// The year frame of versions 2.2 and 2.3 holds four digits: readers drop a full date
// ("2005-06-07") there, so a date keeps its year. Other texts are written as they are.
std::string YearOfDate(const std::string& Date) {
  auto digit = [](char C) { return C >= '0' && C <= '9'; };
  const bool dated = Date.size() > 4 && std::all_of(Date.begin(), Date.begin() + 4, digit) && !digit(Date[4]);
  return dated ? Date.substr(0, 4) : Date;
}

}  // namespace

bool TID3v2::SaveToFile(const std::string& FileName) {
  THeader h;
  TFrameList old;
  {
    TReadFile f(FileName);
    // A file too short for a header simply has no tag; one that cannot be read is left alone.
    if (!f.IsOpen() || !ReadHeader(f, h)) return false;
    // The frames of a valid tag are kept in its own version, so that every frame
    // this writer does not manage stays as it was written.
    if (h.Exists && h.Size > 0 && h.Version >= 2 && h.Version <= 4 &&
        !(h.Version == 2 && (h.Flags & id3Compressed22))) {
      std::string body;
      if (!f.ReadAt(HeaderSize, h.BodySize, body)) return false;
      old.Version = h.Version;
      ParseFrames(h, std::move(body), old.Frames);
    }
  }
  const uint8_t version = old.Version;
  const char* const* ids = version == 2 ? FrameIDs22 : FrameIDs;
  TID3v2 was;
  was.TakeFields(old);
  const TPicks pk = PickFrames(old);

  // Only the fields whose value differs from what the tag says are rewritten.
  std::vector<TEdit> edits;
  auto framesWith = [&](std::initializer_list<int> Slots) {
    std::vector<size_t> r;
    for (size_t i = 0; i < old.Frames.size(); ++i)
      for (int s : Slots)
        if (old.Frames[i].ID == ids[s]) r.push_back(i);
    return r;
  };
  auto newFrame = [&](int Slot, std::string Data) {
    TFrame f;
    if (!Data.empty()) {
      f.ID = ids[Slot];
      f.Data = std::move(Data);
      f.Readable = true;
      f.Content = f.Data;
    }
    return f;
  };
  auto text = [&](int Slot, const std::string& Now, const std::string& Was) {
    if (Now != Was) edits.push_back({framesWith({Slot}), newFrame(Slot, Now.empty() ? "" : EncodeText(Now))});
  };
  size_t commentEdit = SIZE_MAX, linkEdit = SIZE_MAX;
  TFrame clearedComment, clearedLink;
  text(slTitle, FTitle, was.FTitle);
  text(slArtist, FArtist, was.FArtist);
  text(slAlbum, FAlbum, was.FAlbum);
  if (FTrack != was.FTrack)
    edits.push_back({framesWith({slTrack}), newFrame(slTrack, FTrack == 0 ? "" : EncodeText(IntToStr(FTrack)))});
  if (FYear != was.FYear) {
    // The recording time of later versions holds the year too; version 2.4 has no other place for it.
    const int primary = version == 4 ? slRecordingTime : slYear;
    edits.push_back({version == 2 ? framesWith({slYear}) : framesWith({slYear, slRecordingTime}),
                     newFrame(primary, FYear.empty() ? "" : EncodeText(version == 4 ? FYear : YearOfDate(FYear)))});
  }
  text(slGenre, FGenre, was.FGenre);
  if (FComment != was.FComment) {
    // The comment without a description is this field's; comments with a
    // description (or only in another language) belong to other programs.
    TEdit e;
    std::string language = "eng";
    if (pk.Slot[slComment] >= 0 && pk.CommentHasEmptyDesc) {
      const size_t i = static_cast<size_t>(pk.Slot[slComment]);
      e.Remove.push_back(i);
      language = old.Frames[i].Content.substr(1, 3);
    }
    e.New = newFrame(slComment, FComment.empty() ? "" : EncodeText(FComment, language));
    clearedComment = FComment.empty() ? newFrame(slComment, std::string(1, '\0') + language + '\0') : TFrame();
    commentEdit = edits.size();
    edits.push_back(std::move(e));
  }
  text(slComposer, FComposer, was.FComposer);
  text(slEncoder, FEncoder, was.FEncoder);
  text(slCopyright, FCopyright, was.FCopyright);
  text(slLanguage, FLanguage, was.FLanguage);
  if (FLink != was.FLink) {
    // The address changes; the link's description stays.
    TEdit e;
    std::string head(2, '\0');
    if (pk.Slot[slLink] >= 0) {
      const size_t i = static_cast<size_t>(pk.Slot[slLink]);
      e.Remove.push_back(i);
      const std::string& c = old.Frames[i].Content;
      std::string_view desc, rest;
      SplitDescription(static_cast<uint8_t>(c[0]), std::string_view(c).substr(1), desc, rest);
      head = c.substr(0, c.size() - rest.size());
      if (rest.size() == c.size() - 1) head += (c[0] == 1 || c[0] == 2) ? std::string(2, '\0') : std::string(1, '\0');
    }
    e.New = newFrame(slLink, FLink.empty() ? "" : head + UTF8ToLatin1(FLink));
    clearedLink = FLink.empty() ? newFrame(slLink, head) : TFrame();
    linkEdit = edits.size();
    edits.push_back(std::move(e));
  }
  std::vector<TFrame> frames = ApplyEdits(old.Frames, edits);
  // A comment or link cleared while another frame would still be read as it (a second
  // one without a description) leaves an empty frame in its place, so that the tag
  // reads back as saved and saving it again changes nothing.
  TFrameList now;
  now.Version = version;
  now.Frames = frames;
  TID3v2 back;
  back.TakeFields(now);
  const bool keepComment = commentEdit < edits.size() && back.FComment != FComment;
  const bool keepLink = linkEdit < edits.size() && back.FLink != FLink;
  if (keepComment) edits[commentEdit].New = clearedComment;
  if (keepLink) edits[linkEdit].New = clearedLink;
  if (keepComment || keepLink) frames = ApplyEdits(old.Frames, edits);

  std::string tag("ID3", 3);
  tag += static_cast<char>(version);
  tag += std::string(2, '\0');
  tag += std::string(4, '\0');  // size, below
  for (const TFrame& f : frames)
    if (!AppendFrame(tag, version, f)) return false;
  const int64_t needed = static_cast<int64_t>(tag.size());

  // A valid tag of up to 4096 bytes with room enough is overwritten in place;
  // otherwise the file is rebuilt with a 4096-byte tag, or a bigger one when needed.
  const int64_t oldSize = (h.Exists && h.Size > 0) ? h.Size : 0;
  const int64_t size = (oldSize >= needed && oldSize <= DefaultTagSize)
                           ? oldSize
                           : (needed > DefaultTagSize ? needed : DefaultTagSize);
  const int64_t body = size - HeaderSize;
  if (body > MaxSyncSafe) return false;
  PutSyncSafe32(&tag[6], static_cast<uint32_t>(body));
  tag.resize(static_cast<size_t>(size), '\0');
  return RewriteHead(FileName, h.FileSize, oldSize, tag);
}
