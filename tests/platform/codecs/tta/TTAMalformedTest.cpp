// Damaged and foreign files: each fails with a clear error at the point where the
// damage is found, never with a crash or wrong samples.

#include "TTATestSupport.h"

#include <fcntl.h>
#include <unistd.h>

using namespace TTATests;
using namespace TTALib;

namespace {

class TTAMalformed : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Lib().Error.empty()) << Lib().Error;
    REQUIRE_TOOL("sox");
    // 2.5 s of 16-bit stereo at 44.1 kHz: frames of 46080 samples, the last one short
    Raw = MakeRaw(Dir, 16, 2, 44100, 2.5);
    Slots = RawToSlots(Raw, 16);
    EncodeSlots(Dir.Path("good.tta"), Slots, 1, 16, 2, 44100, 0);
    Good = ReadFile(Dir.Path("good.tta"));
    ASSERT_GT(Good.size(), 1000u);
    ASSERT_EQ(Le32(Good, 14), Slots.size() / 2);
  }
  // Offset of frame I (0-based) in a file without tags.
  size_t FrameOffset(size_t I) const {
    size_t Off = 22 + 4 * Frames + 4;
    for (size_t J = 0; J < I; ++J) Off += Le32(Good, 22 + 4 * J);
    return Off;
  }
  Decoded Try(const std::vector<uint8_t>& File, int32_t& Code, std::string* Msg = nullptr) {
    WriteFile(Dir.Path("bad.tta"), File);
    return DecodeFile(Dir.Path("bad.tta"), &Code, Msg);
  }

  TempDir Dir;
  std::vector<uint8_t> Raw, Good;
  std::vector<int64_t> Slots;
  const size_t Frames = 3;
  const size_t FrameLen = 46080;
};

TEST_F(TTAMalformed, TheUndamagedFileDecodes) {
  int32_t Code;
  Decoded D = Try(Good, Code);
  EXPECT_EQ(Code, TTA_NO_ERROR);
  EXPECT_EQ(D.Slots, Slots);
  EXPECT_EQ(FrameOffset(Frames), Good.size());
}

TEST_F(TTAMalformed, FilesThatAreNoTTAFilesAreRejected) {
  int32_t Code;
  std::string Msg;
  Try({}, Code, &Msg);
  EXPECT_EQ(Code, TTA_FORMAT_ERROR) << "an empty file";
  EXPECT_EQ(Msg.rfind(Lib().GetErrStr(TTA_FORMAT_ERROR), 0), 0u) << Msg;
  Try(std::vector<uint8_t>(Good.begin(), Good.begin() + 21), Code);
  EXPECT_EQ(Code, TTA_FORMAT_ERROR) << "a header cut short";
  std::vector<uint8_t> Wav = Good;
  Wav[0] = 'R';
  Try(Wav, Code);
  EXPECT_EQ(Code, TTA_FORMAT_ERROR) << "another signature";
  // an ID3v2 tag that claims more bytes than the file has hides no stream
  std::vector<uint8_t> Tag = MakeId3v2(100);
  Tag[6] = 0x7F;
  Tag.insert(Tag.end(), Good.begin(), Good.end());
  Try(Tag, Code);
  EXPECT_EQ(Code, TTA_FORMAT_ERROR);
}

TEST_F(TTAMalformed, HeaderFieldsAreChecked) {
  struct Case {
    size_t At;
    int Width;
    uint32_t Value;
    int32_t Expected;
    const char* What;
  } Cases[] = {
      {4, 2, 2, TTA_UNSUPPORTED, "encrypted format"},
      {4, 2, 7, TTA_UNSUPPORTED, "unknown format"},
      {6, 2, 0, TTA_FORMAT_ERROR, "no channels"},
      {6, 2, 9, TTA_UNSUPPORTED, "nine channels"},
      {8, 2, 0, TTA_FORMAT_ERROR, "no bits"},
      {8, 2, 32, TTA_UNSUPPORTED, "32-bit integers"},
      {8, 2, 25, TTA_UNSUPPORTED, "25 bits"},
      {10, 4, 0, TTA_FORMAT_ERROR, "no sample rate"},
      {10, 4, 4000000000u, TTA_UNSUPPORTED, "a rate that needs gigabytes per frame"},
      {14, 4, 0xFFFFFFFFu, TTA_READ_ERROR, "a length whose seek table the file cannot hold"},
  };
  for (const Case& C : Cases) {
    std::vector<uint8_t> F = Good;
    if (C.Width == 2)
      PutLE16(F, C.At, static_cast<uint16_t>(C.Value));
    else
      PutLE32(F, C.At, C.Value);
    FixHeaderCrc(F);
    int32_t Code;
    Try(F, Code);
    EXPECT_EQ(Code, C.Expected) << C.What;
  }
  std::vector<uint8_t> F = Good;
  F[12] ^= 1; // the sample rate, with the CRC left as it was
  int32_t Code;
  Try(F, Code);
  EXPECT_EQ(Code, TTA_FILE_ERROR) << "header CRC";
}

