// Reading WMA (and other ASF audio) made by ffmpeg through TWMIn: format, exact
// length, data against ffmpeg's own decode, tags, ranges, channel choices, protected
// content and damaged or foreign input.

#include <gtest/gtest.h>

#include <algorithm>

#include "audio/io/TSL_Converters.h"
#include "audio/io/TSL_WinMedia.h"
#include "tests/support/TestComponents.h"
#include "tests/audio/io/WinMediaTestUtil.h"

using namespace wmtest;

namespace {

std::string MakeWma(const std::string& Name, const std::string& Codec, int Rate, int Channels,
                    const std::string& Extra = "") {
  const std::string src = MakeSource(Name + ".wav", Rate, Channels, 2.3);
  const std::string path = TempPath(Name + ".wma");
  Shell("ffmpeg -nostdin -v error -y -i '" + src + "' -c:a " + Codec + " -b:a " + (Channels == 1 ? "48k" : "128k") +
        " " + Extra + " '" + path + "'");
  return path;
}

// A 5.1 ASF file with 24-bit PCM: a multichannel source wider than 16 bits.
std::string MakeSurround() {
  static const std::string path = [] {
    const std::string src = MakeSource("surround.wav", 48000, 6, 1.2, 24);
    const std::string p = TempPath("surround.wma");
    Shell("ffmpeg -nostdin -v error -y -i '" + src + "' -c:a pcm_s24le -channel_layout 5.1 '" + p + "'");
    return p;
  }();
  return path;
}

// A stream that counts the bytes read from it.
class TCountingStream : public TMemoryStream {
public:
  int64_t Read(void* Buffer, int64_t Count) override {
    const int64_t n = TMemoryStream::Read(Buffer, Count);
    BytesRead += n;
    return n;
  }
  int64_t BytesRead = 0;
};

}  // namespace

TEST(WinMediaReadTest, WmaVersionsAndLayoutsMatchFfmpegsDecodeSampleForSample) {
  struct Case {
    const char* Codec;
    int Rate, Channels;
  } cases[] = {{"wmav2", 44100, 2}, {"wmav2", 22050, 1}, {"wmav1", 44100, 2}, {"wmav1", 32000, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Codec) + " " + std::to_string(c.Rate) + "/" + std::to_string(c.Channels));
    const std::string path = MakeWma(std::string("v_") + c.Codec + std::to_string(c.Channels), c.Codec, c.Rate,
                                     c.Channels);
    TComponentPtr<TWMIn> in(new TWMIn(nullptr));
    in->SetFileName(path);
    // Opening reads the header alone (adding a file to the list must not decode all of
    // it): the frames are counted when a run or TotalSamples asks.
    ASSERT_TRUE(in->Valid());
    EXPECT_EQ(in->Size(), -1);
    const TRead r = ReadAll(*in, 5000);
    ASSERT_TRUE(r.Valid);
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Bits, 16);
    EXPECT_EQ(r.Channels, c.Channels);
    EXPECT_EQ(r.Rate, c.Rate);
    const auto ref = FfmpegDecode(path);
    // The run counts the frames as it decodes them: the exact length comes at its end.
    EXPECT_EQ(r.Size, -1);
    EXPECT_TRUE(r.Data == ref) << r.Data.size() << " bytes against " << ref.size();
    EXPECT_EQ(in->TotalSamples(), static_cast<int64_t>(ref.size()) / (2 * c.Channels));
  }
}

TEST(WinMediaReadTest, TagsComeFromTheHeaderAttributes) {
  const std::string path = MakeWma("tags", "wmav2", 44100, 2,
                                   "-metadata artist='Some Artist' -metadata title='Tïtle ☃' -metadata album=Alb "
                                   "-metadata genre=Jazz -metadata track=7 -metadata date=1999 "
                                   "-metadata copyright='(c) Someone'");
  TComponentPtr<TWMIn> in(new TWMIn(nullptr));
  in->SetFileName(path);
  TId3v2Tags* t = in->Id3v2Tags();  // opens the file
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(t->Artist(), u"Some Artist");
  EXPECT_EQ(t->Title(), u"Tïtle ☃");
  EXPECT_EQ(t->Album(), u"Alb");
  EXPECT_EQ(t->Genre(), u"Jazz");
  EXPECT_EQ(t->Track(), "7");
  EXPECT_EQ(t->Year(), "1999");
  // The copyright attribute is the comment.
  EXPECT_EQ(t->Comment(), u"(c) Someone");

  // Another file's tags do not linger.
  in->SetFileName(MakeWma("notags", "wmav2", 44100, 2, "-map_metadata -1 -fflags +bitexact"));
  t = in->Id3v2Tags();
  EXPECT_EQ(t->Artist(), u"");
  EXPECT_EQ(t->Title(), u"");
  EXPECT_EQ(t->Comment(), u"");
}

