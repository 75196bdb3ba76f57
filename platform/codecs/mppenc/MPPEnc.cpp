// libmppenc: Musepack encoding with Debian's mpcenc, driven through the caller's
// callbacks.

#include "MPPEnc.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr size_t WavHeaderBytes = 44;
// The largest data chunk a WAV header can announce.
constexpr uint64_t MaxWavData = 0xFFFFFFFFull - 36;
// Frames read per step, and bytes of the finished stream written per step.
constexpr size_t FramesPerStep = 16384;
constexpr size_t CopyBytesPerStep = 1 << 20;
constexpr int ChildPollMs = 100;

enum TPhase { phIdle, phFeed, phPad, phWait, phFinish, phCopy, phDone, phFailed };

void PutLE16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// A canonical PCM WAV header: mpcenc reads neither WAVE_FORMAT_EXTENSIBLE nor sizes
// it cannot trust, so the data size is always the real one.
void BuildWavHeader(uint8_t (&h)[WavHeaderBytes], int32_t Rate, int32_t Bits, int32_t Channels,
                    uint64_t DataBytes) {
  const uint32_t blockAlign = uint32_t(Channels) * uint32_t(Bits / 8);
  std::memcpy(h, "RIFF", 4);
  PutLE32(h + 4, uint32_t(36 + DataBytes));
  std::memcpy(h + 8, "WAVEfmt ", 8);
  PutLE32(h + 16, 16);
  PutLE16(h + 20, 1);
  PutLE16(h + 22, uint32_t(Channels));
  PutLE32(h + 24, uint32_t(Rate));
  PutLE32(h + 28, uint32_t(Rate) * blockAlign);
  PutLE16(h + 32, blockAlign);
  PutLE16(h + 34, uint32_t(Bits));
  std::memcpy(h + 36, "data", 4);
  PutLE32(h + 40, uint32_t(DataBytes));
}

uint32_t Crc32(const uint8_t* p, size_t n) {
  static uint32_t table[256];
  static const bool filled = [] {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    return true;
  }();
  (void)filled;
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// Reads a Musepack SV8 variable-length number; false when it runs past End.
bool ReadVarint(const uint8_t* p, size_t End, size_t& Pos, uint64_t& Value) {
  Value = 0;
  for (int i = 0; i < 10; ++i) {
    if (Pos >= End) return false;
    const uint8_t c = p[Pos++];
    Value = (Value << 7) | (c & 0x7F);
    if (!(c & 0x80)) return true;
  }
  return false;
}

std::string FindProgram(const char* Name) {
  const char* path = std::getenv("PATH");
  if (!path || !*path) return std::string();
  std::string dirs(path);
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    // An empty entry means the current folder.
    std::string full = end > start ? dirs.substr(start, end - start) : std::string(".");
    full.push_back('/');
    full.append(Name);
    struct stat st;
    if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0) return full;
    start = end + 1;
  }
  return std::string();
}

// Descriptors handed to the child must not be 0-2 themselves (posix_spawn's dup2
// would keep close-on-exec on them), and every descriptor stays close-on-exec so
// that no other child started meanwhile inherits it.
int AboveStdio(int Fd) {
  if (Fd < 0 || Fd > 2) return Fd;
  const int moved = fcntl(Fd, F_DUPFD_CLOEXEC, 3);
  close(Fd);
  return moved;
}

// Where the temporary files go.
std::string TempDir() {
  const char* env = std::getenv("TMPDIR");
  return env && *env ? env : "/tmp";
}

// An unnamed temporary file: nothing is left behind whatever happens to the process.
int TempFile() {
  const std::string dir = TempDir();
  int fd = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::string name = dir + "/mppenc-XXXXXX";
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) unlink(name.c_str());
  }
  return AboveStdio(fd);
}

