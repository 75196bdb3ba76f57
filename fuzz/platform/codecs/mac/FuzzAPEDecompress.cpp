// libFuzzer target: the whole decompressor (our head checks, then FFmpeg's demuxer and
// decoder, then our PCM assembly and seeking) on a file held in memory.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/codecs/mac/APEDecompress.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  av_log_set_level(AV_LOG_QUIET);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const int fd = memfd_create("ape", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (write(fd, Data, Size) != static_cast<ssize_t>(Size)) {
    close(fd);
    return 0;
  }
  {
    MAC::TAPEDecompressor d;
    if (d.Open("/proc/self/fd/" + std::to_string(fd)) == 0) {
      const int64_t total = d.Info().TotalBlocks();
      const size_t align = static_cast<size_t>(d.Info().BlockAlign());
      std::vector<uint8_t> buf(4096 * align);
      int64_t got = 0;
      // A bounded amount of work per input, with a seek into the middle.
      for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 64; ++i) {
          int32_t n = 0;
          const int32_t r = d.GetData(buf.data(), 4096, n);
          if (n < 0 || n > 4096) __builtin_trap();
          got += n;
          if (r != 0 || n < 4096) break;
        }
        if (got > total && round == 0) __builtin_trap();
        d.Seek(total / 2 + 1);
        got = 0;
      }
    }
  }
  close(fd);
  return 0;
}
