// The encoder and decoder as the engine's components drive them: the float format,
// ID3v2 tags before the stream, the file position left for tags after it, and the
// encoder's handling of bad calls.

#include "TTATestSupport.h"

#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace TTATests;
using TTALib::FloatToSlot;
using TTALib::SlotToFloat;

namespace {

class TTAStream : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Lib().Error.empty()) << Lib().Error;
    REQUIRE_TOOL("sox");
  }
  const Api& L = Lib();
  TempDir Dir;
};

uint32_t FloatBits(int64_t Slot) {
  float F = SlotToFloat(Slot);
  uint32_t B;
  std::memcpy(&B, &F, 4);
  return B;
}

// ---- 32-bit float ----------------------------------------------------------------

TEST_F(TTAStream, FloatSamplesRoundTripBitForBit) {
  std::string Raw = Dir.Path("f.raw"), Log;
  ASSERT_TRUE(RunOk("sox -n -r 48000 -c 2 -e floating-point -b 32 -t raw " + Quote(Raw) +
                        " synth 2.3 sine 440 pinknoise vol 0.7",
                    &Log))
      << Log;
  std::vector<uint8_t> Bytes = ReadFile(Raw);
  std::vector<int64_t> Slots;
  for (size_t I = 0; I + 3 < Bytes.size(); I += 4) {
    float F;
    std::memcpy(&F, &Bytes[I], 4);
    Slots.push_back(FloatToSlot(F));
  }
  // values no audio source should send, which must still come back unchanged
  const float Odd[] = {0.0f, -0.0f, 1.0f, -1.0f, std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::max(), 3.0e38f};
  for (size_t I = 0; I < std::size(Odd); ++I) Slots[1000 + 7 * I] = FloatToSlot(Odd[I]);
  ASSERT_EQ(Slots.size() % 2, 0u);

  EncodeSlots(Dir.Path("f.tta"), Slots, TTALib::TTA_FORMAT_FLOAT, 32, 2, 48000, 0);
  int32_t Code;
  std::string Msg;
  Decoded D = DecodeFile(Dir.Path("f.tta"), &Code, &Msg);
  ASSERT_EQ(Code, TTALib::TTA_NO_ERROR) << Msg;
  EXPECT_EQ(D.Format, TTALib::TTA_FORMAT_FLOAT);
  EXPECT_EQ(D.Bits, 32);
  EXPECT_EQ(D.Length, static_cast<int64_t>(Slots.size() / 2));
  ASSERT_EQ(D.Slots.size(), Slots.size());
  size_t Bad = 0;
  for (size_t I = 0; I < Slots.size(); ++I) {
    if (FloatBits(D.Slots[I]) != FloatBits(Slots[I])) ++Bad;
    // the decoder clears the slot's other four bytes
    if ((static_cast<uint64_t>(D.Slots[I]) >> 32) != 0) ++Bad;
  }
  EXPECT_EQ(Bad, 0u);
  // floats that do not compress are stored: the file never grows by more than a
  // byte per frame and the header
  EXPECT_LE(ReadFile(Dir.Path("f.tta")).size(), Bytes.size() + 64);
}

// Random bit patterns give the largest residuals there are: scattered through a
// smooth signal they take the longest codes; as plain noise the frames are stored.
TEST_F(TTAStream, FloatsOfAnyBitPatternRoundTrip) {
  std::mt19937 Rng(7);
  auto Slot = [](uint32_t B) {
    int64_t S = 0;
    std::memcpy(&S, &B, 4);
    return S;
  };
  std::vector<int64_t> Spiky(3 * 60000), Noise(2 * 50000);
  for (size_t I = 0; I < Spiky.size(); ++I) {
    float F = 0.5f * std::sin(static_cast<float>(I / 3) * 0.01f + static_cast<float>(I % 3));
    uint32_t B;
    std::memcpy(&B, &F, 4);
    if (Rng() % 150 == 0) B = static_cast<uint32_t>(Rng());
    if ((I / 3) % 20000 < 3000) B = 0; // silence, so that the Rice parameters fall before a spike
    Spiky[I] = Slot(B);
  }
  for (int64_t& S : Noise) S = Slot(static_cast<uint32_t>(Rng()));

  EncodeSlots(Dir.Path("spiky.tta"), Spiky, TTALib::TTA_FORMAT_FLOAT, 32, 3, 44100, 0);
  EncodeSlots(Dir.Path("noise.tta"), Noise, TTALib::TTA_FORMAT_FLOAT, 32, 2, 44100, 0);
  int32_t Code;
  Decoded D = DecodeFile(Dir.Path("spiky.tta"), &Code);
  ASSERT_EQ(Code, TTALib::TTA_NO_ERROR);
  EXPECT_EQ(D.Slots, Spiky);
  EXPECT_LT(ReadFile(Dir.Path("spiky.tta")).size(), Spiky.size() * 4 * 8 / 10) << "the spiky signal is coded";
  D = DecodeFile(Dir.Path("noise.tta"), &Code);
  ASSERT_EQ(Code, TTALib::TTA_NO_ERROR);
  EXPECT_EQ(D.Slots, Noise);
  EXPECT_LE(ReadFile(Dir.Path("noise.tta")).size(), Noise.size() * 4 + 64) << "noise is stored, not grown";
}