bool WriteAll(int Fd, const void* Data, size_t Size, bool Socket) {
  auto* p = static_cast<const uint8_t*>(Data);
  while (Size > 0) {
    const ssize_t n = Socket ? send(Fd, p, Size, MSG_NOSIGNAL) : write(Fd, p, Size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    Size -= size_t(n);
  }
  return true;
}

bool PReadAll(int Fd, void* Data, size_t Size, off_t At) {
  auto* p = static_cast<uint8_t*>(Data);
  while (Size > 0) {
    const ssize_t n = pread(Fd, p, Size, At);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    Size -= size_t(n);
    At += n;
  }
  return true;
}

std::string CannotWriteTemp(int Err) {
  std::string dir = TempDir();
  if (dir.back() != '/') dir += '/';
  return "Cannot write a temporary file in \"" + dir + "\": " + std::strerror(Err);
}

// Whether the file refuses more data at its end, and why (errno); 0 when it takes it.
// What the probe wrote is cut off again.
int RefusesMore(int Fd, off_t End) {
  static const uint8_t zeros[65536] = {};
  size_t done = 0;
  int err = 0;
  while (done < sizeof zeros) {
    const ssize_t n = pwrite(Fd, zeros + done, sizeof zeros - done, End + off_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? errno : EIO;
      break;
    }
    done += size_t(n);
  }
  if (ftruncate(Fd, End) != 0 && err == 0) err = errno;
  return err;
}

// Whether a Musepack SV8 stream of Size bytes is whole: its packets follow each other
// to its last byte, and the last one ends the stream.
bool WholeStream(int Fd, uint64_t Size) {
  uint64_t pos = 4;  // after "MPCK"
  uint8_t key[2] = {};
  while (pos < Size) {
    uint8_t head[12];
    const size_t have = Size - pos < sizeof head ? size_t(Size - pos) : sizeof head;
    if (have < 3 || !PReadAll(Fd, head, have, off_t(pos))) return false;
    size_t at = 2;
    uint64_t length = 0;
    if (!ReadVarint(head, have, at, length) || length < at) return false;
    std::memcpy(key, head, 2);
    pos += length;
  }
  return pos == Size && std::memcmp(key, "SE", 2) == 0;
}

bool SameKey(const std::string& A, const std::string& B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(A[i])) != std::tolower(static_cast<unsigned char>(B[i])))
      return false;
  return true;
}

bool ValidKey(const std::string& Key) {
  if (Key.size() < 2 || Key.size() > 255) return false;
  for (unsigned char c : Key)
    if (c < 0x20 || c > 0x7E) return false;
  for (const char* reserved : {"ID3", "TAG", "OggS", "MP+"})
    if (SameKey(Key, reserved)) return false;
  return true;
}

}  // namespace

struct mppenc_state {
  int32_t Rate = 0, Bits = 0, Channels = 0;
  float Quality = 5.0f;
  uint64_t Total = 0;  // announced sample frames, 0 when unknown
  uint32_t FrameBytes = 0;
  std::string Program;

  mppenc_message_fn Message = nullptr;
  mppenc_read_pcm_fn ReadPcm = nullptr;
  mppenc_end_of_input_fn EndOfInput = nullptr;
  mppenc_progress_fn Progress = nullptr;
  mppenc_encoded_fn Encoded = nullptr;
  mppenc_seek_fn SeekOut = nullptr;
  mppenc_read_out_fn ReadOut = nullptr;
  mppenc_write_out_fn WriteOut = nullptr;
  mppenc_finished_fn Finished = nullptr;
  void* User = nullptr;
  bool CallbacksSet = false;

  std::vector<std::pair<std::string, std::string>> Tags;

  TPhase Phase = phIdle;
  bool Streaming = false;  // PCM goes to the running program; else it is spooled first
  int InFd = -1;           // our end of the program's input, or the spool file
  int OutFd = -1;          // the program's output (a temporary file)
  int ErrFd = -1;          // the program's messages (a temporary file)
  pid_t Child = -1;
  int PidFd = -1;
  uint64_t FramesRead = 0;
  uint64_t FramesPadded = 0;
  uint64_t CopyPos = 0, OutSize = 0, Written = 0;
  std::vector<uint8_t> Buffer;

  ~mppenc_state() {
    StopChild();
    CloseFd(InFd);
    CloseFd(OutFd);
    CloseFd(ErrFd);
  }

  static void CloseFd(int& Fd) {
    if (Fd >= 0) close(Fd);
    Fd = -1;
  }

