#include "fileinfo/ID3v2.h"

#include <cstring>
#include <vector>

#include "fileinfo/TagFileIO.h"
#include "platform/rtl/StrUtils.h"

using namespace fileinfo;

namespace {

constexpr int64_t HeaderSize = 10;
constexpr size_t MaxFrameContent = 500;  // longer frames are cut
constexpr int64_t MaxSyncsafe = 0x0FFFFFFF;
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

// Header flags.
constexpr uint8_t hfUnsync = 0x80, hfExtended = 0x40, hfCompressed22 = 0x40, hfFooter = 0x10;
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
  if (b[3] == 0xFF || b[4] == 0xFF || ((b[6] | b[7] | b[8] | b[9]) & 0x80) != 0) return true;
  H.BodySize = (int64_t(b[6]) << 21) | (int64_t(b[7]) << 14) | (int64_t(b[8]) << 7) | b[9];
  const int64_t whole = H.BodySize + HeaderSize + ((H.Version >= 4 && (H.Flags & hfFooter)) ? 10 : 0);
  if (whole <= H.FileSize) H.Size = whole;
  return true;
}

std::string Deunsync(std::string_view S) {
  std::string r;
  r.reserve(S.size());
  for (size_t i = 0; i < S.size(); ++i) {
    r += S[i];
    if (static_cast<unsigned char>(S[i]) == 0xFF && i + 1 < S.size() && S[i + 1] == 0) ++i;
  }
  return r;
}

bool Syncsafe32(const unsigned char* P, int64_t& V) {
  if (((P[0] | P[1] | P[2] | P[3]) & 0x80) != 0) return false;
  V = (int64_t(P[0]) << 21) | (int64_t(P[1]) << 14) | (int64_t(P[2]) << 7) | P[3];
  return true;
}

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
      const auto lo = static_cast<unsigned char>(B[bigEndian ? i + 1 : i]);
      const auto hi = static_cast<unsigned char>(B[bigEndian ? i : i + 1]);
      const char16_t c = static_cast<char16_t>(lo | (hi << 8));
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

// Removes leading genre references such as "(17)" or "(RX)"; "((" starts a
// text that begins with a parenthesis.
std::string StripGenreRefs(std::string T) {
  while (!T.empty() && T[0] == '(') {
    if (T.size() > 1 && T[1] == '(') {
      T.erase(0, 1);
      break;
    }
    const size_t close = T.find(')');
    if (close == std::string::npos) break;
    const std::string ref = T.substr(1, close - 1);
    bool digits = !ref.empty();
    for (char c : ref) digits = digits && c >= '0' && c <= '9';
    if (!digits && ref != "RX" && ref != "CR") break;
    T.erase(0, close + 1);
  }
  return Trim(T);
}


// The frames of one tag, as raw contents per slot (encoding byte first).
struct TFrames {
  std::string Slot[SlotCount];
  bool Has[SlotCount] = {};
  std::string Comment;  // chosen COMM content
  bool CommentHasEmptyDesc = false;
  bool HasComment = false;
};

void StoreFrame(TFrames& Fr, const char* ID, const char* const* IDs, std::string Content) {
  if (Content.empty() || static_cast<unsigned char>(Content[0]) > 3) return;
  if (Content.size() > MaxFrameContent) Content.resize(MaxFrameContent);
  for (int s = 0; s < SlotCount; ++s) {
    if (std::strcmp(ID, IDs[s]) != 0) continue;
    if (s == slComment) {
      // The comment is the first one without a description; failing that, the last one.
      if (Fr.CommentHasEmptyDesc || Content.size() < 4) return;
      std::string_view desc, rest;
      SplitDescription(static_cast<uint8_t>(Content[0]), std::string_view(Content).substr(4), desc, rest);
      Fr.CommentHasEmptyDesc = DecodeText(static_cast<uint8_t>(Content[0]), desc).empty();
      Fr.Comment = std::move(Content);
      Fr.HasComment = true;
    } else {
      Fr.Slot[s] = std::move(Content);
      Fr.Has[s] = true;
    }
    return;
  }
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
  int64_t syncsafe = -1;
  const bool isSyncsafe = Syncsafe32(p + Pos + 4, syncsafe);
  const int64_t plain = GetBE32(p + Pos + 4);
  if (isSyncsafe && lands(syncsafe)) Size = syncsafe;
  else if (lands(plain)) Size = plain;
  else if (isSyncsafe && syncsafe <= avail) Size = syncsafe;
  else return false;
  return true;
}

