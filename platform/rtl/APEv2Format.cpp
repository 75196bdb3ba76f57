#include "platform/rtl/APEv2Format.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/ByteOrder.h"

bool ReadAPERecord(const void* P, TAPERecord& R) {
  const auto* b = static_cast<const uint8_t*>(P);
  if (std::memcmp(b, "APETAGEX", 8) != 0) return false;
  R = {GetLE32(b + 8), GetLE32(b + 12), GetLE32(b + 16), GetLE32(b + 20)};
  return true;
}

void AppendAPERecord(std::string& Out, uint32_t Size, uint32_t Count, uint32_t Flags) {
  Out += "APETAGEX";
  AppendLE32(Out, APEVersion2);
  AppendLE32(Out, Size);
  AppendLE32(Out, Count);
  AppendLE32(Out, Flags);
  Out.append(8, '\0');
}

std::vector<TAPEItem> ParseAPEItems(std::string_view Items, uint32_t Count, size_t MaxNameSize) {
  std::vector<TAPEItem> r;
  const auto* p = reinterpret_cast<const unsigned char*>(Items.data());
  size_t pos = 0;
  for (uint32_t i = 0; i < Count; ++i) {
    if (Items.size() - pos < 8) break;
    const uint32_t valueSize = GetLE32(p + pos);
    const size_t nameStart = pos + 8;
    const size_t room = Items.size() - nameStart;
    const size_t limit = nameStart + (MaxNameSize < room ? MaxNameSize + 1 : room);
    const void* z = std::memchr(p + nameStart, 0, limit - nameStart);
    if (!z) break;
    const size_t nameEnd = static_cast<size_t>(static_cast<const unsigned char*>(z) - p);
    if (valueSize > Items.size() - nameEnd - 1) break;
    TAPEItem it;
    it.Flags = GetLE32(p + pos + 4);
    it.Name = Items.substr(nameStart, nameEnd - nameStart);
    it.Value = Items.substr(nameEnd + 1, valueSize);
    it.Raw = Items.substr(pos, nameEnd + 1 + valueSize - pos);
    r.push_back(it);
    pos = nameEnd + 1 + valueSize;
  }
  return r;
}

void AppendAPEItem(std::string& Out, std::string_view Name, std::string_view Value, uint32_t Flags) {
  AppendLE32(Out, static_cast<uint32_t>(Value.size()));
  AppendLE32(Out, Flags);
  Out += Name;
  Out += '\0';
  Out += Value;
}
