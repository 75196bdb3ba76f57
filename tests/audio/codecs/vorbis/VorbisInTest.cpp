// TVorbisIn on files made by oggenc, compared with oggdec.

#include <gtest/gtest.h>

#include <random>

#include "tests/audio/codecs/vorbis/VorbisTestSupport.h"

using namespace testsupport;
using namespace vorbistest;

namespace {

// A stream that cannot seek, as a pipe would be.
class TUnseekableVorbisIn : public TVorbisIn {
public:
  explicit TUnseekableVorbisIn(TComponent* AOwner) : TVorbisIn(AOwner) { FSeekable = false; }
};

struct TReadResult {
  bool Valid = false;
  std::vector<uint8_t> Data;
  std::string Error;
};

TReadResult ReadOgg(const std::string& Path) {
  TReadResult r;
  WithinSeconds(
      30,
      [&] {
        TComponentPtr<TVorbisIn> in(new TVorbisIn(nullptr));
        in->SetFileName(Path);
        r.Valid = in->Valid();
        r.Data = ReadUntilFailure(*in, r.Error, 10000);
      },
      "reading " + Path);
  return r;
}

}  // namespace

TEST(VorbisIn, FilesMadeByOggencReadAsOggdecDecodesThem) {
  for (const int32_t channels : {1, 2, 6}) {
    SCOPED_TRACE(channels);
    const std::string name = "enc" + std::to_string(channels);
    const std::string raw = MakeRaw(name + ".raw", 16, channels, 32000, 1.1);
    // From a WAV file oggenc puts the channels in the Vorbis order.
    const std::string wav = TempPath(name + ".wav");
    Shell("sox -t raw -r 32000 -b 16 -e signed -c " + std::to_string(channels) + " '" + raw + "' '" + wav + "'");
    const std::string ogg = TempPath(name + ".ogg");
    Shell("oggenc -Q -q 4 -o '" + ogg + "' '" + wav + "'");
    const std::vector<uint8_t> ref = OggDecode(ogg);
    ASSERT_EQ(ref.size(), ReadFile(raw).size());

    TComponentPtr<TVorbisIn> in(new TVorbisIn(nullptr));
    in->SetFileName(ogg);
    ASSERT_TRUE(in->Valid());
    EXPECT_EQ(in->Channels(), channels);
    EXPECT_EQ(in->SampleRate(), 32000);
    EXPECT_EQ(in->BitsPerSample(), 16);
    EXPECT_EQ(in->Size(), static_cast<int64_t>(ref.size()));
    EXPECT_GT(in->NominalBitrate(), 0);
    const std::vector<uint8_t> ours = ReadAll(*in, 777);
    EXPECT_TRUE(SameChannelsInAnyOrder(ours, ref, channels));
    ExpectChannelsFollow(ReadFile(raw), 16, ours, channels);
    // Through the pipeline as well.
    TComponentPtr<TCollectOut> out(new TCollectOut(nullptr));
    out->SetInput(in.get());
    EXPECT_EQ(RunOutput(*out), "");
    EXPECT_TRUE(out->Data == ours);
  }
}

