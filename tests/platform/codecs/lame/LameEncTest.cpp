// liblame_enc.so, loaded by file name from the test program's folder as the engine
// loads it, checked against Debian's lame, ffmpeg and ffprobe.

#include "platform/codecs/lame/LameEnc.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Tools.h"

namespace {

struct TApi {
  decltype(&beInitStream) InitStream = nullptr;
  decltype(&beEncodeChunk) EncodeChunk = nullptr;
  decltype(&beDeinitStream) DeinitStream = nullptr;
  decltype(&beFlushNoGap) FlushNoGap = nullptr;
  decltype(&beCloseStream) CloseStream = nullptr;
  decltype(&beWriteVBRHeader) WriteVBRHeader = nullptr;
  decltype(&beWriteInfoTag) WriteInfoTag = nullptr;
  std::string Error;
};

const TApi& Lib() {
  static const TApi api = [] {
    TApi a;
    const std::string path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "liblame_enc.so";
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
      a.Error = dlerror();
      return a;
    }
    auto bind = [&](const char* Name, auto& Fn) {
      Fn = reinterpret_cast<std::remove_reference_t<decltype(Fn)>>(dlsym(h, Name));
      if (!Fn) a.Error += std::string(Name) + " is missing; ";
    };
    bind("beInitStream", a.InitStream);
    bind("beEncodeChunk", a.EncodeChunk);
    bind("beDeinitStream", a.DeinitStream);
    bind("beFlushNoGap", a.FlushNoGap);
    bind("beCloseStream", a.CloseStream);
    bind("beWriteVBRHeader", a.WriteVBRHeader);
    bind("beWriteInfoTag", a.WriteInfoTag);
    return a;
  }();
  return api;
}

#define REQUIRE_LIB() ASSERT_EQ(Lib().Error, "")

using testsupport::Quote;
using testsupport::ReadFile;
using testsupport::RequireTools;
using testsupport::WriteFile;
using TempDir = testsupport::TTempDir;

// A command's exit code, its output in Out.
int Shell(const std::string& Command, std::string* Out = nullptr) {
  testsupport::TRunResult r = testsupport::RunTool(Command);
  if (Out) *Out = std::move(r.Output);
  return r.ExitCode;
}

// 16-bit little-endian PCM made by sox.
std::vector<int16_t> MakePcm(const TempDir& Dir, int Channels, int Rate, const std::string& Length,
                             const std::string& Name = "src.raw") {
  const std::string raw = Dir.Path(Name);
  EXPECT_EQ(Shell("sox -D -n -r " + std::to_string(Rate) + " -b 16 -e signed-integer -c " + std::to_string(Channels) +
                  " -t raw " + Quote(raw) + " synth " + Length + " sine 200-5000 pinknoise gain -3"),
            0);
  return testsupport::AsInt16(ReadFile(raw));
}

BE_CONFIG Config(uint32_t Rate, int32_t Mode, uint32_t Channels) {
  BE_CONFIG c;
  std::memset(&c, 0, sizeof c);
  c.dwConfig = BE_CONFIG_LAME;
  c.format.LHV1.dwStructVersion = 1;
  c.format.LHV1.dwStructSize = 331;
  c.format.LHV1.dwSampleRate = Rate;
  c.format.LHV1.nMode = Mode;
  c.format.LHV1.dwBitrate = 128;
  c.format.LHV1.bOriginal = 1;
  c.format.LHV1.nVbrMethod = VBR_METHOD_NEW;
  c.format.LHV1.dwChannels = Channels;
  return c;
}

struct TStream {
  HBE_STREAM Handle = 0;
  uint32_t Samples = 0, BufferSize = 0;
  std::vector<uint8_t> Out;
  size_t At = 0;  // samples fed so far
};

BE_ERR Open(BE_CONFIG& C, TStream& S) { return Lib().InitStream(&C, &S.Samples, &S.BufferSize, &S.Handle); }

// Feeds one chunk; false when all is fed.
bool Feed(TStream& S, const std::vector<int16_t>& Pcm) {
  if (S.At >= Pcm.size()) return false;
  const uint32_t n = uint32_t(std::min<size_t>(S.Samples, Pcm.size() - S.At));
  std::vector<uint8_t> buf(S.BufferSize);
  uint32_t got = 0;
  EXPECT_EQ(Lib().EncodeChunk(S.Handle, n, const_cast<int16_t*>(Pcm.data() + S.At), buf.data(), &got), 0u);
  EXPECT_LE(got, S.BufferSize);
  S.Out.insert(S.Out.end(), buf.begin(), buf.begin() + got);
  S.At += n;
  return true;
}