  void StopChild() {
    if (Child > 0) {
      kill(Child, SIGKILL);
      while (waitpid(Child, nullptr, 0) < 0 && errno == EINTR) {
      }
      Child = -1;
    }
    CloseFd(PidFd);
  }

  int Fail(const std::string& Text) {
    StopChild();
    Phase = phFailed;
    if (Message) Message(User, Text.c_str());
    return -1;
  }

  // What the program said on its error output, without colour codes, on one line.
  std::string ChildMessages() {
    if (ErrFd < 0) return std::string();
    char buf[2048];
    const ssize_t n = pread(ErrFd, buf, sizeof buf, 0);
    if (n <= 0) return std::string();
    std::string out;
    for (ssize_t i = 0; i < n; ++i) {
      const char c = buf[i];
      if (c == '\x1b') {  // ESC [ ... letter
        while (i + 1 < n && !std::isalpha(static_cast<unsigned char>(buf[i + 1]))) ++i;
        ++i;
        continue;
      }
      if (c == '\n' || c == '\r' || c == '\t') {
        if (!out.empty() && out.back() != ' ') out += ' ';
      } else if (static_cast<unsigned char>(c) >= 0x20) {
        out += c;
      }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
  }

  bool Spawn(int StdinFd) {
    char quality[32];
    const long hundredths = std::lround(double(Quality) * 100.0);
    std::snprintf(quality, sizeof quality, "%ld.%02ld", hundredths / 100, hundredths % 100);
    std::string a0 = Program, a1 = "--silent", a2 = "--quality", a4 = "-", a5 = "-";
    char* argv[] = {a0.data(), a1.data(), a2.data(), quality, a4.data(), a5.data(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, StdinFd, 0);
    posix_spawn_file_actions_adddup2(&fa, OutFd, 1);
    posix_spawn_file_actions_adddup2(&fa, ErrFd, 2);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, Program.c_str(), &fa, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) {
      errno = rc;
      return false;
    }
    Child = pid;
#ifdef SYS_pidfd_open
    PidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#endif
    return true;
  }

  int Start() {
    if (!CallbacksSet || !ReadPcm || !WriteOut) return Fail("The Musepack encoder has no callbacks to read and write with.");
    OutFd = TempFile();
    ErrFd = TempFile();
    if (OutFd < 0 || ErrFd < 0) return Fail(std::string("No temporary file for the Musepack encoder: ") + std::strerror(errno));
    Buffer.resize(FramesPerStep * FrameBytes);
    if (Streaming) {
      int sv[2];
      if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0)
        return Fail(std::string("Cannot connect to mpcenc: ") + std::strerror(errno));
      InFd = AboveStdio(sv[0]);
      const int childEnd = AboveStdio(sv[1]);
      const bool ok = InFd >= 0 && childEnd >= 0 && Spawn(childEnd);
      const int err = errno;
      if (childEnd >= 0) close(childEnd);
      if (!ok) return Fail(std::string("Cannot start ") + Program + ": " + std::strerror(err));
      uint8_t h[WavHeaderBytes];
      BuildWavHeader(h, Rate, Bits, Channels, Total * FrameBytes);
      if (!WriteAll(InFd, h, sizeof h, true)) return ChildFailed();
    } else {
      InFd = TempFile();
      if (InFd < 0) return Fail(std::string("No temporary file for the Musepack encoder: ") + std::strerror(errno));
      const uint8_t placeholder[WavHeaderBytes] = {};
      if (!WriteAll(InFd, placeholder, sizeof placeholder, false)) return Fail(CannotWriteTemp(errno));
    }
    Phase = phFeed;
    return 0;
  }

  // The program stopped taking input: say what it reported.
  int ChildFailed() {
    int status = 0;
    if (Child > 0) {
      while (waitpid(Child, &status, 0) < 0 && errno == EINTR) {
      }
      Child = -1;
    }
    return Fail(ExitText(status));
  }

  std::string ExitText(int Status) {
    char what[64] = "mpcenc failed";
    if (WIFEXITED(Status))
      std::snprintf(what, sizeof what, "mpcenc failed (exit status %d)", WEXITSTATUS(Status));
    else if (WIFSIGNALED(Status))
      std::snprintf(what, sizeof what, "mpcenc was stopped by signal %d", WTERMSIG(Status));
    const std::string said = ChildMessages();
    return said.empty() ? std::string(what) + "." : std::string(what) + ": " + said;
  }