TEST(VorbisIn, CommentsAreReadWhateverTheCaseOfTheirNames) {
  const std::string raw = MakeRaw("tags.raw", 16, 2, 44100, 0.3);
  const std::string ogg = OggEncode(raw, 16, 2, 44100, TempPath("tags.ogg"),
                                    "-c 'TITLE=Wörds = more' -c 'Artist=Ünïcødé ♫' -c album=Alb -c DATE=2001 "
                                    "-c GENRE=Rock -c TRACKNUMBER=3 -c COMMENT=skipped -c NOEQ=x");
  // A comment without "=": same length, page checksum made right again.
  std::vector<uint8_t> bytes = ReadFile(ogg);
  const std::string mark = "NOEQ=x";
  auto at = std::search(bytes.begin(), bytes.end(), mark.begin(), mark.end());
  ASSERT_NE(at, bytes.end());
  at[4] = '_';
  const size_t pos = static_cast<size_t>(at - bytes.begin());
  for (const TOggPage& p : OggPages(bytes))
    if (pos >= p.Offset && pos < p.Offset + p.Length) FixOggChecksum(bytes, p);
  WriteFile(ogg, bytes);
  EXPECT_NE(Shell("vorbiscomment -l '" + ogg + "'").find("NOEQ_x"), std::string::npos);

  TComponentPtr<TVorbisIn> in(new TVorbisIn(nullptr));
  in->SetFileName(ogg);
  ASSERT_TRUE(in->Valid());
  TVorbisTags* t = in->Comments();
  EXPECT_EQ(UTF16ToUTF8(t->Title()), "Wörds = more");
  EXPECT_EQ(UTF16ToUTF8(t->Artist()), "Ünïcødé ♫");
  EXPECT_EQ(UTF16ToUTF8(t->Album()), "Alb");
  EXPECT_EQ(UTF16ToUTF8(t->Date()), "2001");
  EXPECT_EQ(UTF16ToUTF8(t->Genre()), "Rock");
  EXPECT_EQ(UTF16ToUTF8(t->Track()), "3");
  EXPECT_TRUE(ReadAll(*in) == OggDecode(ogg));
}

TEST(VorbisIn, UnknownTotalGivesSizeMinusOne) {
  const std::string raw = MakeRaw("noseek.raw", 16, 2, 44100, 0.8);
  const std::string ogg = OggEncode(raw, 16, 2, 44100, TempPath("noseek.ogg"));
  TComponentPtr<TUnseekableVorbisIn> in(new TUnseekableVorbisIn(nullptr));
  in->SetFileName(ogg);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->Size(), -1);
  EXPECT_TRUE(ReadAll(*in) == OggDecode(ogg));
}

TEST(VorbisIn, SeeksLandOnTheReferenceSamples) {
  const std::string raw = MakeRaw("seek.raw", 16, 2, 44100, 2.0);
  const std::string ogg = OggEncode(raw, 16, 2, 44100, TempPath("seek.ogg"));
  const std::vector<uint8_t> ref = OggDecode(ogg);
  const int64_t frame = 4;
  const int64_t total = static_cast<int64_t>(ref.size()) / frame;

  TComponentPtr<TVorbisIn> in(new TVorbisIn(nullptr));
  in->SetFileName(ogg);
  for (const int64_t start : {int64_t(1), int64_t(1023), int64_t(4096), int64_t(44101), total - 1}) {
    SCOPED_TRACE(start);
    in->SetStartSample(start);
    EXPECT_TRUE(ReadAll(*in, 5000) == ByteRange(ref, start * frame, total * frame));
  }
  in->SetStartSample(3000);
  in->SetEndSample(9000);
  EXPECT_TRUE(ReadAll(*in) == ByteRange(ref, 3000 * frame, 9001 * frame));

  in->Init();
  std::vector<uint8_t> part(20000 * frame);
  bool eof = false;
  EXPECT_EQ(in->FillBuffer(part.data(), static_cast<uint32_t>(part.size()), eof), part.size());
  for (const int64_t to : {int64_t(60001), int64_t(11), total - 500}) {
    SCOPED_TRACE(to);
    ASSERT_TRUE(in->Seek(to));
    std::vector<uint8_t> got(2000 * frame);
    got.resize(in->FillBuffer(got.data(), static_cast<uint32_t>(got.size()), eof));
    EXPECT_TRUE(got == ByteRange(ref, to * frame, (to + 2000) * frame));
  }
  // After the end was reached, a seek back reads again.
  EXPECT_TRUE(eof);
  ASSERT_TRUE(in->Seek(100));
  std::vector<uint8_t> again(100 * frame);
  again.resize(in->FillBuffer(again.data(), static_cast<uint32_t>(again.size()), eof));
  EXPECT_TRUE(again == ByteRange(ref, 100 * frame, 200 * frame));
  in->Flush();
}

