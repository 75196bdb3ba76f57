#include "platform/wmf/AsfHeader.h"

#include <cstring>

#include "platform/rtl/ByteOrder.h"

namespace {

// GUIDs as stored in the file (first three fields little-endian).
constexpr uint8_t HeaderObject[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr uint8_t ContentEncryption[16] = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                           0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
constexpr uint8_t ExtContentEncryption[16] = {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C,
                                              0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C};
constexpr uint8_t HeaderExtension[16] = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                                         0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uint8_t AdvContentEncryption[16] = {0x33, 0x85, 0x05, 0x43, 0x81, 0x69, 0xE6, 0x49,
                                              0x9B, 0x74, 0xAD, 0x12, 0xCB, 0x86, 0xD5, 0x8C};

constexpr size_t ObjectHeader = 24;  // GUID and 64-bit size

bool Is(const uint8_t* P, const uint8_t (&Guid)[16]) { return std::memcmp(P, Guid, 16) == 0; }

// Walks the objects in [P, P + Size); Nested looks into a header extension.
bool ObjectsHoldEncryption(const uint8_t* P, size_t Size, bool Nested) {
  size_t pos = 0;
  while (Size - pos >= ObjectHeader) {
    const uint8_t* obj = P + pos;
    const uint64_t objSize = GetLE64(obj + 16);
    if (objSize < ObjectHeader || objSize > Size - pos) {
      // A damaged size: the object's own GUID still counts, nothing after it does.
      return Is(obj, ContentEncryption) || Is(obj, ExtContentEncryption) ||
             (Nested && Is(obj, AdvContentEncryption));
    }
    if (Is(obj, ContentEncryption) || Is(obj, ExtContentEncryption)) return true;
    if (Nested && Is(obj, AdvContentEncryption)) return true;
    if (!Nested && Is(obj, HeaderExtension) && objSize >= 46) {
      // Reserved GUID (16), reserved word (2), data size (4), then extension objects.
      const uint32_t dataSize = GetLE32(obj + 42);
      const size_t room = static_cast<size_t>(objSize - 46);
      if (ObjectsHoldEncryption(obj + 46, dataSize < room ? dataSize : room, true)) return true;
    }
    pos += static_cast<size_t>(objSize);
  }
  return false;
}

}  // namespace

int64_t AsfHeaderObjectSize(const uint8_t* Data, size_t Size) {
  if (!Data || Size < 30 || !Is(Data, HeaderObject)) return -1;
  const uint64_t size = GetLE64(Data + 16);
  if (size < 30 || size > (uint64_t(1) << 62)) return -1;
  return static_cast<int64_t>(size);
}

bool AsfHeaderIsProtected(const uint8_t* Data, size_t Size) {
  const int64_t headerSize = AsfHeaderObjectSize(Data, Size);
  if (headerSize < 0) return false;
  const size_t end = static_cast<uint64_t>(headerSize) < Size ? static_cast<size_t>(headerSize) : Size;
  // The header object: GUID, size, object count (4), two reserved bytes.
  return ObjectsHoldEncryption(Data + 30, end - 30, false);
}
