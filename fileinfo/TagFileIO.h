#pragma once
// File access shared by the tag readers and writers. Everything here reports
// failure by its result and never throws; no length read from a file reaches
// these functions unchecked.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace fileinfo {

// Tag values are read whole up to this size; a larger one is taken for damage
// and not read (the writers keep it as it is).
constexpr int64_t MaxValueSize = 16 * 1024 * 1024;

// A file opened for reading by its 8-bit name; closed on destruction.
class TReadFile {
public:
  TReadFile() = default;
  explicit TReadFile(const std::string& FileName) { Open(FileName); }
  ~TReadFile();
  TReadFile(const TReadFile&) = delete;
  TReadFile& operator=(const TReadFile&) = delete;

  bool Open(const std::string& FileName);  // a regular file only
  bool IsOpen() const { return FFd >= 0; }
  int64_t Size() const { return FSize; }
  // Reads exactly Count bytes at Offset; false when they are not all there.
  bool ReadAt(int64_t Offset, void* Buffer, int64_t Count) const;
  // As ReadAt, into a string of Count bytes.
  bool ReadAt(int64_t Offset, int64_t Count, std::string& Data) const;

private:
  int FFd = -1;
  int64_t FSize = 0;
};

// Rewrites the end of a file: the bytes from KeepEnd to the end (OldSize, as
// the caller measured it) become NewTail. Appending and replacing a tail of the
// same length are done in place and undone on failure; anything else writes a
// complete new file through ReplaceFileSafely. A file that changed its size
// since it was measured, or that has no write permission, is left alone.
bool RewriteTail(const std::string& FileName, int64_t OldSize, int64_t KeepEnd,
                 std::string_view NewTail);

// Rewrites the start of a file: its first OldHeadSize bytes become NewHead.
// Same length: in place (undone on failure); otherwise a complete new file.
bool RewriteHead(const std::string& FileName, int64_t OldSize, int64_t OldHeadSize,
                 std::string_view NewHead);

// Writes a complete new file through ReplaceFileSafely: Write gets the old file
// (checked to still have OldSize bytes) and the new file's descriptor.
bool RewriteWhole(const std::string& FileName, int64_t OldSize,
                  const std::function<bool(const TReadFile& Old, int Fd)>& Write);
// Copies Count bytes from Offset of Src to the current position of Dst.
bool CopyRange(const TReadFile& Src, int Dst, int64_t Offset, int64_t Count);

// The first Count characters of a UTF-8 text.
std::string FirstChars(const std::string& S, size_t Count);
// Drops a character that a length limit cut in half at the end of a UTF-8 text.
void DropCutUTF8(std::string& S);

}  // namespace fileinfo