TEST(VorbisIn, AHoleInTheDataFailsTheRunAfterTheAudioBeforeIt) {
  const std::string raw = MakeNoise("hole.raw", 2, 44100, 3.0);
  const std::string ogg = OggEncode(raw, 16, 2, 44100, TempPath("hole.ogg"));
  std::vector<uint8_t> bytes = ReadFile(ogg);
  const std::vector<TOggPage> pages = OggPages(bytes);
  ASSERT_GT(pages.size(), 8u);
  // Take out one page from the middle of the audio.
  const TOggPage cut = pages[pages.size() / 2];
  bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(cut.Offset),
              bytes.begin() + static_cast<std::ptrdiff_t>(cut.Offset + cut.Length));
  const std::string holed = TempPath("holed.ogg");
  WriteFile(holed, bytes);
  const std::vector<uint8_t> ref = OggDecode(ogg);
  const TReadResult r = ReadOgg(holed);
  ASSERT_TRUE(r.Valid);
  // The audio up to the hole, exactly, and the hole named by the frame where it starts.
  EXPECT_EQ(r.Error,
            DecodingErrorMessage("Ogg Vorbis", holed, static_cast<int64_t>(r.Data.size() / 4), 44100, "data is missing"));
  EXPECT_GT(r.Data.size(), ref.size() / 4);
  EXPECT_TRUE(std::equal(r.Data.begin(), r.Data.end(), ref.begin())) << r.Data.size() << " bytes";
}

TEST(VorbisIn, AStreamThatDecodesShortOfItsAnnouncedLengthFailsTheRun) {
  // Tones fill few pages: a damaged first audio page leaves libvorbisfile nothing to
  // decode and no hole to report, though the last page announces the whole length.
  const std::string raw = MakeRaw("fewpages.raw", 16, 2, 44100, 2.0);
  const std::string ogg = OggEncode(raw, 16, 2, 44100, TempPath("fewpages.ogg"));
  std::vector<uint8_t> bytes = ReadFile(ogg);
  const std::vector<TOggPage> pages = OggPages(bytes);
  ASSERT_GE(pages.size(), 4u);
  ASSERT_LE(pages.size(), 6u);
  const TOggPage& first = pages[2];
  for (size_t i = first.Offset + first.Length / 2; i < first.Offset + first.Length / 2 + 16; ++i) bytes[i] ^= 0x5A;
  const std::string damaged = TempPath("fewpages-damaged.ogg");
  WriteFile(damaged, bytes);
  const TReadResult r = ReadOgg(damaged);
  ASSERT_TRUE(r.Valid);
  EXPECT_EQ(r.Error,
            DecodingErrorMessage("Ogg Vorbis", damaged, static_cast<int64_t>(r.Data.size() / 4), 44100, "data is missing"));
  const std::vector<uint8_t> ref = OggDecode(ogg);
  EXPECT_LT(r.Data.size(), ref.size());
  EXPECT_TRUE(std::equal(r.Data.begin(), r.Data.end(), ref.begin())) << r.Data.size() << " bytes";
}

