// Reads an ID3v1 block with a Lyrics3 v2 block from arbitrary bytes, then
// replaces both and checks what stays in front of them.
#include "fileinfo/ID3v1.h"
#include "fuzz/fileinfo/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string& f = fuzzfile::Write(Data, Size);
  TID3v1 t;
  fuzzfile::Check(t.ReadFromFile(f), "a readable file reads");
  fuzzfile::CheckUnchanged(Data, Size);
  (void)t.GetGenre();
  const std::string input(reinterpret_cast<const char*>(Data), Size);
  const size_t blocks = (t.Exists() ? 128 : 0) + (t.HasLyrics3() ? t.Lyrics3Size() + 15 : 0);
  fuzzfile::Check(blocks <= Size, "blocks lie inside the file");
  TID3v1 w;
  w.SetTitle("Fuzz");
  w.SetAuthor(t.Author());
  w.SetLyrics(t.Lyrics());
  w.SetTrack(t.Track());
  if (!w.SaveToFile(f)) return 0;
  const std::string now = fuzzfile::Read();
  fuzzfile::Check(now.compare(0, Size - blocks, input, 0, Size - blocks) == 0, "data before the blocks kept");
  fuzzfile::Check(now.size() >= 128 && now.compare(now.size() - 128, 7, "TAGFuzz") == 0, "new block last");
  TID3v1 r;
  fuzzfile::Check(r.ReadFromFile(f) && r.Exists() && r.Track() == t.Track(), "new block reads back");
  return 0;
}
