#include "platform/rtl/Streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/SysUtils.h"

int64_t TStream::Size() {
  const int64_t pos = Seek(0, soCurrent);
  const int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  while (Count > 0) {
    const int64_t n = Read(p, Count);
    if (n <= 0) throw EReadError("Stream read error");
    p += n;
    Count -= n;
  }
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  const auto* p = static_cast<const uint8_t*>(Buffer);
  while (Count > 0) {
    const int64_t n = Write(p, Count);
    if (n <= 0) throw EWriteError("Stream write error");
    p += n;
    Count -= n;
  }
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  const int64_t total = Count;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(Count, 1 << 16)));
  while (Count > 0) {
    const int64_t n = std::min<int64_t>(Count, static_cast<int64_t>(buf.size()));
    Source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    Count -= n;
  }
  return total;
}

int64_t THandleStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  for (;;) {
    const ssize_t n = ::read(FHandle, Buffer, static_cast<size_t>(Count));
    if (n >= 0) return n;
    if (errno != EINTR) return 0;
  }
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  for (;;) {
    const ssize_t n = ::write(FHandle, Buffer, static_cast<size_t>(Count));
    if (n >= 0) return n;
    if (errno != EINTR) return 0;
  }
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  const off_t r = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
  if (r < 0) throw EStreamError(SysErrorMessage(errno));
  return r;
}

void THandleStream::SetSize(int64_t NewSize) {
  if (::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0)
    throw EStreamError(SysErrorMessage(errno));
  if (Position() > NewSize) Seek(NewSize, soBeginning);
}

int FileOpenMode(const std::string& FileName, uint16_t Mode) {
  int flags = O_CLOEXEC;
  if (Mode == fmCreate) {
    flags |= O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (Mode & 3) {
      case fmOpenWrite: flags |= O_WRONLY; break;
      case fmOpenReadWrite: flags |= O_RDWR; break;
      default: return OpenRegularFile(FileName);  // never waits on a FIFO or device
    }
  }
  // Writing refuses a folder by itself (EISDIR).
  int fd;
  do {
    fd = ::open(FileName.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode)
    : THandleStream(-1), FFileName(FileName) {
  FHandle = FileOpenMode(FileName, Mode);
  if (FHandle < 0) {
    const int err = errno;
    if (Mode == fmCreate)
      throw EFCreateError("Cannot create file \"" + FileName + "\". " + SysErrorMessage(err));
    throw EFOpenError("Cannot open file \"" + FileName + "\". " + SysErrorMessage(err));
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || FPosition >= Size()) return 0;
  const int64_t n = std::min(Count, Size() - FPosition);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  const int64_t end = FPosition + Count;
  if (end > Size()) FData.resize(static_cast<size_t>(end));
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t pos = Origin == soBeginning ? Offset : Origin == soCurrent ? FPosition + Offset
                                                                      : Size() + Offset;
  if (pos < 0) throw EStreamError("Invalid stream position");
  FPosition = pos;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) throw EStreamError("Invalid stream size");
  FData.resize(static_cast<size_t>(NewSize));
  if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Source) {
  Source.SetPosition(0);
  const int64_t n = Source.Size();
  SetSize(n);
  if (n > 0) Source.ReadBuffer(FData.data(), n);
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  TFileStream f(FileName, fmOpenRead);
  LoadFromStream(f);
}

void TMemoryStream::SaveToStream(TStream& Dest) const {
  if (!FData.empty()) Dest.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TMemoryStream::SaveToFile(const std::string& FileName) const {
  TFileStream f(FileName, fmCreate);
  SaveToStream(f);
}
