// Reads Ogg Vorbis headers from arbitrary bytes, then rewrites the comment
// header and checks that only the second page changed, that its checksum is
// right, and that the new comments read back.
#include "fileinfo/OggVorbis.h"
#include "fileinfo/TagFileIO.h"
#include "fuzz/fileinfo/FuzzFile.h"

namespace {

// Size of the page at Offset; 0 when there is no whole page.
size_t PageSize(const std::string& B, size_t Offset) {
  if (Offset + 27 > B.size() || B.compare(Offset, 4, "OggS") != 0) return 0;
  const auto n = static_cast<unsigned char>(B[Offset + 26]);
  if (Offset + 27 + n > B.size()) return 0;
  size_t size = 27 + n;
  for (size_t i = 0; i < n; ++i) size += static_cast<unsigned char>(B[Offset + 27 + i]);
  return Offset + size <= B.size() ? size : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string& f = fuzzfile::Write(Data, Size);
  const std::string input(reinterpret_cast<const char*>(Data), Size);
  TOggVorbis t;
  const bool read = t.ReadFromFile(f);
  fuzzfile::CheckUnchanged(Data, Size);
  (void)t.IsValid();
  TOggVorbis w;
  w.SetTitle("Fuzz \xC5\x81");
  w.SetTrack(t.Track());
  if (!w.SaveTag(f)) {
    fuzzfile::CheckUnchanged(Data, Size);
    return 0;
  }
  fuzzfile::Check(read, "only a readable file is written");
  TOggVorbis r;
  fuzzfile::Check(r.ReadFromFile(f), "written file reads");
  fuzzfile::Check(r.Title() == "Fuzz \xC5\x81" && r.Track() == t.Track(), "comments read back");
  fuzzfile::Check(r.Channels() == t.Channels() && r.SampleRate() == t.SampleRate(), "stream facts kept");

  const std::string out = fuzzfile::Read();
  const auto p1 = static_cast<size_t>(t.StreamOffset());
  const size_t s1 = PageSize(input, p1);
  fuzzfile::Check(s1 > 0, "first page whole");
  const size_t p2 = p1 + s1;
  const size_t oldS2 = PageSize(input, p2), newS2 = PageSize(out, p2);
  fuzzfile::Check(oldS2 > 0 && newS2 > 0, "second page whole");
  fuzzfile::Check(out.compare(0, p2, input, 0, p2) == 0, "bytes before page 2 kept");
  fuzzfile::Check(out.substr(p2 + newS2) == input.substr(p2 + oldS2), "bytes after page 2 kept");
  std::string page = out.substr(p2, newS2);
  const uint32_t stored = fileinfo::GetLE32(page.data() + 22);
  page.replace(22, 4, 4, '\0');
  fuzzfile::Check(OggCRC(page.data(), page.size()) == stored, "page 2 checksum");
  return 0;
}
