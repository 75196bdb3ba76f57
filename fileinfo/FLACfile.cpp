#include "fileinfo/FLACfile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "fileinfo/TagFileIO.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/StrUtils.h"
#include "platform/rtl/VorbisComments.h"

using namespace fileinfo;

const char* const FLACFieldNames[FLACFieldCount] = {
    "TRACKNUMBER", "TITLE",    "ARTIST",   "ALBUM",    "DATE",      "GENRE",        "COMMENT",
    "TONES",       "STYLES",   "MOOD",     "SITUATION", "RATING",   "QUALITY",      "TEMPO",
    "TYPE",        "COMPOSER", "LANGUAGE", "COPYRIGHT", "URL",      "ENCODER",      "LYRICS",
    "PERFORMER",   "LICENSE",  "ORGANIZATION", "DESCRIPTION", "LOCATION", "CONTACT", "ISRC"};

namespace {

constexpr int64_t HeaderSize = 42;  // "fLaC", block header, STREAMINFO
constexpr int64_t StreamInfoSize = 34;
constexpr int64_t MaxBlockSize = 0xFFFFFF;
constexpr int64_t NewPaddingSize = 4096;
constexpr uint8_t LastBlock = 0x80;
enum : uint8_t { btStreamInfo = 0, btPadding = 1, btVorbisComment = 4, btInvalid = 127 };

const char* const DefaultVendor = "reference libFLAC 1.1.0 20030126";

// The order in which the writer stores the fields; the rarer ones follow unless
// only the basic set is written.
const TFLACField BasicOrder[] = {ffTrackNumber, ffArtist, ffAlbum,    ffTitle,   ffDate,
                                 ffGenre,       ffComment, ffComposer, ffLanguage, ffCopyright,
                                 ffURL,         ffEncoder, ffTones,    ffStyles,  ffMood,
                                 ffSituation,   ffRating,  ffQuality,  ffTempo,   ffType};
const TFLACField FullOrder[] = {ffPerformer, ffLicense, ffOrganization, ffDescription,
                                ffLocation,  ffContact, ffISRC,         ffLyrics};

std::string BlockHeader(uint8_t Type, bool Last, int64_t Size) {
  std::string h(1, static_cast<char>(Type | (Last ? LastBlock : 0)));
  AppendBE24(h, static_cast<uint32_t>(Size));
  return h;
}

// Malformed UTF-8 in a file becomes U+FFFD rather than travelling on.
std::string CleanUTF8(std::string_view S) { return UTF16ToUTF8(UTF8ToUTF16(S)); }

// A name that a comment may carry: printable ASCII without '='.
bool ValidName(const std::string& Name) {
  if (Name.empty()) return false;
  for (const char c : Name)
    if (c < 0x20 || c > 0x7D || c == '=') return false;
  return true;
}

bool AppendRange(const TReadFile& F, int64_t Offset, int64_t Count, std::string& Out) {
  std::string part;
  if (!F.ReadAt(Offset, Count, part)) return false;
  Out += part;
  return true;
}

}  // namespace

void TFLACfile::ClearHeader() {
  FHeader.clear();
  FFileName.clear();
  FPaddingIndex = 0;
  FPaddingLast = false;
  FMultiplePadding = false;
  FCommentIndex = 0;
  FPaddingSize = 0;
  FCommentOffset = 0;
  FAudioOffset = 0;
  FChannels = 0;
  FSampleRate = 0;
  FBitsPerSample = 0;
  FBitrate = 0;
  FFileSize = 0;
  FSamples = 0;
  FOtherBlocks.clear();
  FVendor.clear();
  FCommentSize = 0;
  FStreamStart = 0;
  FExtraComment = false;
  FFileComments.clear();
}

bool TFLACfile::IsValid() const {
  return FHeader.size() == HeaderSize && FHeader.compare(0, 4, "fLaC") == 0 && FChannels > 0 &&
         FSampleRate > 0 && FBitsPerSample > 0 && FSamples > 0;
}

double TFLACfile::Duration() const {
  if (!IsValid()) return 0;
  return static_cast<double>(FSamples) / FSampleRate;
}

