// libFuzzer target for the engine's ID3v2 reader: the bytes are read as a tag from
// memory and from a file descriptor, and whatever was read must survive being
// written as a new tag and read again.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "audio/core/TSL_Tags.h"

namespace {

int MemFile() {
  static const int Fd = memfd_create("id3v2-fuzz", MFD_CLOEXEC);
  return Fd;
}

void Check(bool Condition) {
  if (!Condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TId3v2Tags t;
  int64_t tagSize = 0;
  const bool parsed = t.ParseTag(Data, Size, tagSize);
  if (parsed) Check(tagSize >= 10 && tagSize <= static_cast<int64_t>(Size));

  // Through a descriptor: the same answer, and the position at the tag's end.
  const int fd = MemFile();
  if (fd >= 0 && ftruncate(fd, 0) == 0 && pwrite(fd, Data, Size, 0) == static_cast<ssize_t>(Size)) {
    lseek(fd, 0, SEEK_SET);
    TId3v2Tags f;
    const bool has = f.HasTag(fd);
    Check(lseek(fd, 0, SEEK_CUR) == 0);
    const bool read = f.ReadFromFile(fd);
    Check(read == parsed);
    Check(has || !read);
    if (read) Check(lseek(fd, 0, SEEK_CUR) == tagSize);
  }
  if (!parsed) return 0;

  // What was read is written again and reads back the same, all but the link, whose
  // characters beyond ASCII are percent-encoded on writing.
  std::vector<uint8_t> built;
  if (!t.BuildTag(built)) return 0;
  TId3v2Tags back;
  int64_t backSize = 0;
  Check(back.ParseTag(built.data(), built.size(), backSize));
  Check(backSize == static_cast<int64_t>(built.size()));
  for (int32_t f = 0; f < Id3v2FieldCount; ++f) {
    const auto field = static_cast<TId3v2Field>(f);
    if (field == id3Link) continue;
    Check(t.AsWideString(t.FieldKey(field)) == back.AsWideString(back.FieldKey(field)));
  }
  return 0;
}
