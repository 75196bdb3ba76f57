// Reads WavPack stream facts and the APE tag from arbitrary bytes: the file stays as
// it was, the facts are plausible, and a reader reused across inputs tells the same
// as a fresh one.
#include "fileinfo/WAVPackFile.h"
#include "fuzz/fileinfo/FuzzFile.h"

namespace {

bool SameFacts(const TWAVPackfile& A, const TWAVPackfile& B) {
  return A.Valid() == B.Valid() && A.FileSize() == B.FileSize() && A.Version() == B.Version() &&
         A.Channels() == B.Channels() && A.SampleRate() == B.SampleRate() && A.Bits() == B.Bits() &&
         A.Samples() == B.Samples() && A.Encoder() == B.Encoder() && A.Duration() == B.Duration() &&
         A.Bitrate() == B.Bitrate() && A.APETag().Exists() == B.APETag().Exists() &&
         A.APETag().Fields().size() == B.APETag().Fields().size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TWAVPackfile t;
  const bool read = fuzzfile::ReadFacts(t, Data, Size);
  fuzzfile::Check(t.Samples() >= 0 && t.SampleRate() >= 0, "counts");
  if (read) {
    fuzzfile::Check(t.Channels() == 1 || t.Channels() == 2, "channels");
    if (Size >= 4 && std::string_view(reinterpret_cast<const char*>(Data), 4) == "wvpk")
      fuzzfile::Check(t.Bits() % 8 == 0 && t.Bits() >= 8 && t.Bits() <= 32 && t.SampleRate() > 0, "block format");
  }
  static TWAVPackfile reused;
  reused.ReadFromFile(fuzzfile::Path());
  fuzzfile::Check(SameFacts(t, reused), "a reused reader forgets the last file");
  return 0;
}
