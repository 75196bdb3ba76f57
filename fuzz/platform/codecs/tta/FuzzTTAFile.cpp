// libFuzzer target: a whole TTA file through the decoder, from the ID3v2 skip and the
// header to the last frame. Built with FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION, which
// turns the CRC checks off so that mutated files reach the frame decoder.
#include "platform/codecs/tta/TTAFile.h"

#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const int Fd = memfd_create("tta-fuzz", MFD_CLOEXEC);
  if (Fd < 0 || ftruncate(Fd, 0) != 0) return 0;
  if (Size && pwrite(Fd, Data, Size, 0) != static_cast<ssize_t>(Size)) return 0;
  try {
    TTALib::Impl::Decoder D(Fd);
    (void)D.Channels();
    (void)D.DataLength();
    int64_t* Block = nullptr;
    for (int I = 0; I < 64 && D.GetBlock(&Block) > 0; ++I) {
    }
  } catch (const TTALib::TTAException&) {
    // a clean refusal is the expected outcome for most inputs
  }
  return 0;
}
