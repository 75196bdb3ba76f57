#include "fileinfo/OggVorbis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "fileinfo/ID3v2.h"
#include "fileinfo/TagFileIO.h"
#include "platform/rtl/StrUtils.h"

using namespace fileinfo;

const char* const VorbisModes[4] = {"Unknown", "Mono", "Stereo", "Multichannel"};

namespace {

constexpr int64_t PageHeaderSize = 27;
constexpr int64_t IdentSize = 30;
constexpr size_t MaxCommentRead = 250;  // longer comments are read as their first 250 bytes
constexpr uint8_t ptContinued = 0x01;

// Names in the order the writer stores them.
constexpr int SlotCount = 9;
enum { slTitle, slArtist, slAlbum, slTrack, slDate, slGenre, slComment, slPerformer, slDescription };
const char* const SlotNames[SlotCount] = {"TITLE", "ARTIST",  "ALBUM",     "TRACKNUMBER", "DATE",
                                          "GENRE", "COMMENT", "PERFORMER", "DESCRIPTION"};

constexpr std::array<uint32_t, 256> MakeCRCTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 24;
    for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
    t[i] = r;
  }
  return t;
}
constexpr std::array<uint32_t, 256> CRCTable = MakeCRCTable();

struct TOggPage {
  int64_t Offset = 0;
  std::string Header;    // the 27 fixed bytes
  std::string Segments;  // lacing values
  int64_t DataOffset = 0;
  int64_t DataSize = 0;

  uint8_t Type() const { return static_cast<uint8_t>(Header[5]); }
  uint32_t Serial() const { return GetLE32(Header.data() + 14); }
  int64_t Granule() const {
    uint64_t g = 0;
    for (int i = 7; i >= 0; --i) g = (g << 8) | static_cast<unsigned char>(Header[6 + i]);
    return static_cast<int64_t>(g);
  }
  int64_t End() const { return DataOffset + DataSize; }
  uint8_t Lacing(size_t I) const { return static_cast<uint8_t>(Segments[I]); }
};

// A page header with its segment table; false unless its data lies inside the file.
bool ReadPage(const TReadFile& F, int64_t Offset, TOggPage& P) {
  P = TOggPage();
  P.Offset = Offset;
  if (!F.ReadAt(Offset, PageHeaderSize, P.Header)) return false;
  if (P.Header.compare(0, 4, "OggS") != 0 || P.Header[4] != 0) return false;
  const auto count = static_cast<unsigned char>(P.Header[26]);
  if (!F.ReadAt(Offset + PageHeaderSize, count, P.Segments)) return false;
  P.DataOffset = Offset + PageHeaderSize + count;
  for (size_t i = 0; i < count; ++i) P.DataSize += P.Lacing(i);
  return P.DataSize <= F.Size() - P.DataOffset;
}

bool PageChecksumOK(const TReadFile& F, const TOggPage& P) {
  std::string page;
  if (!F.ReadAt(P.Offset, P.End() - P.Offset, page)) return false;
  const uint32_t stored = GetLE32(page.data() + 22);
  std::memset(page.data() + 22, 0, 4);
  return OggCRC(page.data(), page.size()) == stored;
}

// What a read or write learns from the first two pages.
struct THeaders {
  uint8_t Channels = 0;
  int32_t SampleRate = 0;
  int32_t Nominal = 0;
  uint32_t Serial = 0;
  TOggPage Page2;
  bool HasComments = false;   // page 2 begins the stream's comment packet
  bool PacketOnPage2 = false; // ... and the whole packet ends there
  size_t PacketSegments = 0;  // lacing values of the packet on page 2
  std::string Packet;         // the comment packet, at most MaxCommentPacket bytes
  int64_t CommentEnd = -1;    // packet offset after the last comment; -1 when they overrun it
  std::string RawVendor;      // as stored, for the writer
  std::string Vendor;         // as read
  std::string Values[SlotCount];
};

// Collects the comment packet that starts page 2, over as many pages of the
// stream as it spans, up to the size cap.
void ReadCommentPacket(const TReadFile& F, THeaders& H) {
  TOggPage page = H.Page2;
  if (page.Serial() != H.Serial || (page.Type() & ptContinued) != 0) return;
  bool first = true;
  for (;;) {
    int64_t take = 0;
    bool complete = false;
    for (size_t i = 0; i < page.Segments.size(); ++i) {
      take += page.Lacing(i);
      if (page.Lacing(i) < 255) {
        complete = true;
        if (first) H.PacketSegments = i + 1;
        break;
      }
    }
    const int64_t room = TOggVorbis::MaxCommentPacket - static_cast<int64_t>(H.Packet.size());
    std::string part;
    if (!F.ReadAt(page.DataOffset, take < room ? take : room, part)) return;
    H.Packet += part;
    if (complete) {
      H.PacketOnPage2 = first;
      return;
    }
    if (take >= room) return;
    const int64_t next = page.End();
    if (!ReadPage(F, next, page) || page.Serial() != H.Serial || (page.Type() & ptContinued) == 0) return;
    first = false;
  }
}

