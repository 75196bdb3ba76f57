#include "platform/rtl/FileUtils.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/rtl/SysUtils.h"

namespace {

// The position where the file name's extension starts, or npos. Leading dots
// belong to the name, so ".hidden" has no extension and ".." is not one.
size_t ExtPos(const std::string& FileName) {
  const size_t slash = FileName.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = FileName.rfind('.');
  if (dot == std::string::npos || dot < nameStart) return std::string::npos;
  if (FileName.find_first_not_of('.', nameStart) >= dot) return std::string::npos;
  return dot;
}

// Six characters from a 62-letter alphabet; the randomness only makes collisions
// rare, O_EXCL is what guarantees a new file.
std::string RandomPart() {
  static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::atomic<uint64_t> counter{0};
  uint64_t r = 0;
  if (getrandom(&r, sizeof r, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof r)) {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    r = (uint64_t(ts.tv_nsec) << 20) ^ uint64_t(ts.tv_sec) ^ (uint64_t(getpid()) << 40);
  }
  r ^= counter.fetch_add(0x9E3779B97F4A7C15ull);
  std::string s(6, 'X');
  for (char& c : s) {
    c = Letters[r % 62];
    r /= 62;
  }
  return s;
}

// Creates Dir/Prefix<random>Suffix with O_EXCL and returns its descriptor, or -1
// with errno set. Name receives the file's name.
int CreateExclusive(const std::string& Dir, const std::string& Prefix, const std::string& Suffix,
                    std::string& Name, mode_t Mode = 0600) {
  const std::string dir = IncludeTrailingPathDelimiter(Dir);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    Name = dir + Prefix + RandomPart() + Suffix;
    const int fd = open(Name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, Mode);
    if (fd >= 0) return fd;
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

bool FileExists(const std::string& FileName) {
  struct stat st;
  return !FileName.empty() && stat(FileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& Dir) {
  struct stat st;
  return !Dir.empty() && stat(Dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& FileName) { return unlink(FileName.c_str()) == 0; }

// Like the classic call, and unlike rename(), this never replaces an existing file.
bool RenameFile(const std::string& OldName, const std::string& NewName) {
  if (renameat2(AT_FDCWD, OldName.c_str(), AT_FDCWD, NewName.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without RENAME_NOREPLACE: check first, accepting the small race.
  struct stat st;
  if (lstat(NewName.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return rename(OldName.c_str(), NewName.c_str()) == 0;
}

int64_t FileSize(const std::string& FileName) {
  struct stat st;
  if (stat(FileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

std::string ExtractFilePath(const std::string& FileName) {
  const size_t slash = FileName.rfind('/');
  return slash == std::string::npos ? std::string() : FileName.substr(0, slash + 1);
}

std::string ExtractFileDir(const std::string& FileName) {
  const size_t slash = FileName.rfind('/');
  if (slash == std::string::npos) return std::string();
  // The root keeps its slash: the folder of "/a" is "/".
  if (FileName.find_last_not_of('/', slash) == std::string::npos) return FileName.substr(0, slash + 1);
  return FileName.substr(0, slash);
}

std::string ExtractFileName(const std::string& FileName) {
  const size_t slash = FileName.rfind('/');
  return slash == std::string::npos ? FileName : FileName.substr(slash + 1);
}

std::string ExtractFileExt(const std::string& FileName) {
  const size_t dot = ExtPos(FileName);
  return dot == std::string::npos ? std::string() : FileName.substr(dot);
}

std::string ChangeFileExt(const std::string& FileName, const std::string& Ext) {
  const size_t dot = ExtPos(FileName);
  return (dot == std::string::npos ? FileName : FileName.substr(0, dot)) + Ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& Dir) {
  // An empty folder stays empty (the current folder) rather than becoming the root.
  if (Dir.empty() || Dir.back() == '/') return Dir;
  return Dir + '/';
}

std::string ExcludeTrailingPathDelimiter(const std::string& Dir) {
  const size_t last = Dir.find_last_not_of('/');
  if (last == std::string::npos) return Dir.empty() ? Dir : std::string("/");
  return Dir.substr(0, last + 1);
}

bool ForceDirectories(const std::string& Dir) {
  const std::string dir = ExcludeTrailingPathDelimiter(Dir);
  if (dir.empty()) return false;
  if (DirectoryExists(dir)) return true;
  const std::string parent = ExtractFileDir(dir);
  if (!parent.empty() && parent != dir && !ForceDirectories(parent)) return false;
  if (mkdir(dir.c_str(), 0777) == 0) return true;
  // Another process may have made it meanwhile.
  return errno == EEXIST && DirectoryExists(dir);
}

std::string GetTempDirectory() {
  const char* env = getenv("TMPDIR");
  if (env && env[0] == '/' && DirectoryExists(env) && access(env, W_OK | X_OK) == 0)
    return IncludeTrailingPathDelimiter(env);
  return "/tmp/";
}

std::string CreateUniqueFile(const std::string& Dir, const std::string& Prefix,
                             const std::string& Suffix) {
  std::string name;
  const int fd = CreateExclusive(Dir, Prefix, Suffix, name);
  if (fd < 0) {
    const int err = errno;
    throw EOSError(SysErrorMessage(err), err);
  }
  close(fd);
  return name;
}

int CreateSiblingFile(const std::string& FileName, const std::string& Suffix, mode_t Mode, std::string& TempName) {
  // "." + name + "." + six random letters + Suffix within NAME_MAX, cut at a
  // character boundary.
  std::string base = ExtractFileName(FileName);
  const size_t room = NAME_MAX - 8 - std::min<size_t>(Suffix.size(), NAME_MAX - 8);
  if (base.size() > room) {
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
    base.resize(cut);
  }
  const std::string dir = ExtractFilePath(FileName);
  return CreateExclusive(dir.empty() ? "./" : dir, "." + base + ".", Suffix, TempName, Mode);
}

int CreateUnnamedFile(const std::string& Dir) {
  const std::string dir = Dir.empty() ? std::string(".") : Dir;
  const int fd = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  // A file system without unnamed files: a named one, removed at once.
  std::string name;
  const int named = CreateExclusive(dir, ".sonvix-", ".tmp", name);
  if (named >= 0) unlink(name.c_str());
  return named;
}

std::string ProgramFileName() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
  if (n <= 0 || n >= static_cast<ssize_t>(sizeof buf)) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

std::string ProgramDir() { return ExtractFilePath(ProgramFileName()); }

bool ReplaceFileSafely(const std::string& FileName, const std::function<bool(int Fd)>& WriteNew) {
  if (FileName.empty() || !WriteNew) return false;
  // Replace the file a symbolic link points to, not the link itself.
  std::string target = FileName;
  struct stat st;
  if (lstat(FileName.c_str(), &st) != 0) return false;
  if (S_ISLNK(st.st_mode)) {
    char* real = realpath(FileName.c_str(), nullptr);
    if (!real) return false;
    target = real;
    free(real);
    if (stat(target.c_str(), &st) != 0) return false;
  }
  if (!S_ISREG(st.st_mode)) return false;
  // A file without any write bit is read-only by the user's choice; root would pass
  // access(), so the mode bits are checked as well.
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  const std::string dir = ExtractFilePath(target);
  if (access(target.c_str(), W_OK) != 0) return false;
  if (access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) != 0) return false;

  // The leading dot and the random part keep the name clear of the user's own files.
  std::string tmpName;
  const int fd = CreateSiblingFile(target, ".tmp", 0600, tmpName);
  if (fd < 0) return false;

  bool ok = false;
  try {
    ok = WriteNew(fd);
  } catch (...) {
    ok = false;
  }
  // Owner first: a successful chown clears set-id bits, which fchmod then restores.
  if (ok && fchown(fd, st.st_uid, st.st_gid) != 0 && errno != EPERM) ok = false;
  if (ok && fchmod(fd, st.st_mode & 07777) != 0) ok = false;
  if (ok && fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok && rename(tmpName.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) {
    unlink(tmpName.c_str());
    return false;
  }
  // Make the rename itself durable. The new contents are in place by now, so a
  // failure here does not turn the result into false.
  const int dfd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

int OpenRegularFile(const std::string& FileName) {
  int fd;
  do {
    fd = ::open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st;
  const int kind = ::fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
  const int flags = kind == 0 ? ::fcntl(fd, F_GETFL) : -1;
  if (kind != 0 || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int err = kind != 0 ? kind : errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

bool WriteAll(int Fd, const void* Data, size_t Count) {
  auto* p = static_cast<const uint8_t*>(Data);
  while (Count > 0) {
    const ssize_t n = ::write(Fd, p, Count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    Count -= static_cast<size_t>(n);
  }
  return true;
}

bool PReadAll(int Fd, void* Data, size_t Count, int64_t Offset) {
  auto* p = static_cast<uint8_t*>(Data);
  while (Count > 0) {
    const ssize_t n = ::pread(Fd, p, Count, static_cast<off_t>(Offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    Count -= static_cast<size_t>(n);
    Offset += n;
  }
  return true;
}

bool PWriteAll(int Fd, const void* Data, size_t Count, int64_t Offset) {
  auto* p = static_cast<const uint8_t*>(Data);
  while (Count > 0) {
    const ssize_t n = ::pwrite(Fd, p, Count, static_cast<off_t>(Offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    Count -= static_cast<size_t>(n);
    Offset += n;
  }
  return true;
}