void ParseFrames(const THeader& H, std::string D, TFrames& Fr) {
  size_t pos = 0;
  if (H.Version == 2) {
    if (H.Flags & hfCompressed22) return;
    if (H.Flags & hfUnsync) D = Deunsync(D);
  } else if (H.Version == 3) {
    if (H.Flags & hfUnsync) D = Deunsync(D);
    if (H.Flags & hfExtended) {
      if (D.size() < 4) return;
      const int64_t ext = GetBE32(D.data());
      if (ext > static_cast<int64_t>(D.size()) - 4) return;
      pos = 4 + static_cast<size_t>(ext);
    }
  } else if (H.Flags & hfExtended) {
    int64_t ext = 0;
    if (D.size() < 4 || !Syncsafe32(reinterpret_cast<const unsigned char*>(D.data()), ext) ||
        ext < 6 || ext > static_cast<int64_t>(D.size()))
      return;
    pos = static_cast<size_t>(ext);
  }
  const auto* p = reinterpret_cast<const unsigned char*>(D.data());
  const size_t end = D.size();
  if (H.Version == 2) {
    while (pos + 6 <= end && IsFrameID(p + pos, 3)) {
      const size_t size = (size_t(p[pos + 3]) << 16) | (size_t(p[pos + 4]) << 8) | p[pos + 5];
      if (size > end - pos - 6) break;
      const char id[4] = {char(p[pos]), char(p[pos + 1]), char(p[pos + 2]), 0};
      StoreFrame(Fr, id, FrameIDs22, D.substr(pos + 6, size));
      pos += 6 + size;
    }
    return;
  }
  while (pos + 10 <= end && IsFrameID(p + pos, 4)) {
    int64_t size = GetBE32(p + pos + 4);
    if (H.Version >= 4) {
      if (!FrameSize24(D, pos, end, size)) break;
    } else if (size > static_cast<int64_t>(end - pos - 10)) {
      break;
    }
    const char id[5] = {char(p[pos]), char(p[pos + 1]), char(p[pos + 2]), char(p[pos + 3]), 0};
    const uint8_t fmt = p[pos + 9];
    std::string content = D.substr(pos + 10, static_cast<size_t>(size));
    pos += 10 + static_cast<size_t>(size);
    bool usable = true;
    if (H.Version == 3) {
      if (fmt & (ff3Compressed | ff3Encrypted)) usable = false;
      else if (fmt & ff3Grouping) {
        usable = !content.empty();
        content.erase(0, 1);
      }
    } else {
      if (fmt & (ff4Compressed | ff4Encrypted)) usable = false;
      size_t extra = ((fmt & ff4Grouping) ? 1 : 0) + ((fmt & ff4DataLength) ? 4 : 0);
      if (content.size() < extra) usable = false;
      else content.erase(0, extra);
      if (usable && ((fmt & ff4Unsync) || (H.Flags & hfUnsync))) content = Deunsync(content);
    }
    if (usable) StoreFrame(Fr, id, FrameIDs, std::move(content));
  }
}

std::string SlotText(const TFrames& Fr, int S) {
  if (!Fr.Has[S]) return std::string();
  return DecodeText(static_cast<uint8_t>(Fr.Slot[S][0]), std::string_view(Fr.Slot[S]).substr(1));
}

