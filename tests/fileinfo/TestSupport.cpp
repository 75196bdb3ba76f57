#include "tests/fileinfo/TestSupport.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/fileinfo/FaultInjection.h"

namespace testsupport {

TTempDir::TTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/fileinfo-test-XXXXXX";
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  FPath = tmpl;
}

TTempDir::~TTempDir() { std::system(("rm -rf " + Quote(FPath)).c_str()); }

std::set<std::string> TTempDir::Entries() const {
  std::set<std::string> r;
  if (DIR* d = opendir(FPath.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") r.insert(n);
    }
    closedir(d);
  }
  return r;
}

std::string ReadBytes(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const std::string& FileName, const std::string& Data) {
  std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
  out.write(Data.data(), static_cast<std::streamsize>(Data.size()));
}

std::string Quote(const std::string& S) {
  std::string r = "'";
  for (char c : S) r += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

TRunResult RunTool(const std::string& Command) {
  TRunResult r;
  FILE* p = popen((Command + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.Output.append(buf, n);
  const int status = pclose(p);
  r.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

bool ToolExists(const std::string& Name) {
  return RunTool("command -v " + Quote(Name) + " >/dev/null").ExitCode == 0;
}

std::string MakeWav(const TTempDir& Dir, const std::string& Name, double Seconds) {
  EXPECT_TRUE(ToolExists("sox")) << "missing tool: sox";
  const std::string f = Dir / Name;
  const auto r = RunTool("sox -n -r 44100 -c 2 -b 16 " + Quote(f) + " synth " + std::to_string(Seconds) +
                     " sine 440");
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  return f;
}

std::string MakeMp3(const TTempDir& Dir, const std::string& Name) {
  EXPECT_TRUE(ToolExists("lame")) << "missing tool: lame";
  const std::string wav = MakeWav(Dir, Name + ".src.wav");
  const std::string f = Dir / Name;
  const auto r = RunTool("lame --quiet -b 128 " + Quote(wav) + " " + Quote(f));
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  unlink(wav.c_str());
  return f;
}

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
  WriteBytes(FileName, Original);
  const auto entries = Dir.Entries();
  fault::Arm(0);
  const bool ok = Op();
  const int calls = fault::Disarm();
  EXPECT_TRUE(ok);
  EXPECT_TRUE(ReadBytes(FileName) == Expected) << "unexpected result without failures";
  int failures = 0;
  for (int k = 1; k <= calls; ++k) {
    WriteBytes(FileName, Original);
    fault::Arm(k);
    const bool r = Op();
    fault::Disarm();
    const std::string now = ReadBytes(FileName);
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
