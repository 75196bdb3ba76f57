#include "platform/rtl/ByteOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/rtl/ID3v2Format.h"

namespace {

const uint8_t Bytes[8] = {0x01, 0x82, 0x03, 0x84, 0x05, 0x86, 0x07, 0x88};

TEST(ByteOrderTest, ReadsAndWritesEveryWidthInBothOrders) {
  struct Case {
    int Width;
    uint64_t LE, BE;
  };
  const Case Cases[] = {
      {2, 0x8201, 0x0182},
      {3, 0x038201, 0x018203},
      {4, 0x84038201, 0x01820384},
      {8, 0x8807860584038201, 0x0182038405860788},
  };
  for (const Case& C : Cases) {
    const uint64_t le[] = {GetLE16(Bytes), GetLE24(Bytes), GetLE32(Bytes), GetLE64(Bytes)};
    const uint64_t be[] = {GetBE16(Bytes), GetBE24(Bytes), GetBE32(Bytes), GetBE64(Bytes)};
    const int k = C.Width == 8 ? 3 : C.Width - 2;
    EXPECT_EQ(le[k], C.LE) << C.Width;
    EXPECT_EQ(be[k], C.BE) << C.Width;
    // Writing gives the bytes back, and nothing beyond the width is touched.
    uint8_t out[9];
    std::fill(std::begin(out), std::end(out), 0xEE);
    PutLE(out, C.LE, C.Width);
    EXPECT_EQ(std::vector<uint8_t>(out, out + C.Width), std::vector<uint8_t>(Bytes, Bytes + C.Width)) << C.Width;
    EXPECT_EQ(out[C.Width], 0xEE) << C.Width;
    PutBE(out, C.BE, C.Width);
    EXPECT_EQ(std::vector<uint8_t>(out, out + C.Width), std::vector<uint8_t>(Bytes, Bytes + C.Width)) << C.Width;
    std::string s = "x";
    AppendBE(s, C.BE, C.Width);
    EXPECT_EQ(s, "x" + std::string(reinterpret_cast<const char*>(Bytes), C.Width)) << C.Width;
  }
  EXPECT_EQ(SignExtend24(0x800000), -8388608);
  EXPECT_EQ(SignExtend24(0xFFFFFF), -1);
  EXPECT_EQ(SignExtend24(0x7FFFFF), 8388607);
}

TEST(ByteOrderTest, SyncSafeIntegersAndUnsynchronisation) {
  uint8_t b[4];
  PutSyncSafe32(b, MaxSyncSafe);
  EXPECT_EQ(std::vector<uint8_t>(b, b + 4), std::vector<uint8_t>({0x7F, 0x7F, 0x7F, 0x7F}));
  PutSyncSafe32(b, 0x0ABCDEF);
  EXPECT_TRUE(IsSyncSafe32(b));
  EXPECT_EQ(GetSyncSafe32(b), 0x0ABCDEFu);
  b[2] |= 0x80;
  EXPECT_FALSE(IsSyncSafe32(b));

  // FF 00 loses its zero; a zero after anything else, and a last FF, stay.
  std::string s("\xFF\x00\xE0\xFF\x00\x00\x01\x00\xFF", 9);
  s.resize(RemoveUnsync(s.data(), s.size()));
  EXPECT_EQ(s, std::string("\xFF\xE0\xFF\x00\x01\x00\xFF", 7));
}

}  // namespace
