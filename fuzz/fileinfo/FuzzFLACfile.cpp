// Reads FLAC metadata from arbitrary bytes, then writes a comment block and
// checks that the file stays valid, the new title reads back, and a leading
// ID3v2 tag and the audio after the metadata are kept byte for byte.
#include "fileinfo/FLACfile.h"
#include "fuzz/fileinfo/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string& f = fuzzfile::Write(Data, Size);
  const std::string input(reinterpret_cast<const char*>(Data), Size);
  TFLACfile t;
  const bool read = t.ReadFromFile(f);
  fuzzfile::CheckUnchanged(Data, Size);
  fuzzfile::Check(read == t.IsValid(), "result says whether the file is valid");
  if (!read) {
    TFLACfile w;
    w.SetTitle("x");
    fuzzfile::Check(!w.SaveToFile(f, false), "an invalid file is not written");
    fuzzfile::CheckUnchanged(Data, Size);
    return 0;
  }
  fuzzfile::Check(t.AudioOffset() <= static_cast<int64_t>(Size), "metadata inside the file");
  const int64_t audio = t.AudioOffset();
  const int64_t start = t.ID3v2().Exists() ? t.ID3v2().Size() : 0;
  t.SetTitle("Fuzz \xC5\x81");
  if (!t.SaveToFile(f, (Size & 1) != 0)) {
    fuzzfile::CheckUnchanged(Data, Size);
    return 0;
  }
  TFLACfile r;
  fuzzfile::Check(r.ReadFromFile(f), "written file is valid");
  fuzzfile::Check(r.Title() == "Fuzz \xC5\x81", "title reads back");
  fuzzfile::Check(r.Samples() == t.Samples() && r.SampleRate() == t.SampleRate() &&
                      r.Channels() == t.Channels(), "stream facts kept");
  fuzzfile::Check(r.PaddingIndex() > 0 && !r.MultiplePadding(), "one padding block");
  const std::string out = fuzzfile::Read();
  fuzzfile::Check(out.compare(0, start, input, 0, start) == 0, "ID3v2 tag kept");
  fuzzfile::Check(out.substr(r.AudioOffset()) == input.substr(audio), "audio kept");
  return 0;
}
