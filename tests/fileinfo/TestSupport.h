#pragma once
// Fixtures and helpers shared by the tag reader tests: temporary folders,
// audio files made with Debian's tools, and running those tools.

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

namespace testsupport {

class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }
  std::set<std::string> Entries() const;

private:
  std::string FPath;
};

std::string ReadBytes(const std::string& FileName);
void WriteBytes(const std::string& FileName, const std::string& Data);

struct TRunResult {
  int ExitCode = -1;
  std::string Output;  // stdout and stderr together
};
TRunResult RunTool(const std::string& Command);
bool ToolExists(const std::string& Name);
std::string Quote(const std::string& S);

// Test fixtures made at test time. Each fails the test when its tool is missing.
std::string MakeWav(const TTempDir& Dir, const std::string& Name, double Seconds = 0.3);
std::string MakeMp3(const TTempDir& Dir, const std::string& Name);
std::string MakeWavPack(const TTempDir& Dir, const std::string& Name);

// Bytes of a little file that is neither audio nor tag.
std::string Filler(size_t Size, unsigned Seed = 1);

// Runs Op with every system call of its file work failing in turn and checks
// after each run: a false result leaves the file as Original, a true one as
// Expected, and no other file appears in the folder. Returns the number of
// calls Op made when nothing failed.
int FaultSweep(const TTempDir& Dir, const std::string& FileName, const std::string& Original,
               const std::string& Expected, const std::function<bool()>& Op);

}  // namespace testsupport

#define REQUIRE_TOOL(name) ASSERT_TRUE(testsupport::ToolExists(name)) << "missing tool: " << (name)
