#include "platform/codecs/mac/APETags.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MAC {

using namespace MACDll;

namespace {

constexpr size_t TagFrameBytes = 32;  // an APEv2 header or footer
constexpr uint32_t APEFlagHasHeader = 1u << 31;
constexpr uint32_t APEFlagIsHeader = 1u << 29;
// Item areas larger than this are taken for damage, not tags.
constexpr int64_t MaxTagBytes = 16 << 20;

// The fields of TagFileSimple, in its parameter order.
constexpr const char* FieldKeys[7] = {"Artist", "Album", "Title", "Comment", "Genre", "Year", "Track"};

uint32_t Get32(const uint8_t* P) {
  return uint32_t{P[0]} | (uint32_t{P[1]} << 8) | (uint32_t{P[2]} << 16) | (uint32_t{P[3]} << 24);
}
void Put32(std::vector<uint8_t>& V, uint32_t X) {
  for (int i = 0; i < 4; ++i) V.push_back(static_cast<uint8_t>(X >> (8 * i)));
}

bool SameKey(const std::string& A, const char* B) {
  if (A.size() != std::strlen(B)) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(A[i])) != std::tolower(static_cast<unsigned char>(B[i]))) return false;
  return true;
}

TReadAt HandleReader(int Handle) {
  return [Handle](uint64_t Offset, void* Buffer, size_t Bytes) {
    auto* p = static_cast<uint8_t*>(Buffer);
    while (Bytes > 0) {
      const ssize_t n = pread(Handle, p, Bytes, static_cast<off_t>(Offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      Offset += static_cast<uint64_t>(n);
      Bytes -= static_cast<size_t>(n);
    }
    return true;
  };
}

bool WriteAll(int Handle, const uint8_t* Data, size_t Bytes) {
  while (Bytes > 0) {
    const ssize_t n = write(Handle, Data, Bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    Data += n;
    Bytes -= static_cast<size_t>(n);
  }
  return true;
}

// Text cut to at most Max bytes without splitting a UTF-8 character.
std::string CutUTF8(const std::string& S, size_t Max) {
  if (S.size() <= Max) return S;
  size_t n = Max;
  while (n > 0 && (static_cast<unsigned char>(S[n]) & 0xC0) == 0x80) --n;
  return S.substr(0, n);
}

void PutField(char* Field, size_t Size, const std::string& Text) {
  const std::string t = CutUTF8(Text, Size);
  std::memset(Field, 0, Size);
  std::memcpy(Field, t.data(), t.size());
}

std::string Latin1Field(const uint8_t* P, size_t Size) {
  std::string r;
  for (size_t i = 0; i < Size && P[i]; ++i) {
    if (P[i] < 0x80) {
      r += static_cast<char>(P[i]);
    } else {
      r += static_cast<char>(0xC0 | (P[i] >> 6));
      r += static_cast<char>(0x80 | (P[i] & 0x3F));
    }
  }
  while (!r.empty() && r.back() == ' ') r.pop_back();
  return r;
}

// The file as it would be with the tags from AudioEnd on replaced by Tail, written
// to a new file in the same folder that then takes the old one's place.
int32_t ReplaceTail(const char* FileName, int Handle, int64_t AudioEnd, const std::vector<uint8_t>& Tail) {
  struct stat st;
  if (fstat(Handle, &st) != 0) return ERROR_IO_READ;
  // Through a link, the file it points at is the one replaced.
  char real[PATH_MAX];
  const std::string target = realpath(FileName, real) ? std::string(real) : std::string(FileName);
  std::string temp = target + ".tag-XXXXXX";
  const int out = mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) return ERROR_IO_WRITE;
  bool ok = fchmod(out, st.st_mode & 07777) == 0;
  std::vector<uint8_t> buf(1 << 20);
  for (int64_t done = 0; ok && done < AudioEnd;) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(buf.size()), AudioEnd - done));
    ok = HandleReader(Handle)(static_cast<uint64_t>(done), buf.data(), n) && WriteAll(out, buf.data(), n);
    done += static_cast<int64_t>(n);
  }
  ok = ok && WriteAll(out, Tail.data(), Tail.size()) && fsync(out) == 0;
  ok = close(out) == 0 && ok;
  if (!ok || rename(temp.c_str(), target.c_str()) != 0) {
    unlink(temp.c_str());
    return ERROR_IO_WRITE;
  }
  return ERROR_SUCCESS;
}

}  // namespace

