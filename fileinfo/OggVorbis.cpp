#include "fileinfo/OggVorbis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "fileinfo/ID3v2.h"
#include "fileinfo/TagFileIO.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"
#include "platform/rtl/VorbisComments.h"

using namespace fileinfo;

const char* const VorbisModes[4] = {"Unknown", "Mono", "Stereo", "Multichannel"};

namespace {

constexpr int64_t PageHeaderSize = 27;
constexpr int64_t IdentSize = 30;
constexpr uint8_t ptContinued = 0x01, ptBeginOfStream = 0x02, ptEndOfStream = 0x04;

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
  int64_t Granule() const { return static_cast<int64_t>(GetLE64(Header.data() + 6)); }
  int64_t End() const { return DataOffset + DataSize; }
  uint8_t Lacing(size_t I) const { return static_cast<uint8_t>(Segments[I]); }
};

enum TPageRead { prPage, prNoPage, prReadError };

// A page header with its segment table, when its data lies inside the file.
TPageRead ReadPageChecked(const TReadFile& F, int64_t Offset, TOggPage& P) {
  P = TOggPage();
  P.Offset = Offset;
  if (Offset < 0 || F.Size() - Offset < PageHeaderSize) return prNoPage;
  if (!F.ReadAt(Offset, PageHeaderSize, P.Header)) return prReadError;
  if (P.Header.compare(0, 4, "OggS") != 0 || P.Header[4] != 0) return prNoPage;
  const auto count = static_cast<unsigned char>(P.Header[26]);
  if (F.Size() - Offset - PageHeaderSize < count) return prNoPage;
  if (!F.ReadAt(Offset + PageHeaderSize, count, P.Segments)) return prReadError;
  P.DataOffset = Offset + PageHeaderSize + count;
  for (size_t i = 0; i < count; ++i) P.DataSize += P.Lacing(i);
  return P.DataSize <= F.Size() - P.DataOffset ? prPage : prNoPage;
}

bool ReadPage(const TReadFile& F, int64_t Offset, TOggPage& P) { return ReadPageChecked(F, Offset, P) == prPage; }

bool PageChecksumOK(const TReadFile& F, const TOggPage& P) {
  std::string page;
  if (!F.ReadAt(P.Offset, P.End() - P.Offset, page)) return false;
  const uint32_t stored = GetLE32(page.data() + 22);
  std::memset(page.data() + 22, 0, 4);
  return OggCRC(page.data(), page.size()) == stored;
}

// What a read or write learns from the header pages.
struct THeaders {
  uint8_t Channels = 0;
  int32_t SampleRate = 0;
  int32_t Nominal = 0;
  uint32_t Serial = 0;
  std::vector<TOggPage> Pages;  // from page 2 on, those holding the comment and setup packets
  std::string Packet;           // the comment packet, at most MaxCommentPacket bytes
  std::string Setup;            // the setup packet, as far as it was read
  bool Framed = false;          // both packets whole, and the setup packet ends its page
  bool HasComments = false;     // page 2 begins the stream's comment packet
  TVorbisComments Comments;     // of the comment packet
  std::string Vendor;           // as read
  std::string Values[SlotCount];
};

// Collects the comment and setup packets from page 2 on, over as many pages of
// the stream as they span, each up to the size cap.
void ReadHeaderPackets(const TReadFile& F, int64_t Offset, THeaders& H) {
  TOggPage page;
  if (!ReadPage(F, Offset, page)) return;
  int packet = 0;  // 0: comment, 1: setup, 2: both whole
  bool inPacket = false;
  for (;;) {
    // A page of another stream, or one that does not go on where the last left off, ends the headers.
    if (page.Serial() != H.Serial || ((page.Type() & ptContinued) != 0) != inPacket) return;
    std::string data;
    if (!F.ReadAt(page.DataOffset, page.DataSize, data)) return;
    H.Pages.push_back(page);
    size_t at = 0;
    for (size_t i = 0; i < page.Segments.size(); ++i) {
      const uint8_t lace = page.Lacing(i);
      std::string& target = packet == 0 ? H.Packet : H.Setup;
      if (static_cast<int64_t>(target.size()) + lace > TOggVorbis::MaxCommentPacket) {
        target.append(data, at, static_cast<size_t>(TOggVorbis::MaxCommentPacket) - target.size());
        return;
      }
      target.append(data, at, lace);
      at += lace;
      inPacket = lace == 255;
      if (!inPacket && ++packet == 2) {
        // The first audio packet must begin on a page of its own.
        H.Framed = i + 1 == page.Segments.size();
        return;
      }
    }
    if (!ReadPage(F, page.End(), page)) return;
  }
}

