// libFuzzer target for the FLAC input: the bytes are opened as a FLAC stream, read to
// the end (up to a limit) with a seek on the way, and must end without a crash, a hang
// or a sanitizer report. libFLAC itself is the system's, loaded at run time.

#include <cstdint>
#include <cstdlib>

#include "audio/codecs/flac/TSL_FLAC.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream mem;
  mem.Write(Data, static_cast<int64_t>(Size));
  mem.Seek(0, soBeginning);
  TComponentPtr<TFLACIn> in(new TFLACIn(nullptr));
  in->SetStream(&mem);
  if (!in->Valid()) return 0;
  // A few bytes can stand for megabytes of audio: stop after a while.
  constexpr int64_t Limit = 4 << 20;
  try {
    in->Init();
    int64_t total = 0;
    bool seeked = false;
    for (;;) {
      void* p = nullptr;
      uint32_t n = 8192;
      in->ReadData(p, n);
      if (n == 0 || total > Limit) break;
      if (!p) abort();  // data promised, none given
      total += n;
      volatile uint8_t sink = static_cast<uint8_t*>(p)[n - 1];
      (void)sink;
      if (!seeked && total > 20000) {
        seeked = true;
        in->Seek(Size % 5000);
      }
    }
    in->Flush();
  } catch (const EAuException&) {
    in->Reset();
  }
  in->SetStream(nullptr);
  return 0;
}