TEST(VorbisIn, AStreamEndingWithoutItsEndMarkFailsTheRunAfterItsAudio) {
  const std::string raw = MakeNoise("open.raw", 2, 44100, 2.0);
  const std::string ogg = OggEncode(raw, 16, 2, 44100, TempPath("open.ogg"));
  std::vector<uint8_t> bytes = ReadFile(ogg);
  const std::vector<TOggPage> pages = OggPages(bytes);
  ASSERT_GT(pages.size(), 4u);
  // Cut at a page boundary: no page is cut, but the last has no end mark.
  bytes.resize(pages[pages.size() / 2].Offset);
  const std::string cut = TempPath("open-cut.ogg");
  WriteFile(cut, bytes);
  const std::vector<uint8_t> held = OggDecode(cut);
  for (const bool seekable : {true, false}) {
    SCOPED_TRACE(seekable ? "seekable" : "cannot seek");
    TComponentPtr<TVorbisIn> in(seekable ? new TVorbisIn(nullptr) : new TUnseekableVorbisIn(nullptr));
    in->SetFileName(cut);
    ASSERT_TRUE(in->Valid());
    // Its length is not known; what its pages hold stands for it in lists.
    EXPECT_EQ(in->TotalSamples(), -1);
    if (seekable) EXPECT_EQ(in->TotalTime(), Round(static_cast<double>(held.size()) / 4 / 44100));
    std::string error;
    const std::vector<uint8_t> got = ReadUntilFailure(*in, error, 10000);
    EXPECT_EQ(error,
              DecodingErrorMessage("Ogg Vorbis", cut, static_cast<int64_t>(got.size() / 4), 44100, "the file ends early"));
    EXPECT_TRUE(got == held) << got.size() << " bytes against " << held.size();
  }
}

TEST(VorbisIn, ChainedStreamsAreReadWhileTheirFormatStaysTheSame) {
  // libvorbisfile passes over a first link of only a few kilobytes: noise keeps it larger.
  const std::string a = OggEncode(MakeNoise("chA.raw", 2, 44100, 2.0), 16, 2, 44100, TempPath("chA.ogg"));
  const std::string b = OggEncode(MakeNoise("chB.raw", 2, 44100, 1.0), 16, 2, 44100, TempPath("chB.ogg"));
  const std::string same = TempPath("chain-same.ogg");
  Shell("cat '" + a + "' '" + b + "' > '" + same + "'");

  // Another stream multiplexed beside the Vorbis one, ending after it: the file's last
  // page, which carries the end mark, is the other stream's. The Vorbis stream is whole.
  const std::string longer = MakeNoise("chLong.raw", 2, 44100, 3.0), muxed = TempPath("muxed.ogg");
  Shell("ffmpeg -nostdin -v error -y -f s16le -ar 44100 -ac 2 -i '" + TempPath("chA.raw") +
        "' -f s16le -ar 44100 -ac 2 -i '" + longer + "' -map 0 -map 1 -c:a libvorbis '" + muxed + "'");
  const TReadResult m = ReadOgg(muxed);
  ASSERT_TRUE(m.Valid);
  EXPECT_EQ(m.Error, "");
  EXPECT_EQ(m.Data.size(), size_t{2 * 44100} * 4);

  // oggdec keeps only the last of chained streams; each link decoded alone is the reference.
  std::vector<uint8_t> both = OggDecode(a);
  const std::vector<uint8_t> second = OggDecode(b);
  both.insert(both.end(), second.begin(), second.end());
  TReadResult r = ReadOgg(same);
  ASSERT_TRUE(r.Valid);
  EXPECT_EQ(r.Error, "");
  EXPECT_TRUE(r.Data == both) << r.Data.size() << " bytes against " << both.size();

  // A link of another channel count or rate cannot follow: the first link is delivered,
  // then the run fails naming the file, rather than end early or play at the wrong speed.
  const struct {
    const char* Name;
    int Channels, Rate;
  } links[] = {{"mono", 1, 44100}, {"half-rate", 2, 22050}};
  const std::vector<uint8_t> first = OggDecode(a);
  for (const auto& l : links) {
    SCOPED_TRACE(l.Name);
    const std::string raw = MakeNoise(std::string(l.Name) + ".raw", l.Channels, l.Rate, 1.0);
    const std::string link = OggEncode(raw, 16, l.Channels, l.Rate, TempPath(std::string(l.Name) + ".ogg"));
    const std::string mixed = TempPath(std::string("chain-") + l.Name + ".ogg");
    Shell("cat '" + a + "' '" + link + "' > '" + mixed + "'");
    r = ReadOgg(mixed);
    ASSERT_TRUE(r.Valid);
    EXPECT_TRUE(r.Data == first) << r.Data.size() << " bytes against " << first.size();
    EXPECT_EQ(r.Error, DecodingErrorMessage("Ogg Vorbis", mixed, static_cast<int64_t>(first.size() / 4), 44100,
                                            "a chained stream changes to another channel count or sample rate"));
  }
}