void ParseComments(THeaders& H) {
  if (H.Packet.size() < 7 || H.Packet.compare(0, 7, "\x03vorbis") != 0) return;
  H.HasComments = true;
  H.Comments = ParseVorbisComments(H.Packet, 7);
  H.Vendor = H.Comments.Vendor;
  for (const std::string& item : H.Comments.Items) {
    const std::string name = VorbisCommentName(item);
    if (item.find('=') == std::string::npos) {
      if (H.Vendor.empty()) H.Vendor = item;
      continue;
    }
    for (int k = 0; k < SlotCount; ++k)
      if (name == SlotNames[k]) H.Values[k] = UTF16ToUTF8(UTF8ToUTF16(VorbisCommentValue(item)));
  }
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
  ReadHeaderPackets(F, p1.End(), H);
  ParseComments(H);
  return true;
}

// The header packets laid out in pages of up to 255 segments each, in the
// stream's serial and numbered from the first old header page on.
std::vector<std::string> HeaderPages(const THeaders& H, const std::string& Comment) {
  std::string lacing, body;
  for (const std::string* p : {&Comment, &H.Setup}) {
    lacing.append(p->size() / 255, '\xFF');
    lacing += static_cast<char>(p->size() % 255);
    body += *p;
  }
  const std::string& first = H.Pages.front().Header;
  const uint32_t sequence = GetLE32(first.data() + 18);
  const uint8_t lastFlags = H.Pages.back().Type() & ptEndOfStream;
  std::vector<std::string> pages;
  size_t at = 0;
  for (size_t seg = 0; seg < lacing.size(); seg += 255) {
    const std::string segments = lacing.substr(seg, 255);
    size_t size = 0;
    bool ends = false;
    for (const char c : segments) {
      size += static_cast<unsigned char>(c);
      ends = ends || static_cast<unsigned char>(c) < 255;
    }
    std::string page = first;
    const bool continued = seg > 0 && static_cast<unsigned char>(lacing[seg - 1]) == 255;
    const bool last = seg + 255 >= lacing.size();
    page[5] = static_cast<char>((continued ? ptContinued : 0) | (last ? lastFlags : 0));
    // Header packets have granule position 0; a page where none ends has none.
    PutLE64(&page[6], ends ? 0 : ~uint64_t(0));
    PutLE32(&page[18], static_cast<uint32_t>(sequence + pages.size()));
    PutLE32(&page[22], 0);
    page[26] = static_cast<char>(segments.size());
    page += segments;
    page.append(body, at, size);
    at += size;
    PutLE32(&page[22], OggCRC(page.data(), page.size()));
    pages.push_back(std::move(page));
  }
  return pages;
}

