// Reads the WAV tag trailer from arbitrary bytes, then writes one and checks
// that the RIFF data stayed and the trailer reads back.
#include "fileinfo/UWavFile.h"
#include "fuzz/fileinfo/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string& f = fuzzfile::Write(Data, Size);
  TWavFile t;
  fuzzfile::Check(t.ReadFromFile(f), "a readable file reads");
  fuzzfile::CheckUnchanged(Data, Size);
  TWavFile w;
  w.SetTitle(u"Fuzz \u0141");
  w.SetComment(t.Comment());
  w.SetTrack(t.Track());
  if (!w.SaveToFile(f)) {
    fuzzfile::CheckUnchanged(Data, Size);
    return 0;
  }
  const std::string input(reinterpret_cast<const char*>(Data), Size);
  const uint32_t riff = Size >= 8 ? (uint32_t(Data[4]) | uint32_t(Data[5]) << 8 | uint32_t(Data[6]) << 16 |
                                     uint32_t(Data[7]) << 24) : 0;
  const size_t riffEnd = static_cast<size_t>(riff) + 8;
  fuzzfile::Check(riffEnd <= Size && fuzzfile::Read().compare(0, riffEnd, input, 0, riffEnd) == 0,
                  "RIFF data kept");
  TWavFile r;
  fuzzfile::Check(r.ReadFromFile(f) && r.Exists(), "trailer found");
  fuzzfile::Check(r.Title() == u"Fuzz ?" && r.Comment() == t.Comment(), "trailer reads back");
  return 0;
}
