// Decoding Musepack files with TMPCIn, checked against mpcdec.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "MPCTestSupport.h"

using namespace testsupport;
using namespace MPCTests;

namespace {

struct Case {
  double Quality;
  int Channels;
  int Rate;
};

// Each sample within one step of mpcdec's (it scales by 32768, we by 32767).
void ExpectNear16(const std::vector<int16_t>& Ours, const std::vector<int16_t>& Ref, size_t RefOffset = 0) {
  ASSERT_LE(RefOffset + Ours.size(), Ref.size());
  size_t bad = 0, first = 0;
  for (size_t i = 0; i < Ours.size(); ++i)
    if (std::abs(int(Ours[i]) - int(Ref[RefOffset + i])) > 1 && bad++ == 0) first = i;
  EXPECT_EQ(bad, 0u) << "first difference at sample " << first << ": " << Ours[first] << " against "
                     << Ref[RefOffset + first];
}

std::vector<int32_t> Unpack(const std::vector<uint8_t>& Data, int Bits) {
  const size_t width = size_t(Bits / 8);
  std::vector<int32_t> v(Data.size() / width);
  for (size_t i = 0; i < v.size(); ++i) {
    const uint8_t* p = Data.data() + i * width;
    switch (width) {
      case 1: v[i] = p[0]; break;
      case 2: v[i] = int16_t(p[0] | p[1] << 8); break;
      case 3: v[i] = int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8; break;
      default: std::memcpy(&v[i], p, 4); break;
    }
  }
  return v;
}

}  // namespace

TEST(MPCInTest, DecodesMpcencFilesLikeMpcdec) {
  RequireTools({"sox", "mpcenc", "mpcdec"});
  TTempDir dir;
  const Case cases[] = {{2.0, 1, 44100}, {5.0, 2, 48000}, {8.0, 2, 44100}, {10.0, 1, 48000}};
  for (const Case& c : cases) {
    SCOPED_TRACE("quality " + std::to_string(c.Quality) + ", " + std::to_string(c.Channels) + " channels, " +
                 std::to_string(c.Rate) + " Hz");
    // An odd length, so the last frame is a short one.
    const std::string raw = MakeRaw(dir, "src" + std::to_string(c.Rate) + std::to_string(c.Channels) + ".raw", 16,
                                    c.Channels, c.Rate, 2.3456);
    const std::string mpc = EncodeWithMpcenc(RawToWav(raw, 16, c.Channels, c.Rate), raw + ".mpc", c.Quality);
    const std::vector<int16_t> ref = DecodeWithMpcdec(mpc);
    const Decoded d = DecodeWithOurs(mpc);
    ASSERT_EQ(d.Error, "");
    EXPECT_EQ(d.Rate, c.Rate);
    EXPECT_EQ(d.Channels, c.Channels);
    EXPECT_EQ(d.Bits, 16);
    const std::vector<int16_t> ours = AsInt16(d.Data);
    // mpcdec's sample count, which is also the source's.
    ASSERT_EQ(ours.size(), ref.size());
    EXPECT_EQ(int64_t(ours.size()), int64_t(std::llround(2.3456 * c.Rate)) * c.Channels);
    EXPECT_EQ(d.Size, int64_t(d.Data.size()));
    ExpectNear16(ours, ref);
  }
}