// Integer streams of every width survive extreme values too.
TEST_F(TTAStream, IntegerExtremesRoundTrip) {
  for (int Bits : {8, 16, 24}) {
    const int64_t Max = (int64_t{1} << (Bits - 1)) - 1, Min = -(int64_t{1} << (Bits - 1));
    std::vector<int64_t> Slots;
    std::mt19937 Rng(Bits);
    for (int I = 0; I < 120000; ++I) {
      int64_t V;
      switch ((I / 3000) % 4) {
        case 0: V = (I & 1) ? Max : Min; break;                          // full-scale square
        case 1: V = 0; break;                                            // silence
        case 2: V = Min + static_cast<int64_t>(Rng() % (Max - Min + 1)); break; // white noise
        default: V = (I % 7 == 0) ? Min : Max;
      }
      Slots.push_back(V);
    }
    std::string Path = Dir.Path("x" + std::to_string(Bits) + ".tta");
    EncodeSlots(Path, Slots, 1, Bits, 2, 44100, 0);
    int32_t Code;
    Decoded D = DecodeFile(Path, &Code);
    ASSERT_EQ(Code, TTALib::TTA_NO_ERROR) << Bits;
    EXPECT_EQ(D.Slots, Slots) << Bits << "-bit";
  }
}

// ---- ID3v2 tags ----------------------------------------------------------------

TEST_F(TTAStream, LeadingId3v2TagIsSkipped) {
  std::vector<uint8_t> Raw = MakeRaw(Dir, 16, 2, 44100, 1.2);
  std::vector<int64_t> Slots = RawToSlots(Raw, 16);
  EncodeSlots(Dir.Path("plain.tta"), Slots, 1, 16, 2, 44100, 0);
  std::vector<uint8_t> Plain = ReadFile(Dir.Path("plain.tta"));

  for (bool Footer : {false, true}) {
    std::vector<uint8_t> Tagged = MakeId3v2(3000, Footer);
    Tagged.insert(Tagged.end(), Plain.begin(), Plain.end());
    std::string Path = Dir.Path(Footer ? "footer.tta" : "tagged.tta");
    WriteFile(Path, Tagged);
    int32_t Code;
    std::string Msg;
    Decoded D = DecodeFile(Path, &Code, &Msg);
    ASSERT_EQ(Code, TTALib::TTA_NO_ERROR) << Msg;
    EXPECT_EQ(D.Slots, Slots);
  }

  // an ID3v1 tag (and anything else) after the last frame does no harm
  std::vector<uint8_t> Trailed = Plain;
  std::vector<uint8_t> V1(128, ' ');
  std::memcpy(V1.data(), "TAG", 3);
  Trailed.insert(Trailed.end(), V1.begin(), V1.end());
  WriteFile(Dir.Path("v1.tta"), Trailed);
  EXPECT_EQ(DecodeFile(Dir.Path("v1.tta")).Slots, Slots);
}