TTagLayout LocateTags(const TReadAt& ReadAt, uint64_t FileSize) {
  TTagLayout t;
  const int64_t size = static_cast<int64_t>(FileSize);
  t.AudioEnd = size;
  int64_t end = size;
  uint8_t id3[3];
  if (size >= 128 && ReadAt(static_cast<uint64_t>(size - 128), id3, 3) && std::memcmp(id3, "TAG", 3) == 0) {
    t.HasID3v1 = true;
    end = size - 128;
    t.AudioEnd = end;
  }
  uint8_t f[TagFrameBytes];
  if (end < static_cast<int64_t>(TagFrameBytes) ||
      !ReadAt(static_cast<uint64_t>(end - static_cast<int64_t>(TagFrameBytes)), f, sizeof f) ||
      std::memcmp(f, "APETAGEX", 8) != 0)
    return t;
  const uint32_t version = Get32(f + 8);
  const int64_t tagBytes = Get32(f + 12);  // items and footer
  const uint32_t count = Get32(f + 16);
  const uint32_t flags = Get32(f + 20);
  if ((version != 1000 && version != 2000) || (flags & APEFlagIsHeader)) return t;
  if (tagBytes < static_cast<int64_t>(TagFrameBytes) || tagBytes - static_cast<int64_t>(TagFrameBytes) > MaxTagBytes)
    return t;
  const int64_t header = (version == 2000 && (flags & APEFlagHasHeader)) ? static_cast<int64_t>(TagFrameBytes) : 0;
  const int64_t start = end - tagBytes - header;
  if (start < 0) return t;
  t.HasAPETag = true;
  t.APETagStart = start;
  t.APEItemsStart = end - tagBytes;
  t.APEItemsBytes = tagBytes - static_cast<int64_t>(TagFrameBytes);
  t.APEItemCount = count;
  t.AudioEnd = start;
  return t;
}