TEST(MPCInTest, SeeksToTheReferenceSlice) {
  RequireTools({"sox", "mpcenc", "mpcdec"});
  TTempDir dir;
  const std::string raw = MakeRaw(dir, "seek.raw", 16, 2, 44100, 3.0);
  const std::string mpc = EncodeWithMpcenc(RawToWav(raw, 16, 2, 44100), dir.Path("seek.mpc"), 5.0);
  const std::vector<int16_t> ref = DecodeWithMpcdec(mpc);
  // Starts inside a frame, inside a packet, and at a frame edge; ends inside one.
  const int64_t ranges[][2] = {{1, 999}, {77777, 100000}, {1152 * 64, -1}, {130000, 132299}};
  for (const auto& r : ranges) {
    SCOPED_TRACE("range " + std::to_string(r[0]) + " to " + std::to_string(r[1]));
    const Decoded d = DecodeWithOurs(mpc, 16, r[0], r[1]);
    ASSERT_EQ(d.Error, "");
    const int64_t end = r[1] < 0 ? int64_t(ref.size() / 2) : r[1] + 1;
    const std::vector<int16_t> ours = AsInt16(d.Data);
    ASSERT_EQ(int64_t(ours.size()), (end - r[0]) * 2);
    ExpectNear16(ours, ref, size_t(r[0]) * 2);
  }

  // A seek while reading drops what was decoded but not yet delivered.
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TMPCIn(owner.get());
  auto* out = new TCollectOut(owner.get());
  in->SetFileName(mpc);
  out->SetInput(in);
  out->BlockSize = 4000;
  out->OnBlock = [in](int Block) {
    if (Block == 2) {
      EXPECT_TRUE(in->Seek(50000));
    }
  };
  ASSERT_EQ(RunOutput(*out), "");
  const std::vector<int16_t> ours = AsInt16(out->Data);
  ASSERT_EQ(ours.size(), 4000 + (ref.size() - 100000));
  ExpectNear16(std::vector<int16_t>(ours.begin(), ours.begin() + 4000), ref, 0);
  ExpectNear16(std::vector<int16_t>(ours.begin() + 4000, ours.end()), ref, 100000);
}

TEST(MPCInTest, WideAndNarrowOutputClipsWithoutWrapping) {
  RequireTools({"sox", "mpcenc"});
  TTempDir dir;
  // A sine just below full scale and a full-scale square: decoded samples come out
  // just below, at and beyond +-1.0.
  const std::string raw = dir.Path("loud.raw");
  std::string log;
  ASSERT_TRUE(RunOk("sox -n -t raw -r 44100 -c 2 -b 16 -e signed-integer -L " + Quote(raw) +
                        " synth 2 sine 441 square 300 vol 0.9995",
                    &log))
      << log;
  const std::string mpc = EncodeWithMpcenc(RawToWav(raw, 16, 2, 44100), dir.Path("loud.mpc"), 6.0);
  const Decoded d16 = DecodeWithOurs(mpc, 16);
  ASSERT_EQ(d16.Error, "");
  const std::vector<int32_t> s16 = Unpack(d16.Data, 16);
  int32_t min16 = 0, max16 = 0;
  for (int32_t v : s16) {
    min16 = std::min(min16, v);
    max16 = std::max(max16, v);
  }
  ASSERT_EQ(min16, -32768) << "the fixture must reach below -1.0";
  ASSERT_EQ(max16, 32767) << "the fixture must reach beyond +1.0";

  struct Width {
    int Bits;
    double Scale;      // against the 16-bit value
    double Tolerance;  // the 16-bit rounding, scaled, and one step
    int64_t Min, Max;
  };
  const Width widths[] = {{8, 128.0 / 32767.0, 1.01, 0, 255},
                          {24, 8388607.99 / 32767.0, 260.0, -8388608, 8388607},
                          {32, 2147483647.0 / 32767.0, 66000.0, INT32_MIN, INT32_MAX}};
  for (const Width& w : widths) {
    SCOPED_TRACE(std::to_string(w.Bits) + " bits");
    const Decoded d = DecodeWithOurs(mpc, uint32_t(w.Bits));
    ASSERT_EQ(d.Error, "");
    EXPECT_EQ(d.Bits, w.Bits);
    EXPECT_EQ(d.Size, int64_t(d.Data.size()));
    const std::vector<int32_t> s = Unpack(d.Data, w.Bits);
    ASSERT_EQ(s.size(), s16.size());
    const double offset = w.Bits == 8 ? 128.0 : 0.0;
    size_t bad = 0, first = 0;
    int64_t lo = INT64_MAX, hi = INT64_MIN;
    for (size_t i = 0; i < s.size(); ++i) {
      lo = std::min<int64_t>(lo, s[i]);
      hi = std::max<int64_t>(hi, s[i]);
      const double expected = std::clamp(s16[i] * w.Scale + offset, double(w.Min), double(w.Max));
      if (std::abs(s[i] - expected) > w.Tolerance && bad++ == 0) first = i;
    }
    EXPECT_EQ(bad, 0u) << "sample " << first << " is " << s[first] << " where the 16-bit one is " << s16[first];
    // Every width reaches its own extremes and no further.
    EXPECT_EQ(lo, w.Min);
    EXPECT_EQ(hi, w.Max);
  }
}