TEST(WinMediaReadTest, RangesAndSeeksLandOnTheExactSample) {
  const std::string path = MakeWma("range", "wmav2", 44100, 2);
  const auto ref = FfmpegDecode(path);
  const int64_t frames = static_cast<int64_t>(ref.size()) / 4;
  TComponentPtr<TWMIn> in(new TWMIn(nullptr));
  in->SetFileName(path);
  struct Range {
    int64_t Start, End;
  } ranges[] = {{1, 100}, {2047, 2049}, {2048, -1}, {30000, 60000}, {frames - 10, -1}, {0, 0}};
  for (const auto& g : ranges) {
    SCOPED_TRACE(std::to_string(g.Start) + ".." + std::to_string(g.End));
    in->SetStartSample(g.Start);
    in->SetEndSample(g.End);
    const TRead r = ReadAll(*in, 3000);
    const int64_t end = g.End < 0 ? frames - 1 : g.End;
    const auto want = ByteRange(ref, g.Start * 4, (end + 1) * 4);
    EXPECT_EQ(r.Size, static_cast<int64_t>(want.size()));
    EXPECT_TRUE(r.Data == want) << r.Data.size() << " bytes against " << want.size();
  }

  // A seek while running moves to the sample asked for.
  in->SetStartSample(0);
  in->SetEndSample(-1);
  in->Init();
  std::vector<uint8_t> got(4000);
  EXPECT_EQ(in->CopyData(got.data(), 4000), 4000u);
  ASSERT_TRUE(in->Seek(77777));
  uint32_t n = in->CopyData(got.data(), 4000);
  in->Flush();
  got.resize(n);
  EXPECT_TRUE(got == ByteRange(ref, 77777 * 4, 77777 * 4 + int64_t(n)));
}

TEST(WinMediaReadTest, SurroundIsDownmixedOrKeptAsAsked) {
  const std::string path = MakeSurround();
  TComponentPtr<TWMIn> in(new TWMIn(nullptr));
  in->SetFileName(path);

  // Default: the native mono or stereo, 16 bits, mixed like ffmpeg's own downmix.
  TRead r = ReadAll(*in);
  ASSERT_TRUE(r.Valid);
  EXPECT_EQ(r.Channels, 2);
  EXPECT_EQ(r.Bits, 16);
  const auto stereo = FfmpegDecode(path, "s16le", "-ac 2");
  EXPECT_EQ(r.Data.size(), stereo.size());
  EXPECT_GT(Correlation(AsInt16(r.Data), AsInt16(stereo)), 0.999);

  // High precision keeps stereo but gives the source's 24 bits.
  in->SetHighPrecision(true);
  r = ReadAll(*in);
  EXPECT_EQ(r.Channels, 2);
  EXPECT_EQ(r.Bits, 24);
  EXPECT_EQ(r.Data.size(), stereo.size() / 2 * 3);

  // All channels, all bits, exactly the source.
  in->SetOutputChannels(cnMaxAvailable);
  r = ReadAll(*in);
  EXPECT_EQ(r.Channels, 6);
  EXPECT_EQ(r.Bits, 24);
  EXPECT_TRUE(r.Data == FfmpegDecode(path, "s24le"));

  in->SetOutputChannels(cnMonoOrStereo);
  in->SetHighPrecision(false);
  in->SetOutputChannels(cn5dot1);
  EXPECT_TRUE(in->HighPrecision());
  in->SetHighPrecision(false);  // refused while 5.1 is asked for
  EXPECT_TRUE(in->HighPrecision());
  r = ReadAll(*in);
  EXPECT_EQ(r.Channels, 6);
  EXPECT_EQ(r.Bits, 24);

  // A stereo file has no 7.1 output: not valid.
  in->SetOutputChannels(cn7dot1);
  in->SetFileName(MakeWma("st71", "wmav2", 44100, 2));
  EXPECT_FALSE(in->Valid());
}

