#pragma once
// The tags at the end of an APE file: an APEv2 tag (header, items, footer) and an
// ID3v1 block after it. Reading checks every size against the file; changing a file
// that already has tags goes through a complete new file that replaces the old one,
// so a failure never loses what the file had.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/codecs/mac/APEHeader.h"
#include "platform/codecs/mac/MACDll.h"

namespace MAC {

struct TAPETagItem {
  std::string Key;
  uint32_t Flags = 0;  // bits 1-2: 0 UTF-8 text, 1 binary, 2 link
  std::string Value;
};

struct TTagLayout {
  int64_t AudioEnd = 0;     // where the tags start (the file size without tags)
  bool HasAPETag = false;
  int64_t APETagStart = 0;  // header (or first item) of the APEv2 tag
  int64_t APEItemsStart = 0;
  int64_t APEItemsBytes = 0;
  uint32_t APEItemCount = 0;
  bool HasID3v1 = false;
};

// Finds the tags at the end of a file of FileSize bytes.
TTagLayout LocateTags(const TReadAt& ReadAt, uint64_t FileSize);
// The items of an APEv2 tag's item area; false (and no items) when it is malformed.
bool ParseAPEItems(const uint8_t* Data, size_t Size, uint32_t Count, std::vector<TAPETagItem>& Items);
// A complete APEv2 tag with header and footer; empty for no items.
std::vector<uint8_t> BuildAPETag(const std::vector<TAPETagItem>& Items);

int32_t TagFileSimple(const char* FileName, const char* const (&Fields)[7], bool ClearFirst);
int32_t RemoveTags(const char* FileName);
int32_t GetID3Tag(const char* FileName, MACDll::ID3_TAG& Tag);

}  // namespace MAC