  int InputEnded() {
    if (Streaming) {
      FramesPadded = Total - FramesRead;
      Phase = FramesPadded > 0 ? phPad : phWait;
      if (Phase == phWait) shutdown(InFd, SHUT_WR);
      return 0;
    }
    // The spool is complete: now the length is known and the program can run.
    uint8_t h[WavHeaderBytes];
    BuildWavHeader(h, Rate, Bits, Channels, FramesRead * FrameBytes);
    if (pwrite(InFd, h, sizeof h, 0) != ssize_t(sizeof h) || lseek(InFd, 0, SEEK_SET) != 0)
      return Fail(CannotWriteTemp(errno));
    const bool ok = Spawn(InFd);
    const int err = errno;
    CloseFd(InFd);
    if (!ok) return Fail(std::string("Cannot start ") + Program + ": " + std::strerror(err));
    Phase = phWait;
    return 0;
  }

  int Feed() {
    if (EndOfInput && EndOfInput(User)) return InputEnded();
    const size_t n = ReadPcm(User, Buffer.data(), FrameBytes, FramesPerStep);
    if (n == 0) return InputEnded();
    if (n > FramesPerStep) return Fail("The PCM read callback returned more than was asked for.");
    const size_t bytes = n * FrameBytes;
    if (Streaming) {
      if (FramesRead + n > Total) return Fail("The input delivered more sample frames than it announced.");
      if (!WriteAll(InFd, Buffer.data(), bytes, true)) return ChildFailed();
    } else {
      if ((FramesRead + n) * FrameBytes > MaxWavData) return Fail("The input is too long for one Musepack file.");
      if (!WriteAll(InFd, Buffer.data(), bytes, false)) return Fail(CannotWriteTemp(errno));
    }
    FramesRead += n;
    if (Progress) Progress(User, FramesRead);
    return 0;
  }

  // An input that ended before its announced length: the program still gets the
  // announced number of frames (silence), and the header is then set to the frames
  // really read, so decoders stop there.
  int Pad() {
    const uint8_t silence = Bits == 8 ? 0x80 : 0;
    const uint64_t n = FramesPadded < FramesPerStep ? FramesPadded : FramesPerStep;
    std::memset(Buffer.data(), silence, n * FrameBytes);
    if (!WriteAll(InFd, Buffer.data(), n * FrameBytes, true)) return ChildFailed();
    FramesPadded -= n;
    if (FramesPadded == 0) {
      shutdown(InFd, SHUT_WR);
      Phase = phWait;
    }
    return 0;
  }

  int Wait() {
    if (PidFd >= 0) {
      struct pollfd p = {PidFd, POLLIN, 0};
      const int r = poll(&p, 1, ChildPollMs);
      if (r == 0 || (r < 0 && errno == EINTR)) return 0;  // still encoding
    }
    int status = 0;
    pid_t r;
    while ((r = waitpid(Child, &status, 0)) < 0 && errno == EINTR) {
    }
    Child = -1;
    CloseFd(PidFd);
    CloseFd(InFd);
    if (r < 0) return Fail(std::string("Lost track of mpcenc: ") + std::strerror(errno));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return Fail(ExitText(status));
    Phase = phFinish;
    return 0;
  }

