// Reads a CD track record and its names from arbitrary bytes: the first 44 bytes are
// the track file, the rest is "cdplayer.ini" in the configuration folder. The record
// decides validity, names come only from the disc's own section, and a reader reused
// across inputs tells the same as a fresh one.
#include <stdlib.h>

#include <cmath>

#include "fileinfo/CDAtrack.h"
#include "fuzz/fileinfo/FuzzFile.h"
#include "platform/rtl/StrUtils.h"

namespace {

constexpr size_t RecordSize = 44;

uint32_t LE(const uint8_t* P, int Bytes) {
  uint32_t v = 0;
  for (int i = Bytes - 1; i >= 0; --i) v = v << 8 | P[i];
  return v;
}

bool SameFacts(const TCDAtrack& A, const TCDAtrack& B) {
  return A.Valid() == B.Valid() && A.Title() == B.Title() && A.Artist() == B.Artist() && A.Album() == B.Album() &&
         A.Duration() == B.Duration() && A.Track() == B.Track() && A.Position() == B.Position();
}

bool OneLine(const std::u16string& S) { return S.find(u'\n') == std::u16string::npos; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzfile::Path();  // makes the scratch folder
  setenv("XDG_CONFIG_HOME", (fuzzfile::Folder() + "/").c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const size_t record = Size < RecordSize ? Size : RecordSize;
  const std::string names = std::string(reinterpret_cast<const char*>(Data) + record, Size - record);
  const std::string ini = fuzzfile::Folder() + "/sonvix/cdplayer.ini";
  std::filesystem::create_directories(fuzzfile::Folder() + "/sonvix");
  std::ofstream(ini, std::ios::binary | std::ios::trunc) << names;
  const std::string& f = fuzzfile::Write(Data, record);

  TCDAtrack t;
  const bool read = t.ReadFromFile(f);
  fuzzfile::CheckUnchanged(Data, record);
  fuzzfile::Check(read == (record == RecordSize), "a whole record reads");
  const bool marked = read && std::string_view(reinterpret_cast<const char*>(Data), 4) == "RIFF" &&
                      std::string_view(reinterpret_cast<const char*>(Data) + 8, 8) == "CDDAfmt ";
  fuzzfile::Check(t.Valid() == marked, "the marks decide validity");
  if (!marked) {
    fuzzfile::Check(t.Title().empty() && t.Artist().empty() && t.Album().empty() && t.Track() == 0, "nothing read");
  } else {
    fuzzfile::Check(t.Track() == static_cast<int32_t>(LE(Data + 22, 2)), "track number");
    fuzzfile::Check(t.Duration() == LE(Data + 32, 4) / 75.0 && t.Position() == LE(Data + 28, 4) / 75.0, "times");
    if (UpperCase(names).find(TCDAtrack::DiscSection(LE(Data + 24, 4))) == std::string::npos)
      fuzzfile::Check(t.Title().empty() && t.Artist().empty() && t.Album().empty(), "names only from the section");
    fuzzfile::Check(OneLine(t.Title()) && OneLine(t.Artist()) && OneLine(t.Album()), "a name is one line");
  }
  static TCDAtrack reused;
  reused.ReadFromFile(f);
  fuzzfile::Check(SameFacts(t, reused), "a reused reader forgets the last file");
  return 0;
}
