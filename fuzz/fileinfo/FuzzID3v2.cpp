// Reads an ID3v2 tag from arbitrary bytes, then writes a new one over it and
// checks that the new tag reads back, that frames the writer does not manage
// are kept, that everything after the old tag stayed, and that saving the same
// values again changes nothing.
#include "fileinfo/ID3v2.h"
#include "fuzz/fileinfo/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string& f = fuzzfile::Write(Data, Size);
  TID3v2 t;
  const bool read = t.ReadFromFile(f);
  fuzzfile::CheckUnchanged(Data, Size);
  fuzzfile::Check(read == (Size >= 10), "result says whether a header was there");
  const std::string input(reinterpret_cast<const char*>(Data), Size);
  TID3v2 w;
  w.SetTitle("Fuzz \xC5\x81");
  w.SetComment(t.Comment());
  w.SetTrack(t.Track());
  if (!w.SaveToFile(f)) return 0;
  TID3v2 r;
  fuzzfile::Check(r.ReadFromFile(f) && r.Exists() && r.VersionID() >= 2 && r.VersionID() <= 4, "new tag found");
  fuzzfile::Check(r.Title() == "Fuzz \xC5\x81", "title reads back");
  fuzzfile::Check(r.Track() == t.Track(), "track reads back");
  if (t.Size() > 0 && t.VersionID() >= 3 && t.VersionID() <= 4) {
    fuzzfile::Check(r.VersionID() == t.VersionID(), "version kept");
    fuzzfile::Check(r.SizeText() == t.SizeText(), "unmanaged frame kept");
  }
  const std::string saved = fuzzfile::Read();
  fuzzfile::Check(saved.substr(r.Size()) == input.substr(t.Size()), "data after the tag kept");
  fuzzfile::Check(w.SaveToFile(f) && fuzzfile::Read() == saved, "saving again changes nothing");
  return 0;
}