TEST(VorbisIn, AFailedOpenNamesTheCodeAndReleasesTheStreamOnce) {
  const std::string raw = MakeRaw("notogg.raw", 16, 2, 44100, 0.2);
  TComponentPtr<TVorbisIn> in(new TVorbisIn(nullptr));
  in->SetFileName(raw);
  try {
    in->Init();
    ADD_FAILURE() << "a raw file opened as Ogg";
    in->Flush();
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "Failed to open an ogg file: -132");
  }
  EXPECT_FALSE(in->Valid());
  EXPECT_FALSE(in->Busy());

  // A stream supplied by the caller stays the caller's, rewound.
  TMemoryStream mem;
  const std::vector<uint8_t> bytes = ReadFile(raw);
  mem.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  in->SetStream(&mem);
  EXPECT_FALSE(in->Valid());
  EXPECT_THROW(in->Init(), EAuException);
  EXPECT_EQ(mem.Position(), 0);
  EXPECT_EQ(mem.Size(), static_cast<int64_t>(bytes.size()));
  in->SetStream(nullptr);

  // The same input then reads a real file.
  const std::string ogg = OggEncode(raw, 16, 2, 44100, TempPath("afterfail.ogg"));
  in->SetFileName(ogg);
  EXPECT_TRUE(ReadAll(*in) == OggDecode(ogg));
}

TEST(VorbisIn, TruncatedAndDamagedFilesEndCleanly) {
  const std::string raw = MakeRaw("dmg.raw", 16, 2, 44100, 1.5);
  const std::string ogg = OggEncode(raw, 16, 2, 44100, TempPath("dmg.ogg"), "-c TITLE=x");
  const std::vector<uint8_t> whole = ReadFile(ogg);
  const std::vector<uint8_t> ref = OggDecode(ogg);
  std::vector<std::vector<uint8_t>> files;
  for (const size_t len : {size_t(0), size_t(10), size_t(27), size_t(58), size_t(200), size_t(3000),
                           whole.size() / 3, whole.size() / 2 + 5, whole.size() - 1})
    files.emplace_back(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(len));
  std::mt19937 rng(11);
  for (int i = 0; i < 10; ++i) {
    std::vector<uint8_t> v = whole;
    for (int k = 0; k < 1 + i * 7; ++k) v[rng() % v.size()] = static_cast<uint8_t>(rng());
    files.push_back(v);
  }
  {
    std::vector<uint8_t> v;
    for (int k = 0; k < 40000; ++k) v.push_back(static_cast<uint8_t>(rng()));
    files.push_back(v);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string path = TempPath("dmg" + std::to_string(i) + ".ogg");
    WriteFile(path, files[i]);
    const TReadResult r = ReadOgg(path);
    if (!r.Valid) {
      EXPECT_EQ(r.Error.rfind("Failed to open an ogg file: ", 0), 0u) << r.Error;
      continue;
    }
    // Damage found ends the run with a message naming the file; what came before it is
    // the start of the audio.
    if (!r.Error.empty()) {
      EXPECT_EQ(r.Error.rfind("Ogg Vorbis decoding error in \"" + path + "\" after ", 0), 0u) << r.Error;
      EXPECT_TRUE(std::equal(r.Data.begin(), r.Data.end(), ref.begin()));
    }
    EXPECT_LE(r.Data.size(), ref.size() + 65536);
  }
}
