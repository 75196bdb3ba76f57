// Reads True Audio stream facts and the ID3v1, ID3v2 and APE tags from arbitrary
// bytes: the file stays as it was, the header lies inside the file, and a reader
// reused across inputs tells the same as a fresh one.
#include "fileinfo/TTA.h"
#include "fuzz/fileinfo/FuzzFile.h"

namespace {

bool SameFacts(const TTTA& A, const TTTA& B) {
  return A.Valid() == B.Valid() && A.FileSize() == B.FileSize() && A.Channels() == B.Channels() &&
         A.Bits() == B.Bits() && A.SampleRate() == B.SampleRate() && A.Samples() == B.Samples() &&
         A.Duration() == B.Duration() && A.Bitrate() == B.Bitrate() && A.ID3v1().Exists() == B.ID3v1().Exists() &&
         A.ID3v2().Exists() == B.ID3v2().Exists() && A.ID3v2().Size() == B.ID3v2().Size() &&
         A.APETag().Exists() == B.APETag().Exists() && A.APETag().Fields().size() == B.APETag().Fields().size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TTTA t;
  const bool read = fuzzfile::ReadFacts(t, Data, Size);
  if (read) {
    const size_t start = t.ID3v2().Exists() ? static_cast<size_t>(t.ID3v2().Size()) : 0;
    fuzzfile::Check(start + 22 <= Size && std::string_view(reinterpret_cast<const char*>(Data) + start, 4) == "TTA1",
                    "header after the ID3v2 tag, inside the file");
    fuzzfile::Check(t.FileSize() == static_cast<int64_t>(Size) && t.SampleRate() >= 0, "sizes");
  }
  static TTTA reused;
  reused.ReadFromFile(fuzzfile::Path());
  fuzzfile::Check(SameFacts(t, reused), "a reused reader forgets the last file");
  return 0;
}