TEST_F(TTAStream, EncoderKeepsAnId3v2TagOnlyWhenAsked) {
  std::vector<uint8_t> Raw = MakeRaw(Dir, 16, 1, 44100, 1.0);
  std::vector<int64_t> Slots = RawToSlots(Raw, 16);
  EncodeSlots(Dir.Path("plain.tta"), Slots, 1, 16, 1, 44100, 0);
  std::vector<uint8_t> Plain = ReadFile(Dir.Path("plain.tta"));
  std::vector<uint8_t> Tag = MakeId3v2(500);

  for (bool Copy : {true, false}) {
    std::string Path = Dir.Path(Copy ? "kept.tta" : "dropped.tta");
    WriteFile(Path, Tag);
    int Fd = open(Path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(Fd, 0);
    TTALib::TTAEncoder E;
    L.EncConstruct(&E, Fd, Copy, 1, 1, 16, 44100, 0);
    EXPECT_TRUE(L.EncCompressBlock(&E, Slots.data(), static_cast<int32_t>(Slots.size())));
    L.EncDestruct(&E);
    close(Fd);
    std::vector<uint8_t> File = ReadFile(Path);
    std::vector<uint8_t> Expected = Plain;
    if (Copy) Expected.insert(Expected.begin(), Tag.begin(), Tag.end());
    EXPECT_TRUE(File == Expected) << (Copy ? "the tag must stay in front" : "the stream must start the file");
  }
}

TEST_F(TTAStream, CopyId3HeaderCopiesTheTagAndSkipsIt) {
  std::vector<uint8_t> Tag = MakeId3v2(200);
  std::vector<uint8_t> In = Tag;
  In.insert(In.end(), {'R', 'I', 'F', 'F'});
  WriteFile(Dir.Path("in"), In);
  int A = open(Dir.Path("in").c_str(), O_RDONLY | O_CLOEXEC);
  int B = open(Dir.Path("out").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(A, 0);
  ASSERT_GE(B, 0);
  EXPECT_EQ(L.CopyId3Header(A, B, true), static_cast<int64_t>(Tag.size()));
  EXPECT_EQ(lseek(A, 0, SEEK_CUR), static_cast<off_t>(Tag.size()));
  EXPECT_EQ(lseek(B, 0, SEEK_CUR), static_cast<off_t>(Tag.size()));
  EXPECT_EQ(L.CopyId3Header(A, -1, false), static_cast<int64_t>(Tag.size()));
  EXPECT_EQ(L.CopyId3Header(-1, B, true), -1);
  close(A);
  close(B);
  EXPECT_TRUE(ReadFile(Dir.Path("out")) == Tag);

  WriteFile(Dir.Path("none"), std::vector<uint8_t>{'R', 'I', 'F', 'F', 0, 0, 0, 0, 0, 0, 0, 0});
  int C = open(Dir.Path("none").c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_EQ(L.CopyId3Header(C, -1, false), 0);
  close(C);
}

// ---- what the engine relies on around the calls ------------------------------------

TEST_F(TTAStream, FinishedFileLeavesThePositionAtItsEndForTags) {
  std::vector<uint8_t> Raw = MakeRaw(Dir, 16, 2, 44100, 1.0);
  std::vector<int64_t> Slots = RawToSlots(Raw, 16);
  std::string Path = Dir.Path("pos.tta");
  int Fd = open(Path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(Fd, 0);
  TTALib::TTAEncoder E;
  L.EncConstruct(&E, Fd, false, 1, 2, 16, 44100, 0); // unknown length: the frames move
  EXPECT_TRUE(L.EncCompressBlock(&E, Slots.data(), static_cast<int32_t>(Slots.size())));
  L.EncDestruct(&E);
  struct stat St;
  ASSERT_EQ(fstat(Fd, &St), 0);
  EXPECT_EQ(lseek(Fd, 0, SEEK_CUR), St.st_size);
  const char Tail[] = "TAG-appended-by-the-caller";
  EXPECT_EQ(write(Fd, Tail, sizeof Tail), static_cast<ssize_t>(sizeof Tail));
  close(Fd);
  EXPECT_EQ(DecodeFile(Path).Slots, Slots);
}

TEST_F(TTAStream, EncoderRefusesBadCallsAndKeepsGoing) {
  std::vector<uint8_t> Raw = MakeRaw(Dir, 16, 2, 44100, 0.5);
  std::vector<int64_t> Slots = RawToSlots(Raw, 16);
  std::string Path = Dir.Path("calls.tta");
  int Fd = open(Path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  TTALib::TTAEncoder E;
  L.EncConstruct(&E, Fd, false, 1, 2, 16, 44100, 0);
  EXPECT_FALSE(L.EncCompressBlock(&E, Slots.data(), 3)) << "half a sample frame";
  EXPECT_FALSE(L.EncCompressBlock(&E, Slots.data(), -2));
  EXPECT_TRUE(L.EncCompressBlock(&E, Slots.data(), 0));
  EXPECT_TRUE(L.EncCompressBlock(&E, Slots.data(), static_cast<int32_t>(Slots.size())));
  TTALib::TTAStat S{};
  L.EncGetStat(&E, &S);
  EXPECT_EQ(S.Samples, Slots.size() / 2);
  EXPECT_EQ(S.InputBytes, Slots.size() * 2);
  L.EncFinish(&E);
  L.EncFinish(&E); // twice is harmless
  EXPECT_FALSE(L.EncCompressBlock(&E, Slots.data(), 2)) << "nothing may follow the finished file";
  L.EncGetStat(&E, &S);
  struct stat St;
  fstat(Fd, &St);
  EXPECT_EQ(S.OutputBytes, static_cast<uint64_t>(St.st_size));
  EXPECT_GT(S.Ratio, 0.0);
  EXPECT_LT(S.Ratio, 1.0);
  L.EncDestruct(&E);
  close(Fd);
  EXPECT_EQ(DecodeFile(Path).Slots, Slots);
}

TEST_F(TTAStream, EncoderRejectsWhatItCannotWrite) {
  auto Code = [&](int Fd, int Format, int Ch, int Bits, int Rate) {
    TTALib::TTAEncoder E;
    try {
      L.EncConstruct(&E, Fd, false, Format, Ch, Bits, Rate, 0);
    } catch (const TTALib::TTAException& X) {
      EXPECT_STRNE(X.what(), "");
      return static_cast<int>(X.Code());
    }
    L.EncDestruct(&E);
    return 0;
  };
  int Fd = open(Dir.Path("x.tta").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  EXPECT_EQ(Code(Fd, 1, 2, 16, 44100), 0);
  EXPECT_EQ(Code(Fd, 2, 2, 16, 44100), TTALib::TTA_INVALID_ARGUMENT) << "encrypted streams";
  EXPECT_EQ(Code(Fd, 1, 9, 16, 44100), TTALib::TTA_INVALID_ARGUMENT);
  EXPECT_EQ(Code(Fd, 1, 0, 16, 44100), TTALib::TTA_INVALID_ARGUMENT);
  EXPECT_EQ(Code(Fd, 1, 2, 32, 44100), TTALib::TTA_INVALID_ARGUMENT) << "32 bits are float only";
  EXPECT_EQ(Code(Fd, 3, 2, 16, 44100), TTALib::TTA_INVALID_ARGUMENT) << "float is 32 bits only";
  EXPECT_EQ(Code(Fd, 1, 2, 16, 0), TTALib::TTA_INVALID_ARGUMENT);
  EXPECT_EQ(Code(-1, 1, 2, 16, 44100), TTALib::TTA_INVALID_ARGUMENT);
  close(Fd);
  Fd = open(Dir.Path("x.tta").c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_EQ(Code(Fd, 1, 2, 16, 44100), TTALib::TTA_WRITE_ERROR) << "read-only handle";
  close(Fd);
  int Pipe[2];
  ASSERT_EQ(pipe(Pipe), 0);
  EXPECT_EQ(Code(Pipe[1], 1, 2, 16, 44100), TTALib::TTA_WRITE_ERROR) << "a pipe cannot take the seek table";
  close(Pipe[0]);
  close(Pipe[1]);
}

// A library exception crosses the boundary of the loaded library intact.
TEST_F(TTAStream, ExceptionsReachTheCallerAsStdExceptions) {
  WriteFile(Dir.Path("junk"), std::vector<uint8_t>(100, 'x'));
  int Fd = open(Dir.Path("junk").c_str(), O_RDONLY | O_CLOEXEC);
  TTALib::TTADecoder D;
  bool Caught = false;
  try {
    L.DecConstruct(&D, Fd);
    L.DecDestruct(&D);
  } catch (const std::exception& E) {
    Caught = true;
    EXPECT_STREQ(E.what(), "Not a TTA file or unknown format: no TTA1 header");
  }
  close(Fd);
  EXPECT_TRUE(Caught);
}

} // namespace