TEST(MPCInTest, DecodesAHandMadeStreamVersion7File) {
  RequireTools({"mpcdec"});
  TTempDir dir;
  const std::string path = dir.Path("sv7.mpc");
  {
    const std::vector<uint8_t> sv7 = MakeSV7(40, 0, false, 1);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(sv7.data()), std::streamsize(sv7.size()));
  }
  // Without true gapless the stream is its frames less the decoder's delay.
  const int64_t declared = DeclaredLength(path);
  EXPECT_EQ(declared, 40 * 1152 - 481);
  const std::vector<int16_t> ref = DecodeWithMpcdec(path);
  ASSERT_EQ(int64_t(ref.size()), declared * 2);
  for (uint32_t bits : {8u, 16u}) {
    const Decoded d = DecodeWithOurs(path, bits);
    ASSERT_EQ(d.Error, "");
    EXPECT_EQ(d.Rate, 48000);
    EXPECT_EQ(d.Channels, 2);
    ASSERT_EQ(int64_t(d.Data.size()), declared * 2 * (bits / 8));
    EXPECT_EQ(d.Size, int64_t(d.Data.size()));
    const uint8_t silence = bits == 8 ? 0x80 : 0;
    EXPECT_EQ(std::count(d.Data.begin(), d.Data.end(), silence), std::ptrdiff_t(d.Data.size()));
  }
}

TEST(MPCInTest, ReadsTheApeTagAndKeepsOutBitsPerSampleInRange) {
  RequireTools({"sox", "mpcenc"});
  TTempDir dir;
  const std::string raw = MakeRaw(dir, "tag.raw", 16, 2, 44100, 0.5);
  // mpcenc takes its tag values in the locale's character set.
  std::string log;
  ASSERT_TRUE(RunOk("LC_ALL=C.UTF-8 mpcenc --silent --tag 'Artist=Sigur Rós' --tag 'Title=Ágætis byrjun' "
                    "--tag Year=1999 --tag Track=7 " + Quote(RawToWav(raw, 16, 2, 44100)) + " " +
                        Quote(dir.Path("tag.mpc")),
                    &log))
      << log;
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TMPCIn(owner.get());
  in->SetFileName(dir.Path("tag.mpc"));
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->APEv2Tags()->Artist(), u"Sigur Rós");
  EXPECT_EQ(in->APEv2Tags()->Title(), u"Ágætis byrjun");
  EXPECT_EQ(in->APEv2Tags()->Year(), "1999");
  EXPECT_EQ(in->APEv2Tags()->Track(), "7");

  // The setter acts only while the file is closed.
  in->SetOutBitsPerSample(24);
  EXPECT_EQ(in->OutBitsPerSample(), 16u);
  EXPECT_EQ(in->BitsPerSample(), 16);
  in->CloseFile();
  const std::pair<uint32_t, uint32_t> settings[] = {{12, 16}, {40, 32}, {4, 8}, {0, 8}, {17, 24}, {32, 32}, {8, 8}};
  for (const auto& [given, kept] : settings) {
    in->SetOutBitsPerSample(given);
    EXPECT_EQ(in->OutBitsPerSample(), kept) << given;
  }
  EXPECT_EQ(in->BitsPerSample(), 8);  // opened again with the last setting
}

