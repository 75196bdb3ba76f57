#include "tests/fileinfo/FaultInjection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>

extern "C" {
int __real_open(const char* Path, int Flags, ...);
ssize_t __real_read(int Fd, void* Buf, size_t Count);
ssize_t __real_pread(int Fd, void* Buf, size_t Count, off_t Offset);
ssize_t __real_write(int Fd, const void* Buf, size_t Count);
ssize_t __real_pwrite(int Fd, const void* Buf, size_t Count, off_t Offset);
int __real_fsync(int Fd);
int __real_fchmod(int Fd, mode_t Mode);
int __real_fchown(int Fd, uid_t Owner, gid_t Group);
int __real_close(int Fd);
int __real_rename(const char* Old, const char* New);
int __real_ftruncate(int Fd, off_t Length);
int __real_unlink(const char* Path);
}

namespace {

bool GArmed = false;
int GFailAt = 0;
int GCalls = 0;

bool ShouldFail() {
  if (!GArmed) return false;
  ++GCalls;
  if (GCalls != GFailAt) return false;
  errno = EIO;
  return true;
}

}  // namespace

namespace fault {

void Arm(int FailAt) {
  GFailAt = FailAt;
  GCalls = 0;
  GArmed = true;
}

int Disarm() {
  GArmed = false;
  return GCalls;
}

}  // namespace fault

extern "C" {

int __wrap_open(const char* Path, int Flags, ...) {
  mode_t mode = 0;
  if (Flags & (O_CREAT | O_TMPFILE)) {
    va_list ap;
    va_start(ap, Flags);
    mode = static_cast<mode_t>(va_arg(ap, int));
    va_end(ap);
  }
  if (ShouldFail()) return -1;
  return __real_open(Path, Flags, mode);
}

ssize_t __wrap_read(int Fd, void* Buf, size_t Count) {
  if (ShouldFail()) return -1;
  return __real_read(Fd, Buf, Count);
}

ssize_t __wrap_pread(int Fd, void* Buf, size_t Count, off_t Offset) {
  if (ShouldFail()) return -1;
  return __real_pread(Fd, Buf, Count, Offset);
}

// A failing write first writes half of its bytes, as a torn write would.
ssize_t __wrap_write(int Fd, const void* Buf, size_t Count) {
  if (ShouldFail()) {
    const int err = errno;
    if (Count > 1) (void)__real_write(Fd, Buf, Count / 2);
    errno = err;
    return -1;
  }
  return __real_write(Fd, Buf, Count);
}

ssize_t __wrap_pwrite(int Fd, const void* Buf, size_t Count, off_t Offset) {
  if (ShouldFail()) {
    const int err = errno;
    if (Count > 1) (void)__real_pwrite(Fd, Buf, Count / 2, Offset);
    errno = err;
    return -1;
  }
  return __real_pwrite(Fd, Buf, Count, Offset);
}

int __wrap_fsync(int Fd) { return ShouldFail() ? -1 : __real_fsync(Fd); }
int __wrap_fchmod(int Fd, mode_t Mode) { return ShouldFail() ? -1 : __real_fchmod(Fd, Mode); }
int __wrap_fchown(int Fd, uid_t Owner, gid_t Group) {
  return ShouldFail() ? -1 : __real_fchown(Fd, Owner, Group);
}

// The descriptor is released either way, as the kernel does.
int __wrap_close(int Fd) {
  if (ShouldFail()) {
    __real_close(Fd);
    errno = EIO;
    return -1;
  }
  return __real_close(Fd);
}

int __wrap_rename(const char* Old, const char* New) {
  return ShouldFail() ? -1 : __real_rename(Old, New);
}
int __wrap_ftruncate(int Fd, off_t Length) { return ShouldFail() ? -1 : __real_ftruncate(Fd, Length); }
int __wrap_unlink(const char* Path) { return ShouldFail() ? -1 : __real_unlink(Path); }

}  // extern "C"
