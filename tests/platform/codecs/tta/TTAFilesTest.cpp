// The library's exported set and its whole-file helpers: WAV to TTA, TTA to WAV, the
// integrity test, the WAV reader and writer, and the error texts.

#include "TTATestSupport.h"

#include <dlfcn.h>
#include <filesystem>
#include <set>

using namespace TTATests;
using namespace TTALib;

namespace {

class TTAFiles : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Lib().Error.empty()) << Lib().Error;
    REQUIRE_TOOL("sox");
    REQUIRE_TOOL("ffmpeg");
  }
  // Samples of an audio file as raw bytes, read by sox.
  std::vector<uint8_t> SoxRaw(const std::string& Path, int Bits) {
    std::string Out = Dir.Path("sox-" + std::to_string(++FCount) + ".raw"), Log;
    std::string Enc = Bits == 8 ? "-e unsigned-integer" : Bits == 32 ? "-e floating-point" : "-e signed-integer";
    EXPECT_TRUE(RunOk("sox " + Quote(Path) + " -b " + std::to_string(Bits) + " " + Enc + " -t raw " + Quote(Out), &Log))
        << Log;
    return ReadFile(Out);
  }
  const Api& L = Lib();
  TempDir Dir;
  int FCount = 0;
};

TEST(TTALibExports, EveryEntryPointIsBoundByItsLabel) {
  ASSERT_TRUE(Lib().Error.empty()) << Lib().Error;
  std::set<std::string> Labels, Symbols;
  for (const TTALibEntry& E : TTALibEntryPoints) {
    EXPECT_TRUE(Labels.insert(E.Label).second) << E.Label;
    EXPECT_TRUE(Symbols.insert(E.Symbol).second) << E.Symbol;
    EXPECT_NE(dlsym(Lib().Handle, E.Symbol), nullptr) << E.Label;
  }
  // the labels the engine reports when an entry point is missing
  for (const char* Label : {"TTADecoder::TTADecoder", "TTADecoder::~TTADecoder", "TTADecoder::GetNumChannels",
                            "TTADecoder::GetBitsPerSample", "TTADecoder::GetSampleRate", "TTADecoder::GetDataLength",
                            "TTADecoder_GetBlock", "TTAEncoder::TTAEncoder", "TTAEncoder::~TTAEncoder",
                            "TTAEncoder_CompressBlock"})
    EXPECT_NE(TTALibSymbol(Label), nullptr) << Label;
  EXPECT_EQ(TTALibSymbol("TTADecoder::Seek"), nullptr);
  EXPECT_EQ(std::size(TTALibEntryPoints), 33u);
}

TEST(TTALibExports, ErrorTextsAreEnglishAndDistinct) {
  ASSERT_TRUE(Lib().Error.empty()) << Lib().Error;
  std::set<std::string> Texts;
  for (int32_t Code = TTA_NO_ERROR; Code <= TTA_TOO_LONG; ++Code) {
    std::string T = Lib().GetErrStr(Code);
    EXPECT_FALSE(T.empty());
    EXPECT_TRUE(Texts.insert(T).second) << T;
  }
  EXPECT_STREQ(Lib().GetErrStr(TTA_NO_ERROR), "No error");
  EXPECT_STREQ(Lib().GetErrStr(TTA_FILE_ERROR), "File is corrupted");
  EXPECT_STREQ(Lib().GetErrStr(12345), "Unknown error");
  EXPECT_STREQ(Lib().GetErrStr(-1), "Unknown error");
}

TEST_F(TTAFiles, Wav2TTAGivesFilesFfmpegDecodesBitExact) {
  struct Case {
    int Bits, Channels;
  } Cases[] = {{8, 1}, {16, 2}, {24, 6}};
  for (const Case& C : Cases) {
    std::string Wav = Dir.Path("in" + std::to_string(C.Bits) + ".wav"), Tta = Dir.Path("out.tta"), Log;
    std::string Gen;
    for (int I = 0; I < C.Channels; ++I) Gen += I % 2 ? " pinknoise" : " sine " + std::to_string(300 + 100 * I);
    ASSERT_TRUE(RunOk("sox -n -r 32000 -b " + std::to_string(C.Bits) + " -c " + std::to_string(C.Channels) + " " +
                          Quote(Wav) + " synth 1.7" + Gen + " vol 0.8",
                      &Log))
        << Log;
    int Calls = 0;
    auto Progress = [](const TTAStat* S, void* User) {
      ++*static_cast<int*>(User);
      return S->Samples <= S->DataLength;
    };
    ASSERT_EQ(L.Wav2TTA(Wav.c_str(), Tta.c_str(), false, Progress, &Calls), TTA_NO_ERROR) << C.Bits;
    EXPECT_EQ(Calls, 2) << "one call per frame";
    ASSERT_EQ(L.TTATest(Tta.c_str(), nullptr, nullptr), TTA_NO_ERROR);
    std::string Back = Dir.Path("back.wav");
    ASSERT_TRUE(RunOk("ffmpeg -v error -y -i " + Quote(Tta) + " -c:a pcm_" + (C.Bits == 8 ? "u8" : "s" + std::to_string(C.Bits) + "le") +
                          " " + Quote(Back),
                      &Log))
        << Log;
    EXPECT_TRUE(SoxRaw(Back, C.Bits) == SoxRaw(Wav, C.Bits)) << C.Bits << "-bit, " << C.Channels << " channels";
  }
}