void TFLACfile::ParseComments(const std::string& Data, bool TakeComments) {
  TVorbisComments c = ParseVorbisComments(Data, 0);
  FVendor = CleanUTF8(c.Vendor);
  FFileComments = std::move(c.Items);
  if (!TakeComments) return;
  for (const std::string& item : FFileComments) {
    if (item.find('=') == std::string::npos) continue;
    const std::string name = VorbisCommentName(item);
    std::string value = CleanUTF8(VorbisCommentValue(item));
    bool taken = false;
    for (int k = 0; k < FLACFieldCount; ++k) {
      if (name == FLACFieldNames[k]) {
        if (FText[k].empty()) {
          FText[k] = std::move(value);
          taken = true;
        }
        break;
      }
    }
    if (!taken) FExtraFields.push_back({name, std::move(value)});
  }
}

bool TFLACfile::ReadMetadata(const std::string& FileName, bool TakeComments) {
  ClearHeader();
  FID3v2.ReadFromFile(FileName);
  TReadFile f(FileName);
  if (!f.IsOpen()) return false;
  FFileSize = f.Size();
  FFileName = FileName;
  // Every offset counts from the real "fLaC" mark, after an ID3v2 tag.
  FStreamStart = FID3v2.Exists() ? FID3v2.Size() : 0;
  if (!f.ReadAt(FStreamStart, HeaderSize, FHeader)) {
    FHeader.clear();
    return false;
  }
  const auto* h = reinterpret_cast<const unsigned char*>(FHeader.data());
  if (std::memcmp(h, "fLaC", 4) != 0) return false;
  // The first block must be a STREAMINFO of its fixed size.
  if ((h[4] & 0x7F) != btStreamInfo || GetBE24(h + 5) != StreamInfoSize) return false;
  const unsigned char* si = h + 8;
  FSampleRate = (int32_t(si[10]) << 12) | (int32_t(si[11]) << 4) | (si[12] >> 4);
  FChannels = static_cast<uint8_t>(((si[12] >> 1) & 7) + 1);
  FBitsPerSample = static_cast<uint8_t>((((si[12] & 1) << 4) | (si[13] >> 4)) + 1);
  FSamples = (int64_t(si[13] & 0x0F) << 32) | GetBE32(si + 14);

  int64_t pos = FStreamStart + HeaderSize;
  bool last = (h[4] & LastBlock) != 0;
  for (int32_t number = 1; !last; ++number) {
    unsigned char bh[4];
    // Metadata that runs past the end of the file leaves no audio: not valid.
    if (!f.ReadAt(pos, bh, 4)) {
      FSamples = 0;
      return false;
    }
    const uint8_t type = bh[0] & 0x7F;
    last = (bh[0] & LastBlock) != 0;
    const int64_t size = GetBE24(bh + 1);
    const int64_t data = pos + 4;
    if (type == btInvalid || size > FFileSize - data) {
      FSamples = 0;
      return false;
    }
    if (type == btVorbisComment && FCommentIndex == 0) {
      FCommentOffset = data;
      FCommentSize = static_cast<int32_t>(size);
      FCommentIndex = number;
      std::string block;
      if (!f.ReadAt(data, size, block)) return false;
      ParseComments(block, TakeComments);
    } else if (type == btPadding && FPaddingIndex == 0) {
      FPaddingSize = static_cast<int32_t>(size);
      FPaddingLast = last;
      FPaddingIndex = number;
    } else {
      if (type == btPadding) FMultiplePadding = true;
      if (type == btVorbisComment) FExtraComment = true;
      FOtherBlocks.push_back({type, data, size});
    }
    pos = data + size;
  }
  if (!IsValid()) return false;
  FAudioOffset = pos;
  FBitrate = static_cast<int32_t>(std::nearbyint(
      static_cast<double>(FFileSize - FAudioOffset) / 1000.0 * 8.0 / Duration()));
  return true;
}

bool TFLACfile::ReadFromFile(const std::string& FileName) {
  for (auto& t : FText) t.clear();
  for (bool& set : FSet) set = true;
  FExtraFields.clear();
  FExtrasFrom = FileName;
  return ReadMetadata(FileName, true);
}

