// Tag helpers: APEv2 tags written and read back by ffprobe and by the library's ID3v1
// record, existing tags replaced without harm to the audio, and the entry points the
// engine never calls answering honestly.

#include "MACTestSupport.h"

#include <cstring>

using namespace MACTests;

namespace {

std::string Field(const char* P, size_t Size) { return std::string(P, strnlen(P, Size)); }

size_t Count(const std::vector<uint8_t>& F, const std::string& What) {
  size_t n = 0;
  for (auto it = F.begin(); (it = std::search(it, F.end(), What.begin(), What.end())) != F.end(); ++it) ++n;
  return n;
}

struct Fixture {
  TempDir Dir;
  std::string Raw, Ape;
  std::vector<uint8_t> Untagged;
  Fixture() {
    Raw = MakeRaw(Dir, "src.raw", 16, 2, 44100, 0.6);
    Ape = Dir.Path("tagged.ape");
    EXPECT_EQ(Encode(Raw, Ape, 16, 2, 44100, 2000), 0);
    Untagged = ReadFile(Ape);
  }
};

}  // namespace

TEST(MACTagsTest, TagFileSimpleWritesAnAPEv2TagOthersRead) {
  RequireTools({"sox", "ffmpeg", "ffprobe", "md5sum"});
  Fixture fx;
  const Api& L = Lib();
  ASSERT_EQ(L.TagFileSimple(fx.Ape.c_str(), "Ärtist ✓", "Album", "Tïtle", "A comment", "Jazz", "2005", "7/12", 1, 0), 0);
  EXPECT_EQ(Probe(fx.Ape, "format_tags=artist"), "Ärtist ✓");
  EXPECT_EQ(Probe(fx.Ape, "format_tags=album"), "Album");
  EXPECT_EQ(Probe(fx.Ape, "format_tags=title"), "Tïtle");
  EXPECT_EQ(Probe(fx.Ape, "format_tags=comment"), "A comment");
  EXPECT_EQ(Probe(fx.Ape, "format_tags=genre"), "Jazz");
  EXPECT_EQ(Probe(fx.Ape, "format_tags=year"), "2005");
  EXPECT_EQ(Probe(fx.Ape, "format_tags=track"), "7/12");
  // The audio is untouched and still decodes.
  const std::vector<uint8_t> f = ReadFile(fx.Ape);
  EXPECT_TRUE(std::equal(fx.Untagged.begin(), fx.Untagged.end(), f.begin()));
  EXPECT_EQ(FfmpegPcmMd5(fx.Ape, 16), Md5OfFile(fx.Raw));
  // Header and footer.
  EXPECT_EQ(Count(f, "APETAGEX"), 2u);
  EXPECT_EQ(std::string(f.end() - 32, f.end() - 24), "APETAGEX");

  MACDll::ID3_TAG rec;
  ASSERT_EQ(L.GetID3Tag(fx.Ape.c_str(), &rec), 0);
  EXPECT_EQ(std::string(rec.Header, 3), "TAG");
  EXPECT_EQ(Field(rec.Title, 30), "Tïtle");
  EXPECT_EQ(Field(rec.Artist, 30), "Ärtist ✓");
  EXPECT_EQ(Field(rec.Album, 30), "Album");
  EXPECT_EQ(Field(rec.Year, 4), "2005");
  EXPECT_EQ(Field(rec.Comment, 28), "A comment");
  EXPECT_EQ(rec.Track, 7);
}

TEST(MACTagsTest, EmptyValuesWriteNoItemAndNoValuesNoTag) {
  RequireTools({"sox", "ffprobe"});
  Fixture fx;
  const Api& L = Lib();
  ASSERT_EQ(L.TagFileSimple(fx.Ape.c_str(), "", "", "", "", "", "", "", 1, 0), 0);
  EXPECT_TRUE(ReadFile(fx.Ape) == fx.Untagged);
  ASSERT_EQ(L.TagFileSimple(fx.Ape.c_str(), nullptr, nullptr, "Only title", nullptr, "", "", "", 1, 0), 0);
  EXPECT_EQ(Probe(fx.Ape, "format_tags"), "Only title");
  const std::vector<uint8_t> f = ReadFile(fx.Ape);
  EXPECT_EQ(Count(f, "Artist"), 0u);
  EXPECT_EQ(Count(f, "Title"), 1u);
}