bool ParseAPEItems(const uint8_t* Data, size_t Size, uint32_t Count, std::vector<TAPETagItem>& Items) {
  Items.clear();
  size_t pos = 0;
  for (uint32_t i = 0; i < Count; ++i) {
    if (Size - pos < 9) {
      Items.clear();
      return false;
    }
    const uint32_t valueBytes = Get32(Data + pos);
    const uint32_t flags = Get32(Data + pos + 4);
    pos += 8;
    const auto* keyEnd = static_cast<const uint8_t*>(std::memchr(Data + pos, 0, Size - pos));
    if (!keyEnd || valueBytes > Size - static_cast<size_t>(keyEnd + 1 - Data)) {
      Items.clear();
      return false;
    }
    TAPETagItem item;
    item.Key.assign(reinterpret_cast<const char*>(Data + pos), static_cast<size_t>(keyEnd - (Data + pos)));
    item.Flags = flags;
    pos = static_cast<size_t>(keyEnd + 1 - Data);
    item.Value.assign(reinterpret_cast<const char*>(Data + pos), valueBytes);
    pos += valueBytes;
    const bool keyOk = item.Key.size() >= 2 && item.Key.size() <= 255 &&
                       std::all_of(item.Key.begin(), item.Key.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
    if (!keyOk) {
      Items.clear();
      return false;
    }
    Items.push_back(std::move(item));
  }
  return true;
}

std::vector<uint8_t> BuildAPETag(const std::vector<TAPETagItem>& Items) {
  std::vector<uint8_t> items;
  for (const TAPETagItem& it : Items) {
    Put32(items, static_cast<uint32_t>(it.Value.size()));
    Put32(items, it.Flags);
    items.insert(items.end(), it.Key.begin(), it.Key.end());
    items.push_back(0);
    items.insert(items.end(), it.Value.begin(), it.Value.end());
  }
  if (Items.empty()) return {};
  auto frame = [&](bool IsHeader) {
    std::vector<uint8_t> f = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
    Put32(f, 2000);
    Put32(f, static_cast<uint32_t>(items.size() + TagFrameBytes));
    Put32(f, static_cast<uint32_t>(Items.size()));
    Put32(f, APEFlagHasHeader | (IsHeader ? APEFlagIsHeader : 0));
    f.resize(TagFrameBytes, 0);
    return f;
  };
  std::vector<uint8_t> tag = frame(true);
  tag.insert(tag.end(), items.begin(), items.end());
  const std::vector<uint8_t> footer = frame(false);
  tag.insert(tag.end(), footer.begin(), footer.end());
  return tag;
}

namespace {

// Rewrites the tags of FileName: the APEv2 items become Items (none: no tag), the
// ID3v1 block is kept or dropped.
int32_t WriteTags(const char* FileName, int Handle, const TTagLayout& Layout, int64_t FileSize,
                  const std::vector<TAPETagItem>& Items, bool KeepID3v1) {
  std::vector<uint8_t> tail = BuildAPETag(Items);
  if (KeepID3v1 && Layout.HasID3v1) {
    uint8_t id3[128];
    if (!HandleReader(Handle)(static_cast<uint64_t>(FileSize - 128), id3, sizeof id3)) return ERROR_IO_READ;
    tail.insert(tail.end(), id3, id3 + 128);
  }
  const bool hadTags = Layout.AudioEnd < FileSize;
  if (!hadTags) {
    // Only an addition: on failure the file goes back to what it was.
    if (tail.empty()) return ERROR_SUCCESS;
    if (lseek(Handle, 0, SEEK_END) < 0) return ERROR_IO_WRITE;
    if (!WriteAll(Handle, tail.data(), tail.size()) || fsync(Handle) != 0) {
      if (ftruncate(Handle, static_cast<off_t>(FileSize)) != 0) return ERROR_IO_WRITE;
      return ERROR_IO_WRITE;
    }
    return ERROR_SUCCESS;
  }
  return ReplaceTail(FileName, Handle, Layout.AudioEnd, tail);
}

// An open file and its tags; Handle < 0 when it cannot be opened.
struct TTaggedFile {
  int Handle = -1;
  int64_t Size = 0;
  TTagLayout Layout;
  ~TTaggedFile() {
    if (Handle >= 0) close(Handle);
  }
  int32_t Open(const char* FileName, int Flags) {
    if (!FileName || !*FileName) return ERROR_INVALID_FUNCTION_PARAMETER;
    Handle = open(FileName, Flags | O_CLOEXEC);
    if (Handle < 0) return ERROR_INVALID_INPUT_FILE;
    struct stat st;
    if (fstat(Handle, &st) != 0 || !S_ISREG(st.st_mode)) return ERROR_INVALID_INPUT_FILE;
    Size = st.st_size;
    Layout = LocateTags(HandleReader(Handle), static_cast<uint64_t>(Size));
    return ERROR_SUCCESS;
  }
  // The items of the APEv2 tag; none when it has none or a damaged one.
  std::vector<TAPETagItem> Items() const {
    std::vector<TAPETagItem> items;
    if (!Layout.HasAPETag) return items;
    std::vector<uint8_t> area(static_cast<size_t>(Layout.APEItemsBytes));
    if (HandleReader(Handle)(static_cast<uint64_t>(Layout.APEItemsStart), area.data(), area.size()))
      ParseAPEItems(area.data(), area.size(), Layout.APEItemCount, items);
    return items;
  }
};

}  // namespace

int32_t TagFileSimple(const char* FileName, const char* const (&Fields)[7], bool ClearFirst) {
  TTaggedFile f;
  int32_t r = f.Open(FileName, O_RDWR);
  if (r != ERROR_SUCCESS) return r;
  std::vector<TAPETagItem> items;
  if (!ClearFirst) items = f.Items();
  for (size_t i = 0; i < 7; ++i) {
    if (!Fields[i]) continue;  // not given: the item stays as it is
    const char* key = FieldKeys[i];
    items.erase(std::remove_if(items.begin(), items.end(), [&](const TAPETagItem& it) { return SameKey(it.Key, key); }),
                items.end());
    if (*Fields[i]) items.push_back({key, 0, Fields[i]});
  }
  return WriteTags(FileName, f.Handle, f.Layout, f.Size, items, !ClearFirst);
}

int32_t RemoveTags(const char* FileName) {
  TTaggedFile f;
  const int32_t r = f.Open(FileName, O_RDWR);
  if (r != ERROR_SUCCESS) return r;
  if (f.Layout.AudioEnd == f.Size) return ERROR_SUCCESS;
  // Dropping the tags is what was asked: cutting the file loses nothing else.
  if (ftruncate(f.Handle, static_cast<off_t>(f.Layout.AudioEnd)) != 0) return ERROR_IO_WRITE;
  return ERROR_SUCCESS;
}

int32_t GetID3Tag(const char* FileName, ID3_TAG& Tag) {
  TTaggedFile f;
  const int32_t r = f.Open(FileName, O_RDONLY);
  if (r != ERROR_SUCCESS) return r;
  std::memset(&Tag, 0, sizeof Tag);
  std::memcpy(Tag.Header, "TAG", 3);
  Tag.Genre = 255;
  if (f.Layout.HasAPETag) {
    std::string title, artist, album, year, comment, track;
    for (const TAPETagItem& it : f.Items()) {
      if ((it.Flags & 6) != 0) continue;  // binary items and links
      if (SameKey(it.Key, "Title")) title = it.Value;
      else if (SameKey(it.Key, "Artist")) artist = it.Value;
      else if (SameKey(it.Key, "Album")) album = it.Value;
      else if (SameKey(it.Key, "Year")) year = it.Value;
      else if (SameKey(it.Key, "Comment")) comment = it.Value;
      else if (SameKey(it.Key, "Track")) track = it.Value;
    }
    PutField(Tag.Title, sizeof Tag.Title, title);
    PutField(Tag.Artist, sizeof Tag.Artist, artist);
    PutField(Tag.Album, sizeof Tag.Album, album);
    PutField(Tag.Year, sizeof Tag.Year, year);
    // "7" or "7/12": the number before any slash.
    const long t = std::strtol(track.c_str(), nullptr, 10);
    if (t > 0 && t < 256) {
      Tag.Track = static_cast<uint8_t>(t);
      PutField(Tag.Comment, 28, comment);
    } else {
      PutField(Tag.Comment, sizeof Tag.Comment, comment);
    }
    return ERROR_SUCCESS;
  }
  if (f.Layout.HasID3v1) {
    uint8_t b[128];
    if (!HandleReader(f.Handle)(static_cast<uint64_t>(f.Size - 128), b, sizeof b)) return ERROR_IO_READ;
    PutField(Tag.Title, sizeof Tag.Title, Latin1Field(b + 3, 30));
    PutField(Tag.Artist, sizeof Tag.Artist, Latin1Field(b + 33, 30));
    PutField(Tag.Album, sizeof Tag.Album, Latin1Field(b + 63, 30));
    PutField(Tag.Year, sizeof Tag.Year, Latin1Field(b + 93, 4));
    if (b[125] == 0 && b[126] != 0) {
      Tag.Track = b[126];
      PutField(Tag.Comment, 28, Latin1Field(b + 97, 28));
    } else {
      PutField(Tag.Comment, sizeof Tag.Comment, Latin1Field(b + 97, 30));
    }
    Tag.Genre = b[127];
    return ERROR_SUCCESS;
  }
  return ERROR_UNDEFINED;
}

}  // namespace MAC