bool TFLACfile::SaveToFile(const std::string& FileName, bool BasicOnly) {
  if (!ReadMetadata(FileName, false)) return false;

  std::string comments;
  uint32_t count = 0;
  auto add = [&](const std::string& Name, const std::string& Value) {
    if (Value.empty() || !ValidName(Name)) return;
    AppendVorbisComment(comments, Name + "=" + Value);
    ++count;
  };
  std::vector<std::string> managed;
  auto field = [&](const TFLACField K) {
    if (!FSet[K]) return;
    managed.emplace_back(FLACFieldNames[K]);
    add(FLACFieldNames[K], FText[K]);
  };
  for (const TFLACField k : BasicOrder) field(k);
  if (!BasicOnly) {
    for (const TFLACField k : FullOrder) field(k);
    for (const auto& e : FExtraFields) add(e.Name, e.Value);
  }
  // The file's comments that no field of this save stands for stay, after the
  // written ones. Extra fields read from this very file stand for all its other
  // comments; otherwise they are added to them.
  const bool extrasFromFile = FExtrasFrom == FileName;
  std::vector<bool> extraUsed(FExtraFields.size(), false);
  std::vector<std::string> replaced;
  for (const std::string& item : FFileComments) {
    const std::string name = VorbisCommentName(item);
    if (std::find(managed.begin(), managed.end(), name) != managed.end()) {
      // Without the extra fields, only the first comment of a name is the field's.
      if (!BasicOnly || std::find(replaced.begin(), replaced.end(), name) == replaced.end()) {
        replaced.push_back(name);
        continue;
      }
    } else if (!BasicOnly) {
      if (extrasFromFile) continue;
      bool written = false;
      for (size_t i = 0; i < FExtraFields.size() && !written; ++i) {
        written = !extraUsed[i] && UpperCase(FExtraFields[i].Name) == name &&
                  FExtraFields[i].Value == CleanUTF8(VorbisCommentValue(item));
        if (written) extraUsed[i] = true;
      }
      if (written) continue;
    }
    AppendVorbisComment(comments, item);
    ++count;
  }
  const std::string vendor = FVendor.empty() ? std::string(DefaultVendor) : FVendor;
  const std::string block = BuildVorbisComments(vendor, count, comments);
  const int64_t newSize = static_cast<int64_t>(block.size());
  if (newSize > MaxBlockSize) return false;

  // Blocks are counted whole, headers included, so the metadata written in
  // place always ends exactly where the audio starts.
  const int64_t oldWhole = FCommentIndex > 0 ? 4 + int64_t(FCommentSize) : 0;
  const int64_t padWhole = FPaddingIndex > 0 ? 4 + int64_t(FPaddingSize) : 0;
  // Padding left after the new comment block and a padding header.
  const int64_t room = oldWhole + padWhole - (4 + newSize) - 4;
  const int64_t metaStart = FStreamStart + HeaderSize;

  std::string head;
  TReadFile f(FileName);
  if (!f.IsOpen() || f.Size() != FFileSize) return false;
  const bool keepOrder = FCommentIndex > 0 && FPaddingIndex == FCommentIndex + 1 && !FMultiplePadding &&
                         !FExtraComment && room > 0 && room <= MaxBlockSize;
  if (keepOrder) {
    // Only the comment block and the padding after it change.
    const int64_t commentStart = FCommentOffset - 4;
    const int64_t paddingData = FCommentOffset + FCommentSize + 4;
    if (!f.ReadAt(0, commentStart, head)) return false;
    head += BlockHeader(btVorbisComment, false, newSize);
    head += block;
    head += BlockHeader(btPadding, FPaddingLast, room);
    if (room == FPaddingSize) {
      if (!AppendRange(f, paddingData, room, head)) return false;
    } else {
      head.append(static_cast<size_t>(room), '\0');
    }
    if (!AppendRange(f, paddingData + FPaddingSize, FAudioOffset - (paddingData + FPaddingSize), head))
      return false;
  } else {
    // The other blocks are collected without their last-block flags; further
    // padding and comment blocks are dropped and their room freed.
    std::string others;
    int64_t freed = 0;
    for (const auto& b : FOtherBlocks) {
      if (b.Type == btPadding || b.Type == btVorbisComment) {
        freed += 4 + b.DataSize;
        continue;
      }
      others += BlockHeader(b.Type, false, b.DataSize);
      if (!AppendRange(f, b.DataOffset, b.DataSize, others)) return false;
    }
    const bool inPlace = room > 0 && room + freed <= MaxBlockSize;
    const int64_t padding = inPlace ? room + freed : NewPaddingSize;
    if (!f.ReadAt(0, metaStart, head)) return false;
    // STREAMINFO is followed by more blocks now.
    head[static_cast<size_t>(FStreamStart + 4)] &= 0x7F;
    head += others;
    head += BlockHeader(btVorbisComment, false, newSize);
    head += block;
    head += BlockHeader(btPadding, true, padding);
    head.append(static_cast<size_t>(padding), '\0');
    if (inPlace && static_cast<int64_t>(head.size()) != FAudioOffset) return false;
  }
  if (!RewriteHead(FileName, FFileSize, FAudioOffset, head)) return false;
  FHasTags = count > 0;
  return true;
}