TEST_F(TTAFiles, TTA2WavWritesWhatFfmpegEncoded) {
  std::string Wav = Dir.Path("in.wav"), Tta = Dir.Path("ff.tta"), Out = Dir.Path("out.wav"), Log;
  ASSERT_TRUE(RunOk("sox -n -r 44100 -b 24 -c 2 " + Quote(Wav) + " synth 1.3 sine 500 brownnoise", &Log)) << Log;
  ASSERT_TRUE(RunOk("ffmpeg -v error -y -i " + Quote(Wav) + " -c:a tta " + Quote(Tta), &Log)) << Log;
  ASSERT_EQ(L.TTA2Wav(Tta.c_str(), Out.c_str(), nullptr, nullptr), TTA_NO_ERROR);
  EXPECT_TRUE(SoxRaw(Out, 24) == SoxRaw(Wav, 24));
  std::string Info;
  ASSERT_TRUE(RunOk("soxi -b " + Quote(Out), &Info));
  EXPECT_EQ(Info, "24\n");
}

TEST_F(TTAFiles, FloatWavFilesGoThroughOurPairUnchanged) {
  std::string Wav = Dir.Path("f.wav"), Tta = Dir.Path("f.tta"), Out = Dir.Path("f-out.wav"), Log;
  ASSERT_TRUE(RunOk("sox -n -r 44100 -e floating-point -b 32 -c 2 " + Quote(Wav) + " synth 1.1 sine 300 pinknoise",
                    &Log))
      << Log;
  ASSERT_EQ(L.Wav2TTA(Wav.c_str(), Tta.c_str(), false, nullptr, nullptr), TTA_NO_ERROR);
  ASSERT_EQ(L.TTA2Wav(Tta.c_str(), Out.c_str(), nullptr, nullptr), TTA_NO_ERROR);
  EXPECT_TRUE(SoxRaw(Out, 32) == SoxRaw(Wav, 32));
  std::string Info;
  ASSERT_TRUE(RunOk("soxi -e " + Quote(Out), &Info));
  EXPECT_EQ(Info, "Floating Point PCM\n");
}

TEST_F(TTAFiles, FailedOrCancelledRunsLeaveNoOutput) {
  std::string Wav = Dir.Path("in.wav"), Tta = Dir.Path("out.tta"), Log;
  EXPECT_EQ(L.Wav2TTA(Dir.Path("missing.wav").c_str(), Tta.c_str(), false, nullptr, nullptr), TTA_OPEN_ERROR);
  EXPECT_FALSE(std::filesystem::exists(Tta));

  ASSERT_TRUE(RunOk("sox -n -r 44100 -b 16 -c 2 " + Quote(Wav) + " synth 3 sine 440", &Log)) << Log;
  auto Stop = [](const TTAStat*, void*) { return false; };
  EXPECT_EQ(L.Wav2TTA(Wav.c_str(), Tta.c_str(), false, Stop, nullptr), TTA_CANCELLED);
  EXPECT_FALSE(std::filesystem::exists(Tta));

  // a WAV file is no TTA file
  std::string Back = Dir.Path("back.wav");
  EXPECT_EQ(L.TTA2Wav(Wav.c_str(), Back.c_str(), nullptr, nullptr), TTA_FORMAT_ERROR);
  EXPECT_FALSE(std::filesystem::exists(Back));
  EXPECT_EQ(L.TTATest(Wav.c_str(), nullptr, nullptr), TTA_FORMAT_ERROR);
  EXPECT_EQ(L.TTATest(Dir.Path("missing.tta").c_str(), nullptr, nullptr), TTA_OPEN_ERROR);
  EXPECT_EQ(L.Wav2TTA(nullptr, Tta.c_str(), false, nullptr, nullptr), TTA_INVALID_ARGUMENT);

  // 32-bit integer WAV data is not a TTA format
  std::string Wav32 = Dir.Path("i32.wav");
  ASSERT_TRUE(RunOk("sox -n -r 8000 -b 32 -e signed-integer " + Quote(Wav32) + " synth 0.1 sine 100", &Log)) << Log;
  EXPECT_EQ(L.Wav2TTA(Wav32.c_str(), Tta.c_str(), false, nullptr, nullptr), TTA_UNSUPPORTED);
  EXPECT_FALSE(std::filesystem::exists(Tta));
}

