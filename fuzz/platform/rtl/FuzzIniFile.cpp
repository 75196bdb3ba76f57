// Reads arbitrary bytes as a settings file and checks that what it reads survives a
// save: written back unchanged, and every value written by name into a new file,
// it reads the same again.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fileinfo/FuzzFile.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/StringList.h"

namespace {

using TSectionValues = std::pair<std::string, std::vector<std::string>>;  // name, "Key=Value" lines

// Every section with its keys and values; keys are checked against the single reads.
std::vector<TSectionValues> Collect(const TIniFile& Ini, bool NamedWithKeysOnly) {
  std::vector<TSectionValues> all;
  TStringList sections, values;
  Ini.ReadSections(sections);
  for (int i = 0; i < sections.Count(); ++i) {
    const std::string& s = sections.Strings(i);
    fuzzfile::Check(Ini.SectionExists(s), "a listed section exists");
    Ini.ReadSectionValues(s, values);
    if (NamedWithKeysOnly && (s.empty() || values.Count() == 0)) continue;
    TSectionValues sv{s, {}};
    for (int k = 0; k < values.Count(); ++k) {
      fuzzfile::Check(Ini.ReadString(s, values.Names(k), "\n") == values.ValueFromIndex(k), "value reads alike");
      sv.second.push_back(values.Strings(k));
    }
    all.push_back(std::move(sv));
  }
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string& input = fuzzfile::Write(Data, Size);
  std::vector<TSectionValues> read, named;
  {
    TIniFile ini(input);
    fuzzfile::CheckUnchanged(Data, Size);
    read = Collect(ini, false);
    named = Collect(ini, true);
    ini.UpdateFile();
  }
  {
    const TIniFile again(input);
    fuzzfile::Check(Collect(again, false) == read, "written back, the file reads the same");
  }
  const std::string fresh = fuzzfile::Folder() + "/fresh";
  DeleteFile(fresh);
  {
    TIniFile out(fresh);
    for (const auto& [section, lines] : named)
      for (const std::string& line : lines) {
        const size_t eq = line.find('=');
        out.WriteString(section, line.substr(0, eq), line.substr(eq + 1));
      }
    out.UpdateFile();
  }
  {
    const TIniFile back(fresh);
    fuzzfile::Check(Collect(back, true) == named, "every value written by name reads back");
  }
  DeleteFile(fresh);
  return 0;
}