TEST(MACTagsTest, ReplacingTagsKeepsTheAudioAndOneTag) {
  RequireTools({"sox", "ffmpeg", "ffprobe", "md5sum", "id3v2"});
  Fixture fx;
  const Api& L = Lib();
  ASSERT_EQ(L.TagFileSimple(fx.Ape.c_str(), "First artist", "First album", "First title", "", "", "1999", "", 1, 0), 0);
  // An ID3v1 block after the APEv2 tag, as other tools add it.
  std::string log;
  ASSERT_TRUE(RunOk("id3v2 -1 -c 'v1 comment' " + Quote(fx.Ape), &log)) << log;
  std::vector<uint8_t> f = ReadFile(fx.Ape);
  ASSERT_EQ(std::string(f.end() - 128, f.end() - 125), "TAG");

  // Without ClearFirst the other items and the ID3v1 block stay.
  ASSERT_EQ(L.TagFileSimple(fx.Ape.c_str(), nullptr, nullptr, "Second title", nullptr, nullptr, nullptr, nullptr, 0, 0), 0);
  f = ReadFile(fx.Ape);
  EXPECT_EQ(std::string(f.end() - 128, f.end() - 125), "TAG");
  EXPECT_EQ(Count(f, "APETAGEX"), 2u);
  // ffprobe looks for an APEv2 footer only at the very end, so the library's record
  // shows the merged items here.
  MACDll::ID3_TAG rec;
  ASSERT_EQ(L.GetID3Tag(fx.Ape.c_str(), &rec), 0);
  EXPECT_EQ(Field(rec.Title, 30), "Second title");
  EXPECT_EQ(Field(rec.Album, 30), "First album");
  EXPECT_EQ(Field(rec.Artist, 30), "First artist");
  EXPECT_EQ(Field(rec.Year, 4), "1999");
  EXPECT_TRUE(std::equal(fx.Untagged.begin(), fx.Untagged.end(), f.begin()));
  EXPECT_EQ(FfmpegPcmMd5(fx.Ape, 16), Md5OfFile(fx.Raw));

  // ClearFirst: one new tag, no ID3v1, no old item.
  ASSERT_EQ(L.TagFileSimple(fx.Ape.c_str(), "New artist", "", "", "", "", "", "", 1, 0), 0);
  f = ReadFile(fx.Ape);
  EXPECT_NE(std::string(f.end() - 128, f.end() - 125), "TAG");
  EXPECT_EQ(Count(f, "APETAGEX"), 2u);
  EXPECT_EQ(Count(f, "First"), 0u);
  EXPECT_EQ(Probe(fx.Ape, "format_tags=artist"), "New artist");
  EXPECT_TRUE(std::equal(fx.Untagged.begin(), fx.Untagged.end(), f.begin()));
  EXPECT_EQ(f.size(), fx.Untagged.size() + 32 + 8 + 7 + 10 + 32);

  // RemoveTag gives the file back as it was before any tag.
  ASSERT_EQ(L.RemoveTag(fx.Ape.c_str()), 0);
  EXPECT_TRUE(ReadFile(fx.Ape) == fx.Untagged);
  EXPECT_EQ(L.RemoveTag(fx.Ape.c_str()), 0);
  EXPECT_EQ(L.RemoveTag(fx.Dir.Path("missing.ape").c_str()), MACDll::ERROR_INVALID_INPUT_FILE);
}

TEST(MACTagsTest, GetID3TagFallsBackToID3v1AndCutsTextAtCharacters) {
  RequireTools({"sox", "id3v2"});
  Fixture fx;
  const Api& L = Lib();
  MACDll::ID3_TAG rec;
  EXPECT_EQ(L.GetID3Tag(fx.Ape.c_str(), &rec), MACDll::ERROR_UNDEFINED);  // no tag at all
  EXPECT_EQ(L.GetID3Tag(fx.Dir.Path("missing.ape").c_str(), &rec), MACDll::ERROR_INVALID_INPUT_FILE);

  // Only an ID3v1 block (Latin-1 there): read as UTF-8.
  std::string log;
  ASSERT_TRUE(RunOk("id3v2 -1 -t \"$(printf 'Caf\\351')\" -a Band -A Record -y 1987 -T 3 -c Note " + Quote(fx.Ape), &log))
      << log;
  ASSERT_EQ(L.GetID3Tag(fx.Ape.c_str(), &rec), 0);
  EXPECT_EQ(Field(rec.Title, 30), "Café");
  EXPECT_EQ(Field(rec.Artist, 30), "Band");
  EXPECT_EQ(Field(rec.Album, 30), "Record");
  EXPECT_EQ(Field(rec.Year, 4), "1987");
  EXPECT_EQ(Field(rec.Comment, 28), "Note");
  EXPECT_EQ(rec.Track, 3);

  // An APEv2 tag wins over the ID3v1 block; 29 letters and a two-byte one do not fit
  // in 30 bytes, so the last letter goes whole.
  const std::string longTitle = std::string(29, 'x') + "é";
  ASSERT_EQ(L.TagFileSimple(fx.Ape.c_str(), "", "", longTitle.c_str(), "", "", "", "", 0, 0), 0);
  ASSERT_EQ(L.GetID3Tag(fx.Ape.c_str(), &rec), 0);
  EXPECT_EQ(Field(rec.Title, 30), std::string(29, 'x'));
  EXPECT_EQ(Field(rec.Artist, 30), "");
  EXPECT_EQ(rec.Track, 0);

  EXPECT_EQ(L.TagFileSimple(fx.Ape.c_str(), "a", "b", "c", "d", "e", "f", "g", 1, 1), MACDll::ERROR_INVALID_FUNCTION_PARAMETER);
  EXPECT_EQ(L.GetID3Tag(fx.Ape.c_str(), nullptr), MACDll::ERROR_INVALID_FUNCTION_PARAMETER);
}

