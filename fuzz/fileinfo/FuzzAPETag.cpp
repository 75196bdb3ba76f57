// Reads an APE tag from arbitrary bytes, replaces it, reads the new one back
// and removes it again.
#include "fileinfo/APETag.h"
#include "fuzz/fileinfo/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string& f = fuzzfile::Write(Data, Size);
  TAPETag t;
  const bool read = t.ReadFromFile(f);
  fuzzfile::CheckUnchanged(Data, Size);
  if (read) (void)t.GetField("Title");
  TAPETag w;
  w.AppendField("Title", "Fuzz");
  for (const auto& field : t.Fields())
    if (!field.Name.empty() && field.Name.size() < 40) w.AppendField("X" + field.Name.substr(0, 1), field.Value);
  if (!w.SaveToFile(f)) return 0;
  const std::string saved = fuzzfile::Read();
  TAPETag r;
  fuzzfile::Check(r.ReadFromFile(f), "the new file reads");
  // A block kept after the tag may itself look like a tag's end; without it the
  // new tag must be what ends the file.
  const bool keptBlock = Size >= 128 && saved.size() >= 128 &&
                         saved.compare(saved.size() - 128, 128,
                                       std::string(reinterpret_cast<const char*>(Data) + Size - 128, 128)) == 0 &&
                         saved.compare(saved.size() - 128, 3, "TAG") == 0;
  if (keptBlock) {
    const std::string& g = fuzzfile::WriteString(saved.substr(0, saved.size() - 128));
    fuzzfile::Check(r.ReadFromFile(g) && r.GetField("title") == "Fuzz", "item reads back before the block");
    fuzzfile::WriteString(saved);
    return 0;
  }
  fuzzfile::Check(r.Exists() && r.GetField("title") == "Fuzz", "item reads back");
  fuzzfile::Check(r.RemoveFromFile(f), "tag removed");
  fuzzfile::Check(fuzzfile::Read().size() < saved.size(), "removal cut the tag");
  return 0;
}
