#pragma once
// The tag readers work on named files, so every input is written to one
// scratch file per fuzzing process first.

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fuzzfile {

inline std::string& Folder() {
  static std::string dir;
  return dir;
}

inline const std::string& Path() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/fileinfo-fuzz-XXXXXX";
    if (!mkdtemp(dir.data())) std::abort();
    Folder() = dir;
    std::atexit([] {
      std::error_code e;
      std::filesystem::remove_all(Folder(), e);
    });
    return dir + "/input";
  }();
  return path;
}

inline std::string Read() {
  std::ifstream in(Path(), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline const std::string& Write(const uint8_t* Data, size_t Size) {
  std::ofstream out(Path(), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
  return Path();
}

inline const std::string& WriteString(const std::string& Data) {
  return Write(reinterpret_cast<const uint8_t*>(Data.data()), Data.size());
}

// Reading must never change a file.
inline void CheckUnchanged(const uint8_t* Data, size_t Size) {
  if (Read() != std::string(reinterpret_cast<const char*>(Data), Size)) {
    std::fprintf(stderr, "reading changed the file\n");
    std::abort();
  }
}

inline void Check(bool Condition, const char* What) {
  if (!Condition) {
    std::fprintf(stderr, "property failed: %s\n", What);
    std::abort();
  }
}

// Reads Data as a file with a reader of stream facts, which must leave the file as it
// was, say by its result whether the file is valid and give a finite, non-negative
// duration and bitrate. Returns the result.
template <class TReader>
bool ReadFacts(TReader& Reader, const uint8_t* Data, size_t Size) {
  const bool read = Reader.ReadFromFile(Write(Data, Size));
  CheckUnchanged(Data, Size);
  Check(read == Reader.Valid(), "result says whether the file is valid");
  Check(std::isfinite(Reader.Duration()) && Reader.Duration() >= 0, "duration");
  Check(std::isfinite(Reader.Bitrate()) && Reader.Bitrate() >= 0, "bitrate");
  return read;
}

}  // namespace fuzzfile
