#include "fileinfo/TagFileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/rtl/FileUtils.h"

namespace fileinfo {

namespace {

// Opens a file for an in-place change. A file with no write bit is read-only by
// the user's choice and stays so, even for root; one whose size is no longer
// what the caller measured has changed underneath us.
int OpenForUpdate(const std::string& FileName, int64_t ExpectedSize) {
  const int fd = open(FileName.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
      static_cast<int64_t>(st.st_size) != ExpectedSize) {
    close(fd);
    return -1;
  }
  return fd;
}

bool AppendInPlace(const std::string& FileName, int64_t OldSize, std::string_view Tail) {
  const int fd = OpenForUpdate(FileName, OldSize);
  if (fd < 0) return false;
  bool ok = PWriteAll(fd, Tail.data(), Tail.size(), OldSize) && fsync(fd) == 0;
  if (!ok) {
    // Only bytes past the old end were touched: cutting them restores the file.
    if (ftruncate(fd, static_cast<off_t>(OldSize)) == 0) fsync(fd);
  }
  // The data is on disk once fsync succeeded; close cannot take it back.
  close(fd);
  return ok;
}

bool OverwriteInPlace(const std::string& FileName, int64_t OldSize, int64_t Offset,
                      std::string_view Data) {
  const int fd = OpenForUpdate(FileName, OldSize);
  if (fd < 0) return false;
  std::string old(Data.size(), '\0');
  if (!PReadAll(fd, old.data(), old.size(), Offset)) {
    close(fd);
    return false;
  }
  const bool ok = PWriteAll(fd, Data.data(), Data.size(), Offset) && fsync(fd) == 0;
  if (!ok) {
    // Put the old bytes back so a failed write leaves the file as it was.
    if (PWriteAll(fd, old.data(), old.size(), Offset)) fsync(fd);
  }
  close(fd);
  return ok;
}

}  // namespace

TReadFile::~TReadFile() {
  if (FFd >= 0) close(FFd);
}

bool TReadFile::Open(const std::string& FileName) {
  if (FFd >= 0) {
    close(FFd);
    FFd = -1;
  }
  FSize = 0;
  if (FileName.empty()) return false;
  const int fd = OpenRegularFile(FileName);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return false;
  }
  FFd = fd;
  FSize = static_cast<int64_t>(st.st_size);
  return true;
}

bool TReadFile::ReadAt(int64_t Offset, void* Buffer, int64_t Count) const {
  if (FFd < 0 || Offset < 0 || Count < 0 || Offset > FSize || Count > FSize - Offset) return false;
  return PReadAll(FFd, static_cast<char*>(Buffer), static_cast<size_t>(Count), Offset);
}

bool TReadFile::ReadAt(int64_t Offset, int64_t Count, std::string& Data) const {
  if (FFd < 0 || Offset < 0 || Count < 0 || Offset > FSize || Count > FSize - Offset) return false;
  Data.assign(static_cast<size_t>(Count), '\0');
  return ReadAt(Offset, Data.data(), Count);
}

bool CopyRange(const TReadFile& Src, int Dst, int64_t Offset, int64_t Count) {
  std::vector<char> buf(1 << 16);
  while (Count > 0) {
    const int64_t n = Count < static_cast<int64_t>(buf.size()) ? Count : static_cast<int64_t>(buf.size());
    if (!Src.ReadAt(Offset, buf.data(), n)) return false;
    if (!WriteAll(Dst, buf.data(), static_cast<size_t>(n))) return false;
    Offset += n;
    Count -= n;
  }
  return true;
}

bool RewriteWhole(const std::string& FileName, int64_t OldSize,
                  const std::function<bool(const TReadFile& Old, int Fd)>& Write) {
  return ReplaceFileSafely(FileName, [&](int Fd) {
    TReadFile src(FileName);
    return src.IsOpen() && src.Size() == OldSize && Write(src, Fd);
  });
}

bool RewriteTail(const std::string& FileName, int64_t OldSize, int64_t KeepEnd,
                 std::string_view NewTail) {
  if (KeepEnd < 0 || KeepEnd > OldSize) return false;
  if (KeepEnd == OldSize) {
    if (NewTail.empty()) return true;
    return AppendInPlace(FileName, OldSize, NewTail);
  }
  if (OldSize - KeepEnd == static_cast<int64_t>(NewTail.size()))
    return OverwriteInPlace(FileName, OldSize, KeepEnd, NewTail);
  return RewriteWhole(FileName, OldSize, [&](const TReadFile& Src, int Fd) {
    return CopyRange(Src, Fd, 0, KeepEnd) && WriteAll(Fd, NewTail.data(), NewTail.size());
  });
}

bool RewriteHead(const std::string& FileName, int64_t OldSize, int64_t OldHeadSize,
                 std::string_view NewHead) {
  if (OldHeadSize < 0 || OldHeadSize > OldSize) return false;
  if (OldHeadSize == static_cast<int64_t>(NewHead.size()))
    return OverwriteInPlace(FileName, OldSize, 0, NewHead);
  return RewriteWhole(FileName, OldSize, [&](const TReadFile& Src, int Fd) {
    return WriteAll(Fd, NewHead.data(), NewHead.size()) && CopyRange(Src, Fd, OldHeadSize, OldSize - OldHeadSize);
  });
}

std::string FirstChars(const std::string& S, size_t Count) {
  size_t i = 0;
  for (size_t chars = 0; i < S.size(); ++i) {
    if ((static_cast<unsigned char>(S[i]) & 0xC0) != 0x80) {
      if (chars == Count) break;
      ++chars;
    }
  }
  return S.substr(0, i);
}

void DropCutUTF8(std::string& S) {
  size_t i = S.size(), cont = 0;
  while (i > 0 && cont < 3 && (static_cast<unsigned char>(S[i - 1]) & 0xC0) == 0x80) {
    --i;
    ++cont;
  }
  if (i == 0) return;
  const auto lead = static_cast<unsigned char>(S[i - 1]);
  size_t need = 0;
  if (lead >= 0xF0) need = 3;
  else if (lead >= 0xE0) need = 2;
  else if (lead >= 0xC0) need = 1;
  if (need > cont) S.resize(i - 1);
}

}  // namespace fileinfo