  // Sets the sample count of the stream header (SH packet) to Frames, in the bytes the
  // program reserved for it, and renews the packet's checksum.
  bool SetStreamLength(uint64_t Frames) {
    uint8_t head[64];
    const size_t have = OutSize < sizeof head ? size_t(OutSize) : sizeof head;
    if (!PReadAll(OutFd, head, have, 0) || have < 8 || std::memcmp(head, "MPCK", 4) != 0) return false;
    size_t pos = 4;
    if (head[pos] != 'S' || head[pos + 1] != 'H') return false;
    pos += 2;
    uint64_t packetSize = 0;
    if (!ReadVarint(head, have, pos, packetSize)) return false;
    const size_t packetEnd = 4 + size_t(packetSize);
    if (packetSize > have || packetEnd > have) return false;
    const size_t crcAt = pos;
    pos += 5;  // checksum and stream version
    const size_t countAt = pos;
    uint64_t old = 0;
    if (!ReadVarint(head, packetEnd, pos, old)) return false;
    const size_t width = pos - countAt;
    if (width < 10 && Frames >> (7 * width)) return false;
    for (size_t i = 0; i < width; ++i) {
      const uint8_t bits = uint8_t((Frames >> (7 * (width - 1 - i))) & 0x7F);
      head[countAt + i] = i + 1 < width ? (bits | 0x80) : bits;
    }
    const uint32_t crc = Crc32(head + crcAt + 4, packetEnd - crcAt - 4);
    for (int i = 0; i < 4; ++i) head[crcAt + i] = uint8_t(crc >> (24 - 8 * i));
    return pwrite(OutFd, head, packetEnd, 0) == ssize_t(packetEnd);
  }

  int Finish() {
    struct stat st;
    if (fstat(OutFd, &st) != 0) return Fail(std::string("Cannot read mpcenc's output: ") + std::strerror(errno));
    OutSize = uint64_t(st.st_size);
    char magic[4] = {};
    if (OutSize < 4 || !PReadAll(OutFd, magic, 4, 0) || std::memcmp(magic, "MPCK", 4) != 0) {
      const std::string said = ChildMessages();
      return Fail(said.empty() ? "mpcenc wrote no Musepack stream." : "mpcenc wrote no Musepack stream: " + said);
    }
    // mpcenc says nothing of a write that failed: its output just ends early. Why is
    // found by writing there ourselves.
    if (!WholeStream(OutFd, OutSize)) {
      const int err = RefusesMore(OutFd, off_t(OutSize));
      return Fail(err != 0 ? CannotWriteTemp(err) : std::string("mpcenc's output ends early."));
    }
    if (Streaming && FramesRead != Total && !SetStreamLength(FramesRead))
      return Fail("Cannot set the length of the Musepack stream.");
    if (Encoded) Encoded(User);
    Buffer.resize(CopyBytesPerStep);
    Phase = phCopy;
    return 0;
  }

  bool Put(const void* Data, size_t Size) {
    if (WriteOut(User, Data, 1, Size) != Size) return false;
    Written += Size;
    return true;
  }

  int Copy() {
    const uint64_t left = OutSize - CopyPos;
    const size_t n = left < Buffer.size() ? size_t(left) : Buffer.size();
    if (n > 0) {
      if (!PReadAll(OutFd, Buffer.data(), n, off_t(CopyPos)))
        return Fail(std::string("Cannot read mpcenc's output: ") + std::strerror(errno));
      if (!Put(Buffer.data(), n)) return Fail("Writing the Musepack stream failed.");
      CopyPos += n;
      if (CopyPos < OutSize) return 0;
    }
    if (!Tags.empty() && !Put(BuildTag())) return Fail("Writing the APEv2 tag failed.");
    if (Finished) Finished(User, Written);
    Phase = phDone;
    return 1;
  }

  bool Put(const std::vector<uint8_t>& Data) { return Put(Data.data(), Data.size()); }

  // An APEv2 tag with header and footer, items in the order they were added.
  std::vector<uint8_t> BuildTag() const {
    size_t itemBytes = 0;
    for (const auto& [key, value] : Tags) itemBytes += 8 + key.size() + 1 + value.size();
    std::vector<uint8_t> tag(32 + itemBytes + 32);
    auto block = [&](uint8_t* b, uint32_t Flags) {
      std::memcpy(b, "APETAGEX", 8);
      PutLE32(b + 8, 2000);
      PutLE32(b + 12, uint32_t(itemBytes + 32));
      PutLE32(b + 16, uint32_t(Tags.size()));
      PutLE32(b + 20, Flags);
    };
    block(tag.data(), 0xA0000000u);  // has a header; this is it
    uint8_t* p = tag.data() + 32;
    for (const auto& [key, value] : Tags) {
      PutLE32(p, uint32_t(value.size()));
      PutLE32(p + 4, 0);  // UTF-8 text
      p += 8;
      std::memcpy(p, key.data(), key.size());
      p += key.size() + 1;  // and the key's terminating zero
      if (!value.empty()) std::memcpy(p, value.data(), value.size());
      p += value.size();
    }
    block(p, 0x80000000u);  // the footer
    return tag;
  }
};