TEST(WinMediaReadTest, ProtectedContentIsRecognisedAndRefused) {
  // A content-encryption object added to the header of a plain file.
  const std::string plain = MakeWma("plain", "wmav2", 44100, 2);
  auto bytes = ReadFile(plain);
  ASSERT_GT(bytes.size(), 30u);
  const uint8_t encryption[16] = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                  0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
  std::vector<uint8_t> obj(encryption, encryption + 16);
  const uint8_t body[] = {4, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 'x', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const uint64_t objSize = 24 + sizeof body;
  for (int i = 0; i < 8; ++i) obj.push_back(static_cast<uint8_t>(objSize >> (8 * i)));
  obj.insert(obj.end(), body, body + sizeof body);
  uint64_t headerSize = 0;
  for (int i = 7; i >= 0; --i) headerSize = (headerSize << 8) | bytes[16 + i];
  headerSize += objSize;
  for (int i = 0; i < 8; ++i) bytes[16 + i] = static_cast<uint8_t>(headerSize >> (8 * i));
  bytes[24] += 1;  // one more header object
  bytes.insert(bytes.begin() + 30, obj.begin(), obj.end());
  const std::string locked = TempPath("locked.wma");
  WriteFile(locked, bytes);

  // The layer records the format and the flag.
  TFileStream s(locked, fmOpenRead);
  TWMReaderState st;
  OpenWMAReader(st, &s, false, 0);
  EXPECT_TRUE(st.HasAudio);
  EXPECT_TRUE(st.Protected);
  EXPECT_EQ(st.Channels, 2);
  EXPECT_EQ(st.SampleRate, 44100);
  void* p = nullptr;
  uint32_t n = 4096;
  ReadWMAData(st, p, n);
  EXPECT_EQ(n, 0u);  // nothing is decoded from protected content
  CloseWMAReader(st);

  TComponentPtr<TWMIn> in(new TWMIn(nullptr));
  in->SetFileName(locked);
  try {
    in->OpenFile();
    ADD_FAILURE() << "no exception";
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "File is protected");
  }
  EXPECT_FALSE(in->Valid());
}

TEST(WinMediaReadTest, AStreamWithAThirtyBytePrefixOpensOnTheSecondTry) {
  const std::string plain = MakeWma("prefix", "wmav2", 44100, 2);
  auto bytes = ReadFile(plain);
  bytes.insert(bytes.begin(), 30, 0);
  const std::string path = TempPath("prefixed.wma");
  WriteFile(path, bytes);
  TComponentPtr<TWMIn> in(new TWMIn(nullptr));
  in->SetFileName(path);
  const TRead r = ReadAll(*in);
  ASSERT_TRUE(r.Valid);
  EXPECT_TRUE(r.Data == FfmpegDecode(plain));
}

TEST(WinMediaReadTest, ForeignInputIsNotValidAndDamagedInputFailsAfterItsSoundPart) {
  TComponentPtr<TWMIn> in(new TWMIn(nullptr));
  // Not a media file at all.
  const std::string text = TempPath("text.wma");
  WriteFile(text, std::vector<uint8_t>(5000, 'a'));
  in->SetFileName(text);
  EXPECT_FALSE(in->Valid());
  // A WAV file is not something the reader takes.
  in->SetFileName(MakeSource("foreign.wav", 44100, 2, 0.5));
  EXPECT_FALSE(in->Valid());
  // No file.
  in->SetFileName(TempPath("missing.wma"));
  EXPECT_FALSE(in->Valid());
  in->SetFileName("");
  EXPECT_THROW(in->OpenFile(), EAuException);

  // Damaged packets in the middle: the audio before them, exactly, then the damage is
  // reported where it starts.
  const std::string good = MakeWma("damaged", "wmav2", 44100, 2);
  auto bytes = ReadFile(good);
  for (size_t i = bytes.size() / 3; i < bytes.size() / 3 + 6000; i += 7) bytes[i] ^= 0x5A;
  const std::string bad = TempPath("damaged2.wma");
  WriteFile(bad, bytes);
  in->SetFileName(bad);
  const TRead r = ReadAll(*in);
  ASSERT_TRUE(r.Valid);
  EXPECT_EQ(r.Error, DecodingErrorMessage("Windows Media", bad, static_cast<int64_t>(r.Data.size() / 4), 44100));
  const std::vector<uint8_t> ref = FfmpegDecode(good);
  EXPECT_GT(r.Data.size(), ref.size() / 4);
  ASSERT_LT(r.Data.size(), ref.size());
  EXPECT_TRUE(std::equal(r.Data.begin(), r.Data.end(), ref.begin()));
}

