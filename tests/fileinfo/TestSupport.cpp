#include "tests/fileinfo/TestSupport.h"

#include <unistd.h>

#include "tests/fileinfo/FaultInjection.h"

namespace testsupport {

std::string MakeWavPack(const TTempDir& Dir, const std::string& Name) {
  EXPECT_TRUE(ToolExists("wavpack")) << "missing tool: wavpack";
  const std::string wav = MakeWav(Dir, Name + ".src.wav");
  const std::string f = Dir / Name;
  const auto r = RunTool("wavpack -q -y " + Quote(wav) + " -o " + Quote(f));
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  unlink(wav.c_str());
  return f;
}

std::string Filler(size_t Size, unsigned Seed) {
  std::string s(Size, '\0');
  uint32_t x = Seed * 2654435761u + 12345u;
  for (char& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>((x >> 16) & 0xFF);
  }
  return s;
}

int FaultSweep(const TTempDir& Dir, const std::string& FileName, const std::string& Original,
               const std::string& Expected, const std::function<bool()>& Op) {
  WriteFile(FileName, Original);
  const auto entries = Dir.Entries();
  fault::Arm(0);
  const bool ok = Op();
  const int calls = fault::Disarm();
  EXPECT_TRUE(ok);
  EXPECT_TRUE(ReadFileAsString(FileName) == Expected) << "unexpected result without failures";
  int failures = 0;
  for (int k = 1; k <= calls; ++k) {
    WriteFile(FileName, Original);
    fault::Arm(k);
    const bool r = Op();
    fault::Disarm();
    const std::string now = ReadFileAsString(FileName);
    if (r) {
      EXPECT_TRUE(now == Expected) << "call " << k << " failed, result true, contents wrong";
    } else {
      ++failures;
      EXPECT_TRUE(now == Original) << "call " << k << " failed and the original changed";
    }
    EXPECT_EQ(Dir.Entries(), entries) << "call " << k << " left a file behind";
  }
  // Most failures must be reported; only those after the new file is in place may not.
  EXPECT_GE(failures, calls / 2);
  return calls;
}

}  // namespace testsupport