extern "C" {

MPPENC_API void init_static(void) {}

MPPENC_API int init_enc_state(mppenc_state** state, int32_t sample_rate, int64_t total_samples,
                              int32_t bits_per_sample, int32_t channels, float quality) {
  if (!state) return MPPENC_ERR_FORMAT;
  *state = nullptr;
  if (sample_rate != 32000 && sample_rate != 37800 && sample_rate != 44100 && sample_rate != 48000)
    return MPPENC_ERR_FORMAT;
  if (bits_per_sample != 8 && bits_per_sample != 16 && bits_per_sample != 24 && bits_per_sample != 32)
    return MPPENC_ERR_FORMAT;
  if (channels < 1 || channels > 2) return MPPENC_ERR_FORMAT;
  if (!std::isfinite(quality) || quality < 0.0f || quality > 10.0f) return MPPENC_ERR_QUALITY;
  const uint32_t frameBytes = uint32_t(channels * (bits_per_sample / 8));
  const uint64_t total = total_samples > 0 ? uint64_t(total_samples) : 0;
  if (total > MaxWavData / frameBytes) return MPPENC_ERR_TOO_LONG;
  std::string program = FindProgram("mpcenc");
  if (program.empty()) return MPPENC_ERR_NO_ENCODER;
  auto* s = new (std::nothrow) mppenc_state;
  if (!s) return MPPENC_ERR_MEMORY;
  s->Rate = sample_rate;
  s->Bits = bits_per_sample;
  s->Channels = channels;
  s->Quality = quality;
  s->Total = total;
  s->FrameBytes = frameBytes;
  s->Streaming = total > 0;
  s->Program = std::move(program);
  *state = s;
  return MPPENC_OK;
}

MPPENC_API void set_callbacks(mppenc_state* state, mppenc_message_fn message, mppenc_read_pcm_fn read_pcm,
                              mppenc_end_of_input_fn end_of_input, mppenc_progress_fn progress,
                              mppenc_encoded_fn encoded, mppenc_seek_fn seek_out, mppenc_read_out_fn read_out,
                              mppenc_write_out_fn write_out, mppenc_finished_fn finished, void* user) {
  if (!state || state->Phase != phIdle) return;
  state->Message = message;
  state->ReadPcm = read_pcm;
  state->EndOfInput = end_of_input;
  state->Progress = progress;
  state->Encoded = encoded;
  state->SeekOut = seek_out;
  state->ReadOut = read_out;
  state->WriteOut = write_out;
  state->Finished = finished;
  state->User = user;
  state->CallbacksSet = true;
}

MPPENC_API int add_tag(mppenc_state* state, const char* name, size_t name_length, const char* value,
                       size_t value_length) {
  if (!state || state->Phase != phIdle || !name || (!value && value_length)) return 1;
  std::string key(name, name_length);
  if (!ValidKey(key)) return 1;
  std::string text = value ? std::string(value, value_length) : std::string();
  for (auto& item : state->Tags)
    if (SameKey(item.first, key)) {
      item.second = std::move(text);
      return 0;
    }
  state->Tags.emplace_back(std::move(key), std::move(text));
  return 0;
}

MPPENC_API int start_encoder(mppenc_state* state) {
  if (!state || state->Phase != phIdle) return -1;
  try {
    return state->Start();
  } catch (const std::bad_alloc&) {
    return state->Fail("Out of memory.");
  }
}

MPPENC_API int process_block(mppenc_state* state) {
  if (!state) return -1;
  try {
    switch (state->Phase) {
      case phFeed: return state->Feed();
      case phPad: return state->Pad();
      case phWait: return state->Wait();
      case phFinish: return state->Finish();
      case phCopy: return state->Copy();
      case phDone: return 1;
      case phIdle: return state->Fail("The Musepack encoder was not started.");
      case phFailed: return -1;
    }
  } catch (const std::bad_alloc&) {
    return state->Fail("Out of memory.");
  }
  return -1;
}

MPPENC_API void free_encoder_state(mppenc_state* state) { delete state; }

}  // extern "C"