void ParseComments(THeaders& H) {
  const std::string& pk = H.Packet;
  const int64_t size = static_cast<int64_t>(pk.size());
  if (size < 7 || pk.compare(0, 7, "\x03vorbis") != 0) return;
  H.HasComments = true;
  int64_t p = 7;
  if (size - p < 4) return;
  const int64_t vendorLen = GetLE32(pk.data() + p);
  p += 4;
  if (vendorLen > size - p) return;
  H.RawVendor = pk.substr(static_cast<size_t>(p), static_cast<size_t>(vendorLen));
  H.Vendor = H.RawVendor;
  p += vendorLen;
  if (size - p < 4) return;
  const uint32_t count = GetLE32(pk.data() + p);
  p += 4;
  for (uint32_t i = 0; i < count; ++i) {
    if (size - p < 4) return;
    const int64_t len = GetLE32(pk.data() + p);
    p += 4;
    if (len > size - p) return;
    std::string text = pk.substr(static_cast<size_t>(p), static_cast<size_t>(std::min<int64_t>(len, MaxCommentRead)));
    p += len;
    DropCutUTF8(text);
    const size_t eq = text.find('=');
    if (eq == std::string::npos) {
      if (H.Vendor.empty()) H.Vendor = text;
      continue;
    }
    const std::string name = UpperCase(std::string_view(text).substr(0, eq));
    for (int k = 0; k < SlotCount; ++k)
      if (name == SlotNames[k]) H.Values[k] = UTF16ToUTF8(UTF8ToUTF16(std::string_view(text).substr(eq + 1)));
  }
  H.CommentEnd = p;
}

bool ReadHeaders(const TReadFile& F, int64_t Offset, THeaders& H) {
  TOggPage p1;
  if (!ReadPage(F, Offset, p1)) return false;
  int64_t identLen = 0;
  for (size_t i = 0; i < p1.Segments.size(); ++i) {
    identLen += p1.Lacing(i);
    if (p1.Lacing(i) < 255) break;
  }
  if (identLen < IdentSize) return false;
  unsigned char b[IdentSize];
  if (!F.ReadAt(p1.DataOffset, b, IdentSize)) return false;
  if (b[0] != 1 || std::memcmp(b + 1, "vorbis", 6) != 0) return false;
  H.Channels = b[11];
  H.SampleRate = static_cast<int32_t>(GetLE32(b + 12));
  H.Nominal = static_cast<int32_t>(GetLE32(b + 20));
  H.Serial = p1.Serial();
  if (ReadPage(F, p1.End(), H.Page2)) {
    ReadCommentPacket(F, H);
    ParseComments(H);
  }
  return true;
}

// Granule position of the stream's last page: the last page header among the
// last 12 KB of the file that carries the stream's serial and a correct checksum.
int64_t LastGranule(const TReadFile& F, int64_t StreamOffset, uint32_t Serial) {
  const int64_t size = F.Size();
  int64_t lo = size - 50 * 241 - 10;
  if (lo < StreamOffset) lo = StreamOffset;
  if (size - lo < PageHeaderSize) return 0;
  std::string tail;
  if (!F.ReadAt(lo, size - lo, tail)) return 0;
  for (int64_t p = size - PageHeaderSize; p >= lo; --p) {
    if (tail.compare(static_cast<size_t>(p - lo), 4, "OggS") != 0) continue;
    TOggPage page;
    if (!ReadPage(F, p, page) || page.Serial() != Serial || page.Granule() < 0) continue;
    if (PageChecksumOK(F, page)) return page.Granule();
  }
  return 0;
}

}  // namespace

uint32_t OggCRC(const void* Data, size_t Size, uint32_t Crc) {
  const auto* b = static_cast<const unsigned char*>(Data);
  for (size_t i = 0; i < Size; ++i) Crc = (Crc << 8) ^ CRCTable[((Crc >> 24) ^ b[i]) & 0xFF];
  return Crc;
}

void TOggVorbis::Clear() {
  FFileSize = 0;
  FChannels = 0;
  FSampleRate = 0;
  FBitRateNominal = 0;
  FSamples = 0;
  FStreamOffset = 0;
  FTitle.clear();
  FArtist.clear();
  FAlbum.clear();
  FTrack = 0;
  FDate.clear();
  FGenre.clear();
  FComment.clear();
  FVendor.clear();
}