TEST_F(TTAFiles, TTATestFindsDamage) {
  std::string Wav = Dir.Path("in.wav"), Tta = Dir.Path("t.tta"), Log;
  ASSERT_TRUE(RunOk("sox -n -r 44100 -b 16 -c 1 " + Quote(Wav) + " synth 2.2 sine 440 vol 0.5", &Log)) << Log;
  ASSERT_EQ(L.Wav2TTA(Wav.c_str(), Tta.c_str(), false, nullptr, nullptr), TTA_NO_ERROR);
  EXPECT_EQ(L.TTATest(Tta.c_str(), nullptr, nullptr), TTA_NO_ERROR);
  std::vector<uint8_t> F = ReadFile(Tta);
  F[F.size() - 40] ^= 0x01;
  WriteFile(Tta, F);
  EXPECT_EQ(L.TTATest(Tta.c_str(), nullptr, nullptr), TTA_FILE_ERROR);
}

TEST_F(TTAFiles, Id3v2TagOfTheWavFileIsCopiedWhenAsked) {
  std::string Wav = Dir.Path("in.wav"), Tagged = Dir.Path("tagged.wav"), Log;
  ASSERT_TRUE(RunOk("sox -n -r 44100 -b 16 -c 2 " + Quote(Wav) + " synth 0.5 sine 440", &Log)) << Log;
  std::vector<uint8_t> Tag = MakeId3v2(64);
  std::vector<uint8_t> File = Tag, Body = ReadFile(Wav);
  File.insert(File.end(), Body.begin(), Body.end());
  WriteFile(Tagged, File);
  std::string A = Dir.Path("a.tta"), B = Dir.Path("b.tta");
  ASSERT_EQ(L.Wav2TTA(Tagged.c_str(), A.c_str(), true, nullptr, nullptr), TTA_NO_ERROR);
  ASSERT_EQ(L.Wav2TTA(Tagged.c_str(), B.c_str(), false, nullptr, nullptr), TTA_NO_ERROR);
  std::vector<uint8_t> WithTag = ReadFile(A), Without = ReadFile(B);
  ASSERT_EQ(WithTag.size(), Without.size() + Tag.size());
  EXPECT_TRUE(std::equal(Tag.begin(), Tag.end(), WithTag.begin()));
  EXPECT_TRUE(std::equal(Without.begin(), Without.end(), WithTag.begin() + static_cast<long>(Tag.size())));
  EXPECT_EQ(DecodeFile(A).Slots, DecodeFile(B).Slots);
}

TEST_F(TTAFiles, WaveFileReadsAndWritesWhatSoxDoes) {
  std::string In = Dir.Path("in.wav"), Out = Dir.Path("out.wav"), Log;
  ASSERT_TRUE(RunOk("sox -n -r 22050 -b 24 -c 3 " + Quote(In) + " synth 0.3 sine 200 sine 300 pinknoise", &Log)) << Log;
  WaveFile R, W;
  L.WavConstruct(&R);
  L.WavConstruct(&W);
  L.WavOpen(&R, In.c_str());
  L.WavReadHeaders(&R);
  EXPECT_EQ(L.WavGetFormat(&R), TTA_FORMAT_PCM);
  EXPECT_EQ(L.WavGetNumChannels(&R), 3);
  EXPECT_EQ(L.WavGetBitsPerSample(&R), 24);
  EXPECT_EQ(L.WavGetSampleRate(&R), 22050);
  EXPECT_EQ(L.WavGetDataLength(&R), 6615);
  L.WavCreate(&W, Out.c_str());
  L.WavWriteHeaders(&W, TTA_FORMAT_PCM, 3, 24, 22050);
  std::vector<int64_t> Buf(1000 * 3);
  int64_t Total = 0;
  while (int32_t N = L.WavRead(&R, Buf.data(), 1000)) {
    L.WavWrite(&W, Buf.data(), N);
    Total += N;
  }
  EXPECT_EQ(Total, 6615);
  L.WavClose(&W);
  L.WavClose(&R);
  L.WavDestruct(&R);
  L.WavDestruct(&W);
  EXPECT_TRUE(SoxRaw(Out, 24) == SoxRaw(In, 24));

  WaveFile Bad;
  L.WavConstruct(&Bad);
  EXPECT_THROW(L.WavOpen(&Bad, Dir.Path("missing.wav").c_str()), TTAException);
  EXPECT_THROW(L.WavReadHeaders(&Bad), TTAException);
  L.WavDestruct(&Bad);
}

} // namespace