// Copies the pages from Offset on, renumbering those of the stream Serial by
// Delta until that stream ends or starts again. A renumbered page keeps the
// agreement of its checksum with its bytes: a damaged page stays damaged. From
// the first bytes that are no page on, the rest is copied as it is.
bool CopyRenumbered(const TReadFile& F, int Fd, int64_t Offset, uint32_t Serial, int64_t Delta) {
  bool renumber = true;
  while (Offset < F.Size()) {
    TOggPage p;
    const TPageRead r = ReadPageChecked(F, Offset, p);
    if (r == prReadError) return false;
    if (r == prNoPage) return CopyRange(F, Fd, Offset, F.Size() - Offset);
    std::string page;
    if (!F.ReadAt(Offset, p.End() - Offset, page)) return false;
    if (renumber && p.Serial() == Serial && (p.Type() & ptBeginOfStream) != 0) renumber = false;
    if (renumber && p.Serial() == Serial) {
      const uint32_t stored = GetLE32(page.data() + 22);
      PutLE32(&page[22], 0);
      const uint32_t before = OggCRC(page.data(), page.size());
      PutLE32(&page[18], static_cast<uint32_t>(GetLE32(page.data() + 18) + static_cast<uint64_t>(Delta)));
      PutLE32(&page[22], stored ^ before ^ OggCRC(page.data(), page.size()));
      if (p.Type() & ptEndOfStream) renumber = false;
    }
    if (!WriteAll(Fd, page.data(), page.size())) return false;
    Offset = p.End();
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

void TOggVorbis::TakeValues(const std::string* Values) {
  FTitle = Values[slTitle];
  FArtist = Values[slArtist].empty() ? Values[slPerformer] : Values[slArtist];
  FAlbum = Values[slAlbum];
  const std::string& track = Values[slTrack];
  const int64_t n = StrToIntDef(track.substr(0, track.find('/')), 0);
  FTrack = (n >= 0 && n <= 255) ? static_cast<uint8_t>(n) : 0;
  FDate = Values[slDate];
  FGenre = Values[slGenre];
  FComment = Values[slComment].empty() ? Values[slDescription] : Values[slComment];
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
  TakeValues(h.Values);
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
  // Only whole header packets on pages of their own can be laid out anew.
  if (!h.HasComments || !h.Framed || h.Comments.End < 0 || h.Setup.compare(0, 7, "\x05vorbis") != 0) return false;

  // A field whose value differs from what the file says replaces the comments
  // of its name; every other comment stays where it is. New ones go last.
  TOggVorbis was;
  was.TakeValues(h.Values);
  const std::string* now[SlotCount] = {&FTitle, &FArtist, &FAlbum, nullptr, &FDate, &FGenre, &FComment, nullptr, nullptr};
  const std::string* old[SlotCount] = {&was.FTitle, &was.FArtist, &was.FAlbum, nullptr, &was.FDate,
                                       &was.FGenre, &was.FComment, nullptr, nullptr};
  bool changed[SlotCount] = {}, placed[SlotCount] = {};
  std::string values[SlotCount];
  for (int k = 0; k < SlotCount; ++k) {
    if (k == slTrack) {
      changed[k] = FTrack != was.FTrack;
      if (FTrack != 0) values[k] = IntToStr(FTrack);
    } else if (now[k]) {
      changed[k] = *now[k] != *old[k];
      values[k] = Trim(*now[k]);
    }
  }
  std::string comments;
  uint32_t count = 0;
  auto put = [&](int K) {
    placed[K] = true;
    if (values[K].empty()) return;
    AppendVorbisComment(comments, std::string(SlotNames[K]) + "=" + values[K]);
    ++count;
  };
  for (const std::string& item : h.Comments.Items) {
    const std::string name = VorbisCommentName(item);
    const int k = static_cast<int>(std::find(SlotNames, SlotNames + SlotCount, name) - SlotNames);
    if (k < SlotCount && changed[k]) {
      if (!placed[k]) put(k);
      continue;
    }
    AppendVorbisComment(comments, item);
    ++count;
  }
  for (int k = 0; k < SlotCount; ++k)
    if (changed[k] && !placed[k]) put(k);
  // The old packet's bytes after its last comment (the framing bit) stay.
  const std::string packet = std::string("\x03vorbis", 7) + BuildVorbisComments(h.Comments.Vendor, count, comments) +
                             h.Packet.substr(static_cast<size_t>(h.Comments.End));
  if (static_cast<int64_t>(packet.size()) > MaxCommentPacket) return false;

  std::string head;
  if (!f.ReadAt(0, h.Pages.front().Offset, head)) return false;
  const std::vector<std::string> pages = HeaderPages(h, packet);
  for (const std::string& p : pages) head += p;
  const int64_t rest = h.Pages.back().End();
  const int64_t delta = static_cast<int64_t>(pages.size()) - static_cast<int64_t>(h.Pages.size());
  // With as many header pages as before, every later page stays byte for byte.
  if (delta == 0) return RewriteHead(FileName, fileSize, rest, head);
  return RewriteWhole(FileName, fileSize, [&](const TReadFile& Old, int Fd) {
    return WriteAll(Fd, head.data(), head.size()) && CopyRenumbered(Old, Fd, rest, h.Serial, delta);
  });
}