// A text frame's content: ISO-8859-1 when the text fits, else UTF-16 with a byte-order mark.
std::string EncodeText(const std::string& Text, bool WithDescription) {
  const std::u16string u = UTF8ToUTF16(Text);
  std::string r;
  if (FitsLatin1(u)) {
    r += '\0';
    if (WithDescription) r += std::string("eng\0", 4);
    r += UTF16ToLatin1(u);
    return r;
  }
  r += '\1';
  if (WithDescription) r += std::string("eng\xFF\xFE\0\0", 7);
  r += "\xFF\xFE";
  for (char16_t c : u) {
    r += static_cast<char>(c & 0xFF);
    r += static_cast<char>(c >> 8);
  }
  return r;
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
  TFrames fr;
  ParseFrames(h, std::move(data), fr);

  FTitle = SlotText(fr, slTitle);
  if (FTitle.empty()) FTitle = SlotText(fr, slContentGroup);
  FArtist = SlotText(fr, slArtist);
  if (FArtist.empty()) FArtist = SlotText(fr, slOrigArtist);
  FAlbum = SlotText(fr, slAlbum);
  if (FAlbum.empty()) FAlbum = SlotText(fr, slOrigAlbum);
  FTrackString = SlotText(fr, slTrack);
  const int64_t track = StrToIntDef(FTrackString.substr(0, FTrackString.find('/')), 0);
  FTrack = (track >= 0 && track <= 0xFFFF) ? static_cast<uint16_t>(track) : 0;
  FYear = SlotText(fr, slYear);
  if (FYear.empty()) FYear = FirstChars(SlotText(fr, slRecordingTime), 4);
  FGenre = StripGenreRefs(SlotText(fr, slGenre));
  if (fr.HasComment) {
    const auto enc = static_cast<uint8_t>(fr.Comment[0]);
    std::string_view desc, rest;
    SplitDescription(enc, std::string_view(fr.Comment).substr(4), desc, rest);
    FComment = DecodeText(enc, rest);
  }
  FComposer = SlotText(fr, slComposer);
  FEncoder = SlotText(fr, slEncoder);
  FCopyright = SlotText(fr, slCopyright);
  FLanguage = SlotText(fr, slLanguage);
  if (fr.Has[slLink]) {
    // The address of a link frame is ISO-8859-1 whatever the description's encoding.
    std::string_view desc, rest;
    SplitDescription(static_cast<uint8_t>(fr.Slot[slLink][0]), std::string_view(fr.Slot[slLink]).substr(1),
                     desc, rest);
    FLink = DecodeText(0, rest);
  }
  FSizeText = SlotText(fr, slSize);
  return true;
}

bool TID3v2::SaveToFile(const std::string& FileName) {
  std::vector<std::pair<const char*, std::string>> frames;
  auto text = [&](int Slot, const std::string& V) {
    if (!V.empty()) frames.emplace_back(FrameIDs[Slot], EncodeText(V, false));
  };
  text(slTitle, FTitle);
  text(slArtist, FArtist);
  text(slAlbum, FAlbum);
  if (FTrack != 0) text(slTrack, IntToStr(FTrack));
  text(slYear, FYear);
  text(slGenre, FGenre);
  if (!FComment.empty()) frames.emplace_back(FrameIDs[slComment], EncodeText(FComment, true));
  text(slComposer, FComposer);
  text(slEncoder, FEncoder);
  text(slCopyright, FCopyright);
  text(slLanguage, FLanguage);
  if (!FLink.empty()) frames.emplace_back(FrameIDs[slLink], std::string(2, '\0') + UTF8ToLatin1(FLink));

  int64_t needed = HeaderSize;
  for (const auto& fr : frames) needed += 10 + static_cast<int64_t>(fr.second.size());

  THeader h;
  {
    TReadFile f(FileName);
    // A file too short for a header simply has no tag; one that cannot be read is left alone.
    if (!f.IsOpen() || !ReadHeader(f, h)) return false;
  }
  // A valid tag of up to 4096 bytes with room enough is overwritten in place;
  // otherwise the file is rebuilt with a 4096-byte tag, or a bigger one when needed.
  const int64_t oldSize = (h.Exists && h.Size > 0) ? h.Size : 0;
  const int64_t size = (oldSize >= needed && oldSize <= DefaultTagSize)
                           ? oldSize
                           : (needed > DefaultTagSize ? needed : DefaultTagSize);
  if (size - HeaderSize > MaxSyncsafe) return false;

  std::string tag("ID3\x03\x00\x00", 6);
  const int64_t body = size - HeaderSize;
  for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>((body >> shift) & 0x7F);
  for (const auto& fr : frames) {
    tag += fr.first;
    PutBE32(tag, static_cast<uint32_t>(fr.second.size()));
    tag += std::string(2, '\0');
    tag += fr.second;
  }
  tag.resize(static_cast<size_t>(size), '\0');
  return RewriteHead(FileName, h.FileSize, oldSize, tag);
}
