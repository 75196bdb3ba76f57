#pragma once
// Temporary folders and whole-file reads and writes for the tests.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with its content. A
// folder that cannot be made throws, which fails the test.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::string& Root() const { return FPath; }
  std::string Path(const std::string& Name) const { return FPath + "/" + Name; }
  std::string operator/(const std::string& Name) const { return Path(Name); }
  // Names in the folder.
  std::set<std::string> Entries() const;

private:
  std::string FPath;
};

// A folder for the whole test process, made on first use and removed when the process
// ends; the name ends with a slash.
const std::string& ProcessTempDir();
// Name in the process's folder.
std::string TempPath(const std::string& Name);

// A file's bytes; nothing when it cannot be read.
std::vector<uint8_t> ReadFile(const std::string& Path);
std::string ReadFileAsString(const std::string& Path);
// Creates or replaces a file.
void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes);
void WriteFile(const std::string& Path, const std::string& Bytes);
void AppendFile(const std::string& Path, const std::string& Bytes);

// The files an output run writes before they get the name Path (".<name>.XXXXXX.part"
// beside it), as names in Path's folder.
std::vector<std::string> RunTemporaries(const std::string& Path);

// While it lives, no file this process or a program it starts writes may grow beyond
// Bytes: a write past that fails with EFBIG (SIGXFSZ is ignored), as on a full disk.
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(uint64_t Bytes);
  ~TFileSizeLimit();
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
  uint64_t FOldLimit;
  void (*FOldHandler)(int);
};

// The regular files below Root at any depth, as sorted paths relative to it.
std::vector<std::string> FilesBelow(const std::string& Root);

// Damaged copies of a file, written as To: cut to Fraction of its length, or with
// Count bytes from Fraction of its length on overwritten by Fill.
void CutFile(const std::string& From, const std::string& To, double Fraction);
void DamageFile(const std::string& From, const std::string& To, double Fraction, size_t Count, uint8_t Fill);

}  // namespace testsupport
