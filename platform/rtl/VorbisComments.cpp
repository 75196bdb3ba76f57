#include "platform/rtl/VorbisComments.h"

#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/StrUtils.h"

TVorbisComments ParseVorbisComments(std::string_view Data, size_t Offset) {
  TVorbisComments c;
  const int64_t size = static_cast<int64_t>(Data.size());
  int64_t p = static_cast<int64_t>(Offset);
  auto length = [&](int64_t& V) {
    if (size - p < 4) return false;
    V = GetLE32(Data.data() + p);
    p += 4;
    return V <= size - p;
  };
  int64_t vendor = 0;
  if (p > size || !length(vendor)) return c;
  c.Vendor = std::string(Data.substr(static_cast<size_t>(p), static_cast<size_t>(vendor)));
  p += vendor;
  if (size - p < 4) return c;
  const uint32_t count = GetLE32(Data.data() + p);
  p += 4;
  for (uint32_t i = 0; i < count; ++i) {
    int64_t len = 0;
    if (!length(len)) return c;
    c.Items.emplace_back(Data.substr(static_cast<size_t>(p), static_cast<size_t>(len)));
    p += len;
  }
  c.End = p;
  return c;
}

std::string VorbisCommentName(std::string_view Item) {
  const size_t eq = Item.find('=');
  return eq == std::string_view::npos ? std::string() : UpperCase(Item.substr(0, eq));
}

std::string_view VorbisCommentValue(std::string_view Item) {
  const size_t eq = Item.find('=');
  return eq == std::string_view::npos ? Item : Item.substr(eq + 1);
}

void AppendVorbisComment(std::string& List, std::string_view Item) {
  AppendLE32(List, static_cast<uint32_t>(Item.size()));
  List += Item;
}

std::string BuildVorbisComments(std::string_view Vendor, uint32_t Count, std::string_view Comments) {
  std::string r;
  AppendVorbisComment(r, Vendor);
  AppendLE32(r, Count);
  r += Comments;
  return r;
}