TEST(MACTagsTest, HelpersAndUnofferedOperationsAnswerHonestly) {
  RequireTools({"sox"});
  const Api& L = Lib();
  TempDir dir;
  EXPECT_EQ(L.GetVersionNumber(), 3990);
  EXPECT_EQ(L.GetInterfaceCompatibility(3990, 0, nullptr), 0);
  EXPECT_EQ(L.GetInterfaceCompatibility(4100, 0, nullptr), -1);
  EXPECT_EQ(L.GetInterfaceCompatibility(3800, 0, nullptr), -1);
  L.ProgressCallback(50);
  const std::string in = dir.Path("in.wav"), out = dir.Path("out.ape");
  EXPECT_EQ(L.CompressFile(in.c_str(), out.c_str(), 2000, nullptr, nullptr, nullptr), MACDll::ERROR_UNDEFINED);
  EXPECT_EQ(L.DecompressFile(in.c_str(), out.c_str(), nullptr, nullptr, nullptr), MACDll::ERROR_UNDEFINED);
  EXPECT_EQ(L.ConvertFile(in.c_str(), out.c_str(), 2000, nullptr, nullptr, nullptr), MACDll::ERROR_UNDEFINED);
  EXPECT_EQ(L.ShowFileInfoDialog(in.c_str(), nullptr), MACDll::ERROR_UNDEFINED);
  EXPECT_FALSE(FileExists(out));

  MACDll::WAVEFORMATEX fmt{};
  EXPECT_EQ(L.FillWaveFormatEx(&fmt, 48000, 24, 2), 0);
  EXPECT_EQ(fmt.wFormatTag, 1);
  EXPECT_EQ(fmt.nChannels, 2);
  EXPECT_EQ(fmt.nSamplesPerSec, 48000u);
  EXPECT_EQ(fmt.nBlockAlign, 6);
  EXPECT_EQ(fmt.nAvgBytesPerSec, 288000u);
  EXPECT_EQ(fmt.wBitsPerSample, 24);
  EXPECT_EQ(L.FillWaveFormatEx(&fmt, 0, 16, 2), MACDll::ERROR_INVALID_FUNCTION_PARAMETER);
  EXPECT_EQ(L.FillWaveFormatEx(&fmt, 44100, 12, 2), MACDll::ERROR_INVALID_FUNCTION_PARAMETER);
  EXPECT_EQ(L.FillWaveFormatEx(nullptr, 44100, 16, 2), MACDll::ERROR_INVALID_FUNCTION_PARAMETER);

  // The WAV header equals the one sox writes for the same audio.
  std::string log;
  const std::string wav = dir.Path("ref.wav");
  ASSERT_TRUE(RunOk("sox -D -n -r 44100 -b 16 -c 2 -e signed-integer " + Quote(wav) + " synth 0.25 sine 300", &log)) << log;
  const std::vector<uint8_t> ref = ReadFile(wav);
  ASSERT_GE(ref.size(), 44u);
  ASSERT_EQ(L.FillWaveFormatEx(&fmt, 44100, 16, 2), 0);
  MACDll::WAVE_HEADER header{};
  ASSERT_EQ(L.FillWaveHeader(&header, static_cast<int32_t>(ref.size() - 44), &fmt, 0), 0);
  EXPECT_EQ(std::memcmp(&header, ref.data(), 44), 0);
}