bool TOggVorbis::ReadFromFile(const std::string& FileName) {
  Clear();
  TID3v2 id3;
  id3.ReadFromFile(FileName);
  TReadFile f(FileName);
  if (!f.IsOpen()) return false;
  FFileSize = f.Size();
  FStreamOffset = id3.Exists() ? id3.Size() : 0;
  THeaders h;
  if (!ReadHeaders(f, FStreamOffset, h)) return false;
  FChannels = h.Channels;
  FSampleRate = h.SampleRate;
  FBitRateNominal = static_cast<uint16_t>(h.Nominal > 0 ? std::min(h.Nominal / 1000, 0xFFFF) : 0);
  FSamples = LastGranule(f, FStreamOffset, h.Serial);
  FTitle = h.Values[slTitle];
  FArtist = h.Values[slArtist].empty() ? h.Values[slPerformer] : h.Values[slArtist];
  FAlbum = h.Values[slAlbum];
  const std::string& track = h.Values[slTrack];
  const int64_t n = StrToIntDef(track.substr(0, track.find('/')), 0);
  FTrack = (n >= 0 && n <= 255) ? static_cast<uint8_t>(n) : 0;
  FDate = h.Values[slDate];
  FGenre = h.Values[slGenre];
  FComment = h.Values[slComment].empty() ? h.Values[slDescription] : h.Values[slComment];
  FVendor = UTF16ToUTF8(UTF8ToUTF16(h.Vendor));
  return true;
}

bool TOggVorbis::IsValid() const {
  return (FChannels == 1 || FChannels == 2 || FChannels == 6) && FSampleRate >= 1 && Duration() > 0.1 &&
         Bitrate() != 0;
}

double TOggVorbis::Duration() const {
  if (FSamples >= 1 && FSampleRate > 0) return static_cast<double>(FSamples) / FSampleRate;
  // The nominal bitrate covers all channels already.
  if (FBitRateNominal > 0 && FChannels > 0)
    return static_cast<double>(FFileSize - FStreamOffset) / FBitRateNominal / 125.0;
  return 0;
}

int32_t TOggVorbis::Bitrate() const {
  const double d = Duration();
  if (d <= 0) return 0;
  const double r = std::nearbyint(static_cast<double>(FFileSize - FStreamOffset) / d / 125.0);
  return r > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(r);
}

bool TOggVorbis::SaveTag(const std::string& FileName) {
  TID3v2 id3;
  id3.ReadFromFile(FileName);
  TReadFile f(FileName);
  if (!f.IsOpen()) return false;
  const int64_t fileSize = f.Size();
  const int64_t offset = id3.Exists() ? id3.Size() : 0;
  THeaders h;
  if (!ReadHeaders(f, offset, h)) return false;
  // Only a comment packet that begins and ends on page 2 can be replaced
  // without touching, renumbering or re-checksumming any other page.
  if (!h.HasComments || !h.PacketOnPage2 || h.CommentEnd < 0) return false;

  std::string values[SlotCount];
  values[slTitle] = Trim(FTitle);
  values[slArtist] = Trim(FArtist);
  values[slAlbum] = Trim(FAlbum);
  if (FTrack != 0) values[slTrack] = IntToStr(FTrack);
  values[slDate] = Trim(FDate);
  values[slGenre] = Trim(FGenre);
  values[slComment] = Trim(FComment);
  std::string comments;
  uint32_t count = 0;
  for (int k = 0; k < SlotCount; ++k) {
    if (values[k].empty()) continue;
    const std::string c = std::string(SlotNames[k]) + "=" + values[k];
    PutLE32(comments, static_cast<uint32_t>(c.size()));
    comments += c;
    ++count;
  }
  std::string data("\x03vorbis", 7);
  PutLE32(data, static_cast<uint32_t>(h.RawVendor.size()));
  data += h.RawVendor;
  PutLE32(data, count);
  data += comments;
  // The old packet's bytes after its last comment (the framing bit) stay.
  data += h.Packet.substr(static_cast<size_t>(h.CommentEnd));

  const int64_t oldPacket = static_cast<int64_t>(h.Packet.size());
  const int64_t newPacket = static_cast<int64_t>(data.size());
  std::string segments(static_cast<size_t>(newPacket / 255), '\xFF');
  segments += static_cast<char>(newPacket % 255);
  segments += h.Page2.Segments.substr(h.PacketSegments);
  if (segments.size() > 255) return false;

  std::string page = h.Page2.Header;
  page[26] = static_cast<char>(segments.size());
  std::memset(page.data() + 22, 0, 4);
  page += segments;
  page += data;
  std::string rest;
  if (!f.ReadAt(h.Page2.DataOffset + oldPacket, h.Page2.DataSize - oldPacket, rest)) return false;
  page += rest;
  const uint32_t crc = OggCRC(page.data(), page.size());
  for (int i = 0; i < 4; ++i) page[22 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);

  std::string head;
  if (!f.ReadAt(0, h.Page2.Offset, head)) return false;
  head += page;
  return RewriteHead(FileName, fileSize, h.Page2.End(), head);
}
