// libFuzzer target: the decoder's reading of an APE file's head (descriptor, header,
// seek table) and of the tags at its end, from bytes in memory.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/codecs/mac/APEHeader.h"
#include "platform/codecs/mac/APETags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const MAC::TReadAt readAt = [&](uint64_t Offset, void* Buffer, size_t Bytes) {
    if (Offset > Size || Bytes > Size - Offset) return false;
    std::memcpy(Buffer, Data + Offset, Bytes);
    return true;
  };
  MAC::TAPEFileInfo info;
  if (MAC::ParseAPEHead(readAt, Size, info) == 0) {
    // What a sound head promises must be inside the data.
    if (info.FirstFramePos > static_cast<int64_t>(Size) || info.SeekTable.size() != info.TotalFrames) __builtin_trap();
    // The first frame is inside the data; later ones may lie beyond the end of a file
    // cut short, and only reading them fails.
    if (!info.SeekTable.empty() && info.JunkBytes + info.SeekTable[0] > static_cast<int64_t>(Size)) __builtin_trap();
    if (info.TotalBlocks() < 0 || info.BlockAlign() <= 0) __builtin_trap();
  }
  const MAC::TTagLayout tags = MAC::LocateTags(readAt, Size);
  if (tags.AudioEnd < 0 || tags.AudioEnd > static_cast<int64_t>(Size)) __builtin_trap();
  if (tags.HasAPETag) {
    if (tags.APEItemsStart < 0 || tags.APEItemsStart + tags.APEItemsBytes > static_cast<int64_t>(Size)) __builtin_trap();
    std::vector<MAC::TAPETagItem> items;
    MAC::ParseAPEItems(Data + tags.APEItemsStart, static_cast<size_t>(tags.APEItemsBytes), tags.APEItemCount, items);
    // Written again, the items read back the same.
    const std::vector<uint8_t> tag = MAC::BuildAPETag(items);
    if (!items.empty()) {
      std::vector<MAC::TAPETagItem> again;
      if (!MAC::ParseAPEItems(tag.data() + 32, tag.size() - 64, static_cast<uint32_t>(items.size()), again) ||
          again.size() != items.size())
        __builtin_trap();
      for (size_t i = 0; i < items.size(); ++i)
        if (again[i].Key != items[i].Key || again[i].Value != items[i].Value) __builtin_trap();
    }
  }
  return 0;
}
