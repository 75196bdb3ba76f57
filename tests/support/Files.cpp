#include "tests/support/Files.h"

#include <errno.h>
#include <signal.h>
#include <sys/resource.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/rtl/FileUtils.h"

namespace testsupport {

namespace {

// Named after the test program, so that a folder left by a killed run tells whose it is.
std::string MakeFolder() {
  std::string pattern = GetTempDirectory() + "sonvix-" + program_invocation_short_name + "-XXXXXX";
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("cannot make a temporary folder " + pattern + ": " + std::strerror(errno));
  return pattern;
}

}  // namespace

TTempDir::TTempDir() : FPath(MakeFolder()) {}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(FPath, ec);
}

std::set<std::string> TTempDir::Entries() const {
  std::set<std::string> r;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(FPath, ec)) r.insert(e.path().filename().string());
  return r;
}

const std::string& ProcessTempDir() {
  static const TTempDir dir;
  static const std::string path = dir.Root() + "/";
  return path;
}

std::string TempPath(const std::string& Name) { return ProcessTempDir() + Name; }

std::vector<uint8_t> ReadFile(const std::string& Path) {
  std::ifstream f(Path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

std::string ReadFileAsString(const std::string& Path) {
  std::ifstream f(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes) {
  std::ofstream f(Path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

void WriteFile(const std::string& Path, const std::string& Bytes) {
  std::ofstream f(Path, std::ios::binary | std::ios::trunc);
  f.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

std::vector<std::string> FilesBelow(const std::string& Root) {
  namespace fs = std::filesystem;
  std::vector<std::string> r;
  for (const auto& f : fs::recursive_directory_iterator(Root))
    if (f.is_regular_file()) r.push_back(fs::relative(f.path(), Root).string());
  std::sort(r.begin(), r.end());
  return r;
}

std::vector<std::string> RunTemporaries(const std::string& Path) {
  namespace fs = std::filesystem;
  const fs::path p(Path);
  const std::string prefix = "." + p.filename().string() + ".";
  std::vector<std::string> r;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(p.parent_path(), ec)) {
    const std::string name = e.path().filename().string();
    if (name.size() == prefix.size() + 6 + 5 && name.rfind(prefix, 0) == 0 && name.ends_with(".part"))
      r.push_back(name);
  }
  return r;
}

TFileSizeLimit::TFileSizeLimit(uint64_t Bytes) : FOldHandler(signal(SIGXFSZ, SIG_IGN)) {
  rlimit r{};
  getrlimit(RLIMIT_FSIZE, &r);
  FOldLimit = r.rlim_cur;
  r.rlim_cur = Bytes;
  if (setrlimit(RLIMIT_FSIZE, &r) != 0) throw std::runtime_error("cannot limit the file size");
}

TFileSizeLimit::~TFileSizeLimit() {
  rlimit r{};
  getrlimit(RLIMIT_FSIZE, &r);
  r.rlim_cur = FOldLimit;
  setrlimit(RLIMIT_FSIZE, &r);
  signal(SIGXFSZ, FOldHandler);
}

void AppendFile(const std::string& Path, const std::string& Bytes) {
  std::ofstream f(Path, std::ios::binary | std::ios::app);
  f.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

void CutFile(const std::string& From, const std::string& To, double Fraction) {
  std::vector<uint8_t> b = ReadFile(From);
  b.resize(static_cast<size_t>(static_cast<double>(b.size()) * Fraction));
  WriteFile(To, b);
}

void DamageFile(const std::string& From, const std::string& To, double Fraction, size_t Count, uint8_t Fill) {
  std::vector<uint8_t> b = ReadFile(From);
  const size_t at = static_cast<size_t>(static_cast<double>(b.size()) * Fraction);
  std::fill(b.begin() + static_cast<std::ptrdiff_t>(std::min(at, b.size())),
            b.begin() + static_cast<std::ptrdiff_t>(std::min(at + Count, b.size())), Fill);
  WriteFile(To, b);
}

}  // namespace testsupport
