#include "fileinfo/APETag.h"

#include <algorithm>

#include "fileinfo/TagFileIO.h"
#include "platform/rtl/APEv2Format.h"
#include "platform/rtl/StrUtils.h"

using namespace fileinfo;

namespace {

constexpr int64_t RecordSize = APERecordSize;
constexpr int64_t ID3v1Size = 128;
constexpr int64_t MinItemSize = 10;     // value size, flags, a one-letter name and its zero

struct TAPELocation {
  int64_t FileSize = 0;
  bool FooterRead = false;  // the 32 bytes where a footer would be could be read
  bool HasID3v1 = false;
  std::string ID3v1;        // the block itself
  bool Valid = false;       // a tag whose footer (and header, when flagged) checks out
  uint32_t Version = 0, Size = 0, Count = 0, Flags = 0;
  int64_t TagStart = 0;     // header, or first item when there is none
  int64_t ItemsStart = 0;
  int64_t FooterStart = 0;
};

enum TCheck { ckNone, ckValid, ckReadError };

TCheck ReadRecord(const TReadFile& F, int64_t Offset, TAPERecord& R) {
  unsigned char b[RecordSize];
  if (Offset < 0) return ckNone;
  if (!F.ReadAt(Offset, b, RecordSize)) return ckReadError;
  return ReadAPERecord(b, R) ? ckValid : ckNone;
}

// Checks a footer ending End bytes into the file against the file, and the
// header it announces against the footer.
TCheck CheckTag(const TReadFile& F, int64_t End, TAPELocation& L) {
  TAPERecord r;
  const TCheck c = ReadRecord(F, End - RecordSize, r);
  if (c != ckValid) return c;
  if ((r.Version != 1000 && r.Version != APEVersion2) || (r.Flags & apeIsHeader) != 0) return ckNone;
  if (r.Size < RecordSize || r.Size > End) return ckNone;
  if (r.Count > (r.Size - RecordSize) / MinItemSize) return ckNone;
  const bool hasHeader = r.Version >= APEVersion2 && (r.Flags & apeHasHeader) != 0;
  int64_t start = End - r.Size;
  if (hasHeader) {
    TAPERecord h;
    const TCheck hc = ReadRecord(F, start - RecordSize, h);
    if (hc != ckValid) return hc;
    if (h.Size != r.Size || h.Count != r.Count || (h.Flags & apeIsHeader) == 0) return ckNone;
    start -= RecordSize;
  }
  L.Valid = true;
  L.Version = r.Version;
  L.Size = r.Size;
  L.Count = r.Count;
  L.Flags = r.Flags;
  L.TagStart = start;
  L.ItemsStart = End - r.Size;
  L.FooterStart = End - RecordSize;
  return ckValid;
}

// False only when the file cannot be read. A valid footer that ends the file
// wins over an ID3v1 block: "TAG" 128 bytes before the end may just be part of
// the tag's own items.
bool Locate(const TReadFile& F, TAPELocation& L) {
  L = TAPELocation();
  L.FileSize = F.Size();
  L.FooterRead = L.FileSize >= RecordSize;
  TCheck c = CheckTag(F, L.FileSize, L);
  if (c == ckReadError) return false;
  if (c == ckValid) return true;
  if (L.FileSize >= ID3v1Size) {
    if (!F.ReadAt(L.FileSize - ID3v1Size, ID3v1Size, L.ID3v1)) return false;
    L.HasID3v1 = L.ID3v1.compare(0, 3, "TAG") == 0;
  }
  if (!L.HasID3v1) {
    L.ID3v1.clear();
    return true;
  }
  L.FooterRead = L.FileSize - ID3v1Size >= RecordSize;
  c = CheckTag(F, L.FileSize - ID3v1Size, L);
  return c != ckReadError;
}

bool ValidName(std::string_view N) {
  if (N.empty() || N.size() > APEMaxNameSize) return false;
  for (char c : N)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return false;
  return true;
}

// What Fields can hold: a text item with a name the format allows and a value
// under the size cap. Anything else is kept as it is when a tag is saved.
bool IsText(const TAPEItem& It) {
  return (It.Flags & apeItemKindMask) == 0 && ValidName(It.Name) &&
         static_cast<int64_t>(It.Value.size()) <= MaxValueSize;
}

// Reads the items of a located tag.
bool ReadItems(const TReadFile& F, const TAPELocation& L, std::string& Items) {
  return F.ReadAt(L.ItemsStart, L.FooterStart - L.ItemsStart, Items);
}

}  // namespace

