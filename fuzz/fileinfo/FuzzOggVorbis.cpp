// Reads Ogg Vorbis headers from arbitrary bytes, then rewrites the comment
// header and checks that only the header pages changed (later pages at most
// renumbered, in step with the old ones), that their checksums are right, and
// that the new comments read back.
#include "fileinfo/OggVorbis.h"
#include "fileinfo/TagFileIO.h"
#include "fuzz/fileinfo/FuzzFile.h"
#include "platform/rtl/ByteOrder.h"

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

// The offset after the page on which the second packet from Offset on ends.
size_t HeaderEnd(const std::string& B, size_t Offset) {
  int ends = 0;
  while (size_t size = PageSize(B, Offset)) {
    const auto n = static_cast<unsigned char>(B[Offset + 26]);
    for (size_t i = 0; i < n; ++i) ends += static_cast<unsigned char>(B[Offset + 27 + i]) < 255;
    Offset += size;
    if (ends >= 2) return Offset;
  }
  return 0;
}

bool ChecksumOK(std::string Page) {
  const uint32_t stored = GetLE32(Page.data() + 22);
  Page.replace(22, 4, 4, '\0');
  return OggCRC(Page.data(), Page.size()) == stored;
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
  fuzzfile::Check(out.compare(0, p2, input, 0, p2) == 0, "bytes before page 2 kept");
  const size_t oldEnd = HeaderEnd(input, p2), newEnd = HeaderEnd(out, p2);
  fuzzfile::Check(oldEnd > 0 && newEnd > 0, "header pages whole");
  for (size_t p = p2; p < newEnd; p += PageSize(out, p)) fuzzfile::Check(ChecksumOK(out.substr(p, PageSize(out, p))), "header page checksum");
  // Later pages in step: the same bytes but for sequence number and checksum,
  // which still agrees with the page as much as it did.
  size_t a = oldEnd, b = newEnd;
  fuzzfile::Check(input.size() - a == out.size() - b, "same length after the headers");
  while (a < input.size()) {
    const size_t size = PageSize(input, a);
    if (size == 0) {
      fuzzfile::Check(out.compare(b, std::string::npos, input, a) == 0, "bytes after the pages kept");
      break;
    }
    std::string x = input.substr(a, size), y = out.substr(b, size);
    fuzzfile::Check(ChecksumOK(x) == ChecksumOK(y), "checksum agreement kept");
    x.replace(18, 8, 8, '\0');
    y.replace(18, 8, 8, '\0');
    fuzzfile::Check(x == y, "page kept");
    a += size;
    b += size;
  }
  return 0;
}