void End(TStream& S) {
  std::vector<uint8_t> buf(S.BufferSize);
  uint32_t got = 0;
  EXPECT_EQ(Lib().DeinitStream(S.Handle, buf.data(), &got), 0u);
  S.Out.insert(S.Out.end(), buf.begin(), buf.begin() + got);
  EXPECT_EQ(Lib().CloseStream(S.Handle), 0u);
}

std::vector<uint8_t> EncodeAll(BE_CONFIG C, const std::vector<int16_t>& Pcm) {
  TStream s;
  EXPECT_EQ(Open(C, s), 0u);
  while (Feed(s, Pcm)) {
  }
  End(s);
  return s.Out;
}

int64_t DecodedSamples(const std::string& Mp3) {
  std::string out;
  EXPECT_EQ(Shell("ffmpeg -v error -i " + Quote(Mp3) + " -f s16le - | wc -c", &out), 0);
  return std::stoll(out) / 2;
}

}  // namespace

TEST(LameEncTest, ConfigurationRecordIsCheckedAndSizesReported) {
  REQUIRE_LIB();
  TStream s;
  BE_CONFIG c = Config(44100, BE_MP3_MODE_JSTEREO, 0);
  ASSERT_EQ(Open(c, s), 0u);
  EXPECT_EQ(s.Samples, 2304u);  // one frame of 1152 per channel
  EXPECT_GE(s.BufferSize, 1152u * 5 / 4 + 7200);
  EXPECT_EQ(Lib().CloseStream(s.Handle), 0u);
  c = Config(44100, BE_MP3_MODE_MONO, 0);
  ASSERT_EQ(Open(c, s), 0u);
  EXPECT_EQ(s.Samples, 1152u);
  Lib().CloseStream(s.Handle);
  c = Config(22050, BE_MP3_MODE_STEREO, 2);  // MPEG-2: 576 per frame
  ASSERT_EQ(Open(c, s), 0u);
  EXPECT_EQ(s.Samples, 1152u);
  Lib().CloseStream(s.Handle);

  struct TBad {
    const char* What;
    void (*Spoil)(BE_CONFIG&);
    BE_ERR Expect;
  } bad[] = {
      {"kind", [](BE_CONFIG& C) { C.dwConfig = 0; }, BE_ERR_INVALID_FORMAT},
      {"version", [](BE_CONFIG& C) { C.format.LHV1.dwStructVersion = 2; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
      {"size", [](BE_CONFIG& C) { C.format.LHV1.dwStructSize = 330; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
      {"rate", [](BE_CONFIG& C) { C.format.LHV1.dwSampleRate = 0; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
      {"mode", [](BE_CONFIG& C) { C.format.LHV1.nMode = 4; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
      {"channels", [](BE_CONFIG& C) { C.format.LHV1.dwChannels = 3; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
      {"preset", [](BE_CONFIG& C) { C.format.LHV1.nPreset = 5; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
      {"vbr quality", [](BE_CONFIG& C) { C.format.LHV1.nVBRQuality = 10; }, BE_ERR_INVALID_FORMAT_PARAMETERS},
  };
  for (const TBad& b : bad) {
    BE_CONFIG x = Config(44100, BE_MP3_MODE_STEREO, 2);
    b.Spoil(x);
    EXPECT_EQ(Open(x, s), b.Expect) << b.What;
  }
  uint32_t n, size;
  EXPECT_EQ(Lib().InitStream(nullptr, &n, &size, &s.Handle), BE_ERR_INVALID_FORMAT_PARAMETERS);
}

TEST(LameEncTest, HandlesAreCheckedAndChunksBounded) {
  REQUIRE_LIB();
  BE_CONFIG c = Config(44100, BE_MP3_MODE_STEREO, 2);
  TStream a, b;
  ASSERT_EQ(Open(c, a), 0u);
  ASSERT_EQ(Open(c, b), 0u);
  EXPECT_NE(a.Handle, b.Handle);
  std::vector<int16_t> pcm(a.Samples * 2);
  std::vector<uint8_t> out(a.BufferSize);
  uint32_t got = 99;
  EXPECT_EQ(Lib().EncodeChunk(a.Handle, a.Samples + 2, pcm.data(), out.data(), &got), BE_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(Lib().CloseStream(a.Handle), 0u);
  EXPECT_EQ(Lib().CloseStream(a.Handle), BE_ERR_INVALID_HANDLE);
  EXPECT_EQ(Lib().EncodeChunk(a.Handle, 4, pcm.data(), out.data(), &got), BE_ERR_INVALID_HANDLE);
  EXPECT_EQ(Lib().DeinitStream(a.Handle, out.data(), &got), BE_ERR_INVALID_HANDLE);
  EXPECT_EQ(Lib().EncodeChunk(0, 4, pcm.data(), out.data(), &got), BE_ERR_INVALID_HANDLE);
  // b is unaffected by a's end.
  EXPECT_EQ(Lib().EncodeChunk(b.Handle, b.Samples, pcm.data(), out.data(), &got), 0u);
  EXPECT_EQ(Lib().CloseStream(b.Handle), 0u);
  // No stream closed with a tag on this thread: nothing to write.
  EXPECT_EQ(Lib().WriteVBRHeader("/nonexistent/file.mp3"), BE_ERR_INVALID_HANDLE);
}

TEST(LameEncTest, ConstantRateStreamsAreWhatLameMakes) {
  REQUIRE_LIB();
  RequireTools({"sox", "lame"});
  TempDir dir;
  const std::vector<int16_t> pcm = MakePcm(dir, 2, 44100, "2.5");
  struct TCase {
    int32_t Mode;
    uint32_t Rate;
    bool Crc, NoRes, Original;
    const char* Options;
  } cases[] = {{BE_MP3_MODE_STEREO, 128, false, true, true, "-m s -b 128 --nores"},
               {BE_MP3_MODE_JSTEREO, 192, true, false, false, "-m j -b 192 -p -o"},
               {BE_MP3_MODE_DUALCHANNEL, 256, false, false, true, "-m d -b 256"}};
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Options);
    BE_CONFIG c = Config(44100, k.Mode, 2);
    c.format.LHV1.dwBitrate = k.Rate;
    c.format.LHV1.bCRC = k.Crc;
    c.format.LHV1.bNoRes = k.NoRes ? -1 : 0;
    c.format.LHV1.bOriginal = k.Original;
    const std::vector<uint8_t> ours = EncodeAll(c, pcm);
    std::string log;
    ASSERT_EQ(Shell(std::string("lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -t ") + k.Options +
                        " " + Quote(dir.Path("src.raw")) + " " + Quote(dir.Path("lame.mp3")),
                    &log),
              0)
        << log;
    EXPECT_TRUE(ours == ReadFile(dir.Path("lame.mp3")));
  }
}

TEST(LameEncTest, StreamsKeepTheirOwnStateWhenInterleaved) {
  REQUIRE_LIB();
  RequireTools({"sox"});
  TempDir dir;
  const std::vector<int16_t> x = MakePcm(dir, 2, 44100, "1.5", "x.raw");
  const std::vector<int16_t> y = MakePcm(dir, 1, 32000, "2.1", "y.raw");
  BE_CONFIG cx = Config(44100, BE_MP3_MODE_JSTEREO, 2), cy = Config(32000, BE_MP3_MODE_MONO, 1);
  cx.format.LHV1.bEnableVBR = 1;
  cx.format.LHV1.nVBRQuality = 3;
  const std::vector<uint8_t> aloneX = EncodeAll(cx, x), aloneY = EncodeAll(cy, y);
  TStream sx, sy;
  ASSERT_EQ(Open(cx, sx), 0u);
  ASSERT_EQ(Open(cy, sy), 0u);
  bool more = true;
  while (more) {
    more = Feed(sx, x);
    more = Feed(sy, y) || more;
  }
  End(sy);
  End(sx);
  EXPECT_TRUE(sx.Out == aloneX);
  EXPECT_TRUE(sy.Out == aloneY);
}

TEST(LameEncTest, VbrHeaderGivesTheExactLengthAndGoesAfterAnId3v2Tag) {
  REQUIRE_LIB();
  RequireTools({"sox", "ffmpeg", "ffprobe", "id3v2"});
  TempDir dir;
  const std::vector<int16_t> pcm = MakePcm(dir, 2, 44100, "3.21");
  BE_CONFIG c = Config(44100, BE_MP3_MODE_JSTEREO, 2);
  c.format.LHV1.bEnableVBR = 1;
  c.format.LHV1.bWriteVBRHeader = 1;
  c.format.LHV1.nVBRQuality = 4;
  c.format.LHV1.dwBitrate = 32;
  const std::vector<uint8_t> mp3 = EncodeAll(c, pcm);
  const std::string file = dir.Path("v.mp3");
  WriteFile(file, mp3);
  // Before: a reserved frame without the tag; the length is a guess.
  ASSERT_EQ(std::string(mp3.begin(), mp3.begin() + 200).find("Xing"), std::string::npos);
  // Something put in front of the audio (an ID3v2 tag) must not be overwritten.
  ASSERT_EQ(Shell("id3v2 -2 -t 'Title in front' " + Quote(file)), 0);
  const std::vector<uint8_t> tagged = ReadFile(file);
  ASSERT_EQ(std::string(tagged.begin(), tagged.begin() + 3), "ID3");
  EXPECT_EQ(Lib().WriteVBRHeader(file.c_str()), 0u);
  const std::vector<uint8_t> after = ReadFile(file);
  ASSERT_EQ(after.size(), tagged.size());
  // id3v2 pads its tag (to round file sizes), so the first frame starts after the
  // tag's own size, not at a fixed place.
  const size_t tagEnd = 10 + ((size_t(after[6]) << 21) | (size_t(after[7]) << 14) |
                              (size_t(after[8]) << 7) | size_t(after[9]));
  ASSERT_LT(tagEnd + 600, after.size());
  const std::string head(after.begin() + tagEnd, after.begin() + tagEnd + 600);
  EXPECT_EQ(uint8_t(head[0]), 0xFF);  // the tag frame is the first frame after the ID3v2 tag
  EXPECT_NE(head.find("Xing"), std::string::npos);
  EXPECT_NE(head.find("LAME3."), std::string::npos);
  EXPECT_EQ(DecodedSamples(file), int64_t(pcm.size()));
  std::string listing;
  Shell("id3v2 -l " + Quote(file), &listing);
  EXPECT_NE(listing.find("Title in front"), std::string::npos) << listing;
  // The tag is written once: a second call has nothing left to write.
  EXPECT_EQ(Lib().WriteVBRHeader(file.c_str()), BE_ERR_INVALID_HANDLE);
}

TEST(LameEncTest, VbrHeaderLeavesOtherFilesAlone) {
  REQUIRE_LIB();
  RequireTools({"sox"});
  TempDir dir;
  const std::vector<int16_t> pcm = MakePcm(dir, 2, 44100, "1");
  // A file from another encoder setting: its first frame is not this stream's.
  BE_CONFIG cbr = Config(48000, BE_MP3_MODE_STEREO, 2);
  cbr.format.LHV1.dwBitrate = 320;
  const std::vector<uint8_t> other = EncodeAll(cbr, pcm);
  WriteFile(dir.Path("other.mp3"), other);
  WriteFile(dir.Path("text.mp3"), std::vector<uint8_t>(5000, 'x'));
  BE_CONFIG c = Config(44100, BE_MP3_MODE_STEREO, 2);
  c.format.LHV1.bEnableVBR = c.format.LHV1.bWriteVBRHeader = 1;
  EncodeAll(c, pcm);
  EXPECT_NE(Lib().WriteVBRHeader(dir.Path("other.mp3").c_str()), 0u);
  EXPECT_NE(Lib().WriteVBRHeader(dir.Path("text.mp3").c_str()), 0u);
  EXPECT_NE(Lib().WriteVBRHeader(dir.Path("missing.mp3").c_str()), 0u);
  EXPECT_TRUE(ReadFile(dir.Path("other.mp3")) == other);
  EXPECT_EQ(ReadFile(dir.Path("text.mp3")), std::vector<uint8_t>(5000, 'x'));
}

TEST(LameEncTest, EachThreadWritesTheTagOfItsOwnStream) {
  REQUIRE_LIB();
  RequireTools({"sox", "ffmpeg"});
  TempDir dir;
  const std::vector<int16_t> a = MakePcm(dir, 2, 44100, "2.3", "a.raw"), b = MakePcm(dir, 2, 44100, "4.7", "b.raw");
  BE_ERR ra = 99, rb = 99;
  auto job = [&](const std::vector<int16_t>& Pcm, const std::string& File, BE_ERR& R) {
    BE_CONFIG c = Config(44100, BE_MP3_MODE_JSTEREO, 2);
    c.format.LHV1.bEnableVBR = c.format.LHV1.bWriteVBRHeader = 1;
    c.format.LHV1.nVBRQuality = 5;
    WriteFile(File, EncodeAll(c, Pcm));
    R = Lib().WriteVBRHeader(File.c_str());
  };
  std::thread ta(job, std::cref(a), dir.Path("a.mp3"), std::ref(ra));
  std::thread tb(job, std::cref(b), dir.Path("b.mp3"), std::ref(rb));
  ta.join();
  tb.join();
  EXPECT_EQ(ra, 0u);
  EXPECT_EQ(rb, 0u);
  EXPECT_EQ(DecodedSamples(dir.Path("a.mp3")), int64_t(a.size()));
  EXPECT_EQ(DecodedSamples(dir.Path("b.mp3")), int64_t(b.size()));
}
