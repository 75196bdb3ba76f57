// Recognition of encrypted ASF content from header bytes, including damaged headers.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/wmf/AsfHeader.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes HeaderGuid = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Bytes Encryption = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11, 0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
const Bytes ExtEncryption = {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C,
                             0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C};
const Bytes AdvEncryption = {0x33, 0x85, 0x05, 0x43, 0x81, 0x69, 0xE6, 0x49,
                             0x9B, 0x74, 0xAD, 0x12, 0xCB, 0x86, 0xD5, 0x8C};
const Bytes Extension = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11, 0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Bytes Other = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};

void Put64(Bytes& B, uint64_t V) {
  for (int i = 0; i < 8; ++i) B.push_back(static_cast<uint8_t>(V >> (8 * i)));
}

Bytes Object(const Bytes& Guid, const Bytes& Body, int64_t DeclaredSize = -1) {
  Bytes o = Guid;
  Put64(o, DeclaredSize >= 0 ? static_cast<uint64_t>(DeclaredSize) : 24 + Body.size());
  o.insert(o.end(), Body.begin(), Body.end());
  return o;
}

Bytes ExtensionObject(const Bytes& Children) {
  Bytes body(16, 0x11);  // reserved GUID
  body.push_back(6);
  body.push_back(0);
  const uint32_t n = static_cast<uint32_t>(Children.size());
  for (int i = 0; i < 4; ++i) body.push_back(static_cast<uint8_t>(n >> (8 * i)));
  body.insert(body.end(), Children.begin(), Children.end());
  return Object(Extension, body);
}

Bytes Header(const std::vector<Bytes>& Children) {
  Bytes body;
  for (const auto& c : Children) body.insert(body.end(), c.begin(), c.end());
  Bytes h = HeaderGuid;
  Put64(h, 30 + body.size());
  const uint32_t count = static_cast<uint32_t>(Children.size());
  for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(count >> (8 * i)));
  h.push_back(1);
  h.push_back(2);
  h.insert(h.end(), body.begin(), body.end());
  return h;
}

bool Protected(const Bytes& B) { return AsfHeaderIsProtected(B.data(), B.size()); }

}  // namespace

TEST(AsfHeaderTest, EncryptionObjectsAreFoundWhereTheyMayBe) {
  const Bytes plain = Object(Other, Bytes(40, 0));
  EXPECT_FALSE(Protected(Header({plain})));
  EXPECT_FALSE(Protected(Header({})));
  EXPECT_TRUE(Protected(Header({plain, Object(Encryption, Bytes(20, 0))})));
  EXPECT_TRUE(Protected(Header({Object(ExtEncryption, Bytes(8, 0)), plain})));
  // The advanced object counts inside the header extension only.
  EXPECT_TRUE(Protected(Header({plain, ExtensionObject(Object(AdvEncryption, Bytes(12, 0)))})));
  EXPECT_FALSE(Protected(Header({plain, Object(AdvEncryption, Bytes(12, 0))})));
  EXPECT_FALSE(Protected(Header({ExtensionObject(plain)})));
  // Objects after the header do not belong to it.
  Bytes h = Header({plain});
  const Bytes after = Object(Encryption, Bytes(4, 0));
  h.insert(h.end(), after.begin(), after.end());
  EXPECT_FALSE(Protected(h));
  EXPECT_EQ(AsfHeaderObjectSize(h.data(), h.size()), static_cast<int64_t>(30 + plain.size()));
}

TEST(AsfHeaderTest, DamagedOrForeignBytesNeverReadOutsideTheBuffer) {
  EXPECT_EQ(AsfHeaderObjectSize(nullptr, 0), -1);
  const Bytes notAsf(64, 0x30);
  EXPECT_EQ(AsfHeaderObjectSize(notAsf.data(), notAsf.size()), -1);
  EXPECT_FALSE(Protected(notAsf));
  // Too short to hold the header object's fixed part.
  const Bytes h = Header({Object(Encryption, Bytes(4, 0))});
  EXPECT_FALSE(AsfHeaderIsProtected(h.data(), 29));
  // Cut inside the encryption object's size field: not found, nothing read past it.
  EXPECT_FALSE(AsfHeaderIsProtected(h.data(), 30 + 20));
  // An object declaring a size beyond the buffer: its own GUID still counts, nothing after it.
  EXPECT_TRUE(Protected(Header({Object(Encryption, Bytes(4, 0), 1 << 30)})));
  EXPECT_FALSE(Protected(Header({Object(Other, Bytes(4, 0), 1 << 30), Object(Encryption, Bytes(4, 0))})));
  // Sizes of 0 or below the object header cannot loop.
  EXPECT_FALSE(Protected(Header({Object(Other, Bytes(4, 0), 0), Object(Encryption, Bytes(4, 0))})));
  EXPECT_FALSE(Protected(Header({Object(Other, Bytes(4, 0), 23)})));
  // An extension whose data size lies about its children.
  Bytes ext = ExtensionObject(Object(AdvEncryption, Bytes(12, 0)));
  ext[24 + 18] = 0xFF;
  ext[24 + 19] = 0xFF;
  ext[24 + 20] = 0xFF;
  ext[24 + 21] = 0x7F;
  EXPECT_TRUE(Protected(Header({ext})));
  // The header's declared size below its fixed part.
  Bytes bad = Header({});
  bad[16] = 10;
  EXPECT_EQ(AsfHeaderObjectSize(bad.data(), bad.size()), -1);
}
