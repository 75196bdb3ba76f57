#pragma once
// The APE tag layout that the engine's tag reader and the file info reader share:
// the 32-byte header and footer records and the items between them. A tag is
// [header] items footer; the sizes in the records count the items and the footer.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int64_t APERecordSize = 32;
constexpr uint32_t APEVersion2 = 2000;
// Record flags.
constexpr uint32_t apeHasHeader = 0x80000000u, apeIsHeader = 0x20000000u;
// Item flags: the item's kind (0: UTF-8 text; binary, link and reserved otherwise).
constexpr uint32_t apeItemKindMask = 0x6;
// Item names are 1 to 255 bytes.
constexpr size_t APEMaxNameSize = 255;

struct TAPERecord {
  uint32_t Version = 0;
  uint32_t Size = 0;   // the items and the footer
  uint32_t Count = 0;  // items
  uint32_t Flags = 0;
};

// Reads a header or footer at P (32 bytes): false unless it starts with "APETAGEX".
bool ReadAPERecord(const void* P, TAPERecord& R);
// Appends a version 2 header or footer.
void AppendAPERecord(std::string& Out, uint32_t Size, uint32_t Count, uint32_t Flags);

struct TAPEItem {
  uint32_t Flags = 0;
  std::string_view Name;
  std::string_view Value;
  std::string_view Raw;  // the whole item as stored
};

// Up to Count items from the start of Items, in order. Each must lie inside Items
// with a name of at most MaxNameSize bytes and its terminator; the first one that
// does not ends the list.
std::vector<TAPEItem> ParseAPEItems(std::string_view Items, uint32_t Count, size_t MaxNameSize = APEMaxNameSize);
// Appends one item (Flags 0: text).
void AppendAPEItem(std::string& Out, std::string_view Name, std::string_view Value, uint32_t Flags = 0);