TEST(MPCInTest, RefusesWhatIsNoMusepackStream) {
  TTempDir dir;
  const std::string path = dir.Path("noise.mpc");
  {
    std::ofstream f(path, std::ios::binary);
    for (int i = 0; i < 5000; ++i) f.put(char(i * 37 + 11));
  }
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TMPCIn(owner.get());
  in->SetFileName(path);
  EXPECT_FALSE(in->Valid());
  try {
    in->OpenFile();
    ADD_FAILURE() << "no error";
  } catch (const EMPCDecException& E) {
    EXPECT_STREQ(E.what(), "Unable to read stream info!");
  }
  // A run fails cleanly, and the input is ready to be used again.
  auto* out = new TCollectOut(owner.get());
  out->SetInput(in);
  EXPECT_EQ(RunOutput(*out), "Unable to read stream info!");
  EXPECT_EQ(in->OpenCount(), 0);

  auto* unnamed = new TMPCIn(owner.get());
  try {
    unnamed->OpenFile();
    ADD_FAILURE() << "no error";
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "File name is not assigned");
  }
}

TEST(MPCInTest, TruncatedFileDeliversWhatIsThereThenFails) {
  RequireTools({"sox", "mpcenc", "mpcdec"});
  TTempDir dir;
  // Long enough that the cut falls after the first block (blocks of 1.67 s): a block
  // the decoder could not check whole is not delivered.
  const std::string raw = MakeRaw(dir, "cut.raw", 16, 2, 44100, 6.0);
  const std::string mpc = EncodeWithMpcenc(RawToWav(raw, 16, 2, 44100), dir.Path("cut.mpc"), 5.0);
  const std::vector<int16_t> ref = DecodeWithMpcdec(mpc);
  std::vector<uint8_t> bytes = ReadFile(mpc);
  bytes.resize(bytes.size() / 2);
  const std::string cut = dir.Path("half.mpc");
  std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  const Decoded d = DecodeWithOurs(cut);
  const std::vector<int16_t> ours = AsInt16(d.Data);
  // What is there decodes as in the whole file; then the damage is reported, not
  // passed off as the end of the data.
  ASSERT_GT(ours.size(), ref.size() / 4);
  ASSERT_LT(ours.size(), ref.size());
  // Every frame decoded before the error was delivered.
  EXPECT_EQ(d.Error, DecodingErrorMessage("Musepack", cut, static_cast<int64_t>(ours.size() / 2), 44100));
  ExpectNear16(ours, ref);
}

TEST(MPCInTest, MissingLibraryAndEntryPointsAreReported) {
  RequireTools({"sox", "mpcenc"});
  TTempDir dir;
  const std::string raw = MakeRaw(dir, "lib.raw", 16, 2, 44100, 0.3);
  const std::string mpc = EncodeWithMpcenc(RawToWav(raw, 16, 2, 44100), dir.Path("lib.mpc"), 5.0);
  TCodecLibrary& lib = MPCDecLibrary();
  const std::string name = lib.FileName();
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TMPCIn(owner.get());
  in->SetFileName(mpc);

  lib.Unload();
  {
    TFileStream s(mpc, fmOpenRead);
    try {
      TMPCDecoder dec(&s);
      ADD_FAILURE() << "no error";
    } catch (const EMPCDecException& E) {
      EXPECT_EQ(std::string(E.what()), "MPC decoding library \"" + name + "\" not loaded!");
    }
  }

  lib.SetFileName("libsonvix-missing-mpdec.so");
  try {
    in->OpenFile();
    ADD_FAILURE() << "no error";
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "libsonvix-missing-mpdec.so library could not be loaded.");
  }
  EXPECT_FALSE(in->Valid());

  // A library without the entry points: each is checked before its call.
  lib.SetFileName("libm.so.6");
  try {
    in->OpenFile();
    ADD_FAILURE() << "no error";
  } catch (const EMPCDecException& E) {
    EXPECT_STREQ(E.what(), "Function \"mpc_streaminfo_init\" not found in MPC decoding library!");
  }
  lib.Unload();
  lib.SetFileName(name);
  EXPECT_TRUE(in->Valid());
  EXPECT_EQ(in->SampleRate(), 44100);
}