TEST(WinMediaReadTest, ARunDecodesTheFileOnceWithProgressByItsHeader) {
  const std::string path = MakeWma("once", "wmav2", 44100, 2);
  const std::vector<uint8_t> file = ReadFile(path), ref = FfmpegDecode(path);
  TCountingStream s;
  s.Write(file.data(), static_cast<int64_t>(file.size()));
  s.Seek(0, soBeginning);
  TComponentPtr<TWMIn> in(new TWMIn(nullptr));
  in->SetStream(&s);
  in->Init();
  EXPECT_EQ(in->Size(), -1);
  std::vector<uint8_t> got(ref.size() + 4096);
  size_t n = 0;
  while (n < ref.size() / 2) n += in->CopyData(got.data() + n, 4096);
  // The header's 2.32 s against the 2.28 s the decode gives.
  EXPECT_NEAR(in->Progress(), 49, 2);
  while (uint32_t k = in->CopyData(got.data() + n, 4096)) n += k;
  got.resize(n);
  EXPECT_TRUE(got == ref) << n << " bytes against " << ref.size();
  EXPECT_EQ(in->Size(), static_cast<int64_t>(ref.size()));
  EXPECT_EQ(in->Progress(), 100);
  in->Flush();
  // Counting the frames before the run read the whole file once more.
  EXPECT_LT(s.BytesRead, static_cast<int64_t>(file.size()) * 3 / 2) << file.size() << " bytes in the file";

  // A play duration (the file properties object's, 64 bytes in) a thousand times what
  // the file can hold at its bit rate is no length, though all of the audio is there.
  std::vector<uint8_t> absurd = file;
  const uint8_t props[] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                           0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  const size_t at = static_cast<size_t>(std::search(absurd.begin(), absurd.end(), props, props + 16) - absurd.begin());
  ASSERT_LT(at + 72, absurd.size());
  uint64_t duration = 0;
  for (int i = 7; i >= 0; --i) duration = duration << 8 | absurd[at + 64 + i];
  for (int i = 0; i < 8; ++i) absurd[at + 64 + i] = static_cast<uint8_t>(duration * 1000 >> (8 * i));
  const std::string absurdPath = TempPath("absurd.wma");
  WriteFile(absurdPath, absurd);
  in->SetStream(nullptr);
  in->SetFileName(absurdPath);
  EXPECT_EQ(in->TotalTime(), 0);
  in->Init();
  EXPECT_EQ(in->Progress(), -1);
  in->Flush();
  EXPECT_TRUE(ReadAll(*in).Data == ref);
}

TEST(WinMediaReadTest, TheConverterChainPassesTheProgressOn) {
  const std::string path = MakeWma("chain", "wmav2", 44100, 2);
  const size_t bytes = FfmpegDecode(path).size();
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TWMIn(owner.get());
  auto* ac = new TAudioConverter(owner.get());
  auto* n = new TNormalizer(owner.get());
  in->SetFileName(path);
  ac->SetInput(in);
  n->SetInput(ac);
  n->SetStoreMode(nsmMemory);
  for (bool normalise : {false, true}) {
    SCOPED_TRACE(normalise);
    n->SetEnabled(normalise);
    n->Init();
    // The normaliser's first pass has counted the frames.
    EXPECT_EQ(n->Size(), normalise ? static_cast<int64_t>(bytes) : -1);
    std::vector<uint8_t> buf(4096);
    size_t got = 0;
    while (got < bytes / 2) got += n->CopyData(buf.data(), 4096);
    EXPECT_NEAR(n->Progress(), normalise ? 50 : 49, 2);
    while (uint32_t k = n->CopyData(buf.data(), 4096)) got += k;
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(n->Progress(), 100);
    n->Flush();
  }
}

TEST(WinMediaReadTest, PipelineRunDeliversTheWholeFile) {
  const std::string path = MakeWma("pipe", "wmav2", 44100, 2);
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TWMIn(owner.get());
  in->SetFileName(path);
  auto* out = new TCollectOut(owner.get());
  out->BlockSize = 7000;
  out->SetInput(in);
  EXPECT_EQ(RunOutput(*out), "");
  EXPECT_TRUE(out->Data == FfmpegDecode(path));
  EXPECT_EQ(out->Progress(), 100);
}

TEST(WinMediaReadTest, StreamAdapterSeeksWith64BitOffsetsAndTellsThePosition) {
  const std::string path = TempPath("big.bin");
  {
    TFileStream f(path, fmCreate);
    f.SetSize(int64_t(5) << 30);  // sparse: nothing is written
  }
  TFileStream f(path, fmOpenRead);
  TAudioStream a(&f);
  uint64_t pos = 0;
  const int64_t far = (int64_t(9) << 29) + 3;  // 4.5 GiB and a bit
  ASSERT_EQ(a.Seek(far, STREAM_SEEK_SET, &pos), S_OK);
  EXPECT_EQ(pos, static_cast<uint64_t>(far));
  ASSERT_EQ(a.Seek(-3, STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos, static_cast<uint64_t>(far - 3));
  ASSERT_EQ(a.Seek(-1, STREAM_SEEK_END, &pos), S_OK);
  EXPECT_EQ(pos, (uint64_t(5) << 30) - 1);
  uint8_t b[4] = {1, 1, 1, 1};
  uint32_t got = 0;
  EXPECT_EQ(a.Read(b, 4, &got), S_OK);
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(a.Read(b, 4, &got), 0xFFFFFFFFu);  // nothing moved
  EXPECT_EQ(got, 0u);
  WMSTATSTG st;
  ASSERT_EQ(a.Stat(st), S_OK);
  EXPECT_EQ(st.cbSize, uint64_t(5) << 30);
  EXPECT_TRUE(st.HasIdentity);
  EXPECT_NE(a.Seek(-10, STREAM_SEEK_SET, &pos), S_OK);
  ::unlink(path.c_str());
}