TEST_F(TTAMalformed, SeekTableDamageIsFound) {
  int32_t Code;
  std::vector<uint8_t> F = Good;
  F[22] ^= 0x10;
  Try(F, Code);
  EXPECT_EQ(Code, TTA_FILE_ERROR) << "seek table CRC";

  // sizes with a matching CRC that point past the end of the file
  F = Good;
  PutLE32(F, 22 + 4, 0x7FFFFFFF);
  PutLE32(F, 22 + 4 * Frames, Crc32(F.data() + 22, 4 * Frames));
  Decoded D = Try(F, Code);
  EXPECT_EQ(Code, TTA_READ_ERROR);
  EXPECT_EQ(D.Slots.size(), FrameLen * 2) << "the first frame still decodes";

  // a frame too small to hold its own CRC
  F = Good;
  PutLE32(F, 22, 3);
  PutLE32(F, 22 + 4 * Frames, Crc32(F.data() + 22, 4 * Frames));
  Try(F, Code);
  EXPECT_EQ(Code, TTA_FILE_ERROR);

  // the table itself cut short
  Try(std::vector<uint8_t>(Good.begin(), Good.begin() + 30), Code);
  EXPECT_EQ(Code, TTA_READ_ERROR);
}

TEST_F(TTAMalformed, DamagedFrameFailsWhereItIs) {
  std::vector<uint8_t> F = Good;
  F[FrameOffset(1) + 100] ^= 0x04;
  int32_t Code;
  std::string Msg;
  Decoded D = Try(F, Code, &Msg);
  EXPECT_EQ(Code, TTA_FILE_ERROR);
  EXPECT_NE(Msg.find("frame 2 of 3"), std::string::npos) << Msg;
  ASSERT_EQ(D.Slots.size(), FrameLen * 2);
  EXPECT_TRUE(std::equal(D.Slots.begin(), D.Slots.end(), Slots.begin()));

  // a damaged CRC is damage too
  F = Good;
  F[FrameOffset(1) - 1] ^= 0x80;
  Try(F, Code);
  EXPECT_EQ(Code, TTA_FILE_ERROR);
}

// With valid CRCs, frames whose codes run past their end or decode to impossible
// values are still refused.
TEST_F(TTAMalformed, FramesWithValidCrcsButBadCodesAreRefused) {
  const size_t Off = FrameOffset(0), Size = Le32(Good, 22);
  for (uint8_t Fill : {uint8_t{0xFF}, uint8_t{0x00}}) {
    std::vector<uint8_t> F = Good;
    std::fill(F.begin() + static_cast<long>(Off), F.begin() + static_cast<long>(Off + Size - 4), Fill);
    PutLE32(F, Off + Size - 4, Crc32(F.data() + Off, Size - 4));
    int32_t Code;
    Decoded D = Try(F, Code);
    if (Fill == 0x00) {
      // all zeros is a valid frame of small residuals, just not the encoded one
      EXPECT_EQ(Code, TTA_NO_ERROR);
    } else {
      EXPECT_EQ(Code, TTA_FILE_ERROR) << "one unary run through the whole frame";
      EXPECT_TRUE(D.Slots.empty());
    }
  }
  // a frame cut short: the stream runs out before its samples do
  std::vector<uint8_t> F = Good;
  const size_t Cut = Size / 2;
  F.erase(F.begin() + static_cast<long>(Off + Cut), F.begin() + static_cast<long>(Off + Size - 4));
  PutLE32(F, Off + Cut, Crc32(F.data() + Off, Cut));
  PutLE32(F, 22, static_cast<uint32_t>(Cut + 4));
  PutLE32(F, 22 + 4 * Frames, Crc32(F.data() + 22, 4 * Frames));
  int32_t Code;
  Try(F, Code);
  EXPECT_EQ(Code, TTA_FILE_ERROR);
}

TEST_F(TTAMalformed, TruncatedFileDecodesUpToTheCut) {
  std::vector<uint8_t> F(Good.begin(), Good.begin() + static_cast<long>(FrameOffset(2) + 10));
  int32_t Code;
  std::string Msg;
  Decoded D = Try(F, Code, &Msg);
  EXPECT_EQ(Code, TTA_READ_ERROR);
  EXPECT_NE(Msg.find("ends early"), std::string::npos) << Msg;
  ASSERT_EQ(D.Slots.size(), FrameLen * 2 * 2);
  EXPECT_TRUE(std::equal(D.Slots.begin(), D.Slots.end(), Slots.begin()));
}

TEST_F(TTAMalformed, GetBlockAfterTheEndKeepsReturningZero) {
  int Fd = open(Dir.Path("good.tta").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(Fd, 0);
  const Api& L = Lib();
  TTADecoder D;
  L.DecConstruct(&D, Fd);
  int64_t* Block = nullptr;
  int32_t Total = 0;
  while (int32_t N = L.DecGetBlock(&D, &Block)) Total += N;
  EXPECT_EQ(Total, static_cast<int32_t>(Slots.size() / 2));
  EXPECT_EQ(L.DecGetBlock(&D, &Block), 0);
  EXPECT_EQ(L.DecGetBlock(&D, &Block), 0);
  TTAStat S{};
  L.DecGetStat(&D, &S);
  EXPECT_EQ(S.Samples, Slots.size() / 2);
  EXPECT_EQ(S.InputBytes, Good.size());
  L.DecDestruct(&D);
  close(Fd);

  TTADecoder Bad;
  EXPECT_THROW(L.DecConstruct(&Bad, -1), TTAException);
}

} // namespace