void TAPETag::AppendField(const std::string& Name, const std::string& Value) {
  FFields.push_back({Name, Value});
}

std::string TAPETag::GetField(const std::string& Name) const {
  for (const auto& f : FFields)
    if (SameText(f.Name, Name)) return f.Value;
  return std::string();
}

bool TAPETag::ReadFromFile(const std::string& FileName) {
  FFields.clear();
  FExists = false;
  FVersion = 0;
  FSize = 0;
  TReadFile f(FileName);
  TAPELocation l;
  if (!f.IsOpen() || !Locate(f, l) || !l.FooterRead) return false;
  if (!l.Valid) return true;
  FExists = true;
  FVersion = static_cast<int32_t>(l.Version);
  FSize = static_cast<int32_t>(l.Size);
  std::string items;
  if (!ReadItems(f, l, items)) return false;
  for (const TAPEItem& it : ParseAPEItems(items, l.Count))
    if (IsText(it)) FFields.push_back({Trim(it.Name), Trim(it.Value)});
  return true;
}

bool TAPETag::RemoveFromFile(const std::string& FileName) {
  TAPELocation l;
  {
    TReadFile f(FileName);
    if (!f.IsOpen() || !Locate(f, l)) return false;
  }
  if (!l.Valid) return true;
  return RewriteTail(FileName, l.FileSize, l.TagStart, l.ID3v1);
}

bool TAPETag::SaveToFile(const std::string& FileName) {
  int64_t size = RecordSize;
  size_t valued = 0;
  for (const auto& f : FFields) {
    // A name the format cannot carry would make the whole tag unreadable.
    if (!ValidName(f.Name)) return false;
    // An empty value is no item (players show one as a blank field): saving it
    // removes the item.
    if (f.Value.empty()) continue;
    size += static_cast<int64_t>(f.Name.size() + f.Value.size()) + 9;
    ++valued;
  }
  TAPELocation l;
  std::string items, kept;
  size_t keptCount = 0;
  {
    TReadFile f(FileName);
    if (!f.IsOpen() || !Locate(f, l)) return false;
    // Items that Fields cannot hold (binary, links, unknown kinds) stay, unless
    // Fields names them.
    if (l.Valid) {
      if (!ReadItems(f, l, items)) return false;
      for (const TAPEItem& it : ParseAPEItems(items, l.Count)) {
        if (IsText(it)) continue;
        const std::string name = Trim(it.Name);
        if (std::any_of(FFields.begin(), FFields.end(), [&](const TAPEField& F) { return SameText(F.Name, name); }))
          continue;
        kept += it.Raw;
        ++keptCount;
      }
    }
  }
  size += static_cast<int64_t>(kept.size());
  if (size + RecordSize > UINT32_MAX || valued + keptCount > UINT32_MAX) return false;
  const auto count = static_cast<uint32_t>(valued + keptCount);
  // Nothing left to hold: the file gets no tag rather than an empty one.
  std::string tag;
  if (count > 0) {
    AppendAPERecord(tag, static_cast<uint32_t>(size), count, apeHasHeader | apeIsHeader);
    for (const auto& f : FFields)
      if (!f.Value.empty()) AppendAPEItem(tag, f.Name, f.Value);
    tag += kept;
    AppendAPERecord(tag, static_cast<uint32_t>(size), count, apeHasHeader);
  }

  const int64_t keepEnd = l.Valid ? l.TagStart : l.FileSize - (l.HasID3v1 ? ID3v1Size : 0);
  if (!RewriteTail(FileName, l.FileSize, keepEnd, tag + l.ID3v1)) return false;
  FExists = count > 0;
  FVersion = count > 0 ? static_cast<int32_t>(APEVersion2) : 0;
  FSize = count > 0 ? static_cast<int32_t>(size) : 0;
  return true;
}
