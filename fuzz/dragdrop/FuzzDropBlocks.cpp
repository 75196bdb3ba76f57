// Reads arbitrary bytes with every reader of dropped blocks and checks what comes out:
// local files are absolute paths without control bytes, names are not empty and hold
// no zero, descriptor records have their size and fit in the block.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dragdrop/DragDropBlocks.h"

namespace {

void Check(bool Condition) {
  if (!Condition) std::abort();
}

bool HasControlByte(const std::string& S) {
  for (unsigned char C : S)
    if (C < 0x20 || C == 0x7F) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view Block(reinterpret_cast<const char*>(Data), Size);

  for (const std::string& File : LocalFilesOfUriList(Block)) {
    Check(!File.empty() && File.front() == '/');
    Check(!HasControlByte(File));
  }
  for (bool Wide : {false, true})
    for (const std::string& Name : ReadNameList(Block, Wide)) Check(!Name.empty() && Name.find('\0') == std::string::npos);
  Check(ReadText(Block).find('\0') == std::string::npos);
  Check(ReadWideText(Block).find('\0') == std::string::npos);
  uint32_t Value = 0;
  Check(ReadDWORD(Block, Value) == (Size >= 4));

  for (size_t RecordSize : {size_t(1), size_t(7), FileDescriptorSize}) {
    const auto Records = ReadGroupDescriptor(Block, RecordSize);
    Check(Records.empty() || 4 + Records.size() * RecordSize <= Size);
    for (const std::string& Record : Records) {
      Check(Record.size() == RecordSize);
      const std::string Name = DescriptorFileName(Record);
      Check(Name.size() <= 260 && Name.find('\0') == std::string::npos);
    }
  }
  return 0;
}
